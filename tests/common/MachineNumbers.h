#pragma once
// Numbers and dates of test cases written in the separators the program has
// on this machine: a case is written once, with ',' for the decimal
// separator and '.' between a date's numbers, and reads right in every
// locale the tests run in.
#include "platform/FormatSettings.h"

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
