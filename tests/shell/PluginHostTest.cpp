// The plug-in host: loading by role, the calls and their order, unloading,
// errors of a failing role, the link proxy and the communication mutex.
// The plug-ins are small libraries that log every call to a file.
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Exception.h"
#include "platform/Launcher.h"
#include "platform/NamedObjects.h"
#include "shell/DebugClass.h"
#include "shell/DeviceStatus.h"
#include "shell/Environment.h"
#include "tests/common/RecordingLauncher.h"
#include "tests/link/VirtualComIo.h"
#include "tests/shell/ProgramFixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

#include <dlfcn.h>
#include <link.h>

namespace {

std::string Plugin(const char* name)
{
    return std::string(TEST_PLUGIN_DIR) + "/" + name + ".so";
}

class PluginHostTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        LogPath = ProgramDir() + "plugins.log";
        setenv("TESSARO_PLUGIN_LOG", LogPath.c_str(), 1);
        TDM::PluginLoadPause = [this](int ms) { Pauses.push_back(ms); };
        SetComPort(0);
        TMyComInterface::SetIoFactory([this](HWND window, std::uint16_t) {
            auto io = std::make_unique<TVirtualComIo>(window);
            Ios.push_back(io.get());
            return io;
        });
    }
    void TearDown() override
    {
        ProgramFixture::TearDown();
        TMyComInterface::SetIoFactory({});
        unsetenv("TESSARO_PLUGIN_LOG");
    }
    // The catalogue of the one device "Dev" with these attributes.
    void Catalogue(const std::string& attributes)
    {
        ProgramFixture::Catalogue("<DEVICE name=\"Dev\" extension=\"H86\" " + attributes + "/>");
    }
    void Start() { StartProgram({"Dev"}); }
    std::vector<std::string> Log()
    {
        std::vector<std::string> lines;
        std::string all = ReadFile(LogPath);
        for (std::size_t at = 0; at < all.size();) {
            const auto eol = all.find('\n', at);
            lines.push_back(all.substr(at, eol - at));
            at = eol + 1;
        }
        return lines;
    }
    std::vector<std::string> TakeLog()
    {
        auto lines = Log();
        QFile::remove(QString::fromStdString(LogPath));
        return lines;
    }
    // A test hook of a loaded plug-in.
    template <typename T>
    T Hook(std::uintptr_t handle, const char* name)
    {
        return reinterpret_cast<T>(dlsym(reinterpret_cast<void*>(handle), name));
    }
    std::string Mutex() const { return Dm->CommunicationMutexName(); }

    std::string LogPath;
    std::vector<int> Pauses;
    std::vector<TVirtualComIo*> Ios;
};

const std::string kAllRoles = "ST=\"" + Plugin("status") + "\" PA=\"" + Plugin("parameter") + "\" FW=\"" +
                              Plugin("firmware") + "\" EX=\"" + Plugin("extended") + "\"";

} // namespace

TEST_F(PluginHostTest, LoadingAtStartAndTheFirstBroadcast)
{
    Catalogue(kAllRoles);
    Dm = std::make_unique<TDM>(QStringList{"Tessaro", "Dev"});
    // Nothing comes before the main window stands.
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(Dm->StatusDLL(), ~std::uintptr_t(0));
    Form = std::make_unique<TfMainForm>();
    Dm->LoadStartPlugins();
    // Loaded by role; at load time no link exists: only the parameter plug-in
    // gets InitDLL, with none, and the main window as the owner of its windows.
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"status.loaded", "parameter.loaded",
                                                    "parameter.InitDLL null " + Mutex(), "firmware.loaded",
                                                    "extended.loaded"}));
    EXPECT_EQ(Hook<TAppHandle (*)()>(Dm->ParameterDLL(), "TestPluginAppHandle")(),
              reinterpret_cast<TAppHandle>(static_cast<QWidget*>(Form.get())));
    EXPECT_EQ(Pauses, (std::vector<int>{100, 100, 100, 100}));
    EXPECT_NE(Dm->StatusDLL(), ~std::uintptr_t(0));
    EXPECT_NE(Dm->FExtendedShowDialog, nullptr);
    EXPECT_EQ(Dm->FFirmwareOnReceiveData != nullptr, true);
    EXPECT_EQ(Dm->FStatusShowStatus != nullptr, true);
    Dm->LoadStartPlugins(); // once only
    EXPECT_TRUE(TakeLog().empty());

    Form->FormShow(); // ComPort 0: no link, still the first broadcast
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"firmware.OnConnectionChanged 0", "parameter.OnConnectionChanged 0",
                                                    "extended.OnConnectionChanged 0", "status.OnConnectionChanged 0"}));
    EXPECT_TRUE(Dm->acUploadFirmware->isVisible());
    EXPECT_TRUE(Dm->actSetParameter->isVisible());
}

