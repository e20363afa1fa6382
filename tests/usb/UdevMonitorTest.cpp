// The udev monitor fed by a test double: what udev tells of USB devices
// becomes the notification the link expects, or nothing.
#include "platform/DeviceNotification.h"
#include "platform/PollLoop.h"
#include "tests/usb/UsbFixture.h"

#include <QCoreApplication>

#include <deque>

namespace {

// Events as udev would tell them, one at a time; the descriptor is readable
// while one waits.
class TScriptedUdev : public TUdevEventSource {
public:
    explicit TScriptedUdev(bool& alive) : FAlive(alive) { FAlive = true; }
    ~TScriptedUdev() override { FAlive = false; }
    int Fd() const override { return FSignal.Fd(); }
    std::optional<TUdevEvent> Receive() override
    {
        if (FEvents.empty())
            return std::nullopt;
        TUdevEvent event = FEvents.front();
        FEvents.pop_front();
        if (FEvents.empty())
            FSignal.Reset();
        return event;
    }
    void Push(const TUdevEvent& event)
    {
        FEvents.push_back(event);
        FSignal.Set();
    }

private:
    bool& FAlive;
    TEventFd FSignal;
    std::deque<TUdevEvent> FEvents;
};

struct TNotice {
    std::uintptr_t Event;
    std::string Name;
    bool operator==(const TNotice& o) const { return Event == o.Event && Name == o.Name; }
};

class UdevMonitorTest : public UsbFixture {
protected:
    void SetUp() override
    {
        UsbFixture::SetUp();
        SetUdevSourceFactory([this] {
            auto source = std::make_unique<TScriptedUdev>(SourceAlive);
            Udev = source.get();
            return source;
        });
        Window = std::make_unique<TMessageWindow>([this](TMessage& m) {
            if (m.Msg == WM_DEVICECHANGE && m.LParam == DBT_DEVTYP_DEVICEINTERFACE && m.Block)
                Notices.push_back({m.WParam, *m.Block});
        });
        Registration = RegisterDeviceNotification(Window->Handle(), GUID_DEVINTERFACE_USB_DEVICE);
    }
    void TearDown() override
    {
        UnregisterDeviceNotification(Registration);
        Window.reset();
        UsbFixture::TearDown();
        SetUdevSourceFactory({});
    }

    // Pushes the events, then one arrival that marks the end; returns what
    // the window was told before the mark.
    std::vector<TNotice> Tell(const std::vector<TUdevEvent>& events)
    {
        Notices.clear();
        for (const TUdevEvent& e : events)
            Udev->Push(e);
        Udev->Push({"add", "1/1/0", "end", std::nullopt});
        const TNotice mark{DBT_DEVICEARRIVAL, UsbDeviceInterfaceName(1, 1, "end")};
        EXPECT_TRUE(WaitFor([&] { return !Notices.empty() && Notices.back() == mark; }));
        if (!Notices.empty())
            Notices.pop_back();
        return Notices;
    }

    bool SourceAlive = false;
    TScriptedUdev* Udev = nullptr;
    std::unique_ptr<TMessageWindow> Window;
    HDEVNOTIFY Registration = 0;
    std::vector<TNotice> Notices;
};

const std::optional<std::string> kNone;

} // namespace

TEST_F(UdevMonitorTest, EventsBecomeNoticesOfArrivalAndRemoval)
{
    ASSERT_TRUE(DeviceMonitorActive());
    ASSERT_NE(Udev, nullptr);
    const std::string name = UsbDeviceInterfaceName(0xFFF0, 4, "A1B2");
    struct TCase {
        const char* What;
        TUdevEvent Event;
        std::vector<TNotice> Told;
    };
    const std::vector<TCase> cases = {
        {"arrival", {"add", "fff0/4/100", "A1B2", "1-1"}, {{DBT_DEVICEARRIVAL, name}}},
        {"removal", {"remove", "fff0/4/100", "A1B2", "1-1"}, {{DBT_DEVICEREMOVECOMPLETE, name}}},
        {"no serial: the kernel's name", {"add", "FFF0/0004/0100", kNone, "1-1.2"},
         {{DBT_DEVICEARRIVAL, UsbDeviceInterfaceName(0xFFF0, 4, "1_1_2")}}},
        {"neither serial nor name", {"remove", "fff0/4/100", kNone, kNone},
         {{DBT_DEVICEREMOVECOMPLETE, UsbDeviceInterfaceName(0xFFF0, 4, "0")}}},
        {"a driver bound", {"bind", "fff0/4/100", "A1B2", "1-1"}, {}},
        {"a change", {"change", "fff0/4/100", "A1B2", "1-1"}, {}},
        {"no action", {kNone, "fff0/4/100", "A1B2", "1-1"}, {}},
        {"no PRODUCT", {"add", kNone, "A1B2", "1-1"}, {}},
        {"a vendor of five digits", {"add", "1fff0/4/100", "A1B2", "1-1"}, {}},
        {"no release", {"add", "fff0/4", "A1B2", "1-1"}, {}},
        {"not hexadecimal", {"add", "fffg/4/100", "A1B2", "1-1"}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(Tell({c.Event}), c.Told);
    }
    // Several at once come in their order.
    EXPECT_EQ(Tell({cases[0].Event, cases[4].Event, cases[1].Event}),
              (std::vector<TNotice>{{DBT_DEVICEARRIVAL, name}, {DBT_DEVICEREMOVECOMPLETE, name}}));
}

TEST_F(UdevMonitorTest, TheLinkFollowsTheDeviceAsUdevTellsIt)
{
    auto& link = MakeLink();
    EXPECT_EQ(link.Connect(), 0);
    EXPECT_FALSE(link.Connected());
    const int device = AddDevice();
    Udev->Push({"add", "fff0/4/100", "S1", "1-1"});
    ASSERT_TRUE(WaitFor([&] { return link.Connected(); }));
    FakeUsb::SetPlugged(device, false);
    Udev->Push({"remove", "fff0/4/100", "S1", "1-1"});
    ASSERT_TRUE(WaitFor([&] { return !link.Connected(); }));
    EXPECT_EQ(Changes, (std::vector<bool>{true, false}));
}

TEST_F(UdevMonitorTest, TheMonitorRunsWhileAWindowIsRegistered)
{
    ASSERT_TRUE(SourceAlive);
    // A second window shares the monitor; when the last one goes, it stops.
    TMessageWindow other;
    const HDEVNOTIFY second = RegisterDeviceNotification(other.Handle(), GUID_DEVINTERFACE_USB_DEVICE);
    EXPECT_TRUE(DeviceMonitorActive());
    UnregisterDeviceNotification(Registration);
    Registration = 0;
    EXPECT_TRUE(SourceAlive);
    UnregisterDeviceNotification(second);
    EXPECT_FALSE(DeviceMonitorActive());
    EXPECT_FALSE(SourceAlive);
    // Registering again starts it afresh.
    Registration = RegisterDeviceNotification(Window->Handle(), GUID_DEVINTERFACE_USB_DEVICE);
    EXPECT_TRUE(DeviceMonitorActive());
    EXPECT_TRUE(SourceAlive);
    EXPECT_EQ(Tell({{"add", "fff0/4/100", "A1B2", "1-1"}}),
              (std::vector<TNotice>{{DBT_DEVICEARRIVAL, UsbDeviceInterfaceName(0xFFF0, 4, "A1B2")}}));
}
