#pragma once
// The serial link: a port thread that owns the COM port and runs the frame
// protocol (TComControl / TMyComControl), and its main-thread half that turns
// send requests into thread messages and the thread's posted messages into
// events in the GUI thread (TComInterface / TMyComInterface).
//
// Wire format of a data frame: STX, sequence byte (own send number in the
// high nibble, own receive number in the low), command byte, escaped data,
// two upper-case hex digits of the checksum, CR. Answers: STX seq ACK (or
// STX seq BEL ACK), STX seq NAK; ENQ is answered with STX 00 ACK.
#include "link/ComTypes.h"
#include "platform/MessageWindow.h"
#include "platform/PollLoop.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace Serial {
constexpr char STX = 0x02;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char BEL = 0x07;
constexpr char CR = 0x0D;
constexpr char ESC = 0x0F;
constexpr char NAK = 0x15;

// Timers of the protocol.
constexpr int TimerSupervision = 1; // 5000 ms without ACK, CR or NAK: link down
constexpr int TimerAnswer = 2;      // 3000 ms without an answer: repeat
constexpr int TimerPoll = 3;        // 2000 ms idle: poll
constexpr unsigned SupervisionMs = 5000;
constexpr unsigned AnswerMs = 3000;
constexpr unsigned PollMs = 2000;

// Status word: bit 0 is the port thread's (send queue full); the high word
// holds the main thread's option bits.
constexpr std::uint32_t StatusQueueFull = 0x1;
constexpr std::uint32_t OptionBeepOnJ = 0x10000;
constexpr std::uint32_t OptionPlainAck = 0x20000;

// Data bytes 00 02 05 06 0D 0F 15 go as 0F followed by the byte OR 20.
std::string Escape(const std::string& data);
// 0F x stands for x - 20, modulo 256 (an escape before a byte below 20, which
// no sender makes, gives E0..FF); a lone 0F at the end is dropped.
std::string Unescape(const std::string& wire);
// Sum modulo 256 of the command byte and the escaped data as on the wire.
std::uint8_t Checksum(char cmd, const std::string& escapedData);
// Two upper-case hex digits.
std::string HexByte(std::uint8_t value);
// A whole data frame with sequence byte `seq`.
std::string BuildFrame(char cmd, const std::string& data, std::uint8_t seq = 0);
// The length of the whole data frame for `data`: STX, sequence byte, command
// byte, the escaped data, two checksum digits, CR.
std::size_t FrameLength(const std::string& data);
// The longest frame the link sends. The device takes no more in one frame; a
// longer message is refused when it is handed to the link.
constexpr std::size_t MaxFrameLength = 255;
} // namespace Serial

class TComControl;
class TComInterface;

// The received messages that the port thread has posted to the window thread
// and the window thread has not taken yet. The port thread adds one for each
// message it delivers, the window thread takes one for each it handles. When
// the backlog is full the port thread answers no new frame: the device keeps
// its frame and repeats it by its own rules, so nothing that was acknowledged
// is ever dropped and a flooding device is held back at the rate at which the
// window thread handles what it sends. Once the window thread has worked the
// backlog down to `Resume`, it tells the port thread, which then asks the
// device with a NAK to repeat the frame it did not answer.
class TReceiveBacklog {
public:
    static constexpr int Max = 1000;
    static constexpr int Resume = 500;

    // Port thread: counts one more message if there is room for it. Without
    // room it returns false, and the window thread will say when there is.
    bool TryAdd();
    // Window thread: one message taken. True when the port thread waits for
    // room and has it now.
    bool Take();
    int Count() const { return FCount.load(); }
    // The highest count so far.
    int Peak() const { return FPeak.load(); }

private:
    std::atomic<int> FCount{0};
    std::atomic<int> FPeak{0};
    std::atomic<bool> FWantsRoom{false};
};

// The link's state on its way to the window thread. The window thread needs
// only the newest state, so at most one report waits for it: a reset while a
// report waits changes what that report says instead of adding another. A
// device that resets the link without end (ENQ after ENQ) thus costs a
// constant amount of memory, however far the window thread falls behind.
class TLinkStateReport {
public:
    // Port thread: the link is up or down now. True when no report waits, so
    // that one must be posted; false when the waiting one now says this.
    bool Put(bool up) { return FWaiting.exchange(up ? kUp : kDown) == kNone; }
    // Window thread: the newest state of the waiting report, which is taken
    // (the next Put posts again); none when no report waits.
    std::optional<bool> Take()
    {
        const int state = FWaiting.exchange(kNone);
        if (state == kNone)
            return std::nullopt;
        return state == kUp;
    }

private:
    enum : int { kNone, kDown, kUp };
    std::atomic<int> FWaiting{kNone};
};

