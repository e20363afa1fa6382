#include "radioplugin/RuvoTransport.h"

#include "platform/Exception.h"
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

void TRuvoTransport::QueueDevice(const std::string& Line)
{
    SetTimer(FDeviceSendTimer, true);
    FDeviceQueue.push_back(Line);
}

void TRuvoTransport::QueueRadio(const std::string& Line)
{
    if (FRadioSendTimer.FEnabled) {
        FRadioQueue.push_back(Line);
        return;
    }
    // The radio link opens before the first line. When that cannot be sent
    // (the link is down, or the send failed), the line waits in the queue
    // and the queue starts with the next line queued or the next connection.
    bool opened = false;
    try {
        opened = SendNow(RuvoRadioTalkOn);
    } catch (...) {
        FRadioQueue.push_back(Line);
        throw;
    }
    if (opened)
        SetTimer(FRadioSendTimer, true);
    FRadioQueue.push_back(Line);
}

void TRuvoTransport::DeviceSendTimerTimer()
{
    QueueTick(TRuvoQueue::Device);
}

void TRuvoTransport::RadioSendTimerTimer()
{
    QueueTick(TRuvoQueue::Radio);
}

void TRuvoTransport::QueueTick(TRuvoQueue which)
{
    const bool radio = which == TRuvoQueue::Radio;
    TRuvoTimer& timer = radio ? FRadioSendTimer : FDeviceSendTimer;
    std::deque<std::string>& queue = radio ? FRadioQueue : FDeviceQueue;
    const HANDLE event = radio ? FRadioReply : FDeviceReply;
    int& waitCount = radio ? FRadioWaitCount : FDeviceWaitCount;
    std::string& inFlight = radio ? FRadioInFlight : FDeviceInFlight;

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
    if (queue.empty()) {
        SetTimer(timer, false);
        if (radio) {
            QueueDevice(RuvoRadioTalkOff);
            SetEvent(event);
            FView.ProgressHide();
        } else {
            SetEvent(event);
        }
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
    queue.pop_front();
    if (!line.empty()) {
        ResetEvent(event);
        inFlight = line;
        bool sent = false;
        try {
            sent = SendNow(line);
        } catch (...) {
            // The line is lost and the error reported; no answer can come
            // for it, so the queue goes on with the next line.
            inFlight.clear();
            SetEvent(event);
            SetTimer(timer, true);
            throw;
        }
        if (!sent) {
            inFlight.clear();
            queue.push_front(line);
            SetEvent(event);
            return;
        }
    }
    SetTimer(timer, true);
}

void TRuvoTransport::GiveUp(TRuvoQueue which)
{
    const bool radio = which == TRuvoQueue::Radio;
    TRuvoTimer& timer = radio ? FRadioSendTimer : FDeviceSendTimer;
    std::deque<std::string>& queue = radio ? FRadioQueue : FDeviceQueue;
    std::string& inFlight = radio ? FRadioInFlight : FDeviceInFlight;
    (radio ? FRadioWaitCount : FDeviceWaitCount) = 0;

    SetTimer(timer, false);
    if (radio) {
        FView.ProgressHide();
        QueueDevice(RuvoRadioTalkOff);
    }
    const std::string lost = inFlight;
    const std::size_t dropped = queue.size();
    const bool onlyPolls =
        lost == RuvoSlotPoll && std::all_of(queue.begin(), queue.end(), [](const std::string& l) { return l == RuvoSlotPoll; });
    queue.clear();
    inFlight.clear();
    SetEvent(radio ? FRadioReply : FDeviceReply);

    // The slot polling asks again by itself; every other line is reported.
    if (onlyPolls)
        return;
    const char* who = radio ? "radio" : "device";
    if (lost.empty())
        throw Exception(Format("TfParameterForm: No answer from the %s; %zu queued lines were dropped.", who, dropped));
    throw Exception(Format("TfParameterForm: The %s did not answer \"%s\"; it and %zu further lines were dropped.", who,
                           Shown(lost).c_str(), dropped));
}

void TRuvoTransport::FrequencyPollingTimerTimer()
{
    if (FSlotTelegramSeen || !LinkReady())
        return;
    // One poll at a time: a module that is slow to answer is not flooded.
    if (FRadioInFlight == RuvoSlotPoll || std::find(FRadioQueue.begin(), FRadioQueue.end(), RuvoSlotPoll) != FRadioQueue.end())
        return;
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
            FDeviceInFlight.clear();
        }
        if (!FRadioInFlight.empty()) {
            FRadioQueue.push_front(FRadioInFlight);
            FRadioInFlight.clear();
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
    if (Connected && !FRadioQueue.empty())
        SendNow(RuvoRadioTalkOn);
}

void TRuvoTransport::DeviceReplyReceived()
{
    SetEvent(FDeviceReply);
}

void TRuvoTransport::RadioReplyReceived()
{
    SetEvent(FRadioReply);
}

std::optional<std::int64_t> TRuvoTransport::NextDue() const
{
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
            return;
        next->FDue = now + next->FInterval;
        if (next == &FDeviceSendTimer)
            DeviceSendTimerTimer();
        else if (next == &FRadioSendTimer)
            RadioSendTimerTimer();
        else
            FrequencyPollingTimerTimer();
    }
}
