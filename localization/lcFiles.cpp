#include "localization/lcFiles.h"

#include "localization/lcLngLnk.h"
#include "localization/lcResStrings.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"
#include "platform/TextCodec.h"

#include <QMetaEnum>
#include <QMetaProperty>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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

constexpr char kStoredCR = '\x19';
constexpr char kStoredLF = '\x1A';

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

std::string EncodeBreaks(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', kStoredCR);
    std::replace(text.begin(), text.end(), '\n', kStoredLF);
    return text;
}

std::string DecodeBreaks(std::string text)
{
    std::replace(text.begin(), text.end(), kStoredCR, '\r');
    std::replace(text.begin(), text.end(), kStoredLF, '\n');
    return text;
}

bool StartsWithExact(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
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

bool FileExists(const std::string& fileName)
{
    std::error_code error;
    return !fileName.empty() && std::filesystem::is_regular_file(fileName, error);
}

// Whether every character of the text is one of Latin-1's, the 8-bit code
// page of the program's languages.
bool FitsLatin1(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const std::optional<char32_t> c = NextUtf8(text, i);
        if (!c || *c > 0xFF)
            return false;
    }
    return true;
}

// A text of an 8-bit file or stream in the encoding that its flag names.
std::string EightBitText(const std::string& text, bool utf8)
{
    return utf8 ? text : Utf8ToLatin1(text);
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

// ---- the component stream ------------------------------------------------------

enum TValueType : unsigned char {
    vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary, vaSet,
    vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64, vaUTF8String, vaDouble
};

class TStreamReader {
public:
    TStreamReader(std::string_view data, size_t position) : FData(data), FPos(position)
    {
        if (position > data.size())
            Fail();
    }
    size_t Position() const { return FPos; }
    unsigned char U8()
    {
        Need(1);
        return static_cast<unsigned char>(FData[FPos++]);
    }
    unsigned char Peek()
    {
        Need(1);
        return static_cast<unsigned char>(FData[FPos]);
    }
    unsigned U16()
    {
        const unsigned low = U8();
        return low | (static_cast<unsigned>(U8()) << 8);
    }
    std::uint32_t U32()
    {
        const std::uint32_t low = U16();
        return low | (static_cast<std::uint32_t>(U16()) << 16);
    }
    std::string Bytes(size_t count)
    {
        Need(count);
        std::string result(FData.substr(FPos, count));
        FPos += count;
        return result;
    }
    std::string ShortString() { return Bytes(U8()); }
    [[noreturn]] static void Fail() { throw Exception("Stream read error"); }

private:
    void Need(size_t count) const
    {
        if (count > FData.size() - FPos)
            Fail();
    }
    std::string_view FData;
    size_t FPos;
};

struct TStreamProperty;

struct TStreamValue {
    TValueType Type = vaNull;
    long long Int = 0;
    std::string Text;                 // strings, identifiers, binary data
    std::vector<TStreamValue> Items;  // lists; a set's names as identifiers
    std::vector<std::vector<TStreamProperty>> Collection;
};

struct TStreamProperty {
    std::string Name;
    TStreamValue Value;
};

std::string WideToUtf8(const std::string& bytes)
{
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return QString::fromStdU16String(wide).toStdString();
}

TStreamValue ReadValue(TStreamReader& in, int depth);

std::vector<TStreamProperty> ReadProperties(TStreamReader& in, int depth)
{
    std::vector<TStreamProperty> properties;
    while (in.Peek() != vaNull) {
        std::string name = in.ShortString();
        properties.push_back({std::move(name), ReadValue(in, depth + 1)});
    }
    in.U8();
    return properties;
}

TStreamValue ReadValue(TStreamReader& in, int depth)
{
    // Nested lists deeper than any component writes are no component stream.
    if (depth > 32)
        TStreamReader::Fail();
    TStreamValue value;
    value.Type = static_cast<TValueType>(in.U8());
    switch (value.Type) {
    case vaList:
        while (in.Peek() != vaNull)
            value.Items.push_back(ReadValue(in, depth + 1));
        in.U8();
        break;
    case vaInt8:
        value.Int = static_cast<signed char>(in.U8());
        break;
    case vaInt16:
        value.Int = static_cast<std::int16_t>(in.U16());
        break;
    case vaInt32:
        value.Int = static_cast<std::int32_t>(in.U32());
        break;
    case vaInt64: {
        const std::uint64_t low = in.U32();
        value.Int = static_cast<long long>(low | (static_cast<std::uint64_t>(in.U32()) << 32));
        break;
    }
    case vaExtended:
        in.Bytes(10);
        break;
    case vaSingle:
        in.Bytes(4);
        break;
    case vaCurrency:
    case vaDate:
    case vaDouble:
        in.Bytes(8);
        break;
    case vaString:
    case vaIdent:
        value.Text = in.ShortString();
        break;
    case vaLString:
    case vaUTF8String:
    case vaBinary:
        value.Text = in.Bytes(in.U32());
        break;
    case vaWString: {
        const std::uint32_t count = in.U32();
        if (count > 0x7FFFFFFF)
            TStreamReader::Fail();
        value.Text = WideToUtf8(in.Bytes(static_cast<size_t>(count) * 2));
        break;
    }
    case vaFalse:
    case vaTrue:
    case vaNil:
    case vaNull:
        break;
    case vaSet:
        for (std::string name = in.ShortString(); !name.empty(); name = in.ShortString()) {
            TStreamValue item;
            item.Type = vaIdent;
            item.Text = std::move(name);
            value.Items.push_back(std::move(item));
        }
        break;
    case vaCollection:
        while (in.Peek() != vaNull) {
            // An item may carry its order first.
            const unsigned char next = in.Peek();
            if (next == vaInt8 || next == vaInt16 || next == vaInt32)
                ReadValue(in, depth + 1);
            if (in.U8() != vaList)
                TStreamReader::Fail();
            value.Collection.push_back(ReadProperties(in, depth + 1));
        }
        in.U8();
        break;
    default:
        TStreamReader::Fail();
    }
    return value;
}

bool IsText(const TStreamValue& value)
{
    return value.Type == vaString || value.Type == vaLString || value.Type == vaUTF8String ||
           value.Type == vaWString;
}

bool IsInteger(const TStreamValue& value)
{
    return value.Type == vaInt8 || value.Type == vaInt16 || value.Type == vaInt32 || value.Type == vaInt64;
}

// A string of the stream as the program keeps it: the 8-bit strings are
// UTF-8 when the stream's component keeps its texts so, else Latin-1.
std::string TextOf(const TStreamValue& value, bool utf8)
{
    const bool eightBit = value.Type == vaString || value.Type == vaLString;
    return eightBit && !utf8 ? Latin1ToUtf8(value.Text) : value.Text;
}

TlcStringList TextList(const TStreamValue& value, bool utf8)
{
    TlcStringList list;
    for (const TStreamValue& item : value.Items) {
        if (!IsText(item))
            TStreamReader::Fail();
        list.Add(TextOf(item, utf8));
    }
    return list;
}

// The streamed values of an extended item: the bytes of Values as they are;
// bytes that hold a zero are 16-bit text after four leading bytes, kept as
// the item's 16-bit copy and converted for Values.
void ReadValuesEx(TlcExtendedItem& item, const std::string& bytes, bool utf8)
{
    if (bytes.find('\0') == std::string::npos) {
        item.Values = utf8 ? bytes : Latin1ToUtf8(bytes);
        item.ValuesW.clear();
        return;
    }
    const size_t count = bytes.size() >= 4 ? (bytes.size() - 4) / 2 : 0;
    std::u16string wide(count, u'\0');
    for (size_t i = 0; i < count; ++i)
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[4 + 2 * i])
                                        | (static_cast<unsigned char>(bytes[5 + 2 * i]) << 8));
    item.ValuesW = wide;
    item.Values = WideToAnsi(wide, DEFAULT_CHARSET);
}

