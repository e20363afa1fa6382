// The program coming up: catalogue, command line, device choice, the first
// interface, the idle handler; each case in its own program and config folder.
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "link/USB_Communication.h"
#include "localization/lcComp.h"
#include "platform/Exception.h"
#include "platform/Idle.h"
#include "platform/NamedObjects.h"
#include "shell/DebugClass.h"
#include "shell/DeviceStatus.h"
#include "shell/Environment.h"
#include "tests/link/VirtualComIo.h"
#include "tests/shell/ProgramFixture.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QToolBar>

#include <algorithm>

#include <dlfcn.h>

namespace {

class StartupTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        SetComPort(0);
    }
    // The program up to its first show, with this command-line argument.
    void Start(const char* argument = nullptr)
    {
        StartProgram(argument ? QStringList{argument} : QStringList{});
    }
    std::string Panel(int i) const { return Form->StatusPanels[i]->text().toStdString(); }
};

const char* const kTwoDevices = R"(<DEVICE name="Ruvo"/><DEVICE name="Other"/>)";

} // namespace

TEST_F(StartupTest, MissingOrUnreadableCatalogueEndsTheProgram)
{
    for (const char* content : {static_cast<const char*>(nullptr), "<ZORDEVICES><DEVICE"}) {
        SCOPED_TRACE(content ? "unreadable" : "missing");
        if (content)
            WriteFile(ProgramDir() + "ZorDevices.xml", content);
        Start();
        const auto boxes = TestDialogs().Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text,
                  "Die Konfigurationsdatei \"ZorDevices.xml\" wurde nicht gefunden.\r\n"
                  "Diese Datei ist zwingend zum Betrieb notwendig. Bitte stellen Sie sicher, dass sich "
                  "\"ZorDevices.xml\" im Programmverzeichnis befindet.\r\n"
                  "Das Programm beendet sich nun selbst.");
        EXPECT_EQ(boxes[0].Caption, "Notwendige Systemdatei fehlt!");
        EXPECT_EQ(boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));
        EXPECT_TRUE(Form->MarkedToEnd());
        EndProgram();
    }
}

TEST_F(StartupTest, PreferenceThatNamesNoEntryEndsTheProgram)
{
    Catalogue(R"(<GENERAL preference="Ghost"/><DEVICE name="Ruvo"/>)");
    Start("GHOST"); // matches nothing, but equals the preference: no message for it
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Der Zor-Tessaro hat keine Unterstützung für das Gerät \"Ghost\" gefunden.\r\n"
                             "Bitte installieren Sie das Programm neu. Bleibt der Fehler bestehen, wenden Sie sich "
                             "bitte an Zor.\r\nDas Programm beendet sich nun selbst.");
    EXPECT_EQ(boxes[0].Caption, "Keine Geräteinformation gefunden");
    EXPECT_TRUE(Form->MarkedToEnd());
}

TEST_F(StartupTest, CommandLineInAnotherCaseSelectsWithoutMessage)
{
    Catalogue(kTwoDevices);
    bool dialogShown = false;
    TestDialogs().SetModalHandler([&](QDialog&) {
        dialogShown = true;
        return QDialog::Rejected;
    });
    Start("oTHER");
    EXPECT_TRUE(TestDialogs().Boxes().empty());
    EXPECT_FALSE(dialogShown); // the command line fixed the device
    ASSERT_NE(Dm->DeviceList()->Current(), nullptr);
    EXPECT_EQ(Dm->DeviceList()->Current()->Name, "Other");
    EXPECT_EQ(Dm->DeviceList()->Preference(), "Other");
    EXPECT_FALSE(Form->MarkedToEnd());
    EXPECT_EQ(Form->windowTitle().toStdString(), "Other-Konfigurator");
    EXPECT_FALSE(Dm->actSelectDevice->isVisible());
}

