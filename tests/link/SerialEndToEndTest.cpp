// The serial link over a pseudo-terminal against the framing peer, in real
// time: handshake, polls, messages both ways, supervision, recovery, a peer
// that vanishes, a long random exchange, the longest message, and ports that
// are busy or missing.
#include "link/ComPortThread.h"
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Exception.h"
#include "sim/FramingPeer.h"
#include "tests/common/TestServices.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <thread>

namespace {

using namespace std::chrono_literals;

const char kOpenFailed[] =
    "Fehler beim Öffnen des COM-Ports. Stellen Sie sicher, dass der angegebene Port auch existiert.";

class SerialEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        TestDialogs().Clear();
        static int next = 200;
        Port = static_cast<std::uint16_t>(next++);
        // The port by the peer's own name, never by its pseudo-terminal's
        // number: once the peer vanishes, that number may be given to a
        // pseudo-terminal of any other program, which the port thread would
        // then open in its place.
        setenv(("TESSARO_COM" + std::to_string(Port)).c_str(), Peer.PortPath().c_str(), 1);
        Link.SetOnConnectionChange([this](TObject* s, bool up) {
            EXPECT_EQ(s, Link.SerialLink());
            Changes.push_back(up);
        });
        Link.SetOnReceive([this](TObject*, char cmd, const std::string& data) { Received.push_back({cmd, data}); });
        Link.SetOnDebugReceiveData([this](const std::string& s) { MonitorIn.push_back(s); });
        Link.SetPortNumber(Port);
        Link.SetInterfaceType(TInterfaceType::itSerial);
    }
    void TearDown() override { unsetenv(("TESSARO_COM" + std::to_string(Port)).c_str()); }

    bool WaitUp(int ms = 4000)
    {
        return ProcessEventsUntil([&] { return Link.Connected(); }, ms);
    }
    bool WaitDown(int ms)
    {
        return ProcessEventsUntil([&] { return !Link.Connected(); }, ms);
    }

    TFramingPeer Peer;
    TCommunication Link;
    std::uint16_t Port = 0;
    std::vector<bool> Changes;
    std::vector<TPeerMessage> Received;
    std::vector<std::string> MonitorIn;
};

} // namespace

TEST_F(SerialEndToEnd, HandshakePollsAndMessagesBothWays)
{
    ASSERT_TRUE(WaitUp()) << "the first ENQ goes out 2000 ms after the port opens";
    EXPECT_GE(Peer.Counters().EnqSeen, 1u);
    ASSERT_GE(Changes.size(), 2u);
    EXPECT_FALSE(Changes.front());
    EXPECT_TRUE(Changes.back());

    // Messages to the device, with and without data, zero bytes included.
    const std::string binary("\x00\x02\x05\x06\x0D\x0F\x15\xFF", 8);
    ASSERT_TRUE(Link.SendText(nullptr, "A", 0));
    ASSERT_TRUE(Link.Send(nullptr, 'B', binary, 0));
    ASSERT_TRUE(Peer.WaitReceived(2, std::chrono::milliseconds(3000)));
    const auto got = Peer.Received();
    EXPECT_EQ(got[0].Cmd, 'A');
    EXPECT_EQ(got[0].Data, "");
    EXPECT_EQ(got[1].Cmd, 'B');
    EXPECT_EQ(got[1].Data, binary);

    // Messages from the device.
    Peer.Send('x', "");
    Peer.Send('y', binary);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Received.size() >= 2; }, 3000));
    EXPECT_EQ(Received[0].Cmd, 'x');
    EXPECT_EQ(Received[0].Data, "");
    EXPECT_EQ(Received[1].Data, binary);
    EXPECT_EQ(MonitorIn, std::vector<std::string>{"y" + binary}); // no copy of a message without data

    // Idle and up: lone CR polls keep the link up past the supervision time.
    const unsigned polls = Peer.Counters().PollsSeen;
    ProcessEventsFor(6500);
    EXPECT_TRUE(Link.Connected());
    EXPECT_GE(Peer.Counters().PollsSeen, polls + 2);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