TEST_F(PluginHostTest, ConnectionChangeOrderAndTheStatusFrame)
{
    Catalogue(kAllRoles);
    SetComPort(3);
    Start();
    TakeLog();
    ASSERT_NE(Dm->ComControl(), nullptr);
    Form->VerbindungsStatusChanged(nullptr, true);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{
                             "firmware.OnConnectionChanged 1", "parameter.OnConnectionChanged 1",
                             "extended.OnConnectionChanged 1", "status.OnConnectionChanged 1",
                             "parameter.InitDLL proxy " + Mutex(), "extended.InitDLL proxy " + Mutex(),
                             "status.ShowStatus same proxy"}));
    // Every entry gets the main window as the owner of the plug-in's windows.
    const auto window = reinterpret_cast<TAppHandle>(static_cast<QWidget*>(Form.get()));
    for (const auto handle : {Dm->StatusDLL(), Dm->ParameterDLL(), Dm->FirmwareDLL(), Dm->ExtendedDLL()})
        EXPECT_EQ(Hook<TAppHandle (*)()>(handle, "TestPluginAppHandle")(), window);
    EXPECT_EQ(Form->pnlStatus->height(), 40); // the frame's height
    EXPECT_EQ(Form->StatusPanels[2]->text().toStdString(), "Verbindung OK");
    EXPECT_EQ(Form->ReplyParser.State(), THostReplyParser::Idle);
    EXPECT_EQ(Dm->Environment()->Debugger()->History().back()->Description, "S_VerbindungOK=true");
}

TEST_F(PluginHostTest, ReceivedDataReachEveryPluginWithZeroBytesAndExactLength)
{
    Catalogue(kAllRoles);
    Start();
    TakeLog();
    Form->CommunicationReceive(nullptr, '\x8B', std::string("\x00" "A\x00", 3));
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"firmware.OnReceiveData 8B004100", "parameter.OnReceiveData 8B004100",
                                                    "extended.OnReceiveData 8B004100", "status.OnReceiveData 8B004100"}));
}

// A plug-in reads the device's answer to an upload request through the link
// object it borrowed, as the program's reply parser read it; the object only
// reads it, and without a link it is undefined.
TEST_F(PluginHostTest, TheBorrowedLinkTellsTheAnswerToAnUploadRequest)
{
    Catalogue(kAllRoles);
    SetComPort(3);
    Start();
    Form->VerbindungsStatusChanged(nullptr, true); // the parser reads replies; the plug-ins hold the link
    const auto reply = Hook<int (*)()>(Dm->ExtendedDLL(), "TestPluginUploadGoAheadReply");
    ASSERT_NE(reply, nullptr);
    const struct {
        const char* what;
        std::vector<std::string> messages; // command byte first
        int expected;
    } cases[] = {
        {"before any answer", {}, TESSARO_UPLOAD_UNDEFINED},
        {"0x8B 0x00", {std::string("\x8B\x00", 2)}, TESSARO_UPLOAD_GO_AHEAD},
        {"0x8B alone: a new request is under way", {"\x8B"}, TESSARO_UPLOAD_UNDEFINED},
        {"its answer byte in the next message", {"\x05"}, TESSARO_UPLOAD_NOT_ENOUGH_MEMORY},
        {"0x8B 0x00 again", {std::string("\x8B\x00", 2)}, TESSARO_UPLOAD_GO_AHEAD},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& message : c.messages)
            Form->CommunicationReceive(nullptr, message[0], message.substr(1));
        EXPECT_EQ(reply(), c.expected);
        EXPECT_EQ(static_cast<int>(Dm->ComControl()->UploadGoAheadReply()), c.expected);
    }
    // The link goes: the object the plug-in holds tells nothing of the old one.
    Dm->SetComControl(nullptr);
    EXPECT_EQ(reply(), TESSARO_UPLOAD_UNDEFINED);
}

