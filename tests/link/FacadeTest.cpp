// The device link facade: which link it holds, what it hands on, what it
// sends. The serial port thread runs in virtual time here.
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "link/USB_Communication.h"
#include "platform/Beep.h"
#include "tests/link/VirtualComIo.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class FacadeTest : public testing::Test {
protected:
    void SetUp() override
    {
        TMyComInterface::SetIoFactory([this](HWND window, std::uint16_t port) {
            auto io = std::make_unique<TVirtualComIo>(window);
            Ios.push_back(io.get());
            Ports.push_back(port);
            return io;
        });
    }
    void TearDown() override { TMyComInterface::SetIoFactory({}); }

    std::vector<TVirtualComIo*> Ios;
    std::vector<std::uint16_t> Ports;
};

} // namespace

TEST_F(FacadeTest, AFreshObjectHasNoLink)
{
    TCommunication c;
    EXPECT_EQ(c.InterfaceType(), TInterfaceType::itNone);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.Status(), 0u);
    EXPECT_EQ(c.Handle(), 0u);
    EXPECT_FALSE(c.SendBusy());
    EXPECT_EQ(c.SendQueueAmount(), 0);
    EXPECT_EQ(c.UploadGoAheadReply(), TUploadReplyStatus::urUndefined);
    EXPECT_TRUE(c.SendText(nullptr, "Ahello", 0));
    EXPECT_TRUE(c.Send(nullptr, 'A', "x", 1));
    EXPECT_FALSE(c.Reconnect());
    EXPECT_TRUE(c.Close());
}

TEST_F(FacadeTest, SendTextSplitsCommandAndData)
{
    TCommunication c;
    c.SetPortNumber(4);
    c.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_EQ(Ios.size(), 1u);
    EXPECT_TRUE(c.SendText(nullptr, "", 0));
    EXPECT_TRUE(Ios[0]->ThreadMessages.empty()); // nothing sent
    EXPECT_TRUE(c.SendText(nullptr, "A", 0));
    EXPECT_TRUE(c.SendText(nullptr, "Bxy", 7)); // the transfer is ignored on serial
    ASSERT_EQ(Ios[0]->ThreadMessages.size(), 2u);
    EXPECT_EQ(Ios[0]->ThreadMessages[0].WParam, static_cast<std::uintptr_t>('A'));
    EXPECT_FALSE(Ios[0]->ThreadMessages[0].Block.has_value());
    EXPECT_EQ(Ios[0]->ThreadMessages[1].WParam, (2u << 16) | 'B');
    EXPECT_EQ(Ios[0]->ThreadMessages[1].Block.value(), "xy");
}

TEST_F(FacadeTest, EventsBoundBeforeOrAfterReachTheLink)
{
    TCommunication c;
    std::vector<std::string> log;
    c.SetOnConnectionChange([&](TObject* s, bool up) {
        log.push_back(std::string(up ? "up" : "down") + (s == c.SerialLink() ? " serial" : " ?"));
    });
    c.SetPortNumber(1);
    c.SetInterfaceType(TInterfaceType::itSerial);
    c.SetOnReceive([&](TObject*, char cmd, const std::string& data) { log.push_back(std::string(1, cmd) + data); });
    QCoreApplication::processEvents();
    Ios[0]->PostToInterface(RegisterWindowMessage("ComVerbStatus"), 1, {});
    Ios[0]->PostToInterface(RegisterWindowMessage("ComReceive"), (2u << 16) | 'R', std::make_unique<std::string>("ok"));
    QCoreApplication::processEvents();
    EXPECT_EQ(log, (std::vector<std::string>{"down serial", "up serial", "Rok"}));
    EXPECT_TRUE(c.Connected());
    EXPECT_TRUE(c.Verbindung_ok());
    EXPECT_NE(c.Handle(), 0u);
}