void ReadExtended(TlcCustomLang& component, const TStreamValue& value, bool utf8)
{
    TlcExtendedItems* items = component.ExtendedTranslations();
    items->Clear();
    for (const auto& properties : value.Collection) {
        TlcExtendedItem& item = items->Add();
        for (const auto& [name, v] : properties) {
            if (lcSameText(name, "Identifier") && IsText(v))
                item.Identifier = TextOf(v, utf8);
            else if (lcSameText(name, "Values") && IsText(v))
                item.Values = TextOf(v, utf8);
            else if (lcSameText(name, "ValuesEx") && v.Type == vaBinary)
                ReadValuesEx(item, v.Text, utf8);
            else if (lcSameText(name, "PropertyType") && v.Type == vaIdent)
                item.PropertyType = TypeKindByName(v.Text);
        }
    }
}

// Sets one property read from the stream. References to other components are
// not followed (a component read from a file links to no dispatcher), and
// properties this version does not know are passed over. Utf8: how the
// stream's 8-bit strings and data hold their texts.
void ApplyProperty(TlcCustomLang& component, const std::string& name, const TStreamValue& value, bool utf8)
{
    if (lcSameText(name, "TranslationData")) {
        if (value.Type != vaBinary)
            TStreamReader::Fail();
        // 16-bit data (second byte 0) carry their own encoding.
        const bool wide = value.Text.size() >= 2 && value.Text[1] == '\0';
        component.ReadTranslationData(utf8 || wide ? value.Text : Latin1ToUtf8(value.Text));
        return;
    }
    if (lcSameText(name, "ExtendedTranslations") && value.Type == vaCollection) {
        ReadExtended(component, value, utf8);
        return;
    }
    if (lcSameText(name, "LangDispatcher") || lcSameText(name, "CommonContainer") || lcSameText(name, "Name"))
        return;
    std::string propertyName = name;
    const bool isStrings = name.size() > 8 && lcSameText(std::string_view(name).substr(name.size() - 8), ".Strings");
    if (isStrings)
        propertyName = name.substr(0, name.size() - 8);
    QMetaProperty property;
    if (!FindPublishedProperty(&component, propertyName, &property) || !property.isWritable())
        return;
    if (isStrings) {
        if (value.Type != vaList)
            TStreamReader::Fail();
        const TlcStringList list = TextList(value, utf8);
        if (lcSameText(propertyName, "LangNames"))
            component.SetLangNames(list);
        else if (property.metaType() == QMetaType::fromType<TlcStringList>())
            property.write(&component, QVariant::fromValue(list));
        return;
    }
    QVariant variant;
    if (IsInteger(value))
        variant = QVariant(static_cast<qlonglong>(value.Int));
    else if (value.Type == vaTrue || value.Type == vaFalse)
        variant = QVariant(value.Type == vaTrue);
    else if (IsText(value) && property.metaType() == QMetaType::fromType<std::string>())
        variant = QVariant::fromValue(TextOf(value, utf8));
    else if (value.Type == vaIdent && property.isEnumType()) {
        bool ok = false;
        const int v = property.enumerator().keyToValue(value.Text.c_str(), &ok);
        if (!ok)
            return;
        variant = QVariant(v);
    } else if (value.Type == vaSet && property.isFlagType()) {
        std::string keys;
        for (const TStreamValue& item : value.Items)
            keys += (keys.empty() ? "" : "|") + item.Text;
        bool ok = false;
        const int v = property.enumerator().keysToValue(keys.c_str(), &ok);
        if (!ok)
            return;
        variant = QVariant(v);
    } else {
        return;
    }
    if (variant.canConvert(property.metaType()))
        variant.convert(property.metaType());
    property.write(&component, variant);
}