TEST_F(StartupTest, UnknownArgumentIsToldAndTheDeviceChoiceFollows)
{
    Catalogue(kTwoDevices);
    int dialogs = 0;
    TestDialogs().SetModalHandler([&](QDialog&) {
        ++dialogs;
        return QDialog::Rejected; // cancelled: the first entry stays
    });
    Start("Nope");
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text,
              "Es wurde keine Konfiguration für das als Parameter angegebene Gerät \"Nope\" gefunden.\r\n"
              "Bitte wählen Sie aus, mit welchem Gerät sie arbeiten wollen.");
    EXPECT_EQ(boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(dialogs, 1);
    ASSERT_NE(Dm->DeviceList()->Current(), nullptr);
    EXPECT_EQ(Dm->DeviceList()->Current()->Name, "Ruvo");
    EXPECT_FALSE(Form->MarkedToEnd());
}

TEST_F(StartupTest, DeviceChoiceAtStartTakesTheChosenEntry)
{
    Catalogue(R"(<DEVICE name="Ruvo"/><DEVICE name="RUVO"/>)");
    TestDialogs().SetModalHandler([](QDialog& dialog) {
        auto* list = dialog.findChild<QComboBox*>("cbxDeviceList");
        list->setCurrentIndex(1);
        dialog.findChild<QPushButton*>("btnOK")->click();
        return dialog.result();
    });
    Start();
    // By position: the second entry, although its name equals the first's but for case.
    EXPECT_EQ(Dm->DeviceList()->Current(), Dm->DeviceList()->Items(1));
    QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
    EXPECT_EQ(s.value("Tessaro/LastDeviceIndex").toInt(), 1);
    EXPECT_TRUE(Dm->actSelectDevice->isVisible());
}

TEST_F(StartupTest, EmptyCatalogueEndsWithoutFurtherMessage)
{
    Catalogue("");
    Start();
    EXPECT_TRUE(TestDialogs().Boxes().empty());
    EXPECT_TRUE(Form->MarkedToEnd());
}

TEST_F(StartupTest, NoInterfaceStillBroadcastsTheFirstState)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    Start("Ruvo");
    EXPECT_EQ(Dm->ComControl(), nullptr);
    EXPECT_EQ(Panel(1), "Keine Schnittstelle");
    EXPECT_EQ(Panel(2), "Warte auf Verbindung!");
    EXPECT_EQ(Form->ReplyParser.State(), THostReplyParser::NotConnected);
    const auto& history = Dm->Environment()->Debugger()->History();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history.front()->Action, "-------- Programmstart ----------------------------");
    EXPECT_EQ(history.back()->Action, "TfMainForm.VerbindungsStatusChanged");
    EXPECT_EQ(history.back()->Description, "S_VerbindungOK=false");
}

TEST_F(StartupTest, UsbWithoutCurrentDeviceKeepsTheProductId)
{
    SetComPort(255);
    Catalogue(R"(<GENERAL preference="Ghost"/><DEVICE name="Ruvo" productid="4"/>)");
    Start();
    ASSERT_NE(Dm->ComControl(), nullptr);
    EXPECT_EQ(Dm->ComControl()->InterfaceType(), TInterfaceType::itUSB);
    EXPECT_EQ(Dm->ComControl()->ProductID(), 0);
    EXPECT_EQ(Dm->ComControl()->VendorID(), ZorvatekVendorID);
    EXPECT_EQ(Panel(1), "USB");
}

TEST_F(StartupTest, IdleFollowsTheExtendedModeAndTheLink)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    Start("Ruvo");
    Form->AppIdle();
    EXPECT_EQ(Form->minimumWidth(), 350);
    EXPECT_FALSE(Form->pnlDebug->isVisibleTo(Form.get()));
    EXPECT_FALSE(Panel(0).empty()); // the clock
    Dm->Environment()->StoreServiceCode("48213");
    Form->AppIdle();
    EXPECT_EQ(Form->minimumWidth(), 800);
    EXPECT_TRUE(Form->pnlDebug->isVisibleTo(Form.get()));
    EXPECT_TRUE(Form->mmExtendedMode->menuAction()->isVisible());
}

