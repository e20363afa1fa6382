// The link on the real libusb 0.1, which runs on an emulation of the kernel's
// usbdevfs (tests/usb/UsbDevfs.h): search, endpoints, messages both ways in
// chunks, time-outs, stalls, unplugging and teardown as the library really
// does them, and the three threads on one handle under load.
#include "link/Communication.h"
#include "link/USB_Communication.h"
#include "platform/Beep.h"
#include "platform/DeviceNotification.h"
#include "platform/Exception.h"
#include "tests/usb/ErrorOf.h"
#include "platform/MessageWindow.h"
#include "tests/common/TestServices.h"
#include "tests/usb/UsbDevfs.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using UsbDevfs::TCall;

class UsbDevfsTest : public testing::Test {
protected:
    void SetUp() override
    {
        UsbDevfs::Reset();
        TestDialogs().Clear();
    }
    void TearDown() override
    {
        Link.reset();
        SetUSBStallWait({});
        EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
        EXPECT_EQ(UsbDevfs::BlockedReaps(), 0);
        EXPECT_EQ(UsbDevfs::Violations(), 0);
        EXPECT_TRUE(TestDialogs().Boxes().empty());
    }

    int AddDevice(std::uint16_t product = ChunkedProductID, std::uint16_t packet = 8)
    {
        return UsbDevfs::AddDevice(ZorvatekVendorID, product, UsbDevfs::StandardEndpoints(packet));
    }

    TUSB_Communication& MakeLink(std::int32_t product = ChunkedProductID)
    {
        Received.clear();
        Changes.clear();
        Link = std::make_unique<TUSB_Communication>(ZorvatekVendorID, product);
        Link->SetOnConnectionChange([this](TObject*, bool up) { Changes.push_back(up); });
        Link->SetOnReceive([this](TObject* sender, char cmd, const std::string& data) {
            EXPECT_EQ(sender, Link.get());
            EXPECT_EQ(std::this_thread::get_id(), GuiThread);
            Received.push_back(std::string(1, cmd) + data);
        });
        return *Link;
    }

    bool WaitFor(const std::function<bool()>& done, int ms = 20000) { return ProcessEventsUntil(done, ms); }

    const std::thread::id GuiThread = std::this_thread::get_id();
    std::unique_ptr<TUSB_Communication> Link;
    std::vector<bool> Changes;
    std::vector<std::string> Received;
};

} // namespace

TEST_F(UsbDevfsTest, TheSearchFindsTheDeviceAndLearnsItsEndpoints)
{
    UsbDevfs::AddDevice(0x1234, ChunkedProductID, UsbDevfs::StandardEndpoints()); // another vendor
    UsbDevfs::AddDevice(ZorvatekVendorID, 7, UsbDevfs::StandardEndpoints());     // another product
    AddDevice(ChunkedProductID, 16);
    auto& link = MakeLink();
    EXPECT_EQ(link.Connect(), 0);
    ASSERT_TRUE(link.Connected());
    EXPECT_EQ(Changes, std::vector<bool>{true});
    EXPECT_EQ(link.InterruptInEndpoint(), 0x81);
    EXPECT_EQ(link.InterruptOutEndpoint(), 0x01);
    EXPECT_EQ(link.BulkInEndpoint(), 0x82);
    EXPECT_EQ(link.BulkOutEndpoint(), 0x02);
    EXPECT_EQ(link.InterruptInMaxPaketSize(), 16);
    EXPECT_EQ(link.BulkInMaxPaketSize(), 16);
    EXPECT_EQ(UsbDevfs::OpenNodes(), 1); // the probe was closed again
    link.Close();
    EXPECT_EQ(Changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
}

TEST_F(UsbDevfsTest, OpeningFailuresAreRaisedOrKeepTheLinkClosed)
{
    struct TCase {
        TCall Call;
        int Error;
        int Times;      // the probe and the opening both meet it
        bool Raised;    // the library's text reaches the caller
        bool Connected;
    };
    const TCase cases[] = {
        {TCall::SetConfiguration, EBUSY, 1, false, true},
        {TCall::SetConfiguration, EBUSY, 2, true, false},
        {TCall::ClaimInterface, EBUSY, 2, true, false},
        {TCall::ClaimInterface, EIO, 2, false, false}, // -5: closed without a word
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.Call)) + " " + std::to_string(c.Error) + " x" +
                     std::to_string(c.Times));
        UsbDevfs::Reset();
        const int device = AddDevice();
        auto& link = MakeLink();
        // The first failure makes the probe skip the device: nothing found.
        UsbDevfs::Fail(device, c.Call, c.Error, 1);
        EXPECT_EQ(ErrorOf([&] { link.Connect(); }), "(nothing raised)");
        EXPECT_FALSE(link.Connected());
        // A failure after the probe passed: at the opening itself.
        if (c.Times == 2) {
            // Let the probe through and fail the opening: the probe takes one
            // request of each kind, the opening the next.
            UsbDevfs::Fail(device, c.Call, 0, 1);
            UsbDevfs::Fail(device, c.Call, c.Error, 1);
        }
        const std::string raised = ErrorOf([&] { link.Connect(); });
        if (c.Raised)
            EXPECT_NE(raised, "(nothing raised)");
        else
            EXPECT_EQ(raised, "(nothing raised)");
        EXPECT_EQ(link.Connected(), c.Connected);
        EXPECT_EQ(UsbDevfs::OpenNodes(), c.Connected ? 1 : 0);
        Link.reset();
        EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
        ProcessEventsFor(0);
    }
}

