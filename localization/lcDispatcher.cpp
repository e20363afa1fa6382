// The dispatcher: the one place that switches the language of every
// translation component linked to it.
#include "localization/lcComp.h"

#include "localization/lcFiles.h"

#include <filesystem>

// ---- the dispatcher ---------------------------------------------------------------

TlcLangDispatcher::TlcLangDispatcher(QObject* owner)
    : TlcComponent(owner), FTestModeInfo(std::make_unique<::TTestModeInfo>())
{
}

TlcLangDispatcher::~TlcLangDispatcher()
{
    while (!FLinked.empty()) {
        TlcCustomLang* lang = FLinked.back();
        FLinked.pop_back();
        if (lang->FLangDispatcher == this)
            lang->FLangDispatcher = nullptr;
    }
}

bool TlcLangDispatcher::IsLinked(const TlcCustomLang* lang) const
{
    return std::find(FLinked.begin(), FLinked.end(), lang) != FLinked.end();
}

std::vector<QPointer<TlcCustomLang>> TlcLangDispatcher::LinkedSnapshot() const
{
    // Handlers may create or destroy forms while the dispatcher walks its
    // components; it walks a copy and skips whoever left meanwhile.
    return std::vector<QPointer<TlcCustomLang>>(FLinked.begin(), FLinked.end());
}

void TlcLangDispatcher::SetActiveLanguage(int value)
{
    if (value == FActiveLanguage)
        return;
    if (!Loading()) {
        // Every component is checked before any is switched, in link order,
        // so the error is the one the first refusing component gives; with
        // none refusing, the dispatcher's own range still holds.
        for (TlcCustomLang* lang : FLinked)
            if (!lang->Loading() && value != lang->ActiveLanguage() && (value < 1 || value > lang->NumOfLanguages()))
                throw ELanguageError(lang->ActiveLanguageError(value));
        if (value < 1 || value > FNumOfLanguages) {
            const QObject* root = Owner();
            throw ELanguageError(
                root ? Format("%s: %d - is not a valid property value!\rValue must be within [1..%d]!",
                              ClassNameOf(root).c_str(), value, FNumOfLanguages)
                     : Format("%d - is not a valid property value!\rValue must be within [1..%d]!", value,
                              FNumOfLanguages));
        }
    }
    if (FOnLanguageChanging) {
        bool allow = true;
        FOnLanguageChanging(this, value, allow);
        if (!allow)
            return;
    }
    for (const QPointer<TlcCustomLang>& lang : LinkedSnapshot()) {
        if (!lang || !IsLinked(lang) || !lang->OnLanguageChanging())
            continue;
        bool allow = true;
        lang->OnLanguageChanging()(lang.data(), value, allow);
        if (!allow)
            return;
    }
    FActiveLanguage = value;
    for (const QPointer<TlcCustomLang>& lang : LinkedSnapshot()) {
        if (!lang || !IsLinked(lang))
            continue;
        struct TFlag {
            QPointer<TlcCustomLang> Lang;
            ~TFlag()
            {
                if (Lang)
                    Lang->FFromDispatcher = false;
            }
        } flag{lang};
        lang->FFromDispatcher = true;
        lang->SetActiveLanguage(value);
    }
    if (!Loading() && FLangNames.Count() >= value)
        FLanguage = FLangNames[value - 1];
    if (FOnLanguageChanged)
        FOnLanguageChanged(this);
}

void TlcLangDispatcher::SetNumOfLanguages(int value)
{
    if (value < 1)
        throw ELanguageError(ZeroLanguagesMessage(value));
    FNumOfLanguages = value;
    while (FLangNames.Count() < value)
        FLangNames.Add("Language N" + std::to_string(FLangNames.Count() + 1));
    while (FLangNames.Count() > value)
        FLangNames.Delete(FLangNames.Count() - 1);
    for (const QPointer<TlcCustomLang>& lang : LinkedSnapshot())
        if (lang && IsLinked(lang))
            lang->SetNumOfLanguages(value);
}

