// The link against the scripted bus: search, endpoints, opening, closing,
// queueing and receiving.
#include "platform/Exception.h"
#include "tests/usb/ErrorOf.h"
#include "tests/usb/UsbFixture.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

using FakeUsb::TCall;

bool Searched()
{
    const auto calls = FakeUsb::Calls();
    return std::find(calls.begin(), calls.end(), "find_busses") != calls.end();
}

class UsbLinkTest : public UsbFixture {};

} // namespace

TEST_F(UsbLinkTest, ConnectNeedsBothIds)
{
    struct TCase {
        std::int32_t Vendor;
        std::int32_t Product;
        int Code;
        int State;
        bool Search;
    };
    AddDevice();
    for (const TCase c : {TCase{ZorvatekVendorID, 0, 2, 1, false}, TCase{0, 4, 1, 1, false},
                          TCase{0, 0, 2, 1, false}, TCase{ZorvatekVendorID, 4, 0, 2, true}}) {
        FakeUsb::ClearCalls();
        auto& link = MakeLink(c.Vendor, c.Product);
        EXPECT_EQ(link.Connect(), c.Code) << c.Vendor << "/" << c.Product;
        EXPECT_EQ(link.State(), c.State);
        EXPECT_EQ(link.Connected(), c.State == 2);
        EXPECT_EQ(Searched(), c.Search);
        Link.reset();
    }
}

TEST_F(UsbLinkTest, TheSearchSkipsDevicesThatFailTheProbe)
{
    FakeUsb::AddDevice(0x1234, 4, FakeUsb::StandardEndpoints());     // 0: another vendor
    const int noOpen = AddDevice();                                   // 1
    const int noConfig = AddDevice();                                 // 2
    const int noClaim = AddDevice();                                  // 3
    FakeUsb::AddDevice(ZorvatekVendorID, 5, FakeUsb::StandardEndpoints()); // 4: another product
    const int good = AddDevice();                                     // 5
    FakeUsb::ScriptResult(noOpen, TCall::Open, -1);
    FakeUsb::ScriptResult(noConfig, TCall::SetConfiguration, -16);
    FakeUsb::ScriptResult(noClaim, TCall::ClaimInterface, -16);

    auto& link = MakeLink();
    EXPECT_EQ(link.Connect(), 0);
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(Changes, std::vector<bool>{true});
    EXPECT_EQ(FakeUsb::OpenHandles(), 1); // every probe was closed
    const auto calls = FakeUsb::Calls();
    const std::vector<std::string> expected = {
        "open 1",    "open 2",    "set_configuration 2 1", "close 2",
        "open 3",    "set_configuration 3 1", "claim 3 0", "close 3",
        "open 5",    "set_configuration 5 1", "claim 5 0", "release 5 0", "close 5", // the probe
        "open 5",    "set_configuration 5 1", "claim 5 0"};                           // the link's own
    const auto first = std::find(calls.begin(), calls.end(), "open 1");
    EXPECT_EQ(std::vector<std::string>(first, calls.end()), expected);
    (void)good;
}

TEST_F(UsbLinkTest, WithoutAMatchingDeviceTheLinkStaysClosedQuietly)
{
    FakeUsb::AddDevice(ZorvatekVendorID, 5, FakeUsb::StandardEndpoints());
    auto& link = MakeLink();
    EXPECT_EQ(link.Connect(), 0);
    EXPECT_EQ(link.State(), 0);
    EXPECT_FALSE(link.Connected());
    EXPECT_TRUE(Changes.empty());
    link.SendInterrupt('A', "dropped");
    EXPECT_EQ(link.SendQueueAmount(), 0);
    EXPECT_TRUE(DebugSent.empty());
}

TEST_F(UsbLinkTest, EndpointsAreLearnedFromEverySettingAndLaterOnesWin)
{
    FakeUsb::AddDevice(ZorvatekVendorID, 4,
                       {
                           {0x00, 0, 64},          // control: skipped
                           {0x81, 3, 8},           // interrupt IN
                           {0x01, 3, 8},           // interrupt OUT
                           {0x83, 1, 512},         // isochronous: skipped
                           {0x82, 2, 64, 0, 0, 0}, // bulk IN
                           {0x84, 2, 32, 0, 0, 1}, // bulk IN of alt setting 1 overwrites it
                           {0x03, 2, 64, 0, 1, 0}, // bulk OUT of interface 1
                           {0x85, 3, 16, 1, 0, 0}, // interrupt IN of configuration 2
                       });
    auto& link = MakeLink();
    link.Connect();
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(link.InterruptInEndpoint(), 0x85);
    EXPECT_EQ(link.InterruptInMaxPaketSize(), 16);
    EXPECT_EQ(link.InterruptOutEndpoint(), 0x01);
    EXPECT_EQ(link.BulkInEndpoint(), 0x84);
    EXPECT_EQ(link.BulkInMaxPaketSize(), 32);
    EXPECT_EQ(link.BulkOutEndpoint(), 0x03);
}

