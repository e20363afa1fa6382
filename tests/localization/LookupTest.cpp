// Looking texts up by identifier: the sorted index of Strings and the scan
// of a list's lines must give the same texts; fallbacks, test mode, shared
// lists and the resource texts.
#include "tests/localization/TestForms.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

using Lines = std::vector<std::string>;

// IDS_10 comes before IDS_1: a scan that took a key for a prefix of the
// identifier would find the wrong line.
const Lines kLines = {
    Line({"IDS_10", "Zehn", "Ten"}),
    Line({"IDS_1", "Eins", "One"}),
    Line({"IDS_11", "Nur Deutsch", ""}),
    "IDS_12\x01Kurz", // a short line: no English text, no closing delimiter
    Line({"ids_20", "Klein", "Small"}),
    Line({"IDS_30", "", ""}),
    Line({"Öl", "Öl", "Oil"}),
};

std::string Section(const char* name, const Lines& lines)
{
    std::string out = std::string(name) + "\r\n";
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// The same lines in Strings (looked up through the index) and in Captions
// (looked up by a scan of the lines).
class LookupPaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The scan runs over a list that no language switch applies to the owner.
        Lang = LoadLang<TlcLang>(&Module, nullptr, Section("stDlgsCaptions", kLines) + Section("stStrings", kLines));
        ASSERT_TRUE(Lang->HasStringIndex());
    }
    std::string ByIndex(const std::string& id, bool fallback) { return Lang->LookupText(Lang->Strings(), id, fallback); }
    std::string ByScan(const std::string& id, bool fallback)
    {
        return Lang->LookupText(Lang->DlgsCaptions(), id, fallback);
    }

    TTestDM Module;
    TlcLang* Lang = nullptr;
};

TEST_F(LookupPaths, IndexAndScanGiveTheSameTexts)
{
    struct TCase {
        std::string Id;
        int Language;
        std::string WithFallback;
        std::string WithoutFallback;
    };
    const TCase cases[] = {
        {"IDS_1", 1, "Eins", "Eins"},
        {"IDS_1", 2, "One", "One"},
        {"ids_1", 2, "One", "One"},       // without regard to case
        {"IDS_10", 2, "Ten", "Ten"},      // IDS_1 is no prefix match of IDS_10
        {"IDS_11", 2, "Nur Deutsch", ""}, // empty English text: the first language's
        {"IDS_12", 2, "Kurz", ""},        // a short line is not read past its end
        {"IDS_20", 2, "Small", "Small"},
        {"IDS_30", 2, "", ""},
        {"IDS_2", 2, "", ""}, // unknown
        {"IDS_", 1, "", ""},
        {"", 1, "", ""},
        {"ÖL", 2, "Oil", "Oil"},
    };
    for (const TCase& c : cases) {
        Lang->SetActiveLanguage(c.Language);
        EXPECT_EQ(ByIndex(c.Id, true), c.WithFallback) << c.Id << " in " << c.Language;
        EXPECT_EQ(ByScan(c.Id, true), c.WithFallback) << c.Id << " in " << c.Language;
        EXPECT_EQ(ByIndex(c.Id, false), c.WithoutFallback) << c.Id << " in " << c.Language;
        EXPECT_EQ(ByScan(c.Id, false), c.WithoutFallback) << c.Id << " in " << c.Language;
    }
}

TEST_F(LookupPaths, TheOperationsTheProgramCalls)
{
    Lang->SetActiveLanguage(2);
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_10"), "Ten");
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_11"), "Nur Deutsch");
    EXPECT_EQ(Lang->GetText("IDS_11"), "");
    Lang->SetTranslateType(TTranslateType::ttGetDefault);
    EXPECT_EQ(Lang->GetText("IDS_11"), "Nur Deutsch");
    EXPECT_EQ(Lang->LookupTextW(Lang->Strings(), "Öl", true), u"Oil");

    const std::unique_ptr<char[]> block = Lang->GetTextPChar("IDS_1");
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block.get(), "One");
    EXPECT_EQ(Lang->GetTextPChar("IDS_99"), nullptr);
    EXPECT_EQ(Lang->GetTextPChar("IDS_30"), nullptr);
}

