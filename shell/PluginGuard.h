#pragma once
// What the program leaves when a plug-in crashes: a fatal signal (a bad
// address, an illegal instruction, an abort, ...) in a plug-in's code first
// writes one line naming the role, the library's path and where the library
// was, to standard error and to "STATUS.LOG", and only then takes its
// course: the handling that was in place before (the default one: the
// program ends with that signal). One line at most: a signal that follows
// the first adds none.
// - While the host is inside a plug-in's entry, or loads or unloads the
//   library (its constructors and destructors run then), the line names the
//   entry, or the loading or unloading.
// - Anywhere else (a thread the plug-in started, a window or timer of its
//   own), the library is the one the crashing instruction lies in; a signal
//   in any other code changes nothing.
// The line is appended to "STATUS.LOG" under the lock every writer of that
// file takes (AppendInPlace, platform/FileSave.h), waiting for it at most
// ReportWaitMs: a crash does not hang on a lock another program keeps, and
// its line then stands on standard error alone. The handler does only what a
// signal handler may (write, open, lock, close).
#include "shell/PluginRoles.h"

#include <string>

// Where in the plug-in the signal came.
enum class TPluginCrashPlace { Entry, Loading, Unloading, Outside };

// The line the handler writes, without its line end; `entry` names the entry
// for TPluginCrashPlace::Entry and is not read otherwise.
std::string PluginCrashLine(TPluginRole role, const std::string& library, TPluginCrashPlace place,
                            const char* entry, int signal);
// The line of a crash inside an entry.
std::string PluginCrashLine(TPluginRole role, const std::string& library, const char* entry, int signal);

class TPluginGuard {
public:
    // Puts the handler in place (once per process).
    static void Install();
    // The library of a role, as the loader opens it (set before it does); the
    // report file the line goes to.
    static void SetLibrary(TPluginRole role, const std::string& path);
    static void SetReportFile(const std::string& path);
    static constexpr int ReportWaitMs = 3000;

    // One call into a plug-in entry, from its start to its end; calls may
    // nest (a plug-in that runs a modal loop gets calls from the host inside).
    TPluginGuard(TPluginRole role, const char* entry);
    // The loading (dlopen) or unloading (dlclose) of the role's library.
    TPluginGuard(TPluginRole role, TPluginCrashPlace place);
    ~TPluginGuard();
    TPluginGuard(const TPluginGuard&) = delete;
    TPluginGuard& operator=(const TPluginGuard&) = delete;

private:
    TPluginRole FRole;
    TPluginCrashPlace FPlace;
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
