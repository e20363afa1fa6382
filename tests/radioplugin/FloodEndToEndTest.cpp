// The program as it ships, in the service mode, against a radio module that
// floods it with slot telegrams as fast as the line takes them: the plug-in
// handles each on its own, so the program keeps running with a flat stack
// for as long as the flood lasts, and SIGTERM still ends it in order.
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"
#include "tests/shell/ShippedProgram.h"

#include <QSettings>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

TEST(ShippedProgram, KeepsRunningWithAFlatStackWhileTheModuleFloodsItWithSlotTelegrams)
{
    TShippedProgram program;
    {
        QSettings ini(program.Ini(), QSettings::IniFormat);
        ini.setValue("Tessaro/ComPort", 9);
        ini.setValue("NormWindowPos", 48213); // the service mode: the monitor shows every message too
    }
    TFramingPeer peer;
    TRadioModule module(peer);
    program.StartOnPeer(peer, {"Ruvo"});
    ASSERT_TRUE(program.WaitUntilPolled(peer)) << program.Output.toStdString();
    // The plug-in is up once it asks for the memory slots.
    const auto polled = [&] {
        const std::vector<std::string> log = module.Log();
        return std::find(log.begin(), log.end(), "04 00 rc\n") != log.end();
    };
    for (int i = 0; i < 300 && !polled(); ++i)
        QThread::msleep(100);
    ASSERT_TRUE(polled()) << program.Output.toStdString();

    const long stackBefore = program.StatusKb("VmStk");
    ASSERT_GT(stackBefore, 0);
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t acknowledgedBefore = peer.Counters().FramesAcknowledged;
    module.SetFlood(true);
    std::vector<long> stack;
    long rssMax = 0;
    for (int second = 1; second <= 30; ++second) {
        program.Process.waitForFinished(1000);
        ASSERT_EQ(program.Process.state(), QProcess::Running)
            << "ended after " << second << " s: " << program.Output.toStdString();
        stack.push_back(program.StatusKb("VmStk"));
        rssMax = std::max(rssMax, program.StatusKb("VmRSS"));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::uint64_t taken = peer.Counters().FramesAcknowledged - acknowledgedBefore;
    const double rate = static_cast<double>(taken) / seconds;
    std::printf("flood: %.0f slot telegrams a second taken by the program (%llu in %.1f s); stack %ld kB before, "
                "%ld..%ld kB during; at most %ld kB resident\n",
                rate, static_cast<unsigned long long>(taken), seconds, stackBefore,
                *std::min_element(stack.begin(), stack.end()), *std::max_element(stack.begin(), stack.end()), rssMax);
    RecordProperty("FloodRate", static_cast<int>(rate));
    EXPECT_GT(taken, 100u * 32) << "the flood did not reach the program";
    // Flat: what the stack took in the first seconds it keeps, and it never
    // comes near the limit of 8 MB.
    EXPECT_LE(stack.back(), stack[4] + 64) << "the stack grows with the flood";
    EXPECT_LT(*std::max_element(stack.begin(), stack.end()), stackBefore + 1024);

    // The signal comes during the flood, which then stops. A program that
    // fell behind the line (a slow machine, a sanitizer's build) ends once
    // it has worked off what it had already taken; that is its own time.
    program.Process.terminate();
    module.SetFlood(false);
    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(program.Process.waitForFinished(240000)) << "SIGTERM did not end the program";
    program.Shown();
    std::printf("ended %.1f s after SIGTERM\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count());
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0) << program.Output.toStdString();
    EXPECT_FALSE(program.Shown().contains("QMessageBox")) << program.Output.toStdString();
}
