#include "platform/TextCodec.h"

std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    // The lead bytes of two-, three- and four-byte forms (0xC0 and 0xC1 can
    // only start an overlong one).
    std::size_t length = 0;
    char32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
    }
    bool valid = length > 0 && i + length <= s.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        valid = (c & 0xC0) == 0x80;
        cp = (cp << 6) | (c & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    valid = valid && !(length == 3 && cp < 0x800) && !(length == 4 && cp < 0x10000) && cp <= 0x10FFFF &&
            !(cp >= 0xD800 && cp <= 0xDFFF);
    if (!valid) {
        ++i;
        return std::nullopt;
    }
    i += length;
    return cp;
}

std::string Utf8ToLatin1(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> cp = NextUtf8(utf8, i);
        out += cp && *cp <= 0xFF ? static_cast<char>(*cp) : '?';
    }
    return out;
}

std::string Latin1ToUtf8(const std::string& latin1)
{
    std::string out;
    out.reserve(latin1.size() + latin1.size() / 4);
    for (const char ch : latin1) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void AppendUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// The characters of 0x80-0x9F in Windows-1252; the undefined bytes are the
// control characters of their own number.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character in Windows-1252, or none.
std::optional<unsigned char> Windows1252Byte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<unsigned char>(cp);
    for (unsigned char b = 0; b < 32; ++b)
        if (kWindows1252High[b] == cp)
            return static_cast<unsigned char>(0x80 + b);
    return std::nullopt;
}

} // namespace

std::string Windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : c, out);
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> cp = NextUtf8(utf8, i);
        const std::optional<unsigned char> b = cp ? Windows1252Byte(*cp) : std::nullopt;
        out += b ? static_cast<char>(*b) : '?';
    }
    return out;
}

bool FitsWindows1252(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> cp = NextUtf8(utf8, i);
        if (!cp || !Windows1252Byte(*cp))
            return false;
    }
    return true;
}
