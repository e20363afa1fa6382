// Translation files: the lists of a form's component saved to, loaded from,
// merged with and imported from INI text, and the file operations of the
// component (the binary ".LCB" form: LcbFilesTest.cpp).
#include "tests/localization/TranslationFilesFixture.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

namespace {

TEST(TranslationFiles, SavesAnEntryUnderTheClassNameAndLoadsItBack)
{
    TForm form(kCaptionsData);
    std::string stream;
    EXPECT_EQ(form.Files().SaveListToIni(TStringsType::stCaptions, stream, "~!@#"), 2);
    EXPECT_EQ(stream, "[Captions]\r\n"
                      "TfTestForm.Button1=Ja~!@#Yes~!@#\r\n"
                      "TfTestForm.TfTestForm=Hauptfenster~!@#Main window~!@#\r\n\r\n"
                      "[Language names - for internal use only!]\r\n"
                      "Language_1=Deutsch\r\nLanguage_2=English\r\n\r\n"
                      "[OPTIONS]\r\nDELIMITER=~!@#\r\nIsUTF8File=0\r\n\r\n");

    TForm other;
    EXPECT_EQ(other.Files().LoadListFromIni(TStringsType::stCaptions, stream, true), 2);
    // The form's own entry comes first.
    EXPECT_EQ(other.Lang->Captions().Text(), TlcStringList({Line({"TfTestForm", "Hauptfenster", "Main window"}),
                                                     Line({"Button1", "Ja", "Yes"})}).Text());
    EXPECT_EQ(other.Translated, 1);
}

TEST(TranslationFiles, LineBreaksAreStoredAsTwoBytesAndComeBack)
{
    TForm form(kCaptionsData);
    *form.Lang->GetListByType(TStringsType::stStrings) = {Line({"IDS_1", "Zeile 1\r\nZeile 2", "Line 1\r\nLine 2"})};
    std::string stream;
    form.Files().SaveListToIni(TStringsType::stStrings, stream, "|");
    EXPECT_NE(stream.find("TfTestForm.IDS_1=Zeile 1\x19\x1AZeile 2|Line 1\x19\x1ALine 2|\r\n"), std::string::npos);
    TForm other;
    other.Files().LoadListFromIni(TStringsType::stStrings, stream, true);
    EXPECT_EQ(other.Lang->Strings(), form.Lang->Strings());
    EXPECT_EQ(other.Lang->GetTextOrDefault("IDS_1"), "Zeile 1\r\nZeile 2");
}

TEST(TranslationFiles, KeysOfOtherFormsAreNeitherLoadedNorDeleted)
{
    const std::string stream = "[Captions]\r\n"
                               "TfOther.Label1=A~!@#B~!@#\r\n"
                               "fMain.Old=X~!@#Y~!@#\r\n"
                               "TfTestForm.Button1=Ja~!@#Yes~!@#\r\n"
                               "tftestform.Button2=Nein~!@#\r\n\r\n"
                               "[Hints]\r\nTfOther.x=1~!@#\r\n";
    TForm form;
    EXPECT_EQ(form.Files().LoadListFromIni(TStringsType::stCaptions, stream, true), 4);
    // Keys under the form's name or class name (any case) are the form's; a
    // value short of languages gets its closing delimiter.
    EXPECT_EQ(form.Lang->Captions(),
              TlcStringList({Line({"Old", "X", "Y"}), Line({"Button1", "Ja", "Yes"}),
                             Line({"Button2", "Nein"})}));

    std::string saved = stream;
    form.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#");
    EXPECT_NE(saved.find("TfOther.Label1=A~!@#B~!@#\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[Hints]\r\nTfOther.x=1~!@#\r\n"), std::string::npos);
    // Entries under the form's name give way to those under its class name.
    EXPECT_EQ(saved.find("fMain.Old"), std::string::npos);
    EXPECT_NE(saved.find("TfTestForm.Old=X~!@#Y~!@#\r\n"), std::string::npos);
}

TEST(TranslationFiles, LoadingSkipsExcludedComponentsAndMissingValuesAndTakesTheOptions)
{
    const std::string stream = "[OPTIONS]\r\nDELIMITER=##\r\nIsUTF8File=1\r\nLanguage_Fixed2=1\r\n"
                               "[Language names - for internal use only!]\r\n"
                               "Language_1=Deutsch\r\nLanguage_2=English\r\nLanguage_3=Francais\r\n"
                               "Language_5=Lost\r\n"
                               "[Collections]\r\nTfTestForm.List.Items-0+.Caption=a##b##c##\r\n"
                               "TfTestForm.Hidden.Caption=h##\r\nTfTestForm.Missing=\xFF\r\n";
    TForm form;
    form.Lang->SetDoNotTranslate({"Hidden"});
    TlcTranslationFiles files(*form.Lang);
    EXPECT_EQ(files.LoadListFromIni(TStringsType::stCollections, stream, true), 3);
    // The lines as loaded, before applying them to the form.
    files.LoadAllFromIni(stream, true, true);
    EXPECT_EQ(form.Lang->Collections(), TlcStringList({Line({"List.Items[0].Caption", "a", "b", "c"})}));
    EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English", "Francais"}));
    EXPECT_EQ(form.Lang->NumOfLanguages(), 3);
    EXPECT_TRUE(form.Lang->StoreAsUTF8());
    EXPECT_EQ(files.FixedLanguages(), TlcStringList({"English"}));

    // The brackets of collection keys are written back as "-" and "+".
    std::string saved;
    files.SaveListToIni(TStringsType::stCollections, saved, "##");
    EXPECT_NE(saved.find("TfTestForm.List.Items-0+.Caption=a##b##c##\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Language_3=Francais\r\n"), std::string::npos);
}

TEST(TranslationFiles, AFileWithoutLanguageNamesChangesNothing)
{
    TForm form(kCaptionsData);
    const TlcStringList before = form.Lang->Captions();
    const std::string stream = "[Language names - for internal use only!]\r\nLanguage_1=\r\nOther=1\r\n"
                               "[Captions]\r\nTfTestForm.New=x~!@#\r\n";
    EXPECT_EQ(form.Files().LoadListFromIni(TStringsType::stCaptions, stream, true), -1);
    EXPECT_EQ(form.Lang->Captions(), before);
    EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English"}));
    EXPECT_FALSE(form.Files().MergeListFromIni(TStringsType::stCaptions, stream));
    EXPECT_FALSE(form.Files().MergeAllFromIni(stream));
    EXPECT_EQ(form.Lang->Captions(), before);
    // A list the component's class does not have.
    std::string out;
    EXPECT_EQ(form.Files().SaveListToIni(TStringsType::stLocales, out, "~"), -1);
    EXPECT_EQ(form.Files().LoadListFromIni(TStringsType::stLocales, stream, true), -1);
}

TEST(TranslationFiles, TextThatIsNoTranslationFileChangesNothing)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("other.ini").toStdString();
    const std::string texts[] = {
        "",
        "just some text\r\nTfTestForm.Button1=x~!@#\r\n",
        "[Settings]\r\nTfTestForm.Button1=x~!@#\r\n",
        std::string(lcLCBHeader) + '\0' + "\x01\x00\x00\x00",
    };
    for (const std::string& text : texts) {
        WriteFile(file, text);
        TForm form(kCaptionsData);
        const TlcStringList captions = form.Lang->Captions();
        const TlcStringList strings = form.Lang->Strings();
        EXPECT_EQ(form.Files().LoadListFromIni(TStringsType::stCaptions, text, true), -1);
        EXPECT_THROW(form.Files().LoadAllFromIni(text, true, false), ELanguageError);
        EXPECT_THROW(form.Files().LoadAllFromFile(file, true), ELanguageError);
        EXPECT_THROW(form.Files().ReadAllFromFile(file, true), ELanguageError);
        EXPECT_FALSE(form.Files().MergeAllFromFile(file));
        EXPECT_FALSE(LoadDispatcherFile(*form.Lang, file));
        EXPECT_EQ(form.Lang->Captions(), captions);
        EXPECT_EQ(form.Lang->Strings(), strings);
        EXPECT_EQ(form.Translated, 0);
    }
    // A file with sections of other forms only is one: the lists are cleared.
    WriteFile(file, "[Captions]\r\nTfOther.x=1~!@#\r\n");
    TForm form(kCaptionsData);
    EXPECT_TRUE(LoadDispatcherFile(*form.Lang, file));
    EXPECT_TRUE(form.Lang->Captions().Empty());
}

