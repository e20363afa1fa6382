#pragma once
// The form base: a window with a ModalResult and the dialog keys.
//
// Enter and Escape are the form's dialog keys: they go to its default and
// cancel buttons; Enter on a focused push button clicks that button. A
// control that takes part implements TDialogKeyReceiver; FormDialogKey asks
// every receiver of the form, in the form's control order, until one takes
// the key. A TForm offers every key that no control under the
// focus used; a control that wants Enter and Escape for itself (an edit with
// a history) offers each typed character first and uses only what no control
// of the form took. A window that is no TForm gets the same from
// InstallDialogKeys.
//
// A form's ModalResult other than 0 closes it with that result once the event
// being handled is done, so a click handler that sets it back to 0 keeps the
// form open.
//
// GUI thread only.
#include <QDialog>

class QKeyEvent;

// Modal results of forms and buttons (mrOk is QDialog::Accepted).
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

class TDialogKeyReceiver {
public:
    virtual ~TDialogKeyReceiver();
    // A key the form offers (Qt key code, Enter and Escape among them) with
    // the modifiers held; true: taken.
    virtual bool DialogKey(int key, Qt::KeyboardModifiers modifiers) = 0;
    // A typed character that the focused control did not use (an
    // accelerator); true: taken.
    virtual bool DialogChar(QChar character, Qt::KeyboardModifiers modifiers);
    // A push button: while it has the focus, Enter is its own and no
    // default button's.
    virtual bool PushButton() const;
    // Whether Enter with no Shift, Ctrl or Alt would be taken now (a button
    // that would click); asks only, changes nothing.
    virtual bool TakesEnter() const;
};

// The form of a control: its window.
QWidget* ParentForm(const QWidget* control);
// Asks the receivers among the form's controls (not those of other windows
// inside it), in order, until one takes the key.
bool FormDialogKey(QWidget* form, int key, Qt::KeyboardModifiers modifiers);
bool FormDialogChar(QWidget* form, QChar character, Qt::KeyboardModifiers modifiers);
// Whether the form's focus is on a push button (a platform one or a receiver
// that is one): Enter then clicks that button.
bool FocusOnPushButton(const QWidget* form);
// Whether a button could take the focus in its form: enabled, focusable and
// not hidden there (whether the form is shown or not). A button that cannot
// takes no dialog key.
bool ButtonCanFocus(const QWidget* button);
// Which push button takes Enter, one rule for every kind of button: the
// button that has its form's focus, and while the form's focus is on no push
// button, a default one (`isDefault`: what makes one of its class take Enter
// by default); never one that cannot take the focus. The focus is the form's
// own, so a form that is not the active window answers as it will once it is.
bool ButtonTakesEnter(const QWidget* button, bool isDefault);
// The receiver that Enter would reach now: the first of the form's that
// takes it, or none. The button that a form draws as its default one.
QWidget* FormEnterReceiver(QWidget* form);
// A key event that reached the form unused: offered as dialog key, then, with
// a text, as dialog character. True: taken.
bool FormDialogKeyEvent(QWidget* form, const QKeyEvent& event);

// For a window that is no TForm: a filter on the window offers the keys that
// no control used. More calls, and calls for a TForm, change nothing.
void InstallDialogKeys(QWidget* window);

// Sets the form's ModalResult: a TForm's own, a plain dialog's result. A
// result other than 0 closes the form once the current event is handled,
// when it is still other than 0 then.
void SetFormModalResult(QWidget* form, int result);

class TForm : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)

public:
    explicit TForm(QWidget* owner = nullptr, Qt::WindowFlags flags = {});

    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CloseWithModalResult();

    int FModalResult = mrNone;
    bool FClosePending = false;
};
