// The settings object over the INI store, and the service code.
#include "controls/Zor_Pattern.h"
#include "platform/Registry.h"
#include "shell/DebugClass.h"
#include "shell/Environment.h"
#include "tests/common/TestServices.h"
#include "tests/shell/ShellFixture.h"

#include <QSettings>

namespace {

class EnvironmentTest : public ShellFixture {
protected:
    QSettings Settings() const
    {
        return QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
    }
    QVariant Value(const char* key) const { return Settings().value(key); }
    void Put(const char* key, const QVariant& value) const
    {
        QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
        s.setValue(key, value);
        s.sync();
    }
    TAppRegistryStorage Storage;
};

} // namespace

TEST_F(EnvironmentTest, FirstRunDefaultsAreWrittenAtExit)
{
    {
        TEnvironment env(&Storage);
        EXPECT_TRUE(env.ValuesAreValid);
        EXPECT_EQ(env.ComPort, -1);
        EXPECT_EQ(env.Language, 1);
        EXPECT_EQ(env.SelectedDevice, 0);
        EXPECT_FALSE(env.GetUseWindowsColorSchema());
        EXPECT_EQ(env.FirmwarePath(), ProgramDir());
        EXPECT_EQ(env.RawDataPath(), ProgramDir()); // no RAWDATA folder here
        EXPECT_EQ(env.GetDatabase(), "");
        EXPECT_FALSE(env.GetExtendedVersion());
        ASSERT_NE(env.Debugger(), nullptr);
    }
    const std::string dir = ProgramDir();
    EXPECT_EQ(Value("Tessaro/ComPort").toInt(), -1);
    EXPECT_EQ(Value("Tessaro/LANGUAGE").toInt(), 1);
    EXPECT_EQ(Value("Tessaro/LastSelectedDevice").toInt(), 0);
    EXPECT_EQ(Value("Tessaro/ZorColors").toString(), "FALSE");
    EXPECT_EQ(Value("Tessaro/Datenbank").toString(), "");
    EXPECT_EQ(Value("Tessaro/Last User").toString(), "");
    for (const char* folder : {"Database", "Firmware", "Configurations", "LogFiles", "History", "Sendtables", "MP",
                               "RawData", "Definition"})
        EXPECT_EQ(Value((std::string("Tessaro/Directories/") + folder).c_str()).toString().toStdString(), dir)
            << folder;
    EXPECT_EQ(Value("Tessaro/Directories/LastFirmwareFile").toString(), "");
}

TEST_F(EnvironmentTest, StoredValuesAndTheFolderRule)
{
    QDir().mkpath(QString::fromStdString(ProgramDir() + "fw"));
    QDir().mkpath(QString::fromStdString(ProgramDir() + "RAWDATA"));
    WriteFile(ProgramDir() + "fw/new.a79", "x");
    WriteFile(ProgramDir() + "DORVIX.PRJ", "x");
    Put("Tessaro/ComPort", 255);
    Put("Tessaro/LANGUAGE", 2);
    Put("Tessaro/ZorColors", "Y");
    Put("Tessaro/Directories/Firmware", QString::fromStdString(ProgramDir() + "fw"));
    Put("Tessaro/Directories/LastFirmwareFile", "old.a79");
    Put("Tessaro/Directories/History", "/no/such/folder");
    Put("Tessaro/Directories/Definition", "/elsewhere/");
    {
        TEnvironment env(&Storage);
        EXPECT_EQ(env.ComPort, 255);
        EXPECT_EQ(env.Language, 2);
        EXPECT_TRUE(env.GetUseWindowsColorSchema());
        EXPECT_TRUE(G_Zor_Pattern().UseWindowsDefaults());
        EXPECT_EQ(env.FirmwarePath(), ProgramDir() + "fw/");
        EXPECT_EQ(env.HistoryPath(), ProgramDir()); // gone: the program folder
        EXPECT_EQ(env.RawDataPath(), ProgramDir() + "RAWDATA/");
        EXPECT_EQ(env.GetDatabase(), "DORVIX.PRJ");
        EXPECT_EQ(env.GetDefinitionPath(), ProgramDir());
        EXPECT_EQ(env.LastFirmwareFile, "old.a79"); // as read
        env.SetUseWindowsColorSchema(false);
    }
    EXPECT_EQ(Value("Tessaro/ZorColors").toString(), "FALSE");
    EXPECT_EQ(Value("Tessaro/Directories/History").toString().toStdString(), ProgramDir());
    EXPECT_EQ(Value("Tessaro/Directories/Definition").toString().toStdString(), ProgramDir());
    EXPECT_EQ(Value("Tessaro/Directories/LastFirmwareFile").toString(), ""); // fw/old.a79 does not exist
    EXPECT_EQ(Value("Tessaro/Datenbank").toString(), "DORVIX.PRJ");

    Put("Tessaro/Directories/LastFirmwareFile", "new.a79");
    {
        TEnvironment env(&Storage);
        EXPECT_EQ(env.LastFirmwareFile, "new.a79");
    }
    EXPECT_EQ(Value("Tessaro/Directories/LastFirmwareFile").toString(), "new.a79");
}