TEST_F(PluginHostTest, UnloadingCallsTheCloseEntriesBeforeTheLibrariesGo)
{
    Catalogue(kAllRoles);
    Start();
    TakeLog();
    Dm->UnloadDLLs();
    // Each library hears its closing entry before it goes.
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"status.CloseStatus", "status.freed", "parameter.UnloadDLL",
                                                    "parameter.freed", "firmware.freed", "extended.UnloadDLL",
                                                    "extended.freed"}));
    for (const auto handle : {Dm->StatusDLL(), Dm->ParameterDLL(), Dm->FirmwareDLL(), Dm->ExtendedDLL()})
        EXPECT_EQ(handle, ~std::uintptr_t(0));
    EXPECT_EQ(Dm->FParameterShowDialog, nullptr);
    Form->CommunicationReceive(nullptr, 'A', ""); // nothing left to call
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(PluginHostTest, MissingEntriesAreSkipped)
{
    Catalogue("ST=\"" + Plugin("receiveonly") + "\" PA=\"" + ProgramDir() + "absent.so\"");
    Start();
    EXPECT_EQ(Pauses, (std::vector<int>{100, 100, 100, 100})); // after every role, the absent ones too
    EXPECT_EQ(Dm->ParameterDLL(), ~std::uintptr_t(0));
    EXPECT_EQ(Dm->FStatusInitDLL, nullptr);
    EXPECT_EQ(Dm->FStatusShowStatus, nullptr);
    EXPECT_NE(Dm->FStatusOnReceiveData, nullptr);
    TakeLog();
    Form->VerbindungsStatusChanged(nullptr, true);
    Form->CommunicationReceive(nullptr, 'Z', "");
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"receiveonly.OnReceiveData 5A"});
    EXPECT_EQ(Form->pnlStatus->height(), 1); // no frame
}

