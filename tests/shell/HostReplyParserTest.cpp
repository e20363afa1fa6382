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
