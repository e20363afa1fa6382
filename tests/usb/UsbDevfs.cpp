#include "tests/usb/UsbDevfs.h"
#include "tests/usb/DeviceModel.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <dlfcn.h>
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
#include <list>
#include <map>
#include <memory>
#include <mutex>

// The C library's functions that the emulation stands in front of. They are
// defined in the test program, so the shared libusb calls these; every call
// that is not for an emulated node goes on to the C library's own.
extern "C" {
int open(const char* path, int flags, ...);
int close(int fd);
int ioctl(int fd, unsigned long request, ...) noexcept;
int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout);
int gettimeofday(struct timeval* tv, void* tz) noexcept;
}

namespace {

namespace fs = std::filesystem;

// Constant-initialised: the functions above run before any constructor of
// this file has (other libraries open files while they start).
constexpr int MaxTrackedFd = 4096;
std::atomic<bool> gTracked[MaxTrackedFd];
char gRoot[256];
std::atomic<std::size_t> gRootLength{0};
thread_local long long tClockAheadUs = 0; // how far this thread's clock is ahead

template <typename F> F Next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

using TOpen = int (*)(const char*, int, ...);
using TClose = int (*)(int);
using TIoctl = int (*)(int, unsigned long, ...);
using TSelect = int (*)(int, fd_set*, fd_set*, fd_set*, struct timeval*);

// The C library's own functions, looked up once, on the first call that
// passes one through.
struct TRealCalls {
    TOpen Open = Next<TOpen>("open");
    TClose Close = Next<TClose>("close");
    TIoctl Ioctl = Next<TIoctl>("ioctl");
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

long long RealNowUs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// What this thread's clock says.
long long ThreadNowUs()
{
    return RealNowUs() + tClockAheadUs;
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
    long long SubmittedAtUs = 0; // on the submitting thread's clock
};

struct TEndpointState {
    UsbDevfs::TEndpoint Descriptor;
    std::deque<std::string> ToHost;   // IN: transfers waiting on the device
    std::deque<TUrb*> PendingUrbs;    // oldest first
    UsbDeviceModel::THalt Halt;
    bool Hold = false;
    int Submitted = 0;
    std::vector<std::string> Transfers; // OUT: as taken
    std::vector<std::string> Messages;  // OUT: unpacked
    std::string Assembling;
};

struct TDevice {
    std::uint16_t Vendor = 0;
    std::uint16_t Product = 0;
    int Number = 0;
    std::string Path;
    bool Plugged = true;
    bool Echo = true;
    bool VirtualTime = false;
    int ClaimedBy = -1; // descriptor that holds interface 0
    std::map<int, TEndpointState> Endpoints;
    std::map<UsbDevfs::TCall, std::deque<int>> Failures;

