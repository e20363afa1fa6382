#pragma once
// What the control tests share: fixed format settings for the length of a
// test, typing into an edit's logic, beeps counted, synthetic key events.
#include "controls/Zor_EditCore.h"
#include "platform/Beep.h"
#include "platform/FormatSettings.h"
#include "tests/common/MachineNumbers.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <string>

// The format settings the program has on this machine, for the length of a
// test, with the date and time patterns the cases are written for (day,
// month, year; hours and minutes). The separators stay the machine's: a case
// writes a number with ',' for the decimal separator (Num) and a date with
// '.' for the date separator (Day). The settings of before come back when the
// scope ends.
class TFormatScope {
public:
    TFormatScope() : FSaved(FormatSettings())
    {
        TFormatSettings& f = FormatSettings();
        f = TFormatSettings::FromSystem();
        f.ShortDateFormat = "dd/mm/yyyy";
        f.ShortTimeFormat = "hh:nn";
        f.LongTimeFormat = "hh:nn:ss";
        f.TimeAMString = "AM";
        f.TimePMString = "PM";
    }
    ~TFormatScope() { FormatSettings() = FSaved; }
    TFormatScope(const TFormatScope&) = delete;
    TFormatScope& operator=(const TFormatScope&) = delete;

private:
    TFormatSettings FSaved;
};

// Beeps given since the counter was made.
class TBeepCounter {
public:
    unsigned Count() const { return BeepCount() - FStart; }

private:
    unsigned FStart = BeepCount();
};

// Types `keys` at the caret as the window would: each character goes through
// the key press (history keys and key filter), then the changed text through
// the change stage.
inline void Type(TZor_EditCore& edit, const std::u32string& keys)
{
    for (const char32_t key : keys) {
        const char32_t mapped = edit.KeyPress(key);
        if (mapped == 0 || mapped < 32)
            continue;
        std::u32string text = QString::fromStdString(edit.Text()).toStdU32String();
        const TZor_Selection sel = edit.Selection();
        text.replace(static_cast<std::size_t>(sel.Start), static_cast<std::size_t>(sel.Length), 1, mapped);
        edit.TextEdited(QString::fromStdU32String(text).toStdString(), {sel.Start + 1, 0});
        edit.KeyUp(false, edit.Selection());
    }
}

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

// Shows the window and makes it the active one, as clicking on it would.
inline bool ShowActive(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
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