// Reads one component ("TPF0", class, name, properties) into Component.
void ReadComponentStream(TlcCustomLang& component, std::string_view stream, size_t offset)
{
    TStreamReader in(stream, offset);
    if (in.Bytes(4) != "TPF0")
        throw Exception("Invalid stream format");
    if ((in.Peek() & 0xF0) == 0xF0) {
        const unsigned flags = in.U8() & 0x0F;
        if (flags & 2) {
            const TStreamValue position = ReadValue(in, 0);
            if (!IsInteger(position))
                TStreamReader::Fail();
        }
    }
    in.ShortString(); // the class, which the caller has chosen
    in.ShortString(); // the name, which the temporary component does not take
    const std::vector<TStreamProperty> properties = ReadProperties(in, 0);
    bool utf8 = false;
    for (const auto& [name, value] : properties)
        if (lcSameText(name, "StoreAsUTF8") && (value.Type == vaTrue || value.Type == vaFalse))
            utf8 = value.Type == vaTrue;
    for (const auto& [name, value] : properties)
        ApplyProperty(component, name, value, utf8);
}

// The translation classes that a ".LCB" file can hold.
using TComponentFactory = std::function<TlcCustomLang*(QObject* owner)>;
const std::map<std::string, TComponentFactory>& RegisteredClasses()
{
    static const std::map<std::string, TComponentFactory> classes = {
        {"TlcLang", [](QObject* owner) -> TlcCustomLang* { return new TlcLang(owner); }},
        {"TlcLangLinked", [](QObject* owner) -> TlcCustomLang* { return new TlcLangLinked(owner); }},
    };
    return classes;
}

