// Resource strings: loaded by identifier or record, and translated by the
// process's resource-string translator while its active language differs from
// the language they are written in.
#include "localization/lcFiles.h"
#include "localization/lcResStrings.h"
#include "tests/localization/TestForms.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

constexpr int kError = 100;
constexpr int kOnlyGerman = 101;
constexpr int kUnknownText = 102;
constexpr int kFormat = 103;

// A data module whose component handles the resource strings; its texts are
// written in language ResourceLanguage.
struct TTranslator {
    std::unique_ptr<TTestDM> Module = std::make_unique<TTestDM>();
    TlcLang* Lang;

    explicit TTranslator(int resourceLanguage = 1)
    {
        Lang = new TlcLang(Module.get());
        TlcResourceLoading loading;
        loading.Add(*Lang);
        Lang->SetNumOfLanguages(2);
        Lang->SetHandleResourceStrings(true);
        Lang->SetResourceLanguageIndex(resourceLanguage);
        Lang->ReadTranslationData("stStrings\r\n" + Line({"IDS_1", "Fehler", "Error"}) + "\r\n" +
                                  Line({"IDS_2", "Nur deutsch", ""}) + "\r\n" +
                                  Line({"IDS_3", "Wert %s von %s", "Value %s of %s"}) + "\r\n");
        loading.Finish();
    }
};

void RegisterTexts()
{
    MainResourceModule().Register(kError, "Fehler");
    MainResourceModule().Register(kOnlyGerman, "Nur deutsch");
    MainResourceModule().Register(kUnknownText, "Unbekannt");
    MainResourceModule().Register(kFormat, "Wert %s von %s");
}

TEST(ResourceStrings, WithoutATranslatorTheTextsComeAsWritten)
{
    RegisterTexts();
    ASSERT_EQ(TlcCustomLang::ResourceStringTranslator(), nullptr);
    EXPECT_EQ(LoadStr(kError), "Fehler");
    EXPECT_EQ(LoadStr(4711), "");
    EXPECT_EQ(FmtLoadStr(kFormat, {"1", "2"}), "Wert 1 von 2");
    EXPECT_EQ(LoadStr(SlcUnrecognizedStream), "Unrecognized stream format!");
}

TEST(ResourceStrings, EveryLoadFollowsTheTranslatorsActiveLanguage)
{
    RegisterTexts();
    TTranslator translator;
    ASSERT_EQ(TlcCustomLang::ResourceStringTranslator(), translator.Lang);
    struct TCase {
        int Identifier;
        std::string Language1;
        std::string Language2;
    };
    const TCase cases[] = {
        {kError, "Fehler", "Error"},
        {kOnlyGerman, "Nur deutsch", "Nur deutsch"}, // no text in language 2
        {kUnknownText, "Unbekannt", "Unbekannt"},    // no entry at all
        {4711, "", ""},                              // no such resource
    };
    for (const TCase& c : cases) {
        translator.Lang->SetActiveLanguage(1);
        EXPECT_EQ(LoadStr(c.Identifier), c.Language1) << c.Identifier;
        translator.Lang->SetActiveLanguage(2);
        EXPECT_EQ(LoadStr(c.Identifier), c.Language2) << c.Identifier;
    }
    EXPECT_EQ(FmtLoadStr(kFormat, {"1", "2"}), "Value 1 of 2");
    TResStringRec byText;
    byText.Text = "Fehler";
    EXPECT_EQ(TranslatedLoadResString(byText), "Error");
    TResourceModule plugin;
    plugin.Register(7, "Fehler");
    EXPECT_EQ(TranslatedLoadResString({&plugin, 7, nullptr}), "Error");
    EXPECT_EQ(TranslatedLoadResString({&plugin, kError, nullptr}), "");

    // The translator gone, the texts come as written again.
    translator.Module.reset();
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), nullptr);
    EXPECT_EQ(LoadStr(kError), "Fehler");
}

TEST(ResourceStrings, AResourceLanguageOtherThanTheFirst)
{
    MainResourceModule().Register(kError, "Error");
    TTranslator translator(2);
    translator.Lang->SetActiveLanguage(2);
    EXPECT_EQ(LoadStr(kError), "Error");
    translator.Lang->SetActiveLanguage(1);
    EXPECT_EQ(LoadStr(kError), "Fehler");
    MainResourceModule().Register(kError, "Fehler");
}

TEST(ResourceStrings, TheFirstHandlerStaysTheTranslator)
{
    RegisterTexts();
    TTranslator first;
    TTestDM other;
    auto* later = new TlcLang(&other);
    {
        TlcResourceLoading loading;
        loading.Add(*later);
        later->SetNumOfLanguages(2);
        later->SetHandleResourceStrings(true);
        later->ReadTranslationData("stStrings\r\n" + Line({"IDS_1", "Fehler", "Mistake"}) + "\r\n");
        loading.Finish();
    }
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), first.Lang);
    first.Lang->SetActiveLanguage(2);
    later->SetActiveLanguage(2);
    EXPECT_EQ(LoadStr(kError), "Error");
}

TEST(ResourceStrings, TheEnginesOwnMessagesAreTranslatedToo)
{
    TTranslator translator;
    translator.Lang->SetStrings({Line({"IDS_1", "Unrecognized stream format!", "Unbekanntes Format!"}),
                                 Line({"IDS_2", "String identifier \"%s\" not found!", "Kennung \"%s\" fehlt!"})});
    TTestDM owner;
    auto* lang = new TlcLang(&owner);
    lang->SetDoRaiseExceptions(true);
    lang->SetStrings({Line({"IDS_5", "Text", "Text"})});
    struct TCase {
        const char* What;
        std::function<void()> Fail;
        std::string Language1; // as the engine writes it
        std::string Language2; // as the translator has it
    };
    TLCBFileManager manager;
    const TCase cases[] = {
        {"a file of another kind", [&] { manager.ReadComponent(*lang, "TTestDM", "not a translation file at all"); },
         "Unrecognized stream format!", "Unbekanntes Format!"},
        {"a missing identifier (index)", [&] { lang->GetTextOrDefault("IDS_99"); },
         "String identifier \"IDS_99\" not found!", "Kennung \"IDS_99\" fehlt!"},
        {"a missing identifier (scan)", [&] { lang->LookupText(lang->Captions(), "btnOK", false); },
         "String identifier \"btnOK\" not found!", "Kennung \"btnOK\" fehlt!"},
    };
    for (const TCase& c : cases) {
        for (int language : {1, 2}) {
            translator.Lang->SetActiveLanguage(language);
            try {
                c.Fail();
                ADD_FAILURE() << c.What << ": no error";
            } catch (const Exception& error) {
                EXPECT_EQ(error.Message(), language == 1 ? c.Language1 : c.Language2) << c.What;
            }
        }
    }
}

} // namespace
