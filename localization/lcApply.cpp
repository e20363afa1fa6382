// The translation component writing its texts into the owner: TranslateOwner
// and the lists it applies, the clean-up of the lists, the extended
// translations set by property path, the exclusions, and the routines that
// re-encode texts or move language columns.
#include "localization/lcComp.h"

#include "platform/AsciiText.h"
#include "platform/Classes.h"
#include "platform/FormatSettings.h"

#include <QFont>
#include <QMetaEnum>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char* kFixedProperties[] = {"Caption", "Hint", "DisplayLabel", "Font", nullptr, nullptr, nullptr,
                                            nullptr,   nullptr, nullptr,       "CharSet"};

bool IsStringKind(TTypeKind kind)
{
    return kind == TTypeKind::tkString || kind == TTypeKind::tkLString || kind == TTypeKind::tkWString;
}

// The class name a property's type has in the forms' data: a Qt font is the
// library's "TFont", a pointer type its class.
std::string TypeNameOf(const QMetaProperty& property)
{
    if (property.metaType() == QMetaType::fromType<QFont>())
        return "TFont";
    std::string name = property.metaType().name() ? property.metaType().name() : "";
    while (!name.empty() && (name.back() == '*' || name.back() == ' '))
        name.pop_back();
    return name;
}

QObject* ObjectValue(const QObject* object, const QMetaProperty& property)
{
    if (!object || !(property.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    const QVariant value = property.read(object);
    return value.value<QObject*>();
}

bool IsFont(const QMetaProperty& property)
{
    return property.metaType() == QMetaType::fromType<QFont>();
}

// A decimal number as the key holds it; anything else is a conversion error.
int StrToInt(const std::string& text)
{
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
    return value;
}

// Field n (0-based) of texts each followed by the delimiter.
std::string ValuesField(std::string_view values, unsigned char delim, int n)
{
    size_t start = 0;
    for (int k = 0; k < n; ++k) {
        const size_t found = values.find(static_cast<char>(delim), start);
        if (found == std::string_view::npos)
            return {};
        start = found + 1;
    }
    const size_t end = values.find(static_cast<char>(delim), start);
    return std::string(values.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

// The fields 1..k of a line (k = the number of delimiters).
std::vector<std::string> LanguageFields(std::string_view line, unsigned char delim)
{
    std::vector<std::string> fields;
    size_t at = line.find(static_cast<char>(delim));
    while (at != std::string_view::npos) {
        const size_t next = line.find(static_cast<char>(delim), at + 1);
        fields.emplace_back(line.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1));
        at = next;
    }
    return fields;
}

// The value of a character-set name compared without regard to case (the
// table's names are upper case); -1 when none matches.
int CharsetByNameNoCase(std::string_view name)
{
    return lcCharsetByName(AsciiUpperCase(name));
}

std::string ExpandFileName(const std::string& text)
{
    std::string path = text;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? text : full.lexically_normal().string();
}

// Rewrites a string list in place: line i put where the list has one, added
// where it has none, the rest deleted from the end. A sorted list is
// unsorted for the time and sorted again.
void RewriteStrings(TStrings& target, const std::vector<std::string>& lines)
{
    auto* sorted = qobject_cast<TStringList*>(&target);
    const bool wasSorted = sorted && sorted->Sorted();
    struct TRestore {
        TStringList* List;
        bool Sorted;
        ~TRestore()
        {
            if (List && Sorted)
                List->SetSorted(true);
        }
    } restore{sorted, wasSorted};
    if (wasSorted)
        sorted->SetSorted(false);
    for (size_t i = 0; i < lines.size(); ++i) {
        const int index = static_cast<int>(i);
        if (index < target.Count())
            target.Put(index, lines[i]);
        else
            target.Add(lines[i]);
    }
    while (target.Count() > static_cast<int>(lines.size()))
        target.Delete(target.Count() - 1);
}

std::vector<std::string> SplitLineBreaks(std::string_view text)
{
    TStringList list;
    list.SetText(text);
    return list.Lines();
}

void WriteBool(QObject* object, const char* name, bool value)
{
    QMetaProperty property;
    if (FindPublishedProperty(object, name, &property) && property.isWritable())
        property.write(object, QVariant(value));
}

} // namespace

// ---- the owner's components by name ----------------------------------------------

namespace {
std::string FoldedName(std::string_view name)
{
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toCaseFolded().toStdString();
}
} // namespace

// Indexes the owner's components by name for one pass over the lists, so
// that a form of many components is not searched once per line.
class TComponentIndexScope {
public:
    explicit TComponentIndexScope(TlcCustomLang& lang) : FLang(lang)
    {
        if (FLang.FComponentIndexOn)
            return;
        FOwns = true;
        for (QObject* component : OwnedComponents(FLang.Owner())) {
            const std::string name = ComponentName(component);
            if (!name.empty())
                FLang.FComponentIndex.emplace(FoldedName(name), component);
        }
        FLang.FComponentIndexOn = true;
    }
    ~TComponentIndexScope()
    {
        if (!FOwns)
            return;
        FLang.FComponentIndex.clear();
        FLang.FComponentIndexOn = false;
    }
    TComponentIndexScope(const TComponentIndexScope&) = delete;
    TComponentIndexScope& operator=(const TComponentIndexScope&) = delete;

private:
    TlcCustomLang& FLang;
    bool FOwns = false;
};

QObject* TlcCustomLang::OwnedComponent(std::string_view name) const
{
    if (!FComponentIndexOn)
        return FindComponent(Owner(), name);
    if (name.empty())
        return nullptr;
    const auto found = FComponentIndex.find(FoldedName(name));
    return found == FComponentIndex.end() ? nullptr : found->second.data();
}

// ---- published properties ------------------------------------------------------

TlcPropInfoList::TlcPropInfoList(const QObject* object)
{
    if (!object)
        throw Exception("NIL passed as AObject in TlcPropInfoList.Create!");
    for (const QMetaProperty& property : PublishedProperties(object)) {
        const TTypeKind kind = PropertyKind(property);
        if (kind != TTypeKind::tkUnknown && kind != TTypeKind::tkMethod)
            FList.push_back(property);
    }
    std::stable_sort(FList.begin(), FList.end(), [](const QMetaProperty& a, const QMetaProperty& b) {
        return std::string_view(a.name()) < std::string_view(b.name());
    });
}

const QMetaProperty* TlcPropInfoList::Find(std::string_view name) const
{
    for (const QMetaProperty& property : FList)
        if (lcSameText(property.name(), name))
            return &property;
    return nullptr;
}

bool lcFindFontProperty(const QObject* object, QMetaProperty* property)
{
    if (!object)
        return false;
    QMetaProperty found;
    if (FindPublishedProperty(object, "Font", &found))
        return IsFont(found) && (!property || (*property = found, true));
    if (!object->isWidgetType())
        return false;
    const QMetaObject& widget = QWidget::staticMetaObject;
    if (property)
        *property = widget.property(widget.indexOfProperty("font"));
    return true;
}

bool lcTakesParentFont(const QObject* object)
{
    bool parentFont = false;
    if (ReadBool(object, "ParentFont", parentFont))
        return parentFont;
    QMetaProperty published;
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && !FindPublishedProperty(object, "ParentFont", &published) && !widget->testAttribute(Qt::WA_SetFont);
}

bool TlcCustomLang::HasPropertyOfKind(const QObject* object, std::string_view name,
                                      std::initializer_list<TTypeKind> kinds, std::string_view className) const
{
    if (!object)
        return false;
    const TlcPropInfoList properties(object);
    const QMetaProperty* property = properties.Find(name);
    if (!property)
        return false;
    const TTypeKind kind = PropertyKind(*property);
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
        return false;
    return className.empty() || lcSameText(TypeNameOf(*property), className);
}

void TlcCustomLang::SetPropertyText(QObject* object, const QMetaProperty& property, const std::string& text) const
{
    if (!object)
        return;
    const TTypeKind kind = PropertyKind(property);
    if (kind == TTypeKind::tkWString) {
        const QString wide = FStoreAsUTF8 ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                                          : QString::fromStdU16String(AnsiToWide(text, FCodePageCharset));
        property.write(object, QVariant(wide));
        return;
    }
    if (property.metaType() == QMetaType::fromType<std::string>())
        property.write(object, QVariant::fromValue(text));
    else if (property.metaType() == QMetaType::fromType<QByteArray>())
        property.write(object, QVariant(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
    else
        property.write(object, QVariant(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
}

void TlcCustomLang::SetPropertyTextByName(QObject* object, std::string_view name, const std::string& text) const
{
    if (!object)
        return;
    const TlcPropInfoList properties(object);
    if (const QMetaProperty* property = properties.Find(name))
        SetPropertyText(object, *property, text);
}

std::string TlcCustomLang::GetPropertyText(const QObject* object, std::string_view name) const
{
    if (!object)
        return {};
    const TlcPropInfoList properties(object);
    const QMetaProperty* property = properties.Find(name);
    return property ? GetStrPropAnsi(object, *property) : std::string();
}

bool TlcCustomLang::IsActionLinkedText(const QObject* component, TStringsType type) const
{
    const char* name = type == TStringsType::stCaptions ? "Caption"
                       : type == TStringsType::stHints  ? "Hint"
                                                        : nullptr;
    if (!name || !component)
        return false;
    QMetaProperty action;
    if (!FindPublishedProperty(component, "Action", &action))
        return false;
    const QObject* linked = ObjectValue(component, action);
    if (!linked)
        return false;
    return GetPropertyText(component, name) == GetPropertyText(linked, name);
}

// ---- texts of entries --------------------------------------------------------------

std::string TlcCustomLang::GetEntryText(const TlcStringList& list, int index, bool fallback)
{
    // With common strings the component's own Locales and DlgsCaptions are
    // emptied on loading: the index is checked against the list that is read.
    const bool shared = &list == &List(TStringsType::stLocales) || &list == &List(TStringsType::stDlgsCaptions);
    if (shared && FOptions.testFlag(TlcLangOption::loUseExtCommonStrings)) {
        if (!FLangDispatcher)
            return {};
        const TStringsType type =
            &list == &List(TStringsType::stLocales) ? TStringsType::stLocales : TStringsType::stDlgsCaptions;
        for (int i = 0; i < FLangDispatcher->LinkedCount(); ++i) {
            TlcCustomLang* other = FLangDispatcher->LinkedLang(i);
            if (other == this || other->List(type).Empty())
                continue;
            return other->GetEntryText(other->List(type), index, fallback);
        }
    }
    if (index < 0 || index >= list.Count())
        return {};
    std::string text = ExtractField(list[index], FLangDelim, FActiveLanguage);
    if (text.empty() && fallback)
        text = ExtractField(list[index], FLangDelim, 1);
    if (FStoreAsUTF8 && !text.empty())
        text = UTF8ToAnsi(text, FCodePageCharset);
    return text;
}

std::string TlcCustomLang::EntryText(const TlcStringList& list, TStringsType type, const std::string& line, int index)
{
    std::string text = ExtractFieldWithDefault(line, FLangDelim, FActiveLanguage);
    if (FTestModeNow && text.empty() && FActiveLanguage > 1 && type != TStringsType::stFonts
        && type != TStringsType::stLocales && type != TStringsType::stCharSets)
        text = GetTestModeText(line, FLangDelim);
    if (text.empty() && FTranslateType == TTranslateType::ttGetDefault)
        text = GetEntryText(list, index, true);
    return text;
}

// ---- TranslateOwner ------------------------------------------------------------------

void TlcCustomLang::TranslateOwner()
{
    QObject* root = Owner();
    if (FTransient || !root)
        return;
    FTestModeNow = TestModeActive();
    const TComponentIndexScope index(*this);
    UpdateCodePage();
    const bool all = FListSelector == -1;
    auto selected = [this, all](TStringsType type) { return all || FListSelector == static_cast<int>(type); };
    if (FTranslateExtendedFirst && all)
        ApplyExtendedTranslations();
    try {
        TranslateOwnerText("Caption", TStringsType::stCaptions);
        TranslateOwnerText("Hint", TStringsType::stHints);
    } catch (const Exception&) {
    }
    for (TStringsType type : {TStringsType::stCaptions, TStringsType::stHints, TStringsType::stDisplayLabels})
        if (selected(type))
            ApplyList(List(type), type);
    if ((selected(TStringsType::stFonts) || FListSelector == static_cast<int>(TStringsType::stCharSets))
        && !FOwnerHasNoFont)
        ApplyList(List(TStringsType::stFonts), TStringsType::stFonts);
    TranslateOwnerFont();
    if (selected(TStringsType::stMultiLines))
        ApplyList(List(TStringsType::stMultiLines), TStringsType::stMultiLines);
    if (selected(TStringsType::stOtherStrings))
        ApplyList(List(TStringsType::stOtherStrings), TStringsType::stOtherStrings);
    if (selected(TStringsType::stLocales) && FChangeLocales)
        ApplyList(List(TStringsType::stLocales), TStringsType::stLocales);
    if (selected(TStringsType::stCollections))
        ApplyList(List(TStringsType::stCollections), TStringsType::stCollections);
    if (!FTranslateExtendedFirst && all)
        ApplyExtendedTranslations();
    if (FOnChangeLanguage)
        FOnChangeLanguage(this);
}

void TlcCustomLang::TranslateOwnerText(const char* property, TStringsType type)
{
    QObject* root = Owner();
    const TlcStringList& list = List(type);
    const std::string className = ClassNameOf(root);
    if (list.Empty() || !CanTranslateOwner() || FSmartExcludeProps.IndexOf(className + "." + property) >= 0
        || !HasPropertyOfKind(root, property, {TTypeKind::tkString, TTypeKind::tkLString, TTypeKind::tkWString}))
        return;
    const std::string line = list[0];
    if (!lcSameText(lcLineKey(line, FLangDelim), className))
        return;
    const std::string text = EntryText(list, type, line, 0);
    if (!text.empty() && text != GetPropertyText(root, property))
        SetPropertyTextByName(root, property, text);
}

void TlcCustomLang::TranslateOwnerFont()
{
    QObject* root = Owner();
    const TlcStringList& fonts = List(TStringsType::stFonts);
    const std::string className = ClassNameOf(root);
    QMetaProperty property;
    if (fonts.Empty() || !CanTranslateOwner() || FSmartExcludeProps.IndexOf(className + ".Font") >= 0
        || !lcFindFontProperty(root, &property))
        return;
    if (!lcSameText(lcLineKey(fonts[0], FLangDelim), className))
        return;
    std::string name = ExtractField(fonts[0], FLangDelim, FActiveLanguage);
    if (name.empty() && FTranslateType == TTranslateType::ttGetDefault)
        name = GetEntryText(fonts, 0, true);
    if (!name.empty()) {
        QFont font = property.read(root).value<QFont>();
        if (font.family().toStdString() != name) {
            font.setFamily(QString::fromStdString(name));
            property.write(root, QVariant(font));
        }
    }
    // The character set of the owner's font: a Qt font covers every script,
    // so the name (matched exactly) selects nothing further.
    (void)lcCharsetByName(GetTextByKey(List(TStringsType::stCharSets), className, FActiveLanguage));
}

// ---- the clean-up of a list --------------------------------------------------------------

void TlcCustomLang::PurgeList(TlcStringList& list, TStringsType type)
{
    if (type == TStringsType::stDlgsCaptions || type == TStringsType::stStrings || type == TStringsType::stLocales)
        return;
    QObject* root = Owner();
    if (!root)
        return;
    const TComponentIndexScope index(*this);
    if (!FSetAside)
        FSetAside = std::make_unique<TlcStringList>();
    auto setAside = [this, &list](int i) {
        FSetAside->Add(list[i]);
        list.Delete(i);
    };
    const std::string className = ClassNameOf(root);
    if (type == TStringsType::stCollections) {
        int i = 0;
        while (i < list.Count()) {
            const std::string key = lcLineKey(list[i], FLangDelim);
            QObject* component = OwnedComponent(lcTextBefore(key, '.'));
            if (!component) {
                setAside(i);
                continue;
            }
            std::string rest = lcTextAfter(key, '.');
            QObject* holder = component;
            if (rest.rfind("Properties.", 0) == 0) {
                rest = rest.substr(11);
                QMetaProperty properties;
                holder = FindPublishedProperty(component, "Properties", &properties)
                             ? ObjectValue(component, properties)
                             : nullptr;
            }
            const std::string segment = lcTextBefore(rest, '.');
            const std::string name = lcTextBefore(segment, '[');
            std::string number = lcTextAfter(segment, '[');
            if (!number.empty() && number.back() == ']')
                number.pop_back();
            const int index = StrToInt(number);
            const QMetaProperty* property = nullptr;
            std::unique_ptr<TlcPropInfoList> properties;
            if (holder) {
                properties = std::make_unique<TlcPropInfoList>(holder);
                for (int p = 0; p < properties->Count(); ++p)
                    if (name == properties->Items(p).name())
                        property = &properties->Items(p);
            }
            auto* collection = property ? qobject_cast<TCollection*>(ObjectValue(holder, *property)) : nullptr;
            if (collection && (index < 0 || index >= collection->Count())) {
                setAside(i);
                continue;
            }
            ++i;
        }
    } else {
        int start = 0;
        const char* ownProperty = nullptr;
        if (type == TStringsType::stCaptions)
            ownProperty = "Caption";
        else if (type == TStringsType::stHints)
            ownProperty = "Hint";
        // Line 0 is left to the owner's own step when it is the owner's
        // entry; any other first line is examined like the rest (a first
        // line of a vanished or action-linked component would otherwise
        // stay and be applied at every switch).
        const bool ownerFirst = !list.Empty() && lcSameText(lcLineKey(list[0], FLangDelim), className);
        if (ownProperty) {
            start = ownerFirst && HasPropertyOfKind(root, ownProperty,
                                                    {TTypeKind::tkString, TTypeKind::tkLString, TTypeKind::tkWString})
                        ? 1
                        : 0;
            if (start == 1 && !list.Empty() && IsActionLinkedText(root, type)
                && list[0].find(className + lcDelim(FLangDelim)) != std::string::npos) {
                list.Delete(0);
                start = 0;
            }
        } else if (type == TStringsType::stFonts || type == TStringsType::stCharSets) {
            start = ownerFirst && lcFindFontProperty(root, nullptr) ? 1 : 0;
        }
        const bool dotted = type == TStringsType::stMultiLines || type == TStringsType::stOtherStrings
                            || type == TStringsType::stListView_TreeView_Items;
        int i = start;
        while (i < list.Count()) {
            const std::string key = lcLineKey(list[i], FLangDelim);
            QObject* component = nullptr;
            bool keep;
            if (dotted) {
                const std::string name = lcTextBefore(key, '.');
                keep = name == className || OwnedComponent(name);
            } else {
                component = OwnedComponent(key);
                keep = component != nullptr;
            }
            if (!keep) {
                setAside(i);
                continue;
            }
            if (component && (type == TStringsType::stCaptions || type == TStringsType::stHints)
                && IsActionLinkedText(component, type)) {
                list.Delete(i);
                continue;
            }
            ++i;
        }
    }
    if (!FAutoSkipEmpties)
        return;
    const long long fieldDelims = FNumOfLanguages + 1;
    for (int i = list.Count() - 1; i >= 0; --i) {
        const std::string& line = list[i];
        const std::string trimmed =
            type == TStringsType::stCollections ? Trim(line) : TrimDelimiters(line, FLangDelim);
        if (static_cast<long long>(line.size()) - fieldDelims >= static_cast<long long>(trimmed.size()))
            list.Delete(i);
    }
}

// ---- applying a list ----------------------------------------------------------------------

void TlcCustomLang::ApplyList(TlcStringList& list, TStringsType type)
{
    if (type == TStringsType::stCollections) {
        ApplyCollections(list);
        return;
    }
    const TComponentIndexScope index(*this);
    PurgeList(list, type);
    QObject* root = Owner();
    if (list.Empty() || !root)
        return;
    const std::string className = ClassNameOf(root);
    int start = 0;
    if ((type == TStringsType::stCaptions || type == TStringsType::stHints || type == TStringsType::stFonts)
        && root->isWidgetType() && CanTranslateOwner()
        && list[0].find(className + lcDelim(FLangDelim)) != std::string::npos)
        start = 1;
    const bool dotted = type == TStringsType::stMultiLines || type == TStringsType::stOtherStrings;
    const int typeIndex = static_cast<int>(type);
    for (int i = start; i < list.Count(); ++i) {
        const std::string line = list[i];
        std::string componentName;
        std::string propertyName;
        std::string subProperty;
        if (dotted) {
            componentName = lcTextBefore(lcLineKey(line, FLangDelim), '.');
            propertyName = lcTextBefore(lcTextAfter(lcLineKey(line, FLangDelim), '.'), static_cast<char>(FLangDelim));
            if (propertyName.find('.') != std::string::npos) {
                subProperty = lcTextAfter(propertyName, '.');
                propertyName = lcTextBefore(propertyName, '.');
            }
        } else {
            componentName = lcLineKey(line, FLangDelim);
            propertyName = typeIndex < 11 && kFixedProperties[typeIndex] ? kFixedProperties[typeIndex] : "";
        }
        if (FDoNotTranslate.IndexOf(componentName) >= 0)
            continue;
        const std::string text = EntryText(list, type, line, i);
        if (type == TStringsType::stLocales) {
            if (!text.empty())
                ApplyLocale(componentName, text);
            continue;
        }
        QObject* target = OwnedComponent(componentName);
        if (!target && (componentName == className || lcSameText(componentName, ComponentName(root))))
            target = root;
        // Translation components and dispatchers are never translated: a
        // line that set a component's language would start another switch
        // from inside this one.
        if (!target || qobject_cast<TlcComponent*>(target))
            continue;
        QMetaProperty property;
        if (type == TStringsType::stFonts) {
            if (!lcFindFontProperty(target, &property))
                continue;
        } else {
            const TlcPropInfoList properties(target);
            const QMetaProperty* found = properties.Find(propertyName);
            if (!found)
                continue;
            property = *found;
        }
        if (!property.isReadable() || !property.isWritable())
            continue;
        try {
            if (type == TStringsType::stFonts) {
                const bool takesParent = lcTakesParentFont(target);
                // A Qt font has no character set to set: the name is looked up
                // and matched, the font covers every script.
                (void)CharsetByNameNoCase(GetTextByKey(List(TStringsType::stCharSets), componentName, FActiveLanguage));
                if (!text.empty() && !takesParent) {
                    QFont font = property.read(target).value<QFont>();
                    if (font.family().toStdString() != text) {
                        font.setFamily(QString::fromStdString(text));
                        property.write(target, QVariant(font));
                    }
                }
            } else if (type == TStringsType::stMultiLines) {
                if (!subProperty.empty()) {
                    QObject* object = ObjectValue(target, property);
                    if (!object)
                        continue;
                    QMetaProperty sub;
                    if (!FindPublishedProperty(object, subProperty, &sub))
                        continue;
                    auto* strings = qobject_cast<TStrings*>(ObjectValue(object, sub));
                    if (strings && !text.empty() && strings->CommaText() != text)
                        RewriteStrings(*strings, SplitCommaText(text));
                    continue;
                }
                TStrings* strings = nullptr;
                try {
                    strings = qobject_cast<TStrings*>(ObjectValue(target, property));
                } catch (...) {
                }
                if (text.empty() || !strings || strings->CommaText() == text)
                    continue;
                QMetaProperty itemIndex;
                const bool listControl = FindPublishedProperty(target, "ItemIndex", &itemIndex)
                                         && itemIndex.isWritable() && itemIndex.metaType().id() == QMetaType::Int;
                const int selected = listControl ? itemIndex.read(target).toInt() : -1;
                bool wordWrap = false;
                const bool memo = ReadBool(target, "WordWrap", wordWrap);
                if (memo && wordWrap)
                    WriteBool(target, "WordWrap", false);
                RewriteStrings(*strings, SplitCommaText(text));
                if (listControl)
                    itemIndex.write(target, QVariant(selected));
                if (memo && wordWrap)
                    WriteBool(target, "WordWrap", true);
            } else {
                try {
                    if (type == TStringsType::stOtherStrings && !subProperty.empty()) {
                        QObject* object = ObjectValue(target, property);
                        if (!object)
                            continue;
                        QMetaProperty sub;
                        if (FindPublishedProperty(object, subProperty, &sub) && !text.empty()
                            && text != GetStrPropAnsi(object, sub))
                            SetPropertyText(object, sub, text);
                        continue;
                    }
                    if (text.empty() || !IsStringKind(PropertyKind(property)))
                        continue;
                    const std::string current = GetStrPropAnsi(target, property);
                    if (text == current)
                        continue;
                    if ((type == TStringsType::stDisplayLabels || type == TStringsType::stOtherStrings)
                        && (text.find("..") != std::string::npos || text.find(".\\") != std::string::npos)) {
                        if (ExpandFileName(text) != current)
                            SetPropertyText(target, property, text);
                        continue;
                    }
                    SetPropertyText(target, property, text);
                } catch (...) {
                }
            }
        } catch (const EListError&) {
        }
    }
}

void TlcCustomLang::ApplyCollections(TlcStringList& list)
{
    const TComponentIndexScope index(*this);
    PurgeList(list, TStringsType::stCollections);
    QObject* root = Owner();
    if (!root)
        return;
    int i = 0;
    while (i < list.Count()) {
        const std::string line = list[i];
        const std::string key = lcLineKey(line, FLangDelim);
        const std::string componentName = lcTextBefore(key, '.');
        if (FDoNotTranslate.IndexOf(componentName) >= 0) {
            ++i;
            continue;
        }
        const std::string afterName = lcTextAfter(key, '.');
        std::string collectionName = lcTextBefore(afterName, '[');
        std::string objectName;
        if (collectionName.find('.') != std::string::npos) {
            objectName = lcTextBefore(collectionName, '.');
            collectionName = lcTextAfter(collectionName, '.');
        }
        const size_t open = key.find('[');
        const size_t close = key.find(']');
        const std::string number = open != std::string::npos && close != std::string::npos && close > open
                                       ? key.substr(open + 1, close - open - 1)
                                       : std::string();
        const int index = StrToInt(number);
        const std::string itemPath = close != std::string::npos && close + 2 <= key.size() ? key.substr(close + 2)
                                                                                            : std::string();
        const std::string text = EntryText(list, TStringsType::stCollections, line, i);

        auto drop = [&list, &i] { list.Delete(i); };
        QObject* holder = OwnedComponent(componentName);
        if (!holder || qobject_cast<TlcComponent*>(holder)) {
            drop();
            continue;
        }
        if (!objectName.empty()) {
            QMetaProperty objectProperty;
            if (!FindPublishedProperty(holder, objectName, &objectProperty)) {
                drop();
                continue;
            }
            holder = ObjectValue(holder, objectProperty);
            if (!holder) {
                ++i;
                continue;
            }
        }
        QMetaProperty collectionProperty;
        if (!FindPublishedProperty(holder, collectionName, &collectionProperty)) {
            drop();
            continue;
        }
        auto* collection = qobject_cast<TCollection*>(ObjectValue(holder, collectionProperty));
        QObject* item = collection ? collection->Item(index) : nullptr;
        if (!item) {
            drop();
            continue;
        }
        if (itemPath.find('.') == std::string::npos) {
            QMetaProperty property;
            if (!FindPublishedProperty(item, itemPath, &property)) {
                drop();
                continue;
            }
            if (PropertyKind(property) == TTypeKind::tkClass) {
                QObject* value = ObjectValue(item, property);
                if (!value && !IsFont(property)) {
                    drop();
                    continue;
                }
                auto* strings = qobject_cast<TStrings*>(value);
                if (strings && !text.empty() && text != strings->Text() && text + "\r\n" != strings->Text())
                    RewriteStrings(*strings, SplitLineBreaks(text));
                ++i;
                continue;
            }
            std::string current;
            try {
                current = GetStrPropAnsi(item, property);
            } catch (...) {
            }
            if (!property.isReadable() || !property.isWritable()) {
                drop();
                continue;
            }
            if (!text.empty() && text != current)
                SetPropertyText(item, property, text);
            ++i;
            continue;
        }
        QMetaProperty objectProperty;
        QObject* object = nullptr;
        if (FindPublishedProperty(item, lcTextBefore(itemPath, '.'), &objectProperty) && objectProperty.isReadable()
            && objectProperty.isWritable())
            object = ObjectValue(item, objectProperty);
        QMetaProperty property;
        if (!object || !FindPublishedProperty(object, lcTextAfter(itemPath, '.'), &property) || !property.isReadable()
            || !property.isWritable()) {
            drop();
            continue;
        }
        if (!text.empty() && text != GetStrPropAnsi(object, property))
            SetPropertyText(object, property, text);
        ++i;
    }
}

void TlcCustomLang::ApplyLocale(const std::string& key, const std::string& text)
{
    int n = 0;
    for (int k = 1; k <= lcLocaleKeyCount; ++k)
        if (key == lcLocaleKey(k))
            n = k;
    if (n == 0 || text.empty())
        return;
    TFormatSettings& settings = FormatSettings();
    // A separator is one character; one that does not fit a byte is left
    // alone rather than cut into a broken byte.
    auto separator = [&text](char& target) {
        if (static_cast<unsigned char>(text[0]) < 0x80)
            target = text[0];
    };
    auto names = [&text](auto& target) {
        const std::vector<std::string> items = SplitCommaText(text);
        for (size_t k = 0; k < items.size() && k < target.size(); ++k)
            target[k] = items[k];
    };
    switch (n) {
    case 1: settings.CurrencyString = text; break;
    case 2: separator(settings.ThousandSeparator); break;
    case 3: separator(settings.DecimalSeparator); break;
    case 4: separator(settings.DateSeparator); break;
    case 5: settings.ShortDateFormat = text; break;
    case 6: settings.LongDateFormat = text; break;
    case 7: separator(settings.TimeSeparator); break;
    case 8: settings.TimeAMString = text; break;
    case 9: settings.TimePMString = text; break;
    case 10: settings.ShortTimeFormat = text; break;
    case 11: settings.LongTimeFormat = text; break;
    case 12: names(settings.ShortMonthNames); break;
    case 13: names(settings.LongMonthNames); break;
    case 14: names(settings.ShortDayNames); break;
    case 15: names(settings.LongDayNames); break;
    default: break;
    }
}

// ---- extended translations ------------------------------------------------------------------

void TlcCustomLang::ApplyExtendedTranslations()
{
    for (int i = 0; i < FExtendedTranslations->Count(); ++i) {
        const TlcExtendedItem& item = FExtendedTranslations->Items(i);
        std::string text = ValuesField(item.Values, FLangDelim, FActiveLanguage - 1);
        if (text.empty() && FUseDefaultLanguage && FActiveLanguage != FDefaultLanguage)
            text = ValuesField(item.Values, FLangDelim, FDefaultLanguage - 1);
        if (text.empty() && FActiveLanguage > 1 && TestModeActive()) {
            const std::string first = ValuesField(item.Values, FLangDelim, 0);
            if (!first.empty())
                text = TestModeTransform(this, first);
        }
        if (text.empty() && FTranslateType == TTranslateType::ttGetDefault)
            text = ValuesField(item.Values, FLangDelim, 0);
        if (!text.empty())
            SetPropertyValueByPath(item.Identifier, text);
    }
}

QObject* TlcCustomLang::ResolvePathObject(const std::string& path) const
{
    QObject* root = Owner();
    if (!root)
        return nullptr;
    QObject* current = nullptr;
    if (lcStartsText(path, ClassNameOf(root) + ".") >= 0)
        current = root;
    else
        current = OwnedComponent(lcTextBefore(path, '.'));
    if (!current || path.find('.') == std::string::npos)
        return current;
    std::string rest = lcTextAfter(path, '.');
    while (rest.find('.') != std::string::npos) {
        const TlcPropInfoList properties(current);
        const QMetaProperty* property = nullptr;
        if (rest.find('[') != std::string::npos)
            property = properties.Find(lcTextBefore(rest, '['));
        if (!property)
            property = properties.Find(lcTextBefore(rest, '.'));
        if (!property)
            return nullptr;
        QObject* value = ObjectValue(current, *property);
        if (auto* collection = qobject_cast<TCollection*>(value)) {
            const size_t open = rest.find('[');
            const size_t close = rest.find(']');
            if (open == std::string::npos || close == std::string::npos || close < open)
                return nullptr;
            int index = 0;
            if (!TryStrToInt(rest.substr(open + 1, close - open - 1), index))
                return nullptr;
            value = collection->Item(index);
        }
        if (!value)
            return nullptr;
        current = value;
        rest = lcTextAfter(rest, '.');
    }
    return current;
}

namespace {
// The property named by the path's last segment on the resolved object.
bool LastProperty(const QObject* object, const std::string& path, QMetaProperty& property)
{
    if (!object)
        return false;
    const size_t dot = path.rfind('.');
    const std::string name = dot == std::string::npos ? path : path.substr(dot + 1);
    const TlcPropInfoList properties(object);
    const QMetaProperty* found = properties.Find(name);
    if (!found)
        return false;
    property = *found;
    return true;
}
} // namespace

TTypeKind TlcCustomLang::GetPropertyKindByPath(const std::string& path) const
{
    const QObject* object = ResolvePathObject(path);
    QMetaProperty property;
    if (!LastProperty(object, path, property))
        return TTypeKind::tkUnknown;
    const TTypeKind kind = PropertyKind(property);
    if (kind == TTypeKind::tkClass)
        return qobject_cast<TStrings*>(ObjectValue(object, property)) ? TTypeKind::tkClass : TTypeKind::tkUnknown;
    return kind;
}

std::string TlcCustomLang::GetPropertyValueByPath(const std::string& path) const
{
    const QObject* object = ResolvePathObject(path);
    QMetaProperty property;
    if (!LastProperty(object, path, property))
        return {};
    const QVariant value = property.read(object);
    switch (PropertyKind(property)) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkInt64:
        return std::to_string(value.toLongLong());
    case TTypeKind::tkChar:
    case TTypeKind::tkString:
    case TTypeKind::tkWChar:
    case TTypeKind::tkLString:
    case TTypeKind::tkWString:
        return GetStrPropAnsi(object, property);
    case TTypeKind::tkEnumeration:
        if (property.metaType().id() == QMetaType::Bool)
            return value.toBool() ? "True" : "False";
        if (property.isEnumType()) {
            const char* key = property.enumerator().valueToKey(value.toInt());
            return key ? key : std::string();
        }
        return std::to_string(value.toInt());
    case TTypeKind::tkFloat:
        return FloatToStr(value.toDouble());
    case TTypeKind::tkSet:
        return property.enumerator().valueToKeys(value.toInt()).replace('|', ',').toStdString();
    case TTypeKind::tkClass:
        if (auto* strings = qobject_cast<TStrings*>(ObjectValue(object, property)))
            return strings->CommaText();
        return {};
    default:
        return {};
    }
}

void TlcCustomLang::SetPropertyValueByPath(const std::string& path, const std::string& text) const
{
    try {
        QObject* object = ResolvePathObject(path);
        QMetaProperty property;
        if (qobject_cast<TlcComponent*>(object) || !LastProperty(object, path, property))
            return;
        switch (PropertyKind(property)) {
        case TTypeKind::tkInteger:
            property.write(object, QVariant(StrToInt(text)));
            break;
        case TTypeKind::tkInt64:
            property.write(object, QVariant(static_cast<qlonglong>(StrToInt(text))));
            break;
        case TTypeKind::tkChar:
        case TTypeKind::tkString:
        case TTypeKind::tkWChar:
        case TTypeKind::tkLString:
        case TTypeKind::tkWString:
            SetPropertyText(object, property, text);
            break;
        case TTypeKind::tkEnumeration:
            if (property.metaType().id() == QMetaType::Bool) {
                if (lcSameText(text, "True"))
                    property.write(object, QVariant(true));
                else if (lcSameText(text, "False"))
                    property.write(object, QVariant(false));
            } else if (property.isEnumType()) {
                bool ok = false;
                const int value = property.enumerator().keyToValue(text.c_str(), &ok);
                if (ok)
                    property.write(object, QVariant(value));
            }
            break;
        case TTypeKind::tkFloat: {
            long double value = 0;
            if (TryStrToFloat(text, value))
                property.write(object, QVariant(static_cast<double>(value)));
            break;
        }
        case TTypeKind::tkSet: {
            std::string keys = text;
            std::replace(keys.begin(), keys.end(), ',', '|');
            keys.erase(std::remove(keys.begin(), keys.end(), ' '), keys.end());
            bool ok = false;
            const int value = property.enumerator().keysToValue(keys.c_str(), &ok);
            if (ok)
                property.write(object, QVariant(value));
            break;
        }
        case TTypeKind::tkClass:
            if (auto* strings = qobject_cast<TStrings*>(ObjectValue(object, property)))
                RewriteStrings(*strings, SplitCommaText(text));
            break;
        default:
            break;
        }
    } catch (...) {
    }
}

// ---- exclusions -------------------------------------------------------------------------------

bool TlcCustomLang::IsPropertyExcluded(const std::string& componentName, const std::string& propertyPath) const
{
    if (propertyPath.find('.') == std::string::npos) {
        if (FExcludedProperties.IndexOf(propertyPath) >= 0)
            return true;
    } else {
        const TlcStringList segments = SplitText(propertyPath, ".");
        for (const std::string& segment : segments.Lines())
            if (FExcludedProperties.IndexOf(segment) >= 0)
                return true;
    }
    if (FSmartExcludeProps.IndexOf(componentName + "." + propertyPath) >= 0)
        return true;
    if (propertyPath == "Name")
        return true;
    if (const QObject* component = OwnedComponent(componentName))
        if (FSmartExcludeProps.IndexOf("!" + ClassNameOf(component) + "." + propertyPath) >= 0)
            return true;
    return false;
}

void TlcCustomLang::ApplyExcludedProperties()
{
    const TComponentIndexScope index(*this);
    bool emptied[lcStringsTypeCount] = {};
    auto empty = [this, &emptied](TStringsType type) {
        List(type).Clear();
        emptied[static_cast<int>(type)] = true;
    };
    if (FExcludedProperties.IndexOf("Caption") >= 0)
        empty(TStringsType::stCaptions);
    if (FExcludedProperties.IndexOf("Hint") >= 0)
        empty(TStringsType::stHints);
    if (FExcludedProperties.IndexOf("DisplayLabel") >= 0)
        empty(TStringsType::stDisplayLabels);
    if (FExcludedProperties.IndexOf("Font") >= 0) {
        empty(TStringsType::stFonts);
        empty(TStringsType::stCharSets);
    }
    if (FExcludedProperties.IndexOf("Charset") >= 0)
        empty(TStringsType::stCharSets);
    const std::string delim = lcDelim(FLangDelim);
    const std::string dotted = "." + delim;
    const std::string bracketed = ".[" + delim;
    for (TStringsType type : {TStringsType::stCaptions, TStringsType::stHints, TStringsType::stFonts,
                              TStringsType::stCharSets, TStringsType::stDisplayLabels, TStringsType::stMultiLines,
                              TStringsType::stOtherStrings, TStringsType::stCollections}) {
        if (emptied[static_cast<int>(type)])
            continue;
        TlcStringList& list = List(type);
        for (int i = list.Count() - 1; i >= 0; --i) {
            const std::string& line = list[i];
            bool excluded;
            if (type == TStringsType::stMultiLines || type == TStringsType::stOtherStrings) {
                excluded = IsPropertyExcluded(ExtractWord(1, line, dotted), ExtractWord(2, line, dotted));
            } else if (type == TStringsType::stCollections) {
                const std::string component = ExtractWord(1, line, bracketed);
                excluded = IsPropertyExcluded(component, ExtractWord(2, line, bracketed))
                           || IsPropertyExcluded(component, ExtractWord(4, line, bracketed));
            } else {
                excluded = IsPropertyExcluded(ExtractWord(1, line, delim),
                                              StringsTypeDefaultProperty(type));
            }
            if (excluded)
                list.Delete(i);
        }
    }
}

// ---- re-encoding and language columns -------------------------------------------------------------

void TlcCustomLang::ConvertStoredTexts(bool toUTF8)
{
    std::vector<int> charsets;
    for (int language = 1; language <= FNumOfLanguages; ++language)
        charsets.push_back(GetLanguageCharset(language));
    FLanguageCharsets = charsets;
    auto convert = [toUTF8](const std::string& text, int charset) {
        return toUTF8 ? AnsiToUTF8(text, charset) : UTF8ToAnsi(text, charset);
    };
    const std::string delim = lcDelim(FLangDelim);
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const auto type = static_cast<TStringsType>(t);
        if (type == TStringsType::stFonts || type == TStringsType::stCharSets)
            continue;
        TlcStringList* list = GetListByType(type);
        if (!list)
            continue;
        for (int i = 0; i < list->Count(); ++i) {
            const std::string& line = (*list)[i];
            std::string rebuilt = lcLineKey(line, FLangDelim) + delim;
            for (int language = 1; language <= FNumOfLanguages; ++language)
                rebuilt += convert(ExtractField(line, FLangDelim, language), charsets[static_cast<size_t>(language - 1)])
                           + delim;
            list->Put(i, std::move(rebuilt));
        }
    }
    BuildStringIndex(FStringIndex, 0);
    if (FHandleResourceStrings && ResourceStringTranslator() == this)
        BuildStringIndex(FResourceIndex, FResourceLanguageIndex);
    for (int i = 0; i < FExtendedTranslations->Count(); ++i) {
        TlcExtendedItem& item = FExtendedTranslations->Items(i);
        std::string values;
        for (int language = 1; language <= FNumOfLanguages; ++language)
            values += convert(ValuesField(item.Values, FLangDelim, language - 1),
                              charsets[static_cast<size_t>(language - 1)])
                      + delim;
        item.Values = std::move(values);
    }
}

std::string TlcCustomLang::RemoveLanguageField(std::string_view line, int language, unsigned char delim)
{
    const std::vector<std::string> fields = LanguageFields(line, delim);
    std::string out = lcLineKey(line, delim) + lcDelim(delim);
    for (size_t f = 0; f < fields.size(); ++f)
        if (static_cast<int>(f) + 1 != language)
            out += fields[f] + lcDelim(delim);
    return out;
}

void TlcCustomLang::RemoveLanguageField(TlcStringList& list, int language, unsigned char delim)
{
    for (int i = 0; i < list.Count(); ++i)
        list.Put(i, RemoveLanguageField(list[i], language, delim));
}

std::string TlcCustomLang::MoveLanguageField(std::string_view line, int from, int to, unsigned char delim)
{
    std::vector<std::string> fields = LanguageFields(line, delim);
    if (!fields.empty())
        fields.pop_back(); // after the closing delimiter
    const int count = static_cast<int>(fields.size());
    if (from == to || from < 1 || from > count || to < 1 || to > count)
        return std::string(line);
    const std::string moved = fields[static_cast<size_t>(from - 1)];
    fields.erase(fields.begin() + (from - 1));
    fields.insert(fields.begin() + (to - 1), moved);
    std::string out = lcLineKey(line, delim) + lcDelim(delim);
    for (const std::string& field : fields)
        out += field + lcDelim(delim);
    return out;
}

void TlcCustomLang::MoveLanguageField(TlcStringList& list, int from, int to, unsigned char delim)
{
    for (int i = 0; i < list.Count(); ++i)
        list.Put(i, MoveLanguageField(list[i], from, to, delim));
}
