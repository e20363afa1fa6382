// The buttons that open the monitor windows.
#include "radioplugin/FunkmodulTerminalForm.h"
#include "radioplugin/GPSTraceForm.h"
#include "radioplugin/IBISTraceForm.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/RuvoCommands.h"

void TfParameterForm::btnGPSTraceClick()
{
    if (GPSTraceForm) {
        GPSTraceForm->raise();
        GPSTraceForm->activateWindow();
        return;
    }
    GPSTraceForm = new TfGPSTraceForm(this, Communication());
    GPSTraceForm->show();
    QueueDevice(RuvoGPSTraceOn);
}

void TfParameterForm::btnIBISTraceClick()
{
    if (IBISTraceForm) {
        IBISTraceForm->raise();
        IBISTraceForm->activateWindow();
        return;
    }
    IBISTraceForm = new TfIBISTraceForm(this, Communication());
    IBISTraceForm->show();
    QueueDevice(RuvoIBISTraceOn);
}

void TfParameterForm::btnFunkmodulTerminalClick()
{
    if (FunkmodulTerminalForm) {
        FunkmodulTerminalForm->raise();
        FunkmodulTerminalForm->activateWindow();
        return;
    }
    FunkmodulTerminalForm = new TfFunkmodulTerminalForm(this, Communication());
    FunkmodulTerminalForm->show();
    QueueDevice(RuvoRadioTalkOn);
    QueueDevice(RuvoRadioTraceOn);
}