TEST_F(UsbDevfsTest, MessagesGoOutAndComeInThroughTheRealLibrary)
{
    struct TCase {
        std::uint16_t Product;
        std::uint16_t Packet;
    };
    for (const TCase c : {TCase{ChunkedProductID, 8}, TCase{ChunkedProductID, 64}, TCase{5, 8}, TCase{5, 64}}) {
        SCOPED_TRACE(std::to_string(c.Product) + "/" + std::to_string(c.Packet));
        UsbDevfs::Reset();
        const int device = AddDevice(c.Product, c.Packet);
        auto& link = MakeLink(c.Product);
        link.Connect();
        ASSERT_TRUE(link.Connected());
        // Lengths around the packet size, and one of many packets.
        std::vector<std::string> messages;
        for (const std::size_t n : {std::size_t{1}, std::size_t{c.Packet} - 1u, std::size_t{c.Packet},
                                    std::size_t{c.Packet} + 1u, std::size_t{300}})
            messages.push_back("A" + std::string(n - 1, 'a') );
        for (const auto& m : messages)
            link.SendBulk(m[0], m.substr(1));
        link.SendInterrupt('I', "to the interrupt pipe");
        UsbDevfs::SendInterrupt(device, "Jspontaneous");
        ASSERT_TRUE(WaitFor([&] {
            return Received.size() == messages.size() + 1 && UsbDevfs::Messages(device, 0x01).size() == 1;
        }));
        EXPECT_EQ(UsbDevfs::Messages(device, 0x02), messages);
        EXPECT_EQ(UsbDevfs::Messages(device, 0x01), std::vector<std::string>{"Ito the interrupt pipe"});
        std::vector<std::string> echoed;
        for (const auto& m : Received)
            if (m != "Jspontaneous")
                echoed.push_back(m);
        EXPECT_EQ(echoed, messages);
        EXPECT_NE(std::find(Received.begin(), Received.end(), "Jspontaneous"), Received.end());
        // One write per message.
        EXPECT_EQ(UsbDevfs::Transfers(device, 0x02).size(), messages.size());
        Link.reset();
    }
}

TEST_F(UsbDevfsTest, ProductFourMessagesGoInIndexedChunksOfOneTransfer)
{
    const int device = AddDevice(ChunkedProductID, 8);
    UsbDevfs::SetEcho(device, false);
    auto& link = MakeLink();
    link.Connect();
    link.SendBulk('0', "123456789"); // 10 bytes
    link.SendBulk('x', "yzuvw");     // 6 bytes
    ASSERT_TRUE(WaitFor([&] { return UsbDevfs::Transfers(device, 0x02).size() == 2; }));
    EXPECT_EQ(UsbDevfs::Transfers(device, 0x02),
              (std::vector<std::string>{std::string("\x00", 1) + "0123456" + "\x81" "789", "\x80" "xyzuvw"}));
}

