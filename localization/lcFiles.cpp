#include "localization/lcFiles.h"

#include "localization/lcLngLnk.h"
#include "localization/lcStream.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"

#include <algorithm>
#include <filesystem>
#include <optional>

using namespace lcStream;

const char* const lcDefaultFileDelimiter = "~!@#";
const char* const lcOptionsSection = "OPTIONS";
const char* const lcLangNamesSection = "Language names - for internal use only!";
const char* const lcMisspelledNamesSection = "Language names - for intenal use only!";
const char* const lcExtendedSection = "Extended";
const char* const lcLCBHeader = "LCB file: TlcLang binary translation data";

namespace {

const char* const kSectionNames[lcStringsTypeCount] = {
    "Captions", "Hints", "DisplayLabels", "Fonts", "Multilines", "Dialogs",
    "Strings", "Other", "Locales", "Collections", "CharSets", "ListView_TreeView_Items",
};

const char* const kTypeKindNames[] = {
    "tkUnknown", "tkInteger", "tkChar", "tkEnumeration", "tkFloat", "tkString", "tkSet", "tkClass", "tkMethod",
    "tkWChar", "tkLString", "tkWString", "tkVariant", "tkArray", "tkRecord", "tkInterface", "tkInt64", "tkDynArray",
};

bool HasBracketKeys(TStringsType type)
{
    return type == TStringsType::stCollections || type == TStringsType::stListView_TreeView_Items;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    return ReplaceText(text, from, to, true);
}

std::string ReplaceFirstChar(std::string text, char from, char to)
{
    const size_t at = text.find(from);
    if (at != std::string::npos)
        text[at] = to;
    return text;
}

// A usable file delimiter: none at all would run the texts together.
std::string FileDelimiterOrDefault(const std::string& delimiter)
{
    return delimiter.empty() ? std::string(lcDefaultFileDelimiter) : delimiter;
}

// Field n (1-based) of a value whose texts are each followed by the file
// delimiter. A value without any delimiter is the text of language 1 alone.
std::string FileField(const std::string& value, const std::string& delimiter, int n)
{
    size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const size_t at = value.find(delimiter, start);
        if (at == std::string::npos)
            return {};
        start = at + delimiter.size();
    }
    const size_t end = value.find(delimiter, start);
    return value.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The fields of a line (after its key), split at the delimiter; the closing
// delimiter ends the last field.
std::vector<std::string> LineFields(const std::string& line, unsigned char delim)
{
    std::vector<std::string> fields;
    size_t start = line.find(static_cast<char>(delim));
    while (start != std::string::npos) {
        const size_t end = line.find(static_cast<char>(delim), start + 1);
        if (end == std::string::npos) {
            if (start + 1 < line.size())
                fields.push_back(line.substr(start + 1));
            break;
        }
        fields.push_back(line.substr(start + 1, end - start - 1));
        start = end;
    }
    return fields;
}

// that a saved file has. Text without any (another kind of file) would
// otherwise clear every list it is loaded into.
bool IsTranslationIni(const TlcMemIniFile& ini)
{
    for (const char* section : {lcOptionsSection, lcLangNamesSection, lcMisspelledNamesSection, lcExtendedSection})
        if (ini.FindSection(section))
            return true;
    for (int t = 0; t < lcStringsTypeCount; ++t)
        if (ini.FindSection(kSectionNames[t]))
            return true;
    return false;
}

// Reads the text of a translation file: one marked as UTF-8 as it is, any
// other in the 8-bit code page of its languages, converted.
void ReadIniText(TlcMemIniFile& ini, std::string_view bytes)
{
    ini.ReadFromStream(bytes);
    if (!ini.ReadFlag(lcOptionsSection, "IsUTF8File", false))
        ini.ReadFromStream(TextOfEightBit(bytes, false));
}

void ReadIniFile(TlcMemIniFile& ini, const std::string& fileName)
{
    if (FileExists(fileName))
        ReadIniText(ini, ReadFileWhole(fileName));
}

// Reads a translation file whole into Ini and gives its bytes; a text that
// is no translation file raises.
std::string ReadTranslationFile(TlcMemIniFile& ini, const std::string& fileName)
{
    std::string bytes = ReadFileWhole(fileName);
    ReadIniText(ini, bytes);
    if (!IsTranslationIni(ini))
        throw ELanguageError("\"" + fileName + "\" is no translation file");
    return bytes;
}

// The text of a translation file rendered by Render, in UTF-8 when the file
// is marked so (Marked) or must be (a text that the 8-bit code page lacks:
// then it is marked so and rendered again), else in the 8-bit code page.
std::string IniBytes(TlcMemIniFile& ini, bool marked, const std::function<std::string()>& render)
{
    std::string text = render();
    if (!marked && !FitsCodePage(text)) {
        ini.WriteFlag(lcOptionsSection, "IsUTF8File", true);
        text = render();
        marked = true;
    }
    return EightBitText(text, marked);
}

} // namespace

const char* lcIniSectionName(TStringsType type)
{
    return kSectionNames[static_cast<int>(type)];
}

const char* TypeKindName(TTypeKind kind)
{
    const auto index = static_cast<size_t>(kind);
    return index < std::size(kTypeKindNames) ? kTypeKindNames[index] : kTypeKindNames[0];
}

