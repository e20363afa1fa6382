#include "tests/usb/FakeUsb.h"
#include "tests/usb/DeviceModel.h"

#include "link/UsbLegacy.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

struct usb_dev_handle {
    int Device = -1;
    bool Open = true;
    bool Claimed = false;
    bool Released = false; // given back: transfers fail with -19 until the next claim
    int InTransfer = 0;
};

namespace {

struct TInbound {
    int Result = 0; // used when Bytes is absent
    bool HasBytes = false;
    std::string Bytes;
};

struct TDevice {
    std::uint16_t Vendor = 0;
    std::uint16_t Product = 0;
    bool Plugged = true;
    std::map<FakeUsb::TCall, std::deque<std::pair<int, std::string>>> Results;
    std::map<int, std::deque<int>> WriteResults;
    std::map<int, std::deque<TInbound>> Inbound;
    std::map<int, std::vector<std::string>> Written;
    std::map<int, int> WriteCalls;
    std::map<int, int> ReadCalls;
    std::map<int, UsbDeviceModel::THalt> Halts; // by endpoint

    // The records the bus shows, stable for the life of the device.
    struct usb_device Record{};
    std::vector<usb_config_descriptor> Configs;
    std::vector<std::vector<usb_interface>> Interfaces;
    std::vector<std::vector<std::vector<usb_interface_descriptor>>> Settings;
    std::vector<std::unique_ptr<std::vector<usb_endpoint_descriptor>>> Endpoints;
};

struct TBus {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::unique_ptr<TDevice>> Devices;
    std::vector<std::unique_ptr<usb_dev_handle>> Handles; // kept after close, to catch late use
    usb_bus Bus{};
    usb_bus* Busses = nullptr; // after the first search
    std::function<void(int, int, const std::string&)> WriteHook;
    std::function<void()> FindHook;
    std::vector<std::string> Calls;
    std::string Error = "no error";
    char ErrorText[256] = "no error";
    int ReadWaitMs = 5;
    int Violations = 0;
    int PendingReads = 0;
    int LargestWriteTimeout = 0;
    int LargestReadTimeout = 0;
};

TBus& Bus()
{
    static TBus bus;
    return bus;
}

// The test program must not have the real layer (and so libusb-1.0) as well:
// its functions would be mixed with these.
void CheckNoRealLibrary()
{
    static const bool checked = [] {
        if (dlsym(RTLD_DEFAULT, "libusb_init") != nullptr) {
            std::fprintf(stderr, "tessaro_fakeusb: libusb is linked into this program too\n");
            std::abort();
        }
        return true;
    }();
    (void)checked;
}

void BuildRecord(TDevice& d, const std::vector<FakeUsb::TEndpoint>& endpoints)
{
    int configs = 1;
    for (const auto& e : endpoints)
        configs = std::max(configs, e.Configuration + 1);
    d.Configs.assign(static_cast<std::size_t>(configs), usb_config_descriptor{});
    d.Interfaces.resize(static_cast<std::size_t>(configs));
    d.Settings.resize(static_cast<std::size_t>(configs));
    for (int c = 0; c < configs; ++c) {
        int interfaces = 1;
        for (const auto& e : endpoints)
            if (e.Configuration == c)
                interfaces = std::max(interfaces, e.Interface + 1);
        d.Interfaces[c].assign(static_cast<std::size_t>(interfaces), usb_interface{});
        d.Settings[c].resize(static_cast<std::size_t>(interfaces));
        for (int i = 0; i < interfaces; ++i) {
            int settings = 1;
            for (const auto& e : endpoints)
                if (e.Configuration == c && e.Interface == i)
                    settings = std::max(settings, e.AltSetting + 1);
            auto& alts = d.Settings[c][i];
            alts.assign(static_cast<std::size_t>(settings), usb_interface_descriptor{});
            for (int a = 0; a < settings; ++a) {
                auto list = std::make_unique<std::vector<usb_endpoint_descriptor>>();
                for (const auto& e : endpoints)
                    if (e.Configuration == c && e.Interface == i && e.AltSetting == a) {
                        usb_endpoint_descriptor ed{};
                        ed.bLength = USB_DT_ENDPOINT_SIZE;
                        ed.bDescriptorType = USB_DT_ENDPOINT;
                        ed.bEndpointAddress = e.Address;
                        ed.bmAttributes = e.Attributes;
                        ed.wMaxPacketSize = e.MaxPacketSize;
                        list->push_back(ed);
                    }
                alts[a].bInterfaceNumber = static_cast<std::uint8_t>(i);
                alts[a].bAlternateSetting = static_cast<std::uint8_t>(a);
                alts[a].bNumEndpoints = static_cast<std::uint8_t>(list->size());
                alts[a].endpoint = list->empty() ? nullptr : list->data();
                d.Endpoints.push_back(std::move(list));
            }
            d.Interfaces[c][i].altsetting = alts.data();
            d.Interfaces[c][i].num_altsetting = settings;
        }
        d.Configs[c].bNumInterfaces = static_cast<std::uint8_t>(interfaces);
        d.Configs[c].bConfigurationValue = static_cast<std::uint8_t>(c + 1);
        d.Configs[c].interface = d.Interfaces[c].data();
    }
    d.Record.descriptor.bLength = USB_DT_DEVICE_SIZE;
    d.Record.descriptor.bDescriptorType = USB_DT_DEVICE;
    d.Record.descriptor.idVendor = d.Vendor;
    d.Record.descriptor.idProduct = d.Product;
    d.Record.descriptor.bNumConfigurations = static_cast<std::uint8_t>(configs);
    d.Record.config = d.Configs.data();
}

int DeviceIndex(TBus& bus, const struct usb_device* record)
{
    for (std::size_t i = 0; i < bus.Devices.size(); ++i)
        if (&bus.Devices[i]->Record == record)
            return static_cast<int>(i);
    return -1;
}

// The scripted result of a call, or 0; sets the error text of a failure.
int TakeResult(TBus& bus, TDevice& d, FakeUsb::TCall call)
{
    auto& queue = d.Results[call];
    if (queue.empty())
        return 0;
    const auto [result, error] = queue.front();
    queue.pop_front();
    if (result < 0)
        bus.Error = error.empty() ? "scripted failure " + std::to_string(result) : error;
    return result;
}

bool HandleUsable(TBus& bus, usb_dev_handle* h)
{
    const bool known = std::any_of(bus.Handles.begin(), bus.Handles.end(), [&](const auto& p) { return p.get() == h; });
    if (!known || !h->Open) {
        ++bus.Violations;
        return false;
    }
    return true;
}

int Write(usb_dev_handle* h, int ep, const char* bytes, int size, int timeout)
{
    auto& bus = Bus();
    std::function<void(int, int, const std::string&)> hook;
    std::string data;
    int device = -1;
    {
        std::lock_guard lock(bus.Lock);
        if (!HandleUsable(bus, h))
            return -9;
        bus.LargestWriteTimeout = std::max(bus.LargestWriteTimeout, timeout);
        TDevice& d = *bus.Devices[static_cast<std::size_t>(h->Device)];
        ++d.WriteCalls[ep];
        if (!d.Plugged || h->Released)
            return -19;
        if (d.Halts[ep].Meets()) // halted, or halts with this transfer
            return -32;
        auto& results = d.WriteResults[ep];
        if (!results.empty()) {
            const int result = results.front();
            results.pop_front();
            if (result < 0)
                return result;
        }
        data.assign(bytes, static_cast<std::size_t>(size));
        d.Written[ep].push_back(data);
        hook = bus.WriteHook;
        device = h->Device;
        ++h->InTransfer; // the hook runs inside the write
    }
    if (hook)
        hook(device, ep, data);
    std::lock_guard lock(bus.Lock);
    --h->InTransfer;
    return size;
}

int Read(usb_dev_handle* h, int ep, char* bytes, int size, int timeout)
{
    auto& bus = Bus();
    std::unique_lock lock(bus.Lock);
    if (!HandleUsable(bus, h))
        return -9;
    bus.LargestReadTimeout = std::max(bus.LargestReadTimeout, timeout);
    TDevice& d = *bus.Devices[static_cast<std::size_t>(h->Device)];
    ++d.ReadCalls[ep];
    if (h->Released)
        return -19;
    if (d.Plugged && d.Halts[ep].Meets())
        return -32;
    ++h->InTransfer;
    ++bus.PendingReads;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::min(timeout, bus.ReadWaitMs));
    auto& inbound = d.Inbound[ep];
    bus.Changed.wait_until(lock, deadline, [&] {
        return !inbound.empty() || !d.Plugged || d.Halts[ep].Stalls > 0 || h->Released;
    });
    --bus.PendingReads;
    --h->InTransfer;
    bus.Changed.notify_all();
    if (!d.Plugged || h->Released) // a release ends the reads waiting on the handle
        return -19;
    if (d.Halts[ep].Meets()) // a stall met while the read waited
        return -32;
    if (inbound.empty())
        return FakeUsb::ETimeout;
    const TInbound next = inbound.front();
    inbound.pop_front();
    if (!next.HasBytes)
        return next.Result;
    const int n = std::min(size, static_cast<int>(next.Bytes.size()));
    std::memcpy(bytes, next.Bytes.data(), static_cast<std::size_t>(n));
    return n;
}

} // namespace