TEST(TranslationFiles, SavedFilesHaveTheirSectionsAndRoundTripByteForByte)
{
    QTemporaryDir dir;
    const std::string first = dir.filePath("first.ini").toStdString();
    const std::string second = dir.filePath("second.ini").toStdString();
    TForm form(kCaptionsData + "stHints\r\n" + Line({"Button1", "Tipp", ""}) + "\r\n");
    TlcExtendedItem& item = form.Lang->ExtendedTranslations()->Add();
    item.Identifier = "Button1.Tag";
    item.PropertyType = TTypeKind::tkInteger;
    item.Values = Line({"1", "2"});
    WriteFile(first, "[Captions]\r\nTfOther.x=o~!@#\r\n");
    form.Files().SaveAllToFile(first, "~!@#");
    const std::string saved = FileBytes(first);
    for (const char* section : {"[OPTIONS]", "[Language names - for internal use only!]", "[Captions]", "[Hints]",
                                "[Strings]", "[Extended]"})
        EXPECT_NE(saved.find(section), std::string::npos) << section;
    EXPECT_NE(saved.find("TfOther.x=o~!@#"), std::string::npos);
    EXPECT_NE(saved.find("TfTestForm.Button1.Tag=1~!@#2~!@#\r\nTfTestForm.Button1.Tag_TypeKind=tkInteger\r\n"),
              std::string::npos);

    TForm other;
    other.Files().LoadAllFromFile(first, true);
    EXPECT_EQ(other.Lang->Captions(), form.Lang->Captions());
    EXPECT_EQ(other.Lang->Hints(), form.Lang->Hints());
    EXPECT_EQ(other.Lang->Strings(), form.Lang->Strings());
    ASSERT_EQ(other.Lang->ExtendedTranslations()->Count(), 1);
    EXPECT_EQ(other.Lang->ExtendedTranslations()->Items(0).Values, item.Values);
    EXPECT_EQ(other.Lang->ExtendedTranslations()->Items(0).PropertyType, TTypeKind::tkInteger);
    EXPECT_EQ(other.Translated, 1);
    WriteFile(second, "[Captions]\r\nTfOther.x=o~!@#\r\n");
    other.Files().SaveAllToFile(second, "~!@#");
    EXPECT_EQ(FileBytes(second), saved);

    // Saving all lists into a stream keeps all twelve sections it had.
    std::string stream;
    for (int t = 0; t < lcStringsTypeCount; ++t)
        stream += "[" + std::string(lcIniSectionName(static_cast<TStringsType>(t))) + "]\r\nTfOther.k=v\r\n";
    std::string all;
    TForm(kCaptionsData).Files().SaveAllToIni(all, "~!@#");
    other.Files().SaveAllToIni(stream, "~!@#");
    TlcMemIniFile ini;
    ini.ReadFromStream(stream);
    for (int t = 0; t < lcStringsTypeCount; ++t)
        EXPECT_EQ(ini.ReadValue(lcIniSectionName(static_cast<TStringsType>(t)), "TfOther.k", ""), "v") << t;
}

TEST(TranslationFiles, TheMisspelledNamesSectionIsErasedAndEmptyNamesGetNumbers)
{
    TForm form(kCaptionsData);
    form.Lang->SetLangNames({"Deutsch", ""});
    std::string stream = "[Language names - for intenal use only!]\r\nLanguage_1=Old\r\n";
    form.Files().SaveListToIni(TStringsType::stCaptions, stream, "");
    EXPECT_EQ(stream.find("intenal"), std::string::npos);
    EXPECT_NE(stream.find("Language_2=Language N2\r\n"), std::string::npos);
    // No delimiter would run the texts together: the default one is used.
    EXPECT_NE(stream.find("DELIMITER=~!@#\r\n"), std::string::npos);
}

TEST(TranslationFiles, FilesThatAreMissingOrUnwritable)
{
    QTemporaryDir dir;
    const std::string missing = dir.filePath("none.ini").toStdString();
    TForm form(kCaptionsData);
    const TlcStringList before = form.Lang->Captions();
    EXPECT_EQ(form.Files().LoadListFromFile(TStringsType::stCaptions, missing, true), -1);
    EXPECT_FALSE(form.Files().MergeListFromFile(TStringsType::stCaptions, missing));
    EXPECT_FALSE(form.Files().MergeAllFromFile(missing));
    form.Files().LoadAllFromFile(missing, true);
    form.Files().ReadAllFromFile(missing, true);
    form.Files().ImportLanguage(missing, "English");
    EXPECT_EQ(form.Lang->Captions(), before);
    EXPECT_EQ(form.Translated, 0);

    const std::string file = dir.filePath("t.ini").toStdString();
    EXPECT_EQ(form.Files().SaveStringsToFile(file, "~"), 1);
    const std::string saved = FileBytes(file);
    // A file that cannot be replaced (write-protected, which holds for root
    // too): the save raises and the old file stays.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    form.Lang->SetStrings({Line({"IDS_1", "Neu", "New"})});
    EXPECT_THROW(form.Files().SaveAllToFile(file, "~"), Exception);
    EXPECT_THROW(form.Files().SaveStringsToFile(file, "~"), Exception);
    EXPECT_EQ(FileBytes(file), saved);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    TForm other;
    EXPECT_EQ(other.Files().LoadStringsFromFile(file, true), 1);
    EXPECT_EQ(other.Lang->Strings(), TForm(kCaptionsData).Lang->Strings());
}

TEST(TranslationFiles, MergingKeepsTheEntriesTheFileLacksAndTheComponentsLanguageOrder)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("m.ini").toStdString();
    WriteFile(file, "[Language names - for internal use only!]\r\nLanguage_1=English\r\nLanguage_2=Klingon\r\n"
                    "Language_3=Deutsch\r\n"
                    "[Captions]\r\nTfTestForm.Button1=Yes!~!@#Qapla~!@#Ja!~!@#\r\n"
                    "TfTestForm.New=New~!@#~!@#Neu~!@#\r\n");
    TForm form(kCaptionsData);
    EXPECT_TRUE(form.Files().MergeListFromFile(TStringsType::stCaptions, file));
    // The form's own entry, which the file lacks, stays first.
    EXPECT_EQ(form.Lang->Captions(),
              TlcStringList({Line({"TfTestForm", "Hauptfenster", "Main window"}), Line({"Button1", "Ja!", "Yes!"}),
                             Line({"New", "Neu", "New"})}));
    EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English"}));
    EXPECT_EQ(form.Translated, 1);

    // The same from a stream, and with the whole component.
    TForm again(kCaptionsData);
    EXPECT_TRUE(again.Files().UpdateFromIni(FileBytes(file)));
    EXPECT_EQ(again.Lang->Captions(), form.Lang->Captions());
    EXPECT_EQ(again.Lang->Strings(), TForm(kCaptionsData).Lang->Strings());
    TForm whole(kCaptionsData);
    EXPECT_TRUE(whole.Files().UpdateFromFile(file));
    EXPECT_EQ(whole.Lang->Captions(), form.Lang->Captions());
}

