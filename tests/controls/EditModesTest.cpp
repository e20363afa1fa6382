// The edit's input modes without a window: what typing leaves in the text,
// which whole texts a mode takes, the canonical forms written on leaving, and
// the properties that rewrite the text (InputMode, DecimalPlaces, Value).
#include "controls/Zor_EditCore.h"
#include "tests/controls/ControlsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using enum TInputMode;

// ---- Typing ------------------------------------------------------------------

// Numbers in the float, latitude and longitude cases write ',' for the
// decimal separator; typed into a float the point and the comma are both
// keys that the filter maps, the others type the separator itself. Dates
// write '.' for the date separator.
struct TypingCase {
    const char* Name;
    TInputMode Mode;
    double Min, Max;
    std::u32string Keys;
    std::string Text;
    unsigned Beeps;
};

std::ostream& operator<<(std::ostream& out, const TypingCase& c)
{
    return out << c.Name;
}

class EditTyping : public testing::TestWithParam<TypingCase> {};

TEST_P(EditTyping, LeavesTheAcceptedText)
{
    const TypingCase& c = GetParam();
    TFormatScope scope;
    const bool coordinate = c.Mode == imLatitude || c.Mode == imLongitude;
    const std::string text = c.Mode == imFloat || coordinate ? Num(c.Text) : c.Mode == imDate ? Day(c.Text) : c.Text;
    TZor_EditCore edit;
    edit.SetInputMode(c.Mode);
    edit.SetMinValue(c.Min);
    edit.SetMaxValue(c.Max);
    TBeepCounter beeps;
    Type(edit, coordinate ? Num(c.Keys) : c.Keys);
    EXPECT_EQ(edit.Text(), text);
    EXPECT_EQ(beeps.Count(), c.Beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EditTyping,
    testing::Values(
        TypingCase{"IntegerAboveTheBound", imInteger, 0, 10, U"15", "1", 1},
        TypingCase{"IntegerLoneMinus", imInteger, 0, 10, U"-", "", 1},
        TypingCase{"IntegerUnboundedMinus", imInteger, 0, 0, U"-", "", 1},
        TypingCase{"IntegerDropsLetters", imInteger, 0, 0, U"1a 2.", "12", 0},
        TypingCase{"IntegerLargest", imInteger, 0, 0, U"2147483647", "2147483647", 0},
        TypingCase{"IntegerOverflow", imInteger, 0, 0, U"21474836470", "2147483647", 1},
        TypingCase{"ShortTimeMapsThePoint", imShortTime, 0, 0, U"12.3", "12:3", 0},
        TypingCase{"ShortTimeMapsEverySeparator", imShortTime, 0, 0, U"1;2", "1:2", 0},
        TypingCase{"ShortTimeRefusesAnHour", imShortTime, 0, 0, U"25", "2", 0},
        TypingCase{"ShortTimeHasTwoFields", imShortTime, 0, 0, U"12:30:", "12:30", 0},
        TypingCase{"ShortTimeRefusesMinutes", imShortTime, 0, 0, U"12:61", "12:6", 0},
        TypingCase{"LongTimeThreeFields", imLongTime, 0, 0, U"12:30:15", "12:30:15", 0},
        TypingCase{"LongTimeRefusesSeconds", imLongTime, 0, 0, U"1:2:61", "1:2:6", 0},
        TypingCase{"DateMapsSeparators", imDate, 0, 0, U"1/2,2024", "1.2.2024", 0},
        TypingCase{"FloatMapsThePoint", imFloat, 0, 0, U"3.14", "3,14", 0},
        TypingCase{"FloatMapsTheComma", imFloat, 0, 0, U"3,14", "3,14", 0},
        TypingCase{"FloatMapsTheColon", imFloat, 0, 0, U"3:14", "3,14", 0},
        TypingCase{"FloatOneSeparator", imFloat, 0, 0, U"1,2,3", "1,23", 1},
        TypingCase{"FloatAboveTheBound", imFloat, -10, 10, U"11", "1", 1},
        TypingCase{"FloatLetters", imFloat, 0, 0, U"1x", "1", 1},
        TypingCase{"LatitudeNorth", imLatitude, 0, 0, U"N 45,5", "N 45,5", 0},
        TypingCase{"LatitudeNinety", imLatitude, 0, 0, U"N 90", "N 9", 0},
        TypingCase{"LatitudeLetter", imLatitude, 0, 0, U"X 10", "", 0},
        TypingCase{"LatitudeFraction", imLatitude, 0, 0, U"N 1,1234567", "N 1,123456", 0},
        TypingCase{"LatitudeSouth", imLatitude, 0, 0, U"s 89,25", "s 89,25", 0},
        TypingCase{"LongitudeEast", imLongitude, 0, 0, U"E 179,5", "E 179,5", 0},
        TypingCase{"LongitudeLimit", imLongitude, 0, 0, U"W 180", "W 18", 0},
        TypingCase{"MinSecSign", imMinSec, 0, 0, U"-5:30", "-5:30", 0},
        TypingCase{"MinSecInnerMinus", imMinSec, 0, 0, U"5-30", "530", 0},
        TypingCase{"MinSecLargest", imMinSec, 0, 0, U"99:599", "99:59", 0},
        TypingCase{"AllTakesAnything", imAll, 0, 0, U"a:b.c´", "a:b.c\u00B4", 0}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Whole texts ---------------------------------------------------------------

struct TextCase {
    TInputMode Mode;
    std::string Text;
    bool Taken;
};

TEST(EditChangeStage, WholeTextsByMode)
{
    TFormatScope scope;
    SetZorUserPrimaryLanguage(9);
    const std::vector<TextCase> cases = {
        {imMinSec, "-", true},        {imMinSec, "5:", true},       {imMinSec, "-5:30", true},
        {imMinSec, "5-30", false},    {imMinSec, "99:59", true},    {imMinSec, "99:60", false},
        {imMinSec, "100:00", false},  {imMinSec, "1:2:3", false},   {imMinSec, ":30", false},
        {imMinSec, "5999", true},     {imMinSec, "6000", false},    {imMinSec, "5:99", true},
        {imLatitude, "N", true},      {imLatitude, "n  ", true},    {imLatitude, "N 45,5", true},
        {imLatitude, "N 90", false},  {imLatitude, "X 10", false},  {imLatitude, "N 1,1234567", false},
        {imLatitude, "N 1,123456", true}, {imLatitude, "N abc", false},
        {imLongitude, "E 179", true}, {imLongitude, "E 180", false}, {imLongitude, "O 10", false},
        {imShortTime, "12:3", true},  {imShortTime, "12.3", false}, {imShortTime, "24", false},
        {imInteger, "abc", false},    {imFloat, "1,5e2", true},     {imDate, "anything", true},
        {imFloat, "1,5,", false},
    };
    // Numbers write ',' for the decimal separator.
    for (const TextCase& c : cases) {
        const std::string text = c.Mode == imLatitude || c.Mode == imFloat ? Num(c.Text) : c.Text;
        TZor_EditCore edit;
        edit.SetInputMode(c.Mode);
        edit.SetText("");
        edit.TextEdited(text, {0, 0});
        EXPECT_EQ(edit.Text(), c.Taken ? text : std::string()) << text;
    }
    SetZorUserPrimaryLanguage(0);
}

TEST(EditChangeStage, LongitudeLettersFollowTheLanguage)
{
    TFormatScope scope;
    struct Case {
        int Language;
        std::string Text;
        bool Taken;
    };
    const std::vector<Case> cases = {
        {7, "O 10", true},  {7, "w 10", true},  {9, "O 10", false}, {9, "e 10", true}, {12, "O 10", true},
        {12, "W 10", false}, {29, "\u00D6 10", true}, {29, "v 10", true}, {29, "E 10", false}, {1, "E 10", true},
    };
    for (const Case& c : cases) {
        SetZorUserPrimaryLanguage(c.Language);
        TZor_EditCore edit;
        edit.SetInputMode(imLongitude);
        edit.TextEdited(c.Text, {0, 0});
        EXPECT_EQ(edit.Text(), c.Taken ? c.Text : std::string()) << c.Language << " " << c.Text;
    }
    SetZorUserPrimaryLanguage(0);
}

TEST(EditChangeStage, EmptyingKeepsTheLastAcceptedText)
{
    TFormatScope scope;
    TZor_EditCore edit;
    edit.SetInputMode(imInteger);
    edit.SetMinValue(0);
    edit.SetMaxValue(10);
    int changes = 0;
    edit.OnChange = [&] { ++changes; };
    edit.TextEdited("7", {1, 0});
    EXPECT_EQ(changes, 1);
    edit.TextEdited("", {0, 0});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(edit.LastAccepted(), "7");
    // A refused text falls back past the emptying.
    TBeepCounter beeps;
    edit.TextEdited("-", {1, 0});
    EXPECT_EQ(edit.Text(), "7");
    EXPECT_EQ(beeps.Count(), 1u);
}

TEST(EditChangeStage, RemovesLineBreaksAndRestoresTheSelection)
{
    TFormatScope scope;
    TZor_EditCore edit;
    edit.TextEdited("ab\r\r\n\ncd", {4, 0});
    EXPECT_EQ(edit.Text(), "abcd");
    // A refused change puts the selection back where it was before.
    edit.SetInputMode(imInteger);
    edit.SetText("12");
    edit.KeyUp(false, {1, 0});
    edit.TextEdited("1x2", {2, 0});
    EXPECT_EQ(edit.Text(), "12");
    EXPECT_EQ(edit.Selection(), (TZor_Selection{1, 0}));
}

TEST(EditChangeStage, ATextSetInOnChangeIsValidatedToo)
{
    TFormatScope scope;
    TZor_EditCore edit;
    edit.SetInputMode(imInteger);
    bool once = false;
    edit.OnChange = [&] {
        if (!once) {
            once = true;
            edit.SetText("5x");
        }
    };
    TBeepCounter beeps;
    edit.TextEdited("5", {1, 0});
    EXPECT_EQ(edit.Text(), "5");
    EXPECT_EQ(beeps.Count(), 1u);
    EXPECT_EQ(edit.LastAccepted(), "5");

    // A handler that never stops leaves the last accepted text.
    edit.OnChange = [&] { edit.SetText(edit.Text() + "x"); };
    edit.TextEdited("6", {1, 0});
    EXPECT_EQ(edit.Text(), edit.LastAccepted());
    EXPECT_TRUE(edit.Acceptable(edit.Text()));
}

// ---- Leaving -------------------------------------------------------------------

struct ExitCase {
    TInputMode Mode;
    std::string Text;
    std::string Result;
    bool Invalid;
    int DecimalPlaces = 0;
    int MaxLength = 0;
};

// Dates write '.' for the date separator, floats ',' for the decimal one.
TEST(EditExitStage, CanonicalFormsAndInvalidTexts)
{
    TFormatScope scope;
    const std::vector<ExitCase> cases = {
        {imShortTime, "12:3", "12:03", false},
        {imShortTime, "9", "09:00", false},
        {imShortTime, "", "", true},
        {imLongTime, "1:2:3", "01:02:03", false},
        {imLongTime, "1:2", "01:02:00", false},
        {imDate, "1.2.2024", "01.02.2024", false},
        {imDate, "31.2.2024", "", true},
        {imDate, "", "", true},
        {imInteger, "007", "7", false},
        {imInteger, "-42", "-42", false},
        {imInteger, "2147483647", "2147483647", false},
        {imInteger, "", "", true},
        {imFloat, "3,14159", "3,14", false, 2},
        {imFloat, "3,14159", "3,1", false, 2, 3},
        {imFloat, "1e3", "1000", false},
        {imFloat, "", "", true},
        {imAll, "x", "x", false},
        {imMinSec, "5:", "5:", false},
        {imLatitude, "N 4", "N 4", false},
    };
    for (const ExitCase& c : cases) {
        const auto local = [&](const std::string& text) {
            return c.Mode == imDate ? Day(text) : c.Mode == imFloat ? Num(text) : text;
        };
        TZor_EditCore edit;
        edit.SetInputMode(c.Mode);
        edit.SetDecimalPlaces(c.DecimalPlaces);
        edit.SetMaxLength(c.MaxLength);
        edit.SetText(local(c.Text));
        // What the program sets stays whole; only the float written on
        // leaving is cut to MaxLength.
        ASSERT_EQ(edit.Text(), local(c.Text)) << c.Text;
        TBeepCounter beeps;
        edit.Exit();
        EXPECT_EQ(edit.Text(), local(c.Result)) << c.Text;
        EXPECT_EQ(beeps.Count(), c.Invalid ? 1u : 0u) << c.Text;
    }
}

TEST(EditExitStage, TheHandlerReplacesBeepAndEmptying)
{
    TFormatScope scope;
    TZor_EditCore edit;
    edit.SetInputMode(imDate);
    edit.SetText("32.1.2024");
    int called = 0;
    edit.OnExitValidateError = [&] { ++called; };
    TBeepCounter beeps;
    edit.Exit();
    EXPECT_EQ(called, 1);
    EXPECT_EQ(beeps.Count(), 0u);
    EXPECT_EQ(edit.Text(), "32.1.2024");
}

// ---- Properties that rewrite the text ----------------------------------------

// MaxLength limits what a person types or pastes, counted as the window
// counts (a character above U+FFFF takes two); what the program sets stays
// whole, before or after the limit is set, and nothing more goes into it.
TEST(EditProperties, MaxLengthLimitsTypingAndPastingAlone)
{
    TFormatScope scope;
    struct Case {
        std::string Set;      // set by the program
        int Limit;
        std::u32string Typed; // then typed at the end
        std::string Pasted;   // then pasted at the end
        std::string Held;
        unsigned Beeps;
    };
    const std::vector<Case> cases = {
        {"", 3, U"abcdef", "", "abc", 3},
        {"", 3, U"ab😀", "", "ab", 1},
        {"", 4, U"ab😀c", "", "ab😀", 1},
        {"ab", 4, U"", "xyz", "abxy", 1},
        {"ab", 3, U"", "😀", "ab", 1},
        {"abcdef", 3, U"g", "h", "abcdef", 2},
        {"a", 0, U"bc", "de", "abcde", 0},
    };
    for (const Case& c : cases) {
        for (const bool limitFirst : {false, true}) {
            TZor_EditCore edit;
            if (limitFirst)
                edit.SetMaxLength(c.Limit);
            edit.SetText(c.Set);
            edit.SetMaxLength(c.Limit);
            EXPECT_EQ(edit.Text(), c.Set) << "set " << c.Set;
            TBeepCounter beeps;
            Type(edit, c.Typed);
            if (!c.Pasted.empty())
                edit.Paste(c.Pasted, edit.Selection());
            EXPECT_EQ(edit.Text(), c.Held) << c.Set << " " << c.Limit;
            EXPECT_EQ(beeps.Count(), c.Beeps) << c.Set << " " << c.Limit;
        }
    }
    // A lowered limit under a text that the bounds would refuse when cut
    // leaves it, its value and the last accepted text as they were.
    TZor_EditCore bounded;
    bounded.SetInputMode(imInteger);
    bounded.SetMinValue(10);
    bounded.SetMaxValue(99);
    bounded.SetText("50");
    int changes = 0;
    bounded.OnChange = [&] { ++changes; };
    bounded.SetMaxLength(1);
    EXPECT_EQ(bounded.Text(), "50");
    EXPECT_EQ(bounded.LastAccepted(), "50");
    EXPECT_EQ(changes, 0);
    EXPECT_DOUBLE_EQ(static_cast<double>(bounded.Value()), 50);
}

TEST(EditProperties, InputModeNormalisesTheText)
{
    TFormatScope scope;
    struct Case {
        std::string Text;
        TInputMode Mode;
        std::string Result;
        unsigned Beeps;
    };
    const std::vector<Case> cases = {
        {"abc", imInteger, "", 1}, {"abc", imFloat, "", 1},      {"abc", imShortTime, "", 0},
        {"abc", imLatitude, "abc", 0}, {"abc", imDate, "abc", 0}, {"12.30", imShortTime, "12:30", 0},
        {Num("12,5"), imFloat, Num("12,5"), 0}, {"", imInteger, "", 0},
    };
    for (const Case& c : cases) {
        TZor_EditCore edit;
        edit.SetText(c.Text);
        TBeepCounter beeps;
        edit.SetInputMode(c.Mode);
        EXPECT_EQ(edit.Text(), c.Result) << c.Text;
        EXPECT_EQ(beeps.Count(), c.Beeps) << c.Text;
    }
}

TEST(EditProperties, DecimalPlacesRewriteInEveryMode)
{
    TFormatScope scope;
    TZor_EditCore edit;
    edit.SetText("abc");
    edit.SetDecimalPlaces(2);
    EXPECT_EQ(edit.Text(), Num("0,00"));
    edit.SetText(Num("3,14159"));
    edit.SetDecimalPlaces(3);
    EXPECT_EQ(edit.Text(), Num("3,142"));
    // The same value again rewrites nothing.
    edit.SetText(Num("3,14159"));
    edit.SetDecimalPlaces(3);
    EXPECT_EQ(edit.Text(), Num("3,14159"));
}

TEST(EditProperties, ValueByMode)
{
    TFormatScope scope;
    struct Case {
        TInputMode Mode;
        long double Set;
        std::string Text;
        double Read;
    };
    const std::vector<Case> cases = {
        {imInteger, 2.5L, "2", 2},           // rounded, halves to even
        {imInteger, -7.6L, "-8", -8},
        {imFloat, 1.5L, Num("1,5"), 1.5},
        {imShortTime, 0.5L, "12:00", 0.5},
        {imLongTime, 0.75L, "18:00:00", 0.75},
        {imDate, 45000.0L, Day("15.03.2023"), 45000},
    };
    for (const Case& c : cases) {
        TZor_EditCore edit;
        edit.SetInputMode(c.Mode);
        edit.SetValue(c.Set);
        EXPECT_EQ(edit.Text(), c.Text) << static_cast<double>(c.Set);
        EXPECT_NEAR(static_cast<double>(edit.Value()), c.Read, 1e-9) << static_cast<double>(c.Set);
    }
    // Modes without a value keep their text and read 0.
    TZor_EditCore all;
    all.SetText("12");
    all.SetValue(5);
    EXPECT_EQ(all.Text(), "12");
    EXPECT_EQ(all.Value(), 0);
}

// The value is what the change stage stored from the typed text; reading it
// checks the text once more.
TEST(EditProperties, ValueIsWhatTheTypedTextStored)
{
    TFormatScope scope;
    TZor_EditCore date;
    date.SetInputMode(imDate);
    date.SetValue(DateToValue(QDate(2023, 3, 15)));
    date.SelectAll();
    Type(date, U"1.2.2024");
    EXPECT_EQ(static_cast<double>(date.Value()), DateToValue(QDate(2024, 2, 1))) << "not the date set before";
    date.SetMinValue(-1);
    date.TextEdited("1.2.", {4, 0});
    EXPECT_EQ(date.Value(), -1) << "no date: the lower bound";

    TZor_EditCore integer;
    integer.SetInputMode(imInteger);
    Type(integer, U"42");
    EXPECT_EQ(integer.Value(), 42);
    integer.TextEdited("", {0, 0});
    EXPECT_EQ(integer.Value(), 42) << "an empty text stores nothing";
    integer.SetMinValue(-5);
    integer.SetMaxValue(50);
    Type(integer, U"7");
    EXPECT_EQ(integer.Value(), 7);
    Type(integer, U"9");
    EXPECT_EQ(integer.Text(), "7") << "79 is out of bounds";
    EXPECT_EQ(integer.Value(), 7);

    TZor_EditCore number;
    number.SetInputMode(imFloat);
    number.SetMinValue(-3);
    number.SetMaxValue(10);
    Type(number, U"2,5");
    EXPECT_EQ(number.Value(), 2.5L);
    number.TextEdited("", {0, 0});
    EXPECT_EQ(number.Value(), -3);   // no number: the lower bound

    TZor_EditCore time;
    time.SetInputMode(imShortTime);
    Type(time, U"6:30");
    EXPECT_NEAR(static_cast<double>(time.Value()), TimeToValue(QTime(6, 30)), 1e-12);

    // The modes without a value read 0, whatever the text.
    for (const TInputMode mode : {imAll, imLatitude, imLongitude, imMinSec}) {
        TZor_EditCore plain;
        plain.SetInputMode(mode);
        Type(plain, U"5");
        EXPECT_EQ(plain.Value(), 0) << static_cast<int>(mode);
    }
}

} // namespace
