// The translation component's data: the bytes that the forms carry, read and
// written back, and the operations that change the lists.
#include "tests/common/TranslationRoundTrip.h"
#include "tests/localization/TestForms.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

std::string Utf16(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// The language dialog's data as the program's table gives it.
const std::string kLanguageDialogData =
    "stCaptions\r\n"
    "TfLanguage\x01Sprache\x01Language\x01\r\n"
    "Label1\x01Sprache:\x01Language:\x01\r\n"
    "stHints\r\n"
    "TfLanguage\x01\x01\x01\r\n"
    "btnOK\x01\x01\x01\r\n"
    "btnAbort\x01\x01\x01\r\n"
    "stDisplayLabels\r\n"
    "stFonts\r\n"
    "stMultiLines\r\n"
    "stStrings\r\n"
    "stOtherStrings\r\n"
    "TfLanguage.HelpFile\x01\x01\x01\r\n"
    "stCollections\r\n"
    "lcLangCombo.LanguageInfos[0].FontName\x01Tahoma\x01Tahoma\x01\r\n"
    "lcLangCombo.LanguageInfos[0].LanguageName\x01" "Deutsch\x01\x01\r\n"
    "stCharSets\r\n";

bool IsDataModuleData(const std::string& data)
{
    return data.find("\r\nstDlgsCaptions\r\n") != std::string::npos;
}

TEST(TranslationData, CompiledFilesReadAndWriteBackByteForByte)
{
    const QStringList files = QDir(":/tests/lc").entryList({"*.dat"});
    ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();
    for (const QString& file : files) {
        const std::string path = ":/tests/lc/" + file.toStdString();
        ExpectTranslationRoundTrip(path, IsDataModuleData(LoadTranslationResource(path)));
    }
    EXPECT_THROW(LoadTranslationResource(":/tests/lc/TfMissing.dat"), Exception);
}

TEST(TranslationData, LanguageDialogDataAreTheExpectedBytes)
{
    EXPECT_EQ(LoadTranslationResource(":/tests/lc/TfLanguage.dat"), kLanguageDialogData);

    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, nullptr, kLanguageDialogData);
    EXPECT_EQ(lang->Captions().Lines(),
              (Lines{Line({"TfLanguage", "Sprache", "Language"}), Line({"Label1", "Sprache:", "Language:"})}));
    ASSERT_EQ(lang->Hints().Count(), 3);
    for (const std::string& hint : lang->Hints().Lines())
        EXPECT_EQ(TrimDelimiters(hint.substr(hint.find('\x01')), 1), "") << hint;
    EXPECT_TRUE(lang->Strings().Empty());
    EXPECT_TRUE(lang->MultiLines().Empty());
    EXPECT_TRUE(lang->DisplayLabels().Empty());
    EXPECT_EQ(lang->WriteTranslationData(), kLanguageDialogData);
}

