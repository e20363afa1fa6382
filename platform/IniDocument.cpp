#include "platform/IniDocument.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <set>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// UTF-8 to code points; a byte that starts no valid sequence reads as U+FFFD.
std::u32string Decode(std::string_view s)
{
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        out += NextUtf8(s, i).value_or(kReplacement);
    return out;
}

void Encode(char32_t cp, std::string& out)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    AppendUtf8(cp, out);
}

std::string Encode(const std::u32string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char32_t cp : text)
        Encode(cp, out);
    return out;
}

int HexDigit(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool SameTextAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// One logical line: leading blanks skipped, comments passed over, a quoted
// text or a backslash may carry it over a line break. Gives false at the end.
bool ReadLine(std::string_view data, std::size_t& pos, std::string_view& line, std::size_t& equals)
{
    const std::size_t n = data.size();
    equals = std::string_view::npos;
    std::size_t start = pos;
    while (start < n && IsSpace(data[start]))
        ++start;
    std::size_t i = start;
    bool inQuotes = false;
    while (i < n) {
        const char ch = data[i++];
        if (ch == '=') {
            if (!inQuotes && equals == std::string_view::npos)
                equals = i - 1 - start;
        } else if (ch == '\n' || ch == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < n) {
                const char next = data[i++];
                if (i < n && ((next == '\n' && data[i] == '\r') || (next == '\r' && data[i] == '\n')))
                    ++i;
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == start + 1) {
                while (i < n && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < n && IsSpace(data[i]))
                    ++i;
                start = i;
                equals = std::string_view::npos;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line = data.substr(start, i - start);
    return !line.empty();
}

// A key as written: "\" is "/", %XX and %UXXXX stand for one character each
// (two %U in a row may be a surrogate pair).
std::string UnescapeKey(std::string_view text)
{
    const std::u32string key = Decode(text);
    std::u32string out;
    std::size_t i = 0;
    // The %UXXXX at i, or -1.
    auto unit = [&](std::size_t at) -> long {
        if (at + 6 > key.size() || key[at] != '%' || key[at + 1] != 'U')
            return -1;
        long value = 0;
        for (std::size_t k = at + 2; k < at + 6; ++k) {
            const int d = HexDigit(key[k]);
            if (d < 0)
                return -1;
            value = value * 16 + d;
        }
        return value;
    };
    while (i < key.size()) {
        const char32_t ch = key[i];
        if (ch == '\\') {
            out += '/';
            ++i;
            continue;
        }
        if (ch != '%' || i + 1 == key.size()) {
            out += ch;
            ++i;
            continue;
        }
        const bool wide = key[i + 1] == 'U';
        const std::size_t first = i + (wide ? 2 : 1);
        const std::size_t digits = wide ? 4 : 2;
        long value = 0;
        bool ok = first + digits <= key.size();
        for (std::size_t k = first; ok && k < first + digits; ++k) {
            const int d = HexDigit(key[k]);
            ok = d >= 0;
            value = value * 16 + d;
        }
        if (!ok) {
            out += '%';
            ++i;
            continue;
        }
        i = first + digits;
        if (value >= 0xD800 && value <= 0xDBFF) {
            const long low = unit(i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += static_cast<char32_t>(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
                i += 6;
                continue;
            }
        }
        out += static_cast<char32_t>(value >= 0xD800 && value <= 0xDFFF ? kReplacement : value);
    }
    return Encode(out);
}

void Hex(std::string& out, unsigned value, int digits, bool upper)
{
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += set[(value >> shift) & 15];
}

std::string EscapeKey(const std::string& key)
{
    std::string out;
    for (const char32_t ch : Decode(key)) {
        if (ch == '/') {
            out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
                   ch == '-' || ch == '.') {
            out += static_cast<char>(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            Hex(out, ch, 2, true);
        } else if (ch <= 0xFFFF) {
            out += "%U";
            Hex(out, ch, 4, true);
        } else {
            const char32_t v = ch - 0x10000;
            out += "%U";
            Hex(out, 0xD800 + (v >> 10), 4, true);
            out += "%U";
            Hex(out, 0xDC00 + (v & 0x3FF), 4, true);
        }
    }
    return out;
}

// A value as written: blanks around it dropped unless quoted, quotes taken
// away, backslash escapes (\n, \t, \x41, \101, \" ...) read, a backslash at
// the end of a line joins the next one.
std::string UnescapeValue(std::string_view s)
{
    std::u32string out;
    std::size_t i = 0;
    const std::size_t n = s.size();
    bool inQuotes = false;
    bool quoted = false;
    std::size_t chopLimit = 0;
    auto skipSpaces = [&] {
        while (i < n && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        chopLimit = out.size();
    };
    auto append = [&](char32_t value) { out += value > 0x10FFFF ? kReplacement : value; };
    skipSpaces();
    while (i < n) {
        const char c = s[i];
        if (c == '\\') {
            ++i;
            if (i >= n)
                break;
            const char e = s[i++];
            static const char kCodes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'},  {'n', '\n'},
                                             {'r', '\r'}, {'t', '\t'}, {'v', '\v'},  {'"', '"'},
                                             {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            bool mapped = false;
            for (const auto& code : kCodes)
                if (e == code[0]) {
                    out += static_cast<char32_t>(code[1]);
                    mapped = true;
                    break;
                }
            if (!mapped) {
                if (e == 'x' && i < n && HexDigit(static_cast<unsigned char>(s[i])) >= 0) {
                    char32_t value = 0;
                    while (i < n && HexDigit(static_cast<unsigned char>(s[i])) >= 0) {
                        value = std::min<char32_t>(0x110000, value * 16 + HexDigit(static_cast<unsigned char>(s[i])));
                        ++i;
                    }
                    append(value);
                } else if (e >= '0' && e <= '7') {
                    char32_t value = static_cast<char32_t>(e - '0');
                    while (i < n && s[i] >= '0' && s[i] <= '7') {
                        value = std::min<char32_t>(0x110000, value * 8 + static_cast<char32_t>(s[i] - '0'));
                        ++i;
                    }
                    append(value);
                } else if ((e == '\n' || e == '\r') && i < n && (s[i] == '\n' || s[i] == '\r') && s[i] != e) {
                    ++i; // a line joined to the next
                }
                // any other escaped character is dropped
            }
            chopLimit = out.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
        } else {
            std::size_t j = i + 1;
            while (j < n && s[j] != '\\' && s[j] != '"')
                ++j;
            out += Decode(s.substr(i, j - i));
            i = j;
        }
    }
    if (!quoted)
        while (out.size() > chopLimit && (out.back() == ' ' || out.back() == '\t'))
            out.pop_back();
    for (char32_t& ch : out)
        if (ch >= 0xD800 && ch <= 0xDFFF)
            ch = kReplacement;
    return Encode(out);
}

std::string EscapeValue(const std::string& value)
{
    // A value that begins with "@" would read as a typed value: "@@" keeps it a text.
    const std::string text = !value.empty() && value[0] == '@' ? "@" + value : value;
    std::string out;
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const char32_t ch : Decode(text)) {
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && HexDigit(ch) >= 0) {
            out += "\\x";
            Hex(out, ch, 2, false);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case 0: out += "\\0"; escapeNextIfDigit = true; break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            if (ch <= 0x1F) {
                out += "\\x";
                Hex(out, ch, ch < 0x10 ? 1 : 2, false);
                escapeNextIfDigit = true;
            } else {
                Encode(ch, out);
            }
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' ')))
        out = "\"" + out + "\"";
    return out;
}

// What a value written by another program stands for: "@@x" is the text
// "@x", "@String(x)" and "@ByteArray(x)" are x, "@Invalid()" is no value.
std::optional<std::string> TypedValue(const std::string& text)
{
    if (text.empty() || text[0] != '@')
        return text;
    if (text.back() == ')') {
        if (text.rfind("@String(", 0) == 0)
            return text.substr(8, text.size() - 9);
        if (text.rfind("@ByteArray(", 0) == 0) {
            // Its bytes were written one character each.
            std::string bytes;
            for (const char32_t ch : Decode(std::string_view(text).substr(11, text.size() - 12)))
                bytes += ch < 0x100 ? static_cast<char>(ch) : '?';
            return Encode(Decode(bytes));
        }
        if (text == "@Invalid()")
            return std::nullopt;
    }
    if (text.rfind("@@", 0) == 0)
        return text.substr(1);
    return text;
}

std::string SectionOf(const std::string& key)
{
    const auto cut = key.find('/');
    return cut == std::string::npos ? std::string() : key.substr(0, cut);
}

} // namespace

std::string TIniDocument::NormalizedKey(const std::string& key)
{
    std::string out;
    std::string part;
    auto flush = [&] {
        if (part.empty())
            return;
        if (!out.empty())
            out += '/';
        out += part;
        part.clear();
    };
    for (const char c : key) {
        if (c == '/' || c == '\\')
            flush();
        else
            part += c;
    }
    flush();
    return out;
}

TIniDocument TIniDocument::Parse(std::string_view bytes)
{
    TIniDocument doc;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::string section;
    std::set<std::string> seen;
    auto note = [&](const std::string& name) {
        if (seen.insert(name).second)
            doc.FSections.push_back(name);
    };
    std::size_t pos = 0;
    std::string_view line;
    std::size_t equals = 0;
    while (ReadLine(bytes, pos, line, equals)) {
        if (line[0] == '[') {
            const auto close = line.find(']');
            std::string_view name = line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1);
            while (!name.empty() && IsSpace(name.front()))
                name.remove_prefix(1);
            while (!name.empty() && IsSpace(name.back()))
                name.remove_suffix(1);
            if (SameTextAscii(name, "general"))
                section.clear();
            else if (SameTextAscii(name, "%general"))
                section = std::string(name.substr(1));
            else
                section = NormalizedKey(UnescapeKey(name));
            continue;
        }
        if (equals == std::string_view::npos)
            continue;
        std::string_view keyText = line.substr(0, equals);
        while (!keyText.empty() && (keyText.back() == ' ' || keyText.back() == '\t'))
            keyText.remove_suffix(1);
        const std::string key = NormalizedKey(section + "/" + UnescapeKey(keyText));
        if (key.empty())
            continue;
        note(SectionOf(key));
        const auto value = TypedValue(UnescapeValue(line.substr(equals + 1)));
        if (value)
            doc.FValues[key] = *value;
        else
            doc.FValues.erase(key);
    }
    return doc;
}

std::string TIniDocument::Text() const
{
    std::map<std::string, std::vector<std::pair<std::string, const std::string*>>> sections;
    for (const auto& [key, value] : FValues) {
        const std::string section = SectionOf(key);
        sections[section].emplace_back(section.empty() ? key : key.substr(section.size() + 1), &value);
    }
    std::vector<std::string> order;
    for (const std::string& name : FSections)
        if (sections.count(name))
            order.push_back(name);
    for (const auto& entry : sections)
        if (std::find(order.begin(), order.end(), entry.first) == order.end())
            order.push_back(entry.first);

    std::string out;
    for (const std::string& name : order) {
        if (!out.empty())
            out += '\n';
        if (name.empty())
            out += "[General]\n";
        else if (SameTextAscii(name, "general"))
            out += "[%" + name + "]\n";
        else
            out += "[" + EscapeKey(name) + "]\n";
        for (const auto& [key, value] : sections[name])
            out += EscapeKey(key) + "=" + EscapeValue(*value) + "\n";
    }
    return out;
}

std::optional<std::string> TIniDocument::Value(const std::string& key) const
{
    const auto it = FValues.find(NormalizedKey(key));
    if (it == FValues.end())
        return std::nullopt;
    return it->second;
}

void TIniDocument::SetValue(const std::string& key, const std::string& value)
{
    const std::string normalized = NormalizedKey(Encode(Decode(key)));
    if (!normalized.empty())
        FValues[normalized] = Encode(Decode(value));
}

void TIniDocument::RemoveValue(const std::string& key)
{
    FValues.erase(NormalizedKey(key));
}

void TIniDocument::RemoveGroup(const std::string& group)
{
    const std::string prefix = NormalizedKey(group);
    if (prefix.empty()) {
        FValues.clear();
        return;
    }
    FValues.erase(prefix);
    const std::string below = prefix + "/";
    auto it = FValues.lower_bound(below);
    while (it != FValues.end() && it->first.compare(0, below.size(), below) == 0)
        it = FValues.erase(it);
}

std::vector<std::string> TIniDocument::ChildKeys(const std::string& group) const
{
    const std::string prefix = NormalizedKey(group);
    const std::string below = prefix.empty() ? std::string() : prefix + "/";
    std::vector<std::string> names;
    for (auto it = FValues.lower_bound(below); it != FValues.end() && it->first.compare(0, below.size(), below) == 0;
         ++it) {
        const std::string rest = it->first.substr(below.size());
        if (rest.find('/') == std::string::npos)
            names.push_back(rest);
    }
    return names;
}

bool TIniDocument::HasValuesBelow(const std::string& group) const
{
    const std::string prefix = NormalizedKey(group);
    if (prefix.empty())
        return !FValues.empty();
    const std::string below = prefix + "/";
    const auto it = FValues.lower_bound(below);
    return it != FValues.end() && it->first.compare(0, below.size(), below) == 0;
}
