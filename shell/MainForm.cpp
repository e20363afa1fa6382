#include "shell/MainForm.h"

#include "platform/StdCtrls.h"

#include "controls/SyncListbox.h"
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "link/USB_Communication.h"
#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/FormatSettings.h"
#include "platform/Application.h"
#include "platform/BalloonHint.h"
#include "platform/StdActns.h"
#include "platform/Help.h"
#include "platform/Idle.h"
#include "platform/TextCodec.h"
#include "shell/ComportOptions.h"
#include "shell/DataModule.h"
#include "shell/DebugClass.h"
#include "shell/DeviceStatus.h"
#include "shell/ZorUtils.h"
#include "shell/Environment.h"
#include "shell/HelpRouter.h"

#include <QAccessible>
#include <QApplication>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The MDI client area. The toolkit's accessibility interface of an MDI area
// exposes only its child windows, and the background panel with the device
// name and the monitor would be out of a screen reader's reach; this one
// exposes every control below the area, the child windows among them.
class TMDIClient : public QMdiArea {
    Q_OBJECT
public:
    using QMdiArea::QMdiArea;
};

QAccessibleInterface* MDIClientAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("TMDIClient") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Client);
    return nullptr;
}

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

// Draws a monitor row: an empty row grey, else white with the first bytes
// in red and the rest in the window text colour.
class TMonitorRowDelegate : public QStyledItemDelegate {
public:
    TMonitorRowDelegate(TfMainForm& form, QObject* parent) : QStyledItemDelegate(parent), FForm(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty()) {
            painter->fillRect(option.rect, QColor(191, 191, 191));
            DrawFocus(painter, option);
            return;
        }
        painter->fillRect(option.rect, Qt::white);
        const std::size_t head =
            FForm.Monitor.HeadLength(text.toStdString(), FForm.edtHeaderAmount->value());
        const QString first = text.left(static_cast<int>(std::min<std::size_t>(head, text.size())));
        const QString rest = text.mid(first.size());
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        const QFontMetrics metrics(option.font);
        const int baseline = option.rect.top() + (option.rect.height() + metrics.ascent() - metrics.descent()) / 2;
        painter->setPen(QColor(214, 0, 0));
        painter->drawText(option.rect.left() + 2, baseline, first);
        painter->setPen(option.palette.color(QPalette::WindowText));
        painter->drawText(option.rect.left() + 2 + metrics.horizontalAdvance(first), baseline, rest);
        painter->restore();
        DrawFocus(painter, option);
    }
    // Every row as wide as the widest so far (the list asks one row for the
    // size of all): the horizontal scroll bar reaches the end of the longest.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(FWidest + 4, std::max(13, QFontMetrics(option.font).height()));
    }
    void Measure(const QListWidget& list, int row)
    {
        FWidest = std::max(FWidest, list.fontMetrics().horizontalAdvance(list.item(row)->text()));
    }
    void MeasureAll(const QListWidget& list)
    {
        FWidest = 0;
        for (int row = 0; row < list.count(); ++row)
            Measure(list, row);
    }

private:
    // The row the keys move from, in a list that has the focus: a dotted frame.
    static void DrawFocus(QPainter* painter, const QStyleOptionViewItem& option)
    {
        if (!(option.state & QStyle::State_HasFocus))
            return;
        painter->save();
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }

    TfMainForm& FForm;
    int FWidest = 0;
};

namespace {

TMonitorRowDelegate& RowsOf(const QListWidget& list)
{
    return *static_cast<TMonitorRowDelegate*>(list.itemDelegate());
}

} // namespace

