#include "link/HexToInt.h"

#include "platform/Exception.h"

std::int32_t HexToInt(const std::string& text)
{
    std::uint32_t value = 0;
    int digits = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            throw EConvertError("HexToInt: Invalid character in Hex string: " + text);
        // Leading zeros do not count against the 32 bits.
        if ((digits > 0 || digit != 0) && ++digits > 8)
            throw EConvertError("HexToInt: Invalid character in Hex string: " + text);
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t HexToIntDef(const std::string& text, std::int32_t def)
{
    try {
        return HexToInt(text);
    } catch (const EConvertError&) {
        return def;
    }
}
