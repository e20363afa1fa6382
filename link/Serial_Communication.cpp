#include "link/Serial_Communication.h"

#include "link/ComPortThread.h"
#include "platform/Application.h"
#include "platform/Beep.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"

#include <mutex>
#include <utility>

// ---------------------------------------------------------------- framing

namespace Serial {

namespace {
bool NeedsEscape(char c)
{
    switch (c) {
    case 0x00:
    case STX:
    case ENQ:
    case ACK:
    case CR:
    case ESC:
    case NAK: return true;
    default: return false;
    }
}
} // namespace

std::string Escape(const std::string& data)
{
    std::string wire;
    wire.reserve(data.size() + data.size() / 8 + 2);
    for (const char c : data) {
        if (NeedsEscape(c)) {
            wire += ESC;
            wire += static_cast<char>(c | 0x20);
        } else {
            wire += c;
        }
    }
    return wire;
}

std::string Unescape(const std::string& wire)
{
    std::string data;
    data.reserve(wire.size());
    for (std::size_t i = 0; i < wire.size(); ++i) {
        if (wire[i] == ESC) {
            if (++i == wire.size())
                break;
            data += static_cast<char>(static_cast<std::uint8_t>(wire[i]) - 0x20);
        } else {
            data += wire[i];
        }
    }
    return data;
}

std::uint8_t Checksum(char cmd, const std::string& escapedData)
{
    unsigned sum = static_cast<std::uint8_t>(cmd);
    for (const char c : escapedData)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(sum);
}

std::string HexByte(std::uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 0x0F]};
}

std::size_t FrameLength(const std::string& data)
{
    std::size_t length = data.size() + 6;
    for (const char c : data)
        if (NeedsEscape(c))
            ++length;
    return length;
}

std::string BuildFrame(char cmd, const std::string& data, std::uint8_t seq)
{
    const std::string escaped = Escape(data);
    std::string frame;
    frame.reserve(escaped.size() + 6);
    frame += STX;
    frame += static_cast<char>(seq);
    frame += cmd;
    frame += escaped;
    frame += HexByte(Checksum(cmd, escaped));
    frame += CR;
    return frame;
}

} // namespace Serial

using namespace Serial;

void ReportComError(const std::string& step, int error)
{
    PostMessageBox(step + ":" + "\r" + SysErrorMessage(error), "Fehler", MB_OK);
}

// -------------------------------------------------------- TReceiveBacklog

bool TReceiveBacklog::TryAdd()
{
    // Only the port thread adds, so the count cannot pass Max between the
    // look and the addition. Asking for room before looking again means a
    // window thread that takes the last message meanwhile either sees the
    // request or leaves the room that the second look finds.
    if (FCount.load() >= Max) {
        FWantsRoom.store(true);
        if (FCount.load() >= Max)
            return false;
    }
    const int count = FCount.fetch_add(1) + 1;
    int peak = FPeak.load();
    while (count > peak && !FPeak.compare_exchange_weak(peak, count)) {
    }
    return true;
}

bool TReceiveBacklog::Take()
{
    int count = FCount.load();
    while (count > 0 && !FCount.compare_exchange_weak(count, count - 1)) {
    }
    return count - 1 <= Resume && FWantsRoom.exchange(false);
}

// ------------------------------------------------------------ TComControl

TComControl::TComControl(TComInterface* owner, std::uint16_t portNumber, std::unique_ptr<TComPortIo> io)
    : FOwner(owner),
      FPortNumber(portNumber),
      FMsgComSend(RegisterWindowMessage("ComSend")),
      FMsgComReceive(RegisterWindowMessage("ComReceive")),
      FMsgComVerbStatus(RegisterWindowMessage("ComVerbStatus")),
      FMsgComStatus(RegisterWindowMessage("ComStatus")),
      FMsgComRoom(RegisterWindowMessage("ComReceiveRoom")),
      FIo(std::move(io))
{
}

TComControl::~TComControl()
{
    FIo->Stop();
    FSendQueue.clear();
}

bool TComControl::PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block)
{
    return FIo->PostThreadMessage(msg, wParam, std::move(block));
}

void TComControl::ReportLinkState(bool up)
{
    if (FLinkState.Put(up))
        PostToInterface(FMsgComVerbStatus, up ? 1 : 0);
}

