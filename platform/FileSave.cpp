#include "platform/FileSave.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// Closes a descriptor on every way out unless it was closed on purpose.
struct TFd {
    int Fd = -1;
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    int Release()
    {
        const int fd = Fd;
        Fd = -1;
        return fd;
    }
};

std::string FolderOf(const std::string& path)
{
    const auto cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string NameOf(const std::string& path)
{
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool WriteAll(int fd, std::string_view bytes, int& error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A device or a pipe cannot be replaced (nor should be: /dev/null stays
// /dev/null): its bytes are written to it as they are, every write checked.
void WriteInPlace(const std::string& path, const std::string& target, std::string_view bytes)
{
    TFd file;
    // Opened without waiting: a pipe that nobody reads refuses at once
    // (ENXIO) instead of holding the program until a reader comes.
    file.Fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file.Fd < 0)
        throw EFileSaveError(path, errno);
    // The writes themselves wait for a reader that is slow.
    if (const int flags = ::fcntl(file.Fd, F_GETFL); flags >= 0)
        ::fcntl(file.Fd, F_SETFL, flags & ~O_NONBLOCK);
    int error = 0;
    if (!WriteAll(file.Fd, bytes, error))
        throw EFileSaveError(path, error);
    if (::fsync(file.Fd) != 0 && errno != EINVAL && errno != EROFS)
        throw EFileSaveError(path, errno);
    if (::close(file.Release()) != 0)
        throw EFileSaveError(path, errno);
}

// The temporary file of a save of `name` in its folder: "." name "." pid "-"
// number ".tmp". The process that made it, or 0 when `entry` is none.
pid_t TemporaryOf(const std::string& entry, const std::string& name)
{
    const std::string head = "." + name + ".";
    const std::string tail = ".tmp";
    if (entry.size() <= head.size() + tail.size() || entry.compare(0, head.size(), head) != 0 ||
        entry.compare(entry.size() - tail.size(), tail.size(), tail) != 0)
        return 0;
    const std::string middle = entry.substr(head.size(), entry.size() - head.size() - tail.size());
    const auto dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == middle.size() || dash > 10)
        return 0;
    for (std::size_t i = 0; i < middle.size(); ++i)
        if (i != dash && (middle[i] < '0' || middle[i] > '9'))
            return 0;
    return static_cast<pid_t>(std::stol(middle.substr(0, dash)));
}

// Removes what saves of `name` that were killed before they could rename
// their temporary file left in `folder`: the temporary files of processes
// that are gone. A file of a process that lives (a save under way in this or
// another program) stays, and so does any file of another name.
void RemoveLeftTemporaries(const std::string& folder, const std::string& name)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> left;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = TemporaryOf(entry->d_name, name);
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
            left.push_back(folder + "/" + entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& file : left)
        ::unlink(file.c_str());
}

} // namespace

EFileSaveError::EFileSaveError(const std::string& fileName, int code)
    : EFileSaveError(fileName, code, SysErrorMessage(code))
{
}

EFileSaveError::EFileSaveError(const std::string& fileName, int code, const std::string& reason)
    : EInOutError("Could not save \"" + fileName + "\": " + reason), FFileName(fileName), FErrorCode(code),
      FReason(reason)
{
}

std::string EFileSaveError::Reason() const
{
    return FReason;
}

std::string SaveTarget(const std::string& path)
{
    // Followed link by link, so that a link whose file is missing still
    // names the file a save makes (the link itself is never replaced).
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0)
            return current;
        std::string next(buffer, static_cast<std::size_t>(n));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    return current; // still a link: a loop, which the save refuses
}

TFileLock::TFileLock(const std::string& path)
{
    const std::string target = SaveTarget(path);
    timespec start {};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    auto waitedMs = [&start] {
        timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    };
    for (;;) {
        // The file as it is now; while there is none, its folder, so that two
        // writers that both find no file do not both make one.
        bool onFolder = false;
        int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0 && errno == ENOENT) {
            onFolder = true;
            fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (fd < 0)
            return; // the save that follows says why
        struct stat held {};
        if (::fstat(fd, &held) != 0 || (!onFolder && !S_ISREG(held.st_mode))) {
            ::close(fd); // a device or a pipe is written in place, not rewritten
            return;
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waitedMs() >= MaxWaitMs) {
                ::close(fd);
                return;
            }
            const timespec pause {0, 2000000};
            ::nanosleep(&pause, nullptr);
        }
        // A writer that held the lock before may have put a new file in the
        // old one's place (a save renames), or made the file that was missing:
        // then the lock is taken anew on what stands there now.
        struct stat now {};
        const bool there = ::stat(target.c_str(), &now) == 0;
        const bool same = onFolder ? !there && errno == ENOENT
                                   : there && now.st_dev == held.st_dev && now.st_ino == held.st_ino;
        if (same) {
            FFd = fd;
            return;
        }
        ::close(fd);
    }
}

TFileLock::~TFileLock()
{
    if (FFd >= 0)
        ::close(FFd); // closing lets go of the lock
}

