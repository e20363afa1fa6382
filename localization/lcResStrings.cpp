#include "localization/lcResStrings.h"

#include "localization/lcComp.h"
#include "platform/Exception.h"

void TResourceModule::Register(int identifier, std::string text)
{
    const std::lock_guard<std::mutex> lock(FLock);
    FTexts[identifier] = std::move(text);
}

std::string TResourceModule::Load(int identifier) const
{
    const std::lock_guard<std::mutex> lock(FLock);
    const auto found = FTexts.find(identifier);
    return found == FTexts.end() ? std::string() : found->second;
}

bool TResourceModule::Has(int identifier) const
{
    const std::lock_guard<std::mutex> lock(FLock);
    return FTexts.count(identifier) > 0;
}

TResourceModule& MainResourceModule()
{
    static TResourceModule module;
    static std::once_flag registered;
    std::call_once(registered, [] {
        module.Register(SlcClassNotRegistered,
                        "Unable to obtain %s class reference for %s! Please be sure that the class is registered.");
        module.Register(SlcUnrecognizedStream, "Unrecognized stream format!");
        module.Register(SlcStringNotFound, "String identifier \"%s\" not found!");
    });
    return module;
}

std::string TranslatedLoadResString(const TResStringRec& rec)
{
    // The whole text: no buffer cuts a long message short.
    std::string text = rec.Text ? std::string(rec.Text)
                                : (rec.Module ? *rec.Module : MainResourceModule()).Load(rec.Identifier);
    TlcCustomLang* translator = TlcCustomLang::ResourceStringTranslator();
    if (translator && translator->ActiveLanguage() != translator->ResourceLanguageIndex()) {
        std::string translated = translator->TranslateResourceText(text);
        if (!translated.empty())
            text = std::move(translated);
    }
    return text;
}

std::string LoadStr(int identifier)
{
    TResStringRec rec;
    rec.Module = &MainResourceModule();
    rec.Identifier = identifier;
    return TranslatedLoadResString(rec);
}

std::string FmtLoadStr(int identifier, std::initializer_list<std::string> args)
{
    return FormatText(LoadStr(identifier), args);
}
