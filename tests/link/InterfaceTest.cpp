// The main-thread half of the serial link: events, status bits, the overload
// rule, with the port thread in virtual time.
#include "tests/common/TestServices.h"
#include "tests/link/VirtualComIo.h"

#include "platform/Beep.h"
#include "platform/Exception.h"

#include <QCoreApplication>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

class InterfaceTest : public testing::Test {
protected:
    void SetUp() override
    {
        TMyComInterface::SetIoFactory([this](HWND window, std::uint16_t) {
            auto io = std::make_unique<TVirtualComIo>(window);
            Io = io.get();
            return io;
        });
        TestDialogs().Clear();
    }
    void TearDown() override { TMyComInterface::SetIoFactory({}); }

    void Pump() { QCoreApplication::processEvents(); }

    // What the port thread would post for a received message.
    void Receive(char cmd, const std::string& data)
    {
        std::unique_ptr<std::string> block;
        if (!data.empty())
            block = std::make_unique<std::string>(data);
        TMessageWindow::PostMessage(Link.Handle(), RegisterWindowMessage("ComReceive"),
                                    (data.size() << 16) | static_cast<std::uint8_t>(cmd), 0, std::move(block));
    }
    std::vector<std::uintptr_t> StatusPostsToThread() const
    {
        std::vector<std::uintptr_t> out;
        for (const auto& m : Io->ThreadMessages)
            if (m.Msg == RegisterWindowMessage("ComStatus"))
                out.push_back(m.WParam);
        return out;
    }

    TMyComInterface Link;
    TVirtualComIo* Io = nullptr;
};

} // namespace

TEST_F(InterfaceTest, OpenWithPortZeroStartsNothing)
{
    Link.SetOpen(true);
    EXPECT_TRUE(Link.Open());
    EXPECT_FALSE(Link.HasPortThread());
    EXPECT_EQ(Io, nullptr);
    EXPECT_FALSE(Link.Send(nullptr, 'A', "x"));
}

TEST_F(InterfaceTest, SendPostsTheMessageAndCopiesTheDataToTheMonitor)
{
    std::vector<std::string> monitor;
    Link.SetOnDebugSendData([&](const std::string& s) { monitor.push_back(s); });
    Link.SetPortNumber(3);
    Link.SetOpen(true);
    ASSERT_NE(Io, nullptr);
    ASSERT_TRUE(Link.Send(nullptr, 'A', std::string("a\0b", 3)));
    ASSERT_TRUE(Link.Send(nullptr, 'B', ""));
    ASSERT_EQ(Io->ThreadMessages.size(), 2u);
    EXPECT_EQ(Io->ThreadMessages[0].WParam, (3u << 16) | 'A');
    EXPECT_EQ(Io->ThreadMessages[0].Block.value(), std::string("a\0b", 3));
    EXPECT_FALSE(Io->ThreadMessages[1].Block.has_value());
    // The monitor's copy is the whole message, its command byte first.
    EXPECT_EQ(monitor, (std::vector<std::string>{std::string("Aa\0b", 4), "B"}));
}

TEST_F(InterfaceTest, MessageWhoseFrameWouldPassTheLimitIsRefused)
{
    // The frame is the data escaped plus six bytes; 255 bytes go, 256 do not.
    // Every 00 02 05 06 0D 0F 15 goes as two bytes.
    struct TCase {
        const char* What;
        std::string Data;
        bool Taken;
    };
    const std::string escaped = std::string("\x00\x02\x05\x06\x0D\x0F\x15", 7);
    std::string mixed; // 119 data bytes, 238 on the wire
    for (int i = 0; i < 17; ++i)
        mixed += escaped;
    const std::vector<TCase> cases = {
        {"249 plain bytes", std::string(249, 'x'), true},
        {"250 plain bytes", std::string(250, 'x'), false},
        {"124 escaped bytes and one plain", std::string(124, '\x0D') + "x", true},
        {"125 escaped bytes", std::string(125, '\x0D'), false},
        {"every escaped byte, 238 on the wire, and 11 plain", mixed + std::string(11, 'y'), true},
        {"the same and 12 plain", mixed + std::string(12, 'y'), false},
        {"one escaped byte past 249 plain", std::string(248, 'x') + '\x0F', false},
        {"a command alone", "", true},
    };
    std::vector<std::string> monitor;
    Link.SetOnDebugSendData([&](const std::string& s) { monitor.push_back(s); });
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    for (const auto& c : cases) {
        Io->ThreadMessages.clear();
        monitor.clear();
        EXPECT_EQ(Serial::FrameLength(c.Data), Serial::BuildFrame('A', c.Data).size()) << c.What;
        EXPECT_EQ(Link.Send(nullptr, 'A', c.Data), c.Taken) << c.What;
        EXPECT_EQ(Io->ThreadMessages.size(), c.Taken ? 1u : 0u) << c.What;
        EXPECT_EQ(monitor.size(), c.Taken ? 1u : 0u) << c.What;
    }
}

