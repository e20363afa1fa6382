#pragma once
// The files a person picks in a file dialog: a parameter set to load or to
// save, the communication log, a firmware file. Whatever the name says, the
// file may be a pipe, a device, a socket or a folder; opening a pipe to read
// waits for a writer, and reading a device may never end. Such a file is
// refused at once with a message that says what it is, and nothing here ever
// waits: a picked file is opened without waiting and looked at before a
// byte is read or written.
#include "platform/Exception.h"

#include <string>
#include <string_view>

// The picked file `path` opened to read, a regular file. Refused (raising
// EInOutError: "Could not open "<path>": it is a named pipe, not a regular
// file.", or the system's reason when it cannot be opened) before any byte is
// read.
class TPickedFile {
public:
    explicit TPickedFile(const std::string& path);
    ~TPickedFile();
    TPickedFile(const TPickedFile&) = delete;
    TPickedFile& operator=(const TPickedFile&) = delete;

    // The whole file.
    std::string ReadAll();

private:
    std::string FPath;
    int FFd = -1;
};

// The picked file's bytes: TPickedFile(path).ReadAll().
std::string ReadPickedFile(const std::string& path);

// Saves `bytes` as the picked file `path` through SaveFile (platform/FileSave.h).
// A file of that name that is there and no regular file is refused
// (EFileSaveError naming it: "Could not save "<path>": it is a named pipe,
// not a regular file.") and stays as it is; a link is followed as SaveFile
// follows it.
void SavePickedFile(const std::string& path, std::string_view bytes);