TEST_F(EnvironmentTest, SettingsSurviveARestart)
{
    QDir().mkpath(QString::fromStdString(ProgramDir() + "logs"));
    {
        TEnvironment env(&Storage);
        env.ComPort = 7;
        env.Language = 2;
        env.SelectedDevice = 3;
        env.SetLogPath(ProgramDir() + "logs/"); // a delimiter that is there is not doubled
        env.SetConfigPath(ProgramDir() + "logs");
        env.SetUseWindowsColorSchema(true);
    }
    TEnvironment env(&Storage);
    EXPECT_EQ(env.ComPort, 7);
    EXPECT_EQ(env.Language, 2);
    EXPECT_EQ(env.SelectedDevice, 3);
    EXPECT_EQ(env.LogPath(), ProgramDir() + "logs/");
    EXPECT_EQ(env.ConfigPath(), ProgramDir() + "logs/");
    EXPECT_TRUE(env.GetUseWindowsColorSchema());
    env.SetUseWindowsColorSchema(false);
}

TEST_F(EnvironmentTest, BooleanAndNumberTextsAPersonMayHaveWritten)
{
    const struct {
        const char* text;
        bool value;
    } booleans[] = {{"TRUE", true}, {"yes", true}, {"y", true}, {"False", false}, {"NO", false},
                    {"n", false},   {"maybe", false}};
    for (const auto& b : booleans) {
        Put("Tessaro/ZorColors", b.text);
        TEnvironment env(&Storage);
        EXPECT_EQ(env.GetUseWindowsColorSchema(), b.value) << b.text;
    }
    Put("Tessaro/ComPort", "not a number");
    Put("Tessaro/LANGUAGE", "");
    Put("Tessaro/Directories/Firmware", "");
    TEnvironment env(&Storage);
    EXPECT_EQ(env.ComPort, -1);
    EXPECT_EQ(env.Language, 1);
    EXPECT_EQ(env.FirmwarePath(), ProgramDir());
}

TEST_F(EnvironmentTest, ServiceCodes)
{
    const QDate day(2026, 12, 9);
    EXPECT_EQ(TEnvironment::DailyCode(day), 9 * 10000 + 12 * 100 + 2026 + 48213);
    {
        TEnvironment env(&Storage);
        env.Today = [&] { return day; };
        env.StoreServiceCode("  12345 ");
        EXPECT_TRUE(env.TempExtendedVersion);
        EXPECT_EQ(Value("NormWindowPos").toInt(), 12345); // at once, top level of the maker's file
        EXPECT_FALSE(env.GetExtendedVersion());
        env.StoreServiceCode("48213");
        EXPECT_TRUE(env.GetExtendedVersion());
        env.StoreServiceCode(std::to_string(TEnvironment::DailyCode(day)));
        EXPECT_TRUE(env.GetExtendedVersion());
        env.Today = [&] { return day.addDays(1); }; // the daily code lapses
        EXPECT_FALSE(env.GetExtendedVersion());
        env.StoreServiceCode(std::to_string(TEnvironment::DailyCode(day.addDays(-1)))); // yesterday's
        EXPECT_FALSE(env.GetExtendedVersion());
        env.StoreServiceCode(std::to_string(TEnvironment::DailyCode(day.addDays(1))));
        EXPECT_TRUE(env.GetExtendedVersion());
        env.StoreServiceCode("abc");
        EXPECT_EQ(Value("NormWindowPos").toInt(), 0);
    }
    // Entered in this run: deleted at exit.
    EXPECT_FALSE(Settings().contains("NormWindowPos"));
    // Placed there by other means: it unlocks and survives the exit.
    Put("NormWindowPos", 48213);
    {
        TEnvironment env(&Storage);
        EXPECT_TRUE(env.GetExtendedVersion());
    }
    EXPECT_EQ(Value("NormWindowPos").toInt(), 48213);
}

