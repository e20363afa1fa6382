// Forms read their translation components as a form resource is read: the
// loading bracket, the resource data and the table's settings.
#include "localization/lcComp.h"

#include <QFile>

// ---- loading ----------------------------------------------------------------

TlcResourceLoading::~TlcResourceLoading()
{
    for (const QPointer<TlcComponent>& component : FComponents)
        if (component)
            component->EndLoadingWithoutLoaded();
}

void TlcResourceLoading::Add(TlcComponent& component)
{
    component.BeginLoading();
    FComponents.emplace_back(&component);
}

void TlcResourceLoading::Finish()
{
    std::vector<QPointer<TlcComponent>> components = std::move(FComponents);
    FComponents.clear();
    size_t i = 0;
    try {
        for (; i < components.size(); ++i)
            if (components[i])
                components[i]->Loaded();
    } catch (...) {
        for (++i; i < components.size(); ++i)
            if (components[i])
                components[i]->EndLoadingWithoutLoaded();
        throw;
    }
}

std::string LoadTranslationResource(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception("Translation data not found: " + path);
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void ApplyTranslationSettings(TlcCustomLang& lang, std::string_view settings)
{
    // Each setting through the component's own setter: the plug-in's copy of
    // the engine is loaded and unloaded with the plug-in, so no value of its
    // own types travels through the toolkit's type registry.
    using TFlag = void (TlcCustomLang::*)(bool);
    using TNumber = void (TlcCustomLang::*)(int);
    using TText = void (TlcCustomLang::*)(const std::string&);
    using TList = void (TlcCustomLang::*)(const TlcStringList&);
    static const std::map<std::string, TFlag> flags = {
        {"ChangeLocales", &TlcCustomLang::SetChangeLocales},
        {"NeedAllDlgs", &TlcCustomLang::SetNeedAllDlgs},
        {"DoRaiseExceptions", &TlcCustomLang::SetDoRaiseExceptions},
        {"IsInheritedOwner", &TlcCustomLang::SetIsInheritedOwner},
        {"HandleResourceStrings", &TlcCustomLang::SetHandleResourceStrings},
        {"TranslateExtendedFirst", &TlcCustomLang::SetTranslateExtendedFirst},
        {"UseDefaultLanguage", &TlcCustomLang::SetUseDefaultLanguage},
        {"AutoSkipEmpties", &TlcCustomLang::SetAutoSkipEmpties},
        {"StoreAsUTF8", &TlcCustomLang::SetStoreAsUTF8},
        {"UseTaskMsgDlg", &TlcCustomLang::SetUseTaskMsgDlg}};
    static const std::map<std::string, TNumber> numbers = {
        {"NumOfLanguages", &TlcCustomLang::SetNumOfLanguages},
        {"ChangingCursor", &TlcCustomLang::SetChangingCursor},
        {"ResourceLanguageIndex", &TlcCustomLang::SetResourceLanguageIndex},
        {"DefaultLanguage", &TlcCustomLang::SetDefaultLanguage}};
    static const std::map<std::string, TText> texts = {{"Language", &TlcCustomLang::SetLanguage},
                                                       {"Version", &TlcCustomLang::SetVersion}};
    static const std::map<std::string, TList> lists = {
        {"LangNames", &TlcCustomLang::SetLangNames},
        {"DoNotTranslate", &TlcCustomLang::SetDoNotTranslate},
        {"ExcludedProperties", &TlcCustomLang::SetExcludedProperties},
        {"StringsTypes", &TlcCustomLang::SetStringsTypes},
        {"SmartExcludeProps", &TlcCustomLang::SetSmartExcludeProps}};
    TlcStringList lines;
    lines.SetText(settings);
    for (const std::string& line : lines.Lines()) {
        if (line.empty())
            continue;
        std::vector<std::string> values;
        size_t from = 0;
        for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', from)) {
            values.push_back(line.substr(from, tab - from));
            from = tab + 1;
        }
        values.push_back(line.substr(from));
        const std::string name = values.front();
        values.erase(values.begin());
        QMetaProperty published;
        if (!FindPublishedProperty(&lang, name, &published) || published.name() != name || !published.isWritable())
            throw Exception("unknown setting " + name);
        auto single = [&]() -> const std::string& {
            if (values.size() != 1)
                throw Exception(name + " takes one value");
            return values.front();
        };
        if (const auto flag = flags.find(name); flag != flags.end()) {
            if (!lcSameText(single(), "true") && !lcSameText(single(), "false"))
                throw Exception(name + " is true or false");
            (lang.*flag->second)(lcSameText(single(), "true"));
        } else if (const auto number = numbers.find(name); number != numbers.end() || name == "LangDelim") {
            const std::string& text = single();
            char* end = nullptr;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || value < INT_MIN || value > INT_MAX
                || (name == "LangDelim" && (value < 0 || value > 255)))
                throw Exception(name + " is a number");
            if (name == "LangDelim")
                lang.SetLangDelim(static_cast<unsigned char>(value));
            else
                (lang.*number->second)(static_cast<int>(value));
        } else if (const auto text = texts.find(name); text != texts.end()) {
            std::string joined;
            for (const std::string& piece : values)
                joined += (joined.empty() ? "" : " ") + piece;
            (lang.*text->second)(joined);
        } else if (const auto list = lists.find(name); list != lists.end()) {
            TlcStringList items;
            for (const std::string& piece : values)
                items.Add(piece);
            (lang.*list->second)(items);
        } else {
            throw Exception(name + " cannot be set by a table");
        }
    }
}

void LoadFormTranslation(TlcCustomLang& lang, TlcLangDispatcher* dispatcher, const std::string& folder,
                         const std::string& form)
{
    const std::string settings = LoadTranslationResource(folder + "/" + form + ".lcs");
    // The language count comes before the dispatcher, as the form's data have it.
    const size_t firstLine = settings.find('\n');
    const std::string_view text(settings);
    ApplyTranslationSettings(lang, text.substr(0, firstLine));
    lang.SetLangDispatcher(dispatcher);
    if (firstLine != std::string::npos)
        ApplyTranslationSettings(lang, text.substr(firstLine + 1));
    lang.ReadTranslationData(LoadTranslationResource(folder + "/" + form + ".dat"));
}
