// The one save routine: a file is the new content whole or the old one byte
// for byte, and a failure names the file and the reason.
#include "platform/FileSave.h"
#include "tests/common/FullDisk.h"
#include "tests/platform/ChildProcess.h"
#include "tests/platform/FileBytes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The error a call raised (its number), or 0.
int ErrorOf(const std::function<void()>& call, std::string* message = nullptr)
{
    try {
        call();
    } catch (const EFileSaveError& e) {
        if (message)
            *message = e.Message();
        return e.ErrorCode();
    }
    return 0;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

TEST(FileSave, WritesNewFilesAndReplacesOldOnes)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.txt").toStdString();
    SaveFile(path, std::string("one\0two", 7));
    EXPECT_EQ(Read(path), std::string("one\0two", 7));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    SaveFile(path, "new");
    EXPECT_EQ(Read(path), "new");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // a replaced file keeps its permissions
    SaveFile(path, "");
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(Entries(dir.path()), QStringList{"a.txt"});

    // A link stays a link; the file it points at gets the content.
    const std::string real = dir.filePath("real.txt").toStdString();
    Write(real, "old");
    const std::string link = dir.filePath("link.txt").toStdString();
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    SaveFile(link, "through the link");
    EXPECT_EQ(Read(real), "through the link");
    struct stat ls {};
    ASSERT_EQ(lstat(link.c_str(), &ls), 0);
    EXPECT_TRUE(S_ISLNK(ls.st_mode));

    // A device is written to, never replaced.
    SaveFile("/dev/null", "gone");
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
}

TEST(FileSave, AFailureLeavesTheOldFileAndSaysWhichAndWhy)
{
    TFullDisk disk;
    const std::string old = "the old content\r\n";
    const struct {
        const char* what;
        std::function<std::string()> prepare; // gives the target
        int code;
    } cases[] = {
        {"full disk",
         [&] {
             disk.Put("full.txt", old);
             disk.Fill();
             return disk.Path() + "full.txt";
         },
         disk.Real() ? ENOSPC : EFBIG},
        {"write-protected file",
         [&] {
             disk.Free();
             disk.Put("protected.txt", old);
             chmod((disk.Path() + "protected.txt").c_str(), 0444);
             return disk.Path() + "protected.txt";
         },
         EACCES},
        {"a folder where the file should be",
         [&] {
             QDir().mkpath(QString::fromStdString(disk.Path() + "folder.txt"));
             return disk.Path() + "folder.txt";
         },
         EISDIR},
        {"no such folder", [&] { return disk.Path() + "none/x.txt"; }, ENOENT},
        {"a device that is always full", [] { return std::string("/dev/full"); }, ENOSPC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = c.prepare();
        const int files = disk.FileCount();
        std::string message;
        EXPECT_EQ(ErrorOf([&] { SaveFile(target, std::string(20000, 'n')); }, &message), c.code);
        EXPECT_EQ(message, "Could not save \"" + target + "\": " + std::strerror(c.code));
        const bool kept = QFileInfo(QString::fromStdString(target)).isFile() && target != "/dev/full";
        if (kept) {
            EXPECT_EQ(Read(target), old);
        }
        // No temporary file is left behind.
        EXPECT_EQ(disk.FileCount(), files);
        // Appending fails the same way and changes nothing either, also when
        // a part of it would have fitted (into the last page of the file).
        EXPECT_EQ(ErrorOf([&] { AppendFile(target, std::string(20000, 'm')); }), c.code);
        if (kept) {
            EXPECT_EQ(Read(target), old);
        }
    }
}

namespace {

// The number of a process that has ended.
pid_t EndedProcess()
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace

// A save killed in the middle of its write leaves its temporary file beside
// the target. The next save of the same file removes it; what saves of other
// files left, and the temporary file of a save still running, stay.
TEST(FileSave, ASaveRemovesWhatAKilledSaveOfTheSameFileLeft)
{
    QTemporaryDir dir;
    for (const char* name : {"Zorvatek.ini", "params.xml"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.filePath(name).toStdString();
        Write(path, "old");
        // The file-size limit kills the save (SIGXFSZ) halfway through.
        TChildProcess killed([&] {
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_DFL);
            SaveFile(path, std::string(1 << 20, 'x'));
            return 0;
        });
        ASSERT_EQ(killed.Wait(), -1) << "the save was not killed";
        const QString prefix = QString(".%1.").arg(name);
        const QStringList left = QDir(dir.path()).entryList({prefix + "*.tmp"}, QDir::Files | QDir::Hidden);
        ASSERT_EQ(left.size(), 1) << Entries(dir.path()).join(' ').toStdString();
        EXPECT_EQ(Read(path), "old");

        const QString running = prefix + QString("%1-7.tmp").arg(getpid());
        const QString ended = QString(".%1.%2-0.tmp").arg(name).arg(EndedProcess());
        const QString other = QString(".other.%1.%2-0.tmp").arg(name).arg(EndedProcess());
        const QString notOurs = prefix + "save.tmp";
        for (const QString& file : {running, ended, other, notOurs})
            Write(dir.filePath(file).toStdString(), "part");
        SaveFile(path, "new");
        EXPECT_EQ(Read(path), "new");
        const QStringList after = Entries(dir.path());
        EXPECT_FALSE(after.contains(left[0]));
        EXPECT_FALSE(after.contains(ended));
        for (const QString& file : {running, other, notOurs})
            EXPECT_TRUE(after.contains(file)) << file.toStdString();
    }
}

TEST(FileSave, AppendingIsTheOldContentFollowedByTheNew)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("STATUS.LOG").toStdString();
    AppendFile(path, "first\r\n");
    AppendFile(path, "second\r\n");
    EXPECT_EQ(Read(path), "first\r\nsecond\r\n");
    const std::string big(300000, 'x');
    AppendFile(path, big);
    EXPECT_EQ(Read(path), "first\r\nsecond\r\n" + big);
}

// Appends of several writers wait for each other: an append finds the file's
// lock held and waits for it, or is refused, the file as it was, when it stays
// held past the wait.
TEST(FileSave, AnAppendWaitsForTheLockOfTheFile)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("STATUS.LOG").toStdString();
    AppendFile(path, "first\r\n");
    const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(AppendInPlace(path.c_str(), "second\r\n", 8, 200, false), EWOULDBLOCK);
    EXPECT_EQ(Read(path), "first\r\n");
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::flock(holder, LOCK_UN);
    });
    EXPECT_EQ(AppendInPlace(path.c_str(), "second\r\n", 8, 30000, false), 0);
    release.join();
    ::close(holder);
    EXPECT_EQ(Read(path), "first\r\nsecond\r\n");
}