// ---------------------------------------------------------------- libusb 0.1

extern "C" {

void usb_init(void)
{
    CheckNoRealLibrary();
    std::lock_guard lock(Bus().Lock);
    Bus().Calls.push_back("init");
}

void usb_set_debug(int level)
{
    std::lock_guard lock(Bus().Lock);
    Bus().Calls.push_back("set_debug " + std::to_string(level));
}

int usb_find_busses(void)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(Bus().Lock);
        Bus().Calls.push_back("find_busses");
        hook = Bus().FindHook;
    }
    if (hook)
        hook();
    return 1;
}

int usb_find_devices(void)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    bus.Calls.push_back("find_devices");
    struct usb_device* previous = nullptr;
    bus.Bus.devices = nullptr;
    int count = 0;
    for (auto& d : bus.Devices) {
        if (!d->Plugged)
            continue;
        d->Record.bus = &bus.Bus;
        d->Record.prev = previous;
        d->Record.next = nullptr;
        if (previous)
            previous->next = &d->Record;
        else
            bus.Bus.devices = &d->Record;
        previous = &d->Record;
        ++count;
    }
    std::strcpy(bus.Bus.dirname, "001");
    bus.Busses = &bus.Bus;
    return count;
}

struct usb_bus* usb_get_busses(void)
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Busses;
}

