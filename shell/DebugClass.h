#pragma once
// The bounded action history and the writer of the error report that is
// appended to "STATUS.LOG" in the program folder.
#include "shell/ActionHistory.h"

#include <QDateTime>

#include <cstdio>
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
    // file it wrote. Raises EInOutError when neither can be opened or a line
    // could not be written: a report is complete or it is said to be not.
    std::string WriteErrorReport(const std::string& Message);
    // Where the next report goes (the file is opened and closed to see).
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

// Appends lines (CR LF, Latin-1) to a report file. Opening fails with
// EInOutError; after a failed write the rest is skipped and Close raises.
class TReportFile {
public:
    explicit TReportFile(const std::string& path);
    ~TReportFile();
    void Line(const std::string& utf8);
    // Closes the file; raises EInOutError when anything could not be written.
    void Close();

private:
    std::string FPath;
    std::FILE* FFile = nullptr;
    int FError = 0;
};
