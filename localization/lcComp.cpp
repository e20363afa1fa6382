#include "localization/lcComp.h"

#include "localization/lcFiles.h"
#include "localization/lcResStrings.h"

#include <QChildEvent>
#include <QChar>
#include <QLocale>
#include <QString>

#include <algorithm>

bool lcDefaultProcessEscapes = false;

// ---- tables -----------------------------------------------------------------

namespace {
constexpr const char* kSectionNames[lcStringsTypeCount] = {
    "stCaptions", "stHints", "stDisplayLabels", "stFonts", "stMultiLines", "stDlgsCaptions", "stStrings",
    "stOtherStrings", "stLocales", "stCollections", "stCharSets", "stListView_TreeView_Items"};
constexpr const char* kListProperties[lcStringsTypeCount] = {
    "Captions", "Hints", "DisplayLabels", "Fonts", "MultiLines", "DlgsCaptions", "Strings",
    "OtherStrings", "Locales", "Collections", "CharSets", nullptr};
constexpr const char* kDefaultProperties[lcStringsTypeCount] = {
    "Caption", "Hint", "DisplayLabel", "Font", "TStrings", "Dialog", "Strings",
    "Other", "Locales", "Collections", "CharSet", "ListView_TreeView_Items"};

constexpr const char* kDialogItems[lcDialogItemCount] = {
    "Warning", "Error", "Information", "Confirm", "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry",
    "&Ignore", "&All", "N&o To All", "Y&es To All", "&Help", "&Open", "Look &in:", "File &name:",
    "Files of &type:", "&Read-only", "&Save", "&Drives:", "Save &in:", "Save as &type:", "&Basic colors:",
    "&Custom colors:", "&Define Custom Colors >>", "Color", "|S&olid", "Hu&e:", "&Sat:", "&Lum:", "&Red:",
    "&Green:", "Bl&ue:", "&Add to Custom Colors", "&Font:", "Font st&yle:", "Si&ze:", "&Color:", "&Apply",
    "Effects", "Stri&keout", "&Underline", "Sample", "Sc&ript:", "Printer", "&Name:", "&Properties",
    "Status:", "Type:", "Where:", "Comment:", "Paper", "&Source:", "Orientation", "P&ortrait", "L&andscape",
    "Print to f&ile", "Print", "Pa&ges", "&Selection", "&from:", "&to:", "Copies", "Number of &copies:",
    "C&ollate", "Fi&nd what:", "Match &whole words only", "Match &case", "Direction", "&Up", "&Down",
    "&Find Next", "&Replace", "Replace &All", "Re&place with:", "Picture:", "Preview", "New Folder",
    "Folder:", "(None)", "Close", "Network", "Print Setup", "Find"};

constexpr const char* kLocaleKeys[lcLocaleKeyCount] = {
    "Currency String", "Thousand Separator", "Decimal Separator", "Date Separator", "Short Date Format",
    "Long Date Format", "Time Separator", "Time AM String", "Time PM String", "Short Time Format",
    "Long Time Format", "Short Month Names", "Long Month Names", "Short Day Names", "Long Day Names"};

struct TCharsetEntry {
    const char* Name;
    int Value;
};
constexpr TCharsetEntry kCharsets[] = {
    {"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2}, {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129}, {"JOHAB_CHARSET", 130}, {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"GREEK_CHARSET", 161}, {"TURKISH_CHARSET", 162},
    {"VIETNAMESE_CHARSET", 163}, {"HEBREW_CHARSET", 177}, {"ARABIC_CHARSET", 178}, {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222}, {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255}};

// The system's own default list: 20 names, "HelpKeyword" twice. Kept as it stands on purpose (the
// count and the order are the system's; a doubled name costs only a second compare). Do not "fix" it.
const TlcStringList kExcludedPropertiesDefault = {
    "Category", "SecondaryShortCuts", "HelpKeyword", "InitialDir", "HelpKeyword", "ActivePage", "ImeName",
    "DefaultExt", "FileName", "FieldName", "PickList", "DisplayFormat", "EditMask", "KeyList",
    "LookupDisplayFields", "DropDownSpecRow", "TableName", "DatabaseName", "IndexName", "MasterFields"};

TlcCustomLang* gResourceStringTranslator = nullptr;


// The position just past the n-th delimiter (n >= 1), or npos.
size_t AfterDelimiter(std::string_view line, unsigned char delim, int n)
{
    size_t pos = 0;
    for (int k = 0; k < n; ++k) {
        const size_t found = line.find(static_cast<char>(delim), pos);
        if (found == std::string_view::npos)
            return std::string_view::npos;
        pos = found + 1;
    }
    return pos;
}

std::vector<std::string> CaptureLocaleValues()
{
    const QLocale locale;
    auto text = [](const QString& s) { return s.toStdString(); };
    auto separatorOf = [](const QString& format, const char* fallback) {
        for (QChar c : format)
            if (!c.isLetter() && !c.isSpace() && c != u'\'')
                return QString(c).toStdString();
        return std::string(fallback);
    };
    auto joined = [](auto name, int count, int first) {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << name(first + i);
        return names.join(u',').toStdString();
    };
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    // Day names from Sunday on.
    auto dayShort = [&](int i) { return locale.dayName(i == 0 ? 7 : i, QLocale::ShortFormat); };
    auto dayLong = [&](int i) { return locale.dayName(i == 0 ? 7 : i, QLocale::LongFormat); };
    return {
        text(locale.currencySymbol()),
        text(locale.groupSeparator()),
        text(locale.decimalPoint()),
        separatorOf(shortDate, "."),
        text(shortDate),
        text(locale.dateFormat(QLocale::LongFormat)),
        separatorOf(shortTime, ":"),
        text(locale.amText()),
        text(locale.pmText()),
        text(shortTime),
        text(locale.timeFormat(QLocale::LongFormat)),
        joined([&](int i) { return locale.monthName(i, QLocale::ShortFormat); }, 12, 1),
        joined([&](int i) { return locale.monthName(i, QLocale::LongFormat); }, 12, 1),
        joined(dayShort, 7, 0),
        joined(dayLong, 7, 0),
    };
}

QObject* CheckedOwner(QObject* owner)
{
    if (!owner)
        return owner;
    QObject* root = IsOwnerRoot(owner) ? owner : OwnerOf(owner);
    if (root) {
        for (QObject* component : OwnedComponents(root))
            if (qobject_cast<TlcCustomLang*>(component))
                throw Exception("Only one TlcCustomLang component per Form/DataModule allowed!");
    }
    return owner;
}

// Restores the screen cursor when a switch ends, whatever ends it.
class TCursorGuard {
public:
    explicit TCursorGuard(TCursor cursor)
    {
        if (cursor != -1 && ScreenCursor() == crDefault) {
            FSaved = ScreenCursor();
            FActive = true;
            SetScreenCursor(cursor);
        }
    }
    ~TCursorGuard()
    {
        if (FActive)
            SetScreenCursor(FSaved);
    }
    TCursorGuard(const TCursorGuard&) = delete;
    TCursorGuard& operator=(const TCursorGuard&) = delete;

private:
    TCursor FSaved = crDefault;
    bool FActive = false;
};

// The section a line opens, or -1; unicode tells the "_Unicode" form.
int SectionOf(std::string_view line, bool& unicode)
{
    unicode = false;
    if (line.size() < 6 || (line[0] != 's' && line[0] != 'S'))
        return -1;
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const std::string_view name = kSectionNames[t];
        if (lcSameText(line, name))
            return t;
        if (line.size() == name.size() + 8 && lcSameText(line.substr(0, name.size()), name)
            && lcSameText(line.substr(name.size()), "_Unicode")) {
            unicode = true;
            return t;
        }
    }
    return -1;
}

// Field n of a 16-bit line (as ExtractField).
std::u16string Field16(std::u16string_view text, char16_t delim, int n)
{
    if (n < 0 || text.empty())
        return {};
    if (n == 0) {
        const size_t end = text.find(delim, 1);
        return std::u16string(text.substr(0, end == std::u16string_view::npos ? text.size() : end));
    }
    size_t pos = 0;
    for (int k = 0; k < n; ++k) {
        const size_t found = text.find(delim, pos);
        if (found == std::u16string_view::npos)
            return {};
        pos = found + 1;
    }
    const size_t end = text.find(delim, pos);
    return std::u16string(text.substr(pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos));
}

// The fields of a line split at the delimiter; a trailing empty piece (the
// closing delimiter) is no field.
std::vector<std::string> FieldsOf(std::string_view line, unsigned char delim)
{
    const TlcStringList pieces = SplitText(line, lcDelim(delim));
    return pieces.Lines();
}

} // namespace

