// What the transport and the reply parser tell the dialog: reported values
// into the controls, slots into the table, trace lines to the monitor
// windows, the progress display and the window pass.
#include "platform/Dialogs.h"
#include "radioplugin/CellGridWidget.h"
#include "radioplugin/ChannelTable.h"
#include "radioplugin/FrequencyGrid.h"
#include "radioplugin/FunkmodulTerminalForm.h"
#include "radioplugin/GPSTraceForm.h"
#include "radioplugin/IBISTraceForm.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/PluginApp.h"
#include "radioplugin/RuvoParameter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSpinBox>

void TfParameterForm::ParameterReported(TRuvoParam Param, std::int32_t Value)
{
    switch (Param) {
    case TRuvoParam::SquelchLow:
        edtSquelchLow->setValue(Value);
        break;
    case TRuvoParam::SquelchHigh:
        edtSquelchHigh->setValue(Value);
        break;
    case TRuvoParam::SquelchIndex:
        break;
    case TRuvoParam::AirLimit:
        edtParamSendTimeLimit->setValue(Value);
        break;
    case TRuvoParam::Project:
        // A negative number selects nothing; one beyond the list the
        // standard project (the parser has warned).
        cbxProject->setCurrentIndex(Value < 0 ? -1 : Value < cbxProject->count() ? Value : 0);
        break;
    case TRuvoParam::NFLevel:
        edtNFLevel->setValue(Value);
        break;
    case TRuvoParam::SerialNumber:
        edtSerialNumber->setText(QString::number(Value));
        break;
    case TRuvoParam::Modulation:
        edtFFSKMode->setValue(Value);
        break;
    case TRuvoParam::FFSKFilter:
        ShowFilterState(Value != 0);
        break;
    }
}

int TfParameterForm::ProjectCount() const
{
    return cbxProject->count();
}

void TfParameterForm::ShowWarning(const std::string& Text)
{
    PluginMessageBox(Text, "Warnung", MB_OK | MB_ICONWARNING);
}

void TfParameterForm::SlotReported(const TChannelEntry& Slot)
{
    FillChannelRow(*FGrid, Slot.Number() + 1, Slot.Receive(), Slot.Transmit(), Slot.Power(), Slot.Number(),
                   [this](const std::string& id) { return Text(id); });
    grdFrequencies->viewport()->update();
}

void TfParameterForm::MonitorLine(TRuvoMonitor Monitor, const std::string& Line)
{
    switch (Monitor) {
    case TRuvoMonitor::GPS:
        if (GPSTraceForm)
            GPSTraceForm->AddLine(Line);
        break;
    case TRuvoMonitor::Terminal:
        if (FunkmodulTerminalForm)
            FunkmodulTerminalForm->AddLine(Line);
        break;
    case TRuvoMonitor::IBIS:
        if (IBISTraceForm)
            IBISTraceForm->AddLine(Line);
        break;
    }
}

void TfParameterForm::ProgressStep()
{
    ProgressDialog->StepIt();
}

void TfParameterForm::ProgressHide()
{
    ProgressDialog->hide();
}

void TfParameterForm::ProcessMessages()
{
    // While a received message is handled, its window pass is left to the
    // event loop it came from: a pass here would handle the next received
    // message inside this one, and a module that sends faster than the
    // messages are handled would nest them until the stack is gone. The
    // table still shows each slot as it comes: its row is redrawn at the
    // loop's next paint.
    if (FHandlingReply > 0)
        return;
    QCoreApplication::processEvents();
}