void SaveFile(const std::string& path, std::string_view bytes)
{
    if (path.empty())
        throw EFileSaveError(path, ENOENT);
    const std::string target = SaveTarget(path);
    const std::string folder = FolderOf(target);
    struct stat link {};
    if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
        throw EFileSaveError(path, ELOOP);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode))
            throw EFileSaveError(path, EISDIR);
        if (!S_ISREG(old.st_mode)) {
            WriteInPlace(path, target, bytes);
            return;
        }
        // A write-protected file stays protected, for root too: renaming over
        // it would get round the protection.
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)
            throw EFileSaveError(path, EACCES);
    }

    static std::atomic<unsigned> counter{0};
    std::string temporary;
    TFd file;
    for (int attempt = 0; attempt < 100 && file.Fd < 0; ++attempt) {
        temporary = folder + "/." + NameOf(target) + "." + std::to_string(::getpid()) + "-" +
                    std::to_string(counter++) + ".tmp";
        file.Fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.Fd < 0 && errno != EEXIST)
            throw EFileSaveError(path, errno);
    }
    if (file.Fd < 0)
        throw EFileSaveError(path, EEXIST);

    int error = 0;
    bool good = WriteAll(file.Fd, bytes, error);
    if (good && exists && ::fchmod(file.Fd, old.st_mode & 07777) != 0) {
        error = errno;
        good = false;
    }
    if (good && ::fsync(file.Fd) != 0) {
        error = errno;
        good = false;
    }
    // The last chance for the file system to report that the data did not fit.
    if (::close(file.Release()) != 0 && good) {
        error = errno;
        good = false;
    }
    if (good && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        good = false;
    }
    if (!good) {
        ::unlink(temporary.c_str());
        throw EFileSaveError(path, error ? error : EIO);
    }
    // What killed saves of this file left goes with its next save.
    RemoveLeftTemporaries(folder, NameOf(target));
    // The new name is in place; syncing the folder makes it last. A folder
    // that cannot be synced changes nothing about what was saved.
    TFd dir;
    dir.Fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.Fd >= 0)
        ::fsync(dir.Fd);
}

namespace {

// Milliseconds since `start` on the monotonic clock.
long ElapsedMs(const timespec& start)
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Takes the append lock of the open file, waiting at most `maxWaitMs`: 0 when
// it is taken or the file system has none, else the error.
int TakeAppendLock(int fd, int maxWaitMs, const timespec& start)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK)
            return 0; // no locks here: unlocked rather than not at all
        if (ElapsedMs(start) >= maxWaitMs)
            return EWOULDBLOCK;
        const timespec pause {0, 2000000};
        ::nanosleep(&pause, nullptr);
    }
    return 0;
}

} // namespace

int AppendInPlace(const char* path, const char* bytes, std::size_t length, int maxWaitMs, bool sync) noexcept
{
    if (!path || !*path)
        return ENOENT;
    timespec start {};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    // A reader that takes a file away between the open and the lock (a log
    // moved aside) leaves a file the append would be lost in: the file that
    // stands under the name then is opened anew, a few times at most.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Without waiting at the open: a pipe that nobody reads refuses at once.
        TFd file;
        file.Fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
        if (file.Fd < 0)
            return errno;
        struct stat opened {};
        if (::fstat(file.Fd, &opened) != 0)
            return errno;
        if (!S_ISREG(opened.st_mode)) {
            // A device or a pipe: written as it is, its writes waiting for a
            // slow reader; nothing to cut back.
            if (const int flags = ::fcntl(file.Fd, F_GETFL); flags >= 0)
                ::fcntl(file.Fd, F_SETFL, flags & ~O_NONBLOCK);
            int error = 0;
            if (!WriteAll(file.Fd, std::string_view(bytes, length), error))
                return error;
            if (sync && ::fsync(file.Fd) != 0 && errno != EINVAL && errno != EROFS)
                return errno;
            return ::close(file.Release()) == 0 ? 0 : errno;
        }
        // A write-protected file stays protected, for root too.
        if ((opened.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return EACCES;
        if (const int error = TakeAppendLock(file.Fd, maxWaitMs, start))
            return error;
        struct stat named {};
        if (::stat(path, &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
            continue; // closing lets go of the lock
        // Under the lock nobody else appends: the end is where the old content ends.
        struct stat locked {};
        if (::fstat(file.Fd, &locked) != 0)
            return errno;
        int error = 0;
        bool good = WriteAll(file.Fd, std::string_view(bytes, length), error);
        if (good && sync && ::fsync(file.Fd) != 0) {
            error = errno;
            good = false;
        }
        if (!good) {
            // Whole or nothing: what went in of it goes again.
            while (::ftruncate(file.Fd, locked.st_size) != 0 && errno == EINTR) {
            }
            return error ? error : EIO;
        }
        // Synced, the bytes are there whatever the close says.
        return ::close(file.Release()) == 0 || sync ? 0 : errno;
    }
    return EBUSY;
}

void AppendFile(const std::string& path, std::string_view bytes)
{
    if (const int error = AppendInPlace(path.c_str(), bytes.data(), bytes.size(), TFileLock::MaxWaitMs, true)) {
        if (error == EWOULDBLOCK)
            throw EFileSaveError(path, error, "another program holds the file");
        throw EFileSaveError(path, error);
    }
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
