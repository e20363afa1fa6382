// The device choice and the language dialog in the language the person
// chose: chosen in the language dialog, shown as the program shows them.
#include "localization/lcLangCombo.h"
#include "shell/DataModule.h"
#include "shell/Language.h"
#include "shell/MainForm.h"
#include "shell/SelectDeviceForm.h"
#include "tests/common/TestServices.h"
#include "tests/shell/ShellFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <memory>
#include <vector>

namespace {

class FormLanguageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        TestDialogs().Clear();
        TDM::PluginLoadPause = [](int) {};
        QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat)
            .setValue("Tessaro/ComPort", 0);
        WriteFile(ProgramDir() + "ZorDevices.xml", R"(<?xml version="1.0"?><ZORDEVICES>)"
                                                   R"(<DEVICE name="Ruvo"/><DEVICE name="Modem"/></ZORDEVICES>)");
        Dm = std::make_unique<TDM>(QStringList{"Tessaro"});
        Form = std::make_unique<TfMainForm>();
    }
    void TearDown() override
    {
        Form.reset();
        Dm.reset();
        TestDialogs().Clear();
        ShellFixture::TearDown();
    }
    // Opens the language dialog, picks the language with the keyboard and
    // presses OK; what its cancel button said is kept.
    void Choose(int language)
    {
        auto* dialog = new TfLanguage(Form.get());
        QTest::keyClick(dialog->lcLangCombo, language == 2 ? Qt::Key_Down : Qt::Key_Up);
        LanguageCancel = dialog->btnAbort->text().toStdString();
        QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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

    std::unique_ptr<TDM> Dm;
    std::unique_ptr<TfMainForm> Form;
    std::string LanguageCancel;
};

const std::vector<std::string> kGermanChoice = {"Zor Konfigurationsprogramm",
                                                "Bitte wählen Sie aus, welches Gerät Sie konfigurieren wollen:",
                                                "Gerät:", "OK", "Abbruch"};
const std::vector<std::string> kEnglishChoice = {"Zor configuration program",
                                                 "Please select the device you want to configure:", "Device:", "OK",
                                                 "Cancel"};

} // namespace

TEST_F(FormLanguageTest, TheDeviceChoiceAndTheLanguageDialogFollowTheChosenLanguage)
{
    EXPECT_EQ(DeviceChoice(), kGermanChoice);
    Choose(2);
    EXPECT_EQ(Dm->lcLangDispatcher->ActiveLanguage(), 2);
    EXPECT_EQ(LanguageCancel, "&Abbrechen"); // the dialog spoke German when it was opened
    EXPECT_EQ(DeviceChoice(), kEnglishChoice);
    Choose(1);
    EXPECT_EQ(LanguageCancel, "&Cancel");
    EXPECT_EQ(DeviceChoice(), kGermanChoice);
}