TTypeKind TypeKindByName(std::string_view name)
{
    for (size_t i = 0; i < std::size(kTypeKindNames); ++i)
        if (lcSameText(name, kTypeKindNames[i]))
            return static_cast<TTypeKind>(i);
    return TTypeKind::tkUnknown;
}

bool IsLCBFile(const std::string& fileName)
{
    const std::string extension = std::filesystem::path(fileName).extension().string();
    return QString::fromStdString(extension).toUpper() == ".LCB";
}

// ---- the component's file operations -------------------------------------------

// What loading or merging a file changes besides the extended translations:
// one list or every list, the language names (and with them the language
// count), the UTF-8 flag and the fixed languages. A load or merge that fails
// puts them all back, in one step.
class TlcTranslationFiles::TSnapshot {
public:
    // One list, or every list the component's class publishes.
    TSnapshot(TlcCustomLang& lang, std::optional<TStringsType> only)
        : FLang(lang), FNames(lang.LangNames()), FUtf8(lang.StoreAsUTF8()), FFixed(lang.FFixedLanguages)
    {
        for (int t = 0; t < lcStringsTypeCount; ++t) {
            const auto type = static_cast<TStringsType>(t);
            if (only && type != *only)
                continue;
            if (const TlcStringList* list = lang.GetListByType(type))
                FLists.emplace_back(type, *list);
        }
    }
    const TlcStringList& Names() const { return FNames; }
    // The list as it was (empty for one the class does not publish).
    const TlcStringList& List(TStringsType type) const
    {
        static const TlcStringList none;
        for (const auto& [t, list] : FLists)
            if (t == type)
                return list;
        return none;
    }
    void Restore() const
    {
        for (const auto& [type, list] : FLists)
            if (TlcStringList* now = FLang.GetListByType(type))
                *now = list;
        if (FLang.LangNames() != FNames)
            FLang.SetLangNames(FNames);
        StoreUTF8Flag(FLang, FUtf8);
        FLang.FFixedLanguages = FFixed;
    }

private:
    TlcCustomLang& FLang;
    std::vector<std::pair<TStringsType, TlcStringList>> FLists;
    const TlcStringList FNames;
    const bool FUtf8;
    const TlcStringList FFixed;
};

class TlcTranslationFiles::TBulk {
public:
    explicit TBulk(TlcTranslationFiles& files) : FFiles(files), FOld(files.FLang.FBulkUpdate)
    {
        files.FLang.FBulkUpdate = true;
    }
    ~TBulk() { FFiles.FLang.FBulkUpdate = FOld; }
    TBulk(const TBulk&) = delete;
    TBulk& operator=(const TBulk&) = delete;

private:
    TlcTranslationFiles& FFiles;
    bool FOld;
};

std::string TlcTranslationFiles::OwnerClass() const
{
    return FLang.Owner() ? ClassNameOf(FLang.Owner()) : std::string();
}

std::string TlcTranslationFiles::OwnerName() const
{
    return FLang.Owner() ? FLang.Owner()->objectName().toStdString() : std::string();
}

void TlcTranslationFiles::PrepareList(TStringsType type)
{
    if (TlcStringList* list = FLang.GetListByType(type))
        FLang.PurgeList(*list, type);
}

