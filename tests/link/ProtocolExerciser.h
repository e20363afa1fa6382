#pragma once
// Drives the frame protocol in virtual time from a stream of operation bytes
// (bytes received, timer expiries, sends, line errors, option changes) and
// checks after every step what must hold whatever the line brought: the state
// stays in range, the link keeps polling and supervising, what the main thread
// was told matches the state, and every write is a well-formed frame or answer
// that carries, unchanged and in order, a message that was handed to the link.
// CheckRecovery then shows that a device that starts afresh gets a working
// link. Used by the bad-input tests and by the fuzz target of the receive path.
#include "tests/link/VirtualComIo.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TProtocolExerciser {
public:
    TProtocolExerciser()
    {
        auto io = std::make_unique<TVirtualComIo>();
        FIo = io.get();
        FControl = std::make_unique<TMyComControl>(nullptr, 1, std::move(io));
    }

    TMyComControl& Control() { return *FControl; }
    TVirtualComIo& Io() { return *FIo; }

    // Operation bytes: the high three bits choose the operation, the low five
    // are its argument; some operations take further bytes.
    //   0 received bytes: the next arg+1 bytes as they are
    //   1 time passes: (arg+1) * 250 ms
    //   2 the main thread sends: command byte, pattern seed; arg*9 data bytes
    //   3 the peer sends a well-formed frame: sequence byte, command byte,
    //     pattern seed; arg*4 data bytes
    //   4 the peer answers: sequence byte; arg&3 = ACK, NAK, BEL ACK, ENQ
    //   5 one control byte alone: STX ENQ ACK BEL CR escape NAK 00 (arg&7)
    //   6 a line error (the arg's bits as error flags)
    //   7 the main thread's options (arg bit 0: beep on J, bit 1: plain ACK)
    // Returns the first rule broken, or empty.
    std::string Run(std::string_view ops)
    {
        std::size_t at = 0;
        auto next = [&]() -> std::uint8_t { return at < ops.size() ? static_cast<std::uint8_t>(ops[at++]) : 0; };
        while (at < ops.size()) {
            const std::uint8_t op = next();
            const unsigned arg = op & 0x1F;
            switch (op >> 5) {
            case 0: {
                const std::size_t n = std::min<std::size_t>(arg + 1, ops.size() - at);
                Feed(std::string(ops.substr(at, n)));
                at += n;
                break;
            }
            case 1: Advance((arg + 1) * 250); break;
            case 2: {
                const char cmd = static_cast<char>(next());
                Queue(cmd, Pattern(next(), arg * 9));
                break;
            }
            case 3: {
                const std::uint8_t seq = next();
                const char cmd = static_cast<char>(next());
                Feed(Serial::BuildFrame(cmd, Pattern(next(), arg * 4), seq));
                break;
            }
            case 4: {
                const std::string head{Serial::STX, static_cast<char>(next())};
                static const std::string tails[] = {
                    {Serial::ACK}, {Serial::NAK}, {Serial::BEL, Serial::ACK}, {Serial::ENQ}};
                Feed(head + tails[arg & 3]);
                break;
            }
            case 5: {
                static const char controls[] = {Serial::STX, Serial::ENQ, Serial::ACK, Serial::BEL,
                                                Serial::CR,  Serial::ESC, Serial::NAK, 0x00};
                Feed(std::string(1, controls[arg & 7]));
                break;
            }
            case 6: LineError(arg); break;
            case 7:
                Options(((arg & 1) ? Serial::OptionBeepOnJ : 0u) | ((arg & 2) ? Serial::OptionPlainAck : 0u));
                break;
            }
            if (std::string broken = Check(); !broken.empty())
                return broken;
        }
        return {};
    }

    void Feed(const std::string& bytes) { FControl->HandleBytes(bytes); }
    void Advance(unsigned ms) { FIo->Advance(ms); }
    void LineError(std::uint32_t errors) { FControl->HandleLineError(errors); }
    void Queue(char cmd, const std::string& data)
    {
        FQueued.emplace_back(cmd, data);
        TThreadMessage m;
        m.Msg = FControl->MsgComSend();
        m.WParam = (static_cast<std::uintptr_t>(data.size()) << 16) | static_cast<std::uint8_t>(cmd);
        if (!data.empty())
            m.Block = std::make_unique<std::string>(data);
        FControl->HandleThreadMessage(m);
    }
    void Options(std::uint32_t bits)
    {
        TThreadMessage m;
        m.Msg = FControl->MsgComStatus();
        m.WParam = bits;
        FControl->HandleThreadMessage(m);
    }

    // The rules of the state, and every write and post since the last call.
    std::string Check()
    {
        const TMyComControl& c = *FControl;
        if (c.SendNumber() > 7 || c.ReceiveNumber() > 7 || c.AcknowledgedNumber() > 7)
            return "sequence number out of range";
        if (c.ReceiveBuffer().size() > TMyComControl::ReceiveBufferMax)
            return "receive buffer past its limit";
        if (!FIo->TimerRunning(Serial::TimerPoll))
            return "the poll timer stopped";
        if (c.LinkDown() && (!c.SendQueue().empty() || c.FrameInFlight()))
            return "link down with frames queued or in flight";
        if (!c.LinkDown() && !FIo->TimerRunning(Serial::TimerSupervision))
            return "link up without supervision";
        if (c.FrameInFlight() && (c.CurrentFrame().size() <= 1 || !FIo->TimerRunning(Serial::TimerAnswer)))
            return "frame in flight without its answer timer";
        for (; FPostsSeen < FIo->Posts.size(); ++FPostsSeen) {
            const TVirtualComIo::TPost& p = FIo->Posts[FPostsSeen];
            if (p.Msg == c.MsgComVerbStatus()) {
                if (p.WParam > 1)
                    return "link state report neither up nor down";
                FReportedUp = p.WParam == 1;
            } else if (p.Msg == c.MsgComStatus()) {
                FReportedFull = (p.WParam & Serial::StatusQueueFull) != 0;
            } else if (p.Msg == c.MsgComReceive()) {
                const std::size_t length = p.WParam >> 16;
                if (p.Block.has_value() != (length > 0) || (p.Block && p.Block->size() != length))
                    return "received message whose length and data differ";
            } else {
                return "unknown message posted";
            }
        }
        if (FReportedUp == c.LinkDown())
            return "link state reported differs from the state";
        if (FReportedFull != ((c.Status() & Serial::StatusQueueFull) != 0))
            return "queue full bit reported differs from the status word";
        for (const std::string& w : FIo->Writes)
            if (std::string broken = CheckWrite(w); !broken.empty())
                return broken + ": " + Hex(w);
        FIo->Writes.clear();
        return {};
    }

    // A device that starts afresh: the link comes up on its ENQ, takes its
    // frame and sends the next message with the right numbers.
    std::string CheckRecovery()
    {
        using namespace Serial;
        if (std::string broken = Check(); !broken.empty())
            return broken;
        Options(OptionPlainAck);
        Feed(std::string(1, CR)); // ends whatever half frame the buffer holds
        if (std::string broken = Check(); !broken.empty())
            return broken;
        FIo->TakeWritten();
        Feed(std::string(1, ENQ));
        if (FIo->TakeWritten() != std::string{STX, 0x00, ACK} || FControl->LinkDown())
            return "no link after the device's ENQ";
        const std::size_t posts = FIo->Posts.size();
        Feed(BuildFrame('r', "recovered", 0x00));
        if (FIo->TakeWritten() != std::string{STX, 0x01, ACK})
            return "the device's first frame was not acknowledged";
        bool delivered = false;
        for (std::size_t i = posts; i < FIo->Posts.size(); ++i)
            if (FIo->Posts[i].Msg == FControl->MsgComReceive())
                delivered = FIo->Posts[i].WParam == ((9u << 16) | 'r') && FIo->Posts[i].Block == "recovered";
        if (!delivered)
            return "the device's first frame was not delivered";
        Queue('s', "still works");
        if (FIo->TakeWritten() != BuildFrame('s', "still works", 0x01))
            return "the next message did not go out";
        return Check();
    }

    // Data bytes made from a seed; every value turns up, the escaped ones too.
    static std::string Pattern(std::uint8_t seed, std::size_t length)
    {
        std::string data(length, '\0');
        for (std::size_t i = 0; i < length; ++i)
            data[i] = static_cast<char>(seed * (i + 1) + (i >> 3));
        return data;
    }

    static std::string Hex(const std::string& bytes)
    {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (const char b : bytes.substr(0, 64)) {
            out += digits[static_cast<std::uint8_t>(b) >> 4];
            out += digits[b & 0x0F];
            out += ' ';
        }
        return bytes.size() > 64 ? out + "..." : out;
    }