// A save through a link writes the file at its end, also one that is not
// there yet; the link itself is never replaced. Where the file cannot be
// made, the save says so and the link stays as it was.
TEST(FileSave, ALinkStaysALinkAlsoWhereItsFileIsMissing)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString() + "/";
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links; // name, what it points at
        std::string target; // the file that the save makes, empty when it cannot
        int code;
    } cases[] = {
        {"to a missing file", {{"a.ini", root + "a-real.ini"}}, root + "a-real.ini", 0},
        {"relative, to a missing file", {{"b.ini", "b-real.ini"}}, root + "b-real.ini", 0},
        {"a chain whose last link points at a missing file",
         {{"c.ini", "c-middle.ini"}, {"c-middle.ini", root + "c-real.ini"}}, root + "c-real.ini", 0},
        {"into a folder that does not exist", {{"d.ini", root + "none/d-real.ini"}}, "", ENOENT},
        {"a loop", {{"e.ini", "e-other.ini"}, {"e-other.ini", "e.ini"}}, "", ELOOP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [name, to] : c.links)
            ASSERT_EQ(symlink(to.c_str(), (root + name).c_str()), 0);
        const std::string path = root + c.links.front().first;
        std::string message;
        EXPECT_EQ(ErrorOf([&] { SaveFile(path, "saved\n"); }, &message), c.code);
        if (c.code == 0) {
            EXPECT_EQ(Read(c.target), "saved\n");
            EXPECT_EQ(ErrorOf([&] { AppendFile(path, "appended\n"); }), 0);
            EXPECT_EQ(Read(c.target), "saved\nappended\n");
        } else {
            EXPECT_EQ(message, "Could not save \"" + path + "\": " + std::strerror(c.code));
            EXPECT_EQ(ErrorOf([&] { AppendFile(path, "appended\n"); }), c.code);
        }
        for (const auto& [name, to] : c.links) {
            struct stat st {};
            ASSERT_EQ(lstat((root + name).c_str(), &st), 0);
            EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
        }
    }
}

// A pipe that nobody reads: the save fails at once instead of waiting for a
// reader that never comes.
TEST(FileSave, APipeThatNobodyReadsIsRefusedAtOnce)
{
    QTemporaryDir dir;
    const std::string pipe = dir.filePath("pipe").toStdString();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "appending" : "saving");
        TChildProcess child([&] {
            return ErrorOf([&] { append ? AppendFile(pipe, "x") : SaveFile(pipe, "x"); });
        });
        ASSERT_TRUE(child.Started());
        EXPECT_EQ(child.Wait(std::chrono::seconds(30)), ENXIO); // -1: it waited
        struct stat st {};
        ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
}

// Two programs append their reports to one file at the same time: every
// report arrives, whole, none inside another.
TEST(FileSave, TwoProcessesAppendingToOneFileLoseNothing)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("STATUS.LOG").toStdString();
    constexpr int kReports = 1000;
    auto writer = [&](char who) {
        return [&path, who] {
            for (int n = 0; n < kReports; ++n) {
                const std::string id = std::string(1, who) + std::to_string(n);
                AppendFile(path, "==== begin " + id + "\r\nbody " + id + "\r\n==== end " + id + "\r\n");
            }
            return 0;
        };
    };
    TChildProcess a(writer('a'));
    TChildProcess b(writer('b'));
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_EQ(a.Wait(std::chrono::seconds(250)), 0);
    EXPECT_EQ(b.Wait(std::chrono::seconds(250)), 0);

    const std::string all = Read(path);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < all.size();) {
        const auto eol = all.find("\r\n", at);
        ASSERT_NE(eol, std::string::npos);
        lines.push_back(all.substr(at, eol - at));
        at = eol + 2;
    }
    ASSERT_EQ(lines.size() % 3, 0u);
    int next[2] = {0, 0};
    for (std::size_t k = 0; k + 2 < lines.size(); k += 3) {
        const std::string id = lines[k].substr(lines[k].rfind(' ') + 1);
        ASSERT_EQ(lines[k], "==== begin " + id) << k;
        ASSERT_EQ(lines[k + 1], "body " + id) << k;
        ASSERT_EQ(lines[k + 2], "==== end " + id) << k;
        // Each writer's reports in the order it wrote them.
        int& expected = next[id[0] - 'a'];
        EXPECT_EQ(id.substr(1), std::to_string(expected));
        ++expected;
    }
    EXPECT_EQ(next[0], kReports);
    EXPECT_EQ(next[1], kReports);
}
