#pragma once
// A piece of a test run in a child process of its own: for what may hang the
// process (an open that waits) and for writers that run at the same time as
// in two programs. The child runs only the given code, then ends at once.
#include "tests/common/Sanitizer.h"

#include <chrono>
#include <functional>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class TChildProcess {
public:
    // Starts `body` in a child; its result is the child's exit status.
    explicit TChildProcess(const std::function<int()>& body)
    {
        FPid = ::fork();
        if (FPid == 0)
            ::_exit(body());
    }
    ~TChildProcess()
    {
        if (FPid > 0 && !FDone) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return FPid > 0; }
    // Waits at most `limit` (real time) for the child's end: its exit status,
    // or -1 when it had to be killed (it hung) or died of a signal.
    int Wait(std::chrono::seconds limit = std::chrono::seconds(120))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (!FDone) {
            const pid_t done = ::waitpid(FPid, &status, WNOHANG);
            if (done == FPid) {
                FDone = true;
                break;
            }
            if (std::chrono::steady_clock::now() > end) {
                ::kill(FPid, SIGKILL);
                ::waitpid(FPid, &status, 0);
                FDone = true;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t FPid = -1;
    bool FDone = false;
};
