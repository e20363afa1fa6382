#pragma once
// What the program leaves when a plug-in crashes: while the host is inside a
// plug-in's entry, a fatal signal (a bad address, an illegal instruction, an
// abort, ...) first writes one line naming the role, the library's path and
// the entry, to standard error and to "STATUS.LOG", and only then takes its
// course: the handling that was in place before (the default one: the
// program ends with that signal). Outside a plug-in entry nothing changes.
// The handler does only what a signal handler may (write, open, close).
#include <string>

enum class TPluginRole { Status = 0, Parameter = 1, Firmware = 2, Extended = 3 };

// The line the handler writes, without its line end.
std::string PluginCrashLine(TPluginRole role, const std::string& library, const char* entry, int signal);

class TPluginGuard {
public:
    // Puts the handler in place (once per process).
    static void Install();
    // The library of a role, as the loader opened it; the report file the
    // line goes to.
    static void SetLibrary(TPluginRole role, const std::string& path);
    static void SetReportFile(const std::string& path);

    // One call into a plug-in entry, from its start to its end; calls may
    // nest (a plug-in that runs a modal loop gets calls from the host inside).
    TPluginGuard(TPluginRole role, const char* entry);
    ~TPluginGuard();
    TPluginGuard(const TPluginGuard&) = delete;
    TPluginGuard& operator=(const TPluginGuard&) = delete;

private:
    TPluginRole FRole;
    const char* FEntry;
    long FThread;
    const TPluginGuard* FOuter;
    friend struct TPluginGuardAccess;
};

// Calls a plug-in entry inside a guard.
template <typename TEntry, typename... TArgs>
auto CallPlugin(TPluginRole role, const char* entry, TEntry function, TArgs&&... args)
{
    const TPluginGuard guard(role, entry);
    return function(static_cast<TArgs&&>(args)...);
}