void TComControl::HandleThreadMessage(TThreadMessage& message)
{
    if (message.Msg == FMsgComSend) {
        QueueFrame(message.WParam, std::move(message.Block));
    } else if (message.Msg == FMsgComStatus) {
        FStatus = (FStatus & 0xFFFFu) | (static_cast<std::uint32_t>(message.WParam) & 0xFFFF0000u);
        StatusChanged(FStatus);
    } else if (message.Msg == FMsgComRoom) {
        ReceiveRoom();
    }
}

void TComControl::ResetLink(bool /*up*/)
{
    FFrameInFlight = false;
    FSendQueue.clear();
}

void TComControl::WriteRaw(const std::string& bytes)
{
    // The whole frame goes out: a frame cut short could never pass the
    // device's checksum and would only cost three repeats and the link.
    FIo->Write(bytes);
}

// ---------------------------------------------------------- TMyComControl

TMyComControl::TMyComControl(TComInterface* owner, std::uint16_t portNumber, std::unique_ptr<TComPortIo> io)
    : TComControl(owner, portNumber, std::move(io))
{
    ResetLink(false); // the link starts down, and says so
    FPlainAck = true;
    StartTimer(TimerPoll, PollMs);
    StartThread();
}

TMyComControl::~TMyComControl()
{
    // The thread works on this object's state: it ends before the state does.
    StopThread();
    StopTimer(TimerPoll);
    StopTimer(TimerAnswer);
    StopTimer(TimerSupervision);
}

void TMyComControl::QueueFrame(std::uintptr_t param, std::unique_ptr<std::string> block)
{
    const char cmd = static_cast<char>(param & 0xFF);
    const std::size_t length = param >> 16;
    std::string data;
    if (block)
        data = block->substr(0, length);
    block.reset();
    FSendQueue.push_back(BuildFrame(cmd, data));
    SendNext();
}

void TMyComControl::SendNext()
{
    if (!FFrameInFlight) {
        FBeepPending = false;
        if (FCurrentFrame.size() <= 1)
            FCurrentFrame.clear(); // a poll byte is not repeated
        if (!FCurrentFrame.empty() && FRepeatCounter > 2)
            ResetLink(false); // written three times without success
        if (FLinkDown) {
            FCurrentFrame.clear();
            while (!FSendQueue.empty() && FSendQueue.front() != std::string(1, ENQ))
                FSendQueue.pop_front();
        }
        if (FCurrentFrame.empty() && !FSendQueue.empty()) {
            FCurrentFrame = FSendQueue.front();
            FRepeatCounter = 0;
            if (FCurrentFrame.size() > 1) {
                FCurrentFrame[1] = static_cast<char>(OwnSequence());
                if (FAcknowledgedNumber == FSendNumber)
                    FSendNumber = (FSendNumber + 1) % 8;
                else
                    FCurrentFrame.clear(); // waits until the peer took our previous frame
            }
            if (!FCurrentFrame.empty())
                FSendQueue.pop_front();
        } else if (FCurrentFrame.size() > 1) {
            FCurrentFrame[1] = static_cast<char>((FCurrentFrame[1] & 0xF0) | FReceiveNumber);
        }
        if (!FCurrentFrame.empty()) {
            const std::string frame = FCurrentFrame;
            WriteRaw(frame);
            StartTimer(TimerAnswer, AnswerMs);
            StartTimer(TimerPoll, PollMs);
            if (frame.size() > 1) {
                FFrameInFlight = true;
                const char cmd = frame[2];
                if (FBeepOption && cmd == 0x4A)
                    FBeepPending = true;
                if (cmd == 0x4B) {
                    FSendNumber = 0;
                    FReceiveNumber = 0;
                    FAcknowledgedNumber = 0;
                }
            }
        }
    }
    // Watermark of the send queue.
    bool changed = false;
    if ((FStatus & StatusQueueFull) && FSendQueue.size() < 7) {
        FStatus &= ~StatusQueueFull;
        changed = true;
    } else if (!(FStatus & StatusQueueFull) && FSendQueue.size() > 13) {
        FStatus |= StatusQueueFull;
        changed = true;
    }
    if (changed)
        PostToInterface(MsgComStatus(), FStatus);
}

void TMyComControl::WriteAnswer(bool positive)
{
    std::string answer{STX, static_cast<char>(OwnSequence())};
    if (!positive)
        answer += NAK;
    else if (FPlainAck)
        answer += ACK;
    else
        answer += std::string{BEL, ACK};
    WriteRaw(answer);
}

