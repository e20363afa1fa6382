#include "sim/RadioModule.h"

#include "platform/AsciiText.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

namespace {

std::optional<std::int64_t> Hex(const std::string& text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + d;
    }
    return value;
}

std::string HexText(std::int64_t value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value) & 0xFFFFFFFFull);
    return buffer;
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

struct TStore {
    const char* Word;
    const char* Key;
    std::int32_t TRadioParams::*Field;
    std::int64_t Max;
};
const TStore Stores[] = {
    {"PARAM-SQUELCH-LOW", "SQUELCH-LOW", &TRadioParams::SquelchLow, 1023},
    {"PARAM-SQUELCH-HIGH", "SQUELCH-HIGH", &TRadioParams::SquelchHigh, 1023},
    {"PARAM-SQUELCH-INDEX", "SQUELCH-INDEX", &TRadioParams::SquelchIndex, 0xFFFF},
    {"PARAM-AIR-LIMIT", "AIR-LIMIT", &TRadioParams::AirLimit, 180},
    {"PARAM-PROJECT", "PROJECT", &TRadioParams::Project, 0xFF},
    {"PARAM-NFLEVEL", "NFLEVEL", &TRadioParams::NFLevel, 31},
    {"PARAM-SN", "SN", &TRadioParams::SerialNumber, 0x7FFFFFFF},
    {"PARAM-MODULATION", "MODULATION", &TRadioParams::Modulation, 7},
    {"PARAM-FFSK-FILTER", "FFSK-FILTER", &TRadioParams::FFSKFilter, 1},
};

} // namespace

struct TRadioModule::TCore {
    explicit TCore(TFramingPeer& peer) : Peer(peer) {}

    TFramingPeer& Peer;
    mutable std::mutex Lock;
    mutable std::condition_variable Changed;
    std::vector<std::string> Log;
    std::vector<std::string> Replies;
    TRadioParams Params;
    TRadioParams Flash;
    unsigned FlashWrites = 0;
    unsigned LinesWhileAnswering = 0;
    TSlots Slots = FactorySlots();
    bool RadioTalk = false, TerminalTrace = false, GPSTrace = false, IBISTrace = false;
    std::vector<TRadioTestTone> Tones;
    std::vector<TRadioTelegram> Telegrams;
    bool Silent = false, Malformed = false, OutOfRange = false, WrongAnswers = false, Refusing = false;
    bool Flood = false;
    std::uint64_t FloodSent = 0;
    int FloodSlot = 0;
    std::chrono::milliseconds Delay{0};

    // The sender thread.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> Outbox;
    bool Stop = false;
    std::thread Sender;

    void Start()
    {
        Sender = std::thread([this] { Run(); });
    }
    void Shutdown()
    {
        {
            std::lock_guard guard(Lock);
            Stop = true;
        }
        Changed.notify_all();
        if (Sender.joinable())
            Sender.join();
    }

    // Frames the flood keeps waiting in the framing peer, so the link never
    // runs dry and the peer's queue stays small.
    static constexpr std::size_t FloodBacklog = 16;

    // Lock held; may unlock while it hands frames to the peer.
    void FeedFlood(std::unique_lock<std::mutex>& lock)
    {
        lock.unlock();
        const std::size_t pending = Peer.Pending();
        lock.lock();
        if (pending >= FloodBacklog) {
            Changed.wait_for(lock, std::chrono::microseconds(200));
            return;
        }
        std::vector<std::string> batch;
        for (std::size_t i = pending; i < FloodBacklog; ++i) {
            batch.push_back(SlotTelegram(FloodSlot));
            FloodSlot = (FloodSlot + 1) % 32;
        }
        FloodSent += batch.size();
        lock.unlock();
        for (const std::string& text : batch)
            Peer.Send(text[0], text.substr(1));
        lock.lock();
    }

    void Run()
    {
        std::unique_lock lock(Lock);
        while (!Stop) {
            if (Outbox.empty() && Flood) {
                FeedFlood(lock);
                continue;
            }
            if (Outbox.empty()) {
                Changed.wait(lock);
                continue;
            }
            const auto due = Outbox.front().first;
            if (std::chrono::steady_clock::now() < due) {
                if (Flood)
                    FeedFlood(lock);
                else
                    Changed.wait_until(lock, due);
                continue;
            }
            const std::string text = std::move(Outbox.front().second);
            Outbox.pop_front();
            Replies.push_back(text);
            lock.unlock();
            Peer.Send(text[0], text.substr(1));
            lock.lock();
        }
    }

    // Lock held.
    void Reply(const std::string& text)
    {
        if (Silent || Stop || text.empty())
            return;
        Outbox.emplace_back(std::chrono::steady_clock::now() + Delay, text);
        Changed.notify_all();
    }

    std::string SlotTelegram(int i) const
    {
        const TRadioSlot& s = Slots[static_cast<std::size_t>(i)];
        std::string receive = std::to_string(s.Receive);
        std::int32_t power = s.Power;
        if (Malformed && i == 0)
            receive = "X" + receive;
        if (OutOfRange && i == 0)
            power = 9;
        return "#r SPEICHER " + std::to_string(i) + " EMPFANG: " + receive + " SENDEN: " + std::to_string(s.Transmit) +
               " LEISTUNG: " + std::to_string(power);
    }

