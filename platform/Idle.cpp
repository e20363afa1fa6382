#include "platform/Idle.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

TIdleSignal& TIdleSignal::Instance()
{
    static TIdleSignal* instance = new TIdleSignal(); // lives as long as the application
    return *instance;
}

TIdleSignal::TIdleSignal()
{
    if (QCoreApplication::instance())
        setParent(QCoreApplication::instance());
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QCoreApplication::instance()
                                                                  ? QCoreApplication::instance()->thread()
                                                                  : QThread::currentThread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TIdleSignal::AboutToBlock);
}

void TIdleSignal::AboutToBlock()
{
    if (FRunning)
        return; // a handler that runs a nested loop does not idle itself
    FRunning = true;
    emit Idle();
    FRunning = false;
}