std::string ZeroLanguagesMessage(int value)
{
    return std::to_string(value) + " - is not a valid property value !\rValue must be more than ZERO !";
}

const char* const kLanguageNameMessage = "Language name shall be included in LangNames property!";

const char* StringsTypeName(TStringsType type)
{
    return kSectionNames[static_cast<int>(type)];
}

const char* StringsTypePropertyName(TStringsType type)
{
    return kListProperties[static_cast<int>(type)];
}

const char* StringsTypeDefaultProperty(TStringsType type)
{
    return kDefaultProperties[static_cast<int>(type)];
}

const char* lcDialogItem(int n)
{
    return (n >= 1 && n <= lcDialogItemCount) ? kDialogItems[n - 1] : "";
}

std::string lcDialogKey(int n)
{
    std::string key = lcDialogItem(n);
    key.erase(std::remove(key.begin(), key.end(), '&'), key.end());
    return key;
}

bool IsExtraDialogKey(std::string_view key)
{
    for (int n = 1; n <= 15; ++n)
        if (key == lcDialogKey(n))
            return false;
    return true;
}

const char* lcLocaleKey(int n)
{
    return (n >= 1 && n <= lcLocaleKeyCount) ? kLocaleKeys[n - 1] : "";
}

std::string lcCharsetName(int value)
{
    for (const TCharsetEntry& entry : kCharsets)
        if (entry.Value == value)
            return entry.Name;
    return {};
}

