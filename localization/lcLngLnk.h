#pragma once
// The translation component of a form: linked to the dispatcher of the data
// module, it keeps neither the dialog texts nor the locale settings in its
// data; it may copy them from a common container.
#include "localization/lcComp.h"

#include <functional>
#include <string>

class TlcLangLinked : public TlcCustomLang {
    Q_OBJECT
    Q_PROPERTY(TlcStringList Captions READ Captions WRITE SetCaptions)
    Q_PROPERTY(TlcStringList Hints READ Hints WRITE SetHints)
    Q_PROPERTY(TlcStringList DisplayLabels READ DisplayLabels WRITE SetDisplayLabels)
    Q_PROPERTY(TlcStringList Strings READ Strings WRITE SetStrings)
    Q_PROPERTY(TlcStringList Fonts READ Fonts WRITE SetFonts)
    Q_PROPERTY(TlcStringList MultiLines READ MultiLines WRITE SetMultiLines)
    Q_PROPERTY(TlcStringList OtherStrings READ OtherStrings WRITE SetOtherStrings)
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
    Q_PROPERTY(TlcCustomLang* CommonContainer READ CommonContainer WRITE SetCommonContainer)
public:
    explicit TlcLangLinked(QObject* owner) : TlcCustomLang(owner) {}

    TlcCustomLang* CommonContainer() const { return FCommonContainer.data(); }
    // Ignored for the component itself; outside loading the load steps run again.
    void SetCommonContainer(TlcCustomLang* value);

    void Loaded() override;

private:
    QPointer<TlcCustomLang> FCommonContainer;
};

// A form's translation component as the form's data make it: a TlcLangLinked
// named "lcLangLinked", owned by the form, loaded by LoadFormTranslation from
// "<folder>/<formName>" with the dispatcher (none: the form's data alone)
// inside a loading bracket of its own, so that the form shows the active
// language when it returns. `prepare` runs on the new component before it
// loads, for what its first translation already reaches (OnChangeLanguage).
// Raises what loading raises; the component then stays with the form,
// unloaded.
TlcLangLinked* CreateFormTranslation(QObject* form, TlcLangDispatcher* dispatcher, const std::string& folder,
                                     const std::string& formName,
                                     const std::function<void(TlcLangLinked&)>& prepare = {});