// The write time-out that the sender hands the library is 10255 ms: a device
// that takes nothing makes the write give up after that long on the sender's
// clock. The package stays at the head and goes out once the device takes it.
TEST_F(UsbDevfsTest, AWriteThatIsNotTakenGivesUpAfterTheWriteTimeOut)
{
    const int device = AddDevice();
    UsbDevfs::SetEcho(device, false);
    UsbDevfs::SetVirtualTime(device, true);
    UsbDevfs::HoldWrites(device, 0x02, true);
    auto& link = MakeLink();
    link.Connect();
    link.SendBulk('A', "held");
    ASSERT_TRUE(WaitFor([&] { return UsbDevfs::DiscardedWriteAges().size() >= 3; }));
    for (const long age : UsbDevfs::DiscardedWriteAges()) {
        EXPECT_GE(age, USBTransferTimeout);
        EXPECT_LT(age, USBTransferTimeout + 100);
    }
    EXPECT_EQ(link.SendQueueAmount(), 1);
    EXPECT_TRUE(UsbDevfs::Messages(device, 0x02).empty());
    UsbDevfs::HoldWrites(device, 0x02, false);
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(UsbDevfs::Messages(device, 0x02), std::vector<std::string>{"Aheld"});
    EXPECT_TRUE(link.Connected());
}

TEST_F(UsbDevfsTest, AStalledEndpointIsClearedAndNothingIsLost)
{
    std::atomic<int> waits{0};
    SetUSBStallWait([&](int) { ++waits; });
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    const unsigned beeps = BeepCount();
    UsbDevfs::Stall(device, 0x02, 3);
    link.SendBulk('A', "after a stall");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
    EXPECT_EQ(Received[0], "Aafter a stall");
    EXPECT_EQ(UsbDevfs::Messages(device, 0x02), std::vector<std::string>{"Aafter a stall"});
    EXPECT_EQ(UsbDevfs::ClearHalts(device, 0x02), 3);
    for (const int endpoint : {0x81, 0x82}) {
        SCOPED_TRACE(endpoint);
        Received.clear();
        UsbDevfs::Stall(device, endpoint, 2);
        if (endpoint == 0x81)
            UsbDevfs::SendInterrupt(device, "Bafter");
        else
            UsbDevfs::SendBulk(device, "Bafter");
        ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
        EXPECT_EQ(Received[0], "Bafter");
        EXPECT_EQ(UsbDevfs::ClearHalts(device, endpoint), 2);
    }
    EXPECT_EQ(waits.load(), 3 + 2 + 2);
    EXPECT_EQ(BeepCount(), beeps);
    EXPECT_TRUE(link.Connected());
}

// Unplugged without a removal notice: the transfers fail with ENODEV and the
// link closes; the package waits for the device, which goes out once it is
// back (as a new node) and announced.
TEST_F(UsbDevfsTest, AnUnpluggedDeviceClosesTheLinkAndTheNextOneGetsThePackage)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    const unsigned beeps = BeepCount();
    UsbDevfs::HoldWrites(device, 0x02, true);
    link.SendBulk('A', "kept");
    ASSERT_TRUE(WaitFor([&] { return UsbDevfs::Pending(device, 0x02) == 1; }));
    UsbDevfs::Unplug(device);
    ASSERT_TRUE(WaitFor([&] { return !link.Connected(); }));
    EXPECT_EQ(Changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(link.DeviceHandle(), nullptr);
    EXPECT_EQ(link.SendQueueAmount(), 1);
    EXPECT_EQ(BeepCount(), beeps);
    EXPECT_EQ(UsbDevfs::OpenNodes(), 0);

    const int again = AddDevice();
    BroadcastDeviceInterfaceChange(DBT_DEVICEARRIVAL, UsbDeviceInterfaceName(ZorvatekVendorID, ChunkedProductID, ""));
    ASSERT_TRUE(WaitFor([&] { return link.Connected() && Received.size() == 1; }));
    EXPECT_EQ(UsbDevfs::Messages(again, 0x02), std::vector<std::string>{"Akept"});
    EXPECT_EQ(Received[0], "Akept");
    EXPECT_EQ(Changes, (std::vector<bool>{true, false, true}));
}