TEST(TranslationFiles, ImportingALanguage)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("i.ini").toStdString();
    WriteFile(file, "[OPTIONS]\r\nDELIMITER=;\r\n"
                    "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=Francais\r\n"
                    "Language_3=English\r\n"
                    "[Captions]\r\nTfTestForm.Button1=Ja;Oui;Yes!;\r\nTfTestForm.Label1=L;Etiquette;\r\n"
                    "TfOther.X=a;b;c;\r\n"
                    "[Extended]\r\nTfTestForm.Button1.Tag=1;2;3;\r\nTfTestForm.Button1.Tag_TypeKind=tkInteger\r\n");
    TForm form(kCaptionsData);
    form.Files().ImportLanguage(file, "Francais");
    EXPECT_EQ(form.Lang->NumOfLanguages(), 3);
    EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English", "Francais"}));
    EXPECT_EQ(form.Lang->Captions().Text(),
              TlcStringList({Line({"TfTestForm", "Hauptfenster", "Main window", ""}),
                             Line({"Button1", "Ja", "Yes", "Oui"}), Line({"Label1", "", "", "Etiquette"})}).Text());
    ASSERT_EQ(form.Lang->ExtendedTranslations()->Count(), 1);
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).Values, Line({"", "", "2"}));
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).PropertyType, TTypeKind::tkInteger);
    EXPECT_EQ(form.Translated, 1);

    // A language the component has: only its field changes.
    form.Files().ImportLanguage(file, "English");
    EXPECT_EQ(form.Lang->Captions()[1], Line({"Button1", "Ja", "Yes!", "Oui"}));
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).Values, Line({"", "3", "2"}));

    // A language the file lacks: silence, or the error when asked for.
    const TlcStringList before = form.Lang->Captions();
    form.Files().ImportLanguage(file, "Klingon");
    EXPECT_EQ(form.Lang->Captions(), before);
    form.Lang->SetDoRaiseExceptions(true);
    try {
        form.Files().ImportLanguage(file, "Klingon");
        ADD_FAILURE() << "no error";
    } catch (const ELanguageError& error) {
        EXPECT_EQ(error.Message(), "Klingon not found in " + file);
    }
    EXPECT_EQ(form.Lang->Captions(), before);
    EXPECT_EQ(form.Lang->NumOfLanguages(), 3);
}

// A file written when the form still had a component "Gone": its texts are
// for the form, Button1 and the vanished component.
const std::string kFileWithVanishedComponent =
    "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=English\r\n"
    "[Captions]\r\nTfTestForm.Button1=Ja~!@#Yes~!@#\r\nTfTestForm.Gone=Weg~!@#Gone~!@#\r\n"
    "TfTestForm.TfTestForm=Hauptfenster~!@#Main window~!@#\r\n"
    "[Strings]\r\nTfTestForm.IDS_1=Zeile~!@#Line~!@#\r\n";

TEST(TranslationFiles, LoadedListsLeaveOutTheLinesOfMissingComponents)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("v.ini").toStdString();
    WriteFile(file, kFileWithVanishedComponent);
    struct TCase {
        const char* Name;
        std::function<void(TlcTranslationFiles&)> Run;
    } cases[] = {
        {"LoadListFromIni",
         [](TlcTranslationFiles& f) { f.LoadListFromIni(TStringsType::stCaptions, kFileWithVanishedComponent, true); }},
        {"LoadAllFromIni without translating",
         [](TlcTranslationFiles& f) { f.LoadAllFromIni(kFileWithVanishedComponent, true, true); }},
        {"LoadListFromFile", [&](TlcTranslationFiles& f) { f.LoadListFromFile(TStringsType::stCaptions, file, true); }},
        {"ReadAllFromFile", [&](TlcTranslationFiles& f) { f.ReadAllFromFile(file, true); }},
        {"MergeListFromIni",
         [](TlcTranslationFiles& f) { f.MergeListFromIni(TStringsType::stCaptions, kFileWithVanishedComponent); }},
        {"MergeAllFromIni", [](TlcTranslationFiles& f) { f.MergeAllFromIni(kFileWithVanishedComponent); }},
        {"MergeAllFromFile", [&](TlcTranslationFiles& f) { f.MergeAllFromFile(file); }},
        {"ImportLanguageList",
         [&](TlcTranslationFiles& f) { f.ImportLanguageList(TStringsType::stCaptions, file, "English"); }},
        {"ImportLanguage", [&](TlcTranslationFiles& f) { f.ImportLanguage(file, "English"); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TForm form(kCaptionsData);
        TlcTranslationFiles files = form.Files();
        c.Run(files);
        // The form's own entry stays first; the vanished component's line is
        // set aside, where a later scan of the form finds its texts again.
        EXPECT_EQ(form.Lang->Captions(), TlcStringList({Line({"TfTestForm", "Hauptfenster", "Main window"}),
                                                        Line({"Button1", "Ja", "Yes"})}));
        // (An imported line has the one language's text only.)
        ASSERT_NE(form.Lang->SetAsideList(), nullptr);
        EXPECT_THAT(form.Lang->SetAsideList()->Lines(),
                    ::testing::AnyOf(::testing::ElementsAre(Line({"Gone", "Weg", "Gone"})),
                                     ::testing::ElementsAre(Line({"Gone", "", "Gone"}))));
        EXPECT_EQ(form.Lang->GetTextOrDefault("IDS_1"), "Zeile");
    }
}

TEST(TranslationFiles, AListWhoseLinesCannotBeReadChangesNothing)
{
    // Button1 exists, but "x" is no item index.
    const std::string stream = "[Language names - for internal use only!]\r\n"
                               "Language_1=Deutsch\r\nLanguage_2=English\r\nLanguage_3=Francais\r\n"
                               "[Captions]\r\nTfTestForm.Button1=Oui~!@#Yes~!@#Si~!@#\r\n"
                               "[Collections]\r\nTfTestForm.Button1.Items-x+.Caption=a~!@#b~!@#c~!@#\r\n";
    TForm form(kCaptionsData + "stCollections\r\n" + Line({"Label1.Items[0].Caption", "a", "b"}) + "\r\n");
    const TlcStringList captions = form.Lang->Captions();
    const TlcStringList collections = form.Lang->Collections();
    EXPECT_EQ(form.Files().LoadListFromIni(TStringsType::stCollections, stream, true), -1);
    EXPECT_EQ(form.Lang->Collections(), collections);
    EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English"}));
    EXPECT_EQ(form.Lang->NumOfLanguages(), 2);
    EXPECT_FALSE(form.Files().MergeListFromIni(TStringsType::stCollections, stream));
    // The merge of all lists stops at the list that fails and undoes the others.
    EXPECT_FALSE(form.Files().MergeAllFromIni(stream));
    EXPECT_EQ(form.Lang->Captions(), captions);
    EXPECT_EQ(form.Lang->Collections(), collections);
}

TEST(TranslationFiles, AMergeThatFailsLeavesTheComponentAsItWas)
{
    // The file keeps its texts in UTF-8, names the languages in another case,
    // marks one fixed, and its captions merge; its collection line has no
    // item index, so the merge fails when that list is prepared, after the
    // captions, the names and the flag have been taken (one list merged
    // alone fails the same way).
    const std::string text = "[OPTIONS]\r\nIsUTF8File=1\r\nLanguage_Fixed2=1\r\n"
                             "[Language names - for internal use only!]\r\nLanguage_1=deutsch\r\n"
                             "Language_2=ENGLISH\r\n"
                             "[Captions]\r\nTfTestForm.Button1=Oui~!@#Yes!~!@#\r\n"
                             "[Collections]\r\nTfTestForm.Button1.Items-x+.Caption=a~!@#b~!@#\r\n";
    QTemporaryDir dir;
    const std::string file = dir.filePath("fails.ini").toStdString();
    WriteFile(file, text);
    struct TCase {
        const char* Name;
        std::function<bool(TlcCustomLang&)> Run;
    } cases[] = {
        {"MergeAllFromIni", [&](TlcCustomLang& l) { return l.MergeAllFromIni(text); }},
        {"UpdateFromIni", [&](TlcCustomLang& l) { return l.UpdateFromIni(text); }},
        {"MergeAllFromFile", [&](TlcCustomLang& l) { return l.MergeAllFromFile(file); }},
        {"UpdateFromFile", [&](TlcCustomLang& l) { return l.UpdateFromFile(file); }},
        {"MergeListFromIni", [&](TlcCustomLang& l) { return l.MergeListFromIni(TStringsType::stCollections, text); }},
        {"MergeListFromFile", [&](TlcCustomLang& l) { return l.MergeListFromFile(TStringsType::stCollections, file); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TForm form(kCaptionsData);
        const auto saved = [&form] {
            std::string ini;
            form.Lang->SaveAllToIni(ini, "~!@#");
            return ini + WriteComponentStream(*form.Lang);
        };
        const std::string before = saved();
        EXPECT_FALSE(c.Run(*form.Lang));
        EXPECT_EQ(saved(), before);
        EXPECT_FALSE(form.Lang->StoreAsUTF8());
        EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English"}));
        EXPECT_TRUE(form.Lang->FixedLanguages().Empty());
    }
}

TEST(TranslationFiles, ANewExtendedItemTakesTheKindOfTheOwnersProperty)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("e.ini").toStdString();
    // The file's kinds are stale: the form's caption is a wide string by now.
    // Button1 has no Tag, so the file's kind is all there is to go by.
    const std::string text = "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=English\r\n"
                             "[Extended]\r\nTfTestForm.TfTestForm.Caption=Haupt~!@#Main~!@#\r\n"
                             "TfTestForm.TfTestForm.Caption_TypeKind=tkInteger\r\n"
                             "TfTestForm.Button1.Tag=1~!@#2~!@#\r\nTfTestForm.Button1.Tag_TypeKind=tkInteger\r\n"
                             "TfTestForm.Label1.Caption=L~!@#\r\n";
    WriteFile(file, text);
    TForm source;
    for (const char* identifier : {"TfTestForm.Caption", "Button1.Tag", "Label1.Caption"}) {
        TlcExtendedItem& item = source.Lang->ExtendedTranslations()->Add();
        item.Identifier = identifier;
        item.PropertyType = identifier == std::string("Label1.Caption") ? TTypeKind::tkUnknown : TTypeKind::tkInteger;
        item.Values = Line({"x", "y"});
    }
    const std::string lcb = dir.filePath("e.lcb").toStdString();
    WriteFile(lcb, LcbOf(*source.Lang, "TfTestForm"));

    struct TCase {
        const char* Name;
        std::function<void(TlcTranslationFiles&)> Run;
    } cases[] = {
        {"LoadExtendedFromIni", [&](TlcTranslationFiles& f) { f.LoadExtendedFromIni(text, true); }},
        {"LoadAllFromIni", [&](TlcTranslationFiles& f) { f.LoadAllFromIni(text, true, true); }},
        {"ReadAllFromFile", [&](TlcTranslationFiles& f) { f.ReadAllFromFile(file, true); }},
        {"ImportLanguageExtended", [&](TlcTranslationFiles& f) { f.ImportLanguageExtended(file, "English"); }},
        {"LoadFromLCB", [&](TlcTranslationFiles& f) { f.LoadFromLCB(lcb); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TForm form;
        TlcTranslationFiles files = form.Files();
        c.Run(files);
        TlcExtendedItems* items = form.Lang->ExtendedTranslations();
        ASSERT_EQ(items->Count(), 3);
        std::map<std::string, TTypeKind> kinds;
        for (int i = 0; i < items->Count(); ++i)
            kinds[items->Items(i).Identifier] = items->Items(i).PropertyType;
        EXPECT_EQ(kinds, (std::map<std::string, TTypeKind>{{"TfTestForm.Caption", TTypeKind::tkWString},
                                                          {"Button1.Tag", TTypeKind::tkInteger},
                                                          {"Label1.Caption", TTypeKind::tkUnknown}}));
    }

    // An item the component has keeps its kind; only its texts come from the file.
    TForm form;
    TlcExtendedItem& own = form.Lang->ExtendedTranslations()->Add();
    own.Identifier = "TfTestForm.Caption";
    own.PropertyType = TTypeKind::tkLString;
    form.Files().LoadExtendedFromIni(text, false);
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).PropertyType, TTypeKind::tkLString);
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).Values, Line({"Haupt", "Main"}));
}