TfMainForm::TfMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("fMainForm");
    fMainForm = this;
    SetOwnerRoot(this);

    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    // The actions' images; the caption and hint show as the tool tip.
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->addAction(DM->acUploadFirmware);
    ToolBar1->addAction(DM->actSetParameter);
    ToolBar1->addSeparator();
    ToolBar1->addAction(DM->actSelectDevice);
    ToolBar1->addAction(DM->actExtendedOptions);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    static const bool accessible = (QAccessible::installFactory(&MDIClientAccessible), true);
    (void)accessible;
    MDIClient = new TMDIClient(central);
    MDIClient->setObjectName("MDIClient");
    DM->SetWindowActionsForm(MDIClient);
    layout->addWidget(MDIClient, 1);
    pnlBackground = new QWidget(MDIClient->viewport());
    pnlBackground->setObjectName("pnlBackground");
    pnlBackground->lower();
    new TBackgroundFollower(MDIClient->viewport(), pnlBackground);
    lblDeviceName = new QLabel(pnlBackground);
    lblDeviceName->setObjectName("lblDeviceName");
    QFont big("Arial Black");
    big.setWeight(QFont::Black); // where that face is missing, the heaviest of another
    big.setPixelSize(32);
    big.setItalic(true);
    lblDeviceName->setFont(big);
    lblDeviceName->setGeometry(16, 8, 760, 48);
    pnlDebug = new QWidget(pnlBackground);
    pnlDebug->setObjectName("pnlDebug");
    pnlDebug->setVisible(false);
    BuildMonitor();
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
    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
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
    const std::string helpFile = ProgramFolder() + ProgramBaseName() + ".chm";
    if (QFileInfo(QString::fromStdString(helpFile)).isFile()) {
        SetApplicationHelpFile(helpFile);
        DM->HelpRouter->Helpfile = helpFile;
    }
    // The idle handler keeps the clock in the status bar; this wakes the loop
    // once a second so that the clock goes on while nothing else happens.
    auto* clock = new QTimer(this);
    clock->setObjectName("ClockTimer");
    connect(clock, &QTimer::timeout, this, [] {});
    clock->start(1000);

    // The translation component is read last, as a form's data are: a window
    // made while another language is active gets its texts applied to the
    // controls that now exist.
    // The texts the window makes itself follow a language switch too, the
    // first one included (made while English is active), which already reads
    // the window's texts through the component.
    CreateFormTranslations(this, DM->lcLangDispatcher, "TfMainForm", [this](TlcLangLinked& lang) {
        lcLangLinked = &lang;
        lang.SetOnChangeLanguage([this](TObject*) { LanguageChanged(); });
    });
}

TfMainForm::~TfMainForm()
{
    // The plug-ins go while the panels and windows they put their frames on
    // still exist, and the link's threads end before the process does.
    if (DM) {
        DM->UnloadDLLs();
        DM->FreeComControlAtEnd();
    }
    TDebugClass::SetOpenWindows({});
    if (DM)
        DM->BalloonHint->CancelHint();
    if (fMainForm == this)
        fMainForm = nullptr;
}

