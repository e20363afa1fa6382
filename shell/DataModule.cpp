#include "shell/DataModule.h"

#include "controls/Zor_Pattern.h"
#include "controls/Zor_Win32Controls.h"
#include "link/Communication.h"
#include "link/USB_Communication.h"
#include "localization/lcComp.h"
#include "localization/lcDialog.h"
#include "platform/Application.h"
#include "platform/BalloonHint.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"
#include "platform/FormatSettings.h"
#include "platform/Idle.h"
#include "platform/Launcher.h"
#include "platform/MessageWindow.h"
#include "platform/PickedFile.h"
#include "platform/StdActns.h"
#include "shell/ActionImages.h"
#include "shell/DebugClass.h"
#include "shell/DeviceStatus.h"
#include "shell/InputForm.h"
#include "shell/Language.h"
#include "shell/ZorAboutDlg.h"
#include "shell/Environment.h"
#include "shell/HelpRouter.h"
#include "shell/MainForm.h"
#include "shell/PluginGuard.h"
#include "shell/SelectDeviceForm.h"
#include "shell/ZorUtils.h"
#include "controls/Zor_StandardControls.h"
#include "platform/Component.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QThread>

#include <dlfcn.h>

#include <optional>

TDM* DM = nullptr;
TfMainForm* fMainForm = nullptr;
std::function<void(int ms)> TDM::PluginLoadPause = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
std::function<std::string()> TDM::NewMutexName = [] { return "Global\\" + NewGUIDText(); };

