#include "shell/MainForm.h"

#include "link/Communication.h"
#include "link/USB_Communication.h"
#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/FormatSettings.h"
#include "platform/Idle.h"
#include "shell/ComportOptions.h"
#include "shell/DataModule.h"
#include "shell/DebugClass.h"
#include "shell/DeviceStatus.h"
#include "shell/Dialogs.h"
#include "shell/ZorUtils.h"
#include "shell/Environment.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The background panel fills the MDI client area, below any child window.
class TBackgroundFollower : public QObject {
public:
    TBackgroundFollower(QWidget* viewport, QWidget* background) : QObject(background), FBackground(background)
    {
        viewport->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            FBackground->setGeometry(static_cast<QWidget*>(watched)->rect());
        return false;
    }

private:
    QWidget* FBackground;
};

} // namespace

TfMainForm::TfMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("fMainForm");
    fMainForm = this;
    SetOwnerRoot(this);
    lcLangLinked = new TlcLangLinked(this);
    lcLangLinked->setObjectName("lcLangLinked");
    {
        TlcResourceLoading loading;
        loading.Add(*lcLangLinked);
        LoadFormTranslations(*lcLangLinked, DM->lcLangDispatcher, "TfMainForm");
        loading.Finish();
    }

    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->addAction(DM->acUploadFirmware);
    ToolBar1->addAction(DM->actSetParameter);
    ToolBar1->addSeparator();
    ToolBar1->addAction(DM->actSelectDevice);
    ToolBar1->addAction(DM->actExtendedOptions);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MDIClient = new QMdiArea(central);
    MDIClient->setObjectName("MDIClient");
    layout->addWidget(MDIClient, 1);
    pnlBackground = new QWidget(MDIClient->viewport());
    pnlBackground->setObjectName("pnlBackground");
    pnlBackground->lower();
    new TBackgroundFollower(MDIClient->viewport(), pnlBackground);
    lblDeviceName = new QLabel(pnlBackground);
    lblDeviceName->setObjectName("lblDeviceName");
    QFont big("Arial Black");
    big.setPixelSize(32);
    big.setItalic(true);
    lblDeviceName->setFont(big);
    lblDeviceName->setGeometry(16, 8, 760, 48);
    pnlDebug = new QWidget(pnlBackground);
    pnlDebug->setObjectName("pnlDebug");
    pnlDebug->setVisible(false);
    lblIn = new QLabel("Gerät --> PC", pnlDebug);
    lblIn->setObjectName("lblIn");
    lblIn->move(8, 4);
    lblOut = new QLabel("PC --> Gerät", pnlDebug);
    lblOut->setObjectName("lblOut");
    lblOut->move(400, 4);
    btnSend = new QPushButton("Senden", pnlDebug);
    btnSend->setObjectName("btnSend");
    btnSend->move(8, 28);
    pnlStatus = new QWidget(central);
    pnlStatus->setObjectName("pnlStatus");
    pnlStatus->setFixedHeight(1);
    layout->addWidget(pnlStatus);
    setCentralWidget(central);

    statusBar()->setObjectName("MainStatusBar");
    const int widths[4] = {100, 100, 130, 50};
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setObjectName(QString("MainStatusBarPanel%1").arg(i));
        // At least the panel's width; a longer text (a larger font) widens it.
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setMargin(2);
        StatusPanels[i]->setAlignment(Qt::AlignCenter);
        StatusPanels[i]->setFrameShape(QFrame::StyledPanel);
        statusBar()->addWidget(StatusPanels[i]);
    }
    BuildMenu();

    setMinimumSize(350, 310);
    resize(800, 600);
    ReplyParser.OnIdentification = [this](const std::string& text) {
        if (TDeviceStatus* device = DM->DeviceList()->Current()) {
            device->Identification = text;
            RefreshDeviceDisplay();
        }
    };
    ReplyParser.OnUploadReply = [](TUploadReplyStatus reply) {
        if (DM->ComControl())
            DM->ComControl()->SetUploadGoAheadReply(reply);
    };
    TDebugClass::SetOpenWindows([this] {
        std::vector<std::string> captions;
        for (QWidget* child : MDIChildren())
            captions.push_back(child->windowTitle().toStdString());
        return captions;
    });
    connect(&TIdleSignal::Instance(), &TIdleSignal::Idle, this, &TfMainForm::AppIdle);
    // The idle handler keeps the clock in the status bar; this wakes the loop
    // once a second so that the clock goes on while nothing else happens.
    auto* clock = new QTimer(this);
    clock->setObjectName("ClockTimer");
    connect(clock, &QTimer::timeout, this, [] {});
    clock->start(1000);
}

