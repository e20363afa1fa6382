#pragma once
// Translation files: a translation component's lists loaded from, saved to,
// merged with and imported from INI text files, and read from binary ".LCB"
// files that hold whole streamed translation components of several owners.
//
// INI form: section "OPTIONS" (DELIMITER, IsUTF8File, Language_Fixed<n>), the
// language names, one section per list whose keys are the owner's class name,
// "." and the entry key, and "Extended" for the extended translations. A
// value holds the texts of languages 1..N, each followed by the file
// delimiter, with CR written as the byte 0x19 and LF as 0x1A.
//
// "IsUTF8File" says how the file holds its texts: 1 in UTF-8, 0 (or none) in
// the 8-bit code page of its languages, Windows-1252 for the program's. A
// file is written in the encoding the component keeps its texts in
// (StoreAsUTF8); texts that Windows-1252 lacks make it a UTF-8 file, marked
// so, so that nothing is lost. The 8-bit strings of a ".LCB" component
// stream follow the stream's StoreAsUTF8 the same way.
//
// Streams are byte strings held by the caller; files are read whole and
// written whole through a temporary file, so a failed write keeps the old one.
#include "localization/MemIni.h"
#include "localization/lcComp.h"
#include "localization/lcLCBManager.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern const char* const lcDefaultFileDelimiter;   // "~!@#"
extern const char* const lcOptionsSection;         // "OPTIONS"
extern const char* const lcLangNamesSection;       // "Language names - for internal use only!"
extern const char* const lcMisspelledNamesSection; // "Language names - for intenal use only!"
extern const char* const lcExtendedSection;        // "Extended"
extern const char* const lcLCBHeader;              // "LCB file: TlcLang binary translation data"

// The INI section of a list ("Captions", ..., "ListView_TreeView_Items").
const char* lcIniSectionName(TStringsType type);
// The name of a property kind ("tkLString") and back (tkUnknown for none).
const char* TypeKindName(TTypeKind kind);
TTypeKind TypeKindByName(std::string_view name);
// The file name's extension, upper-cased, is ".LCB".
bool IsLCBFile(const std::string& fileName);

// The file operations of one translation component, behind its own (virtual)
// operations of the same names. Lives for one or more calls; a bulk operation
// (all lists) sets the component's bulk flag, so that the single lists leave
// out their closing steps, which it then runs once at its end. An operation
// that works through other operations calls the component's own, so that a
// derived component's operation on one list is used by those on all.
class TlcTranslationFiles {
public:
    explicit TlcTranslationFiles(TlcCustomLang& lang) : FLang(lang) {}

    int LoadListFromIni(TStringsType list, std::string_view stream, bool clearFirst);
    int SaveListToIni(TStringsType list, std::string& stream, const std::string& fileDelimiter);
    void LoadAllFromIni(std::string_view stream, bool clearFirst, bool noTranslation);
    // Appends the rendered file to the stream.
    void SaveAllToIni(std::string& stream, const std::string& fileDelimiter);
    bool MergeListFromIni(TStringsType list, std::string_view stream);
    bool UpdateFromIni(std::string_view stream);
    bool MergeAllFromIni(std::string_view stream);
    void LoadExtendedFromIni(std::string_view stream, bool clearFirst);
    void SaveExtendedToIni(std::string& stream, const std::string& fileDelimiter);

    int LoadListFromFile(TStringsType list, const std::string& fileName, bool clearFirst);
    int SaveListToFile(TStringsType list, const std::string& fileName, const std::string& fileDelimiter);
    void LoadAllFromFile(const std::string& fileName, bool clearFirst);
    void SaveAllToFile(const std::string& fileName, const std::string& fileDelimiter);
    int LoadStringsFromFile(const std::string& fileName, bool clearFirst);
    int SaveStringsToFile(const std::string& fileName, const std::string& fileDelimiter);
    bool MergeListFromFile(TStringsType list, const std::string& fileName);
    bool UpdateFromFile(const std::string& fileName);
    void ReadAllFromFile(const std::string& fileName, bool clearFirst);
    bool MergeAllFromFile(const std::string& fileName);
    void ImportLanguageList(TStringsType list, const std::string& fileName, const std::string& languageName);
    void ImportLanguageExtended(const std::string& fileName, const std::string& languageName);
    void ImportLanguage(const std::string& fileName, const std::string& languageName);

    void LoadFromLCB(const std::string& fileName);
    void LoadListFromLCB(TStringsType list, const std::string& fileName);
    void LoadLanguageNames(const std::string& fileName, TlcStringList& names);

    // The languages the last load marked fixed (the component's list).
    const TlcStringList& FixedLanguages() const { return FLang.FixedLanguages(); }
    // An operation on all lists runs (the component's flag).
    bool Bulk() const { return FLang.BulkUpdate(); }

private:
    class TBulk;
    // Takes out of a loaded list the lines that cannot be applied: lines of
    // components the owner lacks are set aside, action-linked captions and
    // hints (and, with AutoSkipEmpties, lines without text) are deleted.
    void PrepareList(TStringsType type);
    // The same, false when a line cannot be read (a collection index that is
    // no number).
    bool TryPrepareList(TStringsType type);
    class TSnapshot;
    // Merges every list with `merge`; one list that fails puts the lists,
    // the language names, the UTF-8 flag and the fixed languages back as they
    // were and gives false.
    bool MergeAllLists(const std::function<bool(TStringsType)>& merge);
    // Runs the merge of one list (given the list and the language names as
    // they were); when it fails or raises, the list, the language names, the
    // UTF-8 flag and the fixed languages are put back and the result is false.
    using TMerge = std::function<bool(const TlcStringList& copy, const TlcStringList& names)>;
    bool MergeWithRollBack(TStringsType list, const TMerge& merge);
    // Prepares the list, rebuilds the string indexes after stStrings and
    // translates the owner.
    void CloseList(TStringsType list);
    TlcMemIniFile& Parse(std::string_view stream, std::unique_ptr<TlcMemIniFile>& own);
    std::string OwnerClass() const;
    std::string OwnerName() const;
    void WriteHeaderSections(TlcMemIniFile& ini, const std::string& fileDelimiter, bool options);
    TlcStringList FileLanguageNames(const std::string& fileName);
    int FindFileLanguage(TlcMemIniFile& ini, const std::string& languageName, const std::string& fileName);
    int TargetLanguage(const std::string& languageName);

    TlcCustomLang& FLang;
};

// Loads the dispatcher's translation file into a component: ".LCB" files with
// LoadFromLCB, any other with LoadAllFromFile, clearing first. False when the
// file could not be read.
bool LoadDispatcherFile(TlcCustomLang& lang, const std::string& fileName);

// Writing the binary form, for tools and tests: one component in the
// component-stream form ("TPF0"); BuildLCBFile (lcLCBManager.h) makes a
// whole ".LCB" file of such streams.
std::string WriteComponentStream(const TlcCustomLang& component);