TEST_F(SerialEndToEnd, SilenceTakesTheLinkDownAndTheReturningPeerBringsItUp)
{
    ASSERT_TRUE(WaitUp());
    Peer.SetSilent(true);
    QElapsedTimer silent;
    silent.start();
    ASSERT_TRUE(WaitDown(9000));
    // Supervision runs 5000 ms from the last answer, which came at most one
    // poll period before the silence.
    EXPECT_GE(silent.elapsed(), 2900);
    EXPECT_FALSE(Changes.back());

    // Frames sent while the link is down are dropped; Send still says true.
    EXPECT_TRUE(Link.SendText(nullptr, "Qlost", 0));

    Peer.SetSilent(false);
    ASSERT_TRUE(WaitUp(5000));
    EXPECT_TRUE(Changes.back());
    ASSERT_TRUE(Link.SendText(nullptr, "Zafter", 0));
    ASSERT_TRUE(Peer.WaitReceived(1, std::chrono::milliseconds(3000)));
    EXPECT_EQ(Peer.Received().back().Data, "after");
    for (const auto& m : Peer.Received())
        EXPECT_NE(m.Data, "lost");
}

TEST_F(SerialEndToEnd, PeerFaultsAreRepairedByTheProtocol)
{
    ASSERT_TRUE(WaitUp());
    // A bad checksum is refused and the peer repeats the frame.
    Peer.SetBadChecksums(1);
    Peer.Send('c', "checked");
    // The same frame twice (our answer "lost"): delivered once.
    Peer.SetRepeatFrames(true);
    Peer.Send('d', "twice");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Received.size() >= 2; }, 4000))
        << Received.size() << " naks " << Peer.Counters().NaksReceived << " sent " << Peer.Counters().FramesSent
        << " acked " << Peer.Counters().FramesAcknowledged << " given up " << Peer.Counters().FramesGivenUp;
    ProcessEventsUntil([&] { return Peer.Pending() == 0; }, 2000);
    ProcessEventsFor(300);
    Peer.SetRepeatFrames(false);
    ASSERT_EQ(Received.size(), 2u);
    EXPECT_EQ(Received[0].Data, "checked");
    EXPECT_EQ(Received[1].Data, "twice");
    EXPECT_GE(Peer.Counters().NaksReceived, 1u);

    // Lower-case digits are always refused: the peer gives up after three tries.
    Peer.SetLowerCaseChecksum(true);
    Peer.Send('e', "\xFA\xFB"); // a sum with hex letters in it
    ASSERT_TRUE(ProcessEventsUntil([&] { return Peer.Counters().FramesGivenUp >= 1; }, 5000));
    EXPECT_EQ(Received.size(), 2u);
    Peer.SetLowerCaseChecksum(false);

    // Garbage and an over-long frame on the line are refused; the link lives on.
    Peer.SendRaw(std::string("\x02\x00garbage\x0D", 10));
    Peer.SendRaw(std::string("\x02\x00", 2) + std::string(3000, 'L') + "\x0D");
    Peer.Send('f', "fine");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Received.size() >= 3; }, 5000));
    EXPECT_EQ(Received.back().Data, "fine");
    EXPECT_TRUE(Link.Connected());
}

TEST_F(SerialEndToEnd, PeerThatVanishesMidTransferTakesTheLinkDownCleanly)
{
    ASSERT_TRUE(WaitUp());
    for (int i = 0; i < 50; ++i)
        Link.SendText(nullptr, "M" + std::string(100, static_cast<char>('a' + i % 26)), 0);
    ASSERT_TRUE(Peer.WaitReceived(3, 10s));
    Peer.ClosePty();
    ASSERT_TRUE(WaitDown(15000));
    EXPECT_FALSE(Changes.back());
    // The loss is said once, in the port thread's own words, and not again
    // while the thread tries to open the port every second.
    ProcessEventsFor(2500);
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Fehler");
    // Whichever of reading or writing meets the closed line first says it.
    EXPECT_TRUE(boxes[0].Text.rfind("ReadFile:\r", 0) == 0 ||
                boxes[0].Text.rfind("WriteFile (Aufruf senden):\r", 0) == 0)
        << boxes[0].Text;
    // The link object still works: sends are taken (and dropped), nothing hangs.
    EXPECT_TRUE(Link.SendText(nullptr, "Aafter", 0));
    Link.SetInterfaceType(TInterfaceType::itNone);
    EXPECT_FALSE(Link.Connected());
}

