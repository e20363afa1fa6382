#include "tests/usb/UsbDevfs.h"
#include "tests/usb/DeviceModel.h"

#include <linux/ioctl.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

// The C library's functions that the emulation stands in front of. They are
// defined in the test program, so the shared library calls these; every call
// that is not for an emulated node goes on to the C library's own.
extern "C" {
int open(const char* path, int flags, ...);
int close(int fd);
int ioctl(int fd, unsigned long request, ...) noexcept;
int poll(struct pollfd* fds, nfds_t count, int timeout);
int ppoll(struct pollfd* fds, nfds_t count, const struct timespec* timeout, const sigset_t* mask);
int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout);
}

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Constant-initialised: the functions above run before any constructor of
// this file has (other libraries open files while they start).
constexpr int MaxTrackedFd = 4096;
std::atomic<bool> gTracked[MaxTrackedFd];
char gRoot[256];
std::atomic<std::size_t> gRootLength{0};

template <typename F> F Next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

using TOpen = int (*)(const char*, int, ...);
using TClose = int (*)(int);
using TIoctl = int (*)(int, unsigned long, ...);
using TPoll = int (*)(struct pollfd*, nfds_t, int);
using TPpoll = int (*)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*);
using TSelect = int (*)(int, fd_set*, fd_set*, fd_set*, struct timeval*);

// The C library's own functions, looked up once, on the first call that
// passes one through.
struct TRealCalls {
    TOpen Open = Next<TOpen>("open");
    TClose Close = Next<TClose>("close");
    TIoctl Ioctl = Next<TIoctl>("ioctl");
    TPoll Poll = Next<TPoll>("poll");
    TPpoll Ppoll = Next<TPpoll>("ppoll");
    TSelect Select = Next<TSelect>("select");
};
const TRealCalls& Real()
{
    static const TRealCalls calls;
    return calls;
}

bool Tracked(int fd)
{
    return fd >= 0 && fd < MaxTrackedFd && gTracked[fd].load(std::memory_order_acquire);
}

bool Tracing()
{
    static const bool on = std::getenv("USBDEVFS_TRACE") != nullptr;
    return on;
}

struct TUrb {
    usbdevfs_urb* User = nullptr;
    int Fd = -1;
    int Endpoint = 0;
    bool In = false;
    std::string Data; // OUT: what was written; IN: what the device gave
    int Status = 0;
    int Actual = 0;
    Clock::time_point SubmittedAt;
};

// One packet the device has ready on an IN endpoint.
struct TPacket {
    std::string Bytes;
};

struct TEndpointState {
    UsbDevfs::TEndpoint Descriptor;
    std::deque<TPacket> ToHost;    // IN: packets waiting on the device
    std::deque<TUrb*> PendingUrbs; // oldest first
    UsbDeviceModel::THalt Halt;
    bool Hold = false;
    int Submitted = 0;
    std::vector<std::string> Transfers; // OUT: as taken
    std::vector<std::string> Messages;  // OUT: unpacked
    std::string Assembling;
    std::deque<std::string> AtDiscard; // IN: sent when the next pending URB is discarded
};

struct TDevice {
    std::uint16_t Vendor = 0;
    std::uint16_t Product = 0;
    int Number = 0;
    std::string Path;
    bool Plugged = true;
    bool Echo = true;
    int EchoMinUs = 0;
    int EchoMaxUs = 0;
    Clock::time_point LastEcho;
    int Configuration = 1;
    int ClaimedBy = -1; // descriptor that holds interface 0
    std::map<int, TEndpointState> Endpoints;
    std::map<UsbDevfs::TCall, std::deque<int>> Failures;

    TEndpointState* Find(int address)
    {
        auto it = Endpoints.find(address);
        return it == Endpoints.end() ? nullptr : &it->second;
    }
    TEndpointState* FirstIn(int attributes)
    {
        for (auto& [address, ep] : Endpoints)
            if ((address & 0x80) && ep.Descriptor.Attributes == attributes)
                return &ep;
        return nullptr;
    }
    int InterruptInPacket()
    {
        TEndpointState* ep = FirstIn(3);
        return ep ? ep->Descriptor.MaxPacketSize : 0;
    }
    // An error to give instead of doing the request, or 0.
    int Failure(UsbDevfs::TCall call)
    {
        auto& queue = Failures[call];
        if (queue.empty())
            return 0;
        const int error = queue.front();
        queue.pop_front();
        return error;
    }
};

struct TFile {
    int Device = -1;
    std::deque<TUrb*> Completed; // oldest first
    int Waiters = 0;             // threads in a blocking reap, poll or select on it
    int Event = -1;              // eventfd, readable while the node would report an event
    bool Signalled = false;
};