usb_dev_handle* usb_open(struct usb_device* dev)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    const int index = DeviceIndex(bus, dev);
    bus.Calls.push_back("open " + std::to_string(index));
    if (index < 0)
        return nullptr;
    TDevice& d = *bus.Devices[static_cast<std::size_t>(index)];
    if (TakeResult(bus, d, FakeUsb::TCall::Open) < 0 || !d.Plugged)
        return nullptr;
    auto handle = std::make_unique<usb_dev_handle>();
    handle->Device = index;
    bus.Handles.push_back(std::move(handle));
    return bus.Handles.back().get();
}

int usb_set_configuration(usb_dev_handle* dev, int configuration)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    if (!HandleUsable(bus, dev))
        return -9;
    bus.Calls.push_back("set_configuration " + std::to_string(dev->Device) + " " + std::to_string(configuration));
    return TakeResult(bus, *bus.Devices[static_cast<std::size_t>(dev->Device)], FakeUsb::TCall::SetConfiguration);
}

int usb_claim_interface(usb_dev_handle* dev, int interface)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    if (!HandleUsable(bus, dev))
        return -9;
    bus.Calls.push_back("claim " + std::to_string(dev->Device) + " " + std::to_string(interface));
    const int result = TakeResult(bus, *bus.Devices[static_cast<std::size_t>(dev->Device)], FakeUsb::TCall::ClaimInterface);
    if (result < 0)
        return result;
    dev->Released = false;
    // One handle at a time holds the interface, as on a real bus.
    for (const auto& h : bus.Handles)
        if (h.get() != dev && h->Open && h->Claimed && h->Device == dev->Device) {
            bus.Error = "could not claim interface 0: Device or resource busy";
            return -16;
        }
    dev->Claimed = true;
    return 0;
}

