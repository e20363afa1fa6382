#include "link/UsbLegacy.h"

#include <libusb.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct usb_dev_handle {
    libusb_device_handle* Handle = nullptr;
    int Fd = -1;
    std::mutex Lock;
    std::condition_variable Idle;
    std::set<libusb_transfer*> InFlight; // submitted and not yet finished
    bool Released = false; // no interface claimed since a release
    bool Closing = false;
};

namespace {

// ---------------------------------------------------------------- errors

thread_local char tError[512] = "no error";

void SetError(const std::string& what, int result)
{
    std::snprintf(tError, sizeof tError, "%s: %s", what.c_str(), std::strerror(-result));
}

// libusb-1.0's codes as the negative errno values of 0.1.
int FromLibusb(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS: return 0;
    case LIBUSB_ERROR_IO: return -EIO;
    case LIBUSB_ERROR_INVALID_PARAM: return -EINVAL;
    case LIBUSB_ERROR_ACCESS: return -EACCES;
    case LIBUSB_ERROR_NO_DEVICE: return -ENODEV;
    case LIBUSB_ERROR_NOT_FOUND: return -ENOENT;
    case LIBUSB_ERROR_BUSY: return -EBUSY;
    case LIBUSB_ERROR_TIMEOUT: return -ETIMEDOUT;
    case LIBUSB_ERROR_OVERFLOW: return -EOVERFLOW;
    case LIBUSB_ERROR_PIPE: return -EPIPE;
    case LIBUSB_ERROR_INTERRUPTED: return -EINTR;
    case LIBUSB_ERROR_NO_MEM: return -ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED: return -ENOSYS;
    default: return code >= 0 ? code : -EIO;
    }
}

// A request's result: 0 or the negative errno, with the text kept.
int Result(int code, const std::string& what)
{
    const int result = FromLibusb(code);
    if (result < 0)
        SetError(what, result);
    return result;
}

// ---------------------------------------------------------------- the context

std::mutex gLock; // the context, the records and the search
libusb_context* gContext = nullptr;

// One context for the process, made without device discovery: the layer
// finds the devices itself and hands libusb-1.0 the nodes it opens.
libusb_context* Context()
{
    std::lock_guard lock(gLock);
    if (!gContext) {
        (void)libusb_set_option(nullptr, LIBUSB_OPTION_NO_DEVICE_DISCOVERY);
        libusb_context* context = nullptr;
        const int r = libusb_init(&context);
        if (r < 0) {
            SetError("could not start libusb-1.0", FromLibusb(r));
            return nullptr;
        }
        gContext = context;
    }
    return gContext;
}

// ---------------------------------------------------------------- the records

// A device record with the storage its descriptors point into.
struct TDeviceRecord {
    usb_device Record{};
    std::vector<usb_config_descriptor> Configs;
    std::vector<std::vector<usb_interface>> Interfaces;
    std::vector<std::vector<std::vector<usb_interface_descriptor>>> Settings;
    std::list<std::vector<usb_endpoint_descriptor>> Endpoints;
    std::string Path;
    bool Listed = false;
};

struct TBusRecord {
    usb_bus Record{};
    std::string Path;
    bool Listed = false;
};

// Every record ever made stays (a caller may hold one across a search).
std::list<TBusRecord> gBusses;
std::list<TDeviceRecord> gDevices;
usb_bus* gBusList = nullptr;

std::string Root()
{
    const char* path = std::getenv("USB_DEVFS_PATH");
    return path && *path ? path : "/dev/bus/usb";
}