struct TState {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::unique_ptr<TDevice>> Devices;
    std::map<int, TFile> Files;
    std::list<std::unique_ptr<TUrb>> Urbs; // every URB not yet reaped
    std::vector<long> DiscardedWriteAges;
    std::vector<unsigned> Unknown;
    int Waiting = 0;
    int Violations = 0;
    int NextNumber = 1;
    // What the devices do later on their own (echoes), by when.
    std::multimap<Clock::time_point, std::function<void()>> Later;
    bool WorkerStarted = false;
    std::mt19937 Random{5};
};

TState& State()
{
    static TState* state = new TState; // outlives every thread that may still call in
    return *state;
}

std::string BusFolder()
{
    return std::string(gRoot, gRootLength.load()) + "/001";
}

// The folder the library is pointed at, made before main runs (and before
// the library reads the variable).
const bool gMadeRoot = [] {
    char folder[] = "/tmp/tessaro-usbdevfs-XXXXXX";
    if (!::mkdtemp(folder))
        return false;
    std::snprintf(gRoot, sizeof gRoot, "%s", folder);
    gRootLength.store(std::strlen(gRoot));
    fs::create_directory(BusFolder());
    ::setenv("USB_DEVFS_PATH", gRoot, 1);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(std::string(gRoot, gRootLength.load()), ignored);
    });
    return true;
}();

TDevice& DeviceOf(TState& s, const TFile& file)
{
    return *s.Devices[static_cast<std::size_t>(file.Device)];
}

// Whether the node has an event for poll(), and keeps its eventfd readable
// exactly while it has.
bool HasEvent(TState& s, const TFile& file)
{
    return !file.Completed.empty() || !DeviceOf(s, file).Plugged;
}
void Signal(TState& s, TFile& file)
{
    const bool event = HasEvent(s, file);
    if (event && !file.Signalled) {
        const std::uint64_t one = 1;
        (void)!::write(file.Event, &one, sizeof one);
        file.Signalled = true;
    } else if (!event && file.Signalled) {
        std::uint64_t value = 0;
        (void)!::read(file.Event, &value, sizeof value);
        file.Signalled = false;
    }
}
void SignalDevice(TState& s, int device)
{
    for (auto& [fd, file] : s.Files)
        if (file.Device == device)
            Signal(s, file);
}

void Complete(TState& s, TUrb* urb, int status, int actual)
{
    urb->Status = status;
    urb->Actual = actual;
    auto file = s.Files.find(urb->Fd);
    if (file != s.Files.end()) {
        file->second.Completed.push_back(urb);
        Signal(s, file->second);
    }
    s.Changed.notify_all();
}

// The device cuts a message into the packets it sends on an IN endpoint.
void QueueMessage(TDevice& device, TEndpointState& ep, const std::string& message)
{
    const std::size_t packet = ep.Descriptor.MaxPacketSize;
    if (device.Product == 4) {
        const std::size_t chunk = packet > 1 ? packet - 1 : 1;
        std::size_t at = 0;
        unsigned index = 0;
        for (;;) {
            const std::size_t n = std::min(chunk, message.size() - at);
            const bool last = n < chunk;
            ep.ToHost.push_back({static_cast<char>((index & 0x7F) | (last ? 0x80 : 0)) + message.substr(at, n)});
            at += n;
            ++index;
            if (last)
                break;
        }
    } else {
        std::size_t at = 0;
        for (; message.size() - at >= packet; at += packet)
            ep.ToHost.push_back({message.substr(at, packet)});
        ep.ToHost.push_back({message.substr(at)}); // short, or the empty packet that closes full ones
    }
}

// The device's packets fill the pending URBs, oldest first: an URB takes
// packets until it is full or a short packet ends it; a packet larger than
// the room left is babble (-EOVERFLOW).
void Deliver(TState& s, TEndpointState& ep)
{
    const std::size_t packet = ep.Descriptor.MaxPacketSize;
    while (!ep.PendingUrbs.empty() && !ep.ToHost.empty()) {
        TUrb* urb = ep.PendingUrbs.front();
        ep.PendingUrbs.pop_front();
        const std::size_t room = static_cast<std::size_t>(std::max(urb->User->buffer_length, 0));
        std::string data;
        int status = 0;
        while (!ep.ToHost.empty()) {
            std::string& next = ep.ToHost.front().Bytes;
            if (data.size() + next.size() > room) {
                if (data.empty()) { // nothing of it fits: the URB ends in babble
                    data = next.substr(0, room);
                    ep.ToHost.pop_front();
                    status = -EOVERFLOW;
                }
                break;
            }
            const bool shortPacket = next.size() < packet;
            data += next;
            ep.ToHost.pop_front();
            if (shortPacket || data.size() == room)
                break;
        }
        const int n = static_cast<int>(data.size());
        urb->Data = std::move(data);
        Complete(s, urb, status, n);
    }
}

void SendOn(TState& s, TDevice& device, TEndpointState& ep, const std::string& message)
{
    QueueMessage(device, ep, message);
    Deliver(s, ep);
}

