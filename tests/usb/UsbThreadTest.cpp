// The sender and the two receivers: retries, threads that end on an error and
// are replaced, suspended receivers, and a long exchange that loses nothing.
#include "platform/Beep.h"
#include "platform/DeviceNotification.h"
#include "tests/usb/UsbFixture.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <random>
#include <utility>

namespace {

class UsbThreadTest : public UsbFixture {};

// No assertion may depend on how fast the machine is; this only gives a
// thread that would wrongly go on the chance to show it.
void GiveThreadsAChance()
{
    ProcessEventsFor(50);
}

} // namespace

TEST_F(UsbThreadTest, TheSenderRetriesBusyAndTimedOutWrites)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    for (const int result : {-5, -116, -ETIMEDOUT, -5})
        FakeUsb::ScriptWrite(device, 0x01, result);
    link.SendInterrupt('A', "1");
    link.SendInterrupt('B', "2");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::WriteCalls(device, 0x01), 6);
    EXPECT_EQ(FakeUsb::Writes(device, 0x01),
              (std::vector<std::string>{std::string("\x80") + "A1", std::string("\x80") + "B2"}));
}

TEST_F(UsbThreadTest, ASenderThatFailsIsReplacedAndThePackageStaysAtTheHead)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    FakeUsb::ScriptWrite(device, 0x02, -75); // ends the sender
    FakeUsb::ScriptWrite(device, 0x02, -71); // and the one after it
    link.SendBulk('A', "first");
    link.SendBulk('B', "next");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::WriteCalls(device, 0x02), 4);
    EXPECT_EQ(FakeUsb::Writes(device, 0x02),
              (std::vector<std::string>{std::string("\x80") + "Afirst", std::string("\x80") + "Bnext"}));
    EXPECT_EQ(DebugSent.size(), 2u);
}

TEST_F(UsbThreadTest, AReceiverThatFailsBeepsAndIsReplaced)
{
    for (const int endpoint : {0x81, 0x82}) {
        FakeUsb::Reset();
        Received.clear();
        const int device = AddDevice();
        auto& link = MakeLink();
        link.Connect();
        const unsigned beeps = BeepCount();
        FakeUsb::PushReadResult(device, endpoint, -71);
        FakeUsb::PushRead(device, endpoint, "\x80" "after");
        ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; })) << endpoint;
        EXPECT_EQ(Received[0], "after");
        EXPECT_EQ(BeepCount() - beeps, 1u);
        Link.reset();
    }
}

// A stall (-32) halts the endpoint until it is cleared. Each thread clears
// it and waits before it tries again, twice as long after each stall in a
// row: no thread ends, nothing beeps, the package stays at the head. The
// waits run on the test's clock.
TEST_F(UsbThreadTest, AStalledEndpointIsClearedAndTriedAgainLaterWithoutLosingThePackage)
{
    std::mutex lock;
    std::vector<int> waits;
    SetUSBStallWait([&](int ms) {
        std::lock_guard guard(lock);
        waits.push_back(ms);
    });
    auto takeWaits = [&] {
        std::lock_guard guard(lock);
        return std::exchange(waits, {});
    };
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    const unsigned beeps = BeepCount();

    // A lasting stall of the bulk OUT pipe: twelve in a row.
    FakeUsb::Stall(device, 0x02, 12);
    link.SendBulk('A', "first");
    link.SendBulk('B', "next");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::Writes(device, 0x02),
              (std::vector<std::string>{std::string("\x80") + "Afirst", std::string("\x80") + "Bnext"}));
    EXPECT_EQ(FakeUsb::WriteCalls(device, 0x02), 12 + 2);
    EXPECT_EQ(FakeUsb::ClearHaltCalls(device, 0x02), 12);
    EXPECT_EQ(takeWaits(), (std::vector<int>{10, 20, 40, 80, 160, 320, 640, 1000, 1000, 1000, 1000, 1000}));
    // A write that got through ends the row: the next stall waits briefly again.
    FakeUsb::Stall(device, 0x02, 2);
    link.SendBulk('C', "again");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::Writes(device, 0x02).back(), std::string("\x80") + "Cagain");
    EXPECT_EQ(takeWaits(), (std::vector<int>{10, 20}));

    // The receivers: a stalled IN pipe is cleared, and the reads go on.
    for (const int endpoint : {0x81, 0x82}) {
        SCOPED_TRACE(endpoint);
        Received.clear();
        FakeUsb::Stall(device, endpoint, 3);
        FakeUsb::PushRead(device, endpoint, "\x80" "after");
        ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
        EXPECT_EQ(Received[0], "after");
        EXPECT_EQ(FakeUsb::ClearHaltCalls(device, endpoint), 3);
        EXPECT_EQ(takeWaits(), (std::vector<int>{10, 20, 40}));
    }
    EXPECT_EQ(BeepCount(), beeps);
    EXPECT_TRUE(link.Connected());
    Link.reset();
    SetUSBStallWait({});
}