TEST_F(SerialEndToEnd, PortThatComesBackIsOpenedAgainAndTheLinkComesUp)
{
    ASSERT_TRUE(WaitUp());
    Peer.ClosePty();
    ASSERT_TRUE(WaitDown(15000));
    ASSERT_TRUE(ProcessEventsUntil([] { return !TestDialogs().Boxes().empty(); }, 5000));

    // Plugged in again under the same name: the port thread opens it, and
    // the handshake brings the link up without anyone asking.
    Peer.ReopenPty();
    ASSERT_TRUE(WaitUp(15000));
    EXPECT_EQ(Changes.back(), true);
    ASSERT_TRUE(Link.SendText(nullptr, "Aback", 0));
    ASSERT_TRUE(Peer.WaitReceived(1, 10s));
    EXPECT_EQ(Peer.Received().back().Data, "back");
    Peer.Send('b', "again");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Received.empty(); }, 10000));
    EXPECT_EQ(Received.back().Data, "again");
    // One message for the loss, none for the return.
    EXPECT_EQ(TestDialogs().Boxes().size(), 1u);
}

TEST_F(SerialEndToEnd, TenThousandRandomMessagesBothWaysArriveInOrder)
{
    ASSERT_TRUE(WaitUp());
    std::mt19937 rng(2024);
    auto randomMessage = [&] {
        static const std::string commands = "ABCDEFGHIJLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        TPeerMessage m;
        m.Cmd = commands[rng() % commands.size()];
        m.Data.resize(rng() % 120);
        for (auto& c : m.Data)
            c = static_cast<char>(rng());
        return m;
    };
    constexpr int kCount = 10000;
    std::vector<TPeerMessage> toDevice, fromDevice;
    for (int i = 0; i < kCount; ++i) {
        toDevice.push_back(randomMessage());
        fromDevice.push_back(randomMessage());
    }
    for (const auto& m : fromDevice)
        Peer.Send(m.Cmd, m.Data);

    // Keep a few messages in the port thread's queue at a time, as the
    // program's callers do; the queue full bit would otherwise say stop.
    std::size_t sent = 0;
    auto feed = [&] {
        const std::size_t taken = Peer.Received().size();
        while (sent < toDevice.size() && sent < taken + 8) {
            ASSERT_TRUE(Link.Send(nullptr, toDevice[sent].Cmd, toDevice[sent].Data, 0));
            ++sent;
        }
    };
    const bool done = ProcessEventsUntil(
        [&] {
            feed();
            return Peer.Received().size() >= toDevice.size() && Received.size() >= fromDevice.size();
        },
        240000);
    ASSERT_TRUE(done) << "to device " << Peer.Received().size() << ", from device " << Received.size();
    ProcessEventsFor(200);

    const auto atDevice = Peer.Received();
    ASSERT_EQ(atDevice.size(), toDevice.size());
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(atDevice[i].Cmd, toDevice[i].Cmd) << i;
        ASSERT_EQ(atDevice[i].Data, toDevice[i].Data) << i;
    }
    ASSERT_EQ(Received.size(), fromDevice.size());
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(Received[i].Cmd, fromDevice[i].Cmd) << i;
        ASSERT_EQ(Received[i].Data, fromDevice[i].Data) << i;
    }
    EXPECT_TRUE(Link.Connected());
}

TEST_F(SerialEndToEnd, LongestMessageGoesOutWholeAndALongerOneIsRefused)
{
    ASSERT_TRUE(WaitUp());
    // 120 escaped bytes and 9 plain: 249 on the wire, a frame of 255.
    const std::string longest = std::string(120, '\x0D') + std::string(9, 'z');
    ASSERT_TRUE(Link.Send(nullptr, 'L', longest, 0));
    EXPECT_FALSE(Link.Send(nullptr, 'L', longest + "z", 0));
    ASSERT_TRUE(Peer.WaitReceived(1, 3000ms));
    ProcessEventsFor(300);
    const auto got = Peer.Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Data, longest);
    EXPECT_EQ(Peer.Counters().NaksSent, 0u);
    EXPECT_TRUE(Link.Connected());
}

