#include "platform/Beep.h"

#include <QApplication>

#include <atomic>
#include <mutex>

namespace {
std::atomic<unsigned> gBeeps{0};
std::mutex gSinkLock;
std::function<void(unsigned)> gSink;
} // namespace

void MessageBeep(unsigned type)
{
    ++gBeeps;
    std::function<void(unsigned)> sink;
    {
        std::lock_guard lock(gSinkLock);
        sink = gSink;
    }
    if (sink) {
        sink(type);
        return;
    }
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

unsigned BeepCount()
{
    return gBeeps.load();
}

void SetBeepSink(std::function<void(unsigned)> sink)
{
    std::lock_guard lock(gSinkLock);
    gSink = std::move(sink);
}
