// The program against the framing peer on a pseudo-terminal: the status bar
// follows the link, and the program's own replies reach the catalogue entry
// and the link object. The program ends in order on SIGTERM and SIGINT,
// whatever window is open, in this process and as it ships.
#include "controls/SyncListbox.h"
#include "link/Communication.h"
#include "platform/Application.h"
#include "shell/DeviceStatus.h"
#include "shell/Environment.h"
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"
#include "tests/common/KeyInput.h"
#include "tests/shell/ProgramFixture.h"
#include "tests/shell/ShellDriving.h"
#include "tests/shell/ShippedProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program's settings name COM9, which is the framing peer's
// pseudo-terminal; the catalogue holds the device type "Ruvo".
class ProgramOnPeer : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        setenv("TESSARO_COM9", Peer.PortPath().c_str(), 1);
        SetComPort(9);
        // A firmware plug-in: the upload action shows, and follows the link.
        Catalogue(R"(<DEVICE name="Ruvo" FW=")" + std::string(TEST_PLUGIN_DIR) + R"(/firmware.so"/>)");
    }
    void TearDown() override
    {
        unsetenv("TESSARO_COM9");
        ProgramFixture::TearDown();
    }
    TFramingPeer Peer;
};

} // namespace

TEST_F(ProgramOnPeer, StatusBarFollowsTheSerialLinkAndRepliesAreRead)
{
    TDM dm(QStringList{"Tessaro", "Ruvo"});
    TfMainForm form;
    dm.LoadStartPlugins();
    form.FormShow();
    auto panel = [&](int i) { return form.StatusPanels[i]->text().toStdString(); };
    EXPECT_EQ(panel(1), "COM 9");
    EXPECT_EQ(panel(2), "Warte auf Verbindung!");
    form.AppIdle();
    EXPECT_TRUE(dm.acUploadFirmware->isVisible());
    EXPECT_FALSE(dm.acUploadFirmware->isEnabled());
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Verbindung OK"; }, 5000));
    form.AppIdle(); // the actions follow the link at the next idle cycle
    EXPECT_TRUE(dm.acUploadFirmware->isVisible());
    EXPECT_TRUE(dm.acUploadFirmware->isEnabled());

    // Identification, whole and split over two messages.
    Peer.Send('\x89', "ABC\r");
    ASSERT_TRUE(ProcessEventsUntil([&] { return dm.DeviceList()->Current()->Identification == "ABC"; }, 3000));
    Peer.Send('\x89', "XY");
    Peer.Send('Z', "\r");
    ASSERT_TRUE(ProcessEventsUntil([&] { return dm.DeviceList()->Current()->Identification == "XYZ"; }, 3000));
    // The answer to an upload request, with its zero byte.
    Peer.Send('\x8B', std::string(1, '\0'));
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return dm.ComControl()->UploadGoAheadReply() == TUploadReplyStatus::urGoAhead; }, 3000));

    // The device falls silent: the link goes down and the panel says so.
    Peer.SetSilent(true);
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Warte auf Verbindung!"; }, 9000));
    EXPECT_EQ(form.ReplyParser.State(), THostReplyParser::NotConnected);
    // ... and back.
    Peer.SetSilent(false);
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Verbindung OK"; }, 6000));
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