int usb_release_interface(usb_dev_handle* dev, int interface)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    if (!HandleUsable(bus, dev))
        return -9;
    bus.Calls.push_back("release " + std::to_string(dev->Device) + " " + std::to_string(interface));
    // As the layer does: the transfers on the handle end, and none starts
    // until the next claim.
    dev->Claimed = false;
    dev->Released = true;
    bus.Changed.notify_all();
    TDevice& d = *bus.Devices[static_cast<std::size_t>(dev->Device)];
    const int result = TakeResult(bus, d, FakeUsb::TCall::ReleaseInterface);
    if (result < 0)
        return result;
    return d.Plugged ? 0 : -19;
}

int usb_close(usb_dev_handle* dev)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    if (!HandleUsable(bus, dev))
        return -9;
    bus.Calls.push_back("close " + std::to_string(dev->Device));
    if (dev->InTransfer > 0)
        ++bus.Violations;
    dev->Open = false;
    dev->Claimed = false;
    return TakeResult(bus, *bus.Devices[static_cast<std::size_t>(dev->Device)], FakeUsb::TCall::Close);
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int ep)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    if (!HandleUsable(bus, dev))
        return -9;
    bus.Calls.push_back("clear_halt " + std::to_string(dev->Device) + " " + std::to_string(ep));
    TDevice& d = *bus.Devices[static_cast<std::size_t>(dev->Device)];
    if (!d.Plugged)
        return -19;
    d.Halts[static_cast<int>(ep)].Clear();
    return 0;
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout)
{
    return Write(dev, ep, bytes, size, timeout);
}

int usb_interrupt_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout)
{
    return Write(dev, ep, bytes, size, timeout);
}

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    return Read(dev, ep, bytes, size, timeout);
}

int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    return Read(dev, ep, bytes, size, timeout);
}

char* usb_strerror(void)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    std::snprintf(bus.ErrorText, sizeof bus.ErrorText, "%s", bus.Error.c_str());
    return bus.ErrorText;
}

} // extern "C"

// ---------------------------------------------------------------- the test side

namespace FakeUsb {

std::vector<TEndpoint> StandardEndpoints(std::uint16_t packet)
{
    return UsbDeviceModel::StandardEndpoints<TEndpoint>(packet);
}

void Reset()
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    bus.Devices.clear();
    bus.Handles.clear();
    bus.Bus = usb_bus{};
    bus.Busses = nullptr;
    bus.WriteHook = {};
    bus.FindHook = {};
    bus.Calls.clear();
    bus.Error = "no error";
    bus.ReadWaitMs = 5;
    bus.Violations = 0;
    bus.PendingReads = 0;
    bus.LargestWriteTimeout = 0;
    bus.LargestReadTimeout = 0;
}

int AddDevice(std::uint16_t vendor, std::uint16_t product, const std::vector<TEndpoint>& endpoints)
{
    auto& bus = Bus();
    std::lock_guard lock(bus.Lock);
    auto d = std::make_unique<TDevice>();
    d->Vendor = vendor;
    d->Product = product;
    BuildRecord(*d, endpoints);
    bus.Devices.push_back(std::move(d));
    return static_cast<int>(bus.Devices.size()) - 1;
}

