// The serial link through TCommunication, a pseudo-terminal and the framing
// peer, in real time. A pseudo-terminal has no baud rate, so what a message
// takes here is the stack's own time (the peer's included); each result is
// printed beside the time the same frame takes on the wire at 38400 baud
// (8N1, ten bits a byte). Also: messages per second, and what the link costs
// while idle, connected and after its device vanished.
//   build/bin/bench_link
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Dialogs.h"
#include "sim/FramingPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBaud = 38400;
constexpr double kAnswerBytes = 3; // STX, sequence byte, ACK

double WireMicros(double bytes)
{
    return bytes * 10.0 / kBaud * 1e6;
}

// Message boxes (a vanished port says so) go to stderr; nothing waits.
class TQuietDialogs : public TDialogService {
public:
    int MessageBox(QWidget*, const std::string& text, const std::string& caption, unsigned) override
    {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return IDOK;
    }
};

void RunEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The GUI thread sleeps until an event comes (a timer wakes it at the
// deadline); it never spins, so the link's threads have the machine.
bool RunEventsUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(ms);
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// A connected link to the peer on COM1.
class TBenchLink {
public:
    TBenchLink()
    {
        setenv("TESSARO_COM1", Peer.PortPath().c_str(), 1);
        Peer.SetMessageSink([this](const TPeerMessage&) {
            {
                std::lock_guard guard(FLock);
                ++FAtPeer;
            }
            FChanged.notify_all();
        });
        // When a data frame (it ends with CR; a poll is a lone CR) leaves the
        // peer or has been read by it: the stack's time is taken from and to
        // these, so the peer's own work is not counted.
        Peer.SetTrafficSink([this](char direction, const std::string& bytes) {
            if (bytes.size() < 6 || bytes.back() != Serial::CR)
                return;
            std::lock_guard guard(FLock);
            (direction == 'R' ? FFrameRead : FFrameWritten) = Clock::now();
        });
        Link.SetOnReceive([this](TObject*, char, const std::string&) {
            ++FReceived;
            FLastReceived = Clock::now();
        });
        Link.SetPortNumber(1);
        Link.SetInterfaceType(TInterfaceType::itSerial);
        if (!RunEventsUntil([this] { return Link.Connected(); }, 6000)) {
            std::fprintf(stderr, "the link did not come up\n");
            std::exit(1);
        }
    }
    ~TBenchLink()
    {
        Link.SetInterfaceType(TInterfaceType::itNone);
        unsetenv("TESSARO_COM1");
    }

    // Waits until the peer has taken `count` messages; the time it had read
    // the last frame.
    Clock::time_point WaitAtPeer(std::size_t count)
    {
        std::unique_lock guard(FLock);
        if (!FChanged.wait_for(guard, std::chrono::seconds(10), [&] { return FAtPeer >= count; })) {
            std::fprintf(stderr, "the peer got %zu of %zu messages\n", FAtPeer, count);
            std::exit(1);
        }
        return FFrameRead;
    }
    // The time the peer's last frame was on the line.
    Clock::time_point FrameWritten()
    {
        std::lock_guard guard(FLock);
        return FFrameWritten;
    }
    std::size_t AtPeer()
    {
        std::lock_guard guard(FLock);
        return FAtPeer;
    }

    TFramingPeer Peer;
    TCommunication Link;
    std::size_t FReceived = 0;         // GUI thread
    Clock::time_point FLastReceived;   // GUI thread

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::size_t FAtPeer = 0;
    Clock::time_point FFrameRead, FFrameWritten;
};

void ReportLatencies(benchmark::State& state, std::vector<double>& micros, double frameBytes)
{
    std::sort(micros.begin(), micros.end());
    const double wire = WireMicros(frameBytes);
    const double median = micros[micros.size() / 2];
    state.counters["frame_bytes"] = frameBytes;
    state.counters["wire_us"] = wire;
    state.counters["stack_p50_us"] = median;
    state.counters["stack_p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["stack_pct_of_wire"] = 100.0 * median / wire;
}

std::string Data(std::size_t length)
{
    std::string data(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        data[i] = static_cast<char>('a' + i % 26);
    return data;
}

// From TCommunication::Send until the peer has read the whole frame. Arg:
// data bytes (plain letters, none escaped).
void BM_ToDevice(benchmark::State& state)
{
    TBenchLink b;
    const std::string data = Data(static_cast<std::size_t>(state.range(0)));
    std::vector<double> micros;
    std::size_t count = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        b.Link.Send(nullptr, 'A', data, 0);
        const auto end = b.WaitAtPeer(++count);
        const double us = std::chrono::duration<double, std::micro>(end - start).count();
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
        // The peer's answer reaches the port thread before the next message.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ReportLatencies(state, micros, static_cast<double>(Serial::FrameLength(data)));
}
BENCHMARK(BM_ToDevice)->Arg(1)->Arg(16)->Arg(64)->Arg(249)->Iterations(1000)->UseManualTime()->Unit(
    benchmark::kMicrosecond);

// From the peer's frame on the line to OnReceive in the GUI thread. Arg: data
// bytes.
void BM_FromDevice(benchmark::State& state)
{
    TBenchLink b;
    const std::string data = Data(static_cast<std::size_t>(state.range(0)));
    std::vector<double> micros;
    for (auto _ : state) {
        const std::size_t before = b.FReceived;
        b.Peer.Send('A', data);
        if (!RunEventsUntil([&] { return b.FReceived != before; }, 10000)) {
            state.SkipWithError("a message from the device did not arrive");
            return;
        }
        const double us = std::chrono::duration<double, std::micro>(b.FLastReceived - b.FrameWritten()).count();
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
        RunEventsFor(2); // our answer reaches the peer before its next frame
    }
    ReportLatencies(state, micros, static_cast<double>(Serial::FrameLength(data)));
}
BENCHMARK(BM_FromDevice)->Arg(1)->Arg(16)->Arg(64)->Arg(249)->Iterations(1000)->UseManualTime()->Unit(
    benchmark::kMicrosecond);

// Messages to the device, a few queued at a time as the program's callers
// do; one frame is on the line at a time, so this is the stack's round trip
// (frame out, answer back). Arg: data bytes.
void BM_Throughput(benchmark::State& state)
{
    TBenchLink b;
    const std::string data = Data(static_cast<std::size_t>(state.range(0)));
    constexpr std::size_t kMessages = 2000;
    constexpr std::size_t kQueued = 8;
    std::size_t sent = 0;
    for (auto _ : state) {
        const std::size_t goal = sent + kMessages;
        while (b.AtPeer() < goal) {
            while (sent < goal && sent < b.AtPeer() + kQueued) {
                b.Link.Send(nullptr, 'A', data, 0);
                ++sent;
            }
            b.WaitAtPeer(std::min(goal, b.AtPeer() + 1));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMessages));
    const double frame = static_cast<double>(Serial::FrameLength(data));
    state.counters["wire_msgs_per_s"] = 1e6 / WireMicros(frame + kAnswerBytes);
}
BENCHMARK(BM_Throughput)->Arg(16)->Arg(249)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// A device that floods the program, one frame after the other as fast as
// the program answers them, while the GUI thread takes them: messages per
// second that reach OnReceive, and the most that waited for the GUI thread
// at once (the port thread holds the device back at the backlog's bound).
// Arg: data bytes.
void BM_FloodFromDevice(benchmark::State& state)
{
    TBenchLink b;
    constexpr std::size_t kMessages = 20000;
    b.Peer.StartFlood('F', static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const std::size_t goal = b.FReceived + kMessages;
        if (!RunEventsUntil([&] { return b.FReceived >= goal; }, 120000)) {
            state.SkipWithError("the flood stopped");
            break;
        }
    }
    b.Peer.StopFlood();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMessages));
    if (const TReceiveBacklog* backlog = b.Link.SerialLink()->ReceiveBacklog())
        state.counters["backlog_peak"] = backlog->Peak();
    state.counters["repeats_asked"] = b.Peer.Counters().NaksReceived;
    const double frame = static_cast<double>(Serial::FrameLength(Data(static_cast<std::size_t>(state.range(0)))));
    state.counters["wire_msgs_per_s"] = 1e6 / WireMicros(frame + kAnswerBytes);
}
BENCHMARK(BM_FloodFromDevice)->Arg(16)->Arg(200)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

double CpuSeconds(const rusage& u)
{
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU time of the whole process (the GUI thread in its event loop, the port
// thread, the peer) over an idle stretch, and how often a thread of it woke.
// Arg 0: connected, only the polls every two seconds on the line. Arg 1: the
// peer vanished; the port thread tries to open the port every second.
void BM_IdleCpu(benchmark::State& state)
{
    TBenchLink b;
    if (state.range(0) == 1) {
        b.Peer.ClosePty();
        if (!RunEventsUntil([&] { return !b.Link.Connected(); }, 10000)) {
            state.SkipWithError("the link stayed up without its peer");
            return;
        }
    }
    constexpr int kIdleMs = 10000;
    double cpu = 0;
    long wakeups = 0;
    for (auto _ : state) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        RunEventsFor(kIdleMs);
        getrusage(RUSAGE_SELF, &after);
        cpu += CpuSeconds(after) - CpuSeconds(before);
        wakeups += after.ru_nvcsw - before.ru_nvcsw;
    }
    const double seconds = static_cast<double>(state.iterations()) * kIdleMs / 1000.0;
    state.counters["cpu_ms_per_s"] = 1000.0 * cpu / seconds;
    state.counters["cpu_pct"] = 100.0 * cpu / seconds;
    state.counters["wakeups_per_s"] = static_cast<double>(wakeups) / seconds;
    state.counters["peer_gone"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TQuietDialogs dialogs;
    SetDialogService(&dialogs);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetDialogService(nullptr);
    return 0;
}
