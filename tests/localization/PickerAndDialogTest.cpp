// The language picker and the translated file dialogs.
#include "localization/lcDialog.h"
#include "localization/lcLangCombo.h"
#include "tests/common/TestServices.h"
#include "tests/localization/TestForms.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

TEST(LanguagePicker, ItemsFromTheDispatcherOrTheComponent)
{
    auto dm = std::make_unique<TTestDataModule>();
    TlcLangCombo combo;
    combo.SetlcLangDispatcher(dm->Dispatcher);
    ASSERT_EQ(combo.count(), 2);
    ASSERT_EQ(combo.LanguageInfos().size(), 2u); // default items
    EXPECT_EQ(combo.LanguageInfos()[0].FontName(), "Tahoma");
    EXPECT_EQ(combo.LanguageInfos()[0].FontCharset(), DEFAULT_CHARSET);
    EXPECT_EQ(combo.itemText(0).toStdString(), "Deutsch");
    EXPECT_EQ(combo.itemText(1).toStdString(), "English");

    // An item with its own name shows it; a third item goes with two names.
    combo.AddLanguageInfo();
    combo.LanguageInfos()[1].SetLanguageName("Englisch");
    combo.RebuildItems();
    EXPECT_EQ(combo.LanguageInfos().size(), 2u);
    EXPECT_EQ(combo.itemText(1).toStdString(), "Englisch");

    // The dispatcher goes: the link is cleared, the list stays; the next
    // rebuild takes the component's names, or none.
    combo.SetlcLang(dm->Lang);
    delete dm->Dispatcher;
    dm->Dispatcher = nullptr;
    EXPECT_EQ(combo.lcLangDispatcher(), nullptr);
    EXPECT_EQ(combo.count(), 2);
    combo.RebuildItems();
    EXPECT_EQ(combo.itemText(0).toStdString(), "Deutsch");
    combo.SetlcLang(nullptr);
    EXPECT_EQ(combo.count(), 0);
}

TEST(LanguagePicker, AfterLoadingTheActiveLanguageIsSelected)
{
    TTestDataModule dm;
    dm.Dispatcher->SetActiveLanguage(2);
    TlcLangCombo combo;
    combo.SetlcLang(dm.Lang);
    combo.SetlcLangDispatcher(dm.Dispatcher);
    combo.Loaded();
    EXPECT_EQ(combo.currentIndex(), 1);
    TlcLangCombo alone;
    alone.Loaded();
    EXPECT_EQ(alone.currentIndex(), -1);
}

namespace {

// A form with the language picker as the language dialog has it: two
// languages with their flags (solid red, solid blue) and names.
struct TPickerForm {
    static constexpr QRgb Red = qRgb(200, 0, 0);
    static constexpr QRgb Blue = qRgb(0, 0, 200);
    TTestDataModule DM;
    TfTestForm Form;
    TlcLangCombo* Combo;

    TPickerForm()
    {
        Combo = new TlcLangCombo(&Form);
        Combo->setObjectName("lcLangCombo");
        Combo->setGeometry(10, 10, 160, 24);
        for (QRgb colour : {Red, Blue}) {
            QPixmap flag(18, 12);
            flag.fill(QColor(colour));
            TLanguageInfo& info = Combo->AddLanguageInfo();
            info.SetFlagImage(flag);
            info.SetLanguageName(colour == Red ? "Deutsch" : "English");
        }
        Combo->SetlcLangDispatcher(DM.Dispatcher);
        Combo->Loaded();
        Form.resize(200, 60);
        Form.show();
    }
    // Pixels of that colour in what the closed box shows.
    int Shown(QRgb colour) const
    {
        const QImage image = Combo->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == colour;
        return count;
    }
};

} // namespace

TEST(LanguagePicker, TheClosedBoxShowsTheChosenLanguagesFlag)
{
    TPickerForm f;
    ASSERT_EQ(f.Combo->currentIndex(), 0);
    EXPECT_GE(f.Shown(TPickerForm::Red), 18 * 12);
    EXPECT_EQ(f.Shown(TPickerForm::Blue), 0);
    QTest::keyClick(f.Combo, Qt::Key_Down);
    ASSERT_EQ(f.Combo->currentIndex(), 1);
    EXPECT_EQ(f.Shown(TPickerForm::Red), 0);
    EXPECT_GE(f.Shown(TPickerForm::Blue), 18 * 12);
}

