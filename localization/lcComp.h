#pragma once
// The translation components that every form and data module carries, the
// dispatcher that switches them all, and the look-up of texts by identifier.
// The component publishes its dispatcher as a typed property, which the
// meta-object code needs whole, so the two classes share this header; the
// sorted indexes and the test mode have headers of their own.
//
// A translation component holds the texts of all languages of its owner in
// twelve lists of delimited lines and keeps them in the owner's translation
// data (a file per form, compiled in as a Qt resource). At run time code asks
// it for texts by identifier ("IDS_14"); the dispatcher holds the active
// language of the program and switches every linked component in link order.
#include "localization/lcIndex.h"
#include "localization/lcTestMode.h"
#include "localization/lcUtils.h"
#include "platform/Component.h"
#include "platform/Cursor.h"
#include "platform/Exception.h"
#include "platform/Object.h"

#include <QFlags>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The engine's own failures; fixed English messages.
class ELanguageError : public Exception {
public:
    using Exception::Exception;
};

// The component's and the dispatcher's messages for a language count below
// one, and for a language that LangNames does not name.
std::string ZeroLanguagesMessage(int value);
extern const char* const kLanguageNameMessage;

// The twelve lists; the section name in the translation data is the name of
// the value, the list property its name without "st".
enum class TStringsType : int {
    stCaptions, stHints, stDisplayLabels, stFonts, stMultiLines, stDlgsCaptions, stStrings, stOtherStrings,
    stLocales, stCollections, stCharSets, stListView_TreeView_Items
};
constexpr int lcStringsTypeCount = 12;
const char* StringsTypeName(TStringsType type);       // "stCaptions"
const char* StringsTypePropertyName(TStringsType type); // "Captions" (none for the last)
const char* StringsTypeDefaultProperty(TStringsType type); // "Caption"

enum class TTranslateType : int { ttNoChange, ttGetDefault };
enum class TlcLangOption : unsigned { loUseExtUDStrings = 1, loUseExtCommonStrings = 2 };
Q_DECLARE_FLAGS(TlcLangOptions, TlcLangOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TlcLangOptions)

class TlcCustomLang;
class TlcLangDispatcher;
class TLCBFileManager;
class TlcMemIniFile;

using TLanguageChangingEvent = std::function<void(TObject* Sender, int NewLanguage, bool& AllowChange)>;
using TLinkToDispatcherEvent = std::function<void(TObject* Sender, TlcCustomLang* ALcLang)>;

// Tables of the engine.
constexpr int lcDialogItemCount = 86;
// Dialog item n (1-based) as the table has it, with "&".
const char* lcDialogItem(int n);
// The key of a dialog item: its text without "&".
std::string lcDialogKey(int n);
// True unless the key is one of the texts the engine's own message dialogs
// use (dialog items 1 to 15 without "&", compared with regard to case).
bool IsExtraDialogKey(std::string_view key);
constexpr int lcLocaleKeyCount = 15;
const char* lcLocaleKey(int n); // 1-based: "Currency String" ...
// The character-set names and their values; -1 for a name not in the table
// (compared with regard to case).
constexpr int DEFAULT_CHARSET = 1;
int lcCharsetByName(std::string_view name);
// The name of the first table entry of that value; empty when none.
std::string lcCharsetName(int value);
// The font of a component: its published "Font", or, for a widget that
// publishes none, the widget's own font (every control has one). False when
// the component has no font.
bool lcFindFontProperty(const QObject* object, QMetaProperty* property);
// Whether a control takes its parent's font: its published "ParentFont", or,
// for a widget that publishes none, whether it was never given a font of its
// own. False for anything else.
bool lcTakesParentFont(const QObject* object);

// A component of the engine: a QObject with a name, an owner and the loading
// state that reading a form's data puts it in.
class TlcComponent : public QObject, public TObject {
    Q_OBJECT
public:
    explicit TlcComponent(QObject* parent) : QObject(parent) {}
    QObject* Owner() const { return OwnerOf(this); }
    bool Loading() const { return FLoading; }
    // Puts the component into the loading state (TlcResourceLoading does this).
    void BeginLoading() { FLoading = true; }
    // The component's data has been read: ends the loading state first.
    virtual void Loaded() { FLoading = false; }
    void EndLoadingWithoutLoaded() { FLoading = false; }

private:
    bool FLoading = false;
};

// Stands in for reading a form resource: each component added is in the
// loading state while its settings are set (in the order of the form's data)
// and its translation data is read; Finish calls Loaded on each in the order
// they were added, which is their creation order. A bracket that is left
// without Finish (an exception passed) ends the loading state without Loaded.
class TlcResourceLoading {
public:
    TlcResourceLoading() = default;
    TlcResourceLoading(const TlcResourceLoading&) = delete;
    TlcResourceLoading& operator=(const TlcResourceLoading&) = delete;
    ~TlcResourceLoading();
    void Add(TlcComponent& component);
    void Finish();

private:
    std::vector<QPointer<TlcComponent>> FComponents;
};

