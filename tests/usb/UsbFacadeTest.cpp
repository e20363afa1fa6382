// The device link facade with the USB link behind it.
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Exception.h"
#include "tests/link/VirtualComIo.h"
#include "tests/usb/ErrorOf.h"
#include "tests/usb/UsbFixture.h"

#include <condition_variable>
#include <mutex>

namespace {

// A port thread that notes when it is stopped and freed.
class TWatchedComIo : public TVirtualComIo {
public:
    explicit TWatchedComIo(bool& ended) : TVirtualComIo(0), FEnded(ended) {}
    ~TWatchedComIo() override { FEnded = true; }
    void Stop() override
    {
        FEnded = true;
        TVirtualComIo::Stop();
    }

private:
    bool& FEnded;
};

class UsbFacadeTest : public UsbFixture {
protected:
    void TearDown() override
    {
        TMyComInterface::SetIoFactory({});
        FakeUsb::SetFindHook({});
        FakeUsb::SetWriteHook({});
        UsbFixture::TearDown();
    }
};

} // namespace

TEST_F(UsbFacadeTest, SwitchingToUsbEndsThePortThreadBeforeTheSearch)
{
    bool portEnded = false;
    TMyComInterface::SetIoFactory([&](HWND, std::uint16_t) { return std::make_unique<TWatchedComIo>(portEnded); });
    std::vector<bool> endedAtSearch;
    FakeUsb::SetFindHook([&] { endedAtSearch.push_back(portEnded); });
    AddDevice();

    TCommunication c;
    c.SetPortNumber(3);
    c.SetVendorID(ZorvatekVendorID);
    c.SetProductID(4);
    std::vector<std::pair<TObject*, bool>> changes;
    c.SetOnConnectionChange([&](TObject* sender, bool up) { changes.emplace_back(sender, up); });
    c.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_NE(c.SerialLink(), nullptr);
    changes.clear();
    c.SetInterfaceType(TInterfaceType::itUSB);
    EXPECT_EQ(endedAtSearch, std::vector<bool>{true});
    EXPECT_EQ(c.SerialLink(), nullptr);
    ASSERT_NE(c.USBLink(), nullptr);
    EXPECT_TRUE(c.Connected());
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].first, c.USBLink()); // the link object is the sender
    EXPECT_TRUE(changes[0].second);

    c.SetInterfaceType(TInterfaceType::itNone);
    EXPECT_EQ(c.USBLink(), nullptr);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(FakeUsb::OpenHandles(), 0);
}

TEST_F(UsbFacadeTest, SendsGoToTheirPipeOrNowhere)
{
    const int device = AddDevice();
    TCommunication c;
    c.SetVendorID(ZorvatekVendorID);
    c.SetProductID(4);
    c.SetInterfaceType(TInterfaceType::itUSB);
    ASSERT_TRUE(c.Connected());
    EXPECT_TRUE(c.SendText(nullptr, "Ahello", 0));
    EXPECT_TRUE(c.SendText(nullptr, "B", 1));
    EXPECT_TRUE(c.SendText(nullptr, "Cnothing", 2));
    EXPECT_TRUE(c.SendText(nullptr, "", 0));
    ASSERT_TRUE(WaitFor([&] { return c.SendQueueAmount() == 0; }));
    EXPECT_FALSE(c.SendBusy());
    EXPECT_EQ(FakeUsb::Writes(device, 0x01), std::vector<std::string>{std::string("\x80") + "Ahello"});
    EXPECT_EQ(FakeUsb::Writes(device, 0x02), std::vector<std::string>{std::string("\x80") + "B"});

    // Closed: a send is dropped and still true.
    EXPECT_FALSE(c.Close());
    EXPECT_FALSE(c.Connected());
    EXPECT_TRUE(c.SendText(nullptr, "Dlost", 0));
    EXPECT_EQ(c.SendQueueAmount(), 0);
    EXPECT_FALSE(c.Reconnect()); // a search was made
    EXPECT_TRUE(c.Connected());
}

