#pragma once
// Texts are UTF-8 inside the program; files of 8-bit formats hold Latin-1.
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
