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
    const std::string& FileName() const noexcept { return FFileName; }
    // The system's error number (errno) and its text.
    int ErrorCode() const noexcept { return FErrorCode; }
    std::string Reason() const;

private:
    std::string FFileName;
    int FErrorCode;
};

// Saves `bytes` as the file `path`. A link is followed (the file it points at
// is replaced and the link stays); a file that is write-protected, or a folder
// where the file should be, is refused. A replaced file keeps its permissions.
// A device or a pipe is not replaced: the bytes are written to it, each write
// checked.
void SaveFile(const std::string& path, std::string_view bytes);

// Appends `bytes` to the file `path`: the file's content followed by the
// bytes, saved as SaveFile saves. A missing file is created; a file that
// cannot be read is refused and stays as it is.
void AppendFile(const std::string& path, std::string_view bytes);