    TEndpointState* Find(int address)
    {
        auto it = Endpoints.find(address);
        return it == Endpoints.end() ? nullptr : &it->second;
    }
    int InterruptInPacket()
    {
        for (auto& [address, ep] : Endpoints)
            if ((address & 0x80) && ep.Descriptor.Attributes == 3)
                return ep.Descriptor.MaxPacketSize;
        return 0;
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
    int Waiters = 0;             // threads in a blocking reap or select on it
};

struct TState {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::unique_ptr<TDevice>> Devices;
    std::map<int, TFile> Files;
    std::list<std::unique_ptr<TUrb>> Urbs; // every URB not yet reaped
    std::vector<long> DiscardedWriteAges;
    int BlockedReaps = 0;
    int Violations = 0;
    int NextNumber = 1;
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

// The folder libusb is pointed at, made before main runs (and before libusb
// reads the variable in usb_find_busses).
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

void Complete(TState& s, TUrb* urb, int status, int actual)
{
    urb->Status = status;
    urb->Actual = actual;
    auto file = s.Files.find(urb->Fd);
    if (file != s.Files.end())
        file->second.Completed.push_back(urb);
    s.Changed.notify_all();
}

// The device cuts a message into the transfers it sends on an IN endpoint.
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
            ep.ToHost.push_back(static_cast<char>((index & 0x7F) | (last ? 0x80 : 0)) + message.substr(at, n));
            at += n;
            ++index;
            if (last)
                break;
        }
    } else {
        std::size_t at = 0;
        for (; message.size() - at >= packet; at += packet)
            ep.ToHost.push_back(message.substr(at, packet));
        ep.ToHost.push_back(message.substr(at)); // short, or the empty packet that closes full ones
    }
}

// IN data meets the URBs that wait for it, oldest first.
void Deliver(TState& s, TEndpointState& ep)
{
    while (!ep.PendingUrbs.empty() && !ep.ToHost.empty()) {
        TUrb* urb = ep.PendingUrbs.front();
        ep.PendingUrbs.pop_front();
        std::string data = std::move(ep.ToHost.front());
        ep.ToHost.pop_front();
        const int room = urb->User->buffer_length;
        if (static_cast<int>(data.size()) > room) {
            data.resize(static_cast<std::size_t>(room));
            urb->Data = std::move(data);
            Complete(s, urb, -EOVERFLOW, room);
        } else {
            const int n = static_cast<int>(data.size());
            urb->Data = std::move(data);
            Complete(s, urb, 0, n);
        }
    }
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
        if (device.Echo && ep.Descriptor.Attributes == 2) {
            for (auto& [address, in] : device.Endpoints) {
                if ((address & 0x80) && in.Descriptor.Attributes == 2) {
                    QueueMessage(device, in, message);
                    Deliver(s, in);
                    break;
                }
            }
        }
    }
}

// The ends of a file's URBs: still pending ones are taken back from the
// device, and all are forgotten.
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
void CopyOut(TState& s, TUrb* urb, void* arg)
{
    urb->User->status = urb->Status;
    urb->User->actual_length = urb->Actual;
    if (urb->In && urb->Actual > 0)
        std::memcpy(urb->User->buffer, urb->Data.data(), static_cast<std::size_t>(urb->Actual));
    *static_cast<void**>(arg) = urb->User;
    s.Urbs.remove_if([urb](const std::unique_ptr<TUrb>& u) { return u.get() == urb; });
}

// The oldest completed URB of the file, reaped.
void ReapFirst(TState& s, TFile& file, void* arg)
{
    TUrb* urb = file.Completed.front();
    file.Completed.pop_front();
    CopyOut(s, urb, arg);
}

int Submit(TState& s, TFile& file, TDevice& device, int fd, usbdevfs_urb* user)
{
    TEndpointState* ep = device.Find(user->endpoint);
    if (!ep)
        return Fail(ENOENT);
    const bool in = (user->endpoint & 0x80) != 0;
    auto owned = std::make_unique<TUrb>();
    TUrb* urb = owned.get();
    urb->User = user;
    urb->Fd = fd;
    urb->Endpoint = user->endpoint;
    urb->In = in;
    urb->SubmittedAtUs = ThreadNowUs();
    if (!in && user->buffer_length > 0)
        urb->Data.assign(static_cast<const char*>(user->buffer), static_cast<std::size_t>(user->buffer_length));
    s.Urbs.push_back(std::move(owned));
    ++ep->Submitted;
    (void)file;
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
        TUrb* urb = *it;
        ep.PendingUrbs.erase(it);
        if (!urb->In)
            s.DiscardedWriteAges.push_back(static_cast<long>((ThreadNowUs() - urb->SubmittedAtUs) / 1000));
        Complete(s, urb, -ENOENT, 0);
        return 0;
    }
    return Fail(EINVAL); // not pending (any more): it completed, or was never submitted
}