// The beep on the acknowledgement of command J is an option of the port
// thread. Opening a serial link leaves it off, and the facade's
// ClearStatusBits, which the main window calls after opening, reaches the
// thread and turns it off.
TEST_F(FacadeTest, OpeningSerialClearsTheBeepOption)
{
    TCommunication c;
    c.SetPortNumber(1);
    // Beeps when the device acknowledges a J, on the link open right now.
    auto beepsOnJ = [&] {
        TVirtualComIo& io = *Ios.back();
        io.DeliverThreadMessages();
        io.Receive(std::string{Serial::ENQ}); // the device brings the link up
        const unsigned before = BeepCount();
        EXPECT_TRUE(c.SendText(nullptr, "Jx", 0));
        io.DeliverThreadMessages();
        EXPECT_TRUE(io.TakeWritten().find(Serial::BuildFrame('J', "x", 0x00)) != std::string::npos);
        io.Receive(std::string{Serial::STX, 0x01, Serial::ACK}); // the device took frame 0
        const auto* protocol = dynamic_cast<const TMyComControl*>(io.Control());
        EXPECT_TRUE(protocol && !protocol->FrameInFlight());
        return BeepCount() - before;
    };
    c.SetInterfaceType(TInterfaceType::itSerial);
    EXPECT_EQ(c.Status() & Serial::OptionBeepOnJ, 0u);
    EXPECT_EQ(beepsOnJ(), 0u);
    // With the option on, the acknowledged J beeps.
    c.SerialLink()->SetStatusBits(Serial::OptionBeepOnJ);
    EXPECT_EQ(c.Status() & Serial::OptionBeepOnJ, Serial::OptionBeepOnJ);
    EXPECT_EQ(beepsOnJ(), 1u);
    // The facade clears it on the thread.
    c.ClearStatusBits(Serial::OptionBeepOnJ);
    EXPECT_EQ(c.Status() & Serial::OptionBeepOnJ, 0u);
    EXPECT_EQ(beepsOnJ(), 0u);
    // Opened again, the new link has it off, whatever the old one had.
    c.SerialLink()->SetStatusBits(Serial::OptionBeepOnJ);
    c.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_EQ(Ios.size(), 2u);
    EXPECT_EQ(c.Status() & Serial::OptionBeepOnJ, 0u);
    EXPECT_EQ(beepsOnJ(), 0u);
    // Without a serial link there is nothing to clear.
    c.SetInterfaceType(TInterfaceType::itNone);
    c.ClearStatusBits(Serial::OptionBeepOnJ);
    EXPECT_EQ(c.Status(), 0u);
}

TEST_F(FacadeTest, PortNumberRestartsAnOpenPortAndIsOnlyStoredOtherwise)
{
    TCommunication c;
    c.SetPortNumber(2); // no link: stored
    EXPECT_TRUE(Ios.empty());
    c.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_EQ(Ports, std::vector<std::uint16_t>{2});
    c.SetPortNumber(5);
    EXPECT_EQ(Ports, (std::vector<std::uint16_t>{2, 5}));
    EXPECT_EQ(c.SerialLink()->PortNumber(), 5);
    // Closed port: only the number changes; Reconnect opens it.
    EXPECT_TRUE(c.Close());
    c.SetPortNumber(6);
    EXPECT_EQ(Ports.size(), 2u);
    EXPECT_TRUE(c.Reconnect());
    EXPECT_EQ(Ports, (std::vector<std::uint16_t>{2, 5, 6}));
}

TEST_F(FacadeTest, SwitchingInterfacesKeepsOneLink)
{
    TCommunication c;
    c.SetPortNumber(1);
    c.SetVendorID(0x1234);
    c.SetProductID(4);
    c.SetInterfaceType(TInterfaceType::itSerial);
    EXPECT_NE(c.SerialLink(), nullptr);
    EXPECT_EQ(c.USBLink(), nullptr);
    c.SetInterfaceType(TInterfaceType::itUSB);
    EXPECT_EQ(c.SerialLink(), nullptr);
    ASSERT_NE(c.USBLink(), nullptr);
    EXPECT_EQ(c.USBLink()->VendorID(), 0x1234);
    EXPECT_EQ(c.USBLink()->ProductID(), 4);
    EXPECT_FALSE(c.Connected());
    EXPECT_TRUE(c.Send(nullptr, 'A', "x", 2)); // no such pipe: nothing, but true
    c.SetInterfaceType(TInterfaceType::itNone);
    EXPECT_EQ(c.SerialLink(), nullptr);
    EXPECT_EQ(c.USBLink(), nullptr);
    EXPECT_FALSE(c.Connected());
}

