// The rules of the send functions without a window: the FFSK telegram line,
// the keys the hex and number fields take, the additional bytes offered.
#include "radioplugin/SendFunctions.h"

#include <gtest/gtest.h>

namespace {

TFFSKFields StartValues()
{
    TFFSKFields f;
    f.Infobyte1 = "91";
    f.Infobyte2 = "06";
    f.Infobyte3 = "00";
    f.Zusatzbyte.fill("00");
    f.RadioChannel = "0";
    return f;
}

} // namespace

TEST(FFSKTelegram, LinesFromTheFields)
{
    struct Case {
        const char* what;
        std::function<void(TFFSKFields&)> change;
        const char* line;
    };
    const Case cases[] = {
        {"start values: six additional bytes", [](TFFSKFields&) {},
         "00 00 00 00 00 00 00 06 91 09 00 FFSK-SEND\n"},
        {"info byte 1 not 9x: info bytes only, extras ignored",
         [](TFFSKFields& f) { f.Infobyte1 = "12"; f.Zusatzbyte.fill("zz"); }, "00 06 12 03 00 FFSK-SEND\n"},
        {"eight additional bytes, last first",
         [](TFFSKFields& f) {
             f.Infobyte2 = "08";
             for (int i = 0; i < 8; ++i)
                 f.Zusatzbyte[static_cast<std::size_t>(i)] = std::string(1, static_cast<char>('1' + i)) + "A";
         },
         "8A 7A 6A 5A 4A 3A 2A 1A 00 08 91 0B 00 FFSK-SEND\n"},
        {"no additional byte", [](TFFSKFields& f) { f.Infobyte2 = "00"; }, "00 00 91 03 00 FFSK-SEND\n"},
        {"additional bytes n down to 1",
         [](TFFSKFields& f) { f.Infobyte2 = "02"; f.Zusatzbyte[0] = "B1"; f.Zusatzbyte[1] = "B2"; f.Zusatzbyte[2] = "B3"; },
         "B2 B1 00 02 91 05 00 FFSK-SEND\n"},
        {"more than eight asked for: all eight", [](TFFSKFields& f) { f.Infobyte2 = "0B"; },
         "00 00 00 00 00 00 00 00 00 0B 91 0B 00 FFSK-SEND\n"},
        {"channel 12 is 0C", [](TFFSKFields& f) { f.Infobyte1 = "12"; f.RadioChannel = "12"; },
         "00 06 12 03 0C FFSK-SEND\n"},
        {"channel above 255: three digits", [](TFFSKFields& f) { f.Infobyte1 = "12"; f.RadioChannel = "300"; },
         "00 06 12 03 12C FFSK-SEND\n"},
        {"lower-case hex and a single digit", [](TFFSKFields& f) { f.Infobyte1 = "1a"; f.Infobyte3 = "5"; },
         "05 06 1A 03 00 FFSK-SEND\n"},
        {"an empty field counts 0", [](TFFSKFields& f) { f.Infobyte1 = "12"; f.Infobyte3 = ""; },
         "00 06 12 03 00 FFSK-SEND\n"},
    };
    for (const Case& c : cases) {
        TFFSKFields f = StartValues();
        c.change(f);
        const auto line = FFSKTelegramLine(f);
        ASSERT_TRUE(line) << c.what;
        EXPECT_EQ(*line, c.line) << c.what;
    }
}

TEST(FFSKTelegram, FieldsThatAreNoNumbersGiveNoLine)
{
    const std::function<void(TFFSKFields&)> faults[] = {
        [](TFFSKFields& f) { f.Infobyte3 = "G1"; },
        [](TFFSKFields& f) { f.Zusatzbyte[7] = "X"; }, // hidden ones still count in a 09 telegram
        [](TFFSKFields& f) { f.RadioChannel = ""; },
        [](TFFSKFields& f) { f.RadioChannel = "1a"; },
        [](TFFSKFields& f) { f.RadioChannel = "99999999999"; },
        [](TFFSKFields& f) { f.Infobyte2 = "6"; }, // its second digit counts
    };
    for (const auto& fault : faults) {
        TFFSKFields f = StartValues();
        fault(f);
        EXPECT_FALSE(FFSKTelegramLine(f));
    }
}

TEST(SendFields, HexKeys)
{
    struct Case {
        char key;
        const char* text;
        int selStart, selLength;
        bool info2;
        const char* info1;
        bool accepted;
        char typed;
    };
    const Case cases[] = {
        {'a', "", 0, 0, false, "12", true, 'A'},       // upper-cased
        {'7', "1", 1, 0, false, "12", true, '7'},
        {'G', "", 0, 0, false, "12", false, 'G'},
        {' ', "", 0, 0, false, "12", false, ' '},
        {'1', "12", 2, 0, false, "12", false, '1'},    // full, nothing selected
        {'1', "12", 0, 2, false, "12", true, '1'},     // full, all selected
        {'\b', "12", 2, 0, false, "12", true, '\b'},   // backspace always
        {'9', "0", 1, 0, true, "91", false, '9'},      // 09: more than eight extras
        {'8', "0", 1, 0, true, "91", true, '8'},
        {'9', "0", 1, 0, true, "12", true, '9'},       // no 09 telegram: no limit
        {'9', "08", 1, 1, true, "91", false, '9'},     // replacing the low digit by 9
        {'1', "08", 0, 1, true, "91", true, '1'},      // 18: low digit 8
        {'\b', "09", 2, 0, true, "91", true, '\b'},    // backspace leaves "0"
    };
    for (const Case& c : cases) {
        char key = c.key;
        EXPECT_EQ(HexKeyAccepted(key, c.text, c.selStart, c.selLength, c.info2, c.info1), c.accepted)
            << "key '" << c.key << "' on \"" << c.text << "\"";
        EXPECT_EQ(key, c.typed);
    }
}

TEST(SendFields, PaddingDigitsAndExtras)
{
    EXPECT_EQ(PadHexField(""), "00");
    EXPECT_EQ(PadHexField("A"), "0A");
    EXPECT_EQ(PadHexField("AB"), "AB");
    for (char c : std::string("0123456789\b"))
        EXPECT_TRUE(DigitKeyAccepted(c));
    for (char c : std::string("a-+ ,.\x7f"))
        EXPECT_FALSE(DigitKeyAccepted(c));
    EXPECT_TRUE(OffersAdditionalBytes("91"));
    EXPECT_TRUE(OffersAdditionalBytes("9"));
    EXPECT_FALSE(OffersAdditionalBytes(""));
    EXPECT_FALSE(OffersAdditionalBytes("19"));
    EXPECT_EQ(AdditionalByteCount("06"), 6);
    EXPECT_EQ(AdditionalByteCount("1F"), 15);
    EXPECT_EQ(AdditionalByteCount("xy"), 0);
    EXPECT_EQ(TextAfterKey("AB", 1, 0, '\b'), "B");
    EXPECT_EQ(TextAfterKey("AB", 0, 2, '\b'), "");
    EXPECT_EQ(TextAfterKey("AB", 0, 0, '\b'), "AB");
    EXPECT_EQ(TextAfterKey("AB", 1, 1, 'C'), "AC");
}
