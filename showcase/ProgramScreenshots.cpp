// The pictures of the README, taken from the program at work: it runs the
// program's main block as build/bin/Tessaro does (its catalogue and plug-ins,
// the settings and the port that the environment names) and works it as a
// person would, saving a picture of each window on the way:
//   main-window.png          the monitor cleared once the module's table was
//                            read, ".param" sent from its send line, the answer
//   radio-dialog.png         the radio module's options, its table read
//   main-window-english.png  the main window after choosing English
// The settings must open the service mode. scripts/screenshots runs it under
// Xvfb against the simulated radio module:
//   tessaro_screenshots <folder> [device type]
#include "controls/SyncListbox.h"
#include "localization/lcLangCombo.h"
#include "platform/Application.h"
#include "shell/DataModule.h"
#include "shell/Language.h"
#include "shell/MainForm.h"
#include "shell/Tessaro.h"
#include "tests/shell/ShellDriving.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct TStep {
    const char* What;
    std::function<bool()> Ready; // waited for
    std::function<void()> Act;   // then done, from a timer of its own (it may run a modal loop)
};

bool Connected(const char* text)
{
    return fMainForm && fMainForm->isVisible() && fMainForm->StatusPanels[2]->text() == text;
}

bool MonitorHolds(const char* text)
{
    for (int i = 0; i < fMainForm->lbxIn->count(); ++i)
        if (fMainForm->lbxIn->item(i)->text().contains(text))
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tessaro_screenshots <folder> [device type]\n");
        return 2;
    }
    const QDir folder(args[1]);
    const QString device = args.size() > 2 ? args[2] : "Ruvo";
    // The program's own name, so that its settings are the program's.
    SetProgramPath(QDir(QCoreApplication::applicationDirPath()).filePath("Tessaro").toStdString());

    bool failed = false;
    auto save = [&](QWidget* window, const char* name) {
        const QString path = folder.filePath(name);
        if (!window || !window->grab().save(path)) {
            std::fprintf(stderr, "could not save %s\n", qPrintable(path));
            failed = true;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    };
    const std::vector<TStep> steps = {
        {"the main window connected, the table read",
         [] { return Connected("Verbindung OK") && MonitorHolds("SPEICHER 31") && MonitorHolds("#r OK"); },
         [] {
             fMainForm->resize(980, 640);
             QTest::mouseClick(fMainForm->btnClear, Qt::LeftButton, {}, fMainForm->btnClear->rect().center());
             QTest::keyClicks(fMainForm->edtSend, ".param");
             QTest::keyClick(fMainForm->edtSend, Qt::Key_Return);
         }},
        {"the answer in the monitor",
         [] { return MonitorHolds("PARAM") && MonitorHolds("OK."); },
         [&] {
             save(fMainForm, "main-window.png");
             ChooseFromMenu(*fMainForm, DM->actExtendedOptions);
         }},
        {"the radio module's options",
         [] {
             QWidget* dialog = ShownWindow("TfParameterForm");
             auto* serial = dialog ? dialog->findChild<QLineEdit*>("edtSerialNumber") : nullptr;
             return serial && serial->text() != "0";
         },
         [&] {
             QWidget* dialog = ShownWindow("TfParameterForm");
             save(dialog, "radio-dialog.png");
             dialog->close();
             ChooseFromMenu(*fMainForm, DM->actChangeLanguage);
         }},
        {"the language dialog",
         [] { return ShownWindow("TfLanguage") != nullptr; },
         [] {
             auto* dialog = static_cast<TfLanguage*>(ShownWindow("TfLanguage"));
             dialog->lcLangCombo->setFocus();
             QTest::keyClick(dialog->lcLangCombo, Qt::Key_Down);
             QTest::mouseClick(dialog->btnOK, Qt::LeftButton, {}, dialog->btnOK->rect().center());
         }},
        {"the main window in English",
         [] { return Connected("Connected") && !ShownWindow("TfLanguage"); },
         [&] {
             save(fMainForm, "main-window-english.png");
             fMainForm->close();
         }},
    };

    std::size_t next = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (next < steps.size() && steps[next].Ready()) {
            QTimer::singleShot(0, steps[next].Act);
            ++next;
        }
    });
    driver.start(50);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        std::fprintf(stderr, "gave up waiting for %s\n", next < steps.size() ? steps[next].What : "the end");
        failed = true;
        std::raise(SIGTERM); // ends the program in order, whatever is open
    });
    giveUp.start(60000);
    const int result = RunTessaro({"Tessaro", device});
    return failed || next < steps.size() ? 1 : result;
}
