// The files a person picks: only a regular file is read or replaced; any
// other file is refused at once with a message that says what it is.
#include "platform/FileSave.h"
#include "platform/PickedFile.h"
#include "tests/platform/ChildProcess.h"
#include "tests/platform/FileBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The message of what a call raised; empty when it raised nothing.
std::string Refusal(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

} // namespace

TEST(PickedFile, OnlyARegularFileIsReadOrReplaced)
{
    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(name).toStdString(); };
    Write(at("set.xml"), std::string("<Root/>\0x", 9));
    ASSERT_EQ(mkfifo(at("pipe.xml").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", at("zero.xml").c_str()), 0);
    ASSERT_EQ(mkdir(at("folder.xml").c_str(), 0700), 0);
    ASSERT_EQ(symlink(at("set.xml").c_str(), at("link.xml").c_str()), 0);

    EXPECT_EQ(ReadPickedFile(at("set.xml")), std::string("<Root/>\0x", 9));
    EXPECT_EQ(ReadPickedFile(at("link.xml")), std::string("<Root/>\0x", 9));
    struct TRefusal {
        const char* Name;
        std::string Reason;
    };
    const std::vector<TRefusal> special = {
        {"pipe.xml", "it is a named pipe, not a regular file."},
        {"zero.xml", "it is a device, not a regular file."},
        {"folder.xml", "it is a folder, not a regular file."},
    };
    std::vector<TRefusal> unreadable = special;
    unreadable.push_back({"missing.xml", SysErrorMessage(ENOENT)});
    for (const TRefusal& r : unreadable) {
        SCOPED_TRACE(r.Name);
        // In a child of its own: an open that waited would hold the test.
        TChildProcess reader([&] {
            const std::string text = Refusal([&] { ReadPickedFile(at(r.Name)); });
            return text == "Could not open \"" + at(r.Name) + "\": " + r.Reason ? 0 : 1;
        });
        EXPECT_EQ(reader.Wait(std::chrono::seconds(30)), 0);
    }

    // A save replaces a regular file, and makes a missing one.
    SavePickedFile(at("set.xml"), "new");
    EXPECT_EQ(Read(at("set.xml")), "new");
    SavePickedFile(at("made.xml"), "made");
    EXPECT_EQ(Read(at("made.xml")), "made");
    for (const TRefusal& r : special) {
        SCOPED_TRACE(r.Name);
        TChildProcess writer([&] {
            const std::string text = Refusal([&] { SavePickedFile(at(r.Name), "lost"); });
            return text == "Could not save \"" + at(r.Name) + "\": " + r.Reason ? 0 : 1;
        });
        EXPECT_EQ(writer.Wait(std::chrono::seconds(30)), 0);
    }
    struct stat st {};
    ASSERT_EQ(lstat(at("pipe.xml").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(lstat(at("zero.xml").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}
