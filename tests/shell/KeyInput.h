#pragma once
// Keys as the window system delivers them to the window that has the focus,
// including what holding a key down produces: after the first press, pairs
// of release and press marked as repeats, then the release that ends it.
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWindow>

inline void WindowKey(QWindow* window, QEvent::Type type, Qt::Key key, const QString& text, bool repeat = false)
{
    qt_handleKeyEvent(window, type, key, Qt::NoModifier, text, repeat);
    QCoreApplication::processEvents();
}

// Holds `key` down until it has repeated `repeats` times, then lets it go.
inline void HoldKey(QWindow* window, Qt::Key key, const QString& text, int repeats)
{
    WindowKey(window, QEvent::KeyPress, key, text);
    for (int i = 0; i < repeats; ++i) {
        WindowKey(window, QEvent::KeyRelease, key, text, true);
        WindowKey(window, QEvent::KeyPress, key, text, true);
    }
    WindowKey(window, QEvent::KeyRelease, key, text);
}

// One key event as the window system stamped it (`time`, its milliseconds),
// handed to the control that has the focus, as the window does. The
// toolkit's own test keys take the stamp from the clock of the moment; this
// one lets a case say how far apart the events were.
inline void StampedKey(QEvent::Type type, Qt::Key key, const QString& text, bool repeat, quint64 time)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    QKeyEvent event(type, key, Qt::NoModifier, text, repeat);
    event.setTimestamp(time);
    QApplication::sendEvent(focus, &event);
    QCoreApplication::processEvents();
}
