// The program against the framing peer on a pseudo-terminal: the status bar
// follows the link, and the program's own replies reach the catalogue entry
// and the link object.
#include "link/Communication.h"
#include "shell/DataModule.h"
#include "shell/DeviceStatus.h"
#include "shell/MainForm.h"
#include "sim/FramingPeer.h"
#include "tests/common/TestServices.h"
#include "tests/shell/ShellFixture.h"

#include <QSettings>

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
