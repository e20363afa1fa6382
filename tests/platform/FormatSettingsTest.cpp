// The number, date and time routines of the format settings: what they read
// and write for the separators they are given, that the C library's locale
// has no say in it, and that the settings the program takes from the
// machine's locale read back what they write.
#include "platform/FormatSettings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

// The other of the two decimal separators.
char Other(char separator)
{
    return separator == ',' ? '.' : ',';
}

// Settings with the given decimal separator, the rest as the machine has
// them.
TFormatSettings WithDecimal(char separator)
{
    TFormatSettings f = TFormatSettings::FromSystem();
    f.DecimalSeparator = separator;
    f.ThousandSeparator = Other(separator);
    return f;
}

// A text written with ',' for the separator in use and '.' for the other one.
std::string In(const std::string& text, char separator)
{
    std::string out = text;
    for (char& c : out)
        c = c == ',' ? separator : c == '.' ? Other(separator) : c;
    return out;
}

// The C library's locale for the length of a scope. Fails the test when the
// machine lacks it.
class TCLocale {
public:
    explicit TCLocale(const char* name) : FSaved(std::setlocale(LC_ALL, nullptr))
    {
        FTaken = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~TCLocale() { std::setlocale(LC_ALL, FSaved.c_str()); }
    bool Taken() const { return FTaken; }

private:
    std::string FSaved;
    bool FTaken = false;
};

} // namespace

TEST(FormatRoutines, ReadNumbers)
{
    struct Case {
        std::string Text; // ',' the separator, '.' the other one
        std::optional<long double> Float;
        std::optional<int> Integer;
    };
    const std::vector<Case> cases = {
        {"3,25", 3.25L, std::nullopt},
        {" -12 ", -12.0L, std::nullopt},   // blanks around a float; an integer takes leading ones only
        {" -12", -12.0L, -12},
        {"+7", 7.0L, 7},
        {",5", 0.5L, std::nullopt},
        {"5,", 5.0L, std::nullopt},
        {"1e3", 1000.0L, std::nullopt},
        {"1,5E-2", 0.015L, std::nullopt},
        {"-0,5e+1", -5.0L, std::nullopt},
        {"3.25", std::nullopt, std::nullopt}, // the other separator is none
        {"1.000", std::nullopt, std::nullopt}, // nor a thousand separator
        {"1e", std::nullopt, std::nullopt},
        {"-", std::nullopt, std::nullopt},
        {",", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"1,2,3", std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt},
        {"inf", std::nullopt, std::nullopt},
        {"nan", std::nullopt, std::nullopt},
        {"1e99999", std::nullopt, std::nullopt}, // beyond the type
        {"2147483647", 2147483647.0L, 2147483647},
        {"-2147483648", -2147483648.0L, -2147483647 - 1},
        {"2147483648", 2147483648.0L, std::nullopt},
        {"12a", std::nullopt, std::nullopt},
    };
    for (const char separator : {',', '.'}) {
        const TFormatSettings f = WithDecimal(separator);
        for (const Case& c : cases) {
            const std::string text = In(c.Text, separator);
            long double value = -99;
            EXPECT_EQ(TryStrToFloat(text, value, f), c.Float.has_value()) << text;
            if (c.Float) {
                EXPECT_NEAR(static_cast<double>(value), static_cast<double>(*c.Float), 1e-12) << text;
            } else {
                EXPECT_EQ(value, -99) << "a failed read leaves the value: " << text;
            }
            int i = -99;
            EXPECT_EQ(TryStrToInt(text, i), c.Integer.has_value()) << text;
            if (c.Integer) {
                EXPECT_EQ(i, *c.Integer) << text;
            }
        }
    }
}

TEST(FormatRoutines, WriteFloats)
{
    struct Case {
        long double Value;
        std::string General; // ',' the separator
        int Digits;
        std::string Fixed;
    };
    const std::vector<Case> cases = {
        {3.14159L, "3,14159", 2, "3,14"},
        {2.5L, "2,5", 0, "3"},            // halves away from zero
        {-2.5L, "-2,5", 0, "-3"},
        {0.125L, "0,125", 2, "0,13"},
        {-0.001L, "-0,001", 2, "0,00"},   // no "-0,00"
        {0, "0", 2, "0,00"},
        {1e20L, "1E20", 2, "1E20"},
        {1e-7L, "1E-7", 3, "0,000"},
        {-1.5e-9L, "-1,5E-9", 1, "0,0"},
        {0.00001L, "0,00001", 5, "0,00001"},
        {123456789012345.0L, "123456789012345", 1, "123456789012345,0"},
        {9.995L, "9,995", 2, "10,00"},
        {0.1234567L, "0,1234567", 18, "0,123456700000000000"},
        {146.03f, "146,029998779297", 4, "146,0300"}, // a channel's frequency, kept in single precision
    };
    for (const char separator : {',', '.'}) {
        const TFormatSettings f = WithDecimal(separator);
        for (const Case& c : cases) {
            EXPECT_EQ(FloatToStr(c.Value, f), In(c.General, separator)) << static_cast<double>(c.Value);
            EXPECT_EQ(FloatToStrFixed(c.Value, c.Digits, f), In(c.Fixed, separator)) << static_cast<double>(c.Value);
        }
    }
}

