#pragma once
// The main window: an MDI frame that opens the device link, shows the device
// and the connection state, keeps the actions' state current while idle,
// hands every received message to the plug-ins and runs the program's own
// reply parser over it.
#include "shell/HostReplyParser.h"

#include <QLabel>
#include <QMainWindow>

#include <memory>
#include <string>

class QMdiArea;
class QPushButton;
class QToolBar;
class QMenu;
class TlcLangLinked;
class TObject;

class TfMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TfMainForm(QWidget* parent = nullptr);
    ~TfMainForm() override;

    // Components.
    QToolBar* ToolBar1;
    QMdiArea* MDIClient;
    QWidget* pnlBackground;
    QLabel* lblDeviceName;
    QWidget* pnlDebug;
    QLabel* lblIn;
    QLabel* lblOut;
    QPushButton* btnSend;
    QWidget* pnlStatus;
    QLabel* StatusPanels[4];
    QMenu* mmExtendedMode;
    QAction* mmCloseAll;
    TlcLangLinked* lcLangLinked;

    // Texts of the main window by identifier.
    std::string Text(const char* id) const;

    void FormShow();
    void AppIdle();
    void OpenInterface();
    void OpenUSBInterface();
    void OpenSerialInterface();
    void ShowInterfaceOptions();
    void RefreshDeviceDisplay();
    void CommunicationReceive(TObject* Sender, char cmd, const std::string& data);
    void VerbindungsStatusChanged(TObject* Sender, bool verb_ok);
    void ComStatusChanged(TObject* Sender, std::int32_t status);
    void DebugReceiveData(const std::string& SMessage);
    void DebugSendData(const std::string& SMessage);

    // Pausing the communication monitor.
    void PauseForUpload();
    void PauseMonitor();
    void ResumeMonitor();
    bool IsPausedForUpload() const { return FPauseState == 2; }

    // The MDI child windows, in child order.
    QList<QWidget*> MDIChildren() const;
    // Set by FormShow when the program cannot go on; the quit is posted.
    bool MarkedToEnd() const { return FMarkedToEnd; }

    THostReplyParser ReplyParser;
    int FPauseState = 0; // 0 running, 1 paused by the user, 2 paused for an upload

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildMenu();
    void PlaceStatusPanel();
    bool FShown = false;
    bool FMarkedToEnd = false;
};
