// The program against the framing peer on a pseudo-terminal: the status bar
// follows the link, and the program's own replies reach the catalogue entry
// and the link object.
#include "controls/SyncListbox.h"
#include "link/Communication.h"
#include "shell/DataModule.h"
#include "shell/DeviceStatus.h"
#include "shell/Environment.h"
#include "shell/MainForm.h"
#include "shell/Tessaro.h"
#include "sim/FramingPeer.h"
#include "tests/common/TestServices.h"
#include "tests/shell/KeyInput.h"
#include "tests/shell/ShellFixture.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The program's settings name COM9, which is the framing peer's
// pseudo-terminal; the catalogue holds the device type "Ruvo".
class ProgramOnPeer : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        TestDialogs().Clear();
        TDM::PluginLoadPause = [](int) {};
        setenv("TESSARO_COM9", Peer.SlavePath().c_str(), 1);
        SetComPort(9);
        WriteFile(ProgramDir() + "ZorDevices.xml", R"(<ZORDEVICES><DEVICE name="Ruvo"/></ZORDEVICES>)");
    }
    void TearDown() override
    {
        unsetenv("TESSARO_COM9");
        ShellFixture::TearDown();
    }
    TFramingPeer Peer;
};

} // namespace

TEST_F(ProgramOnPeer, StatusBarFollowsTheSerialLinkAndRepliesAreRead)
{
    TDM dm(QStringList{"Tessaro", "Ruvo"});
    TfMainForm form;
    form.FormShow();
    auto panel = [&](int i) { return form.StatusPanels[i]->text().toStdString(); };
    EXPECT_EQ(panel(1), "COM 9");
    EXPECT_EQ(panel(2), "Warte auf Verbindung!");
    ASSERT_TRUE(ProcessEventsUntil([&] { return panel(2) == "Verbindung OK"; }, 5000));
    EXPECT_TRUE(dm.acUploadFirmware->isEnabled() || !dm.acUploadFirmware->isVisible());

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
    QTimer::singleShot(8000, [] {
        if (fMainForm)
            fMainForm->close(); // never connected: the test fails below
    });
    EXPECT_EQ(RunTessaro({"Tessaro", "Ruvo"}), 0);
    watch.stop();
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
    TFramingPeer peer;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("XDG_DATA_HOME", data.path());
    env.insert("TESSARO_COM9", QString::fromStdString(peer.SlavePath()));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QCoreApplication::applicationDirPath() + "/Tessaro", {"Ruvo"});
    ASSERT_TRUE(program.waitForStarted(5000));
    // The link is up once the program polls the device.
    bool polled = false;
    for (int i = 0; i < 100 && !polled && program.state() == QProcess::Running; ++i) {
        program.waitForFinished(100);
        polled = peer.Counters().PollsSeen > 0;
    }
    EXPECT_TRUE(polled);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    QSettings saved(config.path() + "/Zorvatek.ini", QSettings::IniFormat);
    EXPECT_EQ(saved.value("Tessaro/ComPort").toInt(), 9);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // written at the end
}