void StartWorker(TState& s);

// Runs `action` under the state's lock at `when`, in the devices' own thread.
void RunLater(TState& s, Clock::time_point when, std::function<void()> action)
{
    s.Later.emplace(when, std::move(action));
    StartWorker(s);
    s.Changed.notify_all();
}

void StartWorker(TState& s)
{
    if (s.WorkerStarted)
        return;
    s.WorkerStarted = true;
    std::thread([&s] {
        std::unique_lock lock(s.Lock);
        for (;;) {
            if (s.Later.empty()) {
                s.Changed.wait(lock);
                continue;
            }
            const auto when = s.Later.begin()->first;
            if (Clock::now() < when) {
                s.Changed.wait_until(lock, when);
                continue;
            }
            auto action = std::move(s.Later.begin()->second);
            s.Later.erase(s.Later.begin());
            action();
        }
    }).detach();
}

// What the device makes of an OUT transfer it took.
void TakeTransfer(TState& s, TDevice& device, TEndpointState& ep, const std::string& bytes)
{
    ep.Transfers.push_back(bytes);
    std::vector<std::string> complete;
    if (device.Product == 4) {
        const std::size_t packet = static_cast<std::size_t>(std::max(device.InterruptInPacket(), 2));
        for (std::size_t at = 0; at < bytes.size(); at += packet) {
            const std::string chunk = bytes.substr(at, packet);
            ep.Assembling += chunk.substr(1);
            if (static_cast<unsigned char>(chunk[0]) & 0x80) {
                complete.push_back(std::move(ep.Assembling));
                ep.Assembling.clear();
            }
        }
    } else {
        complete.push_back(bytes);
    }
    for (auto& message : complete) {
        ep.Messages.push_back(message);
        s.Changed.notify_all();
        if (!device.Echo || ep.Descriptor.Attributes != 2)
            continue;
        TEndpointState* in = device.FirstIn(2);
        if (!in)
            continue;
        if (device.EchoMaxUs <= 0) {
            SendOn(s, device, *in, message);
            continue;
        }
        const int us = std::uniform_int_distribution<int>(device.EchoMinUs, device.EchoMaxUs)(s.Random);
        const auto when = std::max(Clock::now() + std::chrono::microseconds(us), device.LastEcho);
        device.LastEcho = when;
        TDevice* d = &device;
        RunLater(s, when, [&s, d, in, message] {
            if (d->Plugged)
                SendOn(s, *d, *in, message);
        });
    }
}

// Ends every URB of the file that is still pending, with that status.
void EndPendingOf(TState& s, TDevice& device, int fd, int status)
{
    for (auto& [address, ep] : device.Endpoints) {
        for (auto it = ep.PendingUrbs.begin(); it != ep.PendingUrbs.end();) {
            if ((*it)->Fd != fd) {
                ++it;
                continue;
            }
            TUrb* urb = *it;
            it = ep.PendingUrbs.erase(it);
            Complete(s, urb, status, 0);
        }
    }
}

void ForgetUrbsOf(TState& s, int fd)
{
    for (auto& device : s.Devices)
        for (auto& [address, ep] : device->Endpoints)
            std::erase_if(ep.PendingUrbs, [fd](TUrb* u) { return u->Fd == fd; });
    s.Urbs.remove_if([fd](const std::unique_ptr<TUrb>& u) { return u->Fd == fd; });
}

int Fail(int error)
{
    errno = error;
    return -1;
}

// One reaped URB handed back to its caller, as the kernel copies it out.
void ReapFirst(TState& s, TFile& file, void* arg)
{
    TUrb* urb = file.Completed.front();
    file.Completed.pop_front();
    Signal(s, file);
    urb->User->status = urb->Status;
    urb->User->actual_length = urb->Actual;
    if (urb->In && urb->Actual > 0)
        std::memcpy(urb->User->buffer, urb->Data.data(), static_cast<std::size_t>(urb->Actual));
    *static_cast<void**>(arg) = urb->User;
    s.Urbs.remove_if([urb](const std::unique_ptr<TUrb>& u) { return u.get() == urb; });
}

// A transfer on an interface claims it for the file, as the kernel does;
// false when another file holds it.
bool ClaimFor(TDevice& device, int fd)
{
    if (device.ClaimedBy != -1 && device.ClaimedBy != fd)
        return false;
    device.ClaimedBy = fd;
    return true;
}

