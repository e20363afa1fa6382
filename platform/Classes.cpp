#include "platform/Classes.h"

#include "platform/Exception.h"

#include <algorithm>

void TStrings::Clear()
{
    while (Count() > 0)
        Delete(Count() - 1);
}

std::vector<std::string> TStrings::Lines() const
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        lines.push_back(Get(i));
    return lines;
}

void TStrings::SetLines(const std::vector<std::string>& lines)
{
    Clear();
    for (const std::string& line : lines)
        Add(line);
}

std::string TStrings::CommaText() const
{
    return JoinCommaText(Lines());
}

void TStrings::SetCommaText(std::string_view text)
{
    SetLines(SplitCommaText(text));
}

std::string TStrings::Text() const
{
    std::string text;
    for (int i = 0; i < Count(); ++i) {
        text += Get(i);
        text += "\r\n";
    }
    return text;
}

void TStrings::SetText(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    SetLines(lines);
}

namespace {
bool IsBlank(char c)
{
    return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}
} // namespace

std::vector<std::string> SplitCommaText(std::string_view text)
{
    std::vector<std::string> items;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && IsBlank(text[p]))
        ++p;
    while (p < n && text[p] != '\0') {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < n && static_cast<unsigned char>(text[p]) > ' ' && text[p] != ',')
                ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        while (p < n && IsBlank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            do
                ++p;
            while (p < n && IsBlank(text[p]));
        }
    }
    return items;
}

std::string JoinCommaText(const std::vector<std::string>& items)
{
    if (items.size() == 1 && items[0].empty())
        return "\"\"";
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        const std::string& item = items[i];
        const bool quote = std::any_of(item.begin(), item.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',';
        });
        if (!quote) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TStringList::Check(int index, int count) const
{
    if (index < 0 || index >= count)
        throw EListError(Format("List index out of bounds (%d)", index));
}

std::string TStringList::Get(int index) const
{
    Check(index, Count());
    return FLines[static_cast<size_t>(index)];
}

void TStringList::Put(int index, const std::string& text)
{
    if (FSorted)
        throw EListError("Operation not allowed on sorted list");
    Check(index, Count());
    FLines[static_cast<size_t>(index)] = text;
}

void TStringList::Insert(int index, const std::string& text)
{
    if (FSorted)
        throw EListError("Operation not allowed on sorted list");
    Check(index, Count() + 1);
    FLines.insert(FLines.begin() + index, text);
}

void TStringList::Delete(int index)
{
    Check(index, Count());
    FLines.erase(FLines.begin() + index);
}

void TStringList::Add(const std::string& text)
{
    if (!FSorted) {
        FLines.push_back(text);
        return;
    }
    FLines.insert(std::upper_bound(FLines.begin(), FLines.end(), text), text);
}

void TStringList::SetSorted(bool value)
{
    if (value && !FSorted)
        std::sort(FLines.begin(), FLines.end());
    FSorted = value;
}
