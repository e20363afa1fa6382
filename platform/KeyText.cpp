#include "platform/KeyText.h"

#include <QKeyEvent>

char32_t KeyCharCode(const QKeyEvent& Event)
{
    switch (Event.key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Delete: return 0;
    default: break;
    }
    const QList<uint> text = Event.text().toUcs4();
    const char32_t c = text.isEmpty() ? 0 : static_cast<char32_t>(text.front());
    return IsTypedCharacter(c) ? c : 0;
}

char32_t TypedCharacter(const QKeyEvent& Event)
{
    const char32_t c = KeyCharCode(Event);
    return IsTypedCharacter(c) ? c : 0;
}
