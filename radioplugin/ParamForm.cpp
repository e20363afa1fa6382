#include "radioplugin/ParamForm.h"

#include "localization/lcDialog.h"
#include "localization/lcLngLnk.h"
#include "platform/Beep.h"
#include "platform/Component.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "radioplugin/CellGridWidget.h"
#include "radioplugin/ChannelTable.h"
#include "radioplugin/FrequencyGrid.h"
#include "radioplugin/FunkmodulTerminalForm.h"
#include "radioplugin/GPSTraceForm.h"
#include "radioplugin/GlobalFunctionsRuvo.h"
#include "radioplugin/IBISTraceForm.h"
#include "radioplugin/PluginApp.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoReplyParser.h"
#include "radioplugin/RuvoTimerDriver.h"
#include "radioplugin/SendFunctions.h"
#include "radioplugin/StringTokens.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

TfParameterForm* ParameterForm = nullptr;

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

QSpinBox* Spin(QWidget* parent, const char* name, int min, int max, int value)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(min, max);
    spin->setValue(value);
    return spin;
}

QLineEdit* HexEdit(QWidget* parent, const char* name, const char* text)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setMaxLength(2);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("WW") + 16);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel* Label(QWidget* parent, const char* caption, QWidget* buddy = nullptr)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

// The key a key press types: '\b' for backspace, 0 for a key that types no
// character (arrows, function keys), 0x7F for a character beyond ASCII.
char TypedKey(const QKeyEvent* key)
{
    if (key->key() == Qt::Key_Backspace)
        return '\b';
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return 0;
    const char16_t c = text.at(0).unicode();
    return c < 128 ? static_cast<char>(c) : '\x7f';
}

} // namespace

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
    setWindowTitle(Q(Caption));
    lblText->setText(Q(Text));
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