int lcCharsetByName(std::string_view name)
{
    for (const TCharsetEntry& entry : kCharsets)
        if (name == entry.Name)
            return entry.Value;
    return -1;
}

// ---- extended translations ----------------------------------------------

bool TlcExtendedItem::IsRoot() const
{
    const QObject* root = FCollection && FCollection->Owner() ? FCollection->Owner()->Owner() : nullptr;
    return root && lcStartsText(Identifier, ClassNameOf(root) + ".") >= 0;
}

void TlcExtendedItem::Assign(const TlcExtendedItem& source)
{
    Identifier = source.Identifier;
    Values = source.Values;
    PropertyType = source.PropertyType;
}

TlcExtendedItem& TlcExtendedItems::Add()
{
    FItems.push_back(std::make_unique<TlcExtendedItem>(this));
    return *FItems.back();
}

void TlcExtendedItems::Delete(int index)
{
    FItems.erase(FItems.begin() + index);
}

// ---- the translation component: construction --------------------------------

TlcCustomLang::TlcCustomLang(QObject* owner)
    : TlcComponent(CheckedOwner(owner)), FExtendedTranslations(std::make_unique<TlcExtendedItems>(this))
{
    FLangNames = {"Language N1"};
    FLanguage = "Language N1";
    TlcStringList& dialogs = List(TStringsType::stDlgsCaptions);
    for (int n = 1; n <= 15; ++n)
        dialogs.Add(lcDialogKey(n) + lcDelim(FLangDelim) + lcDialogItem(n) + lcDelim(FLangDelim));
    FCapturedLocales = CaptureLocaleValues();
    FExcludedProperties = kExcludedPropertiesDefault;
    FStringsTypes = {"TIB_STRINGLIST", "TSTRINGLIST"};
    FProcessEscapes = lcDefaultProcessEscapes;
    QObject* root = Owner();
    FOwnerHasNoFont = !lcFindFontProperty(root, nullptr);
    if (root) {
        root->installEventFilter(this);
        for (QObject* component : OwnedComponents(root))
            WatchComponent(component);
    }
}

void TlcCustomLang::WatchComponent(QObject* component)
{
    if (component == this)
        return;
    connect(component, &QObject::destroyed, this, &TlcCustomLang::ComponentRemoved, Qt::UniqueConnection);
    // Components that this one holds are the owner's too, unless it is an
    // owner of its own.
    if (IsOwnerRoot(component))
        return;
    component->installEventFilter(this);
    for (QObject* child : component->children())
        if (OwnerOf(child) == Owner())
            WatchComponent(child);
}

bool TlcCustomLang::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child && Owner() && OwnerOf(child) == Owner())
            WatchComponent(child);
    }
    return TlcComponent::eventFilter(watched, event);
}

void TlcCustomLang::ComponentRemoved(const QObject* component)
{
    // The object is half gone: its name is all there is to read.
    const std::string name = component ? component->objectName().toStdString() : std::string();
    if (name.empty() || component == Owner())
        return;
    for (int i = FDoNotTranslate.Count() - 1; i >= 0; --i)
        if (lcSameText(FDoNotTranslate[i], name))
            FDoNotTranslate.Delete(i);
    for (TStringsType type : {TStringsType::stCaptions, TStringsType::stHints, TStringsType::stDisplayLabels,
                              TStringsType::stFonts, TStringsType::stMultiLines, TStringsType::stOtherStrings,
                              TStringsType::stCharSets, TStringsType::stCollections})
        RemoveComponentEntries(List(type), component, type, TOperation::opRemove);
    RemoveComponentEntries(FSmartExcludeProps, component, TStringsType::stOtherStrings, TOperation::opRemove);
    for (int i = FExtendedTranslations->Count() - 1; i >= 0; --i)
        if (lcStartsText(FExtendedTranslations->Items(i).Identifier, name + ".") >= 0)
            FExtendedTranslations->Delete(i);
}

TlcCustomLang::~TlcCustomLang()
{
    if (gResourceStringTranslator == this)
        gResourceStringTranslator = nullptr;
    if (FLangDispatcher)
        FLangDispatcher->RemoveLinkedLang(this);
}

TlcCustomLang* TlcCustomLang::ResourceStringTranslator()
{
    return gResourceStringTranslator;
}

TlcStringList* TlcCustomLang::GetListByType(TStringsType type)
{
    const char* name = StringsTypePropertyName(type);
    if (!name || ClassType()->indexOfProperty(name) < 0)
        return nullptr;
    return &List(type);
}

const TlcStringList* TlcCustomLang::GetListByType(TStringsType type) const
{
    return const_cast<TlcCustomLang*>(this)->GetListByType(type);
}

void TlcCustomLang::SetList(TStringsType type, const TlcStringList& value)
{
    if (&value != &List(type))
        List(type) = value;
    if (type != TStringsType::stDlgsCaptions) {
        FListSelector = static_cast<int>(type);
        TranslateOwner();
    }
}

