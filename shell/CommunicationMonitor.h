#pragma once
// What the communication monitor holds and how it shows and saves it, apart
// from its widgets: two columns of rows (device to PC, PC to device) that
// always have the same number of rows, each message one row on its side and an
// empty row on the other, with the time of day it came.
#include <QDate>
#include <QTime>

#include <cstdint>
#include <string>
#include <vector>

// Every byte as two upper-case hex digits, each after a blank when asked for.
std::string BytesToHexText(const std::string& Data, bool WithBlank);
// Bytes 0x20..0x7E as they are, every other as "<" two hex digits ">".
std::string EscapeText(const std::string& Data);

class TCommunicationMonitor {
public:
    enum class TMode { Hex = 0, Ascii = 1 };
    enum class TPause { Running = 0, ByUser = 1, ForUpload = 2 };

    struct TRow {
        std::string Text;
        std::uint32_t TimeMs = 0; // milliseconds since midnight
    };

    // A message becomes a row pair in the current mode, unless the monitor is
    // hidden or paused for an upload. Received messages keep the lists at
    // 1000 rows: the oldest pair goes.
    struct TChange {
        bool Added = false;
        bool DroppedFirst = false;
    };
    TChange AddReceived(const std::string& data, std::uint32_t timeMs);
    TChange AddSent(const std::string& data, std::uint32_t timeMs);
    void Clear();

    // Rows are added but only a running monitor follows the newest one.
    bool FollowsNewest() const { return FPause == TPause::Running; }
    TPause Pause() const { return FPause; }
    void SetPause(TPause pause) { FPause = pause; }
    TMode Mode() const { return FMode; }
    void SetMode(TMode mode) { FMode = mode; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible) { FVisible = visible; }

    const std::vector<TRow>& In() const { return FIn; }
    const std::vector<TRow>& Out() const { return FOut; }

    // How many characters of a row the highlighted head takes for `bytes`
    // bytes in the current mode (may pass the text's end).
    std::size_t HeadLength(const std::string& text, int bytes) const;

    // The log file's lines, without line ends.
    std::vector<std::string> LogLines(const QDate& date, const QTime& time) const;
    // "Kommunikationsprotokoll_09-12-2026_14-05.txt"
    static std::string ProposedFileName(const QDate& date, const QTime& time);
    // Writes the log (Latin-1, CR LF) in place of `path`, whole or not at
    // all; raises EFileSaveError (an EInOutError) naming the file and why.
    void SaveLog(const std::string& path, const QDate& date, const QTime& time) const;

    static constexpr std::size_t MaxReceivedRows = 1000;

private:
    std::string RowText(const std::string& data) const;
    std::vector<TRow> FIn, FOut;
    TMode FMode = TMode::Ascii;
    TPause FPause = TPause::Running;
    bool FVisible = false;
};
