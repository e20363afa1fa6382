#pragma once
// The choice of the interface: the PC's COM ports, "USB" and
// "Keine Schnittstelle".
#include "platform/Forms.h"

#include <string>
#include <vector>

class QLabel;
class TZor_BitBtn;
class TZor_ComboBox;
class TlcLangLinked;

// Both buttons are default buttons, Abort also the cancel button: Enter
// closes the dialog with mrOk, Escape with mrCancel.
class TfComportOptions : public TForm {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    explicit TfComportOptions(QWidget* owner = nullptr);

    // The ports of this machine as "COMn" texts, each followed by " (" and
    // its device node ")" when asked for.
    static std::vector<std::string> ListPorts(bool withNames);
    // 0 "Keine Schnittstelle", 255 "USB", n for "COMn ..."; -1 for a text
    // that is none of these.
    int GetPortNumber() const;
    // Selects the entry of the number; without one the selection stays.
    void SetPortNumber(int portNumber);

    void FormCreate();
    // A click on a label gives the focus to the control it names.
    void LabelClick(QLabel* label);
    void btOKClick();
    void btAbortClick();

    QWidget* spLeft;
    QLabel* lDescription;
    QLabel* lPort;
    TZor_ComboBox* ePort;
    TZor_BitBtn* btOK;
    TZor_BitBtn* btAbort;
    TlcLangLinked* lcLangLinked;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
