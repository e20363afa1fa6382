#pragma once
// The value input dialog: a message, a label and one edit field.
#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;
class TZor_Edit;
class TlcLangLinked;

class TfInputForm : public QDialog {
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
    QPushButton* btOK;
    QPushButton* btAbort;
    TlcLangLinked* lcLangLinked;

    // The most characters the value may hold; 0: no limit.
    int MaxInputLength = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The input dialog created last, while it exists.
extern TfInputForm* fInputForm;
