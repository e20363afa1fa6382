// UTF-8 read one code point at a time, the two 8-bit code pages of the files
// (Latin-1 and Windows-1252), and the ASCII-only case and trim routines.
#include "platform/AsciiText.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The code points of a text as NextUtf8 reads them, 0xFFFFFFFF for each byte
// that starts no well-formed sequence.
std::vector<char32_t> Points(const std::string& text)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();)
        out.push_back(NextUtf8(text, i).value_or(0xFFFFFFFF));
    return out;
}

constexpr char32_t kNone = 0xFFFFFFFF;

} // namespace

TEST(TextCodec, ReadsWellFormedUtf8AndNothingElse)
{
    const struct {
        const char* what;
        std::string text;
        std::vector<char32_t> points;
    } cases[] = {
        {"ASCII", "a\x7f", {'a', 0x7F}},
        {"a NUL", std::string("\0", 1), {0}},
        {"two bytes", "\xC3\xA4\xDF\xBF", {0xE4, 0x7FF}},
        {"three bytes", "\xE2\x82\xAC\xEF\xBB\xBF", {0x20AC, 0xFEFF}},
        {"four bytes", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", {0x1F600, 0x10FFFF}},
        {"an overlong two-byte form", "\xC0\xBC\xC1\x81", {kNone, kNone, kNone, kNone}},
        {"an overlong three-byte form", "\xE0\x9F\xBF", {kNone, kNone, kNone}},
        {"an overlong four-byte form", "\xF0\x8F\xBF\xBF", {kNone, kNone, kNone, kNone}},
        {"a surrogate", "\xED\xA0\x80x", {kNone, kNone, kNone, 'x'}},
        {"past U+10FFFF", "\xF4\x90\x80\x80", {kNone, kNone, kNone, kNone}},
        {"no lead byte", "\xF5\x80\xFF", {kNone, kNone, kNone}},
        {"a sequence cut short by the end", "a\xE2\x82", {'a', kNone, kNone}},
        {"a sequence cut short by another character", "\xE2\x82x\xC3", {kNone, kNone, 'x', kNone}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Points(c.text), c.points) << c.what;
}

TEST(TextCodec, Latin1BothWays)
{
    const struct {
        std::string utf8;
        std::string latin1;
    } cases[] = {
        {"Gr\xC3\xB6\xC3\x9F" "e \xC2\xB0" "C", "Gr\xF6\xDF" "e \xB0" "C"},
        {"\xC3\xBF", "\xFF"},
        {"5 \xE2\x82\xAC", "5 ?"},           // no euro sign in Latin-1
        {"\xF0\x9F\x98\x80!", "?!"},          // one character, one '?'
        {"\xC3", "?"},                        // not UTF-8: a '?' a byte
        {"\xC1\x81", "??"},                   // an overlong "A" is no "A"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1) << c.utf8;
        if (c.latin1.find('?') == std::string::npos) {
            EXPECT_EQ(Latin1ToUtf8(c.latin1), c.utf8) << c.utf8;
        }
    }
}

TEST(TextCodec, Windows1252BothWays)
{
    // The 32 characters where it differs from Latin-1, the undefined bytes
    // as the control characters of their number.
    std::string high;
    for (int b = 0x80; b < 0xA0; ++b)
        high += static_cast<char>(b);
    EXPECT_EQ(Windows1252ToUtf8(high), "€\xC2\x81" "‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8D" "Ž\xC2\x8F\xC2\x90" "‘’“”•–—˜™š›œ\xC2\x9D" "žŸ");
    EXPECT_EQ(Windows1252ToUtf8("\x84Hallo\x93 \x96 5 \x80 Gr\xFC\xDF" "e"), "„Hallo“ – 5 € Grüße");

    // Every byte reads as a character that writes back as the same byte.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_TRUE(FitsWindows1252(Windows1252ToUtf8(all)));
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);

    const struct {
        const char* what;
        std::string utf8;
        std::string bytes;
        bool fits;
    } cases[] = {
        {"Latin-1's upper half", "\xC3\xBF\xC2\xA0", "\xFF\xA0", true},
        {"the euro sign", "5 \xE2\x82\xAC", "5 \x80", true},
        {"the control character 1252 puts the euro sign in place of", "\xC2\x80", "?", false},
        {"a Greek letter", "\xCE\xA9!", "?!", false},
        {"a character past 16 bits", "\xF0\x9F\x98\x80", "?", false},
        {"no UTF-8", "\xC3", "?", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.bytes) << c.what;
        EXPECT_EQ(FitsWindows1252(c.utf8), c.fits) << c.what;
    }
}

// Case folds A-Z alone, so a UTF-8 or Latin-1 letter never matches another
// byte and the outcome does not hang on the C library's locale; trimming
// takes every byte up to the space, and nothing above it.
TEST(AsciiText, FoldsAndTrimsAsciiAlone)
{
    EXPECT_TRUE(SameText("Software\\Maker", "SOFTWARE\\maker"));
    EXPECT_FALSE(SameText("\xC3\xA4", "\xC3\x84")); // ä against Ä
    EXPECT_FALSE(SameText("i", "\xC4\xB0"));       // i against the dotted capital I
    EXPECT_FALSE(SameText("ab", "abc"));
    EXPECT_EQ(AsciiUpperCase("radiotalk-\xE4n"), "RADIOTALK-\xE4N");
    EXPECT_EQ(AsciiLowerCase("{ABC-\xC4}"), "{abc-\xC4}");

    const struct {
        const char* text;
        const char* trimmed;
        const char* left;
        const char* right;
    } cases[] = {
        {"", "", "", ""},
        {" \t\r\n", "", "", ""},
        {"\x01 a b\x1f", "a b", "a b\x1f", "\x01 a b"},
        {"\x7f" "a\xA0", "\x7f" "a\xA0", "\x7f" "a\xA0", "\x7f" "a\xA0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Trim(c.text), c.trimmed) << c.text;
        EXPECT_EQ(TrimLeft(c.text), c.left) << c.text;
        EXPECT_EQ(TrimRight(c.text), c.right) << c.text;
    }
}
