#pragma once
// The IBIS window: what the module reads on the vehicle bus.
#include "radioplugin/MonitorForm.h"

class TfIBISTraceForm : public TfMonitorForm {
    Q_OBJECT
public:
    TfIBISTraceForm(QWidget* Owner, TRuvoLink* Communication);
    ~TfIBISTraceForm() override;

    QListWidget* lbxIBISTrace;

protected:
    void SendCloseLine() override;
};

// The open window, or none.
extern TfIBISTraceForm* IBISTraceForm;
