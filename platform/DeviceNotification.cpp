#include "platform/DeviceNotification.h"

#include "platform/AsciiText.h"

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

// The class GUID at the end of a device-interface name: its last "{...}".
std::string InterfaceClassOf(const std::string& name)
{
    const auto open = name.rfind('{');
    if (open == std::string::npos)
        return {};
    const auto close = name.find('}', open);
    if (close == std::string::npos)
        return {};
    return AsciiLowerCase(name.substr(open, close - open + 1));
}

// Events of USB devices from libudev's monitor.
class TLibUdevSource : public TUdevEventSource {
public:
    static std::unique_ptr<TUdevEventSource> Open()
    {
        auto source = std::unique_ptr<TLibUdevSource>(new TLibUdevSource);
        source->FUdev = udev_new();
        if (!source->FUdev)
            return {};
        source->FMonitor = udev_monitor_new_from_netlink(source->FUdev, "udev");
        if (!source->FMonitor)
            return {};
        if (udev_monitor_filter_add_match_subsystem_devtype(source->FMonitor, "usb", "usb_device") < 0 ||
            udev_monitor_enable_receiving(source->FMonitor) < 0)
            return {};
        return source;
    }

    ~TLibUdevSource() override
    {
        if (FMonitor)
            udev_monitor_unref(FMonitor);
        if (FUdev)
            udev_unref(FUdev);
    }

    int Fd() const override { return udev_monitor_get_fd(FMonitor); }

    std::optional<TUdevEvent> Receive() override
    {
        udev_device* device = udev_monitor_receive_device(FMonitor);
        if (!device)
            return std::nullopt;
        auto text = [](const char* value) { return value ? std::optional<std::string>(value) : std::nullopt; };
        TUdevEvent event;
        event.Action = text(udev_device_get_action(device));
        event.Product = text(udev_device_get_property_value(device, "PRODUCT"));
        event.SerialShort = text(udev_device_get_property_value(device, "ID_SERIAL_SHORT"));
        event.SysName = text(udev_device_get_sysname(device));
        udev_device_unref(device);
        return event;
    }

private:
    TLibUdevSource() = default;
    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
};

std::mutex gSourceFactoryLock;
TUdevSourceFactory gSourceFactory;

// The monitor of USB devices. It lives in the GUI thread; the socket notifier
// reads one event at a time as it comes.
class TUdevMonitor {
public:
    static std::unique_ptr<TUdevMonitor> Open()
    {
        TUdevSourceFactory factory;
        {
            std::lock_guard lock(gSourceFactoryLock);
            factory = gSourceFactory;
        }
        std::unique_ptr<TUdevEventSource> source = factory ? factory() : TLibUdevSource::Open();
        if (!source || source->Fd() < 0)
            return {};
        auto monitor = std::unique_ptr<TUdevMonitor>(new TUdevMonitor);
        monitor->FSource = std::move(source);
        monitor->FNotifier = std::make_unique<QSocketNotifier>(monitor->FSource->Fd(), QSocketNotifier::Read);
        TUdevMonitor* self = monitor.get();
        QObject::connect(monitor->FNotifier.get(), &QSocketNotifier::activated, [self] { self->ReadEvent(); });
        return monitor;
    }

    ~TUdevMonitor()
    {
        if (FNotifier && !QCoreApplication::instance())
            (void)FNotifier.release(); // the event system is gone; nothing to detach from
        FNotifier.reset();
    }

private:
    TUdevMonitor() = default;

    // Turns one event into the notification: "add" an arrival, "remove" a
    // removal, named from PRODUCT and the serial (ID_SERIAL_SHORT, else the
    // kernel's name). Other actions, and events without a PRODUCT of the
    // right form, are no notification.
    void ReadEvent()
    {
        const std::optional<TUdevEvent> received = FSource->Receive();
        if (!received)
            return;
        const TUdevEvent& e = *received;
        std::uint32_t event = 0;
        if (e.Action == "add")
            event = DBT_DEVICEARRIVAL;
        else if (e.Action == "remove")
            event = DBT_DEVICEREMOVECOMPLETE;
        const std::string serial = e.SerialShort ? *e.SerialShort : e.SysName.value_or("");
        const std::string name = UsbDeviceInterfaceNameFromProduct(e.Product.value_or(""), serial);
        if (event != 0 && !name.empty())
            BroadcastDeviceInterfaceChange(event, name);
    }

    std::unique_ptr<TUdevEventSource> FSource;
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
    registry.Entries[handle] = {window, AsciiLowerCase(interfaceClass)};
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
        cleanSerial += IsAsciiAlnum(c) ? c : '_';
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

void SetUdevSourceFactory(TUdevSourceFactory factory)
{
    std::lock_guard lock(gSourceFactoryLock);
    gSourceFactory = std::move(factory);
}

bool DeviceMonitorActive()
{
    auto& registry = Registry();
    std::lock_guard lock(registry.Lock);
    return registry.Monitor != nullptr;
}
