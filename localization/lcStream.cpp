#include "localization/lcStream.h"

#include "localization/lcFiles.h"
#include "localization/lcLngLnk.h"
#include "localization/lcResStrings.h"
#include "platform/Component.h"
#include "platform/TextCodec.h"

#include <QMetaEnum>
#include <QMetaProperty>

#include <algorithm>

namespace lcStream {

bool FitsCodePage(std::string_view text)
{
    return FitsWindows1252(text);
}

std::string EightBitText(std::string_view text, bool utf8)
{
    return utf8 ? std::string(text) : Utf8ToWindows1252(text);
}

std::string TextOfEightBit(std::string_view bytes, bool utf8)
{
    return utf8 ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::string UnflaggedEightBitText(std::string_view text)
{
    return EightBitText(text, !FitsCodePage(text));
}

std::string TextOfUnflagged(std::string_view bytes)
{
    bool ascii = true;
    for (size_t i = 0; i < bytes.size();) {
        ascii = ascii && static_cast<unsigned char>(bytes[i]) < 0x80;
        if (!NextUtf8(bytes, i))
            return TextOfEightBit(bytes, false);
    }
    return TextOfEightBit(bytes, !ascii);
}

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

// The kind of the property an extended item sets, as the owner has it now;
// the kind the file names where the owner has no such property.
TTypeKind OwnerPropertyKind(const TlcCustomLang& lang, const std::string& identifier, TTypeKind stored)
{
    const TTypeKind kind = lang.GetPropertyKindByPath(identifier);
    return kind != TTypeKind::tkUnknown ? kind : stored;
}

// ---- the component stream ------------------------------------------------------

namespace {

enum TValueType : unsigned char {
    vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary, vaSet,
    vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64, vaUTF8String, vaDouble
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
// UTF-8 when the stream's component keeps its texts so, else in the 8-bit
// code page.
std::string TextOf(const TStreamValue& value, bool utf8)
{
    const bool eightBit = value.Type == vaString || value.Type == vaLString;
    return eightBit ? TextOfEightBit(value.Text, utf8) : value.Text;
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
        item.Values = TextOfEightBit(bytes, utf8);
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
        component.ReadTranslationData(wide ? value.Text : TextOfEightBit(value.Text, utf8));
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

namespace {

std::map<std::string, TComponentFactory>& Registry()
{
    static std::map<std::string, TComponentFactory> classes = {
        {"TlcLang", [](QObject* owner) -> TlcCustomLang* { return new TlcLang(owner); }},
        {"TlcLangLinked", [](QObject* owner) -> TlcCustomLang* { return new TlcLangLinked(owner); }},
    };
    return classes;
}

// The maker of a class that is not registered: its own constructor, or its
// nearest registered ancestor's standing in for it; none when it has neither.
TComponentFactory FactoryOf(const QMetaObject* meta)
{
    const QByteArray constructor =
        QMetaObject::normalizedSignature((std::string(meta->className()) + "(QObject*)").c_str());
    if (meta->indexOfConstructor(constructor.constData()) >= 0) {
        return [meta](QObject* owner) -> TlcCustomLang* {
            std::unique_ptr<QObject> made(meta->newInstance(Q_ARG(QObject*, owner)));
            auto* lang = qobject_cast<TlcCustomLang*>(made.get());
            if (!lang)
                throw Exception(std::string("The constructor of ") + meta->className() +
                                " made no translation component");
            made.release();
            return lang;
        };
    }
    const auto& classes = Registry();
    for (const QMetaObject* ancestor = meta->superClass(); ancestor; ancestor = ancestor->superClass()) {
        const auto found = classes.find(ancestor->className());
        if (found == classes.end())
            continue;
        return [make = found->second, meta](QObject* owner) {
            TlcCustomLang* lang = make(owner);
            lang->SetClassType(meta);
            return lang;
        };
    }
    return {};
}

} // namespace

const TComponentFactory* ClassFactory(const TlcCustomLang& model)
{
    const QMetaObject* meta = model.ClassType();
    auto& classes = Registry();
    auto found = classes.find(meta->className());
    if (found == classes.end()) {
        TComponentFactory factory = FactoryOf(meta);
        if (!factory)
            return nullptr;
        found = classes.emplace(meta->className(), std::move(factory)).first;
    }
    return &found->second;
}

TTemporaryComponent MakeTemporary(const TlcCustomLang& model, const std::string& ownerClass)
{
    const TComponentFactory* factory = ClassFactory(model);
    if (!factory)
        throw Exception(FmtLoadStr(SlcClassNotRegistered, {model.ClassType()->className(),
                                                           ownerClass + "." + model.objectName().toStdString()}));
    TTemporaryComponent result;
    result.Holder = std::make_unique<QObject>();
    SetOwnerRoot(result.Holder.get());
    result.Holder->setObjectName(QString::fromStdString(ownerClass));
    result.Component = (*factory)(result.Holder.get());
    result.Component->SetTransient(true);
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

} // namespace lcStream

using namespace lcStream;

std::string WriteComponentStream(const TlcCustomLang& component)
{
    // The texts go in the encoding the component keeps them in; texts that
    // the 8-bit code page lacks make the stream a UTF-8 one, marked so.
    const std::string data = component.WriteTranslationData();
    const TlcExtendedItems* items = component.ExtendedTranslations();
    bool utf8 = component.StoreAsUTF8() || !FitsCodePage(data) || !FitsCodePage(component.LangNames().Text()) ||
                !FitsCodePage(component.DoNotTranslate().Text());
    for (int i = 0; items && !utf8 && i < items->Count(); ++i)
        utf8 = !FitsCodePage(items->Items(i).Identifier) || !FitsCodePage(items->Items(i).Values);
    std::string out = "TPF0";
    PutShort(out, component.ClassType()->className());
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
