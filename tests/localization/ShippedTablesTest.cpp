// The translation tables that the program and the plug-in ship, compiled as
// they compile them and loaded as their forms load them: what each form's
// component holds, and what it does with it.
#include "localization/lcFiles.h"
#include "localization/lcResStrings.h"
#include "tests/localization/TestForms.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

// The main window as its table knows it: a hint of its own, a status bar and
// a tool bar.
class TfMainForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
public:
    TfMainForm()
    {
        SetOwnerRoot(this);
        setWindowTitle("Zor Tessaro");
        setToolTip("Hauptfenster");
        MainStatusBar = new TLabel(this);
        MainStatusBar->setObjectName("MainStatusBar");
        MainStatusBar->setToolTip("Status");
        ToolBar1 = new TLabel("ToolBar1", this);
        ToolBar1->setObjectName("ToolBar1");
    }
    TLabel* MainStatusBar;
    TLabel* ToolBar1;
};

namespace {

using Lines = std::vector<std::string>;

// Loads a shipped form's component into the owner as the form does, with
// extra data read after the form's own (none: the form's data alone).
template <class TLang>
TLang* LoadShipped(QObject* owner, TlcLangDispatcher* dispatcher, const std::string& folder, const std::string& form,
                   const std::string& extra = {})
{
    auto* lang = new TLang(owner);
    lang->setObjectName(owner && owner->isWidgetType() ? "lcLangLinked" : "lcLang");
    TlcResourceLoading loading;
    loading.Add(*lang);
    LoadFormTranslation(*lang, dispatcher, folder, form);
    if (!extra.empty())
        lang->ReadTranslationData(extra);
    loading.Finish();
    return lang;
}

// The data module's dispatcher alone (its own component is the table's).
struct TDispatcherModule {
    TTestDM Module;
    TlcLangDispatcher* Dispatcher = new TlcLangDispatcher(&Module);
    TDispatcherModule()
    {
        Dispatcher->setObjectName("lcLangDispatcher");
        TlcResourceLoading loading;
        loading.Add(*Dispatcher);
        Dispatcher->SetNumOfLanguages(2);
        Dispatcher->SetLangNames({"Deutsch", "English"});
        Dispatcher->SetLanguage("Deutsch");
        loading.Finish();
    }
};

// A form's data read into a component of the form's class that has no owner.
std::unique_ptr<TlcCustomLang> ReadAlone(const std::string& form, const std::string& data)
{
    std::unique_ptr<TlcCustomLang> lang;
    if (form == "TDM")
        lang = std::make_unique<TlcLang>(nullptr);
    else
        lang = std::make_unique<TlcLangLinked>(nullptr);
    lang->SetNumOfLanguages(2);
    lang->ReadTranslationData(data);
    return lang;
}

QStringList Forms(const char* folder)
{
    QStringList forms;
    for (const QString& file : QDir(folder).entryList({"*.lcs"}))
        forms << file.chopped(4);
    return forms;
}

} // namespace

TEST(ShippedTables, EveryFormCarriesItsComponentInGermanAndEnglish)
{
    EXPECT_EQ(Forms(":/tessaro/lc"), (QStringList{"TDM", "TfComportOptions", "TfInputForm", "TfLanguage", "TfMainForm",
                                                 "TfSelectDeviceForm", "TfZorAboutDlg"}));
    EXPECT_EQ(Forms(":/ravvel/lc"),
              (QStringList{"TfFunkmodulTerminalForm", "TfGPSTraceForm", "TfIBISTraceForm", "TfParameterForm"}));
    for (const char* folder : {":/tessaro/lc", ":/ravvel/lc"}) {
        const bool program = std::string(folder) == ":/tessaro/lc";
        for (const QString& name : Forms(folder)) {
            const std::string form = name.toStdString();
            SCOPED_TRACE(form);
            TDispatcherModule dm;
            // The plug-in's forms link to no dispatcher: the plug-in has none.
            TlcLangDispatcher* dispatcher = program ? dm.Dispatcher : nullptr;
            const std::string data = LoadTranslationResource(std::string(folder) + "/" + form + ".dat");
            std::unique_ptr<QObject> owner;
            TlcCustomLang* lang = nullptr;
            if (form == "TDM") {
                owner = std::make_unique<TTestDM>();
                lang = LoadShipped<TlcLang>(owner.get(), dispatcher, folder, form);
            } else {
                owner = std::make_unique<TfTestForm>();
                lang = LoadShipped<TlcLangLinked>(owner.get(), dispatcher, folder, form);
                // A form's table keeps neither dialog texts nor locale settings.
                EXPECT_EQ(data.find("stDlgsCaptions"), std::string::npos);
            }
            EXPECT_EQ(lang->NumOfLanguages(), 2);
            EXPECT_EQ(lang->LangNames().Lines(), (Lines{"Deutsch", "English"}));
            EXPECT_EQ(lang->Language(), "Deutsch");
            EXPECT_EQ(lang->ActiveLanguage(), 1);
            EXPECT_EQ(lang->LangDelim(), 1);
            EXPECT_EQ(lang->LangDispatcher(), dispatcher);
            EXPECT_EQ(dm.Dispatcher->LinkedCount(), program ? 1 : 0);
            // The data read and written again are the same bytes.
            EXPECT_EQ(ReadAlone(form, data)->WriteTranslationData(), data);
        }
    }
}

