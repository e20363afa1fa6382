// The link on our libusb 0.1 layer over the real libusb-1.0, on the emulated
// kernel (tests/usb/UsbDevfs.h), in real time: how long a send takes to reach
// the device while the receivers wait in their reads, how the interrupt
// messages keep coming while the device takes no write for 25 s, how long
// Close takes while a write is held, and what the idle connected link costs.
//   build/bin/bench_usb_devfs
#include "bench/usb/IdleCpu.h"
#include "link/USB_Communication.h"
#include "tests/usb/UsbDevfs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int AddDevice()
{
    return UsbDevfs::AddDevice(ZorvatekVendorID, ChunkedProductID, UsbDevfs::StandardEndpoints(64));
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// From SendBulk to the device holding the message, with the receivers idle
// in their reads. The sends come at random moments. Counters: mean, 99th
// percentile and largest in ms.
void BM_SendLatencyWhileReceiversRead(benchmark::State& state)
{
    UsbDevfs::Reset();
    const int device = AddDevice();
    UsbDevfs::SetEcho(device, false);
    std::vector<double> waits;
    {
        TUSB_Communication link(ZorvatekVendorID, ChunkedProductID);
        link.Connect();
        std::mt19937 random(1);
        std::size_t sent = 0;
        for (auto _ : state) {
            state.PauseTiming();
            std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30000)(random)));
            state.ResumeTiming();
            const auto start = Clock::now();
            link.SendBulk('A', "latency");
            if (!UsbDevfs::WaitForMessages(device, 0x02, ++sent, 20000)) {
                state.SkipWithError("the device never got the message");
                break;
            }
            waits.push_back(Ms(Clock::now() - start));
        }
        link.Close();
    }
    if (waits.empty())
        return;
    std::sort(waits.begin(), waits.end());
    double sum = 0;
    for (double w : waits)
        sum += w;
    state.counters["mean_ms"] = sum / static_cast<double>(waits.size());
    state.counters["p99_ms"] = waits[std::min(waits.size() - 1, waits.size() * 99 / 100)];
    state.counters["max_ms"] = waits.back();
}
BENCHMARK(BM_SendLatencyWhileReceiversRead)->Iterations(300)->Unit(benchmark::kMillisecond);

// The device takes no write for 25 s and sends an interrupt message every
// 10 ms meanwhile. Counters: the longest gap between two messages arriving
// in OnReceive (ms), the messages sent and arrived, and the write time-outs
// the sender met.
void BM_InterruptGapDuringHeldWrite(benchmark::State& state)
{
    UsbDevfs::Reset();
    const int device = AddDevice();
    UsbDevfs::HoldWrites(device, 0x02, true);
    double longest = 0;
    std::size_t arrived = 0;
    int sent = 0;
    {
        TUSB_Communication link(ZorvatekVendorID, ChunkedProductID);
        std::vector<Clock::time_point> arrivals;
        link.SetOnReceive([&](TObject*, char, const std::string&) { arrivals.push_back(Clock::now()); });
        link.Connect();
        for (auto _ : state) {
            link.SendBulk('A', "held");
            std::atomic<bool> stop{false};
            std::thread talk([&] {
                while (!stop) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    UsbDevfs::SendInterrupt(device, "I");
                    ++sent;
                }
            });
            QEventLoop loop; // the GUI thread sleeps between the messages
            QTimer::singleShot(std::chrono::seconds(25), &loop, &QEventLoop::quit);
            loop.exec();
            stop = true;
            talk.join();
        }
        link.Close();
        for (std::size_t i = 1; i < arrivals.size(); ++i)
            longest = std::max(longest, Ms(arrivals[i] - arrivals[i - 1]));
        arrived = arrivals.size();
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["sent"] = sent;
    state.counters["arrived"] = static_cast<double>(arrived);
    state.counters["write_timeouts"] = static_cast<double>(UsbDevfs::DiscardedWriteAges().size());
}
BENCHMARK(BM_InterruptGapDuringHeldWrite)->Iterations(1)->Unit(benchmark::kMillisecond);

// Close while the device holds a write and both reads wait. Counters: mean
// and largest time of Close in ms.
void BM_CloseDuringHeldWrite(benchmark::State& state)
{
    UsbDevfs::Reset();
    const int device = AddDevice();
    UsbDevfs::HoldWrites(device, 0x02, true);
    std::vector<double> times;
    {
        TUSB_Communication link(ZorvatekVendorID, ChunkedProductID);
        for (auto _ : state) {
            state.PauseTiming();
            link.Connect();
            link.SendBulk('A', "held");
            while (UsbDevfs::Pending(device, 0x02) + UsbDevfs::Pending(device, 0x81) + UsbDevfs::Pending(device, 0x82) < 3)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            state.ResumeTiming();
            const auto start = Clock::now();
            link.Close();
            times.push_back(Ms(Clock::now() - start));
        }
    }
    double sum = 0;
    for (double t : times)
        sum += t;
    state.counters["mean_ms"] = times.empty() ? 0 : sum / static_cast<double>(times.size());
    state.counters["max_ms"] = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
}
BENCHMARK(BM_CloseDuringHeldWrite)->Iterations(50)->Unit(benchmark::kMillisecond);

// CPU time of the process while the link idles connected to a device that
// sends nothing: the reads wait their full time-out.
void BM_IdleThreadsCpu(benchmark::State& state)
{
    UsbDevfs::Reset();
    AddDevice();
    MeasureIdleLinkCpu(state, ZorvatekVendorID, ChunkedProductID, 10);
}
BENCHMARK(BM_IdleThreadsCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
