#pragma once
// The loop of a worker thread: it sleeps in poll() until a watched file
// descriptor is ready, a message arrives in its queue, one of its timers
// expires or it is told to stop.
//
// The queue and the stop request may be used from any thread; everything else
// belongs to the loop's own thread.
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A manual-reset event on an eventfd: poll() sees it while it is set.
class TEventFd {
public:
    TEventFd();
    ~TEventFd();
    TEventFd(const TEventFd&) = delete;
    TEventFd& operator=(const TEventFd&) = delete;
    void Set();
    void Reset();
    bool IsSet() const;
    int Fd() const { return FFd; }

private:
    int FFd;
};

struct TThreadMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::unique_ptr<std::string> Block;
};

// A thread's message queue. Post is refused (false) once the queue is closed,
// and the message with its block is dropped.
class TThreadMessageQueue {
public:
    bool Post(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block = {});
    // Takes every queued message, oldest first.
    std::deque<TThreadMessage> TakeAll();
    void Close();
    int Fd() const { return FSignal.Fd(); }

private:
    std::mutex FLock;
    std::deque<TThreadMessage> FQueue;
    bool FClosed = false;
    TEventFd FSignal;
};

class TPollLoop {
public:
    TPollLoop();
    ~TPollLoop();
    TPollLoop(const TPollLoop&) = delete;
    TPollLoop& operator=(const TPollLoop&) = delete;

    // Periodic timers: each fires every `ms` until stopped; starting a running
    // timer again restarts its period.
    void StartTimer(int id, unsigned ms);
    void StopTimer(int id);

    TThreadMessageQueue& Queue() { return FQueue; }
    TEventFd& Terminate() { return FTerminate; }

    struct TWake {
        bool Terminate = false;
        bool Messages = false;
        short FdEvents = 0;      // revents of the watched descriptor
        std::vector<int> Timers; // timers that have expired, in id order
    };
    // Waits at most `timeoutMs` (< 0: without time limit). `fd` < 0: no
    // descriptor is watched; `events` the poll() events wanted for it. A wait
    // that ran out returns a wake with nothing in it.
    TWake Wait(int fd, short events, int timeoutMs = -1);
    // Takes the expiry of a timer that Wait reported; false when the timer was
    // stopped or restarted since, so a handler that stops another timer in the
    // same pass keeps it from firing.
    bool ConsumeTimer(int id);

private:
    struct TTimer {
        int Fd = -1;
    };
    std::map<int, TTimer> FTimers;
    TThreadMessageQueue FQueue;
    TEventFd FTerminate;
};