int Submit(TState& s, TDevice& device, int fd, usbdevfs_urb* user)
{
    if (user->type != USBDEVFS_URB_TYPE_BULK && user->type != USBDEVFS_URB_TYPE_INTERRUPT)
        return Fail(EINVAL);
    TEndpointState* ep = device.Find(user->endpoint);
    if (!ep)
        return Fail(ENOENT);
    if (!ClaimFor(device, fd))
        return Fail(EBUSY);
    const bool in = (user->endpoint & 0x80) != 0;
    auto owned = std::make_unique<TUrb>();
    TUrb* urb = owned.get();
    urb->User = user;
    urb->Fd = fd;
    urb->Endpoint = user->endpoint;
    urb->In = in;
    urb->SubmittedAt = Clock::now();
    if (!in && user->buffer_length > 0)
        urb->Data.assign(static_cast<const char*>(user->buffer), static_cast<std::size_t>(user->buffer_length));
    s.Urbs.push_back(std::move(owned));
    ++ep->Submitted;
    if (ep->Halt.Meets()) {
        Complete(s, urb, -EPIPE, 0);
        return 0;
    }
    if (in) {
        ep->PendingUrbs.push_back(urb);
        Deliver(s, *ep);
    } else if (ep->Hold) {
        ep->PendingUrbs.push_back(urb);
    } else {
        Complete(s, urb, 0, static_cast<int>(urb->Data.size()));
        TakeTransfer(s, device, *ep, urb->Data);
    }
    return 0;
}

int Discard(TState& s, TDevice& device, int fd, void* user)
{
    for (auto& [address, ep] : device.Endpoints) {
        auto it = std::find_if(ep.PendingUrbs.begin(), ep.PendingUrbs.end(),
                               [&](TUrb* u) { return u->User == user && u->Fd == fd; });
        if (it == ep.PendingUrbs.end())
            continue;
        if (!ep.AtDiscard.empty()) {
            // The device sends in the moment the discard comes: the URB has
            // completed by the time the request reaches it.
            SendOn(s, device, ep, ep.AtDiscard.front());
            ep.AtDiscard.pop_front();
            return Fail(EINVAL);
        }
        TUrb* urb = *it;
        ep.PendingUrbs.erase(it);
        if (!urb->In)
            s.DiscardedWriteAges.push_back(static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - urb->SubmittedAt).count()));
        Complete(s, urb, -ENOENT, 0);
        return 0;
    }
    return Fail(EINVAL); // not pending (any more): it completed, or was never submitted
}

// A control request on endpoint 0; only what the library asks of a device
// it is handed: the current configuration.
int Control(TDevice& device, usbdevfs_ctrltransfer* c)
{
    if (c->bRequestType == (USB_DIR_IN | USB_TYPE_STANDARD | USB_RECIP_DEVICE) &&
        c->bRequest == USB_REQ_GET_CONFIGURATION && c->wLength >= 1) {
        *static_cast<std::uint8_t*>(c->data) = static_cast<std::uint8_t>(device.Configuration);
        return 1;
    }
    return Fail(EPIPE); // the device stalls a request it does not know
}

