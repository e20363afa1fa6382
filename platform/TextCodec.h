#pragma once
// Texts are UTF-8 inside the program; files of 8-bit formats hold Latin-1.
#include <string>

// Characters that Latin-1 does not have become '?'.
std::string Utf8ToLatin1(const std::string& utf8);
std::string Latin1ToUtf8(const std::string& latin1);