TEST(ShippedTables, TheDataModuleHoldsEveryDialogText)
{
    TDispatcherModule dm;
    auto* lang = LoadShipped<TlcLang>(&dm.Module, dm.Dispatcher, ":/tessaro/lc", "TDM");
    EXPECT_TRUE(lang->NeedAllDlgs());
    EXPECT_TRUE(lang->HandleResourceStrings());
    EXPECT_EQ(lang->SmartExcludeProps().Lines(), (Lines{"RegistryStorage.Root"}));
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), lang);

    // All 86 in the dialog items' order, keyed by the English text without
    // "&", with a German text and the English one.
    const TlcStringList& dialogs = lang->DlgsCaptions();
    ASSERT_EQ(dialogs.Count(), lcDialogItemCount);
    for (int n = 1; n <= lcDialogItemCount; ++n) {
        const std::string& line = dialogs[n - 1];
        SCOPED_TRACE(line);
        EXPECT_EQ(ExtractField(line, 1, 0), lcDialogKey(n));
        EXPECT_FALSE(ExtractField(line, 1, 1).empty());
        EXPECT_EQ(ExtractField(line, 1, 2), lcDialogItem(n));
        EXPECT_EQ(CountDelimiters(line, "\x01"), 3);
    }
    struct TCase {
        const char* Key;
        const char* German;
        const char* English;
    };
    const TCase cases[] = {
        {"Yes", "&Ja", "&Yes"},         {"Cancel", "Abbrechen", "Cancel"},
        {"Look in:", "Suchen &in:", "Look &in:"}, {"File name:", "Datei&name:", "File &name:"},
        {"|Solid", "|Ba&sis", "|S&olid"}, {"Find", "Suchen", "Find"},
    };
    for (const TCase& c : cases) {
        dm.Dispatcher->SetActiveLanguage(1);
        EXPECT_EQ(lang->LookupText(lang->DlgsCaptions(), c.Key, false), c.German) << c.Key;
        dm.Dispatcher->SetActiveLanguage(2);
        EXPECT_EQ(lang->LookupText(lang->DlgsCaptions(), c.Key, false), c.English) << c.Key;
    }
    // The texts by identifier are there too.
    EXPECT_EQ(lang->GetTextOrDefault("IDS_10"), "Errormessage: %s");
}

TEST(ShippedTables, TheMainWindowKeepsItsOwnHintAndTheBarsTexts)
{
    TDispatcherModule dm;
    TfMainForm form;
    // Lines such as a designer's scan would have collected for them.
    const std::string collected = "stCaptions\r\n" + Line({"ToolBar1", "Werkzeuge", "Tools"}) + "\r\nstHints\r\n"
                                  + Line({"TfMainForm", "Fenster", "Window"}) + "\r\n"
                                  + Line({"MainStatusBar", "Zustand", "State"}) + "\r\n";
    auto* lang = LoadShipped<TlcLangLinked>(&form, dm.Dispatcher, ":/tessaro/lc", "TfMainForm", collected);
    EXPECT_EQ(lang->SmartExcludeProps().Lines(), (Lines{"TfMainForm.Hint", "MainStatusBar.Hint", "ToolBar1.Caption"}));
    // Their lines are gone after loading.
    EXPECT_TRUE(lang->Hints().Empty());
    EXPECT_EQ(lang->Captions().IndexOf(Line({"ToolBar1", "Werkzeuge", "Tools"})), -1);
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(form.toolTip(), "Hauptfenster");
    EXPECT_EQ(form.MainStatusBar->toolTip(), "Status");
    EXPECT_EQ(form.ToolBar1->text(), "ToolBar1");
    EXPECT_EQ(lang->GetTextOrDefault("IDS_26"), "Connected");
}

TEST(ShippedTables, TheLanguageDialogsData)
{
    TDispatcherModule dm;
    TfLanguage form;
    auto* lang = LoadShipped<TlcLangLinked>(&form, dm.Dispatcher, ":/tessaro/lc", "TfLanguage");
    // The dialog's caption and label alone (the buttons keep their texts in
    // every language); three hints and the help file without texts; the
    // picker's entries.
    EXPECT_EQ(lang->Captions().Lines(),
              (Lines{Line({"TfLanguage", "Sprache", "Language"}), Line({"Label1", "Sprache:", "Language:"})}));
    EXPECT_EQ(lang->Hints().Lines(), (Lines{Line({"TfLanguage", "", ""}), Line({"btnOK", "", ""}),
                                            Line({"btnAbort", "", ""})}));
    EXPECT_EQ(lang->OtherStrings().Lines(), (Lines{Line({"TfLanguage.HelpFile", "", ""})}));
    EXPECT_EQ(lang->Collections().Count(), 8);
    EXPECT_TRUE(lang->Strings().Empty());
    EXPECT_TRUE(lang->MultiLines().Empty());
    EXPECT_TRUE(lang->DisplayLabels().Empty());

    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(form.windowTitle(), "Language");
    EXPECT_EQ(form.Label1->text(), "Language:");
    EXPECT_EQ(form.btnAbort->text(), "&Abbrechen");
    EXPECT_EQ(form.btnOK->text(), "&OK");
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[0].LanguageName(), "Deutsch"); // no English name of its own
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[1].FontName(), "Tahoma");
    // The entries of items the picker does not have went aside; the texts of
    // no language were dropped.
    EXPECT_EQ(lang->Collections().Count(), 4);
    EXPECT_TRUE(lang->Hints().Empty());
    EXPECT_TRUE(lang->OtherStrings().Empty());
    dm.Dispatcher->SetActiveLanguage(1);
    EXPECT_EQ(form.windowTitle(), "Sprache");
    EXPECT_EQ(form.btnAbort->text(), "&Abbrechen");
}

