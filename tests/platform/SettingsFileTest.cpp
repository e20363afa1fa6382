// The settings files: their text as Qt's settings store writes it and a
// person edits it, and the store that keeps a run's changes over the file
// until they are written.
#include "platform/FileSave.h"
#include "platform/IniDocument.h"
#include "platform/Registry.h"
#include "tests/common/FullDisk.h"
#include "tests/platform/ChildProcess.h"
#include "tests/platform/FileBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Keys and values that a settings file of the program may hold.
const std::vector<std::pair<std::string, std::string>> kValues = {
    {"NormWindowPos", "48213"},
    {"Tessaro/ComPort", "-1"},
    {"Tessaro/Last User", ""},
    {"Tessaro/Directories/Database", "/home/jürgen/Zor Daten/"},
    {"Tessaro/Directories/LogFiles", " blanks around "},
    {"Tessaro/Directories/MP", "a;b,c=d \"quoted\" back\\slash"},
    {"Tessaro/Directories/RawData", "tab\there\r\nline\x01" "1\x7f"},
    {"Tessaro/ZorColors", "@FALSE"},
    {"Tessaro/Größe", "\xE2\x82\xAC 5"},
    {"General/Width", "333"},
    {"Dialogs/Tessaro/answer", "@Invalid()"},
    {"Tessaro/Marks", "a\tb\xEF\xBB\xBF" "c"}, // U+FEFF is a character like any other
};

} // namespace

TEST(SettingsFile, ReadsAndWritesWhatQtsSettingsStoreDoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Zorvatek.ini");
    {
        QSettings qt(path, QSettings::IniFormat);
        for (const auto& [key, value] : kValues)
            qt.setValue(QString::fromStdString(key), QString::fromStdString(value));
    }
    const std::string written = Read(path.toStdString());
    const TIniDocument read = TIniDocument::Parse(written);
    for (const auto& [key, value] : kValues)
        EXPECT_EQ(read.Value(key).value_or("<missing>"), value) << key;
    EXPECT_EQ(read.Values().size(), kValues.size());

    TIniDocument ours;
    for (const auto& [key, value] : kValues)
        ours.SetValue(key, value);
    // The same text, byte for byte, once the sections stand in the same order.
    EXPECT_EQ(TIniDocument::Parse(written).Text(), written);
    SaveFile(path.toStdString(), ours.Text());
    QSettings qt(path, QSettings::IniFormat);
    for (const auto& [key, value] : kValues)
        EXPECT_EQ(qt.value(QString::fromStdString(key)).toString().toStdString(), value) << key;
}

TEST(SettingsFile, AFileAsAPersonEditsIt)
{
    const TIniDocument doc = TIniDocument::Parse("\xEF\xBB\xBF; settings of Tessaro\r\n"
                                                 "[general]\r\n"
                                                 "  NormWindowPos = 48213   ; the master code\r\n"
                                                 "[Tessaro]\r\n"
                                                 "no equals sign here\r\n"
                                                 "ComPort=3\r\n"
                                                 "Directories\\Firmware=\"/opt/fw; new/\"\r\n"
                                                 "Directories/History=/a/b,/c/d\r\n"
                                                 "Long=one \\\r\n two\r\n"
                                                 "ComPort=4\r\n"
                                                 "[Tessaro\r\n"
                                                 "Cut=off header\r\n");
    EXPECT_EQ(doc.Value("NormWindowPos"), "48213");
    EXPECT_EQ(doc.Value("Tessaro/ComPort"), "4"); // the last one counts
    EXPECT_EQ(doc.Value("Tessaro\\Directories\\Firmware"), "/opt/fw; new/");
    EXPECT_EQ(doc.Value("Tessaro/Directories/History"), "/a/b,/c/d"); // a comma stays a comma
    EXPECT_EQ(doc.Value("Tessaro/Long"), "one  two");
    EXPECT_EQ(doc.Value("Tessaro/Cut"), "off header");
    EXPECT_EQ(doc.ChildKeys("Tessaro"), (std::vector<std::string>{"ComPort", "Cut", "Long"}));
    EXPECT_EQ(doc.ChildKeys("Tessaro/Directories"), (std::vector<std::string>{"Firmware", "History"}));
    EXPECT_TRUE(doc.HasValuesBelow("Tessaro/Directories"));
    EXPECT_FALSE(doc.HasValuesBelow("Tessaro/Directories/Firmware"));

    TIniDocument edited = doc;
    edited.RemoveGroup("Tessaro/Directories");
    edited.RemoveValue("Tessaro"); // a value of that name, not the group
    EXPECT_EQ(edited.ChildKeys("Tessaro"), (std::vector<std::string>{"ComPort", "Cut", "Long"}));
    EXPECT_FALSE(edited.HasValuesBelow("Tessaro/Directories"));
    edited.RemoveGroup("");
    EXPECT_TRUE(edited.Values().empty());
    // Nothing a person writes gets lost or changed on the way through, a
    // U+FEFF at the start of a value included.
    EXPECT_EQ(TIniDocument::Parse(doc.Text()), doc);
    TIniDocument marked;
    marked.SetValue("Tessaro/Mark", "\xEF\xBB\xBF" "a");
    EXPECT_EQ(TIniDocument::Parse(marked.Text()), marked);
}

