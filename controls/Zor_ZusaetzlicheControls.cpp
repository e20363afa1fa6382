#include "controls/Zor_ZusaetzlicheControls.h"

#include "controls/Zor_ButtonLayout.h"

#include <QAction>
#include <QDialog>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TZor_BitBtn::TZor_BitBtn(QWidget* parent) : QWidget(parent), FTag(new TZor_Tag(this))
{
    G_Zor_AutoScreen();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    if (parent)
        ZorInstallDialogKeys(window());
}

TZor_BitBtn::~TZor_BitBtn() = default;

void TZor_BitBtn::SetGlyphCount(int value)
{
    FGlyphCount = std::clamp(value, 1, 5);
    repaint();
}

void TZor_BitBtn::SetDefault(bool value)
{
    FDefault = value;
    ZorInstallDialogKeys(window());
}

void TZor_BitBtn::SetGlyph(const QImage& value)
{
    FGlyph = value;
    update();
}

void TZor_BitBtn::SetCaption(const QString& value)
{
    if (value == FCaption)
        return;
    FCaption = value;
    update();
}

void TZor_BitBtn::SetAction(QAction* action)
{
    if (FAction)
        disconnect(FAction, nullptr, this, nullptr);
    FAction = action;
    if (!action)
        return;
    connect(action, &QAction::changed, this, &TZor_BitBtn::ActionChanged);
    ActionChanged();
}

void TZor_BitBtn::ActionChanged()
{
    if (!FAction)
        return;
    FCaption = FAction->text();
    if (!FAction->icon().isNull()) {
        const QList<QSize> sizes = FAction->icon().availableSizes();
        const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
        QImage glyph(size, QImage::Format_RGB32);
        glyph.fill(QColor(0xFF, 0x00, 0xFF));
        QPainter painter(&glyph);
        painter.drawPixmap(0, 0, FAction->icon().pixmap(size));
        painter.end();
        FGlyph = glyph;
    }
    setToolTip(FAction->toolTip());
    if (parentWidget())
        setVisible(FAction->isVisible());
    setEnabled(FAction->isEnabled());
    update();
}

bool TZor_BitBtn::CanFocus() const
{
    return isEnabled() && focusPolicy() != Qt::NoFocus && isVisibleTo(window());
}

void TZor_BitBtn::Click()
{
    QWidget* form = window();
    auto* dialog = qobject_cast<QDialog*>(form);
    QMetaProperty property;
    const bool published = form && form != this && FindPublishedProperty(form, "ModalResult", &property) &&
                           property.isWritable();
    if (published)
        property.write(form, FModalResult);
    else if (dialog)
        dialog->setResult(FModalResult);
    QPointer<TZor_BitBtn> alive(this);
    if (OnClick)
        OnClick(this);
    else if (FAction)
        FAction->trigger();
    // A dialog closes with a result that the click left other than 0.
    if (alive && dialog && !published && FModalResult != 0 && dialog->result() != 0)
        dialog->done(dialog->result());
}

bool TZor_BitBtn::DialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (!FDefault || (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool escape = key == Qt::Key_Escape;
    if (!((enter && !FCancel) || (escape && FCancel)) || !CanFocus())
        return false;
    Click();
    return true;
}

bool TZor_BitBtn::DialogChar(QChar character, Qt::KeyboardModifiers)
{
    if (!isEnabled() || !OnClick || FPressed)
        return false;
    const QChar accelerator = ZorAccelerator(FCaption);
    const bool isAccelerator = !accelerator.isNull() && character.toUpper() == accelerator.toUpper();
    const bool own = hasFocus() && (character == ' ' || character == '\r');
    if (!isAccelerator && !own)
        return false;
    QPointer<TZor_BitBtn> alive(this);
    FPressed = true;
    repaint();
    setFocus(Qt::ShortcutFocusReason);
    repaint();
    OnClick(this);
    if (alive) {
        FPressed = false;
        update();
    }
    return true;
}

bool TZor_BitBtn::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        ZorInstallDialogKeys(window());
    return QWidget::event(event);
}

void TZor_BitBtn::paintEvent(QPaintEvent*)
{
    TZor_ButtonPaint paint;
    paint.Width = width();
    paint.Height = height();
    paint.Font = font();
    paint.Caption = FCaption;
    paint.Glyph = FGlyph;
    paint.GlyphCount = FGlyphCount;
    paint.State = {FHover, FPressed, isEnabled(), hasFocus()};
    QPainter painter(this);
    painter.drawImage(0, 0, ZorPaintButton(paint));
}

void TZor_BitBtn::enterEvent(QEnterEvent* event)
{
    FHover = true;
    QWidget::enterEvent(event);
    repaint();
}

void TZor_BitBtn::leaveEvent(QEvent* event)
{
    FHover = false;
    QWidget::leaveEvent(event);
    repaint();
}

void TZor_BitBtn::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        FPressed = true;
        if (focusPolicy() != Qt::NoFocus)
            setFocus(Qt::MouseFocusReason);
    }
    QWidget::mousePressEvent(event);
    repaint();
}

void TZor_BitBtn::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click presses the button as the first did.
    mousePressEvent(event);
}

void TZor_BitBtn::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = FPressed;
    QPointer<TZor_BitBtn> alive(this);
    if (event->button() == Qt::LeftButton) {
        FPressed = false;
        if (wasPressed && rect().contains(event->position().toPoint()))
            Click();
    }
    if (!alive)
        return;
    QWidget::mouseReleaseEvent(event);
    repaint();
}

void TZor_BitBtn::keyPressEvent(QKeyEvent* event)
{
    // The form's dialog keys and characters decide (ZorInstallDialogKeys).
    event->ignore();
}

void TZor_BitBtn::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    repaint();
}

void TZor_BitBtn::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    repaint();
}

void TZor_BitBtn::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

TZor_Image::TZor_Image(QWidget* parent) : QLabel(parent), FTag(new TZor_Tag(this)) {}
