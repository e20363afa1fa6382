// The program's small dialogs: port choice, value input, language, about box.
#include "controls/Zor_StandardControls.h"
#include "controls/Zor_ZusaetzlicheControls.h"
#include "localization/lcLangCombo.h"
#include "localization/lcLngLnk.h"
#include "platform/Beep.h"
#include "platform/Exception.h"
#include "platform/Launcher.h"
#include "platform/Forms.h"
#include "shell/ComportOptions.h"
#include "shell/Environment.h"
#include "shell/InputForm.h"
#include "shell/Language.h"
#include "shell/ZorAboutDlg.h"
#include "shell/ZorUtils.h"
#include "tests/common/KeyInput.h"
#include "tests/common/RecordingLauncher.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/shell/ProgramFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include <optional>

namespace {

class DialogsTest : public DataModuleFixture {
protected:
    void TearDown() override
    {
        DataModuleFixture::TearDown();
        unsetenv("TESSARO_COM1");
        unsetenv("TESSARO_COM10");
    }
};

} // namespace

TEST_F(DialogsTest, PortChoiceListsPortsAndPicksByNumber)
{
    setenv("TESSARO_COM1", "/dev/null", 1); // any character device stands for a port
    setenv("TESSARO_COM10", "/dev/zero", 1);
    TfComportOptions dialog;
    QStringList items;
    for (int i = 0; i < dialog.ePort->count(); ++i)
        items << dialog.ePort->itemText(i);
    ASSERT_TRUE(items.contains("COM1 (/dev/null)"));
    ASSERT_TRUE(items.contains("COM10 (/dev/zero)"));
    EXPECT_EQ(items.mid(items.size() - 2), (QStringList{"USB", "Keine Schnittstelle"}));
    EXPECT_EQ(dialog.GetPortNumber(), 0); // the last item is selected first
    const struct {
        int set;
        const char* selected;
        int got;
    } cases[] = {{1, "COM1 (/dev/null)", 1},  {10, "COM10 (/dev/zero)", 10}, {255, "USB", 255},
                 {0, "Keine Schnittstelle", 0}, {-1, "Keine Schnittstelle", 0}, {77, "Keine Schnittstelle", 0}};
    for (const auto& c : cases) {
        dialog.SetPortNumber(0);
        dialog.SetPortNumber(c.set);
        EXPECT_EQ(dialog.ePort->currentText().toStdString(), c.selected) << c.set;
        EXPECT_EQ(dialog.GetPortNumber(), c.got) << c.set;
    }
    dialog.ePort->addItem("Bluetooth");
    dialog.ePort->setCurrentIndex(dialog.ePort->count() - 1);
    EXPECT_EQ(dialog.GetPortNumber(), -1);
}

TEST_F(DialogsTest, InputDialogLimitsTheValueAndWantsOne)
{
    TfInputForm dialog;
    EXPECT_FALSE(dialog.cbAction->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.btOK->isEnabled());
    dialog.edValue->setText("   ");
    EXPECT_FALSE(dialog.btOK->isEnabled()); // blanks only
    dialog.edValue->setText("4");
    EXPECT_TRUE(dialog.btOK->isEnabled());
    dialog.MaxInputLength = 40;
    dialog.edValue->setText(QString(40, '1'));
    const unsigned beeps = BeepCount();
    SendKey(dialog.edValue, Qt::Key_2, Qt::NoModifier, "2");
    EXPECT_EQ(dialog.edValue->text().size(), 40); // the 41st is refused
    EXPECT_EQ(BeepCount(), beeps + 1);
    dialog.edValue->selectAll(); // the limit counts a selected part too
    SendKey(dialog.edValue, Qt::Key_3, Qt::NoModifier, "3");
    EXPECT_EQ(dialog.edValue->text(), QString(40, '1'));
    dialog.edValue->deselect();
    dialog.edValue->end(false);
    SendKey(dialog.edValue, Qt::Key_Backspace, Qt::NoModifier, "\b");
    EXPECT_EQ(dialog.edValue->text().size(), 39); // Backspace always goes
}

