// The program's own translation data: every compiled-in file reads and
// writes back byte for byte, and the texts and the windows switch with the
// language.
#include "controls/SyncListbox.h"
#include "localization/lcComp.h"
#include "platform/StdCtrls.h"
#include "controls/Zor_ZusaetzlicheControls.h"
#include "localization/lcLangCombo.h"
#include "localization/lcLngLnk.h"
#include "shell/ComportOptions.h"
#include "shell/Environment.h"
#include "shell/InputForm.h"
#include "shell/Language.h"
#include "shell/ZorAboutDlg.h"
#include "shell/ZorUtils.h"
#include "tests/common/TranslationRoundTrip.h"
#include "tests/shell/ProgramFixture.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <memory>

TEST(ProgramTranslations, CompiledFilesReadAndWriteBackByteForByte)
{
    const QStringList files = QDir(":/tessaro/lc").entryList({"*.dat"});
    ASSERT_EQ(files, (QStringList{"TDM.dat", "TfComportOptions.dat", "TfInputForm.dat", "TfLanguage.dat",
                                  "TfMainForm.dat", "TfSelectDeviceForm.dat", "TfZorAboutDlg.dat"}));
    for (const QString& file : files)
        ExpectTranslationRoundTrip(":/tessaro/lc/" + file.toStdString(), file == "TDM.dat");
}

TEST_F(ProgramFixture, TextsFollowTheActiveLanguage)
{
    TDM dm(QStringList{"Tessaro"});
    TfMainForm form;
    EXPECT_EQ(form.Text("IDS_11"), "Warte auf Verbindung!");
    EXPECT_EQ(dm.Text("IDS_10"), "Fehlermeldung: %s");
    dm.lcLangDispatcher->SetActiveLanguage(2);
    EXPECT_EQ(form.lcLangLinked->ActiveLanguage(), 2);
    EXPECT_EQ(form.Text("IDS_11"), "Waiting for connection!");
    EXPECT_EQ(dm.Text("IDS_10"), "Errormessage: %s");
    EXPECT_EQ(dm.Text("IDS_58"), "acResetDialogsExecute"); // the same text in both languages
    EXPECT_EQ(dm.Text("IDS_59"), "Software\\Zorvatek\\Dialogs\\");
    EXPECT_EQ(dm.Text("IDS_999"), "");
    // A window made while English is active links in English.
    TfMainForm second;
    EXPECT_EQ(second.Text("IDS_26"), "Connected");
    dm.lcLangDispatcher->SetActiveLanguage(1);
    EXPECT_EQ(second.Text("IDS_26"), "Verbindung OK");
}

namespace {

class LanguageSwitchTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        SetComPort(0);
        Catalogue(R"(<DEVICE name="Ruvo"/>)");
        Dm = std::make_unique<TDM>(QStringList{"Tessaro", "Ruvo"});
        Form = std::make_unique<TfMainForm>();
        Form->FormShow();
    }
    // What the language dialog does when the user picks a language and OK.
    void Choose(int language)
    {
        auto* dialog = new TfLanguage(Form.get());
        dialog->lcLangCombo->setCurrentIndex(language - 1);
        dialog->btnOK->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The language dialog as a person uses it: the picker by key, OK by mouse.
    void ChooseByHand(int language)
    {
        auto* dialog = new TfLanguage(Form.get());
        QTest::keyClick(dialog->lcLangCombo, language == 2 ? Qt::Key_Down : Qt::Key_Up);
        QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // What the monitor shows: its texts, then its lists' fonts.
    std::vector<std::string> Monitor() const
    {
        std::vector<std::string> shown;
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 Form->btnSend, Form->btnToggleASCII, Form->btnSave, Form->btnClear, Form->btnPause})
            shown.push_back(b->text().toStdString());
        for (QLabel* l : {Form->lblHeaderAmount1, Form->lblHeaderAmount2, Form->lblIn, Form->lblOut})
            shown.push_back(l->text().toStdString());
        for (QWidget* list : std::initializer_list<QWidget*>{Form->lbxIn, Form->lbxOut})
            shown.push_back(list->font().family().toStdString() + " " + std::to_string(list->font().pointSize()));
        return shown;
    }
    // What the device choice shows when the person opens it; Escape closes it.
    std::vector<std::string> DeviceChoice()
    {
        std::vector<std::string> seen;
        TestDialogs().SetModalHandler([&seen](QDialog& dialog) {
            dialog.show();
            auto text = [&dialog](const char* name) {
                auto* widget = dialog.findChild<QWidget*>(name);
                if (auto* label = qobject_cast<QLabel*>(widget))
                    return label->text().toStdString();
                if (auto* button = qobject_cast<QPushButton*>(widget))
                    return button->text().toStdString();
                return std::string("(none)");
            };
            seen = {dialog.windowTitle().toStdString(), text("lblDatei"), text("lblDevice"), text("btnOK"),
                    text("btnCancel")};
            QTest::keyClick(&dialog, Qt::Key_Escape);
            return dialog.result();
        });
        Dm->actSelectDevice->trigger();
        TestDialogs().SetModalHandler({});
        return seen;
    }
    std::string Menu(const char* name) const
    {
        return Form->findChild<QMenu*>(name)->title().toStdString();
    }
    // The visible texts of the main window and of a port dialog made now.
    std::vector<std::string> Texts() const
    {
        TfComportOptions ports(Form.get());
        return {Menu("mmDatei"),
                Menu("mmOptionen"),
                Menu("mmHilfe"),
                Dm->acOptionenSchnittstelle->text().toStdString(),
                Dm->acOptionenSchnittstelle->toolTip().toStdString(),
                Dm->actChangeLanguage->text().toStdString(),
                Form->mmCloseAll->text().toStdString(),
                Form->StatusPanels[2]->text().toStdString(),
                Form->windowTitle().toStdString(),
                Form->lblIn->text().toStdString(),
                Form->btnSend->text().toStdString(),
                ports.windowTitle().toStdString(),
                ports.lPort->text().toStdString(),
                ports.btAbort->Caption().toStdString()};
    }
};

