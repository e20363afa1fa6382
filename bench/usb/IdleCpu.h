#pragma once
// CPU time per second of the process while the calling thread sleeps: what a
// link's own threads use while idle. Connects a link with the ids given,
// sleeps `seconds` per benchmark iteration and sets "cpu_ms_per_s" and
// "cpu_percent" (of one core).
#include "link/USB_Communication.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <thread>

inline double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

inline void MeasureIdleLinkCpu(benchmark::State& state, std::int32_t vendor, std::int32_t product, int seconds = 2)
{
    double used = 0;
    double elapsed = 0;
    {
        TUSB_Communication link(vendor, product);
        link.Connect();
        for (auto _ : state) {
            const double cpu = ProcessCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            used += ProcessCpuSeconds() - cpu;
            elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        link.Close();
    }
    state.counters["cpu_ms_per_s"] = 1000.0 * used / elapsed;
    state.counters["cpu_percent"] = 100.0 * used / elapsed;
}
