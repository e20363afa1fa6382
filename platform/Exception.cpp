#include "platform/Exception.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

std::string Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
        out.assign(buffer.data(), static_cast<size_t>(needed));
    }
    va_end(args);
    return out;
}

std::string SysErrorMessage(int code)
{
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not be the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

std::string FormatText(const std::string& pattern, std::initializer_list<std::string> args)
{
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        if (pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Flags, width and precision, then the conversion letter.
        std::size_t j = i + 1;
        while (j < pattern.size() && std::strchr("-+ #0.123456789", pattern[j]))
            ++j;
        if (j == pattern.size() || (pattern[j] != 's' && pattern[j] != 'd')) {
            out += pattern[i];
            continue;
        }
        const std::string spec = pattern.substr(i + 1, j - i - 1);
        std::string value = next != args.end() ? *next++ : std::string();
        if (pattern[j] == 'd') {
            // Precision pads with zeros, width with blanks, as printf does.
            const auto dot = spec.find('.');
            const std::size_t precision = dot == std::string::npos ? 0 : std::strtoul(spec.c_str() + dot + 1, nullptr, 10);
            const bool negative = !value.empty() && value[0] == '-';
            std::string digits = negative ? value.substr(1) : value;
            while (digits.size() < precision)
                digits.insert(digits.begin(), '0');
            value = (negative ? "-" : "") + digits;
        }
        const std::size_t width = std::strtoul(spec.c_str() + (spec.rfind('-', 0) == 0 ? 1 : 0), nullptr, 10);
        if (spec.find('.') != 0 && value.size() < width) {
            if (spec.rfind('-', 0) == 0)
                value.append(width - value.size(), ' ');
            else
                value.insert(0, width - value.size(), ' ');
        }
        out += value;
        i = j;
    }
    return out;
}