// Holding Enter in the monitor's send line: one frame reaches the device, not
// one for every repeat of the key.
TEST_F(ProgramOnPeer, HoldingEnterInTheSendLineSendsOneFrame)
{
    TDM dm(QStringList{"Tessaro", "Ruvo"});
    dm.Environment()->StoreServiceCode("48213"); // the monitor shows in the extended mode
    TfMainForm form;
    dm.LoadStartPlugins();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    // Connected; the idle handler (the event loop runs it when it has nothing
    // to do) shows the monitor and offers the send button.
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.StatusPanels[2]->text() == "Verbindung OK"; }, 5000));
    form.AppIdle();
    ASSERT_TRUE(form.btnSend->isEnabled() && form.edtSend->isVisible());

    QTest::mouseClick(form.edtSend, Qt::LeftButton);
    QTest::keyClicks(form.edtSend, "ver");
    HoldKey(form.windowHandle(), Qt::Key_Return, "\r", 22);
    // A second command, typed over the selected first one, marks the end:
    // frames arrive in order, so once it is there nothing else is on its way.
    QTest::keyClicks(form.edtSend, "x");
    HoldKey(form.windowHandle(), Qt::Key_Return, "\r", 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Peer.Received().size() >= 2; }, 5000));
    const auto received = Peer.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].Cmd, 'V');
    EXPECT_EQ(received[0].Data, "ER\n");
    EXPECT_EQ(received[1].Cmd, 'X');
    EXPECT_EQ(received[1].Data, "\n");
    // What the monitor shows of it: the two sends, on the right.
    QStringList sent;
    for (int row = 0; row < form.lbxOut->count(); ++row)
        if (!form.lbxOut->item(row)->text().isEmpty())
            sent << form.lbxOut->item(row)->text();
    EXPECT_EQ(sent, (QStringList{"VER<0A>", "X<0A>"}));
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

namespace {

// The process's threads, less Qt's pooled workers (they linger idle for a
// while after any task of the toolkit's own).
int ThreadCount()
{
    int count = 0;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name("/proc/self/task/" + task + "/comm");
        if (name.open(QIODevice::ReadOnly) && !name.readAll().startsWith("Thread (pooled)"))
            ++count;
    }
    return count;
}

} // namespace

TEST_F(ProgramOnPeer, TheLinksThreadsAreJoinedBeforeTheProgramReturns)
{
    const int before = ThreadCount();
    int during = 0;
    bool connected = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!fMainForm)
            return;
        connected = fMainForm->StatusPanels[2]->text() == "Verbindung OK";
        if (connected) {
            during = ThreadCount();
            fMainForm->close();
        }
    });
    watch.start(20);
    // Never connected: the test fails below. The timer goes with the test,
    // so it cannot close the window of a later one.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] {
        if (fMainForm)
            fMainForm->close();
    });
    giveUp.start(8000);
    EXPECT_EQ(RunTessaro({"Tessaro", "Ruvo"}), 0);
    watch.stop();
    EXPECT_TRUE(connected);
    EXPECT_GT(during, before); // the port thread ran
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

namespace {

void ChooseFromMenu(QAction* entry)
{
    ASSERT_TRUE(ChooseFromMenu(*fMainForm, entry)) << entry->text().toStdString();
}

} // namespace

