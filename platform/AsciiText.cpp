#include "AsciiText.h"

namespace {

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string AsciiLowerCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

std::string AsciiUpperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

std::string Trim(std::string_view text)
{
    return TrimRight(TrimLeft(text));
}

std::string TrimLeft(std::string_view text)
{
    std::size_t first = 0;
    while (first < text.size() && IsBlankOrControl(text[first]))
        ++first;
    return std::string(text.substr(first));
}

std::string TrimRight(std::string_view text)
{
    std::size_t last = text.size();
    while (last > 0 && IsBlankOrControl(text[last - 1]))
        --last;
    return std::string(text.substr(0, last));
}