TEST_F(PluginHostTest, AFailingRoleStopsTheLoadingWithItsText)
{
    WriteFile(ProgramDir() + "notalib.so", "this is text, not a library");
    const std::string status = "ST=\"" + Plugin("status") + "\" ";
    const std::string extended = " EX=\"" + Plugin("extended") + "\"";
    const struct {
        std::string attributes;
        std::string path;
        const char* roleLine;
        const char* detail;
        std::vector<int> pauses; // none after the failing role
        std::uintptr_t handle;   // what loading left in the failing role
    } cases[] = {
        {"ST=\"" + ProgramDir() + "notalib.so\"" + extended, ProgramDir() + "notalib.so",
         "Für dieses Gerät sind keine Statusinformationen verfügbar.", "", {}, 0},
        {status + "FW=\"" + ProgramDir() + "notalib.so\"" + extended, ProgramDir() + "notalib.so",
         "Für dieses Gerät ist kein Firmware-Upload möglich.", "", {100, 100}, 0}, // the absent parameter role too
        {status + "PA=\"" + Plugin("initfails") + "\"" + extended, Plugin("initfails"),
         "Für dieses Gerät können keine Parameter eingestellt werden.", "the module said no", {100}, 1},
        {status + "PA=\"" + Plugin("initfailssilently") + "\"" + extended, Plugin("initfailssilently"),
         "Für dieses Gerät können keine Parameter eingestellt werden.", "", {100}, 1},
        {status + "PA=\"" + Plugin("initthrows") + "\"" + extended, Plugin("initthrows"),
         "Für dieses Gerät können keine Parameter eingestellt werden.", "thrown out of InitDLL", {100}, 1},
    };
    Catalogue(R"(name="Dev")");
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Dm->UnloadDLLs();
        WriteFile(ProgramDir() + "ZorDevices.xml",
                  "<ZORDEVICES><DEVICE name=\"Dev\" " + c.attributes + "/></ZORDEVICES>");
        Dm->DeviceList()->LoadDevices(ProgramDir() + "ZorDevices.xml");
        Pauses.clear();
        TakeLog();
        try {
            Dm->LoadDLLs();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Schwerer Fehler: Die DLL \"" + c.path + "\" konnte nicht gelinkt werden!\r\n" +
                                       c.roleLine + "\r\nFehlermeldung: " + c.detail);
        }
        EXPECT_EQ(Pauses, c.pauses);
        const std::uintptr_t handles[] = {Dm->StatusDLL(), Dm->ParameterDLL(), Dm->FirmwareDLL()};
        const int failing = c.attributes.find("FW=") != std::string::npos   ? 2
                            : c.attributes.find("PA=") != std::string::npos ? 1
                                                                            : 0;
        if (c.handle == 0)
            EXPECT_EQ(handles[failing], 0u); // nothing was loaded, nothing to free
        else
            EXPECT_NE(handles[failing], ~std::uintptr_t(0)); // loaded; freed with the others
        EXPECT_EQ(Dm->ExtendedDLL(), ~std::uintptr_t(0)); // the roles after it stay unloaded
        for (const auto& line : Log())
            EXPECT_NE(line, "extended.loaded");
    }
    // Why the loader refused a file is kept for the error report.
    int refusals = 0;
    for (const auto& entry : Dm->Environment()->Debugger()->History())
        if (entry->Action == "TDM.LoadDLLs") {
            ++refusals;
            EXPECT_NE(entry->Description.find("notalib.so"), std::string::npos) << entry->Description;
        }
    EXPECT_EQ(refusals, 2);
    TakeLog();
    Dm->UnloadDLLs();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"status.CloseStatus", "status.freed", "initthrows.UnloadDLL",
                                                    "initthrows.freed"}));
}

// At start a role that fails is swallowed, whether the plug-ins come once
// the main window stands (as the program has it) or in the data module's
// creation handler.
TEST_F(PluginHostTest, AtStartAFailingRoleIsSwallowed)
{
    WriteFile(ProgramDir() + "notalib.so", "text");
    Catalogue("ST=\"" + ProgramDir() + "notalib.so\" EX=\"" + Plugin("extended") + "\"");
    for (const auto start : {TDM::TPluginStart::WithMainWindow, TDM::TPluginStart::InCreation}) {
        SCOPED_TRACE(start == TDM::TPluginStart::InCreation ? "in the creation handler" : "with the main window");
        Dm = std::make_unique<TDM>(QStringList{"Tessaro", "Dev"}, nullptr, start);
        // Loaded (and failed) in the creation handler, or not yet.
        EXPECT_EQ(Dm->StatusDLL(), start == TDM::TPluginStart::InCreation ? 0u : ~std::uintptr_t(0));
        Form = std::make_unique<TfMainForm>();
        Dm->LoadStartPlugins(); // nothing more after a load in the creation handler
        Form->FormShow();
        EXPECT_TRUE(TestDialogs().Boxes().empty());
        EXPECT_EQ(Dm->StatusDLL(), 0u); // what loading returned
        EXPECT_EQ(Dm->ExtendedDLL(), ~std::uintptr_t(0));
        EXPECT_EQ(Pauses.size(), 0u); // none after the failing role
        EndProgram();
    }
}