// A component of the same class as Model in a holder form of its own.
struct TTemporaryComponent {
    std::unique_ptr<QObject> Holder;
    TlcCustomLang* Component = nullptr;
};

TTemporaryComponent MakeTemporary(const TlcCustomLang& model, const std::string& ownerClass)
{
    const std::string className = model.metaObject()->className();
    const auto& classes = RegisteredClasses();
    const auto found = classes.find(className);
    if (found == classes.end())
        throw Exception(FmtLoadStr(SlcClassNotRegistered,
                                   {className, ownerClass + "." + model.objectName().toStdString()}));
    TTemporaryComponent result;
    result.Holder = std::make_unique<QObject>();
    SetOwnerRoot(result.Holder.get());
    result.Holder->setObjectName(QString::fromStdString(ownerClass));
    result.Component = found->second(result.Holder.get());
    result.Component->SetNumOfLanguages(model.NumOfLanguages());
    return result;
}

// ---- writing the component stream ----------------------------------------------

void PutU16(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& out, std::uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

void PutShort(std::string& out, std::string_view text)
{
    const size_t size = std::min<size_t>(text.size(), 255);
    out += static_cast<char>(size);
    out.append(text.substr(0, size));
}

void PutText(std::string& out, std::string_view text)
{
    if (text.size() < 256) {
        out += static_cast<char>(vaString);
        PutShort(out, text);
    } else {
        out += static_cast<char>(vaLString);
        PutU32(out, static_cast<std::uint32_t>(text.size()));
        out.append(text);
    }
}

void PutInt(std::string& out, int value)
{
    if (value >= -128 && value <= 127) {
        out += static_cast<char>(vaInt8);
        out += static_cast<char>(value);
    } else if (value >= -32768 && value <= 32767) {
        out += static_cast<char>(vaInt16);
        PutU16(out, static_cast<unsigned>(value) & 0xFFFF);
    } else {
        out += static_cast<char>(vaInt32);
        PutU32(out, static_cast<std::uint32_t>(value));
    }
}

void PutList(std::string& out, const char* name, const TlcStringList& list, bool utf8)
{
    if (list.Empty())
        return;
    PutShort(out, name);
    out += static_cast<char>(vaList);
    for (const std::string& line : list.Lines())
        PutText(out, EightBitText(line, utf8));
    out += static_cast<char>(vaNull);
}

} // namespace

