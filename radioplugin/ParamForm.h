#pragma once
// The plug-in's one dialog: the module's device parameters and channel
// table, read from the module, written and flashed, loaded and saved as
// files; the send functions; the buttons of the monitor windows.
//
// The dialog owns the parameter set, the paced command transport and the
// reply parser, and is their view. Its timers run on the steady clock with
// a timer driver; tests hand in a clock of their own and step it.
#include "radioplugin/RuvoTransport.h"
#include "radioplugin/RuvoView.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;
class TCellGrid;
class TFrequencyGrid;
class TlcLangLinked;
class TlcOpenDialog;
class TlcSaveDialog;
class TRuvoParameter;
class TRuvoReplyParser;
class TRuvoTimerDriver;

// The progress display of a write.
class TfProgressDisplay : public QDialog {
    Q_OBJECT
public:
    explicit TfProgressDisplay(QWidget* Owner);
    void Start(const std::string& Caption, const std::string& Text, int Max);
    void StepIt();
    int Position() const;
    QLabel* lblText;
    QProgressBar* pbProgress;
};

class TfParameterForm : public QDialog, public TRuvoView {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    // Without a clock the dialog runs its timers on the steady clock.
    TfParameterForm(QWidget* Owner, TRuvoLink* Communication, const std::string& MutexName, TRuvoClock Clock = {},
                    TRuvoTiming Timing = {});
    ~TfParameterForm() override;

    // The first show sizes and places the dialog (see the source).
    void setVisible(bool visible) override;

    TRuvoLink* Communication() const;
    void SetCommunication(TRuvoLink* Value);
    void SetMutexName(const std::string& Value);
    void ConnectionChanged(bool Connected);
    void EnableSendButtons();
    void DisableSendButtons();

    // The timer dispatch: fires the queue and polling timers that are due
    // by the dialog's clock, and shows what they raise. The timer driver
    // calls it; with a clock of their own, tests do.
    void RunDueTimers();

    // Parses one received message. A window pass asked for while it runs
    // (a slot telegram's) is left to the event loop, so no message is
    // handled inside another.
    void HandleReply(const std::string& Data);
    void QueueDevice(const std::string& Line);
    void QueueRadio(const std::string& Line);
    bool SendNow(const std::string& Line);

    TRuvoParameter& Parameter() const { return *FParameter; }
    TRuvoTransport& Transport() const { return *FTransport; }
    TFrequencyGrid& Grid() const { return *FGrid; }
    bool TableModified() const { return FTableModified; }
    // The text of an identifier from the dialog's translation component.
    std::string Text(const std::string& Id) const;

    // Handlers.
    void FormShow();
    void FormClose();
    bool FormCloseQuery() { return true; }
    void btnOKClick();
    void btnLoadClick();
    void btnSaveClick();
    void btnSetDeviceParameterClick();
    void grdFrequenciesSetEditText(int Col, int Row, const std::string& Value);
    void edtSquelchChange();
    void btnSendClick();
    void btnTestToneClick();
    void TestToneTimerTimer();
    void btnFFSKFilterOnOffClick();
    void edtInfobyte01Change();
    void edtInfobyte02Change();
    void edtSendTimeLimitChange();
    void btnGPSTraceClick();
    void btnIBISTraceClick();
    void btnFunkmodulTerminalClick();

    // Device parameters.
    QSpinBox* edtSquelchLow;
    QSpinBox* edtSquelchHigh;
    QSpinBox* edtParamSendTimeLimit;
    QSpinBox* edtNFLevel;
    QSpinBox* edtFFSKMode;
    QLineEdit* edtSerialNumber;
    QComboBox* cbxProject;
    TCellGrid* grdFrequencies;
    QPushButton* btnSave;
    QPushButton* btnLoad;
    QPushButton* btnSetDeviceParameter;
    // FFSK filter.
    QPushButton* btnFFSKFilterOnOff;
    QLabel* lblFFSKFilter;
    // Monitor windows.
    QPushButton* btnGPSTrace;
    QPushButton* btnIBISTrace;
    QPushButton* btnFunkmodulTerminal;
    // Send functions.
    QLineEdit* edtRadioChannel;
    QLineEdit* edtInfobyte01;
    QLineEdit* edtInfobyte02;
    QLineEdit* edtInfobyte03;
    std::array<QLineEdit*, 8> edtZusatzbyte;
    QLabel* lblInfobyte02;
    QLabel* lbl09Hint;
    QPushButton* btnSend;
    QSpinBox* edtTesttoneNr;
    QSpinBox* edtSendTimeLimit;
    QPushButton* btnTestTone;
    QTimer* TestToneTimer;
    QPushButton* btnOK;
    TfProgressDisplay* ProgressDialog;
    TlcOpenDialog* OpenDialog;
    TlcSaveDialog* SaveDialog;
    TlcLangLinked* lcLangLinked;

    // The project list; the item index is the project number.
    static constexpr const char* ProjectNames[3] = {"Standard", "Linienbus", "Schiene"};

protected:
    // TRuvoView
    void ParameterReported(TRuvoParam Param, std::int32_t Value) override;
    int ProjectCount() const override;
    void ShowWarning(const std::string& Text) override;
    void SlotReported(const TChannelEntry& Slot) override;
    void MonitorLine(TRuvoMonitor Monitor, const std::string& Line) override;
    void ProgressStep() override;
    void ProgressHide() override;
    void ProcessMessages() override;

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowFilterState(bool On);
    void SetTestToneTimerEnabled(bool Enabled);
    bool IsHexEdit(QObject* object) const;
    void FillTable();
    // Runs a handler the person set off as one action of the transport's,
    // and shows what it raises with the plug-in's exception display.
    void RunAction(const std::function<void()>& Handler);

    std::unique_ptr<TRuvoParameter> FParameter;
    std::unique_ptr<TRuvoTransport> FTransport;
    std::unique_ptr<TRuvoReplyParser> FParser;
    std::unique_ptr<TRuvoTimerDriver> FDriver;
    std::unique_ptr<TFrequencyGrid> FGrid;
    bool FTableModified = false;
    int FTestToneTag = 0;
    bool FShownOnce = false;
    int FHandlingReply = 0; // received messages being handled now
};

// The dialog while it exists.
extern TfParameterForm* ParameterForm;
