// The engine's string routines: fields of delimited lines, searching and
// replacing, splitting, line breaking, escapes and the test-mode transforms.
#include "localization/lcComp.h"

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(StringRoutines, ExtractFieldCountsDelimitersFromTheStart)
{
    struct TCase {
        std::string Text;
        int N;
        std::string Expected;
    };
    const TCase cases[] = {
        {"TfLanguage\x01Sprache\x01Language\x01", 0, "TfLanguage"},
        {"TfLanguage\x01Sprache\x01Language\x01", 1, "Sprache"},
        {"TfLanguage\x01Sprache\x01Language\x01", 2, "Language"},
        {"TfLanguage\x01Sprache\x01Language\x01", 3, ""},
        {"TfLanguage\x01Sprache\x01Language\x01", 4, ""},
        {"K\x01\x01\x01", 1, ""},
        {"K\x01" "a", 1, "a"},            // no closing delimiter: up to the end
        {"\x01" "a\x01" "b", 0, "\x01" "a"}, // the first byte belongs to field 0
        {"", 0, ""},
        {"K", 0, "K"},
        {"K", -1, ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ExtractField(c.Text, 1, c.N), c.Expected) << c.N << " of " << c.Text;
}

TEST(StringRoutines, PosBMHAgreesWithAPlainSearch)
{
    EXPECT_EQ(PosBMH("", "abc"), 1);
    EXPECT_EQ(PosBMH("abc", ""), 0);
    EXPECT_EQ(PosBMH("abcd", "abc"), 0);
    EXPECT_EQ(PosBMH("c", "abc"), 3);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> letter(0, 2);
    std::uniform_int_distribution<int> length(0, 12);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        std::string pattern;
        for (int i = length(random) * 3; i > 0; --i)
            text += static_cast<char>('a' + letter(random));
        for (int i = length(random) / 3 + 1; i > 0; --i)
            pattern += static_cast<char>('a' + letter(random));
        const size_t found = text.find(pattern);
        const int expected = found == std::string::npos ? 0 : static_cast<int>(found) + 1;
        ASSERT_EQ(PosBMH(pattern, text), expected) << pattern << " in " << text;
    }
}

TEST(StringRoutines, ReplaceText)
{
    EXPECT_EQ(ReplaceText("a.b.c", ".", "--", false), "a--b.c");
    EXPECT_EQ(ReplaceText("a.b.c", ".", "--", true), "a--b--c");
    EXPECT_EQ(ReplaceText("aaa", "a", "aa", true), "aaaaaa"); // replacements are not searched again
    EXPECT_EQ(ReplaceText("abc", "x", "y", true), "abc");
    EXPECT_EQ(ReplaceText("abc", "", "y", true), "abc"); // an empty pattern would match forever
}

