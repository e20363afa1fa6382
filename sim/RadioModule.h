#pragma once
// A simulated analog radio module behind the host link: it sits on a framing
// peer, takes every message as one command line (command byte and data
// joined) and answers in the module's command language.
//
//   "<hex> PARAM-<KEY> !"        store a value          -> "OK." ("Huh?" when refused)
//   "FLASH-PARAM"                values into the flash   -> "OK."
//   ".PARAM"                     report                  -> "PARAM KEY=hex ..." then "OK."
//   "radiotalk-on" / "-off"      open / close the radio link -> "OK."
//   "1 rt" "0 rt" / gt / wt      terminal, GPS and IBIS traces on / off -> "OK."
//   "<ch> <tone> <sw> TEST-TONE", "<bytes> <n> <ch> FFSK-SEND" -> "OK."
// and, while the radio link is open (else "Huh?"):
//   "04 00 rc"                   32 telegrams "#r SPEICHER <slot> EMPFANG: <rx> SENDEN: <tx> LEISTUNG: <p>", then "#r OK"
//   "<slot> <tx> <rx> <p> rpc"   write a memory slot     -> "#r OK" ("#r ERROR" for a bad slot)
//   "<cmd> <value> rc"           other terminal commands -> "#r OK"
// Anything else gets "Huh?".
//
// It keeps a log of every line it received, in order, and can be told to
// misbehave as a real module may: stay silent on the text level while its
// link stays up, answer late, answer with broken replies, report values out
// of range, answer every line with the answer meant for the other kind (a
// device line with "#r OK", a radio line with "OK."), refuse every line
// ("Huh?", "#r ERROR"), or flood the host with slot telegrams as fast as the
// link takes them. Replies leave through a thread of the module's own, so a
// delay never holds up the framing peer. Every operation is thread-safe.
//
// It starts as a module set up for a customer (TRadioParams' values and
// FactorySlots()), so that reading it shows something real.
#include "sim/FramingPeer.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TRadioParams {
    std::int32_t SquelchLow = 220;
    std::int32_t SquelchHigh = 720;
    std::int32_t SquelchIndex = 3;
    std::int32_t AirLimit = 90;
    std::int32_t Project = 1; // "Linienbus"
    std::int32_t NFLevel = 16;
    std::int32_t SerialNumber = 207315;
    std::int32_t Modulation = 0;
    std::int32_t FFSKFilter = 0;
    bool operator==(const TRadioParams&) const = default;
};

struct TRadioSlot {
    std::int32_t Receive = 0;
    std::int32_t Transmit = 0;
    std::int32_t Power = 1;
    bool operator==(const TRadioSlot&) const = default;
};

struct TRadioTestTone {
    std::int32_t Channel = 0;
    std::int32_t Tone = 0;
    bool On = false;
    bool operator==(const TRadioTestTone&) const = default;
};

struct TRadioTelegram {
    std::vector<std::uint8_t> Bytes;
    std::int32_t Channel = 0;
    bool operator==(const TRadioTelegram&) const = default;
};

class TRadioModule {
public:
    using TSlots = std::array<TRadioSlot, 32>;
    // The memory slots a module starts with: 32 duplex channels on the
    // 25 kHz raster, 100 kHz apart (receive 147.275 MHz up), sending 4.6 MHz
    // above, mostly at 6 W.
    static TSlots FactorySlots();

    explicit TRadioModule(TFramingPeer& Peer);
    ~TRadioModule();
    TRadioModule(const TRadioModule&) = delete;
    TRadioModule& operator=(const TRadioModule&) = delete;

    // Every line received, as it came (LF included).
    std::vector<std::string> Log() const;
    void ClearLog(); // the replies and LinesWhileAnswering as well
    // Waits (real time) until the log holds at least `count` lines.
    bool WaitLog(std::size_t count, std::chrono::milliseconds timeout) const;
    // Every reply sent, in order.
    std::vector<std::string> Replies() const;
    // Lines that came while an answer to an earlier line had not left yet: a
    // host that waits for every answer before its next line makes none.
    unsigned LinesWhileAnswering() const;

    // The working values, the flash, and the memory slots.
    TRadioParams Params() const;
    TRadioParams Flash() const;
    unsigned FlashWrites() const;
    void SetParams(const TRadioParams& Values); // working values and flash
    TSlots Slots() const;
    void SetSlot(int Index, const TRadioSlot& Slot);

    bool RadioTalk() const;
    bool TerminalTrace() const;
    bool GPSTrace() const;
    bool IBISTrace() const;
    std::vector<TRadioTestTone> TestTones() const;
    std::vector<TRadioTelegram> Telegrams() const;

    // A trace line ("#g ...", "#w ...", "#r ..."), sent only while that trace
    // is on; whether it was sent.
    bool SendGPSLine(const std::string& Text);
    bool SendIBISLine(const std::string& Text);
    bool SendTerminalLine(const std::string& Text);

    // Faults.
    void SetSilent(bool On);                          // logs, answers nothing
    void SetReplyDelay(std::chrono::milliseconds Delay); // every reply leaves late
    void SetMalformed(bool On);                       // reports carry bad hex, slot telegrams bad fields
    void SetOutOfRange(bool On);                      // reports carry values out of range
    void SetWrongAnswers(bool On);                    // every line gets the other kind's answer
    void SetRefusing(bool On);                        // every line is refused, nothing changes
    // Slot telegrams for slots 0, 1, ... 31, 0, ... without end, each as soon
    // as the framing peer has room for it (a few frames wait there at most);
    // they are not kept in Replies. Answers to lines still go out between.
    void SetFlood(bool On);
    // Slot telegrams the flood has handed to the framing peer so far.
    std::uint64_t FloodSent() const;

    struct TCore;

private:
    std::shared_ptr<TCore> FCore;
    TFramingPeer& FPeer;
};