namespace {

// Sets the flag without re-encoding the stored texts: the texts that come
// with it are already in the form it names.
void StoreUTF8Flag(TlcCustomLang& lang, bool value)
{
    if (lang.Loading()) {
        lang.SetStoreAsUTF8(value);
        return;
    }
    lang.BeginLoading();
    try {
        lang.SetStoreAsUTF8(value);
    } catch (...) {
        lang.EndLoadingWithoutLoaded();
        throw;
    }
    lang.EndLoadingWithoutLoaded();
}

// Whether the text is a translation file at all: it has one of the sections
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
// other in the 8-bit code page of its languages (Latin-1), converted.
void ReadIniText(TlcMemIniFile& ini, std::string_view bytes)
{
    ini.ReadFromStream(bytes);
    if (!ini.ReadFlag(lcOptionsSection, "IsUTF8File", false))
        ini.ReadFromStream(Latin1ToUtf8(std::string(bytes)));
}

void ReadIniFile(TlcMemIniFile& ini, const std::string& fileName)
{
    if (FileExists(fileName))
        ReadIniText(ini, ReadFileWhole(fileName));
}

// The text of a translation file rendered by Render, in UTF-8 when the file
// is marked so (Marked) or must be (a text that Latin-1 lacks: then it is
// marked so and rendered again), else in Latin-1.
std::string IniBytes(TlcMemIniFile& ini, bool marked, const std::function<std::string()>& render)
{
    std::string text = render();
    if (!marked && !FitsLatin1(text)) {
        ini.WriteFlag(lcOptionsSection, "IsUTF8File", true);
        text = render();
        marked = true;
    }
    return EightBitText(text, marked);
}

// The kind of the property an extended item sets, as the owner has it now;
// the kind the file names where the owner has no such property.
TTypeKind OwnerPropertyKind(const TlcCustomLang& lang, const std::string& identifier, TTypeKind stored)
{
    const TTypeKind kind = lang.GetPropertyKindByPath(identifier);
    return kind != TTypeKind::tkUnknown ? kind : stored;
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

std::string WriteComponentStream(const TlcCustomLang& component)
{
    // The texts go in the encoding the component keeps them in; texts that
    // Latin-1 lacks make the stream a UTF-8 one, marked so.
    const std::string data = component.WriteTranslationData();
    const TlcExtendedItems* items = component.ExtendedTranslations();
    bool utf8 = component.StoreAsUTF8() || !FitsLatin1(data) || !FitsLatin1(component.LangNames().Text()) ||
                !FitsLatin1(component.DoNotTranslate().Text());
    for (int i = 0; items && !utf8 && i < items->Count(); ++i)
        utf8 = !FitsLatin1(items->Items(i).Identifier) || !FitsLatin1(items->Items(i).Values);
    std::string out = "TPF0";
    PutShort(out, component.metaObject()->className());
    PutShort(out, component.objectName().toStdString());
    PutShort(out, "NumOfLanguages");
    PutInt(out, component.NumOfLanguages());
    PutShort(out, "LangDelim");
    PutInt(out, component.LangDelim());
    PutShort(out, "StoreAsUTF8");
    out += static_cast<char>(utf8 ? vaTrue : vaFalse);
    PutList(out, "LangNames.Strings", component.LangNames(), utf8);
    PutList(out, "DoNotTranslate.Strings", component.DoNotTranslate(), utf8);
    if (items && items->Count() > 0) {
        PutShort(out, "ExtendedTranslations");
        out += static_cast<char>(vaCollection);
        for (int i = 0; i < items->Count(); ++i) {
            const TlcExtendedItem& item = items->Items(i);
            out += static_cast<char>(vaList);
            PutShort(out, "Identifier");
            PutText(out, EightBitText(item.Identifier, utf8));
            PutShort(out, "PropertyType");
            out += static_cast<char>(vaIdent);
            PutShort(out, TypeKindName(item.PropertyType));
            if (!item.Values.empty()) {
                const std::string values = EightBitText(item.Values, utf8);
                PutShort(out, "ValuesEx");
                out += static_cast<char>(vaBinary);
                PutU32(out, static_cast<std::uint32_t>(values.size()));
                out += values;
            }
            out += static_cast<char>(vaNull);
        }
        out += static_cast<char>(vaNull);
    }
    const std::string bytes = EightBitText(data, utf8);
    PutShort(out, "TranslationData");
    out += static_cast<char>(vaBinary);
    PutU32(out, static_cast<std::uint32_t>(bytes.size()));
    out += bytes;
    out += static_cast<char>(vaNull); // end of the properties
    out += static_cast<char>(vaNull); // no children
    return out;
}

std::string BuildLCBFile(const TlcStringList& fixedLanguages,
                         const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string out = lcLCBHeader;
    out += '\0';
    PutU16(out, static_cast<unsigned>(entries.size()));
    std::string fixed = JoinLines(fixedLanguages, "\r\n", false);
    PutU16(out, static_cast<unsigned>(fixed.size()));
    out += fixed;
    size_t tableSize = 0;
    for (const auto& entry : entries)
        tableSize += 2 + entry.first.size() + 4;
    size_t offset = out.size() + tableSize;
    for (const auto& entry : entries) {
        PutU16(out, static_cast<unsigned>(entry.first.size()));
        out += entry.first;
        PutU32(out, static_cast<std::uint32_t>(offset));
        offset += entry.second.size();
    }
    for (const auto& entry : entries)
        out += entry.second;
    return out;
}

// ---- the .LCB manager -------------------------------------------------------------

TLCBFileManager::TLCBFileManager() : FHeader(lcLCBHeader) {}

TLCBFileManager::~TLCBFileManager()
{
    for (const QPointer<TlcCustomLang>& component : FComponents)
        if (component && !component->parent())
            delete component.data();
}

void TLCBFileManager::AssignTo(TLCBFileManager& other) const
{
    if (&other == this)
        return;
    other.FHeader = FHeader;
    other.FFixedLanguages = FFixedLanguages;
    other.FOwnerIdentifiers = FOwnerIdentifiers;
    other.FFileNameForComments = FFileNameForComments;
    for (const QPointer<TlcCustomLang>& component : FComponents) {
        if (!component)
            continue;
        const auto found = RegisteredClasses().find(component->metaObject()->className());
        if (found == RegisteredClasses().end())
            continue;
        std::unique_ptr<TlcCustomLang> copy(found->second(nullptr));
        copy->BeginLoading();
        ReadComponentStream(*copy, WriteComponentStream(*component), 0);
        copy->EndLoadingWithoutLoaded();
        other.FComponents.emplace_back(copy.release());
    }
}

void TLCBFileManager::ReadComponent(TlcCustomLang& component, const std::string& ownerIdentifier,
                                    std::string_view stream)
{
    const std::string header = FHeader + '\0';
    const size_t limit = stream.size() >= 2 ? stream.size() - 2 : 0;
    const size_t zero = stream.substr(0, limit).find('\0');
    if (zero == std::string_view::npos || stream.substr(0, zero + 1) != header)
        throw Exception(LoadStr(SlcUnrecognizedStream));
    TStreamReader in(stream, zero + 1);
    const unsigned count = in.U16();
    TlcStringList fixed;
    fixed.SetText(in.Bytes(in.U16()));
    std::vector<std::string> sorted = fixed.Lines();
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
        return lcCompareText(a, b) < 0;
    });
    FFixedLanguages.Clear();
    for (std::string& name : sorted)
        FFixedLanguages.Add(std::move(name));
    FOwnerIdentifiers.Clear();
    for (unsigned i = 0; i < count; ++i) {
        const std::string identifier = in.Bytes(in.U16());
        const std::uint32_t offset = in.U32();
        FOwnerIdentifiers.Add(identifier);
        if (identifier != ownerIdentifier)
            continue;
        // Everything is read into a temporary component first, so a broken
        // stream leaves the component as it was.
        TTemporaryComponent temporary = MakeTemporary(component, ownerIdentifier);
        TlcCustomLang& read = *temporary.Component;
        read.BeginLoading();
        try {
            ReadComponentStream(read, stream, offset);
        } catch (...) {
            read.EndLoadingWithoutLoaded();
            throw;
        }
        read.EndLoadingWithoutLoaded();
        if (read.LangDelim() != component.LangDelim())
            read.ReplaceDelimiter(read.LangDelim(), component.LangDelim());
        StoreUTF8Flag(component, read.StoreAsUTF8());
        const std::string ownEntry = ownerIdentifier + static_cast<char>(component.LangDelim());
        for (int t = 0; t < lcStringsTypeCount; ++t) {
            const auto type = static_cast<TStringsType>(t);
            TlcStringList* target = component.GetListByType(type);
            const TlcStringList* source = read.GetListByType(type);
            if (!target || !source)
                continue;
            TlcStringList list = *source;
            if (type == TStringsType::stCaptions || type == TStringsType::stHints || type == TStringsType::stFonts ||
                type == TStringsType::stCharSets) {
                for (int l = 1; l < list.Count(); ++l) {
                    if (StartsWithExact(list[l], ownEntry)) {
                        std::string line = list[l];
                        list.Delete(l);
                        list.Insert(0, std::move(line));
                        break;
                    }
                }
            }
            *target = list;
        }
        component.SetLangNames(read.LangNames());
        TlcExtendedItems* items = component.ExtendedTranslations();
        items->Clear();
        for (int e = 0; e < read.ExtendedTranslations()->Count(); ++e) {
            const TlcExtendedItem& from = read.ExtendedTranslations()->Items(e);
            TlcExtendedItem& to = items->Add();
            to.Identifier = from.Identifier;
            to.Values = from.Values;
            to.ValuesW = from.ValuesW;
            to.PropertyType = OwnerPropertyKind(component, from.Identifier, from.PropertyType);
        }
        return;
    }
}