namespace {

const char* const kStart = "-------- Programmstart ----------------------------";
const char* const kEnd = "-------- Programmende ----------------------------";
const char* const kUnknownDevice =
    "Es wurde keine Konfiguration für das als Parameter angegebene Gerät \"%s\" gefunden.\r\n"
    "Bitte wählen Sie aus, mit welchem Gerät sie arbeiten wollen.";

// A component of the data module with its name.
template <typename T>
T* Named(T* component, const char* name)
{
    component->setObjectName(name);
    return component;
}

std::int32_t ProxyConnected(const TCommunicationProxy* self)
{
    try {
        const TDM* dm = static_cast<const TDM*>(self->Context);
        return dm->ComControl() && dm->ComControl()->Connected() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

std::int32_t ProxySendText(const TCommunicationProxy* self, void* /*sender*/, const char* text, std::uint32_t length,
                           std::int32_t transfer)
{
    try {
        const TDM* dm = static_cast<const TDM*>(self->Context);
        // The link the program holds now: a plug-in never reaches a freed one.
        TCommunication* link = dm->ComControl();
        if (!link)
            return 1;
        return link->SendText(nullptr, std::string(text ? text : "", text ? length : 0), transfer) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

static_assert(static_cast<int>(TUploadReplyStatus::urUndefined) == TESSARO_UPLOAD_UNDEFINED &&
              static_cast<int>(TUploadReplyStatus::urGoAhead) == TESSARO_UPLOAD_GO_AHEAD &&
              static_cast<int>(TUploadReplyStatus::urNotEnoughMenory) == TESSARO_UPLOAD_NOT_ENOUGH_MEMORY);

std::int32_t ProxyUploadGoAheadReply(const TCommunicationProxy* self)
{
    const TDM* dm = static_cast<const TDM*>(self->Context);
    const TCommunication* link = dm->ComControl();
    return static_cast<std::int32_t>(link ? link->UploadGoAheadReply() : TUploadReplyStatus::urUndefined);
}

template <typename T>
T Entry(void* library, const char* name)
{
    return reinterpret_cast<T>(dlsym(library, name));
}

} // namespace

void TDM::Check(TPluginError error)
{
    if (error)
        throw Exception(error);
}

TDM::TDM(const QStringList& arguments, QObject* parent, TPluginStart pluginStart) : QObject(parent)
{
    setObjectName("DM");
    DM = this;
    FProxy.Size = sizeof(TCommunicationProxy);
    FProxy.Context = this;
    FProxy.Connected = &ProxyConnected;
    FProxy.SendText = &ProxySendText;
    FProxy.UploadGoAheadReply = &ProxyUploadGoAheadReply;

    SetOwnerRoot(this);
    lcLangDispatcher = new TlcLangDispatcher(this);
    lcLangDispatcher->setObjectName("lcLangDispatcher");
    lcLang = new TlcLang(this);
    lcLang->setObjectName("lcLang");
    HelpRouter = new THelpRouter(this);
    HelpRouter->HelpType = THelpType::htHTMLhelp;
    HelpRouter->CHMPopupTopics = "CSHelp.txt";
    HelpRouter->ValidateID = false;
    // The file dialogs link no translation component: the system's texts.
    OpenDialog = new TlcOpenDialog(this);
    OpenDialog->setObjectName("OpenDialog");
    SaveDialog = new TlcSaveDialog(this);
    SaveDialog->setObjectName("SaveDialog");
    BrowseForFolderDialog = new TlcBrowseForFolder(this);
    BrowseForFolderDialog->setObjectName("BrowseForFolderDialog");
    {
        // As the data module's resource reads them: the dispatcher, then the texts.
        TlcResourceLoading loading;
        loading.Add(*lcLangDispatcher);
        loading.Add(*lcLang);
        lcLangDispatcher->SetActiveLanguage(1);
        lcLangDispatcher->SetNumOfLanguages(2);
        lcLangDispatcher->SetLangNames({"Deutsch", "English"});
        lcLangDispatcher->SetLanguage("Deutsch");
        // Its table also makes the data module's texts translate the
        // program's resource strings.
        LoadFormTranslations(*lcLang, lcLangDispatcher, "TDM");
        loading.Finish();
    }

    acUploadFirmware = NewAction("acUploadFirmware", "Firmware-Upload", &TDM::acUploadFirmwareExecute);
    acUploadFirmware->SetHint("Lädt eine neue Firmware auf das Gerät");
    actSetParameter = NewAction("actSetParameter", "Parameter setzen ...", &TDM::actSetParameterExecute);
    actSetParameter->SetHint("Neue Parameter auf das Gerät laden.");
    actExtendedOptions =
        NewAction("actExtendedOptions", "Erweiterte Optionen ...", &TDM::actExtendedOptionsExecute);
    actExtendedOptions->SetHint("Stellt erweiterte Optionen und Informationen zur Verfügung.");
    actSelectDevice = NewAction("actSelectDevice", "Gerät auswählen ...", &TDM::actSelectDeviceExecute);
    actSelectDevice->SetHint("Wählen Sie aus, welches Gerät Sie konfigurieren wollen.");
    acOptionenSchnittstelle = NewAction("acOptionenSchnittstelle", "&Schnittstelle einstellen ...",
                                        &TDM::acOptionenSchnittstelleExecute);
    acOptionenSchnittstelle->SetHint(
        "Die Schnittstelle auswählen, über die das Programm mit Geräten kommuniziert.");
    actChangeLanguage = NewAction("actChangeLanguage", "Sprache ändern ...", &TDM::actChangeLanguageExecute);
    acInputExtentionKey =
        NewAction("acInputExtentionKey", "Erweiterungscode eingeben...", &TDM::acInputExtentionKeyExecute);
    acUseWindowsPattern =
        NewAction("acUseWindowsPattern", "Windows Farbschema nutzen", &TDM::acUseWindowsPatternExecute);
    acUseZorPattern = NewAction("acUseZorPattern", "Zor Farbschema nutzen", &TDM::acUseZorPatternExecute);
    acUseWindowsPattern->setCheckable(true);
    acUseZorPattern->setCheckable(true);
    acResetDialogs =
        NewAction("acResetDialogs", "Unterdrückte Dialoge wieder anzeigen", &TDM::acResetDialogsExecute);
    acResetDialogs->SetHint("Alle Dialoge und Warnungen, die mittels \"Diesen Dialog zukünftig nicht mehr "
                               "anzeigen\" ausgeblendet wurden, werden wieder angezeigt");
    acDebugSaveStateToLog = NewAction("acDebugSaveStateToLog", "Aktuellen Programmzustand in Log-Datei speichern",
                                      &TDM::acDebugSaveStateToLogExecute);
    acDebugSaveStateToLog->SetHint(
        "Speichert den aktuellen Zustand des Programms und seiner Objekte in eine Textdatei.");
    acSendErrorLog = NewAction("acSendErrorLog", "Fehlerprotokoll an Zorvatek senden", &TDM::acSendErrorLogExecute);
    acSendMailAction1 =
        NewAction("acSendMailAction1", "E-Mail an Zorvatek schreiben", &TDM::acSendMailAction1Execute);
    acWebAction = NewAction("acWebAction", "Zorvatek im Internet", &TDM::acWebActionExecute);
    acCloseAllWindows = NewAction("acCloseAllWindows", "Alle Schließen", &TDM::acCloseAllWindowsExecute);
    acInfoUeber = NewAction("acInfoUeber", "&Info über ...", nullptr);
    connect(acInfoUeber, &QAction::triggered, this, [this] {
        if (!FActionsSuspended)
            ShowAboutBox();
    });
    FileExit1 = NewAction("FileExit1", "&Beenden", nullptr);
    connect(FileExit1, &QAction::triggered, this, [this] {
        if (!FActionsSuspended && fMainForm)
            fMainForm->close();
    });
    CreateStandardActions();
    BalloonHint = Named(new TBalloonHint(this), "BalloonHint");
    BalloonHint->DefaultIcon = TBalloonHint::TIcon::Information;
    BalloonHint->SetShowCloseButton(true);
    LoadImages();
    MailAction.Recipient = ServiceAddress;
    MailAction.Subject = "Fehlermeldung / Bericht / Anfrage";
    MailAction.Body = "Sehr geehrte Damen und Herren,\r\n";

    // The creation handler.
    RegistryStorage.SetRoot(TEnvironment::ProgramKey());
    FEnvironment = std::make_unique<TEnvironment>(&RegistryStorage);
    FEnvironment->Debugger()->AddAction(kStart, "");
    SetCommunicationMutexName(NewMutexName());
    bool exists = false;
    FMutex = CreateMutex(true, FCommunicationMutexName, &exists);
    if (!FMutex || exists) {
        if (FMutex)
            CloseHandle(FMutex);
        DM = nullptr; // no data module came up
        throw Exception("Error creating unique mutex!");
    }
    // A link that cannot be closed cleanly while it is freed says so here.
    SetUnraisableErrorHandler([this](const std::string& source, const std::string& message) {
        RecordUnraisableError(source, message);
    });
    TPluginGuard::Install();
    UnloadDLLs();
    if (!FEnvironment->ValuesAreValid)
        FEnvironment->LoadSettings();
    FDeviceList = std::make_unique<TDeviceList>();
    try {
        FDeviceList->LoadDevices(ProgramFolder() + "ZorDevices.xml");
        const std::string argument = arguments.size() > 1 ? arguments[1].toStdString() : std::string();
        if (!argument.empty()) {
            FDeviceList->SetPreferredDevice(argument);
            if (QString::fromStdString(FDeviceList->Preference()).toUpper() !=
                QString::fromStdString(argument).toUpper())
                MessageBox(nullptr, FormatText(kUnknownDevice, {argument}), "Zor Tessaro", MB_OK | MB_ICONERROR);
        }
        FStartPluginsDue = true;
    } catch (...) {
        // Start-up goes on; the main window tells what is missing.
    }
    if (pluginStart == TPluginStart::InCreation)
        LoadStartPlugins();
    SetHintHidePause(5000);
}

void TDM::LoadStartPlugins()
{
    if (!FStartPluginsDue)
        return;
    FStartPluginsDue = false;
    try {
        LoadDLLs();
    } catch (...) {
        // Start-up goes on without the roles that did not load.
    }
}

TDM::~TDM()
{
    // A link the main window left goes while the history can still take what
    // freeing it reports; the end marker stays the history's last entry.
    FreeComControlAtEnd();
    SetUnraisableErrorHandler({});
    if (FEnvironment)
        FEnvironment->Debugger()->AddAction(kEnd, "");
    UnloadDLLs();
    if (FMutex)
        CloseHandle(FMutex);
    FEnvironment.reset(); // saves the settings
    if (DM == this)
        DM = nullptr;
}

TAction* TDM::NewAction(const char* name, const char* caption, void (TDM::*handler)())
{
    auto* action = new TAction(QString::fromUtf8(caption), this);
    action->setObjectName(name);
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] {
            if (!FActionsSuspended)
                (this->*handler)();
        });
    return action;
}

void TDM::CreateStandardActions()
{
    acFilePrintSetup = Named(new TFilePrintSetup("Drucker&einrichtung...", this), "acFilePrintSetup");
    acFilePrintSetup->setVisible(false);
    using TEdit = TEditAction::TKind;
    EditCut1 = Named(new TEditAction(TEdit::Cut, "&Ausschneiden", this), "EditCut1");
    EditCopy1 = Named(new TEditAction(TEdit::Copy, "&Kopieren", this), "EditCopy1");
    EditPaste1 = Named(new TEditAction(TEdit::Paste, "&Einfügen", this), "EditPaste1");
    EditSelectAll1 = Named(new TEditAction(TEdit::SelectAll, "Alles &markieren", this), "EditSelectAll1");
    EditUndo1 = Named(new TEditAction(TEdit::Undo, "&Rückgängig", this), "EditUndo1");
    using TWindow = TWindowAction::TKind;
    WindowClose1 = Named(new TWindowAction(TWindow::Close, "&Schließen", this), "WindowClose1");
    WindowCascade1 = Named(new TWindowAction(TWindow::Cascade, "Ü&berlappend", this), "WindowCascade1");
    WindowTileHorizontal1 =
        Named(new TWindowAction(TWindow::TileHorizontal, "&Untereinander", this), "WindowTileHorizontal1");
    WindowTileVertical1 =
        Named(new TWindowAction(TWindow::TileVertical, "&Nebeneinander", this), "WindowTileVertical1");
    WindowMinimizeAll1 = Named(new TWindowAction(TWindow::MinimizeAll, "Alle &minimieren", this), "WindowMinimizeAll1");
    WindowArrange1 = Named(new TWindowAction(TWindow::Arrange, "Symbole &anordnen", this), "WindowArrange1");
    connect(&TIdleSignal::Instance(), &TIdleSignal::Idle, this, &TDM::UpdateStandardActions);
    UpdateStandardActions();
}

void TDM::SetWindowActionsForm(QMdiArea* area)
{
    for (TWindowAction* action : findChildren<TWindowAction*>(QString(), Qt::FindDirectChildrenOnly))
        action->SetForm(area);
    UpdateStandardActions();
}

void TDM::UpdateStandardActions()
{
    for (TEditAction* action : findChildren<TEditAction*>(QString(), Qt::FindDirectChildrenOnly))
        action->UpdateTarget();
    for (TWindowAction* action : findChildren<TWindowAction*>(QString(), Qt::FindDirectChildrenOnly))
        action->UpdateTarget();
}

void TDM::LoadImages()
{
    ImageList16x16Enabled = Named(new TZor_ImageList(this), "ImageList16x16Enabled");
    ImageList16x16Disabled = Named(new TZor_ImageList(this), "ImageList16x16Disabled");
    ImageList78x78 = Named(new TCustomImageList(this), "ImageList78x78");
    ImageList78x78->SetWidth(78);
    ImageList78x78->SetHeight(78);
    for (const auto& [name, image] : ActionImages()) {
        const int index = ImageList16x16Enabled->Add(image);
        // The disabled image is the list's own greyed drawing of the enabled one.
        QImage greyed(image.size(), QImage::Format_ARGB32_Premultiplied);
        greyed.fill(Qt::transparent);
        {
            QPainter painter(&greyed);
            ImageList16x16Enabled->Draw(painter, 0, 0, index, false);
        }
        ImageList16x16Disabled->Add(greyed);
        if (auto* action = findChild<TAction*>(name, Qt::FindDirectChildrenOnly))
            action->SetImage(index, ImageList16x16Enabled->Image(index), ImageList16x16Disabled->Image(index));
    }
}

std::string TDM::Text(const char* id) const
{
    return lcLang->GetTextOrDefault(id);
}

TAppHandle TDM::AppHandle() const
{
    return reinterpret_cast<TAppHandle>(static_cast<QWidget*>(fMainForm));
}

void TDM::SetComControl(std::unique_ptr<TCommunication> link)
{
    FComControl = std::move(link);
}

void TDM::FreeComControlAtEnd()
{
    FEnding = true;
    FComControl.reset();
    FEnding = false;
}

void TDM::RecordUnraisableError(const std::string& source, const std::string& message)
{
    if (!FEnvironment)
        throw Exception(message); // nothing to record it in: it goes to standard error
    FEnvironment->Debugger()->AddAction(source, message);
    if (FEnding)
        FEnvironment->Debugger()->WriteErrorReport(message);
}

// ---------------------------------------------------------------- plug-ins

const TPluginRoleRow PluginRoles[4] = {
    {TPluginRole::Status, "status", &TDeviceStatus::GetStatusDllPath, "IDS_9", false,
     nullptr, &TDM::FStatusInitDLL, &TDM::FStatusShowStatus, &TDM::FStatusCloseStatus, nullptr, nullptr,
     &TDM::FStatusOnReceiveData, &TDM::FStatusOnConnectionChanged, nullptr, nullptr},
    {TPluginRole::Parameter, "parameter", &TDeviceStatus::GetParameterDllPath, "IDS_21", true,
     nullptr, &TDM::FParameterInitDLL, nullptr, nullptr, &TDM::FParameterUnloadDLL, &TDM::FParameterShowDialog,
     &TDM::FParameterOnReceiveData, &TDM::FParameterOnConnectionChanged, &TDM::FParameterGetParameterObject,
     &TDM::FParameterSetParameter},
    {TPluginRole::Firmware, "firmware", &TDeviceStatus::GetFirmwareDllPath, "IDS_29", false,
     &TDM::FFirmwareFirmwareUpload, nullptr, nullptr, nullptr, nullptr, nullptr, &TDM::FFirmwareOnReceiveData,
     &TDM::FFirmwareOnConnectionChanged, nullptr, nullptr},
    {TPluginRole::Extended, "extended", &TDeviceStatus::GetExtendedDllPath, "IDS_39", false,
     nullptr, &TDM::FExtendedInitDLL, nullptr, nullptr, &TDM::FExtendedUnloadDLL, &TDM::FExtendedShowDialog,
     &TDM::FExtendedOnReceiveData, &TDM::FExtendedOnConnectionChanged, nullptr, nullptr},
};

namespace {

// Each entry of the row with its name, in the order they are looked up; `f`
// gets the name and the slot's member pointer (null: not an entry of the role).
template <typename F>
void ForEachEntry(const TPluginRoleRow& row, F&& f)
{
    f("FirmwareUpload", row.FirmwareUpload);
    f("InitDLL", row.InitDLL);
    f("ShowStatus", row.ShowStatus);
    f("CloseStatus", row.CloseStatus);
    f("UnloadDLL", row.UnloadDLL);
    f("ShowDialog", row.ShowDialog);
    f("OnReceiveData", row.OnReceiveData);
    f("OnConnectionChanged", row.OnConnectionChanged);
    f("GetParameterObject", row.GetParameterObject);
    f("SetParameter", row.SetParameter);
}

} // namespace

void TDM::FreeLibrary(const TPluginRoleRow& row)
{
    void*& library = FLibraries[static_cast<int>(row.Role)];
    if (library && reinterpret_cast<std::uintptr_t>(library) != kNoLibrary) {
        // Its destructors run now: a crash in them names it.
        const TPluginGuard unloading(row.Role, TPluginCrashPlace::Unloading);
        dlclose(library);
    }
    library = reinterpret_cast<void*>(kNoLibrary);
}

void TDM::LoadDLLs()
{
    const TDeviceStatus* device = FDeviceList ? FDeviceList->Current() : nullptr;
    if (!device)
        return;
    // Every role is followed by a 100 ms pause, an absent one too, so a full
    // load takes at least 400 ms. A role that fails ends the loading at once,
    // without the pauses of the roles after it.
    for (const TPluginRoleRow& row : PluginRoles) {
        const std::string path = (device->*row.Path)();
        if (FileExists(path))
            LoadRole(row, path);
        PluginLoadPause(100);
    }
}

void TDM::BindEntries(const TPluginRoleRow& row, void* library)
{
    // Looked up in this order; with no library every slot is cleared.
    ForEachEntry(row, [this, library](const char* name, auto slot) {
        if (slot)
            this->*slot = library ? Entry<std::remove_reference_t<decltype(this->*slot)>>(library, name) : nullptr;
    });
}

void TDM::LoadRole(const TPluginRoleRow& row, const std::string& path)
{
    const std::string message = Text("IDS_8") + "\r\n" + Text(row.RoleText) + "\r\n" + Text("IDS_10");
    // A full path: no library search path can put another library in its place.
    const std::string absolute = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    // A crash in its constructors, its entries or its own code names it.
    TPluginGuard::SetLibrary(row.Role, absolute);
    TPluginGuard::SetReportFile(TDebugClass::ReportPath());
    void* library = nullptr;
    {
        const TPluginGuard loading(row.Role, TPluginCrashPlace::Loading);
        library = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    FLibraries[static_cast<int>(row.Role)] = library;
    if (!library) {
        // The user is told which library and role; why the loader refused
        // goes into the action history, which the error report carries.
        const char* why = dlerror();
        FEnvironment->Debugger()->AddAction("TDM.LoadDLLs", why ? why : "");
        throw Exception(FormatText(message, {path, ""}));
    }
    std::optional<std::string> failure;
    try {
        BindEntries(row, library);
        const TInitDLL init = row.InitDLL ? this->*row.InitDLL : nullptr;
        // The parameter plug-in is initialised also before any link exists.
        const TCommunicationProxy* link = LiveCommunication();
        if (init && (link || row.InitWithoutLink))
            Check(CallPlugin(row.Role, "InitDLL", init, AppHandle(), FCommunicationMutexName.c_str(),
                             static_cast<std::uint32_t>(FCommunicationMutexName.size()), link));
    } catch (const std::exception& e) {
        // Also a plug-in that lets an exception out of an entry.
        failure = e.what();
    }
    // Also a plug-in that fails with an empty text has failed.
    if (failure)
        throw Exception(FormatText(message, {path, *failure}));
}

void TDM::UnloadDLLs()
{
    for (const TPluginRoleRow& row : PluginRoles) {
        // The status plug-in's closing entry is CloseStatus, the others' UnloadDLL.
        const char* name = row.CloseStatus ? "CloseStatus" : "UnloadDLL";
        const TUnloadDLL closing = row.CloseStatus ? this->*row.CloseStatus
                                   : row.UnloadDLL ? this->*row.UnloadDLL
                                                   : nullptr;
        BindEntries(row, nullptr);
        void* library = FLibraries[static_cast<int>(row.Role)];
        if (reinterpret_cast<std::uintptr_t>(library) == kNoLibrary)
            continue;
        if (library && closing) {
            try {
                Check(CallPlugin(row.Role, name, closing));
            } catch (const std::exception& e) {
                // The library goes all the same; the user learns why it complained.
                HandleApplicationException(e);
            }
        }
        FreeLibrary(row);
    }
}

void TDM::BroadcastConnection(bool connected)
{
    for (const TPluginRole role : PluginBroadcastOrder)
        if (const TOnConnectionChanged entry = this->*PluginRole(role).OnConnectionChanged)
            Check(CallPlugin(role, "OnConnectionChanged", entry, AppHandle(), std::int32_t(connected ? 1 : 0)));
}

void TDM::HandOverLink(void* statusPanel)
{
    const TCommunicationProxy* link = LiveCommunication();
    if (!link)
        return;
    const auto length = static_cast<std::uint32_t>(FCommunicationMutexName.size());
    for (const TPluginRole role : PluginHandOverOrder) {
        const TPluginRoleRow& row = PluginRole(role);
        if (row.ShowStatus) {
            if (const TShowStatus show = this->*row.ShowStatus)
                Check(CallPlugin(role, "ShowStatus", show, AppHandle(), statusPanel, statusPanel,
                                 FCommunicationMutexName.c_str(), length, link));
        } else if (const TInitDLL init = row.InitDLL ? this->*row.InitDLL : nullptr) {
            Check(CallPlugin(role, "InitDLL", init, AppHandle(), FCommunicationMutexName.c_str(), length, link));
        }
    }
}

void TDM::BroadcastReceived(const std::string& data)
{
    const auto length = static_cast<std::uint32_t>(data.size());
    for (const TPluginRole role : PluginBroadcastOrder)
        if (const TOnReceiveData entry = this->*PluginRole(role).OnReceiveData)
            Check(CallPlugin(role, "OnReceiveData", entry, AppHandle(), data.data(), length));
}

// ----------------------------------------------------------------- actions

void TDM::acUploadFirmwareExecute()
{
    FEnvironment->Debugger()->AddAction(Text("IDS_63"), "");
    const TDeviceStatus* device = FDeviceList->Current();
    TFileDialog& open = OpenDialog->Settings;
    open.FileName = FEnvironment->LastFirmwareFile;
    open.Filter = Text("IDS_64");
    const std::string extension = device ? device->Extension : std::string();
    open.FilterIndex = extension == "H86" ? 2 : extension == "A79" ? 1 : 3;
    open.Title = Text("IDS_67");
    open.InitialDir = FEnvironment->FirmwarePath();
    open.DefaultExt = extension;
    if (!OpenDialog->Execute(fMainForm))
        return;
    const std::string file = open.FileName;
    FEnvironment->Debugger()->AddAction("acFirmwareUpdateExecute - AfterSelect", "Filename=" + file);
    // A pipe or a device named like a firmware file never reaches the plug-in.
    try {
        const TPickedFile picked(file);
    } catch (const EInOutError& e) {
        MessageBox(fMainForm, e.Message(), Text("IDS_67"), MB_OK | MB_ICONERROR);
        return;
    }

    struct TSuspend {
        explicit TSuspend(bool& flag) : Flag(flag) { Flag = true; }
        ~TSuspend() { Flag = false; }
        bool& Flag;
    } suspend(FActionsSuspended);

    if (FFirmwareFirmwareUpload) {
        void* parameters = nullptr;
        if (FParameterGetParameterObject)
            Check(CallPlugin(TPluginRole::Parameter, "GetParameterObject", FParameterGetParameterObject,
                             &parameters));
        // The monitor comes back after the upload, also after a failed one.
        struct TMonitorPause {
            TMonitorPause(TDM& dm) : Dm(dm), WasPaused(fMainForm && fMainForm->IsPausedForUpload())
            {
                if (fMainForm) {
                    fMainForm->DebugReceiveData(Dm.Text("IDS_70"));
                    fMainForm->PauseForUpload();
                }
            }
            ~TMonitorPause()
            {
                if (!WasPaused && fMainForm) {
                    fMainForm->ResumeMonitor();
                    fMainForm->DebugReceiveData(Dm.Text("IDS_71"));
                }
            }
            TDM& Dm;
            const bool WasPaused;
        };
        TPluginDevice info{};
        std::string text[8];
        if (device) {
            text[0] = device->Extension;
            text[1] = device->MagicWord;
            text[2] = device->FW;
            text[3] = device->Name;
            text[4] = device->PA;
            text[5] = device->Identification;
            text[6] = device->EX;
            text[7] = device->ST;
            info = {text[0].c_str(), text[1].c_str(), text[2].c_str(), device->BlockSize(), device->Gender,
                    text[3].c_str(), text[4].c_str(), device->ProductID,  device->InitialStatus, text[5].c_str(),
                    text[6].c_str(), text[7].c_str()};
        }
        {
            TMonitorPause pause(*this);
            Check(CallPlugin(TPluginRole::Firmware, "FirmwareUpload", FFirmwareFirmwareUpload, AppHandle(),
                             file.c_str(), static_cast<std::uint32_t>(file.size()), LiveCommunication(),
                             device ? &info : nullptr));
        }
        if (FParameterSetParameter && parameters)
            Check(CallPlugin(TPluginRole::Parameter, "SetParameter", FParameterSetParameter, parameters));
    }
    const QFileInfo chosen(QString::fromStdString(file));
    FEnvironment->SetFirmwarePath(chosen.absolutePath().toStdString());
    FEnvironment->LastFirmwareFile = chosen.fileName().toStdString();
}

void TDM::actSetParameterExecute()
{
    FEnvironment->Debugger()->AddAction("actSetParameterExecute", "");
    if (FParameterShowDialog)
        Check(CallPlugin(TPluginRole::Parameter, "ShowDialog", FParameterShowDialog));
}

void TDM::actExtendedOptionsExecute()
{
    FEnvironment->Debugger()->AddAction("actExtendedOptionsExecute", "");
    if (FExtendedShowDialog)
        Check(CallPlugin(TPluginRole::Extended, "ShowDialog", FExtendedShowDialog));
}

void TDM::actSelectDeviceExecute()
{
    {
        TfSelectDeviceForm dialog(*FDeviceList, RegistryStorage, fMainForm);
        if (DialogService().ExecModal(dialog) != QDialog::Accepted)
            return;
    }
    UnloadDLLs();
    if (FComControl) {
        FComControl->Close();
        if (const TDeviceStatus* device = FDeviceList->Current())
            FComControl->SetProductID(device->ProductID);
        FComControl->Reconnect();
    }
    LoadDLLs();
    if (fMainForm) {
        if (FComControl)
            fMainForm->VerbindungsStatusChanged(nullptr, FComControl->Connected());
        fMainForm->RefreshDeviceDisplay();
    }
}

void TDM::acOptionenSchnittstelleExecute()
{
    FEnvironment->Debugger()->AddAction("acOptionenSchnittstelleExecute", "");
    if (fMainForm)
        fMainForm->ShowInterfaceOptions();
}

void TDM::actChangeLanguageExecute()
{
    new TfLanguage(fMainForm); // shows itself and goes when closed
}

void TDM::acInputExtentionKeyExecute()
{
    TfInputForm dialog(fMainForm);
    dialog.setWindowTitle(QString::fromStdString(Text("IDS_72")));
    dialog.lbMessage->setText(QString::fromStdString(Text("IDS_73")));
    dialog.lbValue->setText(QString::fromStdString(Text("IDS_74")));
    dialog.edValue->clear();
    dialog.MaxInputLength = 40;
    dialog.cbAction->hide();
    if (DialogService().ExecModal(dialog) == QDialog::Accepted)
        FEnvironment->StoreServiceCode(dialog.edValue->text().toStdString());
}

void TDM::acUseWindowsPatternExecute()
{
    FEnvironment->SetUseWindowsColorSchema(true);
    acUseWindowsPattern->setChecked(true);
    acUseZorPattern->setChecked(false);
    if (fMainForm)
        fMainForm->update();
}

void TDM::acUseZorPatternExecute()
{
    FEnvironment->SetUseWindowsColorSchema(false);
    acUseWindowsPattern->setChecked(false);
    acUseZorPattern->setChecked(true);
    if (fMainForm)
        fMainForm->update();
}

void TDM::acResetDialogsExecute()
{
    FEnvironment->Debugger()->AddAction(Text("IDS_58"), "");
    TRegistry::DeleteKey(Text("IDS_59") + ProgramFileName());
    TRegistry::Flush(); // a failure reaches the user instead of the message below
    MessageBox(nullptr, Text("IDS_60"), "Zor Tessaro", MB_OK | MB_ICONINFORMATION);
}

void TDM::acDebugSaveStateToLogExecute()
{
    const std::string report = FEnvironment->Debugger()->WriteErrorReport(Text("IDS_61"));
    const std::string folder = report.substr(0, report.rfind('/') + 1);
    MessageBox(nullptr, FormatText(Text("IDS_62"), {folder}), "Zor Tessaro", MB_OK | MB_ICONINFORMATION);
}

void TDM::acSendErrorLogExecute()
{
    // A report that could not be written whole raises here: nothing is mailed.
    MailAction.Attachments = {FEnvironment->Debugger()->WriteErrorReport(Text("IDS_45"))};
    const std::string cr2 = "\r\r";
    MailAction.Body = Text("IDS_47") + cr2 + Text("IDS_48") + Text("IDS_49") +
                      DateTimeToStr(QDateTime::currentDateTime()) + Text("IDS_50") + cr2 + Text("IDS_51") + cr2 +
                      Text("IDS_52") + Text("IDS_53") + Text("IDS_54") + Text("IDS_55") + cr2 + Text("IDS_56") +
                      cr2 + Text("IDS_57");
    acSendMailAction1Execute();
}

void TDM::acSendMailAction1Execute()
{
    TMail mail;
    mail.To = MailAction.Recipient;
    mail.Subject = MailAction.Subject;
    mail.Body = MailAction.Body;
    mail.Attachments = MailAction.Attachments;
    Launcher().SendMail(mail);
}

void TDM::acWebActionExecute()
{
    Launcher().OpenDocument(WebAddress);
}

void TDM::acCloseAllWindowsExecute()
{
    CloseAllMDIChildren();
}
