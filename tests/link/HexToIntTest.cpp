#include "link/HexToInt.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

TEST(HexToInt, ReadsHexInEitherCase)
{
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"", 0},          {"0", 0},           {"1F", 31},         {"1f", 31},
        {"aBcD", 0xABCD}, {"7FFFFFFF", 0x7FFFFFFF}, {"FFFFFFFF", -1}, {"0000000001", 1},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(HexToInt(text), value) << text;
}

TEST(HexToInt, BadTextRaisesOrGivesTheDefault)
{
    for (const std::string text : {"G", "12 ", " 1", "0x10", "-1", "123456789"}) {
        try {
            HexToInt(text);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "HexToInt: Invalid character in Hex string: " + text);
        }
        EXPECT_EQ(HexToIntDef(text, -1), -1) << text;
    }
    EXPECT_EQ(HexToIntDef("10", -1), 16);
}
