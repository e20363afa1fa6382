#pragma once
// The application data module: it owns the program's long-lived objects (the
// settings, the catalogue, the communication mutex, the plug-in libraries,
// the link object once the main window opened one), carries every action,
// and hosts the device plug-ins.
#include "pluginapi/PluginInterface.h"
#include "platform/NamedObjects.h"
#include "platform/Registry.h"
#include "platform/StdCtrls.h"
#include "shell/PluginRoles.h"

#include <QAction>
#include <QMdiArea>
#include <QCoreApplication>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class TBalloonHint;
class TCommunication;
class TCustomImageList;
class TEditAction;
class TFilePrintSetup;
class TWindowAction;
class TZor_ImageList;
class TDeviceList;
class TEnvironment;
class THelpRouter;
class TlcBrowseForFolder;
class TlcOpenDialog;
class TlcSaveDialog;
class TlcLang;
class TlcLangDispatcher;
class TfMainForm;

class TDM : public QObject {
    Q_OBJECT
public:
    // When the start-up loads the plug-ins: once the main window stands
    // (LoadStartPlugins), as the program does, so that the parameter
    // plug-in's first InitDLL already gets the main window as the
    // application's handle; or in the creation handler itself, before there
    // is any window to hand over.
    enum class TPluginStart { WithMainWindow, InCreation };
    // Runs the creation handler; `arguments` are the program's command line
    // (the first after the program's name picks the device type).
    explicit TDM(const QStringList& arguments = QCoreApplication::arguments(), QObject* parent = nullptr,
                 TPluginStart pluginStart = TPluginStart::WithMainWindow);
    ~TDM() override;

    // Components.
    TAppRegistryStorage RegistryStorage;
    TlcLangDispatcher* lcLangDispatcher = nullptr;
    TlcLang* lcLang = nullptr;
    THelpRouter* HelpRouter = nullptr;
    TlcOpenDialog* OpenDialog = nullptr;
    TlcSaveDialog* SaveDialog = nullptr;
    TlcBrowseForFolder* BrowseForFolderDialog = nullptr;
    TBalloonHint* BalloonHint = nullptr;
    // The images of the actions, menus and tool bar, and the large images.
    TZor_ImageList* ImageList16x16Enabled = nullptr;
    TZor_ImageList* ImageList16x16Disabled = nullptr;
    TCustomImageList* ImageList78x78 = nullptr;

    TAction* acUploadFirmware;
    TAction* actSetParameter;
    TAction* actExtendedOptions;
    TAction* actSelectDevice;
    TAction* acOptionenSchnittstelle;
    TAction* actChangeLanguage;
    TAction* acInputExtentionKey;
    TAction* acUseWindowsPattern;
    TAction* acUseZorPattern;
    TAction* acResetDialogs;
    TAction* acDebugSaveStateToLog;
    TAction* acSendErrorLog;
    TAction* acSendMailAction1;
    TAction* acWebAction;
    TAction* acCloseAllWindows;
    TAction* acInfoUeber;
    TAction* FileExit1;
    // The library's standard actions of the hidden menus (no handler here).
    TFilePrintSetup* acFilePrintSetup;
    TEditAction* EditCut1;
    TEditAction* EditCopy1;
    TEditAction* EditPaste1;
    TEditAction* EditSelectAll1;
    TEditAction* EditUndo1;
    TWindowAction* WindowClose1;
    TWindowAction* WindowCascade1;
    TWindowAction* WindowTileHorizontal1;
    TWindowAction* WindowTileVertical1;
    TWindowAction* WindowMinimizeAll1;
    TWindowAction* WindowArrange1;
    // The window actions act on this MDI client area.
    void SetWindowActionsForm(QMdiArea* area);

    // Published properties.
    TEnvironment* Environment() const { return FEnvironment.get(); }
    std::uint32_t ComStatus = 0;
    TCommunication* ComControl() const { return FComControl.get(); }
    // Frees the link object held so far and keeps the new one (or none).
    // What freeing the old one reports goes into the action history.
    void SetComControl(std::unique_ptr<TCommunication> link);
    // Frees the link at the end of the run. What freeing it reports goes into
    // the history and, as the history ends with the program, into an error
    // report in "STATUS.LOG".
    void FreeComControlAtEnd();
    TDeviceList* DeviceList() const { return FDeviceList.get(); }
    const std::string& CommunicationMutexName() const { return FCommunicationMutexName; }
    void SetCommunicationMutexName(const std::string& Value) { FCommunicationMutexName = Value; }
    std::uintptr_t StatusDLL() const { return Handle(FLibraries[int(TPluginRole::Status)]); }
    std::uintptr_t ParameterDLL() const { return Handle(FLibraries[int(TPluginRole::Parameter)]); }
    std::uintptr_t ExtendedDLL() const { return Handle(FLibraries[int(TPluginRole::Extended)]); }
    std::uintptr_t FirmwareDLL() const { return Handle(FLibraries[int(TPluginRole::Firmware)]); }
    HANDLE CommunicationMutex() const { return FMutex; }

    // Texts of the data module by identifier.
    std::string Text(const char* id) const;

