#include "platform/FormatSettings.h"

#include <QLocale>

#include <cctype>

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
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != '"' && c != ' ')
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
        if (at + k >= s.size() ||
            std::tolower(static_cast<unsigned char>(s[at + k])) != static_cast<unsigned char>(word[k]))
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
    f.DateSeparator = FirstNonLetter(f.ShortDateFormat, '.');
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
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::size_t run = 1;
        while (i + run < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[i + run])) == static_cast<unsigned char>(lower))
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
            if (run <= 2 && !out.empty() && i > 0 && (std::tolower(static_cast<unsigned char>(pattern[i - 1])) == 'h' ||
                                                      (i > 1 && pattern[i - 1] == ':' &&
                                                       std::tolower(static_cast<unsigned char>(pattern[i - 2])) == 'h'))) {
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
