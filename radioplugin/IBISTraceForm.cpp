#include "radioplugin/IBISTraceForm.h"

#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoTransport.h"

TfIBISTraceForm* IBISTraceForm = nullptr;

TfIBISTraceForm::TfIBISTraceForm(QWidget* Owner, TRuvoLink* Communication)
    : TfMonitorForm(Owner, Communication, "IBISTraceForm", "IBIS-Wagenbus Daten", "lbxIBISTrace")
{
    lbxIBISTrace = lbxTrace;
    LoadTexts("TfIBISTraceForm");
}

TfIBISTraceForm::~TfIBISTraceForm()
{
    if (IBISTraceForm == this)
        IBISTraceForm = nullptr;
}

void TfIBISTraceForm::SendCloseLine()
{
    if (IBISTraceForm == this)
        IBISTraceForm = nullptr;
    // Sent whether the link is up or not: the link drops it when it is down.
    if (FCommunication)
        FCommunication->SendText(nullptr, RuvoIBISTraceOff, 0);
}