TEST_F(PluginHostTest, PluginSendsReachTheLinkThatExistsNow)
{
    Catalogue(kAllRoles);
    SetComPort(3);
    Start();
    Form->VerbindungsStatusChanged(nullptr, false); // hands the proxy over
    auto send = Hook<int (*)(const char*)>(Dm->ExtendedDLL(), "TestPluginSend");
    ASSERT_NE(send, nullptr);
    ASSERT_EQ(Ios.size(), 1u);
    EXPECT_EQ(send("Aone"), 1);
    ASSERT_EQ(Ios[0]->ThreadMessages.size(), 1u);
    EXPECT_EQ(Ios[0]->ThreadMessages[0].Block.value(), "one");

    // The user picks another interface: the old link object is freed.
    Form->OpenSerialInterface();
    ASSERT_EQ(Ios.size(), 2u);
    EXPECT_EQ(send("Btwo"), 1); // the plug-in still holds what it was handed
    ASSERT_EQ(Ios[1]->ThreadMessages.size(), 1u);
    EXPECT_EQ(Ios[1]->ThreadMessages[0].Block.value(), "two");

    // No link at all: nothing is sent, nothing breaks.
    Dm->SetComControl(nullptr);
    EXPECT_EQ(send("Cthree"), 1);
    EXPECT_EQ(Hook<int (*)()>(Dm->ExtendedDLL(), "TestPluginConnected")(), 0);
}

TEST_F(PluginHostTest, TheMutexIsTheGuiThreadsForTheWholeRun)
{
    Catalogue(kAllRoles);
    Start();
    auto take = Hook<std::uint32_t (*)(int, std::uint32_t)>(Dm->ParameterDLL(), "TestPluginTakeMutex");
    ASSERT_NE(take, nullptr);
    // The GUI thread owns it: a plug-in waiting from there gets it without waiting.
    EXPECT_EQ(take(0, 0), static_cast<std::uint32_t>(WAIT_OBJECT_0));
    EXPECT_EQ(take(0, 0), static_cast<std::uint32_t>(WAIT_OBJECT_0));
    // The plug-in's releases leave it the GUI thread's: another thread waits in vain.
    EXPECT_EQ(take(1, 2000), static_cast<std::uint32_t>(WAIT_TIMEOUT));
    EXPECT_EQ(Mutex().rfind("Global\\{", 0), 0u);
    EXPECT_EQ(Mutex().size(), 7u + 38u);
}

TEST_F(PluginHostTest, PluginDialogsAndTheFirmwareUpload)
{
    Catalogue(kAllRoles);
    SetComPort(3);
    Start();
    TakeLog();
    Dm->actSetParameter->trigger();
    Dm->actExtendedOptions->trigger();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"parameter.ShowDialog", "extended.ShowDialog"}));

    WriteFile(ProgramDir() + "fw/new.h86", "firmware");
    TestDialogs().QueueFile(ProgramDir() + "fw/new.h86");
    Dm->acUploadFirmware->trigger();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"parameter.GetParameterObject",
                                                    "firmware.FirmwareUpload " + ProgramDir() + "fw/new.h86 proxy Dev",
                                                    "parameter.SetParameter same"}));
    const auto dialogs = TestDialogs().FileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].FilterIndex, 2); // H86
    EXPECT_EQ(dialogs[0].Title, "Firmware Update");
    EXPECT_EQ(dialogs[0].DefaultExt, "H86");
    EXPECT_EQ(Dm->Environment()->FirmwarePath(), ProgramDir() + "fw/");
    EXPECT_EQ(Dm->Environment()->LastFirmwareFile, "new.h86");
    EXPECT_FALSE(Dm->ActionsSuspended());
    EXPECT_FALSE(Form->IsPausedForUpload());

    // Cancelled: nothing happens.
    Dm->acUploadFirmware->trigger();
    EXPECT_TRUE(TakeLog().empty());
}