namespace {

class SettingsStore : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit().constData(), 1);
        File = Config.path().toStdString() + "/Zorvatek.ini";
    }
    QTemporaryDir Config;
    std::string File;
    const std::string Key = "Software\\Zorvatek\\Tessaro";
};

} // namespace

TEST_F(SettingsStore, ChangesReadBackAtOnceAndReachTheFileWhenFlushed)
{
    Write(File, "[Tessaro]\nComPort=3\n");
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 3);
    EXPECT_TRUE(TRegistry::WriteInteger(Key, "ComPort", 5));
    EXPECT_TRUE(TRegistry::WriteString(Key + "\\Directories", "Firmware", "/fw/"));
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 5);
    EXPECT_EQ(TRegistry::ReadString(Key + "\\Directories", "Firmware"), "/fw/");
    EXPECT_EQ(Read(File), "[Tessaro]\nComPort=3\n"); // not yet written

    // Meanwhile a person edits the file: the edit shows, and stays beside
    // this run's changes when they are written.
    Write(File, "[Tessaro]\nComPort=7\nLANGUAGE=2\n");
    EXPECT_EQ(TRegistry::ReadInteger(Key, "LANGUAGE"), 2);
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 5);
    TRegistry::DeleteValue(Key, "LANGUAGE");
    TRegistry::Flush();
    QSettings saved(QString::fromStdString(File), QSettings::IniFormat);
    EXPECT_EQ(saved.value("Tessaro/ComPort").toInt(), 5);
    EXPECT_EQ(saved.value("Tessaro/Directories/Firmware").toString(), "/fw/");
    EXPECT_FALSE(saved.contains("Tessaro/LANGUAGE"));

    // Keys outside the maker's tree live in the root's own file, written the
    // same way.
    const std::string other = Config.path().toStdString() + "/registry/HKEY_CURRENT_USER.ini";
    EXPECT_TRUE(TRegistry::WriteString("Elsewhere\\Key", "x", "1"));
    EXPECT_EQ(TRegistry::ReadString("Elsewhere\\Key", "x"), "1");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(other)));
    EXPECT_FALSE(QFile::exists(Config.path() + "/registry")); // the folder comes with its first file
    TRegistry::Flush();
    EXPECT_EQ(QSettings(QString::fromStdString(other), QSettings::IniFormat).value("Elsewhere/Key/x").toString(), "1");
}

