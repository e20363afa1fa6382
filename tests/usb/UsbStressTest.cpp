// The USB link under load in real time, on the emulated kernel
// (tests/usb/UsbDevfs.h): devices that send at random moments while the
// program sends and the devices echo, all three threads of every link busy.
// Three rates of interrupt messages (every 1, 20 and 100 ms on average), a
// bulk command every 20 ms on every link, echoed after 0.2 to 3 ms. Every
// message must arrive once and in order, no link may stall, and no thread may
// be left in the library when the links are freed.
//
// TESSARO_USB_STRESS_SECONDS sets how long the devices talk (default 48),
// TESSARO_USB_STRESS_LINKS how many links run at each rate (default 3).
#include "link/USB_Communication.h"
#include "tests/common/TestServices.h"
#include "tests/usb/UsbDevfs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Setting(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// What one kind of message (interrupt or echo) of one link should look like
// as it arrives: numbered from 0 on, each exactly once, in order.
struct TSequence {
    long Expected = 0; // the next number
    long Lost = 0;     // numbers skipped
    long Repeated = 0; // numbers that came again or too late

    void Arrived(long number)
    {
        if (number == Expected) {
            ++Expected;
        } else if (number > Expected) {
            Lost += number - Expected;
            Expected = number + 1;
        } else {
            ++Repeated;
        }
    }
};

// A link with its device, the device's own thread and what arrived.
struct TStressLink {
    int Rate = 0; // average ms between interrupt messages
    std::uint16_t Product = 0;
    std::uint16_t Packet = 0;
    int Device = -1;
    std::unique_ptr<TUSB_Communication> Link;
    std::thread Talk;
    std::atomic<long> Spoken{0}; // interrupt messages the device sent
    long Commands = 0;           // bulk messages the program sent
    TSequence Heard;
    TSequence Echoed;
    Clock::time_point LastArrival;
    bool Hung = false;
    double HungAfter = 0;

    std::string Name() const
    {
        return std::to_string(Rate) + " ms, product " + std::to_string(Product) + "/" + std::to_string(Packet);
    }
    long Outstanding() const { return Spoken.load() - Heard.Expected + Commands - Echoed.Expected; }
};

// The number in a message "I17xxx" or "B17xxx" (the padding is 'x').
long NumberIn(const std::string& data)
{
    return std::strtol(data.c_str(), nullptr, 10);
}

std::string Padding(std::mt19937& random)
{
    return std::string(static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 24)(random)), 'x');
}

} // namespace