void TfParameterForm::BuildControls()
{
    auto* root = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    root->addLayout(columns, 1);

    // Device parameters and the channel table.
    auto* device = new QGroupBox("Geräteparameter", this);
    device->setObjectName("gbxDeviceParameter");
    auto* deviceLayout = new QVBoxLayout(device);
    auto* values = new QGridLayout;
    edtSquelchLow = Spin(device, "edtSquelchLow", RuvoSquelchRange.Min, RuvoSquelchRange.Max, 220);
    edtSquelchHigh = Spin(device, "edtSquelchHigh", RuvoSquelchRange.Min, RuvoSquelchRange.Max, 720);
    edtParamSendTimeLimit =
        Spin(device, "edtParamSendTimeLimit", RuvoSendTimeLimitRange.Min, RuvoSendTimeLimitRange.Max, 90);
    edtParamSendTimeLimit->setSuffix(" s");
    edtNFLevel = Spin(device, "edtNFLevel", RuvoNFLevelRange.Min, RuvoNFLevelRange.Max, 0);
    edtFFSKMode = Spin(device, "edtFFSKMode", RuvoModulationRange.Min, RuvoModulationRange.Max, 0);
    edtSerialNumber = new QLineEdit("0", device);
    edtSerialNumber->setObjectName("edtSerialNumber");
    cbxProject = new QComboBox(device);
    cbxProject->setObjectName("cbxProject");
    for (const char* name : ProjectNames)
        cbxProject->addItem(name);
    cbxProject->setCurrentIndex(0);
    values->addWidget(Label(device, "Unterer Squelchwert (dezimal):", edtSquelchLow), 0, 0);
    values->addWidget(edtSquelchLow, 0, 1);
    values->addWidget(Label(device, "Oberer Squelchwert (dezimal):", edtSquelchHigh), 1, 0);
    values->addWidget(edtSquelchHigh, 1, 1);
    values->addWidget(Label(device, "Sendezeitbegrenzung:", edtParamSendTimeLimit), 2, 0);
    values->addWidget(edtParamSendTimeLimit, 2, 1);
    values->addWidget(Label(device, "NF-Pegel:", edtNFLevel), 0, 2);
    values->addWidget(edtNFLevel, 0, 3);
    values->addWidget(Label(device, "Modulation:", edtFFSKMode), 1, 2);
    values->addWidget(edtFFSKMode, 1, 3);
    values->addWidget(Label(device, "Zor Seriennummer:", edtSerialNumber), 2, 2);
    values->addWidget(edtSerialNumber, 2, 3);
    values->addWidget(Label(device, "Projekt:", cbxProject), 3, 0);
    values->addWidget(cbxProject, 3, 1, 1, 3);
    values->setColumnStretch(1, 1);
    values->setColumnStretch(3, 1);
    deviceLayout->addLayout(values);
    FGrid = std::make_unique<TFrequencyGrid>(this, device);
    grdFrequencies = FGrid->Widget();
    FGrid->OnSetEditText = [this](int col, int row, const std::string& text) {
        RunAction([&] { grdFrequenciesSetEditText(col, row, text); });
    };
    deviceLayout->addWidget(grdFrequencies, 1);
    auto* fileButtons = new QHBoxLayout;
    btnSave = Button(device, "btnSave", "Parameter speichern unter ...");
    btnLoad = Button(device, "btnLoad", "Parametersatz laden ...");
    btnSetDeviceParameter = Button(device, "btnSetDeviceParameter", "Parameter setzen");
    fileButtons->addWidget(btnSave);
    fileButtons->addWidget(btnLoad);
    fileButtons->addStretch(1);
    fileButtons->addWidget(btnSetDeviceParameter);
    deviceLayout->addLayout(fileButtons);
    columns->addWidget(device, 3);

    auto* right = new QVBoxLayout;
    columns->addLayout(right, 2);

    // FFSK filter.
    auto* filter = new QGroupBox("FFSK-Filter", this);
    filter->setObjectName("gbxFFSKFilter");
    auto* filterLayout = new QVBoxLayout(filter);
    btnFFSKFilterOnOff = Button(filter, "btnFFSKFilterOnOff", "FFSK-Filter einschalten");
    btnFFSKFilterOnOff->setCheckable(true);
    lblFFSKFilter = new QLabel("FFSK-Filter ist ausgeschaltet", filter);
    lblFFSKFilter->setObjectName("lblFFSKFilter");
    filterLayout->addWidget(btnFFSKFilterOnOff);
    filterLayout->addWidget(lblFFSKFilter);
    right->addWidget(filter);

    // Monitor windows.
    auto* monitors = new QGroupBox("Überwachungsfenster", this);
    monitors->setObjectName("gbxMonitors");
    auto* monitorLayout = new QVBoxLayout(monitors);
    btnGPSTrace = Button(monitors, "btnGPSTrace", "GPS Empfangsdaten ...");
    btnIBISTrace = Button(monitors, "btnIBISTrace", "IBIS-Wagenbus Daten ...");
    btnFunkmodulTerminal = Button(monitors, "btnFunkmodulTerminal", "FSE Terminal ...");
    monitorLayout->addWidget(btnGPSTrace);
    monitorLayout->addWidget(btnIBISTrace);
    monitorLayout->addWidget(btnFunkmodulTerminal);
    right->addWidget(monitors);

    // Send functions.
    auto* send = new QGroupBox("Sendefunktionen", this);
    send->setObjectName("gbxSendFunctions");
    auto* sendLayout = new QGridLayout(send);
    edtRadioChannel = new QLineEdit("0", send);
    edtRadioChannel->setObjectName("edtRadioChannel");
    edtRadioChannel->setMaximumWidth(70);
    sendLayout->addWidget(Label(send, "Funkkanal (0..15):", edtRadioChannel), 0, 0, 1, 2);
    sendLayout->addWidget(edtRadioChannel, 0, 2, 1, 2);
    edtInfobyte01 = HexEdit(send, "edtInfobyte01", "91");
    edtInfobyte02 = HexEdit(send, "edtInfobyte02", "06");
    edtInfobyte03 = HexEdit(send, "edtInfobyte03", "00");
    auto* info = new QHBoxLayout;
    auto* lblInfobyte01 = Label(send, "Infobyte 1", edtInfobyte01);
    lblInfobyte01->setObjectName("lblInfobyte01");
    lblInfobyte02 = Label(send, "Infobyte 2", edtInfobyte02);
    lblInfobyte02->setObjectName("lblInfobyte02");
    auto* lblInfobyte03 = Label(send, "Infobyte 3", edtInfobyte03);
    lblInfobyte03->setObjectName("lblInfobyte03");
    auto* infoGrid = new QGridLayout;
    infoGrid->addWidget(lblInfobyte01, 0, 0);
    infoGrid->addWidget(lblInfobyte02, 0, 1);
    infoGrid->addWidget(lblInfobyte03, 0, 2);
    infoGrid->addWidget(edtInfobyte01, 1, 0);
    infoGrid->addWidget(edtInfobyte02, 1, 1);
    infoGrid->addWidget(edtInfobyte03, 1, 2);
    info->addLayout(infoGrid);
    info->addStretch(1);
    sendLayout->addLayout(info, 1, 0, 1, 4);
    auto* extras = new QGridLayout;
    for (int i = 0; i < 8; ++i) {
        const std::string name = "edtZusatzbyte" + std::to_string(i + 1);
        QLineEdit* edit = HexEdit(send, name.c_str(), "00");
        edit->setProperty("Tag", i + 1);
        edit->setToolTip(QString("Zusatzbyte %1").arg(i + 1));
        edtZusatzbyte[static_cast<std::size_t>(i)] = edit;
        extras->addWidget(edit, i / 4, i % 4);
    }
    sendLayout->addLayout(extras, 2, 0, 1, 4);
    lbl09Hint = new QLabel("Zusatzbytes sind nur für 09-Telegramme verfügbar.", send);
    lbl09Hint->setObjectName("lbl09Hint");
    lbl09Hint->setWordWrap(true);
    sendLayout->addWidget(lbl09Hint, 3, 0, 1, 4);
    btnSend = Button(send, "btnSend", "Senden");
    sendLayout->addWidget(btnSend, 4, 0, 1, 4);
    edtTesttoneNr = Spin(send, "edtTesttoneNr", 0, 15, 0);
    edtSendTimeLimit = Spin(send, "edtSendTimeLimit", 0, 180, 30);
    edtSendTimeLimit->setSuffix(" s");
    sendLayout->addWidget(Label(send, "Tonnummer:", edtTesttoneNr), 5, 0, 1, 2);
    sendLayout->addWidget(edtTesttoneNr, 5, 2, 1, 2);
    sendLayout->addWidget(Label(send, "Dauer:", edtSendTimeLimit), 6, 0, 1, 2);
    sendLayout->addWidget(edtSendTimeLimit, 6, 2, 1, 2);
    btnTestTone = Button(send, "btnTestTone", "Testton senden");
    btnTestTone->setCheckable(true);
    sendLayout->addWidget(btnTestTone, 7, 0, 1, 4);
    right->addWidget(send);
    right->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    btnOK = Button(this, "btnOK", "Schließen");
    bottom->addWidget(btnOK);
    root->addLayout(bottom);

    TestToneTimer = new QTimer(this);
    TestToneTimer->setObjectName("TestToneTimer");
    ProgressDialog = new TfProgressDisplay(this);
    OpenDialog = new TlcOpenDialog(this);
    OpenDialog->setObjectName("OpenDialog");
    SaveDialog = new TlcSaveDialog(this);
    SaveDialog->setObjectName("SaveDialog");

    // Every handler a person sets off is one action (its failures are told
    // once) and shows what it raises in the plug-in's box: no error leaves
    // a slot.
    const auto act = [this](void (TfParameterForm::*handler)()) {
        return [this, handler] { RunAction([this, handler] { (this->*handler)(); }); };
    };
    connect(btnOK, &QPushButton::clicked, this, act(&TfParameterForm::btnOKClick));
    connect(btnLoad, &QPushButton::clicked, this, act(&TfParameterForm::btnLoadClick));
    connect(btnSave, &QPushButton::clicked, this, act(&TfParameterForm::btnSaveClick));
    connect(btnSetDeviceParameter, &QPushButton::clicked, this, act(&TfParameterForm::btnSetDeviceParameterClick));
    connect(edtSquelchLow, &QSpinBox::valueChanged, this, act(&TfParameterForm::edtSquelchChange));
    connect(edtSquelchHigh, &QSpinBox::valueChanged, this, act(&TfParameterForm::edtSquelchChange));
    connect(btnSend, &QPushButton::clicked, this, act(&TfParameterForm::btnSendClick));
    connect(btnTestTone, &QPushButton::clicked, this, act(&TfParameterForm::btnTestToneClick));
    connect(TestToneTimer, &QTimer::timeout, this, act(&TfParameterForm::TestToneTimerTimer));
    connect(btnFFSKFilterOnOff, &QPushButton::clicked, this, act(&TfParameterForm::btnFFSKFilterOnOffClick));
    connect(edtInfobyte01, &QLineEdit::textChanged, this, act(&TfParameterForm::edtInfobyte01Change));
    connect(edtInfobyte02, &QLineEdit::textChanged, this, act(&TfParameterForm::edtInfobyte02Change));
    connect(edtInfobyte03, &QLineEdit::textChanged, this, act(&TfParameterForm::edtInfobyte02Change));
    connect(edtSendTimeLimit, &QSpinBox::valueChanged, this, act(&TfParameterForm::edtSendTimeLimitChange));
    connect(btnGPSTrace, &QPushButton::clicked, this, act(&TfParameterForm::btnGPSTraceClick));
    connect(btnIBISTrace, &QPushButton::clicked, this, act(&TfParameterForm::btnIBISTraceClick));
    connect(btnFunkmodulTerminal, &QPushButton::clicked, this, act(&TfParameterForm::btnFunkmodulTerminalClick));
    for (QLineEdit* edit : {edtInfobyte01, edtInfobyte02, edtInfobyte03})
        edit->installEventFilter(this);
    for (QLineEdit* edit : edtZusatzbyte)
        edit->installEventFilter(this);
    edtRadioChannel->installEventFilter(this);
    edtSerialNumber->installEventFilter(this);
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

// ---------------------------------------------------------------- view

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
    PluginMessageBox(Text("IDS_55") + "\r\n" + Text("IDS_56") + "\r\n" + Text("IDS_57"), "Warnung",
                     MB_OK | MB_ICONWARNING);
}