TEST(LanguagePicker, ATranslatedNameKeepsTheSelection)
{
    TPickerForm f;
    LoadLang<TlcLangLinked>(
        &f.Form, f.DM.Dispatcher,
        "stCollections\r\n" + Line({"lcLangCombo.LanguageInfos[1].LanguageName", "Englisch", "English"}) + "\r\n");
    QTest::keyClick(f.Combo, Qt::Key_Down);
    ASSERT_EQ(f.Combo->currentIndex(), 1);
    f.DM.Dispatcher->SetActiveLanguage(2);
    f.DM.Dispatcher->SetActiveLanguage(1); // "Englisch" is written
    EXPECT_EQ(f.Combo->LanguageInfos()[1].LanguageName(), "Englisch");
    EXPECT_EQ(f.Combo->currentIndex(), 1);
    EXPECT_EQ(f.Combo->count(), 2);
    EXPECT_EQ(f.Combo->ItemText(f.Combo->currentIndex()), "Englisch"); // what both the box and the list draw
    EXPECT_GE(f.Shown(TPickerForm::Blue), 18 * 12);
}

namespace {

// The program's dialog service running the toolkit's real file dialog, with
// a person looking at it: the dialog is shown, a file name typed, what it
// shows read, and the dialog cancelled.
class TLookingDialogs : public TRecordingDialogs {
public:
    struct TSeen {
        std::string LookIn, FileName, FileType, Accept, Reject;
        bool operator==(const TSeen&) const = default;
    };
    TLookingDialogs()
    {
        SetModalHandler([this](QDialog& dialog) {
            dialog.show();
            QCoreApplication::processEvents();
            auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
            if (name)
                QTest::keyClicks(name, "log.txt");
            auto label = [&dialog](const char* objectName) {
                const auto* found = dialog.findChild<QLabel*>(objectName);
                return found ? found->text().toStdString() : std::string("(none)");
            };
            auto* buttons = dialog.findChild<QDialogButtonBox*>();
            auto button = [buttons](QDialogButtonBox::ButtonRole role) {
                for (QAbstractButton* b : buttons->buttons())
                    if (buttons->buttonRole(b) == role)
                        return b->text().toStdString();
                return std::string("(none)");
            };
            Seen.push_back({label("lookInLabel"), label("fileNameLabel"), label("fileTypeLabel"),
                            button(QDialogButtonBox::AcceptRole), button(QDialogButtonBox::RejectRole)});
            return static_cast<int>(QDialog::Rejected);
        });
        SetDialogService(this);
    }
    ~TLookingDialogs() override { SetDialogService(&TestDialogs()); }
    bool OpenFile(QWidget* owner, TFileDialog& dialog) override { return TDialogService::OpenFile(owner, dialog); }
    bool SaveFile(QWidget* owner, TFileDialog& dialog) override { return TDialogService::SaveFile(owner, dialog); }
    std::vector<TSeen> Seen;
};

std::ostream& operator<<(std::ostream& out, const TLookingDialogs::TSeen& seen)
{
    return out << seen.LookIn << " | " << seen.FileName << " | " << seen.FileType << " | " << seen.Accept << " | "
               << seen.Reject;
}

} // namespace

