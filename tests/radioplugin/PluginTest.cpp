// Ravvel.so through dlopen, called as the program calls it: the entries
// before and after the dialog exists, the hand-over of the link, errors in
// the plug-in's own message box (from the entries and from the queue
// timers), and unloading with monitor windows open.
#include "platform/MessageWindow.h"
#include "platform/NamedObjects.h"
#include "radioplugin/RuvoCommands.h"
#include "tests/common/TestServices.h"
#include "tests/radioplugin/PluginLibrary.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using Lines = std::vector<std::string>;

namespace {

const std::string kMutex = "Global\\{ravvel-plugin-test}";

class PluginTest : public testing::Test {
protected:
    PluginTest() : Mutex(CreateMutex(true, kMutex))
    {
        TestDialogs().Clear();
        Proxy.Connected = [this] { return Up; };
        Proxy.Send = [this](const std::string& text, int) {
            Sent.push_back(text);
            return true;
        };
    }
    ~PluginTest() override
    {
        if (Lib.Unload)
            Lib.Unload();
        CloseHandle(Mutex);
    }
    TAppHandle App() const { return reinterpret_cast<TAppHandle>(&Host); }
    TPluginError Init(const TCommunicationProxy* proxy)
    {
        return Lib.Init(App(), kMutex.data(), static_cast<std::uint32_t>(kMutex.size()), proxy);
    }
    TPluginError Receive(const std::string& data)
    {
        return Lib.Receive(App(), data.data(), static_cast<std::uint32_t>(data.size()));
    }

    HANDLE Mutex;
    QWidget Host;
    TPluginLibrary Lib;
    TTestProxy Proxy;
    bool Up = false;
    Lines Sent;
};

} // namespace

TEST_F(PluginTest, ExportsOnlyItsFiveEntries)
{
    ASSERT_TRUE(Lib.Complete()) << dlerror();
    for (const char* name : {"ShowStatus", "CloseStatus", "FirmwareUpload", "GetParameterObject", "SetParameter",
                             "G_Zor_Pattern", "HandleReply"})
        EXPECT_EQ(dlsym(Lib.Handle, name), nullptr) << name;
}

TEST_F(PluginTest, EntriesBeforeInitDoNothing)
{
    ASSERT_TRUE(Lib.Complete());
    EXPECT_EQ(Lib.Show(), nullptr);
    EXPECT_EQ(Receive("PARAM SN=XYZ"), nullptr);
    EXPECT_EQ(Lib.Connection(App(), 1), nullptr);
    EXPECT_EQ(Lib.Unload(), nullptr);
    EXPECT_EQ(TopLevel("ParameterForm"), nullptr);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

TEST_F(PluginTest, InitCreatesOneHiddenDialogThatShowDialogShows)
{
    ASSERT_TRUE(Lib.Complete());
    // At start the program has no link yet.
    ASSERT_EQ(Init(nullptr), nullptr);
    QWidget* dialog = TopLevel("ParameterForm");
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->metaObject()->className(), "TfParameterForm");
    EXPECT_FALSE(dialog->isVisible());
    // Again, with the link: the same dialog.
    ASSERT_EQ(Init(&Proxy.Proxy), nullptr);
    EXPECT_EQ(TopLevel("ParameterForm"), dialog);
    ASSERT_EQ(Lib.Show(), nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Derazudiduradid - Optionen");

    // The connection state reaches the buttons: only the low byte counts.
    auto* gps = dialog->findChild<QPushButton*>("btnGPSTrace");
    ASSERT_NE(gps, nullptr);
    Up = true;
    ASSERT_EQ(Lib.Connection(App(), 0x7F00), nullptr);
    EXPECT_FALSE(gps->isEnabled());
    ASSERT_EQ(Lib.Connection(App(), 0x0101), nullptr);
    EXPECT_TRUE(gps->isEnabled());

    // A filter switch goes out through the proxy under the host's mutex.
    dialog->findChild<QPushButton*>("btnFFSKFilterOnOff")->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Sent.empty() && Sent.back() == "0001 PARAM-FFSK-FILTER !\n"; },
                                   2000));

    EXPECT_EQ(Lib.Unload(), nullptr);
    EXPECT_EQ(TopLevel("ParameterForm"), nullptr);
    // After unloading the entries do nothing again.
    EXPECT_EQ(Lib.Show(), nullptr);
    EXPECT_EQ(Receive("OK."), nullptr);
}