private:
    static bool NeedsEscape(char c)
    {
        using namespace Serial;
        return c == 0x00 || c == STX || c == ENQ || c == ACK || c == CR || c == ESC || c == NAK;
    }

    std::string CheckWrite(const std::string& w)
    {
        using namespace Serial;
        if (w.size() == 1)
            return (w[0] == ENQ || w[0] == CR) ? std::string() : "single byte that is no poll";
        if (w.empty() || w[0] != STX)
            return "write that starts without STX";
        const auto seq = static_cast<std::uint8_t>(w[1]);
        if ((seq >> 4) > 7 || (seq & 0x0F) > 7)
            return "sequence byte out of range";
        if (w.size() == 3)
            return (w[2] == ACK || w[2] == NAK) ? std::string() : "three bytes that are no answer";
        if (w.size() == 4)
            return (w[2] == BEL && w[3] == ACK) ? std::string() : "four bytes that are no answer";
        if (w.size() < 6 || w.back() != CR)
            return "data frame without its end";
        const char cmd = w[2];
        const std::string escaped = w.substr(3, w.size() - 6);
        if (w.substr(w.size() - 3, 2) != HexByte(Checksum(cmd, escaped)))
            return "data frame with a wrong checksum";
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            if (escaped[i] == ESC) {
                if (i + 1 == escaped.size() || !NeedsEscape(static_cast<char>(escaped[i + 1] - 0x20)) ||
                    (escaped[i + 1] & 0x20) == 0)
                    return "data frame with a broken escape";
                ++i;
            } else if (NeedsEscape(escaped[i])) {
                return "data frame with an unescaped control byte";
            }
        }
        // The message handed to the link, whole: a repeat of the last one
        // written, or one queued after it (those between were dropped).
        const std::pair<char, std::string> message(cmd, Unescape(escaped));
        for (std::size_t k = FLastWritten; k < FQueued.size(); ++k)
            if (FQueued[k] == message) {
                FLastWritten = k;
                return {};
            }
        return "data frame that carries no message handed to the link, or one out of order";
    }

    TVirtualComIo* FIo = nullptr;
    std::unique_ptr<TMyComControl> FControl;
    std::vector<std::pair<char, std::string>> FQueued;
    std::size_t FLastWritten = 0;
    std::size_t FPostsSeen = 0;
    bool FReportedUp = false;
    bool FReportedFull = false;
};
