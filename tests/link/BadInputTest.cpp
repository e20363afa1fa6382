// Bad input on the line never crashes or hangs the frame protocol: garbage,
// frames that run past the receive buffer, bad escapes, frames that lost
// their STX. In virtual time; the rules checked after every step are in
// ProtocolExerciser.h.
#include "tests/link/ProtocolExerciser.h"
#include "tests/common/Bytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace Serial;

namespace {

// A frame of the peer with the data bytes exactly as given on the wire and a
// checksum that fits them.
std::string WireFrame(std::uint8_t seq, char cmd, const std::string& wire)
{
    return std::string{STX, static_cast<char>(seq), cmd} + wire + HexByte(Checksum(cmd, wire)) + CR;
}

class BadInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        X.Feed(std::string(1, ENQ)); // the device asks for the link
        ASSERT_FALSE(X.Control().LinkDown());
        X.Io().TakeWritten();
    }

    // Messages delivered from here on.
    void Mark() { FMark = X.Io().Posts.size(); }
    std::vector<TVirtualComIo::TPost> Delivered() const
    {
        std::vector<TVirtualComIo::TPost> out;
        for (std::size_t i = FMark; i < X.Io().Posts.size(); ++i)
            if (X.Io().Posts[i].Msg == X.Control().MsgComReceive())
                out.push_back(X.Io().Posts[i]);
        return out;
    }
    // The next frame in order is taken: the link is not stuck.
    void ExpectNextFrameDelivered(const char* what)
    {
        const std::uint8_t seq = static_cast<std::uint8_t>(X.Control().ReceiveNumber() * 16);
        Mark();
        X.Feed(BuildFrame('N', "next", seq));
        const auto next = Delivered();
        ASSERT_EQ(next.size(), 1u) << what;
        EXPECT_EQ(next[0].Block.value_or(""), "next") << what;
    }

    mutable TProtocolExerciser X;
    std::size_t FMark = 0;
};

} // namespace

TEST(BadInput, LongRandomStreamsLeaveTheLinkSaneAndWorking)
{
    struct TStream {
        const char* Name;
        std::function<std::string(std::mt19937&)> Next; // the next piece of the stream
    };
    static const char controls[] = {STX, ENQ, ACK, BEL, CR, ESC, NAK, 0x00};
    const std::vector<TStream> streams = {
        {"uniform random bytes",
         [](std::mt19937& rng) { return std::string(1, static_cast<char>(rng())); }},
        {"mostly control bytes",
         [](std::mt19937& rng) {
             return std::string(1, rng() % 4 ? controls[rng() % 8] : static_cast<char>(rng()));
         }},
        {"frames, cut frames and garbage",
         [](std::mt19937& rng) {
             std::string data(rng() % 40, '\0');
             for (auto& c : data)
                 c = static_cast<char>(rng());
             std::string frame = BuildFrame(static_cast<char>('A' + rng() % 26), data,
                                            static_cast<std::uint8_t>((rng() % 8) * 16 + rng() % 8));
             switch (rng() % 4) {
             case 0: frame.resize(rng() % frame.size()); break;                          // cut short
             case 1: frame[rng() % frame.size()] = static_cast<char>(rng()); break;       // a bit hit
             case 2: frame.insert(0, std::string(rng() % 5, static_cast<char>(rng()))); break; // noise first
             default: break;
             }
             return frame;
         }},
    };
    for (const auto& stream : streams) {
        SCOPED_TRACE(stream.Name);
        TProtocolExerciser x;
        std::mt19937 rng(11);
        std::size_t fed = 0;
        unsigned sends = 0;
        while (fed < 200000) {
            std::string chunk;
            const std::size_t size = 1 + rng() % 64;
            while (chunk.size() < size)
                chunk += stream.Next(rng);
            fed += chunk.size();
            x.Feed(chunk);
            if (rng() % 8 == 0)
                x.Advance(rng() % 3000);
            if (rng() % 16 == 0)
                x.Queue('S', "message " + std::to_string(++sends));
            const std::string broken = x.Check();
            ASSERT_EQ(broken, "") << "after " << fed << " bytes";
        }
        EXPECT_EQ(x.CheckRecovery(), "");
    }
}

// The fuzz target's operation streams, a few thousand drawn at random: every
// rule holds at every step, and the link recovers after each stream.
TEST(BadInput, RandomOperationStreamsKeepEveryRule)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string ops(1 + rng() % 300, '\0');
        for (auto& c : ops)
            c = static_cast<char>(rng());
        TProtocolExerciser x;
        std::string broken = x.Run(ops);
        if (broken.empty())
            broken = x.CheckRecovery();
        ASSERT_EQ(broken, "") << "round " << round << ": " << TProtocolExerciser::Hex(ops);
    }
}

