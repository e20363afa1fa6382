#pragma once
// A file's bytes, read and written whole, for the tests of the file layer.
#include <fstream>
#include <iterator>
#include <string>

inline std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}
