// The main window and the events of a serial link, as its port thread posts
// them (the port thread in virtual time): the status word, a connection
// change (the plug-ins, the status bar, the child windows), received messages
// (the plug-ins before the program's own reply parser; a plug-in that fails
// on a message).
#include "controls/SyncListbox.h"
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Beep.h"
#include "shell/DeviceStatus.h"
#include "shell/Environment.h"
#include "tests/link/VirtualComIo.h"
#include "tests/shell/ProgramFixture.h"

#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTest>

#include <dlfcn.h>

namespace {

std::string Plugin(const char* name)
{
    return std::string(TEST_PLUGIN_DIR) + "/" + name + ".so";
}

// A child window of the main window that can refresh itself: what it saw of
// the main window each time it was asked to.
class TRefreshingChild : public QWidget {
    Q_OBJECT
public:
    std::function<std::string()> Look;
    std::vector<std::string> Seen;
public slots:
    void Refresh() { Seen.push_back(Look()); }
};

class LinkEventsTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        LogPath = ProgramDir() + "plugins.log";
        setenv("TESSARO_PLUGIN_LOG", LogPath.c_str(), 1);
        TMyComInterface::SetIoFactory([this](HWND window, std::uint16_t) {
            auto io = std::make_unique<TVirtualComIo>(window);
            Io = io.get();
            return io;
        });
        SetComPort(3);
    }
    void TearDown() override
    {
        ProgramFixture::TearDown();
        TMyComInterface::SetIoFactory({});
        unsetenv("TESSARO_PLUGIN_LOG");
    }
    // The program up on COM3 with the device "Dev" of these attributes.
    void Start(const std::string& attributes)
    {
        Catalogue("<DEVICE name=\"Dev\" " + attributes + "/>");
        StartProgram({"Dev"});
        ASSERT_NE(Io, nullptr);
    }
    // What the port thread posts to the link's window, handled as the
    // window thread handles it.
    void PortThreadPosts(std::uint32_t message, std::uintptr_t wParam, std::unique_ptr<std::string> block = {})
    {
        Io->PostToInterface(message, wParam, std::move(block));
        QCoreApplication::processEvents();
    }
    void LinkUp(bool up) { PortThreadPosts(Io->Control()->MsgComVerbStatus(), up ? 1 : 0); }
    void Receive(char cmd, const std::string& data)
    {
        PortThreadPosts(Io->Control()->MsgComReceive(), (data.size() << 16) | static_cast<std::uint8_t>(cmd),
                        data.empty() ? nullptr : std::make_unique<std::string>(data));
    }
    std::string Panel(int i) const { return Form->StatusPanels[i]->text().toStdString(); }
    template <typename T>
    T Hook(std::uintptr_t handle, const char* name)
    {
        return reinterpret_cast<T>(dlsym(reinterpret_cast<void*>(handle), name));
    }
    std::vector<std::string> Rows(const QListWidget* list) const
    {
        std::vector<std::string> rows;
        for (int row = 0; row < list->count(); ++row)
            if (!list->item(row)->text().isEmpty())
                rows.push_back(list->item(row)->text().toStdString());
        return rows;
    }

    std::string LogPath;
    TVirtualComIo* Io = nullptr;
};

} // namespace

// The port thread's status word (its send queue full, and back) is what the
// data module keeps as the link's status.
TEST_F(LinkEventsTest, TheStatusWordOfThePortThreadIsKept)
{
    Start("");
    TMyComInterface* serial = Dm->ComControl()->SerialLink();
    ASSERT_NE(serial, nullptr);
    for (const std::uint32_t word : {1u, 0u, 1u}) {
        PortThreadPosts(Io->Control()->MsgComStatus(), word);
        EXPECT_EQ(serial->Status() & 0xFFFF, word);
        EXPECT_EQ(Dm->ComStatus, serial->Status()) << word;
    }
}

// A connection change: the status bar and the caption tell it first, then
// every child window of the main window that can refresh itself is asked to,
// in child order, once per change; a child without that is left alone.
TEST_F(LinkEventsTest, AConnectionChangeAsksEveryChildWindowToRefresh)
{
    Start("");
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    TRefreshingChild* children[2] = {new TRefreshingChild, new TRefreshingChild};
    std::vector<std::string> order;
    for (int i = 0; i < 2; ++i) {
        children[i]->Look = [this, i, &order] {
            order.push_back("child " + std::to_string(i));
            return Panel(2);
        };
        Form->MDIClient->addSubWindow(children[i])->show();
    }
    Form->MDIClient->addSubWindow(new QWidget)->show();
    LinkUp(true);
    LinkUp(false);
    for (TRefreshingChild* child : children)
        EXPECT_EQ(child->Seen, (std::vector<std::string>{"Verbindung OK", "Warte auf Verbindung!"}));
    EXPECT_EQ(order, (std::vector<std::string>{"child 0", "child 1", "child 0", "child 1"}));
}

// Each message reaches the plug-ins before the program's own reply parser
// reads it: a plug-in that asks its link for the answer to an upload request
// while it handles the answer still sees the one before.
TEST_F(LinkEventsTest, ThePluginsGetEachMessageBeforeTheProgramsParserReadsIt)
{
    Start("FW=\"" + Plugin("firmware") + "\" EX=\"" + Plugin("extended") + "\" ST=\"" + Plugin("status") + "\"");
    LinkUp(true); // the link handed over; the parser reads replies
    const struct {
        const char* What;
        std::string Message; // command byte first
        int SeenByThePlugins;
        TUploadReplyStatus After;
    } cases[] = {
        {"go ahead", std::string("\x8B\x00", 2), TESSARO_UPLOAD_UNDEFINED, TUploadReplyStatus::urGoAhead},
        {"not enough memory", "\x8B\x05", TESSARO_UPLOAD_GO_AHEAD, TUploadReplyStatus::urNotEnoughMenory},
        {"go ahead again", std::string("\x8B\x00", 2), TESSARO_UPLOAD_NOT_ENOUGH_MEMORY,
         TUploadReplyStatus::urGoAhead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Receive(c.Message[0], c.Message.substr(1));
        EXPECT_EQ(Dm->ComControl()->UploadGoAheadReply(), c.After);
        // The extended plug-in holds the link (InitDLL); the status plug-in too (ShowStatus).
        for (const auto handle : {Dm->ExtendedDLL(), Dm->StatusDLL()})
            EXPECT_EQ(Hook<int (*)()>(handle, "TestPluginReplyAtReceive")(), c.SeenByThePlugins);
    }
}

// A plug-in that fails on a message: the monitor shows the message all the
// same (its row comes before the plug-ins hear of it), the failure is a beep,
// and the next message is handled as usual.
TEST_F(LinkEventsTest, AMessageAPluginFailsOnStillShowsInTheMonitor)
{
    Start("EX=\"" + Plugin("receivefails") + "\"");
    Dm->Environment()->StoreServiceCode("48213"); // the monitor shows in the extended mode
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    Form->AppIdle();
    LinkUp(true);
    const unsigned beeps = BeepCount();
    Receive('A', "bc");
    Receive('D', "ef");
    EXPECT_EQ(Rows(Form->lbxIn), (std::vector<std::string>{"Abc", "Def"}));
    EXPECT_EQ(BeepCount(), beeps + 2);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

#include "LinkEventsTest.moc"