TEST_F(SerialEndToEnd, SecondLinkOnTheSamePortIsRefusedWhileTheFirstKeepsWorking)
{
    ASSERT_TRUE(WaitUp());
    TCommunication second;
    second.SetPortNumber(Port);
    second.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_TRUE(ProcessEventsUntil([] { return !TestDialogs().Boxes().empty(); }, 3000));
    auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, kOpenFailed);
    EXPECT_EQ(boxes[0].Caption, "Tessaro");
    EXPECT_EQ(boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));
    // The refused link's thread has ended: what it is given is dropped.
    EXPECT_TRUE(second.SendText(nullptr, "Xlost", 0));

    // The first link goes on both ways, and stays up past a poll period.
    ASSERT_TRUE(Link.SendText(nullptr, "Afirst", 0));
    ASSERT_TRUE(Peer.WaitReceived(1, 3000ms));
    Peer.Send('b', "back");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Received.empty(); }, 3000));
    EXPECT_EQ(Received[0].Data, "back");
    ProcessEventsFor(2500);
    EXPECT_TRUE(Link.Connected());
    EXPECT_FALSE(second.Connected());
    for (const auto& m : Peer.Received())
        EXPECT_NE(m.Data, "lost");

    // Closed, the port is free for the other link.
    Link.SetInterfaceType(TInterfaceType::itNone);
    second.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_TRUE(ProcessEventsUntil([&] { return second.Connected(); }, 5000));
    ASSERT_TRUE(second.SendText(nullptr, "Csecond", 0));
    ASSERT_TRUE(ProcessEventsUntil([&] { return Peer.Received().size() >= 2; }, 3000));
    EXPECT_EQ(Peer.Received().back().Data, "second");
    EXPECT_EQ(TestDialogs().Boxes().size(), 1u);
}

TEST(SerialPortMissing, PortThatDoesNotExistIsReportedAndNothingHangs)
{
    struct TCase {
        const char* What;
        std::uint16_t Port;
        const char* Node; // the port map's entry, or none
    };
    const std::vector<TCase> cases = {
        {"a node that does not exist", 230, "/dev/tessaro-no-such-port"},
        {"a number outside the port map", 231, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TestDialogs().Clear();
        const std::string variable = "TESSARO_COM" + std::to_string(c.Port);
        if (c.Node)
            setenv(variable.c_str(), c.Node, 1);
        else
            unsetenv(variable.c_str());
        TCommunication link;
        std::vector<bool> changes;
        link.SetOnConnectionChange([&](TObject*, bool up) { changes.push_back(up); });
        link.SetPortNumber(c.Port);
        link.SetInterfaceType(TInterfaceType::itSerial);
        ASSERT_TRUE(ProcessEventsUntil([] { return !TestDialogs().Boxes().empty(); }, 3000));
        // Sends are taken and dropped; the program goes on.
        EXPECT_TRUE(link.SendText(nullptr, "Ahello", 0));
        ProcessEventsFor(2500); // past the first poll: nothing is written, nothing comes up
        const auto boxes = TestDialogs().Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, kOpenFailed);
        EXPECT_FALSE(link.Connected());
        EXPECT_EQ(changes, std::vector<bool>{false});
        link.SetInterfaceType(TInterfaceType::itNone);
        unsetenv(variable.c_str());
    }
}

// A device that floods the link as fast as the pseudo-terminal carries the
// frames, while the window thread now and then falls behind. The device waits
// a minute for an answer before it repeats a frame, so the flood goes on
// after each stall only because the port thread asks for the repeat. Every
// message the device had answered reaches the program once and in order, and
// no more than 1000 ever wait for the window thread.
TEST_F(SerialEndToEnd, FloodIsHeldBackAndNothingAcknowledgedIsLost)
{
    ASSERT_TRUE(WaitUp());
    const TReceiveBacklog* backlog = Link.SerialLink()->ReceiveBacklog();
    ASSERT_NE(backlog, nullptr);
    Peer.SetAnswerTimeout(60s);
    Peer.StartFlood('F', 60);
    for (int stall = 0; stall < 3; ++stall) {
        SCOPED_TRACE("stall " + std::to_string(stall));
        // The window thread handles nothing: the backlog fills, and then the
        // device gets no answer.
        QElapsedTimer clock;
        clock.start();
        while (backlog->Count() < TReceiveBacklog::Max && clock.elapsed() < 30000)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(backlog->Count(), TReceiveBacklog::Max);
        std::this_thread::sleep_for(100ms); // the last answer reaches the device
        const unsigned held = Peer.Counters().FloodAcknowledged;
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(Peer.Counters().FloodAcknowledged, held);
        EXPECT_EQ(backlog->Count(), TReceiveBacklog::Max);
        // The window thread catches up and the flood goes on.
        ASSERT_TRUE(ProcessEventsUntil([&] { return Peer.Counters().FloodAcknowledged > held + 2000; }, 30000));
    }
    Peer.StopFlood();
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return Peer.Pending() == 0 && Received.size() == Peer.Counters().FloodAcknowledged; }, 30000));
    ProcessEventsFor(100);
    const TPeerCounters counters = Peer.Counters();
    EXPECT_EQ(counters.FramesGivenUp, 0u);
    EXPECT_GE(counters.NaksReceived, 3u) << "each stall ends with the port thread asking for the repeat";
    EXPECT_EQ(backlog->Peak(), TReceiveBacklog::Max);
    ASSERT_EQ(Received.size(), counters.FloodAcknowledged);
    for (std::size_t i = 0; i < Received.size(); ++i) {
        ASSERT_EQ(Received[i].Cmd, 'F');
        ASSERT_EQ(TFramingPeer::FloodNumber(Received[i].Data), static_cast<long>(i));
    }
    EXPECT_EQ(MonitorIn.size(), Received.size());
    EXPECT_TRUE(Link.Connected());
}

