// Ravvel.so in real time: driven through dlopen over a real serial link to
// the simulated radio module, and loaded by the program's data module from
// the catalogue with its dialog opened by the program's action: a frequency
// typed into its table reaches the module in the machine's locale, and its
// windows stay German while the program switches to English.
#include "link/Communication.h"
#include "localization/lcLangCombo.h"
#include "platform/NamedObjects.h"
#include "shell/DataModule.h"
#include "shell/Language.h"
#include "shell/MainForm.h"
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"
#include "tests/common/TestServices.h"
#include "tests/radioplugin/PluginLibrary.h"
#include "tests/shell/ShellFixture.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include <algorithm>

using Lines = std::vector<std::string>;

namespace {

bool Contains(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(PluginEndToEnd, ReadsWritesAndMonitorsTheModuleThroughTheHostsLink)
{
    TestDialogs().Clear();
    const std::string mutex = "Global\\{ravvel-e2e}";
    const HANDLE owned = CreateMutex(true, mutex);
    TFramingPeer peer;
    TRadioModule module(peer);
    for (int i = 0; i < 32; ++i)
        module.SetSlot(i, {100 + i, 1400 + i, 1 + i % 5});
    setenv("TESSARO_COM41", peer.PortPath().c_str(), 1);

    TPluginLibrary lib;
    ASSERT_TRUE(lib.Complete());
    QWidget host;
    const auto app = reinterpret_cast<TAppHandle>(&host);
    TCommunication link;
    TTestProxy proxy;
    proxy.Connected = [&] { return link.Connected(); };
    proxy.Send = [&](const std::string& text, int transfer) { return link.SendText(nullptr, text, transfer); };
    std::vector<std::string> errors;
    // The program's broadcasts: every message to OnReceiveData, every change
    // to OnConnectionChanged and then a new InitDLL.
    link.SetOnReceive([&](TObject*, char cmd, const std::string& data) {
        const std::string message = std::string(1, cmd) + data;
        if (const char* e = lib.Receive(app, message.data(), static_cast<std::uint32_t>(message.size())))
            errors.push_back(e);
    });
    link.SetOnConnectionChange([&](TObject*, bool up) {
        lib.Connection(app, up ? 1 : 0);
        lib.Init(app, mutex.data(), static_cast<std::uint32_t>(mutex.size()), &proxy.Proxy);
    });
    ASSERT_EQ(lib.Init(app, mutex.data(), static_cast<std::uint32_t>(mutex.size()), nullptr), nullptr);
    link.SetPortNumber(41);
    link.SetInterfaceType(TInterfaceType::itSerial);
    ASSERT_EQ(lib.Show(), nullptr);
    QWidget* dialog = TopLevel("ParameterForm");
    ASSERT_NE(dialog, nullptr);

    // Once up, the dialog polls the memory slots.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Contains(module.Log(), "04 00 rc\n"); }, 8000));

    // A write sends the controls' values, flashes them and reads them back.
    dialog->findChild<QSpinBox*>("edtSquelchLow")->setValue(300);
    dialog->findChild<QSpinBox*>("edtNFLevel")->setValue(9);
    module.ClearLog();
    dialog->findChild<QPushButton*>("btnSetDeviceParameter")->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Contains(module.Log(), "1 rt\n"); }, 8000));
    EXPECT_EQ(module.Flash().SquelchLow, 300);
    EXPECT_EQ(module.Flash().NFLevel, 9);
    // A filter switch asks for the module's values again; its answer fills
    // the fields.
    TRadioParams params = module.Params();
    params.SerialNumber = 1234;
    params.NFLevel = 17;
    module.SetParams(params);
    dialog->findChild<QPushButton*>("btnFFSKFilterOnOff")->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialog->findChild<QLineEdit*>("edtSerialNumber")->text() == "1234"; },
                                   5000));
    EXPECT_EQ(dialog->findChild<QSpinBox*>("edtNFLevel")->value(), 17);
    EXPECT_EQ(module.Flash().FFSKFilter, 1);

    // The GPS window shows what the module reports and stops it on closing.
    dialog->findChild<QPushButton*>("btnGPSTrace")->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return module.GPSTrace(); }, 3000));
    module.SendGPSLine("1: $GPGGA,123");
    QWidget* gps = dialog->findChild<QWidget*>("GPSTraceForm");
    ASSERT_NE(gps, nullptr);
    auto* list = gps->findChild<QListWidget*>("lbxGPSTrace");
    ASSERT_TRUE(ProcessEventsUntil([&] { return list->count() == 1; }, 3000));
    EXPECT_EQ(list->item(0)->text(), " $GPGGA,123");
    gps->findChild<QPushButton*>("btnOK")->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !module.GPSTrace(); }, 3000));

    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(TestDialogs().Boxes().empty()) << TestDialogs().Boxes()[0].Text;
    EXPECT_EQ(lib.Unload(), nullptr);
    link.SetOnReceive({});
    link.SetOnConnectionChange({});
    link.SetInterfaceType(TInterfaceType::itNone);
    unsetenv("TESSARO_COM41");
    CloseHandle(owned);
}

