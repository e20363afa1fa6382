// Arrival and removal of the device, told to the link as the device monitor
// tells it.
#include "platform/DeviceNotification.h"
#include "tests/usb/UsbFixture.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

class UsbHotplugTest : public UsbFixture {
protected:
    static void Notify(std::uint32_t event, std::uint16_t vendor, std::uint16_t product)
    {
        EXPECT_GE(BroadcastDeviceInterfaceChange(event, UsbDeviceInterfaceName(vendor, product, "S1")), 1);
    }
    static int Searches()
    {
        const auto calls = FakeUsb::Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), "find_busses"));
    }
};

} // namespace

TEST_F(UsbHotplugTest, ArrivalConnectsAndRemovalCloses)
{
    auto& link = MakeLink();
    EXPECT_EQ(link.Connect(), 0);
    EXPECT_FALSE(link.Connected());

    const int device = AddDevice();
    Notify(DBT_DEVICEARRIVAL, ZorvatekVendorID, 4);
    ASSERT_TRUE(WaitFor([&] { return link.Connected(); }));
    EXPECT_EQ(Changes, std::vector<bool>{true});

    FakeUsb::SetPlugged(device, false);
    Notify(DBT_DEVICEREMOVECOMPLETE, ZorvatekVendorID, 4);
    // The device is gone, so the release fails; the link closes all the same
    // and the error stays inside the window.
    ASSERT_TRUE(WaitFor([&] { return !link.Connected(); }));
    EXPECT_EQ(Changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(link.DeviceHandle(), nullptr);

    FakeUsb::SetPlugged(device, true);
    Notify(DBT_DEVICEARRIVAL, ZorvatekVendorID, 4);
    ASSERT_TRUE(WaitFor([&] { return link.Connected(); }));
    FakeUsb::PushRead(device, 0x81, "\x80" "back");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
    EXPECT_EQ(Received[0], "back");
}

TEST_F(UsbHotplugTest, NoticesForOtherDevicesAreIgnored)
{
    AddDevice();
    auto& link = MakeLink();
    link.Connect();
    ASSERT_TRUE(link.Connected());
    FakeUsb::ClearCalls();
    Notify(DBT_DEVICEREMOVECOMPLETE, ZorvatekVendorID, 5);
    Notify(DBT_DEVICEREMOVECOMPLETE, 0x1234, 4);
    Notify(0x8003, ZorvatekVendorID, 4); // neither arrival nor removal
    // A notice that is no device-interface broadcast.
    TMessageWindow::PostMessage(link.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0,
                                std::make_unique<std::string>(UsbDeviceInterfaceName(ZorvatekVendorID, 4, "")));
    TMessageWindow::PostMessage(link.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE);
    QCoreApplication::processEvents();
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(Changes, std::vector<bool>{true});

    link.Close();
    Changes.clear();
    FakeUsb::ClearCalls();
    Notify(DBT_DEVICEARRIVAL, ZorvatekVendorID, 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(Searches(), 0);
    EXPECT_FALSE(link.Connected());
}

TEST_F(UsbHotplugTest, AnotherArrivalKeepsTheDeviceTheLinkHolds)
{
    const int first = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    ASSERT_TRUE(link.Connected());
    AddDevice(); // a second device with the same ids
    Notify(DBT_DEVICEARRIVAL, ZorvatekVendorID, 4);
    QCoreApplication::processEvents();
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(FakeUsb::OpenHandles(), 1);
    EXPECT_EQ(Changes, std::vector<bool>{true});
    link.SendInterrupt('A', "");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::Writes(first, 0x01).size(), 1u);
}

TEST_F(UsbHotplugTest, AnArrivalThatCannotBeConfiguredShowsNothing)
{
    const int device = AddDevice();
    FakeUsb::ScriptResult(device, FakeUsb::TCall::SetConfiguration, 0);
    FakeUsb::ScriptResult(device, FakeUsb::TCall::SetConfiguration, -32, "could not set config 1");
    auto& link = MakeLink();
    Notify(DBT_DEVICEARRIVAL, ZorvatekVendorID, 4);
    ASSERT_TRUE(WaitFor([&] { return Searches() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(link.Connected());
    EXPECT_TRUE(Changes.empty()); // and the fixture sees no message box
}

TEST_F(UsbHotplugTest, OnlyRegisteredWindowsHearOfDevices)
{
    const std::string name = UsbDeviceInterfaceName(ZorvatekVendorID, 4, "");
    const int before = BroadcastDeviceInterfaceChange(DBT_DEVICEARRIVAL, name);
    {
        auto& link = MakeLink();
        (void)link;
        EXPECT_EQ(BroadcastDeviceInterfaceChange(DBT_DEVICEARRIVAL, name), before + 1);
        Link.reset();
    }
    EXPECT_EQ(BroadcastDeviceInterfaceChange(DBT_DEVICEARRIVAL, name), before);
    // Another class reaches no USB link.
    EXPECT_EQ(BroadcastDeviceInterfaceChange(DBT_DEVICEARRIVAL, "\\\\?\\HID#VID_FFF0&PID_0004#0#{4d1e55b2-f16f-11cf-88cb-001111000030}"), 0);
    HDEVNOTIFY other = RegisterDeviceNotification(1, "{4D1E55B2-F16F-11CF-88CB-001111000030}");
    EXPECT_NE(other, 0u);
    EXPECT_TRUE(UnregisterDeviceNotification(other));
    EXPECT_FALSE(UnregisterDeviceNotification(other));
    EXPECT_EQ(RegisterDeviceNotification(0, GUID_DEVINTERFACE_USB_DEVICE), 0u);
}
