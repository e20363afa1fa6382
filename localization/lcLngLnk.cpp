#include "localization/lcLngLnk.h"

#include <algorithm>

void TlcLangLinked::SetCommonContainer(TlcCustomLang* value)
{
    if (value == FCommonContainer.data() || value == this)
        return;
    FCommonContainer = value;
    if (!Loading())
        Loaded();
}

void TlcLangLinked::Loaded()
{
    TlcCustomLang::Loaded();
    if (!FCommonContainer)
        return;
    const char from = static_cast<char>(FCommonContainer->LangDelim());
    const char to = static_cast<char>(LangDelim());
    for (TStringsType type : {TStringsType::stDlgsCaptions, TStringsType::stLocales}) {
        TlcStringList copy = type == TStringsType::stDlgsCaptions ? FCommonContainer->DlgsCaptions()
                                                                  : FCommonContainer->Locales();
        for (int i = 0; i < copy.Count(); ++i) {
            std::string line = copy[i];
            std::replace(line.begin(), line.end(), from, to);
            copy.Put(i, std::move(line));
        }
        List(type) = copy;
    }
}

TlcLangLinked* CreateFormTranslation(QObject* form, TlcLangDispatcher* dispatcher, const std::string& folder,
                                     const std::string& formName,
                                     const std::function<void(TlcLangLinked&)>& prepare)
{
    auto* lang = new TlcLangLinked(form);
    lang->setObjectName("lcLangLinked");
    if (prepare)
        prepare(*lang);
    TlcResourceLoading loading;
    loading.Add(*lang);
    LoadFormTranslation(*lang, dispatcher, folder, formName);
    loading.Finish();
    return lang;
}