void TfMainForm::BuildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    QMenu* file = new TMenuItem("&Datei", bar);
    bar->addMenu(file);
    file->setObjectName("mmDatei");
    file->addAction(DM->acUploadFirmware);
    file->addAction(DM->actSetParameter);
    file->addAction(DM->acFilePrintSetup);
    file->addSeparator();
    file->addAction(DM->FileExit1);
    QMenu* edit = new TMenuItem("&Bearbeiten", bar);
    bar->addMenu(edit); // the library's edit actions; kept hidden
    edit->setObjectName("mmBearbeiten");
    for (QAction* action : std::initializer_list<QAction*>{DM->EditCut1, DM->EditCopy1, DM->EditPaste1,
                                                            DM->EditSelectAll1, DM->EditUndo1})
        edit->addAction(action);
    edit->menuAction()->setVisible(false);
    QMenu* view = new TMenuItem("&Ansicht", bar);
    bar->addMenu(view);
    view->setObjectName("mmAnsicht");
    QMenu* scheme = new TMenuItem("Farbschema", view);
    view->addMenu(scheme);
    scheme->setObjectName("mmFarbschema");
    scheme->addAction(DM->acUseWindowsPattern);
    scheme->addAction(DM->acUseZorPattern);
    view->menuAction()->setVisible(false);
    QMenu* window = new TMenuItem("&Fenster", bar);
    bar->addMenu(window);
    window->setObjectName("mmFenster");
    for (QAction* action :
         std::initializer_list<QAction*>{DM->WindowClose1, DM->WindowCascade1, DM->WindowTileHorizontal1,
                                         DM->WindowTileVertical1, DM->WindowMinimizeAll1, DM->WindowArrange1})
        window->addAction(action);
    window->addSeparator();
    mmCloseAll = new TAction("Alle Schließen", window);
    window->addAction(mmCloseAll);
    mmCloseAll->setIcon(DM->acCloseAllWindows->icon());
    mmCloseAll->setObjectName("mmCloseAll");
    connect(mmCloseAll, &QAction::triggered, DM->acCloseAllWindows, &QAction::trigger);
    window->menuAction()->setVisible(false);
    QMenu* options = new TMenuItem("Optionen", bar);
    bar->addMenu(options);
    options->setObjectName("mmOptionen");
    options->addAction(DM->actSelectDevice);
    options->addAction(DM->acOptionenSchnittstelle);
    options->addAction(DM->actChangeLanguage);
    options->addAction(DM->acResetDialogs);
    QMenu* help = new TMenuItem("&Hilfe", bar);
    bar->addMenu(help);
    help->setObjectName("mmHilfe");
    help->addAction(DM->acInfoUeber);
    help->addAction(DM->acDebugSaveStateToLog);
    help->addAction(DM->acSendMailAction1);
    help->addAction(DM->acSendErrorLog);
    help->addAction(DM->acWebAction);
    help->addSeparator();
    help->addAction(DM->acInputExtentionKey);
    mmExtendedMode = new TMenuItem("Erweiterte Version", bar);
    bar->addMenu(mmExtendedMode);
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
    HtmlHelp(0, "", HH_CLOSE_ALL, 0);
    event->accept();
    // The program ends with its main window. A window beside it that nothing
    // in the program owns (the radio plug-in's modeless dialog) would keep it
    // running alone: it closes as by its close box, or goes if it refuses.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window == this || window->parentWidget() || !window->isVisible() ||
            (type != Qt::Window && type != Qt::Dialog))
            continue;
        if (!window->close())
            window->hide();
    }
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
    VerbindungsStatusChanged(this, DM->ComControl() && DM->ComControl()->Connected());
}

void TfMainForm::ShowConnectionText(const char* id)
{
    FConnectionTextId = id;
    StatusPanels[2]->setText(id ? QString::fromStdString(Text(id)) : QString());
}

void TfMainForm::LanguageChanged()
{
    if (!DM)
        return;
    RefreshDeviceDisplay();
    if (FConnectionTextId)
        ShowConnectionText(FConnectionTextId);
    btnPause->setText(QString::fromStdString(
        Text(Monitor.Pause() == TCommunicationMonitor::TPause::Running ? "IDS_37" : "IDS_35")));
    btnToggleASCII->setText(QString::fromStdString(
        Text(Monitor.Mode() == TCommunicationMonitor::TMode::Ascii ? "IDS_38" : "IDS_39")));
}

