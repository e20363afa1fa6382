#include "localization/lcUtils.h"

#include "platform/Exception.h"
#include "platform/TextCodec.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <array>

// ---- the list of lines ------------------------------------------------------

TlcStringList& TlcStringList::operator=(const TlcStringList& other)
{
    if (this != &other) {
        FLines = other.FLines;
        ++FVersion;
    }
    return *this;
}

void TlcStringList::Check(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", index));
}

const std::string& TlcStringList::operator[](int index) const
{
    Check(index);
    return FLines[static_cast<size_t>(index)];
}

void TlcStringList::Add(std::string line)
{
    FLines.push_back(std::move(line));
    ++FVersion;
}

void TlcStringList::Insert(int index, std::string line)
{
    if (index < 0 || index > Count())
        throw EListError(Format("List index out of bounds (%d)", index));
    FLines.insert(FLines.begin() + index, std::move(line));
    ++FVersion;
}

void TlcStringList::Delete(int index)
{
    Check(index);
    FLines.erase(FLines.begin() + index);
    ++FVersion;
}

void TlcStringList::Put(int index, std::string line)
{
    Check(index);
    FLines[static_cast<size_t>(index)] = std::move(line);
    ++FVersion;
}

void TlcStringList::Clear()
{
    FLines.clear();
    ++FVersion;
}

std::string TlcStringList::Text() const
{
    std::string out;
    size_t size = 0;
    for (const std::string& line : FLines)
        size += line.size() + 2;
    out.reserve(size);
    for (const std::string& line : FLines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

void TlcStringList::SetText(std::string_view text)
{
    FLines.clear();
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            FLines.emplace_back(text.substr(start, i - start));
            ++i;
            if (c == '\r' && i < text.size() && text[i] == '\n')
                ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        FLines.emplace_back(text.substr(start));
    ++FVersion;
}

int TlcStringList::IndexOf(std::string_view text) const
{
    for (int i = 0; i < Count(); ++i)
        if (lcSameText(FLines[static_cast<size_t>(i)], text))
            return i;
    return -1;
}

// ---- UTF-8 ------------------------------------------------------------------

namespace {
// One code point from position i; a byte that starts no valid sequence stands
// for itself as U+DC80 + byte, so that every text decodes and encodes back.
char32_t Decode(std::string_view s, size_t& i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    return NextUtf8(s, i).value_or(0xDC80 + b);
}

void Encode(char32_t cp, std::string& out)
{
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
        out += static_cast<char>(cp - 0xDC00);
    } else {
        AppendUtf8(cp, out);
    }
}

char32_t Fold(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp >= 0xDC80 && cp <= 0xDCFF)
        return cp;
    return QChar::toCaseFolded(cp);
}
} // namespace

std::u32string lcToCodePoints(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        out += Decode(text, i);
    return out;
}

std::string lcFromCodePoints(std::u32string_view points)
{
    std::string out;
    out.reserve(points.size());
    for (char32_t cp : points)
        Encode(cp, out);
    return out;
}