// ---- settings -----------------------------------------------------------------

void TlcCustomLang::SetNumOfLanguages(int value)
{
    if (value == FNumOfLanguages)
        return;
    if (value < 1)
        throw ELanguageError(ZeroLanguagesMessage(value));
    if (value < FNumOfLanguages) {
        for (int t = 0; t < lcStringsTypeCount; ++t) {
            TlcStringList* list = GetListByType(static_cast<TStringsType>(t));
            if (!list)
                continue;
            for (int i = 0; i < list->Count(); ++i) {
                const std::string& line = (*list)[i];
                const size_t cut = AfterDelimiter(line, FLangDelim, value + 1);
                if (cut != std::string::npos && cut < line.size())
                    list->Put(i, line.substr(0, cut));
            }
        }
    }
    FNumOfLanguages = value;
    while (FLangNames.Count() < value)
        FLangNames.Add("Language N" + std::to_string(FLangNames.Count() + 1));
    while (FLangNames.Count() > value)
        FLangNames.Delete(FLangNames.Count() - 1);
    if (!Loading()) {
        PadLanguageFields();
        RebuildStringIndexes();
    }
}

std::string TlcCustomLang::ActiveLanguageError(int value) const
{
    if (const QObject* root = Owner())
        return Format("%s: %d - is not a valid property value!\rValue must be within [1..%d]!",
                      ClassNameOf(root).c_str(), value, FNumOfLanguages);
    return Format("%d - is not a valid property value!\rValue must be within [1..%d]!", value, FNumOfLanguages);
}

void TlcCustomLang::SetActiveLanguage(int value)
{
    if (value == FActiveLanguage)
        return;
    if (value < 1 || value > FNumOfLanguages) {
        if (Loading())
            return;
        throw ELanguageError(ActiveLanguageError(value));
    }
    FListSelector = -1;
    // In the designer the texts on screen are collected before they are
    // replaced (never at run time: there is no designer in the program).
    if (FDesignMode && !Loading())
        CollectTexts();
    TCursorGuard cursor(FChangingCursor);
    if (!Loading() && !FFromDispatcher && FOnLanguageChanging) {
        bool allow = true;
        FOnLanguageChanging(this, value, allow);
        if (!allow)
            return;
    }
    FActiveLanguage = value;
    if (!Loading()) {
        if (FLangNames.Count() >= value)
            FLanguage = FLangNames[value - 1];
        TranslateOwner();
    }
}

void TlcCustomLang::SetChangeLocales(bool value)
{
    if (value == FChangeLocales)
        return;
    FChangeLocales = value;
    TlcStringList& locales = List(TStringsType::stLocales);
    if (value && locales.Empty())
        for (int n = 1; n <= lcLocaleKeyCount; ++n)
            locales.Add(lcLocaleKey(n) + lcDelim(FLangDelim) + CapturedLocale(n) + lcDelim(FLangDelim));
}

void TlcCustomLang::SetLangDispatcher(TlcLangDispatcher* value)
{
    if (value != FLangDispatcher && FLangDispatcher)
        FLangDispatcher->RemoveLinkedLang(this);
    FLangDispatcher = value;
    if (Loading()) {
        if (value) {
            FNumOfLanguages = value->NumOfLanguages();
            FDefaultLanguage = value->DefaultLanguage();
            FUseDefaultLanguage = value->UseDefaultLanguage();
        }
    } else if (value && Owner() && !FTransient) {
        value->AddLinkedLang(this);
    }
}

void TlcCustomLang::SetLangDelim(unsigned char value)
{
    if (value == FLangDelim)
        return;
    // Texts may hold line breaks, and the translation data store them as
    // 0x19 and 0x1A: a delimiter among these four would not read back as
    // written.
    if (value == '\r' || value == '\n' || value == 0x19 || value == 0x1A)
        throw ELanguageError(Format("%d - is not a valid delimiter!\rLine breaks and their codes 25 and 26 are "
                                    "kept in the texts.",
                                    static_cast<int>(value)));
    if (!Loading())
        ReplaceDelimiter(FLangDelim, value);
    FLangDelim = value;
}

void TlcCustomLang::SetDoNotTranslate(const TlcStringList& value)
{
    FDoNotTranslate = value;
    if (!Loading())
        ApplyDoNotTranslate();
}

void TlcCustomLang::SetLangNames(const TlcStringList& value)
{
    // No names would leave the component without a language.
    if (value.Empty())
        throw ELanguageError(ZeroLanguagesMessage(0));
    FLangNames = value;
    if (FLangNames.Count() >= FActiveLanguage)
        FLanguage = FLangNames[FActiveLanguage - 1];
    FNumOfLanguages = FLangNames.Count();
}

