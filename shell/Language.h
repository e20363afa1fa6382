#pragma once
// The language dialog: it stays open beside the main window and switches
// every window of the program on OK.
#include <QDialog>

class QPushButton;
class TlcLangCombo;
class TlcLangLinked;

class TfLanguage : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    // Shows itself at once; frees itself when closed.
    explicit TfLanguage(QWidget* owner);

    void FormShow();
    void btnOKClick();
    void btnAbortClick();

    TlcLangCombo* lcLangCombo;
    QPushButton* btnOK;
    QPushButton* btnAbort;
    TlcLangLinked* lcLangLinked;

protected:
    void showEvent(QShowEvent* event) override;
};