// What may stand around a code typed or pasted into the input dialog: blanks,
// tabs and line ends go; any other character makes it no code.
TEST_F(EnvironmentTest, ServiceCodeBetweenBlanks)
{
    const struct {
        const char* Text;
        int Stored;
    } cases[] = {
        {"48213", 48213},      {" \t48213\r\n", 48213}, {"\v48213\f", 48213}, {"\x01" "48213", 0},
        {"48213\x1f", 0},     {"\xc2\xa0" "48213", 0}, {"48 213", 0},          {"", 0},
    };
    TEnvironment env(&Storage);
    for (const auto& c : cases) {
        env.StoreServiceCode(c.Text);
        EXPECT_EQ(Value("NormWindowPos").toInt(), c.Stored) << c.Text;
    }
}

TEST_F(EnvironmentTest, WithoutDataModuleNothingIsStored)
{
    {
        TEnvironment env(nullptr);
        EXPECT_FALSE(env.ValuesAreValid);
        EXPECT_EQ(env.ComPort, -1);
        env.StoreServiceCode("48213");
        EXPECT_FALSE(env.GetExtendedVersion());
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ConfigDir() + "Zorvatek.ini")) &&
                 !Settings().allKeys().isEmpty());
}

// A database error recorded in the settings: an error report with it as the
// message (and in the environment section), and a box that tells the user;
// an empty text clears it and does nothing else.
TEST_F(EnvironmentTest, ARecordedDatabaseErrorWritesAReportAndTellsTheUser)
{
    TestDialogs().Clear();
    TEnvironment env(&Storage);
    env.SetLastDBError("");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ProgramDir() + "STATUS.LOG")));
    EXPECT_TRUE(TestDialogs().Boxes().empty());

    env.Debugger()->AddAction("actSetParameterExecute", "");
    env.SetLastDBError("Tabelle Geräte fehlt");
    EXPECT_EQ(env.LastDBError(), "Tabelle Geräte fehlt");
    const std::string log = ReadFile(ProgramDir() + "STATUS.LOG");
    EXPECT_NE(log.find("F_LastDBError : Tabelle Ger\xE4te fehlt\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] Tabelle Ger\xE4te fehlt\r\n======== ENDE FEHLEREINTRAG"), std::string::npos) << log;
    EXPECT_NE(log.find("\"actSetParameterExecute\" : \r\n"), std::string::npos) << log;
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Es ist ein Fehler aufgetreten, den die Anwendung nicht selbst beheben konnte.\r\n"
                             "Speichern Sie Ihre Daten und starten Sie das Programm bitte neu.");
    EXPECT_EQ(boxes[0].Caption, "");
    EXPECT_EQ(boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));

    env.SetLastDBError("");
    EXPECT_EQ(env.LastDBError(), "");
    EXPECT_EQ(ReadFile(ProgramDir() + "STATUS.LOG"), log);
    EXPECT_EQ(TestDialogs().Boxes().size(), 1u);
    TestDialogs().Clear();
}

// The first start is the one before the mark is set; the mark is kept in the
// program's settings from run to run, and taken back by setting it again.
TEST_F(EnvironmentTest, TheFirstStartIsMarkedInTheSettings)
{
    {
        TEnvironment env(&Storage);
        EXPECT_TRUE(env.GetFirstProgramStart());
        env.SetFirstProgramStart(false);
        EXPECT_FALSE(env.GetFirstProgramStart());
    }
    EXPECT_EQ(Value("Tessaro/FirstStart").toInt(), 0);
    {
        TEnvironment env(&Storage);
        EXPECT_FALSE(env.GetFirstProgramStart());
        env.SetFirstProgramStart(true);
        EXPECT_TRUE(env.GetFirstProgramStart());
    }
    EXPECT_EQ(Value("Tessaro/FirstStart"), QVariant());
    TEnvironment env(nullptr); // no settings store: nothing tells a first start
    EXPECT_FALSE(env.GetFirstProgramStart());
}