void TLCBFileManager::ReadComponentFromFile(TlcCustomLang& component, const std::string& ownerIdentifier,
                                            const std::string& fileName)
{
    ReadComponent(component, ownerIdentifier, ReadFileWhole(fileName));
}

void TLCBFileManager::ReadList(TStringsType list, const std::string& fileName, const std::string& ownerIdentifier,
                               TlcCustomLang& component)
{
    TTemporaryComponent temporary = MakeTemporary(component, ownerIdentifier);
    temporary.Component->SetLangDelim(component.LangDelim());
    ReadComponentFromFile(*temporary.Component, ownerIdentifier, fileName);
    TlcStringList* target = component.GetListByType(list);
    const TlcStringList* source = temporary.Component->GetListByType(list);
    if (target && source)
        *target = *source;
}

// ---- the component's file operations -------------------------------------------

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
    const TlcStringList oldList = *list;
    const TlcStringList oldNames = FLang.LangNames();
    const bool oldUtf8 = FLang.StoreAsUTF8();
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
            line += DecodeBreaks(ReplaceAll(value, FileDelimiterOrDefault(fileDelim), std::string(1, delim)));
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
        *list = oldList;
        if (FLang.LangNames() != oldNames)
            FLang.SetLangNames(oldNames);
        StoreUTF8Flag(FLang, oldUtf8);
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
                                     : EncodeBreaks(ReplaceAll(line.substr(cut + 1), std::string(1, delim), fileDelim));
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
        item->Values = DecodeBreaks(
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
                       EncodeBreaks(ReplaceAll(item.Values, std::string(1, static_cast<char>(FLang.LangDelim())), fileDelim)));
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