TEST_F(ShellFixture, TheProgramLoadsRavvelFromTheCatalogueAndOpensItsDialog)
{
    TestDialogs().Clear();
    TDM::PluginLoadPause = [](int) {};
    TFramingPeer peer;
    TRadioModule module(peer);
    module.SetSlot(0, {100, 1400, 2});
    setenv("TESSARO_COM42", peer.PortPath().c_str(), 1);
    QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat).setValue("Tessaro/ComPort", 42);
    // The shipped catalogue's entry, with the plug-in beside the program.
    ASSERT_TRUE(QFile::copy(RAVVEL_PATH, QString::fromStdString(ProgramDir() + "Ravvel.so")));
    WriteFile(ProgramDir() + "ZorDevices.xml",
              R"(<ZORDEVICES><GENERAL preference=""/><DEVICE name="Ruvo" gender="M" initialstatus="goahead" EX="Ravvel.so"/></ZORDEVICES>)");
    {
        TDM dm(QStringList{"Tessaro", "Ruvo"});
        TfMainForm form;
        dm.LoadStartPlugins(); // once the main window stands, as the program does
        ASSERT_NE(dm.ExtendedDLL(), std::uintptr_t(-1));
        form.FormShow();
        ASSERT_TRUE(ProcessEventsUntil([&] { return dm.ComControl() && dm.ComControl()->Connected(); }, 8000));
        dm.actExtendedOptionsExecute();
        QWidget* dialog = TopLevel("ParameterForm");
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        // The dialog talks to the module through the program's link.
        ASSERT_TRUE(ProcessEventsUntil([&] { return Contains(module.Log(), "04 00 rc\n"); }, 8000));
        EXPECT_TRUE(dialog->findChild<QPushButton*>("btnGPSTrace")->isEnabled());
        EXPECT_TRUE(TestDialogs().Boxes().empty()) << TestDialogs().Boxes()[0].Text;

        // Once the slots are read (the poll's answer closes the radio link),
        // the technician types a receive frequency into the first row, with
        // the comma key whatever the machine's separator, and writes.
        ASSERT_TRUE(ProcessEventsUntil(
            [&] {
                const Lines log = module.Log();
                const auto poll = std::find(log.begin(), log.end(), "04 00 rc\n");
                return poll != log.end() && std::find(poll, log.end(), "radiotalk-off\n") != log.end();
            },
            8000));
        auto* grid = dialog->findChild<QAbstractScrollArea*>("grdFrequencies");
        ASSERT_NE(grid, nullptr);
        QApplication::setActiveWindow(dialog);
        grid->setFocus(Qt::OtherFocusReason);
        for (const char key : std::string("146,0300"))
            QTest::keyClick(QApplication::focusWidget(), key);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_TRUE(TestDialogs().Boxes().empty()) << TestDialogs().Boxes()[0].Text;
        module.ClearLog();
        dialog->findChild<QPushButton*>("btnSetDeviceParameter")->click();
        ASSERT_TRUE(ProcessEventsUntil([&] { return module.Slots()[0].Receive == 1; }, 10000));
        EXPECT_TRUE(Contains(module.Log(), "00 578 01 02 rpc\n"));
        EXPECT_EQ(module.Slots()[0], (TRadioSlot{1, 1400, 2}));
        // Once the module has taken the whole write, a box says the table is
        // in the radio.
        ASSERT_TRUE(ProcessEventsUntil([&] { return !TestDialogs().Boxes().empty(); }, 15000));
        EXPECT_EQ(TestDialogs().Boxes()[0].Text.rfind("Die Frequenztabelle wurde neu in das Funkgerät geladen.", 0), 0u)
            << TestDialogs().Boxes()[0].Text;

        // The program switches to English; the plug-in's windows stay German,
        // the open dialog and a window opened afterwards alike.
        auto* language = new TfLanguage(&form);
        language->lcLangCombo->setCurrentIndex(1);
        language->btnOK->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(form.findChild<QMenu*>("mmDatei")->title(), "File");
        EXPECT_EQ(dialog->windowTitle(), "Derazudiduradid - Optionen");
        EXPECT_EQ(dialog->findChild<QGroupBox*>("gbxDeviceParameter")->title(), "Geräteparameter");
        EXPECT_EQ(dialog->findChild<QPushButton*>("btnSetDeviceParameter")->text(), "Parameter setzen");
        EXPECT_EQ(dialog->findChild<QPushButton*>("btnOK")->text(), "Schließen");
        dialog->findChild<QPushButton*>("btnGPSTrace")->click();
        QWidget* gps = dialog->findChild<QWidget*>("GPSTraceForm");
        ASSERT_NE(gps, nullptr);
        EXPECT_EQ(gps->windowTitle(), "GPS Empfangsdaten");
        auto* pause = gps->findChild<QPushButton*>("btnPause");
        pause->click();
        EXPECT_EQ(pause->text(), "Weiter");
        // Its translation components name no dispatcher and keep German.
        for (QWidget* window : {dialog, gps}) {
            QObject* lang = window->findChild<QObject*>("lcLangLinked", Qt::FindDirectChildrenOnly);
            ASSERT_NE(lang, nullptr);
            EXPECT_EQ(lang->property("ActiveLanguage").toInt(), 1);
            EXPECT_EQ(qvariant_cast<QObject*>(lang->property("LangDispatcher")), nullptr);
        }
        gps->findChild<QPushButton*>("btnOK")->click();
        EXPECT_EQ(TestDialogs().Boxes().size(), 1u) << "the table write's warning only";
    }
    // The program unloaded it with its dialog.
    EXPECT_EQ(TopLevel("ParameterForm"), nullptr);
    unsetenv("TESSARO_COM42");
}
