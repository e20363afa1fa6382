#pragma once
// Runs a transport's timers on the GUI thread's event loop: one precise
// single-shot QTimer, set to the next due timer of the transport. The
// transport must use the steady clock (SteadyClockMs). An error raised by a
// timer handler goes to the application's exception display.
#include <QObject>
#include <QTimer>

class TRuvoTransport;

class TRuvoTimerDriver : public QObject {
public:
    explicit TRuvoTimerDriver(TRuvoTransport& Transport, QObject* parent = nullptr);
    ~TRuvoTimerDriver() override;

    // Sets the QTimer to the transport's next due timer.
    void Reschedule();

private:
    void Fire();

    TRuvoTransport& FTransport;
    QTimer FTimer;
};