void TfMainForm::AppIdle()
{
    if (!DM)
        return;
    StatusPanels[0]->setText(QString::fromStdString(TimeToStr(QTime::currentTime())));
    const bool extended = DM->Environment()->GetExtendedVersion();
    mmExtendedMode->menuAction()->setVisible(extended);
    pnlDebug->setVisible(extended);
    Monitor.SetVisible(extended);
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
        // The status bar tells the choice even when closing the link raises
        // (a USB device that will not give its interface back).
        StatusPanels[1]->setText("Keine Schnittstelle");
        ShowConnectionText(nullptr);
        if (DM->ComControl())
            DM->ComControl()->SetInterfaceType(TInterfaceType::itNone);
    } else if (port == 255) {
        StatusPanels[1]->setText("USB");
        ShowConnectionText("IDS_11");
        OpenUSBInterface();
    } else {
        StatusPanels[1]->setText(QString::fromStdString(FormatText("COM %d", {std::to_string(port)})));
        ShowConnectionText("IDS_11");
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
    try {
        link.SetPortNumber(static_cast<std::uint16_t>(DM->Environment()->ComPort & 0xFFFF));
    } catch (const std::exception&) {
        // The link could not take the port (its thread did not start): port 1.
        link.SetPortNumber(1);
    }
    link.SetOnReceive([this](TObject* s, char cmd, const std::string& data) { CommunicationReceive(s, cmd, data); });
    link.SetOnConnectionChange([this](TObject* s, bool up) { VerbindungsStatusChanged(s, up); });
    link.SetOnStatusChanged([this](TObject* s, std::int32_t status) { ComStatusChanged(s, status); });
    link.SetOnDebugSendData([this](const std::string& m) { DebugSendData(m); });
    link.SetOnDebugReceiveData([this](const std::string& m) { DebugReceiveData(m); });
    link.Reconnect();
    link.ClearStatusBits(Serial::OptionBeepOnJ);
}

void TfMainForm::ShowInterfaceOptions()
{
    TfComportOptions dialog(this);
    dialog.SetPortNumber(DM->Environment()->ComPort);
    CloseAllMDIChildren();
    if (DialogService().ExecModal(dialog) != QDialog::Accepted)
        return;
    ShowConnectionText(nullptr);
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
    PlaceMonitorLabels();
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
    // The plug-ins get each message before the program's own reply parser reads it.
    const std::string data2 = std::string(1, cmd) + data;
    DM->BroadcastReceived(data2);
    ReplyParser.Parse(data2);
}