int lcCompareText(std::string_view a, std::string_view b)
{
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        char32_t fa;
        char32_t fb;
        if (ca < 0x80 && cb < 0x80) {
            fa = Fold(ca);
            fb = Fold(cb);
            ++i;
            ++j;
        } else {
            fa = Fold(Decode(a, i));
            fb = Fold(Decode(b, j));
        }
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

int lcStartsText(std::string_view text, std::string_view prefix)
{
    size_t i = 0;
    size_t j = 0;
    while (j < prefix.size()) {
        if (i >= text.size())
            return -1;
        if (Fold(Decode(text, i)) != Fold(Decode(prefix, j)))
            return -1;
    }
    return static_cast<int>(i);
}

// ---- string routines --------------------------------------------------------

std::string TrimDelimiters(std::string_view text, unsigned char delim)
{
    const char d = static_cast<char>(delim);
    size_t first = 0;
    while (first < text.size() && text[first] == d)
        ++first;
    size_t last = text.size();
    while (last > first && text[last - 1] == d)
        --last;
    return std::string(text.substr(first, last - first));
}

bool IsWindowsNT()
{
    return true;
}

bool IsVistaOrLater()
{
    return true;
}

std::string ExtractField(std::string_view text, unsigned char delim, int n)
{
    const char d = static_cast<char>(delim);
    if (n < 0 || text.empty())
        return {};
    if (n == 0) {
        const size_t end = text.find(d, 1);
        return std::string(text.substr(0, end == std::string_view::npos ? text.size() : end));
    }
    size_t pos = 0;
    for (int k = 0; k < n; ++k) {
        const size_t found = text.find(d, pos);
        if (found == std::string_view::npos)
            return {};
        pos = found + 1;
    }
    const size_t end = text.find(d, pos);
    return std::string(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
}

int PosBMH(std::string_view pattern, std::string_view text)
{
    const size_t m = pattern.size();
    if (m == 0)
        return 1;
    if (m > text.size())
        return 0;
    std::array<size_t, 256> shift;
    shift.fill(m);
    for (size_t i = 0; i + 1 < m; ++i)
        shift[static_cast<unsigned char>(pattern[i])] = m - 1 - i;
    size_t end = m - 1; // index of the byte under the window's end
    while (end < text.size()) {
        size_t k = 0;
        while (k < m && text[end - k] == pattern[m - 1 - k])
            ++k;
        if (k == m)
            return static_cast<int>(end - m + 2);
        end += shift[static_cast<unsigned char>(text[end])];
    }
    return 0;
}

std::string ReplaceText(std::string_view text, std::string_view oldText, std::string_view newText, bool all)
{
    if (oldText.empty())
        return std::string(text);
    std::string out;
    size_t from = 0;
    for (;;) {
        const int pos = PosBMH(oldText, text.substr(from));
        if (pos == 0)
            break;
        const size_t at = from + static_cast<size_t>(pos) - 1;
        out.append(text.substr(from, at - from));
        out.append(newText);
        from = at + oldText.size();
        if (!all)
            break;
    }
    out.append(text.substr(from));
    return out;
}

namespace {
bool IsDelimiter(char c, std::string_view delimiters)
{
    return delimiters.find(c) != std::string_view::npos;
}

// 0-based start of field n (1-based), or npos.
size_t FieldStart(int n, std::string_view text, std::string_view delimiters)
{
    if (n < 1)
        return std::string_view::npos;
    size_t pos = 0;
    for (int field = 1; field < n; ++field) {
        while (pos < text.size() && !IsDelimiter(text[pos], delimiters))
            ++pos;
        if (pos >= text.size())
            return std::string_view::npos;
        ++pos;
    }
    return pos;
}
} // namespace

int WordPosition(int n, std::string_view text, std::string_view delimiters)
{
    const size_t start = FieldStart(n, text, delimiters);
    return start == std::string_view::npos ? static_cast<int>(text.size()) : static_cast<int>(start) + 1;
}

std::string ExtractWord(int n, std::string_view text, std::string_view delimiters)
{
    const size_t start = FieldStart(n, text, delimiters);
    if (start == std::string_view::npos)
        return {};
    size_t end = start;
    while (end < text.size() && !IsDelimiter(text[end], delimiters))
        ++end;
    return std::string(text.substr(start, end - start));
}

int CountDelimiters(std::string_view text, std::string_view delimiters)
{
    return static_cast<int>(std::count_if(text.begin(), text.end(), [&](char c) { return IsDelimiter(c, delimiters); }));
}

TlcStringList SplitText(std::string_view text, std::string_view separator)
{
    TlcStringList out;
    if (text.empty())
        return out;
    if (separator.empty()) {
        out.Add(std::string(text));
        return out;
    }
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        if (at == std::string_view::npos) {
            if (from < text.size())
                out.Add(std::string(text.substr(from)));
            break;
        }
        out.Add(std::string(text.substr(from, at - from)));
        from = at + separator.size();
    }
    return out;
}

std::string JoinLines(const TlcStringList& lines, std::string_view separator, bool skipEmpty)
{
    std::string out;
    bool first = true;
    for (const std::string& line : lines.Lines()) {
        if (skipEmpty && line.empty())
            continue;
        if (!first)
            out.append(separator);
        out += line;
        first = false;
    }
    return out;
}

TlcWideStringsAdapter::TlcWideStringsAdapter(std::u16string_view text)
{
    std::u16string line;
    for (char16_t c : text) {
        if (c == u'\r') {
            FLines.push_back(std::move(line));
            line.clear();
        } else if (c != u'\n') {
            line += c;
        }
    }
}

// ---- conversions ------------------------------------------------------------

std::u16string AnsiToWide(std::string_view text, int /*charset*/)
{
    if (text.empty())
        return {};
    const QString wide = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(wide.utf16()), static_cast<size_t>(wide.size()));
}

std::string WideToAnsi(std::u16string_view text, int /*charset*/)
{
    if (text.empty())
        return {};
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size())).toStdString();
}

std::string AnsiToUTF8(std::string_view text, int /*charset*/)
{
    return std::string(text);
}

std::string UTF8ToAnsi(std::string_view text, int /*charset*/)
{
    return std::string(text);
}

std::string lcDelim(unsigned char delim)
{
    return std::string(1, static_cast<char>(delim));
}

std::string lcLineKey(std::string_view line, unsigned char delim)
{
    return std::string(line.substr(0, line.find(static_cast<char>(delim))));
}

std::string lcTextBefore(std::string_view text, char c)
{
    return std::string(text.substr(0, text.find(c)));
}

std::string lcTextAfter(std::string_view text, char c)
{
    const size_t at = text.find(c);
    return at == std::string_view::npos ? std::string() : std::string(text.substr(at + 1));
}

std::string lcEncodeBreaks(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', lcStoredCR);
    std::replace(text.begin(), text.end(), '\n', lcStoredLF);
    return text;
}

std::string lcDecodeBreaks(std::string text)
{
    std::replace(text.begin(), text.end(), lcStoredCR, '\r');
    std::replace(text.begin(), text.end(), lcStoredLF, '\n');
    return text;
}

std::u16string lcDecodeBreaks(std::u16string text)
{
    std::replace(text.begin(), text.end(), static_cast<char16_t>(lcStoredCR), u'\r');
    std::replace(text.begin(), text.end(), static_cast<char16_t>(lcStoredLF), u'\n');
    return text;
}