bool TlcTranslationFiles::TryPrepareList(TStringsType type)
{
    try {
        PrepareList(type);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TlcTranslationFiles::CloseList(TStringsType list)
{
    PrepareList(list);
    if (list == TStringsType::stStrings)
        FLang.RebuildStringIndexes();
    FLang.TranslateOwner();
}

TlcMemIniFile& TlcTranslationFiles::Parse(std::string_view stream, std::unique_ptr<TlcMemIniFile>& own)
{
    if (FLang.FSharedIni)
        return *FLang.FSharedIni;
    own = std::make_unique<TlcMemIniFile>();
    ReadIniText(*own, stream);
    return *own;
}

int TlcTranslationFiles::LoadListFromIni(TStringsType type, std::string_view stream, bool clearFirst)
{
    TlcStringList* list = FLang.GetListByType(type);
    if (!list)
        return -1;
    const TSnapshot before(FLang, type);
    try {
        std::unique_ptr<TlcMemIniFile> own;
        TlcMemIniFile& ini = Parse(stream, own);
        if (!IsTranslationIni(ini))
            return -1;
        const std::string fileDelim = ini.ReadValue(lcOptionsSection, "DELIMITER", lcDefaultFileDelimiter);
        TlcStringList names = FLang.LangNames();
        if (ini.HasSection(lcLangNamesSection)) {
            names.Clear();
            for (int n = 1;; ++n) {
                std::string name = ini.ReadValue(lcLangNamesSection, "Language_" + std::to_string(n), std::string());
                if (name.empty())
                    break;
                names.Add(std::move(name));
            }
        }
        // A file that names no language at all has no texts to give.
        if (names.Empty())
            throw ELanguageError("The file names no language");
        const bool utf8 = ini.ReadFlag(lcOptionsSection, "IsUTF8File", false);
        TlcStringList fixed;
        for (int n = 1; n <= names.Count(); ++n)
            if (ini.ReadFlag(lcOptionsSection, "Language_Fixed" + std::to_string(n), false))
                fixed.Add(names[n - 1]);

        const char delim = static_cast<char>(FLang.LangDelim());
        const std::string className = OwnerClass() + ".";
        const std::string componentName = OwnerName() + ".";
        TlcStringList result = clearFirst ? TlcStringList() : *list;
        int top = 0;
        TlcStringList keys;
        ini.ListKeys(lcIniSectionName(type), keys);
        int count = 0;
        for (int k = 0; k < keys.Count(); ++k) {
            const std::string& key = keys[k];
            if (k > 0 && lcSameText(key, keys[k - 1]))
                continue;
            ++count;
            std::string line = key + delim;
            if (HasBracketKeys(type))
                line = ReplaceFirstChar(ReplaceFirstChar(std::move(line), '-', '['), '+', ']');
            std::string prefix;
            if (componentName.size() > 1 && lcStartsText(line, componentName) >= 0)
                prefix = componentName;
            else if (lcStartsText(line, className) >= 0)
                prefix = className;
            else
                continue;
            line.erase(0, static_cast<size_t>(lcStartsText(line, prefix)));
            const size_t dot = line.find('.');
            const std::string component = dot == std::string::npos ? line.substr(0, line.size() - 1) : line.substr(0, dot);
            if (FLang.DoNotTranslate().IndexOf(component) >= 0)
                continue;
            const std::string value = ini.ReadValue(lcIniSectionName(type), key, std::string());
            if (value == "\xFF")
                continue;
            line += lcDecodeBreaks(ReplaceAll(value, FileDelimiterOrDefault(fileDelim), std::string(1, delim)));
            if (line.back() != delim)
                line += delim;
            const std::string own_entry = prefix.substr(0, prefix.size() - 1) + delim;
            if (lcStartsText(line, own_entry) >= 0)
                result.Insert(top++, std::move(line));
            else
                result.Add(std::move(line));
        }
        if (names != FLang.LangNames())
            FLang.SetLangNames(names);
        StoreUTF8Flag(FLang, utf8);
        FLang.FFixedLanguages = fixed;
        *list = result;
        if (!FLang.FBulkUpdate)
            CloseList(type);
        return count;
    } catch (const std::exception&) {
        // A load that fails leaves the component as it was.
        before.Restore();
        return -1;
    }
}

void TlcTranslationFiles::WriteHeaderSections(TlcMemIniFile& ini, const std::string& fileDelimiter, bool options)
{
    if (options) {
        ini.WriteValue(lcOptionsSection, "DELIMITER", fileDelimiter);
        ini.WriteFlag(lcOptionsSection, "IsUTF8File", FLang.StoreAsUTF8());
    } else {
        ini.WriteValue("Options", "Delimiter", fileDelimiter);
    }
    ini.RemoveSection(lcLangNamesSection);
    for (int n = 1; n <= FLang.NumOfLanguages(); ++n) {
        std::string name = n <= FLang.LangNames().Count() ? FLang.LangNames()[n - 1] : std::string();
        if (name.empty())
            name = "Language N" + std::to_string(n);
        ini.WriteValue(lcLangNamesSection, "Language_" + std::to_string(n), name);
    }
    ini.RemoveSection(lcMisspelledNamesSection);
}

int TlcTranslationFiles::SaveListToIni(TStringsType type, std::string& stream, const std::string& fileDelimiter)
{
    const TlcStringList* list = FLang.GetListByType(type);
    if (!list)
        return -1;
    const std::string fileDelim = FileDelimiterOrDefault(fileDelimiter);
    TlcMemIniFile ini;
    ReadIniText(ini, stream);
    WriteHeaderSections(ini, fileDelim, true);
    const char delim = static_cast<char>(FLang.LangDelim());
    const std::string section = lcIniSectionName(type);
    const std::string className = OwnerClass();
    for (const std::string& line : list->Lines()) {
        const size_t cut = line.find(delim);
        std::string key = line.substr(0, cut);
        if (HasBracketKeys(type)) {
            std::replace(key.begin(), key.end(), '[', '-');
            std::replace(key.begin(), key.end(), ']', '+');
        }
        const std::string value =
            cut == std::string::npos ? std::string()
                                     : lcEncodeBreaks(ReplaceAll(line.substr(cut + 1), std::string(1, delim), fileDelim));
        ini.WriteValue(section, className + "." + key, value);
    }
    const auto render = [&] {
        TlcStringList lines;
        ini.SaveToLines(lines);
        // Entries written under the owner's name give way to those under its
        // class name (not when both are the same name: those are this owner's).
        const std::string ownerName = OwnerName();
        if (!ownerName.empty() && ownerName != className) {
            const std::string prefix = ownerName + ".";
            bool inSection = false;
            for (int i = 0; i < lines.Count();) {
                const std::string& line = lines[i];
                if (!line.empty() && line.front() == '[' && line.back() == ']')
                    inSection = lcSameText(line.substr(1, line.size() - 2), section);
                else if (inSection && StartsWithExact(line, prefix)) {
                    lines.Delete(i);
                    continue;
                }
                ++i;
            }
        }
        return lines.Text();
    };
    stream = IniBytes(ini, FLang.StoreAsUTF8(), render);
    return list->Count();
}

void TlcTranslationFiles::LoadExtendedFromIni(std::string_view stream, bool clearFirst)
{
    TlcExtendedItems* items = FLang.ExtendedTranslations();
    std::unique_ptr<TlcMemIniFile> own;
    TlcMemIniFile& ini = Parse(stream, own);
    const std::string fileDelim = FileDelimiterOrDefault(ini.ReadValue("Options", "Delimiter", lcDefaultFileDelimiter));
    const std::string prefix = OwnerClass() + ".";
    if (clearFirst)
        items->Clear();
    const TMemIniEntry* section = ini.FindSection(lcExtendedSection);
    if (!section)
        return;
    for (int k = 0; k < section->KeyCount(); ++k) {
        const std::string& key = section->KeyName(k);
        if (!StartsWithExact(key, prefix) || (key.size() >= 9 && key.compare(key.size() - 9, 9, "_TypeKind") == 0))
            continue;
        const std::string identifier = key.substr(prefix.size());
        TlcExtendedItem* item = nullptr;
        for (int i = 0; i < items->Count() && !item; ++i)
            if (lcSameText(items->Items(i).Identifier, identifier))
                item = &items->Items(i);
        if (!item) {
            item = &items->Add();
            item->Identifier = identifier;
            item->PropertyType = OwnerPropertyKind(
                FLang, identifier, TypeKindByName(ini.ReadValue(lcExtendedSection, key + "_TypeKind", std::string())));
        }
        item->Values = lcDecodeBreaks(
            ReplaceAll(section->KeyValue(k), fileDelim, std::string(1, static_cast<char>(FLang.LangDelim()))));
    }
}

void TlcTranslationFiles::SaveExtendedToIni(std::string& stream, const std::string& fileDelimiter)
{
    const std::string fileDelim = FileDelimiterOrDefault(fileDelimiter);
    TlcMemIniFile ini;
    ReadIniText(ini, stream);
    bool marked = ini.ReadFlag(lcOptionsSection, "IsUTF8File", false);
    if (FLang.StoreAsUTF8() && !marked) {
        ini.WriteFlag(lcOptionsSection, "IsUTF8File", true);
        marked = true;
    }
    WriteHeaderSections(ini, fileDelim, false);
    const TlcExtendedItems* items = FLang.ExtendedTranslations();
    const std::string prefix = OwnerClass() + ".";
    for (int i = 0; i < items->Count(); ++i) {
        const TlcExtendedItem& item = items->Items(i);
        ini.WriteValue(lcExtendedSection, prefix + item.Identifier,
                       lcEncodeBreaks(ReplaceAll(item.Values, std::string(1, static_cast<char>(FLang.LangDelim())), fileDelim)));
        ini.WriteValue(lcExtendedSection, prefix + item.Identifier + "_TypeKind", TypeKindName(item.PropertyType));
    }
    stream = IniBytes(ini, marked, [&ini] {
        TlcStringList lines;
        ini.SaveToLines(lines);
        return lines.Text();
    });
}

void TlcTranslationFiles::LoadAllFromIni(std::string_view stream, bool clearFirst, bool noTranslation)
{
    TBulk bulk(*this);
    std::unique_ptr<TlcMemIniFile> own;
    if (!FLang.FSharedIni) {
        own = std::make_unique<TlcMemIniFile>();
        ReadIniText(*own, stream);
        if (!IsTranslationIni(*own))
            throw ELanguageError("The text is no translation file");
        FLang.FSharedIni = own.get();
    } else if (!IsTranslationIni(*FLang.FSharedIni)) {
        throw ELanguageError("The text is no translation file");
    }
    struct TRelease {
        TlcCustomLang& Lang;
        bool Made;
        ~TRelease()
        {
            if (Made)
                Lang.FSharedIni = nullptr;
        }
    } release{FLang, own != nullptr};
    for (int t = 0; t < lcStringsTypeCount; ++t)
        if (FLang.LoadListFromIni(static_cast<TStringsType>(t), stream, clearFirst) > 0)
            PrepareList(static_cast<TStringsType>(t));
    LoadExtendedFromIni(stream, clearFirst);
    FLang.RebuildStringIndexes();
    if (!noTranslation)
        FLang.TranslateOwner();
}

void TlcTranslationFiles::SaveAllToIni(std::string& stream, const std::string& fileDelimiter)
{
    std::string memory;
    for (int t = 0; t < lcStringsTypeCount; ++t)
        FLang.SaveListToIni(static_cast<TStringsType>(t), memory, fileDelimiter);
    SaveExtendedToIni(memory, fileDelimiter);
    stream += memory;
}

namespace {

// Puts the fields of lines written in the file's language order into the
// component's order: a language the component lacks is dropped, one the file
// lacks stays empty.
void Realign(TlcStringList& list, unsigned char delim, const TlcStringList& fileNames, const TlcStringList& names)
{
    std::vector<int> source(static_cast<size_t>(names.Count()), -1);
    for (int b = 0; b < names.Count(); ++b)
        for (int k = 0; k < fileNames.Count() && source[static_cast<size_t>(b)] < 0; ++k)
            if (lcSameText(QString::fromStdString(fileNames[k]).trimmed().toStdString(),
                           QString::fromStdString(names[b]).trimmed().toStdString()))
                source[static_cast<size_t>(b)] = k;
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& line = list[i];
        const std::vector<std::string> fields = LineFields(line, delim);
        std::string rebuilt = lcLineKey(line, delim) + static_cast<char>(delim);
        for (const int k : source) {
            if (k >= 0 && static_cast<size_t>(k) < fields.size())
                rebuilt += fields[static_cast<size_t>(k)];
            rebuilt += static_cast<char>(delim);
        }
        list.Put(i, std::move(rebuilt));
    }
}

bool SameNames(const TlcStringList& a, const TlcStringList& b)
{
    return lcSameText(QString::fromStdString(a.Text()).trimmed().toStdString(),
                      QString::fromStdString(b.Text()).trimmed().toStdString());
}

// Appends the lines of Old whose keys List lacks; the owner's own entry
// goes back to the top, where applying the texts looks for it.
void AppendMissing(TlcStringList& list, const TlcStringList& old, unsigned char delim, const std::string& ownerClass)
{
    std::vector<std::string> keys;
    keys.reserve(static_cast<size_t>(list.Count()));
    for (const std::string& line : list.Lines())
        keys.push_back(lcLineKey(line, delim));
    const auto less = [](const std::string& a, const std::string& b) { return lcCompareText(a, b) < 0; };
    std::sort(keys.begin(), keys.end(), less);
    for (const std::string& line : old.Lines()) {
        const std::string key = lcLineKey(line, delim);
        if (std::binary_search(keys.begin(), keys.end(), key, less))
            continue;
        if (!ownerClass.empty() && key == ownerClass)
            list.Insert(0, line);
        else
            list.Add(line);
    }
}

} // namespace

bool TlcTranslationFiles::MergeWithRollBack(TStringsType type, const TMerge& merge)
{
    const TSnapshot before(FLang, type);
    try {
        if (merge(before.List(type), before.Names()))
            return true;
    } catch (const std::exception&) {
    }
    before.Restore();
    return false;
}

bool TlcTranslationFiles::MergeListFromIni(TStringsType type, std::string_view stream)
{
    TlcStringList* list = FLang.GetListByType(type);
    if (!list)
        return true;
    return MergeWithRollBack(type, [&](const TlcStringList& copy, const TlcStringList& names) {
        int loaded;
        {
            TBulk bulk(*this);
            loaded = FLang.LoadListFromIni(type, stream, true);
        }
        if (loaded < 0)
            return false;
        // The lines keep the component's languages in its order.
        const TlcStringList fileNames = FLang.LangNames();
        if (!SameNames(fileNames, names)) {
            FLang.SetLangNames(names);
            Realign(*list, FLang.LangDelim(), fileNames, names);
        }
        AppendMissing(*list, copy, FLang.LangDelim(), OwnerClass());
        if (!FLang.FBulkUpdate)
            CloseList(type);
        return true;
    });
}

bool TlcTranslationFiles::MergeAllLists(const std::function<bool(TStringsType)>& merge)
{
    TBulk bulk(*this);
    const TSnapshot before(FLang, std::nullopt);
    try {
        for (int t = 0; t < lcStringsTypeCount; ++t) {
            const auto type = static_cast<TStringsType>(t);
            if (!merge(type) || !TryPrepareList(type)) {
                before.Restore();
                return false;
            }
        }
    } catch (...) {
        before.Restore();
        throw;
    }
    FLang.RebuildStringIndexes();
    return true;
}

bool TlcTranslationFiles::MergeAllFromIni(std::string_view stream)
{
    return MergeAllLists([&](TStringsType type) { return FLang.MergeListFromIni(type, stream); });
}

bool TlcTranslationFiles::UpdateFromIni(std::string_view stream)
{
    const bool merged = FLang.MergeAllFromIni(stream);
    FLang.TranslateOwner();
    return merged;
}

int TlcTranslationFiles::LoadListFromFile(TStringsType list, const std::string& fileName, bool clearFirst)
{
    if (!FileExists(fileName))
        return -1;
    std::string bytes;
    try {
        bytes = ReadFileWhole(fileName);
    } catch (const Exception&) {
        return -1;
    }
    return FLang.LoadListFromIni(list, bytes, clearFirst);
}

int TlcTranslationFiles::SaveListToFile(TStringsType list, const std::string& fileName,
                                        const std::string& fileDelimiter)
{
    std::string bytes = FileExists(fileName) ? ReadFileWhole(fileName) : std::string();
    const int count = FLang.SaveListToIni(list, bytes, fileDelimiter);
    if (count >= 0)
        SaveFile(fileName, bytes);
    return count;
}

void TlcTranslationFiles::LoadAllFromFile(const std::string& fileName, bool clearFirst)
{
    if (!FileExists(fileName))
        return;
    TlcMemIniFile ini;
    const std::string bytes = ReadTranslationFile(ini, fileName);
    FLang.LoadAllFromIni(bytes, clearFirst, false);
}

void TlcTranslationFiles::SaveAllToFile(const std::string& fileName, const std::string& fileDelimiter)
{
    // Every list into the file, then the extended translations.
    for (int t = 0; t < lcStringsTypeCount; ++t)
        FLang.SaveListToFile(static_cast<TStringsType>(t), fileName, fileDelimiter);
    std::string bytes = FileExists(fileName) ? ReadFileWhole(fileName) : std::string();
    SaveExtendedToIni(bytes, fileDelimiter);
    SaveFile(fileName, bytes);
}

int TlcTranslationFiles::LoadStringsFromFile(const std::string& fileName, bool clearFirst)
{
    return FLang.LoadListFromFile(TStringsType::stStrings, fileName, clearFirst);
}

int TlcTranslationFiles::SaveStringsToFile(const std::string& fileName, const std::string& fileDelimiter)
{
    return FLang.SaveListToFile(TStringsType::stStrings, fileName, fileDelimiter);
}

void TlcTranslationFiles::LoadLanguageNames(const std::string& fileName, TlcStringList& names)
{
    if (!FileExists(fileName))
        return;
    TTemporaryComponent temporary = MakeTemporary(FLang, OwnerClass());
    TlcCustomLang& read = *temporary.Component;
    // A file that names no language keeps these.
    read.SetLangNames(FLang.LangNames());
    if (IsLCBFile(fileName)) {
        TLCBFileManager manager;
        manager.ReadComponentFromFile(read, OwnerClass(), fileName);
    } else {
        read.LoadAllFromFile(fileName, true);
    }
    names = read.LangNames();
}

TlcStringList TlcTranslationFiles::FileLanguageNames(const std::string& fileName)
{
    TlcStringList names = FLang.LangNames();
    FLang.LoadLanguageNames(fileName, names);
    return names;
}

bool TlcTranslationFiles::MergeListFromFile(TStringsType type, const std::string& fileName)
{
    if (!FileExists(fileName))
        return false;
    TlcStringList* list = FLang.GetListByType(type);
    if (!list)
        return true;
    return MergeWithRollBack(type, [&](const TlcStringList& copy, const TlcStringList& names) {
        {
            TBulk bulk(*this);
            const TlcStringList fileNames = FileLanguageNames(fileName);
            if (IsLCBFile(fileName)) {
                LoadListFromLCB(type, fileName);
            } else if (FLang.LoadListFromFile(type, fileName, true) < 0) {
                return false;
            }
            if (FLang.LangNames() != names)
                FLang.SetLangNames(names);
            if (!SameNames(fileNames, names))
                Realign(*list, FLang.LangDelim(), fileNames, names);
        }
        AppendMissing(*list, copy, FLang.LangDelim(), OwnerClass());
        if (!FLang.FBulkUpdate)
            CloseList(type);
        return true;
    });
}

bool TlcTranslationFiles::MergeAllFromFile(const std::string& fileName)
{
    if (!FileExists(fileName))
        return false;
    return MergeAllLists([&](TStringsType type) { return FLang.MergeListFromFile(type, fileName); });
}

bool TlcTranslationFiles::UpdateFromFile(const std::string& fileName)
{
    const bool merged = FLang.MergeAllFromFile(fileName);
    FLang.TranslateOwner();
    return merged;
}

void TlcTranslationFiles::ReadAllFromFile(const std::string& fileName, bool clearFirst)
{
    TBulk bulk(*this);
    if (!FileExists(fileName))
        return;
    TlcMemIniFile shared;
    const std::string bytes = ReadTranslationFile(shared, fileName);
    // The single lists' loads read the file parsed once here.
    TlcMemIniFile* const outer = FLang.FSharedIni;
    FLang.FSharedIni = &shared;
    struct TRelease {
        TlcCustomLang& Lang;
        TlcMemIniFile* Outer;
        ~TRelease() { Lang.FSharedIni = Outer; }
    } release{FLang, outer};
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        FLang.LoadListFromFile(static_cast<TStringsType>(t), fileName, clearFirst);
        PrepareList(static_cast<TStringsType>(t));
    }
    LoadExtendedFromIni(bytes, clearFirst);
    FLang.RebuildStringIndexes();
}

