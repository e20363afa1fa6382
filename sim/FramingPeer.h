#pragma once
// The device side of the serial framing protocol on the master end of a
// pseudo-terminal. The program (or a test) opens the slave end as its COM
// port; the peer answers polls and frames, takes the program's messages and
// sends its own, one frame at a time, repeating a frame that is not answered.
//
// It can flood the program with numbered messages, or be told to misbehave: stay silent, answer every frame with NAK, send
// bad or lower-case checksums, send every frame twice, put garbage or an
// over-long frame on the line, or vanish (close the pseudo-terminal).
//
// The peer runs a thread of its own; every operation is thread-safe.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TPeerMessage {
    char Cmd = 0;
    std::string Data;
};

struct TPeerCounters {
    unsigned EnqSeen = 0;         // link requests from the program
    unsigned PollsSeen = 0;       // lone CR polls
    unsigned FramesAccepted = 0;  // data frames taken (delivered)
    unsigned DuplicatesSeen = 0;  // repeats of a frame already taken
    unsigned NaksSent = 0;        // data frames refused for their checksum
    unsigned NaksReceived = 0;    // our frames the program refused
    unsigned FramesSent = 0;      // data frames written, repeats included
    unsigned FramesAcknowledged = 0;
    unsigned FramesGivenUp = 0;   // frames dropped after the last repeat
    unsigned FloodSent = 0;       // flood messages made (each numbered, from 0)
    unsigned FloodAcknowledged = 0; // flood messages the program answered
    std::uint64_t EnqStormSent = 0; // ENQ bytes the storm wrote
};

class TFramingPeer {
public:
    // Direction of a traffic record: 'R' the peer read it, 'W' it wrote it.
    using TTrafficSink = std::function<void(char direction, const std::string& bytes)>;
    using TMessageSink = std::function<void(const TPeerMessage& message)>;

    TFramingPeer();
    ~TFramingPeer();
    TFramingPeer(const TFramingPeer&) = delete;
    TFramingPeer& operator=(const TFramingPeer&) = delete;

    // The slave end (/dev/pts/N).
    const std::string& SlavePath() const { return FSlavePath; }
    // The name to open the port by: a link to the slave end in a folder of
    // the peer's own. It goes when the peer vanishes and comes back with it,
    // so a program that opens the port again by this name finds the peer or
    // nothing, never another pseudo-terminal that got the same number since.
    const std::string& PortPath() const { return FPortPath; }

    // Queues a message for the program.
    void Send(char cmd, const std::string& data);
    // Writes bytes as they are (garbage, a broken frame).
    void SendRaw(const std::string& bytes);
    // How many of our messages wait or are in flight.
    std::size_t Pending() const;
    // Floods the program: whenever no other message waits, the next message
    // of a numbered stream goes out, as fast as the program answers them.
    // Each carries command `cmd` and `size` data bytes (at least 8): its
    // number in eight decimal digits, then 'x' up to the size.
    void StartFlood(char cmd, std::size_t size);
    void StopFlood();
    // The number of a flood message, or -1 for data of another message.
    static long FloodNumber(const std::string& data);
    // A device that resets the link without end: ENQ bytes, as fast as the
    // line takes them, or `perSecond` of them a second (evenly, every 5 ms).
    // The peer still reads and answers what comes.
    void StartEnqStorm(unsigned perSecond = 0);
    void StopEnqStorm();

    // Every message the peer took, in order.
    std::vector<TPeerMessage> Received() const;
    void ClearReceived();
    // Waits (real time) until at least `count` messages were taken.
    bool WaitReceived(std::size_t count, std::chrono::milliseconds timeout) const;
    TPeerCounters Counters() const;

    // Called in the peer's thread for each message taken / each read or write.
    void SetMessageSink(TMessageSink sink);
    void SetTrafficSink(TTrafficSink sink);

    // Faults.
    void SetSilent(bool on);            // reads and ignores everything, writes nothing
    void SetNakAll(bool on);            // refuses every data frame
    void SetBadChecksums(unsigned n);   // the next n frames written carry a wrong checksum
    void SetLowerCaseChecksum(bool on); // checksum digits in lower case
    void SetRepeatFrames(bool on);      // every acknowledged frame is sent once more
    void SetBelAck(bool on);            // answers STX seq BEL ACK instead of STX seq ACK
    void SetAnswerTimeout(std::chrono::milliseconds t); // how long a frame waits for its answer (1000 ms)

    // The peer vanishes: its port name goes, then the master end is closed.
    void ClosePty();
    // The peer comes back under the same port name on a new pseudo-terminal
    // and starts afresh, as a device that is plugged in again (a message it
    // had in flight is sent again).
    void ReopenPty();

private:
    void Wake();
    void Run();
    void HandleByte(char b, std::string& out);
    void AcceptFrame(std::string& out);
    void Answer(bool positive, std::string& out);
    void TrySend(std::string& out);
    void WriteOut(const std::string& bytes);
    // Writes the ENQ bytes that are due, without waiting for the line.
    void WriteEnqStorm(int fd);
    std::uint8_t OwnSeq() const { return static_cast<std::uint8_t>(FSendNo * 16 + FRecvNo); }

    void OpenMaster();
    void LinkPortPath();

    int FMaster = -1;
    int FWake[2] = {-1, -1};
    std::string FSlavePath;
    std::string FPortFolder;
    std::string FPortPath;
    bool FFreshLine = false; // a new line: the peer's thread starts its protocol afresh
    std::thread FThread;
    bool FStop = false;
    bool FCloseWanted = false; // ClosePty: the peer's thread closes the master end

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::deque<TPeerMessage> FOutbox;
    std::deque<std::string> FRawOut;
    std::vector<TPeerMessage> FReceived;
    TPeerCounters FCounters;
    TMessageSink FMessageSink;
    TTrafficSink FTrafficSink;

    // Faults (under FLock).
    bool FSilent = false;
    bool FNakAll = false;
    unsigned FBadChecksums = 0;
    bool FLowerCase = false;
    bool FRepeat = false;
    bool FBelAck = false;
    std::chrono::milliseconds FAnswerTimeout{1000};
    bool FFlood = false;
    char FFloodCmd = 0;
    std::size_t FFloodSize = 0;
    bool FEnqStorm = false;
    unsigned FEnqRate = 0; // a second; 0: as fast as the line takes them
    std::chrono::steady_clock::time_point FEnqStart;
    std::uint64_t FEnqStartSent = 0;

    // Protocol state (peer thread only).
    std::string FBuffer;
    std::uint8_t FSendNo = 0, FRecvNo = 0, FAckNo = 0;
    bool FInFlight = false;
    std::string FInFlightFrame;
    TPeerMessage FInFlightMessage;
    bool FInFlightIsFlood = false;
    unsigned FAttempts = 0;
    std::chrono::steady_clock::time_point FSentAt;
};