const std::vector<std::string> kGerman = {"&Datei",
                                          "Optionen",
                                          "&Hilfe",
                                          "&Schnittstelle einstellen ...",
                                          "Die Schnittstelle auswählen, über die das Programm mit Geräten kommuniziert.",
                                          "Sprache ändern ...",
                                          "Alle Schließen",
                                          "Warte auf Verbindung!",
                                          "Ruvo-Konfigurator",
                                          "Ruvo --> PC",
                                          "Senden",
                                          "Schnittstelle auswählen",
                                          "Schnittstelle:",
                                          "&Abbrechen"};
const std::vector<std::string> kEnglish = {"File",
                                           "&Options",
                                           "Help",
                                           "&Change interface ...",
                                           "Select the interface on which your device is connected to the PC",
                                           "Change &language ...",
                                           "Close all",
                                           "Waiting for connection!",
                                           "Ruvo configurator",
                                           "Ruvo -> PC",
                                           "Send",
                                           "Select interface",
                                           "Interface:",
                                           "&Cancel"};

} // namespace

TEST_F(LanguageSwitchTest, TheLanguageDialogSwitchesEveryWindowAndBack)
{
    EXPECT_EQ(Texts(), kGerman);
    Choose(2);
    EXPECT_EQ(Texts(), kEnglish);
    // The dialog itself, opened again, speaks English.
    auto* dialog = new TfLanguage(Form.get());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Language");
    EXPECT_EQ(dialog->findChild<QLabel*>("Label1")->text().toStdString(), "Language:");
    EXPECT_EQ(dialog->lcLangCombo->ItemText(0), "Deutsch"); // no English name of its own
    dialog->btnAbort->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Choose(1);
    EXPECT_EQ(Texts(), kGerman);
    EXPECT_EQ(Dm->Environment()->Language, 1);
}

TEST_F(LanguageSwitchTest, AWindowMadeInEnglishShowsEnglish)
{
    Choose(2);
    TfMainForm second;
    EXPECT_EQ(second.findChild<QMenu*>("mmDatei")->title().toStdString(), "File");
    EXPECT_EQ(second.lblIn->text().toStdString(), "Ruvo -> PC");
    EXPECT_EQ(second.windowTitle().toStdString(), "Ruvo configurator");
    Choose(1);
    EXPECT_EQ(second.findChild<QMenu*>("mmDatei")->title().toStdString(), "&Datei");
}

