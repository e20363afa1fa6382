// The program against the framing peer on a pseudo-terminal: the status bar
// follows the link, and the program's own replies reach the catalogue entry
// and the link object.
#include "link/Communication.h"
#include "shell/DataModule.h"
#include "shell/DeviceStatus.h"
#include "shell/MainForm.h"
#include "shell/Tessaro.h"
#include "sim/FramingPeer.h"
#include "tests/common/TestServices.h"
#include "tests/shell/ShellFixture.h"
#include "tests/shell/ShippedProgram.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

TEST_F(ShellFixture, StatusBarFollowsTheSerialLinkAndRepliesAreRead)
{
    TestDialogs().Clear();
    TDM::PluginLoadPause = [](int) {};
    TFramingPeer peer;
    setenv("TESSARO_COM9", peer.SlavePath().c_str(), 1);
    QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat).setValue("Tessaro/ComPort", 9);
    WriteFile(ProgramDir() + "ZorDevices.xml", R"(<ZORDEVICES><DEVICE name="Ruvo"/></ZORDEVICES>)");

    TDM dm(QStringList{"Tessaro", "Ruvo"});
    TfMainForm form;
    form.FormShow();
    auto panel = [&](int i) { return form.StatusPanels[i]->text().toStdString(); };
    EXPECT_EQ(panel(1), "COM 9");
    EXPECT_EQ(panel(2), "Warte auf Verbindung!");
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Verbindung OK"; }, 5000));
    EXPECT_TRUE(dm.acUploadFirmware->isEnabled() || !dm.acUploadFirmware->isVisible());

    // Identification, whole and split over two messages.
    peer.Send('\x89', "ABC\r");
    ASSERT_TRUE(ProcessEventsUntil([&] { return dm.DeviceList()->Current()->Identification == "ABC"; }, 3000));
    peer.Send('\x89', "XY");
    peer.Send('Z', "\r");
    ASSERT_TRUE(ProcessEventsUntil([&] { return dm.DeviceList()->Current()->Identification == "XYZ"; }, 3000));
    // The answer to an upload request, with its zero byte.
    peer.Send('\x8B', std::string(1, '\0'));
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return dm.ComControl()->UploadGoAheadReply() == TUploadReplyStatus::urGoAhead; }, 3000));

    // The device falls silent: the link goes down and the panel says so.
    peer.SetSilent(true);
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Warte auf Verbindung!"; }, 9000));
    EXPECT_EQ(form.ReplyParser.State(), THostReplyParser::NotConnected);
    // ... and back.
    peer.SetSilent(false);
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Verbindung OK"; }, 6000));
    EXPECT_TRUE(TestDialogs().Boxes().empty());
    unsetenv("TESSARO_COM9");
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

TEST_F(ShellFixture, TheLinksThreadsAreJoinedBeforeTheProgramReturns)
{
    TestDialogs().Clear();
    TDM::PluginLoadPause = [](int) {};
    TFramingPeer peer;
    setenv("TESSARO_COM9", peer.SlavePath().c_str(), 1);
    QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat).setValue("Tessaro/ComPort", 9);
    WriteFile(ProgramDir() + "ZorDevices.xml", R"(<ZORDEVICES><DEVICE name="Ruvo"/></ZORDEVICES>)");
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
    QTimer::singleShot(8000, [] {
        if (fMainForm)
            fMainForm->close(); // never connected: the test fails below
    });
    EXPECT_EQ(RunTessaro({"Tessaro", "Ruvo"}), 0);
    watch.stop();
    unsetenv("TESSARO_COM9");
    EXPECT_TRUE(connected);
    EXPECT_GT(during, before); // the port thread ran
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

// The program as it ships: its own folder and catalogue, a settings folder of
// its own naming a port, offscreen. Nothing may stop it before it opens the
// port, and SIGTERM ends it as closing the window does.
TEST(ShippedProgram, ComesUpOnTheNamedPortAndEndsOnSigterm)
{
    QTemporaryDir config, data;
    ASSERT_TRUE(config.isValid() && data.isValid());
    QSettings(config.path() + "/Zorvatek.ini", QSettings::IniFormat).setValue("Tessaro/ComPort", 9);
    const TShippedRun run = RunUntilPolledThenTerminate(QCoreApplication::applicationDirPath() + "/Tessaro", {"Ruvo"},
                                                        config.path(), data.path());
    ASSERT_TRUE(run.Started);
    EXPECT_TRUE(run.Polled); // the link is up once the program polls the device
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.Status, QProcess::NormalExit);
    EXPECT_EQ(run.Code, 0);
    QSettings saved(config.path() + "/Zorvatek.ini", QSettings::IniFormat);
    EXPECT_EQ(saved.value("Tessaro/ComPort").toInt(), 9);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // written at the end
}