TEST_F(DialogsTest, TheServiceCodeIsEnteredThroughTheInputDialog)
{
    TestDialogs().SetModalHandler([](QDialog& dialog) {
        auto& input = static_cast<TfInputForm&>(dialog);
        EXPECT_EQ(input.windowTitle().toStdString(), "Erweiterungscode eingeben ...");
        EXPECT_EQ(input.lbMessage->text().toStdString(), "Bitte geben Sie einen gültigen Erweiterungscode ein:");
        EXPECT_EQ(input.lbValue->text().toStdString(), "Erweiterungscode:");
        EXPECT_EQ(input.MaxInputLength, 40);
        input.edValue->setText(" 48213 ");
        return static_cast<int>(QDialog::Accepted);
    });
    Dm->acInputExtentionKeyExecute();
    EXPECT_TRUE(Dm->Environment()->GetExtendedVersion());
    EXPECT_TRUE(Dm->Environment()->TempExtendedVersion);
}

// Enter and Escape typed into the value field, as the service technician
// does: Enter stores the code, Escape closes the dialog and stores nothing.
TEST_F(DialogsTest, TheServiceCodeDialogClosesOnEnterAndEscape)
{
    struct Case {
        Qt::Key Key;
        bool Stored;
    };
    for (const Case& c : {Case{Qt::Key_Escape, false}, Case{Qt::Key_Return, true}}) {
        TestDialogs().SetModalHandler([&](QDialog& dialog) {
            auto& input = static_cast<TfInputForm&>(dialog);
            EXPECT_TRUE(ShowActive(&input));
            EXPECT_EQ(QApplication::focusWidget(), input.edValue);
            TypeKeys(&input, "48213");
            PressKey(&input, c.Key);
            QCoreApplication::processEvents(); // the dialog closes once the key is handled
            EXPECT_FALSE(input.isVisible()) << c.Key;
            EXPECT_EQ(input.edValue->text(), "48213") << "the field kept the code";
            return input.result();
        });
        Dm->acInputExtentionKeyExecute();
        const QSettings ini(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
        EXPECT_EQ(ini.contains("NormWindowPos"), c.Stored) << c.Key;
        EXPECT_EQ(Dm->Environment()->TempExtendedVersion, c.Stored) << c.Key;
        EXPECT_EQ(Dm->Environment()->GetExtendedVersion(), c.Stored) << c.Key;
    }
    TestDialogs().SetModalHandler(nullptr);
}

// With the port list focused: Up chooses the entry above, Enter takes it,
// Escape puts the entry of before back and closes.
TEST_F(DialogsTest, ThePortDialogClosesOnEnterAndEscape)
{
    struct Case {
        Qt::Key Key;
        int Result;
        const char* Selected;
    };
    for (const Case& c : {Case{Qt::Key_Return, mrOk, "USB"}, Case{Qt::Key_Escape, mrCancel, "Keine Schnittstelle"}}) {
        TfComportOptions dialog;
        std::optional<int> closed;
        QObject::connect(&dialog, &QDialog::finished, [&](int result) { closed = result; });
        ASSERT_TRUE(ShowActive(&dialog));
        ASSERT_EQ(QApplication::focusWidget(), dialog.ePort);
        PressKey(&dialog, Qt::Key_Up);
        ASSERT_EQ(dialog.ePort->currentText(), "USB");
        PressKey(&dialog, c.Key);
        QCoreApplication::processEvents();
        EXPECT_EQ(closed, c.Result) << c.Key;
        EXPECT_FALSE(dialog.isVisible()) << c.Key;
        EXPECT_EQ(dialog.ePort->currentText().toStdString(), c.Selected) << c.Key;
    }
}

// Keys as the X server delivers them, with their texts.
struct TKeyStroke {
    Qt::Key Key;
    QString Text;
    Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
};
const TKeyStroke TabKey{Qt::Key_Tab, "\t"};
const TKeyStroke EnterKey{Qt::Key_Return, "\r"};
TKeyStroke AltKey(Qt::Key key, const char* letter)
{
    return {key, letter, Qt::AltModifier};
}
std::string Described(const std::vector<TKeyStroke>& keys)
{
    std::string out;
    for (const TKeyStroke& k : keys)
        out += (k.Modifiers & Qt::AltModifier ? "Alt+" : "") +
               (k.Key == Qt::Key_Tab ? std::string("Tab") : k.Key == Qt::Key_Return ? "Enter" : k.Text.toStdString()) +
               " ";
    return out;
}

// The port dialog worked from the port list, where the focus starts, in
// both languages: the buttons' letters with Alt, Enter on the button the
// person went to with Tab, Enter in the list. The list keeps its entry.
TEST_F(DialogsTest, ThePortDialogAnswersTheLettersAndTheFocusedButton)
{
    struct Case {
        int Language;
        std::vector<TKeyStroke> Keys;
        int Result;
    };
    const std::vector<Case> cases = {
        {1, {AltKey(Qt::Key_A, "a")}, mrCancel},
        {1, {AltKey(Qt::Key_O, "o")}, mrOk},
        {1, {TabKey, TabKey, EnterKey}, mrCancel},
        {1, {TabKey, EnterKey}, mrOk},
        {1, {EnterKey}, mrOk},
        {2, {AltKey(Qt::Key_C, "c")}, mrCancel},
        {2, {AltKey(Qt::Key_O, "o")}, mrOk},
        {2, {TabKey, TabKey, EnterKey}, mrCancel},
    };
    for (const Case& c : cases) {
        Dm->lcLangDispatcher->SetActiveLanguage(c.Language);
        TfComportOptions dialog;
        ASSERT_EQ(dialog.btAbort->Caption(), c.Language == 1 ? "&Abbrechen" : "&Cancel");
        std::optional<int> closed;
        QObject::connect(&dialog, &QDialog::finished, [&](int result) { closed = result; });
        ASSERT_TRUE(ShowActive(&dialog));
        ASSERT_EQ(QApplication::focusWidget(), dialog.ePort);
        const QString entry = dialog.ePort->currentText();
        for (const TKeyStroke& k : c.Keys)
            X11Key(&dialog, k.Key, k.Text, k.Modifiers);
        QCoreApplication::processEvents();
        const std::string what = "language " + std::to_string(c.Language) + ": " + Described(c.Keys);
        EXPECT_EQ(closed, c.Result) << what;
        EXPECT_FALSE(dialog.isVisible()) << what;
        EXPECT_EQ(dialog.ePort->currentText(), entry) << what;
    }
    Dm->lcLangDispatcher->SetActiveLanguage(1);
}

// Of the port dialog's two default buttons only the one that Enter clicks
// looks default (its frame drawn a second time inside): OK while the list has
// the focus, else the focused button.
TEST_F(DialogsTest, ThePortDialogDrawsOneButtonAsDefault)
{
    TfComportOptions dialog;
    ASSERT_TRUE(ShowActive(&dialog));
    ASSERT_EQ(QApplication::focusWidget(), dialog.ePort);
    auto looksDefault = [](QWidget* button) {
        const QImage image = button->grab().toImage();
        const int y = image.height() / 2;
        return image.pixel(1, y) == image.pixel(0, y);
    };
    struct Step {
        const char* Focus;
        bool Ok, Abort;
    };
    for (const Step& s : {Step{"ePort", true, false}, Step{"btOK", true, false}, Step{"btAbort", false, true},
                          Step{"ePort", true, false}}) {
        ASSERT_EQ(QApplication::focusWidget()->objectName().toStdString(), s.Focus);
        EXPECT_EQ(looksDefault(dialog.btOK), s.Ok) << "focus on " << s.Focus;
        EXPECT_EQ(looksDefault(dialog.btAbort), s.Abort) << "focus on " << s.Focus;
        X11Key(&dialog, Qt::Key_Tab, "\t");
    }
}

// The language dialog the same way: Alt+A and a focused "Abbrechen" keep the
// language, Alt+O and a focused "OK" switch to the chosen one.
TEST_F(DialogsTest, TheLanguageDialogAnswersTheLettersAndTheFocusedButton)
{
    TfMainForm form;
    struct Case {
        std::vector<TKeyStroke> Keys;
        int Language;
    };
    const std::vector<Case> cases = {
        {{AltKey(Qt::Key_A, "a")}, 1},
        {{AltKey(Qt::Key_O, "o")}, 2},
        {{TabKey, TabKey, EnterKey}, 1},
        {{TabKey, EnterKey}, 2},
    };
    for (const Case& c : cases) {
        QPointer<TfLanguage> dialog(new TfLanguage(&form));
        ASSERT_TRUE(ShowActive(dialog));
        ASSERT_EQ(QApplication::focusWidget(), dialog->lcLangCombo);
        PressKey(dialog, Qt::Key_Down);
        ASSERT_EQ(dialog->lcLangCombo->currentIndex(), 1);
        for (const TKeyStroke& k : c.Keys)
            X11Key(dialog, k.Key, k.Text, k.Modifiers);
        // A button's letter clicks it as a short press the eye can follow.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return dialog.isNull();
            },
            10000))
            << Described(c.Keys);
        EXPECT_EQ(Dm->lcLangDispatcher->ActiveLanguage(), c.Language) << Described(c.Keys);
        Dm->lcLangDispatcher->SetActiveLanguage(1);
        if (dialog)
            delete dialog.data();
    }
}