int Request(int fd, unsigned long request, void* arg)
{
    TState& s = State();
    std::unique_lock lock(s.Lock);
    auto fileIt = s.Files.find(fd);
    if (fileIt == s.Files.end())
        return Fail(EBADF);
    TFile& file = fileIt->second;
    TDevice& device = DeviceOf(s, file);
    if (_IOC_TYPE(request) != 'U')
        return Fail(ENOTTY);
    const unsigned nr = _IOC_NR(request);
    if (Tracing())
        std::fprintf(stderr, "usbdevfs: fd %d request %u\n", fd, nr);
    switch (nr) {
    case _IOC_NR(USBDEVFS_REAPURB): {
        ++s.Waiting;
        ++file.Waiters;
        s.Changed.wait(lock, [&] {
            auto f = s.Files.find(fd);
            return f == s.Files.end() || !f->second.Completed.empty() || !device.Plugged;
        });
        --s.Waiting;
        auto f = s.Files.find(fd);
        if (f == s.Files.end())
            return Fail(EBADF);
        --f->second.Waiters;
        if (f->second.Completed.empty())
            return Fail(ENODEV);
        ReapFirst(s, f->second, arg);
        return 0;
    }
    case _IOC_NR(USBDEVFS_REAPURBNDELAY): {
        if (file.Completed.empty())
            return Fail(device.Plugged ? EAGAIN : ENODEV);
        ReapFirst(s, file, arg);
        return 0;
    }
    case _IOC_NR(USBDEVFS_GET_CAPABILITIES): {
        *static_cast<__u32*>(arg) = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                    USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        return 0;
    }
    default: break;
    }
    if (!device.Plugged)
        return Fail(ENODEV);
    switch (nr) {
    case _IOC_NR(USBDEVFS_SUBMITURB): return Submit(s, device, fd, static_cast<usbdevfs_urb*>(arg));
    case _IOC_NR(USBDEVFS_DISCARDURB): return Discard(s, device, fd, arg);
    case _IOC_NR(USBDEVFS_CONTROL): return Control(device, static_cast<usbdevfs_ctrltransfer*>(arg));
    case _IOC_NR(USBDEVFS_GET_SPEED): return USB_SPEED_FULL;
    case _IOC_NR(USBDEVFS_SETCONFIGURATION): {
        if (const int error = device.Failure(UsbDevfs::TCall::SetConfiguration))
            return Fail(error);
        if (device.ClaimedBy != -1 && device.ClaimedBy != fd)
            return Fail(EBUSY);
        if (*static_cast<unsigned*>(arg) != 1)
            return Fail(EINVAL);
        device.Configuration = 1;
        return 0;
    }
    case _IOC_NR(USBDEVFS_CLAIMINTERFACE): {
        if (const int error = device.Failure(UsbDevfs::TCall::ClaimInterface))
            return Fail(error);
        if (*static_cast<unsigned*>(arg) != 0)
            return Fail(ENOENT);
        return ClaimFor(device, fd) ? 0 : Fail(EBUSY);
    }
    case _IOC_NR(USBDEVFS_RELEASEINTERFACE): {
        if (const int error = device.Failure(UsbDevfs::TCall::ReleaseInterface))
            return Fail(error);
        if (*static_cast<unsigned*>(arg) != 0 || device.ClaimedBy != fd)
            return Fail(EINVAL);
        // The interface goes back, and with it every URB the file still has
        // pending on its endpoints.
        device.ClaimedBy = -1;
        EndPendingOf(s, device, fd, -ESHUTDOWN);
        return 0;
    }
    case _IOC_NR(USBDEVFS_CONNECTINFO): {
        auto* info = static_cast<usbdevfs_connectinfo*>(arg);
        info->devnum = static_cast<unsigned>(device.Number);
        info->slow = 0;
        return 0;
    }
    case _IOC_NR(USBDEVFS_CLEAR_HALT): {
        TEndpointState* ep = device.Find(static_cast<int>(*static_cast<unsigned*>(arg)));
        if (!ep)
            return Fail(ENOENT);
        if (!ClaimFor(device, fd))
            return Fail(EBUSY);
        ep->Halt.Clear();
        return 0;
    }
    default:
        s.Unknown.push_back(nr);
        if (Tracing())
            std::fprintf(stderr, "usbdevfs: fd %d unknown request %u\n", fd, nr);
        return Fail(ENOTTY);
    }
}

// poll() and ppoll() with emulated nodes among the descriptors: each node is
// watched through its eventfd, and what the node reports is read from the
// emulation once the wait ends.
template <typename F> int PollNodes(struct pollfd* fds, nfds_t count, int timeoutMs, F realPoll)
{
    TState& s = State();
    std::vector<struct pollfd> mine(fds, fds + count);
    std::vector<int> nodes; // indexes of the emulated nodes
    {
        std::lock_guard lock(s.Lock);
        for (nfds_t i = 0; i < count; ++i) {
            auto f = s.Files.find(fds[i].fd);
            if (f == s.Files.end())
                continue;
            nodes.push_back(static_cast<int>(i));
            mine[i].fd = f->second.Event;
            mine[i].events = POLLIN;
            ++f->second.Waiters;
        }
        s.Waiting += nodes.empty() ? 0 : 1;
    }
    const auto until = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int result = 0;
    for (;;) {
        for (auto& p : mine)
            p.revents = 0;
        int wait = timeoutMs;
        if (timeoutMs > 0)
            wait = static_cast<int>(std::max<long long>(
                0, std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count()));
        result = realPoll(mine.data(), count, wait);
        if (result < 0)
            break;
        std::lock_guard lock(s.Lock);
        result = 0;
        for (nfds_t i = 0; i < count; ++i) {
            const bool node = std::find(nodes.begin(), nodes.end(), static_cast<int>(i)) != nodes.end();
            short revents = mine[i].revents;
            if (node) {
                revents = 0;
                auto f = s.Files.find(fds[i].fd);
                if (f == s.Files.end()) {
                    revents = POLLNVAL;
                } else {
                    if (!f->second.Completed.empty())
                        revents |= static_cast<short>(fds[i].events & (POLLOUT | POLLWRNORM));
                    if (!DeviceOf(s, f->second).Plugged)
                        revents |= POLLERR | POLLHUP;
                }
            }
            fds[i].revents = revents;
            if (revents)
                ++result;
        }
        // Another thread may have reaped what woke this one: wait on for
        // the rest of the time.
        if (result > 0 || timeoutMs == 0 || (timeoutMs > 0 && Clock::now() >= until))
            break;
    }
    {
        std::lock_guard lock(s.Lock);
        for (int i : nodes) {
            auto f = s.Files.find(fds[i].fd);
            if (f != s.Files.end())
                --f->second.Waiters;
        }
        s.Waiting -= nodes.empty() ? 0 : 1;
    }
    if (Tracing())
        std::fprintf(stderr, "usbdevfs: poll %d ms -> %d\n", timeoutMs, result);
    return result;
}

