// The shipped program on a real X server in the service mode, the radio
// plug-in's dialog open as a person opens it, while the device resets the
// link without end: ENQ bytes as fast as the line takes them. Each reset
// tells the plug-ins of the link, and the plug-in sends at once when the link
// comes; the program keeps running with a flat stack and flat memory, and
// SIGTERM during the storm ends it in order.
#include "tests/common/Sanitizer.h"
#include "tests/xtest/ProgramOnX.h"

#include <QElapsedTimer>
#include <QSettings>

#include <cstdio>

namespace {

struct TRun {
    qint64 EndMs = -1;       // from SIGTERM to the end; -1 when it did not end
    long StackBefore = -1;   // kB, with the dialog open
    std::vector<long> Stack; // kB, once a second while the device stormed
    std::vector<long> Rss;   // kB, the same
    std::uint64_t Enqs = 0;  // ENQ bytes the device wrote before SIGTERM
};

// Opens the radio dialog through the menu "Erweiterte Version"; with `storm`
// the device then resets the link for 20 s, `perSecond` times a second (0: as
// fast as the line takes them); SIGTERM comes while it goes on.
TRun RunWithTheRadioDialogOpen(bool storm, unsigned perSecond = 0)
{
    TRun run;
    TProgramOnX on;
    TDrivenProgram& program = on.Program;
    const auto failed = [&](const char* step) {
        ADD_FAILURE() << step << ": " << program.Last().toStdString() << "\n" << program.Output().toStdString();
        return run;
    };
    if (!on.Start())
        return failed("start");
    if (!program.WaitForText("MainStatusBarPanel2", "Verbindung OK", StartLimitMs))
        return failed("link");
    if (!program.ClickRect(program.Item("MainMenu", "mmExtendedMode")) ||
        !program.WaitFor("item mmExtendedMode actExtendedOptions", [](const QString& a) { return a != "none"; }) ||
        !program.ClickRect(program.Item("mmExtendedMode", "actExtendedOptions")) ||
        !program.WaitForWindow("TfParameterForm"))
        return failed("the radio dialog");
    run.StackBefore = program.StatusKb("VmStk");
    if (storm) {
        on.Peer.StartEnqStorm(perSecond);
        for (int second = 0; second < 20; ++second) {
            if (program.Process.waitForFinished(1000))
                return failed("the program ended in the storm");
            run.Stack.push_back(program.StatusKb("VmStk"));
            run.Rss.push_back(program.StatusKb("VmRSS"));
        }
    }
    run.Enqs = on.Peer.Counters().EnqStormSent;
    QElapsedTimer clock;
    clock.start();
    program.Process.terminate();
    const bool ended = program.Process.waitForFinished(60000);
    run.EndMs = ended ? clock.elapsed() : -1;
    on.Peer.StopEnqStorm();
    if (!ended)
        return failed("SIGTERM");
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0) << program.Output().toStdString();
    QSettings saved(program.ConfigFolder() + "/Zorvatek.ini", QSettings::IniFormat);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")) << "the settings were not written at the end";
    return run;
}

} // namespace

// Once at full speed, and at the rate at which the window thread keeps up
// with part of the storm and the plug-in's timers run between the reports.
// The end is bounded as in the quiet program: a second, or twice what the
// same end takes without the storm on a loaded machine.
TEST(ProgramOnXInAStorm, TheRadioDialogOpenInAStormOfLinkResetsKeepsStackAndMemoryFlat)
{
    const TRun quiet = RunWithTheRadioDialogOpen(false);
    ASSERT_GE(quiet.EndMs, 0);
    const qint64 limit = std::max<qint64>(1000, 2 * quiet.EndMs);
    for (const unsigned perSecond : {0u, 10000u}) {
        SCOPED_TRACE(perSecond ? "10 000 a second" : "full speed");
        const TRun storm = RunWithTheRadioDialogOpen(true, perSecond);
        ASSERT_EQ(storm.Stack.size(), 20u);
        const long rssMost = *std::max_element(storm.Rss.begin() + 4, storm.Rss.end());
        std::printf("ENQ storm with the radio dialog open: %.0f a second; stack %ld kB before, %ld..%ld kB during; "
                    "resident %ld kB after 5 s, at most %ld kB up to 20 s; end after SIGTERM %lld ms (quiet: %lld "
                    "ms)\n",
                    static_cast<double>(storm.Enqs) / 20, storm.StackBefore,
                    *std::min_element(storm.Stack.begin(), storm.Stack.end()),
                    *std::max_element(storm.Stack.begin(), storm.Stack.end()), storm.Rss[4], rssMost,
                    static_cast<long long>(storm.EndMs), static_cast<long long>(quiet.EndMs));
        EXPECT_GE(storm.Enqs, 20000u) << "the storm did not reach the program";
        // Flat: what the stack took in the first seconds it keeps, and it
        // never comes near the limit of 8 MB.
        EXPECT_LE(storm.Stack.back(), storm.Stack[4] + 64) << "the stack grows with the storm";
        EXPECT_LT(*std::max_element(storm.Stack.begin(), storm.Stack.end()), storm.StackBefore + 1024);
        // A sanitizer's build holds freed memory back for a while.
        if (!TESSARO_TEST_SANITIZED) {
            EXPECT_LT(rssMost - storm.Rss[4], 32 * 1024) << "the storm grows the program";
        }
        ASSERT_GE(storm.EndMs, 0);
        EXPECT_LT(storm.EndMs, limit);
    }
}