TEST_F(InterfaceTest, ReceivedMessagesBecomeEvents)
{
    std::vector<std::string> received, monitor;
    TObject* sender = nullptr;
    Link.SetOnReceive([&](TObject* s, char cmd, const std::string& data) {
        sender = s;
        received.push_back(std::string(1, cmd) + "|" + data);
    });
    Link.SetOnDebugReceiveData([&](const std::string& s) { monitor.push_back(s); });
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    Receive('X', std::string("1\0" "2", 3));
    Receive('Y', ""); // no data: no monitor copy
    Pump();
    EXPECT_EQ(sender, &Link);
    EXPECT_EQ(received, (std::vector<std::string>{std::string("X|1\0" "2", 5), "Y|"}));
    EXPECT_EQ(monitor, (std::vector<std::string>{std::string("X1\0" "2", 4)}));
}

TEST_F(InterfaceTest, RaisingReceiveHandlerBeepsAndTheNextMessageIsHandled)
{
    int calls = 0;
    Link.SetOnReceive([&](TObject*, char cmd, const std::string&) {
        ++calls;
        if (cmd == 'E')
            throw std::runtime_error("handler failed");
    });
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    const unsigned beeps = BeepCount();
    Receive('E', "data");
    Receive('F', "data");
    Pump();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(BeepCount(), beeps + 1);
    // The count came back: many more messages do not count as overload.
    for (int i = 0; i < 150; ++i)
        Receive('F', "x");
    Pump();
    EXPECT_TRUE(StatusPostsToThread().empty());
}

// The monitor's copy comes before OnReceive, and both are handled as one:
// a raising OnReceive leaves the monitor's row, a raising monitor handler
// keeps the message from OnReceive. Either way a beep, and the next message
// reaches both.
TEST_F(InterfaceTest, WhatARaisingReceiveOrMonitorHandlerLeaves)
{
    const struct {
        const char* What;
        bool ReceiveRaises, MonitorRaises;
        std::vector<std::string> Received, Monitor; // of the message that raised, then the next
    } cases[] = {
        {"OnReceive raises", true, false, {"Ea", "Fb"}, {"Ea", "Fb"}},
        {"the monitor raises", false, true, {"Fb"}, {"Ea", "Fb"}},
    };
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<std::string> received, monitor;
        Link.SetOnReceive([&](TObject*, char cmd, const std::string& data) {
            received.push_back(std::string(1, cmd) + data);
            if (cmd == 'E' && c.ReceiveRaises)
                throw std::runtime_error("receive handler failed");
        });
        Link.SetOnDebugReceiveData([&](const std::string& s) {
            monitor.push_back(s);
            if (s[0] == 'E' && c.MonitorRaises)
                throw std::runtime_error("monitor failed");
        });
        const unsigned beeps = BeepCount();
        Receive('E', "a");
        Receive('F', "b");
        Pump();
        EXPECT_EQ(received, c.Received);
        EXPECT_EQ(monitor, c.Monitor);
        EXPECT_EQ(BeepCount(), beeps + 1);
    }
}

TEST_F(InterfaceTest, ConnectionAndStatusReportsOfThePortThread)
{
    std::vector<bool> changes;
    std::vector<std::int32_t> status;
    Link.SetOnVerbindungChange([&](TObject*, bool up) { changes.push_back(up); });
    Link.SetOnStatusChange([&](TObject*, std::int32_t s) { status.push_back(s); });
    Link.SetPortNumber(1);
    Link.SetOpen(true); // the new thread reports the link down
    Pump();
    EXPECT_EQ(changes, std::vector<bool>{false});
    Io->PostToInterface(RegisterWindowMessage("ComVerbStatus"), 1, {});
    Link.SetStatusBits(Serial::OptionBeepOnJ);
    Io->PostToInterface(RegisterWindowMessage("ComStatus"), 0xFFFF0001u, {});
    Pump();
    EXPECT_EQ(changes, (std::vector<bool>{false, true}));
    EXPECT_TRUE(Link.Verbindung_ok());
    // The low word comes from the thread, the high word stays the main thread's.
    EXPECT_EQ(status, std::vector<std::int32_t>{0x10001});
}