// The error report tells what the person did for an upload: the action, and
// the firmware file chosen (not when the choice was cancelled).
TEST_F(PluginHostTest, TheReportTellsTheFirmwareFileThatWasChosen)
{
    Catalogue(kAllRoles);
    SetComPort(3);
    Start();
    WriteFile(ProgramDir() + "fw/new.h86", "firmware");
    Dm->acUploadFirmware->trigger(); // cancelled
    TestDialogs().QueueFile(ProgramDir() + "fw/new.h86");
    Dm->acUploadFirmware->trigger();
    Dm->acDebugSaveStateToLog->trigger();
    const std::string log = ReadFile(ProgramDir() + "STATUS.LOG");
    const auto from = log.find("-------- Aktionshistorie -------------------------------\r\n");
    const auto to = log.find("-------- SQL-Historie", from);
    ASSERT_NE(to, std::string::npos) << log;
    std::vector<std::string> actions;
    for (std::size_t at = log.find("\r\n", from) + 2; at < to;) {
        const auto eol = log.find("\r\n", at);
        const std::string line = log.substr(at, eol - at);
        at = eol + 2;
        const auto quote = line.find("] \"");
        if (line.find("acUploadFirmwareExecute") != std::string::npos ||
            line.find("acFirmwareUpdateExecute") != std::string::npos)
            actions.push_back(line.substr(quote + 2));
    }
    EXPECT_EQ(actions, (std::vector<std::string>{
                           "\"acUploadFirmwareExecute\" : ", "\"acUploadFirmwareExecute\" : ",
                           "\"acFirmwareUpdateExecute - AfterSelect\" : Filename=" + ProgramDir() + "fw/new.h86"}));
}

TEST_F(PluginHostTest, AFailedUploadStillResumesTheMonitorAndTheActions)
{
    Catalogue("PA=\"" + Plugin("parameter") + "\" FW=\"" + Plugin("firmwarefails") + "\"");
    Start();
    TakeLog();
    WriteFile(ProgramDir() + "new.a79", "firmware");
    TestDialogs().QueueFile(ProgramDir() + "new.a79");
    Form->Monitor.SetVisible(true); // the extended service mode shows it
    try {
        Dm->acUploadFirmwareExecute();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "the upload broke off");
    }
    EXPECT_FALSE(Form->IsPausedForUpload());
    EXPECT_FALSE(Dm->ActionsSuspended());
    std::vector<std::string> rows;
    for (const auto& row : Form->Monitor.In())
        if (!row.Text.empty())
            rows.push_back(row.Text);
    EXPECT_EQ(rows, (std::vector<std::string>{"FIRMWAREUPDATE - PROTOKOLL IST DEAKTIVIERT", "PROTOKOLL WIRD FORTGESETZT"}));
    // An upload paused by an earlier one stays paused; one the user paused is resumed.
    Form->PauseForUpload();
    TestDialogs().QueueFile(ProgramDir() + "new.a79");
    EXPECT_THROW(Dm->acUploadFirmwareExecute(), Exception);
    EXPECT_TRUE(Form->IsPausedForUpload());
    Form->PauseMonitor();
    TestDialogs().QueueFile(ProgramDir() + "new.a79");
    EXPECT_THROW(Dm->acUploadFirmwareExecute(), Exception);
    EXPECT_EQ(Form->Monitor.Pause(), TCommunicationMonitor::TPause::Running);
    // No SetParameter after a failed upload.
    for (const auto& line : TakeLog())
        EXPECT_EQ(line.find("SetParameter"), std::string::npos) << line;
}

TEST_F(PluginHostTest, TheErrorReportIsMailedOnlyWhenItWasWrittenWhole)
{
    Catalogue("");
    Start();
    TRecordingLauncher launcher;
    SetLauncherService(&launcher);
    Dm->acSendErrorLogExecute();
    Dm->acSendErrorLogExecute();
    ASSERT_EQ(launcher.Mails.size(), 2u);
    for (const TMail& mail : launcher.Mails) {
        EXPECT_EQ(mail.Attachments, std::vector<std::string>{ProgramDir() + "STATUS.LOG"}); // once each time
        EXPECT_EQ(mail.To, TDM::ServiceAddress);
        EXPECT_EQ(mail.Subject, "Fehlermeldung / Bericht / Anfrage");
        EXPECT_EQ(mail.Body.rfind("Sehr geehrte Damen und Herren,\r\ranbei übersende ich Ihnen ein Fehlerprotokoll."
                                  "Das Protokoll wurde am ", 0),
                  0u)
            << mail.Body;
    }
    QFile::remove(QString::fromStdString(ProgramDir() + "STATUS.LOG"));
    ASSERT_TRUE(QFile::link("/dev/full", QString::fromStdString(ProgramDir() + "STATUS.LOG")));
    EXPECT_THROW(Dm->acSendErrorLogExecute(), EInOutError);
    EXPECT_EQ(launcher.Mails.size(), 2u); // nothing mailed
    Dm->acWebActionExecute();
    EXPECT_EQ(launcher.Opened, std::vector<std::string>{TDM::WebAddress});
    SetLauncherService(nullptr);
}

