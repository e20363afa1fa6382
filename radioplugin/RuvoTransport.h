#pragma once
// The plug-in's command transport: two first-in-first-out queues of command
// lines, each drained by its own 20 ms timer with at most one line in flight,
// paced by a named manual-reset event that the reply parser sets when the
// answer to that line has come; and the memory-slot polling once a second
// until the first slot telegram arrives.
//
// The device queue carries commands for the module itself; the radio queue
// carries commands for its radio part, framed by "radiotalk-on" before its
// first line and "radiotalk-off" when it has run dry.
//
// Every line is sent under the host's communication mutex through the link
// (the host's Connected and SendText). The timers are plain state driven by
// Poll() against an injected clock: unit tests run them in virtual time, the
// dialog drives them with TRuvoTimerDriver.
//
// A failure is told to the person once for what they did, not once per line:
// every line belongs to an action. The lines the transport sends on its own
// (the slot polls, "radiotalk-on" and "radiotalk-off") belong to none, and a
// failure of theirs is never reported: the polling asks again by itself. A
// person's action (a write, a send function, a monitor window opened) is one
// TRuvoAction scope, and the first failure among its lines (a send error, a
// queue given up, or the module refusing a line: "Huh?" to a device line,
// "#r ... ERROR" to a radio line) is the one raised; the rest of that action
// stays quiet. A line queued outside any scope is an action of its own.
//
// A line that could not be sent is lost, together with what its action has
// behind it in that queue; nothing waits for its answer, so the queue goes on
// with the lines of others at once, and the next second's slot poll goes out
// as soon as the link takes lines again. A refusal is an answer: it ends the
// wait for its line, and the queue goes on with the next.
#include "platform/NamedObjects.h"
#include "platform/Object.h"
#include "radioplugin/RuvoTexts.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TRuvoView;

// The two operations of the host's link object a plug-in may use.
class TRuvoLink {
public:
    virtual ~TRuvoLink() = default;
    virtual bool Connected() const = 0;
    // The first character of Text travels as the command byte, the rest as
    // data.
    virtual bool SendText(TObject* Sender, const std::string& Text, int Transfer) = 0;
};

// Milliseconds of a monotonic clock.
using TRuvoClock = std::function<std::int64_t()>;
TRuvoClock SteadyClockMs();

struct TRuvoTiming {
    std::int64_t SendTickMs = 20;     // period of both queue timers
    std::int64_t PollingMs = 1000;    // period of the slot polling
    std::uint32_t ReplyWaitMs = 10;   // a tick waits this long for its event
    std::uint32_t MutexWaitMs = 2000; // a send waits this long for the mutex
    int GiveUpTicks = 200;            // ticks without an answer before a queue gives up
};

// A window timer: enabled or not, and when it fires next.
class TRuvoTimer {
public:
    bool Enabled() const { return FEnabled; }
    std::int64_t Interval() const { return FInterval; }
    std::int64_t Due() const { return FDue; }

private:
    friend class TRuvoTransport;
    bool FEnabled = false;
    std::int64_t FInterval = 0;
    std::int64_t FDue = 0;
};

enum class TRuvoQueue { Device, Radio };

class TRuvoTransport;

// The lines queued while it lives are one action of the person's; a scope
// opened inside another action's makes no new action. One opened while the
// transport sends its own lines (a handler run in the window pass of a send)
// is an action of its own. When it ends, the scope around it is back.
class TRuvoAction {
public:
    explicit TRuvoAction(TRuvoTransport& Transport);
    ~TRuvoAction();
    TRuvoAction(const TRuvoAction&) = delete;
    TRuvoAction& operator=(const TRuvoAction&) = delete;

private:
    TRuvoTransport& FTransport;
    bool FJoined;
    bool FOuterInAction;
    unsigned FOuterAction;
};

class TRuvoTransport : public TObject {
public:
    // Creates both queues empty and the events "RadioReply" and
    // "DeviceReply" (manual reset, signalled). The polling timer starts
    // enabled, the queue timers disabled. Raises Exception when an event
    // cannot be created.
    TRuvoTransport(TRuvoLink* Communication, std::string MutexName, TRuvoView& View,
                   TRuvoClock Clock = SteadyClockMs(), TRuvoTiming Timing = {}, TTextLookup Texts = {});
    ~TRuvoTransport() override;

    TRuvoLink* Communication() const { return FCommunication; }
    void SetCommunication(TRuvoLink* Value) { FCommunication = Value; }
    const std::string& MutexName() const { return FMutexName; }
    void SetMutexName(const std::string& Value) { FMutexName = Value; }
    // The object named as Sender of every send (the dialog); the transport
    // itself when none is set.
    void SetSender(TObject* Value) { FSender = Value; }

    // Sends one line at once under the mutex. Returns false, sending
    // nothing, without a link or while it is not connected. Raises Exception
    // when the mutex cannot be had or the link refuses the line.
    bool SendNow(const std::string& Line);
    // Appends a line to a queue and starts its timer; the radio queue opens
    // the radio link first when it was idle. A failure to open it is raised
    // when the line's action has not been told of a failure yet; the line
    // waits in the queue either way.
    void QueueDevice(const std::string& Line);
    void QueueRadio(const std::string& Line);

    // The timer handlers (Poll calls them when they are due).
    void DeviceSendTimerTimer();
    void RadioSendTimerTimer();
    void FrequencyPollingTimerTimer();

    // The link came up or went down.
    void ConnectionChanged(bool Connected);