TEST_F(LanguageSwitchTest, TheMonitorSwitchesWithTheLanguageAndBack)
{
    Dm->Environment()->StoreServiceCode("48213");
    Form->show();
    Form->AppIdle();
    const std::vector<std::string> german = {
        "Senden",     "In HEX-Darstellung umschalten", "Speichern",   "Löschen",       "Pause",        "Die ersten",
        "Bytes hervorheben.", "Ruvo --> PC",           "PC --> Ruvo", "Courier New 8", "Courier New 8"};
    EXPECT_EQ(Monitor(), german);
    ChooseByHand(2);
    EXPECT_EQ(Monitor(), (std::vector<std::string>{"Send", "Switch to HEX-Mode", "Speichern", "Delete", "Pause",
                                                   "Die ersten", "Bytes hervorheben.", "Ruvo -> PC", "PC -> Ruvo",
                                                   "Tahoma 8", "Tahoma 8"}));
    // Switched to hex and paused, the two buttons say so in either language.
    QTest::mouseClick(Form->btnToggleASCII, Qt::LeftButton);
    QTest::mouseClick(Form->btnPause, Qt::LeftButton);
    EXPECT_EQ(Form->btnToggleASCII->text().toStdString(), "Switch to ASCI-Mode");
    EXPECT_EQ(Form->btnPause->text().toStdString(), "Continue");
    ChooseByHand(1);
    EXPECT_EQ(Form->btnToggleASCII->text().toStdString(), "In ASCII-Darstellung umschalten");
    EXPECT_EQ(Form->btnPause->text().toStdString(), "Weiter");
    QTest::mouseClick(Form->btnToggleASCII, Qt::LeftButton);
    QTest::mouseClick(Form->btnPause, Qt::LeftButton);
    EXPECT_EQ(Monitor(), german);
}

TEST_F(LanguageSwitchTest, TheDeviceChoiceAndTheLanguageDialogFollowTheLanguage)
{
    const std::vector<std::string> german = {"Zor Konfigurationsprogramm",
                                             "Bitte wählen Sie aus, welches Gerät Sie konfigurieren wollen:", "Gerät:",
                                             "OK", "Abbruch"};
    const std::vector<std::string> english = {"Zor configuration program",
                                              "Please select the device you want to configure:", "Device:", "OK",
                                              "Cancel"};
    EXPECT_EQ(DeviceChoice(), german);
    Choose(2);
    EXPECT_EQ(DeviceChoice(), english);
    // Opened in English, the language dialog's buttons keep their texts.
    auto* dialog = new TfLanguage(Form.get());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Language");
    EXPECT_EQ(dialog->btnAbort->text().toStdString(), "&Abbrechen");
    EXPECT_EQ(dialog->btnOK->text().toStdString(), "&OK");
    QTest::mouseClick(dialog->btnAbort, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Choose(1);
    EXPECT_EQ(DeviceChoice(), german);
}

TEST_F(LanguageSwitchTest, TheHelpMenusTextsTheAboutBoxAndTheServiceCodeDialogInEnglish)
{
    // What the person sees of the about box and of the service-code dialog
    // when the help menu opens them.
    std::vector<std::string> seen;
    TestDialogs().SetModalHandler([&seen](QDialog& dialog) {
        auto text = [](const QString& t) { return t.toStdString(); };
        if (auto* about = qobject_cast<TfZorAboutDlg*>(&dialog)) {
            seen = {text(about->windowTitle()), text(about->lblVersion->text()), text(about->lblCopyright->text()),
                    text(about->lblName->text()), text(about->lblInternet->text())};
        } else if (auto* input = qobject_cast<TfInputForm*>(&dialog)) {
            seen = {text(input->windowTitle()), text(input->lbMessage->text()), text(input->lbValue->text()),
                    text(input->btOK->text()), text(input->btAbort->text())};
        }
        return static_cast<int>(QDialog::Rejected);
    });
    const std::vector<std::string> about = {"Info über ...", "Zor Tessaro v" + GetVersionInfoString(2), "",
                                            TfZorAboutDlg::MakerName, TDM::WebAddress};
    Dm->acInfoUeber->trigger();
    EXPECT_EQ(seen, about);

    Choose(2);
    EXPECT_EQ(Dm->acInfoUeber->text().toStdString(), "&About ...");
    EXPECT_EQ(Dm->acDebugSaveStateToLog->text().toStdString(), "Save program-state in a log-file");
    EXPECT_EQ(Dm->acDebugSaveStateToLog->Hint().toStdString(),
              "Saves the current state of the program and its objects to a text file.");
    // The two mails to the maker keep their German names.
    EXPECT_EQ(Dm->acSendErrorLog->text().toStdString(), "Fehlerprotokoll an Zorvatek senden");
    EXPECT_EQ(Dm->acSendMailAction1->text().toStdString(), "E-Mail an Zorvatek schreiben");
    // The about box keeps its German caption and shows no copyright line.
    seen.clear();
    Dm->acInfoUeber->trigger();
    EXPECT_EQ(seen, about);
    seen.clear();
    Dm->acInputExtentionKey->trigger();
    EXPECT_EQ(seen, (std::vector<std::string>{"Insert extension key ...", "Please insert a valid extension key:",
                                              "Extension key:", "&OK", "Abort"}));
    EXPECT_FALSE(Dm->Environment()->GetExtendedVersion());
    TestDialogs().SetModalHandler({});
}
