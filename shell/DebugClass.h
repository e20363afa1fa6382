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
    // Appends one report; raises EInOutError when the file cannot be opened.
    void WriteErrorReport(const std::string& Message);

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
// EInOutError; a failed write ends the writing silently.
class TReportFile {
public:
    explicit TReportFile(const std::string& path);
    ~TReportFile();
    void Line(const std::string& utf8);

private:
    std::FILE* FFile = nullptr;
    bool FFailed = false;
};