// The value input dialog: Tab from the field to a button and Enter clicks
// that button; the code is stored only through OK.
TEST_F(DialogsTest, TheInputDialogTakesEnterOnTheFocusedButton)
{
    struct Case {
        std::vector<TKeyStroke> Keys;
        bool Stored;
    };
    for (const Case& c : {Case{{TabKey, TabKey, EnterKey}, false}, Case{{TabKey, EnterKey}, true}}) {
        TestDialogs().SetModalHandler([&](QDialog& dialog) {
            auto& input = static_cast<TfInputForm&>(dialog);
            EXPECT_TRUE(ShowActive(&input));
            EXPECT_EQ(QApplication::focusWidget(), input.edValue);
            TypeKeys(&input, "48213");
            for (const TKeyStroke& k : c.Keys)
                X11Key(&input, k.Key, k.Text, k.Modifiers);
            QCoreApplication::processEvents();
            EXPECT_FALSE(input.isVisible()) << Described(c.Keys);
            return input.result();
        });
        Dm->acInputExtentionKeyExecute();
        EXPECT_EQ(Dm->Environment()->TempExtendedVersion, c.Stored) << Described(c.Keys);
    }
    TestDialogs().SetModalHandler(nullptr);
}

// The language dialog, shown beside the main window: Enter switches to the
// chosen language, Escape closes it without.
TEST_F(DialogsTest, TheLanguageDialogClosesOnEnterAndEscape)
{
    TfMainForm form;
    struct Case {
        Qt::Key Key;
        int Language;
    };
    for (const Case& c : {Case{Qt::Key_Escape, 1}, Case{Qt::Key_Return, 2}}) {
        QPointer<TfLanguage> dialog(new TfLanguage(&form));
        ASSERT_TRUE(ShowActive(dialog));
        ASSERT_EQ(QApplication::focusWidget(), dialog->lcLangCombo);
        PressKey(dialog, Qt::Key_Down);
        ASSERT_EQ(dialog->lcLangCombo->currentIndex(), 1);
        PressKey(dialog, c.Key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dialog.isNull()) << c.Key << ": closed and gone";
        EXPECT_EQ(Dm->lcLangDispatcher->ActiveLanguage(), c.Language) << c.Key;
        EXPECT_EQ(Dm->Environment()->Language, c.Language) << c.Key;
    }
    Dm->lcLangDispatcher->SetActiveLanguage(1);
}