// "Erweiterte Optionen" is offered in the service mode only, and only for a
// device whose extended plug-in is there: its entry in the menu of the
// extended version and its tool bar button, as the program shows them each
// time it has nothing else to do.
TEST_F(StartupTest, TheExtendedOptionsAreOfferedForADeviceWithItsPluginInTheServiceMode)
{
    const std::string plugin = std::string(TEST_PLUGIN_DIR) + "/extended.so";
    const struct {
        const char* What;
        bool ServiceMode;
        std::string Attributes;
        bool Offered;
    } cases[] = {
        {"outside the service mode", false, "EX=\"" + plugin + "\"", false},
        {"the plug-in there", true, "EX=\"" + plugin + "\"", true},
        {"no extended plug-in named", true, "", false},
        {"the named plug-in missing", true, "EX=\"absent.so\"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Catalogue("<DEVICE name=\"Ruvo\" " + c.Attributes + "/>");
        Start("Ruvo");
        if (c.ServiceMode)
            Dm->Environment()->StoreServiceCode("48213");
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        for (int idle = 0; idle < 2; ++idle) {
            emit TIdleSignal::Instance().Idle();
            QCoreApplication::processEvents(); // the tool bar lays its buttons out
            EXPECT_EQ(Form->mmExtendedMode->menuAction()->isVisible(), c.ServiceMode);
            EXPECT_EQ(Dm->actExtendedOptions->isVisible(), c.Offered);
            EXPECT_TRUE(Form->mmExtendedMode->actions().contains(Dm->actExtendedOptions));
            QWidget* button = Form->ToolBar1->widgetForAction(Dm->actExtendedOptions);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->isVisible(), c.Offered);
        }
        EndProgram();
    }
}

// The communication mutex of each run is named by a fresh GUID, its hex
// digits in capitals: the name plug-ins open it by.
TEST_F(StartupTest, TheCommunicationMutexIsNamedByAFreshGuidInCapitals)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    const QRegularExpression form(
        "^Global\\\\\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$");
    std::vector<std::string> names;
    for (int run = 0; run < 3; ++run) {
        Start("Ruvo");
        names.push_back(Dm->CommunicationMutexName());
        EXPECT_TRUE(form.match(QString::fromStdString(names.back())).hasMatch()) << names.back();
        EndProgram();
    }
    EXPECT_NE(names[0], names[1]);
    EXPECT_NE(names[1], names[2]);
}

TEST_F(StartupTest, TheDataModulesTextsTranslateTheResourceStrings)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    Start("Ruvo");
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), Dm->lcLang);
    EXPECT_EQ(Dm->lcLang->ResourceLanguageIndex(), 1);
    Form.reset();
    Dm.reset();
    EXPECT_EQ(TlcCustomLang::ResourceStringTranslator(), nullptr);
}

TEST_F(StartupTest, ShutdownRecordsTheEndAndSavesTheSettings)
{
    Catalogue(R"(<DEVICE name="Ruvo" PA=")" + std::string(TEST_PLUGIN_DIR) + R"(/parameter.so"/>)");
    Start("Ruvo");
    Dm->Environment()->Language = 2;
    Form.reset(); // the main window takes the plug-ins with it
    // A plug-in that is still loaded when the data module goes sees the
    // history as the data module leaves it: ended by the end marker.
    Dm->LoadDLLs();
    using TUnloadHook = void (*)(void (*)(void*), void*);
    const auto hook =
        reinterpret_cast<TUnloadHook>(dlsym(reinterpret_cast<void*>(Dm->ParameterDLL()), "TestPluginOnUnload"));
    ASSERT_NE(hook, nullptr);
    std::vector<std::string> seen;
    hook(
        [](void* context) {
            for (const auto& entry : DM->Environment()->Debugger()->History())
                static_cast<std::vector<std::string>*>(context)->push_back(entry->Action);
        },
        &seen);
    Dm.reset();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), "-------- Programmstart ----------------------------");
    EXPECT_EQ(seen.back(), "-------- Programmende ----------------------------");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), seen.back()), 1);
    QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
    EXPECT_EQ(s.value("Tessaro/LANGUAGE").toInt(), 2);
    EXPECT_EQ(s.value("Tessaro/ComPort").toInt(), 0);
}

