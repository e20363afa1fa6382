// The link on our libusb 0.1 layer over the real libusb-1.0, which runs on an
// emulation of the kernel's usbdevfs (tests/usb/UsbDevfs.h): search,
// endpoints, messages both ways in chunks, the time-outs handed to the
// library, stalls, unplugging, a device that takes no write, and closing and
// freeing while the three threads wait in their transfers, in real time.
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

#include <libusb.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Every transfer the layer hands libusb-1.0: its endpoint and time-out.
std::mutex gHandedLock;
std::vector<std::pair<int, unsigned>> gHanded;

std::vector<std::pair<int, unsigned>> TakeHanded()
{
    std::lock_guard lock(gHandedLock);
    return std::exchange(gHanded, {});
}

} // namespace

// The program's own entry of libusb-1.0's transfer submission, in front of
// the library's: it notes what the layer asks for and passes it on.
extern "C" int libusb_submit_transfer(struct libusb_transfer* transfer)
{
    using TSubmit = int (*)(struct libusb_transfer*);
    static const auto real = reinterpret_cast<TSubmit>(::dlsym(RTLD_NEXT, "libusb_submit_transfer"));
    {
        std::lock_guard lock(gHandedLock);
        gHanded.emplace_back(transfer->endpoint, transfer->timeout);
    }
    return real(transfer);
}

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
        EXPECT_EQ(UsbDevfs::WaitingThreads(), 0);
        EXPECT_EQ(UsbDevfs::Violations(), 0);
        EXPECT_TRUE(UsbDevfs::UnknownRequests().empty());
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

// Every write and every read goes to libusb-1.0 with the time-out of
// 10255 ms.
TEST_F(UsbDevfsTest, EveryTransferIsHandedTheTimeOutOf10255Ms)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    ASSERT_TRUE(link.Connected());
    link.SendBulk('A', "bulk");
    link.SendInterrupt('B', "interrupt");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1 && UsbDevfs::Messages(device, 0x01).size() == 1; }));
    const auto handed = TakeHanded();
    std::vector<int> endpoints;
    for (const auto& [endpoint, timeout] : handed) {
        EXPECT_EQ(timeout, 10255u) << std::hex << endpoint;
        endpoints.push_back(endpoint);
    }
    for (const int endpoint : {0x01, 0x02, 0x81, 0x82})
        EXPECT_NE(std::find(endpoints.begin(), endpoints.end(), endpoint), endpoints.end()) << std::hex << endpoint;
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

// Close while the reads wait on the device and the device takes no write:
// releasing the interface ends the transfers at once, and the threads report
// nothing for them (no close of the next connection, no beep, no new
// thread). The node is closed only once no thread transfers on it (the
// emulation counts a close under a running transfer).
TEST_F(UsbDevfsTest, ClosingEndsTheTransfersAtOnceAndTheirEndIsReportedToNoOne)
{
    const int device = AddDevice();
    UsbDevfs::HoldWrites(device, 0x02, true);
    auto& link = MakeLink();
    const unsigned beeps = BeepCount();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        Changes.clear();
        link.Connect();
        ASSERT_TRUE(link.Connected());
        if (round == 0)
            link.SendBulk('A', "never taken"); // goes again on every new handle
        ASSERT_TRUE(WaitFor([&] {
            return UsbDevfs::Pending(device, 0x81) == 1 && UsbDevfs::Pending(device, 0x82) == 1 &&
                   UsbDevfs::Pending(device, 0x02) == 1;
        }));
        const auto start = std::chrono::steady_clock::now();
        link.Close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)); // not a time-out of 10 s
        EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
        EXPECT_EQ(UsbDevfs::Violations(), 0);
        // The next connection stays up: nothing of the last one closes it.
        link.Connect();
        ASSERT_TRUE(link.Connected());
        ProcessEventsFor(100);
        EXPECT_TRUE(link.Connected());
        EXPECT_EQ(Changes, (std::vector<bool>{true, false, true}));
        link.Close();
        EXPECT_EQ(link.SendQueueAmount(), 1); // the package waits for the device
    }
    EXPECT_EQ(BeepCount(), beeps);
    link.Connect();
    ASSERT_TRUE(WaitFor([&] { return UsbDevfs::Pending(device, 0x02) == 1; }));
    Link.reset();
    EXPECT_EQ(UsbDevfs::Violations(), 0);
}