TEST(UsbStressTest, ThreeRatesOfDeviceTrafficLoseNothingAndNoLinkStalls)
{
    const int seconds = Setting("TESSARO_USB_STRESS_SECONDS", 48);
    const int perRate = Setting("TESSARO_USB_STRESS_LINKS", 3);
    // A link that hears nothing this long while its device has sent
    // something has stalled.
    constexpr auto stalled = std::chrono::seconds(10);
    UsbDevfs::Reset();

    struct TShape {
        std::uint16_t Product;
        std::uint16_t Packet;
    };
    const TShape shapes[] = {{ChunkedProductID, 8}, {ChunkedProductID, 64}, {5, 16}};
    std::vector<std::unique_ptr<TStressLink>> links;
    for (const int rate : {1, 20, 100}) {
        for (int i = 0; i < perRate; ++i) {
            auto l = std::make_unique<TStressLink>();
            l->Rate = rate;
            l->Product = shapes[i % 3].Product;
            l->Packet = shapes[i % 3].Packet;
            l->Device = UsbDevfs::AddDevice(ZorvatekVendorID, l->Product, UsbDevfs::StandardEndpoints(l->Packet));
            UsbDevfs::SetEchoDelay(l->Device, 200, 3000);
            links.push_back(std::move(l));
        }
    }
    // Each link finds its own device: the others are held by the links made
    // before it (the search skips a device whose interface it cannot claim).
    for (auto& l : links) {
        l->Link = std::make_unique<TUSB_Communication>(ZorvatekVendorID, l->Product);
        TStressLink* link = l.get();
        l->Link->SetOnReceive([link](TObject*, char cmd, const std::string& data) {
            link->LastArrival = Clock::now();
            if (cmd == 'I')
                link->Heard.Arrived(NumberIn(data));
            else if (cmd == 'B')
                link->Echoed.Arrived(NumberIn(data));
            else
                ++link->Heard.Repeated; // nothing else is ever sent
        });
        l->Link->Connect();
        ASSERT_TRUE(l->Link->Connected()) << l->Name();
    }

    const auto start = Clock::now();
    const auto until = start + std::chrono::seconds(seconds);
    std::atomic<bool> stop{false};
    unsigned seed = 1;
    for (auto& l : links) {
        l->LastArrival = start;
        TStressLink* link = l.get();
        link->Talk = std::thread([link, &stop, s = seed++] {
            std::mt19937 random(s);
            std::uniform_int_distribution<int> pause(0, 2000 * link->Rate);
            while (!stop.load()) {
                std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
                const long n = link->Spoken.load();
                UsbDevfs::SendInterrupt(link->Device, "I" + std::to_string(n) + Padding(random));
                link->Spoken.store(n + 1);
            }
        });
    }

    // The program sends a command on every link every 20 ms, and watches for
    // links that stall.
    std::mt19937 random(99);
    auto nextCommand = start;
    auto check = [&] {
        const auto now = Clock::now();
        for (auto& l : links) {
            if (!l->Hung && l->Outstanding() > 0 && now - l->LastArrival > stalled) {
                l->Hung = true;
                l->HungAfter = std::chrono::duration<double>(l->LastArrival - start).count();
                std::printf("stalled: %s, after %.2f s\n", l->Name().c_str(), l->HungAfter);
                // Frees the threads a stalled library holds, so the run can end.
                UsbDevfs::Unplug(l->Device);
            }
        }
    };
    while (Clock::now() < until) {
        if (Clock::now() >= nextCommand) {
            for (auto& l : links) {
                if (l->Hung)
                    continue;
                l->Link->SendBulk('B', std::to_string(l->Commands) + Padding(random));
                ++l->Commands;
            }
            nextCommand += std::chrono::milliseconds(20);
        }
        ProcessEventsFor(1);
        check();
    }
    stop = true;
    for (auto& l : links)
        l->Talk.join();
    // What is still on its way arrives.
    ProcessEventsUntil(
        [&] {
            check();
            for (auto& l : links)
                if (!l->Hung && l->Outstanding() > 0)
                    return false;
            return true;
        },
        120000);

    long spoken = 0;
    long echoes = 0;
    int hung = 0;
    for (auto& l : links) {
        SCOPED_TRACE(l->Name());
        spoken += l->Spoken.load();
        echoes += l->Commands;
        hung += l->Hung ? 1 : 0;
        EXPECT_FALSE(l->Hung) << "after " << l->HungAfter << " s";
        EXPECT_EQ(l->Heard.Expected, l->Spoken.load());
        EXPECT_EQ(l->Heard.Lost, 0);
        EXPECT_EQ(l->Heard.Repeated, 0);
        EXPECT_EQ(l->Echoed.Expected, l->Commands);
        EXPECT_EQ(l->Echoed.Lost, 0);
        EXPECT_EQ(l->Echoed.Repeated, 0);
        EXPECT_EQ(UsbDevfs::Messages(l->Device, 0x02).size(), static_cast<std::size_t>(l->Commands));
    }
    std::printf("%d links for %d s: %ld device messages, %ld echoes, %d stalled\n", static_cast<int>(links.size()),
                seconds, spoken, echoes, hung);

    // Freeing every link ends its threads; none is left waiting on a node.
    std::atomic<bool> freed{false};
    std::thread watchdog([&] {
        const auto limit = Clock::now() + std::chrono::seconds(60);
        while (!freed && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!freed) {
            std::printf("freeing the links hangs\n");
            for (auto& l : links)
                UsbDevfs::Unplug(l->Device);
        }
    });
    for (auto& l : links)
        l->Link.reset();
    freed = true;
    watchdog.join();
    ProcessEventsFor(0);
    EXPECT_EQ(UsbDevfs::WaitingThreads(), 0);
    EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
    EXPECT_EQ(UsbDevfs::Violations(), 0);
    if (seconds >= 48 && perRate >= 3) { // the run is long enough to show something
        EXPECT_GT(spoken, 50000);
        EXPECT_GT(echoes, 20000);
    }
}
