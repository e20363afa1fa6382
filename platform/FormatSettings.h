#pragma once
// The program's number, date and time formats. They start from the user's
// locale and may be changed at run time (a language switch sets them), so
// every text made from a date or number reads them at the moment of use.
//
// Format patterns use these letters: d dd ddd dddd (day, name), ddddd (short
// date), m mm mmm mmmm (month, name), yy yyyy, h hh, n nn (minutes), s ss,
// z zzz, t (short time), tt (long time), c (short date and long time), am/pm,
// / and : for the separators, "..." or '...' for literal text.
#include <QDateTime>

#include <array>
#include <string>

struct TFormatSettings {
    std::string CurrencyString;
    char ThousandSeparator = '.';
    char DecimalSeparator = ',';
    char DateSeparator = '.';
    std::string ShortDateFormat = "dd/mm/yyyy";
    std::string LongDateFormat = "dddd, d. mmmm yyyy";
    char TimeSeparator = ':';
    std::string TimeAMString;
    std::string TimePMString;
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    std::array<std::string, 12> ShortMonthNames;
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames; // Sunday first
    std::array<std::string, 7> LongDayNames;

    // The settings of the user's locale.
    static TFormatSettings FromSystem();
};

// The process-wide settings (the user's locale until something changes them).
TFormatSettings& FormatSettings();

std::string FormatDateTime(const std::string& pattern, const QDateTime& value,
                           const TFormatSettings& settings = FormatSettings());
// Short date and long time.
std::string DateTimeToStr(const QDateTime& value, const TFormatSettings& settings = FormatSettings());
// Long time.
std::string TimeToStr(const QTime& value, const TFormatSettings& settings = FormatSettings());