// A device that resets the link without end (ENQ after ENQ): however many
// resets come while the window thread is busy, one report of the link's state
// waits for it and says the newest state. A handler that lets the window
// system run a pass (the radio plug-in sends at once when the link comes) is
// not entered again for the next report: that one is handled after the
// handler has returned.
TEST_F(InterfaceTest, AStormOfLinkResetsWaitsAsOneReportAndNeverNests)
{
    const auto reports = [&] {
        return std::count_if(Io->Posts.begin(), Io->Posts.end(),
                             [](const auto& p) { return p.Msg == RegisterWindowMessage("ComVerbStatus"); });
    };
    std::vector<bool> changes;
    int depth = 0, deepest = 0;
    Link.SetOnVerbindungChange([&](TObject*, bool up) {
        deepest = std::max(deepest, ++depth);
        changes.push_back(up);
        if (changes.size() < 5) {
            Io->Receive(std::string(1000, Serial::ENQ)); // the storm goes on meanwhile
            QCoreApplication::sendPostedEvents();
        }
        --depth;
    });
    Link.SetPortNumber(1);
    Link.SetOpen(true); // the new thread reports the link down
    Io->Receive(std::string(10000, Serial::ENQ));
    EXPECT_EQ(reports(), 1) << "a report for each reset";
    for (int pass = 0; pass < 20 && changes.size() < 5; ++pass)
        Pump();
    EXPECT_EQ(deepest, 1);
    // The first report said down when it was posted; the link was up when it
    // was handled, and so were all later ones.
    EXPECT_EQ(changes, std::vector<bool>(5, true));
    EXPECT_LE(reports(), 10);
    EXPECT_TRUE(Link.Verbindung_ok());
    // Quiet again: the link goes down by its supervision, and that is said.
    Io->Advance(Serial::SupervisionMs);
    Pump();
    EXPECT_EQ(changes.back(), false);
    EXPECT_FALSE(Link.Verbindung_ok());
}

TEST_F(InterfaceTest, StatusBitsArePostedOnlyWhenTheyChange)
{
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    Link.SetStatusBits(Serial::OptionPlainAck);
    Link.SetStatusBits(Serial::OptionPlainAck);
    Link.ClearStatusBits(Serial::OptionBeepOnJ);
    EXPECT_EQ(StatusPostsToThread(), std::vector<std::uintptr_t>{0x20000});
    Link.SetStatusBits(Serial::OptionBeepOnJ | Serial::OptionPlainAck);
    Link.ClearStatusBits(Serial::OptionBeepOnJ | Serial::OptionPlainAck);
    EXPECT_EQ(StatusPostsToThread(), (std::vector<std::uintptr_t>{0x20000, 0x30000, 0}));
    EXPECT_EQ(Link.Status(), 0u);
}

TEST_F(InterfaceTest, NestedHandlingAboveHundredSwitchesToPlainAck)
{
    int depth = 0, deepest = 0;
    Link.SetOnReceive([&](TObject*, char, const std::string&) {
        ++depth;
        deepest = std::max(deepest, depth);
        QCoreApplication::sendPostedEvents(); // lets the next message in
        --depth;
    });
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    for (int i = 0; i < 120; ++i)
        Receive('A', "x");
    Pump();
    EXPECT_GT(deepest, 100);
    EXPECT_EQ(StatusPostsToThread(), (std::vector<std::uintptr_t>{0x20000}));
    // The next message, handled alone, switches back.
    Receive('A', "x");
    Pump();
    EXPECT_EQ(StatusPostsToThread(), (std::vector<std::uintptr_t>{0x20000, 0}));
}

TEST_F(InterfaceTest, MessagesOfAFreedPortThreadAreIgnored)
{
    int received = 0;
    Link.SetOnReceive([&](TObject*, char, const std::string&) { ++received; });
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    Receive('A', "old");
    Link.SetOpen(false);
    Link.SetOpen(true);
    Pump();
    EXPECT_EQ(received, 0);
    Receive('A', "new");
    Pump();
    EXPECT_EQ(received, 1);
}

TEST_F(InterfaceTest, HandlerThatClosesTheLinkEndsTheHandlingSafely)
{
    auto link = std::make_unique<TMyComInterface>();
    std::vector<std::string> monitor;
    link->SetOnDebugReceiveData([&](const std::string& s) { monitor.push_back(s); });
    link->SetOnReceive([&](TObject*, char, const std::string&) { link.reset(); });
    link->SetPortNumber(1);
    link->SetOpen(true);
    TMessageWindow::PostMessage(link->Handle(), RegisterWindowMessage("ComReceive"), (1u << 16) | 'A', 0,
                                std::make_unique<std::string>("x"));
    Pump();
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(monitor, std::vector<std::string>{"Ax"}); // shown before it was handled
}

