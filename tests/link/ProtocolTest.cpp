// The frame protocol of the port thread, in virtual time.
#include "tests/link/VirtualComIo.h"
#include "tests/common/Bytes.h"

#include "platform/AsciiText.h"
#include "platform/Beep.h"
#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <random>

using namespace Serial;

namespace {

// A positive answer of the peer whose receive number is `peerReceive`.
std::string PeerAck(int peerSend, int peerReceive)
{
    return Bytes({STX, peerSend * 16 + peerReceive, ACK});
}

class ProtocolTest : public testing::Test {
protected:
    void SetUp() override
    {
        auto io = std::make_unique<TVirtualComIo>();
        Io = io.get();
        Control = std::make_unique<TMyComControl>(nullptr, 1, std::move(io));
    }

    void Feed(const std::string& bytes) { Control->HandleBytes(bytes); }
    void Queue(char cmd, const std::string& data)
    {
        TThreadMessage m;
        m.Msg = Control->MsgComSend();
        m.WParam = (static_cast<std::uintptr_t>(data.size()) << 16) | static_cast<std::uint8_t>(cmd);
        if (!data.empty())
            m.Block = std::make_unique<std::string>(data);
        Control->HandleThreadMessage(m);
    }
    void Options(std::uint32_t bits)
    {
        TThreadMessage m;
        m.Msg = Control->MsgComStatus();
        m.WParam = bits;
        Control->HandleThreadMessage(m);
    }
    // The link comes up the usual way: our ENQ answered by the peer.
    void BringUp()
    {
        Io->Advance(PollMs);
        ASSERT_EQ(Io->TakeWritten(), std::string(1, ENQ));
        Feed(Bytes({STX, 0x00, ACK}));
        ASSERT_FALSE(Control->LinkDown());
        Io->Posts.clear();
    }
    std::vector<TVirtualComIo::TPost> PostsOf(std::uint32_t msg) const
    {
        std::vector<TVirtualComIo::TPost> out;
        for (const auto& p : Io->Posts)
            if (p.Msg == msg)
                out.push_back(p);
        return out;
    }
    // The frame the peer would send: seq = its send number * 16 + receive number.
    static std::string PeerFrame(int peerSend, int peerReceive, char cmd, const std::string& data)
    {
        return BuildFrame(cmd, data, static_cast<std::uint8_t>(peerSend * 16 + peerReceive));
    }

    TVirtualComIo* Io = nullptr;
    std::unique_ptr<TMyComControl> Control;
};

} // namespace

TEST(Framing, ChecksumExamplesByteForByte)
{
    EXPECT_EQ(BuildFrame(0x41, "\x31"), Bytes({0x02, 0x00, 0x41, 0x31, 0x37, 0x32, 0x0D}));
    EXPECT_EQ(BuildFrame(0x41, "\x0D", 0x35), Bytes({0x02, 0x35, 0x41, 0x0F, 0x2D, 0x37, 0x44, 0x0D}));
    EXPECT_EQ(BuildFrame(0x41, ""), Bytes({0x02, 0x00, 0x41, 0x34, 0x31, 0x0D}));
}

TEST(Framing, EscapesExactlyTheControlBytes)
{
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const bool special = b == 0x00 || b == 0x02 || b == 0x05 || b == 0x06 || b == 0x0D || b == 0x0F || b == 0x15;
        const std::string expected = special ? Bytes({0x0F, b | 0x20}) : one;
        EXPECT_EQ(Escape(one), expected) << "byte " << b;
        EXPECT_EQ(Unescape(Escape(one)), one) << "byte " << b;
    }
    // The sum counts an escaped byte as 0F + (b | 20).
    EXPECT_EQ(Checksum(0x41, Escape("\x0D")), (0x41 + 0x0F + 0x2D) & 0xFF);
}

TEST(Framing, RandomDataSurvivesEscaping)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        std::string data(rng() % 300, '\0');
        for (auto& c : data)
            c = static_cast<char>(rng());
        const std::string wire = Escape(data);
        for (const char c : wire)
            EXPECT_TRUE(c != STX && c != ENQ && c != ACK && c != CR && c != NAK && c != 0);
        EXPECT_EQ(Unescape(wire), data);
    }
}