TEST(TranslatedDialogs, TheDialogShowsTheCaptionsOfTheActiveLanguage)
{
    TTestDataModule dm;
    TlcStringList captions = dm.Lang->DlgsCaptions();
    for (const auto& line : {Line({"Look in:", "Suchen &in:", "Look &in:"}), Line({"File name:", "Datei&name:", ""}),
                             Line({"Open", "Ö&ffnen", "&Open"}), Line({"Save", "&Speichern", "&Save"})})
        captions.Add(line); // "Files of type:" has no line; "Cancel" is one of the constructor's
    dm.Lang->SetDlgsCaptions(captions);
    TLookingDialogs dialogs;

    TlcOpenDialog open;
    open.SetTitle("Firmware");
    open.SetFilter("Firmware (*.H86)|*.H86");
    EXPECT_FALSE(open.Execute(nullptr)); // no component: the toolkit's texts
    open.SetlcLang(dm.Lang);
    EXPECT_TRUE(dm.Lang->NeedAllDlgs());
    TlcSaveDialog save;
    save.SetlcLang(dm.Lang);
    struct TCase {
        int Language;
        TlcFileDialog* Dialog;
        TLookingDialogs::TSeen Seen;
    };
    const TCase cases[] = {
        // A label that takes no accelerator shows none; "Files of type:" has
        // no line and keeps the toolkit's text; "Cancel" is the constructor's
        // line, whose text is the English one in every language.
        {1, &open, {"Suchen in:", "Datei&name:", "Files of type:", "Ö&ffnen", "Cancel"}},
        {1, &save, {"Suchen in:", "Datei&name:", "Files of type:", "&Speichern", "Cancel"}},
        // No English text for "File name:": the toolkit's, not the German one.
        {2, &open, {"Look in:", "File &name:", "Files of type:", "&Open", "Cancel"}},
        {2, &save, {"Look in:", "File &name:", "Files of type:", "&Save", "Cancel"}},
    };
    for (const TCase& c : cases) {
        dm.Dispatcher->SetActiveLanguage(c.Language);
        EXPECT_FALSE(c.Dialog->Execute(nullptr));
    }
    ASSERT_EQ(dialogs.Seen.size(), 5u);
    EXPECT_EQ(dialogs.Seen[0], (TLookingDialogs::TSeen{"Look in:", "File &name:", "Files of type:", "&Open", "Cancel"}));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(dialogs.Seen[i + 1], cases[i].Seen) << i;

    // A text the table lacks raises nothing, whatever the component's setting.
    dm.Lang->SetDoRaiseExceptions(true);
    EXPECT_FALSE(open.Execute(nullptr));
    EXPECT_TRUE(dm.Lang->DoRaiseExceptions());
}

namespace {

// The program's data module: its dispatcher and its shipped table.
struct TShippedDataModule {
    TTestDM Module;
    TlcLangDispatcher* Dispatcher = new TlcLangDispatcher(&Module);
    TlcLang* Lang = new TlcLang(&Module);
    TShippedDataModule()
    {
        TlcResourceLoading loading;
        loading.Add(*Dispatcher);
        loading.Add(*Lang);
        Dispatcher->SetNumOfLanguages(2);
        Dispatcher->SetLangNames({"Deutsch", "English"});
        Dispatcher->SetLanguage("Deutsch");
        LoadFormTranslation(*Lang, Dispatcher, ":/tessaro/lc", "TDM");
        loading.Finish();
    }
};

} // namespace

TEST(TranslatedDialogs, WithTheDataModulesTableEveryLabelSpeaksTheLanguage)
{
    TShippedDataModule dm;
    TlcLangDispatcher* dispatcher = dm.Dispatcher;
    TlcLang* lang = dm.Lang;
    TLookingDialogs dialogs;
    TlcOpenDialog open;
    open.SetlcLang(lang);
    struct TCase {
        int Language;
        bool LookInLacking;
        TLookingDialogs::TSeen Seen;
    };
    const TCase cases[] = {
        {1, false, {"Suchen in:", "Datei&name:", "Dateityp:", "Ö&ffnen", "Abbrechen"}},
        {2, false, {"Look in:", "File &name:", "Files of type:", "&Open", "Cancel"}},
        // A label the table lacks keeps the toolkit's text.
        {1, true, {"Look in:", "Datei&name:", "Dateityp:", "Ö&ffnen", "Abbrechen"}},
    };
    for (const TCase& c : cases) {
        if (c.LookInLacking) {
            TlcStringList captions = lang->DlgsCaptions();
            captions.Delete(16);
            ASSERT_EQ(lcLineKey(lang->DlgsCaptions()[16], 1), "Look in:");
            lang->SetDlgsCaptions(captions);
        }
        dispatcher->SetActiveLanguage(c.Language);
        EXPECT_FALSE(open.Execute(nullptr));
        ASSERT_FALSE(dialogs.Seen.empty());
        EXPECT_EQ(dialogs.Seen.back(), c.Seen) << c.Language;
    }
}

