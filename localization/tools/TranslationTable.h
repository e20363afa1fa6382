#pragma once
// The readable form of a form's translation data, from which the build makes
// the data files. A table is UTF-8 text:
//
//   # the language dialog            (a line beginning with # is a comment)
//   class TlcLangLinked              (TlcLang for the data module)
//   form TfLanguage                  (the owner's class name)
//   languages Deutsch English        (the languages, in language order)
//
//   [Captions]                       (a list: Captions, Hints, Strings ...)
//   TfLanguage<TAB>Sprache<TAB>Language
//   Label1<TAB>Sprache:<TAB>Language:
//
// Each entry is the key and one text per language, separated by single TABs;
// missing texts are empty. In keys and texts \n, \r and \\ stand for a line
// feed, a carriage return and a backslash. Empty lines are skipped. Keys are
// unique within a list; the owner's own entry is written first.
//
// Before the first list, after the class, a line may give one of the
// component's other published settings, as the form's data set it:
//
//   NeedAllDlgs true                         (a flag: true or false)
//   SmartExcludeProps TfMainForm.Hint ToolBar1.Caption   (a list: its lines)
//
// The settings go into a file of their own beside the data (<Form>.lcs), with
// the languages first: one line per property, its name and its values
// separated by TABs.
#include "localization/lcComp.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

struct TTranslationTable {
    std::string ClassName = "TlcLangLinked";
    std::string FormClass;
    std::vector<std::string> Languages;
    // The lines of each list in the engine's form (key, 0x01, texts each
    // followed by 0x01).
    std::array<TlcStringList, lcStringsTypeCount> Lists;
    // The other settings in table order: the property and its values.
    std::vector<std::pair<std::string, std::vector<std::string>>> Settings;
};

// Raises Exception "<file>:<line>: <what is wrong>" for a table it cannot take.
TTranslationTable ParseTranslationTable(std::string_view text, const std::string& fileName);
// The translation data bytes, written by the engine's own writer and read
// back by its reader before they are handed out.
std::string CompileTranslationTable(const TTranslationTable& table);
// The settings file: the languages, then the table's settings; checked by
// applying it to a component of the table's class.
std::string CompileTranslationSettings(const TTranslationTable& table);
