// Any text through HexToInt and HexToIntDef, checked against the rule: an
// empty text is 0; digits 0-9 and A-F in either case, at most eight of them
// after leading zeros, give their 32-bit value; anything else is the
// conversion error with the text, or the default.
//
// Input: four bytes of default, then the text.
#include "link/HexToInt.h"
#include "platform/Exception.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

std::optional<std::uint32_t> Expected(const std::string& text)
{
    std::uint32_t value = 0;
    int significant = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        if (significant > 0 || digit != 0)
            ++significant;
        if (significant > 8)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const auto def = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) << 24 | data[1] << 16 |
                                               data[2] << 8 | data[3]);
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
    const auto expected = Expected(text);
    try {
        const std::int32_t value = HexToInt(text);
        if (!expected || static_cast<std::uint32_t>(value) != *expected)
            std::abort();
    } catch (const EConvertError& e) {
        if (expected || e.Message() != "HexToInt: Invalid character in Hex string: " + text)
            std::abort();
    }
    const std::int32_t withDefault = HexToIntDef(text, def);
    if (withDefault != (expected ? static_cast<std::int32_t>(*expected) : def))
        std::abort();
    return 0;
}