// The bytes of a translation data file compiled in as a Qt resource
// (":/tessaro/lc/TfLanguage.dat"); raises Exception when there is none.
std::string LoadTranslationResource(const std::string& path);

// Sets a component's published settings as its form's data give them: one
// line per property, its name and its values separated by TABs (a flag true
// or false, a number, a text, or the lines of a list). Raises Exception for a
// property the component does not publish or a value it cannot take.
void ApplyTranslationSettings(TlcCustomLang& lang, std::string_view settings);

// Loads a form's translation component as the form's data would, inside the
// caller's TlcResourceLoading bracket: the language count, the dispatcher,
// then the other settings of "<folder>/<form>.lcs" (delimiter, language
// names, what the form's table sets), then the data "<folder>/<form>.dat".
void LoadFormTranslation(TlcCustomLang& lang, TlcLangDispatcher* dispatcher, const std::string& folder,
                         const std::string& form);


// ---- extended translations --------------------------------------------------

class TlcExtendedItems;

// One property of any kind, set by its path ("TfForm.Tag", "btnOK.Font.Name").
class TlcExtendedItem {
public:
    TlcExtendedItem() = default;
    explicit TlcExtendedItem(const TlcExtendedItems* collection) : FCollection(collection) {}
    std::string Identifier;
    TTypeKind PropertyType = TTypeKind::tkUnknown;
    std::string Values;    // the texts of all languages, each followed by the delimiter
    std::u16string ValuesW; // the 16-bit copy the data may bring

    // The identifier begins with the owner's class name and ".".
    bool IsRoot() const;
    // The identifier, or the class's name for an item without one.
    std::string DisplayName() const { return Identifier.empty() ? "TlcExtendedItem" : Identifier; }
    // Copies identifier, values and kind.
    void Assign(const TlcExtendedItem& source);

private:
    const TlcExtendedItems* FCollection = nullptr;
};

class TlcExtendedItems {
public:
    explicit TlcExtendedItems(const TlcCustomLang* owner = nullptr) : FOwner(owner) {}
    // The translation component whose items these are.
    const TlcCustomLang* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TlcExtendedItem& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    TlcExtendedItem& Add();
    void Delete(int index);
    void Clear() { FItems.clear(); }

private:
    const TlcCustomLang* FOwner;
    std::vector<std::unique_ptr<TlcExtendedItem>> FItems;
};
Q_DECLARE_METATYPE(TlcExtendedItems*)

// The published properties of one object, sorted by name; event properties
// and properties of no known kind are not listed.
class TlcPropInfoList {
public:
    // Raises Exception for no object.
    explicit TlcPropInfoList(const QObject* object);
    int Count() const { return static_cast<int>(FList.size()); }
    const QMetaProperty& Items(int index) const { return FList.at(static_cast<size_t>(index)); }
    // The first property of that name, without regard to case; none when absent.
    const QMetaProperty* Find(std::string_view name) const;

private:
    std::vector<QMetaProperty> FList;
};

// ---- the translation component ---------------------------------------------

class TlcCustomLang : public TlcComponent {
    Q_OBJECT
public:
    // Raises Exception "Only one TlcCustomLang component per Form/DataModule
    // allowed!" when the owner already has a translation component.
    explicit TlcCustomLang(QObject* owner);
    ~TlcCustomLang() override;

    // The lists. A setter copies the list in and applies it to the owner.
    const TlcStringList& Captions() const { return List(TStringsType::stCaptions); }
    void SetCaptions(const TlcStringList& value) { SetList(TStringsType::stCaptions, value); }
    const TlcStringList& Hints() const { return List(TStringsType::stHints); }
    void SetHints(const TlcStringList& value) { SetList(TStringsType::stHints, value); }
    const TlcStringList& DisplayLabels() const { return List(TStringsType::stDisplayLabels); }
    void SetDisplayLabels(const TlcStringList& value) { SetList(TStringsType::stDisplayLabels, value); }
    const TlcStringList& Fonts() const { return List(TStringsType::stFonts); }
    void SetFonts(const TlcStringList& value) { SetList(TStringsType::stFonts, value); }
    const TlcStringList& MultiLines() const { return List(TStringsType::stMultiLines); }
    void SetMultiLines(const TlcStringList& value) { SetList(TStringsType::stMultiLines, value); }
    const TlcStringList& DlgsCaptions() const { return List(TStringsType::stDlgsCaptions); }
    void SetDlgsCaptions(const TlcStringList& value) { SetList(TStringsType::stDlgsCaptions, value); }
    const TlcStringList& Strings() const { return List(TStringsType::stStrings); }
    void SetStrings(const TlcStringList& value) { SetList(TStringsType::stStrings, value); }
    const TlcStringList& OtherStrings() const { return List(TStringsType::stOtherStrings); }
    void SetOtherStrings(const TlcStringList& value) { SetList(TStringsType::stOtherStrings, value); }
    const TlcStringList& Locales() const { return List(TStringsType::stLocales); }
    void SetLocales(const TlcStringList& value) { SetList(TStringsType::stLocales, value); }
    const TlcStringList& Collections() const { return List(TStringsType::stCollections); }
    void SetCollections(const TlcStringList& value) { SetList(TStringsType::stCollections, value); }
    const TlcStringList& CharSets() const { return List(TStringsType::stCharSets); }
    void SetCharSets(const TlcStringList& value) { SetList(TStringsType::stCharSets, value); }

