#pragma once
// The idle signal: emitted in the GUI thread each time its event queue has
// run empty, before the thread goes to sleep. Handlers keep the display
// current (enabled actions, the clock); what they change wakes the loop once
// more, and the next idle finds nothing left to change.
#include <QObject>

class TIdleSignal : public QObject {
    Q_OBJECT
public:
    // The one instance of the GUI thread (created on first use).
    static TIdleSignal& Instance();

signals:
    void Idle();

private:
    TIdleSignal();
    void AboutToBlock();
    bool FRunning = false;
};
