// Wall time of a full parameter write (12 device lines) and of a 32-slot
// table write against the simulated radio module over a pseudo-terminal,
// beside the bound the 20 ms pacing sets (lines x 20 ms).
//
//   build/bin/bench_radioplugin
#include "radioplugin/RuvoCommands.h"
#include "tests/radioplugin/RuvoHarness.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// Made on first use, gone before the application object.
std::unique_ptr<TRuvoHarness> TheHarness;

TRuvoHarness& Harness()
{
    if (!TheHarness) {
        TheHarness = std::make_unique<TRuvoHarness>(390);
        if (!TheHarness->WaitReady(10000)) {
            std::fprintf(stderr, "the simulated module did not come up\n");
            std::exit(1);
        }
    }
    return *TheHarness;
}

// Queues the lines, then measures until the answer to the last one is in.
void Measure(benchmark::State& state, const std::vector<std::string>& lines, bool radio)
{
    TRuvoHarness& h = Harness();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& l : lines)
            radio ? h.Transport.QueueRadio(l) : h.Transport.QueueDevice(l);
        const bool done = TRuvoHarness::RunUntil(
            [&] {
                const auto& q = radio ? h.Transport.RadioQueue() : h.Transport.DeviceQueue();
                const HANDLE e = radio ? h.Transport.RadioReply() : h.Transport.DeviceReply();
                return q.empty() && WaitForSingleObject(e, 0) == WAIT_OBJECT_0;
            },
            10000);
        const auto end = std::chrono::steady_clock::now();
        if (!done || !h.Errors.empty()) {
            state.SkipWithError("the write did not finish cleanly");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        TRuvoHarness::RunUntil([&] { return h.Idle(); }, 5000);
    }
    const double bound = static_cast<double>(lines.size()) * h.Transport.Timing().SendTickMs;
    state.counters["lines"] = static_cast<double>(lines.size());
    state.counters["bound_ms"] = bound;
}

void BM_ParameterWrite(benchmark::State& state)
{
    TRuvoParameter set;
    set.SetSquelchLow(220);
    set.SetSquelchHigh(720);
    set.SetSendTimeLimit(90);
    Measure(state, ParameterWriteLines(set), false);
}

void BM_TableWrite(benchmark::State& state)
{
    std::vector<std::string> lines;
    for (int slot = 0; slot < 32; ++slot)
        lines.push_back(SlotWriteLine(slot, 2518 - slot, slot, 1 + slot % 5));
    Measure(state, lines, true);
}

} // namespace

BENCHMARK(BM_ParameterWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_TableWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheHarness.reset();
    return 0;
}