bool TMyComControl::AwaitsAnswer() const
{
    // After command K both sides number afresh, whatever the answer says.
    return FFrameInFlight && FAcknowledgedNumber != FSendNumber && FCurrentFrame.size() > 2 &&
           FCurrentFrame[2] != 0x4B;
}

void TMyComControl::EndFrameInFlight()
{
    StopTimer(TimerAnswer);
    FCurrentFrame.clear();
    FFrameInFlight = false;
}

void TMyComControl::BytesReceived(const std::string& bytes)
{
    for (const char b : bytes) {
        if (FReceiveBuffer.size() == 1 && FReceiveBuffer[0] == STX) {
            // The sequence byte: its low bits are the peer's receive number.
            FAcknowledgedNumber = static_cast<std::uint8_t>(b) & 7;
            FReceiveBuffer += b;
        } else if (b == ENQ) {
            WriteRaw(std::string{STX, 0x00, ACK});
            ResetLink(true);
            // A link that a device's ENQ brought up is watched like any other:
            // a device that falls silent right after it takes the link down.
            StartTimer(TimerSupervision, SupervisionMs);
        } else if (b == ACK) {
            if (FLinkDown) {
                ResetLink(true);
            } else if (AwaitsAnswer()) {
                // An answer that does not take our frame (the peer's answer to
                // an earlier poll): the frame stays in flight and is repeated
                // if its own answer does not come.
                FReceiveBuffer.clear();
            } else {
                if (FBeepPending)
                    MessageBeep(MB_BEEP_OK);
                EndFrameInFlight();
                if (FAcknowledgedNumber == FSendNumber)
                    SendNext();
                FReceiveBuffer.clear();
            }
            StartTimer(TimerSupervision, SupervisionMs);
        } else if (b == CR) {
            if (!FLinkDown) {
                if (FReceiveBuffer.size() > 1) {
                    // STX, seq, command, data..., two checksum digits. A frame
                    // too short to hold a command byte is refused like a bad sum,
                    // and so is one that lost its STX: bytes after line noise
                    // whose last two happen to match their sum are no message.
                    const std::size_t n = FReceiveBuffer.size();
                    bool good = n >= 5 && FReceiveBuffer[0] == STX;
                    if (good) {
                        const std::string body = FReceiveBuffer.substr(2, n - 4);
                        const std::uint8_t sum = Checksum(body[0], body.substr(1));
                        good = HexByte(sum) == FReceiveBuffer.substr(n - 2);
                    }
                    if (!good) {
                        WriteAnswer(false);
                    } else if (((static_cast<std::uint8_t>(FReceiveBuffer[1]) >> 4) & 0x0F) == FReceiveNumber) {
                        if (Backlog().TryAdd()) {
                            FFrameRefused = false;
                            FReceiveNumber = (FReceiveNumber + 1) % 8;
                            WriteAnswer(true);
                            DeliverFrame(FReceiveBuffer.substr(2, n - 4));
                        } else {
                            // The window thread has not taken what came
                            // before: no answer, the device keeps the frame.
                            FFrameRefused = true;
                        }
                    } else {
                        WriteAnswer(true); // a repeat of a frame we already took
                    }
                    // The peer's frame ends ours only when it shows that the
                    // peer took ours; a frame that crossed ours on the line
                    // leaves it in flight, to be repeated if it got lost.
                    if (!AwaitsAnswer()) {
                        EndFrameInFlight();
                        SendNext();
                    }
                } else if (FAcknowledgedNumber == FSendNumber) {
                    WriteAnswer(true); // the peer's poll
                }
            }
            FReceiveBuffer.clear();
            StartTimer(TimerSupervision, SupervisionMs);
        } else if (b == NAK) {
            StopTimer(TimerAnswer);
            FReceiveBuffer.clear();
            if (!FLinkDown) {
                ++FRepeatCounter;
                FFrameInFlight = false;
                SendNext();
            }
            StartTimer(TimerSupervision, SupervisionMs);
        } else if (FReceiveBuffer.size() < ReceiveBufferMax) {
            FReceiveBuffer += b;
        }
    }
}

void TMyComControl::DeliverFrame(const std::string& frame)
{
    if (frame.empty())
        return;
    const char cmd = frame[0];
    std::string data = Unescape(frame.substr(1));
    const std::uintptr_t param = (static_cast<std::uintptr_t>(data.size()) << 16) | static_cast<std::uint8_t>(cmd);
    std::unique_ptr<std::string> block;
    if (!data.empty())
        block = std::make_unique<std::string>(std::move(data));
    PostToInterface(MsgComReceive(), param, std::move(block));
}

