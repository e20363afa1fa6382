// Translation files in the binary form: components read from ".LCB" files,
// the component stream they hold, and the manager that reads them.
#include "tests/localization/TranslationFilesFixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TranslationFiles, ReadsTheOwnersComponentFromAnLcbFile)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("t.lcb").toStdString();
    // The source keeps its own entry second and another delimiter.
    TForm source("stCaptions\r\n" + Line({"Button1", "Ja", "Yes"}) + "\r\n" +
                 Line({"TfTestForm", "Haupt", "Main"}) + "\r\nstStrings\r\n" + Line({"IDS_1", "Eins", "One"}) + "\r\n");
    source.Lang->SetLangDelim(2);
    source.Lang->SetLangNames({"Deutsch", "English"});
    TlcExtendedItem& item = source.Lang->ExtendedTranslations()->Add();
    item.Identifier = "Button1.Tag";
    item.PropertyType = TTypeKind::tkLString;
    item.Values = "a\x02" "b\x02";
    WriteFile(file, LcbOf(*source.Lang, "TfTestForm"));
    EXPECT_TRUE(IsLCBFile(file));
    EXPECT_TRUE(IsLCBFile("x.Lcb"));
    EXPECT_FALSE(IsLCBFile("x.ini"));

    TForm form;
    form.Lang->SetActiveLanguage(2);
    form.Translated = 0;
    form.Files().LoadFromLCB(file);
    EXPECT_EQ(form.Lang->Captions(),
              TlcStringList({Line({"TfTestForm", "Haupt", "Main"}), Line({"Button1", "Ja", "Yes"})}));
    EXPECT_EQ(form.Lang->GetTextOrDefault("IDS_1"), "One");
    ASSERT_EQ(form.Lang->ExtendedTranslations()->Count(), 1);
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).Values, Line({"a", "b"}));
    EXPECT_EQ(form.Lang->ExtendedTranslations()->Items(0).PropertyType, TTypeKind::tkLString);
    EXPECT_EQ(form.Translated, 1);

    TLCBFileManager manager;
    TForm list;
    manager.ReadList(TStringsType::stStrings, file, "TfTestForm", *list.Lang);
    EXPECT_EQ(list.Lang->Strings(), TlcStringList({Line({"IDS_1", "Eins", "One"})}));
    EXPECT_TRUE(list.Lang->Captions().Empty());
    EXPECT_EQ(manager.FixedLanguages(), TlcStringList({"English"}));
    EXPECT_EQ(manager.OwnerIdentifiers(), TlcStringList({"TfOther", "TfTestForm"}));

    // Merging a list from the file keeps the entries it lacks.
    TForm merged("stStrings\r\n" + Line({"IDS_2", "Zwei", "Two"}) + "\r\n");
    EXPECT_TRUE(merged.Files().MergeListFromFile(TStringsType::stStrings, file));
    EXPECT_EQ(merged.Lang->Strings(),
              TlcStringList({Line({"IDS_1", "Eins", "One"}), Line({"IDS_2", "Zwei", "Two"})}));
}

// The pieces of a hand-made component stream: a short string, a u32.
std::string ShortText(const std::string& text)
{
    return std::string(1, static_cast<char>(text.size())) + text;
}

std::string U32(size_t n)
{
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((n >> (8 * i)) & 0xFF);
    return out;
}

// A component stream as another writer may make it: one extended item whose
// values are streamed as the given "ValuesEx" bytes.
std::string StreamWithValuesEx(const std::string& identifier, const std::string& valuesEx)
{
    const char vaList = 1, vaString = 6, vaBinary = 10, vaCollection = 14, vaNull = 0;
    return "TPF0" + ShortText("TlcLangLinked") + ShortText("lcLang") + ShortText("ExtendedTranslations") + vaCollection
           + vaList + ShortText("Identifier") + vaString + ShortText(identifier) + ShortText("ValuesEx") + vaBinary
           + U32(valuesEx.size()) + valuesEx + vaNull + vaNull + vaNull + vaNull;
}

