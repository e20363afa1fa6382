// The dialog itself: its progress display, creation and end, the plumbing
// to the transport and the parser, showing and closing, connection changes,
// the write and the table's edits. The other handlers have sources of their
// own (ParamFormControls, ParamFormView, ParamFormFile, ParamFormSend,
// ParamFormMonitor).
#include "radioplugin/ParamForm.h"

#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/Dialogs.h"
#include "radioplugin/CellGridWidget.h"
#include "radioplugin/ChannelTable.h"
#include "radioplugin/FrequencyGrid.h"
#include "radioplugin/FunkmodulTerminalForm.h"
#include "radioplugin/GPSTraceForm.h"
#include "radioplugin/IBISTraceForm.h"
#include "radioplugin/PluginApp.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoReplyParser.h"
#include "radioplugin/RuvoTimerDriver.h"
#include "radioplugin/StringTokens.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

TfParameterForm* ParameterForm = nullptr;

// ---------------------------------------------------------------- progress

TfProgressDisplay::TfProgressDisplay(QWidget* Owner) : QDialog(Owner)
{
    setObjectName("ProgressDialog");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    auto* layout = new QVBoxLayout(this);
    lblText = new QLabel(this);
    pbProgress = new QProgressBar(this);
    layout->addWidget(lblText);
    layout->addWidget(pbProgress);
    setMinimumWidth(320);
}

void TfProgressDisplay::Start(const std::string& Caption, const std::string& Text, int Max)
{
    setWindowTitle(QString::fromStdString(Caption));
    lblText->setText(QString::fromStdString(Text));
    pbProgress->setRange(0, Max);
    pbProgress->setValue(0);
    show();
}

void TfProgressDisplay::StepIt()
{
    if (isVisible())
        pbProgress->setValue(std::min(pbProgress->maximum(), pbProgress->value() + 1));
}

int TfProgressDisplay::Position() const
{
    return pbProgress->value();
}

// ---------------------------------------------------------------- dialog

TfParameterForm::TfParameterForm(QWidget* Owner, TRuvoLink* Communication, const std::string& MutexName,
                                 TRuvoClock Clock, TRuvoTiming Timing)
    : QDialog(Owner)
{
    setObjectName("ParameterForm");
    SetOwnerRoot(this);
    setWindowTitle("Derazudiduradid - Optionen");
    setMinimumSize(501, 548);
    BuildControls();

    lcLangLinked = CreatePluginTranslations(this, "TfParameterForm");

    const TTextLookup texts = [this](const std::string& id) { return Text(id); };
    FParameter = std::make_unique<TRuvoParameter>();
    const bool steady = !Clock;
    FTransport = std::make_unique<TRuvoTransport>(Communication, MutexName, *this,
                                                  steady ? SteadyClockMs() : std::move(Clock), Timing, texts);
    FTransport->SetSender(nullptr);
    FParser = std::make_unique<TRuvoReplyParser>(*FParameter, *FTransport, *this, texts);
    if (steady)
        FDriver = std::make_unique<TRuvoTimerDriver>(*FTransport, [this] { RunDueTimers(); }, this);

    // The telegram fields show the layout of their start values.
    edtInfobyte01Change();
    edtInfobyte02Change();
    ParameterForm = this;
}

TfParameterForm::~TfParameterForm()
{
    if (ParameterForm == this)
        ParameterForm = nullptr;
    // The monitor windows go first: they borrow what the dialog holds.
    const QObjectList kids = children();
    for (QObject* child : kids)
        if (auto* monitor = qobject_cast<TfMonitorForm*>(child))
            delete monitor;
    FDriver.reset();
    FParser.reset();
    FTransport.reset();
}

std::string TfParameterForm::Text(const std::string& Id) const
{
    return RuvoText([this](const std::string& id) { return lcLangLinked->GetTextOrDefault(id); }, Id);
}

TRuvoLink* TfParameterForm::Communication() const
{
    return FTransport->Communication();
}

void TfParameterForm::SetCommunication(TRuvoLink* Value)
{
    FTransport->SetCommunication(Value);
}

void TfParameterForm::RunDueTimers()
{
    // What a queue or the polling raises ends that tick and is shown as an
    // entry's error is: the plug-in's message box, owned by the host's
    // window. The program's own handler never sees it.
    try {
        FTransport->Poll();
    } catch (const std::exception& e) {
        ShowPluginException(e);
    }
}

void TfParameterForm::SetMutexName(const std::string& Value)
{
    FTransport->SetMutexName(Value);
}

void TfParameterForm::RunAction(const std::function<void()>& Handler)
{
    TRuvoAction action(*FTransport);
    try {
        Handler();
    } catch (const std::exception& e) {
        ShowPluginException(e);
    }
}

void TfParameterForm::HandleReply(const std::string& Data)
{
    ++FHandlingReply;
    struct TDone {
        int& Depth;
        ~TDone() { --Depth; }
    } done{FHandlingReply};
    FParser->HandleReply(Data);
}

void TfParameterForm::QueueDevice(const std::string& Line)
{
    FTransport->QueueDevice(Line);
}

void TfParameterForm::QueueRadio(const std::string& Line)
{
    FTransport->QueueRadio(Line);
}

bool TfParameterForm::SendNow(const std::string& Line)
{
    return FTransport->SendNow(Line);
}

// ---------------------------------------------------------------- showing and closing

