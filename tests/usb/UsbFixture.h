#pragma once
// A link on the scripted bus, with what it reports recorded.
#include "link/USB_Communication.h"
#include "tests/common/TestServices.h"
#include "tests/usb/FakeUsb.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

class UsbFixture : public testing::Test {
protected:
    void SetUp() override
    {
        FakeUsb::Reset();
        TestDialogs().Clear();
    }
    void TearDown() override
    {
        Link.reset();
        // The link never uses a handle after closing it, nor closes one that
        // a thread is still transferring on.
        EXPECT_EQ(FakeUsb::Violations(), 0);
        EXPECT_EQ(FakeUsb::OpenHandles(), 0);
        EXPECT_TRUE(TestDialogs().Boxes().empty());
    }

    // A device of the maker with the usual endpoints.
    int AddDevice(std::uint16_t product = ChunkedProductID, std::uint16_t packet = 8)
    {
        return FakeUsb::AddDevice(ZorvatekVendorID, product, FakeUsb::StandardEndpoints(packet));
    }

    TUSB_Communication& MakeLink(std::int32_t vendor = ZorvatekVendorID, std::int32_t product = ChunkedProductID)
    {
        Link = std::make_unique<TUSB_Communication>(vendor, product);
        Link->SetOnConnectionChange([this](TObject* sender, bool up) {
            EXPECT_EQ(sender, Link.get());
            EXPECT_EQ(std::this_thread::get_id(), GuiThread);
            Changes.push_back(up);
        });
        Link->SetOnReceive([this](TObject* sender, char cmd, const std::string& data) {
            EXPECT_EQ(sender, Link.get());
            EXPECT_EQ(std::this_thread::get_id(), GuiThread);
            Received.push_back(std::string(1, cmd) + data);
        });
        Link->SetOnDebugSendData([this](const std::string& s) { DebugSent.push_back(s); });
        Link->SetOnDebugReceiveData([this](const std::string& s) { DebugReceived.push_back(s); });
        return *Link;
    }

    bool WaitFor(const std::function<bool()>& done) { return ProcessEventsUntil(done, 20000); }

    const std::thread::id GuiThread = std::this_thread::get_id();
    std::unique_ptr<TUSB_Communication> Link;
    std::vector<bool> Changes;
    std::vector<std::string> Received;
    std::vector<std::string> DebugSent;
    std::vector<std::string> DebugReceived;
};