TEST_F(PluginHostTest, LibrariesComeFromTheProgramFolderOrTheNamedFolderOnly)
{
    // A bare name is the program's folder's file, whatever the current folder
    // or the loader's search path hold; a name with a folder is below the
    // program's folder, never below the current one.
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Plugin("extended")), QString::fromStdString(ProgramDir() + "ex.so")));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Plugin("status")), elsewhere.path() + "/st.so"));
    QDir(elsewhere.path()).mkpath("sub");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Plugin("parameter")), elsewhere.path() + "/sub/pa.so"));
    QDir().mkpath(QString::fromStdString(ProgramDir() + "sub"));
    ASSERT_TRUE(
        QFile::copy(QString::fromStdString(Plugin("parameter")), QString::fromStdString(ProgramDir() + "sub/pa.so")));
    // libm is on every search path and already in the process.
    Catalogue(R"(ST="st.so" PA="sub/pa.so" FW="libm.so.6" EX="ex.so")");
    Start();
    QDir::setCurrent(previous);

    EXPECT_EQ(Dm->StatusDLL(), ~std::uintptr_t(0)); // only in the current folder
    EXPECT_EQ(Dm->FirmwareDLL(), ~std::uintptr_t(0));
    const auto loadedFrom = [](std::uintptr_t handle) {
        link_map* map = nullptr;
        if (handle == ~std::uintptr_t(0) || dlinfo(reinterpret_cast<void*>(handle), RTLD_DI_LINKMAP, &map) != 0)
            return std::string();
        return std::string(map->l_name);
    };
    EXPECT_EQ(loadedFrom(Dm->ExtendedDLL()), ProgramDir() + "ex.so");
    EXPECT_EQ(loadedFrom(Dm->ParameterDLL()), ProgramDir() + "sub/pa.so");
    const auto log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "status.loaded"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "extended.loaded"), 1);
}