bool AnyNode(const struct pollfd* fds, nfds_t count)
{
    for (nfds_t i = 0; i < count; ++i)
        if (Tracked(fds[i].fd))
            return true;
    return false;
}

// select() on emulated nodes (the old library waits so): a node is ready
// once it has a completed URB to reap, or its device is gone.
int SelectNodes(int nfds, fd_set* readfds, fd_set* writefds, struct timeval* timeout)
{
    TState& s = State();
    std::vector<int> watched;
    for (int fd = 0; fd < nfds; ++fd)
        if ((readfds && FD_ISSET(fd, readfds)) || (writefds && FD_ISSET(fd, writefds)))
            watched.push_back(fd);
    std::unique_lock lock(s.Lock);
    auto ready = [&](int fd) {
        auto f = s.Files.find(fd);
        return f == s.Files.end() || HasEvent(s, f->second); // EBADF would say the same
    };
    auto anyReady = [&] { return std::any_of(watched.begin(), watched.end(), ready); };
    if (!anyReady()) {
        auto waiters = [&](int step) {
            for (int fd : watched) {
                auto f = s.Files.find(fd);
                if (f != s.Files.end())
                    f->second.Waiters += step;
            }
            s.Waiting += step;
        };
        waiters(1);
        if (!timeout) {
            s.Changed.wait(lock, anyReady);
        } else {
            const long long waitUs = static_cast<long long>(timeout->tv_sec) * 1000000 + timeout->tv_usec;
            const auto started = Clock::now();
            s.Changed.wait_until(lock, started + std::chrono::microseconds(waitUs), anyReady);
            const long long usedUs =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
            const long long left = std::max(0LL, waitUs - usedUs);
            timeout->tv_sec = static_cast<time_t>(left / 1000000);
            timeout->tv_usec = static_cast<suseconds_t>(left % 1000000);
        }
        waiters(-1);
    }
    int count = 0;
    fd_set r;
    fd_set w;
    FD_ZERO(&r);
    FD_ZERO(&w);
    for (int fd : watched) {
        if (!ready(fd))
            continue;
        if (readfds && FD_ISSET(fd, readfds)) {
            FD_SET(fd, &r);
            ++count;
        }
        if (writefds && FD_ISSET(fd, writefds)) {
            FD_SET(fd, &w);
            ++count;
        }
    }
    if (readfds)
        *readfds = r;
    if (writefds)
        *writefds = w;
    return count;
}

bool UnderRoot(const char* path)
{
    const std::size_t n = gRootLength.load(std::memory_order_acquire);
    return n > 0 && path && std::strncmp(path, gRoot, n) == 0 && path[n] == '/';
}

} // namespace

// ---------------------------------------------------------------- the C library's side

extern "C" int open(const char* path, int flags, ...)
{
    int mode = 0;
    if (flags & (0100 /* O_CREAT */ | 020200000 /* O_TMPFILE */)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, int);
        va_end(args);
    }
    if (!UnderRoot(path))
        return Real().Open(path, flags, mode);
    TState& s = State();
    std::lock_guard lock(s.Lock);
    TDevice* device = nullptr;
    int index = -1;
    for (std::size_t i = 0; i < s.Devices.size(); ++i)
        if (s.Devices[i]->Plugged && s.Devices[i]->Path == path) {
            device = s.Devices[i].get();
            index = static_cast<int>(i);
        }
    if (device) {
        if (const int error = device->Failure(UsbDevfs::TCall::Open))
            return Fail(error);
    }
    const int fd = Real().Open(path, flags, mode);
    if (fd < 0 || !device)
        return fd;
    if (fd >= MaxTrackedFd) {
        Real().Close(fd);
        return Fail(EMFILE);
    }
    TFile file;
    file.Device = index;
    file.Event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    s.Files[fd] = file;
    gTracked[fd].store(true, std::memory_order_release);
    if (Tracing())
        std::fprintf(stderr, "usbdevfs: open %s flags %#x -> %d\n", path, flags, fd);
    return fd;
}

extern "C" int close(int fd)
{
    if (Tracked(fd)) {
        TState& s = State();
        std::lock_guard lock(s.Lock);
        auto f = s.Files.find(fd);
        if (f != s.Files.end()) {
            // As the kernel does when the node is let go: the interface is
            // released and every URB of this file is forgotten.
            TDevice& device = DeviceOf(s, f->second);
            if (device.ClaimedBy == fd)
                device.ClaimedBy = -1;
            // The library has every transfer reaped before it lets a handle
            // go: one still pending, or a thread still waiting on the node,
            // means the node is closed under a running transfer.
            bool pending = f->second.Waiters > 0;
            for (auto& [address, ep] : device.Endpoints)
                for (TUrb* u : ep.PendingUrbs)
                    pending = pending || u->Fd == fd;
            if (pending)
                ++s.Violations;
            ForgetUrbsOf(s, fd);
            Real().Close(f->second.Event);
            s.Files.erase(f);
        }
        gTracked[fd].store(false, std::memory_order_release);
        s.Changed.notify_all();
        if (Tracing())
            std::fprintf(stderr, "usbdevfs: close %d\n", fd);
    }
    return Real().Close(fd);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!Tracked(fd))
        return Real().Ioctl(fd, request, arg);
    return Request(fd, request, arg);
}