TfMainForm::~TfMainForm()
{
    // The plug-ins go while the panels and windows they put their frames on
    // still exist, and the link's threads end before the process does.
    if (DM) {
        DM->UnloadDLLs();
        DM->SetComControl(nullptr);
    }
    TDebugClass::SetOpenWindows({});
    if (fMainForm == this)
        fMainForm = nullptr;
}

void TfMainForm::BuildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    QMenu* file = bar->addMenu("&Datei");
    file->setObjectName("mmDatei");
    file->addAction(DM->acUploadFirmware);
    file->addAction(DM->actSetParameter);
    file->addSeparator();
    file->addAction(DM->FileExit1);
    QMenu* view = bar->addMenu("&Ansicht");
    view->setObjectName("mmAnsicht");
    QMenu* scheme = view->addMenu("Farbschema");
    scheme->setObjectName("mmFarbschema");
    scheme->addAction(DM->acUseWindowsPattern);
    scheme->addAction(DM->acUseZorPattern);
    view->menuAction()->setVisible(false);
    QMenu* window = bar->addMenu("&Fenster");
    window->setObjectName("mmFenster");
    mmCloseAll = window->addAction("Alle Schließen");
    mmCloseAll->setObjectName("mmCloseAll");
    connect(mmCloseAll, &QAction::triggered, DM->acCloseAllWindows, &QAction::trigger);
    window->menuAction()->setVisible(false);
    QMenu* options = bar->addMenu("Optionen");
    options->setObjectName("mmOptionen");
    options->addAction(DM->actSelectDevice);
    options->addAction(DM->acOptionenSchnittstelle);
    options->addAction(DM->actChangeLanguage);
    options->addAction(DM->acResetDialogs);
    QMenu* help = bar->addMenu("&Hilfe");
    help->setObjectName("mmHilfe");
    help->addAction(DM->acInfoUeber);
    help->addAction(DM->acDebugSaveStateToLog);
    help->addAction(DM->acSendMailAction1);
    help->addAction(DM->acSendErrorLog);
    help->addAction(DM->acWebAction);
    help->addSeparator();
    help->addAction(DM->acInputExtentionKey);
    mmExtendedMode = bar->addMenu("Erweiterte Version");
    mmExtendedMode->setObjectName("mmExtendedMode");
    mmExtendedMode->addAction(DM->actExtendedOptions);
    mmExtendedMode->menuAction()->setVisible(false);
}

std::string TfMainForm::Text(const char* id) const
{
    return lcLangLinked->GetTextOrDefault(id);
}

QList<QWidget*> TfMainForm::MDIChildren() const
{
    QList<QWidget*> children;
    for (QMdiSubWindow* sub : MDIClient->subWindowList())
        if (sub->isVisible())
            children << (sub->widget() ? sub->widget() : sub);
    return children;
}

void TfMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TfMainForm::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void TfMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    PlaceStatusPanel();
}

void TfMainForm::PlaceStatusPanel()
{
    const int top = lblDeviceName->geometry().bottom() + 1;
    pnlDebug->setGeometry(8, top, std::max(0, pnlBackground->width() - 16),
                          std::max(0, pnlBackground->height() - top - 20));
}

void TfMainForm::FormShow()
{
    TDeviceList& list = *DM->DeviceList();
    if (list.Preference().empty()) {
        if (list.Loaded()) {
            DM->actSelectDeviceExecute();
            if (!list.Current())
                FMarkedToEnd = true;
        } else {
            MessageBox(nullptr, Text("IDS_2") + "\r\n" + Text("IDS_3") + "\r\n" + Text("IDS_4"), Text("IDS_5"),
                       MB_OK | MB_ICONERROR);
            FMarkedToEnd = true;
        }
    } else if (!list.Current()) {
        MessageBox(nullptr, FormatText(Text("IDS_6"), {list.Preference()}) + "\r\n" + Text("IDS_7") + "\r\n" +
                                Text("IDS_4"),
                   Text("IDS_9"), MB_OK | MB_ICONERROR);
        FMarkedToEnd = true;
    }
    if (FMarkedToEnd)
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    RefreshDeviceDisplay();
    OpenInterface();
    VerbindungsStatusChanged(nullptr, DM->ComControl() && DM->ComControl()->Connected());
}

