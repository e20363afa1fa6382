// The shipped program while a device floods its serial link with messages,
// or storms it with link resets: SIGTERM ends it in order, and soon, and a
// storm costs no memory.
#include "tests/common/Sanitizer.h"
#include "tests/shell/ShippedProgram.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the device does once the link is up, for 20 s and on until the end.
enum class TDevice { Quiet, Flood, EnqStorm };

struct TEnded {
    qint64 Ms = -1;      // from SIGTERM to the end; -1 when it did not end
    TPeerCounters Seen;  // the device's counters at the end
    std::uint64_t Enqs = 0; // ENQ bytes the storm wrote before SIGTERM
    std::vector<long> Rss; // the program's resident memory (kB), once a second while the device worked
};

// Starts the program on the peer (in the service mode, with the monitor
// showing every message, or outside it), waits until the link is up, lets
// the device do its part for 20 s and sends SIGTERM while it goes on.
TEnded EndOnSigterm(bool serviceMode, TDevice device)
{
    TShippedProgram program;
    {
        QSettings ini(program.Ini(), QSettings::IniFormat);
        ini.setValue("Tessaro/ComPort", 9);
        if (serviceMode)
            ini.setValue("NormWindowPos", 48213);
    }
    TFramingPeer peer;
    TEnded ended;
    program.StartOnPeer(peer, {"Ruvo"});
    EXPECT_TRUE(program.WaitUntilPolled(peer, 30000));
    if (device == TDevice::Flood) {
        // Long enough for a link without back-pressure to pile up tens of
        // thousands of messages in front of the window thread.
        peer.StartFlood('X', 200);
        std::this_thread::sleep_for(20s);
        EXPECT_GE(peer.Counters().FloodAcknowledged, 5000u);
    } else if (device == TDevice::EnqStorm) {
        peer.StartEnqStorm(96000);
        for (int second = 0; second < 20; ++second) {
            EXPECT_FALSE(program.Process.waitForFinished(1000)) << "ended after " << second << " s";
            ended.Rss.push_back(program.StatusKb("VmRSS"));
        }
    }
    ended.Enqs = peer.Counters().EnqStormSent;
    QElapsedTimer clock;
    clock.start();
    program.Process.terminate();
    const bool done = program.Process.waitForFinished(60000);
    const qint64 elapsed = clock.elapsed();
    peer.StopFlood();
    peer.StopEnqStorm();
    program.Shown();
    ended.Seen = peer.Counters();
    EXPECT_TRUE(done);
    if (!done)
        return ended;
    ended.Ms = elapsed;
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0);
    // No box of the link's own ("Fehler"). The plug-in may have said that the
    // framing peer, which does not speak the radio module's command language,
    // left its requests unanswered; its boxes stand open when the signal comes.
    for (const QString& line : QString::fromUtf8(program.Output).split('\n'))
        EXPECT_FALSE(line.startsWith("shown QMessageBox") && !line.contains("\"Ravvel\""))
            << program.Output.toStdString();
    QSettings saved(program.Ini(), QSettings::IniFormat);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")) << "the settings were not written at the end";
    return ended;
}

} // namespace

// The program ends within a second of SIGTERM while the device floods it. On
// a loaded machine the end itself (plug-ins unloaded, settings written) may
// take longer, so the limit is a second or twice what the same end takes
// here without a flood, whichever is more: the flood must add nothing that
// grows with it.
TEST(ShippedProgram, SigtermEndsItSoonWhileADeviceFloodsIt)
{
    const qint64 idle = EndOnSigterm(true, TDevice::Quiet).Ms;
    ASSERT_GE(idle, 0);
    const TEnded flooded = EndOnSigterm(true, TDevice::Flood);
    ASSERT_GE(flooded.Ms, 0);
    const qint64 limit = std::max<qint64>(1000, 2 * idle);
    std::printf("end after SIGTERM: %lld ms idle, %lld ms in a flood (%u messages answered), limit %lld ms\n",
                static_cast<long long>(idle), static_cast<long long>(flooded.Ms), flooded.Seen.FloodAcknowledged,
                static_cast<long long>(limit));
    EXPECT_LT(flooded.Ms, limit);
}

// A device that resets the link without end, outside the service mode:
// 96 000 ENQ bytes a second (a pseudo-terminal carries far more than a real
// line). The window thread needs only the link's newest state, so the storm
// costs no memory, and SIGTERM ends the program as soon as it ends a quiet
// one (the same limit as for a flood).
TEST(ShippedProgram, AStormOfLinkResetsCostsNoMemoryAndSigtermEndsItSoon)
{
    const qint64 idle = EndOnSigterm(false, TDevice::Quiet).Ms;
    ASSERT_GE(idle, 0);
    const TEnded storm = EndOnSigterm(false, TDevice::EnqStorm);
    ASSERT_EQ(storm.Rss.size(), 20u);
    const qint64 limit = std::max<qint64>(1000, 2 * idle);
    const long settled = storm.Rss[4];
    const long most = *std::max_element(storm.Rss.begin() + 4, storm.Rss.end());
    std::printf("ENQ storm: %.0f a second; resident %ld kB after 5 s, at most %ld kB up to 20 s; end after SIGTERM "
                "%lld ms (quiet: %lld ms, limit %lld ms)\n",
                static_cast<double>(storm.Enqs) / 20, settled, most, static_cast<long long>(storm.Ms),
                static_cast<long long>(idle), static_cast<long long>(limit));
    EXPECT_GE(storm.Enqs, 100000u) << "the storm did not reach the program";
    // A sanitizer's build holds freed memory back for a while; there only
    // the end counts.
    if (!TESSARO_TEST_SANITIZED) {
        EXPECT_LT(most - settled, 32 * 1024) << "the storm grows the program";
    }
    ASSERT_GE(storm.Ms, 0) << "SIGTERM did not end the program";
    EXPECT_LT(storm.Ms, limit);
}