int TlcTranslationFiles::FindFileLanguage(TlcMemIniFile& ini, const std::string& languageName,
                                          const std::string& fileName)
{
    for (int n = 1;; ++n) {
        const std::string name = ini.ReadValue(lcLangNamesSection, "Language_" + std::to_string(n), std::string());
        if (name.empty())
            break;
        if (name == languageName)
            return n;
    }
    if (FLang.DoRaiseExceptions())
        throw ELanguageError(languageName + " not found in " + fileName);
    return 0;
}

int TlcTranslationFiles::TargetLanguage(const std::string& languageName)
{
    const int index = FLang.LangNames().IndexOf(languageName);
    if (index >= 0)
        return index + 1;
    const int count = FLang.NumOfLanguages() + 1;
    FLang.SetNumOfLanguages(count);
    TlcStringList names = FLang.LangNames();
    names.Put(count - 1, languageName);
    FLang.SetLangNames(names);
    // Every line gets its field of the new language.
    const char delim = static_cast<char>(FLang.LangDelim());
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        TlcStringList* list = FLang.GetListByType(static_cast<TStringsType>(t));
        for (int i = 0; list && i < list->Count(); ++i) {
            std::string line = (*list)[i];
            const auto have = std::count(line.begin(), line.end(), delim);
            if (have > count)
                continue;
            line.append(static_cast<size_t>(count + 1 - have), delim);
            list->Put(i, std::move(line));
        }
    }
    return count;
}