// A receive handler that lets the GUI run its pending messages handles the
// next messages inside its own; the monitor still shows them in the order
// they came.
TEST_F(InterfaceTest, TheMonitorShowsMessagesInTheirOrderWhenAHandlerLetsTheNextOnesIn)
{
    std::vector<std::string> received, monitor;
    Link.SetOnReceive([&](TObject*, char cmd, const std::string& data) {
        QCoreApplication::sendPostedEvents();
        received.push_back(std::string(1, cmd) + data);
    });
    Link.SetOnDebugReceiveData([&](const std::string& s) { monitor.push_back(s); });
    Link.SetPortNumber(1);
    Link.SetOpen(true);
    for (const char* slot : {"1", "2", "3"})
        Receive('S', slot);
    Pump();
    EXPECT_EQ(monitor, (std::vector<std::string>{"S1", "S2", "S3"}));
    EXPECT_EQ(received.size(), 3u);
}

TEST(ReportComError, StepColonLineBreakAndSystemText)
{
    TestDialogs().Clear();
    ReportComError("WriteFile (Aufruf senden)", EIO);
    QCoreApplication::processEvents();
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Fehler");
    EXPECT_EQ(boxes[0].Text, "WriteFile (Aufruf senden):\r" + SysErrorMessage(EIO));
    EXPECT_EQ(boxes[0].Flags, static_cast<unsigned>(MB_OK));
}

// A device that floods the program while the window thread falls behind. The
// port thread answers no new frame once 1000 received messages wait for the
// window thread (the device keeps its frame, as it does when an answer is
// lost), asks with a NAK for the repeat once the window thread has taken half
// of them, and every message it acknowledged reaches OnReceive once, in
// order: nothing is lost and nothing doubled, and no more than 1000 messages
// ever wait.
TEST_F(InterfaceTest, FloodIsHeldBackWhileTheWindowThreadFallsBehind)
{
    std::vector<std::string> received;
    Link.SetOnReceive([&](TObject*, char, const std::string& data) { received.push_back(data); });
    Link.SetPortNumber(3);
    Link.SetOpen(true);
    ASSERT_NE(Io, nullptr);
    TComControl& control = *Io->Control();
    Io->Receive(std::string{Serial::STX, 0x00, Serial::ACK}); // the answer to our ENQ
    ASSERT_TRUE(Link.ReceiveBacklog());
    Io->TakeWritten();

    auto number = [](int n) {
        std::string text = std::to_string(n);
        return std::string(8 - text.size(), '0') + text;
    };
    // The device sends one frame at a time and the next only once it has the
    // answer; a NAK, or no answer, makes it send the same frame again.
    const int total = 4200;
    int next = 0;
    std::uint8_t receiveNumber = 0; // ours, as the answers show it
    unsigned refusals = 0, repeatsAsked = 0;
    std::size_t pumped = 0;
    while (next < total) {
        const std::string frame =
            Serial::BuildFrame('F', number(next), static_cast<std::uint8_t>((next % 8) * 16));
        Io->Receive(frame);
        const std::string answer = Io->TakeWritten();
        ASSERT_LE(control.Backlog().Count(), TReceiveBacklog::Max);
        if (!answer.empty()) {
            receiveNumber = static_cast<std::uint8_t>((receiveNumber + 1) % 8);
            ASSERT_EQ(answer, (std::string{Serial::STX, static_cast<char>(receiveNumber), Serial::ACK}))
                << "message " << next;
            ++next;
            continue;
        }
        // No answer: 1000 messages wait. The device's repeat goes unanswered
        // as well until the window thread has caught up.
        ++refusals;
        ASSERT_EQ(control.Backlog().Count(), TReceiveBacklog::Max) << "message " << next;
        ASSERT_EQ(next - static_cast<int>(pumped), TReceiveBacklog::Max);
        Io->Receive(frame);
        ASSERT_EQ(Io->TakeWritten(), "");
        Io->DeliverThreadMessages();
        ASSERT_EQ(Io->TakeWritten(), "") << "nobody asked for a repeat yet";
        for (int i = 0; i < 10 && control.Backlog().Count() > 0; ++i)
            Pump();
        ASSERT_EQ(control.Backlog().Count(), 0);
        pumped = received.size();
        Io->DeliverThreadMessages();
        ASSERT_EQ(Io->TakeWritten(), (std::string{Serial::STX, static_cast<char>(receiveNumber), Serial::NAK}));
        ++repeatsAsked;
    }
    for (int i = 0; i < 10 && control.Backlog().Count() > 0; ++i)
        Pump();
    EXPECT_EQ(refusals, 4u);
    EXPECT_EQ(repeatsAsked, refusals);
    EXPECT_EQ(control.Backlog().Peak(), TReceiveBacklog::Max);
    ASSERT_EQ(received.size(), static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(received[static_cast<std::size_t>(i)], number(i));
}
