// The files the program writes and reads, as the person who uses it meets
// them: a log saved onto a full disk, settings that cannot be written at the
// end or when a device is chosen, an error report that does not fit, and a
// catalogue nested deeper than any stack would take.
#include "platform/Application.h"
#include "platform/FileSave.h"
#include "shell/CommunicationMonitor.h"
#include "platform/Registry.h"
#include "shell/DebugClass.h"
#include "shell/DeviceStatus.h"
#include "shell/Environment.h"
#include "shell/SelectDeviceForm.h"
#include "tests/common/FullDisk.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/shell/ProgramFixture.h"

#include <QPushButton>
#include <QTest>

#include <cstring>
#include <fstream>
#include <functional>

#include <sys/stat.h>

namespace {

class FilesTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        SetComPort(0);
        Catalogue(R"(<DEVICE name="Ruvo"/>)");
    }
};

// A message a person sees after a failed save: the file and why.
bool NamesFileAndReason(const TShownBox& box, const std::string& file, int code)
{
    return box.Flags == static_cast<unsigned>(MB_OK | MB_ICONERROR) && box.Text.find(file) != std::string::npos &&
           box.Text.find(std::strerror(code)) != std::string::npos;
}

} // namespace

TEST_F(FilesTest, TheLogSavedOntoAFullDiskSaysSoAndTheOldLogStays)
{
    TFullDisk disk;
    const int full = disk.Real() ? ENOSPC : EFBIG;
    const std::string log = disk.Path() + "Kommunikationsprotokoll.txt";
    const std::string before = "an earlier log\r\n";
    disk.Put("Kommunikationsprotokoll.txt", before);

    TDM dm(QStringList{"Tessaro", "Ruvo"});
    TfMainForm form;
    form.FormShow();
    dm.Environment()->StoreServiceCode("48213"); // the monitor shows in the service mode
    form.show();
    form.AppIdle();
    ASSERT_TRUE(form.btnSave->isVisible());
    form.DebugSendData("VER\n");
    form.DebugReceiveData(std::string(2000, 'R'));

    disk.Fill();
    TestDialogs().Clear();
    TestDialogs().QueueFile(log);
    QTest::mouseClick(form.btnSave, Qt::LeftButton);
    auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(NamesFileAndReason(boxes[0], log, full)) << boxes[0].Text;
    EXPECT_EQ(boxes[0].Text.rfind("Die Daten wurden nicht gespeichert!\r\n", 0), 0u) << boxes[0].Text;
    EXPECT_EQ(ReadFile(log), before);
    EXPECT_EQ(disk.FileCount(), 1); // no half-written file beside it

    // Room again: the same click saves, and says so.
    disk.Free();
    TestDialogs().Clear();
    TestDialogs().QueueFile(log);
    QTest::mouseClick(form.btnSave, Qt::LeftButton);
    boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Die Daten wurden gespeichert!");
    EXPECT_NE(ReadFile(log).find("] VER<0A>\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(log).find(std::string(2000, 'R')), std::string::npos);
}

TEST_F(FilesTest, SettingsThatCannotBeWrittenAtTheEndAreReportedAndTheOldFileStays)
{
    TFullDisk disk;
    const std::string before = "[Tessaro]\nComPort=0\nLANGUAGE=1\n";
    const struct {
        const char* what;
        std::function<void()> prepare; // before the program starts
        std::function<void()> meanwhile;
        int code;
    } cases[] = {
        {"full disk", [&] { disk.Put("Zorvatek.ini", before); }, [&] { disk.Fill(); },
         disk.Real() ? ENOSPC : EFBIG},
        {"write-protected file",
         [&] {
             disk.Free();
             disk.Put("Zorvatek.ini", before);
             chmod((disk.Path() + "Zorvatek.ini").c_str(), 0444);
         },
         [] {}, EACCES},
        {"a folder where the file should be",
         [&] {
             unlink((disk.Path() + "Zorvatek.ini").c_str());
             QDir().mkpath(QString::fromStdString(disk.Path() + "Zorvatek.ini"));
         },
         [] {}, EISDIR},
    };
    setenv("XDG_CONFIG_HOME", disk.Path().substr(0, disk.Path().size() - 1).c_str(), 1);
    const std::string file = disk.Path() + "Zorvatek.ini";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        TestDialogs().Clear();
        EXPECT_EQ(Run({"Ruvo"}, [&] {
                      DM->Environment()->Language = 2;
                      c.meanwhile();
                  }),
                  0);
        const auto boxes = TestDialogs().Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(NamesFileAndReason(boxes[0], file, c.code)) << boxes[0].Text;
        EXPECT_EQ(boxes[0].Text.rfind(TEnvironment::SaveErrorText, 0), 0u) << boxes[0].Text;
        if (c.code == EISDIR)
            EXPECT_TRUE(QFileInfo(QString::fromStdString(file)).isDir());
        else
            EXPECT_EQ(ReadFile(file), before);
    }
    QDir(QString::fromStdString(file)).removeRecursively();
    disk.Free();
    TRegistry::Flush(); // what the failed ends left pending
}

TEST_F(FilesTest, AnErrorReportThatDoesNotFitKeepsTheHistoryAndTheOldReports)
{
    TFullDisk disk;
    SetProgramPath(disk.Path() + "Tessaro");
    const std::string log = disk.Path() + "STATUS.LOG";
    // A page of reports: the disk full, the file has no room left to grow into.
    std::string before = "======== an earlier report\r\n";
    before += std::string(4096 - before.size() - 2, '=') + "\r\n";
    disk.Put("STATUS.LOG", before);
    TDebugClass debug;
    debug.AddAction("acOptionenSchnittstelleExecute", "");
    debug.AddAction("TfMainForm.VerbindungsStatusChanged", "S_VerbindungOK=true");
    disk.Fill();
    try {
        debug.WriteErrorReport("m");
        ADD_FAILURE() << "reported as written";
    } catch (const EFileSaveError& e) {
        EXPECT_EQ(e.FileName(), log);
        EXPECT_EQ(e.ErrorCode(), disk.Real() ? ENOSPC : EFBIG);
    }
    EXPECT_EQ(ReadFile(log), before);
    ASSERT_EQ(debug.History().size(), 2u); // nothing taken out for a report that is not there
    EXPECT_EQ(debug.History()[1]->Description, "S_VerbindungOK=true");

    disk.Free();
    EXPECT_EQ(debug.WriteErrorReport("m"), log);
    const std::string written = ReadFile(log);
    EXPECT_EQ(written.rfind(before + "======== BEGINN FEHLEREINTRAG", 0), 0u);
    EXPECT_NE(written.find("\"TfMainForm.VerbindungsStatusChanged\" : S_VerbindungOK=true\r\n"), std::string::npos);
    ASSERT_EQ(debug.History().size(), 2u);
    EXPECT_EQ(debug.History()[0]->Action, TDebugClass::ReinitMarker);
}

// The state report, asked for in the help menu, goes onto a disk with less
// room than the log's own size: it is appended where the log stands, and only
// what it needs itself must fit. When even that does not fit, the log stays
// as it was, byte for byte, and the person is told.
TEST_F(FilesTest, AReportIsAppendedToALargeLogOnANearlyFullDisk)
{
    TFullDisk disk("4m");
    SetProgramPath(disk.Path() + "Tessaro");
    const std::string log = disk.Path() + "STATUS.LOG";
    std::string before;
    while (before.size() < (3u << 20)) // 3 MiB of earlier reports: more than the room left
        before += "[01.02.2026 10:11:12] \"actSetParameterExecute\" : \r\n";
    disk.Put("STATUS.LOG", before);
    Dm = std::make_unique<TDM>(QStringList{"Tessaro"});
    Dm->acDebugSaveStateToLog->trigger();
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Text,
              "Der Zustandsbericht wurde erstellt und in \"" + disk.Path() + "\" abgespeichert.");
    std::string written = ReadFile(log);
    EXPECT_EQ(written.substr(0, before.size()), before);
    EXPECT_EQ(written.find("======== BEGINN FEHLEREINTRAG"), before.size());
    EXPECT_NE(written.find("] >>> Manuell angeforderter Zustandsbericht\r\n"), std::string::npos);
    EXPECT_EQ(disk.FileCount(), 1); // nothing beside it

    // Now the disk is full but for a few bytes at the end of the log's last
    // page: the next report goes in only so far, and is taken out again.
    {
        std::ofstream pad(log, std::ios::binary | std::ios::app);
        pad << std::string(4096 - 64 - written.size() % 4096, '-');
    }
    written = ReadFile(log);
    disk.Fill();
    TestDialogs().Clear();
    try {
        Dm->acDebugSaveStateToLogExecute();
        ADD_FAILURE() << "reported as written";
    } catch (const EFileSaveError& e) {
        EXPECT_EQ(e.FileName(), log);
        EXPECT_EQ(e.ErrorCode(), disk.Real() ? ENOSPC : EFBIG);
    }
    EXPECT_TRUE(TestDialogs().Boxes().empty()); // no success told
    EXPECT_EQ(ReadFile(log), written);
    EXPECT_EQ(disk.FileCount(), 1);
    disk.Free();
    Dm->acDebugSaveStateToLog->trigger();
    EXPECT_EQ(ReadFile(log).find("======== BEGINN FEHLEREINTRAG", written.size()), written.size());
}

