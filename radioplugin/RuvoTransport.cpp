#include "radioplugin/RuvoTransport.h"

#include "platform/Exception.h"
#include "platform/TextCodec.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoView.h"

#include <algorithm>
#include <chrono>

namespace {
// A wait on a mutex whose owner ended without releasing it.
constexpr std::uint32_t WaitAbandoned = 0x80;

// A line as it may stand in a message: without its line feed.
std::string Shown(const std::string& line)
{
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}
} // namespace

TRuvoAction::TRuvoAction(TRuvoTransport& Transport)
    : FTransport(Transport),
      FJoined(Transport.FInAction && Transport.FCurrentAction != TRuvoTransport::OwnLines),
      FOuterInAction(Transport.FInAction), FOuterAction(Transport.FCurrentAction)
{
    if (FJoined)
        return;
    FTransport.FInAction = true;
    FTransport.FCurrentAction = FTransport.NewAction();
    FTransport.FOpenActions.push_back(FTransport.FCurrentAction);
}

TRuvoAction::~TRuvoAction()
{
    if (FJoined)
        return;
    auto& open = FTransport.FOpenActions;
    open.erase(std::remove(open.begin(), open.end(), FTransport.FCurrentAction), open.end());
    FTransport.FInAction = FOuterInAction;
    FTransport.FCurrentAction = FOuterAction;
    FTransport.ForgetFinishedActions();
}

TRuvoTransport::TOwnLines::TOwnLines(TRuvoTransport& Transport)
    : FTransport(Transport), FInAction(Transport.FInAction), FAction(Transport.FCurrentAction)
{
    FTransport.FInAction = true;
    FTransport.FCurrentAction = OwnLines;
}

TRuvoTransport::TOwnLines::~TOwnLines()
{
    FTransport.FInAction = FInAction;
    FTransport.FCurrentAction = FAction;
}

TRuvoClock SteadyClockMs()
{
    return [] {
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
    };
}

TRuvoTransport::TRuvoTransport(TRuvoLink* Communication, std::string MutexName, TRuvoView& View, TRuvoClock Clock,
                               TRuvoTiming Timing, TTextLookup Texts)
    : FCommunication(Communication), FMutexName(std::move(MutexName)), FView(View), FClock(std::move(Clock)),
      FTiming(Timing), FTexts(std::move(Texts))
{
    FTiming.SendTickMs = std::max<std::int64_t>(1, FTiming.SendTickMs);
    FTiming.PollingMs = std::max<std::int64_t>(1, FTiming.PollingMs);
    FTiming.GiveUpTicks = std::max(1, FTiming.GiveUpTicks);
    FRadioSendTimer.FInterval = FTiming.SendTickMs;
    FDeviceSendTimer.FInterval = FTiming.SendTickMs;
    FFrequencyPollingTimer.FInterval = FTiming.PollingMs;

    FRadioReply = CreateEvent(true, true, "RadioReply");
    if (!FRadioReply)
        throw Exception("TfParameterForm: Error creating event \"RadioReply\"");
    FDeviceReply = CreateEvent(true, true, "DeviceReply");
    if (!FDeviceReply) {
        CloseHandle(FRadioReply);
        throw Exception("TfParameterForm: Error creating event \"FEventDeviceResponseReceived\"");
    }
    SetTimer(FFrequencyPollingTimer, true);
}

TRuvoTransport::~TRuvoTransport()
{
    FScheduleChanged = nullptr;
    CloseHandle(FRadioReply);
    CloseHandle(FDeviceReply);
}

bool TRuvoTransport::LinkReady() const
{
    return FCommunication && FCommunication->Connected();
}

void TRuvoTransport::SetTimer(TRuvoTimer& timer, bool enabled)
{
    if (enabled == timer.FEnabled)
        return;
    timer.FEnabled = enabled;
    if (enabled)
        timer.FDue = FClock() + timer.FInterval;
    if (FScheduleChanged)
        FScheduleChanged();
}

