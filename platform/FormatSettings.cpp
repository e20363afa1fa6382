#include "platform/FormatSettings.h"

#include "platform/AsciiText.h"

#include <QLocale>

#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

// Every conversion here reads and writes the separators of the settings
// only. Nothing goes through the C library's locale, which the application
// sets from the environment at start (a decimal comma there must not make
// "1.5" a number or "1,5" none).

namespace {

// A Qt date or time pattern in the letters of our patterns.
std::string FromQtPattern(const QString& qt)
{
    std::string out;
    const std::string s = qt.toStdString();
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        std::size_t run = 1;
        while (i + run < s.size() && s[i + run] == c)
            ++run;
        switch (c) {
        case 'd': out += std::string(std::min<std::size_t>(run, 4), 'd'); break;
        case 'M': out += std::string(std::min<std::size_t>(run, 4), 'm'); break;
        case 'y': out += run >= 3 ? "yyyy" : "yy"; break;
        case 'H':
        case 'h': out += run >= 2 ? "hh" : "h"; break;
        case 'm': out += run >= 2 ? "nn" : "n"; break;
        case 's': out += run >= 2 ? "ss" : "s"; break;
        case 'z': out += run >= 3 ? "zzz" : "z"; break;
        case 'A':
        case 'a': out += "am/pm"; break;
        case 't': break; // time zone: not shown
        case '\'': {
            const std::size_t end = s.find('\'', i + 1);
            out += '"' + s.substr(i + 1, (end == std::string::npos ? s.size() : end) - i - 1) + '"';
            i = end == std::string::npos ? s.size() : end + 1;
            continue;
        }
        default: out += std::string(run, c);
        }
        i += run;
    }
    // Trailing blanks of a dropped time zone.
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

char FirstNonLetter(const std::string& pattern, char fallback)
{
    for (const char c : pattern)
        if (!IsAsciiLetter(c) && c != '"' && c != ' ')
            return c;
    return fallback;
}

std::string Pad(int value, int width)
{
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < width)
        s.insert(s.begin(), '0');
    return s;
}

bool StartsWithNoCase(const std::string& s, std::size_t at, const char* word)
{
    for (std::size_t k = 0; word[k]; ++k)
        if (at + k >= s.size() || AsciiLower(s[at + k]) != word[k])
            return false;
    return true;
}

} // namespace