// The GPS window's table names the fonts of the window and of its list, and
// the window's character set, in both languages alike.
TEST(ShippedTables, TheGPSWindowsFontsAndCharacterSet)
{
    const std::unique_ptr<TlcCustomLang> lang =
        ReadAlone("TfGPSTraceForm", LoadTranslationResource(":/ravvel/lc/TfGPSTraceForm.dat"));
    EXPECT_EQ(lang->Fonts().Lines(), (Lines{Line({"TfGPSTraceForm", "Tahoma", "Tahoma"}),
                                            Line({"lbxGPSTrace", "Courier New", "Courier New"})}));
    EXPECT_EQ(lang->CharSets().Lines(), (Lines{Line({"TfGPSTraceForm", "DEFAULT_CHARSET", "DEFAULT_CHARSET"})}));
    EXPECT_EQ(lang->Captions()[0], Line({"TfGPSTraceForm", "GPS Empfangsdaten", "GPS data"}));
}

namespace {

// A line of the program's rule of the texts that stay German in English.
struct TKeptGerman {
    std::string Table, List, Key, German;
    bool Found = false;
};

// The rule's table, as the documentation page gives it: table, list, key and
// the German text (the first one quoted) that both languages show.
std::vector<TKeptGerman> KeptGerman()
{
    std::vector<TKeptGerman> kept;
    std::ifstream page(TESSARO_DOCS_DIR "/texts-in-english.md");
    EXPECT_TRUE(page) << "docs/texts-in-english.md";
    for (std::string row; std::getline(page, row);) {
        if (row.empty() || row.front() != '|')
            continue;
        std::vector<std::string> cells;
        for (const QString& cell : QString::fromStdString(row).split(u'|').mid(1, 4))
            cells.push_back(cell.trimmed().toStdString());
        if (cells.size() < 4 || cells[0] == "table" || cells[0].starts_with("-"))
            continue;
        const size_t open = cells[3].find('"');
        const size_t close = cells[3].find('"', open + 1);
        EXPECT_NE(close, std::string::npos) << row;
        if (close == std::string::npos)
            continue;
        kept.push_back({cells[0], cells[1], cells[2], cells[3].substr(open + 1, close - open - 1)});
    }
    return kept;
}

} // namespace

TEST(ShippedTables, EveryTextHasItsEnglishOneOrStaysGermanByRule)
{
    std::vector<TKeptGerman> kept = KeptGerman();
    EXPECT_FALSE(kept.empty());
    int lines = 0;
    for (const char* folder : {":/tessaro/lc", ":/ravvel/lc"}) {
        for (const QString& name : Forms(folder)) {
            const std::string form = name.toStdString();
            const std::unique_ptr<TlcCustomLang> lang =
                ReadAlone(form, LoadTranslationResource(std::string(folder) + "/" + form + ".dat"));
            for (int t = 0; t < lcStringsTypeCount; ++t) {
                const auto type = static_cast<TStringsType>(t);
                const TlcStringList* list = lang->GetListByType(type);
                for (int i = 0; list && i < list->Count(); ++i) {
                    ++lines;
                    const std::string& line = (*list)[i];
                    const std::string key = ExtractField(line, 1, 0);
                    const std::string german = ExtractField(line, 1, 1);
                    const std::string english = ExtractField(line, 1, 2);
                    const std::string where = form + " " + lcIniSectionName(type) + " " + key;
                    const auto rule = std::find_if(kept.begin(), kept.end(), [&](const TKeptGerman& k) {
                        return k.Table == form && k.List == lcIniSectionName(type) && k.Key == key;
                    });
                    if (rule != kept.end()) {
                        // German in both languages: the German text, or none
                        // in English, where the German one stands in.
                        rule->Found = true;
                        EXPECT_EQ(german, rule->German) << where;
                        EXPECT_TRUE(english.empty() || english == german) << where << ": " << english;
                    } else if (!german.empty()) {
                        EXPECT_FALSE(english.empty()) << where << " has no English text";
                    }
                }
            }
        }
    }
    EXPECT_GT(lines, 200);
    for (const TKeptGerman& k : kept)
        EXPECT_TRUE(k.Found) << k.Table << " " << k.List << " " << k.Key << " is no line of the tables";
}

#include "ShippedTablesTest.moc"