// The C library declares poll's array write-only, which it is not: the
// events are read from it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
extern "C" int poll(struct pollfd* fds, nfds_t count, int timeout)
{
    if (!AnyNode(fds, count))
        return Real().Poll(fds, count, timeout);
    return PollNodes(fds, count, timeout,
                     [](struct pollfd* f, nfds_t n, int ms) { return Real().Poll(f, n, ms); });
}

extern "C" int ppoll(struct pollfd* fds, nfds_t count, const struct timespec* timeout, const sigset_t* mask)
{
    if (!AnyNode(fds, count))
        return Real().Ppoll(fds, count, timeout, mask);
    const int ms = timeout ? static_cast<int>(timeout->tv_sec * 1000 + (timeout->tv_nsec + 999999) / 1000000) : -1;
    return PollNodes(fds, count, ms, [mask](struct pollfd* f, nfds_t n, int wait) {
        timespec t{wait / 1000, (wait % 1000) * 1000000L};
        return Real().Ppoll(f, n, wait < 0 ? nullptr : &t, mask);
    });
}
#pragma GCC diagnostic pop

extern "C" int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout)
{
    bool ours = false;
    for (int fd = 0; fd < nfds && fd < MaxTrackedFd; ++fd)
        if (Tracked(fd) && ((readfds && FD_ISSET(fd, readfds)) || (writefds && FD_ISSET(fd, writefds))))
            ours = true;
    if (!ours)
        return Real().Select(nfds, readfds, writefds, exceptfds, timeout);
    if (exceptfds)
        FD_ZERO(exceptfds);
    return SelectNodes(nfds, readfds, writefds, timeout);
}

// ---------------------------------------------------------------- the test's side

namespace UsbDevfs {

std::vector<TEndpoint> StandardEndpoints(std::uint16_t packet)
{
    return UsbDeviceModel::StandardEndpoints<TEndpoint>(packet);
}

void Reset()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    for (std::size_t i = 0; i < s.Devices.size(); ++i) {
        TDevice& device = *s.Devices[i];
        if (device.Plugged) {
            device.Plugged = false;
            std::error_code ignored;
            fs::remove(device.Path, ignored);
            SignalDevice(s, static_cast<int>(i));
        }
    }
    s.Later.clear();
    s.DiscardedWriteAges.clear();
    s.Unknown.clear();
    s.Violations = 0;
    s.Changed.notify_all();
}

namespace {

void Put(std::string& out, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        out.push_back(static_cast<char>(b));
}

// What a read of the node gives: the device descriptor, then the
// configuration with its interface and endpoints.
std::string Descriptors(std::uint16_t vendor, std::uint16_t product, const std::vector<TEndpoint>& endpoints)
{
    std::string out;
    Put(out, {18, 1, 0x00, 0x02, 0, 0, 0, 64, vendor & 0xFF, vendor >> 8, product & 0xFF, product >> 8, 0x00, 0x01,
              0, 0, 0, 1});
    const int total = 9 + 9 + 7 * static_cast<int>(endpoints.size());
    Put(out, {9, 2, total & 0xFF, total >> 8, 1, 1, 0, 0x80, 50});
    Put(out, {9, 4, 0, 0, static_cast<int>(endpoints.size()), 0xFF, 0, 0, 0});
    for (const auto& e : endpoints)
        Put(out, {7, 5, e.Address, e.Attributes, e.MaxPacketSize & 0xFF, e.MaxPacketSize >> 8,
                  e.Attributes == 3 ? 1 : 0});
    return out;
}

template <typename F> auto WithDevice(int device, F f)
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return f(s, *s.Devices.at(static_cast<std::size_t>(device)));
}

void SendOnKind(int device, int attributes, const std::string& message)
{
    WithDevice(device, [&](TState& s, TDevice& d) {
        if (TEndpointState* ep = d.FirstIn(attributes); ep && d.Plugged)
            SendOn(s, d, *ep, message);
        return 0;
    });
}

} // namespace

int AddDevice(std::uint16_t vendor, std::uint16_t product, const std::vector<TEndpoint>& endpoints)
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    auto device = std::make_unique<TDevice>();
    device->Vendor = vendor;
    device->Product = product;
    device->Number = s.NextNumber++;
    char name[16];
    std::snprintf(name, sizeof name, "/%03d", device->Number % 1000);
    device->Path = BusFolder() + name;
    for (const auto& e : endpoints)
        device->Endpoints[e.Address].Descriptor = e;
    std::ofstream(device->Path, std::ios::binary) << Descriptors(vendor, product, endpoints);
    s.Devices.push_back(std::move(device));
    return static_cast<int>(s.Devices.size()) - 1;
}

