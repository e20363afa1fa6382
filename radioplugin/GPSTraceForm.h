#pragma once
// The GPS window: what the module reports from its GPS receiver.
#include "radioplugin/MonitorForm.h"

class TfGPSTraceForm : public TfMonitorForm {
    Q_OBJECT
public:
    TfGPSTraceForm(QWidget* Owner, TRuvoLink* Communication);
    ~TfGPSTraceForm() override;

    // Shows the line from its fourth character on.
    void AddLine(const std::string& Text) override;
    QListWidget* lbxGPSTrace;

protected:
    void SendCloseLine() override;
};

// The open window, or none.
extern TfGPSTraceForm* GPSTraceForm;
