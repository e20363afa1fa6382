// Shows the main window in the extended service mode on a display, connected
// to the framing peer on a pseudo-terminal, with a few messages in the
// monitor and a device type whose plug-ins fill the tool bar. With --english
// the program speaks English; with --grab <folder> it saves pictures of the
// main window, its menus, the device dialog, the language dialog and the
// balloon hint there and ends.
#include "controls/SyncListbox.h"
#include "link/Communication.h"
#include "localization/lcComp.h"
#include "platform/Application.h"
#include "platform/BalloonHint.h"
#include "shell/DataModule.h"
#include "shell/Environment.h"
#include "shell/Language.h"
#include "shell/MainForm.h"
#include "shell/SelectDeviceForm.h"
#include "sim/FramingPeer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int grabAt = static_cast<int>(args.indexOf("--grab"));
    const QString grabDir = grabAt > 0 && grabAt + 1 < args.size() ? args[grabAt + 1] : QString();
    const bool english = args.contains("--english");
    const QString suffix = english ? "-en" : "-de";

    // A program folder and settings of its own.
    QTemporaryDir folder;
    const QString bin = QCoreApplication::applicationDirPath();
    setenv("XDG_CONFIG_HOME", folder.filePath("config").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", folder.filePath("data").toLocal8Bit().constData(), 1);
    SetProgramPath(folder.filePath("Tessaro").toStdString());
    QFile catalogue(folder.filePath("ZorDevices.xml"));
    if (!catalogue.open(QIODevice::WriteOnly))
        return 1;
    catalogue.write(("<ZORDEVICES><GENERAL preference=\"Ruvo\"/><DEVICE name=\"Ruvo\" FW=\"" + bin +
                     "/testplugins/firmware.so\" PA=\"" + bin + "/testplugins/parameter.so\" EX=\"" + bin +
                     "/Ravvel.so\"/><DEVICE name=\"Modem\"/></ZORDEVICES>")
                        .toUtf8());
    catalogue.close();
    TFramingPeer peer;
    setenv("TESSARO_COM9", peer.PortPath().c_str(), 1);
    QSettings(folder.filePath("config/Zorvatek.ini"), QSettings::IniFormat).setValue("Tessaro/ComPort", 9);

    QCoreApplication::setApplicationName("Zor Tessaro");
    TDM dm(QStringList{"Tessaro"});
    dm.Environment()->StoreServiceCode(std::to_string(TEnvironment::MasterCode));
    TfMainForm form;
    dm.LoadStartPlugins(); // once the main window stands, as the program does
    form.show();
    if (english)
        dm.lcLangDispatcher->SetActiveLanguage(2);

    // Once connected: a few messages each way.
    QTimer traffic;
    QObject::connect(&traffic, &QTimer::timeout, [&] {
        if (!dm.ComControl() || !dm.ComControl()->Connected())
            return;
        traffic.stop();
        peer.Send('\x89', "RUVO 2.14\r");
        form.edtSend->setText("ver");
        form.btnSendClick();
        peer.Send('#', "r OK VERSION 2.14");
        form.edtSend->setText("param");
        form.btnSendClick();
        peer.Send('#', std::string("r PARAM SQUELCH-LOW=DC\x0D\x0A", 24));
    });
    traffic.start(50);

    if (!grabDir.isEmpty()) {
        QTimer::singleShot(4000, [&] {
            form.activateWindow();
            form.lbxIn->setFocus(); // the row the keys would move from
            form.lbxIn->setCurrentRow(2);
            form.grab().save(QDir(grabDir).filePath("main" + suffix + ".png"));
            for (const char* name : {"mmDatei", "mmOptionen", "mmHilfe"}) {
                auto* menu = form.findChild<QMenu*>(name);
                menu->popup(form.mapToGlobal(QPoint(0, 0)));
                QCoreApplication::processEvents();
                menu->grab().save(QDir(grabDir).filePath(QString(name) + suffix + ".png"));
                menu->hide();
            }
            dm.BalloonHint->ActivateHint(form.btnSend, "Hinweis", "Der Befehl geht an das Gerät.");
            if (QWidget* balloon = dm.BalloonHint->Window())
                balloon->grab().save(QDir(grabDir).filePath("balloon" + suffix + ".png"));
            dm.BalloonHint->CancelHint();
            TfSelectDeviceForm dialog(*dm.DeviceList(), dm.RegistryStorage, &form);
            dialog.show();
            QCoreApplication::processEvents();
            dialog.grab().save(QDir(grabDir).filePath("device" + suffix + ".png"));
            dialog.close();
            // The language dialog shows itself and goes when closed.
            auto* language = new TfLanguage(&form);
            QCoreApplication::processEvents();
            language->grab().save(QDir(grabDir).filePath("language" + suffix + ".png"));
            language->close();
            form.close();
        });
    }
    return QApplication::exec();
}