void Unplug(int device)
{
    WithDevice(device, [device](TState& s, TDevice& d) {
        d.Plugged = false;
        std::error_code ignored;
        fs::remove(d.Path, ignored);
        // Whatever was still pending ends; the files see ENODEV from now on.
        for (auto& [address, ep] : d.Endpoints) {
            while (!ep.PendingUrbs.empty()) {
                TUrb* urb = ep.PendingUrbs.front();
                ep.PendingUrbs.pop_front();
                Complete(s, urb, -ESHUTDOWN, 0);
            }
        }
        SignalDevice(s, device);
        s.Changed.notify_all();
        return 0;
    });
}

void Fail(int device, TCall call, int error, int times)
{
    WithDevice(device, [&](TState&, TDevice& d) {
        for (int i = 0; i < times; ++i)
            d.Failures[call].push_back(error);
        return 0;
    });
}

void SendInterrupt(int device, const std::string& message)
{
    SendOnKind(device, 3, message);
}

void SendBulk(int device, const std::string& message)
{
    SendOnKind(device, 2, message);
}

void SetEcho(int device, bool echo)
{
    WithDevice(device, [&](TState&, TDevice& d) { return d.Echo = echo; });
}

void SetEchoDelay(int device, int minUs, int maxUs)
{
    WithDevice(device, [&](TState&, TDevice& d) {
        d.EchoMinUs = minUs;
        d.EchoMaxUs = std::max(minUs, maxUs);
        return 0;
    });
}

void SendAtDiscard(int device, int endpoint, const std::string& message)
{
    WithDevice(device, [&](TState&, TDevice& d) {
        d.Endpoints.at(endpoint).AtDiscard.push_back(message);
        return 0;
    });
}

std::vector<std::string> Messages(int device, int endpoint)
{
    return WithDevice(device, [&](TState&, TDevice& d) { return d.Endpoints.at(endpoint).Messages; });
}

bool WaitForMessages(int device, int endpoint, std::size_t count, int ms)
{
    TState& s = State();
    std::unique_lock lock(s.Lock);
    TDevice& d = *s.Devices.at(static_cast<std::size_t>(device));
    return s.Changed.wait_for(lock, std::chrono::milliseconds(ms),
                              [&] { return d.Endpoints.at(endpoint).Messages.size() >= count; });
}

std::vector<std::string> Transfers(int device, int endpoint)
{
    return WithDevice(device, [&](TState&, TDevice& d) { return d.Endpoints.at(endpoint).Transfers; });
}

void Stall(int device, int endpoint, int times)
{
    WithDevice(device, [&](TState& s, TDevice& d) {
        TEndpointState& ep = d.Endpoints.at(endpoint);
        ep.Halt.Stalls += times;
        // An URB waiting on the endpoint meets the first stall at once.
        if (!ep.PendingUrbs.empty() && ep.Halt.Meets()) {
            TUrb* urb = ep.PendingUrbs.front();
            ep.PendingUrbs.pop_front();
            Complete(s, urb, -EPIPE, 0);
        }
        return 0;
    });
}

int ClearHalts(int device, int endpoint)
{
    return WithDevice(device, [&](TState&, TDevice& d) { return d.Endpoints.at(endpoint).Halt.ClearHalts; });
}

void HoldWrites(int device, int endpoint, bool hold)
{
    WithDevice(device, [&](TState& s, TDevice& d) {
        TEndpointState& ep = d.Endpoints.at(endpoint);
        ep.Hold = hold;
        if (!hold) {
            while (!ep.PendingUrbs.empty()) {
                TUrb* urb = ep.PendingUrbs.front();
                ep.PendingUrbs.pop_front();
                Complete(s, urb, 0, static_cast<int>(urb->Data.size()));
                TakeTransfer(s, d, ep, urb->Data);
            }
        }
        return 0;
    });
}

std::vector<long> DiscardedWriteAges()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return s.DiscardedWriteAges;
}

int Submitted(int device, int endpoint)
{
    return WithDevice(device, [&](TState&, TDevice& d) { return d.Endpoints.at(endpoint).Submitted; });
}

int Pending(int device, int endpoint)
{
    return WithDevice(device,
                      [&](TState&, TDevice& d) { return static_cast<int>(d.Endpoints.at(endpoint).PendingUrbs.size()); });
}

int OpenNodes()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return static_cast<int>(s.Files.size());
}

int WaitingThreads()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return s.Waiting;
}

int Violations()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return s.Violations;
}

std::vector<unsigned> UnknownRequests()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return s.Unknown;
}

} // namespace UsbDevfs
