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

    // The settings of the user's locale (the environment's, as the program
    // takes it at start). A short date always reads back as numbers: where
    // the locale writes it with names or blanks, its numeric form (in the C
    // locale yyyy-mm-dd).
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

// Reading numbers, dates and times back from text, and writing numbers, in
// the given settings: their separators only, whatever the C library's locale
// says. A Try routine leaves `value` alone when it fails.
//
// A float: optional blanks, a sign, digits with at most one DecimalSeparator,
// an optional exponent (e or E, a sign, digits), optional blanks; at least one
// digit before the exponent. No thousand separators.
bool TryStrToFloat(const std::string& text, long double& value, const TFormatSettings& settings = FormatSettings());
// A 32-bit integer: optional leading blanks, a sign, decimal digits.
bool TryStrToInt(const std::string& text, int& value);
// A time: hours, then optionally TimeSeparator and minutes, TimeSeparator and
// seconds, DecimalSeparator and milliseconds, then an optional am or pm marker;
// blanks around it. Hours alone are a full hour.
bool TryStrToTime(const std::string& text, QTime& value, const TFormatSettings& settings = FormatSettings());
// A date: two or three numbers separated by DateSeparator in the order of
// ShortDateFormat (day, month and year in some order); two numbers are day and
// month of the current year; a year of one or two digits lies within fifty
// years of today.
bool TryStrToDate(const std::string& text, QDate& value, const TFormatSettings& settings = FormatSettings());

// The float in the general format: the shortest of at most 15 significant
// digits, plain notation unless the number needs more than 15 digits before the
// point or is below 0.00001 (then d.dddEx, as 1.5E20 or 1E-7).
std::string FloatToStr(long double value, const TFormatSettings& settings = FormatSettings());
// The float in plain notation with `digits` (0..18) digits after the decimal
// separator, rounded; numbers of 10^18 and above in the general format.
std::string FloatToStrFixed(long double value, int digits, const TFormatSettings& settings = FormatSettings());

// Date-time values as numbers: days since 30 December 1899, the time of day as
// the fraction.
double DateTimeToValue(const QDateTime& value);
QDateTime ValueToDateTime(double value);
double DateToValue(const QDate& value);
double TimeToValue(const QTime& value);