// The program's C library takes the environment's locale at start, and a
// German one reads and writes numbers with a decimal comma. The routines
// give the same results whatever it says.
TEST(FormatRoutines, TheCLibrarysLocaleHasNoSay)
{
    const TFormatSettings comma = WithDecimal(',');
    const TFormatSettings point = WithDecimal('.');
    for (const char* locale : {"de_DE.UTF-8", "C.UTF-8", "C"}) {
        const TCLocale scope(locale);
        ASSERT_TRUE(scope.Taken()) << locale << " is not installed (scripts/setup generates it)";
        long double value = 0;
        EXPECT_TRUE(TryStrToFloat("1,5", value, comma)) << locale;
        EXPECT_EQ(value, 1.5L) << locale;
        EXPECT_TRUE(TryStrToFloat("1.5", value = 0, point)) << locale;
        EXPECT_EQ(value, 1.5L) << locale;
        EXPECT_TRUE(TryStrToFloat("-2,5E-3", value = 0, comma)) << locale;
        EXPECT_EQ(value, -0.0025L) << locale;
        EXPECT_FALSE(TryStrToFloat("1.5", value, comma)) << locale;
        EXPECT_FALSE(TryStrToFloat("1,5", value, point)) << locale;
        EXPECT_EQ(FloatToStr(1234.5L, comma), "1234,5") << locale;
        EXPECT_EQ(FloatToStr(1234.5L, point), "1234.5") << locale;
        EXPECT_EQ(FloatToStr(2.5e-7L, point), "2.5E-7") << locale;
        EXPECT_EQ(FloatToStrFixed(146.0300f, 4, comma), "146,0300") << locale;
        EXPECT_EQ(FloatToStrFixed(173.99f, 4, point), "173.9900") << locale;
    }
}

// What the running program has: the application set the C library's locale
// from the environment, and the format settings come from the same locale,
// so the separator the machine uses is the one the program reads.
TEST(FormatRoutines, TheProgramReadsTheMachinesSeparator)
{
    const char machine = *std::localeconv()->decimal_point;
    const TFormatSettings& f = FormatSettings();
    EXPECT_EQ(f.DecimalSeparator, machine);
    long double value = 0;
    EXPECT_TRUE(TryStrToFloat(std::string("1") + machine + "5", value));
    EXPECT_EQ(value, 1.5L);
    EXPECT_FALSE(TryStrToFloat(std::string("1") + Other(machine) + "5", value));
    EXPECT_EQ(FloatToStr(1.5L), std::string("1") + machine + "5");
    EXPECT_EQ(FloatToStrFixed(0.125L, 2), std::string("0") + machine + "13");
}

// Whatever the machine's locale, the settings read back what they write.
TEST(FormatRoutines, TheMachinesSettingsReadBackWhatTheyWrite)
{
    const TFormatSettings f = TFormatSettings::FromSystem();
    EXPECT_NE(f.DecimalSeparator, f.ThousandSeparator);
    const QDateTime stamp(QDate(2026, 3, 7), QTime(13, 5, 9));
    for (const std::string& pattern : {f.ShortDateFormat, std::string("ddddd")}) {
        const std::string text = FormatDateTime(pattern, stamp, f);
        QDate date;
        EXPECT_TRUE(TryStrToDate(text, date, f)) << pattern << ": " << text;
        EXPECT_EQ(date, stamp.date()) << pattern << ": " << text;
    }
    for (const std::string& pattern : {f.LongTimeFormat, std::string("tt")}) {
        const std::string text = FormatDateTime(pattern, stamp, f);
        QTime time;
        EXPECT_TRUE(TryStrToTime(text, time, f)) << pattern << ": " << text;
        EXPECT_EQ(time, stamp.time()) << pattern << ": " << text;
    }
    QTime shortTime;
    EXPECT_TRUE(TryStrToTime(FormatDateTime(f.ShortTimeFormat, stamp, f), shortTime, f));
    EXPECT_EQ(shortTime.hour(), 13);
    EXPECT_EQ(shortTime.minute(), 5);
    for (const long double v : {0.0L, -1.25L, 146.03L, 1e-9L, 123456789.125L}) {
        long double back = 0;
        EXPECT_TRUE(TryStrToFloat(FloatToStr(v, f), back, f)) << FloatToStr(v, f);
        EXPECT_NEAR(static_cast<double>(back), static_cast<double>(v), std::fabs(static_cast<double>(v)) * 1e-14)
            << FloatToStr(v, f);
    }
}

