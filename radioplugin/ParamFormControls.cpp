// The dialog's controls: built with their German captions, each handler
// wired as one action of the person's.
#include "localization/lcDialog.h"
#include "radioplugin/CellGridWidget.h"
#include "radioplugin/FrequencyGrid.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/RuvoParameter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

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

} // namespace

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
