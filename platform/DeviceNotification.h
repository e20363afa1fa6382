#pragma once
// Device arrival and removal, told to hidden windows as WM_DEVICECHANGE.
//
// A window registers for a device-interface class (a GUID text). Every
// arrival or removal of a device of that class is posted to it as
// WM_DEVICECHANGE with the event (DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE)
// in wParam, DBT_DEVTYP_DEVICEINTERFACE in lParam and the device-interface
// name in the message's block, for instance
//   \\?\USB#VID_1234&PID_0004#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}
//
// USB devices come from a libudev monitor (subsystem "usb", device type
// "usb_device"), watched in the GUI thread while at least one window is
// registered for GUID_DEVINTERFACE_USB_DEVICE. Where there is no udev (a
// container, CI) the monitor is simply absent: registration still succeeds
// and notifications can be injected.
#include "platform/MessageWindow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

using HDEVNOTIFY = std::uintptr_t; // 0: none

enum : std::uint32_t {
    WM_DEVICECHANGE = 0x0219,
    DBT_DEVICEARRIVAL = 0x8000,
    DBT_DEVICEREMOVECOMPLETE = 0x8004,
    DBT_DEVTYP_DEVICEINTERFACE = 5,
};

// The device-interface class of USB devices.
inline constexpr const char* GUID_DEVINTERFACE_USB_DEVICE = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

// Registers `window` for the notifications of the device-interface class
// `interfaceClass` (compared without regard to case). 0 for no window.
HDEVNOTIFY RegisterDeviceNotification(HWND window, const std::string& interfaceClass);
// Ends a registration; false for a handle that is not registered.
bool UnregisterDeviceNotification(HDEVNOTIFY notification);

// Posts a notification to every window registered for the class that ends
// `name` (its last "{...}" part), as the monitor does. Callable from any
// thread; tests use it in place of a udev daemon. The number of windows
// reached.
int BroadcastDeviceInterfaceChange(std::uint32_t event, const std::string& name);

// The device-interface name of a USB device with the given ids and serial
// text (characters other than letters and digits become "_"; an empty serial
// becomes "0").
std::string UsbDeviceInterfaceName(std::uint16_t vendor, std::uint16_t product, const std::string& serial);

// The name from what udev tells of a device: its PRODUCT property
// ("vendor/product/release", hexadecimal without leading zeros) and its
// serial. Empty when PRODUCT is not of that form.
std::string UsbDeviceInterfaceNameFromProduct(const std::string& productProperty, const std::string& serial);

// Whether a udev monitor of USB devices is running (false without udev or
// without a registered window).
bool DeviceMonitorActive();

// One device event as udev tells it; a field the event does not carry is
// absent.
struct TUdevEvent {
    std::optional<std::string> Action;      // "add", "remove", "bind", "change"...
    std::optional<std::string> Product;     // PRODUCT: "vendor/product/release", hexadecimal
    std::optional<std::string> SerialShort; // ID_SERIAL_SHORT
    std::optional<std::string> SysName;     // the kernel's name of the device ("1-1.2")
};

// Where the monitor takes USB device events from: libudev's monitor of the
// "usb" subsystem, or a test's double.
class TUdevEventSource {
public:
    virtual ~TUdevEventSource() = default;
    // A descriptor that is readable while an event waits.
    virtual int Fd() const = 0;
    // Takes one event; none when nothing could be read.
    virtual std::optional<TUdevEvent> Receive() = 0;
};
// Makes the source when the monitor starts (a maker that gives none: no
// monitor). Empty: libudev. Takes effect at the next start of the monitor.
using TUdevSourceFactory = std::function<std::unique_ptr<TUdevEventSource>()>;
void SetUdevSourceFactory(TUdevSourceFactory factory);