TEST(TranslationFiles, AComponentReadFromAnLcbFileIsTakenAsStoredNotMergedWithItsDefaults)
{
    // The stored component belongs to an inherited form, whose data a form's
    // reader merges into what the component already holds; read from a file,
    // its lists are the file's alone.
    const char vaInt8 = 2, vaTrue = 9, vaBinary = 10, vaNull = 0;
    const std::string data = "stDlgsCaptions\r\n" + Line({"Warning", "Warnung", "Warning"}) + "\r\n";
    const std::string stream = "TPF0" + ShortText("TlcLang") + ShortText("lcLang") + ShortText("NumOfLanguages") +
                               vaInt8 + '\x02' + ShortText("IsInheritedOwner") + vaTrue +
                               ShortText("TranslationData") + vaBinary + U32(data.size()) + data + vaNull + vaNull;
    QTemporaryDir dir;
    const std::string file = dir.filePath("inherited.lcb").toStdString();
    WriteFile(file, BuildLCBFile({}, {{"TfTestForm", stream}}));

    TfTestForm form;
    form.setObjectName("fMain");
    TlcLang* lang = LoadLang<TlcLang>(&form, nullptr, "");
    ASSERT_EQ(lang->DlgsCaptions().Count(), 15);
    lang->LoadFromLCB(file);
    EXPECT_EQ(lang->DlgsCaptions(), TlcStringList({Line({"Warning", "Warnung", "Warning"})}));
    EXPECT_FALSE(lang->IsInheritedOwner());
}

TEST(TranslationFiles, ExtendedItemsKeepTheirValuesThroughTheStream)
{
    // Written by the engine: the values as "ValuesEx" bytes; read back the same.
    TForm source;
    for (const auto& [identifier, values] : {std::pair<const char*, std::string>{"TfTestForm.Caption", Line({"Grün", "Green"})},
                                             {"Button1.Tag", ""}}) {
        TlcExtendedItem& item = source.Lang->ExtendedTranslations()->Add();
        item.Identifier = identifier;
        item.Values = values;
    }
    const std::string stream = WriteComponentStream(*source.Lang);
    // The component keeps no UTF-8 (StoreAsUTF8 off): the stream's 8-bit code page.
    EXPECT_NE(stream.find(std::string("\x08ValuesEx\x0A\x0B\0\0\0Gr\xFCn\x01Green\x01", 25)), std::string::npos);
    EXPECT_EQ(stream.find("\x06Values"), std::string::npos);
    EXPECT_EQ(stream.find("ValuesEx"), stream.rfind("ValuesEx")); // none for empty values

    struct TCase {
        const char* What;
        std::string Stream;
        std::string Values;
        std::u16string ValuesW;
    };
    const std::u16string wide = u"Grün\x01Green\x01";
    std::string wideBytes = std::string(4, '\0');
    for (char16_t c : wide)
        wideBytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    const TCase cases[] = {
        {"8-bit", stream, "Grün\x01Green\x01", u""},
        {"16-bit", StreamWithValuesEx("TfTestForm.Caption", wideBytes), "Grün\x01Green\x01", wide},
    };
    for (const TCase& c : cases) {
        TForm form;
        TLCBFileManager manager;
        manager.ReadComponent(*form.Lang, "TfTestForm", BuildLCBFile({}, {{"TfTestForm", c.Stream}}));
        ASSERT_GE(form.Lang->ExtendedTranslations()->Count(), 1) << c.What;
        const TlcExtendedItem& item = form.Lang->ExtendedTranslations()->Items(0);
        EXPECT_EQ(item.Identifier, "TfTestForm.Caption") << c.What;
        EXPECT_EQ(item.Values, c.Values) << c.What;
        EXPECT_EQ(item.ValuesW, c.ValuesW) << c.What;
        // The item from the file sets what it names.
        form.Lang->SetActiveLanguage(2);
        EXPECT_EQ(form.Form->Caption().toStdString(), "Green") << c.What;
        form.Lang->SetActiveLanguage(1);
        EXPECT_EQ(form.Form->Caption().toStdString(), "Grün") << c.What;
        // Written again, it reads back as it was.
        TForm again;
        manager.ReadComponent(*again.Lang, "TfTestForm",
                              BuildLCBFile({}, {{"TfTestForm", WriteComponentStream(*form.Lang)}}));
        ASSERT_GE(again.Lang->ExtendedTranslations()->Count(), 1) << c.What;
        EXPECT_EQ(again.Lang->ExtendedTranslations()->Items(0).Values, c.Values) << c.What;
    }
}

