#include "controls/SyncListbox.h"

#include "platform/KeyText.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

bool TSyncListbox::HandsOn(TSyncKind kind, quint32 msg)
{
    switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_MOUSEWHEEL: return kind != TSyncKind::skNone;
    case WM_VSCROLL: return kind == TSyncKind::skBoth || kind == TSyncKind::skVScroll;
    case WM_HSCROLL: return kind == TSyncKind::skBoth || kind == TSyncKind::skHScroll;
    default: return false;
    }
}

void TSyncListbox::BroadcastMessage(quint32 Msg, quint32 WParam, qint32 LParam)
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    for (QObject* child : parent->children()) {
        auto* sibling = qobject_cast<TSyncListbox*>(child);
        if (sibling && sibling != this)
            sibling->ReceiveMessage(Msg, WParam, LParam);
    }
}

void TSyncListbox::ReceiveMessage(quint32 Msg, quint32 WParam, qint32 LParam)
{
    if (FSyncKind == TSyncKind::skNone)
        return;
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } guard{FReceiving};
    FReceiving = true;
    Handle(Msg, WParam, LParam);
}

void TSyncListbox::Handle(quint32 Msg, quint32 WParam, qint32 LParam)
{
    ConnectScrollBars();
    const auto modifiers = Qt::KeyboardModifiers(LParam);
    switch (Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP: {
        QKeyEvent key(Msg == WM_KEYDOWN ? QEvent::KeyPress : QEvent::KeyRelease, static_cast<int>(WParam),
                      modifiers);
        event(&key);
        break;
    }
    case WM_CHAR: {
        const auto character = static_cast<char32_t>(WParam);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, modifiers, QString::fromUcs4(&character, 1));
        event(&key);
        break;
    }
    case WM_MOUSEWHEEL: {
        const QPointF centre = viewport()->rect().center();
        QWheelEvent wheel(centre, viewport()->mapToGlobal(centre), QPoint(),
                          QPoint(LParam, static_cast<qint32>(WParam)), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        viewportEvent(&wheel);
        break;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
        QScrollBar* bar = Msg == WM_VSCROLL ? verticalScrollBar() : horizontalScrollBar();
        const auto action = static_cast<QAbstractSlider::SliderAction>(WParam);
        if (action == QAbstractSlider::SliderMove)
            bar->setValue(LParam);
        else
            bar->triggerAction(action);
        break;
    }
    default:
        break;
    }
}

void TSyncListbox::ConnectScrollBars()
{
    if (FConnected)
        return;
    FConnected = true;
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { ScrollAction(WM_VSCROLL, action); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { ScrollAction(WM_HSCROLL, action); });
}

void TSyncListbox::ScrollAction(quint32 Msg, int action)
{
    // The list's own wheel has been handed on as such already.
    if (FReceiving || FOwnWheel || !HandsOn(FSyncKind, Msg))
        return;
    const QScrollBar* bar = Msg == WM_VSCROLL ? verticalScrollBar() : horizontalScrollBar();
    BroadcastMessage(Msg, static_cast<quint32>(action), bar->sliderPosition());
}

void TSyncListbox::showEvent(QShowEvent* event)
{
    ConnectScrollBars();
    QListWidget::showEvent(event);
}

void TSyncListbox::keyPressEvent(QKeyEvent* event)
{
    ConnectScrollBars();
    if (!FReceiving && HandsOn(FSyncKind, WM_KEYDOWN)) {
        const auto modifiers = static_cast<qint32>(event->modifiers().toInt());
        if (event->key() != Qt::Key_unknown)
            BroadcastMessage(WM_KEYDOWN, static_cast<quint32>(event->key()), modifiers);
        if (const char32_t typed = TypedCharacter(*event))
            BroadcastMessage(WM_CHAR, typed, modifiers);
    }
    QListWidget::keyPressEvent(event);
}

void TSyncListbox::keyReleaseEvent(QKeyEvent* event)
{
    if (!FReceiving && HandsOn(FSyncKind, WM_KEYUP))
        BroadcastMessage(WM_KEYUP, static_cast<quint32>(event->key()),
                         static_cast<qint32>(event->modifiers().toInt()));
    QListWidget::keyReleaseEvent(event);
}

void TSyncListbox::wheelEvent(QWheelEvent* event)
{
    ConnectScrollBars();
    if (!FReceiving && HandsOn(FSyncKind, WM_MOUSEWHEEL))
        BroadcastMessage(WM_MOUSEWHEEL, static_cast<quint32>(event->angleDelta().y()), event->angleDelta().x());
    const bool wasOwn = FOwnWheel;
    FOwnWheel = true;
    QListWidget::wheelEvent(event);
    FOwnWheel = wasOwn;
}