    // The list of that type when the component's class publishes it, else none.
    virtual TlcStringList* GetListByType(TStringsType type);
    const TlcStringList* GetListByType(TStringsType type) const;

    int NumOfLanguages() const { return FNumOfLanguages; }
    void SetNumOfLanguages(int value);
    int ActiveLanguage() const { return FActiveLanguage; }
    void SetActiveLanguage(int value);
    bool ChangeLocales() const { return FChangeLocales; }
    void SetChangeLocales(bool value);
    TlcLangDispatcher* LangDispatcher() const { return FLangDispatcher.data(); }
    void SetLangDispatcher(TlcLangDispatcher* value);
    unsigned char LangDelim() const { return FLangDelim; }
    // Replaces the delimiter in every line. A line break or its stored code
    // (13, 10, 25, 26) raises ELanguageError and changes nothing.
    void SetLangDelim(unsigned char value);
    const TlcStringList& DoNotTranslate() const { return FDoNotTranslate; }
    void SetDoNotTranslate(const TlcStringList& value);
    const TlcStringList& LangNames() const { return FLangNames; }
    void SetLangNames(const TlcStringList& value);
    const std::string& Language() const { return FLanguage; }
    void SetLanguage(const std::string& value);
    TTranslateType TranslateType() const { return FTranslateType; }
    void SetTranslateType(TTranslateType value) { FTranslateType = value; }
    TlcLangOptions Options() const { return FOptions; }
    void SetOptions(TlcLangOptions value);
    bool NeedAllDlgs() const { return FNeedAllDlgs; }
    void SetNeedAllDlgs(bool value);
    TCursor ChangingCursor() const { return FChangingCursor; }
    void SetChangingCursor(TCursor value) { FChangingCursor = value; }
    const TlcStringList& ExcludedProperties() const { return FExcludedProperties; }
    void SetExcludedProperties(const TlcStringList& value);
    bool DoRaiseExceptions() const { return FDoRaiseExceptions; }
    void SetDoRaiseExceptions(bool value) { FDoRaiseExceptions = value; }
    TlcExtendedItems* ExtendedTranslations() const { return FExtendedTranslations.get(); }
    std::string Version() const { return "6.4"; }
    void SetVersion(const std::string&) {}
    bool IsInheritedOwner() const { return FIsInheritedOwner; }
    void SetIsInheritedOwner(bool value) { FIsInheritedOwner = value; }
    const TlcStringList& StringsTypes() const { return FStringsTypes; }
    void SetStringsTypes(const TlcStringList& value);
    const TlcStringList& SmartExcludeProps() const { return FSmartExcludeProps; }
    void SetSmartExcludeProps(const TlcStringList& value);
    bool HandleResourceStrings() const { return FHandleResourceStrings; }
    void SetHandleResourceStrings(bool value) { FHandleResourceStrings = value; }
    int ResourceLanguageIndex() const { return FResourceLanguageIndex; }
    void SetResourceLanguageIndex(int value);
    bool TranslateExtendedFirst() const { return FTranslateExtendedFirst; }
    void SetTranslateExtendedFirst(bool value) { FTranslateExtendedFirst = value; }
    bool UseDefaultLanguage() const { return FUseDefaultLanguage; }
    void SetUseDefaultLanguage(bool value) { FUseDefaultLanguage = value; }
    int DefaultLanguage() const { return FDefaultLanguage; }
    void SetDefaultLanguage(int value);
    bool AutoSkipEmpties() const { return FAutoSkipEmpties; }
    void SetAutoSkipEmpties(bool value);
    bool StoreAsUTF8() const { return FStoreAsUTF8; }
    void SetStoreAsUTF8(bool value);
    bool UseTaskMsgDlg() const { return FUseTaskMsgDlg; }
    void SetUseTaskMsgDlg(bool value) { FUseTaskMsgDlg = value; }

    const TNotifyEvent& OnChangeLanguage() const { return FOnChangeLanguage; }
    void SetOnChangeLanguage(TNotifyEvent value) { FOnChangeLanguage = std::move(value); }
    const TLanguageChangingEvent& OnLanguageChanging() const { return FOnLanguageChanging; }
    void SetOnLanguageChanging(TLanguageChangingEvent value) { FOnLanguageChanging = std::move(value); }

    // The translation data: reader, writer and whether it is written at all
    // (always without an ancestor; with one only when a list differs).
    void ReadTranslationData(std::string_view data);
    std::string WriteTranslationData() const;
    bool HasTranslationData(const TlcCustomLang* ancestor) const;