TFormatSettings TFormatSettings::FromSystem()
{
    const QLocale locale = QLocale::system();
    TFormatSettings f;
    f.CurrencyString = locale.currencySymbol().toStdString();
    const QString group = locale.groupSeparator();
    const QString decimal = locale.decimalPoint();
    f.ThousandSeparator = group.size() == 1 && group[0].unicode() < 128 ? group[0].toLatin1() : '.';
    f.DecimalSeparator = decimal.size() == 1 && decimal[0].unicode() < 128 ? decimal[0].toLatin1() : ',';
    f.ShortDateFormat = FromQtPattern(locale.dateFormat(QLocale::ShortFormat));
    f.LongDateFormat = FromQtPattern(locale.dateFormat(QLocale::LongFormat));
    f.ShortTimeFormat = FromQtPattern(locale.timeFormat(QLocale::ShortFormat));
    f.LongTimeFormat = FromQtPattern(locale.timeFormat(QLocale::LongFormat));
    // A short date needs a four-digit year to be read back without doubt.
    if (f.ShortDateFormat.find("yyyy") == std::string::npos) {
        const auto at = f.ShortDateFormat.find("yy");
        if (at != std::string::npos)
            f.ShortDateFormat.replace(at, 2, "yyyy");
    }
    f.DateSeparator = FirstNonLetter(f.ShortDateFormat, 0);
    // A short date must read back as numbers. A locale that writes it with a
    // month or day name, or with blanks between the fields, gets the numeric
    // form in its order; the C locale ("d MMM yyyy") the ISO one.
    if (f.DateSeparator == 0 || f.ShortDateFormat.find("mmm") != std::string::npos ||
        f.ShortDateFormat.find("ddd") != std::string::npos) {
        if (locale.language() == QLocale::C) {
            f.ShortDateFormat = "yyyy/mm/dd";
            f.DateSeparator = '-';
        } else {
            std::string numeric;
            for (const char c : f.ShortDateFormat) {
                const char field = AsciiLower(c);
                if ((field == 'd' || field == 'm' || field == 'y') && numeric.find(field) == std::string::npos)
                    numeric += field;
            }
            f.ShortDateFormat.clear();
            for (const char field : numeric.size() == 3 ? numeric : std::string("dmy"))
                f.ShortDateFormat += std::string(f.ShortDateFormat.empty() ? "" : "/") +
                                     (field == 'y' ? "yyyy" : std::string(2, field));
            if (f.DateSeparator == 0)
                f.DateSeparator = '/';
        }
    }
    f.TimeSeparator = FirstNonLetter(f.LongTimeFormat, ':');
    for (char& c : f.ShortDateFormat)
        if (c == f.DateSeparator)
            c = '/';
    for (auto* pattern : {&f.ShortTimeFormat, &f.LongTimeFormat})
        for (char& c : *pattern)
            if (c == f.TimeSeparator)
                c = ':';
    f.TimeAMString = locale.amText().toStdString();
    f.TimePMString = locale.pmText().toStdString();
    for (int m = 0; m < 12; ++m) {
        f.ShortMonthNames[m] = locale.monthName(m + 1, QLocale::ShortFormat).toStdString();
        f.LongMonthNames[m] = locale.monthName(m + 1, QLocale::LongFormat).toStdString();
    }
    for (int d = 0; d < 7; ++d) {
        const int qtDay = d == 0 ? 7 : d; // Qt counts Monday 1 ... Sunday 7
        f.ShortDayNames[d] = locale.dayName(qtDay, QLocale::ShortFormat).toStdString();
        f.LongDayNames[d] = locale.dayName(qtDay, QLocale::LongFormat).toStdString();
    }
    return f;
}

TFormatSettings& FormatSettings()
{
    static TFormatSettings settings = TFormatSettings::FromSystem();
    return settings;
}

std::string FormatDateTime(const std::string& pattern, const QDateTime& value, const TFormatSettings& f)
{
    const QDate date = value.date();
    const QTime time = value.time();
    const bool twelve = pattern.find("am/pm") != std::string::npos || pattern.find("AM/PM") != std::string::npos;
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const char lower = AsciiLower(c);
        std::size_t run = 1;
        while (i + run < pattern.size() && AsciiLower(pattern[i + run]) == lower)
            ++run;
        if (c == '"' || c == '\'') {
            const std::size_t end = pattern.find(c, i + 1);
            out += pattern.substr(i + 1, (end == std::string::npos ? pattern.size() : end) - i - 1);
            i = end == std::string::npos ? pattern.size() : end + 1;
            continue;
        }
        if (StartsWithNoCase(pattern, i, "am/pm")) {
            out += time.hour() < 12 ? (f.TimeAMString.empty() ? "am" : f.TimeAMString)
                                    : (f.TimePMString.empty() ? "pm" : f.TimePMString);
            i += 5;
            continue;
        }
        switch (lower) {
        case 'd':
            if (run >= 6)
                run = 6; // "dddddd": long date
            if (run == 1) out += std::to_string(date.day());
            else if (run == 2) out += Pad(date.day(), 2);
            else if (run == 3) out += f.ShortDayNames[date.dayOfWeek() % 7];
            else if (run == 4) out += f.LongDayNames[date.dayOfWeek() % 7];
            else if (run == 5) out += FormatDateTime(f.ShortDateFormat, value, f);
            else out += FormatDateTime(f.LongDateFormat, value, f);
            break;
        case 'm':
            // "m" after an hour means minutes, as in "h:m".
            if (run <= 2 && !out.empty() && i > 0 &&
                (AsciiLower(pattern[i - 1]) == 'h' || (i > 1 && pattern[i - 1] == ':' && AsciiLower(pattern[i - 2]) == 'h'))) {
                out += run == 1 ? std::to_string(time.minute()) : Pad(time.minute(), 2);
                break;
            }
            if (run == 1) out += std::to_string(date.month());
            else if (run == 2) out += Pad(date.month(), 2);
            else if (run == 3) out += f.ShortMonthNames[date.month() - 1];
            else out += f.LongMonthNames[date.month() - 1];
            break;
        case 'y': out += run <= 2 ? Pad(date.year() % 100, 2) : Pad(date.year(), 4); break;
        case 'h': {
            int hour = time.hour();
            if (twelve) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += run == 1 ? std::to_string(hour) : Pad(hour, 2);
            break;
        }
        case 'n': out += run == 1 ? std::to_string(time.minute()) : Pad(time.minute(), 2); break;
        case 's': out += run == 1 ? std::to_string(time.second()) : Pad(time.second(), 2); break;
        case 'z': out += run >= 3 ? Pad(time.msec(), 3) : std::to_string(time.msec()); break;
        case 't': out += FormatDateTime(run == 1 ? f.ShortTimeFormat : f.LongTimeFormat, value, f); break;
        case 'c':
            out += FormatDateTime(f.ShortDateFormat, value, f);
            if (time != QTime(0, 0))
                out += " " + FormatDateTime(f.LongTimeFormat, value, f);
            break;
        case '/': out += std::string(run, f.DateSeparator); break;
        case ':': out += std::string(run, f.TimeSeparator); break;
        default: out += pattern.substr(i, run);
        }
        i += run;
    }
    return out;
}