std::vector<std::string> Entries(const std::string& folder, bool folders)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const bool isFolder = entry->d_type == DT_DIR;
            const bool isUnknown = entry->d_type == DT_UNKNOWN;
            if (isUnknown || isFolder == folders)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::uint16_t Word(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// The configuration descriptors that follow the device descriptor in what
// the node reads, with their interfaces, alternate settings and endpoints.
bool ParseDescriptors(TDeviceRecord& d, const std::vector<unsigned char>& raw)
{
    if (raw.size() < USB_DT_DEVICE_SIZE || raw[1] != USB_DT_DEVICE)
        return false;
    usb_device_descriptor& dd = d.Record.descriptor;
    dd.bLength = raw[0];
    dd.bDescriptorType = raw[1];
    dd.bcdUSB = Word(&raw[2]);
    dd.bDeviceClass = raw[4];
    dd.bDeviceSubClass = raw[5];
    dd.bDeviceProtocol = raw[6];
    dd.bMaxPacketSize0 = raw[7];
    dd.idVendor = Word(&raw[8]);
    dd.idProduct = Word(&raw[10]);
    dd.bcdDevice = Word(&raw[12]);
    dd.iManufacturer = raw[14];
    dd.iProduct = raw[15];
    dd.iSerialNumber = raw[16];
    dd.bNumConfigurations = 0;
    const std::size_t announced = raw[17];

    std::size_t at = USB_DT_DEVICE_SIZE;
    while (d.Configs.size() < announced && at + USB_DT_CONFIG_SIZE <= raw.size() && raw[at + 1] == USB_DT_CONFIG) {
        const std::size_t total = std::min<std::size_t>(Word(&raw[at + 2]), raw.size() - at);
        const std::size_t end = at + std::max<std::size_t>(total, USB_DT_CONFIG_SIZE);
        usb_config_descriptor c{};
        c.bLength = raw[at];
        c.bDescriptorType = raw[at + 1];
        c.wTotalLength = Word(&raw[at + 2]);
        c.bConfigurationValue = raw[at + 5];
        c.iConfiguration = raw[at + 6];
        c.bmAttributes = raw[at + 7];
        c.MaxPower = raw[at + 8];
        // The interfaces in the order they first appear, each with its settings.
        std::vector<int> numbers;
        std::vector<std::vector<usb_interface_descriptor>> settings;
        std::vector<std::vector<std::vector<usb_endpoint_descriptor>>> endpoints;
        std::size_t p = at + std::max<std::size_t>(raw[at], 2);
        usb_interface_descriptor* current = nullptr;
        std::vector<usb_endpoint_descriptor>* currentEndpoints = nullptr;
        while (p + 2 <= end) {
            const std::size_t length = raw[p];
            if (length < 2 || p + length > end)
                break;
            const unsigned char type = raw[p + 1];
            if (type == USB_DT_INTERFACE && length >= USB_DT_INTERFACE_SIZE) {
                usb_interface_descriptor s{};
                s.bLength = raw[p];
                s.bDescriptorType = type;
                s.bInterfaceNumber = raw[p + 2];
                s.bAlternateSetting = raw[p + 3];
                s.bInterfaceClass = raw[p + 5];
                s.bInterfaceSubClass = raw[p + 6];
                s.bInterfaceProtocol = raw[p + 7];
                s.iInterface = raw[p + 8];
                auto it = std::find(numbers.begin(), numbers.end(), s.bInterfaceNumber);
                std::size_t index = static_cast<std::size_t>(it - numbers.begin());
                if (it == numbers.end()) {
                    numbers.push_back(s.bInterfaceNumber);
                    settings.emplace_back();
                    endpoints.emplace_back();
                }
                settings[index].push_back(s);
                endpoints[index].emplace_back();
                current = &settings[index].back();
                currentEndpoints = &endpoints[index].back();
            } else if (type == USB_DT_ENDPOINT && length >= USB_DT_ENDPOINT_SIZE && current) {
                usb_endpoint_descriptor e{};
                e.bLength = raw[p];
                e.bDescriptorType = type;
                e.bEndpointAddress = raw[p + 2];
                e.bmAttributes = raw[p + 3];
                e.wMaxPacketSize = Word(&raw[p + 4]);
                e.bInterval = raw[p + 6];
                currentEndpoints->push_back(e);
            }
            p += length;
        }
        // The storage is complete; now the records point into it.
        d.Settings.push_back(std::move(settings));
        auto& configSettings = d.Settings.back();
        d.Interfaces.emplace_back(configSettings.size());
        for (std::size_t i = 0; i < configSettings.size(); ++i) {
            for (std::size_t a = 0; a < configSettings[i].size(); ++a) {
                d.Endpoints.push_back(std::move(endpoints[i][a]));
                auto& list = d.Endpoints.back();
                configSettings[i][a].bNumEndpoints = static_cast<std::uint8_t>(list.size());
                configSettings[i][a].endpoint = list.empty() ? nullptr : list.data();
            }
            d.Interfaces.back()[i].altsetting = configSettings[i].data();
            d.Interfaces.back()[i].num_altsetting = static_cast<int>(configSettings[i].size());
        }
        c.bNumInterfaces = static_cast<std::uint8_t>(configSettings.size());
        d.Configs.push_back(c);
        at = end;
    }
    for (std::size_t i = 0; i < d.Configs.size(); ++i)
        d.Configs[i].interface = d.Interfaces[i].empty() ? nullptr : d.Interfaces[i].data();
    dd.bNumConfigurations = static_cast<std::uint8_t>(d.Configs.size());
    d.Record.config = d.Configs.empty() ? nullptr : d.Configs.data();
    return true;
}

bool ReadDescriptors(TDeviceRecord& d)
{
    const int fd = ::open(d.Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<unsigned char> raw;
    unsigned char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        raw.insert(raw.end(), buffer, buffer + n);
        if (raw.size() > 65536)
            break;
    }
    ::close(fd);
    return ParseDescriptors(d, raw);
}

void CopyName(char* to, const std::string& name)
{
    std::snprintf(to, USB_NAME_MAX + 1, "%s", name.c_str());
}

// Links the records into the chain the caller walks, in the order given.
template <typename TRecord> auto* Chain(const std::vector<TRecord*>& records)
{
    decltype(&records.front()->Record) first = nullptr;
    decltype(first) previous = nullptr;
    for (TRecord* r : records) {
        r->Record.prev = previous;
        r->Record.next = nullptr;
        if (previous)
            previous->next = &r->Record;
        else
            first = &r->Record;
        previous = &r->Record;
    }
    return first;
}

// ---------------------------------------------------------------- transfers

void LIBUSB_CALL TransferDone(libusb_transfer* transfer)
{
    __atomic_store_n(static_cast<int*>(transfer->user_data), 1, __ATOMIC_RELEASE);
}

int Transfer(usb_dev_handle* dev, unsigned char type, int ep, unsigned char* bytes, int size, int timeout)
{
    if (!dev || size < 0 || timeout < 0 || (!bytes && size > 0)) {
        SetError("usb transfer", -EINVAL);
        return -EINVAL;
    }
    libusb_context* context = Context();
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (!context || !transfer) {
        libusb_free_transfer(transfer);
        SetError("usb transfer", -ENOMEM);
        return -ENOMEM;
    }
    int done = 0;
    const unsigned char endpoint = static_cast<unsigned char>(ep);
    if (type == LIBUSB_TRANSFER_TYPE_BULK)
        libusb_fill_bulk_transfer(transfer, dev->Handle, endpoint, bytes, size, TransferDone, &done,
                                  static_cast<unsigned>(timeout));
    else
        libusb_fill_interrupt_transfer(transfer, dev->Handle, endpoint, bytes, size, TransferDone, &done,
                                       static_cast<unsigned>(timeout));
    {
        // Submitted under the handle's lock, so usb_close either sees the
        // transfer and ends it, or this one sees the handle closing.
        std::lock_guard lock(dev->Lock);
        const int r = dev->Closing || dev->Released ? LIBUSB_ERROR_NO_DEVICE : libusb_submit_transfer(transfer);
        if (r < 0) {
            libusb_free_transfer(transfer);
            return Result(r, "usb transfer");
        }
        dev->InFlight.insert(transfer);
    }
    bool broken = false;
    while (!__atomic_load_n(&done, __ATOMIC_ACQUIRE)) {
        const int r = libusb_handle_events_completed(context, &done);
        if (r < 0 && r != LIBUSB_ERROR_INTERRUPTED && !broken) {
            // The events cannot be handled: the transfer is ended, and its
            // end handled, before the buffer is given back.
            broken = true;
            (void)libusb_cancel_transfer(transfer);
        }
    }
    bool ended = false; // by a release or usb_close
    {
        std::lock_guard lock(dev->Lock);
        dev->InFlight.erase(transfer);
        ended = dev->Closing || dev->Released;
    }
    dev->Idle.notify_all();
    const int moved = transfer->actual_length;
    const libusb_transfer_status status = transfer->status;
    libusb_free_transfer(transfer);
    // Whatever the device sent (or took) is reported, however the transfer
    // ended.
    if (status == LIBUSB_TRANSFER_COMPLETED || moved > 0)
        return moved;
    int result = -EIO;
    switch (ended ? LIBUSB_TRANSFER_NO_DEVICE : status) {
    case LIBUSB_TRANSFER_TIMED_OUT: result = -ETIMEDOUT; break;
    case LIBUSB_TRANSFER_STALL: result = -EPIPE; break;
    case LIBUSB_TRANSFER_NO_DEVICE: result = -ENODEV; break;
    case LIBUSB_TRANSFER_OVERFLOW: result = -EOVERFLOW; break;
    default: result = -EIO; break;
    }
    SetError("usb transfer", result);
    return result;
}

} // namespace