// A person works a translated file dialog in German: types a folder's name,
// a file's name, clears the name again, chooses a folder and a file in the
// list. The accept button and the labels speak German in every state: the
// open dialog's button opens, the save dialog's saves a file and opens a
// folder.
TEST(TranslatedDialogs, TheAcceptButtonAndTheLabelsKeepTheirTranslationInEveryState)
{
    TShippedDataModule dm;
    TlcLang* lang = dm.Lang;
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Messungen"));
    QFile file(dir.filePath("werte.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    TLookingDialogs dialogs;
    struct TState {
        std::string Step, Accept, LookIn, FileName, FileType;
    };
    std::vector<TState> states;
    dialogs.SetModalHandler([&states](QDialog& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        auto* list = dialog.findChild<QListView*>("listView");
        if (!name || !buttons || !list) {
            ADD_FAILURE() << "the file dialog's name field, buttons or list";
            return static_cast<int>(QDialog::Rejected);
        }
        auto label = [&dialog](const char* objectName) {
            const auto* found = dialog.findChild<QLabel*>(objectName);
            return found ? found->text().toStdString() : std::string("(none)");
        };
        auto look = [&](const char* step) {
            QCoreApplication::processEvents();
            std::string accept = "(none)";
            for (QAbstractButton* b : buttons->buttons())
                if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
                    accept = b->text().toStdString();
            states.push_back({step, accept, label("lookInLabel"), label("fileNameLabel"), label("fileTypeLabel")});
        };
        // Typed: the names the field offers are closed again with Escape.
        auto type = [&](const char* text) {
            name->setFocus();
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(name, Qt::Key_Backspace);
            QTest::keyClicks(name, text);
            QCoreApplication::processEvents();
            if (QAbstractItemView* offered = name->completer() ? name->completer()->popup() : nullptr;
                offered && offered->isVisible())
                QTest::keyClick(offered, Qt::Key_Escape);
        };
        // Clicked in the list, once the list shows it (a thread of the
        // toolkit reads the folder).
        auto choose = [&](const char* entry) {
            QModelIndex item;
            for (int wait = 0; wait < 1000 && !item.isValid(); ++wait) {
                const QModelIndex root = list->rootIndex();
                for (int row = 0; row < list->model()->rowCount(root); ++row)
                    if (list->model()->index(row, 0, root).data().toString() == entry)
                        item = list->model()->index(row, 0, root);
                if (!item.isValid())
                    QTest::qWait(10);
            }
            if (!item.isValid()) {
                ADD_FAILURE() << "the list shows no " << entry;
                return;
            }
            list->scrollTo(item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
        };
        look("shown");
        type("Messungen");
        look("folder typed");
        type("werte.xml");
        look("file typed");
        type("");
        look("name cleared");
        choose("Messungen");
        look("folder chosen");
        choose("werte.xml");
        look("file chosen");
        return static_cast<int>(QDialog::Rejected);
    });
    TlcOpenDialog open;
    open.SetlcLang(lang);
    open.SetInitialDir(dir.path().toStdString());
    TlcSaveDialog save;
    save.SetlcLang(lang);
    save.SetInitialDir(dir.path().toStdString());
    const std::vector<std::string> opening(6, "Ö&ffnen");
    const std::vector<std::string> saving = {"&Speichern", "Ö&ffnen",    "&Speichern",
                                             "&Speichern", "Ö&ffnen", "&Speichern"};
    for (TlcFileDialog* dialog : std::initializer_list<TlcFileDialog*>{&open, &save}) {
        const bool isSave = dialog == &save;
        states.clear();
        EXPECT_FALSE(dialog->Execute(nullptr));
        ASSERT_EQ(states.size(), 6u) << isSave;
        for (size_t i = 0; i < states.size(); ++i) {
            const TState& s = states[i];
            SCOPED_TRACE(std::string(isSave ? "save, " : "open, ") + s.Step);
            EXPECT_EQ(s.Accept, isSave ? saving[i] : opening[i]);
            EXPECT_EQ(s.LookIn, "Suchen in:");
            EXPECT_EQ(s.FileName, "Datei&name:");
            EXPECT_EQ(s.FileType, "Dateityp:");
        }
    }
}

TEST(TranslatedDialogs, SettingsArePublishedAndTheDialogRunsThroughTheService)
{
    TlcOpenDialog open;
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"Title", "Firmware laden"},
                                      {"Filter", "Firmware (*.H86)|*.H86"},
                                      {"DefaultExt", "H86"},
                                      {"InitialDir", "/tmp"}}) {
        QMetaProperty property;
        ASSERT_TRUE(FindPublishedProperty(&open, name, &property)) << name;
        EXPECT_EQ(PropertyKind(property), TTypeKind::tkLString);
        property.write(&open, QVariant::fromValue(value));
    }
    TestDialogs().Clear();
    TestDialogs().QueueFile("/tmp/chosen.H86");
    EXPECT_TRUE(open.Execute(nullptr));
    EXPECT_EQ(open.FileName(), "/tmp/chosen.H86");
    ASSERT_EQ(TestDialogs().FileDialogs().size(), 1u);
    const TFileDialog shown = TestDialogs().FileDialogs()[0];
    EXPECT_EQ(shown.Title, "Firmware laden");
    EXPECT_EQ(shown.Filter, "Firmware (*.H86)|*.H86");
    EXPECT_EQ(shown.DefaultExt, "H86");
    EXPECT_EQ(shown.InitialDir, "/tmp");
    EXPECT_FALSE(shown.OnShow); // no component: nothing to translate
    TlcSaveDialog save;
    EXPECT_TRUE(save.Settings.OverwritePrompt);
}

