// The program's own reply parser over messages in a row.
#include "shell/HostReplyParser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Outcome {
    std::vector<std::string> Identifications;
    std::vector<TUploadReplyStatus> Replies;
};

Outcome Feed(const std::vector<std::string>& messages, std::uint8_t start = THostReplyParser::Idle)
{
    Outcome out;
    THostReplyParser parser;
    parser.OnIdentification = [&](const std::string& t) { out.Identifications.push_back(t); };
    parser.OnUploadReply = [&](TUploadReplyStatus r) { out.Replies.push_back(r); };
    parser.SetState(start);
    for (const auto& m : messages)
        parser.Parse(m);
    return out;
}

} // namespace

TEST(HostReplyParser, IdentificationWithinAndAcrossMessages)
{
    EXPECT_EQ(Feed({"\x89" "ABC\r"}).Identifications, std::vector<std::string>{"ABC"});
    EXPECT_EQ(Feed({"\x89" "A", "B\r"}).Identifications, std::vector<std::string>{"AB"});
    // Inside the text every byte but CR belongs to it, command bytes too.
    EXPECT_EQ(Feed({"\x89" "A", "\x89" "B\r"}).Identifications, std::vector<std::string>{"A\x89" "B"});
    EXPECT_EQ(Feed({"\x89" "A\r", "\x89" "B\r"}).Identifications, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(Feed({"\x89" "X\x80\r"}).Identifications, std::vector<std::string>{"X\x80"});
    EXPECT_TRUE(Feed({"\x89" "ABC"}).Identifications.empty());
}

TEST(HostReplyParser, AnIdentificationThatNeverEndsIsBounded)
{
    const std::size_t max = THostReplyParser::MaxIdentificationLength;
    // The longest text still counts, across messages too.
    const std::string longest(max, 'A');
    EXPECT_EQ(Feed({"\x89" + longest.substr(0, 100), longest.substr(100) + "\r"}).Identifications,
              std::vector<std::string>{longest});

    // One byte more and the text is dropped; what follows is read as replies
    // again, so an identification after it still arrives.
    THostReplyParser parser;
    std::vector<std::string> seen;
    parser.OnIdentification = [&](const std::string& t) { seen.push_back(t); };
    parser.SetState(THostReplyParser::Idle);
    for (int i = 0; i < 4000; ++i)
        parser.Parse(i == 0 ? "\x89" + std::string(64, 'x') : std::string(64, 'x'));
    EXPECT_LE(parser.IdentificationText().size(), max);
    EXPECT_EQ(parser.State(), THostReplyParser::Idle);
    parser.Parse("\r\x89" "ID\r");
    EXPECT_EQ(seen, std::vector<std::string>{"ID"});
}

TEST(HostReplyParser, UploadAnswer)
{
    using R = TUploadReplyStatus;
    EXPECT_EQ(Feed({std::string("\x8B\x00", 2)}).Replies, (std::vector<R>{R::urUndefined, R::urGoAhead}));
    EXPECT_EQ(Feed({"\x8B", "\x05"}).Replies, (std::vector<R>{R::urUndefined, R::urNotEnoughMenory}));
    // The answer byte may itself be 0x80 or above.
    EXPECT_EQ(Feed({"\x8B\x90"}).Replies, (std::vector<R>{R::urUndefined, R::urNotEnoughMenory}));
}

TEST(HostReplyParser, DataBytesAndNewCommands)
{
    THostReplyParser parser;
    parser.SetState(THostReplyParser::Idle);
    parser.Parse("\x81\x90\x41"); // 0x90 cuts the reply of 0x81 short and is ignored
    EXPECT_EQ(parser.State(), THostReplyParser::Idle);
    parser.Parse("\x84");
    EXPECT_EQ(parser.State(), 6);
    parser.Parse("\x90"); // the data byte of 0x84
    EXPECT_EQ(parser.State(), THostReplyParser::Idle);
    for (const auto& [command, next] : std::vector<std::pair<int, int>>{
             {0x80, 2}, {0x88, 10}, {0x8A, 13}, {0x8D, 15}, {0x8C, 1}, {0x8E, 1}, {0xFF, 1}, {0x41, 1}}) {
        parser.SetState(THostReplyParser::Idle);
        parser.Parse(std::string(1, static_cast<char>(command)));
        EXPECT_EQ(parser.State(), next) << command;
    }
    // A reply that waits for its byte in states 2, 3, 15 yields to a command.
    parser.SetState(THostReplyParser::Idle);
    parser.Parse("\x8D\x89" "ID\r");
    EXPECT_EQ(parser.State(), THostReplyParser::Idle);
    EXPECT_EQ(parser.IdentificationText(), "ID");
}

TEST(HostReplyParser, NothingChangesWhileTheLinkIsDown)
{
    const Outcome out = Feed({"\x89" "ABC\r", std::string("\x8B\x00", 2)}, THostReplyParser::NotConnected);
    EXPECT_TRUE(out.Identifications.empty());
    EXPECT_TRUE(out.Replies.empty());
}

// Where the link cuts the byte stream into messages changes nothing: each
// stream gives its outcome for every way of cutting it in up to three parts.
TEST(HostReplyParser, MessageBoundariesChangeNothing)
{
    using R = TUploadReplyStatus;
    const struct {
        const char* Name;
        std::string Stream;
        std::uint8_t Start;
        std::vector<std::string> Identifications;
        std::vector<R> Replies;
        std::uint8_t End;
    } cases[] = {
        {"identification", "\x89" "ABC\r", THostReplyParser::Idle, {"ABC"}, {}, THostReplyParser::Idle},
        {"go-ahead", std::string("\x8B\x00", 2), THostReplyParser::Idle, {}, {R::urUndefined, R::urGoAhead}, 1},
        {"not enough memory", "\x8B\x05", THostReplyParser::Idle, {}, {R::urUndefined, R::urNotEnoughMenory}, 1},
        {"0x90 cuts 0x81 short, 0x41 is idle talk", "\x81\x90\x41", THostReplyParser::Idle, {}, {}, 1},
        {"0x90 is the data byte of 0x84", "\x84\x90", THostReplyParser::Idle, {}, {}, 1},
        {"a data byte, then an identification", "\x85\x89\x89" "R1\r", THostReplyParser::Idle, {"R1"}, {}, 1},
        {"0x8D yields to the upload answer", std::string("\x8D\x8B\x00", 3), THostReplyParser::Idle, {},
         {R::urUndefined, R::urGoAhead}, 1},
        {"two identifications", "\x89" "A\r\x89\r", THostReplyParser::Idle, {"A", ""}, {}, 1},
        {"an unfinished identification", "\x89" "AB", THostReplyParser::Idle, {}, {}, THostReplyParser::Identification},
        {"the link is down", std::string("\x89" "ABC\r\x8B\x00", 7), THostReplyParser::NotConnected, {}, {}, 0},
    };
    for (const auto& c : cases) {
        const std::size_t n = c.Stream.size();
        for (std::size_t first = 0; first <= n; ++first)
            for (std::size_t second = first; second <= n; ++second) {
                SCOPED_TRACE(testing::Message() << c.Name << ", cut at " << first << " and " << second);
                Outcome out;
                THostReplyParser parser;
                parser.OnIdentification = [&](const std::string& t) { out.Identifications.push_back(t); };
                parser.OnUploadReply = [&](TUploadReplyStatus r) { out.Replies.push_back(r); };
                parser.SetState(c.Start);
                for (const std::string& chunk :
                     {c.Stream.substr(0, first), c.Stream.substr(first, second - first), c.Stream.substr(second)})
                    if (!chunk.empty())
                        parser.Parse(chunk);
                EXPECT_EQ(out.Identifications, c.Identifications);
                EXPECT_EQ(out.Replies, c.Replies);
                EXPECT_EQ(parser.State(), c.End);
            }
    }
}
