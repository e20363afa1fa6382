// Our libusb 0.1 layer (link/UsbLegacy.h) on the real libusb-1.0 over the
// emulated kernel (tests/usb/UsbDevfs.h), called directly: the search, the
// results of transfers as the kernel ends them, and several threads on one
// handle at once.
#include "link/USB_Communication.h"
#include "link/UsbLegacy.h"
#include "tests/usb/UsbDevfs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class UsbLegacyTest : public testing::Test {
protected:
    void SetUp() override
    {
        UsbDevfs::Reset();
        usb_init();
        usb_set_debug(0);
    }
    void TearDown() override
    {
        for (usb_dev_handle* h : Handles)
            usb_close(h);
        EXPECT_EQ(UsbDevfs::OpenNodes(), 0);
        EXPECT_EQ(UsbDevfs::WaitingThreads(), 0);
        EXPECT_EQ(UsbDevfs::Violations(), 0);
        EXPECT_TRUE(UsbDevfs::UnknownRequests().empty());
    }

    static std::vector<usb_device*> Search()
    {
        usb_find_busses();
        usb_find_devices();
        std::vector<usb_device*> found;
        for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next)
            for (usb_device* d = bus->devices; d; d = d->next)
                found.push_back(d);
        return found;
    }

    // The device with these ids, opened, configured and its interface claimed.
    usb_dev_handle* Open(std::uint16_t product)
    {
        for (usb_device* d : Search()) {
            if (d->descriptor.idVendor != ZorvatekVendorID || d->descriptor.idProduct != product)
                continue;
            usb_dev_handle* h = usb_open(d);
            if (!h)
                continue;
            EXPECT_EQ(usb_set_configuration(h, 1), 0);
            EXPECT_EQ(usb_claim_interface(h, 0), 0);
            Handles.push_back(h);
            return h;
        }
        ADD_FAILURE() << "no device " << product;
        return nullptr;
    }
    void Close(usb_dev_handle* h)
    {
        std::erase(Handles, h);
        EXPECT_EQ(usb_close(h), 0);
    }

    std::vector<usb_dev_handle*> Handles;
};

// A transfer in a thread of its own: its result and how long it took.
struct TTransfer {
    int Result = 0;
    std::string Data;
    double Seconds = 0;
    std::thread Thread;

    void Start(std::function<int(char*, int)> call, int size)
    {
        Thread = std::thread([this, call, size] {
            std::string buffer(static_cast<std::size_t>(size), '\0');
            const auto start = Clock::now();
            Result = call(buffer.data(), size);
            Seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (Result > 0)
                Data = buffer.substr(0, static_cast<std::size_t>(Result));
        });
    }
    void Join() { Thread.join(); }
};

bool WaitUntil(const std::function<bool()>& done, int ms = 20000)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

TEST_F(UsbLegacyTest, TheSearchListsEveryNodeWithTheDescriptorsReadFromIt)
{
    const int other = UsbDevfs::AddDevice(0x1234, 7, {{0x83, 3, 16}, {0x04, 2, 512}});
    UsbDevfs::AddDevice(ZorvatekVendorID, ChunkedProductID, UsbDevfs::StandardEndpoints(64));
    auto found = Search();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(found[0]->bus->dirname, "001");
    EXPECT_EQ(found[0]->descriptor.idVendor, 0x1234);
    EXPECT_EQ(found[0]->descriptor.idProduct, 7);
    ASSERT_EQ(found[0]->descriptor.bNumConfigurations, 1);
    const usb_config_descriptor& config = found[0]->config[0];
    EXPECT_EQ(config.bConfigurationValue, 1);
    ASSERT_EQ(config.bNumInterfaces, 1);
    ASSERT_EQ(config.interface[0].num_altsetting, 1);
    const usb_interface_descriptor& setting = config.interface[0].altsetting[0];
    ASSERT_EQ(setting.bNumEndpoints, 2);
    EXPECT_EQ(setting.endpoint[0].bEndpointAddress, 0x83);
    EXPECT_EQ(setting.endpoint[0].bmAttributes, USB_ENDPOINT_TYPE_INTERRUPT);
    EXPECT_EQ(setting.endpoint[0].wMaxPacketSize, 16);
    EXPECT_EQ(setting.endpoint[1].bEndpointAddress, 0x04);
    EXPECT_EQ(setting.endpoint[1].wMaxPacketSize, 512);
    EXPECT_EQ(found[1]->descriptor.idVendor, ZorvatekVendorID);
    EXPECT_EQ(found[1]->config[0].interface[0].altsetting[0].bNumEndpoints, 4);

    // A device that goes leaves the list; its record stays readable.
    usb_device* gone = found[0];
    UsbDevfs::Unplug(other);
    found = Search();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->descriptor.idVendor, ZorvatekVendorID);
    EXPECT_EQ(gone->descriptor.idProduct, 7);
    EXPECT_EQ(UsbDevfs::OpenNodes(), 0); // the search closed every node it read
}

