#pragma once
// Texts are UTF-8 inside the program; files of 8-bit formats hold Latin-1.
#include <string>

// Appends one code point (at most U+10FFFF) in UTF-8; the caller decides
// what a surrogate stands for.
void AppendUtf8(char32_t cp, std::string& out);

// Characters that Latin-1 does not have become '?'.
std::string Utf8ToLatin1(const std::string& utf8);
std::string Latin1ToUtf8(const std::string& latin1);