TEST(TranslationFiles, TheLanguageNamesOfAFileAreReadWithoutTouchingTheComponent)
{
    QTemporaryDir dir;
    const std::string ini = dir.filePath("n.ini").toStdString();
    WriteFile(ini, "[Language names - for internal use only!]\r\nLanguage_1=English\r\nLanguage_2=Klingon\r\n"
                   "Language_3=Deutsch\r\n[Captions]\r\nTfTestForm.Button1=Yes~!@#Qapla~!@#Ja~!@#\r\n");
    const std::string lcb = dir.filePath("n.LCB").toStdString();
    TForm source(kCaptionsData);
    source.Lang->SetLangNames({"Deutsch", "Francais"});
    WriteFile(lcb, LcbOf(*source.Lang, "TfTestForm"));
    const std::string unnamed = dir.filePath("u.ini").toStdString();
    WriteFile(unnamed, "[Captions]\r\nTfTestForm.Button1=Yes~!@#Ja~!@#\r\n");

    TForm form(kCaptionsData);
    form.Lang->SetLangNames({"Deutsch", "English"});
    form.Translated = 0;
    const TlcStringList captions = form.Lang->Captions();
    const int children = static_cast<int>(form.Form->children().size());
    TlcStringList names;
    form.Lang->LoadLanguageNames(ini, names);
    EXPECT_EQ(names, TlcStringList({"English", "Klingon", "Deutsch"}));
    form.Lang->LoadLanguageNames(lcb, names);
    EXPECT_EQ(names, TlcStringList({"Deutsch", "Francais"}));
    form.Lang->LoadLanguageNames(unnamed, names);
    EXPECT_EQ(names, TlcStringList({"Deutsch", "English"}));
    // The component, its owner and the owner's texts stay as they were.
    EXPECT_EQ(form.Lang->Captions(), captions);
    EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "English"}));
    EXPECT_EQ(form.Translated, 0);
    EXPECT_EQ(static_cast<int>(form.Form->children().size()), children);

    // A missing file gives nothing; a file of another kind a clear error.
    TlcStringList kept{"Kept"};
    form.Lang->LoadLanguageNames(dir.filePath("none.ini").toStdString(), kept);
    form.Lang->LoadLanguageNames(dir.filePath("none.lcb").toStdString(), kept);
    EXPECT_EQ(kept, TlcStringList({"Kept"}));
    const std::string broken = dir.filePath("b.lcb").toStdString();
    WriteFile(broken, "no translation data at all");
    EXPECT_THROW(form.Lang->LoadLanguageNames(broken, kept), Exception);
    const std::string other = dir.filePath("o.ini").toStdString();
    WriteFile(other, "[Settings]\r\nColour=Blue\r\n");
    EXPECT_THROW(form.Lang->LoadLanguageNames(other, kept), Exception);
    EXPECT_EQ(kept, TlcStringList({"Kept"}));
}

