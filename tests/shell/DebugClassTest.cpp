// The action history and the report appended to "STATUS.LOG".
#include "platform/Exception.h"
#include "platform/Registry.h"
#include "shell/DebugClass.h"
#include "shell/Environment.h"
#include "tests/shell/ShellFixture.h"

#include <QStringList>

namespace {

class DebugClassTest : public ShellFixture {
protected:
    std::string Log() const { return ReadFile(ProgramDir() + "STATUS.LOG"); }
    // The lines between two headings of the last report.
    static std::vector<std::string> Section(const std::string& log, const std::string& from, const std::string& to)
    {
        const auto start = log.rfind(from);
        const auto end = log.find(to, start);
        std::vector<std::string> lines;
        if (start == std::string::npos || end == std::string::npos)
            return lines;
        std::string body = log.substr(start + from.size() + 2, end - start - from.size() - 2);
        for (std::size_t at = 0; at < body.size();) {
            const auto eol = body.find("\r\n", at);
            lines.push_back(body.substr(at, eol - at));
            at = eol + 2;
        }
        return lines;
    }
};

const std::string kHistory = "-------- Aktionshistorie -------------------------------";
const std::string kSql = "-------- SQL-Historie -------------------------------";
const std::string kWindows = "-------- Offene Fenster -------------------------------";
const std::string kMessage = "-------- Fehlermeldung -------------------------------";

} // namespace

TEST_F(DebugClassTest, HistoryKeepsTheNewestFiftyOne)
{
    TDebugClass debug;
    for (int i = 0; i < 60; ++i)
        debug.AddAction("action " + std::to_string(i), i % 2 ? "odd" : "");
    ASSERT_EQ(debug.History().size(), 51u);
    EXPECT_EQ(debug.History().front()->Action, "action 9");
    EXPECT_EQ(debug.History().back()->Action, "action 59");

    debug.WriteErrorReport("first");
    const auto lines = Section(Log(), kHistory, kSql);
    ASSERT_EQ(lines.size(), 51u);
    EXPECT_NE(lines.front().find("\"action 9\" : odd"), std::string::npos) << lines.front();
    EXPECT_NE(lines.back().find("\"action 59\" : odd"), std::string::npos) << lines.back();
    EXPECT_EQ(lines.front().front(), '[');
}

TEST_F(DebugClassTest, ReportLayoutAndTheMarkersOfASecondReport)
{
    TDebugClass debug;
    debug.AddAction("-------- Programmstart ----------------------------", "");
    debug.WriteErrorReport("erste Meldung");
    debug.AddAction("between", "x");
    debug.WriteErrorReport("zweite Meldung: Größe");
    const std::string log = Log();
    // Two reports, CR LF line ends, Latin-1 bytes.
    EXPECT_EQ(QString::fromStdString(log).count("======== BEGINN FEHLEREINTRAG ======================"), 2);
    EXPECT_EQ(QString::fromStdString(log).count("======== ENDE FEHLEREINTRAG =========================="), 2);
    EXPECT_NE(log.find("Gr\xF6\xDF" "e der Auslagerungsdatei: "), std::string::npos);
    EXPECT_NE(log.find("zweite Meldung: Gr\xF6\xDF" "e\r\n"), std::string::npos);
    EXPECT_EQ(log.find("\xC3"), std::string::npos); // no UTF-8 in the file
    EXPECT_EQ(log.find('\n'), log.find("\r\n") + 1);

    const auto history = Section(log, kHistory, kSql);
    ASSERT_EQ(history.size(), 3u);
    EXPECT_NE(history[0].find(TDebugClass::ReinitMarker), std::string::npos);
    EXPECT_NE(history[1].find(TDebugClass::ReinitMarker), std::string::npos);
    EXPECT_NE(history[2].find("\"between\" : x"), std::string::npos);
    EXPECT_TRUE(Section(log, kSql, kMessage).empty());
    // No open windows: the heading is followed by the history's.
    EXPECT_NE(log.find(kWindows + "\r\n" + kHistory), std::string::npos);
    // After a report the history begins again with the two markers.
    ASSERT_EQ(debug.History().size(), 2u);
    EXPECT_EQ(debug.History()[0]->Action, TDebugClass::ReinitMarker);
    // PC section labels in their order.
    const auto pc = Section(log, "-------- PC-Umgebung -------------------------------", kWindows);
    ASSERT_EQ(pc.size(), 29u);
    EXPECT_EQ(pc[0], "Dorvix Verzeichnis: " + ProgramDir());
    EXPECT_EQ(pc[1].rfind("Betriebssystem: ", 0), 0u);
    EXPECT_EQ(pc[19].rfind("Freier Pagefile Speicher: ", 0), 0u);
    EXPECT_EQ(pc[28].rfind("OpenGL-Version: ", 0), 0u);
}

TEST_F(DebugClassTest, OpenWindowsAndTheEnvironmentSection)
{
    TAppRegistryStorage storage;
    TEnvironment env(&storage);
    env.ComPort = 7;
    TDebugClass::SetOpenWindows([] { return std::vector<std::string>{"Terminal", "GPS"}; });
    env.Debugger()->WriteErrorReport("m");
    TDebugClass::SetOpenWindows({});
    const std::string log = Log();
    EXPECT_NE(log.find(kWindows + "\r\nTerminal\r\nGPS\r\n" + kHistory), std::string::npos);
    const auto section = Section(log, "-------- Beginn: Environment ------------------------", kWindows);
    ASSERT_EQ(section.size(), 17u);
    EXPECT_EQ(section[0], "F_LastDBError : ");
    EXPECT_EQ(section[1], "F_ValuesValid : true");
    EXPECT_EQ(section[2], "F_Comport : 7");
    EXPECT_EQ(section[15], "G_Zor_Pattern.UseWindowsDefaults : false");
    EXPECT_EQ(section[16], "F_TempExtendedKey : false");
    EXPECT_EQ(section[14], "F_Language : 1");
}

TEST_F(DebugClassTest, WhereTheReportGoesAndWhenItCannot)
{
    WriteFile(ProgramDir() + "STATUS.LOG", "before\r\n");
    TDebugClass debug;
    EXPECT_EQ(debug.WriteErrorReport("m"), ProgramDir() + "STATUS.LOG");
    EXPECT_EQ(Log().rfind("before\r\n======== BEGINN", 0), 0u);

    // A program folder that takes no file: the user's data folder.
    SetProgramPath(ProgramDir() + "no/such/folder/Tessaro");
    const std::string fallback = DataDir() + "Zorvatek/Tessaro/STATUS.LOG";
    EXPECT_EQ(debug.WriteErrorReport("elsewhere"), fallback);
    EXPECT_NE(ReadFile(fallback).find("] elsewhere\r\n"), std::string::npos);

    // Neither: the report says it was not written.
    WriteFile(DataDir() + "blocker", "a file where the folder would be");
    setenv("XDG_DATA_HOME", (DataDir() + "blocker").c_str(), 1);
    EXPECT_THROW(debug.WriteErrorReport("m"), EInOutError);
}

TEST_F(DebugClassTest, AReportThatCannotBeWrittenWholeIsNoSuccess)
{
    // Every write to /dev/full fails as on a full disk.
    ASSERT_TRUE(QFile::link("/dev/full", QString::fromStdString(ProgramDir() + "STATUS.LOG")));
    TDebugClass debug;
    debug.AddAction("a", "");
    try {
        debug.WriteErrorReport("m");
        ADD_FAILURE() << "reported as written";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.Message().find("STATUS.LOG"), std::string::npos) << e.Message();
    }
}