int Request(int fd, unsigned long request, void* arg)
{
    TState& s = State();
    std::unique_lock lock(s.Lock);
    auto fileIt = s.Files.find(fd);
    if (fileIt == s.Files.end())
        return Fail(EBADF);
    TFile& file = fileIt->second;
    TDevice& device = *s.Devices[static_cast<std::size_t>(file.Device)];
    if (_IOC_TYPE(request) != 'U')
        return Fail(ENOTTY);
    const unsigned nr = _IOC_NR(request);
    if (Tracing())
        std::fprintf(stderr, "usbdevfs: fd %d request %u\n", fd, nr);
    switch (nr) {
    case _IOC_NR(USBDEVFS_REAPURB): {
        ++s.BlockedReaps;
        ++file.Waiters;
        s.Changed.wait(lock, [&] {
            auto f = s.Files.find(fd);
            return f == s.Files.end() || !f->second.Completed.empty() || !device.Plugged;
        });
        --s.BlockedReaps;
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
    default: break;
    }
    if (!device.Plugged)
        return Fail(ENODEV);
    switch (nr) {
    case _IOC_NR(USBDEVFS_SUBMITURB): return Submit(s, file, device, fd, static_cast<usbdevfs_urb*>(arg));
    case _IOC_NR(USBDEVFS_DISCARDURB): return Discard(s, device, fd, arg);
    case _IOC_NR(USBDEVFS_SETCONFIGURATION): {
        if (const int error = device.Failure(UsbDevfs::TCall::SetConfiguration))
            return Fail(error);
        return *static_cast<unsigned*>(arg) == 1 ? 0 : Fail(EINVAL);
    }
    case _IOC_NR(USBDEVFS_CLAIMINTERFACE): {
        if (const int error = device.Failure(UsbDevfs::TCall::ClaimInterface))
            return Fail(error);
        if (*static_cast<unsigned*>(arg) != 0)
            return Fail(ENOENT);
        if (device.ClaimedBy != -1 && device.ClaimedBy != fd)
            return Fail(EBUSY);
        device.ClaimedBy = fd;
        return 0;
    }
    case _IOC_NR(USBDEVFS_RELEASEINTERFACE): {
        if (const int error = device.Failure(UsbDevfs::TCall::ReleaseInterface))
            return Fail(error);
        if (*static_cast<unsigned*>(arg) != 0 || device.ClaimedBy != fd)
            return Fail(EINVAL);
        device.ClaimedBy = -1;
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
        ep->Halt.Clear();
        return 0;
    }
    default: return Fail(ENOTTY);
    }
}

// select() on emulated nodes: a node is ready once it has a completed URB to
// reap, or its device is gone.
int Select(int nfds, fd_set* readfds, fd_set* writefds, struct timeval* timeout)
{
    TState& s = State();
    std::vector<int> watched;
    for (int fd = 0; fd < nfds; ++fd)
        if ((readfds && FD_ISSET(fd, readfds)) || (writefds && FD_ISSET(fd, writefds)))
            watched.push_back(fd);
    std::unique_lock lock(s.Lock);
    auto ready = [&](int fd) {
        auto f = s.Files.find(fd);
        if (f == s.Files.end())
            return true; // EBADF would say the same
        return !f->second.Completed.empty() || !s.Devices[static_cast<std::size_t>(f->second.Device)]->Plugged;
    };
    auto anyReady = [&] { return std::any_of(watched.begin(), watched.end(), ready); };
    const long long waitUs =
        timeout ? static_cast<long long>(timeout->tv_sec) * 1000000 + timeout->tv_usec : -1;
    if (!anyReady()) {
        bool virtualTime = false;
        for (int fd : watched) {
            auto f = s.Files.find(fd);
            if (f != s.Files.end() && s.Devices[static_cast<std::size_t>(f->second.Device)]->VirtualTime)
                virtualTime = true;
        }
        auto waiters = [&](int step) {
            for (int fd : watched) {
                auto f = s.Files.find(fd);
                if (f != s.Files.end())
                    f->second.Waiters += step;
            }
        };
        if (virtualTime && waitUs >= 0) {
            tClockAheadUs += waitUs;
        } else if (waitUs < 0) {
            waiters(1);
            s.Changed.wait(lock, anyReady);
            waiters(-1);
        } else {
            waiters(1);
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(waitUs);
            const auto started = std::chrono::steady_clock::now();
            s.Changed.wait_until(lock, until, anyReady);
            waiters(-1);
            const long long usedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                         std::chrono::steady_clock::now() - started)
                                         .count();
            const long long left = std::max(0LL, waitUs - usedUs);
            timeout->tv_sec = static_cast<time_t>(left / 1000000);
            timeout->tv_usec = static_cast<suseconds_t>(left % 1000000);
        }
    }
    int count = 0;
    std::vector<int> now;
    for (int fd : watched)
        if (ready(fd))
            now.push_back(fd);
    const bool inRead = readfds != nullptr;
    fd_set r;
    fd_set w;
    FD_ZERO(&r);
    FD_ZERO(&w);
    for (int fd : now) {
        if (readfds && FD_ISSET(fd, readfds)) {
            FD_SET(fd, &r);
            ++count;
        }
        if (writefds && FD_ISSET(fd, writefds)) {
            FD_SET(fd, &w);
            ++count;
        }
    }
    if (inRead)
        *readfds = r;
    if (writefds)
        *writefds = w;
    if (Tracing())
        std::fprintf(stderr, "usbdevfs: select %lld us -> %d\n", waitUs, count);
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
    s.Files[fd] = TFile{index, {}};
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
            TDevice& device = *s.Devices[static_cast<std::size_t>(f->second.Device)];
            if (device.ClaimedBy == fd)
                device.ClaimedBy = -1;
            // The library reaps every URB of a transfer before the call
            // returns: one still pending, or a thread still waiting on the
            // node, means the node is closed under a running transfer.
            bool pending = f->second.Waiters > 0;
            for (auto& [address, ep] : device.Endpoints)
                for (TUrb* u : ep.PendingUrbs)
                    pending = pending || u->Fd == fd;
            if (pending)
                ++s.Violations;
            ForgetUrbsOf(s, fd);
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
    return Select(nfds, readfds, writefds, timeout);
}