// SIGTERM or SIGINT while the program runs and a window waits for the
// person: the program (real dialogs, offscreen) ends in order with status 0:
// the window goes, the plug-in is unloaded with its windows, the link's
// threads are joined and the settings saved.
TEST_F(ProgramFixture, SigtermWhileADialogIsOpenEndsTheProgramInOrder)
{
    const struct {
        const char* What;
        std::function<void()> Open; // as a person opens it, once the link is up
        const char* Window;
        int Signal = SIGTERM;
    } cases[] = {
        {"the port dialog", [] { ChooseFromMenu(DM->acOptionenSchnittstelle); }, "TfComportOptions"},
        {"the language dialog", [] { ChooseFromMenu(DM->actChangeLanguage); }, "TfLanguage"},
        {"the service-code dialog, SIGINT", [] { ChooseFromMenu(DM->acInputExtentionKey); }, "TfInputForm", SIGINT},
        {"a message box", [] { ChooseFromMenu(DM->acResetDialogs); }, "QMessageBox"},
        {"the radio plug-in's dialog", [] { ChooseFromMenu(DM->actExtendedOptions); }, "TfParameterForm"},
        {"the file dialog of the radio plug-in's dialog",
         [] {
             ChooseFromMenu(DM->actExtendedOptions);
             QWidget* dialog = ShownWindow("TfParameterForm");
             ASSERT_NE(dialog, nullptr);
             auto* load = dialog->findChild<QPushButton*>("btnLoad");
             QTest::mouseClick(load, Qt::LeftButton, {}, load->rect().center());
         },
         "QFileDialog"},
    };
    ASSERT_TRUE(QFile::copy(RAVVEL_PATH, QString::fromStdString(ProgramDir() + "Ravvel.so")));
    Catalogue(R"(<GENERAL preference=""/><DEVICE name="Ruvo" EX="Ravvel.so"/>)");
    TFramingPeer peer;
    TRadioModule module(peer);
    setenv("TESSARO_COM43", peer.PortPath().c_str(), 1);
    SetDialogService(nullptr); // the real dialogs
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        {
            QSettings ini(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
            ini.clear();
            ini.setValue("Tessaro/ComPort", 43);
            ini.setValue("NormWindowPos", 48213); // the service mode, for the plug-in's dialog
        }
        const int threadsBefore = ThreadCount();
        int threadsDuring = 0;
        bool windowUp = false;
        TEndOnSignal ending;
        // The person waits for the link, opens the window, and the signal
        // comes while it is up.
        int step = 0;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (step == 0 && fMainForm && fMainForm->StatusPanels[2]->text() == "Verbindung OK" &&
                !fMainForm->menuBar()->actions().isEmpty()) {
                step = 1;
                threadsDuring = ThreadCount();
                QTimer::singleShot(0, c.Open); // it may run a modal loop of its own
            } else if (step == 1 && ShownWindow(c.Window)) {
                step = 2;
                windowUp = true;
                std::raise(c.Signal);
            }
        });
        driver.start(20);
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [&] {
            ADD_FAILURE() << "stuck at step " << step;
            std::raise(SIGTERM);
        });
        giveUp.start(60000);
        EXPECT_EQ(RunTessaro({"Tessaro", "Ruvo"}), 0);
        driver.stop();
        EXPECT_TRUE(windowUp);
        EXPECT_TRUE(EndRequested());
        ClearEndRequest();
        EXPECT_EQ(DM, nullptr);
        EXPECT_EQ(fMainForm, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible() || w->inherits("TfParameterForm")) << w->metaObject()->className();
        EXPECT_GT(threadsDuring, threadsBefore); // the port thread ran ...
        EXPECT_EQ(ThreadCount(), threadsBefore); // ... and was joined
        QSettings saved(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
        EXPECT_EQ(saved.value("Tessaro/ComPort").toInt(), 43);
        EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // written at the end
        EXPECT_EQ(saved.value("NormWindowPos").toInt(), 48213);
    }
    SetDialogService(&TestDialogs());
    unsetenv("TESSARO_COM43");
}


namespace {

// The program in the service mode on the simulated radio module (COM43),
// with the radio plug-in Ravvel.so and the firmware plug-in of the tests.
class ProgramOnModule : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        ASSERT_TRUE(QFile::copy(RAVVEL_PATH, QString::fromStdString(ProgramDir() + "Ravvel.so")));
        Catalogue(R"(<DEVICE name="Ruvo" EX="Ravvel.so" FW=")" + std::string(TEST_PLUGIN_DIR) +
                  R"(/firmware.so"/>)");
        setenv("TESSARO_COM43", Peer.PortPath().c_str(), 1);
        FreshSettings();
    }
    void TearDown() override
    {
        SetDialogService(&TestDialogs());
        unsetenv("TESSARO_COM43");
        ClearEndRequest();
        ProgramFixture::TearDown();
    }
    // COM43 and the service mode, nothing else.
    void FreshSettings() const
    {
        QSettings ini(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
        ini.clear();
        ini.setValue("Tessaro/ComPort", 43);
        ini.setValue("NormWindowPos", 48213);
    }
    // Whether the program wrote its settings at the end.
    bool SettingsWritten() const
    {
        QSettings saved(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
        return saved.value("Tessaro/ComPort").toInt() == 43 && saved.contains("Tessaro/LANGUAGE");
    }
    // Runs the main block. Once the link is up, `act` runs from the event
    // loop (it may run a modal loop of its own, or hang); when the program
    // has not ended 60 s later, SIGTERM ends it and the test fails.
    int Run(const std::function<void()>& act)
    {
        bool acted = false;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (!acted && fMainForm && fMainForm->StatusPanels[2]->text() == "Verbindung OK" &&
                !fMainForm->menuBar()->actions().isEmpty()) {
                acted = true;
                QTimer::singleShot(0, act);
            }
        });
        driver.start(20);
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [&] {
            ADD_FAILURE() << (acted ? "the program did not end" : "the link did not come up");
            std::raise(SIGTERM);
        });
        giveUp.start(60000);
        const TEndOnSignal ending;
        return RunTessaro({"Tessaro", "Ruvo"});
    }
    // The radio plug-in's dialog, opened as a person opens it.
    static QWidget* OpenRadioDialog()
    {
        if (!ChooseFromMenu(*fMainForm, DM->actExtendedOptions))
            return nullptr;
        return ShownWindow("TfParameterForm");
    }
    static void Click(QWidget* window, const char* button)
    {
        auto* b = window ? window->findChild<QPushButton*>(button) : nullptr;
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }

    TFramingPeer Peer;
    TRadioModule Module{Peer};
};

} // namespace

