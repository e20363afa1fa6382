#pragma once
// The language dialog: it stays open beside the main window and switches
// every window of the program on OK.
#include "platform/Forms.h"

class TButton;
class TlcLangCombo;
class TlcLangLinked;

// OK is the default button and Abort the cancel button: Enter switches the
// language, Escape closes the dialog without.
class TfLanguage : public TForm {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    // Shows itself at once; frees itself when closed.
    explicit TfLanguage(QWidget* owner);

    void FormShow();
    void btnOKClick();
    void btnAbortClick();

    TlcLangCombo* lcLangCombo;
    TButton* btnOK;
    TButton* btnAbort;
    TlcLangLinked* lcLangLinked;

protected:
    void showEvent(QShowEvent* event) override;
};