void TlcCustomLang::SetLanguage(const std::string& value)
{
    if (value == FLanguage)
        return;
    int index = FLangNames.IndexOf(value);
    if (index < 0) {
        if (!Loading())
            throw ELanguageError(kLanguageNameMessage);
        FLangNames.Add(value);
        index = FLangNames.Count() - 1;
    }
    const std::string old = FLanguage;
    FLanguage = value;
    if (!Loading() && !FTransient) {
        try {
            SetActiveLanguage(index + 1);
        } catch (...) {
            FLanguage = old;
            throw;
        }
        // A veto keeps the language, and so its name.
        if (FActiveLanguage != index + 1)
            FLanguage = old;
    }
}

void TlcCustomLang::SetOptions(TlcLangOptions value)
{
    FOptions = value;
}

void TlcCustomLang::SetNeedAllDlgs(bool value)
{
    FNeedAllDlgs = value;
    if (!Loading())
        ApplyNeedAllDlgs();
}

void TlcCustomLang::ApplyNeedAllDlgs()
{
    TlcStringList& dialogs = List(TStringsType::stDlgsCaptions);
    if (FNeedAllDlgs && dialogs.Count() < lcDialogItemCount) {
        for (int n = dialogs.Count() + 1; n <= lcDialogItemCount; ++n)
            dialogs.Add(lcDialogKey(n) + lcDelim(FLangDelim) + AnsiToUTF8(lcDialogItem(n), FCodePageCharset)
                        + lcDelim(FLangDelim));
    } else if (!FNeedAllDlgs && dialogs.Count() == lcDialogItemCount) {
        for (int i = dialogs.Count() - 1; i >= 0; --i)
            if (IsExtraDialogKey(lcLineKey(dialogs[i], FLangDelim)))
                dialogs.Delete(i);
    }
}

void TlcCustomLang::SetExcludedProperties(const TlcStringList& value)
{
    FExcludedProperties = value;
    if (!Loading()) {
        ApplyExcludedProperties();
        CollectTexts();
    }
}

void TlcCustomLang::SetStringsTypes(const TlcStringList& value)
{
    FStringsTypes = value;
    if (!Loading())
        CollectTexts();
}

void TlcCustomLang::SetSmartExcludeProps(const TlcStringList& value)
{
    FSmartExcludeProps = value;
    if (!Loading())
        CollectTexts();
}

void TlcCustomLang::SetResourceLanguageIndex(int value)
{
    if (value == FResourceLanguageIndex)
        return;
    if (!Loading() && (value < 1 || value > FNumOfLanguages))
        throw ELanguageError(
            Format("%d - is not a valid property value!\rValue must be within [1..%d]!", value, FNumOfLanguages));
    FResourceLanguageIndex = value;
    if (!Loading()) {
        FResourceIndex.SetSortLanguage(value);
        FResourceIndex.SortItems();
    }
}

void TlcCustomLang::SetDefaultLanguage(int value)
{
    if (value >= 1 && value <= FNumOfLanguages)
        FDefaultLanguage = value;
}

void TlcCustomLang::SetAutoSkipEmpties(bool value)
{
    if (value == FAutoSkipEmpties)
        return;
    FAutoSkipEmpties = value;
    if (value && !Loading())
        CollectTexts();
}

void TlcCustomLang::SetStoreAsUTF8(bool value)
{
    if (value != FStoreAsUTF8 && !Loading())
        ConvertStoredTexts(value);
    FStoreAsUTF8 = value;
}

// ---- translation data ---------------------------------------------------------

void TlcCustomLang::StoreReadLine(TlcStringList& list, std::string line)
{
    if (FIsInheritedOwner && !FTransient) {
        const std::string key = lcLineKey(line, FLangDelim);
        for (int i = 0; i < list.Count(); ++i) {
            if (!lcSameText(lcLineKey(list[i], FLangDelim), key))
                continue;
            const std::vector<std::string> oldFields = FieldsOf(list[i], FLangDelim);
            const std::vector<std::string> newFields = FieldsOf(line, FLangDelim);
            std::string merged = oldFields.empty() ? std::string() : oldFields[0];
            for (size_t f = 1; f < oldFields.size(); ++f)
                merged += '\x01' + ((f < newFields.size() && !newFields[f].empty()) ? newFields[f] : oldFields[f]);
            for (size_t f = std::max<size_t>(oldFields.size(), 1); f < newFields.size(); ++f)
                merged += '\x01' + newFields[f];
            merged += '\x01';
            list.Put(i, std::move(merged));
            return;
        }
    }
    const QObject* root = Owner();
    if (root) {
        const std::string prefix = ClassNameOf(root) + lcDelim(FLangDelim);
        if (line.compare(0, prefix.size(), prefix) == 0) {
            list.Insert(0, std::move(line));
            return;
        }
    }
    list.Add(std::move(line));
}

void TlcCustomLang::ReadSection8(const std::vector<std::string>& lines, bool& sawUnicode)
{
    TlcStringList* list = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool unicode = false;
        const int section = SectionOf(lines[i], unicode);
        if (section >= 0) {
            sawUnicode = sawUnicode || unicode;
            list = nullptr;
            if (i + 1 >= lines.size())
                break;
            list = GetListByType(static_cast<TStringsType>(section));
            if (list && (!FIsInheritedOwner || FTransient))
                list->Clear();
            continue;
        }
        if (list)
            StoreReadLine(*list, lcDecodeBreaks(lines[i]));
    }
}