TEST(TranslationData, ReaderCases)
{
    struct TCase {
        const char* Name;
        bool Linked;
        std::string Data;
        Lines Captions;
        Lines Strings;
    };
    const std::string a = Line({"A", "a1", "a2"});
    const std::string s = Line({"IDS_1", "s1", "s2"});
    const TCase cases[] = {
        {"CR LF", false, "stCaptions\r\n" + a + "\r\nstStrings\r\n" + s + "\r\n", {a}, {s}},
        {"LF only", false, "stCaptions\n" + a + "\nstStrings\n" + s + "\n", {a}, {s}},
        {"CR only", false, "stCaptions\r" + a + "\rstStrings\r" + s + "\r", {a}, {s}},
        {"no last line end", false, "stCaptions\r\n" + a + "\r\nstStrings\r\n" + s, {a}, {s}},
        {"section names without regard to case", false, "STCAPTIONS\r\n" + a + "\r\nststrings\r\n" + s, {a}, {s}},
        {"lines before the first section", false, "junk\r\n" + s + "\r\nstCaptions\r\n" + a, {a}, {}},
        {"a section no class keeps", false, "stListView_TreeView_Items\r\n" + s + "\r\nstCaptions\r\n" + a, {a}, {}},
        {"an unknown name is an entry", false, "stCaptions\r\nstUnknown\r\n" + a, {"stUnknown", a}, {}},
        {"an empty line is an entry", false, "stCaptions\r\n\r\n" + a, {"", a}, {}},
        {"line breaks inside texts", false, "stCaptions\r\nA\x01x\x19\x1Ay\x01\r\n", {"A\x01x\r\ny\x01"}, {}},
        {"16-bit data", false, Utf16(u"stCaptions\r\nA\x01" u"a1\x01" u"a2\x01\r\nstStrings_Unicode\r\nIDS_1\x01Grüße\x01Hi\x01\r\n"),
         {a}, {Line({"IDS_1", "Grüße", "Hi"})}},
        {"16-bit data with a short line", false, Utf16(u"stStrings_Unicode\r\nIDS_1\x01" u"a\r\nstHints\r\n"), {},
         {Line({"IDS_1", "a", ""})}},
        {"a byte-order mark is no 16-bit data", false, "\xFF\xFE" + Utf16(u"stStrings\r\nIDS_1\x01" u"a\x01\r\n"), {}, {}},
        {"one byte", false, "s", {}, {}},
        {"linked: sections it keeps", true, "stCaptions\r\n" + a + "\r\nstStrings\r\n" + s, {a}, {s}},
    };
    for (const TCase& c : cases) {
        std::unique_ptr<TlcCustomLang> lang;
        if (c.Linked)
            lang = std::make_unique<TlcLangLinked>(nullptr);
        else
            lang = std::make_unique<TlcLang>(nullptr);
        lang->SetNumOfLanguages(2);
        lang->ReadTranslationData(c.Data);
        EXPECT_EQ(lang->Captions().Lines(), c.Captions) << c.Name;
        EXPECT_EQ(lang->Strings().Lines(), c.Strings) << c.Name;
        EXPECT_EQ(lang->DlgsCaptions().Count(), 15) << c.Name;
    }
}

TEST(TranslationData, LinkedComponentDropsTheSectionsItDoesNotKeep)
{
    const std::string data = "stCaptions\r\n" + Line({"A", "a"}) + "\r\nstDlgsCaptions\r\n" + Line({"OK", "Gut"})
        + "\r\nstLocales\r\n" + Line({"Decimal Separator", ","}) + "\r\nstStrings\r\n" + Line({"IDS_1", "x"}) + "\r\n";
    TlcLangLinked linked(nullptr);
    linked.ReadTranslationData(data);
    EXPECT_EQ(linked.Captions().Count(), 1);
    EXPECT_EQ(linked.Strings().Count(), 1);
    EXPECT_EQ(linked.DlgsCaptions().Count(), 15); // as constructed
    EXPECT_TRUE(linked.Locales().Empty());
    const std::string written = linked.WriteTranslationData();
    EXPECT_EQ(written.find("stDlgsCaptions"), std::string::npos);
    EXPECT_EQ(written.find("stLocales"), std::string::npos);

    TlcLang lang(nullptr);
    lang.ReadTranslationData(data);
    EXPECT_EQ(lang.DlgsCaptions().Lines(), Lines{Line({"OK", "Gut"})});
    EXPECT_EQ(lang.Locales().Lines(), Lines{Line({"Decimal Separator", ","})});
    EXPECT_EQ(lang.WriteTranslationData(),
              "stCaptions\r\n" + Line({"A", "a"}) + "\r\nstHints\r\nstDisplayLabels\r\nstFonts\r\nstMultiLines\r\n"
                  "stDlgsCaptions\r\n" + Line({"OK", "Gut"}) + "\r\nstStrings\r\n" + Line({"IDS_1", "x"})
                  + "\r\nstOtherStrings\r\nstLocales\r\n" + Line({"Decimal Separator", ","})
                  + "\r\nstCollections\r\nstCharSets\r\n");
}

TEST(TranslationData, ASectionOnTheLastLineOpensNothing)
{
    TlcLang lang(nullptr);
    lang.SetCaptions({Line({"A", "a"})});
    lang.ReadTranslationData("stCaptions");
    EXPECT_EQ(lang.Captions().Count(), 1);
    lang.ReadTranslationData("stCaptions\r\n");
    EXPECT_EQ(lang.Captions().Count(), 1);
    // Data shorter than two bytes are no data: the lists stay as they are.
    for (const std::string& data : {std::string(), std::string("s"), std::string(1, '\0')}) {
        lang.ReadTranslationData(data);
        EXPECT_EQ(lang.Captions().Lines(), Lines{Line({"A", "a"})}) << data.size();
        EXPECT_EQ(lang.DlgsCaptions().Count(), 15) << data.size();
    }
}