TEST(TranslationFiles, ACopiedManagerHasCopiesOfTheComponents)
{
    TForm form(kCaptionsData);
    TLCBFileManager source;
    source.SetFileNameForComments(u"t.lcb");
    source.AddComponent(form.Lang);
    auto* unowned = new TlcLang(nullptr);
    unowned->SetStrings({Line({"IDS_7", "Sieben"})});
    source.AddComponent(unowned);
    TLCBFileManager copy;
    source.AssignTo(copy);
    EXPECT_EQ(copy.Header(), lcLCBHeader);
    EXPECT_EQ(copy.FileNameForComments(), u"t.lcb");
    ASSERT_EQ(copy.ComponentCount(), 2);
    EXPECT_NE(copy.Component(0), form.Lang);
    EXPECT_EQ(copy.Component(0)->Captions(), form.Lang->Captions());
    EXPECT_EQ(copy.Component(0)->LangNames(), form.Lang->LangNames());
    EXPECT_EQ(copy.Component(1)->Strings(), unowned->Strings());
}

TEST(TranslationFiles, BrokenLcbFilesGiveAClearErrorAndChangeNothing)
{
    TForm source(kCaptionsData);
    const std::string good = LcbOf(*source.Lang, "TfTestForm");
    struct TCase {
        const char* What;
        std::string Bytes;
        const char* Error;
    };
    const TCase cases[] = {
        {"another header", "LCB file: something else" + std::string(1, '\0') + good.substr(42),
         "Unrecognized stream format!"},
        {"no zero byte", std::string(lcLCBHeader), "Unrecognized stream format!"},
        {"empty", "", "Unrecognized stream format!"},
        {"cut in the table", good.substr(0, 50), "Stream read error"},
        {"cut in the component", good.substr(0, good.size() - 20), "Stream read error"},
        {"offset beyond the end",
         [&] {
             std::string bytes = BuildLCBFile({}, {{"TfTestForm", WriteComponentStream(*source.Lang)}});
             const size_t at = bytes.find("TfTestForm") + 10;
             bytes[at + 3] = '\x7F';
             return bytes;
         }(),
         "Stream read error"},
        {"no component stream", BuildLCBFile({}, {{"TfTestForm", "junk and more junk"}}), "Invalid stream format"},
    };
    for (const TCase& c : cases) {
        TForm form("stStrings\r\n" + Line({"IDS_9", "Neun", "Nine"}) + "\r\n");
        const TlcStringList before = form.Lang->Strings();
        TLCBFileManager manager;
        try {
            manager.ReadComponent(*form.Lang, "TfTestForm", c.Bytes);
            ADD_FAILURE() << c.What << ": no error";
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), c.Error) << c.What;
        }
        EXPECT_EQ(form.Lang->Strings(), before) << c.What;
        EXPECT_TRUE(form.Lang->Captions().Empty()) << c.What;
    }

    // An owner that no entry names leaves the component as it was.
    TForm form("stStrings\r\n" + Line({"IDS_9", "Neun", "Nine"}) + "\r\n");
    TLCBFileManager manager;
    manager.ReadComponent(*form.Lang, "TfNobody", good);
    EXPECT_EQ(form.Lang->Strings().Count(), 1);
}

} // namespace