void SetPlugged(int device, bool plugged)
{
    auto& bus = Bus();
    {
        std::lock_guard lock(bus.Lock);
        bus.Devices.at(static_cast<std::size_t>(device))->Plugged = plugged;
    }
    bus.Changed.notify_all();
}

void ScriptResult(int device, TCall call, int result, const std::string& error)
{
    std::lock_guard lock(Bus().Lock);
    Bus().Devices.at(static_cast<std::size_t>(device))->Results[call].emplace_back(result, error);
}

void ScriptWrite(int device, int endpoint, int result)
{
    std::lock_guard lock(Bus().Lock);
    Bus().Devices.at(static_cast<std::size_t>(device))->WriteResults[endpoint].push_back(result);
}

void Stall(int device, int endpoint, int times)
{
    std::lock_guard lock(Bus().Lock);
    Bus().Devices.at(static_cast<std::size_t>(device))->Halts[endpoint].Stalls += times;
}

int ClearHaltCalls(int device, int endpoint)
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Devices.at(static_cast<std::size_t>(device))->Halts[endpoint].ClearHalts;
}

void PushRead(int device, int endpoint, const std::string& bytes)
{
    auto& bus = Bus();
    {
        std::lock_guard lock(bus.Lock);
        TInbound in;
        in.HasBytes = true;
        in.Bytes = bytes;
        bus.Devices.at(static_cast<std::size_t>(device))->Inbound[endpoint].push_back(std::move(in));
    }
    bus.Changed.notify_all();
}

void PushReadResult(int device, int endpoint, int result)
{
    auto& bus = Bus();
    {
        std::lock_guard lock(bus.Lock);
        TInbound in;
        in.Result = result;
        bus.Devices.at(static_cast<std::size_t>(device))->Inbound[endpoint].push_back(in);
    }
    bus.Changed.notify_all();
}

void SetReadWait(int ms)
{
    std::lock_guard lock(Bus().Lock);
    Bus().ReadWaitMs = ms;
}

void SetWriteHook(std::function<void(int, int, const std::string&)> hook)
{
    std::lock_guard lock(Bus().Lock);
    Bus().WriteHook = std::move(hook);
}

void SetFindHook(std::function<void()> hook)
{
    std::lock_guard lock(Bus().Lock);
    Bus().FindHook = std::move(hook);
}

std::vector<std::string> Writes(int device, int endpoint)
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Devices.at(static_cast<std::size_t>(device))->Written[endpoint];
}

int WriteCalls(int device, int endpoint)
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Devices.at(static_cast<std::size_t>(device))->WriteCalls[endpoint];
}

int ReadCalls(int device, int endpoint)
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Devices.at(static_cast<std::size_t>(device))->ReadCalls[endpoint];
}

int LargestWriteTimeout()
{
    std::lock_guard lock(Bus().Lock);
    return Bus().LargestWriteTimeout;
}

int LargestReadTimeout()
{
    std::lock_guard lock(Bus().Lock);
    return Bus().LargestReadTimeout;
}

std::vector<std::string> Calls()
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Calls;
}

void ClearCalls()
{
    std::lock_guard lock(Bus().Lock);
    Bus().Calls.clear();
}

int OpenHandles()
{
    std::lock_guard lock(Bus().Lock);
    return static_cast<int>(std::count_if(Bus().Handles.begin(), Bus().Handles.end(), [](const auto& h) { return h->Open; }));
}

int Violations()
{
    std::lock_guard lock(Bus().Lock);
    return Bus().Violations;
}

int PendingReads()
{
    std::lock_guard lock(Bus().Lock);
    return Bus().PendingReads;
}

} // namespace FakeUsb