TEST_F(UsbLinkTest, AnUnknownEndpointAttributeIsRaised)
{
    for (const std::uint8_t attribute : {4, 0x13, 0xFF}) {
        FakeUsb::Reset();
        FakeUsb::AddDevice(ZorvatekVendorID, 4, {{0x81, 3, 8}, {0x86, attribute, 8}});
        auto& link = MakeLink();
        EXPECT_EQ(ErrorOf([&] { link.Connect(); }),
                  Format("Invalid endpoint attribute %d for endpoint address 134", attribute));
        EXPECT_FALSE(link.Connected());
        Link.reset();
        EXPECT_EQ(FakeUsb::OpenHandles(), 0);
    }
}

TEST_F(UsbLinkTest, OpeningFailuresLeaveNoHandleOpen)
{
    struct TCase {
        const char* Name;
        TCall Call;
        int Result;
        std::string Raised;
    };
    const std::vector<TCase> cases = {
        {"claim -5: closed without an error", TCall::ClaimInterface, -5, "(nothing raised)"},
        {"claim busy", TCall::ClaimInterface, -16, "could not claim interface 0: busy"},
        {"configuration refused", TCall::SetConfiguration, -32, "could not set config 1: broken pipe"},
        {"open refused", TCall::Open, -1, "could not open: denied"},
    };
    for (const auto& c : cases) {
        FakeUsb::Reset();
        Changes.clear();
        const int device = AddDevice();
        FakeUsb::ScriptResult(device, c.Call, 0); // the probe passes
        FakeUsb::ScriptResult(device, c.Call, c.Result, c.Raised);
        auto& link = MakeLink();
        EXPECT_EQ(ErrorOf([&] { link.Connect(); }), c.Raised) << c.Name;
        EXPECT_EQ(link.State(), 0) << c.Name;
        EXPECT_FALSE(link.Connected()) << c.Name;
        EXPECT_EQ(link.DeviceHandle(), nullptr) << c.Name;
        EXPECT_TRUE(Changes.empty()) << c.Name;
        EXPECT_EQ(FakeUsb::OpenHandles(), 0) << c.Name;
        // -5 posts a close of its own, which finds nothing to do.
        QCoreApplication::processEvents();
        EXPECT_TRUE(Changes.empty()) << c.Name;
        Link.reset();
    }
}

TEST_F(UsbLinkTest, CloseReportsReleaseAndCloseErrorsButAlwaysCloses)
{
    struct TCase {
        TCall Call;
        int Result;
        std::string Raised;
    };
    const std::vector<TCase> cases = {
        {TCall::ReleaseInterface, -5, "(nothing raised)"},
        {TCall::ReleaseInterface, -32, "Error (-32) releasing usb-interface"},
        {TCall::ReleaseInterface, -19, "Error (-19) releasing usb-interface"},
        {TCall::Close, -9, "Error (-9) closing usb-interface 0"},
    };
    for (const auto& c : cases) {
        FakeUsb::Reset();
        const int device = AddDevice();
        auto& link = MakeLink();
        link.Connect();
        ASSERT_TRUE(link.Connected());
        FakeUsb::ScriptResult(device, c.Call, c.Result); // for the Close below
        Changes.clear();
        EXPECT_EQ(ErrorOf([&] { link.Close(); }), c.Raised) << c.Result;
        EXPECT_FALSE(link.Connected());
        EXPECT_EQ(link.DeviceHandle(), nullptr);
        EXPECT_EQ(Changes, std::vector<bool>{false});
        EXPECT_EQ(FakeUsb::OpenHandles(), 0);
        // Closed is closed: a second Close does nothing.
        EXPECT_EQ(link.Close(), 0);
        EXPECT_EQ(Changes, std::vector<bool>{false});
        Link.reset();
    }
}

TEST_F(UsbLinkTest, FreeingTheLinkReleasesWithoutReportingAndToleratesNothing)
{
    const int device = AddDevice();
    auto& link = MakeLink();
    link.Connect();
    Changes.clear();
    FakeUsb::ScriptResult(device, TCall::ReleaseInterface, -5);
    EXPECT_EQ(ErrorOf([&] { link.Shutdown(); }), "Error (-5) releasing usb-interface");
    EXPECT_TRUE(Changes.empty());
    EXPECT_EQ(FakeUsb::OpenHandles(), 0);

    // Freed without Shutdown, the destructor cannot raise: the error goes to
    // the record.
    std::vector<std::string> recorded;
    SetUnraisableErrorHandler([&](const std::string& source, const std::string& message) {
        recorded.push_back(source + ": " + message);
    });
    MakeLink().Connect();
    ASSERT_TRUE(Link->Connected());
    FakeUsb::ScriptResult(device, TCall::ReleaseInterface, -19);
    Link.reset();
    SetUnraisableErrorHandler({});
    EXPECT_EQ(recorded, std::vector<std::string>{"TUSB_Communication.Destroy: Error (-19) releasing usb-interface"});
    EXPECT_EQ(FakeUsb::OpenHandles(), 0);
}