void TlcTranslationFiles::ImportLanguageList(TStringsType type, const std::string& fileName,
                                             const std::string& languageName)
{
    TlcStringList* list = FLang.GetListByType(type);
    if (!FileExists(fileName) || languageName.empty() || !list)
        return;
    TlcMemIniFile ini;
    ReadIniFile(ini, fileName);
    const std::string fileDelim =
        FileDelimiterOrDefault(ini.ReadValue(lcOptionsSection, "DELIMITER", lcDefaultFileDelimiter));
    const int n = FindFileLanguage(ini, languageName, fileName);
    if (n == 0)
        return;
    const int target = TargetLanguage(languageName);
    const char delim = static_cast<char>(FLang.LangDelim());
    const std::string prefix = OwnerClass() + ".";
    const TMemIniEntry* section = ini.FindSection(lcIniSectionName(type));
    for (int k = 0; section && k < section->KeyCount(); ++k) {
        std::string key = section->KeyName(k);
        if (!StartsWithExact(key, prefix))
            continue;
        if (HasBracketKeys(type))
            key = ReplaceFirstChar(ReplaceFirstChar(std::move(key), '-', '['), '+', ']');
        const std::string text = lcDecodeBreaks(FileField(section->KeyValue(k), fileDelim, n));
        key.erase(0, prefix.size());
        bool found = false;
        for (const std::string& line : list->Lines())
            if (StartsWithExact(line, key + delim)) {
                found = true;
                break;
            }
        if (found) {
            FLang.SetTranslation(*list, text, target, key);
            continue;
        }
        std::string line = key + delim;
        for (int l = 1; l <= FLang.NumOfLanguages(); ++l)
            line += (l == target ? text : std::string()) + delim;
        list->Add(std::move(line));
    }
    if (!FLang.FBulkUpdate)
        CloseList(type);
}

