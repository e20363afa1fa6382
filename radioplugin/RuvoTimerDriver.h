#pragma once
// Runs a transport's timers on the GUI thread's event loop: one precise
// single-shot QTimer, set to the next due timer of the transport. The
// transport must use the steady clock (SteadyClockMs). When a timer is due
// the driver calls RunTimers, which fires the transport's due timers (its
// Poll) and shows what they raise.
#include <QObject>
#include <QTimer>

#include <functional>

class TRuvoTransport;

class TRuvoTimerDriver : public QObject {
public:
    TRuvoTimerDriver(TRuvoTransport& Transport, std::function<void()> RunTimers, QObject* parent = nullptr);
    ~TRuvoTimerDriver() override;

    // Sets the QTimer to the transport's next due timer.
    void Reschedule();

private:
    void Fire();

    TRuvoTransport& FTransport;
    std::function<void()> FRunTimers;
    QTimer FTimer;
};