void TlcLangDispatcher::SetLangNames(const TlcStringList& value)
{
    if (&value == &FLangNames)
        return;
    if (value.Empty())
        throw ELanguageError(ZeroLanguagesMessage(0));
    const std::string language = FActiveLanguage - 1 < value.Count() ? value[FActiveLanguage - 1] : FLanguage;
    // Each linked component takes the dispatcher's language by name; a name
    // the new list lacks would stop the hand-over half way.
    if (!FLinked.empty() && value.IndexOf(language) < 0)
        throw ELanguageError(kLanguageNameMessage);
    FLangNames = value;
    FLanguage = language;
    for (const QPointer<TlcCustomLang>& lang : LinkedSnapshot()) {
        if (!lang || !IsLinked(lang))
            continue;
        lang->FLangNames = FLangNames;
        lang->SetLanguage(FLanguage);
    }
    SetNumOfLanguages(FLangNames.Count());
}

void TlcLangDispatcher::SetLanguage(const std::string& value)
{
    if (value == FLanguage)
        return;
    const int index = FLangNames.IndexOf(value);
    if (index < 0 && !FLangNames.Empty())
        throw ELanguageError(kLanguageNameMessage);
    const std::string old = FLanguage;
    FLanguage = value;
    if (!Loading() && !FLangNames.Empty()) {
        try {
            SetActiveLanguage(index + 1);
        } catch (...) {
            FLanguage = old;
            throw;
        }
        if (FActiveLanguage != index + 1)
            FLanguage = old;
    }
}

void TlcLangDispatcher::SetUseDefaultLanguage(bool value)
{
    if (value == FUseDefaultLanguage)
        return;
    FUseDefaultLanguage = value;
    for (const QPointer<TlcCustomLang>& lang : LinkedSnapshot())
        if (lang && IsLinked(lang))
            lang->SetUseDefaultLanguage(value);
}

void TlcLangDispatcher::SetDefaultLanguage(int value)
{
    if (value < 1 || value > FNumOfLanguages || value == FDefaultLanguage)
        return;
    FDefaultLanguage = value;
    for (const QPointer<TlcCustomLang>& lang : LinkedSnapshot())
        if (lang && IsLinked(lang))
            lang->SetDefaultLanguage(value);
}

void TlcLangDispatcher::AddLinkedLang(TlcCustomLang* lang)
{
    if (!lang || IsLinked(lang))
        return;
    // A component is linked to one dispatcher at a time, the one it names.
    if (lang->FLangDispatcher != this) {
        if (lang->FLangDispatcher)
            lang->FLangDispatcher->RemoveLinkedLang(lang);
        lang->FLangDispatcher = this;
    }
    FLinked.push_back(lang);
    lang->SetNumOfLanguages(FNumOfLanguages);
    lang->FLangNames = FLangNames;
    lang->FLanguage = FLanguage;
    if (FOnLinkToDispatcher)
        FOnLinkToDispatcher(this, lang);
    std::string file = FFileName;
    std::error_code error;
    if (!file.empty() && !std::filesystem::exists(file, error))
        file = std::filesystem::absolute(file, error).string();
    bool loaded = false;
    if (!file.empty() && std::filesystem::exists(file, error)) {
        if (IsLCBFile(file) && !FLCBFileManager) {
            FLCBFileManager = std::make_unique<TLCBFileManager>();
            FLCBFileManager->SetFileName(file);
        }
        const int old = lang->FActiveLanguage;
        lang->FActiveLanguage = FActiveLanguage;
        loaded = lang->LoadTranslationFile(file);
        if (loaded) {
            FLangNames = lang->FLangNames;
            FNumOfLanguages = lang->FNumOfLanguages;
        } else {
            lang->FActiveLanguage = old;
        }
    }
    if (!loaded)
        lang->SetActiveLanguage(FActiveLanguage);
    lang->UpdateCodePage();
}

void TlcLangDispatcher::RemoveLinkedLang(TlcCustomLang* lang)
{
    const auto it = std::find(FLinked.begin(), FLinked.end(), lang);
    if (it != FLinked.end())
        FLinked.erase(it);
}