void TMyComControl::ReceiveRoom()
{
    // The device waits for the answer to the frame that was refused, or has
    // given it up: a NAK makes it repeat whatever it has in flight now.
    if (!FFrameRefused || FLinkDown)
        return;
    FFrameRefused = false;
    WriteAnswer(false);
}

void TMyComControl::ResetLink(bool up)
{
    TComControl::ResetLink(up);
    FFrameRefused = false;
    FCurrentFrame.clear();
    FReceiveBuffer.clear();
    FBeepPending = false;
    FSendNumber = 0;
    FReceiveNumber = 0;
    FAcknowledgedNumber = 0;
    if (FStatus & StatusQueueFull) {
        FStatus &= ~StatusQueueFull;
        PostToInterface(MsgComStatus(), FStatus);
    }
    FLinkDown = !up;
    ReportLinkState(up);
    if (!up)
        StopTimer(TimerSupervision);
}

void TMyComControl::TimerHandler(int id)
{
    switch (id) {
    case TimerSupervision: ResetLink(false); break;
    case TimerAnswer:
        ++FRepeatCounter;
        FFrameInFlight = false;
        SendNext();
        break;
    case TimerPoll:
        FSendQueue.push_back(std::string(1, FLinkDown ? ENQ : CR));
        SendNext();
        break;
    default: break;
    }
}

void TMyComControl::LineError(std::uint32_t /*errors*/)
{
    StopTimer(TimerAnswer);
    FReceiveBuffer.clear();
    if (!FLinkDown) {
        FFrameInFlight = false;
        SendNext();
    }
    StartTimer(TimerSupervision, SupervisionMs);
}

void TMyComControl::StatusChanged(std::uint32_t status)
{
    FBeepOption = (status & OptionBeepOnJ) != 0;
    FPlainAck = (status & OptionPlainAck) != 0;
}

// ---------------------------------------------------------- TComInterface

TComInterface::TComInterface() : FWindow(std::make_unique<TMessageWindow>())
{
    FWindow->SetHandler([this](TMessage& m) { WndProc(m); });
}

TComInterface::~TComInterface()
{
    *FAlive = false;
    FreePortThread();
    FWindow.reset();
}

void TComInterface::FreePortThread()
{
    if (!FComControl)
        return;
    FStateDeferred = false; // the old thread's state is void
    FComControl.reset();
    // What the old thread posted and nobody handled yet is void now.
    FWindow->RemovePostedMessages();
}

void TComInterface::SetOpen(bool value)
{
    FreePortThread();
    FOpen = value;
}

bool TComInterface::Send(TObject* /*Sender*/, char Cmd, const std::string& Data)
{
    if (!FComControl)
        return false;
    // A frame cut to what the device takes could only fail its checksum three
    // times and take the link down: such a message does not go out at all.
    if (FrameLength(Data) > MaxFrameLength)
        return false;
    try {
        std::unique_ptr<std::string> block;
        if (!Data.empty())
            block = std::make_unique<std::string>(Data);
        const std::uintptr_t param = (static_cast<std::uintptr_t>(Data.size()) << 16) | static_cast<std::uint8_t>(Cmd);
        FComControl->PostThreadMessage(FComControl->MsgComSend(), param, std::move(block));
        if (FOnDebugSendData)
            FOnDebugSendData(std::string(1, Cmd) + Data); // the whole message, as received ones are shown
        return true;
    } catch (...) {
        return false;
    }
}

void TComInterface::PostStatusToThread()
{
    if (FComControl)
        FComControl->PostThreadMessage(FComControl->MsgComStatus(), FStatus);
}

void TComInterface::SetStatusBits(std::uint32_t Bits)
{
    const std::uint32_t high = Bits & 0xFFFF0000u;
    if ((FStatus & high) == high)
        return;
    FStatus |= high;
    PostStatusToThread();
}

void TComInterface::ClearStatusBits(std::uint32_t Bits)
{
    const std::uint32_t high = Bits & 0xFFFF0000u;
    if ((FStatus & high) == 0)
        return;
    FStatus &= ~high;
    PostStatusToThread();
}

