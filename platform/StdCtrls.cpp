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

// A change tells the controls that follow the action.
void TAction::SetHelpContext(int value)
{
    if (value == FHelpContext)
        return;
    FHelpContext = value;
    emit changed();
}

void TAction::SetHelpKeyword(const QString& value)
{
    if (value == FHelpKeyword)
        return;
    FHelpKeyword = value;
    emit changed();
}

void TAction::SetHelpType(StdCtrls::THelpType value)
{
    if (value == FHelpType)
        return;
    FHelpType = value;
    emit changed();
}

void TAction::SetTag(int value)
{
    if (value == FTag)
        return;
    FTag = value;
    emit changed();
}

bool ParentFontOf(const QWidget& widget)
{
    return !widget.testAttribute(Qt::WA_SetFont);
}

// Back to the parent's font: an empty font resolves nothing of its own.
void SetParentFontOf(QWidget& widget, bool value)
{
    if (value) {
        widget.setFont(QFont());
        widget.setAttribute(Qt::WA_SetFont, false);
    } else if (!widget.testAttribute(Qt::WA_SetFont)) {
        widget.setFont(widget.font());
        widget.setAttribute(Qt::WA_SetFont, true);
    }
}

TButton::TButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    // Connected first, so the result is set before the click's own handlers run.
    connect(this, &QAbstractButton::clicked, this, [this] { SetFormModalResult(window(), FModalResult); });
}

void TButton::SetDefault(bool value)
{
    FDefault = value;
    setDefault(value);
}

bool TButton::TakesEnter() const
{
    return ButtonTakesEnter(this, FDefault);
}

bool TButton::DialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return false;
    const bool enter = (key == Qt::Key_Return || key == Qt::Key_Enter) && TakesEnter();
    const bool escape = key == Qt::Key_Escape && FCancel && ButtonCanFocus(this);
    if (!enter && !escape)
        return false;
    click();
    return true;
}