TEST_F(LookupPaths, MissingIdentifiersRaiseWhenAsked)
{
    Lang->SetDoRaiseExceptions(true);
    for (const TlcStringList* list : {&Lang->Strings(), &Lang->DlgsCaptions()}) {
        try {
            Lang->LookupText(*list, "IDS_99", true);
            FAIL() << "no error";
        } catch (const ELanguageError& e) {
            EXPECT_EQ(e.Message(), "String identifier \"IDS_99\" not found!");
        }
        EXPECT_EQ(Lang->LookupText(*list, "IDS_30", true), "");
    }
}

TEST_F(LookupPaths, DefaultLanguageForOneLookUpOnly)
{
    TTestDM module;
    auto* lang = LoadLang<TlcLang>(&module, nullptr,
                                   Section("stStrings", {Line({"IDS_1", "eins", "", ""}), Line({"IDS_2", "", "", ""})}), 3);
    lang->SetActiveLanguage(3);
    lang->SetUseDefaultLanguage(true);
    lang->SetDefaultLanguage(1);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "eins");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_2"), "");
    EXPECT_EQ(lang->ActiveLanguage(), 3);
    lang->SetDoRaiseExceptions(true);
    EXPECT_THROW(lang->GetTextOrDefault("IDS_3"), ELanguageError);
    EXPECT_EQ(lang->ActiveLanguage(), 3);
}

TEST_F(LookupPaths, TheIndexFollowsItsList)
{
    Lang->SetActiveLanguage(2);
    Lang->SetStrings({Line({"IDS_1", "Neu", "New"})});
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_1"), "New");
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_10"), "");
    Lang->GetListByType(TStringsType::stStrings)->Add(Line({"IDS_5", "Fünf", "Five"}));
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_5"), "Five");
    Lang->ReadTranslationData(Section("stStrings", {Line({"IDS_6", "Sechs", "Six"})}));
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_6"), "Six");
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_5"), "");
}

TEST_F(LookupPaths, EscapesAreDecodedWhenSwitchedOn)
{
    lcDefaultProcessEscapes = true;
    TTestDM module;
    auto* lang = LoadLang<TlcLang>(&module, nullptr, Section("stStrings", {Line({"IDS_1", "a\\tb\\x41", "x"})}));
    lcDefaultProcessEscapes = false;
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "a\tbA");
    EXPECT_EQ(Lang->GetTextOrDefault("IDS_1"), "Eins"); // made before: no decoding
}

TEST(Lookup, TestModeShowsTheFirstLanguageTransformed)
{
    TTestDataModule dm(Section("stDlgsCaptions", kLines) + Section("stStrings", kLines));
    TlcLang* lang = dm.Lang;
    TTestModeInfo& info = *dm.Dispatcher->TestModeInfo();
    info.SetKind(TTestModeKind::tmkFlipCase);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_11"), "Nur Deutsch");
    info.SetActive(true);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_11"), "Nur Deutsch"); // language 1 shows its own texts
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_11"), "nUR dEUTSCH");
    EXPECT_EQ(lang->LookupText(lang->DlgsCaptions(), "IDS_11", false), "nUR dEUTSCH");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "One");
    info.SetKind(TTestModeKind::tmkExpandChars);
    EXPECT_EQ(lang->GetText("IDS_11"), "N*u*r* *D*e*u*t*s*c*h*");
}

TEST(Lookup, SharedStringsComeFromTheFirstLinkedComponentWithTexts)
{
    TTestDataModule dm(Section("stStrings", {Line({"IDS_1", "Modul", "Module"})}));
    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, Section("stStrings", {Line({"IDS_1", "Form", "Form"})}));
    lang->SetOptions(TlcLangOption::loUseExtUDStrings);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Modul");
    dm.Lang->SetStrings({});
    // The first component with texts is the form's own: its list, no endless redirection.
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Form");
    lang->SetLangDispatcher(nullptr);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "");

    TfTestForm other;
    auto* common = LoadLang<TlcLangLinked>(&other, dm.Dispatcher, {});
    common->SetOptions(TlcLangOption::loUseExtCommonStrings);
    dm.Lang->SetDlgsCaptions({Line({"Cancel", "Abbrechen", "Cancel"})});
    EXPECT_EQ(common->LookupText(common->DlgsCaptions(), "cancel", true), "Abbrechen");
}