TEST_F(PluginTest, ParsingErrorsAreShownAndTheNextMessageIsParsed)
{
    ASSERT_TRUE(Lib.Complete());
    ASSERT_EQ(Init(&Proxy.Proxy), nullptr);
    EXPECT_EQ(Receive("PARAM SN=XYZ"), nullptr);
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Text, "HexToInt: Invalid character in Hex string: XYZ");
    EXPECT_EQ(TestDialogs().Boxes()[0].Flags & 0xF0, unsigned(MB_ICONERROR));
    // Data with a zero byte in it is taken whole.
    EXPECT_EQ(Receive(std::string("PARAM NFLEVEL=1F\0", 17)), nullptr);
    EXPECT_EQ(Receive("PARAM SN=2A"), nullptr);
    QWidget* dialog = TopLevel("ParameterForm");
    EXPECT_EQ(dialog->findChild<QLineEdit*>("edtSerialNumber")->text(), "42");
    EXPECT_EQ(TestDialogs().Boxes().size(), 1u);
}

// A queue timer's error, in the plug-in as the program loads it, is shown as
// an entry's error is: the plug-in's message box, owned by the program's
// window. The program's handler of stray errors never sees it.
TEST_F(PluginTest, TimerErrorsAreShownAsTheEntriesErrorsAre)
{
    ASSERT_TRUE(Lib.Complete());
    std::vector<std::string> stray;
    SetApplicationExceptionHandler([&](const std::exception& e) { stray.push_back(e.what()); });
    ASSERT_EQ(Init(&Proxy.Proxy), nullptr);
    Up = true;
    ASSERT_EQ(Lib.Connection(App(), 1), nullptr);
    EXPECT_EQ(Receive("PARAM SN=XYZ"), nullptr); // an entry's error
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    // The link refuses what the device queue sends next.
    Proxy.Send = [](const std::string&, int) { return false; };
    TopLevel("ParameterForm")->findChild<QPushButton*>("btnFFSKFilterOnOff")->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return TestDialogs().Boxes().size() >= 2; }, 3000));
    SetApplicationExceptionHandler({});
    const std::vector<TShownBox> boxes = TestDialogs().Boxes();
    EXPECT_EQ(boxes[1].Text, "ExtendedDLL: The link did not take the message.");
    EXPECT_EQ(boxes[1].Caption, boxes[0].Caption);
    EXPECT_EQ(boxes[1].Flags, boxes[0].Flags);
    EXPECT_EQ(boxes[0].Owner, &Host);
    EXPECT_EQ(boxes[1].Owner, &Host);
    EXPECT_TRUE(stray.empty()) << stray.front();
}

TEST_F(PluginTest, UnloadFreesOpenMonitorWindowsWithoutCloseLines)
{
    ASSERT_TRUE(Lib.Complete());
    ASSERT_EQ(Init(&Proxy.Proxy), nullptr);
    Up = true;
    ASSERT_EQ(Lib.Connection(App(), 1), nullptr);
    QWidget* dialog = TopLevel("ParameterForm");
    for (const char* button : {"btnGPSTrace", "btnIBISTrace", "btnFunkmodulTerminal"})
        dialog->findChild<QPushButton*>(button)->click();
    auto* gps = dialog->findChild<QWidget*>("GPSTraceForm");
    ASSERT_NE(gps, nullptr);
    EXPECT_TRUE(gps->isVisible());
    EXPECT_EQ(Receive("#g1: $GPGGA"), nullptr);
    EXPECT_EQ(gps->findChild<QListWidget*>("lbxGPSTrace")->count(), 1);
    Sent.clear();
    EXPECT_EQ(Lib.Unload(), nullptr);
    EXPECT_TRUE(Sent.empty());
    EXPECT_EQ(TopLevel("GPSTraceForm"), nullptr);
    EXPECT_EQ(TopLevel("ParameterForm"), nullptr);
}
