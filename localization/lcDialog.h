#pragma once
// File dialogs whose fixed texts follow the program's language, and the
// folder choice component.
#include "localization/lcComp.h"
#include "platform/Dialogs.h"

#include <QObject>
#include <QPointer>

#include <optional>
#include <set>
#include <string>

class QWidget;

// The open and the save dialog. With a translation component linked, the
// dialog's labels and buttons show that component's dialog captions for the
// active language (looked up by their English text); without one, the
// system's own texts.
class TlcFileDialog : public QObject {
    Q_OBJECT
public:
    TlcFileDialog(bool save, QObject* owner);

    TlcCustomLang* lcLang() const { return FLang; }
    // Linking a component makes it keep all dialog captions.
    void SetlcLang(TlcCustomLang* value);

    // The dialog's settings and, after Execute, the chosen file.
    TFileDialog Settings;
    // Runs the dialog through the program's dialog service.
    bool Execute(QWidget* owner);
    // The labels that the dialog gets with the linked component (empty
    // labels keep the system's texts).
    TFileDialogLabels Labels() const;

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

enum class TBIFlag {
    BrowseForComputer, BrowseForPrinter, BrowseIncludeFiles, BrowseIncludeURLs, DontGoBelowDomain, EditBox,
    NewDialogStyle, ReturnFSAncestors, ReturnOnlyFSDirs, Shareable, StatusText, Validate,
};
enum class TCSIDL {
    csAdminTools, csAltStartUp, csAppData, csBitBucket, csCommon_AdminTools, csCommon_AppData,
    csCommon_DesktopDirectory, csCommon_Documents, csCommon_Favorites, csCommon_Programs, csCommon_StartMenu,
    csCommon_Startup, csCommon_Templates, csControls, csCookies, csDesktop, csDesktopDirectory, csDrives,
    csFavories, csFonts, csHistory, csInternet, csInernet_Cashe, csLocal_AppData, csMyMusic, csMyPictures,
    csNetHood, csNetwork, csPersonal, csPrinters, csPrintHood, csProfile, csProgram_Files, csProgram_Files_Common,
    csPrograms, csRecent, csSendTo, csStartMenu, csStartUp, csSystemDir, csTemplates, csWindowsDir,
};

// The folder choice: its settings only (nothing shows it).
class TlcBrowseForFolder : public QObject {
    Q_OBJECT
public:
    explicit TlcBrowseForFolder(QObject* owner = nullptr);

    bool CanCreateSpecialFolder = false;
    std::string DialogCaption;
    std::set<TBIFlag> Flags{TBIFlag::ReturnFSAncestors, TBIFlag::ReturnOnlyFSDirs};
    TCSIDL RootFolder = TCSIDL::csDesktop;
    std::string Title;

    TlcCustomLang* lcLang() const { return FLang; }
    void SetlcLang(TlcCustomLang* value);
    const std::string& SelectedDir() const { return FSelectedDir; }
    // Stores the folder and finds it in the file system: the folder's full
    // path, or none when it is no folder there.
    void SetSelectedDir(const std::string& value);
    const std::optional<std::string>& SelectedItem() const { return FItem; }

private:
    QPointer<TlcCustomLang> FLang;
    std::string FSelectedDir;
    std::optional<std::string> FItem;
};