// A device that takes no write for 25 s: the interrupt messages it sends
// meanwhile keep arriving, the write goes again after each time-out (after
// the full 10255 ms), and Close comes back at once.
TEST_F(UsbDevfsTest, ADeviceThatTakesNoWriteFor25sStillTalksAndTheLinkClosesAtOnce)
{
    const int device = AddDevice();
    UsbDevfs::SetEcho(device, false);
    UsbDevfs::HoldWrites(device, 0x02, true);
    auto& link = MakeLink();
    link.Connect();
    ASSERT_TRUE(link.Connected());
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    Link->SetOnReceive([&](TObject*, char, const std::string&) { arrivals.push_back(std::chrono::steady_clock::now()); });
    link.SendBulk('A', "held");
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread talk([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            UsbDevfs::SendInterrupt(device, "I" + std::to_string(sent.load()));
            ++sent;
        }
    });
    const auto start = std::chrono::steady_clock::now();
    ProcessEventsFor(25000);
    const auto closing = std::chrono::steady_clock::now();
    link.Close();
    const auto closed = std::chrono::steady_clock::now();
    stop = true;
    talk.join();
    EXPECT_LT(closed - closing, std::chrono::seconds(5));
    EXPECT_TRUE(UsbDevfs::Messages(device, 0x02).empty());
    EXPECT_EQ(link.SendQueueAmount(), 1);
    // Two time-outs of the write, each after the full time (the library
    // counts from just before it hands the URB over, and the emulation cuts
    // the time to whole milliseconds).
    const auto ages = UsbDevfs::DiscardedWriteAges();
    EXPECT_EQ(ages.size(), 2u);
    for (const long age : ages)
        EXPECT_GE(age, 10250);
    // The messages arrived all through the 25 s, none held back for long.
    ASSERT_GT(arrivals.size(), 100u);
    EXPECT_GE(static_cast<int>(arrivals.size()), sent.load() - 5);
    auto longest = arrivals.front() - start;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        longest = std::max(longest, arrivals[i] - arrivals[i - 1]);
    EXPECT_LT(longest, std::chrono::seconds(3)) << "generous: the device sends every 20 ms";
}

// An OnReceive handler that frees the link it was called by (the program
// switches the interface in answer to a message): nothing of the freed link
// is touched afterwards, and its threads and node are gone.
TEST_F(UsbDevfsTest, ALinkFreedInsideOnReceiveLeavesNothingBehind)
{
    const int device = AddDevice();
    auto c = std::make_unique<TCommunication>();
    c->SetVendorID(ZorvatekVendorID);
    c->SetProductID(ChunkedProductID);
    int received = 0;
    c->SetOnReceive([&](TObject*, char, const std::string&) {
        ++received;
        c->SetInterfaceType(TInterfaceType::itNone);
    });
    c->SetInterfaceType(TInterfaceType::itUSB);
    ASSERT_TRUE(c->Connected());
    UsbDevfs::SendInterrupt(device, "Afirst");
    UsbDevfs::SendInterrupt(device, "Bsecond"); // may be on its way to the window already
    ASSERT_TRUE(WaitFor([&] { return c->USBLink() == nullptr; }));
    ProcessEventsFor(50);
    EXPECT_EQ(received, 1);
    EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
    EXPECT_EQ(UsbDevfs::WaitingThreads(), 0);
    c.reset();
}

// A device pulled before its interface was given back makes the release fail
// (ENODEV); any other failure the kernel gives (EIO, EINVAL) libusb-1.0 tells
// as one kind, which the layer reports as -5. However the link is let go,
// the node is closed, and the error reaches the caller or the record.
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
            const int result = error == ENODEV ? -ENODEV : -EIO;
            const std::string expected = "Error (" + std::to_string(result) + ") releasing usb-interface";
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
                EXPECT_EQ(raised, result == -5 ? "" : expected); // Close lets -5 pass
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