TEST_F(UsbThreadTest, TimeOutsAndBusyReadsChangeNothing)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    const unsigned beeps = BeepCount();
    FakeUsb::PushRead(device, 0x81, std::string(1, '\0') + "ab");
    for (const int result : {-116, -ETIMEDOUT, -5})
        FakeUsb::PushReadResult(device, 0x81, result);
    FakeUsb::PushRead(device, 0x81, "\x81" "cd");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
    EXPECT_EQ(Received[0], "abcd"); // the message went on across them
    EXPECT_EQ(BeepCount(), beeps);
}

TEST_F(UsbThreadTest, ReceiversSuspendedByMemoryOrArgumentErrorsWakeOnTheNextConnect)
{
    struct TCase {
        int Endpoint;
        int Result;
    };
    for (const TCase c : {TCase{0x81, -12}, TCase{0x82, -22}, TCase{0x81, -22}, TCase{0x82, -12}}) {
        FakeUsb::Reset();
        Received.clear();
        const int device = AddDevice();
        auto& link = MakeLink();
        link.Connect();
        FakeUsb::PushReadResult(device, c.Endpoint, c.Result);
        ASSERT_TRUE(WaitFor([&] { return FakeUsb::ReadCalls(device, c.Endpoint) >= 1; }));
        const int reads = FakeUsb::ReadCalls(device, c.Endpoint);
        FakeUsb::PushRead(device, c.Endpoint, "\x80" "waiting");
        GiveThreadsAChance();
        EXPECT_TRUE(Received.empty()) << c.Result;
        EXPECT_EQ(FakeUsb::ReadCalls(device, c.Endpoint), reads) << c.Result;

        link.Reconnect();
        ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; })) << c.Result;
        EXPECT_EQ(Received[0], "waiting");
        Link.reset();
    }
}

TEST_F(UsbThreadTest, AnUnpluggedDeviceClosesTheLinkAndKeepsThePackage)
{
    // No removal notice comes (no udev): the transfers that fail because the
    // device is gone close the link. The threads neither beep nor start
    // anew on the dead handle, and the package waits for the device.
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    ASSERT_TRUE(WaitFor([&] { return FakeUsb::ReadCalls(device, 0x81) >= 1 && FakeUsb::ReadCalls(device, 0x82) >= 1; }));
    const unsigned beeps = BeepCount();
    FakeUsb::SetPlugged(device, false);
    const int interruptReads = FakeUsb::ReadCalls(device, 0x81);
    const int bulkReads = FakeUsb::ReadCalls(device, 0x82);
    link.SendBulk('A', "kept");
    ASSERT_TRUE(WaitFor([&] { return !link.Connected(); }));
    EXPECT_EQ(Changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(link.DeviceHandle(), nullptr);
    GiveThreadsAChance();
    EXPECT_EQ(BeepCount(), beeps);
    // At most the read that was starting when the device went.
    EXPECT_LE(FakeUsb::ReadCalls(device, 0x81), interruptReads + 1);
    EXPECT_LE(FakeUsb::ReadCalls(device, 0x82), bulkReads + 1);
    EXPECT_LE(FakeUsb::WriteCalls(device, 0x02), 1);
    EXPECT_EQ(link.SendQueueAmount(), 1);

    // Plugged in again: the package goes out on the new handle.
    FakeUsb::SetPlugged(device, true);
    BroadcastDeviceInterfaceChange(DBT_DEVICEARRIVAL, UsbDeviceInterfaceName(ZorvatekVendorID, ChunkedProductID, ""));
    ASSERT_TRUE(WaitFor([&] { return link.Connected() && link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::Writes(device, 0x02), std::vector<std::string>{std::string("\x80") + "Akept"});
    EXPECT_EQ(Changes, (std::vector<bool>{true, false, true}));
}

TEST_F(UsbThreadTest, AMessageBegunBeforeAReconnectIsNotContinuedAfterIt)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    FakeUsb::PushRead(device, 0x81, std::string(1, '\0') + "stale");
    ASSERT_TRUE(WaitFor([&] { return FakeUsb::ReadCalls(device, 0x81) >= 2; }));
    link.Reconnect();
    FakeUsb::PushRead(device, 0x81, "\x80" "fresh");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
    EXPECT_EQ(Received[0], "fresh");
}

TEST_F(UsbThreadTest, ClosingEndsTheReadsAndWaitsForTheThreadsToLeaveThem)
{
    // Reads that would wait their whole time-out on the bus: the release ends
    // them, and Close and freeing do not close the handle under them (the
    // fixture counts any such close). Both receivers read at once.
    FakeUsb::SetReadWait(USBTransferTimeout);
    AddDevice();
    auto& link = MakeLink();
    for (int round = 0; round < 3; ++round) {
        link.Connect();
        ASSERT_TRUE(link.Connected());
        ASSERT_TRUE(WaitFor([] { return FakeUsb::PendingReads() == 2; }));
        link.Close();
        EXPECT_EQ(FakeUsb::Violations(), 0) << round;
        EXPECT_EQ(FakeUsb::PendingReads(), 0) << round;
    }
    link.Connect();
    ASSERT_TRUE(WaitFor([] { return FakeUsb::PendingReads() == 2; }));
    Link.reset();
    EXPECT_EQ(FakeUsb::PendingReads(), 0);
}

// A package queued while the sender waits after a stall does not cut the
// wait short: the stalled package goes again only once its wait is over
// (10, 20, 40, 80, 160 ms... after the tries before), however many packages
// come meanwhile. Real time: a slow machine makes fewer tries, never more.
TEST_F(UsbThreadTest, PackagesQueuedDuringAStallWaitDoNotCutItShort)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    FakeUsb::Stall(device, 0x02, 1000);
    link.SendBulk('A', "stalled");
    const auto start = std::chrono::steady_clock::now();
    int queued = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(400)) {
        link.SendBulk('B', std::to_string(queued++));
        ProcessEventsFor(5);
    }
    const int tries = FakeUsb::WriteCalls(device, 0x02);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The tries the waits allow within the time that passed.
    int allowed = 1;
    for (int wait = USBStallFirstWait, at = wait; std::chrono::milliseconds(at) <= elapsed;
         wait = std::min(wait * 2, USBStallLongestWait), at += wait)
        ++allowed;
    EXPECT_LE(tries, allowed + 1) << queued << " packages queued";
    EXPECT_GE(tries, 1);
    EXPECT_EQ(link.SendQueueAmount(), queued + 1);
}

