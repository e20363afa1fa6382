#pragma once
// The bounded action history and the writer of the error report that is
// appended to "STATUS.LOG" in the program folder.
#include "shell/ActionHistory.h"

#include <QDateTime>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TEnvironment;

class TDebugClass {
public:
    // `environment` writes its own section of the report (may be null).
    explicit TDebugClass(TEnvironment* environment = nullptr);
    ~TDebugClass();

    // Keeps the newest 51 entries.
    void AddAction(const std::string& Action, const std::string& Description);
    // Appends one report to "STATUS.LOG" in the program folder, or in the
    // user's data folder when the program folder takes no file; gives the
    // file it wrote. The report is appended whole or not at all: when the
    // file cannot be written, EFileSaveError says which and why, the file
    // stays as it was and the history keeps the entries the report would
    // have taken out.
    std::string WriteErrorReport(const std::string& Message);
    // Where the next report goes: the program folder while the program may
    // write there.
    static std::string ReportPath();

    const std::deque<std::unique_ptr<TActionHistory>>& History() const { return FHistory; }

    // The captions of the main window's MDI child windows, in child order.
    using TWindowList = std::function<std::vector<std::string>()>;
    static void SetOpenWindows(TWindowList list);

    static constexpr const char* ReportFileName = "STATUS.LOG";
    static constexpr std::size_t MaxEntries = 51;
    static constexpr const char* ReinitMarker = "-----> Neu-Initalisierung nach Fehlerbericht --------------";

private:
    struct TSqlEntry {
        QDateTime Time;
        std::string Text;
    };
    TEnvironment* FEnvironment;
    std::deque<std::unique_ptr<TActionHistory>> FHistory;
    std::deque<TSqlEntry> FSqlHistory; // nothing adds to it; the report keeps its section
};

// The lines of a report (CR LF, Latin-1), made in memory and appended to
// the report file in one append (AppendFile: in place, whole or not at all,
// under the file's lock, which the crash line of a plug-in takes too).
class TReportText {
public:
    void Line(const std::string& utf8);
    // Raises EFileSaveError; the file then stays as it was.
    void AppendTo(const std::string& path) const;

private:
    std::string FBytes;
};
