#pragma once
// Hexadecimal text to a 32-bit integer.
#include <cstdint>
#include <string>

// An empty text gives 0. Digits 0-9 and A-F in either case, at most eight of
// them (FFFFFFFF is -1); anything else raises EConvertError
// "HexToInt: Invalid character in Hex string: <text>".
std::int32_t HexToInt(const std::string& text);
// HexToInt, or `def` where HexToInt would raise.
std::int32_t HexToIntDef(const std::string& text, std::int32_t def);
