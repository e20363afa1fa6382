#pragma once
// Texts are UTF-8 inside the program; files of 8-bit formats hold the code
// page they name: Latin-1 (the parameter files), or Windows-1252, the 8-bit
// code page of the program's languages (the translation files).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reads the code point that starts at s[i] (i < s.size()) and moves i past
// it. A byte that starts no well-formed sequence (an overlong form, a
// surrogate or a value past U+10FFFF among them) gives none, and i moves past
// that byte alone.
std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& i);

// Appends one code point (at most U+10FFFF) in UTF-8; the caller decides
// what a surrogate stands for.
void AppendUtf8(char32_t cp, std::string& out);

// Characters that Latin-1 does not have become '?'.
std::string Utf8ToLatin1(const std::string& utf8);
std::string Latin1ToUtf8(const std::string& latin1);

// Windows-1252: Latin-1 but for 0x80-0x9F, where it holds the euro sign, the
// typographic quotes and dashes and a few letters. The five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters
// of the same number, as Windows converts them, so every byte reads as one
// character and writes back as the same byte.
std::string Windows1252ToUtf8(std::string_view bytes);
// Characters that Windows-1252 does not have become '?'.
std::string Utf8ToWindows1252(std::string_view utf8);
// Whether every character of the UTF-8 text is one of Windows-1252's (a text
// that is no well-formed UTF-8 is not).
bool FitsWindows1252(std::string_view utf8);
