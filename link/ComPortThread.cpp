#include "link/ComPortThread.h"

#include "platform/Dialogs.h"
#include "platform/Exception.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr unsigned kBaudRate = 38400;
constexpr std::size_t kReadChunk = 1024;
constexpr int kWriteWaitMs = 5000;
constexpr int kReadChunksPerWake = 16;

// The port thread runs above the others. Raising a priority needs a privilege
// that an ordinary user does not have; the link works without it, so only
// other failures are worth a message. (On Linux this call acts on the calling
// thread alone.)
void RaiseThreadPriority()
{
    if (::setpriority(PRIO_PROCESS, 0, -10) != 0 && errno != EPERM && errno != EACCES)
        ReportComError("SetThreadPriority", errno);
}

} // namespace

TComPortThread::TComPortThread(HWND interfaceWindow, std::uint16_t portNumber)
    : FWindow(interfaceWindow), FPortNumber(portNumber)
{
}

TComPortThread::~TComPortThread()
{
    Stop();
}

void TComPortThread::Start(TComControl& control)
{
    if (FThread.joinable())
        return;
    FControl = &control;
    FThread = std::thread([this] { Execute(); });
}

void TComPortThread::Stop()
{
    if (!FThread.joinable())
        return;
    FLoop.Terminate().Set();
    FThread.join();
    FLoop.Queue().Close();
    FPort.Close();
}

bool TComPortThread::PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block)
{
    return FLoop.Queue().Post(msg, wParam, std::move(block));
}

void TComPortThread::PostToInterface(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block)
{
    TMessageWindow::PostMessage(FWindow, msg, wParam, 0, std::move(block));
}

bool TComPortThread::OpenPort()
{
    if (!FPort.Open(FNode))
        return false;
    if (!FPort.Configure(kBaudRate))
        ReportComError("SetCommState", errno);
    if (!FPort.SetModemLines(true, false))
        ReportComError("SetCommState", errno);
    FPort.Purge();
    return true;
}

void TComPortThread::Execute()
{
    RaiseThreadPriority();
    FNode = PortDeviceNode(FPortNumber);
    bool opened = false;
    Guarded([&] { opened = OpenPort(); });
    if (!opened) {
        PostMessageBox("Fehler beim Öffnen des COM-Ports. Stellen Sie sicher, dass der angegebene Port auch existiert.",
                       QCoreApplication::applicationName().toStdString(), MB_OK | MB_ICONERROR);
        FLoop.Queue().Close();
        return;
    }
    for (;;) {
        const bool watch = FPort.IsOpen() && !FPortLost;
        const short events = static_cast<short>(POLLIN | (FPending.empty() ? 0 : POLLOUT));
        // While the port is lost the wait's own time limit brings the next
        // try: it needs no descriptor, so a process that ran out of them
        // gets its port back once it has them again.
        int timeoutMs = -1;
        if (FPortLost)
            timeoutMs = static_cast<int>(std::max<std::int64_t>(
                0, std::chrono::ceil<std::chrono::milliseconds>(FReopenAt - std::chrono::steady_clock::now())
                       .count()));
        TPollLoop::TWake wake;
        if (!Guarded([&] { wake = FLoop.Wait(watch ? FPort.Fd() : -1, events, timeoutMs); })) {
            // A thread that cannot wait would only spin: it ends, and the
            // main thread learns that the link is down.
            FControl->ReportLinkState(false);
            break;
        }
        if (wake.Terminate)
            break;
        if (watch && (wake.FdEvents & POLLOUT))
            Guarded([&] { FlushPending(0); });
        if (watch && (wake.FdEvents & (POLLIN | POLLERR | POLLHUP)))
            Guarded([&] { ReadPort(); });
        if (wake.Messages)
            for (TThreadMessage& message : FLoop.Queue().TakeAll())
                Guarded([&] { FControl->HandleThreadMessage(message); });
        for (const int id : wake.Timers) {
            Guarded([&] {
                if (FLoop.ConsumeTimer(id))
                    FControl->HandleTimer(id);
            });
        }
        if (FPortLost && std::chrono::steady_clock::now() >= FReopenAt)
            Guarded([&] { ReopenPort(); });
    }
    FLoop.Queue().Close();
}