    // Operations on the lists.
    virtual bool IsStringsType(std::string_view className) const;
    // Sets the text of one language of the first line with that key; a key
    // that no line has changes nothing.
    virtual void SetTranslation(TlcStringList& list, const std::string& text, int language, const std::string& key);
    void SetTranslation(TStringsType type, const std::string& text, int language, const std::string& key);

    // Translation files (lcFiles.cpp): the lists loaded from, saved to,
    // merged with and imported from INI text (streams are the file's bytes),
    // and read from ".LCB" files. A list is given by its type; the counts are
    // of keys read or entries written, -1 when the list could not be loaded.
    virtual int LoadListFromIni(TStringsType list, std::string_view stream, bool clearFirst);
    // Keeps the stream's other content (other sections, other owners' keys).
    virtual int SaveListToIni(TStringsType list, std::string& stream, const std::string& fileDelimiter);
    virtual void LoadAllFromIni(std::string_view stream, bool clearFirst, bool noTranslation);
    // Appends the rendered file to the stream.
    virtual void SaveAllToIni(std::string& stream, const std::string& fileDelimiter);
    // Reloads one list, keeping the entries the stream lacks.
    virtual bool MergeListFromIni(TStringsType list, std::string_view stream);
    virtual bool UpdateFromIni(std::string_view stream);
    virtual bool MergeAllFromIni(std::string_view stream);
    virtual int LoadListFromFile(TStringsType list, const std::string& fileName, bool clearFirst);
    virtual int SaveListToFile(TStringsType list, const std::string& fileName, const std::string& fileDelimiter);
    virtual void LoadAllFromFile(const std::string& fileName, bool clearFirst);
    virtual void SaveAllToFile(const std::string& fileName, const std::string& fileDelimiter);
    virtual int LoadStringsFromFile(const std::string& fileName, bool clearFirst);
    virtual int SaveStringsToFile(const std::string& fileName, const std::string& fileDelimiter);
    // An INI or ".LCB" file.
    virtual bool MergeListFromFile(TStringsType list, const std::string& fileName);
    virtual bool UpdateFromFile(const std::string& fileName);
    virtual void ReadAllFromFile(const std::string& fileName, bool clearFirst);
    virtual bool MergeAllFromFile(const std::string& fileName);
    // One language of an INI file into one list, into the extended
    // translations, into everything.
    virtual void ImportLanguageList(TStringsType list, const std::string& fileName, const std::string& languageName);
    virtual void ImportLanguageExtended(const std::string& fileName, const std::string& languageName);
    virtual void ImportLanguage(const std::string& fileName, const std::string& languageName);
    void LoadExtendedFromIni(std::string_view stream, bool clearFirst);
    void SaveExtendedToIni(std::string& stream, const std::string& fileDelimiter);
    // This component's data from an ".LCB" file, read by the dispatcher's
    // reader when it holds one for a file of that name.
    void LoadFromLCB(const std::string& fileName);
    void LoadListFromLCB(TStringsType list, const std::string& fileName);
    // The language names a translation file holds (a ".LCB" file, else an
    // INI file), read through a transient component of this class; a file
    // that names none gives this component's names. A missing file leaves
    // Names as it is; a file of another kind raises.
    void LoadLanguageNames(const std::string& fileName, TlcStringList& names);
    // An operation on all lists runs: the single lists leave out their
    // closing steps (preparing, indexes, translation), run once at its end.
    bool BulkUpdate() const { return FBulkUpdate; }
    // The languages that the last loaded file marked fixed.
    const TlcStringList& FixedLanguages() const { return FFixedLanguages; }
    void ReplaceDelimiter(unsigned char oldDelim, unsigned char newDelim);
    // Every byte oldDelim in the values of the extended translations.
    void ReplaceDelimiterInExtended(unsigned char oldDelim, unsigned char newDelim);
    void PadLanguageFields();
    void UpdateCodePage();
    void RebuildStringIndexes();
    std::string ExtractFieldWithDefault(std::string_view line, unsigned char delim, int language) const;
    std::string BuildLanguageFields(const std::string& text, int language) const;
    std::string GetTextByKey(const TlcStringList& list, std::string_view key, int language) const;
    int GetLanguageCharset(int language);
    int CodePageCharset() const { return FCodePageCharset; }
    int LanguageCharset(int language) const;

    // Writes the texts of the active language into the owner and its
    // components: the owner's caption and hint, the lists the selector names
    // (all of them after a language change), the owner's font, the extended
    // translations; ends with OnChangeLanguage.
    virtual void TranslateOwner();
    // Applies one list to the owner's components (PurgeList first).
    void ApplyList(TlcStringList& list, TStringsType type);
    // Removes the lines that cannot or need not be applied: lines of missing
    // components go to the set-aside list, action-linked captions and hints
    // and (with AutoSkipEmpties) lines without text are deleted.
    void PurgeList(TlcStringList& list, TStringsType type);
    // The text of line `index` in the active language, language 1's when that
    // is empty and `fallback` is on; empty outside the list.
    std::string GetEntryText(const TlcStringList& list, int index, bool fallback);
    // The lines PurgeList set aside (none before the first purge).
    const TlcStringList* SetAsideList() const { return FSetAside.get(); }