void TlcCustomLang::ReadSections16(const std::vector<std::u16string>& lines)
{
    if (static_cast<int>(FLanguageCharsets.size()) < FNumOfLanguages)
        FLanguageCharsets.resize(static_cast<size_t>(FNumOfLanguages), DEFAULT_CHARSET);
    const char16_t delim = FLangDelim;
    TlcStringList* list = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool unicode = false;
        const int section = SectionOf(WideToAnsi(lines[i], DEFAULT_CHARSET), unicode);
        if (section >= 0) {
            list = nullptr;
            if (i + 1 >= lines.size())
                break;
            const auto type = static_cast<TStringsType>(section);
            if (type == TStringsType::stFonts || type == TStringsType::stCharSets)
                continue;
            list = GetListByType(type);
            if (list && !FIsInheritedOwner)
                list->Clear();
            continue;
        }
        if (!list)
            continue;
        const std::u16string line = lcDecodeBreaks(lines[i]);
        std::string converted = WideToAnsi(Field16(line, delim, 0), DEFAULT_CHARSET) + lcDelim(FLangDelim);
        for (int language = 1; language <= FNumOfLanguages; ++language) {
            const std::u16string text = Field16(line, delim, language);
            converted += FStoreAsUTF8 ? WideToAnsi(text, DEFAULT_CHARSET)
                                      : WideToAnsi(text, FLanguageCharsets[static_cast<size_t>(language - 1)]);
            converted += lcDelim(FLangDelim);
        }
        StoreReadLine(*list, std::move(converted));
    }
}

void TlcCustomLang::ReadTranslationData(std::string_view data)
{
    if (data.size() < 2)
        return;
    const bool wide = data[1] == '\0';
    std::u16string text16;
    TlcStringList split;
    if (wide) {
        text16.resize(data.size() / 2);
        for (size_t i = 0; i < text16.size(); ++i)
            text16[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i])
                                              | (static_cast<unsigned char>(data[2 * i + 1]) << 8));
        split.SetText(WideToAnsi(text16, DEFAULT_CHARSET));
    } else {
        split.SetText(data);
    }
    bool sawUnicode = false;
    ReadSection8(split.Lines(), sawUnicode);
    UpdateCodePage();
    if (!sawUnicode)
        return;
    for (int i = 0; i < FExtendedTranslations->Count(); ++i) {
        TlcExtendedItem& item = FExtendedTranslations->Items(i);
        if (!item.ValuesW.empty())
            item.Values = WideToAnsi(item.ValuesW, DEFAULT_CHARSET);
    }
    if (!wide)
        return;
    const TlcWideStringsAdapter adapter(text16);
    std::vector<std::u16string> lines16;
    lines16.reserve(static_cast<size_t>(adapter.Count()));
    for (int i = 0; i < adapter.Count(); ++i)
        lines16.push_back(adapter.Line(i));
    ReadSections16(lines16);
}

std::string TlcCustomLang::WriteTranslationData() const
{
    std::string out;
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const TlcStringList* list = GetListByType(static_cast<TStringsType>(t));
        if (!list)
            continue;
        out += kSectionNames[t];
        out += "\r\n";
        for (const std::string& line : list->Lines()) {
            out += lcEncodeBreaks(line);
            out += "\r\n";
        }
    }
    return out;
}

bool TlcCustomLang::HasTranslationData(const TlcCustomLang* ancestor) const
{
    if (!ancestor)
        return true;
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const TlcStringList* mine = GetListByType(static_cast<TStringsType>(t));
        const TlcStringList* theirs = ancestor->GetListByType(static_cast<TStringsType>(t));
        if (mine && theirs && mine->Text() != theirs->Text())
            return true;
    }
    return false;
}

// ---- loading --------------------------------------------------------------------

