#include "shell/PluginGuard.h"

#include "platform/FileSave.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <dlfcn.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

struct TPluginGuardAccess {
    static TPluginRole Role(const TPluginGuard& g) { return g.FRole; }
    static TPluginCrashPlace Place(const TPluginGuard& g) { return g.FPlace; }
    static const char* Entry(const TPluginGuard& g) { return g.FEntry; }
    static long Thread(const TPluginGuard& g) { return g.FThread; }
};

namespace {

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP};

// What the handler reads: plain buffers, written by the GUI thread before it
// loads the role's library.
struct TPathText {
    char Utf8[PATH_MAX] = {};
    char Latin1[PATH_MAX] = {};
};
TPathText gLibraries[4];
char gReportFile[PATH_MAX] = {};
std::atomic<const TPluginGuard*> gInnermost{nullptr};
struct sigaction gPrevious[NSIG];
std::atomic<bool> gInstalled{false};
// A line was written: what follows the crash (a sanitizer's report and its
// abort, say) adds none.
std::atomic<bool> gReported{false};

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

void Compose(TLine& line, int role, const char* library, TPluginCrashPlace place, const char* entry, int signal)
{
    line.Add("Fatal error: ");
    line.Add(SignalName(signal));
    switch (place) {
    case TPluginCrashPlace::Entry:
        line.Add(" in the entry ");
        line.Add(entry);
        line.Add(" of the ");
        break;
    case TPluginCrashPlace::Loading: line.Add(" while loading the "); break;
    case TPluginCrashPlace::Unloading: line.Add(" while unloading the "); break;
    case TPluginCrashPlace::Outside: line.Add(" in the code of the "); break;
    }
    line.Add(PluginRoles[role].Name);
    line.Add(" plug-in \"");
    line.Add(library);
    line.Add("\"");
    if (place == TPluginCrashPlace::Outside)
        line.Add(", outside its entries");
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

// The instruction the signal came at.
const void* ProgramCounter(const siginfo_t* info, const void* context)
{
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    if (uc)
        return reinterpret_cast<const void*>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    if (uc)
        return reinterpret_cast<const void*>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    if (uc)
        return reinterpret_cast<const void*>(uc->uc_mcontext.pc);
#else
    (void)uc;
#endif
    // Without the context: the faulting address, which for an illegal
    // instruction or a failed jump is the instruction's.
    return info ? info->si_addr : nullptr;
}

// The role whose library holds the address, or -1.
int RoleAt(const void* address)
{
    Dl_info where {};
    if (!address || ::dladdr(address, &where) == 0 || !where.dli_fname)
        return -1;
    for (int role = 0; role < 4; ++role)
        if (gLibraries[role].Utf8[0] && std::strcmp(where.dli_fname, gLibraries[role].Utf8) == 0)
            return role;
    return -1;
}

void OnFatalSignal(int signal, siginfo_t* info, void* context)
{
    const int saved = errno;
    int role = -1;
    TPluginCrashPlace place = TPluginCrashPlace::Outside;
    const char* entry = "";
    const TPluginGuard* guard = gInnermost.load();
    if (guard && TPluginGuardAccess::Thread(*guard) == ThisThread()) {
        role = static_cast<int>(TPluginGuardAccess::Role(*guard));
        place = TPluginGuardAccess::Place(*guard);
        entry = TPluginGuardAccess::Entry(*guard);
    } else {
        role = RoleAt(ProgramCounter(info, context));
    }
    if (role >= 0 && !gReported.exchange(true)) {
        TLine line;
        Compose(line, role, gLibraries[role].Utf8, place, entry, signal);
        line.Add("\n");
        WriteAll(STDERR_FILENO, line.Text, line.Length);
        if (gReportFile[0]) {
            TLine logLine;
            Compose(logLine, role, gLibraries[role].Latin1, place, entry, signal);
            logLine.Add("\r\n");
            // Under the lock of every writer of the file, not waiting long.
            AppendInPlace(gReportFile, logLine.Text, logLine.Length, TPluginGuard::ReportWaitMs, false);
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

std::string PluginCrashLine(TPluginRole role, const std::string& library, TPluginCrashPlace place,
                            const char* entry, int signal)
{
    TLine line;
    Compose(line, static_cast<int>(role), library.c_str(), place, entry, signal);
    return std::string(line.Text, line.Length);
}

std::string PluginCrashLine(TPluginRole role, const std::string& library, const char* entry, int signal)
{
    return PluginCrashLine(role, library, TPluginCrashPlace::Entry, entry, signal);
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
    : FRole(role), FPlace(TPluginCrashPlace::Entry), FEntry(entry), FThread(ThisThread()),
      FOuter(gInnermost.load())
{
    gInnermost.store(this);
}

TPluginGuard::TPluginGuard(TPluginRole role, TPluginCrashPlace place)
    : FRole(role), FPlace(place), FEntry(""), FThread(ThisThread()), FOuter(gInnermost.load())
{
    gInnermost.store(this);
}

TPluginGuard::~TPluginGuard()
{
    gInnermost.store(FOuter);
}