TEST_F(FacadeTest, UsbReconnectTellsWhetherAnIdWasMissing)
{
    TCommunication c;
    c.SetInterfaceType(TInterfaceType::itUSB);
    EXPECT_TRUE(c.Reconnect()); // product id 0
    c.SetProductID(4);
    EXPECT_TRUE(c.Reconnect()); // vendor id 0
    c.SetVendorID(0x1234);
    EXPECT_FALSE(c.Reconnect()); // a search was made
    EXPECT_FALSE(c.Close());
}

// A serial link without a port thread (port 0, or the port closed) refuses
// what it is given, where a facade without any link takes it: nothing is
// posted and nothing reaches the monitor. Once a thread runs, sends go.
TEST_F(FacadeTest, SerialSendWithoutAPortThreadIsRefused)
{
    // Counts what reaches any port thread, also one that is freed since.
    struct TCountingIo : TVirtualComIo {
        TCountingIo(HWND window, int& posted) : TVirtualComIo(window), Posted(posted) {}
        bool PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) override
        {
            ++Posted;
            return TVirtualComIo::PostThreadMessage(msg, wParam, std::move(block));
        }
        int& Posted;
    };
    int posted = 0;
    TCountingIo* live = nullptr;
    TMyComInterface::SetIoFactory([&](HWND window, std::uint16_t) {
        auto io = std::make_unique<TCountingIo>(window, posted);
        live = io.get();
        return io;
    });
    struct TCase {
        const char* What;
        std::uint16_t Port;
        bool CloseFirst;
    };
    const TCase cases[] = {{"port number 0", 0, false}, {"the port closed", 1, true}};
    for (const TCase& k : cases) {
        SCOPED_TRACE(k.What);
        posted = 0;
        TCommunication c;
        std::vector<std::string> monitor;
        c.SetOnDebugSendData([&](const std::string& m) { monitor.push_back(m); });
        c.SetPortNumber(k.Port);
        c.SetInterfaceType(TInterfaceType::itSerial);
        if (k.CloseFirst) {
            EXPECT_TRUE(c.Close());
        }
        ASSERT_NE(c.SerialLink(), nullptr);
        EXPECT_FALSE(c.SerialLink()->HasPortThread());
        EXPECT_FALSE(c.SendText(nullptr, "Ax", 0));
        EXPECT_FALSE(c.Send(nullptr, 'B', "", 1));
        EXPECT_TRUE(c.SendText(nullptr, "", 0)); // nothing to send
        EXPECT_EQ(posted, 0);
        EXPECT_TRUE(monitor.empty());

        // Port 0: reconnecting sets the flag but starts no thread.
        c.SetPortNumber(0);
        EXPECT_TRUE(c.Reconnect());
        EXPECT_FALSE(c.SerialLink()->HasPortThread());
        EXPECT_FALSE(c.SendText(nullptr, "Ax", 0));
        EXPECT_EQ(posted, 0);
        // A port: its thread takes the message, and the monitor shows it.
        live = nullptr;
        c.SetPortNumber(2);
        EXPECT_TRUE(c.SerialLink()->HasPortThread());
        EXPECT_TRUE(c.SendText(nullptr, "Cy", 0));
        ASSERT_NE(live, nullptr);
        ASSERT_EQ(live->ThreadMessages.size(), 1u);
        EXPECT_EQ(live->ThreadMessages[0].WParam, (1u << 16) | 'C');
        EXPECT_EQ(posted, 1);
        EXPECT_EQ(monitor, std::vector<std::string>{"Cy"});
    }
}

TEST_F(FacadeTest, SerialSendPassesOnTheRefusalOfAnOverlongMessage)
{
    TCommunication c;
    c.SetPortNumber(1);
    c.SetInterfaceType(TInterfaceType::itSerial);
    EXPECT_TRUE(c.Send(nullptr, 'A', std::string(249, 'x'), 0));
    EXPECT_FALSE(c.Send(nullptr, 'A', std::string(250, 'x'), 0));
    EXPECT_TRUE(c.SendText(nullptr, "A" + std::string(249, 'x'), 0));
    EXPECT_FALSE(c.SendText(nullptr, "A" + std::string(125, '\x05'), 0));
    ASSERT_EQ(Ios.size(), 1u);
    EXPECT_EQ(Ios[0]->ThreadMessages.size(), 2u);
}
