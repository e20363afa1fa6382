// The character a key types, for key events as the X server sends them: the
// control keys come with their control characters, and type nothing.
#include "platform/KeyText.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

TEST(KeyText, ControlKeysTypeNothingWhateverTextTheyCarry)
{
    struct Case {
        const char* What;
        int Key;
        QString Text;
        Qt::KeyboardModifiers Modifiers;
        char32_t Typed;    // TypedCharacter
        char32_t Message;  // KeyCharCode
    };
    const Case cases[] = {
        {"Delete", Qt::Key_Delete, "\x7f", {}, 0, 0},
        {"Delete, no text", Qt::Key_Delete, "", {}, 0, 0},
        {"Backspace", Qt::Key_Backspace, "\b", {}, 0, 8},
        {"Backspace, no text", Qt::Key_Backspace, "", {}, 0, 8},
        {"Escape", Qt::Key_Escape, "\x1b", {}, 0, 27},
        {"Return", Qt::Key_Return, "\r", {}, 0, 13},
        {"Enter", Qt::Key_Enter, "\r", {}, 0, 13},
        {"Tab", Qt::Key_Tab, "\t", {}, 0, 9},
        {"Ctrl+A", Qt::Key_A, "\x01", Qt::ControlModifier, 0, 0},
        {"a key with a C1 control", Qt::Key_unknown, QString(QChar(0x85)), {}, 0, 0},
        {"an arrow", Qt::Key_Left, "", {}, 0, 0},
        {"a", Qt::Key_A, "a", {}, U'a', U'a'},
        {"the blank", Qt::Key_Space, " ", {}, U' ', U' '},
        {"comma", Qt::Key_Comma, ",", {}, U',', U','},
        {"ä", Qt::Key_Adiaeresis, QString::fromUtf8("ä"), {}, U'ä', U'ä'},
        {"€ with AltGr", Qt::Key_E, QString::fromUtf8("€"), Qt::GroupSwitchModifier, U'€', U'€'},
        {"Alt+o", Qt::Key_O, "o", Qt::AltModifier, U'o', U'o'}, // what it means is the control's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const QKeyEvent event(QEvent::KeyPress, c.Key, c.Modifiers, c.Text);
        EXPECT_EQ(TypedCharacter(event), c.Typed);
        EXPECT_EQ(KeyCharCode(event), c.Message);
    }
}
