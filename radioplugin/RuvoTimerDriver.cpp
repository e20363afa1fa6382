#include "radioplugin/RuvoTimerDriver.h"

#include "radioplugin/RuvoTransport.h"

#include <algorithm>
#include <utility>

TRuvoTimerDriver::TRuvoTimerDriver(TRuvoTransport& Transport, std::function<void()> RunTimers, QObject* parent)
    : QObject(parent), FTransport(Transport), FRunTimers(std::move(RunTimers))
{
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Fire(); });
    FTransport.SetScheduleChanged([this] { Reschedule(); });
    Reschedule();
}

TRuvoTimerDriver::~TRuvoTimerDriver()
{
    FTransport.SetScheduleChanged(nullptr);
}

void TRuvoTimerDriver::Reschedule()
{
    const auto due = FTransport.NextDue();
    if (!due) {
        FTimer.stop();
        return;
    }
    const std::int64_t wait = std::max<std::int64_t>(0, *due - SteadyClockMs()());
    FTimer.start(static_cast<int>(std::min<std::int64_t>(wait, 60000)));
}

void TRuvoTimerDriver::Fire()
{
    FRunTimers();
    Reschedule();
}