void TlcTranslationFiles::ImportLanguageExtended(const std::string& fileName, const std::string& languageName)
{
    if (!FileExists(fileName) || languageName.empty())
        return;
    TlcMemIniFile ini;
    ReadIniFile(ini, fileName);
    const std::string fileDelim = FileDelimiterOrDefault(ini.ReadValue("Options", "Delimiter", lcDefaultFileDelimiter));
    const int n = FindFileLanguage(ini, languageName, fileName);
    if (n == 0)
        return;
    const int target = TargetLanguage(languageName);
    const unsigned char delim = FLang.LangDelim();
    const std::string prefix = OwnerClass() + ".";
    TlcExtendedItems* items = FLang.ExtendedTranslations();
    const TMemIniEntry* section = ini.FindSection(lcExtendedSection);
    for (int k = 0; section && k < section->KeyCount(); ++k) {
        const std::string& key = section->KeyName(k);
        if (!StartsWithExact(key, prefix) || (key.size() >= 9 && key.compare(key.size() - 9, 9, "_TypeKind") == 0))
            continue;
        const std::string identifier = key.substr(prefix.size());
        const std::string text = lcDecodeBreaks(FileField(section->KeyValue(k), fileDelim, n));
        TlcExtendedItem* item = nullptr;
        for (int i = 0; i < items->Count() && !item; ++i)
            if (lcSameText(items->Items(i).Identifier, identifier))
                item = &items->Items(i);
        std::string values;
        for (int l = 1; l <= FLang.NumOfLanguages(); ++l) {
            if (l == target)
                values += text;
            else if (item && static_cast<size_t>(l) <= LineFields(std::string(1, static_cast<char>(delim)) + item->Values, delim).size())
                values += LineFields(std::string(1, static_cast<char>(delim)) + item->Values, delim)[static_cast<size_t>(l - 1)];
            values += static_cast<char>(delim);
        }
        if (!item) {
            item = &items->Add();
            item->Identifier = identifier;
            item->PropertyType = OwnerPropertyKind(
                FLang, identifier, TypeKindByName(ini.ReadValue(lcExtendedSection, key + "_TypeKind", std::string())));
        }
        item->Values = values;
    }
}

