// The help router: where each request goes, the pop-up position, the help
// file it takes, and handing the application's help handler back.
#include "platform/Exception.h"
#include "platform/Help.h"
#include "platform/Launcher.h"
#include "shell/HelpRouter.h"
#include "tests/common/RecordingLauncher.h"
#include "tests/shell/ShellFixture.h"

#include <QWidget>

namespace {

class TPopupRouter : public THelpRouter {
public:
    using THelpRouter::THelpRouter;
    bool ShowPopup(int X, int Y, const std::string& Text, std::uint32_t ContextId) override
    {
        Popups.push_back({X, Y, static_cast<int>(ContextId)});
        return THelpRouter::ShowPopup(X, Y, Text, ContextId);
    }
    struct Popup {
        int X, Y, Id;
        bool operator==(const Popup&) const = default;
    };
    std::vector<Popup> Popups;
};

// A form with a help file of its own.
class TfHelpForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString HelpFile READ HelpFile)
public:
    QString HelpFile() const { return FFile; }
    QString FFile;
};

class HelpRouterTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        SetLauncherService(&Launcher);
        Chm = ProgramDir() + "Tessaro.chm";
        WriteFile(Chm, "compiled help");
    }
    void TearDown() override
    {
        SetLauncherService(nullptr);
        SetApplicationHelpFile("");
        ShellFixture::TearDown();
    }
    TRecordingLauncher Launcher;
    std::string Chm;
};

} // namespace

TEST_F(HelpRouterTest, HtmlHelpRequestsOpenTheCompiledFile)
{
    THelpRouter router(nullptr);
    router.HelpType = THelpType::htHTMLhelp;
    router.Helpfile = ProgramDir() + "Tessaro.hlp"; // the extension becomes .chm
    EXPECT_TRUE(HelpCommand(HELP_CONTEXT, 4711));
    EXPECT_TRUE(HelpCommand(HELP_CONTENTS, 0));
    EXPECT_TRUE(HelpCommand(HELP_KEY, 0));
    EXPECT_EQ(Launcher.Opened, (std::vector<std::string>{Chm, Chm, Chm}));
    EXPECT_FALSE(HelpCommand(HELP_SETPOPUP_POS, 0)); // no call, false
    EXPECT_FALSE(HelpCommand(999, 0));
    router.Helpfile = ProgramDir() + "missing.chm";
    EXPECT_FALSE(HelpCommand(HELP_CONTEXT, 1)); // nothing to show, no error
    EXPECT_EQ(Launcher.Opened.size(), 3u);
}

TEST_F(HelpRouterTest, WinHelpAndMixedMode)
{
    THelpRouter router(nullptr);
    router.Helpfile = Chm;
    EXPECT_FALSE(HelpCommand(HELP_CONTEXT, 1)); // the old viewer is not there
    EXPECT_TRUE(HelpCommand(0, 0));             // command 0: true without a call
    router.HelpType = THelpType::htMixedMode;
    EXPECT_TRUE(HelpCommand(HELP_CONTENTS, 0)); // HTML help
    EXPECT_FALSE(HelpCommand(HELP_SETPOPUP_POS, 0)); // to the old viewer
    EXPECT_EQ(Launcher.Opened, std::vector<std::string>{Chm});
}

TEST_F(HelpRouterTest, PopupsAtTheStoredPointOnceElseAtTheCursor)
{
    TPopupRouter router(nullptr);
    router.HelpType = THelpType::htHTMLhelp;
    router.Helpfile = Chm;
    router.CursorPos = [] { return QPoint(300, 200); };
    EXPECT_TRUE(HelpCommand(HELP_CONTEXTPOPUP, 7));
    EXPECT_FALSE(HelpCommand(HELP_SETPOPUP_POS, (40 << 16) | 30)); // stored, no call
    EXPECT_TRUE(HelpCommand(HELP_CONTEXTPOPUP, 8));
    EXPECT_TRUE(HelpCommand(HELP_CONTEXTPOPUP, 9));
    EXPECT_EQ(router.Popups, (std::vector<TPopupRouter::Popup>{{300, 200, 7}, {30, 40, 8}, {300, 200, 9}}));
    // Shown as main topics.
    router.ShowType = TShowType::stMain;
    EXPECT_TRUE(HelpCommand(HELP_CONTEXTPOPUP, 10));
    EXPECT_EQ(router.Popups.size(), 3u);
    EXPECT_EQ(Launcher.Opened, std::vector<std::string>{Chm});
}

TEST_F(HelpRouterTest, PopupTextsFromATopicsFileOfItsOwn)
{
    WriteFile(ProgramDir() + "topics.txt", ".topic 1\nErste Zeile\n.topic 2\nZweiter Text\nmit zwei Zeilen\n");
    EXPECT_EQ(PopupTopicText(ProgramDir() + "topics.txt", 2), "Zweiter Text\nmit zwei Zeilen");
    EXPECT_EQ(PopupTopicText(ProgramDir() + "topics.txt", 3), "");
    EXPECT_EQ(PopupTopicText(ProgramDir() + "none.txt", 1), "");
    THelpRouter router(nullptr);
    router.Helpfile = Chm;
    router.CHMPopupTopics = ProgramDir() + "topics.txt";
    EXPECT_TRUE(router.ShowPopup(10, 10, "", 1));
    router.CHMPopupTopics = "CSHelp.txt"; // inside the compiled file: not readable here
    EXPECT_FALSE(router.ShowPopup(10, 10, "", 1));
    EXPECT_TRUE(router.ShowPopup(10, 10, "a text of its own", 0));
}

TEST_F(HelpRouterTest, WhichHelpFileAndTheHandlerHandedBack)
{
    int previousCalls = 0;
    SetApplicationHelpHandler([&](std::uint16_t, std::intptr_t, bool&) {
        ++previousCalls;
        return false;
    });
    SetApplicationHelpFile(ProgramDir() + "application.chm");
    {
        TfHelpForm form;
        form.FFile = QString::fromStdString(ProgramDir() + "form.chm");
        THelpRouter router(&form);
        EXPECT_EQ(router.GetHelpFile(), ProgramDir() + "form.chm"); // the owner form's own file
        form.FFile.clear();
        EXPECT_EQ(router.GetHelpFile(), ProgramDir() + "application.chm");
        router.Helpfile = Chm;
        EXPECT_EQ(router.GetHelpFile(), Chm);
        EXPECT_THROW(THelpRouter second(nullptr), Exception);
        // The previous handler is asked before the router decides.
        HelpCommand(HELP_CONTENTS, 0);
        EXPECT_EQ(previousCalls, 1);
        bool callHelp = false;
        int asked = 0;
        router.OnHelp = [&](std::uint16_t, std::intptr_t, bool& c) {
            ++asked;
            c = false; // handled here
            return true;
        };
        EXPECT_TRUE(router.RouteHelp(HELP_CONTENTS, 0, callHelp = true));
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(previousCalls, 1);
    }
    EXPECT_EQ(THelpRouter::Instance(), nullptr);
    HelpCommand(HELP_CONTENTS, 0); // back to the previous handler
    EXPECT_EQ(previousCalls, 2);
    SetApplicationHelpHandler({});
}

#include "HelpRouterTest.moc"
