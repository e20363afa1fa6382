#include "controls/Zor_ZusaetzlicheControls.h"

#include "controls/Zor_ButtonLayout.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

// The controls of the parent in the order Tab goes through them.
std::vector<QWidget*> TabSiblings(const QWidget* control)
{
    std::vector<QWidget*> out;
    QWidget* parent = control->parentWidget();
    if (!parent)
        return out;
    for (QWidget* w = parent->nextInFocusChain(); w && w != parent; w = w->nextInFocusChain())
        if (w->parentWidget() == parent)
            out.push_back(w);
    return out;
}

} // namespace

TZor_BitBtn::TZor_BitBtn(QWidget* parent) : QWidget(parent), FTag(new TZor_Tag(this))
{
    G_Zor_AutoScreen();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    if (parent)
        InstallDialogKeys(window());
    // The focus moving in the form may move the default look.
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            if ((old && old->window() == window()) || (now && now->window() == window()))
                update();
        });
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
    InstallDialogKeys(window());
    RepaintFormButtons();
}

void TZor_BitBtn::SetCancel(bool value)
{
    FCancel = value;
    RepaintFormButtons();
}

void TZor_BitBtn::RepaintFormButtons()
{
    for (TZor_BitBtn* button : window()->findChildren<TZor_BitBtn*>())
        button->update();
    if (auto* self = qobject_cast<TZor_BitBtn*>(window()))
        self->update();
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
    // Help and tag, where the action publishes them (TAction does).
    auto copy = [this](const char* name) {
        QMetaProperty from;
        QMetaProperty to;
        if (FindPublishedProperty(FAction, name, &from) && FindPublishedProperty(this, name, &to))
            to.write(this, from.read(FAction));
    };
    for (const char* name : {"HelpContext", "HelpKeyword", "HelpType", "Tag"})
        copy(name);
    if (parentWidget())
        setVisible(FAction->isVisible());
    setEnabled(FAction->isEnabled());
    update();
}

int TZor_BitBtn::TabOrder() const
{
    const std::vector<QWidget*> siblings = TabSiblings(this);
    const auto at = std::find(siblings.begin(), siblings.end(), this);
    return at == siblings.end() ? -1 : static_cast<int>(at - siblings.begin());
}

void TZor_BitBtn::SetTabOrder(int value)
{
    std::vector<QWidget*> siblings = TabSiblings(this);
    if (siblings.empty())
        return;
    const auto self = std::find(siblings.begin(), siblings.end(), this);
    if (self == siblings.end())
        return;
    siblings.erase(self);
    const auto place = static_cast<std::size_t>(std::clamp(value, 0, static_cast<int>(siblings.size())));
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(place), this);
    for (std::size_t i = 1; i < siblings.size(); ++i)
        QWidget::setTabOrder(siblings[i - 1], siblings[i]);
}

void TZor_BitBtn::SetCursor(TCursor value)
{
    FCursor = value;
    if (value == crDefault)
        unsetCursor();
    else
        setCursor(CursorShapeOf(value));
}

void TZor_BitBtn::SetBiDiMode(TBiDiMode value)
{
    FBiDiMode = value;
    setLayoutDirection(value == TBiDiMode::bdLeftToRight ? Qt::LeftToRight : Qt::RightToLeft);
    update();
}

void TZor_BitBtn::Click()
{
    SetFormModalResult(ParentForm(this), FModalResult);
    if (OnClick)
        OnClick(this);
    else if (FAction)
        FAction->trigger();
}

bool TZor_BitBtn::TakesEnter() const
{
    // The button the person went to takes Enter, whatever Default and Cancel
    // say; else the default button that is no cancel button.
    return ButtonTakesEnter(this, FDefault && !FCancel);
}

bool TZor_BitBtn::DrawnAsDefault() const
{
    return FormEnterReceiver(window()) == this;
}

bool TZor_BitBtn::DialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return false;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool escape = key == Qt::Key_Escape;
    if (!(enter && TakesEnter()) && !(escape && FDefault && FCancel && ButtonCanFocus(this)))
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
        InstallDialogKeys(window());
    if (event->type() == QEvent::ToolTip && !FShowHint) {
        event->ignore();
        return true;
    }
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
    paint.State = {FHover, FPressed, isEnabled(), hasFocus(), DrawnAsDefault()};
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
    // The second press of a double click is no press of the button: its
    // release clicks nothing.
    if (event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick(this);
    event->accept();
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
    // The form's dialog keys and characters decide (platform/Forms.h).
    event->ignore();
}

void TZor_BitBtn::contextMenuEvent(QContextMenuEvent* event)
{
    if (!FPopupMenu) {
        event->ignore();
        return;
    }
    FPopupMenu->popup(event->globalPos());
    event->accept();
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