void TfMainForm::AppIdle()
{
    if (!DM)
        return;
    StatusPanels[0]->setText(QString::fromStdString(TimeToStr(QTime::currentTime())));
    const bool extended = DM->Environment()->GetExtendedVersion();
    mmExtendedMode->menuAction()->setVisible(extended);
    pnlDebug->setVisible(extended);
    PlaceStatusPanel();
    const TDeviceStatus* device = DM->DeviceList()->Current();
    DM->actExtendedOptions->setVisible(extended && device && !device->GetExtendedDllPath().empty());
    mmCloseAll->setEnabled(!MDIChildren().isEmpty());
    if (const TCommunication* link = DM->ComControl()) {
        const bool connected = link->Connected();
        DM->acUploadFirmware->setEnabled(connected);
        DM->actSetParameter->setEnabled(connected);
        btnSend->setEnabled(connected);
    }
    const int width = extended ? 800 : 350;
    if (minimumWidth() != width)
        setMinimumWidth(width);
}

void TfMainForm::OpenInterface()
{
    const std::int32_t port = DM->Environment()->ComPort;
    if (port == 0) {
        if (DM->ComControl())
            DM->ComControl()->SetInterfaceType(TInterfaceType::itNone);
        StatusPanels[1]->setText("Keine Schnittstelle");
        StatusPanels[2]->setText("");
    } else if (port == 255) {
        StatusPanels[1]->setText("USB");
        StatusPanels[2]->setText(QString::fromStdString(Text("IDS_11")));
        OpenUSBInterface();
    } else {
        StatusPanels[1]->setText(QString::fromStdString(FormatText("COM %d", {std::to_string(port)})));
        StatusPanels[2]->setText(QString::fromStdString(Text("IDS_11")));
        OpenSerialInterface();
    }
}

void TfMainForm::OpenUSBInterface()
{
    DM->SetComControl(nullptr);
    DM->SetComControl(std::make_unique<TCommunication>());
    TCommunication& link = *DM->ComControl();
    link.SetInterfaceType(TInterfaceType::itUSB);
    link.SetVendorID(ZorvatekVendorID);
    if (const TDeviceStatus* device = DM->DeviceList()->Current())
        link.SetProductID(device->ProductID);
    link.SetOnConnectionChange([this](TObject* s, bool up) { VerbindungsStatusChanged(s, up); });
    link.SetOnReceive([this](TObject* s, char cmd, const std::string& data) { CommunicationReceive(s, cmd, data); });
    link.SetOnDebugSendData([this](const std::string& m) { DebugSendData(m); });
    link.SetOnDebugReceiveData([this](const std::string& m) { DebugReceiveData(m); });
    link.Reconnect();
}

void TfMainForm::OpenSerialInterface()
{
    DM->SetComControl(nullptr);
    DM->SetComControl(std::make_unique<TCommunication>());
    TCommunication& link = *DM->ComControl();
    link.SetInterfaceType(TInterfaceType::itSerial);
    link.SetPortNumber(static_cast<std::uint16_t>(DM->Environment()->ComPort & 0xFFFF));
    link.SetOnReceive([this](TObject* s, char cmd, const std::string& data) { CommunicationReceive(s, cmd, data); });
    link.SetOnConnectionChange([this](TObject* s, bool up) { VerbindungsStatusChanged(s, up); });
    link.SetOnStatusChanged([this](TObject* s, std::int32_t status) { ComStatusChanged(s, status); });
    link.SetOnDebugSendData([this](const std::string& m) { DebugSendData(m); });
    link.SetOnDebugReceiveData([this](const std::string& m) { DebugReceiveData(m); });
    link.Reconnect();
    link.ClearStatusBits(0x10000);
}

void TfMainForm::ShowInterfaceOptions()
{
    TfComportOptions dialog(this);
    dialog.SetPortNumber(DM->Environment()->ComPort);
    CloseAllMDIChildren();
    if (DialogService().ExecModal(dialog) != QDialog::Accepted)
        return;
    StatusPanels[2]->setText(" undefiniert ");
    DM->Environment()->ComPort = dialog.GetPortNumber();
    OpenInterface();
}