// Close and freeing while reads wait on the device (and a write that the
// device does not take): the handle is closed only once no thread transfers
// on it (the emulation counts a close under a running transfer).
TEST_F(UsbDevfsTest, ClosingAndFreeingWaitForTheTransfersInProgress)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    for (int round = 0; round < 5; ++round) {
        link.Connect();
        ASSERT_TRUE(link.Connected());
        ASSERT_TRUE(WaitFor([&] { return UsbDevfs::Pending(device, 0x81) + UsbDevfs::Pending(device, 0x82) > 0; }));
        link.Close();
        EXPECT_EQ(UsbDevfs::Violations(), 0) << round;
        EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
    }
    UsbDevfs::SetVirtualTime(device, true);
    UsbDevfs::HoldWrites(device, 0x02, true);
    link.Connect();
    link.SendBulk('A', "never taken");
    ASSERT_TRUE(WaitFor([&] { return !UsbDevfs::DiscardedWriteAges().empty(); }));
    Link.reset();
    EXPECT_EQ(UsbDevfs::Violations(), 0);
}

// A device pulled before its interface was given back makes the release fail
// (ENODEV; EIO and EINVAL as other drivers say it). However the link is let
// go, the node is closed, and the error reaches the caller or the record.
TEST_F(UsbDevfsTest, AFailingReleaseIsReportedAndTheNodeIsClosed)
{
    enum class TWay { Freed, SwitchedToNone, Closed };
    std::vector<std::pair<std::string, std::string>> recorded;
    SetUnraisableErrorHandler([&](const std::string& source, const std::string& message) {
        recorded.emplace_back(source, message);
    });
    for (const int error : {ENODEV, EIO, EINVAL}) {
        for (const TWay way : {TWay::Freed, TWay::SwitchedToNone, TWay::Closed}) {
            SCOPED_TRACE(std::to_string(error) + " way " + std::to_string(static_cast<int>(way)));
            UsbDevfs::Reset();
            recorded.clear();
            const int device = AddDevice();
            auto c = std::make_unique<TCommunication>();
            c->SetVendorID(ZorvatekVendorID);
            c->SetProductID(ChunkedProductID);
            std::vector<bool> changes;
            c->SetOnConnectionChange([&](TObject*, bool up) { changes.push_back(up); });
            c->SetInterfaceType(TInterfaceType::itUSB);
            ASSERT_TRUE(c->Connected());
            if (error == ENODEV)
                UsbDevfs::Unplug(device);
            else
                UsbDevfs::Fail(device, TCall::ReleaseInterface, error);
            const std::string expected = "Error (" + std::to_string(-error) + ") releasing usb-interface";
            std::string raised;
            try {
                switch (way) {
                case TWay::Freed: c.reset(); break;
                case TWay::SwitchedToNone: c->SetInterfaceType(TInterfaceType::itNone); break;
                case TWay::Closed: c->Close(); break;
                }
            } catch (const Exception& e) {
                raised = e.Message();
            }
            EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
            switch (way) {
            case TWay::Freed:
                EXPECT_EQ(raised, "");
                EXPECT_EQ(recorded, (std::vector<std::pair<std::string, std::string>>{
                                        {"TCommunication.Destroy", expected}}));
                EXPECT_EQ(changes, std::vector<bool>{true});
                break;
            case TWay::SwitchedToNone:
                EXPECT_EQ(raised, expected);
                EXPECT_EQ(c->USBLink(), nullptr);
                EXPECT_FALSE(c->Connected());
                break;
            case TWay::Closed:
                EXPECT_EQ(raised, error == EIO ? "" : expected); // Close lets -5 pass
                EXPECT_FALSE(c->Connected());
                EXPECT_EQ(changes, (std::vector<bool>{true, false}));
                break;
            }
            c.reset();
            ProcessEventsFor(0);
        }
    }
    SetUnraisableErrorHandler({});
}

