#pragma once
// File dialogs whose fixed texts follow the program's language, and the
// folder choice component.
#include "localization/lcComp.h"
#include "platform/Dialogs.h"

#include <QFlags>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace lcDialog {
Q_NAMESPACE
// The folder choice's options, a set.
enum class TBIFlag : unsigned {
    BrowseForComputer = 1u << 0, BrowseForPrinter = 1u << 1, BrowseIncludeFiles = 1u << 2,
    BrowseIncludeURLs = 1u << 3, DontGoBelowDomain = 1u << 4, EditBox = 1u << 5, NewDialogStyle = 1u << 6,
    ReturnFSAncestors = 1u << 7, ReturnOnlyFSDirs = 1u << 8, Shareable = 1u << 9, StatusText = 1u << 10,
    Validate = 1u << 11,
};
Q_DECLARE_FLAGS(TBIFlags, TBIFlag)
Q_FLAG_NS(TBIFlags)
// The special folders a folder choice may start at.
enum class TCSIDL {
    csAdminTools, csAltStartUp, csAppData, csBitBucket, csCommon_AdminTools, csCommon_AppData,
    csCommon_DesktopDirectory, csCommon_Documents, csCommon_Favorites, csCommon_Programs, csCommon_StartMenu,
    csCommon_Startup, csCommon_Templates, csControls, csCookies, csDesktop, csDesktopDirectory, csDrives,
    csFavories, csFonts, csHistory, csInternet, csInernet_Cashe, csLocal_AppData, csMyMusic, csMyPictures,
    csNetHood, csNetwork, csPersonal, csPrinters, csPrintHood, csProfile, csProgram_Files, csProgram_Files_Common,
    csPrograms, csRecent, csSendTo, csStartMenu, csStartUp, csSystemDir, csTemplates, csWindowsDir,
};
Q_ENUM_NS(TCSIDL)
} // namespace lcDialog
Q_DECLARE_OPERATORS_FOR_FLAGS(lcDialog::TBIFlags)
using lcDialog::TBIFlag;
using lcDialog::TBIFlags;
using lcDialog::TCSIDL;

// Gives the labels and buttons of a dialog window the texts of the
// component's dialog captions in its active language: each child's text,
// without its accelerator marker, is looked up by its English text; a text
// that the active language lacks keeps the toolkit's own (no fallback to the
// first language, no error). A label that cannot take an accelerator shows
// the translation without its marker. A file dialog keeps the translated
// texts of its accept and reject buttons through later changes of its state.
void TranslateDialogTexts(QWidget& dialog, TlcCustomLang& lang);

