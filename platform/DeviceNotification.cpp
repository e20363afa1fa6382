#include "platform/DeviceNotification.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <libudev.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The class GUID at the end of a device-interface name: its last "{...}".
std::string InterfaceClassOf(const std::string& name)
{
    const auto open = name.rfind('{');
    if (open == std::string::npos)
        return {};
    const auto close = name.find('}', open);
    if (close == std::string::npos)
        return {};
    return Lower(name.substr(open, close - open + 1));
}

// The udev monitor of USB devices. It lives in the GUI thread; the socket
// notifier reads one event at a time as it comes.
class TUdevMonitor {
public:
    static std::unique_ptr<TUdevMonitor> Open()
    {
        auto monitor = std::unique_ptr<TUdevMonitor>(new TUdevMonitor);
        monitor->FUdev = udev_new();
        if (!monitor->FUdev)
            return {};
        monitor->FMonitor = udev_monitor_new_from_netlink(monitor->FUdev, "udev");
        if (!monitor->FMonitor)
            return {};
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor->FMonitor, "usb", "usb_device") < 0 ||
            udev_monitor_enable_receiving(monitor->FMonitor) < 0)
            return {};
        const int fd = udev_monitor_get_fd(monitor->FMonitor);
        if (fd < 0)
            return {};
        monitor->FNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        TUdevMonitor* self = monitor.get();
        QObject::connect(monitor->FNotifier.get(), &QSocketNotifier::activated, [self] { self->ReadEvent(); });
        return monitor;
    }

    ~TUdevMonitor()
    {
        if (FNotifier && !QCoreApplication::instance())
            (void)FNotifier.release(); // the event system is gone; nothing to detach from
        FNotifier.reset();
        if (FMonitor)
            udev_monitor_unref(FMonitor);
        if (FUdev)
            udev_unref(FUdev);
    }

private:
    TUdevMonitor() = default;

    void ReadEvent()
    {
        udev_device* device = udev_monitor_receive_device(FMonitor);
        if (!device)
            return;
        const char* action = udev_device_get_action(device);
        std::uint32_t event = 0;
        if (action && std::string(action) == "add")
            event = DBT_DEVICEARRIVAL;
        else if (action && std::string(action) == "remove")
            event = DBT_DEVICEREMOVECOMPLETE;
        const char* product = udev_device_get_property_value(device, "PRODUCT");
        const char* serial = udev_device_get_property_value(device, "ID_SERIAL_SHORT");
        if (!serial)
            serial = udev_device_get_sysname(device);
        const std::string name = UsbDeviceInterfaceNameFromProduct(product ? product : "", serial ? serial : "");
        udev_device_unref(device);
        if (event != 0 && !name.empty())
            BroadcastDeviceInterfaceChange(event, name);
    }

    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

struct TRegistration {
    HWND Window;
    std::string InterfaceClass;
};

struct TRegistry {
    std::mutex Lock;
    std::map<HDEVNOTIFY, TRegistration> Entries;
    HDEVNOTIFY Next = 1;
    std::unique_ptr<TUdevMonitor> Monitor;
    bool MonitorTried = false;

    bool WantsMonitor() const
    {
        return std::any_of(Entries.begin(), Entries.end(), [](const auto& entry) {
            return entry.second.InterfaceClass == GUID_DEVINTERFACE_USB_DEVICE;
        });
    }
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}

bool InApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

HDEVNOTIFY RegisterDeviceNotification(HWND window, const std::string& interfaceClass)
{
    if (window == 0)
        return 0;
    auto& registry = Registry();
    std::lock_guard lock(registry.Lock);
    const HDEVNOTIFY handle = registry.Next++;
    registry.Entries[handle] = {window, Lower(interfaceClass)};
    // The monitor is started once while windows are registered, from the GUI
    // thread only (its socket notifier belongs there). Without udev it stays
    // absent and nothing is shown.
    if (!registry.Monitor && !registry.MonitorTried && registry.WantsMonitor() && InApplicationThread()) {
        registry.MonitorTried = true;
        registry.Monitor = TUdevMonitor::Open();
    }
    return handle;
}

bool UnregisterDeviceNotification(HDEVNOTIFY notification)
{
    auto& registry = Registry();
    std::unique_ptr<TUdevMonitor> unused;
    {
        std::lock_guard lock(registry.Lock);
        if (registry.Entries.erase(notification) == 0)
            return false;
        if (!registry.WantsMonitor()) {
            registry.MonitorTried = false;
            if (InApplicationThread())
                unused = std::move(registry.Monitor);
        }
    }
    return true; // the monitor, if unused, closes here, outside the lock
}

int BroadcastDeviceInterfaceChange(std::uint32_t event, const std::string& name)
{
    const std::string interfaceClass = InterfaceClassOf(name);
    std::vector<HWND> windows;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.Lock);
        for (const auto& [handle, entry] : registry.Entries)
            if (!interfaceClass.empty() && entry.InterfaceClass == interfaceClass)
                windows.push_back(entry.Window);
    }
    int reached = 0;
    for (const HWND window : windows)
        if (TMessageWindow::PostMessage(window, WM_DEVICECHANGE, event, DBT_DEVTYP_DEVICEINTERFACE,
                                        std::make_unique<std::string>(name)))
            ++reached;
    return reached;
}

std::string UsbDeviceInterfaceName(std::uint16_t vendor, std::uint16_t product, const std::string& serial)
{
    std::string cleanSerial;
    for (const char c : serial)
        cleanSerial += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    if (cleanSerial.empty())
        cleanSerial.push_back('0');
    char ids[32];
    std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X", vendor, product);
    std::string name = "\\\\?\\USB#";
    name.append(ids).append("#").append(cleanSerial).append("#").append(GUID_DEVINTERFACE_USB_DEVICE);
    return name;
}

std::string UsbDeviceInterfaceNameFromProduct(const std::string& productProperty, const std::string& serial)
{
    // "vendor/product/release", each 1 to 4 hexadecimal digits.
    std::uint32_t values[2] = {0, 0};
    std::size_t pos = 0;
    for (std::uint32_t& value : values) {
        std::size_t digits = 0;
        while (pos < productProperty.size() && std::isxdigit(static_cast<unsigned char>(productProperty[pos]))) {
            if (++digits > 4)
                return {};
            value = value * 16 + static_cast<std::uint32_t>(std::stoul(productProperty.substr(pos, 1), nullptr, 16));
            ++pos;
        }
        if (digits == 0 || pos >= productProperty.size() || productProperty[pos] != '/')
            return {};
        ++pos;
    }
    return UsbDeviceInterfaceName(static_cast<std::uint16_t>(values[0]), static_cast<std::uint16_t>(values[1]),
                                  serial);
}

bool DeviceMonitorActive()
{
    auto& registry = Registry();
    std::lock_guard lock(registry.Lock);
    return registry.Monitor != nullptr;
}
