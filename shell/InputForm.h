#pragma once
// The value input dialog: a message, a label and one edit field.
#include "platform/Forms.h"

#include <string>

class QCheckBox;
class QLabel;
class QWidget;
class TButton;
class TZor_Edit;
class TlcLangLinked;

// OK is the default button, Abort the cancel button: Enter in the value
// field closes the dialog with mrOk (while OK is enabled), Escape with
// mrCancel.
class TfInputForm : public TForm {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    explicit TfInputForm(QWidget* owner = nullptr);
    ~TfInputForm() override;

    void FormCreate();
    void edValueChange();
    // False when the key is to be dropped (the value is at its maximum length).
    bool edValueKeyPress(QChar key);

    QWidget* spLeft;
    QLabel* imDialogType;
    QWidget* pnMessage;
    QLabel* lbMessage;
    QLabel* lbValue;
    TZor_Edit* edValue;
    QCheckBox* cbAction;
    TButton* btOK;
    TButton* btAbort;
    TlcLangLinked* lcLangLinked;

    // The most characters the value may hold; 0: no limit.
    int MaxInputLength = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The input dialog created last, while it exists.
extern TfInputForm* fInputForm;