TEST_F(ProtocolTest, StartsDownPollsWithEnqAndComesUpOnTheAnswer)
{
    ASSERT_EQ(PostsOf(Control->MsgComVerbStatus()).size(), 1u);
    EXPECT_EQ(PostsOf(Control->MsgComVerbStatus())[0].WParam, 0u);
    EXPECT_TRUE(Control->LinkDown());
    EXPECT_FALSE(Io->TimerRunning(TimerSupervision)); // not before the first answer

    Io->Advance(1999);
    EXPECT_EQ(Io->TakeWritten(), "");
    Io->Advance(1);
    EXPECT_EQ(Io->TakeWritten(), std::string(1, ENQ));
    Io->Advance(2000);
    EXPECT_EQ(Io->TakeWritten(), std::string(1, ENQ)); // every 2000 ms while down

    Io->Posts.clear();
    Feed(Bytes({STX, 0x00, ACK}));
    EXPECT_FALSE(Control->LinkDown());
    ASSERT_EQ(PostsOf(Control->MsgComVerbStatus()).size(), 1u);
    EXPECT_EQ(PostsOf(Control->MsgComVerbStatus())[0].WParam, 1u);
    EXPECT_TRUE(Io->TimerRunning(TimerSupervision));

    // Up and idle: a lone CR every 2000 ms.
    Io->Advance(2000);
    EXPECT_EQ(Io->TakeWritten(), std::string(1, CR));
}

TEST_F(ProtocolTest, EnqFromThePeerIsAnsweredAndBringsTheLinkUp)
{
    Feed(std::string(1, ENQ));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x00, ACK}));
    EXPECT_FALSE(Control->LinkDown());

    // An ENQ while up resets the link: numbers and queue cleared, still up.
    Queue('A', "x");
    Queue('B', "y");
    Io->TakeWritten();
    Io->Posts.clear();
    Feed(std::string(1, ENQ));
    EXPECT_FALSE(Control->LinkDown());
    EXPECT_TRUE(Control->SendQueue().empty());
    EXPECT_FALSE(Control->FrameInFlight());
    EXPECT_EQ(Control->SendNumber(), 0);
    ASSERT_EQ(PostsOf(Control->MsgComVerbStatus()).size(), 1u);
    EXPECT_EQ(PostsOf(Control->MsgComVerbStatus())[0].WParam, 1u);
}

TEST_F(ProtocolTest, SequenceBytesFollowBothNumbers)
{
    BringUp();
    Queue('A', "1");
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "1", 0x00)); // first frame after the link came up
    Feed(PeerAck(0, 1));
    Queue('A', "2");
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "2", 0x10)); // send number 1, receive number 0

    // The peer's frame, which also answers ours: our receive number goes to 1.
    Feed(PeerFrame(0, 2, 'Z', ""));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x21, ACK}));
    Queue('A', "3");
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "3", 0x21));
}

TEST_F(ProtocolTest, ReceivedFrameIsAnsweredAndDelivered)
{
    BringUp();
    const std::string data = Bytes({0x00, 0x0D, 'h', 'i', 0x15});
    Feed(PeerFrame(0, 0, 'Q', data));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x01, ACK}));
    const auto received = PostsOf(Control->MsgComReceive());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].WParam, (data.size() << 16) | 'Q');
    EXPECT_EQ(received[0].Block.value(), data);

    // A frame without data carries no block.
    Io->Posts.clear();
    Feed(PeerFrame(1, 0, 'R', ""));
    const auto empty = PostsOf(Control->MsgComReceive());
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].WParam, static_cast<std::uintptr_t>('R'));
    EXPECT_FALSE(empty[0].Block.has_value());
}

TEST_F(ProtocolTest, BadFramesAreAnsweredWithNakAndNotDelivered)
{
    BringUp();
    std::string lower = PeerFrame(0, 0, 'A', "\xEA"); // the sum 2B has a hex letter
    const std::size_t d = lower.size() - 3;
    ASSERT_TRUE(AsciiLower(lower[d]) != lower[d] || AsciiLower(lower[d + 1]) != lower[d + 1]);
    for (std::size_t i = d; i < d + 2; ++i)
        lower[i] = AsciiLower(lower[i]);
    std::string wrongSum = PeerFrame(0, 0, 'A', "abc");
    wrongSum[wrongSum.size() - 2] ^= 1;

    const std::vector<std::pair<const char*, std::string>> cases = {
        {"lower-case checksum digits", lower},
        {"wrong checksum", wrongSum},
        {"no command byte", Bytes({STX, 0x00, '0', '0', CR})},
        {"only a sequence byte", Bytes({STX, 0x00, CR})},
    };
    for (const auto& [what, frame] : cases) {
        Io->Posts.clear();
        Feed(frame);
        EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x00, NAK})) << what;
        EXPECT_TRUE(PostsOf(Control->MsgComReceive()).empty()) << what;
        EXPECT_EQ(Control->ReceiveNumber(), 0) << what;
    }
}

