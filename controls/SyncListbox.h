#pragma once
// A list box that keeps its sibling list boxes in step: the keys typed into it
// and its scrolling are handed on to every other TSyncListbox on the same
// parent, which handles them as if they had come to it. A list that handles a
// handed-on message does not hand it on again, so siblings never ping-pong.
//
// The messages keep the shape of window messages (message, wParam, lParam):
//   WM_KEYDOWN, WM_KEYUP  wParam the Qt key, lParam the modifiers
//   WM_CHAR               wParam the character (UCS-4), lParam the modifiers
//   WM_MOUSEWHEEL         wParam the vertical, lParam the horizontal angle delta
//   WM_VSCROLL, WM_HSCROLL wParam the scroll bar action, lParam its position
//
// GUI thread only.
#include <QListWidget>

namespace SyncListbox {
Q_NAMESPACE
enum class TSyncKind : quint8 { skBoth = 0, skVScroll = 1, skHScroll = 2, skNone = 3 };
Q_ENUM_NS(TSyncKind)
} // namespace SyncListbox

using SyncListbox::TSyncKind;

inline constexpr quint32 WM_KEYDOWN = 0x100;
inline constexpr quint32 WM_KEYUP = 0x101;
inline constexpr quint32 WM_CHAR = 0x102;
inline constexpr quint32 WM_HSCROLL = 0x114;
inline constexpr quint32 WM_VSCROLL = 0x115;
inline constexpr quint32 WM_MOUSEWHEEL = 0x20A;

class TSyncListbox : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(SyncListbox::TSyncKind SyncKind READ SyncKind WRITE SetSyncKind)
    // Published so that a form's translation data can name the list's font.
    Q_PROPERTY(QFont Font READ font WRITE setFont)

public:
    using QListWidget::QListWidget;

    TSyncKind SyncKind() const { return FSyncKind; }
    void SetSyncKind(TSyncKind value) { FSyncKind = value; }

    // Hands the message to every other TSyncListbox of the parent, in the
    // parent's order.
    virtual void BroadcastMessage(quint32 Msg, quint32 WParam, qint32 LParam);
    // Handles a message handed on by a sibling (nothing with skNone).
    virtual void ReceiveMessage(quint32 Msg, quint32 WParam, qint32 LParam);

    // Whether a list of this kind hands the message on.
    static bool HandsOn(TSyncKind kind, quint32 msg);
    bool Receiving() const { return FReceiving; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Handle(quint32 Msg, quint32 WParam, qint32 LParam);
    void ScrollAction(quint32 Msg, int action);
    void ConnectScrollBars();

    TSyncKind FSyncKind = TSyncKind::skBoth;
    bool FReceiving = false;
    bool FOwnWheel = false;
    bool FConnected = false;
};
