#pragma once
// Text routines that look at ASCII alone. They give the same result on every
// machine, whatever locale the C library has been given: keys, names of
// settings, command words and device paths compare the same in Germany and
// in Turkey. Bytes from 0x80 up (UTF-8 sequences, Latin-1 letters) are left
// as they are.
#include <string>
#include <string_view>

constexpr bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool IsAsciiAlnum(char c)
{
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

constexpr char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string AsciiLowerCase(std::string_view text);
std::string AsciiUpperCase(std::string_view text);

// Equal but for the case of the letters A-Z.
bool SameText(std::string_view a, std::string_view b);

// Blanks and control characters (every byte up to and including the space)
// off both ends, off the front, off the back.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