TEST(TranslationData, LineBreaksInTextsSurviveTheRoundTrip)
{
    TlcLang lang(nullptr);
    lang.SetNumOfLanguages(2);
    lang.SetStrings({Line({"IDS_1", "Zeile 1\r\nZeile 2", "a\rb\nc"})});
    const std::string data = lang.WriteTranslationData();
    EXPECT_NE(data.find("Zeile 1\x19\x1AZeile 2"), std::string::npos);
    EXPECT_NE(data.find("a\x19" "b\x1A" "c"), std::string::npos);
    TlcLang back(nullptr);
    back.ReadTranslationData(data);
    EXPECT_EQ(back.Strings().Lines(), lang.Strings().Lines());
}

TEST(TranslationData, TheOwnersEntryComesFirst)
{
    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, nullptr,
                                         "stCaptions\r\n" + Line({"btnOK", "OK", "OK"}) + "\r\n"
                                             + Line({"TfTestForm", "Titel", "Title"}) + "\r\n");
    EXPECT_EQ(lang->Captions().Lines(), (Lines{Line({"TfTestForm", "Titel", "Title"}), Line({"btnOK", "OK", "OK"})}));
}

TEST(TranslationData, AnInheritedFormMergesWhatItReads)
{
    TfTestForm form;
    // The components the lines name (a list that is assigned is applied).
    QObject button(&form);
    button.setObjectName("btnOK");
    QObject label(&form);
    label.setObjectName("lbl");
    auto* lang = new TlcLangLinked(&form);
    lang->SetNumOfLanguages(2);
    lang->SetIsInheritedOwner(true);
    lang->SetCaptions({Line({"btnOK", "OK", "OK"}), Line({"lbl", "alt", "old"})});
    lang->ReadTranslationData("stCaptions\r\n" + Line({"LBL", "", "new", "third"}) + "\r\n" + Line({"x", "y"}) + "\r\n");
    EXPECT_EQ(lang->Captions().Lines(),
              (Lines{Line({"btnOK", "OK", "OK"}), Line({"lbl", "alt", "new", "third"}), Line({"x", "y"})}));
}

TEST(TranslationData, StoredRule)
{
    TlcLangLinked ancestor(nullptr);
    TlcLangLinked form(nullptr);
    EXPECT_TRUE(form.HasTranslationData(nullptr));
    EXPECT_FALSE(form.HasTranslationData(&ancestor));
    form.SetHints({"a"});
    ancestor.SetHints({"A"});
    EXPECT_TRUE(form.HasTranslationData(&ancestor)); // compared with regard to case
    ancestor.SetHints({"a"});
    TlcLang data(nullptr);
    data.SetHints({"a"});
    data.SetDlgsCaptions({}); // a list the other side lacks is not compared
    EXPECT_FALSE(data.HasTranslationData(&ancestor));
}

TEST(TranslationData, DefaultsOfANewComponent)
{
    TlcLang lang(nullptr);
    EXPECT_EQ(lang.NumOfLanguages(), 1);
    EXPECT_EQ(lang.ActiveLanguage(), 1);
    EXPECT_EQ(lang.LangDelim(), 1);
    EXPECT_EQ(lang.Language(), "Language N1");
    EXPECT_EQ(lang.LangNames().Lines(), Lines{"Language N1"});
    EXPECT_EQ(lang.ChangingCursor(), -1);
    EXPECT_TRUE(lang.AutoSkipEmpties());
    EXPECT_TRUE(lang.UseTaskMsgDlg());
    EXPECT_EQ(lang.ExcludedProperties().Count(), 20);
    EXPECT_EQ(lang.StringsTypes().Lines(), (Lines{"TIB_STRINGLIST", "TSTRINGLIST"}));
    EXPECT_TRUE(lang.IsStringsType("TStringList"));
    EXPECT_FALSE(lang.IsStringsType("TStrings"));
    lang.SetVersion("7.0");
    EXPECT_EQ(lang.Version(), "6.4");
    ASSERT_EQ(lang.DlgsCaptions().Count(), 15);
    EXPECT_EQ(lang.DlgsCaptions()[4], Line({"Yes", "&Yes"}));
    EXPECT_EQ(lang.DlgsCaptions()[12], Line({"No To All", "N&o To All"}));

    int published = 0;
    int linkedPublished = 0;
    TlcLangLinked linked(nullptr);
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        published += lang.GetListByType(static_cast<TStringsType>(t)) != nullptr;
        linkedPublished += linked.GetListByType(static_cast<TStringsType>(t)) != nullptr;
    }
    EXPECT_EQ(published, 11);
    EXPECT_EQ(linkedPublished, 9);
}

