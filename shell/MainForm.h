#pragma once
// The main window: an MDI frame that opens the device link, shows the device
// and the connection state, keeps the actions' state current while idle,
// hands every received message to the plug-ins and runs the program's own
// reply parser over it.
#include "platform/Object.h"
#include "shell/CommunicationMonitor.h"
#include "shell/HostReplyParser.h"

#include <QLabel>
#include <QMainWindow>

#include <memory>
#include <string>

class QLineEdit;
class QMdiArea;
class QSpinBox;
class QSplitter;
class QToolBar;
class QMenu;
class TButton;
class TLabel;
class TlcLangLinked;
class TSyncListbox;

// The main window is also what the events it raises name as their sender.
class TfMainForm : public QMainWindow, public TObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
    // A form publishes its font; without it the translation data could name
    // no control's font either.
    Q_PROPERTY(QFont Font READ font WRITE setFont)
public:
    explicit TfMainForm(QWidget* parent = nullptr);
    ~TfMainForm() override;

    // Components.
    QToolBar* ToolBar1;
    QMdiArea* MDIClient;
    QWidget* pnlBackground;
    QLabel* lblDeviceName;
    QWidget* pnlDebug;
    // The communication monitor on pnlDebug.
    TLabel* lblIn;
    TLabel* lblOut;
    QSplitter* Splitter;
    TSyncListbox* lbxIn;
    TSyncListbox* lbxOut;
    QLineEdit* edtSend;
    TButton* btnSend;
    TLabel* lblHeaderAmount1;
    QSpinBox* edtHeaderAmount;
    TLabel* lblHeaderAmount2;
    TButton* btnToggleASCII;
    TButton* btnSave;
    TButton* btnClear;
    TButton* btnPause;
    QWidget* pnlStatus;
    QLabel* StatusPanels[4];
    QMenu* mmExtendedMode;
    QAction* mmCloseAll;
    TlcLangLinked* lcLangLinked;

    // Texts of the main window by identifier.
    std::string Text(const char* id) const;

    void FormShow();
    // After a language switch: the device display, the connection state and
    // the monitor's buttons in the new language.
    void LanguageChanged();
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
    bool IsPausedForUpload() const { return Monitor.Pause() == TCommunicationMonitor::TPause::ForUpload; }
    void btnClearClick();
    void btnPauseClick();
    void btnToggleASCIIClick();
    void btnSendClick();
    void btnSaveClick();
    void SplitterMoved();
    // Releasing Enter in the send line clicks btnSend, once per press.
    void edtSendKeyUp(int key);
    // The longest time (ms, the window system's clock) between a release of
    // Enter and the press that shows the key was held, not pressed again.
    static constexpr quint64 EnterRepeatGap = 30;

    // The MDI child windows, in child order.
    QList<QWidget*> MDIChildren() const;
    // Set by FormShow when the program cannot go on; the quit is posted.
    bool MarkedToEnd() const { return FMarkedToEnd; }

    THostReplyParser ReplyParser;
    TCommunicationMonitor Monitor;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildMonitor();
    // The labels over the lists: lblIn over lbxIn, lblOut 8 pixels right of
    // the splitter's left edge, over lbxOut.
    void PlaceMonitorLabels();
    void AddMonitorRow(bool received, const std::string& message);
    void PlaceStatusPanel();
    // The connection state in the status bar, by text identifier (none: empty).
    void ShowConnectionText(const char* id);
    const char* FConnectionTextId = nullptr;
    bool FShown = false;
    bool FMarkedToEnd = false;
    // Enter went down in the send line and has not come up yet.
    bool FSendKeyDown = false;
    // The last release of Enter in the send line (key and the window
    // system's time stamp), until another key goes down or the focus leaves.
    bool FEnterReleased = false;
    int FEnterReleasedKey = 0;
    quint64 FEnterReleasedAt = 0;
};