TEST(FormatRoutines, ReadTimesAndDates)
{
    // Day, month and year as many German writers put them.
    TFormatSettings f = TFormatSettings::FromSystem();
    f.DecimalSeparator = ',';
    f.DateSeparator = '.';
    f.ShortDateFormat = "dd/mm/yyyy";
    f.TimeSeparator = ':';
    f.TimeAMString = "AM";
    f.TimePMString = "PM";
    struct TimeCase {
        std::string Text;
        std::optional<QTime> Time;
    };
    const std::vector<TimeCase> times = {
        {"12:3", QTime(12, 3)},      {"1:1", QTime(1, 1)},         {"12", QTime(12, 0)},
        {"23:59:59", QTime(23, 59, 59)}, {"1:02:03,5", QTime(1, 2, 3, 500)}, {"1 PM", QTime(13, 0)},
        {"12:30 am", QTime(0, 30)},  {"24:00", std::nullopt},     {"12:60", std::nullopt},
        {"12:", std::nullopt},       {"12:30:", std::nullopt},    {"12.30", std::nullopt},
        {"", std::nullopt},          {"13 PM", std::nullopt},
    };
    for (const TimeCase& c : times) {
        QTime t;
        EXPECT_EQ(TryStrToTime(c.Text, t, f), c.Time.has_value()) << c.Text;
        if (c.Time) {
            EXPECT_EQ(t, *c.Time) << c.Text;
        }
    }
    struct DateCase {
        std::string Text;
        std::optional<QDate> Date;
    };
    const std::vector<DateCase> dates = {
        {"01.02.2024", QDate(2024, 2, 1)}, {"1.2.2024", QDate(2024, 2, 1)}, {"29.2.2024", QDate(2024, 2, 29)},
        {"29.2.2023", std::nullopt},       {"1.13.2024", std::nullopt},     {"1/2/2024", std::nullopt},
        {"1.2.", std::nullopt},            {"abc", std::nullopt},           {"", std::nullopt},
    };
    for (const DateCase& c : dates) {
        QDate d;
        EXPECT_EQ(TryStrToDate(c.Text, d, f), c.Date.has_value()) << c.Text;
        if (c.Date) {
            EXPECT_EQ(d, *c.Date) << c.Text;
        }
    }
    // Two numbers are day and month of this year; a two-digit year lies
    // within fifty years of today.
    QDate d;
    ASSERT_TRUE(TryStrToDate("3.4", d, f));
    EXPECT_EQ(d, QDate(QDate::currentDate().year(), 4, 3));
    ASSERT_TRUE(TryStrToDate("3.4.05", d, f));
    EXPECT_LE(std::abs(d.year() - QDate::currentDate().year()), 50);
    EXPECT_EQ(d.year() % 100, 5);
    // Month first when the format says so; year first as ISO writes it.
    f.ShortDateFormat = "mm/dd/yyyy";
    ASSERT_TRUE(TryStrToDate("2.1.2024", d, f));
    EXPECT_EQ(d, QDate(2024, 2, 1));
    f.ShortDateFormat = "yyyy/mm/dd";
    f.DateSeparator = '-';
    ASSERT_TRUE(TryStrToDate("2024-02-01", d, f));
    EXPECT_EQ(d, QDate(2024, 2, 1));
}

TEST(FormatRoutines, DateTimeValues)
{
    EXPECT_EQ(DateToValue(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(DateToValue(QDate(2023, 3, 15)), 45000);
    EXPECT_DOUBLE_EQ(TimeToValue(QTime(12, 0)), 0.5);
    EXPECT_EQ(ValueToDateTime(45000.75), QDateTime(QDate(2023, 3, 15), QTime(18, 0)));
    EXPECT_EQ(ValueToDateTime(DateTimeToValue(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)))),
              QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
}