// ---------------------------------------------------------------- the 0.1 functions

extern "C" {

void usb_init(void)
{
    (void)Context();
}

void usb_set_debug(int level)
{
    if (libusb_context* context = Context())
        (void)libusb_set_option(context, LIBUSB_OPTION_LOG_LEVEL,
                                std::clamp(level, static_cast<int>(LIBUSB_LOG_LEVEL_NONE),
                                           static_cast<int>(LIBUSB_LOG_LEVEL_DEBUG)));
}

int usb_find_busses(void)
{
    std::lock_guard lock(gLock);
    const std::string root = Root();
    const std::vector<std::string> names = Entries(root, true);
    int changes = 0;
    for (auto& bus : gBusses) {
        const bool present = std::find(names.begin(), names.end(), bus.Record.dirname) != names.end();
        if (bus.Listed && !present) {
            bus.Listed = false;
            bus.Record.devices = nullptr;
            ++changes;
        }
    }
    for (const auto& name : names) {
        const std::string path = root + "/" + name;
        auto it = std::find_if(gBusses.begin(), gBusses.end(), [&](const TBusRecord& b) { return b.Path == path; });
        if (it != gBusses.end()) {
            if (!it->Listed) {
                it->Listed = true;
                ++changes;
            }
            continue;
        }
        TBusRecord& bus = gBusses.emplace_back();
        bus.Path = path;
        bus.Listed = true;
        CopyName(bus.Record.dirname, name);
        ++changes;
    }
    // A bus of an earlier root is not listed under this one.
    for (auto& bus : gBusses)
        if (bus.Listed && bus.Path.compare(0, root.size() + 1, root + "/") != 0) {
            bus.Listed = false;
            ++changes;
        }
    std::vector<TBusRecord*> listed;
    for (auto& bus : gBusses)
        if (bus.Listed)
            listed.push_back(&bus);
    gBusList = Chain(listed);
    return changes;
}

int usb_find_devices(void)
{
    std::lock_guard lock(gLock);
    int changes = 0;
    for (auto& bus : gBusses) {
        std::vector<std::string> names = bus.Listed ? Entries(bus.Path, false) : std::vector<std::string>{};
        for (auto& d : gDevices) {
            if (d.Record.bus != &bus.Record || !d.Listed)
                continue;
            if (std::find(names.begin(), names.end(), d.Record.filename) == names.end()) {
                d.Listed = false;
                ++changes;
            }
        }
        for (const auto& name : names) {
            const std::string path = bus.Path + "/" + name;
            const bool known = std::any_of(gDevices.begin(), gDevices.end(),
                                           [&](const TDeviceRecord& d) { return d.Listed && d.Path == path; });
            if (known)
                continue;
            TDeviceRecord& d = gDevices.emplace_back();
            d.Path = path;
            d.Record.bus = &bus.Record;
            CopyName(d.Record.filename, name);
            if (!ReadDescriptors(d)) { // a node that cannot be read is not a device to list
                gDevices.pop_back();
                continue;
            }
            d.Listed = true;
            ++changes;
        }
        // This bus's devices, in the order of their nodes' names.
        std::vector<TDeviceRecord*> listed;
        for (auto& d : gDevices)
            if (d.Listed && d.Record.bus == &bus.Record)
                listed.push_back(&d);
        std::sort(listed.begin(), listed.end(), [](const TDeviceRecord* a, const TDeviceRecord* b) {
            return std::strcmp(a->Record.filename, b->Record.filename) < 0;
        });
        bus.Record.devices = Chain(listed);
    }
    return changes;
}

struct usb_bus* usb_get_busses(void)
{
    std::lock_guard lock(gLock);
    return gBusList;
}

usb_dev_handle* usb_open(struct usb_device* dev)
{
    libusb_context* context = Context();
    if (!dev || !context)
        return nullptr;
    std::string path;
    {
        std::lock_guard lock(gLock);
        for (const auto& d : gDevices)
            if (&d.Record == dev)
                path = d.Path;
    }
    if (path.empty()) {
        SetError("could not open the device", -ENODEV);
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        SetError("could not open " + path, -errno);
        return nullptr;
    }
    libusb_device_handle* handle = nullptr;
    const int r = libusb_wrap_sys_device(context, static_cast<intptr_t>(fd), &handle);
    if (r < 0) {
        (void)Result(r, "could not open " + path);
        ::close(fd);
        return nullptr;
    }
    auto h = std::make_unique<usb_dev_handle>();
    h->Handle = handle;
    h->Fd = fd;
    return h.release(); // the caller's until usb_close
}

int usb_close(usb_dev_handle* dev)
{
    if (!dev)
        return -EINVAL;
    const std::unique_ptr<usb_dev_handle> owned(dev); // freed on the way out
    {
        std::unique_lock lock(dev->Lock);
        dev->Closing = true;
        for (libusb_transfer* t : dev->InFlight)
            (void)libusb_cancel_transfer(t);
        dev->Idle.wait(lock, [&] { return dev->InFlight.empty(); });
    }
    libusb_close(dev->Handle);
    const int closed = ::close(dev->Fd);
    const int error = errno;
    if (closed < 0) {
        SetError("could not close the device", -error);
        return -error;
    }
    return 0;
}

int usb_set_configuration(usb_dev_handle* dev, int configuration)
{
    if (!dev)
        return -EINVAL;
    return Result(libusb_set_configuration(dev->Handle, configuration),
                  "could not set configuration " + std::to_string(configuration));
}

int usb_claim_interface(usb_dev_handle* dev, int interface)
{
    if (!dev)
        return -EINVAL;
    const int result = Result(libusb_claim_interface(dev->Handle, interface),
                              "could not claim interface " + std::to_string(interface));
    if (result >= 0) {
        std::lock_guard lock(dev->Lock);
        dev->Released = false;
    }
    return result;
}

int usb_release_interface(usb_dev_handle* dev, int interface)
{
    if (!dev)
        return -EINVAL;
    {
        // From now on no transfer starts on the handle; those running were
        // submitted before the release, which ends them.
        std::lock_guard lock(dev->Lock);
        dev->Released = true;
    }
    const int result = Result(libusb_release_interface(dev->Handle, interface),
                              "could not release interface " + std::to_string(interface));
    if (result < 0) {
        // The kernel kept the interface, and with it the transfers: they are
        // ended here, as a release ends them.
        std::lock_guard lock(dev->Lock);
        for (libusb_transfer* t : dev->InFlight)
            (void)libusb_cancel_transfer(t);
    }
    return result;
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int ep)
{
    if (!dev)
        return -EINVAL;
    return Result(libusb_clear_halt(dev->Handle, static_cast<unsigned char>(ep)),
                  "could not clear the halt of endpoint " + std::to_string(ep));
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout)
{
    // libusb-1.0 only reads an OUT transfer's buffer.
    return Transfer(dev, LIBUSB_TRANSFER_TYPE_BULK, ep & ~USB_ENDPOINT_DIR_MASK,
                    reinterpret_cast<unsigned char*>(const_cast<char*>(bytes)), size, timeout);
}

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    return Transfer(dev, LIBUSB_TRANSFER_TYPE_BULK, ep | USB_ENDPOINT_DIR_MASK,
                    reinterpret_cast<unsigned char*>(bytes), size, timeout);
}

int usb_interrupt_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout)
{
    return Transfer(dev, LIBUSB_TRANSFER_TYPE_INTERRUPT, ep & ~USB_ENDPOINT_DIR_MASK,
                    reinterpret_cast<unsigned char*>(const_cast<char*>(bytes)), size, timeout);
}

int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    return Transfer(dev, LIBUSB_TRANSFER_TYPE_INTERRUPT, ep | USB_ENDPOINT_DIR_MASK,
                    reinterpret_cast<unsigned char*>(bytes), size, timeout);
}

char* usb_strerror(void)
{
    return tError;
}

} // extern "C"