TEST(TranslationFiles, TheDispatcherLoadsItsFileIntoEveryComponentThatLinks)
{
    QTemporaryDir dir;
    const std::string ini = dir.filePath("texts.ini").toStdString();
    WriteFile(ini, "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=English\r\n"
                   "[Strings]\r\nTfTestForm.IDS_1=Datei~!@#File~!@#\r\n");
    TTestDataModule dm;
    dm.Dispatcher->SetActiveLanguage(2);
    dm.Dispatcher->SetFileName(ini);
    TForm form;
    form.Lang->SetLangDispatcher(dm.Dispatcher);
    dm.Dispatcher->AddLinkedLang(form.Lang);
    EXPECT_EQ(form.Lang->GetTextOrDefault("IDS_1"), "File");

    const std::string lcb = dir.filePath("texts.LCB").toStdString();
    TForm source("stStrings\r\n" + Line({"IDS_1", "Binaer", "Binary"}) + "\r\n");
    WriteFile(lcb, LcbOf(*source.Lang, "TfTestForm"));
    dm.Dispatcher->SetFileName(lcb);
    TForm second;
    dm.Dispatcher->AddLinkedLang(second.Lang);
    EXPECT_EQ(second.Lang->GetTextOrDefault("IDS_1"), "Binary");

    // A broken file: the component keeps its texts and the dispatcher its languages.
    WriteFile(lcb, "broken");
    TForm third("stStrings\r\n" + Line({"IDS_1", "Eigen", "Own"}) + "\r\n");
    dm.Dispatcher->AddLinkedLang(third.Lang);
    EXPECT_EQ(third.Lang->GetTextOrDefault("IDS_1"), "Own");
    EXPECT_EQ(dm.Dispatcher->NumOfLanguages(), 2);
}

// A component whose INI loading is its own: the engine reaches it through the
// component's operation.
class TlcCountingLang : public TlcLangLinked {
public:
    using TlcLangLinked::TlcLangLinked;
    void LoadAllFromFile(const std::string& fileName, bool clearFirst) override
    {
        ++Loads;
        TlcLangLinked::LoadAllFromFile(fileName, clearFirst);
    }
    int Loads = 0;
};

TEST(TranslationFiles, TheOperationsAreTheComponentsOwn)
{
    QTemporaryDir dir;
    const std::string ini = dir.filePath("texts.ini").toStdString();
    WriteFile(ini, "[OPTIONS]\r\nLanguage_Fixed2=1\r\n"
                   "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=English\r\n"
                   "[Strings]\r\nTfTestForm.IDS_1=Datei~!@#File~!@#\r\n");
    TTestDataModule dm;
    dm.Dispatcher->SetFileName(ini);
    TfTestForm form;
    auto* lang = new TlcCountingLang(&form);
    bool bulkWhileTranslating = false;
    lang->SetOnChangeLanguage([&](TObject*) { bulkWhileTranslating = lang->BulkUpdate(); });
    lang->SetLangDispatcher(dm.Dispatcher); // links, and loads the dispatcher's file
    EXPECT_EQ(lang->Loads, 1);
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Datei");
    EXPECT_EQ(lang->FixedLanguages(), TlcStringList({"English"}));
    EXPECT_TRUE(bulkWhileTranslating); // the closing steps of the lists run once, inside the bulk load
    EXPECT_FALSE(lang->BulkUpdate());

    // The single-list operations run their closing steps themselves.
    bulkWhileTranslating = true;
    EXPECT_EQ(lang->LoadListFromFile(TStringsType::stStrings, ini, true), 1);
    EXPECT_FALSE(bulkWhileTranslating);
    std::string saved;
    EXPECT_EQ(lang->SaveListToIni(TStringsType::stStrings, saved, "|"), 1);
    EXPECT_NE(saved.find("TfTestForm.IDS_1=Datei|File|"), std::string::npos);
}

TEST(TranslationFiles, TheDispatchersReaderReadsItsFileForEveryComponent)
{
    QTemporaryDir dir;
    const std::string lcb = dir.filePath("texts.LCB").toStdString();
    const std::string other = dir.filePath("other.lcb").toStdString();
    TForm source("stStrings\r\n" + Line({"IDS_1", "Binaer", "Binary"}) + "\r\n");
    WriteFile(lcb, LcbOf(*source.Lang, "TfTestForm"));
    WriteFile(other, BuildLCBFile({}, {{"TfTestForm", WriteComponentStream(*source.Lang)}, {"TfElse", "x"}}));
    TTestDataModule dm;
    EXPECT_EQ(dm.Dispatcher->LCBFileManager(), nullptr);
    dm.Dispatcher->SetFileName(lcb);
    TForm first;
    dm.Dispatcher->AddLinkedLang(first.Lang);
    TLCBFileManager* reader = dm.Dispatcher->LCBFileManager();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->FileName(), lcb);
    EXPECT_EQ(reader->OwnerIdentifiers(), TlcStringList({"TfOther", "TfTestForm"}));
    EXPECT_EQ(first.Lang->FixedLanguages(), TlcStringList({"English"}));
    TForm second;
    dm.Dispatcher->AddLinkedLang(second.Lang);
    EXPECT_EQ(dm.Dispatcher->LCBFileManager(), reader);
    EXPECT_EQ(second.Lang->GetTextOrDefault("IDS_1"), "Binaer");

    // The dispatcher's file, read again by a component: the same reader.
    WriteFile(lcb, BuildLCBFile({}, {{"TfThird", "x"}, {"TfTestForm", WriteComponentStream(*source.Lang)}}));
    second.Lang->LoadFromLCB(lcb);
    EXPECT_EQ(reader->OwnerIdentifiers().Lines(), (std::vector<std::string>{"TfThird", "TfTestForm"}));
    EXPECT_TRUE(second.Lang->FixedLanguages().Empty());
    // Another file: a reader of its own.
    second.Lang->LoadFromLCB(other);
    EXPECT_EQ(reader->OwnerIdentifiers().Lines(), (std::vector<std::string>{"TfThird", "TfTestForm"}));
    EXPECT_EQ(dm.Dispatcher->LCBFileManager(), reader);
}

} // namespace