    // The reply parser: the answer to the line in flight has come; a refusal
    // ("Huh?", "#r ... ERROR", as the module sent it) is told for the line's
    // action at the next Poll.
    void DeviceReplyReceived();
    void RadioReplyReceived();
    void DeviceRefused(const std::string& Reply);
    void RadioRefused(const std::string& Reply);

    // Inside a TRuvoAction: Done is called once every line the action queued
    // has been answered or lost, from a later Poll, with true when the module
    // took them all (no failure was told for the action). Elsewhere nothing
    // happens.
    void WhenActionDone(std::function<void(bool Done)> Done);
    bool SlotTelegramSeen() const { return FSlotTelegramSeen; }
    void SetSlotTelegramSeen(bool Value) { FSlotTelegramSeen = Value; }

    // Fires every timer that is due by the clock, earliest first, each once;
    // then calls what WhenActionDone asked for of the actions done, and
    // raises one refusal to be told.
    void Poll();
    // When the next enabled timer is due (now while an action is done or a
    // refusal is to be told); none while all are disabled.
    std::optional<std::int64_t> NextDue() const;
    // Called whenever a timer is enabled or disabled, so a driver can
    // reschedule.
    void SetScheduleChanged(std::function<void()> Callback) { FScheduleChanged = std::move(Callback); }

    // State, for the owner and for tests.
    const std::deque<std::string>& DeviceQueue() const { return FDeviceQueue; }
    const std::deque<std::string>& RadioQueue() const { return FRadioQueue; }
    int DeviceWaitCount() const { return FDeviceWaitCount; }
    int RadioWaitCount() const { return FRadioWaitCount; }
    HANDLE DeviceReply() const { return FDeviceReply; }
    HANDLE RadioReply() const { return FRadioReply; }
    // The line whose answer a queue waits for (empty when none).
    const std::string& DeviceInFlight() const { return FDeviceInFlight; }
    const std::string& RadioInFlight() const { return FRadioInFlight; }
    const TRuvoTimer& DeviceSendTimer() const { return FDeviceSendTimer; }
    const TRuvoTimer& RadioSendTimer() const { return FRadioSendTimer; }
    const TRuvoTimer& FrequencyPollingTimer() const { return FFrequencyPollingTimer; }
    const TRuvoTiming& Timing() const { return FTiming; }

private:
    friend class TRuvoAction;
    // Action 0: the transport's own lines.
    static constexpr unsigned OwnLines = 0;

    // While it lives, the transport sends its own lines: what is queued then
    // belongs to no action, and a handler of the person's run in a window
    // pass meanwhile is an action of its own. Both FInAction and
    // FCurrentAction are back as they were when it ends.
    class TOwnLines {
    public:
        explicit TOwnLines(TRuvoTransport& Transport);
        ~TOwnLines();
        TOwnLines(const TOwnLines&) = delete;
        TOwnLines& operator=(const TOwnLines&) = delete;

    private:
        TRuvoTransport& FTransport;
        bool FInAction;
        unsigned FAction;
    };

    void SetTimer(TRuvoTimer& timer, bool enabled);
    bool LinkReady() const;
    void QueueTick(TRuvoQueue which);
    void GiveUp(TRuvoQueue which);
    // A line of `Action` could not be sent: it is not in flight, and the
    // lines of the action waiting in the queue go with it.
    void LoseLine(TRuvoQueue which, unsigned Action);
    void Refused(TRuvoQueue which, const std::string& Reply);
    // Calls the callbacks of the actions done and raises a refusal, if any.
    void TellDue();
    void Enqueue(TRuvoQueue which, const std::string& Line, unsigned Action);
    unsigned NewAction();
    unsigned ActionOfNewLine();
    // Whether a failure of this action is to be told now; marks it told.
    bool Reportable(unsigned Action);
    // Forgets the told actions no line belongs to any more.
    void ForgetFinishedActions();
    // Raises the current exception when `Action` is to be told of it, else
    // swallows it. Called inside a catch block.
    void ReportCurrent(unsigned Action);

    TRuvoLink* FCommunication;
    std::string FMutexName;
    TRuvoView& FView;
    TRuvoClock FClock;
    TRuvoTiming FTiming;
    TTextLookup FTexts;
    TObject* FSender = nullptr;

    std::deque<std::string> FRadioQueue;
    std::deque<std::string> FDeviceQueue;
    HANDLE FRadioReply = 0;
    HANDLE FDeviceReply = 0;
    int FRadioWaitCount = 0;
    int FDeviceWaitCount = 0;
    bool FSlotTelegramSeen = false;
    std::string FRadioInFlight;
    std::string FDeviceInFlight;
    // The action of each queued line, and of the line in flight.
    std::deque<unsigned> FRadioActions;
    std::deque<unsigned> FDeviceActions;
    unsigned FRadioInFlightAction = OwnLines;
    unsigned FDeviceInFlightAction = OwnLines;
    // The action new lines belong to while a scope (a TRuvoAction, or
    // TOwnLines with OwnLines) is open.
    unsigned FCurrentAction = OwnLines;
    bool FInAction = false;
    unsigned FLastAction = OwnLines;
    std::vector<unsigned> FOpenActions; // actions whose TRuvoAction lives
    std::vector<unsigned> FToldActions;
    std::vector<std::pair<unsigned, std::function<void(bool)>>> FWhenDone;
    std::deque<std::function<void()>> FDoneCalls; // due at the next Poll
    std::deque<std::string> FRefusals;             // to be raised, one a Poll

    TRuvoTimer FRadioSendTimer;
    TRuvoTimer FDeviceSendTimer;
    TRuvoTimer FFrequencyPollingTimer;
    std::function<void()> FScheduleChanged;
};
