#include "shell/PluginGuard.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

struct TPluginGuardAccess {
    static TPluginRole Role(const TPluginGuard& g) { return g.FRole; }
    static const char* Entry(const TPluginGuard& g) { return g.FEntry; }
    static long Thread(const TPluginGuard& g) { return g.FThread; }
};

namespace {

const char* const kRoleNames[4] = {"status", "parameter", "firmware", "extended"};
const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP};

// What the handler reads: plain buffers, written by the GUI thread while no
// entry of that role runs.
struct TPathText {
    char Utf8[PATH_MAX] = {};
    char Latin1[PATH_MAX] = {};
};
TPathText gLibraries[4];
char gReportFile[PATH_MAX] = {};
std::atomic<const TPluginGuard*> gInnermost{nullptr};
struct sigaction gPrevious[NSIG];
std::atomic<bool> gInstalled{false};

long ThisThread()
{
    return static_cast<long>(::syscall(SYS_gettid));
}

const char* SignalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    case SIGSYS: return "SIGSYS";
    case SIGTRAP: return "SIGTRAP";
    default: return "a fatal signal";
    }
}

// A line put together without the heap.
struct TLine {
    char Text[PATH_MAX + 256];
    std::size_t Length = 0;
    void Add(const char* text)
    {
        for (; *text && Length < sizeof Text; ++text)
            Text[Length++] = *text;
    }
};

void Compose(TLine& line, int role, const char* library, const char* entry, int signal)
{
    line.Add("Fatal error: ");
    line.Add(SignalName(signal));
    line.Add(" in the entry ");
    line.Add(entry);
    line.Add(" of the ");
    line.Add(kRoleNames[role]);
    line.Add(" plug-in \"");
    line.Add(library);
    line.Add("\"");
}

void WriteAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
}

void OnFatalSignal(int signal, siginfo_t* info, void*)
{
    const int saved = errno;
    const TPluginGuard* guard = gInnermost.load();
    if (guard && TPluginGuardAccess::Thread(*guard) == ThisThread()) {
        const int role = static_cast<int>(TPluginGuardAccess::Role(*guard));
        const char* entry = TPluginGuardAccess::Entry(*guard);
        TLine line;
        Compose(line, role, gLibraries[role].Utf8, entry, signal);
        line.Add("\n");
        WriteAll(STDERR_FILENO, line.Text, line.Length);
        if (gReportFile[0]) {
            TLine logLine;
            Compose(logLine, role, gLibraries[role].Latin1, entry, signal);
            logLine.Add("\r\n");
            const int fd = ::open(gReportFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
            if (fd >= 0) {
                WriteAll(fd, logLine.Text, logLine.Length);
                ::close(fd);
            }
        }
    }
    // The crash takes its course as it would have without us.
    ::sigaction(signal, &gPrevious[signal], nullptr);
    errno = saved;
    // A fault comes again when the instruction runs again; a signal that was
    // sent (abort, kill) is sent again, and arrives once this handler returns.
    if (!info || info->si_code <= 0)
        ::raise(signal);
}

void Copy(char* to, const std::string& from)
{
    const std::size_t n = std::min(from.size(), static_cast<std::size_t>(PATH_MAX - 1));
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

} // namespace

std::string PluginCrashLine(TPluginRole role, const std::string& library, const char* entry, int signal)
{
    TLine line;
    Compose(line, static_cast<int>(role), library.c_str(), entry, signal);
    return std::string(line.Text, line.Length);
}

void TPluginGuard::Install()
{
    if (gInstalled.exchange(true))
        return;
    // A plug-in that overflows its stack still gets its line: the handler
    // runs on a stack of its own where the thread has none yet.
    stack_t current {};
    if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE)) {
        static char stack[1 << 16];
        stack_t own {};
        own.ss_sp = stack;
        own.ss_size = sizeof stack;
        ::sigaltstack(&own, nullptr);
    }
    for (const int signal : kFatalSignals) {
        struct sigaction action {};
        action.sa_sigaction = &OnFatalSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        ::sigaction(signal, &action, &gPrevious[signal]);
    }
}

void TPluginGuard::SetLibrary(TPluginRole role, const std::string& path)
{
    TPathText& text = gLibraries[static_cast<int>(role)];
    Copy(text.Utf8, path);
    Copy(text.Latin1, Utf8ToLatin1(path));
}

void TPluginGuard::SetReportFile(const std::string& path)
{
    Copy(gReportFile, path);
}

TPluginGuard::TPluginGuard(TPluginRole role, const char* entry)
    : FRole(role), FEntry(entry), FThread(ThisThread()), FOuter(gInnermost.load())
{
    gInnermost.store(this);
}

TPluginGuard::~TPluginGuard()
{
    gInnermost.store(FOuter);
}
