#include "platform/StdCtrls.h"

#include <QIcon>
#include <QPixmap>

void TAction::SetHint(const QString& value)
{
    FHint = value;
    setToolTip(value);
    setStatusTip(value);
}

void TAction::SetImage(int index, const QImage& enabled, const QImage& disabled)
{
    FImageIndex = index;
    QIcon icon;
    if (index >= 0) {
        icon.addPixmap(QPixmap::fromImage(enabled), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(disabled), QIcon::Disabled);
    }
    setIcon(icon);
}

namespace {
// Back to the parent's font: an empty font resolves nothing of its own.
void TakeParentFont(QWidget& widget, bool value)
{
    if (value) {
        widget.setFont(QFont());
        widget.setAttribute(Qt::WA_SetFont, false);
    } else if (!widget.testAttribute(Qt::WA_SetFont)) {
        widget.setFont(widget.font());
        widget.setAttribute(Qt::WA_SetFont, true);
    }
}
} // namespace

void TLabel::SetParentFont(bool value)
{
    TakeParentFont(*this, value);
}

void TButton::SetParentFont(bool value)
{
    TakeParentFont(*this, value);
}
