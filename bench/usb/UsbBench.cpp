// The USB link on the scripted bus: what its three threads cost while idle,
// and how long one message takes out through the sender, back through a
// receiver and into the GUI thread.
//   build/bin/bench_usb
#include "link/USB_Communication.h"
#include "bench/usb/IdleCpu.h"
#include "tests/usb/FakeUsb.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

// CPU time per second of the process while the GUI thread sleeps: what the
// link's threads use. Arg 0: no device; 1: a device, nothing to read (each
// read waits its full time-out, as on a real bus).
void BM_IdleThreadsCpu(benchmark::State& state)
{
    FakeUsb::Reset();
    FakeUsb::SetReadWait(USBTransferTimeout);
    if (state.range(0) == 1)
        FakeUsb::AddDevice(ZorvatekVendorID, ChunkedProductID, FakeUsb::StandardEndpoints(64));
    MeasureIdleLinkCpu(state, ZorvatekVendorID, ChunkedProductID);
    state.counters["connected"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_IdleThreadsCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// One message out on bulk OUT, echoed by the device on bulk IN, delivered by
// OnReceive in the GUI thread. Arg: message length.
void BM_MessageRoundTrip(benchmark::State& state)
{
    FakeUsb::Reset();
    FakeUsb::SetReadWait(USBTransferTimeout);
    const int device = FakeUsb::AddDevice(ZorvatekVendorID, ChunkedProductID, FakeUsb::StandardEndpoints(64));
    FakeUsb::SetWriteHook([device](int, int endpoint, const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 64)
            FakeUsb::PushRead(device, endpoint | 0x80, bytes.substr(at, 64));
    });
    {
        TUSB_Communication link(ZorvatekVendorID, ChunkedProductID);
        std::size_t received = 0;
        link.SetOnReceive([&](TObject*, char, const std::string&) { ++received; });
        link.Connect();
        const std::string data(static_cast<std::size_t>(state.range(0)), 'x');
        for (auto _ : state) {
            const std::size_t before = received;
            link.SendBulk('A', data);
            while (received == before)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        link.Close();
    }
    FakeUsb::SetWriteHook({});
}
BENCHMARK(BM_MessageRoundTrip)->Arg(1)->Arg(62)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