// "Beenden" in the menu, or the main window's close box, while the radio
// plug-in's dialog is open beside the main window: the dialog closes with it
// and the program ends as usual, its settings written, with status 0.
TEST_F(ProgramOnModule, EndingWithTheRadioDialogOpenClosesItAndEndsAsUsual)
{
    const struct {
        const char* What;
        std::function<void()> End;
    } cases[] = {
        {"Beenden", [] { ChooseFromMenu(*fMainForm, DM->FileExit1); }},
        {"the close box", [] { fMainForm->windowHandle()->close(); }},
    };
    SetDialogService(nullptr); // the real dialogs
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        FreshSettings();
        bool dialogUp = false;
        bool dialogClosed = false;
        const int status = Run([&] {
            QWidget* dialog = OpenRadioDialog();
            dialogUp = dialog != nullptr;
            if (!dialog)
                return;
            QObject::connect(dialog->windowHandle(), &QWindow::visibleChanged,
                             [&](bool visible) { dialogClosed = !visible; });
            c.End();
        });
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(dialogUp);
        EXPECT_TRUE(dialogClosed);
        EXPECT_FALSE(EndRequested()) << "the program ran on until SIGTERM";
        ClearEndRequest();
        EXPECT_EQ(DM, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible() || w->inherits("TfParameterForm")) << w->metaObject()->className();
        EXPECT_TRUE(SettingsWritten());
    }
}

// A file a person picks that is a pipe (a FIFO named like a parameter set, a
// log or a firmware file) is refused at once with a message that says so,
// and nothing waits for a writer or a reader: SIGTERM and SIGINT end the
// program as at any other moment.
TEST_F(ProgramOnModule, APipePickedAsAFileIsRefusedAndTheProgramStillEndsOnASignal)
{
    const struct {
        const char* What;
        const char* File;
        std::function<void()> Pick;
        int Signal = SIGTERM;
    } cases[] = {
        {"Parametersatz laden", "set.xml", [] { Click(OpenRadioDialog(), "btnLoad"); }},
        {"Parametersatz laden, SIGINT", "set2.xml", [] { Click(OpenRadioDialog(), "btnLoad"); }, SIGINT},
        {"Parameter speichern unter", "saved.xml", [] { Click(OpenRadioDialog(), "btnSave"); }},
        {"Protokoll speichern", "log.txt", [] { Click(fMainForm, "btnSave"); }},
        {"Firmware-Upload", "firmware.a79",
         [] {
             fMainForm->AppIdle(); // the action follows the link at the next idle cycle
             ChooseFromMenu(*fMainForm, DM->acUploadFirmware);
         }},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string log = ProgramDir() + "plugins.log";
    setenv("TESSARO_PLUGIN_LOG", log.c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        FreshSettings();
        TestDialogs().Clear();
        const std::string fifo = folder.filePath(c.File).toStdString();
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        TestDialogs().QueueFile(fifo);
        // 1 s after the pick the signal comes. A pick that hangs is let go
        // 10 s later (a writer or reader opens the pipe), so that the test
        // ends and says so.
        std::atomic<bool> picked{false}, ended{false};
        std::chrono::steady_clock::time_point signalled{};
        std::thread watch([&] {
            const auto wait = [&](const std::atomic<bool>& flag, int ms) {
                for (int waited = 0; !flag && waited < ms; waited += 10)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return flag.load();
            };
            if (!wait(picked, 60000))
                return;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            signalled = std::chrono::steady_clock::now();
            kill(getpid(), c.Signal);
            if (wait(ended, 10000))
                return;
            for (const int mode : {O_WRONLY, O_RDONLY})
                if (const int fd = open(fifo.c_str(), mode | O_NONBLOCK | O_CLOEXEC); fd >= 0)
                    close(fd);
            wait(ended, 60000);
        });
        const int status = Run([&] {
            picked = true;
            c.Pick();
        });
        const auto endedAt = std::chrono::steady_clock::now();
        ended = true;
        watch.join();
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(EndRequested());
        ClearEndRequest();
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - signalled).count(), 5000)
            << "the signal did not end the program";
        bool refused = false;
        for (const TShownBox& box : TestDialogs().Boxes())
            refused = refused || (box.Text.find(fifo) != std::string::npos &&
                                  box.Text.find("not a regular file") != std::string::npos);
        EXPECT_TRUE(refused);
        EXPECT_EQ(ReadFile(log).find("FirmwareUpload"), std::string::npos) << "the firmware plug-in got the pipe";
        EXPECT_TRUE(SettingsWritten());
        std::remove(fifo.c_str());
    }
    unsetenv("TESSARO_PLUGIN_LOG");
}

