// The program's main block run whole inside the test program: it comes up,
// runs its message loop, and goes down in order; or it says why it cannot
// come up and ends with a non-zero status.
#include "platform/Application.h"
#include "platform/NamedObjects.h"
#include "shell/Environment.h"
#include "tests/shell/ProgramFixture.h"

#include <QSettings>
#include <QTimer>

namespace {

std::string Plugin(const char* name)
{
    return std::string(TEST_PLUGIN_DIR) + "/" + name + ".so";
}

class ProgramTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        LogPath = ProgramDir() + "plugins.log";
        setenv("TESSARO_PLUGIN_LOG", LogPath.c_str(), 1);
        SetComPort(0);
    }
    void TearDown() override
    {
        unsetenv("TESSARO_PLUGIN_LOG");
        ProgramFixture::TearDown();
    }
    std::string LogPath;
};

} // namespace

TEST_F(ProgramTest, ANormalRunEndsWithStatusZeroAndSavesTheSettings)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    bool up = false;
    EXPECT_EQ(Run({"Ruvo"}, [&] {
                  up = DM && fMainForm->isVisible() && fMainForm->windowTitle() == "Ruvo-Konfigurator";
                  EXPECT_EQ(HintHidePause(), 5000);
                  DM->Environment()->Language = 2;
              }),
              0);
    EXPECT_TRUE(up);
    EXPECT_EQ(DM, nullptr);
    EXPECT_EQ(fMainForm, nullptr);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
    // The program gave the toolkit no display name of its own (the display
    // name then follows the application name): a display name would be
    // appended to every window title, " — Zor Tessaro".
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName().toStdString(), "probe");
    QCoreApplication::setApplicationName(name);
    QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
    EXPECT_EQ(s.value("Tessaro/LANGUAGE").toInt(), 2);
}

TEST_F(ProgramTest, WithoutACommunicationMutexTheProgramSaysSoAndEnds)
{
    Catalogue(R"(<DEVICE name="Ruvo"/>)");
    const HANDLE taken = CreateMutex(false, "Global\\{in use}");
    const auto previous = TDM::NewMutexName;
    TDM::NewMutexName = [] { return std::string("Global\\{in use}"); };
    bool windowMade = false;
    QTimer::singleShot(0, [&] { windowMade = fMainForm != nullptr; });
    EXPECT_EQ(RunTessaro({"Tessaro", "Ruvo"}), 1);
    TDM::NewMutexName = previous;
    CloseHandle(taken);
    QCoreApplication::processEvents();
    EXPECT_FALSE(windowMade);
    EXPECT_EQ(DM, nullptr);
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Error creating unique mutex!");
    EXPECT_EQ(boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));
}

TEST_F(ProgramTest, WhenTheProgramCannotGoOnItEndsWithANonZeroStatus)
{
    // No catalogue: the box, then the end.
    EXPECT_EQ(RunTessaro({"Tessaro"}), 1);
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Caption, "Notwendige Systemdatei fehlt!");
    EXPECT_EQ(fMainForm, nullptr);
}

TEST_F(ProgramTest, ThePluginsGoBeforeTheWindowTheirFramesStandOn)
{
    // A link object (USB, no device) so that the status plug-in puts up its frame.
    SetComPort(255);
    Catalogue("<DEVICE name=\"Dev\" ST=\"" + Plugin("status") + "\" EX=\"" + Plugin("extended") + "\"/>");
    std::string logWhenTheFrameWent;
    bool frameSeen = false;
    EXPECT_EQ(Run({"Dev"},
                  [&] {
                      QWidget* frame = fMainForm->pnlStatus->findChild<QWidget*>("fStatusFrame");
                      frameSeen = frame != nullptr;
                      if (frame)
                          QObject::connect(frame, &QObject::destroyed,
                                           [&] { logWhenTheFrameWent = ReadFile(LogPath); });
                  }),
              0);
    ASSERT_TRUE(frameSeen);
    EXPECT_NE(logWhenTheFrameWent.find("status.CloseStatus\n"), std::string::npos) << logWhenTheFrameWent;
    EXPECT_NE(logWhenTheFrameWent.find("extended.UnloadDLL\n"), std::string::npos) << logWhenTheFrameWent;
}

// Every call into a plug-in hands over the main window as the application's
// handle, the parameter plug-in's first InitDLL at start too.
TEST_F(ProgramTest, EveryInitDLLGetsTheMainWindow)
{
    const std::string handles = ProgramDir() + "handles.log";
    setenv("TESSARO_PLUGIN_HANDLES", handles.c_str(), 1);
    SetComPort(255); // a link object: the parameter and extended plug-ins get InitDLL at the first broadcast too
    Catalogue("<DEVICE name=\"Dev\" ST=\"" + Plugin("status") + "\" PA=\"" + Plugin("parameter") + "\" EX=\"" +
              Plugin("extended") + "\"/>");
    EXPECT_EQ(Run({"Dev"}, [] {}), 0);
    unsetenv("TESSARO_PLUGIN_HANDLES");
    const QStringList calls = QString::fromStdString(ReadFile(handles)).split('\n', Qt::SkipEmptyParts);
    // At start, then at the first broadcast.
    ASSERT_GE(calls.size(), 3);
    EXPECT_EQ(calls.mid(0, 3), (QStringList{"parameter.InitDLL window", "parameter.InitDLL window",
                                            "extended.InitDLL window"}));
    for (const QString& call : calls)
        EXPECT_TRUE(call.endsWith(" window")) << call.toStdString();
}