TEST(Lookup, ResourceTextsTranslateThroughTheFirstHandler)
{
    const std::string data = Section("stStrings", {Line({"IDS_1", "Fehler", "Error"}), Line({"IDS_2", "Nur", ""})});
    auto dm = std::make_unique<TTestDM>();
    auto* lang = new TlcLang(dm.get());
    {
        TlcResourceLoading loading;
        loading.Add(*lang);
        lang->SetNumOfLanguages(2);
        lang->SetHandleResourceStrings(true);
        lang->ReadTranslationData(data);
        loading.Finish();
    }
    ASSERT_EQ(TlcCustomLang::ResourceStringTranslator(), lang);
    TTestDM second;
    auto* later = new TlcLang(&second);
    {
        TlcResourceLoading loading;
        loading.Add(*later);
        later->SetHandleResourceStrings(true);
        loading.Finish();
    }
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), lang);
    EXPECT_EQ(lang->TranslateResourceText("Fehler"), "Fehler"); // in its own language
    lang->SetActiveLanguage(2);
    EXPECT_EQ(lang->TranslateResourceText("Fehler"), "Error");
    EXPECT_EQ(lang->TranslateResourceText("Unbekannt"), "Unbekannt");
    EXPECT_EQ(lang->TranslateResourceText("Nur"), "Nur");
    lang->SetTranslation(TStringsType::stStrings, "Irrtum", 1, "IDS_1");
    EXPECT_EQ(lang->TranslateResourceText("Irrtum"), "Error");
    try {
        lang->SetResourceLanguageIndex(3);
        FAIL() << "no error";
    } catch (const ELanguageError& e) {
        EXPECT_EQ(e.Message(), "3 - is not a valid property value!\rValue must be within [1..2]!");
    }
    dm.reset();
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), nullptr);
}

// ---- the binary searches against a linear one ---------------------------------

TEST(StringIndex, BinarySearchesAgreeWithALinearSearch)
{
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const int count = round % 40; // empty, one item, and more
        TlcStringsCollection byId(nullptr);
        TlcStringsCollection byText(nullptr);
        std::uniform_int_distribution<int> number(0, 25);
        std::bernoulli_distribution lower(0.5);
        for (int i = 0; i < count; ++i) {
            std::string id = (lower(random) ? "ids_" : "IDS_") + std::to_string(number(random));
            for (TlcStringsCollection* index : {&byId, &byText}) {
                TlcStringsCollectionItem& item = index->Add();
                item.ID = id;
                item.Texts = {"t" + std::to_string(number(random)), id + "#" + std::to_string(i)};
            }
        }
        byId.SortItems();
        byText.SetSortLanguage(1);
        byText.SortItems();
        for (int i = 1; i < count; ++i) {
            ASSERT_LE(lcCompareText(byId.GetItem(i - 1).ID, byId.GetItem(i).ID), 0);
            ASSERT_LE(byText.GetItem(i - 1).Texts[0], byText.GetItem(i).Texts[0]);
        }
        for (int n = -1; n <= 26; ++n) {
            const std::string id = "Ids_" + std::to_string(n);
            std::set<std::string> expected;
            for (int i = 0; i < count; ++i)
                if (lcSameText(byId.GetItem(i).ID, id))
                    expected.insert(byId.GetItem(i).Texts[1]);
            const std::string found = byId.FindByID(id, 2);
            if (expected.empty())
                ASSERT_EQ(found, "") << id;
            else
                ASSERT_EQ(expected.count(found), 1u) << id << " gave " << found;
            ASSERT_EQ(byId.IndexOfID(id) >= 0, !expected.empty());

            const std::string text = "t" + std::to_string(n);
            std::set<std::string> texts;
            for (int i = 0; i < count; ++i)
                if (byText.GetItem(i).Texts[0] == text)
                    texts.insert(byText.GetItem(i).Texts[1]);
            const std::string translated = byText.FindByText(text, 2);
            if (texts.empty())
                ASSERT_EQ(translated, text);
            else
                ASSERT_EQ(texts.count(translated), 1u) << text << " gave " << translated;
            ASSERT_EQ(byText.FindByText("T" + std::to_string(n), 2), "T" + std::to_string(n)); // with regard to case
        }
        ASSERT_EQ(byId.FindByID("IDS_1", 3), ""); // a language the items lack
    }
}

} // namespace