void TComInterface::WndProc(TMessage& message)
{
    if (!FComControl)
        return;
    if (message.Msg == FComControl->MsgComReceive()) {
        // The program is ending (SIGTERM): what still waits is dropped, so a
        // device that floods the link cannot hold the end up.
        if (EndRequested())
            return;
        if (FComControl->Backlog().Take())
            FComControl->PostThreadMessage(FComControl->MsgComRoom(), 0);
        const std::size_t length = message.WParam >> 16;
        const char cmd = static_cast<char>(message.WParam & 0xFF);
        if (!message.Block) {
            // No data: no monitor copy, and a failing handler reaches the GUI loop.
            if (FOnReceive)
                FOnReceive(this, cmd, std::string());
            return;
        }
        const std::string data = message.Block->substr(0, length);
        message.Block.reset();
        const std::shared_ptr<bool> alive = FAlive;
        ++FReceiving;
        if (FReceiving > 100 && FReady) {
            FReady = false;
            SetStatusBits(OptionPlainAck);
        } else if (FReceiving < 50 && !FReady) {
            FReady = true;
            ClearStatusBits(OptionPlainAck);
        }
        try {
            // The monitor's copy first: a receive handler that lets the GUI
            // process its pending messages (the radio plug-in does, for each
            // slot telegram) handles the next messages inside this one, and
            // their rows would otherwise stand above this one's.
            if (FOnDebugReceiveData)
                FOnDebugReceiveData(std::string(1, cmd) + data);
            // A handler may have closed the link and freed this object.
            if (*alive && FOnReceive)
                FOnReceive(this, cmd, data);
        } catch (...) {
            MessageBeep(MB_BEEP_OK);
        }
        if (*alive)
            --FReceiving;
    } else if (message.Msg == FComControl->MsgComVerbStatus()) {
        // The program is ending: nobody needs the link's state any more.
        if (EndRequested())
            return;
        // A handler that lets the window system run a pass (a plug-in that
        // sends at once when the link comes) would handle the next report
        // inside this one, and a device that resets the link without end
        // would nest them until the stack is gone. The report waits instead,
        // taking the newer states, until the current one has returned.
        if (FReportingState) {
            FStateDeferred = true;
            return;
        }
        RaiseVerbindungChange(FComControl->LinkState().Take().value_or(message.WParam == 1));
    } else if (message.Msg == FComControl->MsgComStatus()) {
        FStatus = (FStatus & 0xFFFF0000u) | (static_cast<std::uint32_t>(message.WParam) & 0xFFFFu);
        if (FOnStatusChange)
            FOnStatusChange(this, static_cast<std::int32_t>(FStatus));
    }
}

void TComInterface::RaiseVerbindungChange(bool up)
{
    FVerbindung_ok = up;
    if (!FOnVerbindungChange)
        return;
    // Once the handler has returned, a report that came meanwhile is posted
    // again, behind whatever else waits for the window thread.
    struct TReporting {
        explicit TReporting(TComInterface& link) : Link(link), Alive(link.FAlive) { Link.FReportingState = true; }
        ~TReporting()
        {
            if (!*Alive)
                return; // the handler freed the link
            Link.FReportingState = false;
            if (!std::exchange(Link.FStateDeferred, false) || !Link.FComControl)
                return;
            RunWithoutRaising("TComInterface.WndProc", [this] {
                TMessageWindow::PostMessage(Link.Handle(), Link.FComControl->MsgComVerbStatus(),
                                            Link.FVerbindung_ok ? 1 : 0, 0);
            });
        }
        TComInterface& Link;
        const std::shared_ptr<bool> Alive;
    } reporting(*this);
    FOnVerbindungChange(this, up);
}

// -------------------------------------------------------- TMyComInterface

namespace {
std::mutex gFactoryLock;
TMyComInterface::TIoFactory gFactory;
} // namespace

void TMyComInterface::SetIoFactory(TIoFactory factory)
{
    std::lock_guard guard(gFactoryLock);
    gFactory = std::move(factory);
}

void TMyComInterface::SetOpen(bool value)
{
    TComInterface::SetOpen(value);
    if (!value || PortNumber() == 0)
        return;
    std::unique_ptr<TComPortIo> io;
    {
        std::lock_guard guard(gFactoryLock);
        if (gFactory)
            io = gFactory(Handle(), PortNumber());
    }
    if (!io)
        io = std::make_unique<TComPortThread>(Handle(), PortNumber());
    FComControl = std::make_unique<TMyComControl>(this, PortNumber(), std::move(io));
}