TEST_F(UsbThreadTest, TenThousandMessagesEachWayArriveInOrder)
{
    constexpr int count = 10000;
    constexpr std::uint16_t packet = 16;
    const int device = AddDevice(ChunkedProductID, packet);
    // The device answers every bulk message by echoing it on bulk IN, one
    // packet per transfer, as it would send it.
    FakeUsb::SetWriteHook([device](int, int endpoint, const std::string& bytes) {
        if (endpoint != 0x02)
            return;
        for (std::size_t at = 0; at < bytes.size(); at += packet)
            FakeUsb::PushRead(device, 0x82, bytes.substr(at, packet));
    });
    auto& link = MakeLink();
    link.Connect();
    ASSERT_TRUE(link.Connected());

    std::mt19937 random(7);
    std::vector<std::string> sent;
    std::vector<std::string> spontaneous;
    for (int i = 0; i < count; ++i) {
        sent.push_back("B" + std::to_string(i) + std::string(std::uniform_int_distribution<int>(0, 40)(random), 'b'));
        spontaneous.push_back("I" + std::to_string(i) + std::string(i % 23, 'i'));
    }
    // The device talks on interrupt IN meanwhile, from a thread of its own.
    std::thread device_talk([&] {
        for (const auto& message : spontaneous) {
            const std::string packed = PackUSBMessage(ChunkedProductID, packet, message);
            for (std::size_t at = 0; at < packed.size(); at += packet)
                FakeUsb::PushRead(device, 0x81, packed.substr(at, packet));
        }
    });
    for (const auto& message : sent)
        link.SendBulk(message[0], message.substr(1));
    const bool done = ProcessEventsUntil([&] { return Received.size() == 2u * count; }, 180000);
    device_talk.join();
    ASSERT_TRUE(done) << Received.size();
    EXPECT_EQ(link.SendQueueAmount(), 0);

    std::vector<std::string> echoed;
    std::vector<std::string> heard;
    for (const auto& message : Received)
        (message[0] == 'B' ? echoed : heard).push_back(message);
    EXPECT_EQ(echoed, sent);
    EXPECT_EQ(heard, spontaneous);
    EXPECT_EQ(DebugReceived.size(), 2u * count);
    EXPECT_EQ(FakeUsb::Writes(device, 0x02).size(), static_cast<std::size_t>(count));
    FakeUsb::SetWriteHook({});
}