// What a port thread stands on. The real one is a thread with its COM port
// (TComPortThread); tests drive the protocol through one in virtual time.
class TComPortIo {
public:
    virtual ~TComPortIo() = default;
    // Starts running the port thread for `control`.
    virtual void Start(TComControl& control) = 0;
    // Tells the thread to stop and waits until it has ended. Idempotent.
    virtual void Stop() = 0;
    // The port thread's one write; the bytes are written completely.
    virtual void Write(const std::string& bytes) = 0;
    virtual void StartTimer(int id, unsigned ms) = 0;
    virtual void StopTimer(int id) = 0;
    // Main thread -> port thread. False when the thread takes no more messages.
    virtual bool PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) = 0;
    // Port thread -> the interface window.
    virtual void PostToInterface(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) = 0;
};

// The port thread: the COM port, the send queue and the status word, and the
// protocol operations that the thread calls.
class TComControl : public TObject {
public:
    TComControl(TComInterface* owner, std::uint16_t portNumber, std::unique_ptr<TComPortIo> io);
    ~TComControl() override;

    std::uint16_t PortNumber() const { return FPortNumber; }
    TComInterface* Owner() const { return FOwner; }

    // The registered messages between the two halves.
    std::uint32_t MsgComSend() const { return FMsgComSend; }
    std::uint32_t MsgComReceive() const { return FMsgComReceive; }
    std::uint32_t MsgComVerbStatus() const { return FMsgComVerbStatus; }
    std::uint32_t MsgComStatus() const { return FMsgComStatus; }

    // Main thread: a thread message for the port thread.
    bool PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block = {});

    // What the port thread hands to the protocol.
    void HandleBytes(const std::string& bytes) { BytesReceived(bytes); }
    void HandleTimer(int id) { TimerHandler(id); }
    void HandleLineError(std::uint32_t errors) { LineError(errors); }
    void HandleThreadMessage(TThreadMessage& message);

    // Received messages on their way to the window thread.
    TReceiveBacklog& Backlog() { return FBacklog; }
    const TReceiveBacklog& Backlog() const { return FBacklog; }
    // The link's state on its way to the window thread.
    TLinkStateReport& LinkState() { return FLinkState; }
    // Port thread: tells the window thread that the link is up or down; a
    // report that still waits takes the new state (ComVerbStatus).
    void ReportLinkState(bool up);
    // The window thread has room for received messages again (a thread message).
    std::uint32_t MsgComRoom() const { return FMsgComRoom; }

    std::uint32_t Status() const { return FStatus; }
    std::size_t QueuedItems() const { return FSendQueue.size(); }

protected:
    // The protocol operations, in the port thread.
    virtual void TimerHandler(int id) = 0;
    virtual void ResetLink(bool up);
    virtual void BytesReceived(const std::string& bytes) = 0;
    virtual void DeliverFrame(const std::string& frame) = 0;
    virtual void SendNext() = 0;
    virtual void WriteRaw(const std::string& bytes);
    virtual void QueueFrame(std::uintptr_t param, std::unique_ptr<std::string> block) = 0;
    virtual void StatusChanged(std::uint32_t status) = 0;
    virtual void LineError(std::uint32_t errors) = 0;
    // The backlog of received messages has room again.
    virtual void ReceiveRoom() {}

    void StartTimer(int id, unsigned ms) { FIo->StartTimer(id, ms); }
    void StopTimer(int id) { FIo->StopTimer(id); }
    void PostToInterface(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block = {})
    {
        FIo->PostToInterface(msg, wParam, std::move(block));
    }
    void StartThread() { FIo->Start(*this); }
    void StopThread() { FIo->Stop(); }

    std::deque<std::string> FSendQueue;
    std::uint32_t FStatus = 0;
    bool FFrameInFlight = false;

private:
    TComInterface* FOwner;
    std::uint16_t FPortNumber;
    std::uint32_t FMsgComSend, FMsgComReceive, FMsgComVerbStatus, FMsgComStatus, FMsgComRoom;
    TReceiveBacklog FBacklog;
    TLinkStateReport FLinkState;
    std::unique_ptr<TComPortIo> FIo;
};

// The frame protocol.
class TMyComControl : public TComControl {
public:
    TMyComControl(TComInterface* owner, std::uint16_t portNumber, std::unique_ptr<TComPortIo> io);
    ~TMyComControl() override;

    // The protocol state, for whoever wants to look (the port thread's own).
    bool LinkDown() const { return FLinkDown; }
    bool FrameInFlight() const { return FFrameInFlight; }
    std::uint8_t SendNumber() const { return FSendNumber; }
    std::uint8_t ReceiveNumber() const { return FReceiveNumber; }
    std::uint8_t AcknowledgedNumber() const { return FAcknowledgedNumber; }
    bool PlainAck() const { return FPlainAck; }
    std::uint16_t RepeatCounter() const { return FRepeatCounter; }
    const std::string& CurrentFrame() const { return FCurrentFrame; }
    const std::deque<std::string>& SendQueue() const { return FSendQueue; }
    const std::string& ReceiveBuffer() const { return FReceiveBuffer; }
    static constexpr std::size_t ReceiveBufferMax = 1000;

protected:
    void TimerHandler(int id) override;
    void ResetLink(bool up) override;
    void BytesReceived(const std::string& bytes) override;
    void DeliverFrame(const std::string& frame) override;
    void SendNext() override;
    void QueueFrame(std::uintptr_t param, std::unique_ptr<std::string> block) override;
    void StatusChanged(std::uint32_t status) override;
    void LineError(std::uint32_t errors) override;
    void ReceiveRoom() override;

private:
    void WriteAnswer(bool positive);
    void EndFrameInFlight();
    // Our frame is in flight and what the peer last said shows it has not
    // taken it yet.
    bool AwaitsAnswer() const;
    std::uint8_t OwnSequence() const { return static_cast<std::uint8_t>(FSendNumber * 16 + FReceiveNumber); }

