// The scan that fills a translation component's lists from the current texts
// of its owner, and the list upkeep that follows removed and renamed
// components. Both are the design-time half of the component: the program
// itself never calls them while it runs.
#include "localization/lcComp.h"

#include "platform/Classes.h"

#include <QFont>
#include <QVariant>

namespace {

bool StartsText(std::string_view text, std::string_view prefix)
{
    return lcStartsText(text, prefix) >= 0;
}

bool IsStringKind(TTypeKind kind)
{
    return kind == TTypeKind::tkString || kind == TTypeKind::tkLString || kind == TTypeKind::tkWString;
}

bool IsFont(const QMetaProperty& property)
{
    return property.metaType() == QMetaType::fromType<QFont>();
}

QObject* ObjectValue(const QObject* object, const QMetaProperty& property)
{
    if (!object || !(property.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return property.read(object).value<QObject*>();
}

// The class name of a property's type as the forms' data name it.
std::string TypeNameOf(const QMetaProperty& property)
{
    if (IsFont(property))
        return "TFont";
    std::string name = property.metaType().name() ? property.metaType().name() : "";
    while (!name.empty() && (name.back() == '*' || name.back() == ' '))
        name.pop_back();
    return name;
}

bool IsDotted(TStringsType type)
{
    return type == TStringsType::stMultiLines || type == TStringsType::stOtherStrings
           || type == TStringsType::stCollections;
}

// Restores DoRaiseExceptions and frees the set-aside list however the scan ends.
struct TScanScope {
    bool& RaiseFlag;
    bool Saved;
    std::unique_ptr<TlcStringList>& SetAside;
    ~TScanScope()
    {
        RaiseFlag = Saved;
        SetAside.reset();
    }
};

} // namespace

// ---- fonts -------------------------------------------------------------------------

std::string TlcCustomLang::GetFontName(const QObject* component) const
{
    QMetaProperty property;
    if (!lcFindFontProperty(component, &property))
        return {};
    return property.read(component).value<QFont>().family().toStdString();
}

int TlcCustomLang::GetFontCharset(const QObject* component) const
{
    QMetaProperty property;
    if (!lcFindFontProperty(component, &property))
        return 0;
    // A Qt font covers every script: its character set is the default one.
    return DEFAULT_CHARSET;
}

// ---- the set-aside lines -------------------------------------------------------------

std::string TlcCustomLang::FindSetAsideLine(const std::string& text)
{
    // An empty text says nothing about which component a line belonged to.
    if (!FSetAside || text.empty())
        return {};
    for (int i = 0; i < FSetAside->Count(); ++i)
        if (GetEntryText(*FSetAside, i, true) == text)
            return (*FSetAside)[i];
    return {};
}

// ---- deleting lines ----------------------------------------------------------------------

void TlcCustomLang::DeleteEntriesByKey(TlcStringList& list, const std::string& componentName, TStringsType type,
                                       const std::string& propertyName)
{
    std::string prefix;
    if (type == TStringsType::stMultiLines || type == TStringsType::stOtherStrings)
        prefix = componentName + "." + propertyName + lcDelim(FLangDelim);
    else if (type == TStringsType::stCollections)
        prefix = componentName + "." + propertyName;
    else
        prefix = componentName + lcDelim(FLangDelim);
    const bool all = type == TStringsType::stCollections;
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (!StartsText(list[i], prefix))
            continue;
        // An item prefix "btn.Items[1]" must not take the lines of "btn.Items[10]".
        if (all) {
            const std::string& line = list[i];
            const char next = line.size() > prefix.size() ? line[prefix.size()] : '\0';
            if (next != '.' && next != '[' && next != static_cast<char>(FLangDelim))
                continue;
        }
        list.Delete(i);
        if (!all)
            return;
    }
}

void TlcCustomLang::RemoveComponentEntries(TlcStringList& list, const QObject* component, TStringsType type,
                                           TOperation operation)
{
    if (operation != TOperation::opRemove || !FDesignMode || !component)
        return;
    if (list.Empty() || list[0].empty())
        return;
    const std::string name = component == Owner() ? ClassNameOf(component) : ComponentName(component);
    if (name.empty())
        return;
    const std::string prefix = name + (IsDotted(type) ? std::string(".") : lcDelim(FLangDelim));
    try {
        for (int i = list.Count() - 1; i >= 0; --i)
            if (StartsText(list[i], prefix))
                list.Delete(i);
    } catch (const Exception&) {
    }
}

void TlcCustomLang::ApplyDoNotTranslate()
{
    QObject* root = Owner();
    if (!root || !FDesignMode)
        return;
    const std::string className = ClassNameOf(root);
    std::vector<const QObject*> removed;
    for (const std::string& entry : FDoNotTranslate.Lines()) {
        if (lcSameText(entry, className)) {
            removed.push_back(root);
        } else if (entry.rfind("!T", 0) == 0) {
            for (const QObject* component : OwnedComponents(root))
                if (ClassNameOf(component) == entry.substr(1))
                    removed.push_back(component);
        } else if (const QObject* component = FindComponent(root, entry)) {
            removed.push_back(component);
        }
    }
    for (const QObject* component : removed)
        for (TStringsType type :
             {TStringsType::stCaptions, TStringsType::stHints, TStringsType::stDisplayLabels, TStringsType::stFonts,
              TStringsType::stMultiLines, TStringsType::stOtherStrings, TStringsType::stCharSets,
              TStringsType::stCollections})
            RemoveComponentEntries(List(type), component, type, TOperation::opRemove);
}

// ---- renaming ------------------------------------------------------------------------------

void TlcCustomLang::RenameComponent(const std::string& oldName, const std::string& newName)
{
    if (newName.empty() || oldName.empty())
        return;
    std::string from = oldName;
    std::string to = newName;
    // The owner's lines are keyed by its class name.
    if (Owner() && lcSameText(ComponentName(Owner()), oldName)) {
        from = "T" + oldName;
        to = "T" + newName;
    }
    const std::string separators = "." + lcDelim(FLangDelim);
    auto rename = [&](TlcStringList& list) {
        for (int i = 0; i < list.Count(); ++i) {
            const std::string& line = list[i];
            if (lcSameText(ExtractWord(1, line, separators), from))
                list.Put(i, to + line.substr(from.size()));
        }
    };
    for (int type = 0; type < lcStringsTypeCount; ++type)
        if (TlcStringList* list = GetListByType(static_cast<TStringsType>(type)))
            rename(*list);
    rename(FDoNotTranslate);
    rename(FSmartExcludeProps);
    for (int i = 0; i < FExtendedTranslations->Count(); ++i) {
        TlcExtendedItem& item = FExtendedTranslations->Items(i);
        if (StartsText(item.Identifier, from + "."))
            item.Identifier = to + item.Identifier.substr(from.size());
    }
}

// ---- stale lines -----------------------------------------------------------------------------

void TlcCustomLang::RemoveStaleLines(TlcStringList& list, TStringsType type)
{
    QObject* root = Owner();
    if (!root)
        return;
    const std::string className = ClassNameOf(root);
    const std::string rootName = ComponentName(root);
    const bool dotted = type == TStringsType::stMultiLines || type == TStringsType::stOtherStrings;
    const TStringsType kindType = type == TStringsType::stCharSets ? TStringsType::stFonts : type;
    for (int i = list.Count() - 1; i >= 0; --i) {
        const std::string key = lcLineKey(list[i], FLangDelim);
        std::string name;
        std::string property;
        if (dotted) {
            name = lcTextBefore(key, '.');
            property = lcTextAfter(key, '.');
        } else if (type == TStringsType::stCollections) {
            name = lcTextBefore(key, '.');
            property = lcTextBefore(lcTextAfter(key, '.'), '[');
        } else {
            name = key;
            property = StringsTypeDefaultProperty(kindType);
        }
        const QObject* component = nullptr;
        if (!name.empty())
            component = lcSameText(name, className) || (!rootName.empty() && lcSameText(name, rootName))
                            ? root
                            : OwnedComponent(name);
        bool stale = component == nullptr || property.empty();
        if (!stale) {
            // A property path "Properties.Text" is resolved through the object
            // property before the point.
            const QObject* holder = component;
            std::string last = property;
            while (holder && last.find('.') != std::string::npos) {
                QMetaProperty objectProperty;
                holder = FindPublishedProperty(holder, lcTextBefore(last, '.'), &objectProperty)
                             ? ObjectValue(holder, objectProperty)
                             : nullptr;
                last = lcTextAfter(last, '.');
            }
            QMetaProperty found;
            stale = !holder || !FindPublishedProperty(holder, last, &found);
            if (!stale && type != TStringsType::stCollections) {
                const TTypeKind kind = PropertyKind(found);
                const bool classKind = kindType == TStringsType::stFonts || kindType == TStringsType::stMultiLines;
                stale = classKind ? kind != TTypeKind::tkClass : !IsStringKind(kind);
            }
        }
        if (stale)
            list.Delete(i);
    }
}

void TlcCustomLang::RemoveStaleEntries()
{
    for (TStringsType type :
         {TStringsType::stCaptions, TStringsType::stHints, TStringsType::stDisplayLabels, TStringsType::stFonts,
          TStringsType::stCharSets, TStringsType::stMultiLines, TStringsType::stOtherStrings,
          TStringsType::stCollections})
        RemoveStaleLines(List(type), type);
}

void TlcCustomLang::RefreshExtendedTranslations()
{
    const std::string d = lcDelim(FLangDelim);
    for (int i = FExtendedTranslations->Count() - 1; i >= 0; --i) {
        TlcExtendedItem& item = FExtendedTranslations->Items(i);
        const QObject* object = ResolvePathObject(item.Identifier);
        const size_t dot = item.Identifier.rfind('.');
        QMetaProperty property;
        if (!object || dot == std::string::npos
            || !FindPublishedProperty(object, item.Identifier.substr(dot + 1), &property)) {
            FExtendedTranslations->Delete(i);
            continue;
        }
        const std::string current = GetPropertyValueByPath(item.Identifier);
        if (ExtractWord(FActiveLanguage, item.Values, d) == current)
            continue;
        std::string values;
        for (int language = 1; language <= FNumOfLanguages; ++language)
            values += (language == FActiveLanguage ? current : ExtractWord(language, item.Values, d)) + d;
        item.Values = values;
    }
}

// ---- the scan --------------------------------------------------------------------------------

void TlcCustomLang::CollectOwnerEntry(const char* property, TStringsType type)
{
    QObject* root = Owner();
    const std::string className = ClassNameOf(root);
    const std::string rootName = ComponentName(root);
    const bool font = type == TStringsType::stFonts;
    const bool has = font ? HasPropertyOfKind(root, "Font", {TTypeKind::tkClass}, "TFont")
                          : HasPropertyOfKind(root, property,
                                              {TTypeKind::tkString, TTypeKind::tkLString, TTypeKind::tkWString});
    if (!has)
        return;
    TlcStringList& list = List(type);
    TlcStringList& charsets = List(TStringsType::stCharSets);
    if (FSmartExcludeProps.IndexOf(className + "." + property) >= 0) {
        DeleteEntriesByKey(list, className, type, property);
        if (font)
            DeleteEntriesByKey(charsets, className, TStringsType::stCharSets, "Charset");
        return;
    }
    if (FExcludedProperties.IndexOf(property) >= 0 || !CanTranslateOwner())
        return;
    const std::string value = font ? GetFontName(root) : GetPropertyText(root, property);
    if ((FAutoSkipEmpties && value.empty()) || (!font && IsActionLinkedText(root, type)))
        return;
    const std::string d = lcDelim(FLangDelim);
    std::string closing;
    for (int i = 1; i < FNumOfLanguages; ++i)
        closing += d;
    const std::string newLine = className + d + value + d + closing;
    // A line 0 of the owner under its name, or one whose first text is the
    // current value, is the owner's line keyed the old way: it takes the
    // class name and keeps its texts.
    auto rekey = [&](TlcStringList& target, const std::string& current) {
        if (target.Empty())
            return;
        const std::string key = lcLineKey(target[0], FLangDelim);
        if (lcSameText(key, className))
            return;
        const bool byName = !rootName.empty() && lcSameText(key, rootName);
        const std::string first = ExtractField(target[0], FLangDelim, 1);
        if (byName || (!current.empty() && first == current))
            target.Put(0, className + target[0].substr(key.size()));
    };
    // The owner's line goes first (inserted when line 0 is another's).
    auto place = [&](TlcStringList& target, const std::string& line) {
        if (target.Empty())
            target.Add(line);
        else if (!lcSameText(lcLineKey(target[0], FLangDelim), className))
            target.Insert(0, line);
    };
    rekey(list, value);
    place(list, newLine);
    if (font && FExcludedProperties.IndexOf("Charset") < 0) {
        const std::string charset = lcCharsetName(GetFontCharset(root));
        rekey(charsets, charset);
        place(charsets, className + d + charset + d + closing);
    }
    if (GetEntryText(list, 0, false) != value)
        SetTranslation(list, value, FActiveLanguage, className);
}

void TlcCustomLang::CollectEntry(TlcStringList& list, TStringsType type, const QObject* component,
                                 const std::string& key, const std::string& value)
{
    const std::string d = lcDelim(FLangDelim);
    const bool font = type == TStringsType::stFonts;
    const std::string componentName = ComponentName(component);
    const bool withCharset = font && !IsPropertyExcluded(componentName, "Charset");
    const std::string charset = font ? lcCharsetName(GetFontCharset(component)) : std::string();
    TlcStringList& charsets = List(TStringsType::stCharSets);
    auto hasCharsetLine = [&] {
        for (int i = 0; i < charsets.Count(); ++i)
            if (StartsText(charsets[i], key + d))
                return true;
        return false;
    };
    int found = -1;
    for (int i = 0; i < list.Count() && found < 0; ++i)
        if (StartsText(list[i], key + d))
            found = i;
    if (found >= 0) {
        if (FDesignMode) {
            const std::string current = GetEntryText(list, found, false);
            if (current != value && (!current.empty() || FActiveLanguage == 1))
                SetTranslation(list, value, FActiveLanguage, key);
        }
        if (withCharset && !charset.empty() && !hasCharsetLine())
            charsets.Add(key + d + charset + std::string(static_cast<size_t>(FNumOfLanguages), FLangDelim));
        return;
    }
    if ((type == TStringsType::stCaptions || type == TStringsType::stHints) && IsActionLinkedText(component, type))
        return;
    const std::string old = FindSetAsideLine(value);
    if (!old.empty()) {
        list.Add(key + d + lcTextAfter(old, static_cast<char>(FLangDelim)));
        if (withCharset) {
            const std::string oldKey = lcLineKey(old, FLangDelim);
            std::string line = key + d;
            for (int i = 1; i <= FNumOfLanguages; ++i)
                line += GetTextByKey(charsets, oldKey, i) + d;
            charsets.Add(line);
        }
        return;
    }
    if (FAutoSkipEmpties && value.empty())
        return;
    list.Add(key + d + value + std::string(static_cast<size_t>(FNumOfLanguages), FLangDelim));
    if (withCharset && !charset.empty() && !hasCharsetLine())
        charsets.Add(key + d + charset + std::string(static_cast<size_t>(FNumOfLanguages), FLangDelim));
}

void TlcCustomLang::CollectList(TlcStringList& list, TStringsType type)
{
    QObject* root = Owner();
    if (!root)
        return;
    const std::string className = ClassNameOf(root);
    std::vector<QObject*> components;
    if (type == TStringsType::stOtherStrings)
        components.push_back(root);
    for (QObject* component : OwnedComponents(root))
        components.push_back(component);
    const char* fixed = type == TStringsType::stCaptions       ? "Caption"
                        : type == TStringsType::stHints         ? "Hint"
                        : type == TStringsType::stDisplayLabels ? "DisplayLabel"
                        : type == TStringsType::stFonts         ? "Font"
                                                                : nullptr;
    for (QObject* component : components) {
        if (qobject_cast<TlcCustomLang*>(component) || qobject_cast<TlcLangDispatcher*>(component))
            continue;
        const bool isRoot = component == root;
        const std::string componentClass = ClassNameOf(component);
        const std::string name = isRoot ? className : ComponentName(component);
        if (name.empty() || FDoNotTranslate.IndexOf(name) >= 0 || FDoNotTranslate.IndexOf("!" + componentClass) >= 0)
            continue;
        if (type == TStringsType::stCollections) {
            const TlcPropInfoList properties(component);
            for (int p = 0; p < properties.Count(); ++p) {
                const QMetaProperty& property = properties.Items(p);
                auto* collection = qobject_cast<TCollection*>(ObjectValue(component, property));
                if (!collection)
                    continue;
                const std::string collectionName = property.name();
                if (IsPropertyExcluded(name, collectionName)) {
                    DeleteEntriesByKey(list, name, type, collectionName);
                    continue;
                }
                for (int i = 0; i < collection->Count(); ++i) {
                    QObject* item = collection->Item(i);
                    if (!item)
                        continue;
                    const std::string prefix = Format("%s.%s[%d]", name.c_str(), collectionName.c_str(), i);
                    const TlcPropInfoList itemProperties(item);
                    for (int q = 0; q < itemProperties.Count(); ++q) {
                        const QMetaProperty& itemProperty = itemProperties.Items(q);
                        const std::string itemName = itemProperty.name();
                        const TTypeKind kind = PropertyKind(itemProperty);
                        std::string value;
                        if (IsStringKind(kind)) {
                            if (!itemProperty.isReadable() || !itemProperty.isWritable())
                                continue;
                            if (IsPropertyExcluded(name, itemName)) {
                                DeleteEntriesByKey(list, prefix, type, itemName);
                                continue;
                            }
                            try {
                                value = GetStrPropAnsi(item, itemProperty);
                            } catch (const Exception&) {
                                continue;
                            }
                        } else if (kind == TTypeKind::tkClass) {
                            QObject* object = ObjectValue(item, itemProperty);
                            auto* strings = qobject_cast<TStrings*>(object);
                            if (!strings || OwnerOf(object) == root)
                                continue;
                            if (IsPropertyExcluded(name, itemName)) {
                                DeleteEntriesByKey(list, prefix, type, itemName);
                                continue;
                            }
                            const std::vector<std::string> lines = strings->Lines();
                            for (size_t l = 0; l < lines.size(); ++l)
                                value += (l == 0 ? "" : "\r\n") + lines[l];
                        } else {
                            continue;
                        }
                        CollectEntry(list, type, component, prefix + "." + itemName, value);
                    }
                }
            }
            continue;
        }
        // The properties of the component and, for OtherStrings, the string
        // properties of its "Properties" object.
        struct TTarget {
            const QObject* Holder;
            QMetaProperty Property;
            std::string Path;
        };
        std::vector<TTarget> targets;
        const TlcPropInfoList properties(component);
        for (int p = 0; p < properties.Count(); ++p) {
            const QMetaProperty& property = properties.Items(p);
            const std::string propertyName = property.name();
            const TTypeKind kind = PropertyKind(property);
            bool take = false;
            if (fixed) {
                take = propertyName == fixed
                       && (type == TStringsType::stFonts ? IsFont(property) : IsStringKind(kind));
            } else if (type == TStringsType::stMultiLines) {
                take = kind == TTypeKind::tkClass
                       && (lcSameText(TypeNameOf(property), "TStrings") || IsStringsType(TypeNameOf(property))
                           || qobject_cast<TStrings*>(ObjectValue(component, property)));
            } else if (type == TStringsType::stOtherStrings) {
                take = IsStringKind(kind) && propertyName != "Name" && !lcSameText(propertyName, "Caption")
                       && !lcSameText(propertyName, "Hint") && !lcSameText(propertyName, "DisplayLabel");
            }
            if (take)
                targets.push_back({component, property, propertyName});
        }
        if (type == TStringsType::stOtherStrings) {
            QMetaProperty propertiesProperty;
            if (FindPublishedProperty(component, "Properties", &propertiesProperty))
                if (const QObject* object = ObjectValue(component, propertiesProperty)) {
                    const TlcPropInfoList inner(object);
                    for (int p = 0; p < inner.Count(); ++p)
                        if (IsStringKind(PropertyKind(inner.Items(p))))
                            targets.push_back({object, inner.Items(p), std::string("Properties.") + inner.Items(p).name()});
                }
        }
        for (const TTarget& target : targets) {
            if (IsPropertyExcluded(name, target.Path)) {
                DeleteEntriesByKey(list, name, type, target.Path);
                if (type == TStringsType::stFonts)
                    DeleteEntriesByKey(List(TStringsType::stCharSets), name, TStringsType::stCharSets, "Charset");
                continue;
            }
            bool parentFont = false;
            if (type == TStringsType::stFonts && !isRoot && ReadBool(component, "ParentFont", parentFont)
                && parentFont) {
                DeleteEntriesByKey(list, name, type, target.Path);
                DeleteEntriesByKey(List(TStringsType::stCharSets), name, TStringsType::stCharSets, "Charset");
                continue;
            }
            if (!target.Property.isReadable() || !target.Property.isWritable())
                continue;
            // The owner's own caption, hint and font are its first line.
            if (isRoot && fixed)
                continue;
            std::string value;
            try {
                if (type == TStringsType::stFonts) {
                    value = GetFontName(component);
                } else if (type == TStringsType::stMultiLines) {
                    auto* strings = qobject_cast<TStrings*>(ObjectValue(target.Holder, target.Property));
                    if (!strings)
                        continue;
                    value = strings->CommaText();
                } else {
                    value = GetStrPropAnsi(target.Holder, target.Property);
                }
            } catch (const Exception&) {
                continue;
            }
            if (type == TStringsType::stCaptions && value == "-" && componentClass == "TMenuItem")
                continue;
            if (type == TStringsType::stMultiLines && componentClass == "TFormStorage")
                continue;
            const std::string key = fixed ? name : name + "." + target.Path;
            CollectEntry(list, type, component, key, value);
        }
    }
}

void TlcCustomLang::CollectPropertiesLists()
{
    QObject* root = Owner();
    if (!root || FExcludedProperties.IndexOf("Properties") >= 0)
        return;
    TlcStringList& list = List(TStringsType::stMultiLines);
    for (QObject* component : OwnedComponents(root)) {
        if (qobject_cast<TlcCustomLang*>(component) || qobject_cast<TlcLangDispatcher*>(component))
            continue;
        const std::string name = ComponentName(component);
        if (name.empty() || FDoNotTranslate.IndexOf(name) >= 0
            || FDoNotTranslate.IndexOf("!" + ClassNameOf(component)) >= 0)
            continue;
        QMetaProperty propertiesProperty;
        if (!FindPublishedProperty(component, "Properties", &propertiesProperty))
            continue;
        const QObject* object = ObjectValue(component, propertiesProperty);
        if (!object)
            continue;
        const TlcPropInfoList inner(object);
        for (int p = 0; p < inner.Count(); ++p) {
            auto* strings = qobject_cast<TStrings*>(ObjectValue(object, inner.Items(p)));
            if (!strings)
                continue;
            const std::string path = std::string("Properties.") + inner.Items(p).name();
            if (FExcludedProperties.IndexOf(path) < 0 && FSmartExcludeProps.IndexOf(name + "." + path) < 0)
                CollectEntry(list, TStringsType::stMultiLines, component, name + "." + path, strings->CommaText());
            else
                DeleteEntriesByKey(list, name, TStringsType::stMultiLines, path);
        }
    }
}

void TlcCustomLang::CollectTexts()
{
    if (FTransient || !Owner())
        return;
    const TScanScope scope{FDoRaiseExceptions, FDoRaiseExceptions, FSetAside};
    FDoRaiseExceptions = false;
    try {
        CollectOwnerEntry("Caption", TStringsType::stCaptions);
        CollectOwnerEntry("Hint", TStringsType::stHints);
        CollectOwnerEntry("Font", TStringsType::stFonts);
        FSetAside = std::make_unique<TlcStringList>();
        auto step = [this](TStringsType type) {
            TlcStringList& list = List(type);
            PurgeList(list, type);
            CollectList(list, type);
            if (type == TStringsType::stFonts)
                PurgeList(List(TStringsType::stCharSets), TStringsType::stCharSets);
            if (type == TStringsType::stMultiLines)
                CollectPropertiesLists();
            FSetAside->Clear();
        };
        for (TStringsType type : {TStringsType::stCaptions, TStringsType::stHints, TStringsType::stDisplayLabels})
            if (FExcludedProperties.IndexOf(StringsTypeDefaultProperty(type)) < 0)
                step(type);
        if (FExcludedProperties.IndexOf("Font") < 0 && HasPropertyOfKind(Owner(), "Font", {TTypeKind::tkClass}, "TFont"))
            step(TStringsType::stFonts);
        step(TStringsType::stMultiLines);
        step(TStringsType::stOtherStrings);
        step(TStringsType::stCollections);
        RemoveStaleEntries();
        RefreshExtendedTranslations();
    } catch (const Exception&) {
    }
}