void TlcCustomLang::Loaded()
{
    TlcComponent::Loaded();
    if (FTransient || !Owner())
        return;
    ApplyNeedAllDlgs();
    if (FOptions.testFlag(TlcLangOption::loUseExtCommonStrings)) {
        List(TStringsType::stDlgsCaptions).Clear();
        List(TStringsType::stLocales).Clear();
    }
    if (FLangDelim == '\t') {
        FLangDelim = 1;
        ReplaceDelimiter('\t', 1);
    }
    auto firstHasTab = [this](TStringsType type) {
        const TlcStringList& list = List(type);
        return !list.Empty() && list[0].find('\t') != std::string::npos;
    };
    auto firstHasLanguageTabs = [this](TStringsType type) {
        const TlcStringList& list = List(type);
        return !list.Empty() && CountDelimiters(list[0], "\t") == FNumOfLanguages + 1;
    };
    if (firstHasTab(TStringsType::stDlgsCaptions) || firstHasTab(TStringsType::stLocales)
        || firstHasLanguageTabs(TStringsType::stCaptions) || firstHasLanguageTabs(TStringsType::stLocales)
        || firstHasLanguageTabs(TStringsType::stHints)) {
        ReplaceDelimiter(FLangDelim, '\t');
        ReplaceDelimiter('\t', FLangDelim);
    }
    TlcStringList& locales = List(TStringsType::stLocales);
    if (locales.Count() == 11)
        for (int n = 12; n <= lcLocaleKeyCount; ++n)
            locales.Add(lcLocaleKey(n) + lcDelim(FLangDelim) + CapturedLocale(n) + lcDelim(FLangDelim));
    ApplyExcludedProperties();
    BuildStringIndex(FStringIndex, 0);
    if (FLangDispatcher)
        FLangDispatcher->AddLinkedLang(this);
    if (FIsInheritedOwner)
        TranslateOwner();
    else
        UpdateCodePage();
    if (FHandleResourceStrings && !gResourceStringTranslator && Owner()) {
        gResourceStringTranslator = this;
        BuildStringIndex(FResourceIndex, FResourceLanguageIndex);
    }
}

// ---- operations on the lists ----------------------------------------------------

bool TlcCustomLang::IsStringsType(std::string_view className) const
{
    return FStringsTypes.IndexOf(className) >= 0;
}

void TlcCustomLang::SetTranslation(TStringsType type, const std::string& text, int language, const std::string& key)
{
    SetTranslation(List(type), text, language, key);
}

void TlcCustomLang::SetTranslation(TlcStringList& list, const std::string& text, int language, const std::string& key)
{
    const std::string stored = FStoreAsUTF8 ? AnsiToUTF8(text, LanguageCharset(language)) : text;
    TlcStringList& strings = List(TStringsType::stStrings);
    const bool isStrings = &list == &strings;
    if (isStrings)
        EnsureStringIndexes();
    int found = -1;
    for (int i = 0; i < list.Count(); ++i) {
        if (lcSameText(lcLineKey(list[i], FLangDelim), key)) {
            found = i;
            break;
        }
    }
    if (found < 0 || language < 1)
        return;
    const std::string& line = list[found];
    const size_t start = AfterDelimiter(line, FLangDelim, language);
    // A line without that many texts stays as it is, and so do the indexes.
    if (start == std::string::npos)
        return;
    const size_t end = line.find(static_cast<char>(FLangDelim), start);
    std::string rebuilt = line.substr(0, start) + stored;
    if (end != std::string::npos)
        rebuilt += line.substr(end);
    list.Put(found, std::move(rebuilt));
    if (!isStrings)
        return;
    // The indexes take the new text in place instead of being rebuilt, when
    // the key names one item; with duplicates the next look-up rebuilds them.
    for (TlcStringsCollection* index : {&FStringIndex, &FResourceIndex}) {
        const bool built = index == &FStringIndex ? FStringIndexBuilt : FResourceIndexBuilt;
        if (!built)
            continue;
        int at = -1;
        int matches = 0;
        for (int i = 0; i < index->Count(); ++i) {
            if (lcSameText(index->GetItem(i).ID, key)) {
                at = i;
                ++matches;
            }
        }
        if (matches != 1)
            continue;
        TlcStringsCollectionItem& item = index->GetItem(at);
        if (language <= item.Texts.Count()) {
            item.Texts.Put(language - 1, stored);
            // The resource index is sorted by one language's texts.
            if (index == &FResourceIndex && language == index->SortLanguage())
                index->SortItems();
        }
        (index == &FStringIndex ? FStringIndexVersion : FResourceIndexVersion) = strings.Version();
    }
}

void TlcCustomLang::ReplaceDelimiter(unsigned char oldDelim, unsigned char newDelim)
{
    const char from = static_cast<char>(oldDelim);
    const char to = static_cast<char>(newDelim);
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        TlcStringList* list = GetListByType(static_cast<TStringsType>(t));
        if (!list)
            continue;
        for (int i = 0; i < list->Count(); ++i) {
            if ((*list)[i].find(from) == std::string::npos)
                continue;
            std::string line = (*list)[i];
            std::replace(line.begin(), line.end(), from, to);
            list->Put(i, std::move(line));
        }
    }
    ReplaceDelimiterInExtended(oldDelim, newDelim);
}

void TlcCustomLang::ReplaceDelimiterInExtended(unsigned char oldDelim, unsigned char newDelim)
{
    for (int i = 0; i < FExtendedTranslations->Count(); ++i) {
        std::string& values = FExtendedTranslations->Items(i).Values;
        std::replace(values.begin(), values.end(), static_cast<char>(oldDelim), static_cast<char>(newDelim));
    }
}

