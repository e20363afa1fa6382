#pragma once
// Keys for the tests that drive windows as a person does, at the three depths
// a key can come in at:
// - SendKey, SendText: straight to one widget, as the application delivers
//   it; FocusKey, FocusText: the same to the widget that has the focus;
// - PressKey, TypeKeys: to a window, as the window system hands it over
//   (the toolkit finds the focus widget, or the list a combo box opened);
// - X11Key, WindowKey, HoldKey, StampedKey: with the texts and repeat marks
//   the X server puts on them, including what holding a key down produces.
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

// A key press (and release) sent to the widget as the application delivers it.
inline bool SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
    return press.isAccepted();
}

// Types text into the widget one character at a time.
inline void SendText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        const int key = c.isLetterOrNumber() ? c.toUpper().unicode() : c.unicode();
        SendKey(widget, key, Qt::NoModifier, QString(c));
    }
}

// A key press (and release) sent to the widget that has the focus: the
// grid, or the editor it opened in a cell.
inline void FocusKey(int key, const QString& text = {}, Qt::KeyboardModifiers modifiers = {})
{
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    SendKey(target, key, modifiers, text);
}

// Types text into the widget that has the focus, one key per character.
inline void FocusText(const QString& text)
{
    for (const QChar c : text)
        FocusKey(c.isLetterOrNumber() ? c.toUpper().unicode() : c.unicode(), QString(c));
}

// Keys pressed and released as the window system delivers them to the window
// of `inWindow`: to its focus widget, or to a list that a combo box opened.
inline void PressKey(QWidget* inWindow, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(inWindow->window()->windowHandle(), key, modifiers);
}
// ASCII text, one key per character.
inline void TypeKeys(QWidget* inWindow, const QString& text)
{
    for (const QChar c : text)
        QTest::keyClick(inWindow->window()->windowHandle(), c.toLatin1());
}

// A key pressed and released as the X server delivers it to the window of
// `inWindow`, with the text it carries there: Delete with "\x7f", Backspace
// with "\x08", Alt and a letter with the letter.
inline void X11Key(QWidget* inWindow, Qt::Key key, const QString& text,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWindow* window = inWindow->window()->windowHandle();
    qt_handleKeyEvent(window, QEvent::KeyPress, key, modifiers, text);
    qt_handleKeyEvent(window, QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::processEvents();
}

// One key event as the window system delivers it to the window that has the
// focus.
inline void WindowKey(QWindow* window, QEvent::Type type, Qt::Key key, const QString& text, bool repeat = false)
{
    qt_handleKeyEvent(window, type, key, Qt::NoModifier, text, repeat);
    QCoreApplication::processEvents();
}

// Holds `key` down until it has repeated `repeats` times, then lets it go:
// after the first press, pairs of release and press marked as repeats, then
// the release that ends it.
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