bool TRuvoTransport::SendNow(const std::string& Line)
{
    // Nothing goes out without a link, nor while it is down: the line would
    // be dropped by the link and its answer awaited in vain.
    if (!LinkReady())
        return false;

    const HANDLE mutex = OpenMutex(FMutexName);
    if (!mutex)
        throw Exception("ExtendedDLL: Could not open the communication mutex.");
    std::string error;
    bool sent = false;
    switch (WaitForSingleObject(mutex, FTiming.MutexWaitMs)) {
    case WAIT_OBJECT_0: {
        try {
            sent = FCommunication->SendText(FSender ? FSender : this, Line, 0);
        } catch (...) {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
            throw;
        }
        ReleaseMutex(mutex);
        if (!sent)
            error = "ExtendedDLL: The link did not take the message.";
        break;
    }
    case WaitAbandoned:
        ReleaseMutex(mutex);
        error = "ExtendedDLL: Got no ownership over abandoned mutex.";
        break;
    case WAIT_TIMEOUT:
        error = "ExtendedDLL: Timeout while waiting to send a message";
        break;
    default:
        error = "ExtendedDLL: Error while waiting for the communication mutex.";
        break;
    }
    CloseHandle(mutex);
    // The timer that called is disabled now, so it cannot come in again.
    FView.ProcessMessages();
    if (!error.empty())
        throw Exception(error);
    return sent;
}

unsigned TRuvoTransport::NewAction()
{
    if (++FLastAction == OwnLines)
        ++FLastAction;
    return FLastAction;
}

unsigned TRuvoTransport::ActionOfNewLine()
{
    return FInAction ? FCurrentAction : NewAction();
}

void TRuvoTransport::Enqueue(TRuvoQueue which, const std::string& Line, unsigned Action)
{
    if (which == TRuvoQueue::Radio) {
        FRadioQueue.push_back(Line);
        FRadioActions.push_back(Action);
    } else {
        FDeviceQueue.push_back(Line);
        FDeviceActions.push_back(Action);
    }
}

bool TRuvoTransport::Reportable(unsigned Action)
{
    if (Action == OwnLines)
        return false;
    if (std::find(FToldActions.begin(), FToldActions.end(), Action) != FToldActions.end())
        return false;
    FToldActions.push_back(Action);
    return true;
}

void TRuvoTransport::ForgetFinishedActions()
{
    const auto has = [](const auto& list, unsigned action) {
        return std::find(list.begin(), list.end(), action) != list.end();
    };
    const auto live = [&](unsigned action) {
        return action == FRadioInFlightAction || action == FDeviceInFlightAction || has(FOpenActions, action) ||
               has(FRadioActions, action) || has(FDeviceActions, action);
    };
    bool due = false;
    for (auto it = FWhenDone.begin(); it != FWhenDone.end();) {
        if (live(it->first)) {
            ++it;
            continue;
        }
        FDoneCalls.push_back([done = std::move(it->second), ok = !has(FToldActions, it->first)] { done(ok); });
        it = FWhenDone.erase(it);
        due = true;
    }
    FToldActions.erase(std::remove_if(FToldActions.begin(), FToldActions.end(),
                                      [&](unsigned action) { return !live(action); }),
                       FToldActions.end());
    if (due && FScheduleChanged)
        FScheduleChanged();
}

void TRuvoTransport::WhenActionDone(std::function<void(bool Done)> Done)
{
    if (FInAction && FCurrentAction != OwnLines && Done)
        FWhenDone.emplace_back(FCurrentAction, std::move(Done));
}

void TRuvoTransport::ReportCurrent(unsigned Action)
{
    const bool told = Reportable(Action);
    ForgetFinishedActions();
    if (told)
        throw;
}

void TRuvoTransport::QueueDevice(const std::string& Line)
{
    SetTimer(FDeviceSendTimer, true);
    Enqueue(TRuvoQueue::Device, Line, ActionOfNewLine());
}