TEST(TranslationData, OneTranslationComponentPerOwner)
{
    TfTestForm form;
    new TlcLangLinked(&form);
    try {
        TlcLang second(&form);
        FAIL() << "a second component was made";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Only one TlcCustomLang component per Form/DataModule allowed!");
    }
    EXPECT_EQ(form.findChildren<TlcCustomLang*>().size(), 1);
}

TEST(TranslationData, FewerLanguagesCutTheLines)
{
    TlcLang lang(nullptr);
    lang.SetNumOfLanguages(3);
    EXPECT_EQ(lang.LangNames().Lines(), (Lines{"Language N1", "Language N2", "Language N3"}));
    lang.SetCaptions({Line({"K", "a", "b", "c"}), Line({"L", "a"})});
    lang.SetNumOfLanguages(2);
    EXPECT_EQ(lang.Captions().Lines(), (Lines{Line({"K", "a", "b"}), Line({"L", "a"})}));
    EXPECT_EQ(lang.LangNames().Lines(), (Lines{"Language N1", "Language N2"}));
    try {
        lang.SetNumOfLanguages(0);
        FAIL() << "no error";
    } catch (const ELanguageError& e) {
        EXPECT_EQ(e.Message(), "0 - is not a valid property value !\rValue must be more than ZERO !");
    }
    EXPECT_EQ(lang.NumOfLanguages(), 2);
    EXPECT_EQ(lang.Captions().Lines(), (Lines{Line({"K", "a", "b"}), Line({"L", "a"})}));
    EXPECT_THROW(lang.SetLangNames({}), ELanguageError);
    EXPECT_EQ(lang.NumOfLanguages(), 2);
}

TEST(TranslationData, PaddingAndDefaultLanguage)
{
    TlcLang lang(nullptr);
    lang.SetStrings({"IDS_1\x01" "a", "IDS_2\x01" "a\x01" "b\x01" "c\x01"});
    lang.SetNumOfLanguages(2);
    EXPECT_EQ(lang.Strings().Lines(), (Lines{"IDS_1\x01" "a\x01\x01", "IDS_2\x01" "a\x01" "b\x01" "c\x01"}));
    lang.SetDefaultLanguage(3);
    EXPECT_EQ(lang.DefaultLanguage(), 1);
    lang.SetDefaultLanguage(2);
    EXPECT_EQ(lang.DefaultLanguage(), 2);
    EXPECT_EQ(lang.BuildLanguageFields("x", 2), "\x01\x01x");
}

TEST(TranslationData, AllDialogItemsOnLoadingAndOff)
{
    TTestDM module;
    auto* lang = new TlcLang(&module);
    TlcResourceLoading loading;
    loading.Add(*lang);
    lang->SetNeedAllDlgs(true);
    EXPECT_EQ(lang->DlgsCaptions().Count(), 15); // not while loading
    loading.Finish();
    ASSERT_EQ(lang->DlgsCaptions().Count(), 86);
    EXPECT_EQ(lang->DlgsCaptions()[15], Line({"Open", "&Open"}));
    EXPECT_EQ(lang->DlgsCaptions()[85], Line({"Find", "Find"}));
    lang->SetNeedAllDlgs(false);
    ASSERT_EQ(lang->DlgsCaptions().Count(), 15);
    EXPECT_EQ(lang->DlgsCaptions()[14], Line({"Help", "&Help"}));
}

TEST(TranslationData, ElevenLocalesGetTheNameListsOnLoading)
{
    auto localesData = [](int count) {
        std::string data = "stLocales\r\n";
        for (int n = 1; n <= count; ++n)
            data += Line({lcLocaleKey(n), "v"}) + "\r\n";
        return data + "stCharSets\r\n";
    };
    for (int count : {11, 15}) {
        TTestDM module;
        auto* lang = LoadLang<TlcLang>(&module, nullptr, localesData(count), 1);
        ASSERT_EQ(lang->Locales().Count(), 15) << count;
        EXPECT_EQ(lang->Locales()[11], count == 11 ? Line({"Short Month Names", lang->CapturedLocale(12)})
                                                   : Line({"Short Month Names", "v"}));
    }
    TlcLang lang(nullptr);
    lang.SetChangeLocales(true);
    EXPECT_EQ(lang.Locales().Count(), 15);
    EXPECT_EQ(SplitText(ExtractField(lang.Locales()[12], 1, 1), ",").Count(), 12);
}