    // Published properties by name.
    bool HasPropertyOfKind(const QObject* object, std::string_view name, std::initializer_list<TTypeKind> kinds,
                           std::string_view className = {}) const;
    void SetPropertyText(QObject* object, const QMetaProperty& property, const std::string& text) const;
    void SetPropertyTextByName(QObject* object, std::string_view name, const std::string& text) const;
    std::string GetPropertyText(const QObject* object, std::string_view name) const;
    // The component's caption (or hint) is its action's.
    bool IsActionLinkedText(const QObject* component, TStringsType type) const;

    // Extended translations: properties of any kind set by their path
    // ("btnOK.Font.Name", "TfForm.Tag", "lcLangCombo.LanguageInfos[0].FontName").
    void ApplyExtendedTranslations();
    QObject* ResolvePathObject(const std::string& path) const;
    TTypeKind GetPropertyKindByPath(const std::string& path) const;
    std::string GetPropertyValueByPath(const std::string& path) const;
    // A text that does not parse, a missing object or property change nothing.
    void SetPropertyValueByPath(const std::string& path, const std::string& text) const;

    // Exclusions.
    bool IsPropertyExcluded(const std::string& componentName, const std::string& propertyPath) const;
    virtual void ApplyExcludedProperties();
    // Removes the lines of the listed components (names, the owner's class
    // name, "!TClass" for every component of a class). This is upkeep of the
    // designer and changes nothing outside design mode; at run time
    // DoNotTranslate acts through the checks of TranslateOwner and ApplyList.
    virtual void ApplyDoNotTranslate();
    // Re-encodes every stored text to (or from) UTF-8.
    void ConvertStoredTexts(bool toUTF8);
    // The scan (lcScan.cpp): reads the current texts of the owner and its
    // components and adds or updates one keyed line per property, reusing the
    // texts of lines set aside for components that are gone. The first
    // language receives the current value; other languages keep their texts.
    virtual void CollectTexts();
    void CollectList(TlcStringList& list, TStringsType type);
    // The MultiLines lines of the string lists of "Properties" objects.
    void CollectPropertiesLists();
    // Deletes the lines of one property: for MultiLines and OtherStrings the
    // key name "." property, for Collections the item prefix "." property
    // (every match), else the key name (the last match only).
    void DeleteEntriesByKey(TlcStringList& list, const std::string& componentName, TStringsType type,
                            const std::string& propertyName);
    // The first set-aside line whose text (active language, else language 1)
    // is Text; empty when none (an empty text matches none).
    std::string FindSetAsideLine(const std::string& text);
    // The family and the character set of the component's "Font"; empty and
    // 0 when it has none.
    std::string GetFontName(const QObject* component) const;
    int GetFontCharset(const QObject* component) const;
    // Deletes the lines of a component that the designer removed.
    enum class TOperation { opInsert, opRemove };
    virtual void RemoveComponentEntries(TlcStringList& list, const QObject* component, TStringsType type,
                                        TOperation operation);
    // Re-keys the lines of a component the designer renamed.
    virtual void RenameComponent(const std::string& oldName, const std::string& newName);
    // Deletes lines whose component or property is gone or of another kind.
    void RemoveStaleEntries();
    // Deletes extended translations whose property is gone and gives the
    // others the property's current value in the active language.
    void RefreshExtendedTranslations();
    // The program has no form designer: the component is never in design
    // mode at run time. The flag is the designer's switch; the scan's
    // design-time steps (updating existing texts, removing the lines of a
    // deleted component) act only while it is on.
    bool DesignMode() const { return FDesignMode; }
    void SetDesignMode(bool value) { FDesignMode = value; }

    // One language column of a line: removed (the number of fields stays, an
    // empty one at the end), or moved to another place.
    static std::string RemoveLanguageField(std::string_view line, int language, unsigned char delim);
    static void RemoveLanguageField(TlcStringList& list, int language, unsigned char delim);
    static std::string MoveLanguageField(std::string_view line, int from, int to, unsigned char delim);
    static void MoveLanguageField(TlcStringList& list, int from, int to, unsigned char delim);
    // Loads the dispatcher's external translation file (lcFiles): ".LCB"
    // files whole, INI files with clearing; false when it cannot be read.
    virtual bool LoadTranslationFile(const std::string& fileName);

    // Look-up by identifier.
    std::string GetTextOrDefault(const std::string& id);
    std::string GetText(const std::string& id);
    // A zero-terminated copy of GetTextOrDefault; none for an empty text.
    std::unique_ptr<char[]> GetTextPChar(const std::string& id);
    std::string LookupText(const TlcStringList& list, const std::string& id, bool fallback);
    std::u16string LookupTextW(const TlcStringList& list, const std::string& id, bool fallback);
    std::string GetTestModeText(std::string_view line, unsigned char delim) const;
    bool CanTranslateOwner() const;
    std::string GetStrPropAnsi(const QObject* instance, const QMetaProperty& property) const;
    bool TestModeActive() const;
    bool ProcessEscapesOn() const { return FProcessEscapes; }

