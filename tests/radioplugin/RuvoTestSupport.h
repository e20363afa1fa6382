#pragma once
// What the transport and parser tests share: a link that records every send
// (and whether the communication mutex was held by the sender at that
// moment), a view that records what it is told, and a transport on a
// virtual clock.
#include "platform/FormatSettings.h"
#include "platform/NamedObjects.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoReplyParser.h"
#include "radioplugin/RuvoTransport.h"
#include "radioplugin/RuvoView.h"
#include "tests/common/MachineNumbers.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

// True when another thread cannot take the mutex right now.
inline bool MutexHeldElsewhere(const std::string& name)
{
    return std::async(std::launch::async, [&] {
               const HANDLE m = OpenMutex(name);
               const bool taken = WaitForSingleObject(m, 0) == WAIT_OBJECT_0;
               if (taken)
                   ReleaseMutex(m);
               CloseHandle(m);
               return !taken;
           }).get();
}

struct TSent {
    TObject* Sender;
    std::string Text;
    int Transfer;
    bool MutexHeld;
};

class TFakeLink : public TRuvoLink {
public:
    explicit TFakeLink(std::string mutexName) : FMutexName(std::move(mutexName)) {}
    bool Connected() const override { return IsConnected; }
    bool SendText(TObject* Sender, const std::string& Text, int Transfer) override
    {
        Sent.push_back({Sender, Text, Transfer, MutexHeldElsewhere(FMutexName)});
        if (OnSend)
            OnSend(Text);
        return Accept;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const auto& s : Sent)
            t.push_back(s.Text);
        return t;
    }

    bool IsConnected = true;
    bool Accept = true;
    std::vector<TSent> Sent;
    std::function<void(const std::string&)> OnSend;

private:
    std::string FMutexName;
};

class TRecordingView : public TRuvoView {
public:
    void ParameterReported(TRuvoParam param, std::int32_t value) override { Reported.push_back({param, value}); }
    int ProjectCount() const override { return 3; }
    void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
    void SlotReported(const TChannelEntry& slot) override { Slots.push_back(slot.Number()); }
    void MonitorLine(TRuvoMonitor monitor, const std::string& line) override { Lines.push_back({monitor, line}); }
    void ProgressStep() override { ++Steps; }
    void ProgressHide() override { ++Hides; }
    void ProcessMessages() override
    {
        ++Processed;
        if (OnProcessMessages)
            OnProcessMessages();
    }

    std::vector<std::pair<TRuvoParam, std::int32_t>> Reported;
    std::vector<std::string> Warnings;
    std::vector<int> Slots;
    std::vector<std::pair<TRuvoMonitor, std::string>> Lines;
    int Steps = 0, Hides = 0, Processed = 0;
    // What the window pass handles meanwhile (a person's click...).
    std::function<void()> OnProcessMessages;
};

inline bool IsSignalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// A transport and parser on a virtual clock; the mutex exists, unowned.
class RuvoFixture : public testing::Test {
protected:
    static constexpr const char* MutexName = "Global\\{ruvo-test-mutex}";

    RuvoFixture() : Mutex(CreateMutex(false, MutexName)), Link(MutexName) {}
    ~RuvoFixture() override { CloseHandle(Mutex); }

    void SetUp() override { Make(); }
    void Make(TRuvoTiming timing = Fast())
    {
        Parser.reset();
        Transport.reset();
        Transport = std::make_unique<TRuvoTransport>(&Link, MutexName, View, [this] { return Now; }, timing);
        Parser = std::make_unique<TRuvoReplyParser>(Set, *Transport, View);
    }
    static TRuvoTiming Fast()
    {
        TRuvoTiming t;
        t.ReplyWaitMs = 0; // virtual time: nobody can answer during a wait
        t.MutexWaitMs = 0;
        return t;
    }

    // Runs the timers for `ms` of virtual time; errors the timers raise are
    // collected as the exception display would show them.
    void RunFor(std::int64_t ms)
    {
        const std::int64_t end = Now + ms;
        for (;;) {
            const auto due = Transport->NextDue();
            if (!due || *due > end)
                break;
            Now = std::max(Now, *due);
            DeliverPending();
            try {
                Transport->Poll();
            } catch (const std::exception& e) {
                Errors.push_back(e.what());
            }
        }
        Now = end;
    }
    // Hands the answers the module has given so far to the parser, as the
    // event loop would before the next timer message.
    void DeliverPending()
    {
        while (!Pending.empty()) {
            const std::string data = Pending.front();
            Pending.pop_front();
            try {
                Parser->HandleReply(data);
            } catch (const std::exception& e) {
                Errors.push_back(e.what());
            }
        }
    }
    // The module answers every line with what `answer` gives.
    void AnswerWith(std::function<std::vector<std::string>(const std::string&)> answer)
    {
        Link.OnSend = [this, answer](const std::string& line) {
            for (auto& a : answer(line))
                Pending.push_back(a);
        };
    }

    // Runs single ticks of the send timers until `done` holds (at most `ms`).
    bool RunUntil(const std::function<bool()>& done, std::int64_t ms)
    {
        for (std::int64_t t = 0; t < ms && !done(); t += 20)
            RunFor(20);
        return done();
    }

    HANDLE Mutex;
    std::int64_t Now = 1000000;
    TFakeLink Link;
    TRecordingView View;
    TRuvoParameter Set;
    std::unique_ptr<TRuvoTransport> Transport;
    std::unique_ptr<TRuvoReplyParser> Parser;
    std::vector<std::string> Errors;
    std::deque<std::string> Pending;
};