    // Plug-ins of the current device type, role by role in the order of the
    // role table (shell/PluginRoles.h).
    void LoadDLLs();
    // The start-up's loading, when the creation handler left it for later;
    // as there, an error is swallowed and nothing loads after a catalogue
    // that did not load.
    void LoadStartPlugins();
    void UnloadDLLs();
    // The calls every loaded plug-in gets, in the orders of the role table,
    // with the main window as the application's handle: a connection change,
    // then (while a link object exists) the link handed over again, InitDLL
    // and the status plug-in's ShowStatus on `statusPanel`; a received
    // message, its command byte first. An error an entry returns is raised.
    void BroadcastConnection(bool connected);
    void HandOverLink(void* statusPanel);
    void BroadcastReceived(const std::string& data);
    // The pause after each role while loading (100 ms); tests count instead.
    static std::function<void(int ms)> PluginLoadPause;
    // The name of the communication mutex of a new data module ("Global\"
    // and a fresh GUID); a test may hand out a name that is taken.
    static std::function<std::string()> NewMutexName;

    // The host's object that plug-ins talk to the link through.
    const TCommunicationProxy* CommunicationProxy() const { return &FProxy; }
    // The proxy while a link object exists, else null (as InitDLL passes it).
    const TCommunicationProxy* LiveCommunication() const { return FComControl ? &FProxy : nullptr; }

    // Entry slots; null when the library does not export the entry.
    TInitDLL FStatusInitDLL = nullptr;
    TShowStatus FStatusShowStatus = nullptr;
    TCloseStatus FStatusCloseStatus = nullptr;
    TOnReceiveData FStatusOnReceiveData = nullptr;
    TOnConnectionChanged FStatusOnConnectionChanged = nullptr;
    TInitDLL FParameterInitDLL = nullptr;
    TUnloadDLL FParameterUnloadDLL = nullptr;
    TShowDialog FParameterShowDialog = nullptr;
    TOnReceiveData FParameterOnReceiveData = nullptr;
    TOnConnectionChanged FParameterOnConnectionChanged = nullptr;
    TGetParameterObject FParameterGetParameterObject = nullptr;
    TSetParameter FParameterSetParameter = nullptr;
    TFirmwareUpload FFirmwareFirmwareUpload = nullptr;
    TOnReceiveData FFirmwareOnReceiveData = nullptr;
    TOnConnectionChanged FFirmwareOnConnectionChanged = nullptr;
    TInitDLL FExtendedInitDLL = nullptr;
    TUnloadDLL FExtendedUnloadDLL = nullptr;
    TShowDialog FExtendedShowDialog = nullptr;
    TOnReceiveData FExtendedOnReceiveData = nullptr;
    TOnConnectionChanged FExtendedOnConnectionChanged = nullptr;

    // Action handlers.
    void acUploadFirmwareExecute();
    void actSetParameterExecute();
    void actExtendedOptionsExecute();
    void actSelectDeviceExecute();
    void acOptionenSchnittstelleExecute();
    void actChangeLanguageExecute();
    void acInputExtentionKeyExecute();
    void acUseWindowsPatternExecute();
    void acUseZorPatternExecute();
    void acResetDialogsExecute();
    void acDebugSaveStateToLogExecute();
    void acSendErrorLogExecute();
    void acSendMailAction1Execute();
    void acWebActionExecute();
    void acCloseAllWindowsExecute();

    // While suspended (a firmware upload runs) no action executes.
    bool ActionsSuspended() const { return FActionsSuspended; }

    // The mail that the mail action sends; the error report fills it.
    struct TMailAction {
        std::string Recipient;
        std::string Subject;
        std::string Body;
        std::vector<std::string> Attachments;
    } MailAction;

    static constexpr const char* ServiceAddress = "service@zorvatek.example";
    static constexpr const char* WebAddress = "https://www.zorvatek.example/";

    // Raises an error that a plug-in entry returned.
    static void Check(TPluginError error);

private:
    static constexpr std::uintptr_t kNoLibrary = ~std::uintptr_t(0);
    static std::uintptr_t Handle(void* library)
    {
        return library ? reinterpret_cast<std::uintptr_t>(library) : 0;
    }
    TAction* NewAction(const char* name, const char* caption, void (TDM::*handler)());
    void CreateStandardActions();
    // Draws the images into the lists and gives each action its own.
    void LoadImages();
    // The standard actions' enabled state, while the program idles.
    void UpdateStandardActions();
    void LoadRole(const TPluginRoleRow& row, const std::string& path);
    void BindEntries(const TPluginRoleRow& row, void* library);
    void FreeLibrary(const TPluginRoleRow& row);
    TAppHandle AppHandle() const;
    void RecordUnraisableError(const std::string& source, const std::string& message);

    std::unique_ptr<TEnvironment> FEnvironment;
    std::unique_ptr<TCommunication> FComControl;
    bool FEnding = false; // true while the link is freed at the end of the run
    std::unique_ptr<TDeviceList> FDeviceList;
    std::string FCommunicationMutexName;
    HANDLE FMutex = 0;
    // The libraries by role; kNoLibrary for none, null when loading failed.
    void* FLibraries[4] = {reinterpret_cast<void*>(kNoLibrary), reinterpret_cast<void*>(kNoLibrary),
                           reinterpret_cast<void*>(kNoLibrary), reinterpret_cast<void*>(kNoLibrary)};
    TCommunicationProxy FProxy{};
    bool FActionsSuspended = false;
    bool FStartPluginsDue = false;
};

// The one data module and main window of the program (null when none).
extern TDM* DM;
extern TfMainForm* fMainForm;