void TRuvoTransport::QueueRadio(const std::string& Line)
{
    const unsigned action = ActionOfNewLine();
    if (FRadioSendTimer.FEnabled) {
        Enqueue(TRuvoQueue::Radio, Line, action);
        return;
    }
    // The radio link opens before the first line. While the link is down the
    // line waits, and the next connection starts the queue. When the opening
    // line cannot be sent, the line is lost with it, and with what its action
    // has queued there: nothing waits in a queue that does not run.
    Enqueue(TRuvoQueue::Radio, Line, action);
    bool opened = false;
    try {
        opened = SendNow(RuvoRadioTalkOn);
    } catch (...) {
        LoseLine(TRuvoQueue::Radio, action);
        ReportCurrent(action);
        return;
    }
    if (opened)
        SetTimer(FRadioSendTimer, true);
}

void TRuvoTransport::DeviceSendTimerTimer()
{
    TOwnLines own(*this);
    QueueTick(TRuvoQueue::Device);
}

void TRuvoTransport::RadioSendTimerTimer()
{
    TOwnLines own(*this);
    QueueTick(TRuvoQueue::Radio);
}

void TRuvoTransport::QueueTick(TRuvoQueue which)
{
    const bool radio = which == TRuvoQueue::Radio;
    TRuvoTimer& timer = radio ? FRadioSendTimer : FDeviceSendTimer;
    std::deque<std::string>& queue = radio ? FRadioQueue : FDeviceQueue;
    std::deque<unsigned>& actions = radio ? FRadioActions : FDeviceActions;
    const HANDLE event = radio ? FRadioReply : FDeviceReply;
    int& waitCount = radio ? FRadioWaitCount : FDeviceWaitCount;
    std::string& inFlight = radio ? FRadioInFlight : FDeviceInFlight;
    unsigned& inFlightAction = radio ? FRadioInFlightAction : FDeviceInFlightAction;

    const std::uint32_t result = WaitForSingleObject(event, FTiming.ReplyWaitMs);
    if (result == WAIT_TIMEOUT) {
        if (++waitCount >= FTiming.GiveUpTicks)
            GiveUp(which);
        return;
    }
    if (result != WAIT_OBJECT_0) {
        if (radio)
            throw Exception(RuvoText(FTexts, "IDS_20"));
        throw Exception("TfParameterForm: Error while waiting for device response.");
    }

    inFlight.clear();
    inFlightAction = OwnLines;
    ForgetFinishedActions(); // an action whose last line was answered is done
    if (queue.empty()) {
        SetTimer(timer, false);
        if (radio) {
            SetTimer(FDeviceSendTimer, true);
            Enqueue(TRuvoQueue::Device, RuvoRadioTalkOff, OwnLines);
            SetEvent(event);
            FView.ProgressHide();
        } else {
            SetEvent(event);
        }
        ForgetFinishedActions();
        return;
    }
    // While the link is down the lines wait; the next connection resumes.
    if (!LinkReady()) {
        SetTimer(timer, false);
        return;
    }
    waitCount = 0;
    if (radio)
        FView.ProgressStep();
    SetTimer(timer, false);
    const std::string line = queue.front();
    const unsigned action = actions.front();
    queue.pop_front();
    actions.pop_front();
    if (!line.empty()) {
        ResetEvent(event);
        inFlight = line;
        inFlightAction = action;
        bool sent = false;
        try {
            sent = SendNow(line);
        } catch (...) {
            // The line is lost, and what its action has behind it here goes
            // with it: a link that refuses every line costs one line per
            // action, not one per queued line. Nothing waits for the lost
            // line; the queue goes on with the lines of others.
            LoseLine(which, action);
            if (LinkReady())
                SetTimer(timer, true);
            ReportCurrent(action);
            return;
        }
        if (!sent) {
            inFlight.clear();
            inFlightAction = OwnLines;
            queue.push_front(line);
            actions.push_front(action);
            SetEvent(event);
            return;
        }
    }
    SetTimer(timer, true);
}