void TfMainForm::RefreshDeviceDisplay()
{
    const TDeviceList& list = *DM->DeviceList();
    const TDeviceStatus* device = list.Current();
    DM->actSelectDevice->setVisible(list.Preference().empty());
    DM->actSelectDevice->setEnabled(list.Loaded());
    const std::string name = device ? device->Name : Text("IDS_18");
    const std::string side = device ? device->Name : Text("IDS_20");
    const std::string caption = FormatText(Text("IDS_14"), {name});
    setWindowTitle(QString::fromStdString(caption));
    lblIn->setText(QString::fromStdString(FormatText(Text("IDS_15"), {side})));
    lblOut->setText(QString::fromStdString(FormatText(Text("IDS_16"), {side})));
    lblIn->adjustSize();
    lblOut->adjustSize();
    lblDeviceName->setText(QString::fromStdString(caption));
    DM->acUploadFirmware->setVisible(device && !device->GetFirmwareDllPath().empty());
    DM->actSetParameter->setVisible(device && !device->GetParameterDllPath().empty());
    DM->actExtendedOptions->setVisible(device && !device->GetExtendedDllPath().empty() &&
                                       DM->Environment()->GetExtendedVersion());
    if (device && !device->GetStatusDllPath().empty()) {
        for (QWidget* child : pnlStatus->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (child->objectName() == "fStatusFrame")
                pnlStatus->setFixedHeight(child->height());
    } else {
        pnlStatus->setFixedHeight(1);
    }
    DM->acUploadFirmware->setEnabled(list.Loaded());
    DM->actSetParameter->setEnabled(list.Loaded());
}

void TfMainForm::CommunicationReceive(TObject* /*Sender*/, char cmd, const std::string& data)
{
    const std::string data2 = std::string(1, cmd) + data;
    const TAppHandle app = reinterpret_cast<TAppHandle>(static_cast<QWidget*>(this));
    const auto length = static_cast<std::uint32_t>(data2.size());
    for (TOnReceiveData entry :
         {DM->FFirmwareOnReceiveData, DM->FParameterOnReceiveData, DM->FExtendedOnReceiveData, DM->FStatusOnReceiveData})
        if (entry)
            TDM::Check(entry(app, data2.data(), length));
    ReplyParser.Parse(data2);
}

void TfMainForm::VerbindungsStatusChanged(TObject* /*Sender*/, bool verb_ok)
{
    const TAppHandle app = reinterpret_cast<TAppHandle>(static_cast<QWidget*>(this));
    for (TOnConnectionChanged entry : {DM->FFirmwareOnConnectionChanged, DM->FParameterOnConnectionChanged,
                                       DM->FExtendedOnConnectionChanged, DM->FStatusOnConnectionChanged})
        if (entry)
            TDM::Check(entry(app, verb_ok ? 1 : 0));
    if (const TCommunicationProxy* link = DM->LiveCommunication()) {
        const std::string& mutex = DM->CommunicationMutexName();
        const auto length = static_cast<std::uint32_t>(mutex.size());
        if (DM->FParameterInitDLL)
            TDM::Check(DM->FParameterInitDLL(app, mutex.c_str(), length, link));
        if (DM->FExtendedInitDLL)
            TDM::Check(DM->FExtendedInitDLL(app, mutex.c_str(), length, link));
        if (DM->FStatusShowStatus)
            TDM::Check(DM->FStatusShowStatus(app, pnlStatus, pnlStatus, mutex.c_str(), length, link));
    }
    DM->Environment()->Debugger()->AddAction("TfMainForm.VerbindungsStatusChanged",
                                             verb_ok ? "S_VerbindungOK=true" : "S_VerbindungOK=false");
    StatusPanels[2]->setText(QString::fromStdString(Text(verb_ok ? "IDS_26" : "IDS_11")));
    ReplyParser.SetState(verb_ok ? THostReplyParser::Idle : THostReplyParser::NotConnected);
    RefreshDeviceDisplay();
    statusBar()->update();
    // Child windows that can refresh themselves are asked to.
    for (QWidget* child : MDIChildren())
        if (child->metaObject()->indexOfMethod("Refresh()") >= 0)
            QMetaObject::invokeMethod(child, "Refresh", Qt::DirectConnection);
}

void TfMainForm::ComStatusChanged(TObject* /*Sender*/, std::int32_t status)
{
    DM->ComStatus = static_cast<std::uint32_t>(status);
}

void TfMainForm::DebugReceiveData(const std::string& /*SMessage*/)
{
    // The communication monitor keeps no rows yet.
}

void TfMainForm::DebugSendData(const std::string& /*SMessage*/)
{
}

void TfMainForm::PauseForUpload()
{
    FPauseState = 2;
}

void TfMainForm::PauseMonitor()
{
    FPauseState = 1;
}

void TfMainForm::ResumeMonitor()
{
    FPauseState = 0;
}