// ---------------------------------------------------------------- table

void TfParameterForm::grdFrequenciesSetEditText(int Col, int Row, const std::string& Value)
{
    FTableModified = true;
    if (ApplyTableEdit(*FGrid, Col, Row, Value) == TTableEdit::OffRaster)
        PluginMessageBox(FillText(Text("IDS_60"), {Value}), "Fehler", MB_OK | MB_ICONERROR);
    grdFrequencies->viewport()->update();
}

// ---------------------------------------------------------------- files

void TfParameterForm::btnLoadClick()
{
    TFileDialog& dialog = OpenDialog->Settings;
    dialog.Title = Text("IDS_13");
    dialog.FileName = "";
    dialog.DefaultExt = "xml";
    dialog.Filter = Text("IDS_15");
    if (!OpenDialog->Execute(this))
        return;
    FParameter->LoadFromXML(dialog.FileName);

    if (FParameter->ProjectNr() >= 0 && FParameter->ProjectNr() < cbxProject->count())
        cbxProject->setCurrentIndex(FParameter->ProjectNr());
    edtSquelchLow->setValue(FParameter->SquelchLow());
    edtSquelchHigh->setValue(FParameter->SquelchHigh());
    edtParamSendTimeLimit->setValue(FParameter->SendTimeLimit());
    edtNFLevel->setValue(FParameter->NFLevel());
    edtFFSKMode->setValue(FParameter->Modulation());
    ShowFilterState(FParameter->FFSKFilterActive());
    FillTable();
    FTableModified = true;
}