    // The run-time indexes of Strings.
    void BuildStringIndex(TlcStringsCollection& index, int sortLanguage);
    TlcStringsCollection& StringIndex() { return FStringIndex; }
    TlcStringsCollection& ResourceIndex() { return FResourceIndex; }
    bool HasStringIndex() const { return FStringIndexBuilt; }
    // The process's resource-string translator (none until a component with
    // HandleResourceStrings has been loaded), and its look-up.
    static TlcCustomLang* ResourceStringTranslator();
    std::string TranslateResourceText(const std::string& text);

    // The captured locale value n (1..15), the first-language text of a
    // Locales entry.
    const std::string& CapturedLocale(int n) const { return FCapturedLocales.at(static_cast<size_t>(n - 1)); }
    int ListSelector() const { return FListSelector; }
    bool Transient() const { return FTransient; }
    // The component's class as the engine sees it (the published lists, the
    // class name a stream gives): its own, or the class it stands in for when
    // the engine made it in place of a class it cannot make (lcStream.h).
    const QMetaObject* ClassType() const { return FClassType ? FClassType : metaObject(); }
    void SetClassType(const QMetaObject* value) { FClassType = value; }
    // A transient component is one the engine reads a file into: it links to
    // no dispatcher, skips Loaded, never merges what it reads, and neither
    // translates nor scans its owner.
    void SetTransient(bool value) { FTransient = value; }
    bool OwnerHasNoFont() const { return FOwnerHasNoFont; }

    void Loaded() override;

    // A component of the owner went (it was destroyed): its name leaves
    // DoNotTranslate, its extended translations ("<name>.") are freed, and in
    // design mode its lines leave the lists. Destruction is the notice; the
    // component watches every component of its owner, also those made later.
    void ComponentRemoved(const QObject* component);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    const TlcStringList& List(TStringsType type) const { return FLists[static_cast<size_t>(type)]; }
    TlcStringList& List(TStringsType type) { return FLists[static_cast<size_t>(type)]; }
    void SetList(TStringsType type, const TlcStringList& value);
    void ApplyNeedAllDlgs();
    void EnsureStringIndexes();

private:
    friend class TlcLangDispatcher;
    friend class TlcTranslationFiles;
    bool FBulkUpdate = false;
    // The file that a load of all lists parsed once, shared by the loads of
    // the single lists it makes.
    TlcMemIniFile* FSharedIni = nullptr;
    TlcStringList FFixedLanguages;
    std::string LookupInIndex(const std::string& id, bool fallback);
    std::string LookupByScan(const TlcStringList& list, const std::string& id, bool fallback);
    [[noreturn]] void RaiseNotFound(const std::string& id) const;
    std::string ActiveLanguageError(int value) const;
    void ReadSection8(const std::vector<std::string>& lines, bool& sawUnicode);
    void ReadSections16(const std::vector<std::u16string>& lines);
    void StoreReadLine(TlcStringList& list, std::string line);
    // Watches the component, and the components it holds, for their going.
    void WatchComponent(QObject* component);

    std::array<TlcStringList, lcStringsTypeCount> FLists;
    int FNumOfLanguages = 1;
    int FActiveLanguage = 1;
    bool FChangeLocales = false;
    QPointer<TlcLangDispatcher> FLangDispatcher;
    TNotifyEvent FOnChangeLanguage;
    unsigned char FLangDelim = 1;
    TlcStringList FDoNotTranslate;
    TlcStringList FLangNames;
    std::string FLanguage;
    TTranslateType FTranslateType = TTranslateType::ttNoChange;
    TlcLangOptions FOptions;
    bool FNeedAllDlgs = false;
    TCursor FChangingCursor = -1;
    TlcStringList FExcludedProperties;
    bool FDoRaiseExceptions = false;
    std::unique_ptr<TlcExtendedItems> FExtendedTranslations;
    bool FIsInheritedOwner = false;
    TlcStringList FStringsTypes;
    TlcStringList FSmartExcludeProps;
    bool FHandleResourceStrings = false;
    int FResourceLanguageIndex = 1;
    bool FTranslateExtendedFirst = false;
    bool FUseDefaultLanguage = false;
    int FDefaultLanguage = 1;
    bool FAutoSkipEmpties = true;
    bool FStoreAsUTF8 = false;
    bool FUseTaskMsgDlg = true;
    TLanguageChangingEvent FOnLanguageChanging;

