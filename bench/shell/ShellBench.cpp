// The program's start and its idle cost.
//   build/bin/bench_shell
// StartToShown: a fresh process comes up as Tessaro does (data module, main
// window, shown, offscreen, a catalogue, no port) and reports the moment of
// its first idle; the time from fork to that moment, on one monotonic clock.
// IdleCpuConnected: the program connected over a pseudo-terminal to the
// framing peer (in a process of its own), 10 s of idling: CPU per second; the
// second case with a settings file of a megabyte (a value of that size
// beside the program's own), which costs only when it changes.
// ReportToLog/<MiB>: one error report appended to a "STATUS.LOG" of that
// size: the time, and the most memory the process held (counter PeakRssMiB).
#include "link/Communication.h"
#include "platform/Application.h"
#include "platform/Idle.h"
#include "shell/DataModule.h"
#include "shell/DebugClass.h"
#include "shell/MainForm.h"
#include "shell/Tessaro.h"
#include "sim/FramingPeer.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

double Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A program folder with the catalogue and a config folder naming a port.
struct TInstallation {
    QTemporaryDir Program, Config;
    explicit TInstallation(int comPort, int settingsPadding = 0)
    {
        std::ofstream(Program.path().toStdString() + "/ZorDevices.xml")
            << R"(<ZORDEVICES><DEVICE name="Ruvo" EX="Ravvel.so"/></ZORDEVICES>)";
        QSettings settings(Config.path() + "/Zorvatek.ini", QSettings::IniFormat);
        settings.setValue("Tessaro/ComPort", comPort);
        if (settingsPadding > 0)
            settings.setValue("Other/Padding", QString(settingsPadding, 'x'));
        setenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit().constData(), 1);
        SetProgramPath(Program.path().toStdString() + "/Tessaro");
    }
};

// The child: as the program's main, until the first idle after showing.
[[noreturn]] void ComeUpAndReport(int reportFd)
{
    int argc = 1;
    char name[] = "Tessaro";
    char* argv[] = {name, nullptr};
    TApplication app(argc, argv);
    // The first idle of the program's own loop: the main window is up.
    QObject::connect(&TIdleSignal::Instance(), &TIdleSignal::Idle, [&] {
        if (!fMainForm || !fMainForm->isVisible())
            return;
        const double shown = Now();
        [[maybe_unused]] auto n = ::write(reportFd, &shown, sizeof shown);
        std::_Exit(0);
    });
    RunTessaro(QStringList{"Tessaro", "Ruvo"});
    std::_Exit(1);
}

void BM_StartToShown(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state) {
        int report[2];
        if (::pipe(report) != 0)
            state.SkipWithError("no pipe");
        const double start = Now();
        const pid_t child = ::fork();
        if (child == 0) {
            // A fresh process, as the program's start is.
            ::close(report[0]);
            const std::string fd = std::to_string(report[1]);
            ::execl("/proc/self/exe", "bench_shell", "--come-up", fd.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        ::close(report[1]);
        double shown = 0;
        const bool got = ::read(report[0], &shown, sizeof shown) == sizeof shown;
        ::close(report[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!got) {
            state.SkipWithError("the program did not come up");
            break;
        }
        state.SetIterationTime(shown - start);
        total += shown - start;
    }
    state.counters["target_ms"] = 300;
}
BENCHMARK(BM_StartToShown)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_IdleCpuConnected(benchmark::State& state)
{
    // The simulated device runs in a process of its own, so its cost is not counted.
    int path[2];
    if (::pipe(path) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    const pid_t device = ::fork();
    if (device == 0) {
        TFramingPeer peer;
        const std::string node = peer.PortPath();
        [[maybe_unused]] auto n = ::write(path[1], node.c_str(), node.size() + 1);
        ::pause();
        std::_Exit(0);
    }
    char node[256] = {};
    [[maybe_unused]] auto got = ::read(path[0], node, sizeof node - 1);
    setenv("TESSARO_COM1", node, 1);
    TInstallation installation(1, static_cast<int>(state.range(0)));
    {
        // One application for every case: the toolkit is not made twice.
        static int argc = 1;
        static char name[] = "bench_shell";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
        TDM dm(QStringList{"Tessaro", "Ruvo"});
        TfMainForm form;
        dm.LoadStartPlugins(); // once the main window stands, as the program does
        form.show();
        // The program's own loop, as exec() runs it: until connected (at most 5 s).
        {
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (dm.ComControl() && dm.ComControl()->Connected())
                    loop.quit();
            });
            poll.start(50);
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (!dm.ComControl() || !dm.ComControl()->Connected())
            state.SkipWithError("no connection");
        double used = 0, elapsed = 0;
        for (auto _ : state) {
            const double cpu = ProcessCpuSeconds();
            const double start = Now();
            QEventLoop loop;
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            loop.exec();
            used += ProcessCpuSeconds() - cpu;
            elapsed += Now() - start;
        }
        state.counters["cpu_percent_of_a_core"] = 100.0 * used / elapsed;
        state.counters["target_percent"] = 1;
    }
    ::kill(device, SIGTERM);
    ::waitpid(device, nullptr, 0);
}
BENCHMARK(BM_IdleCpuConnected)->Arg(0)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

static void BM_ReportToLog(benchmark::State& state)
{
    QTemporaryDir program;
    SetProgramPath(program.path().toStdString() + "/Tessaro");
    const std::string log = program.path().toStdString() + "/STATUS.LOG";
    {
        std::ofstream out(log, std::ios::binary);
        const std::string line = "[01.02.2026 10:11:12] \"actSetParameterExecute\" : \r\n";
        for (std::int64_t size = 0; size < (state.range(0) << 20); size += static_cast<std::int64_t>(line.size()))
            out << line;
    }
    TDebugClass debug;
    for (auto _ : state)
        debug.WriteErrorReport("benchmark");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["PeakRssMiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    SetProgramPath("");
}
// The large log last: the peak memory of the process only grows.
BENCHMARK(BM_ReportToLog)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 3 && std::string(argv[1]) == "--come-up") {
        TInstallation installation(0);
        ComeUpAndReport(std::atoi(argv[2]));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