    std::string ParamReport() const
    {
        std::string line = "PARAM";
        for (const TStore& store : Stores) {
            std::int64_t value = Params.*store.Field;
            if (OutOfRange && store.Field == &TRadioParams::NFLevel)
                value = 0xFF;
            if (OutOfRange && store.Field == &TRadioParams::Project)
                value = 7;
            std::string digits = HexText(value);
            if (Malformed && store.Field == &TRadioParams::NFLevel)
                digits = "X" + digits;
            line += std::string(" ") + store.Key + "=" + digits;
        }
        return line;
    }

    void HandleLine(const std::string& raw)
    {
        std::lock_guard guard(Lock);
        Log.push_back(raw);
        if (!Outbox.empty())
            ++LinesWhileAnswering;
        Changed.notify_all();
        if (raw.empty() || raw.back() != '\n') {
            Reply("Huh?");
            return;
        }
        const std::string line = raw.substr(0, raw.size() - 1);
        const std::vector<std::string> w = Words(line);
        if (w.empty()) {
            Reply("Huh?");
            return;
        }
        const std::string& last = w.back();
        const bool radioLine = last == "rpc" || SameText(last, "rc");
        if (Refusing) {
            Reply(radioLine ? "#r ERROR" : "Huh?");
            return;
        }
        if (WrongAnswers) {
            Reply(radioLine ? "OK." : "#r OK");
            return;
        }

        if (line == "FLASH-PARAM") {
            Flash = Params;
            ++FlashWrites;
            Reply("OK.");
        } else if (line == ".PARAM") {
            Reply(ParamReport());
            Reply("OK.");
        } else if (line == "radiotalk-on" || line == "radiotalk-off") {
            RadioTalk = line == "radiotalk-on";
            Reply("OK.");
        } else if (w.size() == 2 && (w[0] == "0" || w[0] == "1") && (last == "rt" || last == "gt" || last == "wt")) {
            bool& trace = last == "rt" ? TerminalTrace : last == "gt" ? GPSTrace : IBISTrace;
            trace = w[0] == "1";
            Reply("OK.");
        } else if (w.size() == 3 && last == "!") {
            HandleStore(w);
        } else if (w.size() == 4 && last == "TEST-TONE") {
            const auto ch = Hex(w[0]), tone = Hex(w[1]), sw = Hex(w[2]);
            if (!ch || !tone || !sw || *tone > 15 || *sw > 1) {
                Reply("Huh?");
                return;
            }
            Tones.push_back({static_cast<std::int32_t>(*ch), static_cast<std::int32_t>(*tone), *sw == 1});
            Reply("OK.");
        } else if (w.size() >= 4 && last == "FFSK-SEND") {
            HandleTelegram(w);
        } else if (radioLine) {
            HandleRadio(w);
        } else {
            Reply("Huh?");
        }
    }

    void HandleStore(const std::vector<std::string>& w)
    {
        const auto value = Hex(w[0]);
        for (const TStore& store : Stores) {
            if (w[1] != store.Word)
                continue;
            if (!value || *value > store.Max) {
                Reply("Huh?");
                return;
            }
            Params.*store.Field = static_cast<std::int32_t>(*value);
            Reply("OK.");
            return;
        }
        Reply("Huh?");
    }

    void HandleTelegram(const std::vector<std::string>& w)
    {
        const std::size_t n = w.size() - 3;
        const auto count = Hex(w[n]), channel = Hex(w[n + 1]);
        TRadioTelegram telegram;
        for (std::size_t i = 0; i < n; ++i) {
            const auto b = Hex(w[i]);
            if (!b || *b > 0xFF) {
                Reply("Huh?");
                return;
            }
            telegram.Bytes.push_back(static_cast<std::uint8_t>(*b));
        }
        if (!count || !channel || *count != static_cast<std::int64_t>(n)) {
            Reply("Huh?");
            return;
        }
        telegram.Channel = static_cast<std::int32_t>(*channel);
        Telegrams.push_back(std::move(telegram));
        Reply("OK.");
    }

    void HandleRadio(const std::vector<std::string>& w)
    {
        if (!RadioTalk) {
            Reply("Huh?");
            return;
        }
        if (w.back() == "rpc") {
            std::optional<std::int64_t> f[4];
            for (int i = 0; i < 4 && w.size() == 5; ++i)
                f[i] = Hex(w[static_cast<std::size_t>(i)]);
            if (w.size() != 5 || !f[0] || !f[1] || !f[2] || !f[3] || *f[0] > 31 || *f[3] > 5) {
                Reply("#r ERROR");
                return;
            }
            TRadioSlot& slot = Slots[static_cast<std::size_t>(*f[0])];
            slot.Transmit = static_cast<std::int32_t>(*f[1]);
            slot.Receive = static_cast<std::int32_t>(*f[2]);
            slot.Power = static_cast<std::int32_t>(*f[3]);
            Reply("#r OK");
            return;
        }
        const auto command = w.size() == 3 ? Hex(w[0]) : std::nullopt;
        if (!command || !Hex(w[1])) {
            Reply("#r ERROR");
            return;
        }
        if (*command == 4)
            for (int i = 0; i < 32; ++i)
                Reply(SlotTelegram(i));
        Reply("#r OK");
    }
};