// The device sends in the very moment the read's time-out discards the URB:
// the URB has completed, and the data is the read's result, not a time-out.
// The rest of the message waits on the device for the next read.
TEST_F(UsbLegacyTest, AReadWhoseDataComesAtItsTimeOutReturnsTheData)
{
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, 5, UsbDevfs::StandardEndpoints(8));
    usb_dev_handle* h = Open(5);
    ASSERT_NE(h, nullptr);
    for (const int endpoint : {0x81, 0x82}) {
        SCOPED_TRACE(endpoint);
        UsbDevfs::SendAtDiscard(device, endpoint, "just in time");
        char buffer[8];
        const auto read = [&](int timeout) {
            return endpoint == 0x81 ? usb_interrupt_read(h, endpoint, buffer, 8, timeout)
                                    : usb_bulk_read(h, endpoint, buffer, 8, timeout);
        };
        ASSERT_EQ(read(30), 8);
        EXPECT_EQ(std::string(buffer, 8), "just in ");
        ASSERT_EQ(read(30), 4);
        EXPECT_EQ(std::string(buffer, 4), "time");
        // Nothing more: a time-out, after the time it was given.
        const auto start = Clock::now();
        EXPECT_EQ(read(30), -ETIMEDOUT);
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    }
}

// Releasing the interface ends every transfer on the handle at once (the
// kernel ends the URBs): two reads and a write the device does not take.
// Nothing starts on the handle until the interface is claimed again.
TEST_F(UsbLegacyTest, ReleasingTheInterfaceEndsTheTransfersOfEveryThreadAtOnce)
{
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, 5, UsbDevfs::StandardEndpoints(64));
    usb_dev_handle* h = Open(5);
    ASSERT_NE(h, nullptr);
    UsbDevfs::HoldWrites(device, 0x02, true);
    TTransfer interruptRead;
    TTransfer bulkRead;
    TTransfer write;
    interruptRead.Start([h](char* b, int n) { return usb_interrupt_read(h, 0x81, b, n, 10255); }, 64);
    bulkRead.Start([h](char* b, int n) { return usb_bulk_read(h, 0x82, b, n, 10255); }, 64);
    write.Start([h](char*, int) { return usb_bulk_write(h, 0x02, "held", 4, 10255); }, 0);
    ASSERT_TRUE(WaitUntil([&] {
        return UsbDevfs::Pending(device, 0x81) == 1 && UsbDevfs::Pending(device, 0x82) == 1 &&
               UsbDevfs::Pending(device, 0x02) == 1;
    }));
    EXPECT_EQ(usb_release_interface(h, 0), 0);
    for (TTransfer* t : {&interruptRead, &bulkRead, &write}) {
        t->Join();
        EXPECT_EQ(t->Result, -ENODEV);
        EXPECT_LT(t->Seconds, 5.0); // not the time-out of 10 s
    }
    char buffer[64];
    EXPECT_EQ(usb_interrupt_read(h, 0x81, buffer, 64, 10255), -ENODEV);
    EXPECT_TRUE(UsbDevfs::Messages(device, 0x02).empty());

    UsbDevfs::HoldWrites(device, 0x02, false);
    ASSERT_EQ(usb_claim_interface(h, 0), 0);
    UsbDevfs::SendInterrupt(device, "again");
    EXPECT_EQ(usb_interrupt_read(h, 0x81, buffer, 64, 10255), 5);
    EXPECT_EQ(usb_bulk_write(h, 0x02, "taken", 5, 10255), 5);
    EXPECT_EQ(UsbDevfs::Messages(device, 0x02), std::vector<std::string>{"taken"});
}