TEST(StringRoutines, WordsEndedByAnyDelimiter)
{
    struct TCase {
        int N;
        std::string Text;
        int Position;
        std::string Word;
    };
    const std::string delims = ".[\x01";
    const TCase cases[] = {
        {1, "lcLangCombo.LanguageInfos[0].FontName\x01T\x01", 1, "lcLangCombo"},
        {2, "lcLangCombo.LanguageInfos[0].FontName\x01T\x01", 13, "LanguageInfos"},
        {3, "lcLangCombo.LanguageInfos[0].FontName\x01T\x01", 27, "0]"},
        {4, "lcLangCombo.LanguageInfos[0].FontName\x01T\x01", 30, "FontName"},
        {2, "a..b", 3, ""},  // empty fields count
        {3, "a..b", 4, "b"}, // a one-byte last field is still a field
        {5, "a..b", 4, ""},  // no such field: the length, and no word
        {0, "a", 1, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(WordPosition(c.N, c.Text, delims), c.Position) << c.N << " of " << c.Text;
        EXPECT_EQ(ExtractWord(c.N, c.Text, delims), c.Word) << c.N << " of " << c.Text;
    }
    EXPECT_EQ(CountDelimiters("a.b[c\x01", delims), 3);
}

TEST(StringRoutines, SplitJoinAndTrim)
{
    EXPECT_EQ(SplitText("a,b,", ",").Lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitText(",a", ",").Lines(), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(SplitText("a::b", "::").Lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(SplitText("", ",").Empty());
    EXPECT_EQ(JoinLines({"a", "", "b"}, ", ", false), "a, , b");
    EXPECT_EQ(JoinLines({"a", "", "b"}, ", ", true), "a, b");
    EXPECT_EQ(TrimDelimiters("\x01\x01" "a\x01" "b\x01", 1), "a\x01" "b");
    EXPECT_EQ(TrimDelimiters("\x01\x01", 1), "");
}

TEST(StringRoutines, ListTextSplitsAtEveryLineEnd)
{
    TlcStringList list;
    list.SetText("a\r\nb\rc\nd");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
    list.SetText("a\r\n\r\n");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(list.Text(), "a\r\n\r\n");
    EXPECT_THROW(list[2], Exception);
    EXPECT_EQ(list.IndexOf("A"), 0);
}

TEST(StringRoutines, WideLinesEndAtCarriageReturns)
{
    const TlcWideStringsAdapter lines(u"ab\r\ncd\n\ref\rgh");
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Line(0), u"ab");
    EXPECT_EQ(lines.Line(1), u"cd");
    EXPECT_EQ(lines.Line(2), u"ef");
}

TEST(StringRoutines, CaseInsensitiveComparison)
{
    EXPECT_EQ(lcCompareText("IDS_10", "ids_10"), 0);
    EXPECT_LT(lcCompareText("IDS_1", "IDS_10"), 0);
    EXPECT_NE(lcCompareText("Größe", "GRÖSSE"), 0);
    EXPECT_EQ(lcCompareText("ÄRGER", "ärger"), 0);
    EXPECT_EQ(lcStartsText("ids_10\x01x", "IDS_1"), 5);
    EXPECT_EQ(lcStartsText("ÖL\x01", "öl"), 3);
    EXPECT_EQ(lcStartsText("IDS", "IDS_1"), -1);
}

TEST(StringRoutines, ProcessEscapes)
{
    struct TCase {
        std::string In;
        std::string Out;
    };
    const TCase cases[] = {
        {"a\\tb", "a\tb"},
        {"\\x41", "A"},
        {"\\101", "A"},
        {"\\x4142", "A42"}, // two hexadecimal digits at most
        {"\\xZ", "\\xZ"},
        {"a\\x", "a\\x"},
        {"\\q", "\\q"},
        {"end\\", "end\\"},
        {"\\\\n", "\\n"},
        {"\\\"\\'\\?", "\"'?"},
        {"\\a\\b\\f\\n\\r\\v", "\a\b\f\n\r\v"},
        {"\\4011", std::string("\x01" "1")}, // three octal digits at most, low 8 bits
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ProcessEscapes(c.In), c.Out) << c.In;
}

TEST(TestMode, FlipCaseAndExpandChars)
{
    EXPECT_EQ(FlipCase("Abc1"), "aBC1");
    EXPECT_EQ(FlipCase("Ärger"), "äRGER");
    struct TCase {
        std::string In;
        int Percent;
        std::string Out;
    };
    const TCase cases[] = {
        {"abc", 100, "a*b*c*"},
        {"abcd", 50, "abc*d*"}, // the later characters get the larger shares
        {"abc", 0, "abc"},
        {"50 %", 100, "50 %"},
        {"", 100, ""},
        {"äö", 100, "ä*ö*"}, // characters, not bytes
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ExpandChars(c.In, U'*', c.Percent), c.Out) << c.In;
}

TEST(TestMode, ExpandWidthDoublesTheWidth)
{
    // The application of the test program is there, so the font measures.
    const std::string text = "Verbindung";
    const std::string wide = ExpandWidth(text, U'*', 100);
    const QFontMetrics metrics(QFont("Tahoma", 8));
    EXPECT_GE(metrics.horizontalAdvance(QString::fromStdString(wide)),
              2 * metrics.horizontalAdvance(QString::fromStdString(text)));
    EXPECT_EQ(wide.substr(0, 1), "V");
    EXPECT_NE(wide.find('*'), std::string::npos);
    EXPECT_EQ(ExpandWidth("", U'*', 100), "");
    // One unit per character: the padding walks from the end to the front.
    auto count = [](const std::u32string& s) { return static_cast<int>(s.size()); };
    EXPECT_EQ(ExpandWidth("abcd", U'*', 100, count), "A**BC**D");
    // A padding character without width ends the padding at once.
    auto noPadding = [](const std::u32string& s) {
        int w = 0;
        for (char32_t c : s)
            w += c == U'*' ? 0 : 1;
        return w;
    };
    EXPECT_EQ(ExpandWidth("ab", U'*', 100, noPadding), "AB");
}

} // namespace