void TlcTranslationFiles::ImportLanguage(const std::string& fileName, const std::string& languageName)
{
    if (!FileExists(fileName) || languageName.empty())
        return;
    {
        TBulk bulk(*this);
        for (int t = 0; t < lcStringsTypeCount; ++t) {
            FLang.ImportLanguageList(static_cast<TStringsType>(t), fileName, languageName);
            PrepareList(static_cast<TStringsType>(t));
        }
        FLang.ImportLanguageExtended(fileName, languageName);
    }
    FLang.RebuildStringIndexes();
    FLang.TranslateOwner();
}

void TlcTranslationFiles::LoadFromLCB(const std::string& fileName)
{
    if (!FLang.Owner())
        return;
    // The dispatcher's reader for its file, when this is that file.
    const TlcLangDispatcher* dispatcher = FLang.LangDispatcher();
    TLCBFileManager* shared = dispatcher ? dispatcher->LCBFileManager() : nullptr;
    TLCBFileManager own;
    TLCBFileManager& manager = shared && lcSameText(shared->FileName(), fileName) ? *shared : own;
    manager.ReadComponentFromFile(FLang, OwnerClass(), fileName);
    FLang.FFixedLanguages = manager.FixedLanguages();
    FLang.RebuildStringIndexes();
    FLang.TranslateOwner();
}

void TlcTranslationFiles::LoadListFromLCB(TStringsType list, const std::string& fileName)
{
    TLCBFileManager manager;
    manager.ReadList(list, fileName, OwnerClass(), FLang);
    if (list == TStringsType::stStrings)
        FLang.RebuildStringIndexes();
}