// The open and the save dialog. With a translation component linked, the
// dialog's labels and buttons show that component's dialog captions for the
// active language when the dialog shows; without one, the system's texts.
class TlcFileDialog : public QObject, public TObject {
    Q_OBJECT
    Q_PROPERTY(TlcCustomLang* lcLang READ lcLang WRITE SetlcLang)
    Q_PROPERTY(std::string DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(std::string FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(std::string Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(int FilterIndex READ FilterIndex WRITE SetFilterIndex)
    Q_PROPERTY(std::string InitialDir READ InitialDir WRITE SetInitialDir)
    Q_PROPERTY(std::string Title READ Title WRITE SetTitle)
public:
    TlcFileDialog(bool save, QObject* owner);

    TlcCustomLang* lcLang() const { return FLang; }
    // Linking a component makes it keep all dialog captions.
    void SetlcLang(TlcCustomLang* value);

    // The dialog's settings and, after Execute, the chosen file.
    TFileDialog Settings;
    const std::string& DefaultExt() const { return Settings.DefaultExt; }
    void SetDefaultExt(const std::string& value) { Settings.DefaultExt = value; }
    const std::string& FileName() const { return Settings.FileName; }
    void SetFileName(const std::string& value) { Settings.FileName = value; }
    const std::string& Filter() const { return Settings.Filter; }
    void SetFilter(const std::string& value) { Settings.Filter = value; }
    int FilterIndex() const { return Settings.FilterIndex; }
    void SetFilterIndex(int value) { Settings.FilterIndex = value; }
    const std::string& InitialDir() const { return Settings.InitialDir; }
    void SetInitialDir(const std::string& value) { Settings.InitialDir = value; }
    const std::string& Title() const { return Settings.Title; }
    void SetTitle(const std::string& value) { Settings.Title = value; }

    // Runs the dialog through the program's dialog service. With a component
    // linked, the toolkit's own texts of the dialog come from its dialog
    // captions while it runs, so that they stay translated in every state.
    bool Execute(QWidget* owner);

private:
    bool FSave;
    QPointer<TlcCustomLang> FLang;
};

class TlcOpenDialog : public TlcFileDialog {
    Q_OBJECT
public:
    explicit TlcOpenDialog(QObject* owner = nullptr) : TlcFileDialog(false, owner) {}
};

class TlcSaveDialog : public TlcFileDialog {
    Q_OBJECT
public:
    explicit TlcSaveDialog(QObject* owner = nullptr) : TlcFileDialog(true, owner) {}
};

// The events of the folder choice: the folder that the choice moved to (its
// full path as the folder's item, none when it is no folder), and a typed
// path that is no folder.
using TSelectionChangedEvent =
    std::function<void(TObject* Sender, const std::string& Path, const std::optional<std::string>& PIDL)>;
using TValidateFailedEvent = std::function<void(TObject* Sender, const std::string& Path)>;

// The folder choice: its settings and events (nothing in the program shows
// one).
class TlcBrowseForFolder : public QObject, public TObject {
    Q_OBJECT
    Q_PROPERTY(bool CanCreateSpecialFolder READ CanCreateSpecialFolder WRITE SetCanCreateSpecialFolder)
    Q_PROPERTY(std::string DialogCaption READ DialogCaption WRITE SetDialogCaption)
    Q_PROPERTY(lcDialog::TBIFlags Flags READ Flags WRITE SetFlags)
    Q_PROPERTY(lcDialog::TCSIDL RootFolder READ RootFolder WRITE SetRootFolder)
    Q_PROPERTY(TlcCustomLang* lcLang READ lcLang WRITE SetlcLang)
    Q_PROPERTY(std::string SelectedDir READ SelectedDir WRITE SetSelectedDir)
    Q_PROPERTY(std::string Title READ Title WRITE SetTitle)
public:
    explicit TlcBrowseForFolder(QObject* owner = nullptr);

    bool CanCreateSpecialFolder() const { return FCanCreateSpecialFolder; }
    void SetCanCreateSpecialFolder(bool value) { FCanCreateSpecialFolder = value; }
    const std::string& DialogCaption() const { return FDialogCaption; }
    void SetDialogCaption(const std::string& value) { FDialogCaption = value; }
    TBIFlags Flags() const { return FFlags; }
    void SetFlags(TBIFlags value) { FFlags = value; }
    TCSIDL RootFolder() const { return FRootFolder; }
    void SetRootFolder(TCSIDL value) { FRootFolder = value; }
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value) { FTitle = value; }

    TlcCustomLang* lcLang() const { return FLang; }
    void SetlcLang(TlcCustomLang* value);
    const std::string& SelectedDir() const { return FSelectedDir; }
    // Stores the folder and finds it in the file system: the folder's full
    // path, or none when it is no folder there.
    void SetSelectedDir(const std::string& value);
    const std::optional<std::string>& SelectedItem() const { return FItem; }

    const TNotifyEvent& OnShow() const { return FOnShow; }
    void SetOnShow(TNotifyEvent value) { FOnShow = std::move(value); }
    const TSelectionChangedEvent& OnSelectionChanged() const { return FOnSelectionChanged; }
    void SetOnSelectionChanged(TSelectionChangedEvent value) { FOnSelectionChanged = std::move(value); }
    const TValidateFailedEvent& OnValidateFailed() const { return FOnValidateFailed; }
    void SetOnValidateFailed(TValidateFailedEvent value) { FOnValidateFailed = std::move(value); }

private:
    bool FCanCreateSpecialFolder = false;
    std::string FDialogCaption;
    TBIFlags FFlags{TBIFlag::ReturnFSAncestors, TBIFlag::ReturnOnlyFSDirs};
    TCSIDL FRootFolder = TCSIDL::csDesktop;
    std::string FTitle;
    QPointer<TlcCustomLang> FLang;
    std::string FSelectedDir;
    std::optional<std::string> FItem;
    TNotifyEvent FOnShow;
    TSelectionChangedEvent FOnSelectionChanged;
    TValidateFailedEvent FOnValidateFailed;
};
