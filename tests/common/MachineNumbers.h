#pragma once
// Numbers and dates of test cases written in the separators the program has
// on this machine: a case is written once, with ',' for the decimal
// separator and '.' between a date's numbers, and reads right in every
// locale the tests run in.
#include "platform/FormatSettings.h"

#include <initializer_list>
#include <string>

// A text with every `from` replaced by `to`.
template <typename S>
S Replaced(S text, char from, char to)
{
    for (auto& c : text)
        if (c == static_cast<typename S::value_type>(from))
            c = static_cast<typename S::value_type>(to);
    return text;
}

// A number written with ',' for the decimal separator, in the separator of
// the settings.
inline std::string Num(const std::string& text)
{
    return Replaced(text, ',', FormatSettings().DecimalSeparator);
}
inline std::u32string Num(const std::u32string& text)
{
    return Replaced(text, ',', FormatSettings().DecimalSeparator);
}
// A date written with '.' between its numbers, in the separator of the
// settings.
inline std::string Day(const std::string& text)
{
    return Replaced(text, '.', FormatSettings().DateSeparator);
}
// The decimal separator the program does not use here.
inline char OtherSeparator()
{
    return FormatSettings().DecimalSeparator == ',' ? '.' : ',';
}

// A date in the short date format of the settings ("01.02.2024" in German,
// "2024-02-01" in the C locale).
inline std::string ShortDate(const QDate& date)
{
    return FormatDateTime(FormatSettings().ShortDateFormat, QDateTime(date, QTime(0, 0)));
}
// A date as a person types it: the order and separator of the settings, day
// and month without their leading zeros ("1.2.2024", "2024-2-1").
inline std::string TypedDate(const QDate& date)
{
    std::string pattern = FormatSettings().ShortDateFormat;
    for (const char* field : {"dd", "mm"})
        if (const std::size_t at = pattern.find(field); at != std::string::npos)
            pattern.erase(at, 1);
    return FormatDateTime(pattern, QDateTime(date, QTime(0, 0)));
}
// A time in a time pattern of the settings (ShortTimeFormat, LongTimeFormat).
inline std::string TimeIn(const std::string& pattern, const QTime& time)
{
    return FormatDateTime(pattern, QDateTime(QDate(1899, 12, 30), time));
}
// Hours, minutes and seconds as a person types them: no leading zeros, the
// time separator of the settings ("1:5").
inline std::string TypedTime(std::initializer_list<int> fields)
{
    std::string text;
    for (const int field : fields)
        text += (text.empty() ? "" : std::string(1, FormatSettings().TimeSeparator)) + std::to_string(field);
    return text;
}