// The three threads on one handle of the real library, with read time-outs
// all the time (virtual time: every read that finds nothing times out at
// once): the device gets every bulk message once and in order, the link hears
// every echo and every interrupt message once and in order, no write reports
// a time-out for data the device took, and no thread is left waiting.
TEST_F(UsbDevfsTest, ThreeThreadsWithTimeOutsLoseNothing)
{
    constexpr int runs = 200;
    constexpr int perRun = 20;
    std::mt19937 random(21);
    int lost = 0;
    int wrong = 0;
    int duplicated = 0;
    int hung = 0;
    int failedRuns = 0;
    std::size_t timedOutWrites = 0;
    for (int run = 0; run < runs && failedRuns < 5; ++run) {
        UsbDevfs::Reset();
        const std::uint16_t packet = run % 2 ? 8 : 64;
        const int device = AddDevice(ChunkedProductID, packet);
        UsbDevfs::SetVirtualTime(device, true);
        auto& link = MakeLink();
        link.Connect();
        ASSERT_TRUE(link.Connected());
        std::vector<std::string> sent;
        std::vector<std::string> spontaneous;
        for (int i = 0; i < perRun; ++i) {
            sent.push_back("B" + std::to_string(run) + "." + std::to_string(i) +
                           std::string(std::uniform_int_distribution<int>(0, 20)(random), 'b'));
            spontaneous.push_back("I" + std::to_string(run) + "." + std::to_string(i) + std::string(i % 11, 'i'));
        }
        const unsigned seed = random();
        std::thread talk([&, seed] {
            std::mt19937 r(seed);
            for (const auto& message : spontaneous) {
                std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 1500)(r)));
                UsbDevfs::SendInterrupt(device, message);
            }
        });
        for (const auto& message : sent) {
            link.SendBulk(message[0], message.substr(1));
            ProcessEventsFor(std::uniform_int_distribution<int>(0, 2)(random));
        }
        const auto all = [&] { return Received.size() >= sent.size() + spontaneous.size(); };
        const bool arrived = WaitFor(all, 5000);
        talk.join();
        std::vector<std::string> echoed;
        std::vector<std::string> heard;
        for (const auto& m : Received)
            (m[0] == 'B' ? echoed : heard).push_back(m);
        const auto taken = UsbDevfs::Messages(device, 0x02);
        bool failed = false;
        if (taken.size() > sent.size()) {
            ++duplicated;
            failed = true;
        }
        if (!arrived) {
            ++lost;
            failed = true;
        } else if (echoed != sent || heard != spontaneous) {
            ++wrong;
            failed = true;
        }
        // A reap that waits for another thread's URB waits for good once the
        // traffic stops.
        const auto since = std::chrono::steady_clock::now();
        while (UsbDevfs::BlockedReaps() > 0 && std::chrono::steady_clock::now() - since < std::chrono::milliseconds(500))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (UsbDevfs::BlockedReaps() > 0) {
            ++hung;
            failed = true;
            UsbDevfs::Unplug(device); // frees the stuck thread
        }
        // Freeing joins the threads: one left in a reap would hold it for
        // good, so a watchdog unplugs the device after a while.
        std::atomic<bool> freed{false};
        std::atomic<bool> stuck{false};
        std::thread watchdog([&] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!freed && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (!freed) {
                stuck = true;
                UsbDevfs::Unplug(device);
            }
        });
        Link.reset();
        freed = true;
        watchdog.join();
        if (stuck && !failed) {
            ++hung;
            failed = true;
        }
        if (failed) {
            ++failedRuns;
            std::printf("run %d: %zu of %zu messages arrived, %zu taken by the device, %s\n", run, Received.size(),
                        sent.size() + spontaneous.size(), taken.size(), stuck ? "stuck when freed" : "");
        }
        timedOutWrites += UsbDevfs::DiscardedWriteAges().size();
        ProcessEventsFor(0);
    }
    std::printf("runs failed: %d (lost %d, wrong or reordered %d, duplicated %d, hung %d)\n", failedRuns, lost, wrong,
                duplicated, hung);
    EXPECT_EQ(failedRuns, 0);
    EXPECT_EQ(timedOutWrites, 0u); // the device took every write at once
}