std::string DateTimeToStr(const QDateTime& value, const TFormatSettings& settings)
{
    return FormatDateTime(settings.ShortDateFormat, value, settings) + " " +
           FormatDateTime(settings.LongTimeFormat, value, settings);
}

std::string TimeToStr(const QTime& value, const TFormatSettings& settings)
{
    return FormatDateTime(settings.LongTimeFormat, QDateTime(QDate(2000, 1, 1), value), settings);
}

// ---- Reading back ---------------------------------------------------------

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits at `at` as a number; at most nine digits, so no overflow.
bool ScanNumber(const std::string& s, std::size_t& at, int& value, int* count = nullptr)
{
    std::size_t n = 0;
    long long v = 0;
    while (at + n < s.size() && IsDigit(s[at + n])) {
        if (n == 9)
            return false;
        v = v * 10 + (s[at + n] - '0');
        ++n;
    }
    if (n == 0)
        return false;
    at += n;
    value = static_cast<int>(v);
    if (count)
        *count = static_cast<int>(n);
    return true;
}

void SkipBlanks(const std::string& s, std::size_t& at)
{
    while (at < s.size() && IsBlank(s[at]))
        ++at;
}

// An am or pm marker at `at`: 0 am, 1 pm, -1 none.
int ScanAmPm(const std::string& s, std::size_t& at, const TFormatSettings& f)
{
    const std::string am = f.TimeAMString.empty() ? "am" : f.TimeAMString;
    const std::string pm = f.TimePMString.empty() ? "pm" : f.TimePMString;
    for (const auto& [word, result] : {std::pair{am, 0}, std::pair{pm, 1}, std::pair{std::string("am"), 0},
                                       std::pair{std::string("pm"), 1}}) {
        if (!word.empty() && StartsWithNoCase(s, at, QString::fromStdString(word).toLower().toStdString().c_str())) {
            at += word.size();
            return result;
        }
    }
    return -1;
}

} // namespace

