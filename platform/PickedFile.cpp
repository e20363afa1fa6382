#include "platform/PickedFile.h"

#include "platform/FileSave.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file that is no regular file is, in a person's words.
std::string KindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISDIR(mode))
        return "a folder";
    return "a special file";
}

std::string NotRegular(mode_t mode)
{
    return "it is " + KindOf(mode) + ", not a regular file.";
}

// EINVAL stands for "no regular file" where a number is asked for.
constexpr int kNotRegular = EINVAL;

} // namespace

TPickedFile::TPickedFile(const std::string& path) : FPath(path)
{
    // Without waiting: a pipe opens at once here, whether a writer is there
    // or not, and is refused below.
    FFd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (FFd < 0)
        throw EInOutError("Could not open \"" + path + "\": " + SysErrorMessage(errno));
    struct stat st {};
    if (::fstat(FFd, &st) != 0) {
        const int error = errno;
        ::close(FFd);
        throw EInOutError("Could not open \"" + path + "\": " + SysErrorMessage(error));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(FFd);
        throw EInOutError("Could not open \"" + path + "\": " + NotRegular(st.st_mode));
    }
}

TPickedFile::~TPickedFile()
{
    ::close(FFd);
}

std::string TPickedFile::ReadAll()
{
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(FFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EInOutError("Could not read \"" + FPath + "\": " + SysErrorMessage(errno));
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string ReadPickedFile(const std::string& path)
{
    return TPickedFile(path).ReadAll();
}

void SavePickedFile(const std::string& path, std::string_view bytes)
{
    // Looked at without being opened for reading or writing (a pipe would
    // wait for its other end, a file may be write-only).
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        const bool known = ::fstat(fd, &st) == 0;
        ::close(fd);
        if (known && !S_ISREG(st.st_mode))
            throw EFileSaveError(path, kNotRegular, NotRegular(st.st_mode));
    }
    SaveFile(path, bytes);
}
