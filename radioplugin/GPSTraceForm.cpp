#include "radioplugin/GPSTraceForm.h"

#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoTransport.h"

TfGPSTraceForm* GPSTraceForm = nullptr;

TfGPSTraceForm::TfGPSTraceForm(QWidget* Owner, TRuvoLink* Communication)
    : TfMonitorForm(Owner, Communication, "GPSTraceForm", "GPS Empfangsdaten", "lbxGPSTrace")
{
    lbxGPSTrace = lbxTrace;
    LoadTexts("TfGPSTraceForm");
}

TfGPSTraceForm::~TfGPSTraceForm()
{
    if (GPSTraceForm == this)
        GPSTraceForm = nullptr;
}

void TfGPSTraceForm::AddLine(const std::string& Text)
{
    TfMonitorForm::AddLine(Text.size() > 3 ? Text.substr(3) : std::string());
}

void TfGPSTraceForm::SendCloseLine()
{
    if (GPSTraceForm == this)
        GPSTraceForm = nullptr;
    // Sent whether the link is up or not: the link drops it when it is down.
    if (FCommunication)
        FCommunication->SendText(nullptr, RuvoGPSTraceOff, 0);
}