TEST_F(PluginHostTest, ADeviceChoiceReloadsThePluginsAndReconnects)
{
    WriteFile(ProgramDir() + "ZorDevices.xml",
              "<ZORDEVICES><DEVICE name=\"Dev\" productid=\"4\" " + kAllRoles +
                  "/><DEVICE name=\"Other\" productid=\"9\" ST=\"" + Plugin("receiveonly") + "\" EX=\"" +
                  Plugin("extended") + "\"/><DEVICE name=\"Broken\" ST=\"" + ProgramDir() +
                  "notalib.so\"/></ZORDEVICES>");
    WriteFile(ProgramDir() + "notalib.so", "text");
    SetComPort(3);
    int choice = -1; // the entry the user picks; -1: cancels
    TestDialogs().SetModalHandler([&](QDialog& dialog) {
        if (choice < 0)
            return int(QDialog::Rejected);
        dialog.findChild<QComboBox*>("cbxDeviceList")->setCurrentIndex(choice);
        dialog.findChild<QPushButton*>("btnOK")->click();
        return dialog.result();
    });
    StartProgram({}); // no preference: the choice at start, cancelled
    TCommunication* link = Dm->ComControl();
    ASSERT_NE(link, nullptr);
    ASSERT_EQ(Ios.size(), 1u);
    EXPECT_EQ(Dm->DeviceList()->Current()->Name, "Dev");
    TakeLog();

    // Cancelled: nothing changes.
    Dm->actSelectDevice->trigger();
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(Ios.size(), 1u);
    EXPECT_EQ(Dm->DeviceList()->Current()->Name, "Dev");

    choice = 1;
    Pauses.clear();
    Dm->actSelectDevice->trigger();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{
                             // the old plug-ins go, each after its closing entry
                             "status.CloseStatus", "status.freed", "parameter.UnloadDLL", "parameter.freed",
                             "firmware.freed", "extended.UnloadDLL", "extended.freed",
                             // the new ones come, by role; a link exists, so InitDLL gets it
                             "receiveonly.loaded", "extended.loaded", "extended.InitDLL proxy " + Mutex(),
                             // and the state of the link
                             "extended.OnConnectionChanged 0", "extended.InitDLL proxy " + Mutex()}));
    EXPECT_EQ(Pauses, (std::vector<int>{100, 100, 100, 100}));
    EXPECT_EQ(Dm->DeviceList()->Current(), Dm->DeviceList()->Items(1));
    // The same link object, closed and opened again, now searching the new product id.
    EXPECT_EQ(Dm->ComControl(), link);
    EXPECT_EQ(Ios.size(), 2u);
    EXPECT_EQ(link->ProductID(), 9);
    EXPECT_EQ(Form->windowTitle().toStdString(), "Other-Konfigurator");
    QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
    EXPECT_EQ(s.value("Tessaro/LastDeviceIndex").toInt(), 1);

    // A device whose plug-in cannot be loaded: the error reaches the caller,
    // and nothing is broadcast to plug-ins that are not there.
    choice = 2;
    try {
        Dm->actSelectDeviceExecute();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Schwerer Fehler: Die DLL \"" + ProgramDir() +
                                   "notalib.so\" konnte nicht gelinkt werden!\r\nFür dieses Gerät sind keine "
                                   "Statusinformationen verfügbar.\r\nFehlermeldung: ");
    }
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"receiveonly.freed", "extended.UnloadDLL", "extended.freed"}));
    EXPECT_EQ(Dm->StatusDLL(), 0u);
    EXPECT_EQ(Dm->FExtendedOnConnectionChanged, nullptr);
}

TEST_F(PluginHostTest, TheUploadKeepsTheParameterObjectAcrossIt)
{
    const std::string upload = "firmware.FirmwareUpload " + ProgramDir() + "fw.bin null Dev";
    const struct {
        std::string extension;
        std::string parameterPlugin; // empty: none
        int filterIndex;
        std::vector<std::string> calls;
    } cases[] = {
        {"H86", "parameter", 2, {"parameter.GetParameterObject", upload, "parameter.SetParameter same"}},
        {"A79", "noparameterobject", 1, {"noparameterobject.GetParameterObject", upload}},
        {"h86", "", 3, {upload}},
        {"", "", 3, {upload}},
    };
    WriteFile(ProgramDir() + "fw.bin", "firmware");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension + " " + c.parameterPlugin);
        EndProgram();
        std::string attributes = "FW=\"" + Plugin("firmware") + "\"";
        if (!c.parameterPlugin.empty())
            attributes += " PA=\"" + Plugin(c.parameterPlugin.c_str()) + "\"";
        WriteFile(ProgramDir() + "ZorDevices.xml", "<ZORDEVICES><DEVICE name=\"Dev\" extension=\"" + c.extension +
                                                       "\" " + attributes + "/></ZORDEVICES>");
        Start();
        TakeLog();
        TestDialogs().QueueFile(ProgramDir() + "fw.bin");
        Dm->acUploadFirmwareExecute();
        std::vector<std::string> calls;
        for (const auto& line : TakeLog())
            if (line.find("OnConnectionChanged") == std::string::npos && line.find("InitDLL") == std::string::npos)
                calls.push_back(line);
        EXPECT_EQ(calls, c.calls);
        ASSERT_EQ(TestDialogs().FileDialogs().size(), 1u);
        EXPECT_EQ(TestDialogs().FileDialogs()[0].FilterIndex, c.filterIndex);
        EXPECT_EQ(TestDialogs().FileDialogs()[0].DefaultExt, c.extension);
    }
}
