// The build step's tables: what they say, what they refuse, and the bytes
// they give.
#include "localization/tools/TranslationTable.h"
#include "tests/localization/TestForms.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

TEST(TranslationTable, EntriesBecomeLinesOfTheEngine)
{
    const TTranslationTable table = ParseTranslationTable(
        "# comment\r\n"
        "class TlcLang\r\n"
        "form TDM\r\n"
        "languages Deutsch English\r\n"
        "\r\n"
        "[Strings]\r\n"
        "IDS_1\tZeile 1\\r\\nZeile 2\tLine\r\n"
        "IDS_2\tNur\r\n"
        "IDS_3\tC:\\\\Pfad\t\r\n"
        "[Captions]\r\n"
        "btnOK\tOK\tOK\r\n"
        "TDM\tDaten\tData\r\n",
        "TDM.lct");
    EXPECT_EQ(table.ClassName, "TlcLang");
    EXPECT_EQ(table.Languages, (Lines{"Deutsch", "English"}));
    EXPECT_EQ(table.Lists[static_cast<size_t>(TStringsType::stStrings)].Lines(),
              (Lines{Line({"IDS_1", "Zeile 1\r\nZeile 2", "Line"}), Line({"IDS_2", "Nur", ""}),
                     Line({"IDS_3", "C:\\Pfad", ""})}));
    EXPECT_EQ(table.Lists[static_cast<size_t>(TStringsType::stCaptions)].Lines(),
              (Lines{Line({"TDM", "Daten", "Data"}), Line({"btnOK", "OK", "OK"})}));

    const std::string data = CompileTranslationTable(table);
    EXPECT_EQ(data.substr(0, data.find("stHints")),
              "stCaptions\r\n" + Line({"TDM", "Daten", "Data"}) + "\r\n" + Line({"btnOK", "OK", "OK"}) + "\r\n");
    EXPECT_NE(data.find("Zeile 1\x19\x1AZeile 2"), std::string::npos);
    EXPECT_NE(data.find("stDlgsCaptions\r\nstStrings"), std::string::npos);
}

TEST(TranslationTable, RefusedTables)
{
    struct TCase {
        std::string Text;
        std::string Message;
    };
    const std::string head = "languages Deutsch English\n";
    const TCase cases[] = {
        {"[Captions]\nA\ta\n", "t.lct:1: the languages come before the first list"},
        {head + "A\ta\n", "t.lct:2: unknown setting A"},
        {head + "[Nothing]\n", "t.lct:2: TlcLangLinked keeps no list [Nothing]"},
        {head + "[DlgsCaptions]\n", "t.lct:2: TlcLangLinked keeps no list [DlgsCaptions]"},
        {head + "[Captions]\nA\ta\tb\tc\n", "t.lct:3: more texts than languages"},
        {head + "[Captions]\nA\ta\nA\tb\n", "t.lct:4: key A is given twice"},
        {head + "[Captions]\n\ta\n", "t.lct:3: an entry without a key"},
        {head + "[Captions]\nA\ta\\x\n", "t.lct:3: unknown escape \\x"},
        {head + "[Captions]\nA\ta\\\n", "t.lct:3: a backslash ends the field (write \\\\ for a backslash)"},
        {head + "[Captions]\nA\ta\x01" "b\n", "t.lct:3: control character 1 is not allowed"},
        {head + "[Captions]\nA\\n\ta\n", "t.lct:3: a key holds a line break"},
        {head + "[Captions]\n[Captions]\nA\n", ""}, // an empty list given twice is the same list
        {head + "[Captions]\nA\n[Captions]\n", "t.lct:4: list [Captions] is given twice"},
        {"class TlcForm\n", "t.lct:1: class is TlcLang or TlcLangLinked"},
        // Settings: published ones of the class, with values they take.
        {head + "NeedAllDlgs true\n", "t.lct:2: unknown setting NeedAllDlgs"}, // a form's component has none
        {head + "NumOfLanguages 3\n", "t.lct:2: unknown setting NumOfLanguages"},
        {head + "Captions A\n", "t.lct:2: unknown setting Captions"},
        {head + "handleResourceStrings true\n", "t.lct:2: unknown setting handleResourceStrings"},
        {head + "HandleResourceStrings yes\n", "t.lct:2: HandleResourceStrings is true or false"},
        {head + "HandleResourceStrings\n", "t.lct:2: HandleResourceStrings takes one value"},
        {head + "DefaultLanguage 1x\n", "t.lct:2: DefaultLanguage is a number"},
        {head + "TranslateType ttGetDefault\n", "t.lct:2: TranslateType cannot be set by a table"},
        {head + "AutoSkipEmpties false\nclass TlcLang\n",
         "t.lct:3: the class comes before the settings and the first list"},
        {"# nothing\n", "t.lct: the table names no languages"},
    };
    for (const TCase& c : cases) {
        try {
            ParseTranslationTable(c.Text, "t.lct");
            EXPECT_EQ(c.Message, "") << c.Text;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Message) << c.Text;
        }
    }
}

TEST(TranslationTable, SettingsGoIntoTheSettingsFileAfterTheLanguages)
{
    const TTranslationTable table = ParseTranslationTable("class TlcLang\n"
                                                          "form TDM\n"
                                                          "languages Deutsch English\n"
                                                          "NeedAllDlgs true\n"
                                                          "SmartExcludeProps RegistryStorage.Root TDM.Hint\n"
                                                          "DefaultLanguage 2\n",
                                                          "TDM.lct");
    EXPECT_EQ(CompileTranslationSettings(table), "NumOfLanguages\t2\n"
                                                 "LangDelim\t1\n"
                                                 "LangNames\tDeutsch\tEnglish\n"
                                                 "Language\tDeutsch\n"
                                                 "NeedAllDlgs\ttrue\n"
                                                 "SmartExcludeProps\tRegistryStorage.Root\tTDM.Hint\n"
                                                 "DefaultLanguage\t2\n");
    // Loaded as a form loads it.
    TTestDM module;
    auto* lang = new TlcLang(&module);
    TlcResourceLoading loading;
    loading.Add(*lang);
    ApplyTranslationSettings(*lang, CompileTranslationSettings(table));
    loading.Finish();
    EXPECT_TRUE(lang->NeedAllDlgs());
    EXPECT_EQ(lang->DlgsCaptions().Count(), lcDialogItemCount);
    EXPECT_EQ(lang->SmartExcludeProps().Lines(), (Lines{"RegistryStorage.Root", "TDM.Hint"}));
    EXPECT_EQ(lang->DefaultLanguage(), 2);
    EXPECT_EQ(lang->LangNames().Lines(), (Lines{"Deutsch", "English"}));
    EXPECT_THROW(ApplyTranslationSettings(*lang, "Nothing\t1\n"), Exception);
}

TEST(TranslationTable, TheDataReadIntoTheFormAsTheTableSays)
{
    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, nullptr, LoadTranslationResource(":/tests/lc/TTestDM.dat"));
    EXPECT_EQ(lang->Captions().Lines(), Lines{Line({"TTestDM", "Daten", "Data"})});
    EXPECT_EQ(lang->GetTextOrDefault("IDS_10"), "Schnittstelle öffnen");
    lang->SetActiveLanguage(2);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_10"), "Open interface");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_11"), "Nur Deutsch");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_12"), "Line 1\r\nLine 2");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_13"), "C:\\Zorvatek");
}

} // namespace
