#include "platform/FileSave.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
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

// The file that a save replaces: a link stands for the file it points at.
std::string Target(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            return resolved;
    }
    return path;
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
    file.Fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (file.Fd < 0)
        throw EFileSaveError(path, errno);
    int error = 0;
    if (!WriteAll(file.Fd, bytes, error))
        throw EFileSaveError(path, error);
    if (::fsync(file.Fd) != 0 && errno != EINVAL && errno != EROFS)
        throw EFileSaveError(path, errno);
    if (::close(file.Release()) != 0)
        throw EFileSaveError(path, errno);
}

bool IsSpecial(const std::string& target)
{
    struct stat st {};
    return ::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

} // namespace

EFileSaveError::EFileSaveError(const std::string& fileName, int code)
    : EInOutError("Could not save \"" + fileName + "\": " + SysErrorMessage(code)), FFileName(fileName),
      FErrorCode(code)
{
}

std::string EFileSaveError::Reason() const
{
    return SysErrorMessage(FErrorCode);
}

void SaveFile(const std::string& path, std::string_view bytes)
{
    if (path.empty())
        throw EFileSaveError(path, ENOENT);
    const std::string target = Target(path);
    const std::string folder = FolderOf(target);

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
    // The new name is in place; syncing the folder makes it last. A folder
    // that cannot be synced changes nothing about what was saved.
    TFd dir;
    dir.Fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.Fd >= 0)
        ::fsync(dir.Fd);
}

void AppendFile(const std::string& path, std::string_view bytes)
{
    if (const std::string target = Target(path); IsSpecial(target)) {
        WriteInPlace(path, target, bytes);
        return;
    }
    std::string content;
    TFd file;
    file.Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.Fd < 0) {
        if (errno != ENOENT)
            throw EFileSaveError(path, errno);
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(file.Fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw EFileSaveError(path, errno);
            }
            if (n == 0)
                break;
            content.append(buffer, static_cast<std::size_t>(n));
        }
    }
    content.append(bytes);
    SaveFile(path, content);
}