    bool FLinkDown = true;
    std::string FCurrentFrame;
    std::uint16_t FRepeatCounter = 0;
    std::string FReceiveBuffer;
    bool FBeepOption = false;
    bool FBeepPending = false;
    std::uint8_t FSendNumber = 0;
    std::uint8_t FReceiveNumber = 0;
    std::uint8_t FAcknowledgedNumber = 0;
    bool FPlainAck = true;
    bool FFrameRefused = false; // a new frame went unanswered for want of room
};

// The main-thread half.
class TComInterface : public TObject {
public:
    TComInterface();
    ~TComInterface() override;

    HWND Handle() const { return FWindow->Handle(); }

    const TReceiveEvent& OnReceive() const { return FOnReceive; }
    void SetOnReceive(TReceiveEvent e) { FOnReceive = std::move(e); }
    const TVerbindungsEvent& OnVerbindungChange() const { return FOnVerbindungChange; }
    void SetOnVerbindungChange(TVerbindungsEvent e) { FOnVerbindungChange = std::move(e); }
    const TStatusEvent& OnStatusChange() const { return FOnStatusChange; }
    void SetOnStatusChange(TStatusEvent e) { FOnStatusChange = std::move(e); }
    const TDebugmessage& OnDebugSendData() const { return FOnDebugSendData; }
    void SetOnDebugSendData(TDebugmessage e) { FOnDebugSendData = std::move(e); }
    const TDebugmessage& OnDebugReceiveData() const { return FOnDebugReceiveData; }
    void SetOnDebugReceiveData(TDebugmessage e) { FOnDebugReceiveData = std::move(e); }

    std::uint16_t PortNumber() const { return FPortNumber; }
    void SetPortNumber(std::uint16_t value) { FPortNumber = value; }
    bool Open() const { return FOpen; }
    virtual void SetOpen(bool value);
    bool Verbindung_ok() const { return FVerbindung_ok; }
    void SetVerbindung_ok(bool value) { FVerbindung_ok = value; }
    std::uint32_t Status() const { return FStatus; }
    bool HasPortThread() const { return FComControl != nullptr; }
    // The received messages on their way from the port thread; none without one.
    const TReceiveBacklog* ReceiveBacklog() const { return FComControl ? &FComControl->Backlog() : nullptr; }

    // Hands a message to the port thread. False without a port thread, and
    // false for a message whose frame would be longer than MaxFrameLength:
    // it is not posted and not copied to the monitor.
    bool Send(TObject* Sender, char Cmd, const std::string& Data);
    // Option bits in the high word of `Bits`.
    void SetStatusBits(std::uint32_t Bits);
    void ClearStatusBits(std::uint32_t Bits);

protected:
    void FreePortThread();
    std::unique_ptr<TComControl> FComControl;

private:
    void WndProc(TMessage& message);
    void PostStatusToThread();
    // Raises OnVerbindungChange for the link's newest state.
    void RaiseVerbindungChange(bool up);

    std::unique_ptr<TMessageWindow> FWindow;
    TReceiveEvent FOnReceive;
    TVerbindungsEvent FOnVerbindungChange;
    TStatusEvent FOnStatusChange;
    TDebugmessage FOnDebugSendData;
    TDebugmessage FOnDebugReceiveData;
    std::uint16_t FPortNumber = 0;
    bool FOpen = false;
    bool FVerbindung_ok = false;
    std::uint32_t FStatus = 0;
    int FReceiving = 0;  // received messages being handled right now (nested)
    bool FReady = true;  // false while the main thread counts as overloaded
    bool FReportingState = false; // OnVerbindungChange runs right now
    bool FStateDeferred = false;  // a newer state waits until it has returned
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

class TMyComInterface : public TComInterface {
public:
    void SetOpen(bool value) override;

    // How a port thread is made: the real port thread unless a test installs
    // another maker (empty: the real one again).
    using TIoFactory = std::function<std::unique_ptr<TComPortIo>(HWND window, std::uint16_t portNumber)>;
    static void SetIoFactory(TIoFactory factory);
};

// A failed system call of the port thread, in a message box of its own:
// caption "Fehler", the step's name, ":", a line break, the system's text.
void ReportComError(const std::string& step, int error);
