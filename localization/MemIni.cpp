#include "localization/MemIni.h"

#include "platform/Exception.h"
#include "platform/FileSave.h"
#include "platform/FormatSettings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

// A 32-bit integer: optional sign, decimal digits or "$" and hex digits.
bool ParseNumber(const std::string& text, int& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i >= text.size())
        return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        result = result * base + digit;
        // Hexadecimal texts may spell the full 32 bits (FFFFFFFF is -1).
        const long long limit = base == 16 ? 0xFFFFFFFFLL : 0x80000000LL;
        if (result > limit)
            return false;
    }
    if (base == 16) {
        const auto bits = static_cast<unsigned>(result);
        value = static_cast<int>(negative ? 0u - bits : bits);
        return true;
    }
    if (negative)
        result = -result;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(result);
    return true;
}

} // namespace

// ---- typed reads and writes ----------------------------------------------------

int TlcCustomIniFile::ReadNumber(const std::string& section, const std::string& key, int def)
{
    std::string text = ReadValue(section, key, std::string());
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = "$" + text.substr(2);
    int value = def;
    return ParseNumber(text, value) ? value : def;
}

void TlcCustomIniFile::WriteNumber(const std::string& section, const std::string& key, int value)
{
    WriteValue(section, key, std::to_string(value));
}

bool TlcCustomIniFile::ReadFlag(const std::string& section, const std::string& key, bool def)
{
    return ReadNumber(section, key, def ? 1 : 0) != 0;
}

void TlcCustomIniFile::WriteFlag(const std::string& section, const std::string& key, bool value)
{
    WriteValue(section, key, value ? "1" : "0");
}

QDate TlcCustomIniFile::ReadDateValue(const std::string& section, const std::string& key, const QDate& def)
{
    const std::string text = ReadValue(section, key, std::string());
    QDate value;
    if (text.empty() || !TryStrToDate(text, value))
        return def;
    return value;
}

QDateTime TlcCustomIniFile::ReadDateTimeValue(const std::string& section, const std::string& key,
                                              const QDateTime& def)
{
    const std::string text = ReadValue(section, key, std::string());
    if (text.empty())
        return def;
    // The date, then after a blank the time; either part alone will do.
    const size_t blank = text.find(' ');
    QDate date;
    QTime time(0, 0);
    if (blank == std::string::npos) {
        if (TryStrToDate(text, date))
            return QDateTime(date, time);
        if (TryStrToTime(text, time))
            return QDateTime(QDate(1899, 12, 30), time);
        return def;
    }
    if (!TryStrToDate(text.substr(0, blank), date) || !TryStrToTime(text.substr(blank + 1), time))
        return def;
    return QDateTime(date, time);
}

long double TlcCustomIniFile::ReadFloatValue(const std::string& section, const std::string& key, long double def)
{
    const std::string text = ReadValue(section, key, std::string());
    long double value = def;
    if (text.empty() || !TryStrToFloat(text, value))
        return def;
    return value;
}

QTime TlcCustomIniFile::ReadTimeValue(const std::string& section, const std::string& key, const QTime& def)
{
    const std::string text = ReadValue(section, key, std::string());
    QTime value;
    if (text.empty() || !TryStrToTime(text, value))
        return def;
    return value;
}

void TlcCustomIniFile::WriteDateValue(const std::string& section, const std::string& key, const QDate& value)
{
    WriteValue(section, key, FormatDateTime("ddddd", QDateTime(value, QTime(0, 0))));
}

void TlcCustomIniFile::WriteDateTimeValue(const std::string& section, const std::string& key, const QDateTime& value)
{
    WriteValue(section, key, DateTimeToStr(value));
}

void TlcCustomIniFile::WriteFloatValue(const std::string& section, const std::string& key, long double value)
{
    WriteValue(section, key, FloatToStr(value));
}

void TlcCustomIniFile::WriteTimeValue(const std::string& section, const std::string& key, const QTime& value)
{
    WriteValue(section, key, TimeToStr(value));
}

bool TlcCustomIniFile::HasSection(const std::string& section)
{
    TlcStringList keys;
    ListKeys(section, keys);
    return keys.Count() > 0;
}

// ---- the keys of one section -------------------------------------------------

void TMemIniEntry::AddKey(std::string name, std::string value)
{
    // After every key of the same name, so that repeated keys keep their order.
    const auto at = std::upper_bound(FKeys.begin(), FKeys.end(), name, [](const std::string& n, const auto& key) {
        return lcCompareText(n, key.first) < 0;
    });
    FKeys.emplace(at, std::move(name), std::make_unique<TMemIniValue>(std::move(value)));
}

void TMemIniEntry::AddLine(std::string_view line)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        AddKey(std::string(line), std::string());
    else
        AddKey(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
}

bool TMemIniEntry::FindKey(std::string_view name, int& index) const
{
    const auto at = std::lower_bound(FKeys.begin(), FKeys.end(), name, [](const auto& key, std::string_view n) {
        return lcCompareText(key.first, n) < 0;
    });
    index = static_cast<int>(at - FKeys.begin());
    return at != FKeys.end() && lcSameText(at->first, name);
}

void TMemIniEntry::RemoveAt(int index)
{
    if (index < 0 || index >= KeyCount())
        return;
    FKeys.erase(FKeys.begin() + index);
}

