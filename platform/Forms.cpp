#include "platform/Forms.h"

#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>

#include <vector>

TDialogKeyReceiver::~TDialogKeyReceiver() = default;

bool TDialogKeyReceiver::DialogChar(QChar, Qt::KeyboardModifiers)
{
    return false;
}

bool TDialogKeyReceiver::PushButton() const
{
    return false;
}

bool TDialogKeyReceiver::TakesEnter() const
{
    return false;
}

namespace {

// The receivers among the form's own controls, in the form's order. Taken
// before any is asked: a receiver's click may change the form.
std::vector<QPointer<QWidget>> Receivers(QWidget* form)
{
    std::vector<QPointer<QWidget>> out;
    if (!form)
        return out;
    for (QWidget* child : form->findChildren<QWidget*>())
        if (child->window() == form && dynamic_cast<TDialogKeyReceiver*>(child))
            out.emplace_back(child);
    return out;
}

template <typename Ask>
bool AskReceivers(QWidget* form, Ask ask)
{
    for (const QPointer<QWidget>& widget : Receivers(form))
        if (widget && ask(*dynamic_cast<TDialogKeyReceiver*>(widget.data())))
            return true;
    return false;
}

// The keys that reach a window that is no TForm.
class TDialogKeyFilter : public QObject {
public:
    explicit TDialogKeyFilter(QWidget* window) : QObject(window), FWindow(window)
    {
        setObjectName("DialogKeys");
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != FWindow || event->type() != QEvent::KeyPress)
            return false;
        return FormDialogKeyEvent(FWindow, *static_cast<QKeyEvent*>(event));
    }

private:
    QWidget* FWindow;
};

// After the current event: closes the dialog with its result when that is
// still other than 0.
void CloseLater(QDialog* dialog)
{
    QMetaObject::invokeMethod(
        dialog,
        [dialog] {
            if (dialog->result() != mrNone && dialog->isVisible())
                dialog->done(dialog->result());
        },
        Qt::QueuedConnection);
}

} // namespace

QWidget* ParentForm(const QWidget* control)
{
    return control ? control->window() : nullptr;
}

bool FormDialogKey(QWidget* form, int key, Qt::KeyboardModifiers modifiers)
{
    return AskReceivers(form, [&](TDialogKeyReceiver& r) { return r.DialogKey(key, modifiers); });
}

bool FormDialogChar(QWidget* form, QChar character, Qt::KeyboardModifiers modifiers)
{
    return AskReceivers(form, [&](TDialogKeyReceiver& r) { return r.DialogChar(character, modifiers); });
}

bool FocusOnPushButton(const QWidget* form)
{
    QWidget* focus = form ? form->focusWidget() : nullptr;
    if (!focus)
        return false;
    if (qobject_cast<QPushButton*>(focus))
        return true;
    const auto* receiver = dynamic_cast<const TDialogKeyReceiver*>(focus);
    return receiver && receiver->PushButton();
}

bool ButtonCanFocus(const QWidget* button)
{
    return button && button->isEnabled() && button->focusPolicy() != Qt::NoFocus &&
           button->isVisibleTo(ParentForm(button));
}

bool ButtonTakesEnter(const QWidget* button, bool isDefault)
{
    if (!ButtonCanFocus(button))
        return false;
    const QWidget* form = ParentForm(button);
    return form->focusWidget() == button || (isDefault && !FocusOnPushButton(form));
}

QWidget* FormEnterReceiver(QWidget* form)
{
    for (const QPointer<QWidget>& widget : Receivers(form))
        if (widget && dynamic_cast<const TDialogKeyReceiver*>(widget.data())->TakesEnter())
            return widget;
    return nullptr;
}

bool FormDialogKeyEvent(QWidget* form, const QKeyEvent& event)
{
    QPointer<QWidget> alive(form);
    if (FormDialogKey(form, event.key(), event.modifiers()))
        return true;
    const QString text = event.text();
    return alive && !text.isEmpty() && FormDialogChar(form, text[0], event.modifiers());
}

void InstallDialogKeys(QWidget* window)
{
    if (!window || qobject_cast<TForm*>(window))
        return;
    for (QObject* child : window->children())
        if (dynamic_cast<TDialogKeyFilter*>(child))
            return;
    new TDialogKeyFilter(window);
}

void SetFormModalResult(QWidget* form, int result)
{
    if (auto* owned = qobject_cast<TForm*>(form)) {
        owned->SetModalResult(result);
        return;
    }
    auto* dialog = qobject_cast<QDialog*>(form);
    if (!dialog)
        return;
    dialog->setResult(result);
    if (result != mrNone)
        CloseLater(dialog);
}

// ---- The form ------------------------------------------------------------------

TForm::TForm(QWidget* owner, Qt::WindowFlags flags) : QDialog(owner, flags) {}

void TForm::SetModalResult(int value)
{
    FModalResult = value;
    setResult(value);
    if (value == mrNone || FClosePending)
        return;
    FClosePending = true;
    QMetaObject::invokeMethod(this, &TForm::CloseWithModalResult, Qt::QueuedConnection);
}

void TForm::CloseWithModalResult()
{
    FClosePending = false;
    if (FModalResult != mrNone && isVisible())
        done(FModalResult);
}

void TForm::showEvent(QShowEvent* event)
{
    FModalResult = mrNone;
    QDialog::showEvent(event);
}

void TForm::keyPressEvent(QKeyEvent* event)
{
    if (FormDialogKeyEvent(this, *event)) {
        event->accept();
        return;
    }
    // No default or cancel button took it: Enter and Escape do nothing more
    // (a form without a cancel button stays open on Escape).
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