void TfMainForm::VerbindungsStatusChanged(TObject* /*Sender*/, bool verb_ok)
{
    DM->BroadcastConnection(verb_ok);
    DM->HandOverLink(pnlStatus);
    DM->Environment()->Debugger()->AddAction("TfMainForm.VerbindungsStatusChanged",
                                             verb_ok ? "S_VerbindungOK=true" : "S_VerbindungOK=false");
    ShowConnectionText(verb_ok ? "IDS_26" : "IDS_11");
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

void TfMainForm::DebugReceiveData(const std::string& SMessage)
{
    AddMonitorRow(true, SMessage);
}

void TfMainForm::DebugSendData(const std::string& SMessage)
{
    AddMonitorRow(false, SMessage);
}

void TfMainForm::AddMonitorRow(bool received, const std::string& message)
{
    const std::uint32_t now = static_cast<std::uint32_t>(QTime::currentTime().msecsSinceStartOfDay());
    const auto change = received ? Monitor.AddReceived(message, now) : Monitor.AddSent(message, now);
    if (!change.Added)
        return;
    const auto& in = Monitor.In();
    const auto& out = Monitor.Out();
    // Rows are plain ASCII: other bytes are escaped or shown in hex.
    for (auto [list, rows] : {std::pair{lbxIn, &in}, std::pair{lbxOut, &out}}) {
        list->addItem(QString::fromLatin1(rows->back().Text.c_str()));
        RowsOf(*list).Measure(*list, list->count() - 1);
    }
    if (change.DroppedFirst) {
        delete lbxIn->takeItem(0);
        delete lbxOut->takeItem(0);
    }
    if (Monitor.FollowsNewest()) {
        if (lbxOut->count() > 0)
            lbxOut->setCurrentRow(lbxOut->count() - 1);
        if (lbxIn->count() > 0)
            lbxIn->setCurrentRow(lbxIn->count() - 1);
    }
}

void TfMainForm::PauseForUpload()
{
    Monitor.SetPause(TCommunicationMonitor::TPause::ForUpload);
    btnPause->setText(QString::fromStdString(Text("IDS_35")));
}

void TfMainForm::PauseMonitor()
{
    Monitor.SetPause(TCommunicationMonitor::TPause::ByUser);
    btnPause->setText(QString::fromStdString(Text("IDS_35")));
}

void TfMainForm::ResumeMonitor()
{
    Monitor.SetPause(TCommunicationMonitor::TPause::Running);
    btnPause->setText(QString::fromStdString(Text("IDS_37")));
}

void TfMainForm::btnClearClick()
{
    Monitor.Clear();
    lbxIn->clear();
    lbxOut->clear();
    RowsOf(*lbxIn).MeasureAll(*lbxIn);
    RowsOf(*lbxOut).MeasureAll(*lbxOut);
}

void TfMainForm::btnPauseClick()
{
    if (Monitor.Pause() == TCommunicationMonitor::TPause::Running)
        PauseMonitor();
    else
        ResumeMonitor();
}

void TfMainForm::btnToggleASCIIClick()
{
    if (Monitor.Mode() == TCommunicationMonitor::TMode::Ascii) {
        btnToggleASCII->setText(QString::fromStdString(Text("IDS_39")));
        Monitor.SetMode(TCommunicationMonitor::TMode::Hex);
    } else {
        btnToggleASCII->setText(QString::fromStdString(Text("IDS_38")));
        Monitor.SetMode(TCommunicationMonitor::TMode::Ascii);
    }
    lbxIn->viewport()->update();
    lbxOut->viewport()->update();
}

void TfMainForm::btnSendClick()
{
    TCommunication* link = DM->ComControl();
    if (!link || !link->Connected() || edtSend->text().isEmpty())
        return;
    QString text = edtSend->text();
    for (QChar& c : text)
        if (c >= 'a' && c <= 'z')
            c = QChar(c.unicode() - 'a' + 'A');
    edtSend->setText(text);
    // The program's own send takes no communication mutex.
    link->SendText(this, Utf8ToLatin1(text.toStdString()) + "\n", 0);
    edtSend->selectAll();
    edtSend->setFocus();
}

void TfMainForm::btnSaveClick()
{
    const QDateTime now = QDateTime::currentDateTime();
    TFileDialog save;
    save.Title = "Protokoll speichern";
    save.Filter = "Textdatei (*.txt)|*.txt|Alle Dateien (*.*)|*.*";
    save.DefaultExt = "TXT";
    save.OverwritePrompt = true;
    save.FileName = TCommunicationMonitor::ProposedFileName(now.date(), now.time());
    if (!DialogService().SaveFile(this, save))
        return;
    const QDateTime written = QDateTime::currentDateTime();
    try {
        Monitor.SaveLog(save.FileName, written.date(), written.time());
    } catch (const EInOutError& e) {
        // The file and the system's reason; an older file of that name stays.
        MessageBox(this, "Die Daten wurden nicht gespeichert!\r\n" + e.Message(), "Zor Tessaro",
                   MB_OK | MB_ICONERROR);
        return;
    }
    MessageBox(this, "Die Daten wurden gespeichert!", "Zor Tessaro", MB_OK | MB_ICONINFORMATION);
}

void TfMainForm::SplitterMoved()
{
    PlaceMonitorLabels();
}

void TfMainForm::PlaceMonitorLabels()
{
    QWidget* heads = lblIn->parentWidget();
    const auto leftOf = [this, heads](const QWidget* w) {
        return heads->mapFrom(pnlDebug, w->mapTo(pnlDebug, QPoint(0, 0))).x();
    };
    const int inLeft = leftOf(lbxIn);
    const int outLeft = leftOf(lbxOut) - Splitter->handle(1)->width() + 8;
    // Each label keeps to the width over its own list.
    const int inWidth = std::max(0, std::min(lblIn->sizeHint().width(), outLeft - inLeft - 8));
    const int outWidth = std::max(0, std::min(lblOut->sizeHint().width(), heads->width() - outLeft));
    lblIn->setGeometry(inLeft, lblIn->y(), inWidth, lblIn->sizeHint().height());
    lblOut->setGeometry(outLeft, lblOut->y(), outWidth, lblOut->sizeHint().height());
}

void TfMainForm::BuildMonitor()
{
    auto* layout = new QVBoxLayout(pnlDebug);
    layout->setContentsMargins(0, 0, 0, 0);
    // The labels stand over their lists; they are placed whenever the lists
    // move or change their size (first show, window resize, splitter).
    auto* heads = new QWidget(pnlDebug);
    heads->setObjectName("pnlMonitorHeads");
    lblIn = new TLabel("Gerät --> PC", heads);
    lblIn->setObjectName("lblIn");
    lblIn->move(0, 2);
    lblOut = new TLabel("PC --> Gerät", heads);
    lblOut->setObjectName("lblOut");
    lblOut->move(0, 2);
    heads->setFixedHeight(lblIn->sizeHint().height() + 4);
    heads->installEventFilter(this);
    layout->addWidget(heads);

    QFont fixed("Courier New");
    fixed.setPointSize(8);
    Splitter = new QSplitter(Qt::Horizontal, pnlDebug);
    Splitter->setObjectName("Splitter");
    Splitter->setChildrenCollapsible(false);
    lbxIn = new TSyncListbox(Splitter);
    lbxIn->setObjectName("lbxIn");
    lbxOut = new TSyncListbox(Splitter);
    lbxOut->setObjectName("lbxOut");
    for (TSyncListbox* list : {lbxIn, lbxOut}) {
        list->SetSyncKind(TSyncKind::skBoth);
        list->setFont(fixed);
        list->setUniformItemSizes(true);
        list->setItemDelegate(new TMonitorRowDelegate(*this, list));
        // Both lists always show both scroll bars: their rows stay level
        // whatever the width of their texts.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->installEventFilter(this);
    }
    lblIn->setBuddy(lbxIn);
    lblOut->setBuddy(lbxOut);
    // The left list keeps its width, the right one takes what the window gives.
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({390, 390});
    // A row is one message: a row chosen in one list is chosen in the other.
    // (A key handed on by the other list moves both already.)
    for (const auto& pair : {std::pair{lbxIn, lbxOut}, std::pair{lbxOut, lbxIn}}) {
        TSyncListbox* from = pair.first;
        TSyncListbox* to = pair.second;
        connect(from, &QListWidget::currentRowChanged, to, [from, to](int row) {
            if (!from->Receiving() && to->currentRow() != row)
                to->setCurrentRow(row);
        });
    }
    connect(Splitter, &QSplitter::splitterMoved, this, &TfMainForm::SplitterMoved);
    layout->addWidget(Splitter, 1);

    // The send line on a row of its own, the monitor's buttons below it.
    auto* sendRow = new QHBoxLayout;
    edtSend = new QLineEdit(pnlDebug);
    edtSend->setObjectName("edtSend");
    sendRow->addWidget(edtSend, 1);
    btnSend = new TButton("Senden", pnlDebug);
    btnSend->setObjectName("btnSend");
    sendRow->addWidget(btnSend);
    layout->addLayout(sendRow);
    auto* controls = new QHBoxLayout;
    const QString hint = QString::fromUtf8("Stellen Sie hier ein wieviele Bytes farblich hervorgehoben werden sollen, "
                                           "z.B. weill sie den Header eines Telegramms darstellen.");
    lblHeaderAmount1 = new TLabel("Die ersten", pnlDebug);
    lblHeaderAmount1->setObjectName("lblHeaderAmount1");
    edtHeaderAmount = new QSpinBox(pnlDebug);
    edtHeaderAmount->setObjectName("edtHeaderAmount");
    edtHeaderAmount->setRange(0, 8);
    edtHeaderAmount->setValue(1);
    lblHeaderAmount1->setBuddy(edtHeaderAmount);
    lblHeaderAmount2 = new TLabel("Bytes hervorheben.", pnlDebug);
    lblHeaderAmount2->setObjectName("lblHeaderAmount2");
    for (QWidget* w : std::initializer_list<QWidget*>{lblHeaderAmount1, edtHeaderAmount, lblHeaderAmount2}) {
        w->setToolTip(hint);
        controls->addWidget(w);
    }
    connect(edtHeaderAmount, &QSpinBox::valueChanged, this, [this] {
        lbxIn->viewport()->update();
        lbxOut->viewport()->update();
    });
    btnToggleASCII = new TButton("In HEX-Darstellung umschalten", pnlDebug);
    btnToggleASCII->setObjectName("btnToggleASCII");
    btnSave = new TButton("Speichern", pnlDebug);
    btnSave->setObjectName("btnSave");
    btnClear = new TButton("Löschen", pnlDebug);
    btnClear->setObjectName("btnClear");
    btnPause = new TButton("Pause", pnlDebug);
    btnPause->setObjectName("btnPause");
    controls->addStretch(1);
    for (TButton* b : {btnToggleASCII, btnSave, btnClear, btnPause})
        controls->addWidget(b);
    layout->addLayout(controls);
    connect(btnSend, &QPushButton::clicked, this, &TfMainForm::btnSendClick);
    connect(btnClear, &QPushButton::clicked, this, &TfMainForm::btnClearClick);
    connect(btnPause, &QPushButton::clicked, this, &TfMainForm::btnPauseClick);
    connect(btnToggleASCII, &QPushButton::clicked, this, &TfMainForm::btnToggleASCIIClick);
    connect(btnSave, &QPushButton::clicked, this, &TfMainForm::btnSaveClick);
    edtSend->installEventFilter(this);
}

void TfMainForm::edtSendKeyUp(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        btnSend->click();
}

bool TfMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtSend) {
        // One send per press of Enter. Held down, the key repeats as pairs of
        // release and press that the window system sends together, with one
        // time stamp. The toolkit marks a pair as a repeat only when it sees
        // the press already waiting as it handles the release; when the press
        // comes a moment later, the release is unmarked and looks like the
        // end of the press. So a press of the same key that follows a release
        // within EnterRepeatGap of the window system's time continues the held
        // key instead of starting a new one, whatever its mark says: a person
        // takes far longer to let go and press again. Only a press made in the
        // send line counts (not the Enter that closed a dialog a moment ago).
        const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
        const auto* key = keyEvent ? static_cast<const QKeyEvent*>(event) : nullptr;
        const auto enter = [key] { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; };
        switch (event->type()) {
        case QEvent::KeyPress:
            if (!enter()) {
                FEnterReleased = false; // another key ends the repeats
            } else if (!key->isAutoRepeat() &&
                       !(FEnterReleased && FEnterReleasedKey == key->key() &&
                         key->timestamp() >= FEnterReleasedAt &&
                         key->timestamp() - FEnterReleasedAt <= EnterRepeatGap)) {
                FSendKeyDown = true;
            }
            break;
        case QEvent::KeyRelease:
            if (enter() && !key->isAutoRepeat()) {
                FEnterReleased = true;
                FEnterReleasedKey = key->key();
                FEnterReleasedAt = key->timestamp();
                if (FSendKeyDown) {
                    FSendKeyDown = false;
                    edtSendKeyUp(key->key());
                }
            }
            break;
        case QEvent::FocusOut:
            FSendKeyDown = false;
            FEnterReleased = false;
            break;
        default: break;
        }
    } else if ((watched == lbxIn || watched == lbxOut) && event->type() == QEvent::FontChange) {
        auto* list = static_cast<QListWidget*>(watched);
        RowsOf(*list).MeasureAll(*list);
    } else if ((watched == lbxIn || watched == lbxOut || watched == lblIn->parent()) &&
               (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        PlaceMonitorLabels();
    }
    return QMainWindow::eventFilter(watched, event);
}

#include "MainForm.moc"