TEST_F(BadInputTest, BadEscapesAreDecodedByTheRuleAndTheLinkGoesOn)
{
    struct TCase {
        const char* What;
        std::string Wire;     // the data bytes on the wire
        std::string Expected; // what the main thread gets
    };
    const std::vector<TCase> cases = {
        {"escape last in the frame", Bytes({'a', 'b', ESC}), "ab"},
        {"escape alone", Bytes({ESC}), ""},
        {"escape before 01", Bytes({ESC, 0x01, 'z'}), Bytes({0xE1, 'z'})},
        {"escape before 1F", Bytes({ESC, 0x1F}), Bytes({0xFF})},
        {"escape before 00", Bytes({ESC, 0x00}), Bytes({0xE0})},
        {"escape before STX", Bytes({ESC, STX}), Bytes({0xE2})},
        {"escape before escape", Bytes({ESC, ESC, 0x2F}), Bytes({0xEF, 0x2F})},
        {"escape of a letter", Bytes({ESC, 'a'}), "A"},
        {"escape of FF", Bytes({ESC, 0xFF}), Bytes({0xDF})},
    };
    for (const auto& c : cases) {
        Mark();
        const std::uint8_t seq = static_cast<std::uint8_t>(X.Control().ReceiveNumber() * 16);
        X.Feed(WireFrame(seq, 'E', c.Wire));
        // The sum fits: the frame is taken and answered.
        const std::uint8_t next = X.Control().ReceiveNumber();
        EXPECT_EQ(X.Io().TakeWritten(), Bytes({STX, next, ACK})) << c.What;
        const auto got = Delivered();
        ASSERT_EQ(got.size(), 1u) << c.What;
        EXPECT_EQ(got[0].WParam, (c.Expected.size() << 16) | 'E') << c.What;
        EXPECT_EQ(got[0].Block.value_or(""), c.Expected) << c.What;
        EXPECT_EQ(X.Check(), "") << c.What;
        ExpectNextFrameDelivered(c.What);
        X.Io().TakeWritten();
    }
}

TEST_F(BadInputTest, FrameThatLostItsStxIsRefused)
{
    struct TCase {
        const char* What;
        std::string Bytes;
    };
    // Both would pass the sum taken from the third byte on.
    const std::vector<TCase> cases = {
        {"noise in place of the STX", std::string{'?', 0x00, 'A'} + HexByte('A') + CR},
        {"line noise the length of a frame",
         std::string{'Z', 0x00, 'Q'} + "hello" + HexByte(Checksum('Q', "hello")) + CR},
    };
    for (const auto& c : cases) {
        Mark();
        X.Feed(c.Bytes);
        EXPECT_EQ(X.Io().TakeWritten(), Bytes({STX, 0x00, NAK})) << c.What;
        EXPECT_TRUE(Delivered().empty()) << c.What;
        EXPECT_EQ(X.Control().ReceiveNumber(), 0) << c.What;
    }
    ExpectNextFrameDelivered("after the refused frames");
}

TEST_F(BadInputTest, ReceiveBufferHoldsAThousandBytesAndDropsTheRest)
{
    // STX, seq, command, data, two digits: 5 + n bytes before the CR.
    struct TCase {
        std::size_t DataBytes;
        bool Taken;
    };
    for (const TCase c : {TCase{994, true}, TCase{995, true}, TCase{996, false}, TCase{5000, false}}) {
        SCOPED_TRACE(c.DataBytes);
        Mark();
        const std::uint8_t seq = static_cast<std::uint8_t>(X.Control().ReceiveNumber() * 16);
        const std::string data(c.DataBytes, 'x');
        X.Feed(BuildFrame('L', data, seq));
        EXPECT_LE(X.Control().ReceiveBuffer().size(), TMyComControl::ReceiveBufferMax);
        const std::string answer = X.Io().TakeWritten();
        ASSERT_EQ(answer.size(), 3u);
        EXPECT_EQ(answer[2], c.Taken ? ACK : NAK);
        const auto got = Delivered();
        ASSERT_EQ(got.size(), c.Taken ? 1u : 0u);
        if (c.Taken) {
            EXPECT_EQ(got[0].Block.value_or(""), data);
        }
        EXPECT_EQ(X.Check(), "");
        ExpectNextFrameDelivered("after the long frame");
        X.Io().TakeWritten();
    }
}