namespace {

// The bytes of a hand-made component stream of one form's component, as
// another tool writes it: its settings, its language names and its data.
std::string HandMadeStream(bool utf8, const std::string& names, const std::string& data)
{
    auto shortText = [](const std::string& text) { return std::string(1, static_cast<char>(text.size())) + text; };
    std::string out = "TPF0" + shortText("TlcLangLinked") + shortText("lcLang");
    out += shortText("NumOfLanguages") + "\x02\x02";
    out += shortText("LangDelim") + "\x02\x01";
    out += shortText("StoreAsUTF8") + (utf8 ? "\x09" : "\x08");
    out += shortText("LangNames.Strings") + "\x01" + names + '\0';
    out += shortText("TranslationData") + "\x0A";
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((data.size() >> (8 * i)) & 0xFF);
    out += data;
    return out + '\0' + '\0';
}

// The data of a form's component whose only entry is Button1's caption.
std::string HandMadeData(const std::string& caption)
{
    return "stCaptions\r\n" + caption + "\r\nstHints\r\nstDisplayLabels\r\nstFonts\r\nstMultiLines\r\nstStrings\r\n"
           "stOtherStrings\r\nstCollections\r\nstCharSets\r\n";
}

// A translation file of one caption, written by hand as the file format has
// it, with the given bytes for "Grün" and the given flag.
std::string HandMadeIni(const std::string& green, const char* flag)
{
    return "[Captions]\r\nTfTestForm.Button1=" + green + "~!@#Green~!@#\r\n\r\n"
           "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=English\r\n\r\n"
           "[OPTIONS]\r\nDELIMITER=~!@#\r\nIsUTF8File=" + flag + "\r\n\r\n";
}

TEST(TranslationFiles, TheFlagSaysHowTheTextsOfAFileAreWritten)
{
    const std::string latin1 = HandMadeIni("Gr\xFC" "n", "0");
    const std::string utf8 = HandMadeIni("Gr\xC3\xBC" "n", "1");
    const std::string green = Line({"Button1", "Grün", "Green"});
    struct TCase {
        const char* What;
        std::string File;
        bool Utf8;
    };
    for (const TCase& c : {TCase{"8-bit", latin1, false}, TCase{"UTF-8", utf8, true}}) {
        // One list, all lists from one stream, and from a file.
        TForm one;
        EXPECT_EQ(one.Files().LoadListFromIni(TStringsType::stCaptions, c.File, true), 1) << c.What;
        EXPECT_EQ(one.Lang->Captions(), TlcStringList({green})) << c.What;
        EXPECT_EQ(one.Lang->StoreAsUTF8(), c.Utf8) << c.What;
        TForm all;
        all.Files().LoadAllFromIni(c.File, true, false);
        EXPECT_EQ(all.Lang->Captions(), TlcStringList({green})) << c.What;
        QTemporaryDir dir;
        const std::string name = dir.filePath("texts.ini").toStdString();
        WriteFile(name, c.File);
        TForm file;
        file.Files().LoadAllFromFile(name, true);
        EXPECT_EQ(file.Lang->Captions(), TlcStringList({green})) << c.What;
        // Saved again, the same bytes, in the encoding the flag names.
        std::string saved;
        EXPECT_EQ(one.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#"), 1);
        EXPECT_EQ(saved, c.File) << c.What;
        file.Files().SaveAllToFile(name, "~!@#");
        TForm back;
        back.Files().LoadAllFromFile(name, true);
        EXPECT_EQ(back.Lang->Captions(), TlcStringList({green})) << c.What;
        // One language imported from the file.
        TForm imported;
        imported.Files().ImportLanguageList(TStringsType::stCaptions, name, "Deutsch");
        EXPECT_EQ(imported.Lang->Captions(), TlcStringList({Line({"Button1", "Grün", ""})})) << c.What;
    }

    // A component that keeps its texts as UTF-8 writes UTF-8 and says so.
    TForm form;
    form.Files().LoadListFromIni(TStringsType::stCaptions, latin1, true);
    form.Lang->SetStoreAsUTF8(true);
    std::string saved;
    form.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#");
    EXPECT_EQ(saved, utf8);
    // Another form's 8-bit texts in the same file are written again in UTF-8.
    saved = "[Captions]\r\nTfOther.x=\xD6l~!@#\r\n[OPTIONS]\r\nIsUTF8File=0\r\n";
    form.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#");
    EXPECT_NE(saved.find("TfOther.x=\xC3\x96l~!@#\r\n"), std::string::npos);
    EXPECT_NE(saved.find("IsUTF8File=1\r\n"), std::string::npos);

    // A text that the 8-bit code page lacks is not lost: the file is written
    // in UTF-8 and says so.
    TForm omega(HandMadeData(Line({"Button1", "5 Ω", "5 Ω"})));
    saved.clear();
    omega.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#");
    EXPECT_NE(saved.find("TfTestForm.Button1=5 \xCE\xA9~!@#"), std::string::npos);
    EXPECT_NE(saved.find("IsUTF8File=1\r\n"), std::string::npos);
    TForm omegaBack;
    omegaBack.Files().LoadListFromIni(TStringsType::stCaptions, saved, true);
    EXPECT_EQ(omegaBack.Lang->Captions(), omega.Lang->Captions());
}

TEST(TranslationFiles, TheFlagSaysHowTheTextsOfAComponentStreamAreWritten)
{
    const std::string green = Line({"Button1", "Grün", "Green"});
    const std::string names8 = std::string("\x06\x07") + "Deutsch" + "\x06\x08" + "Fran\xE7" "ais";
    const std::string namesU = std::string("\x06\x07") + "Deutsch" + "\x06\x09" + "Fran\xC3\xA7" "ais";
    struct TCase {
        const char* What;
        std::string Stream;
        bool Utf8;
    };
    const TCase cases[] = {
        {"8-bit", HandMadeStream(false, names8, HandMadeData("Button1\x01Gr\xFCn\x01Green\x01")), false},
        {"UTF-8", HandMadeStream(true, namesU, HandMadeData("Button1\x01Gr\xC3\xBCn\x01Green\x01")), true},
    };
    for (const TCase& c : cases) {
        TForm form;
        TLCBFileManager manager;
        manager.ReadComponent(*form.Lang, "TfTestForm", BuildLCBFile({}, {{"TfTestForm", c.Stream}}));
        EXPECT_EQ(form.Lang->Captions(), TlcStringList({green})) << c.What;
        EXPECT_EQ(form.Lang->LangNames(), TlcStringList({"Deutsch", "Français"})) << c.What;
        EXPECT_EQ(form.Lang->StoreAsUTF8(), c.Utf8) << c.What;
        // Written again, the same bytes.
        EXPECT_EQ(WriteComponentStream(*form.Lang), c.Stream) << c.What;
    }
    // A text that the 8-bit code page lacks: written in UTF-8, and said so.
    TForm omega(HandMadeData(Line({"Button1", "5 Ω", "5 Ω"})));
    omega.Lang->SetLangNames({"Deutsch", "Français"});
    const std::string stream = WriteComponentStream(*omega.Lang);
    EXPECT_EQ(stream, HandMadeStream(true, namesU, HandMadeData(Line({"Button1", "5 Ω", "5 Ω"}))));
}

// The 32 bytes where the code page of the languages, Windows-1252, is not
// Latin-1, and the characters they stand for (the five bytes it leaves
// undefined stand for the control characters of their number).
std::string HighBytes()
{
    std::string bytes;
    for (int b = 0x80; b < 0xA0; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}
const std::string kHighText = "€\xC2\x81" "‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8D" "Ž\xC2\x8F\xC2\x90" "‘’“”•–—˜™š›œ\xC2\x9D" "žŸ";

// An ".LCB" file for TfTestForm written by hand: the header with the given
// fixed languages, then the one stream.
std::string HandMadeLcb(const std::string& fixed, const std::string& stream)
{
    auto u16 = [](size_t n) { return std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)}; };
    std::string out = std::string("LCB file: TlcLang binary translation data") + '\0' + u16(1) + u16(fixed.size()) +
                      fixed + u16(10) + "TfTestForm";
    const size_t offset = out.size() + 4;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((offset >> (8 * i)) & 0xFF);
    return out + stream;
}

TEST(TranslationFiles, EightBitFilesAreInTheCodePageOfTheLanguagesBothWays)
{
    // What a person wrote, „Hallo“ – 5 €, and every byte where the code page
    // is not Latin-1, as an 8-bit file and stream hold them.
    const std::string bytes = "\x84Hallo\x93 \x96 5 \x80 " + HighBytes();
    const std::string caption = Line({"Button1", "„Hallo“ – 5 € " + kHighText, "Green"});
    const std::string file = HandMadeIni(bytes, "0");
    const std::string names8 = std::string("\x06\x07") + "Deutsch" + "\x06\x08" + "Fran\xE7" "ais";
    const std::string stream =
        HandMadeStream(false, names8, HandMadeData("Button1\x01" + bytes + "\x01Green\x01"));

    // Read: an INI file, a component stream, the fixed languages of a header.
    TForm ini;
    EXPECT_EQ(ini.Files().LoadListFromIni(TStringsType::stCaptions, file, true), 1);
    EXPECT_EQ(ini.Lang->Captions(), TlcStringList({caption}));
    EXPECT_FALSE(ini.Lang->StoreAsUTF8());
    TForm lcb;
    TLCBFileManager manager;
    manager.ReadComponent(*lcb.Lang, "TfTestForm", HandMadeLcb("Deutsch\r\nFran\xE7" "ais", stream));
    EXPECT_EQ(lcb.Lang->Captions(), TlcStringList({caption}));
    EXPECT_FALSE(lcb.Lang->StoreAsUTF8());
    // The header's name is the stream's.
    EXPECT_EQ(lcb.Lang->LangNames(), TlcStringList({"Deutsch", "Français"}));
    EXPECT_EQ(manager.FixedLanguages(), lcb.Lang->LangNames());

    // Written back: the same bytes.
    std::string saved;
    ini.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#");
    EXPECT_EQ(saved, file);
    EXPECT_EQ(WriteComponentStream(*lcb.Lang), stream);

    // Written from texts typed in the program: 8-bit, as long as the code
    // page holds every character.
    TForm typed(HandMadeData(caption));
    saved.clear();
    typed.Files().SaveListToIni(TStringsType::stCaptions, saved, "~!@#");
    EXPECT_EQ(saved, file);
    typed.Lang->SetLangNames({"Deutsch", "Français"});
    EXPECT_EQ(WriteComponentStream(*typed.Lang), stream);
    EXPECT_EQ(BuildLCBFile({"Deutsch", "Français"}, {{"TfTestForm", stream}}),
              HandMadeLcb("Deutsch\r\nFran\xE7" "ais", stream));
    // A header name the code page lacks goes in UTF-8 and comes back.
    const std::string greek = BuildLCBFile({"Ελληνικά"}, {{"TfTestForm", stream}});
    EXPECT_EQ(greek, HandMadeLcb("\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC", stream));
    manager.ReadComponent(*lcb.Lang, "TfTestForm", greek);
    EXPECT_EQ(manager.FixedLanguages(), TlcStringList({"Ελληνικά"}));
}

// A component whose single-list file operations are its own: every call is
// counted, with the list it was for.
class TlcRecordingLang : public TlcLangLinked {
public:
    using TlcLangLinked::TlcLangLinked;
    std::vector<std::string> Calls;
    void Note(const char* what, TStringsType list) { Calls.push_back(std::string(what) + " " + lcIniSectionName(list)); }
    int LoadListFromIni(TStringsType list, std::string_view stream, bool clearFirst) override
    {
        Note("LoadListFromIni", list);
        return TlcLangLinked::LoadListFromIni(list, stream, clearFirst);
    }
    int SaveListToIni(TStringsType list, std::string& stream, const std::string& fileDelimiter) override
    {
        Note("SaveListToIni", list);
        return TlcLangLinked::SaveListToIni(list, stream, fileDelimiter);
    }
    bool MergeListFromIni(TStringsType list, std::string_view stream) override
    {
        Note("MergeListFromIni", list);
        return TlcLangLinked::MergeListFromIni(list, stream);
    }
    int LoadListFromFile(TStringsType list, const std::string& fileName, bool clearFirst) override
    {
        Note("LoadListFromFile", list);
        return TlcLangLinked::LoadListFromFile(list, fileName, clearFirst);
    }
    int SaveListToFile(TStringsType list, const std::string& fileName, const std::string& fileDelimiter) override
    {
        Note("SaveListToFile", list);
        return TlcLangLinked::SaveListToFile(list, fileName, fileDelimiter);
    }
    bool MergeListFromFile(TStringsType list, const std::string& fileName) override
    {
        Note("MergeListFromFile", list);
        return TlcLangLinked::MergeListFromFile(list, fileName);
    }
    void ImportLanguageList(TStringsType list, const std::string& fileName, const std::string& languageName) override
    {
        Note("ImportLanguageList", list);
        TlcLangLinked::ImportLanguageList(list, fileName, languageName);
    }
    void ImportLanguageExtended(const std::string& fileName, const std::string& languageName) override
    {
        Calls.push_back("ImportLanguageExtended");
        TlcLangLinked::ImportLanguageExtended(fileName, languageName);
    }
    void LoadAllFromIni(std::string_view stream, bool clearFirst, bool noTranslation) override
    {
        Calls.push_back("LoadAllFromIni");
        TlcLangLinked::LoadAllFromIni(stream, clearFirst, noTranslation);
    }
    bool MergeAllFromIni(std::string_view stream) override
    {
        Calls.push_back("MergeAllFromIni");
        return TlcLangLinked::MergeAllFromIni(stream);
    }
    bool MergeAllFromFile(const std::string& fileName) override
    {
        Calls.push_back("MergeAllFromFile");
        return TlcLangLinked::MergeAllFromFile(fileName);
    }
};

// The calls of an operation on all lists: for every list in the lists' order
// the call for that list, then the calls it makes in turn (for a list that a
// form's component lacks only when the operation goes on without it).
std::vector<std::string> EveryList(const char* what, std::vector<const char*> inner = {}, bool innerForAll = true)
{
    std::vector<std::string> calls;
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const auto type = static_cast<TStringsType>(t);
        const std::string list = lcIniSectionName(type);
        calls.push_back(std::string(what) + " " + list);
        const bool formHasIt = type != TStringsType::stDlgsCaptions && type != TStringsType::stLocales &&
                               type != TStringsType::stListView_TreeView_Items;
        if (innerForAll || formHasIt)
            for (const char* call : inner)
                calls.push_back(std::string(call) + " " + list);
    }
    return calls;
}

