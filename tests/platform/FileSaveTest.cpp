// The one save routine: a file is the new content whole or the old one byte
// for byte, and a failure names the file and the reason.
#include "platform/FileSave.h"
#include "tests/common/FullDisk.h"
#include "tests/platform/FileBytes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>

#include <sys/stat.h>

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
        // Appending fails the same way and changes nothing either.
        EXPECT_EQ(ErrorOf([&] { AppendFile(target, "more"); }), c.code);
        if (kept) {
            EXPECT_EQ(Read(target), old);
        }
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
