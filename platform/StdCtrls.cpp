#include "platform/StdCtrls.h"

void TAction::SetHint(const QString& value)
{
    FHint = value;
    setToolTip(value);
    setStatusTip(value);
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