TEST_F(SettingsStore, AFileThatCannotBeWrittenKeepsWhatItHeldAndTheChangesWait)
{
    TFullDisk disk;
    EXPECT_TRUE(disk.Real() || getuid() != 0) << "root makes a real full disk";
    setenv("XDG_CONFIG_HOME", disk.Path().substr(0, disk.Path().size() - 1).c_str(), 1);
    const std::string file = disk.Path() + "Zorvatek.ini";
    const std::string before = "[Tessaro]\nComPort=3\n";
    disk.Put("Zorvatek.ini", before);
    TRegistry::WriteInteger(Key, "ComPort", 9);
    disk.Fill();
    try {
        TRegistry::Flush();
        ADD_FAILURE() << "written onto a full disk";
    } catch (const EFileSaveError& e) {
        EXPECT_EQ(e.FileName(), file);
    }
    EXPECT_EQ(Read(file), before);
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 9); // still this run's value
    disk.Free();
    TRegistry::Flush(); // the change waited
    EXPECT_EQ(TIniDocument::Parse(Read(file)).Value("Tessaro/ComPort"), "9");

    // A file that is there but cannot be read is not replaced by one made
    // without it.
    const std::string folder = disk.Path() + "folder";
    QDir().mkpath(QString::fromStdString(folder + "/Zorvatek.ini"));
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    TRegistry::WriteInteger(Key, "ComPort", 1);
    try {
        TRegistry::Flush();
        ADD_FAILURE() << "a folder replaced";
    } catch (const EFileSaveError& e) {
        EXPECT_EQ(e.ErrorCode(), EISDIR);
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder + "/Zorvatek.ini")).isDir());
    QDir(QString::fromStdString(folder + "/Zorvatek.ini")).removeRecursively();
    TRegistry::Flush();
}

namespace {

// What a run sees of a settings file, in a child process of its own (an open
// that waits would hold the test; reading without end is stopped by the
// child's memory limit): 0 when the value reads as missing, the save is
// refused naming the file, and the file is what it was; else what went wrong.
int ReadAndFlushInAChild(const std::string& file, const std::string& key)
{
    TChildProcess child([&] {
        if (!TESSARO_TEST_SANITIZED) {
            const rlimit memory{std::size_t(2) << 30, std::size_t(2) << 30};
            setrlimit(RLIMIT_AS, &memory);
        }
        try {
            TRegistry::Forget();
            if (TRegistry::ReadInteger(key, "ComPort"))
                return 1;
            TRegistry::WriteInteger(key, "ComPort", 4);
            if (TRegistry::ReadInteger(key, "ComPort") != 4)
                return 2;
            try {
                TRegistry::Flush();
                return 3; // written over
            } catch (const EFileSaveError& e) {
                if (e.FileName() != file)
                    return 4;
            }
            TRegistry::Forget();
            return 0;
        } catch (...) {
            return 5;
        }
    });
    return child.Wait(std::chrono::seconds(60));
}

} // namespace

// A settings file that is no plain file: its values read as missing (the
// defaults), it is never replaced, and reading it never waits.
TEST_F(SettingsStore, AFileThatIsNoPlainFileReadsAsMissingAndIsKept)
{
    const struct {
        const char* what;
        std::function<void()> make;
        std::function<bool()> kept;
    } cases[] = {
        {"a link to /dev/zero", [&] { ASSERT_EQ(symlink("/dev/zero", File.c_str()), 0); },
         [&] { return QFileInfo(QString::fromStdString(File)).symLinkTarget() == "/dev/zero"; }},
        {"a link to /dev/full", [&] { ASSERT_EQ(symlink("/dev/full", File.c_str()), 0); },
         [&] { return QFileInfo(QString::fromStdString(File)).symLinkTarget() == "/dev/full"; }},
        {"a pipe", [&] { ASSERT_EQ(mkfifo(File.c_str(), 0600), 0); },
         [&] {
             struct stat st {};
             return lstat(File.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(QString::fromStdString(File));
        c.make();
        EXPECT_EQ(ReadAndFlushInAChild(File, Key), 0);
        EXPECT_TRUE(c.kept());
    }
}

// A plain settings file is read whatever its size: its owner can save the
// settings again, and what the file held beside them stays.
TEST_F(SettingsStore, APlainFileIsReadAndSavedWhateverItsSize)
{
    const std::string big(3 << 20, 'x');
    Write(File, "[Other]\nBig=" + big + "\nKept=1\n[Tessaro]\nComPort=3\n");
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 3);
    TRegistry::WriteInteger(Key, "ComPort", 5);
    TRegistry::Flush();
    const TIniDocument saved = TIniDocument::Parse(Read(File));
    EXPECT_EQ(saved.Value("Tessaro/ComPort"), "5");
    EXPECT_EQ(saved.Value("Other/Big"), big);
    EXPECT_EQ(saved.Value("Other/Kept"), "1");
}

// Each access looks whether the file changed and reads it only then: a file
// that stays as it is is not opened again, however often its values are
// read; a change that another program makes is seen at the next access.
TEST_F(SettingsStore, AFileIsReadAgainOnlyWhenItChanged)
{
    Write(File, "[Tessaro]\nComPort=3\n" + std::string(512 << 10, ';') + "\n");
    // A file changed a moment ago is read at every access (a change in the
    // same tick of the file system's clock would not show in its times).
    std::this_thread::sleep_for(std::chrono::milliseconds(TRegistry::SettleMs + 100));
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 3);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, File.c_str(), IN_OPEN | IN_ACCESS), 0);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 3);
    char events[4096];
    EXPECT_LT(read(watch, events, sizeof events), 0) << "the unchanged file was read again";
    close(watch);

    // Another program saves the file anew, and one writes it in place.
    SaveFile(File, "[Tessaro]\nComPort=4\n");
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 4);
    {
        std::ofstream in(File, std::ios::binary | std::ios::in | std::ios::out);
        in.seekp(18);
        in << '6';
    }
    EXPECT_EQ(TRegistry::ReadInteger(Key, "ComPort"), 6);
}