bool TryStrToFloat(const std::string& text, long double& value, const TFormatSettings& f)
{
    std::size_t at = 0;
    SkipBlanks(text, at);
    // The number is copied in the notation std::from_chars reads: a minus
    // sign (no plus), a point for the separator, an e before the exponent.
    std::string plain;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        if (text[at] == '-')
            plain += '-';
        ++at;
    }
    int mantissaDigits = 0;
    while (at < text.size() && IsDigit(text[at])) {
        plain += text[at++];
        ++mantissaDigits;
    }
    if (at < text.size() && text[at] == f.DecimalSeparator) {
        plain += '.';
        ++at;
        while (at < text.size() && IsDigit(text[at])) {
            plain += text[at++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        plain += 'e';
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            plain += text[at++];
        int exponentDigits = 0;
        while (at < text.size() && IsDigit(text[at])) {
            plain += text[at++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    SkipBlanks(text, at);
    if (at != text.size())
        return false;
    long double v = 0;
    const char* const end = plain.data() + plain.size();
    const auto [stop, error] = std::from_chars(plain.data(), end, v, std::chars_format::general);
    // Too large or too small for the type: no number.
    if (error != std::errc() || stop != end || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool TryStrToInt(const std::string& text, int& value)
{
    std::size_t at = 0;
    SkipBlanks(text, at);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    if (at == text.size())
        return false;
    long long v = 0;
    for (; at < text.size(); ++at) {
        if (!IsDigit(text[at]))
            return false;
        v = v * 10 + (text[at] - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool TryStrToTime(const std::string& text, QTime& value, const TFormatSettings& f)
{
    std::size_t at = 0;
    SkipBlanks(text, at);
    int hour = 0, minute = 0, second = 0, msec = 0;
    if (!ScanNumber(text, at, hour))
        return false;
    if (at < text.size() && text[at] == f.TimeSeparator) {
        ++at;
        if (!ScanNumber(text, at, minute))
            return false;
        if (at < text.size() && text[at] == f.TimeSeparator) {
            ++at;
            if (!ScanNumber(text, at, second))
                return false;
            if (at < text.size() && text[at] == f.DecimalSeparator) {
                ++at;
                int digits = 0;
                if (!ScanNumber(text, at, msec, &digits) || digits > 3)
                    return false;
                for (; digits < 3; ++digits)
                    msec *= 10;
            }
        }
    }
    SkipBlanks(text, at);
    const int half = ScanAmPm(text, at, f);
    SkipBlanks(text, at);
    if (at != text.size())
        return false;
    if (half >= 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (half == 1 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    value = QTime(hour, minute, second, msec);
    return true;
}

bool TryStrToDate(const std::string& text, QDate& value, const TFormatSettings& f)
{
    // The order of day, month and year in the short date format.
    std::string order;
    for (const char c : f.ShortDateFormat) {
        const char lower = AsciiLower(c);
        if ((lower == 'd' || lower == 'm' || lower == 'y') && order.find(lower) == std::string::npos)
            order += lower;
    }
    if (order.size() != 3)
        order = "dmy";
    std::size_t at = 0;
    SkipBlanks(text, at);
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        if (!ScanNumber(text, at, parts[count], &digits[count]))
            return false;
        ++count;
        if (at < text.size() && text[at] == f.DateSeparator && count < 3)
            ++at;
        else
            break;
    }
    SkipBlanks(text, at);
    if (at != text.size() || count < 2)
        return false;
    int day = 0, month = 0, year = 0;
    int yearDigits = 4;
    if (count == 3) {
        for (int k = 0; k < 3; ++k) {
            if (order[k] == 'd') day = parts[k];
            else if (order[k] == 'm') month = parts[k];
            else {
                year = parts[k];
                yearDigits = digits[k];
            }
        }
    } else {
        // Day and month in the order they have in the format.
        const bool monthFirst = order.find('m') < order.find('d');
        month = monthFirst ? parts[0] : parts[1];
        day = monthFirst ? parts[1] : parts[0];
        year = QDate::currentDate().year();
    }
    if (yearDigits <= 2) {
        const int base = QDate::currentDate().year() - 50;
        year += base / 100 * 100;
        if (year < base)
            year += 100;
    }
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return false;
    value = QDate(year, month, day);
    return true;
}

// ---- Writing numbers ------------------------------------------------------

namespace {

std::string WithSeparator(std::string s, char decimal)
{
    for (char& c : s)
        if (c == '.')
            c = decimal;
    return s;
}

// The value as d.ddd...e+x with `digits` digits after the point, correctly
// rounded, in the C notation whatever the locale: the mantissa's digits
// (sign and point left out), the exponent and the sign.
struct TScientific {
    std::string Digits;
    int Exponent = 0;
    bool Negative = false;
};

TScientific Scientific(long double value, int digits)
{
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, digits);
    const std::string s(buffer, written.ptr);
    TScientific out;
    out.Negative = !s.empty() && s[0] == '-';
    const std::size_t e = s.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (IsDigit(s[i]))
            out.Digits += s[i];
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), out.Exponent);
    return out;
}

} // namespace

std::string FloatToStr(long double value, const TFormatSettings& f)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    // 15 significant digits.
    const TScientific number = Scientific(value, 14);
    const int exponent = number.Exponent;
    const bool negative = number.Negative;
    std::string digitsText = number.Digits;
    while (digitsText.size() > 1 && digitsText.back() == '0')
        digitsText.pop_back();
    std::string out;
    if (exponent >= 15 || exponent < -5) {
        out = digitsText.substr(0, 1);
        if (digitsText.size() > 1)
            out += "." + digitsText.substr(1);
        out += "E" + std::string(exponent < 0 ? "-" : "") + std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digitsText;
    } else {
        if (static_cast<int>(digitsText.size()) <= exponent + 1) {
            out = digitsText + std::string(static_cast<std::size_t>(exponent + 1) - digitsText.size(), '0');
        } else {
            out = digitsText.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
                  digitsText.substr(static_cast<std::size_t>(exponent + 1));
        }
    }
    return WithSeparator((negative ? "-" : "") + out, f.DecimalSeparator);
}

std::string FloatToStrFixed(long double value, int digits, const TFormatSettings& f)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e18L)
        return FloatToStr(value, f);
    digits = std::clamp(digits, 0, 18);
    // The value to 18 significant digits, then rounded in decimal with halves
    // away from zero, as a person rounds.
    const TScientific number = Scientific(value, 17);
    const bool negative = number.Negative;
    const int exponent = number.Exponent;
    const std::string& mantissa = number.Digits;
    // Digits as a whole number with `digits` places after the point: the
    // mantissa's first digit stands for 10^exponent.
    const int keep = exponent + 1 + digits; // digits of the mantissa kept
    std::string kept;
    bool roundUp = false;
    if (keep >= 0) {
        kept = mantissa.substr(0, std::min<std::size_t>(mantissa.size(), static_cast<std::size_t>(keep)));
        kept.append(static_cast<std::size_t>(keep) - kept.size(), '0');
        roundUp = static_cast<std::size_t>(keep) < mantissa.size() && mantissa[static_cast<std::size_t>(keep)] >= '5';
    }
    if (roundUp) {
        int i = static_cast<int>(kept.size()) - 1;
        for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i)
            kept[static_cast<std::size_t>(i)] = '0';
        if (i >= 0)
            ++kept[static_cast<std::size_t>(i)];
        else
            kept.insert(kept.begin(), '1');
    }
    if (kept.size() < static_cast<std::size_t>(digits) + 1)
        kept.insert(0, static_cast<std::size_t>(digits) + 1 - kept.size(), '0');
    std::string out = kept.substr(0, kept.size() - static_cast<std::size_t>(digits));
    const std::size_t lead = out.find_first_not_of('0');
    out = lead == std::string::npos ? "0" : out.substr(lead);
    if (digits > 0)
        out += f.DecimalSeparator + kept.substr(kept.size() - static_cast<std::size_t>(digits));
    // No minus sign in front of a number that rounded to zero.
    if (negative && kept.find_first_not_of('0') != std::string::npos)
        out.insert(out.begin(), '-');
    return out;
}

namespace {
const QDate DayZero(1899, 12, 30);
constexpr double MsecPerDay = 86400000.0;
} // namespace

double DateToValue(const QDate& value)
{
    return static_cast<double>(DayZero.daysTo(value));
}

double TimeToValue(const QTime& value)
{
    return value.msecsSinceStartOfDay() / MsecPerDay;
}

double DateTimeToValue(const QDateTime& value)
{
    const double days = DateToValue(value.date());
    const double time = TimeToValue(value.time());
    // Before day zero the fraction still counts forward from midnight.
    return days >= 0 ? days + time : days - time;
}

QDateTime ValueToDateTime(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return QDateTime(DayZero, QTime(0, 0));
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    long long msec = std::llround(fraction * MsecPerDay);
    long long days = static_cast<long long>(whole);
    if (msec >= static_cast<long long>(MsecPerDay)) {
        msec -= static_cast<long long>(MsecPerDay);
        days += value >= 0 ? 1 : -1;
    }
    return QDateTime(DayZero.addDays(days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(msec)));
}
