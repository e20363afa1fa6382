#include "radioplugin/StringTokens.h"

#include "platform/Exception.h"

#include <limits>

std::string GetNextToken(std::string& S, const std::string& Delimiter, const std::string& QuoteChar)
{
    if (Delimiter.empty())
        throw EConvertError("GetNextToken: Delimiter may not be an empty string");

    const bool plain = QuoteChar.empty() || S.empty() || S == Delimiter ||
                       (S.size() >= 2 && S.compare(0, QuoteChar.size(), QuoteChar) != 0);
    std::string token;
    if (plain) {
        const auto p = S.find(Delimiter);
        if (p != std::string::npos) {
            token = S.substr(0, p);
            S.erase(0, p + Delimiter.size());
        } else {
            token = std::move(S);
            S.clear();
        }
        return token;
    }

    if (Delimiter.find(QuoteChar) != std::string::npos)
        throw EConvertError(Format("GetNextToken: Quotecharacter (%s) may not be part of delimiter (%s)",
                                   QuoteChar.c_str(), Delimiter.c_str()));
    const std::string end = QuoteChar + Delimiter;
    const auto p = S.find(end);
    if (p != std::string::npos) {
        const std::size_t from = QuoteChar.size();
        token = p >= from ? S.substr(from, p - from) : std::string();
        S.erase(0, p + end.size());
        return token;
    }
    const bool closed = S.size() >= QuoteChar.size() &&
                        S.compare(S.size() - QuoteChar.size(), QuoteChar.size(), QuoteChar) == 0;
    if (closed) {
        // A lone quote character is its own opening and closing quote.
        const std::size_t from = QuoteChar.size();
        const std::size_t to = S.size() - QuoteChar.size();
        token = to > from ? S.substr(from, to - from) : std::string();
    } else {
        token = S;
    }
    S.clear();
    return token;
}

std::vector<std::string> SplitTokens(std::string S, const std::string& Delimiter, const std::string& QuoteChar)
{
    std::vector<std::string> tokens;
    while (!S.empty())
        tokens.push_back(GetNextToken(S, Delimiter, QuoteChar));
    return tokens;
}

std::optional<std::int64_t> ParseDecimal(const std::string& text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulated negative, so that the smallest value fits.
    std::int64_t value = 0;
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value < (min + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == min)
            return std::nullopt;
        value = -value;
    }
    return value;
}

std::optional<std::int32_t> ParseDecimal32(const std::string& text)
{
    const auto value = ParseDecimal(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() || *value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::string UpperCase(std::string text)
{
    // Not AsciiUpperCase: the module's bytes are Latin-1, its accented letters rise too.
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // Latin-1's small letters a-z and à-þ (but not the division sign)
        // lie 32 above their capitals; ß and ÿ have none.
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7))
            c = static_cast<char>(byte - 0x20);
    }
    return text;
}