void TMemIniEntry::Assign(const TlcStringList& lines)
{
    ClearKeys();
    for (const std::string& line : lines.Lines())
        AddLine(line);
}

void TMemIniEntry::Assign(const TMemIniEntry& other)
{
    if (&other == this)
        return;
    ClearKeys();
    for (const auto& [name, value] : other.FKeys)
        FKeys.emplace_back(name, std::make_unique<TMemIniValue>(value->Value));
}

// ---- the store -----------------------------------------------------------------

TlcMemIniFile::TlcMemIniFile(const std::string& fileName) : TlcCustomIniFile(fileName)
{
    std::error_code error;
    if (!fileName.empty() && std::filesystem::exists(fileName, error)) {
        TlcStringList lines;
        lines.SetText(ReadFileWhole(fileName));
        LoadFromLines(lines);
    }
}

TlcMemIniFile::~TlcMemIniFile()
{
    ClearAll();
}

bool TlcMemIniFile::FindSectionIndex(std::string_view name, int& index) const
{
    const auto at = std::lower_bound(FSections.begin(), FSections.end(), name,
                                     [](const auto& s, std::string_view n) { return lcCompareText(s.first, n) < 0; });
    index = static_cast<int>(at - FSections.begin());
    return at != FSections.end() && lcSameText(at->first, name);
}

TMemIniEntry* TlcMemIniFile::FindSection(std::string_view name) const
{
    int index;
    return FindSectionIndex(name, index) ? FSections[static_cast<size_t>(index)].second.get() : nullptr;
}

TMemIniEntry& TlcMemIniFile::NewSection(const std::string& name)
{
    int index;
    if (FindSectionIndex(name, index))
        return *FSections[static_cast<size_t>(index)].second;
    auto entry = std::make_unique<TMemIniEntry>();
    TMemIniEntry& result = *entry;
    FSections.emplace(FSections.begin() + index, name, std::move(entry));
    return result;
}

std::string TlcMemIniFile::ReadValue(const std::string& section, const std::string& key, const std::string& def)
{
    const TMemIniEntry* entry = FindSection(section);
    int index;
    if (entry && entry->FindKey(key, index))
        return entry->KeyValue(index);
    return def;
}

void TlcMemIniFile::WriteValue(const std::string& section, const std::string& key, const std::string& value)
{
    TMemIniEntry& entry = NewSection(section);
    int index;
    if (entry.FindKey(key, index))
        entry.RemoveAt(index);
    entry.AddKey(key, value);
    FModified = true;
}

void TlcMemIniFile::ListKeys(const std::string& section, TlcStringList& list)
{
    list.Clear();
    if (const TMemIniEntry* entry = FindSection(section))
        for (int i = 0; i < entry->KeyCount(); ++i)
            list.Add(entry->KeyName(i));
}

void TlcMemIniFile::ListValues(const std::string& section, TlcStringList& list)
{
    list.Clear();
    if (const TMemIniEntry* entry = FindSection(section))
        for (int i = 0; i < entry->KeyCount(); ++i)
            list.Add(entry->KeyValue(i));
}

void TlcMemIniFile::ListSections(TlcStringList& list)
{
    list.Clear();
    for (const auto& section : FSections)
        list.Add(section.first);
}

void TlcMemIniFile::RemoveSection(const std::string& section)
{
    int index;
    if (FindSectionIndex(section, index)) {
        FSections.erase(FSections.begin() + index);
        FModified = true;
    }
}

void TlcMemIniFile::RemoveKey(const std::string& section, const std::string& key)
{
    TMemIniEntry* entry = FindSection(section);
    int index;
    if (entry && entry->FindKey(key, index)) {
        entry->RemoveAt(index);
        FModified = true;
    }
}

std::string ReadFileWhole(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw Exception("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw Exception("Cannot read file \"" + fileName + "\".");
    return bytes.str();
}

void TlcMemIniFile::Flush()
{
    TlcStringList lines;
    SaveToLines(lines);
    SaveFile(FileName(), lines.Text());
    FModified = false;
}

void TlcMemIniFile::LoadFromLines(const TlcStringList& lines)
{
    ClearAll();
    TMemIniEntry* section = nullptr;
    for (const std::string& line : lines.Lines()) {
        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            // A repeated header adds its keys to the section already there.
            section = &NewSection(line.substr(1, line.size() - 2));
            continue;
        }
        if (section)
            section->AddLine(line);
    }
}

void TlcMemIniFile::SaveToLines(TlcStringList& lines) const
{
    lines.Clear();
    for (const auto& [name, entry] : FSections) {
        lines.Add("[" + name + "]");
        for (int i = 0; i < entry->KeyCount(); ++i)
            lines.Add(entry->KeyLine(i));
        lines.Add(std::string());
    }
}

void TlcMemIniFile::ReadFromStream(std::string_view bytes, size_t position)
{
    ClearAll();
    TlcStringList lines;
    lines.SetText(position < bytes.size() ? bytes.substr(position) : std::string_view());
    LoadFromLines(lines);
}

std::u16string ExtractFieldW(std::u16string_view text, char16_t delimiter, int n)
{
    if (n < 0)
        return {};
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const size_t at = text.find(delimiter, start);
        if (at == std::u16string_view::npos)
            return {};
        start = at + 1;
    }
    const size_t end = text.find(delimiter, start);
    if (end == std::u16string_view::npos)
        return {};
    return std::u16string(text.substr(start, end - start));
}
