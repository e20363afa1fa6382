// The link on the real libusb 0.1 over the emulated usbdevfs: how long a
// send waits before the device has it, now that the three threads take turns
// on the handle (a send may wait for the read slices of the receivers ahead
// of it), and what the idle threads cost with their short read slices.
//   build/bin/bench_usb_devfs
#include "bench/usb/IdleCpu.h"
#include "link/USB_Communication.h"
#include "tests/usb/UsbDevfs.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace {

// From SendBulk to the device holding the message, with the receivers idle
// in their reads (nothing to read: each waits its full slice). The sends come
// at random moments against the slices. Counters: mean, 99th percentile and
// largest wait in ms.
void BM_SendLatencyWhileReceiversRead(benchmark::State& state)
{
    UsbDevfs::Reset();
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, ChunkedProductID, UsbDevfs::StandardEndpoints(64));
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
            const auto start = std::chrono::steady_clock::now();
            link.SendBulk('A', "latency");
            if (!UsbDevfs::WaitForMessages(device, 0x02, ++sent, 20000)) {
                state.SkipWithError("the device never got the message");
                break;
            }
            waits.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
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
    state.counters["slice_ms"] = USBReadSlice;
}
BENCHMARK(BM_SendLatencyWhileReceiversRead)->Iterations(300)->Unit(benchmark::kMillisecond);

// CPU time per second of the process while the link idles on a device that
// sends nothing: the receivers re-arm their reads every slice.
void BM_IdleThreadsCpu(benchmark::State& state)
{
    UsbDevfs::Reset();
    UsbDevfs::AddDevice(ZorvatekVendorID, ChunkedProductID, UsbDevfs::StandardEndpoints(64));
    MeasureIdleLinkCpu(state, ZorvatekVendorID, ChunkedProductID);
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