bool LoadDispatcherFile(TlcCustomLang& lang, const std::string& fileName)
{
    try {
        if (IsLCBFile(fileName))
            lang.LoadFromLCB(fileName);
        else
            lang.LoadAllFromFile(fileName, true);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TlcCustomLang::LoadTranslationFile(const std::string& fileName)
{
    return LoadDispatcherFile(*this, fileName);
}

// ---- the component's operations ----------------------------------------------------

int TlcCustomLang::LoadListFromIni(TStringsType list, std::string_view stream, bool clearFirst)
{
    return TlcTranslationFiles(*this).LoadListFromIni(list, stream, clearFirst);
}

int TlcCustomLang::SaveListToIni(TStringsType list, std::string& stream, const std::string& fileDelimiter)
{
    return TlcTranslationFiles(*this).SaveListToIni(list, stream, fileDelimiter);
}

void TlcCustomLang::LoadAllFromIni(std::string_view stream, bool clearFirst, bool noTranslation)
{
    TlcTranslationFiles(*this).LoadAllFromIni(stream, clearFirst, noTranslation);
}

void TlcCustomLang::SaveAllToIni(std::string& stream, const std::string& fileDelimiter)
{
    TlcTranslationFiles(*this).SaveAllToIni(stream, fileDelimiter);
}

bool TlcCustomLang::MergeListFromIni(TStringsType list, std::string_view stream)
{
    return TlcTranslationFiles(*this).MergeListFromIni(list, stream);
}

bool TlcCustomLang::UpdateFromIni(std::string_view stream)
{
    return TlcTranslationFiles(*this).UpdateFromIni(stream);
}

bool TlcCustomLang::MergeAllFromIni(std::string_view stream)
{
    return TlcTranslationFiles(*this).MergeAllFromIni(stream);
}

int TlcCustomLang::LoadListFromFile(TStringsType list, const std::string& fileName, bool clearFirst)
{
    return TlcTranslationFiles(*this).LoadListFromFile(list, fileName, clearFirst);
}

int TlcCustomLang::SaveListToFile(TStringsType list, const std::string& fileName, const std::string& fileDelimiter)
{
    return TlcTranslationFiles(*this).SaveListToFile(list, fileName, fileDelimiter);
}

void TlcCustomLang::LoadAllFromFile(const std::string& fileName, bool clearFirst)
{
    TlcTranslationFiles(*this).LoadAllFromFile(fileName, clearFirst);
}

void TlcCustomLang::SaveAllToFile(const std::string& fileName, const std::string& fileDelimiter)
{
    TlcTranslationFiles(*this).SaveAllToFile(fileName, fileDelimiter);
}

int TlcCustomLang::LoadStringsFromFile(const std::string& fileName, bool clearFirst)
{
    return TlcTranslationFiles(*this).LoadStringsFromFile(fileName, clearFirst);
}

int TlcCustomLang::SaveStringsToFile(const std::string& fileName, const std::string& fileDelimiter)
{
    return TlcTranslationFiles(*this).SaveStringsToFile(fileName, fileDelimiter);
}

bool TlcCustomLang::MergeListFromFile(TStringsType list, const std::string& fileName)
{
    return TlcTranslationFiles(*this).MergeListFromFile(list, fileName);
}

bool TlcCustomLang::UpdateFromFile(const std::string& fileName)
{
    return TlcTranslationFiles(*this).UpdateFromFile(fileName);
}

void TlcCustomLang::ReadAllFromFile(const std::string& fileName, bool clearFirst)
{
    TlcTranslationFiles(*this).ReadAllFromFile(fileName, clearFirst);
}

bool TlcCustomLang::MergeAllFromFile(const std::string& fileName)
{
    return TlcTranslationFiles(*this).MergeAllFromFile(fileName);
}

void TlcCustomLang::ImportLanguageList(TStringsType list, const std::string& fileName, const std::string& languageName)
{
    TlcTranslationFiles(*this).ImportLanguageList(list, fileName, languageName);
}

void TlcCustomLang::ImportLanguageExtended(const std::string& fileName, const std::string& languageName)
{
    TlcTranslationFiles(*this).ImportLanguageExtended(fileName, languageName);
}

void TlcCustomLang::ImportLanguage(const std::string& fileName, const std::string& languageName)
{
    TlcTranslationFiles(*this).ImportLanguage(fileName, languageName);
}

void TlcCustomLang::LoadExtendedFromIni(std::string_view stream, bool clearFirst)
{
    TlcTranslationFiles(*this).LoadExtendedFromIni(stream, clearFirst);
}

void TlcCustomLang::SaveExtendedToIni(std::string& stream, const std::string& fileDelimiter)
{
    TlcTranslationFiles(*this).SaveExtendedToIni(stream, fileDelimiter);
}

void TlcCustomLang::LoadFromLCB(const std::string& fileName)
{
    TlcTranslationFiles(*this).LoadFromLCB(fileName);
}

void TlcCustomLang::LoadListFromLCB(TStringsType list, const std::string& fileName)
{
    TlcTranslationFiles(*this).LoadListFromLCB(list, fileName);
}

void TlcCustomLang::LoadLanguageNames(const std::string& fileName, TlcStringList& names)
{
    TlcTranslationFiles(*this).LoadLanguageNames(fileName, names);
}