    std::string EntryText(const TlcStringList& list, TStringsType type, const std::string& line, int index);
    void TranslateOwnerText(const char* property, TStringsType type);
    void TranslateOwnerFont();
    void ApplyCollections(TlcStringList& list);
    void ApplyLocale(const std::string& key, const std::string& text);
    // The owner's component of that name (without regard to case); during a
    // pass over the lists from an index of the names made once for the pass.
    QObject* OwnedComponent(std::string_view name) const;
    friend class TComponentIndexScope;
    std::unordered_map<std::string, QPointer<QObject>> FComponentIndex;
    bool FComponentIndexOn = false;

    int FListSelector = -1;
    bool FTestModeNow = false;
    std::unique_ptr<TlcStringList> FSetAside;
    bool FTransient = false;
    const QMetaObject* FClassType = nullptr;
    bool FOwnerHasNoFont = true;
    bool FFromDispatcher = false;
    bool FProcessEscapes = false;
    bool FDesignMode = false;
    void CollectOwnerEntry(const char* property, TStringsType type);
    void CollectEntry(TlcStringList& list, TStringsType type, const QObject* component, const std::string& key,
                      const std::string& value);
    void RemoveStaleLines(TlcStringList& list, TStringsType type);
    int FCodePageCharset = DEFAULT_CHARSET;
    std::vector<int> FLanguageCharsets;
    QPointer<TlcCustomLang> FSharedSource;
    std::vector<std::string> FCapturedLocales;

    TlcStringsCollection FStringIndex{this};
    TlcStringsCollection FResourceIndex{this};
    bool FStringIndexBuilt = false;
    bool FResourceIndexBuilt = false;
    std::uint64_t FStringIndexVersion = 0;
    std::uint64_t FResourceIndexVersion = 0;
    int FStringIndexLanguages = 0;
    int FResourceIndexLanguages = 0;
};

// The translation component of the data module; it publishes every list.
class TlcLang : public TlcCustomLang {
    Q_OBJECT
    Q_PROPERTY(TlcStringList Captions READ Captions WRITE SetCaptions)
    Q_PROPERTY(TlcStringList Hints READ Hints WRITE SetHints)
    Q_PROPERTY(TlcStringList DisplayLabels READ DisplayLabels WRITE SetDisplayLabels)
    Q_PROPERTY(TlcStringList Strings READ Strings WRITE SetStrings)
    Q_PROPERTY(TlcStringList Fonts READ Fonts WRITE SetFonts)
    Q_PROPERTY(TlcStringList MultiLines READ MultiLines WRITE SetMultiLines)
    Q_PROPERTY(TlcStringList DlgsCaptions READ DlgsCaptions WRITE SetDlgsCaptions)
    Q_PROPERTY(TlcStringList OtherStrings READ OtherStrings WRITE SetOtherStrings)
    Q_PROPERTY(TlcStringList Locales READ Locales WRITE SetLocales)
    Q_PROPERTY(TlcStringList CharSets READ CharSets WRITE SetCharSets)
    Q_PROPERTY(TlcStringList Collections READ Collections WRITE SetCollections)
    Q_PROPERTY(int NumOfLanguages READ NumOfLanguages WRITE SetNumOfLanguages)
    Q_PROPERTY(int ActiveLanguage READ ActiveLanguage WRITE SetActiveLanguage)
    Q_PROPERTY(bool ChangeLocales READ ChangeLocales WRITE SetChangeLocales)
    Q_PROPERTY(TlcLangDispatcher* LangDispatcher READ LangDispatcher WRITE SetLangDispatcher)
    Q_PROPERTY(uchar LangDelim READ LangDelim WRITE SetLangDelim)
    Q_PROPERTY(TlcStringList DoNotTranslate READ DoNotTranslate WRITE SetDoNotTranslate)
    Q_PROPERTY(TlcStringList LangNames READ LangNames WRITE SetLangNames)
    Q_PROPERTY(std::string Language READ Language WRITE SetLanguage)
    Q_PROPERTY(TTranslateType TranslateType READ TranslateType WRITE SetTranslateType)
    Q_PROPERTY(TlcLangOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool NeedAllDlgs READ NeedAllDlgs WRITE SetNeedAllDlgs)
    Q_PROPERTY(int ChangingCursor READ ChangingCursor WRITE SetChangingCursor)
    Q_PROPERTY(TlcStringList ExcludedProperties READ ExcludedProperties WRITE SetExcludedProperties)
    Q_PROPERTY(bool DoRaiseExceptions READ DoRaiseExceptions WRITE SetDoRaiseExceptions)
    Q_PROPERTY(TlcExtendedItems* ExtendedTranslations READ ExtendedTranslations)
    Q_PROPERTY(std::string Version READ Version WRITE SetVersion)
    Q_PROPERTY(bool IsInheritedOwner READ IsInheritedOwner WRITE SetIsInheritedOwner)
    Q_PROPERTY(TlcStringList StringsTypes READ StringsTypes WRITE SetStringsTypes)
    Q_PROPERTY(TlcStringList SmartExcludeProps READ SmartExcludeProps WRITE SetSmartExcludeProps)
    Q_PROPERTY(bool HandleResourceStrings READ HandleResourceStrings WRITE SetHandleResourceStrings)
    Q_PROPERTY(int ResourceLanguageIndex READ ResourceLanguageIndex WRITE SetResourceLanguageIndex)
    Q_PROPERTY(bool TranslateExtendedFirst READ TranslateExtendedFirst WRITE SetTranslateExtendedFirst)
    Q_PROPERTY(bool UseDefaultLanguage READ UseDefaultLanguage WRITE SetUseDefaultLanguage)
    Q_PROPERTY(int DefaultLanguage READ DefaultLanguage WRITE SetDefaultLanguage)
    Q_PROPERTY(bool AutoSkipEmpties READ AutoSkipEmpties WRITE SetAutoSkipEmpties)
    Q_PROPERTY(bool StoreAsUTF8 READ StoreAsUTF8 WRITE SetStoreAsUTF8)
    Q_PROPERTY(bool UseTaskMsgDlg READ UseTaskMsgDlg WRITE SetUseTaskMsgDlg)
public:
    explicit TlcLang(QObject* owner) : TlcCustomLang(owner) {}
};