TEST(TranslatedDialogs, FolderChoiceDefaultsAndTheChosenFolder)
{
    TlcBrowseForFolder browse;
    EXPECT_EQ(browse.RootFolder(), TCSIDL::csDesktop);
    EXPECT_EQ(browse.Flags(), (TBIFlags{TBIFlag::ReturnFSAncestors, TBIFlag::ReturnOnlyFSDirs}));
    EXPECT_EQ(static_cast<int>(TCSIDL::csWindowsDir), 41);
    browse.SetSelectedDir(QDir::tempPath().toStdString());
    ASSERT_TRUE(browse.SelectedItem().has_value());
    browse.SetSelectedDir("/no/such/folder");
    EXPECT_FALSE(browse.SelectedItem().has_value());
    EXPECT_EQ(browse.SelectedDir(), "/no/such/folder");
}

TEST(TranslatedDialogs, OtherStringsReachTheDialogsPublishedTexts)
{
    TTestDataModule dm("stOtherStrings\r\n" + Line({"OpenDialog.Title", "Firmware laden", "Load firmware"}) + "\r\n"
                       + Line({"OpenDialog.Filter", "Alle Dateien|*", "All files|*"}) + "\r\n"
                       + Line({"BrowseForFolderDialog.DialogCaption", "Ordner wählen", "Choose a folder"}) + "\r\n"
                       + Line({"BrowseForFolderDialog.Title", "Protokolle", "Logs"}) + "\r\n");
    auto* open = new TlcOpenDialog(&dm.Module);
    open->setObjectName("OpenDialog");
    auto* browse = new TlcBrowseForFolder(&dm.Module);
    browse->setObjectName("BrowseForFolderDialog");
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(open->Title(), "Load firmware");
    EXPECT_EQ(open->Filter(), "All files|*");
    EXPECT_EQ(browse->DialogCaption(), "Choose a folder");
    EXPECT_EQ(browse->Title(), "Logs");
    dm.Dispatcher->SetActiveLanguage(1);
    EXPECT_EQ(open->Settings.Title, "Firmware laden");
    EXPECT_EQ(browse->DialogCaption(), "Ordner wählen");

    // The folder choice's other settings are published with their kinds and
    // reach the extended translations.
    struct TCase {
        const char* Name;
        TTypeKind Kind;
    };
    for (const TCase& c : {TCase{"CanCreateSpecialFolder", TTypeKind::tkEnumeration}, TCase{"Flags", TTypeKind::tkSet},
                           TCase{"RootFolder", TTypeKind::tkEnumeration}, TCase{"SelectedDir", TTypeKind::tkLString}}) {
        QMetaProperty property;
        ASSERT_TRUE(FindPublishedProperty(browse, c.Name, &property)) << c.Name;
        EXPECT_EQ(PropertyKind(property), c.Kind) << c.Name;
    }
    EXPECT_EQ(dm.Lang->GetPropertyValueByPath("BrowseForFolderDialog.RootFolder"), "csDesktop");
    dm.Lang->SetPropertyValueByPath("BrowseForFolderDialog.RootFolder", "csPersonal");
    EXPECT_EQ(browse->RootFolder(), TCSIDL::csPersonal);
    dm.Lang->SetPropertyValueByPath("BrowseForFolderDialog.Flags", "EditBox,Validate");
    EXPECT_EQ(browse->Flags(), (TBIFlags{TBIFlag::EditBox, TBIFlag::Validate}));
}
