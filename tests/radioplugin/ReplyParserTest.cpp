// The tokenizer and the reply parser: every reply form, keys in any case,
// slot telegrams good and broken, bad hex and truncated lines.
#include "platform/Exception.h"
#include "radioplugin/StringTokens.h"
#include "tests/radioplugin/RuvoTestSupport.h"

#include <gtest/gtest.h>

using Tokens = std::vector<std::string>;

TEST(Tokenizer, SplitTokens)
{
    struct Case {
        std::string S, Delimiter, Quote;
        Tokens Expected;
    };
    const Case cases[] = {
        {"", " ", "\"", {}},
        {"a b c", " ", "\"", {"a", "b", "c"}},
        {"a  b", " ", "\"", {"a", "", "b"}},       // two blanks: an empty token between
        {"a b ", " ", "\"", {"a", "b"}},           // no empty last token
        {" a", " ", "\"", {"", "a"}},
        {" ", " ", "\"", {""}},                    // S equals the delimiter
        {"\"", " ", "\"", {""}},                   // a lone quote: one empty token
        {"\"a b\" c", " ", "\"", {"a b", "c"}},    // quoted token
        {"\"a b", " ", "\"", {"\"a b"}},           // not closed: kept with its quote
        {"\"a\"b\" c", " ", "\"", {"a\"b", "c"}},  // ends only at quote + delimiter
        {"\"ab\"", " ", "\"", {"ab"}},
        {"a\"b c\"", " ", "\"", {"a\"b", "c\""}},  // a quote inside is an ordinary character
        {"x", " ", "\"", {"x"}},
        {"KEY=1F", "=", "", {"KEY", "1F"}},
        {"KEY=", "=", "", {"KEY"}},                // one part
        {"=5", "=", "", {"", "5"}},
        {"a=b=c", "=", "", {"a", "b", "c"}},
        {"\"a=b\"", "=", "", {"\"a", "b\""}},      // no quoting without a quote character
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitTokens(c.S, c.Delimiter, c.Quote), c.Expected) << "[" << c.S << "]";
}

TEST(Tokenizer, GetNextTokenShortensAndRefuses)
{
    std::string s = "PARAM NFLEVEL=1 SN=2";
    EXPECT_EQ(GetNextToken(s, " ", "\""), "PARAM");
    EXPECT_EQ(s, "NFLEVEL=1 SN=2");

    std::string t = "abc";
    try {
        GetNextToken(t, "", "\"");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "GetNextToken: Delimiter may not be an empty string");
    }
    std::string q = "'a', b";
    try {
        GetNextToken(q, "',", "'");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "GetNextToken: Quotecharacter (') may not be part of delimiter (',)");
    }
}

