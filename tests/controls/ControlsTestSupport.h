#pragma once
// What the control tests share: fixed format settings for the length of a
// test, typing into an edit's logic, beeps counted, a window made the
// active one. The key senders are in tests/common/KeyInput.h.
#include "controls/Zor_EditCore.h"
#include "platform/Beep.h"
#include "platform/FormatSettings.h"
#include "tests/common/KeyInput.h"
#include "tests/common/MachineNumbers.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <string>

// The format settings the program has on this machine, for the length of a
// test, with the date and time patterns the cases are written for (day,
// month, year; hours and minutes). The separators stay the machine's: a case
// writes a number with ',' for the decimal separator (Num) and a date with
// '.' for the date separator (Day). With TPatterns::Machine the patterns
// stay the machine's too (in C.UTF-8 yyyy-mm-dd and hh:nn:ss), for cases
// that build their texts from the settings. The settings of before come back
// when the scope ends.
class TFormatScope {
public:
    enum class TPatterns { Cases, Machine };
    explicit TFormatScope(TPatterns patterns = TPatterns::Cases) : FSaved(FormatSettings())
    {
        TFormatSettings& f = FormatSettings();
        f = TFormatSettings::FromSystem();
        if (patterns == TPatterns::Machine)
            return;
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

// Shows the window and makes it the active one, as clicking on it would.
inline bool ShowActive(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}