extern "C" int gettimeofday(struct timeval* tv, void*) noexcept
{
    const long long now = ThreadNowUs();
    tv->tv_sec = static_cast<time_t>(now / 1000000);
    tv->tv_usec = static_cast<suseconds_t>(now % 1000000);
    return 0;
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
    for (auto& device : s.Devices) {
        if (device->Plugged) {
            device->Plugged = false;
            std::error_code ignored;
            fs::remove(device->Path, ignored);
        }
    }
    s.DiscardedWriteAges.clear();
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
    std::snprintf(name, sizeof name, "/%03d", device->Number);
    device->Path = BusFolder() + name;
    for (const auto& e : endpoints)
        device->Endpoints[e.Address].Descriptor = e;
    std::ofstream(device->Path, std::ios::binary) << Descriptors(vendor, product, endpoints);
    s.Devices.push_back(std::move(device));
    return static_cast<int>(s.Devices.size()) - 1;
}

void Unplug(int device)
{
    WithDevice(device, [](TState& s, TDevice& d) {
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

namespace {
void SendOn(int device, int attributes, const std::string& message)
{
    WithDevice(device, [&](TState&, TDevice& d) {
        for (auto& [address, ep] : d.Endpoints) {
            if ((address & 0x80) && ep.Descriptor.Attributes == attributes) {
                QueueMessage(d, ep, message); // for the next URB submitted (see the header)
                break;
            }
        }
        return 0;
    });
}
} // namespace

void SendInterrupt(int device, const std::string& message)
{
    SendOn(device, 3, message);
}

void SendBulk(int device, const std::string& message)
{
    SendOn(device, 2, message);
}

void SetEcho(int device, bool echo)
{
    WithDevice(device, [&](TState&, TDevice& d) { return d.Echo = echo; });
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

void SetVirtualTime(int device, bool on)
{
    WithDevice(device, [&](TState& s, TDevice& d) {
        d.VirtualTime = on;
        s.Changed.notify_all();
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

int BlockedReaps()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return s.BlockedReaps;
}

int Violations()
{
    TState& s = State();
    std::lock_guard lock(s.Lock);
    return s.Violations;
}

} // namespace UsbDevfs