TRadioModule::TSlots TRadioModule::FactorySlots()
{
    // Receive channels 1450, 1454 ... (25 kHz raster), send 184 channels
    // higher; none of them falls on a point of the 20 kHz raster as well.
    static constexpr std::int32_t Power[8] = {5, 5, 4, 5, 3, 5, 4, 2};
    TSlots table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto receive = static_cast<std::int32_t>(1450 + 4 * i);
        table[i] = {receive, receive + 184, Power[i % 8]};
    }
    return table;
}

TRadioModule::TRadioModule(TFramingPeer& Peer) : FCore(std::make_shared<TCore>(Peer)), FPeer(Peer)
{
    FCore->Start();
    // The sink holds the core, so a message that is being handled while the
    // module goes away finds it still there (and answers nothing).
    std::shared_ptr<TCore> core = FCore;
    FPeer.SetMessageSink([core](const TPeerMessage& m) { core->HandleLine(std::string(1, m.Cmd) + m.Data); });
}

TRadioModule::~TRadioModule()
{
    FPeer.SetMessageSink({});
    FCore->Shutdown();
}

std::vector<std::string> TRadioModule::Log() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Log;
}

void TRadioModule::ClearLog()
{
    std::lock_guard guard(FCore->Lock);
    FCore->Log.clear();
    FCore->Replies.clear();
    FCore->LinesWhileAnswering = 0;
}

bool TRadioModule::WaitLog(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FCore->Lock);
    return FCore->Changed.wait_for(lock, timeout, [&] { return FCore->Log.size() >= count; });
}

std::vector<std::string> TRadioModule::Replies() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Replies;
}

unsigned TRadioModule::LinesWhileAnswering() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->LinesWhileAnswering;
}

TRadioParams TRadioModule::Params() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Params;
}

TRadioParams TRadioModule::Flash() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Flash;
}

unsigned TRadioModule::FlashWrites() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->FlashWrites;
}

void TRadioModule::SetParams(const TRadioParams& Values)
{
    std::lock_guard guard(FCore->Lock);
    FCore->Params = Values;
    FCore->Flash = Values;
}

TRadioModule::TSlots TRadioModule::Slots() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Slots;
}

void TRadioModule::SetSlot(int Index, const TRadioSlot& Slot)
{
    std::lock_guard guard(FCore->Lock);
    FCore->Slots.at(static_cast<std::size_t>(Index)) = Slot;
}

bool TRadioModule::RadioTalk() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->RadioTalk;
}

bool TRadioModule::TerminalTrace() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->TerminalTrace;
}

bool TRadioModule::GPSTrace() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->GPSTrace;
}

bool TRadioModule::IBISTrace() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->IBISTrace;
}

std::vector<TRadioTestTone> TRadioModule::TestTones() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Tones;
}

std::vector<TRadioTelegram> TRadioModule::Telegrams() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->Telegrams;
}

bool TRadioModule::SendGPSLine(const std::string& Text)
{
    std::lock_guard guard(FCore->Lock);
    if (!FCore->GPSTrace)
        return false;
    FCore->Reply("#g " + Text);
    return true;
}

bool TRadioModule::SendIBISLine(const std::string& Text)
{
    std::lock_guard guard(FCore->Lock);
    if (!FCore->IBISTrace)
        return false;
    FCore->Reply("#w " + Text);
    return true;
}

bool TRadioModule::SendTerminalLine(const std::string& Text)
{
    std::lock_guard guard(FCore->Lock);
    if (!FCore->TerminalTrace)
        return false;
    FCore->Reply("#r " + Text);
    return true;
}

void TRadioModule::SetSilent(bool On)
{
    std::lock_guard guard(FCore->Lock);
    FCore->Silent = On;
}

void TRadioModule::SetReplyDelay(std::chrono::milliseconds Delay)
{
    std::lock_guard guard(FCore->Lock);
    FCore->Delay = Delay;
}

void TRadioModule::SetMalformed(bool On)
{
    std::lock_guard guard(FCore->Lock);
    FCore->Malformed = On;
}

void TRadioModule::SetOutOfRange(bool On)
{
    std::lock_guard guard(FCore->Lock);
    FCore->OutOfRange = On;
}

void TRadioModule::SetWrongAnswers(bool On)
{
    std::lock_guard guard(FCore->Lock);
    FCore->WrongAnswers = On;
}

void TRadioModule::SetRefusing(bool On)
{
    std::lock_guard guard(FCore->Lock);
    FCore->Refusing = On;
}

void TRadioModule::SetFlood(bool On)
{
    {
        std::lock_guard guard(FCore->Lock);
        FCore->Flood = On;
    }
    FCore->Changed.notify_all();
}

std::uint64_t TRadioModule::FloodSent() const
{
    std::lock_guard guard(FCore->Lock);
    return FCore->FloodSent;
}