// What a step of the thread raises (a timer that cannot be made when the
// process has no file descriptor left, memory that runs out) is shown in the
// window thread as the thread's failed calls are, and the thread goes on with
// the next step: the protocol's own repeats and supervision mend what the step
// left undone.
template <typename F>
bool TComPortThread::Guarded(F&& step) noexcept
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        ReportThreadError(e.what());
    } catch (...) {
        ReportThreadError("Unknown error");
    }
    return false;
}

void TComPortThread::ReportThreadError(const std::string& text) noexcept
{
    try {
        PostMessageBox(text, "Fehler", MB_OK);
    } catch (...) {
        std::fprintf(stderr, "Fehler: %s\n", text.c_str());
    }
}

void TComPortThread::ReadPort()
{
    // A device that writes faster than the thread reads would keep it here
    // for ever: after a few chunks the thread looks at its stop request,
    // messages and timers again.
    char buffer[kReadChunk];
    for (int chunk = 0; chunk < kReadChunksPerWake; ++chunk) {
        const long n = FPort.Read(buffer, sizeof buffer);
        if (n < 0) {
            PortLost("ReadFile", errno);
            return;
        }
        if (const std::uint32_t errors = FPort.TakeLineErrors(); errors && !(errors & CE_MODE))
            FControl->HandleLineError(errors);
        if (n == 0) {
            // Readable but nothing to read: the other end hung up.
            pollfd p{FPort.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP))
                PortLost("ReadFile", EIO);
            return;
        }
        FControl->HandleBytes(std::string(buffer, static_cast<std::size_t>(n)));
        if (static_cast<std::size_t>(n) < sizeof buffer)
            return;
    }
}

// The device is gone (unplugged adapter, closed pseudo-terminal). It is said
// once; the thread then tries to open the port again every second, and the
// protocol meanwhile takes the link down by its own supervision.
void TComPortThread::PortLost(const std::string& step, int error)
{
    if (FPortLost)
        return;
    FPortLost = true;
    FPending.clear();
    FReopenAt = std::chrono::steady_clock::now() + kReopenPeriod;
    ReportComError(step, error);
}

// One try to open the lost port again (the device may be back); a port that
// cannot be opened yet is tried again a second later, without a word.
void TComPortThread::ReopenPort()
{
    FReopenAt = std::chrono::steady_clock::now() + kReopenPeriod;
    FPort.Close();
    if (OpenPort())
        FPortLost = false;
}

bool TComPortThread::FlushPending(int timeoutMs)
{
    while (!FPending.empty()) {
        const long n = FPort.Write(FPending.data(), FPending.size());
        if (n < 0) {
            PortLost("WriteFile (Aufruf senden)", errno);
            return false;
        }
        FPending.erase(0, static_cast<std::size_t>(n));
        if (FPending.empty())
            break;
        if (timeoutMs <= 0)
            return false;
        // A stop request ends the wait: the thread is being ended and the
        // bytes no longer matter.
        pollfd p[2] = {{FPort.Fd(), POLLOUT, 0}, {FLoop.Terminate().Fd(), POLLIN, 0}};
        int ready;
        do {
            ready = ::poll(p, 2, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (p[1].revents & POLLIN) {
            FPending.clear();
            return false;
        }
        if (ready <= 0) {
            FPending.clear();
            ReportComError("WriteFile (Aufruf senden)", ETIMEDOUT);
            return false;
        }
        if (p[0].revents & (POLLERR | POLLHUP)) {
            PortLost("WriteFile (Aufruf senden)", EIO);
            return false;
        }
    }
    return true;
}

void TComPortThread::Write(const std::string& bytes)
{
    if (!FPort.IsOpen() || FPortLost)
        return;
    // One write at a time: the previous one completes first.
    FlushPending(kWriteWaitMs);
    if (FPortLost)
        return;
    FPending = bytes;
    FlushPending(0);
}