TEST_F(UsbFacadeTest, APluginSendWhileTheSenderWritesTheHeadKeepsTheList)
{
    const int device = AddDevice();
    std::mutex lock;
    std::condition_variable changed;
    bool writing = false;
    bool release = false;
    FakeUsb::SetWriteHook([&](int, int, const std::string&) {
        std::unique_lock guard(lock);
        if (writing)
            return;
        writing = true;
        changed.notify_all();
        changed.wait(guard, [&] { return release; }); // the first write is held
    });
    TCommunication c;
    c.SetVendorID(ZorvatekVendorID);
    c.SetProductID(4);
    std::vector<std::string> monitor;
    c.SetOnDebugSendData([&](const std::string& s) { monitor.push_back(s); });
    c.SetInterfaceType(TInterfaceType::itUSB);
    ASSERT_TRUE(c.Connected());

    EXPECT_TRUE(c.SendText(nullptr, "H0", 0));
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return writing; });
    }
    std::vector<std::string> expected = {std::string("\x80") + "H0"};
    for (int i = 1; i <= 200; ++i) {
        const std::string text = "P" + std::to_string(i);
        EXPECT_TRUE(c.SendText(nullptr, text, 0)); // as the plug-in does, in the GUI thread
        expected.push_back("\x80" + text);
    }
    EXPECT_EQ(c.SendQueueAmount(), 201); // the head is still in the list while it is written
    EXPECT_TRUE(c.SendBusy());
    {
        std::lock_guard guard(lock);
        release = true;
    }
    changed.notify_all();
    ASSERT_TRUE(WaitFor([&] { return c.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::Writes(device, 0x01), expected);
    EXPECT_EQ(monitor, expected);
}

TEST_F(UsbFacadeTest, ReleaseErrorsOfTheUsbLinkReachTheCaller)
{
    const int device = AddDevice();
    TCommunication c;
    c.SetVendorID(ZorvatekVendorID);
    c.SetProductID(4);
    c.SetInterfaceType(TInterfaceType::itUSB);
    ASSERT_TRUE(c.Connected());
    FakeUsb::ScriptResult(device, FakeUsb::TCall::ReleaseInterface, -32);
    EXPECT_EQ(ErrorOf([&] { c.SetInterfaceType(TInterfaceType::itNone); }), "Error (-32) releasing usb-interface");
    EXPECT_EQ(c.USBLink(), nullptr);
    EXPECT_FALSE(c.Connected());
}

TEST_F(UsbFacadeTest, AConfigurationErrorReachesTheCallerOfInterfaceType)
{
    const int device = AddDevice();
    FakeUsb::ScriptResult(device, FakeUsb::TCall::SetConfiguration, 0);
    FakeUsb::ScriptResult(device, FakeUsb::TCall::SetConfiguration, -13, "could not set config 1: Permission denied");
    TCommunication c;
    c.SetVendorID(ZorvatekVendorID);
    c.SetProductID(4);
    EXPECT_EQ(ErrorOf([&] { c.SetInterfaceType(TInterfaceType::itUSB); }), "could not set config 1: Permission denied");
    EXPECT_NE(c.USBLink(), nullptr);
    EXPECT_FALSE(c.Connected());
}

// A device pulled before its interface was given back: the release fails
// (-19; -5 and -22 as other drivers say it). However the link is let go, the
// program goes on, the device's handle is closed, and the error is raised
// where the caller can hear it or recorded where it cannot.
TEST_F(UsbFacadeTest, AFailingReleaseNeverEndsTheProgram)
{
    enum class TWay { Freed, SwitchedToNone, SwitchedToSerial, Closed };
    struct TCase {
        const char* What;
        TWay Way;
    };
    const TCase ways[] = {
        {"the facade freed", TWay::Freed},
        {"SetInterfaceType(itNone)", TWay::SwitchedToNone},
        {"SetInterfaceType(itSerial)", TWay::SwitchedToSerial},
        {"Close", TWay::Closed},
    };
    std::vector<std::pair<std::string, std::string>> recorded;
    SetUnraisableErrorHandler([&](const std::string& source, const std::string& message) {
        recorded.emplace_back(source, message);
    });
    TMyComInterface::SetIoFactory([](HWND window, std::uint16_t) { return std::make_unique<TVirtualComIo>(window); });
    for (const int release : {-19, -5, -22}) {
        for (const TCase& way : ways) {
            SCOPED_TRACE(std::string(way.What) + ", release " + std::to_string(release));
            FakeUsb::Reset();
            recorded.clear();
            const int device = AddDevice();
            auto c = std::make_unique<TCommunication>();
            c->SetVendorID(ZorvatekVendorID);
            c->SetProductID(4);
            c->SetPortNumber(3);
            std::vector<bool> changes;
            c->SetOnConnectionChange([&](TObject*, bool up) { changes.push_back(up); });
            c->SetInterfaceType(TInterfaceType::itUSB);
            ASSERT_TRUE(c->Connected());
            FakeUsb::SetPlugged(device, false);
            FakeUsb::ScriptResult(device, FakeUsb::TCall::ReleaseInterface, release);
            const std::string error = "Error (" + std::to_string(release) + ") releasing usb-interface";
            std::string raised;
            try {
                switch (way.Way) {
                case TWay::Freed: c.reset(); break;
                case TWay::SwitchedToNone: c->SetInterfaceType(TInterfaceType::itNone); break;
                case TWay::SwitchedToSerial: c->SetInterfaceType(TInterfaceType::itSerial); break;
                case TWay::Closed: c->Close(); break;
                }
            } catch (const Exception& e) {
                raised = e.Message();
            }
            EXPECT_EQ(FakeUsb::OpenHandles(), 0);
            switch (way.Way) {
            case TWay::Freed:
                // No caller to raise it to: recorded, and no change reported.
                EXPECT_EQ(raised, "");
                EXPECT_EQ(recorded, (std::vector<std::pair<std::string, std::string>>{
                                        {"TCommunication.Destroy", error}}));
                EXPECT_EQ(changes, std::vector<bool>{true});
                break;
            case TWay::SwitchedToNone:
                EXPECT_EQ(raised, error);
                EXPECT_TRUE(recorded.empty());
                EXPECT_EQ(c->USBLink(), nullptr);
                EXPECT_FALSE(c->Connected());
                break;
            case TWay::SwitchedToSerial:
                // Raised once the serial link is open: the object holds the
                // link its type names.
                EXPECT_EQ(raised, error);
                EXPECT_EQ(c->USBLink(), nullptr);
                ASSERT_NE(c->SerialLink(), nullptr);
                EXPECT_TRUE(c->SerialLink()->HasPortThread());
                EXPECT_EQ(c->InterfaceType(), TInterfaceType::itSerial);
                EXPECT_FALSE(c->Connected());
                break;
            case TWay::Closed:
                // Close lets -5 pass; the link is down either way.
                EXPECT_EQ(raised, release == -5 ? "" : error);
                EXPECT_FALSE(c->Connected());
                EXPECT_EQ(changes, (std::vector<bool>{true, false}));
                break;
            }
            c.reset(); // nothing left to release
            EXPECT_EQ(recorded.size(), way.Way == TWay::Freed ? 1u : 0u);
        }
    }
    SetUnraisableErrorHandler({});
}