TEST_F(UsbLinkTest, ClosingBeforeAnySearchStillReportsTheLinkDown)
{
    auto& link = MakeLink(ZorvatekVendorID, 0);
    EXPECT_EQ(link.Connect(), 2); // connecting, no search
    EXPECT_EQ(link.Close(), 0);
    EXPECT_EQ(link.State(), 0);
    EXPECT_EQ(Changes, std::vector<bool>{false});
}

TEST_F(UsbLinkTest, PackagesAreWrittenToTheirPipesAsPackaged)
{
    const int device = AddDevice(4, 8);
    auto& link = MakeLink();
    link.Connect();
    link.SendInterrupt('A', "123456789");
    link.SendBulk('B', "xy");
    const std::string chunked = std::string(1, '\0') + "A123456" + "\x81" "789";
    EXPECT_EQ(DebugSent, (std::vector<std::string>{chunked, std::string("\x80") + "Bxy"}));
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_FALSE(link.SendBusy());
    EXPECT_EQ(FakeUsb::Writes(device, 0x01), std::vector<std::string>{chunked});
    EXPECT_EQ(FakeUsb::Writes(device, 0x02), std::vector<std::string>{std::string("\x80") + "Bxy"});
    EXPECT_EQ(FakeUsb::LargestWriteTimeout(), USBTransferTimeout);

    // Another product: the message as it is.
    link.SetProductID(7);
    link.SendBulk('C', "0123456789");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::Writes(device, 0x02).back(), "C0123456789");
}

TEST_F(UsbLinkTest, APackageForAMissingPipeIsDroppedUnwritten)
{
    const int device = FakeUsb::AddDevice(ZorvatekVendorID, 4, {{0x81, 3, 8}, {0x82, 2, 8}, {0x02, 2, 8}});
    auto& link = MakeLink();
    link.Connect();
    link.SendInterrupt('A', "no interrupt OUT");
    link.SendBulk('B', "");
    ASSERT_TRUE(WaitFor([&] { return link.SendQueueAmount() == 0; }));
    EXPECT_EQ(FakeUsb::WriteCalls(device, 0), 0);
    EXPECT_EQ(FakeUsb::Writes(device, 0x02), std::vector<std::string>{std::string("\x80") + "B"});
}

TEST_F(UsbLinkTest, TransfersAreJoinedAndDeliveredInTheGuiThread)
{
    const int device = AddDevice(4, 8);
    auto& link = MakeLink();
    link.Connect();
    FakeUsb::PushRead(device, 0x81, std::string(1, '\0') + "Hello, ");
    FakeUsb::PushRead(device, 0x81, "\x81" "world");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
    EXPECT_EQ(Received[0], "Hello, world");
    EXPECT_EQ(DebugReceived, std::vector<std::string>{"Hello, world"});

    // Another product: whole transfers, joined until a short one.
    Link.reset();
    Received.clear();
    const int other = AddDevice(7, 8);
    MakeLink(ZorvatekVendorID, 7).Connect();
    FakeUsb::PushRead(other, 0x82, "ABCDEFGH"); // full: more follows
    FakeUsb::PushRead(other, 0x82, "IJ");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 1; }));
    EXPECT_EQ(Received[0], "ABCDEFGHIJ");
    // A message that fills whole transfers ends with a zero-length one.
    FakeUsb::PushRead(other, 0x82, "KLMNOPQR");
    FakeUsb::PushRead(other, 0x82, "");
    FakeUsb::PushRead(other, 0x82, "S");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 3; }));
    EXPECT_EQ(Received[1], "KLMNOPQR");
    EXPECT_EQ(Received[2], "S");
    EXPECT_LE(FakeUsb::LargestReadTimeout(), USBTransferTimeout);
}

TEST_F(UsbLinkTest, ANoticeWithAnEmptyListGivesCommandZero)
{
    auto& link = MakeLink();
    TMessageWindow::PostMessage(link.Handle(), WM_DATARECEIVED, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(Received, std::vector<std::string>{std::string(1, '\0')});
    EXPECT_EQ(DebugReceived, std::vector<std::string>{""});

    // Without OnReceive the notice is left alone.
    link.SetOnReceive({});
    TMessageWindow::PostMessage(link.Handle(), WM_DATARECEIVED, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(DebugReceived.size(), 1u);
}
