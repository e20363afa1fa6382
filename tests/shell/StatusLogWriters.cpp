// Two writers of "STATUS.LOG" in the program's folder, each in a process of
// its own, for the test of their meeting:
//   shell_statuslog_writers reports <program folder> <stop file>
//       writes error reports (the message "report <n>", n from 0) until the
//       stop file is there, then prints how many it wrote;
//   shell_statuslog_writers crash <program folder> <plug-in>
//       loads the plug-in as the program's parameter plug-in and calls its
//       InitDLL, in which it crashes; the program's crash handler writes its
//       line.
#include "platform/Application.h"
#include "shell/DebugClass.h"
#include "shell/PluginGuard.h"

#include <cstdio>
#include <exception>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const std::string mode = argv[1];
    const std::string folder = std::string(argv[2]) + "/";
    SetProgramPath(folder + "Tessaro");
    if (mode == "reports") {
        TDebugClass debug;
        int written = 0;
        try {
            while (::access(argv[3], F_OK) != 0) {
                debug.AddAction("actSetParameterExecute", "");
                debug.WriteErrorReport("report " + std::to_string(written));
                ++written;
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        std::printf("%d\n", written);
        return 0;
    }
    if (mode == "crash") {
        TPluginGuard::Install();
        TPluginGuard::SetLibrary(TPluginRole::Parameter, argv[3]);
        TPluginGuard::SetReportFile(TDebugClass::ReportPath());
        void* library = ::dlopen(argv[3], RTLD_NOW | RTLD_LOCAL);
        const auto init = library ? reinterpret_cast<TInitDLL>(::dlsym(library, "InitDLL")) : nullptr;
        if (!init)
            return 3;
        CallPlugin(TPluginRole::Parameter, "InitDLL", init, TAppHandle(0), "", 0u, nullptr);
        return 4; // it did not crash
    }
    return 2;
}