TEST_F(DialogsTest, ChoosingEnglishStoresItAndSwitchesTheWindows)
{
    TfMainForm form;
    auto* dialog = new TfLanguage(&form);
    EXPECT_EQ(dialog->lcLangCombo->count(), 2);
    EXPECT_EQ(dialog->lcLangCombo->currentIndex(), 0);
    EXPECT_EQ(dialog->lcLangCombo->itemText(1).toStdString(), "English");
    QPointer<TfLanguage> alive(dialog);
    dialog->lcLangCombo->setCurrentIndex(1);
    dialog->btnOK->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()); // it frees itself
    EXPECT_EQ(Dm->Environment()->Language, 2);
    EXPECT_EQ(Dm->lcLangDispatcher->ActiveLanguage(), 2);
    EXPECT_EQ(form.lcLangLinked->ActiveLanguage(), 2);
    EXPECT_EQ(form.Text("IDS_26"), "Connected");
    // Shown again, it starts at the active language.
    auto* again = new TfLanguage(&form);
    EXPECT_EQ(again->lcLangLinked->ActiveLanguage(), 2);
    EXPECT_EQ(again->lcLangCombo->currentIndex(), 1);
    again->btnAbort->click();
    EXPECT_EQ(Dm->lcLangDispatcher->ActiveLanguage(), 2);
    Dm->lcLangDispatcher->SetActiveLanguage(1);
}

