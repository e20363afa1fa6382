// The shipped program in the extended service mode while a device floods its
// serial link: SIGTERM ends it in order, and soon.
#include "tests/shell/ShippedProgram.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Starts the program on the peer in the service mode, with the monitor
// showing every message, waits until the link is up and, for a flood, lets
// the peer flood it for 20 s; then SIGTERM. Returns
// the milliseconds from the signal to the end, or -1 when it did not end.
qint64 EndOnSigterm(bool flood, TPeerCounters* seen = nullptr)
{
    TShippedProgram program;
    {
        QSettings ini(program.Ini(), QSettings::IniFormat);
        ini.setValue("Tessaro/ComPort", 9);
        ini.setValue("NormWindowPos", 48213); // the service mode: the monitor shows
    }
    TFramingPeer peer;
    program.StartOnPeer(peer, {"Ruvo"});
    EXPECT_TRUE(program.WaitUntilPolled(peer, 30000));
    if (flood) {
        // Long enough for a link without back-pressure to pile up tens of
        // thousands of messages in front of the window thread.
        peer.StartFlood('X', 200);
        std::this_thread::sleep_for(20s);
        EXPECT_GE(peer.Counters().FloodAcknowledged, 5000u);
    }
    QElapsedTimer clock;
    clock.start();
    program.Process.terminate();
    const bool ended = program.Process.waitForFinished(60000);
    const qint64 elapsed = clock.elapsed();
    program.Shown();
    if (seen)
        *seen = peer.Counters();
    EXPECT_TRUE(ended);
    if (!ended)
        return -1;
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0);
    // No box of the link's own ("Fehler"). The plug-in may have said that the
    // framing peer, which does not speak the radio module's command language,
    // left its requests unanswered; its boxes stand open when the signal comes.
    for (const QString& line : QString::fromUtf8(program.Output).split('\n'))
        EXPECT_FALSE(line.startsWith("shown QMessageBox") && !line.contains("\"Ravvel\""))
            << program.Output.toStdString();
    return elapsed;
}

} // namespace

// The program ends within a second of SIGTERM while the device floods it. On
// a loaded machine the end itself (plug-ins unloaded, settings written) may
// take longer, so the limit is a second or twice what the same end takes
// here without a flood, whichever is more: the flood must add nothing that
// grows with it.
TEST(ShippedProgram, SigtermEndsItSoonWhileADeviceFloodsIt)
{
    const qint64 idle = EndOnSigterm(false);
    ASSERT_GE(idle, 0);
    TPeerCounters counters;
    const qint64 flooded = EndOnSigterm(true, &counters);
    ASSERT_GE(flooded, 0);
    const qint64 limit = std::max<qint64>(1000, 2 * idle);
    std::printf("end after SIGTERM: %lld ms idle, %lld ms in a flood (%u messages answered), limit %lld ms\n",
                static_cast<long long>(idle), static_cast<long long>(flooded), counters.FloodAcknowledged,
                static_cast<long long>(limit));
    EXPECT_LT(flooded, limit);
}