TEST_F(FilesTest, ACatalogueNestedAHundredThousandDeepLoadsAtStart)
{
    const int depth = 100000;
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<A>";
        close += "</A>";
    }
    const std::string deep = "<ZORDEVICES>" + open + R"(<DEVICE name="Ruvo"/>)" + close + "</ZORDEVICES>";
    WriteFile(ProgramDir() + "ZorDevices.xml", deep);
    std::string title;
    EXPECT_EQ(Run({"Ruvo"}, [&] { title = fMainForm->windowTitle().toStdString(); }), 0);
    EXPECT_EQ(title, "Ruvo-Konfigurator");
    EXPECT_TRUE(TestDialogs().Boxes().empty());

    // Cut off in the depth: the catalogue is unreadable, which the program
    // says before it ends.
    WriteFile(ProgramDir() + "ZorDevices.xml", deep.substr(0, deep.size() / 2));
    EXPECT_EQ(RunTessaro({"Tessaro"}), 1);
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text.rfind("Die Konfigurationsdatei \"ZorDevices.xml\" wurde nicht gefunden.", 0), 0u);
}

// The device chosen with a full disk: the person is told that the choice is
// not kept, and it holds for this run; the settings file stays as it was.
TEST_F(FilesTest, ADeviceChoiceThatCannotBeKeptIsToldAndHoldsForTheRun)
{
    TFullDisk disk;
    setenv("XDG_CONFIG_HOME", disk.Path().substr(0, disk.Path().size() - 1).c_str(), 1);
    const std::string file = disk.Path() + "Zorvatek.ini";
    const std::string before = "[Tessaro]\nLastDeviceIndex=0\n";
    disk.Put("Zorvatek.ini", before);
    Catalogue(R"(<DEVICE name="Ruvo"/><DEVICE name="Other"/>)");
    TDeviceList devices;
    devices.LoadDevices(ProgramDir() + "ZorDevices.xml");
    TAppRegistryStorage settings;
    settings.SetRoot("Software\\Zorvatek\\Tessaro");
    disk.Fill();
    {
        TfSelectDeviceForm dialog(devices, settings);
        ASSERT_TRUE(ShowActive(&dialog));
        PressKey(&dialog, Qt::Key_Down);
        PressKey(&dialog, Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(NamesFileAndReason(boxes[0], file, disk.Real() ? ENOSPC : EFBIG)) << boxes[0].Text;
    EXPECT_EQ(devices.Current(), devices.Items(1));
    EXPECT_EQ(settings.ReadInteger("LastDeviceIndex", -1), 1); // for this run
    EXPECT_EQ(ReadFile(file), before);
    disk.Free();
    TRegistry::Flush(); // what the failed save left pending
}
