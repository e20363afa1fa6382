#pragma once
// A folder on a disk that can be filled up: a small file system (tmpfs) of its
// own, mounted in a mount namespace that only the calling thread (and the
// programs it starts) sees, so nothing of it shows outside the test and the
// mount goes with the test. Making one needs root; elsewhere the folder is an
// ordinary one and a file-size limit of the process stands in for the full
// disk (writes fail with EFBIG instead of ENOSPC).
#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class TFullDisk {
public:
    explicit TFullDisk(const char* size = "256k")
    {
        FPath = FDir.path().toStdString() + "/";
        FOldNamespace = ::open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (FOldNamespace >= 0 && ::unshare(CLONE_NEWNS) == 0) {
            FUnshared = true;
            const std::string options = std::string("size=") + size + ",mode=0777";
            FMounted = ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       ::mount("tmpfs", FDir.path().toLocal8Bit().constData(), "tmpfs", 0, options.c_str()) == 0;
        }
    }
    ~TFullDisk()
    {
        Free();
        if (FMounted)
            ::umount2(FDir.path().toLocal8Bit().constData(), MNT_DETACH);
        if (FUnshared)
            ::setns(FOldNamespace, CLONE_NEWNS);
        if (FOldNamespace >= 0)
            ::close(FOldNamespace);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

    // The folder, with a trailing '/'.
    const std::string& Path() const { return FPath; }
    // A file system of its own that really runs full (else the size limit).
    bool Real() const { return FMounted; }

    // Writes a file while there is room.
    void Put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(FPath + name, std::ios::binary);
        out << bytes;
    }

    // From now on nothing more fits. On the file system of its own that means
    // no new page: a file that ends inside a page can still grow to the end
    // of that page (and an append that goes on from there breaks off).
    void Fill()
    {
        if (FMounted) {
            const int fd = ::open((FPath + ".filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            const std::string block(4096, 'f');
            while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
            }
            // Whatever room is left is smaller than a page.
            while (fd >= 0 && ::write(fd, block.data(), 1) > 0) {
            }
            if (fd >= 0)
                ::close(fd);
            return;
        }
        ::getrlimit(RLIMIT_FSIZE, &FLimit);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit tiny = FLimit;
        tiny.rlim_cur = 1;
        FLimited = ::setrlimit(RLIMIT_FSIZE, &tiny) == 0;
    }

    // Room again.
    void Free()
    {
        if (FMounted)
            ::unlink((FPath + ".filler").c_str());
        if (FLimited) {
            ::setrlimit(RLIMIT_FSIZE, &FLimit);
            std::signal(SIGXFSZ, FOldHandler);
            FLimited = false;
        }
    }

    // The files in the folder but the filler.
    int FileCount() const
    {
        QDir dir(FDir.path());
        int count = 0;
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (name != ".filler")
                ++count;
        return count;
    }

private:
    QTemporaryDir FDir;
    std::string FPath;
    int FOldNamespace = -1;
    bool FUnshared = false;
    bool FMounted = false;
    bool FLimited = false;
    struct rlimit FLimit {};
    void (*FOldHandler)(int) = SIG_DFL;
};
