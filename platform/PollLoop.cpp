#include "platform/PollLoop.h"

#include "platform/Exception.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

TEventFd::TEventFd() : FFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (FFd < 0)
        throw EOSError("eventfd: " + SysErrorMessage(errno), errno);
}

TEventFd::~TEventFd()
{
    ::close(FFd);
}

void TEventFd::Set()
{
    const std::uint64_t one = 1;
    // A full counter (it never is) would only mean it is set already.
    [[maybe_unused]] const auto n = ::write(FFd, &one, sizeof one);
}

void TEventFd::Reset()
{
    std::uint64_t value;
    while (::read(FFd, &value, sizeof value) == sizeof value) {
    }
}

bool TEventFd::IsSet() const
{
    pollfd p{FFd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

bool TThreadMessageQueue::Post(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block)
{
    {
        std::lock_guard guard(FLock);
        if (FClosed)
            return false;
        FQueue.push_back(TThreadMessage{msg, wParam, std::move(block)});
    }
    FSignal.Set();
    return true;
}

std::deque<TThreadMessage> TThreadMessageQueue::TakeAll()
{
    std::lock_guard guard(FLock);
    FSignal.Reset();
    std::deque<TThreadMessage> taken;
    taken.swap(FQueue);
    return taken;
}

void TThreadMessageQueue::Close()
{
    std::lock_guard guard(FLock);
    FClosed = true;
    FQueue.clear();
}

TPollLoop::TPollLoop() = default;

TPollLoop::~TPollLoop()
{
    for (auto& [id, timer] : FTimers)
        ::close(timer.Fd);
}

void TPollLoop::StartTimer(int id, unsigned ms)
{
    auto it = FTimers.find(id);
    if (it == FTimers.end()) {
        // A timer that cannot be made leaves no trace: the next start tries again.
        const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
        if (fd < 0)
            throw EOSError("timerfd_create: " + SysErrorMessage(errno), errno);
        it = FTimers.emplace(id, TTimer{fd}).first;
    }
    auto& timer = it->second;
    itimerspec spec{};
    spec.it_interval.tv_sec = ms / 1000;
    spec.it_interval.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    spec.it_value = spec.it_interval;
    if (ms == 0)
        spec.it_value.tv_nsec = 1; // a zero period would disarm it
    timerfd_settime(timer.Fd, 0, &spec, nullptr);
}

void TPollLoop::StopTimer(int id)
{
    const auto it = FTimers.find(id);
    if (it == FTimers.end())
        return;
    itimerspec spec{};
    timerfd_settime(it->second.Fd, 0, &spec, nullptr);
    std::uint64_t expirations;
    while (::read(it->second.Fd, &expirations, sizeof expirations) == sizeof expirations) {
    }
}

TPollLoop::TWake TPollLoop::Wait(int fd, short events, int timeoutMs)
{
    std::vector<pollfd> fds;
    fds.push_back({FTerminate.Fd(), POLLIN, 0});
    fds.push_back({FQueue.Fd(), POLLIN, 0});
    std::vector<int> timerIds;
    for (auto& [id, timer] : FTimers) {
        fds.push_back({timer.Fd, POLLIN, 0});
        timerIds.push_back(id);
    }
    const size_t fdIndex = fds.size();
    if (fd >= 0)
        fds.push_back({fd, events, 0});

    TWake wake;
    int n;
    do {
        n = ::poll(fds.data(), fds.size(), timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        throw EOSError("poll: " + SysErrorMessage(errno), errno);

    wake.Terminate = (fds[0].revents & POLLIN) != 0;
    wake.Messages = (fds[1].revents & POLLIN) != 0;
    for (size_t i = 0; i < timerIds.size(); ++i)
        if (fds[2 + i].revents & POLLIN)
            wake.Timers.push_back(timerIds[i]);
    if (fd >= 0)
        wake.FdEvents = fds[fdIndex].revents;
    return wake;
}

bool TPollLoop::ConsumeTimer(int id)
{
    const auto it = FTimers.find(id);
    if (it == FTimers.end())
        return false;
    std::uint64_t expirations;
    return ::read(it->second.Fd, &expirations, sizeof expirations) == sizeof expirations;
}