TEST(Tokenizer, ParseDecimal)
{
    struct Case {
        const char* Text;
        std::optional<std::int64_t> Value;
    };
    const Case cases[] = {
        {"0", 0}, {"-12", -12}, {"+7", 7}, {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt}, {"1 ", std::nullopt},
        {" 1", std::nullopt}, {"0x10", std::nullopt}, {"1e3", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseDecimal(c.Text), c.Value) << c.Text;
    EXPECT_EQ(ParseDecimal32("2147483648"), std::nullopt);
    EXPECT_EQ(ParseDecimal32("-2147483648"), INT32_MIN);
}

TEST(Tokenizer, UpperCaseOfLatin1)
{
    // The module's bytes: a-z and the accented small letters; ß, ÿ, the
    // division sign and everything else stay.
    EXPECT_EQ(UpperCase("ger\xE4t \xE9t\xE9 \xFE!"), "GER\xC4T \xC9T\xC9 \xDE!");
    EXPECT_EQ(UpperCase("stra\xDF" "e \xFF \xF7 \xB5 09 rpc"), "STRA\xDF" "E \xFF \xF7 \xB5 09 RPC");
    EXPECT_EQ(UpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(Texts, FillTextNeverFormatsTheTextItself)
{
    EXPECT_EQ(FillText("Sendeleistung %d für Slot %d", {"7", "5"}), "Sendeleistung 7 für Slot 5");
    EXPECT_EQ(FillText("\"%s\" 100%%", {"X"}), "\"X\" 100%");
    // A translated text with more or other placeholders than expected.
    EXPECT_EQ(FillText("%s %s %n %x %", {"a"}), "a %s %n %x %");
    EXPECT_EQ(RuvoText({}, "IDS_34"), "Unbekannte Parametermeldung vom Gerät: \"%s\"");
    EXPECT_EQ(RuvoText([](const std::string&) { return std::string("other"); }, "IDS_34"), "other");
    EXPECT_EQ(RuvoText([](const std::string&) { return std::string(); }, "IDS_27"),
              "Es wird das Standardprojekt eingestellt.");
}

namespace {

class ReplyParser : public RuvoFixture {
protected:
    void SetUp() override
    {
        RuvoFixture::SetUp();
        ResetEvent(Transport->DeviceReply());
        ResetEvent(Transport->RadioReply());
    }
    std::string ErrorOf(const std::string& data)
    {
        try {
            Parser->HandleReply(data);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }
};

} // namespace

TEST_F(ReplyParser, AnswersThatPaceTheQueues)
{
    struct Case {
        std::string Data;
        bool Device, Radio;
    };
    const Case cases[] = {
        {"OK.", true, false},
        {"OK. weiter so", true, false},
        {"  OK.\r\n", true, false},
        {"Huh?", true, false},
        {"Huh? 12", true, false},
        {"OK", false, false},
        {"ok.", false, false},
        {"OK.x", false, false},
        {"HUH?", false, false},
        {"\"OK.\"", true, false}, // the quotes of a quoted token go
        {"#r OK", false, true},
        {"#r ok", false, true},  // the radio part is compared upper-cased
        {"#r ERROR 3", false, true},
        {"#r BROKEN", false, true}, // "OK" anywhere in it
        {"#rOK", false, false},     // P starts at the fourth character
        {"#R OK", false, false},    // the selector is case-sensitive
        {"#g OK", false, false},
        {"#w ERROR", false, false},
        {"", false, false},
        {std::string("\0\0\0", 3), false, false},
        {"#r", false, false},
    };
    for (const auto& c : cases) {
        ResetEvent(Transport->DeviceReply());
        ResetEvent(Transport->RadioReply());
        EXPECT_EQ(ErrorOf(c.Data), "") << c.Data;
        EXPECT_EQ(IsSignalled(Transport->DeviceReply()), c.Device) << "[" << c.Data << "]";
        EXPECT_EQ(IsSignalled(Transport->RadioReply()), c.Radio) << "[" << c.Data << "]";
    }
}

TEST_F(ReplyParser, TraceLinesGoToTheirWindows)
{
    for (const char* data : {"#g $GPRMC,1,a", "#w 12 ab", "#r hallo", "#x egal", "OK.", "ab"})
        Parser->HandleReply(data);
    const std::vector<std::pair<TRuvoMonitor, std::string>> expected = {
        {TRuvoMonitor::GPS, " $GPRMC,1,A"},
        {TRuvoMonitor::IBIS, " 12 AB"},
        {TRuvoMonitor::Terminal, " HALLO"},
    };
    EXPECT_EQ(View.Lines, expected);
}

TEST_F(ReplyParser, ParamReports)
{
    Parser->HandleReply("PARAM squelch-low=dc SQUELCH-HIGH=2D0 Squelch-Index=3 AIR-LIMIT=5a PROJECT=2 NFLEVEL=1F "
                        "SN=3039 MODULATION=7 FFSK-FILTER=1 UNKNOWN=5 =4");
    EXPECT_EQ(Set.SquelchLow(), 220);
    EXPECT_EQ(Set.SquelchHigh(), 720);
    EXPECT_EQ(Set.SquelchIndex(), 3);
    EXPECT_EQ(Set.SendTimeLimit(), 90);
    EXPECT_EQ(Set.ProjectNr(), 2);
    EXPECT_EQ(Set.NFLevel(), 31);
    EXPECT_EQ(Set.SerialNumber(), 12345);
    EXPECT_EQ(Set.Modulation(), 7);
    EXPECT_TRUE(Set.FFSKFilterActive());
    const std::vector<std::pair<TRuvoParam, std::int32_t>> reported = {
        {TRuvoParam::SquelchLow, 220}, {TRuvoParam::SquelchHigh, 720}, {TRuvoParam::SquelchIndex, 3},
        {TRuvoParam::AirLimit, 90},    {TRuvoParam::Project, 2},       {TRuvoParam::NFLevel, 31},
        {TRuvoParam::SerialNumber, 12345}, {TRuvoParam::Modulation, 7}, {TRuvoParam::FFSKFilter, 1},
    };
    EXPECT_EQ(View.Reported, reported);
    EXPECT_TRUE(View.Warnings.empty());

    // Left to right; the filter follows any value but 0; an empty value is 0.
    Parser->HandleReply("PARAM FFSK-FILTER=2 NFLEVEL=4 NFLEVEL=5");
    EXPECT_TRUE(Set.FFSKFilterActive());
    EXPECT_EQ(Set.NFLevel(), 5);
    Parser->HandleReply("PARAM FFSK-FILTER=0");
    EXPECT_FALSE(Set.FFSKFilterActive());
    // "PARAM" alone, or not the first token, changes nothing.
    View.Reported.clear();
    Parser->HandleReply("PARAM");
    Parser->HandleReply("X PARAM NFLEVEL=1");
    Parser->HandleReply("param NFLEVEL=1");
    EXPECT_TRUE(View.Reported.empty());
    EXPECT_EQ(Set.NFLevel(), 5);
}

TEST_F(ReplyParser, BrokenParamItemsStopTheLine)
{
    struct Case {
        std::string Data;
        std::string Error;
    };
    const Case cases[] = {
        {"PARAM NFLEVEL=3 BROKEN SN=1", "Unbekannte Parametermeldung vom Gerät: \"BROKEN\""},
        {"PARAM NFLEVEL=3 SN=", "Unbekannte Parametermeldung vom Gerät: \"SN=\""},
        {"PARAM NFLEVEL=3 SN=1=2", "Unbekannte Parametermeldung vom Gerät: \"SN=1=2\""},
        {"PARAM NFLEVEL=3  SN=1", "Unbekannte Parametermeldung vom Gerät: \"\""},
        {"PARAM NFLEVEL=3 SN=XZ", "HexToInt: Invalid character in Hex string: XZ"},
        {"PARAM NFLEVEL=3 SN=123456789", "HexToInt: Invalid character in Hex string: 123456789"},
        {"PARAM NFLEVEL=3 SN=-1", "HexToInt: Invalid character in Hex string: -1"},
    };
    for (const auto& c : cases) {
        Set.SetNFLevel(0);
        Set.SetSerialNumber(77);
        EXPECT_EQ(ErrorOf(c.Data), c.Error) << c.Data;
        EXPECT_EQ(Set.NFLevel(), 3) << "items before the broken one stay: " << c.Data;
        EXPECT_EQ(Set.SerialNumber(), 77) << c.Data;
    }
}

TEST_F(ReplyParser, UnknownProjectIsWarnedAbout)
{
    Parser->HandleReply("PARAM PROJECT=7");
    EXPECT_EQ(Set.ProjectNr(), 7);
    ASSERT_EQ(View.Warnings.size(), 1u);
    EXPECT_EQ(View.Warnings[0], "Die vom Gerät gemeldete Projektkennung (7) ist nicht bekannt.\r\n"
                                "Es wird das Standardprojekt eingestellt.");
    Parser->HandleReply("PARAM PROJECT=3");
    Parser->HandleReply("PARAM PROJECT=2");
    Parser->HandleReply("PARAM PROJECT=FFFFFFFF"); // negative: selects nothing, no warning
    EXPECT_EQ(View.Warnings.size(), 2u);
    EXPECT_EQ(Set.ProjectNr(), -1);
}

TEST_F(ReplyParser, SlotTelegrams)
{
    Parser->HandleReply("#r SPEICHER 5 EMPFANG: 100 SENDEN: 2518 LEISTUNG: 3");
    const TChannelEntry& s = *Set.GetSlot(5);
    EXPECT_EQ(s.Receive(), 100);
    EXPECT_EQ(s.Transmit(), 2518);
    EXPECT_EQ(s.Power(), 3);
    EXPECT_EQ(s.Number(), 5);
    EXPECT_TRUE(Transport->SlotTelegramSeen());
    EXPECT_EQ(View.Steps, 1);
    EXPECT_EQ(View.Slots, std::vector<int>{5});
    EXPECT_FALSE(IsSignalled(Transport->RadioReply()));
    ASSERT_EQ(View.Lines.size(), 1u);
    EXPECT_EQ(View.Lines[0].second, " SPEICHER 5 EMPFANG: 100 SENDEN: 2518 LEISTUNG: 3");

    // Lower case in the line, ERROR and SPEICHER together, power 0, and a
    // channel the raster does not know (stored as the module reports it).
    Parser->HandleReply("#r speicher 31 error: 3000 tx: 0 p: 0");
    EXPECT_EQ(Set.GetSlot(31)->Receive(), 3000);
    EXPECT_EQ(Set.GetSlot(31)->Power(), 0);
    EXPECT_EQ(ErrorOf("#r Speicher 0 rx: 1 tx: 2 p: 5"), "");
    EXPECT_TRUE(IsSignalled(Transport->RadioReply()));
    EXPECT_EQ(Set.GetSlot(0)->Power(), 5);
    EXPECT_EQ(Set.GetSlot(0)->Transmit(), 2);
}

TEST_F(ReplyParser, BrokenSlotTelegramsLeaveTheSlot)
{
    struct Case {
        std::string Data;
        std::string Error;
    };
    const std::string syntax = "Invalid syntax of radio-channel-telegram ";
    const Case cases[] = {
        {"#r SPEICHER X5 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3", syntax + "\"X5 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3\""},
        {"#r SPEICHER", syntax + "\"SPEICHER\""},
        {"#r SPEICHER 5", syntax + "\"5\""},
        {"#r SPEICHER 32 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3",
         "Fehlerhaftes Funkmodultelegramm: Es Funkgerät meldet vermeintlich Werte für Funkkanal 32. Diesen gibt es "
         "aber nicht"},
        {"#r SPEICHER -1 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3",
         "Fehlerhaftes Funkmodultelegramm: Es Funkgerät meldet vermeintlich Werte für Funkkanal -1. Diesen gibt es "
         "aber nicht"},
        {"#r SPEICHER 4 EMPFANG: X1 SENDEN: 2 LEISTUNG: 3", syntax + "\"SPEICHER 4 EMPFANG: X1 SENDEN: 2 LEISTUNG: 3\""},
        {"#r SPEICHER 4 EMPFANG: -7 SENDEN: 2 LEISTUNG: 3", syntax + "\"SPEICHER 4 EMPFANG: -7 SENDEN: 2 LEISTUNG: 3\""},
        {"#r SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG: X", syntax + "\"SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG: X\""},
        {"#r SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG:", syntax + "\"SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG:\""},
        {"#r SPEICHER 4 EMPFANG: 1 SENDEN: 2", syntax + "\"SPEICHER 4 EMPFANG: 1 SENDEN: 2\""},
        {"#r SPEICHER 4 EMPFANG: 1", syntax + "\"SPEICHER 4 EMPFANG: 1\""},
        {"#r SPEICHER 4 EMPFANG 1 SENDEN 2 LEISTUNG 3", syntax + "\"SPEICHER 4 EMPFANG 1 SENDEN 2 LEISTUNG 3\""},
        {"#r SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG: 7",
         "Die vom Funkgerät gemeldete Sendeleistung 7 für Slot 4 ist nicht bekannt\r\n"
         "Akzeptiert werden Werte zwischen 0 und 4."},
        {"#r SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG: -1",
         "Die vom Funkgerät gemeldete Sendeleistung -1 für Slot 4 ist nicht bekannt\r\n"
         "Akzeptiert werden Werte zwischen 0 und 4."},
        {"#r SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3 ERROR", syntax + "\"SPEICHER 4 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3 ERROR\""},
    };
    TRuvoParameter before;
    for (int i = 0; i < 32; ++i) {
        Set.GetSlot(i)->SetReceive(11);
        Set.GetSlot(i)->SetTransmit(22);
        Set.GetSlot(i)->SetPower(2);
    }
    before.Assign(Set);
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorOf(c.Data), c.Error) << c.Data;
        EXPECT_TRUE(Set == before) << c.Data;
    }
    EXPECT_TRUE(View.Slots.empty());
    EXPECT_TRUE(Transport->SlotTelegramSeen()) << "a broken telegram still ends the polling";
}

TEST_F(ReplyParser, TranslatedTextsComeFromTheLookup)
{
    TRuvoReplyParser parser(Set, *Transport, View, [](const std::string& id) {
        return id == "IDS_34" ? std::string("Unknown item %s %s %d") : std::string();
    });
    try {
        parser.HandleReply("PARAM X");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unknown item X %s %d");
    }
}
