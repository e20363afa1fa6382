#pragma once
// The radio terminal: the module's radio answers, and a line to send it one
// of its terminal commands with a number by hand.
#include "radioplugin/MonitorForm.h"

class QComboBox;
class QLineEdit;

class TfFunkmodulTerminalForm : public TfMonitorForm {
    Q_OBJECT
public:
    TfFunkmodulTerminalForm(QWidget* Owner, TRuvoLink* Communication);
    ~TfFunkmodulTerminalForm() override;

    // Sends "<command> <value> RC" at once while the link is up.
    void btnSendClick();

    QListWidget* lbxFSETrace;
    QComboBox* cbxCommands;
    QLineEdit* edtSend;
    QPushButton* btnSend;

protected:
    void SendCloseLine() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The open window, or none.
extern TfFunkmodulTerminalForm* FunkmodulTerminalForm;

// The module's terminal commands, in the order of their numbers.
extern const char* const RuvoTerminalCommands[19];