// Nothing may stop the shipped program before it opens the port, and SIGTERM
// ends it as closing the window does.
TEST(ShippedProgram, ComesUpOnTheNamedPortAndEndsOnSigterm)
{
    TShippedProgram program;
    QSettings(program.Ini(), QSettings::IniFormat).setValue("Tessaro/ComPort", 9);
    TFramingPeer peer;
    program.StartOnPeer(peer, {"Ruvo"});
    EXPECT_TRUE(program.WaitUntilPolled(peer)); // the link is up once the program polls the device
    ASSERT_TRUE(program.Terminate());
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0);
    EXPECT_FALSE(program.Shown().contains("QMessageBox")) << program.Output.toStdString();
    QSettings saved(program.Ini(), QSettings::IniFormat);
    EXPECT_EQ(saved.value("Tessaro/ComPort").toInt(), 9);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // written at the end
}

// SIGTERM while the program waits for a person at start-up: the box or the
// dialog in front goes, nothing else opens, and the program ends in order
// with status 0 and its settings saved, also where it would have ended with
// 1 once the box was answered.
TEST(ShippedProgram, SigtermDuringStartUpEndsItInOrder)
{
    const struct {
        const char* What;
        QStringList Arguments;
        bool OwnFolder; // a folder without catalogue
        const char* Window;
    } cases[] = {
        {"the box about a device the catalogue lacks", {"Nixda"}, false, "QMessageBox"},
        {"the device choice", {}, false, "TfSelectDeviceForm"},
        {"the box about the missing catalogue", {"Ruvo"}, true, "QMessageBox"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        if (c.OwnFolder) {
            ASSERT_TRUE(CopyProgram(folder.path()));
        }
        TShippedProgram program(c.OwnFolder ? folder.path() : QCoreApplication::applicationDirPath());
        QSettings(program.Ini(), QSettings::IniFormat).setValue("Tessaro/ComPort", 0);
        program.Start(c.Arguments);
        ASSERT_TRUE(program.WaitForWindow(c.Window)) << program.Output.toStdString();
        const auto before = program.Shown().size();
        ASSERT_TRUE(program.Terminate()) << program.Output.toStdString();
        EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.Process.exitCode(), 0) << program.Output.toStdString();
        EXPECT_EQ(program.Shown().size(), before) << program.Output.toStdString();
        QSettings saved(program.Ini(), QSettings::IniFormat);
        EXPECT_EQ(saved.value("Tessaro/ComPort").toInt(), 0);
        EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // written at the end
    }
}
