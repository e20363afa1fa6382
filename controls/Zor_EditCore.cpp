#include "controls/Zor_EditCore.h"

#include "platform/AsciiText.h"
#include "platform/Beep.h"
#include "platform/FormatSettings.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

// ---- UTF-8 -------------------------------------------------------------------

namespace {

std::u32string ToU32(const std::string& s)
{
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t c = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        bool ok = i + static_cast<std::size_t>(extra) < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((n & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (n & 0x3F);
        }
        if (!ok || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += c;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string ToU8(const std::u32string& s)
{
    std::string out;
    out.reserve(s.size());
    for (const char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int Length(const std::string& s)
{
    return static_cast<int>(ToU32(s).size());
}

// The units the window's text counts for `s`: two for a character above
// U+FFFF, one for every other.
int Units(std::u32string_view s)
{
    int units = 0;
    for (const char32_t c : s)
        units += c > 0xFFFF ? 2 : 1;
    return units;
}

// How many of the first characters of `s` fit into `room` units.
std::size_t Fitting(std::u32string_view s, int room)
{
    std::size_t kept = 0;
    for (int used = 0; kept < s.size(); ++kept) {
        used += Units(s.substr(kept, 1));
        if (used > room)
            break;
    }
    return kept;
}

// The first characters of `s` that fit into `limit` units; 0: no limit.
std::string Limited(const std::string& s, int limit)
{
    if (limit <= 0)
        return s;
    const std::u32string text = ToU32(s);
    return ToU8(text.substr(0, Fitting(text, limit)));
}

std::string RemoveCrLf(std::string s)
{
    // Until none is left: removing one pair may join a CR and an LF.
    for (std::size_t at; (at = s.find("\r\n")) != std::string::npos;)
        s.erase(at, 2);
    return s;
}

// The characters that the date, time and float modes map to their separator.
bool InMappingSet(char32_t c)
{
    switch (c) {
    case U'#': case U'\'': case U',': case U'.': case U'/': case U':': case U';':
    case U'\\': case U'^': case U'`': case U'~': case U'\u00B4':
        return true;
    default:
        return false;
    }
}

std::string DateText(const QDate& date)
{
    return FormatDateTime(FormatSettings().ShortDateFormat, QDateTime(date, QTime(0, 0)));
}

std::string TimeText(const QTime& time, const std::string& format)
{
    return FormatDateTime(format, QDateTime(QDate(1899, 12, 30), time));
}

int gPrimaryLanguage = 0;

} // namespace

// ---- History ---------------------------------------------------------------

std::string TZor_Undo::Quote(const std::string& text)
{
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string TZor_Undo::Unquote(const std::string& stored)
{
    if (stored.size() < 2 || stored.front() != '\'')
        return stored;
    std::string out;
    for (std::size_t i = 1; i + 1 < stored.size(); ++i) {
        out += stored[i];
        if (stored[i] == '\'' && stored[i + 1] == '\'')
            ++i;
    }
    return out;
}

void TZor_Undo::Put(int index, const std::string& text)
{
    if (index < 0)
        return;
    if (static_cast<std::size_t>(index) >= FEntries.size())
        FEntries.resize(static_cast<std::size_t>(index) + 1);
    FEntries[static_cast<std::size_t>(index)] = Quote(text);
}

std::string TZor_Undo::Get(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= FEntries.size())
        return {};
    return Unquote(FEntries[static_cast<std::size_t>(index)]);
}

TZor_Undo& G_Zor_Undo()
{
    static TZor_Undo undo;
    return undo;
}

// ---- Checks ------------------------------------------------------------------

int ZorUserPrimaryLanguage()
{
    if (gPrimaryLanguage != 0)
        return gPrimaryLanguage;
    switch (QLocale::system().language()) {
    case QLocale::German: return 7;
    case QLocale::English: return 9;
    case QLocale::French: return 12;
    case QLocale::Swedish: return 29;
    default: return 0;
    }
}

void SetZorUserPrimaryLanguage(int language)
{
    gPrimaryLanguage = language;
}

namespace ZorEditChecks {

std::string CompleteTime(const std::string& text, const std::string& format)
{
    const char separator = FormatSettings().TimeSeparator;
    std::string f = format;
    std::string t = text;
    std::string result;
    while (!f.empty()) {
        const std::size_t inText = t.find(separator);
        if (inText != std::string::npos) {
            result += t.substr(0, inText + 1);
            t.erase(0, inText + 1);
        } else {
            result += t.empty() ? "1" : t;
            t.clear();
            if (f.find(':') != std::string::npos)
                result += separator;
        }
        const std::size_t inFormat = f.find(':');
        if (inFormat == std::string::npos)
            f.clear();
        else
            f.erase(0, inFormat + 1);
    }
    return result;
}

bool TimeCheck(const std::string& text, const std::string& format)
{
    QTime time;
    return TryStrToTime(CompleteTime(text, format), time);
}

namespace {

bool CoordinateCheck(const std::string& text, const std::u32string& letters, int limit)
{
    if (text.empty())
        return true;
    const std::u32string wide = ToU32(text);
    if (letters.find(wide[0]) == std::u32string::npos)
        return false;
    if (wide.size() == 1)
        return true;
    const std::string number = Trim(ToU8(wide.substr(1)));
    if (number.empty())
        return true;
    long double v = 0;
    if (!TryStrToFloat(number, v))
        return false;
    const long double whole = std::trunc(v);
    if (std::fabs(whole) > limit)
        return false;
    return Length(FloatToStr(v - whole)) <= 8;
}

} // namespace

bool LatitudeCheck(const std::string& text)
{
    return CoordinateCheck(text, U"NSns", 89);
}

std::u32string LongitudeLetters(int primaryLanguage)
{
    switch (primaryLanguage) {
    case 7: return U"EOWeow";
    case 12: return U"EOeo";
    case 29: return U"Vv\u00D6\u00F6";
    default: return U"EWew";
    }
}

bool LongitudeCheck(const std::string& text)
{
    return CoordinateCheck(text, LongitudeLetters(ZorUserPrimaryLanguage()), 179);
}

bool MinSecCheck(const std::string& text)
{
    if (text == "-")
        return true;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || c == ':' || c == '-'))
            return false;
    if (text.find('-') != std::string::npos && text.front() != '-')
        return false;
    std::string digits;
    for (const char c : text)
        if (c != '-')
            digits += c;
    // A part that is no integer counts as 9999.
    auto part = [](const std::string& s) {
        int v = 0;
        return TryStrToInt(s, v) ? static_cast<long long>(v) : 9999LL;
    };
    long long total = 0;
    const std::size_t colon = digits.find(':');
    if (colon != std::string::npos) {
        const std::string seconds = digits.substr(colon + 1);
        total = part(digits.substr(0, colon)) * 60 + (seconds.empty() ? 0 : part(seconds));
    } else {
        total = part(digits);
    }
    return total >= -5999 && total <= 5999;
}

} // namespace ZorEditChecks

// ---- The edit ----------------------------------------------------------------

using enum TInputMode;

TZor_EditCore::TZor_EditCore() = default;

void TZor_EditCore::SetSelection(TZor_Selection value)
{
    const int length = Length(FText);
    value.Start = std::clamp(value.Start, 0, length);
    value.Length = std::clamp(value.Length, 0, length - value.Start);
    FSelection = value;
}

void TZor_EditCore::SelectAll()
{
    FSelection = {0, Length(FText)};
}

void TZor_EditCore::SetMaxLength(int value)
{
    // The limit is for what comes next: the text there is stays.
    FMaxLength = value < 0 ? 0 : value;
}

void TZor_EditCore::SetText(const std::string& value)
{
    if (value == FText)
        return;
    FText = value;
    FSelection = {Length(FText), 0};
    Change();
}

void TZor_EditCore::TextEdited(const std::string& value, TZor_Selection selection)
{
    std::string text = value;
    if (!WithinLimit(text, selection)) {
        MessageBeep(MB_BEEP_OK);
        if (text == FText) {
            // Nothing of it fitted: the text stays, the caret where it was.
            SetSelection(selection);
            return;
        }
    }
    FText = text;
    SetSelection(selection);
    Change();
}

bool TZor_EditCore::WithinLimit(std::string& text, TZor_Selection& selection) const
{
    if (FMaxLength <= 0)
        return true;
    const std::u32string now = ToU32(text);
    if (Units(now) <= FMaxLength)
        return true;
    // What the person put in: the caret stands at its end, and the text after
    // the caret is the end of the text before.
    const std::u32string before = ToU32(FText);
    std::size_t end = std::min(static_cast<std::size_t>(std::max(selection.Start + selection.Length, 0)), now.size());
    if (now.size() - end > before.size() || !before.ends_with(std::u32string_view(now).substr(end))) {
        // Not told by the caret: where the two texts stop ending alike.
        std::size_t same = 0;
        while (same < now.size() && same < before.size() &&
               now[now.size() - 1 - same] == before[before.size() - 1 - same])
            ++same;
        end = now.size() - same;
    }
    const std::size_t tail = now.size() - end;
    std::size_t start = 0;
    while (start < end && start + tail < before.size() && now[start] == before[start])
        ++start;
    const std::u32string_view inserted = std::u32string_view(now).substr(start, end - start);
    if (inserted.empty())
        return true; // a deletion, in a text that was longer than the limit already
    const int room = FMaxLength - Units(std::u32string_view(now).substr(0, start)) -
                     Units(std::u32string_view(now).substr(end));
    const std::size_t kept = Fitting(inserted, room);
    text = ToU8(now.substr(0, start) + std::u32string(inserted.substr(0, kept)) + now.substr(end));
    selection = {static_cast<int>(start + kept), 0};
    return false;
}

void TZor_EditCore::Change()
{
    // A text set while the stage runs (by an OnChange handler) is validated
    // in one more round once this one is done.
    if (FInChange) {
        FChangePending = true;
        return;
    }
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } guard{FInChange};
    FInChange = true;
    int rounds = 0;
    do {
        FChangePending = false;
        ChangeOnce();
    } while (FChangePending && ++rounds < 8);
    // Handlers that keep setting texts: the last accepted one stays.
    if (FChangePending) {
        FChangePending = false;
        FText = FLastText;
        SetSelection(FLastSelection);
    }
}

void TZor_EditCore::ChangeOnce()
{
    // An emptied text is not taken: the last accepted text stays.
    if (FText.empty())
        return;
    std::string working = RemoveCrLf(FText);
    if (working != FText) {
        FText = working;
        SetSelection(FSelection);
    }
    const TZor_Selection caret = FSelection;
    bool fellBack = false;
    if (!CheckByMode(working)) {
        working = FLastText;
        fellBack = true;
    }
    bool refused = false;
    working = Normalise(working, FLastText, &refused);
    FText = working;
    // A refused change puts the selection back where it was before it.
    SetSelection(fellBack || refused ? FLastSelection : caret);
    // What this round accepted; a text that OnChange sets is validated in
    // the next round against it.
    const std::string accepted = FText;
    const TZor_Selection selection = FSelection;
    if (OnChange)
        OnChange();
    FLastText = accepted;
    FLastSelection = selection;
}

bool TZor_EditCore::CheckByMode(const std::string& text) const
{
    switch (FInputMode) {
    case imShortTime: return ZorEditChecks::TimeCheck(text, FormatSettings().ShortTimeFormat);
    case imLatitude: return ZorEditChecks::LatitudeCheck(text);
    case imLongitude: return ZorEditChecks::LongitudeCheck(text);
    case imMinSec: return ZorEditChecks::MinSecCheck(text);
    default: return true;
    }
}

std::string TZor_EditCore::Normalise(const std::string& text, const std::string& fallback, bool* refused)
{
    bool fellBack = false;
    std::string working = text;
    const bool bounded = FMinValue != 0 || FMaxValue != 0;
    auto refuse = [&](bool beep) {
        if (beep)
            MessageBeep(MB_BEEP_INFORMATION);
        working = fallback;
        fellBack = true;
    };
    switch (FInputMode) {
    case imShortTime:
    case imLongTime: {
        const TFormatSettings& f = FormatSettings();
        for (const char c : std::string(",.-:;#^"))
            if (c != f.TimeSeparator)
                std::replace(working.begin(), working.end(), c, f.TimeSeparator);
        const std::string& format = FInputMode == imShortTime ? f.ShortTimeFormat : f.LongTimeFormat;
        QTime time;
        if (!TryStrToTime(ZorEditChecks::CompleteTime(working, format), time))
            refuse(false);
        if (working.empty()) {
            FValue = 0;
        } else {
            const std::string parsed =
                FInputMode == imShortTime ? ZorEditChecks::CompleteTime(working, format) : working;
            FValue = TryStrToTime(parsed, time) ? TimeToValue(time) : 0;
        }
        break;
    }
    case imInteger:
        if (!working.empty()) {
            int v = 0;
            if (!TryStrToInt(working, v) || (bounded && (v < FMinValue || v > FMaxValue)))
                refuse(true);
            else
                FValue = v;
        }
        break;
    case imFloat:
        if (!working.empty()) {
            long double v = 0;
            if (!TryStrToFloat(working, v) || (bounded && (v < FMinValue || v > FMaxValue)))
                refuse(true);
            else
                FValue = v;
        }
        break;
    default:
        break;
    }
    if (refused)
        *refused = fellBack;
    return working;
}

bool TZor_EditCore::Acceptable(const std::string& text) const
{
    if (text.empty())
        return true;
    if (text.find("\r\n") != std::string::npos || !CheckByMode(text))
        return false;
    const bool bounded = FMinValue != 0 || FMaxValue != 0;
    const TFormatSettings& f = FormatSettings();
    switch (FInputMode) {
    case imShortTime:
    case imLongTime: {
        for (const char c : std::string(",.-:;#^"))
            if (c != f.TimeSeparator && text.find(c) != std::string::npos)
                return false;
        QTime time;
        return TryStrToTime(
            ZorEditChecks::CompleteTime(text, FInputMode == imShortTime ? f.ShortTimeFormat : f.LongTimeFormat), time);
    }
    case imInteger: {
        int v = 0;
        return TryStrToInt(text, v) && !(bounded && (v < FMinValue || v > FMaxValue));
    }
    case imFloat: {
        long double v = 0;
        return TryStrToFloat(text, v) && !(bounded && (v < FMinValue || v > FMaxValue));
    }
    default:
        return true;
    }
}

void TZor_EditCore::SetInputMode(TInputMode value)
{
    FInputMode = value;
    SetText(Normalise(FText, std::string()));
}

void TZor_EditCore::SetDecimalPlaces(int value)
{
    if (value == FDecimalPlaces)
        return;
    FDecimalPlaces = value;
    long double v = 0;
    if (!TryStrToFloat(FText, v))
        v = 0;
    SetText(FloatToStrFixed(v, FDecimalPlaces));
}

long double TZor_EditCore::Value()
{
    // The text is only checked: the value is the one the change stage or the
    // setter stored, or the lower bound when the text is no longer readable.
    switch (FInputMode) {
    case imDate: {
        // A typed date is stored nowhere else, so it is taken here; else the
        // value would keep telling the date set before.
        QDate date;
        FValue = TryStrToDate(FText, date) ? DateToValue(date) : FMinValue;
        break;
    }
    case imShortTime:
    case imLongTime: {
        QTime time;
        if (!TryStrToTime(FText, time))
            FValue = FMinValue;
        break;
    }
    case imFloat: {
        long double v = 0;
        if (!TryStrToFloat(FText, v))
            FValue = FMinValue;
        break;
    }
    case imInteger:
        break;
    default:
        FValue = 0;
    }
    return FValue;
}

void TZor_EditCore::SetValue(long double value)
{
    switch (FInputMode) {
    case imDate:
        FValue = value;
        SetText(DateText(ValueToDateTime(static_cast<double>(value)).date()));
        break;
    case imShortTime:
    case imLongTime: {
        FValue = value;
        const TFormatSettings& f = FormatSettings();
        SetText(TimeText(ValueToDateTime(static_cast<double>(value)).time(),
                         FInputMode == imShortTime ? f.ShortTimeFormat : f.LongTimeFormat));
        break;
    }
    case imInteger: {
        FValue = std::nearbyint(value);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.0Lf", FValue);
        SetText(buffer);
        break;
    }
    case imFloat:
        FValue = value;
        SetText(FloatToStr(value));
        break;
    default:
        FValue = 0;
    }
}

char32_t TZor_EditCore::FilterKey(char32_t key) const
{
    const TFormatSettings& f = FormatSettings();
    switch (FInputMode) {
    case imDate: return InMappingSet(key) ? static_cast<char32_t>(f.DateSeparator) : key;
    case imShortTime:
    case imLongTime: return InMappingSet(key) ? static_cast<char32_t>(f.TimeSeparator) : key;
    case imFloat: return InMappingSet(key) ? static_cast<char32_t>(f.DecimalSeparator) : key;
    case imInteger:
        if (key >= 32 && key != U'-' && !(key >= U'0' && key <= U'9'))
            return 0;
        return key;
    default: return key;
    }
}

bool TZor_EditCore::InHistory(const std::string& text) const
{
    for (int i = 0; i <= FUndoCount; ++i)
        if (G_Zor_Undo().Get(i) == text)
            return true;
    return false;
}

char32_t TZor_EditCore::KeyPress(char32_t key)
{
    if (key == 13) {
        if (!InHistory(FText)) {
            ++FUndoCount;
            G_Zor_Undo().Put(FUndoCount, FText);
            FUndoPosition = FUndoCount - 1;
        }
        return 0;
    }
    if (key == 27) {
        Undo();
        return 0;
    }
    if (key >= 32)
        FUndoPosition = FUndoCount;
    return FilterKey(key);
}

void TZor_EditCore::KeyUp(bool ctrlA, TZor_Selection selection)
{
    SetSelection(selection);
    if (ctrlA)
        SelectAll();
    FLastSelection = FSelection;
}

void TZor_EditCore::Enter()
{
    FUndoCount = 0;
    FUndoPosition = 0;
    G_Zor_Undo().Clear();
    G_Zor_Undo().Put(0, FText);
    SelectAll();
}

void TZor_EditCore::Exit()
{
    const TFormatSettings& f = FormatSettings();
    bool valid = true;
    std::string canonical = FText;
    switch (FInputMode) {
    case imDate: {
        QDate date;
        valid = TryStrToDate(FText, date);
        if (valid)
            canonical = DateText(date);
        break;
    }
    case imShortTime:
    case imLongTime: {
        QTime time;
        valid = TryStrToTime(FText, time);
        if (valid)
            canonical = TimeText(time, FInputMode == imShortTime ? f.ShortTimeFormat : f.LongTimeFormat);
        break;
    }
    case imInteger: {
        // Every integer that the change stage took is valid here, the largest
        // one too: a text that stands for no number is told by the parse
        // failing, not by a value that a person can type.
        int v = 0;
        valid = TryStrToInt(FText, v);
        if (valid)
            canonical = std::to_string(v);
        break;
    }
    case imFloat: {
        long double v = 0;
        valid = TryStrToFloat(FText, v);
        if (valid) {
            // The one text that the limit cuts although the edit writes it.
            canonical = Limited(FloatToStrFixed(v, FDecimalPlaces), FMaxLength);
        }
        break;
    }
    default:
        break;
    }
    if (!valid) {
        if (OnExitValidateError) {
            OnExitValidateError();
            return;
        }
        MessageBeep(MB_BEEP_WARNING);
        SetText(std::string());
        return;
    }
    SetText(canonical);
}

void TZor_EditCore::Undo()
{
    TZor_Undo& history = G_Zor_Undo();
    if (FUndoCount <= 0 && FText == history.Get(FUndoPosition))
        return;
    if (!InHistory(FText)) {
        ++FUndoCount;
        history.Put(FUndoCount, FText);
    }
    SetText(history.Get(FUndoPosition));
    SelectAll();
    --FUndoPosition;
    if (FUndoPosition < 0)
        FUndoPosition = FUndoCount;
}

bool TZor_EditCore::CanUndo() const
{
    if (FUndoCount > 0)
        return true;
    return FText != G_Zor_Undo().Get(FUndoPosition);
}

void TZor_EditCore::Paste(const std::optional<std::string>& clipboard, TZor_Selection selection)
{
    if (!clipboard)
        return;
    SetSelection(selection);
    FLastSelection = FSelection;
    // One line: the line breaks of the clipboard's text go, whichever they are.
    std::string oneLine = *clipboard;
    std::erase_if(oneLine, [](char c) { return c == '\r' || c == '\n'; });
    // The normaliser tells whether the pasted text is one of the mode; the
    // value stays that of the field's text, which the change stage reads
    // from the whole new text (or keeps, when that is refused).
    const long double value = FValue;
    const std::string pasted = Normalise(oneLine, std::string());
    FValue = value;
    if (pasted.empty())
        return;
    const std::u32string text = ToU32(FText);
    const auto start = static_cast<std::size_t>(FSelection.Start);
    const auto end = start + static_cast<std::size_t>(FSelection.Length);
    const std::u32string insert = ToU32(pasted);
    // As much of it as MaxLength leaves room for (TextEdited cuts it).
    const std::u32string joined = text.substr(0, start) + insert + text.substr(end);
    TextEdited(ToU8(joined), {static_cast<int>(start + insert.size()), 0});
}