TEST_F(DialogsTest, AboutBoxShowsTheVersionAndOpensTheMakersPages)
{
    TRecordingLauncher launcher;
    SetLauncherService(&launcher);
    EXPECT_EQ(GetVersionInfoString(7), "Zor Tessaro");
    EXPECT_EQ(GetVersionInfoString(10), "");
    {
        TfZorAboutDlg about;
        EXPECT_EQ(fZorAboutDlg, &about);
        EXPECT_EQ(about.lblVersion->text().toStdString(), "Zor Tessaro v" + GetVersionInfoString(2));
        about.lblInternetClick();
        about.lblEMailClick();
        EXPECT_EQ(launcher.Opened, std::vector<std::string>{TDM::WebAddress});
        EXPECT_EQ(launcher.MailedTo(), std::vector<std::string>{TDM::ServiceAddress});
        about.show();
        SendKey(&about, Qt::Key_A, Qt::NoModifier, "a"); // any key closes it
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(fZorAboutDlg, nullptr);
    SetLauncherService(nullptr);
}

TEST(FileDialogFilters, ADescriptionThatNamesItsPatternsShowsThemOnce)
{
    const struct {
        const char* filter;
        QStringList shown;
    } cases[] = {
        {"Textdatei (*.txt)|*.txt|Alle Dateien (*.*)|*.*", {"Textdatei (*.txt)", "Alle Dateien (*.*)"}},
        {"Firmwaredatei (*.a79)|*.a79|Firmwaredatei (*.H86)|*.H86",
         {"Firmwaredatei (*.a79)", "Firmwaredatei (*.H86)"}},
        {"Firmware files|*.a79", {"Firmware files (*.a79)"}},
        {"Bilder (*.jpg *.png)|*.png;*.jpg", {"Bilder (*.jpg *.png)"}}, // the same patterns in another order
        {"Hexdatei (Intel)|*.h86", {"Hexdatei (Intel) (*.h86)"}},     // parentheses that name no pattern
        {"Textdatei (*.txt)|*.log", {"Textdatei (*.txt) (*.log)"}},   // the description names other ones
        {"Nur eine Beschreibung", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QtNameFilters(c.filter), c.shown) << c.filter;
}