TEST_F(ProtocolTest, FrameReceivedTwiceIsAnsweredTwiceAndDeliveredOnce)
{
    BringUp();
    const std::string frame = PeerFrame(0, 0, 'M', "data");
    Feed(frame);
    Feed(frame); // our answer got lost, the peer repeats
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x01, ACK}) + Bytes({STX, 0x01, ACK}));
    EXPECT_EQ(PostsOf(Control->MsgComReceive()).size(), 1u);
    EXPECT_EQ(Control->ReceiveNumber(), 1);
}

TEST_F(ProtocolTest, QueuedFrameWaitsUntilThePeerAcknowledgedThePreviousOne)
{
    BringUp();
    Queue('A', "first");
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "first", 0x00));
    Queue('B', "second");
    EXPECT_EQ(Io->TakeWritten(), ""); // one frame in flight at a time

    // The peer's own frame crosses ours; its sequence byte shows it has not
    // taken ours yet, so ours stays in flight.
    Feed(PeerFrame(0, 0, 'P', ""));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x11, ACK}));
    EXPECT_TRUE(Control->FrameInFlight());
    ASSERT_EQ(Control->SendQueue().size(), 1u); // "second" still at the head
    Io->Advance(PollMs);                        // a poll does not overtake it
    EXPECT_EQ(Io->TakeWritten(), "");

    // The peer's answer to "first" catches the numbers up.
    Feed(PeerAck(1, 1));
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('B', "second", 0x11));
}

// Something of the peer's that does not take our frame reaches us while the
// frame is in flight: the peer's own frame that crossed ours, or its answer
// to the poll we wrote just before. Whatever then becomes of our frame, it is
// neither lost nor blocks the frames behind it.
TEST_F(ProtocolTest, FrameInFlightSurvivesWhatDoesNotAnswerIt)
{
    enum class TFate { Refused, Unanswered, Taken };
    for (const bool crossingFrame : {true, false}) {
        for (const TFate fate : {TFate::Refused, TFate::Unanswered, TFate::Taken}) {
            SCOPED_TRACE(std::string(crossingFrame ? "crossing frame, " : "late poll answer, ") +
                         (fate == TFate::Refused ? "refused" : fate == TFate::Unanswered ? "unanswered" : "taken"));
            SetUp();
            BringUp();
            Io->Advance(PollMs);
            ASSERT_EQ(Io->TakeWritten(), std::string(1, CR));
            Queue('A', "first");
            const std::string first = Io->TakeWritten();
            ASSERT_EQ(first, BuildFrame('A', "first", 0x00));

            const int peerSend = crossingFrame ? 1 : 0; // after its frame
            const int ourReceive = crossingFrame ? 1 : 0;
            if (crossingFrame) {
                Feed(PeerFrame(0, 0, 'P', "crossed"));
                EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x10 + ourReceive, ACK}));
                EXPECT_EQ(PostsOf(Control->MsgComReceive()).size(), 1u);
            } else {
                Feed(PeerAck(0, 0));
                EXPECT_EQ(Io->TakeWritten(), "");
            }
            EXPECT_TRUE(Control->FrameInFlight());
            EXPECT_TRUE(Io->TimerRunning(TimerAnswer));

            const std::string repeated = BuildFrame('A', "first", static_cast<std::uint8_t>(ourReceive));
            switch (fate) {
            case TFate::Refused:
                Feed(Bytes({STX, peerSend * 16, NAK}));
                EXPECT_EQ(Io->TakeWritten(), repeated);
                Feed(PeerAck(peerSend, 1));
                break;
            case TFate::Unanswered:
                Io->Advance(AnswerMs);
                EXPECT_EQ(Io->TakeWritten(), repeated);
                Feed(PeerAck(peerSend, 1));
                break;
            case TFate::Taken:
                Feed(PeerAck(peerSend, 1));
                EXPECT_EQ(Io->TakeWritten(), "");
                break;
            }
            EXPECT_FALSE(Control->FrameInFlight());
            Io->TakeWritten(); // a poll that waited behind the frame
            Queue('B', "second");
            ASSERT_FALSE(Io->Writes.empty());
            EXPECT_EQ(Io->Writes.back(), BuildFrame('B', "second", static_cast<std::uint8_t>(0x10 + ourReceive)));
            EXPECT_FALSE(Control->LinkDown());
        }
    }
}