bool TlcTranslationFiles::MergeListFromIni(TStringsType type, std::string_view stream)
{
    TlcStringList* list = FLang.GetListByType(type);
    if (!list)
        return true;
    const TlcStringList copy = *list;
    const TlcStringList names = FLang.LangNames();
    const bool utf8 = FLang.StoreAsUTF8();
    try {
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
    } catch (const std::exception&) {
        *list = copy;
        if (FLang.LangNames() != names)
            FLang.SetLangNames(names);
        StoreUTF8Flag(FLang, utf8);
        return false;
    }
}

bool TlcTranslationFiles::MergeAllLists(const std::function<bool(TStringsType)>& merge)
{
    TBulk bulk(*this);
    std::array<TlcStringList, lcStringsTypeCount> saved;
    for (int t = 0; t < lcStringsTypeCount; ++t)
        if (const TlcStringList* list = FLang.GetListByType(static_cast<TStringsType>(t)))
            saved[static_cast<size_t>(t)] = *list;
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const auto type = static_cast<TStringsType>(t);
        if (!merge(type) || !TryPrepareList(type)) {
            for (int r = 0; r <= t; ++r)
                if (TlcStringList* list = FLang.GetListByType(static_cast<TStringsType>(r)))
                    *list = saved[static_cast<size_t>(r)];
            return false;
        }
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
    const std::string bytes = ReadFileWhole(fileName);
    TlcMemIniFile ini;
    ReadIniText(ini, bytes);
    if (!IsTranslationIni(ini))
        throw ELanguageError("\"" + fileName + "\" is no translation file");
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

TlcStringList TlcTranslationFiles::FileLanguageNames(const std::string& fileName)
{
    if (IsLCBFile(fileName)) {
        TTemporaryComponent temporary = MakeTemporary(FLang, OwnerClass());
        TLCBFileManager manager;
        manager.ReadComponentFromFile(*temporary.Component, OwnerClass(), fileName);
        return temporary.Component->LangNames();
    }
    TlcMemIniFile ini;
    ReadIniFile(ini, fileName);
    TlcStringList names;
    for (int n = 1;; ++n) {
        std::string name = ini.ReadValue(lcLangNamesSection, "Language_" + std::to_string(n), std::string());
        if (name.empty())
            break;
        names.Add(std::move(name));
    }
    return names.Empty() ? FLang.LangNames() : names;
}

bool TlcTranslationFiles::MergeListFromFile(TStringsType type, const std::string& fileName)
{
    if (!FileExists(fileName))
        return false;
    TlcStringList* list = FLang.GetListByType(type);
    if (!list)
        return true;
    const TlcStringList copy = *list;
    const TlcStringList names = FLang.LangNames();
    const bool utf8 = FLang.StoreAsUTF8();
    try {
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
    } catch (const std::exception&) {
        *list = copy;
        if (FLang.LangNames() != names)
            FLang.SetLangNames(names);
        StoreUTF8Flag(FLang, utf8);
        return false;
    }
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
    const std::string bytes = ReadFileWhole(fileName);
    TlcMemIniFile shared;
    ReadIniText(shared, bytes);
    if (!IsTranslationIni(shared))
        throw ELanguageError("\"" + fileName + "\" is no translation file");
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
        const std::string text = DecodeBreaks(FileField(section->KeyValue(k), fileDelim, n));
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
        const std::string text = DecodeBreaks(FileField(section->KeyValue(k), fileDelim, n));
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