// A settings file that is a link whose file is missing: the save makes the
// file at the link's end and the link stays; where that file's folder is
// missing the save says so, and the link stays too.
TEST_F(SettingsStore, ADanglingLinkIsWrittenThroughAndStays)
{
    const std::string real = Config.path().toStdString() + "/real.ini";
    ASSERT_EQ(symlink(real.c_str(), File.c_str()), 0);
    TRegistry::WriteInteger(Key, "ComPort", 6);
    TRegistry::Flush();
    EXPECT_EQ(TIniDocument::Parse(Read(real)).Value("Tessaro/ComPort"), "6");
    EXPECT_EQ(QFileInfo(QString::fromStdString(File)).symLinkTarget().toStdString(), real);

    ASSERT_EQ(unlink(File.c_str()), 0);
    const std::string lost = Config.path().toStdString() + "/gone/real.ini";
    ASSERT_EQ(symlink(lost.c_str(), File.c_str()), 0);
    TRegistry::WriteInteger(Key, "ComPort", 7);
    try {
        TRegistry::Flush();
        ADD_FAILURE() << "saved into a folder that is not there";
    } catch (const EFileSaveError& e) {
        EXPECT_EQ(e.FileName(), File);
        EXPECT_EQ(e.ErrorCode(), ENOENT);
    }
    EXPECT_EQ(QFileInfo(QString::fromStdString(File)).symLinkTarget().toStdString(), lost);
    ASSERT_EQ(unlink(File.c_str()), 0);
    TRegistry::Flush(); // the change waited; it goes into a file of its own now
    EXPECT_EQ(TIniDocument::Parse(Read(File)).Value("Tessaro/ComPort"), "7");
}

// Two instances of the program flush the same settings file again and again:
// each keeps the values the other wrote, and a value both write holds the
// last writer's.
TEST_F(SettingsStore, TwoInstancesFlushingAtOnceKeepEachOthersValues)
{
    constexpr int kValuesEach = 150;
    auto instance = [&](char who) {
        return [this, who] {
            TRegistry::Forget();
            for (int n = 0; n < kValuesEach; ++n) {
                TRegistry::WriteInteger(Key, std::string(1, who) + std::to_string(n), n);
                TRegistry::WriteString(Key, "Shared", std::string(1, who));
                TRegistry::Flush();
            }
            return 0;
        };
    };
    TChildProcess a(instance('a'));
    TChildProcess b(instance('b'));
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
    const TIniDocument saved = TIniDocument::Parse(Read(File));
    int missing = 0;
    for (const char who : {'a', 'b'})
        for (int n = 0; n < kValuesEach; ++n)
            if (saved.Value("Tessaro/" + std::string(1, who) + std::to_string(n)) != std::to_string(n))
                ++missing;
    EXPECT_EQ(missing, 0);
    const auto shared = saved.Value("Tessaro/Shared");
    EXPECT_TRUE(shared == "a" || shared == "b");
}