// A frame without an answer is written again 3000 ms after it went out, not
// a millisecond earlier, whatever polls came due meanwhile.
TEST_F(ProtocolTest, UnansweredFrameIsRepeatedAfterThreeSeconds)
{
    EXPECT_EQ(AnswerMs, 3000u);
    BringUp();
    Feed(PeerAck(0, 0)); // supervision runs from here
    Io->Advance(500);
    Io->TakeWritten(); // nothing is due yet
    Queue('A', "x");
    const std::uint64_t sentAt = Io->Now();
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "x", 0x00));
    Io->Advance(2999);
    EXPECT_EQ(Io->TakeWritten(), "") << "a poll waits behind the frame in flight";
    EXPECT_TRUE(Control->FrameInFlight());
    Io->Advance(1);
    EXPECT_EQ(Io->Now() - sentAt, 3000u);
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "x", 0x00));
    EXPECT_EQ(Control->RepeatCounter(), 1u);
}

TEST_F(ProtocolTest, ThreeFailuresTakeTheLinkDownAndEmptyTheQueue)
{
    // Each failure is a NAK or 3000 ms without an answer; in the second case
    // the peer's own polls keep supervision from ending the link first.
    for (const bool byNak : {true, false}) {
        SCOPED_TRACE(byNak ? "NAK" : "silence");
        SetUp();
        BringUp();
        Queue('A', "x");
        Queue('B', "y");
        Queue('C', "z");
        EXPECT_EQ(Io->Writes.size(), 1u);
        auto fail = [&] {
            if (byNak)
                Feed(Bytes({STX, 0x00, NAK}));
            else {
                Feed(std::string(1, CR));
                Io->Advance(AnswerMs);
            }
        };
        fail();
        fail();
        EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "x", 0x00) + BuildFrame('A', "x", 0x00) +
                                         BuildFrame('A', "x", 0x00)); // written three times
        EXPECT_FALSE(Control->LinkDown());
        fail();
        EXPECT_TRUE(Control->LinkDown());
        EXPECT_TRUE(Control->SendQueue().empty());
        EXPECT_EQ(Io->TakeWritten(), "");
        ASSERT_EQ(PostsOf(Control->MsgComVerbStatus()).size(), 1u);
        EXPECT_EQ(PostsOf(Control->MsgComVerbStatus())[0].WParam, 0u);
    }
}

TEST_F(ProtocolTest, QueueWatermarkAtFourteenAndSix)
{
    BringUp();
    for (int i = 0; i < 14; ++i)
        Queue('A', std::to_string(i)); // the first goes in flight at once
    EXPECT_TRUE(PostsOf(Control->MsgComStatus()).empty());
    Queue('A', "14"); // 14 waiting
    auto status = PostsOf(Control->MsgComStatus());
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].WParam & StatusQueueFull, StatusQueueFull);
    Queue('A', "15");
    EXPECT_EQ(PostsOf(Control->MsgComStatus()).size(), 1u); // posted once

    int peerReceive = 1;
    while (Control->SendQueue().size() > 6) {
        EXPECT_EQ(PostsOf(Control->MsgComStatus()).size(), 1u) << Control->SendQueue().size();
        Feed(PeerAck(0, peerReceive));
        peerReceive = (peerReceive + 1) % 8;
    }
    status = PostsOf(Control->MsgComStatus());
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[1].WParam & StatusQueueFull, 0u);
    EXPECT_EQ(Control->Status() & StatusQueueFull, 0u);
}

TEST_F(ProtocolTest, PlainAckUntilTheOptionIsCleared)
{
    BringUp();
    Feed(PeerFrame(0, 0, 'A', ""));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x01, ACK}));
    Options(0); // the main thread's option bits: plain ACK off
    Feed(PeerFrame(1, 0, 'A', ""));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x02, BEL, ACK}));
    Options(OptionPlainAck);
    Feed(PeerFrame(2, 0, 'A', ""));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x03, ACK}));
}

TEST_F(ProtocolTest, PollFromThePeerIsAnsweredOnlyWhenNothingIsUnacknowledged)
{
    BringUp();
    Feed(std::string(1, CR));
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x00, ACK}));
    Queue('A', "x");
    Io->TakeWritten();
    Feed(std::string(1, CR)); // our frame is not answered yet
    EXPECT_EQ(Io->TakeWritten(), "");
}