TEST_F(StartupTest, ATakenMutexNameEndsTheStart)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    const HANDLE taken = CreateMutex(false, "Global\\{taken}");
    const auto previous = TDM::NewMutexName;
    TDM::NewMutexName = [] { return std::string("Global\\{taken}"); };
    try {
        TDM dm(QStringList{"Tessaro"});
        ADD_FAILURE() << "the data module came up";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error creating unique mutex!");
    }
    TDM::NewMutexName = previous;
    CloseHandle(taken);
    EXPECT_EQ(DM, nullptr);
}

TEST_F(StartupTest, APortThatDoesNotExistIsToldAndTheProgramGoesOn)
{
    SetComPort(-5); // a negative number names COM65531 (its low 16 bits), which is nowhere
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    Start("Ruvo");
    EXPECT_EQ(Panel(1), "COM -5");
    EXPECT_EQ(Panel(2), "Warte auf Verbindung!");
    ASSERT_TRUE(ProcessEventsUntil([] { return !TestDialogs().Boxes().empty(); }, 5000));
    EXPECT_EQ(TestDialogs().Boxes()[0].Text,
              "Fehler beim Öffnen des COM-Ports. Stellen Sie sicher, dass der angegebene Port auch existiert.");
    ASSERT_NE(Dm->ComControl(), nullptr);
    EXPECT_EQ(Dm->ComControl()->PortNumber(), 65531);
    EXPECT_FALSE(Dm->ComControl()->Connected());
    EXPECT_TRUE(Dm->ComControl()->SendText(nullptr, "Ax", 0)); // taken and dropped
}

TEST_F(StartupTest, APortTheLinkCannotTakeGivesWayToPortOne)
{
    // The link refuses port 7 with an error (its port thread cannot start).
    std::vector<int> asked;
    TMyComInterface::SetIoFactory([&asked](HWND window, std::uint16_t port) -> std::unique_ptr<TComPortIo> {
        asked.push_back(port);
        if (port != 1)
            throw Exception("no port thread for this port");
        return std::make_unique<TVirtualComIo>(window);
    });
    SetComPort(7);
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    Start("Ruvo");
    TMyComInterface::SetIoFactory({});
    EXPECT_EQ(asked, (std::vector<int>{7, 1}));
    ASSERT_NE(Dm->ComControl(), nullptr);
    EXPECT_EQ(Dm->ComControl()->PortNumber(), 1);
    EXPECT_EQ(Panel(1), "COM 7"); // the setting stays as chosen
    EXPECT_EQ(Dm->Environment()->ComPort, 7);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

// What a person may have written for the port: the interface it names, or
// the default (-1, a port that is nowhere) with the link's own message.
TEST_F(StartupTest, PortSettingsAsWrittenInTheFile)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    const struct {
        const char* Written;
        const char* Interface;
        bool PortMessage;
    } cases[] = {
        {"0", "Keine Schnittstelle", false}, {"255", "USB", false},   {"not a number", "COM -1", true},
        {"", "COM -1", true},                {"99999999999", "COM -1", true}, {"7.5", "COM -1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Written);
        {
            QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
            s.setValue("Tessaro/ComPort", c.Written);
        }
        Start("Ruvo");
        EXPECT_EQ(Panel(1), c.Interface);
        if (c.PortMessage) {
            ASSERT_TRUE(ProcessEventsUntil([] { return !TestDialogs().Boxes().empty(); }, 5000));
            EXPECT_EQ(TestDialogs().Boxes()[0].Text, "Fehler beim Öffnen des COM-Ports. Stellen Sie sicher, dass "
                                                     "der angegebene Port auch existiert.");
        } else {
            ProcessEventsFor(50);
            EXPECT_TRUE(TestDialogs().Boxes().empty());
        }
        EndProgram();
    }
}