std::vector<std::string> Then(std::vector<std::string> calls, const std::vector<std::string>& more)
{
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

TEST(TranslationFiles, TheOperationsOnAllListsCallTheComponentsOwnOperationsOnOne)
{
    QTemporaryDir dir;
    const std::string ini = dir.filePath("texts.ini").toStdString();
    const std::string text = "[OPTIONS]\r\nIsUTF8File=0\r\n"
                             "[Language names - for internal use only!]\r\nLanguage_1=Deutsch\r\nLanguage_2=English\r\n"
                             "[Captions]\r\nTfTestForm.Button1=Ja~!@#Yes~!@#\r\n"
                             "[Strings]\r\nTfTestForm.IDS_1=Datei~!@#File~!@#\r\n";
    using TRun = std::function<void(TlcCustomLang&)>;
    struct TCase {
        const char* Name;
        TRun Run;
        std::vector<std::string> Calls;
    };
    const TCase cases[] = {
        {"LoadAllFromIni", [&](TlcCustomLang& l) { l.LoadAllFromIni(text, true, false); },
         Then({"LoadAllFromIni"}, EveryList("LoadListFromIni"))},
        {"SaveAllToIni", [&](TlcCustomLang& l) { std::string s; l.SaveAllToIni(s, "~!@#"); },
         EveryList("SaveListToIni")},
        {"MergeAllFromIni", [&](TlcCustomLang& l) { l.MergeAllFromIni(text); },
         Then({"MergeAllFromIni"}, EveryList("MergeListFromIni", {"LoadListFromIni"}, false))},
        {"UpdateFromIni", [&](TlcCustomLang& l) { l.UpdateFromIni(text); },
         Then({"MergeAllFromIni"}, EveryList("MergeListFromIni", {"LoadListFromIni"}, false))},
        {"MergeListFromIni", [&](TlcCustomLang& l) { l.MergeListFromIni(TStringsType::stStrings, text); },
         {"MergeListFromIni Strings", "LoadListFromIni Strings"}},
        {"LoadListFromFile", [&](TlcCustomLang& l) { l.LoadListFromFile(TStringsType::stHints, ini, true); },
         {"LoadListFromFile Hints", "LoadListFromIni Hints"}},
        {"SaveListToFile", [&](TlcCustomLang& l) { l.SaveListToFile(TStringsType::stHints, ini, "~!@#"); },
         {"SaveListToFile Hints", "SaveListToIni Hints"}},
        {"LoadAllFromFile", [&](TlcCustomLang& l) { l.LoadAllFromFile(ini, true); },
         Then({"LoadAllFromIni"}, EveryList("LoadListFromIni"))},
        {"SaveAllToFile", [&](TlcCustomLang& l) { l.SaveAllToFile(ini, "~!@#"); },
         EveryList("SaveListToFile", {"SaveListToIni"})},
        {"LoadStringsFromFile", [&](TlcCustomLang& l) { l.LoadStringsFromFile(ini, true); },
         {"LoadListFromFile Strings", "LoadListFromIni Strings"}},
        {"SaveStringsToFile", [&](TlcCustomLang& l) { l.SaveStringsToFile(ini, "~!@#"); },
         {"SaveListToFile Strings", "SaveListToIni Strings"}},
        {"ReadAllFromFile", [&](TlcCustomLang& l) { l.ReadAllFromFile(ini, true); },
         EveryList("LoadListFromFile", {"LoadListFromIni"})},
        {"MergeAllFromFile", [&](TlcCustomLang& l) { l.MergeAllFromFile(ini); },
         Then({"MergeAllFromFile"}, EveryList("MergeListFromFile", {"LoadListFromFile", "LoadListFromIni"}, false))},
        {"UpdateFromFile", [&](TlcCustomLang& l) { l.UpdateFromFile(ini); },
         Then({"MergeAllFromFile"}, EveryList("MergeListFromFile", {"LoadListFromFile", "LoadListFromIni"}, false))},
        {"ImportLanguage", [&](TlcCustomLang& l) { l.ImportLanguage(ini, "English"); },
         Then(EveryList("ImportLanguageList"), {"ImportLanguageExtended"})},
    };
    for (const TCase& c : cases) {
        WriteFile(ini, text);
        TfTestForm form;
        for (const char* component : {"Button1", "Label1"})
            (new QObject(&form))->setObjectName(component);
        auto* lang = LoadLang<TlcRecordingLang>(&form, nullptr, "");
        c.Run(*lang);
        EXPECT_EQ(lang->Calls, c.Calls) << c.Name;
        EXPECT_FALSE(lang->BulkUpdate()) << c.Name;
    }

    // The derived component's load is used for every list: what it loads is
    // what the component holds.
    TfTestForm form;
    (new QObject(&form))->setObjectName("Button1");
    auto* lang = LoadLang<TlcRecordingLang>(&form, nullptr, "");
    lang->LoadAllFromIni(text, true, false);
    EXPECT_EQ(lang->Captions(), TlcStringList({Line({"Button1", "Ja", "Yes"})}));
    EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Datei");
}

} // namespace