// Three threads on one handle, each waiting for its own transfer: the device
// answers them in another order than they were made.
TEST_F(UsbLegacyTest, ThreadsOnOneHandleEachGetTheirOwnTransfer)
{
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, 5, UsbDevfs::StandardEndpoints(64));
    UsbDevfs::SetEcho(device, false);
    usb_dev_handle* h = Open(5);
    ASSERT_NE(h, nullptr);
    for (int round = 0; round < 20; ++round) {
        TTransfer interruptRead;
        TTransfer bulkRead;
        interruptRead.Start([h](char* b, int n) { return usb_interrupt_read(h, 0x81, b, n, 10255); }, 64);
        bulkRead.Start([h](char* b, int n) { return usb_bulk_read(h, 0x82, b, n, 10255); }, 64);
        ASSERT_TRUE(WaitUntil([&] { return UsbDevfs::Pending(device, 0x81) + UsbDevfs::Pending(device, 0x82) == 2; }));
        EXPECT_EQ(usb_bulk_write(h, 0x02, "out", 3, 10255), 3);
        if (round % 2) {
            UsbDevfs::SendBulk(device, "bulk" + std::to_string(round));
            UsbDevfs::SendInterrupt(device, "interrupt" + std::to_string(round));
        } else {
            UsbDevfs::SendInterrupt(device, "interrupt" + std::to_string(round));
            UsbDevfs::SendBulk(device, "bulk" + std::to_string(round));
        }
        interruptRead.Join();
        bulkRead.Join();
        EXPECT_EQ(interruptRead.Data, "interrupt" + std::to_string(round));
        EXPECT_EQ(bulkRead.Data, "bulk" + std::to_string(round));
    }
}

TEST_F(UsbLegacyTest, AStallAndADeviceThatGoesAreReportedAsTheKernelSaysThem)
{
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, 5, UsbDevfs::StandardEndpoints(64));
    usb_dev_handle* h = Open(5);
    ASSERT_NE(h, nullptr);
    UsbDevfs::Stall(device, 0x02, 1);
    EXPECT_EQ(usb_bulk_write(h, 0x02, "a", 1, 10255), -EPIPE);
    EXPECT_EQ(usb_bulk_write(h, 0x02, "a", 1, 10255), -EPIPE); // halted until cleared
    EXPECT_EQ(usb_clear_halt(h, 0x02), 0);
    EXPECT_EQ(usb_bulk_write(h, 0x02, "a", 1, 10255), 1);

    TTransfer read;
    read.Start([h](char* b, int n) { return usb_interrupt_read(h, 0x81, b, n, 10255); }, 64);
    ASSERT_TRUE(WaitUntil([&] { return UsbDevfs::Pending(device, 0x81) == 1; }));
    UsbDevfs::Unplug(device);
    read.Join();
    EXPECT_EQ(read.Result, -ENODEV);
    EXPECT_LT(read.Seconds, 5.0);
    EXPECT_EQ(usb_bulk_write(h, 0x02, "a", 1, 10255), -ENODEV);
    EXPECT_EQ(usb_release_interface(h, 0), -ENODEV);
}

// usb_close ends what still runs on the handle before it lets the node go.
TEST_F(UsbLegacyTest, ClosingEndsTheTransfersStillRunning)
{
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, 5, UsbDevfs::StandardEndpoints(64));
    usb_dev_handle* h = Open(5);
    ASSERT_NE(h, nullptr);
    TTransfer read;
    read.Start([h](char* b, int n) { return usb_bulk_read(h, 0x82, b, n, 10255); }, 64);
    ASSERT_TRUE(WaitUntil([&] { return UsbDevfs::Pending(device, 0x82) == 1; }));
    Close(h);
    read.Join();
    EXPECT_EQ(read.Result, -ENODEV);
    EXPECT_LT(read.Seconds, 5.0);
}

TEST_F(UsbLegacyTest, FailuresGiveTheirErrnoAndText)
{
    const int device = UsbDevfs::AddDevice(ZorvatekVendorID, 5, UsbDevfs::StandardEndpoints(64));
    usb_dev_handle* first = Open(5);
    ASSERT_NE(first, nullptr);
    usb_device* record = Search().at(0);
    usb_dev_handle* second = usb_open(record);
    ASSERT_NE(second, nullptr);
    Handles.push_back(second);
    EXPECT_EQ(usb_claim_interface(second, 0), -EBUSY);
    EXPECT_NE(std::string(usb_strerror()).find("Device or resource busy"), std::string::npos) << usb_strerror();
    EXPECT_EQ(usb_set_configuration(second, 1), -EBUSY);
    Close(second);

    UsbDevfs::Fail(device, UsbDevfs::TCall::Open, EACCES);
    EXPECT_EQ(usb_open(record), nullptr);
    EXPECT_NE(std::string(usb_strerror()).find("Permission denied"), std::string::npos) << usb_strerror();
    char buffer[8];
    EXPECT_EQ(usb_bulk_read(first, 0x05, buffer, 8, 100), -EIO); // no such endpoint: libusb-1.0 says I/O error
}