// The one dispatcher: the active language of every linked component.
class TlcLangDispatcher : public TlcComponent {
    Q_OBJECT
    Q_PROPERTY(int ActiveLanguage READ ActiveLanguage WRITE SetActiveLanguage)
    Q_PROPERTY(int NumOfLanguages READ NumOfLanguages WRITE SetNumOfLanguages)
    Q_PROPERTY(TlcStringList LangNames READ LangNames WRITE SetLangNames)
    Q_PROPERTY(std::string Language READ Language WRITE SetLanguage)
    Q_PROPERTY(std::string FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(TTestModeInfo* TestModeInfo READ TestModeInfo CONSTANT)
    Q_PROPERTY(bool UseDefaultLanguage READ UseDefaultLanguage WRITE SetUseDefaultLanguage)
    Q_PROPERTY(int DefaultLanguage READ DefaultLanguage WRITE SetDefaultLanguage)
public:
    explicit TlcLangDispatcher(QObject* owner);
    ~TlcLangDispatcher() override;

    int ActiveLanguage() const { return FActiveLanguage; }
    // Switches every linked component, in link order, after asking the
    // dispatcher's and then each component's veto. A number outside
    // 1..NumOfLanguages raises ELanguageError and changes nothing.
    void SetActiveLanguage(int value);
    int NumOfLanguages() const { return FNumOfLanguages; }
    void SetNumOfLanguages(int value);
    const TlcStringList& LangNames() const { return FLangNames; }
    void SetLangNames(const TlcStringList& value);
    const std::string& Language() const { return FLanguage; }
    void SetLanguage(const std::string& value);
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& value) { FFileName = value; }
    ::TTestModeInfo* TestModeInfo() const { return FTestModeInfo.get(); }
    bool UseDefaultLanguage() const { return FUseDefaultLanguage; }
    void SetUseDefaultLanguage(bool value);
    int DefaultLanguage() const { return FDefaultLanguage; }
    void SetDefaultLanguage(int value);

    const TLinkToDispatcherEvent& OnLinkToDispatcher() const { return FOnLinkToDispatcher; }
    void SetOnLinkToDispatcher(TLinkToDispatcherEvent value) { FOnLinkToDispatcher = std::move(value); }
    const TLanguageChangingEvent& OnLanguageChanging() const { return FOnLanguageChanging; }
    void SetOnLanguageChanging(TLanguageChangingEvent value) { FOnLanguageChanging = std::move(value); }
    const TNotifyEvent& OnLanguageChanged() const { return FOnLanguageChanged; }
    void SetOnLanguageChanged(TNotifyEvent value) { FOnLanguageChanged = std::move(value); }

    void AddLinkedLang(TlcCustomLang* lang);
    void RemoveLinkedLang(TlcCustomLang* lang);
    // The reader of the ".LCB" file that FileName names, made the first time
    // a linking component loads one; none before.
    TLCBFileManager* LCBFileManager() const { return FLCBFileManager.get(); }
    int LinkedCount() const { return static_cast<int>(FLinked.size()); }
    TlcCustomLang* LinkedLang(int index) const { return FLinked.at(static_cast<size_t>(index)); }

private:
    bool IsLinked(const TlcCustomLang* lang) const;
    std::vector<QPointer<TlcCustomLang>> LinkedSnapshot() const;

    int FActiveLanguage = 1;
    int FNumOfLanguages = 1;
    TlcStringList FLangNames{"Language N1"};
    std::string FLanguage;
    std::string FFileName;
    std::unique_ptr<::TTestModeInfo> FTestModeInfo;
    bool FUseDefaultLanguage = false;
    int FDefaultLanguage = 1;
    TLinkToDispatcherEvent FOnLinkToDispatcher;
    TLanguageChangingEvent FOnLanguageChanging;
    TNotifyEvent FOnLanguageChanged;
    std::vector<TlcCustomLang*> FLinked;
    std::unique_ptr<TLCBFileManager> FLCBFileManager;
};