TEST_F(ProtocolTest, SupervisionTakesTheLinkDownAfterFiveSecondsOfSilence)
{
    BringUp();
    Io->Advance(4999);
    EXPECT_FALSE(Control->LinkDown());
    Feed(PeerAck(0, 0)); // an answer restarts supervision
    Io->Advance(4999);
    EXPECT_FALSE(Control->LinkDown());
    Io->Advance(1);
    EXPECT_TRUE(Control->LinkDown());
    EXPECT_FALSE(Io->TimerRunning(TimerSupervision));
    ASSERT_FALSE(PostsOf(Control->MsgComVerbStatus()).empty());
    EXPECT_EQ(PostsOf(Control->MsgComVerbStatus()).back().WParam, 0u);
}

TEST_F(ProtocolTest, LinkThatTheDevicesEnqBroughtUpIsSupervised)
{
    Feed(std::string(1, ENQ));
    ASSERT_FALSE(Control->LinkDown());
    Io->Advance(4999); // our polls go unanswered
    EXPECT_FALSE(Control->LinkDown());
    Io->Advance(1);
    EXPECT_TRUE(Control->LinkDown());
    ASSERT_FALSE(PostsOf(Control->MsgComVerbStatus()).empty());
    EXPECT_EQ(PostsOf(Control->MsgComVerbStatus()).back().WParam, 0u);
}

TEST_F(ProtocolTest, FramesQueuedWhileDownAreDropped)
{
    Queue('A', "lost");
    EXPECT_EQ(Io->TakeWritten(), "");
    EXPECT_TRUE(Control->SendQueue().empty());
    BringUp();
    Io->Advance(PollMs);
    EXPECT_EQ(Io->TakeWritten(), std::string(1, CR));
}

TEST_F(ProtocolTest, CommandKRestartsTheNumberingAfterItIsWritten)
{
    BringUp();
    Queue('A', "x");
    Feed(PeerAck(0, 1));
    Io->TakeWritten();
    Queue('K', "");
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('K', "", 0x10));
    EXPECT_EQ(Control->SendNumber(), 0);
    EXPECT_EQ(Control->AcknowledgedNumber(), 0);
    Feed(PeerAck(0, 0));
    Queue('A', "y");
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "y", 0x00));
}

TEST_F(ProtocolTest, BeepOptionRingsOnTheAcknowledgementOfJ)
{
    BringUp();
    const unsigned before = BeepCount();
    Queue('J', "");
    Feed(PeerAck(0, 1));
    EXPECT_EQ(BeepCount(), before); // option off
    Options(OptionBeepOnJ | OptionPlainAck);
    Queue('J', "");
    Feed(PeerAck(0, 2));
    EXPECT_EQ(BeepCount(), before + 1);
    Queue('A', "");
    Feed(PeerAck(0, 3));
    EXPECT_EQ(BeepCount(), before + 1);
}

TEST_F(ProtocolTest, LineErrorRewritesTheCurrentFrameWithoutCountingARepeat)
{
    BringUp();
    Queue('A', "x");
    Io->TakeWritten();
    Feed(Bytes({STX, 0x00, 'p', 'a', 'r'})); // half a frame, then the error
    Control->HandleLineError(CE_FRAME);
    EXPECT_EQ(Io->TakeWritten(), BuildFrame('A', "x", 0x00));
    EXPECT_EQ(Control->RepeatCounter(), 0);
    Feed(PeerFrame(0, 1, 'B', "ok")); // the buffer started afresh
    EXPECT_EQ(PostsOf(Control->MsgComReceive()).size(), 1u);
}

TEST_F(ProtocolTest, ReceiveBufferStopsGrowingAtThousandBytes)
{
    BringUp();
    Feed(std::string(1, STX) + std::string(1, 0x00) + std::string(5000, 'x'));
    Feed(std::string(1, CR)); // the over-long frame fails its checksum
    EXPECT_EQ(Io->TakeWritten(), Bytes({STX, 0x00, NAK}));
    Feed(PeerFrame(0, 0, 'A', "next"));
    EXPECT_EQ(PostsOf(Control->MsgComReceive()).size(), 1u);
}

TEST_F(ProtocolTest, LongMessagesAreWrittenWhole)
{
    BringUp();
    const std::string data(600, '\x0D'); // every byte escaped: 1200 bytes on the wire
    Queue('A', data);
    const std::string written = Io->TakeWritten();
    EXPECT_EQ(written, BuildFrame('A', data, 0x00));
    EXPECT_EQ(written.size(), 1206u);
}