void TlcCustomLang::PadLanguageFields()
{
    const std::string delim = lcDelim(FLangDelim);
    for (TStringsType type : {TStringsType::stStrings, TStringsType::stDlgsCaptions, TStringsType::stLocales}) {
        TlcStringList& list = List(type);
        for (int i = 0; i < list.Count(); ++i) {
            const int k = CountDelimiters(list[i], delim);
            if (k <= FNumOfLanguages) {
                std::string line = list[i];
                line.append(static_cast<size_t>(FNumOfLanguages - k + 1), static_cast<char>(FLangDelim));
                list.Put(i, std::move(line));
            }
        }
    }
}

int TlcCustomLang::LanguageCharset(int language) const
{
    if (language < 1 || language > static_cast<int>(FLanguageCharsets.size()))
        return DEFAULT_CHARSET;
    return FLanguageCharsets[static_cast<size_t>(language - 1)];
}

std::string TlcCustomLang::GetTextByKey(const TlcStringList& list, std::string_view key, int language) const
{
    for (const std::string& line : list.Lines()) {
        if (!lcSameText(lcLineKey(line, FLangDelim), key))
            continue;
        std::string text = ExtractField(line, FLangDelim, language);
        if (FStoreAsUTF8 && &list != &List(TStringsType::stFonts) && &list != &List(TStringsType::stCharSets))
            text = UTF8ToAnsi(text, LanguageCharset(language));
        return text;
    }
    return {};
}

int TlcCustomLang::GetLanguageCharset(int language)
{
    const TlcStringList& charsets = List(TStringsType::stCharSets);
    std::string name;
    const QObject* root = Owner();
    if (root && !FTransient)
        name = GetTextByKey(charsets, ClassNameOf(root), language);
    else if (!charsets.Empty())
        name = ExtractField(charsets[0], FLangDelim, language);
    if (name.empty()) {
        if (FSharedSource) {
            name = FSharedSource->GetTextByKey(FSharedSource->CharSets(), ClassNameOf(FSharedSource->Owner()), language);
        } else if (FLangDispatcher) {
            for (int i = 0; i < FLangDispatcher->LinkedCount(); ++i) {
                TlcCustomLang* other = FLangDispatcher->LinkedLang(i);
                if (other != this && other->Owner() && other->Owner()->isWidgetType())
                    FSharedSource = other;
            }
        }
    }
    const int value = lcCharsetByName(name);
    return value < 0 ? DEFAULT_CHARSET : value;
}

void TlcCustomLang::UpdateCodePage()
{
    std::vector<int> charsets;
    for (int language = 1; language <= FNumOfLanguages; ++language)
        charsets.push_back(GetLanguageCharset(language));
    FLanguageCharsets = std::move(charsets);
    FCodePageCharset = LanguageCharset(FActiveLanguage);
}

void TlcCustomLang::BuildStringIndex(TlcStringsCollection& index, int sortLanguage)
{
    const TlcStringList& strings = List(TStringsType::stStrings);
    index.Clear();
    for (const std::string& line : strings.Lines()) {
        TlcStringsCollectionItem& item = index.Add();
        item.ID = ExtractField(line, FLangDelim, 0);
        for (int language = 1; language <= FNumOfLanguages; ++language)
            item.Texts.Add(ExtractField(line, FLangDelim, language));
    }
    index.SetSortLanguage(sortLanguage);
    index.SortItems();
    if (&index == &FStringIndex) {
        FStringIndexBuilt = true;
        FStringIndexVersion = strings.Version();
        FStringIndexLanguages = FNumOfLanguages;
    } else if (&index == &FResourceIndex) {
        FResourceIndexBuilt = true;
        FResourceIndexVersion = strings.Version();
        FResourceIndexLanguages = FNumOfLanguages;
    }
}

void TlcCustomLang::RebuildStringIndexes()
{
    BuildStringIndex(FStringIndex, 0);
    if (FHandleResourceStrings && Owner())
        BuildStringIndex(FResourceIndex, FResourceLanguageIndex);
}

void TlcCustomLang::EnsureStringIndexes()
{
    // An index follows its list: whatever changed Strings since it was built
    // (an assignment, a file, an edit through GetListByType) rebuilds it.
    const TlcStringList& strings = List(TStringsType::stStrings);
    if (FStringIndexBuilt && (FStringIndexVersion != strings.Version() || FStringIndexLanguages != FNumOfLanguages))
        BuildStringIndex(FStringIndex, 0);
    if (FResourceIndexBuilt
        && (FResourceIndexVersion != strings.Version() || FResourceIndexLanguages != FNumOfLanguages))
        BuildStringIndex(FResourceIndex, FResourceLanguageIndex);
}

std::string TlcCustomLang::ExtractFieldWithDefault(std::string_view line, unsigned char delim, int language) const
{
    std::string text = ExtractField(line, delim, language);
    if (text.empty() && FUseDefaultLanguage && language != FDefaultLanguage)
        text = ExtractField(line, delim, FDefaultLanguage);
    return text;
}

std::string TlcCustomLang::BuildLanguageFields(const std::string& text, int language) const
{
    std::string out;
    for (int i = 1; i <= FNumOfLanguages; ++i) {
        out += static_cast<char>(FLangDelim);
        if (i == language)
            out += text;
    }
    return out;
}
