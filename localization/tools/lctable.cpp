// lctable <table> <output>: compiles a form's translation table into the
// translation data file that the build compiles in as a resource.
#include "localization/tools/TranslationTable.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: lctable <table> <output>\n";
        return 2;
    }
    const std::string tableFile = argv[1];
    const std::string output = argv[2];
    try {
        std::ifstream in(tableFile, std::ios::binary);
        if (!in)
            throw Exception(tableFile + ": cannot be read");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string data = CompileTranslationTable(ParseTranslationTable(text, tableFile));
        const std::string temporary = output + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
            if (!out.flush())
                throw Exception(temporary + ": cannot be written");
        }
        if (std::rename(temporary.c_str(), output.c_str()) != 0)
            throw Exception(output + ": cannot be written");
    } catch (const std::exception& e) {
        std::cerr << "lctable: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
