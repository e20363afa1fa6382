#pragma once
// Bytes written as numbers, the way a protocol trace shows them:
// Bytes({0x02, 0x41, 0x03}) is the three bytes STX 'A' ETX. Each value is
// taken modulo 256, so 0xFF and -1 both give the byte 0xFF.
#include <initializer_list>
#include <string>

inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (const int v : values)
        s += static_cast<char>(v);
    return s;
}