TEST(TranslationData, TabDelimitedDataAreTakenOver)
{
    TTestDM module;
    auto* lang = LoadLang<TlcLang>(&module, nullptr, "stCaptions\r\nTTestDM\tDaten\tData\t\r\nx\ty\tz\t\r\n");
    EXPECT_EQ(lang->Captions().Lines(), (Lines{Line({"TTestDM", "Daten", "Data"}), Line({"x", "y", "z"})}));
}

TEST(TranslationData, SetTranslation)
{
    TTestDM module;
    auto* lang = LoadLang<TlcLang>(&module, nullptr, "stStrings\r\n" + Line({"IDS_1", "a", "b"}) + "\r\nIDS_2\x01" "x\r\n");
    lang->SetTranslation(TStringsType::stStrings, "B", 2, "ids_1");
    lang->SetTranslation(TStringsType::stStrings, "A", 1, "IDS_1");
    lang->SetTranslation(TStringsType::stStrings, "y", 2, "IDS_2"); // the line has no second text
    lang->SetTranslation(TStringsType::stStrings, "X", 1, "IDS_2");
    lang->SetTranslation(TStringsType::stStrings, "z", 1, "IDS_3"); // no such line: nothing
    EXPECT_EQ(lang->Strings().Lines(), (Lines{Line({"IDS_1", "A", "B"}), "IDS_2\x01" "X"}));
    lang->SetActiveLanguage(2);
    EXPECT_TRUE(lang->HasStringIndex());
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "B");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_2"), "X");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_3"), "");

    // With a key given twice the first line changes, and the look-up gives
    // the text of one of the lines, never an old one.
    lang->SetStrings({Line({"IDS_7", "a", "a"}), Line({"IDS_7", "b", "b"})});
    EXPECT_NE(lang->GetTextOrDefault("IDS_7"), "");
    lang->SetTranslation(TStringsType::stStrings, "c", 2, "IDS_7");
    EXPECT_EQ(lang->Strings().Lines(), (Lines{Line({"IDS_7", "a", "c"}), Line({"IDS_7", "b", "b"})}));
    const std::string text = lang->GetTextOrDefault("IDS_7");
    EXPECT_TRUE(text == "c" || text == "b") << text;
}

TEST(TranslationData, DelimiterChangeReplacesItEverywhere)
{
    TlcLang lang(nullptr);
    lang.SetCaptions({Line({"A", "a"})});
    lang.SetLangDelim('|');
    EXPECT_EQ(lang.Captions().Lines(), Lines{"A|a|"});
    EXPECT_EQ(lang.DlgsCaptions()[0], "Warning|Warning|");
}

TEST(TranslationData, ADelimiterThatCouldNotBeReadBackIsRefused)
{
    struct TCase {
        unsigned char Delim;
        bool Refused;
    };
    const TCase cases[] = {{'|', false}, {'\t', false}, {0, false}, {'\r', true}, {'\n', true}, {0x19, true}, {0x1A, true}};
    for (const TCase& c : cases) {
        TlcLang lang(nullptr);
        lang.SetNumOfLanguages(2);
        lang.SetStrings({Line({"IDS_1", "Zeile 1\r\nZeile 2", "b"})});
        const TlcStringList before = lang.Strings();
        if (c.Refused) {
            try {
                lang.SetLangDelim(c.Delim);
                ADD_FAILURE() << "no error for " << int(c.Delim);
            } catch (const ELanguageError& e) {
                EXPECT_EQ(e.Message(), std::to_string(c.Delim)
                                           + " - is not a valid delimiter!\rLine breaks and their codes 25 and 26 "
                                             "are kept in the texts.");
            }
            EXPECT_EQ(lang.LangDelim(), 1);
            EXPECT_EQ(lang.Strings(), before) << int(c.Delim);
            continue;
        }
        lang.SetLangDelim(c.Delim);
        TlcLang back(nullptr);
        back.SetNumOfLanguages(2);
        back.SetLangDelim(c.Delim);
        back.ReadTranslationData(lang.WriteTranslationData());
        EXPECT_EQ(back.Strings(), lang.Strings()) << int(c.Delim);
        EXPECT_EQ(back.GetTextOrDefault("IDS_1"), "Zeile 1\r\nZeile 2") << int(c.Delim);
    }
}

} // namespace