// Translation components of classes derived as a program derives them, each
// with a meta-object of its own: one with nothing of its own, one that also
// publishes the dialog texts, one whose constructor the meta-object can call;
// one derived from neither of the engine's classes; and one without a
// meta-object of its own.
class TlcMyLang : public TlcLangLinked {
    Q_OBJECT
public:
    using TlcLangLinked::TlcLangLinked;
};

class TlcMyDialogsLang : public TlcLangLinked {
    Q_OBJECT
    Q_PROPERTY(TlcStringList DlgsCaptions READ DlgsCaptions WRITE SetDlgsCaptions)
public:
    using TlcLangLinked::TlcLangLinked;
};

class TlcMyMadeLang : public TlcLang {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlcMyMadeLang(QObject* owner) : TlcLang(owner) { ++Made; }
    static inline int Made = 0;
};

class TlcMyOwnLang : public TlcCustomLang {
    Q_OBJECT
    Q_PROPERTY(TlcStringList Strings READ Strings WRITE SetStrings)
public:
    using TlcCustomLang::TlcCustomLang;
};

// It has TlcMyLang's meta-object.
class TlcMyPlainLang : public TlcMyLang {
public:
    using TlcMyLang::TlcMyLang;
};

namespace {

TEST(TranslationFiles, AComponentOfADerivedClassReadsEveryKindOfFile)
{
    QTemporaryDir dir;
    // An INI file whose languages come in another order than the component's.
    const std::string ini = dir.filePath("texts.ini").toStdString();
    WriteFile(ini, "[Language names - for internal use only!]\r\nLanguage_1=English\r\nLanguage_2=Deutsch\r\n"
                   "[Captions]\r\nTfTestForm.Button1=Yes~!@#Ja~!@#\r\n"
                   "[Dialogs]\r\nTfTestForm.Warning=Warning~!@#Warnung~!@#\r\n"
                   "[Strings]\r\nTfTestForm.IDS_1=File~!@#Datei~!@#\r\n");
    // An ".LCB" file of a component that publishes every list.
    const std::string lcb = dir.filePath("texts.LCB").toStdString();
    TfTestForm sourceForm;
    TlcLang* source = LoadLang<TlcLang>(&sourceForm, nullptr,
                                        "stDlgsCaptions\r\n" + Line({"Error", "Fehler", "Error"}) +
                                            "\r\nstStrings\r\n" + Line({"IDS_1", "Binaer", "Binary"}) + "\r\n");
    source->SetLangNames({"Deutsch", "Englisch"});
    WriteFile(lcb, LcbOf(*source, "TfTestForm"));

    struct TCase {
        const char* Class;
        std::function<TlcCustomLang*(TfTestForm&)> Make;
    } cases[] = {
        {"TlcMyLang", [](TfTestForm& f) { return LoadLang<TlcMyLang>(&f, nullptr, kCaptionsData); }},
        {"TlcMyDialogsLang", [](TfTestForm& f) { return LoadLang<TlcMyDialogsLang>(&f, nullptr, kCaptionsData); }},
        {"TlcMyMadeLang", [](TfTestForm& f) { return LoadLang<TlcMyMadeLang>(&f, nullptr, kCaptionsData); }},
        {"TlcMyPlainLang", [](TfTestForm& f) { return LoadLang<TlcMyPlainLang>(&f, nullptr, kCaptionsData); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Class);
        TfTestForm form;
        (new QObject(&form))->setObjectName("Button1");
        TlcCustomLang* lang = c.Make(form);
        TlcStringList* dialogs = lang->GetListByType(TStringsType::stDlgsCaptions);

        const int made = TlcMyMadeLang::Made;
        TlcStringList names;
        lang->LoadLanguageNames(ini, names);
        EXPECT_EQ(names, TlcStringList({"English", "Deutsch"}));
        lang->LoadLanguageNames(lcb, names);
        EXPECT_EQ(names, TlcStringList({"Deutsch", "Englisch"}));
        // A class the meta-object can make reads through components of its own.
        // (The file's names are read into one, the ".LCB" stream into another.)
        if (std::string(c.Class) == "TlcMyMadeLang") {
            EXPECT_EQ(TlcMyMadeLang::Made, made + 3);
        }

        // Merged from INI text and an INI file: the texts in the component's
        // language order, the lists the class publishes.
        for (const bool fromFile : {false, true}) {
            EXPECT_TRUE(fromFile ? lang->MergeAllFromFile(ini) : lang->MergeAllFromIni(FileBytes(ini)));
            EXPECT_EQ(lang->Captions(), TlcStringList({Line({"TfTestForm", "Hauptfenster", "Main window"}),
                                                       Line({"Button1", "Ja", "Yes"})}));
            EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Datei");
            EXPECT_EQ(lang->LangNames(), TlcStringList({"Deutsch", "English"}));
            if (dialogs) {
                EXPECT_EQ(lang->LookupText(*dialogs, "Warning", false), "Warnung");
            }
        }

        // The dispatcher's ".LCB" file, loaded when the component links.
        TTestDataModule dm;
        dm.Dispatcher->SetFileName(lcb);
        lang->SetLangDispatcher(dm.Dispatcher);
        EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Binaer");
        if (dialogs) {
            EXPECT_EQ(*dialogs, TlcStringList({Line({"Error", "Fehler", "Error"})}));
        }
        // Merged from it.
        lang->SetStrings({Line({"IDS_1", "Eigen", "Own"})});
        EXPECT_TRUE(lang->MergeAllFromFile(lcb));
        EXPECT_EQ(lang->GetTextOrDefault("IDS_1"), "Binaer");
    }

    // A class derived from neither of the engine's classes, whose
    // constructor the meta-object cannot call: the engine cannot make one.
    TfTestForm form;
    TlcCustomLang* own = LoadLang<TlcMyOwnLang>(&form, nullptr, "");
    TlcStringList names{"Kept"};
    try {
        own->LoadLanguageNames(ini, names);
        ADD_FAILURE() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Unable to obtain TlcMyOwnLang class reference for TfTestForm.lcLang! "
                                   "Please be sure that the class is registered.");
    }
    EXPECT_EQ(names, TlcStringList({"Kept"}));
}

} // namespace

#include "TranslationFilesTest.moc"
