#pragma once
// The one way the program writes a file: the new content whole, or the old
// file untouched. The bytes go to a temporary file in the target's folder;
// every write and the final flush are checked, the file is synced to the disk
// and then renamed over the target, and the folder is synced so that the new
// name lasts. Whatever fails on the way removes the temporary file, leaves the
// target byte for byte as it was and raises EFileSaveError, whose text names
// the file and the reason in the system's words.
#include "platform/Exception.h"

#include <string>
#include <string_view>

class EFileSaveError : public EInOutError {
public:
    EFileSaveError(const std::string& fileName, int code);
    // A reason of the program's own in place of the system's text of `code`.
    EFileSaveError(const std::string& fileName, int code, const std::string& reason);
    const std::string& FileName() const noexcept { return FFileName; }
    // The system's error number (errno) and its text.
    int ErrorCode() const noexcept { return FErrorCode; }
    std::string Reason() const;

private:
    std::string FFileName;
    int FErrorCode;
    std::string FReason;
};

// Saves `bytes` as the file `path`. A link is followed (the file it points at
// is replaced and the link stays), a dangling one too: its target is made, or
// the save fails when the target's folder does not exist. A file that is
// write-protected, or a folder where the file should be, is refused. A
// replaced file keeps its permissions. A device or a pipe is not replaced:
// the bytes are written to it, each write checked; a pipe nobody reads is
// refused at once (ENXIO) instead of waiting for a reader.
// A save killed before it renamed its temporary file leaves that file beside
// the target; the next save of the same file removes it (the temporary files
// of that file's saves whose process has ended).
void SaveFile(const std::string& path, std::string_view bytes);

// Appends `bytes` at the end of the file `path`, in place, whole or not at
// all: the bytes are written after what the file holds (its old content is
// neither read nor written again, so an append costs what the bytes cost,
// whatever the file's size) and synced to the disk; a write that does not go
// through whole (a full disk) cuts the file back to its old length. A missing
// file is created, a link followed as SaveFile follows it; a write-protected
// file or a folder is refused. Every writer that appends to the file takes
// its lock (an exclusive advisory lock on the file) for the append, so
// appends of other threads and processes come whole, one after the other;
// one that finds the lock held longer than TFileLock::MaxWaitMs is refused
// (the file as it was). Where the file system takes no locks, the append goes
// on unlocked. A device or a pipe is written to as SaveFile writes to it.
// Raises EFileSaveError.
void AppendFile(const std::string& path, std::string_view bytes);

// The same append for a signal handler: nothing from the heap, nothing
// raised; the lock waited for at most `maxWaitMs`, the bytes synced to the
// disk only when `sync` says so. Gives 0, or the error number (errno) of what
// failed; EWOULDBLOCK when the lock stayed held.
int AppendInPlace(const char* path, const char* bytes, std::size_t length, int maxWaitMs, bool sync) noexcept;

// Whether `path` names a regular file (a link to one counts); false for an
// empty path.
bool FileExists(const std::string& path);

// The file that a save of `path` writes: `path` itself, or for a link the
// file at the end of its chain of links, whether that exists or not.
std::string SaveTarget(const std::string& path);

// Holds the right to rewrite a file while the program reads it and saves it
// anew, against other threads and processes that do the same (an exclusive
// advisory lock on the file, or on its folder while there is no file). A
// lock that is held elsewhere is waited for at most `MaxWaitMs`; after that,
// and where the file system takes no locks, the caller goes on unlocked
// (Locked() false) rather than not at all.
class TFileLock {
public:
    explicit TFileLock(const std::string& path);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    bool Locked() const { return FFd >= 0; }

    static constexpr int MaxWaitMs = 10000;

private:
    int FFd = -1;
};