namespace {

// The real port thread, on which the next timer started once `Starve` is set
// cannot be made, as when the process has no file descriptor left: the step
// raises what the poll loop raises then. (The limit itself is not lowered
// here: the other threads' polls and the sanitizers' own checks would fail
// with it.)
class TTimerStarvedPortThread : public TComPortThread {
public:
    using TComPortThread::TComPortThread;
    std::atomic<bool> Starve{false};

    void StartTimer(int id, unsigned ms) override
    {
        if (Starve.exchange(false))
            throw EOSError("timerfd_create: " + SysErrorMessage(EMFILE), EMFILE);
        TComPortThread::StartTimer(id, ms);
    }
};

} // namespace

// What a step of the port thread raises is shown once, in the window thread,
// and the thread goes on: the link stays up and the next message goes out.
TEST(SerialPortThread, FailureInAStepIsShownOnceAndTheThreadGoesOn)
{
    TestDialogs().Clear();
    TFramingPeer peer;
    const std::uint16_t port = 241;
    const std::string variable = "TESSARO_COM" + std::to_string(port);
    setenv(variable.c_str(), peer.PortPath().c_str(), 1);
    std::vector<bool> changes;
    TMyComControl* link = nullptr;
    TMessageWindow window([&](TMessage& m) {
        // The window thread takes the newest state, as the interface does.
        if (m.Msg == RegisterWindowMessage("ComVerbStatus") && link)
            changes.push_back(link->LinkState().Take().value_or(m.WParam == 1));
    });
    {
        auto io = std::make_unique<TTimerStarvedPortThread>(window.Handle(), port);
        TTimerStarvedPortThread& thread = *io;
        TMyComControl control(nullptr, port, std::move(io));
        link = &control;
        ASSERT_TRUE(ProcessEventsUntil([&] { return !changes.empty() && changes.back(); }, 5000));
        auto send = [&](char cmd, const std::string& data) {
            control.PostThreadMessage(control.MsgComSend(), (data.size() << 16) | static_cast<std::uint8_t>(cmd),
                                      std::make_unique<std::string>(data));
        };
        thread.Starve = true;
        send('T', "starved"); // its answer timer, or the next poll's, cannot be made
        ASSERT_TRUE(ProcessEventsUntil([] { return !TestDialogs().Boxes().empty(); }, 5000));
        send('A', "after");
        ProcessEventsFor(300);
        const auto boxes = TestDialogs().Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Caption, "Fehler");
        EXPECT_EQ(boxes[0].Text.rfind("timerfd_create: ", 0), 0u) << boxes[0].Text;
        EXPECT_EQ(boxes[0].Owner, nullptr);
        // The frame went out before its timer failed; the next one follows.
        ASSERT_TRUE(peer.WaitReceived(2, 5000ms));
        ASSERT_EQ(peer.Received().size(), 2u);
        EXPECT_EQ(peer.Received()[0].Data, "starved");
        EXPECT_EQ(peer.Received()[1].Data, "after");
        EXPECT_TRUE(changes.back());
        link = nullptr;
    }
    unsetenv(variable.c_str());
}
