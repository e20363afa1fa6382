// The shipped program where the machine does what machines do: a settings
// file that is a device or a pipe, and a plug-in that crashes.
#include "shell/PluginGuard.h"
#include "tests/common/Sanitizer.h"
#include "tests/shell/ShippedProgram.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The resident memory of a running process, in kB (0 if unknown).
long ResidentKb(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

} // namespace

// The settings file is a link to a device that never ends, or a pipe that
// nobody writes: the program comes up with the defaults (the device choice,
// as on a first run) without reading without end or waiting at the open,
// ends on SIGTERM with status 0, and leaves the link and the pipe as they were.
TEST(ShippedProgram, ASettingsFileThatIsADeviceOrAPipeGivesTheDefaults)
{
    const struct {
        const char* What;
        std::function<void(const std::string& ini)> Make;
    } cases[] = {
        {"a link to /dev/zero", [](const std::string& ini) { ASSERT_EQ(::symlink("/dev/zero", ini.c_str()), 0); }},
        {"a pipe", [](const std::string& ini) { ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TShippedProgram program;
        const std::string ini = program.Ini().toStdString();
        c.Make(ini);
        program.Start({});
        ASSERT_TRUE(program.WaitForWindow("TfSelectDeviceForm")) << program.Output.toStdString();
        // Memory stays what a program of this size takes.
        EXPECT_LT(ResidentKb(program.Process.processId()), 1024 * 1024);
        ASSERT_TRUE(program.Terminate()) << program.Output.toStdString();
        EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.Process.exitCode(), 0) << program.Output.toStdString();
        struct stat st {};
        ASSERT_EQ(::lstat(ini.c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode)); // not replaced by a file of the program's
    }
}

// A plug-in that crashes: in one of its entries, in its constructor while
// the program loads it, or in a thread of its own. Before the program ends
// with the crash's signal, a line on stderr and in "STATUS.LOG" names the
// role, the library and where it was.
TEST(ShippedProgram, APluginThatCrashesIsNamed)
{
    const struct {
        const char* What;
        const char* Attribute;
        const char* Library;
        TPluginRole Role;
        TPluginCrashPlace Place;
        const char* Entry;
        int Signal;
    } cases[] = {
        {"a bad address in the parameter plug-in's InitDLL at start", "PA", "initcrashes", TPluginRole::Parameter,
         TPluginCrashPlace::Entry, "InitDLL", SIGSEGV},
        {"an abort in the firmware plug-in's first OnConnectionChanged", "FW", "connectionaborts",
         TPluginRole::Firmware, TPluginCrashPlace::Entry, "OnConnectionChanged", SIGABRT},
        {"a bad address in the extended plug-in's constructor", "EX", "loadcrashes", TPluginRole::Extended,
         TPluginCrashPlace::Loading, "", SIGSEGV},
        {"a bad address in a thread the parameter plug-in started", "PA", "threadcrashes", TPluginRole::Parameter,
         TPluginCrashPlace::Outside, "", SIGSEGV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid() && CopyProgram(folder.path()));
        const std::string library = std::string(TEST_PLUGIN_DIR) + "/" + c.Library + ".so";
        {
            std::ofstream catalogue(folder.filePath("ZorDevices.xml").toStdString(), std::ios::binary);
            catalogue << "<ZORDEVICES><GENERAL preference=\"Dev\"/><DEVICE name=\"Dev\" " << c.Attribute << "=\""
                      << library << "\"/></ZORDEVICES>";
        }
        TShippedProgram program(folder.path());
        QSettings(program.Ini(), QSettings::IniFormat).setValue("Tessaro/ComPort", 0);
        // The crash leaves no core file behind.
        program.Process.setChildProcessModifier([] {
            const rlimit none{0, 0};
            ::setrlimit(RLIMIT_CORE, &none);
        });
        program.Start({});
        ASSERT_TRUE(program.Process.waitForFinished(60000));
        program.Shown();
        const std::string line = PluginCrashLine(c.Role, library, c.Place, c.Entry, c.Signal);
        EXPECT_NE(program.Output.toStdString().find(line + "\n"), std::string::npos) << program.Output.toStdString();
        QFile log(folder.filePath("STATUS.LOG"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_NE(log.readAll().toStdString().find(line + "\r\n"), std::string::npos);
        // The crash's own end, as without the line (a sanitizer reports it
        // and ends the program its own way).
        if (!TESSARO_TEST_SANITIZED) {
            EXPECT_EQ(program.Process.exitStatus(), QProcess::CrashExit);
            EXPECT_EQ(program.Process.exitCode(), c.Signal);
        }
    }
}
