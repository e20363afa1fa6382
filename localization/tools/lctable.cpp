// lctable <table> <data> <settings>: compiles a form's translation table into
// the translation data file and the settings file that the build compiles in
// as resources.
#include "localization/tools/TranslationTable.h"
#include "platform/FileSave.h"

#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: lctable <table> <data> <settings>\n";
        return 2;
    }
    const std::string tableFile = argv[1];
    try {
        std::ifstream in(tableFile, std::ios::binary);
        if (!in)
            throw Exception(tableFile + ": cannot be read");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const TTranslationTable table = ParseTranslationTable(text, tableFile);
        const std::string data = CompileTranslationTable(table);
        const std::string settings = CompileTranslationSettings(table);
        SaveFile(argv[2], data);
        SaveFile(argv[3], settings);
    } catch (const std::exception& e) {
        std::cerr << "lctable: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
