// The language picker and the translated file dialogs.
#include "localization/lcDialog.h"
#include "localization/lcLangCombo.h"
#include "tests/common/TestServices.h"
#include "tests/localization/TestForms.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>

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

TEST(TranslatedDialogs, LabelsFromTheDialogCaptionsOfTheActiveLanguage)
{
    TTestDataModule dm;
    TlcStringList captions = dm.Lang->DlgsCaptions();
    for (const auto& line : {Line({"Files of type:", "Dateityp:", "Files of type:"}), Line({"File name:", "Dateiname:", ""}),
                             Line({"Open", "Öffnen", "Open"}), Line({"Save", "Speichern", "Save"})})
        captions.Add(line);
    dm.Lang->SetDlgsCaptions(captions);

    TlcOpenDialog open;
    EXPECT_TRUE(open.Labels().FileName.empty()); // no component: the system's texts
    open.SetlcLang(dm.Lang);
    EXPECT_TRUE(dm.Lang->NeedAllDlgs());
    TFileDialogLabels labels = open.Labels();
    EXPECT_EQ(labels.FileType, "Dateityp:");
    EXPECT_EQ(labels.FileName, "Dateiname:");
    EXPECT_EQ(labels.Accept, "Öffnen");
    EXPECT_EQ(labels.LookIn, ""); // no entry: left alone, no error
    dm.Dispatcher->SetActiveLanguage(2);
    labels = open.Labels();
    EXPECT_EQ(labels.Accept, "Open");
    EXPECT_EQ(labels.FileName, "Dateiname:"); // no English text: the first language's
    TlcSaveDialog save;
    save.SetlcLang(dm.Lang);
    EXPECT_EQ(save.Labels().Accept, "Save");
    EXPECT_TRUE(save.Settings.OverwritePrompt);

    // The dialog runs through the program's dialog service with its labels.
    TestDialogs().Clear();
    TestDialogs().QueueFile("/tmp/chosen.xml");
    EXPECT_TRUE(open.Execute(nullptr));
    EXPECT_EQ(open.Settings.FileName, "/tmp/chosen.xml");
    ASSERT_EQ(TestDialogs().FileDialogs().size(), 1u);
    EXPECT_EQ(TestDialogs().FileDialogs()[0].Labels.Accept, "Open");
}

TEST(TranslatedDialogs, FolderChoiceDefaultsAndTheChosenFolder)
{
    TlcBrowseForFolder browse;
    EXPECT_EQ(browse.RootFolder, TCSIDL::csDesktop);
    EXPECT_EQ(browse.Flags, (std::set<TBIFlag>{TBIFlag::ReturnFSAncestors, TBIFlag::ReturnOnlyFSDirs}));
    EXPECT_EQ(static_cast<int>(TCSIDL::csWindowsDir), 41);
    browse.SetSelectedDir(QDir::tempPath().toStdString());
    ASSERT_TRUE(browse.SelectedItem().has_value());
    browse.SetSelectedDir("/no/such/folder");
    EXPECT_FALSE(browse.SelectedItem().has_value());
    EXPECT_EQ(browse.SelectedDir(), "/no/such/folder");
}