void TfParameterForm::setVisible(bool visible)
{
    if (visible && !FShownOnce) {
        FShownOnce = true;
        // The first show gives the dialog the size its controls ask for, so
        // every caption and the table's four columns stand whole; a window
        // left to size itself would take at most two thirds of the screen.
        // Only a screen too small for it makes it smaller, and never below
        // its minimum.
        QSize size = sizeHint().expandedTo(minimumSize());
        QWidget* host = PluginAppWindow();
        if (const QScreen* screen = host ? host->screen() : this->screen())
            size = size.boundedTo(screen->availableGeometry().size());
        resize(size.expandedTo(minimumSize()));
        // Centred on the host's window.
        if (host) {
            const QRect frame = host->frameGeometry();
            move(frame.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QDialog::setVisible(visible);
}

void TfParameterForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    try {
        FormShow();
    } catch (const std::exception& e) {
        ShowPluginException(e);
    }
}

void TfParameterForm::FormShow()
{
    FGrid->FollowFormatSettings();
    FillTable();
    edtSendTimeLimitChange();
}

void TfParameterForm::FillTable()
{
    FillChannelTable(*FGrid, *FParameter, [this](const std::string& id) { return Text(id); });
    grdFrequencies->viewport()->update();
}

void TfParameterForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    try {
        FormClose();
    } catch (const std::exception& e) {
        ShowPluginException(e);
    }
}

void TfParameterForm::reject()
{
    close();
}

void TfParameterForm::FormClose()
{
    // Hidden, not freed; a running test tone is switched off first.
    if (btnTestTone->isChecked()) {
        btnTestTone->setChecked(false);
        btnTestToneClick();
    }
}

void TfParameterForm::btnOKClick()
{
    close();
}

// ---------------------------------------------------------------- connection

void TfParameterForm::ConnectionChanged(bool Connected)
{
    if (!Connected) {
        SetTestToneTimerEnabled(false);
        if (btnTestTone->isChecked()) {
            btnTestTone->setChecked(false);
            btnTestToneClick();
        }
        for (TfMonitorForm* monitor : std::initializer_list<TfMonitorForm*>{FunkmodulTerminalForm, GPSTraceForm, IBISTraceForm})
            if (monitor)
                monitor->close();
    }
    FTransport->ConnectionChanged(Connected);
    for (QPushButton* button : {btnGPSTrace, btnIBISTrace, btnFunkmodulTerminal, btnSetDeviceParameter, btnTestTone,
                                btnSend, btnFFSKFilterOnOff})
        button->setEnabled(Connected);
}

void TfParameterForm::EnableSendButtons()
{
    if (!Communication())
        return;
    const bool connected = Communication()->Connected();
    for (QPushButton* button : {btnSetDeviceParameter, btnTestTone, btnSend, btnFFSKFilterOnOff})
        button->setEnabled(connected);
}

void TfParameterForm::DisableSendButtons()
{
    btnSetDeviceParameter->setEnabled(false);
    btnSend->setEnabled(false);
    btnFFSKFilterOnOff->setEnabled(false);
    btnTestTone->setEnabled(btnTestTone->isChecked());
}

void TfParameterForm::edtSquelchChange()
{
    btnSetDeviceParameter->setEnabled(edtSquelchHigh->value() >= edtSquelchLow->value());
}

// ---------------------------------------------------------------- write

void TfParameterForm::btnSetDeviceParameterClick()
{
    TRuvoAction write(*FTransport); // one action, however it is called
    ProgressDialog->Start("Bitte haben Sie etwas Geduld!", "Die Parameter werden nun übertragen.",
                          TRuvoParameter::SlotCount);

    FParameter->SetSquelchLow(edtSquelchLow->value());
    FParameter->SetSquelchHigh(edtSquelchHigh->value());
    FParameter->SetSendTimeLimit(edtParamSendTimeLimit->value());
    FParameter->SetNFLevel(edtNFLevel->value());
    FParameter->SetSerialNumber(ParseDecimal32(edtSerialNumber->text().toStdString()).value_or(0));
    FParameter->SetModulation(edtFFSKMode->value());
    FParameter->SetProjectNr(cbxProject->currentIndex());

    for (const std::string& line : ParameterWriteLines(*FParameter))
        QueueDevice(line);

    if (!FTableModified) {
        ProgressHide();
        return;
    }
    using namespace ChannelTable;
    for (int row = 1; row < RowCount; ++row) {
        ProcessMessages();
        const std::int32_t receive = FGrid->Object(ColReceive, row);
        const std::int32_t transmit = FGrid->Object(ColTransmit, row);
        const std::int32_t power = FGrid->Object(ColPower, row);
        QueueRadio(SlotWriteLine(row - 1, transmit, receive, power));
        TChannelEntry* slot = FParameter->GetSlot(row - 1);
        slot->SetTransmit(transmit);
        slot->SetReceive(receive);
        slot->SetPower(power);
    }
    FTableModified = false;
    // The box that tells the table is in the radio comes once the module has
    // taken every line of the write. A write that failed or was refused has
    // said so in its own box; its table stays marked for the next write.
    FTransport->WhenActionDone([this](bool Done) {
        if (!Done) {
            FTableModified = true;
            return;
        }
        PluginMessageBox(Text("IDS_55") + "\r\n" + Text("IDS_56") + "\r\n" + Text("IDS_57"), "Warnung",
                         MB_OK | MB_ICONWARNING);
    });
}

// ---------------------------------------------------------------- table

void TfParameterForm::grdFrequenciesSetEditText(int Col, int Row, const std::string& Value)
{
    // Only a value that changed is for the next write to send: an editor
    // opened and left as it was, or a text refused, changes nothing.
    const std::int32_t before = FGrid->Object(Col, Row);
    const TTableEdit edit = ApplyTableEdit(*FGrid, Col, Row, Value);
    if (edit == TTableEdit::Accepted && FGrid->Object(Col, Row) != before)
        FTableModified = true;
    if (edit == TTableEdit::OffRaster)
        PluginMessageBox(FillText(Text("IDS_60"), {Value}), "Fehler", MB_OK | MB_ICONERROR);
    grdFrequencies->viewport()->update();
}