void TfParameterForm::btnSaveClick()
{
    const QDate today = QDate::currentDate();
    TFileDialog& dialog = SaveDialog->Settings;
    dialog.Title = Text("IDS_36");
    dialog.FileName = ParameterSetFileName(cbxProject->currentText().toStdString(), FParameter->SerialNumber(),
                                           today.year(), today.month(), today.day(), Text("IDS_38"));
    dialog.DefaultExt = "XML";
    dialog.Filter = Text("IDS_40");
    dialog.OverwritePrompt = false; // asked below, in the dialog's own words
    if (!SaveDialog->Execute(this))
        return;
    if (QFileInfo::exists(QString::fromStdString(dialog.FileName))) {
        const int answer = MessageBox(nullptr, Text("IDS_41") + "\r\n" + Text("IDS_42"), Text("IDS_43"),
                                      MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
        if (answer != IDYES)
            return;
    }
    FParameter->SaveToXML(dialog.FileName);
}

// ---------------------------------------------------------------- send functions

void TfParameterForm::btnSendClick()
{
    TFFSKFields fields;
    fields.Infobyte1 = edtInfobyte01->text().toStdString();
    fields.Infobyte2 = edtInfobyte02->text().toStdString();
    fields.Infobyte3 = edtInfobyte03->text().toStdString();
    for (std::size_t i = 0; i < 8; ++i)
        fields.Zusatzbyte[i] = edtZusatzbyte[i]->text().toStdString();
    fields.RadioChannel = edtRadioChannel->text().toStdString();
    const std::optional<std::string> line = FFSKTelegramLine(fields);
    if (line)
        QueueDevice(*line);
    else
        PluginMessageBox(Text("IDS_48"), "Fehler", MB_OK | MB_ICONERROR);
    edtInfobyte01->setFocus();
}

void TfParameterForm::SetTestToneTimerEnabled(bool Enabled)
{
    // An interval of 0 never fires: the tone runs until switched off.
    if (Enabled && TestToneTimer->interval() > 0)
        TestToneTimer->start();
    else
        TestToneTimer->stop();
}

void TfParameterForm::btnTestToneClick()
{
    const std::int32_t channel = ParseDecimal32(edtRadioChannel->text().toStdString()).value_or(0);
    if (btnTestTone->isChecked()) {
        DisableSendButtons();
        SetTestToneTimerEnabled(true);
        btnTestTone->setText(Q(Text("IDS_51")));
        FTestToneTag = edtTesttoneNr->value();
        QueueDevice(TestToneLine(channel, FTestToneTag, true));
    } else {
        SetTestToneTimerEnabled(false);
        btnTestTone->setText(Q(Text("IDS_54")));
        QueueDevice(TestToneLine(channel, FTestToneTag, false));
        EnableSendButtons();
    }
}

void TfParameterForm::TestToneTimerTimer()
{
    SetTestToneTimerEnabled(false);
    if (btnTestTone->isChecked()) {
        btnTestTone->setChecked(false);
        btnTestToneClick();
    }
}

void TfParameterForm::edtSendTimeLimitChange()
{
    const bool running = TestToneTimer->isActive();
    TestToneTimer->setInterval(edtSendTimeLimit->value() * 1000);
    if (running)
        SetTestToneTimerEnabled(true);
}

void TfParameterForm::ShowFilterState(bool On)
{
    btnFFSKFilterOnOff->setChecked(On);
    btnFFSKFilterOnOff->setText(Q(Text(On ? "IDS_2" : "IDS_6")));
    lblFFSKFilter->setText(Q(Text(On ? "IDS_7" : "IDS_3")));
}

void TfParameterForm::btnFFSKFilterOnOffClick()
{
    if (!Communication())
        return;
    const bool on = btnFFSKFilterOnOff->isChecked();
    const std::vector<std::string> lines = FilterSwitchLines(on);
    QueueDevice(lines[0]);
    btnFFSKFilterOnOff->setText(Q(Text(on ? "IDS_2" : "IDS_6")));
    lblFFSKFilter->setText(Q(Text(on ? "IDS_7" : "IDS_3")));
    for (std::size_t i = 1; i < lines.size(); ++i)
        QueueDevice(lines[i]);
}

void TfParameterForm::edtInfobyte01Change()
{
    const bool offered = OffersAdditionalBytes(edtInfobyte01->text().toStdString());
    for (QLineEdit* edit : edtZusatzbyte)
        edit->setVisible(offered);
    lbl09Hint->setVisible(!offered);
    lblInfobyte02->setText(Q(Text(offered ? "IDS_58" : "IDS_59")));
}

void TfParameterForm::edtInfobyte02Change()
{
    const int n = AdditionalByteCount(edtInfobyte02->text().toStdString());
    for (QObject* object : OwnedComponents(this)) {
        auto* edit = qobject_cast<QLineEdit*>(object);
        if (!edit || !edit->objectName().contains("edtZusatzbyte"))
            continue;
        const bool enabled = n >= edit->property("Tag").toInt();
        edit->setEnabled(enabled);
        if (!enabled)
            edit->setText("00");
    }
}

bool TfParameterForm::IsHexEdit(QObject* object) const
{
    if (object == edtInfobyte01 || object == edtInfobyte02 || object == edtInfobyte03)
        return true;
    for (QLineEdit* edit : edtZusatzbyte)
        if (object == edit)
            return true;
    return false;
}

bool TfParameterForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return QDialog::eventFilter(watched, event);
    const bool hex = IsHexEdit(watched);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (hex && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            return true; // the key's release sends
        char typed = TypedKey(key);
        if (typed == 0)
            return QDialog::eventFilter(watched, event);
        if (hex) {
            const int selStart = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
            const int selLength = static_cast<int>(edit->selectedText().size());
            if (!HexKeyAccepted(typed, edit->text().toStdString(), selStart, selLength, edit == edtInfobyte02,
                                edtInfobyte01->text().toStdString())) {
                MessageBeep(MB_BEEP_WARNING);
                return true;
            }
            if (typed != '\b') {
                edit->insert(QString(QChar(typed))); // upper-cased
                return true;
            }
            return false;
        }
        // The radio channel and the serial number: digits only.
        if (!DigitKeyAccepted(typed)) {
            MessageBeep(MB_BEEP_WARNING);
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyRelease && hex) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && isVisible()) {
            btnSend->click();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        if (hex)
            edit->setText(Q(PadHexField(edit->text().toStdString())));
        else if (edit == edtRadioChannel && edit->text().isEmpty())
            edit->setText("0");
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- monitor windows

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