void TRuvoTransport::LoseLine(TRuvoQueue which, unsigned Action)
{
    const bool radio = which == TRuvoQueue::Radio;
    std::deque<std::string>& queue = radio ? FRadioQueue : FDeviceQueue;
    std::deque<unsigned>& actions = radio ? FRadioActions : FDeviceActions;
    std::string& inFlight = radio ? FRadioInFlight : FDeviceInFlight;
    unsigned& inFlightAction = radio ? FRadioInFlightAction : FDeviceInFlightAction;
    if (!inFlight.empty() && inFlightAction == Action) {
        inFlight.clear();
        inFlightAction = OwnLines;
        SetEvent(radio ? FRadioReply : FDeviceReply);
    }
    for (std::size_t i = 0; i < queue.size();) {
        if (actions[i] == Action) {
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
            actions.erase(actions.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void TRuvoTransport::GiveUp(TRuvoQueue which)
{
    const bool radio = which == TRuvoQueue::Radio;
    TRuvoTimer& timer = radio ? FRadioSendTimer : FDeviceSendTimer;
    std::deque<std::string>& queue = radio ? FRadioQueue : FDeviceQueue;
    std::deque<unsigned>& actions = radio ? FRadioActions : FDeviceActions;
    std::string& inFlight = radio ? FRadioInFlight : FDeviceInFlight;
    unsigned& inFlightAction = radio ? FRadioInFlightAction : FDeviceInFlightAction;
    (radio ? FRadioWaitCount : FDeviceWaitCount) = 0;

    SetTimer(timer, false);
    if (radio) {
        FView.ProgressHide();
        SetTimer(FDeviceSendTimer, true);
        Enqueue(TRuvoQueue::Device, RuvoRadioTalkOff, OwnLines);
    }
    const std::string lost = inFlight;
    const std::size_t dropped = queue.size();
    // Every action that loses lines here is told at most once, and this
    // give-up tells at most one: the line in flight when it is the person's,
    // else the lines that were waiting behind it.
    const bool lostTold = !lost.empty() && Reportable(inFlightAction);
    bool told = lostTold;
    for (const unsigned action : actions)
        told = Reportable(action) || told;
    queue.clear();
    actions.clear();
    inFlight.clear();
    inFlightAction = OwnLines;
    SetEvent(radio ? FRadioReply : FDeviceReply);
    ForgetFinishedActions();

    if (!told)
        return;
    const char* who = radio ? "radio" : "device";
    if (!lostTold)
        throw Exception(Format("TfParameterForm: No answer from the %s; %zu queued lines were dropped.", who, dropped));
    throw Exception(Format("TfParameterForm: The %s did not answer \"%s\"; it and %zu further lines were dropped.", who,
                           Shown(lost).c_str(), dropped));
}

void TRuvoTransport::FrequencyPollingTimerTimer()
{
    if (FSlotTelegramSeen || !LinkReady())
        return;
    // One poll at a time: a module that is slow to answer is not flooded.
    // A poll that could not be sent is in no queue, so the next goes out.
    if (FRadioInFlight == RuvoSlotPoll || std::find(FRadioQueue.begin(), FRadioQueue.end(), RuvoSlotPoll) != FRadioQueue.end())
        return;
    TOwnLines own(*this);
    QueueRadio(RuvoSlotPoll);
}

void TRuvoTransport::ConnectionChanged(bool Connected)
{
    if (!Connected) {
        // The answer to a line in flight cannot come any more: the line goes
        // back to the head of its queue and is sent again on the next
        // connection.
        if (!FDeviceInFlight.empty()) {
            FDeviceQueue.push_front(FDeviceInFlight);
            FDeviceActions.push_front(FDeviceInFlightAction);
            FDeviceInFlight.clear();
            FDeviceInFlightAction = OwnLines;
        }
        if (!FRadioInFlight.empty()) {
            FRadioQueue.push_front(FRadioInFlight);
            FRadioActions.push_front(FRadioInFlightAction);
            FRadioInFlight.clear();
            FRadioInFlightAction = OwnLines;
        }
        SetEvent(FDeviceReply);
        SetEvent(FRadioReply);
        FDeviceWaitCount = 0;
        FRadioWaitCount = 0;
    }
    SetTimer(FFrequencyPollingTimer, Connected);
    SetTimer(FRadioSendTimer, Connected);
    SetTimer(FDeviceSendTimer, Connected);
    FSlotTelegramSeen = false;
    // Radio lines kept across the break need the radio link opened again.
    if (Connected && !FRadioQueue.empty()) {
        TOwnLines own(*this);
        // (The window pass of the send may drain the queue meanwhile.)
        const unsigned first = FRadioActions.front();
        try {
            SendNow(RuvoRadioTalkOn);
        } catch (...) {
            ReportCurrent(first);
        }
    }
}

void TRuvoTransport::DeviceReplyReceived()
{
    SetEvent(FDeviceReply);
}

void TRuvoTransport::RadioReplyReceived()
{
    SetEvent(FRadioReply);
}

void TRuvoTransport::DeviceRefused(const std::string& Reply)
{
    Refused(TRuvoQueue::Device, Reply);
    SetEvent(FDeviceReply);
}

void TRuvoTransport::RadioRefused(const std::string& Reply)
{
    Refused(TRuvoQueue::Radio, Reply);
    SetEvent(FRadioReply);
}

void TRuvoTransport::Refused(TRuvoQueue which, const std::string& Reply)
{
    const bool radio = which == TRuvoQueue::Radio;
    const std::string& line = radio ? FRadioInFlight : FDeviceInFlight;
    if (line.empty() || !Reportable(radio ? FRadioInFlightAction : FDeviceInFlightAction))
        return;
    FRefusals.push_back(Format("TfParameterForm: The %s refused \"%s\" with \"%s\".", radio ? "radio" : "device",
                               Shown(line).c_str(), Latin1ToUtf8(Reply).c_str()));
    if (FScheduleChanged)
        FScheduleChanged();
}

std::optional<std::int64_t> TRuvoTransport::NextDue() const
{
    if (!FDoneCalls.empty() || !FRefusals.empty())
        return FClock();
    std::optional<std::int64_t> due;
    for (const TRuvoTimer* t : {&FDeviceSendTimer, &FRadioSendTimer, &FFrequencyPollingTimer})
        if (t->FEnabled && (!due || t->FDue < *due))
            due = t->FDue;
    return due;
}

void TRuvoTransport::Poll()
{
    const std::int64_t now = FClock();
    // Each timer fires at most once per call: a timer that has fallen behind
    // fires once, as a window timer does.
    for (int round = 0; round < 8; ++round) {
        TRuvoTimer* next = nullptr;
        for (TRuvoTimer* t : {&FDeviceSendTimer, &FRadioSendTimer, &FFrequencyPollingTimer})
            if (t->FEnabled && t->FDue <= now && (!next || t->FDue < next->FDue))
                next = t;
        if (!next)
            break;
        next->FDue = now + next->FInterval;
        if (next == &FDeviceSendTimer)
            DeviceSendTimerTimer();
        else if (next == &FRadioSendTimer)
            RadioSendTimerTimer();
        else
            FrequencyPollingTimerTimer();
    }
    TellDue();
}

void TRuvoTransport::TellDue()
{
    if (FDoneCalls.empty() && FRefusals.empty())
        return;
    // A box shown now lets the queues go on meanwhile.
    if (FScheduleChanged)
        FScheduleChanged();
    while (!FDoneCalls.empty()) {
        const std::function<void()> call = std::move(FDoneCalls.front());
        FDoneCalls.pop_front();
        call();
    }
    if (FRefusals.empty())
        return;
    const std::string refusal = FRefusals.front();
    FRefusals.pop_front();
    throw Exception(refusal);
}
