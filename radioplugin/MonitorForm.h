#pragma once
// What the three monitor windows share: a list of the module's lines in a
// fixed-pitch font that keeps the last 1000, a pause that stops the
// scrolling (lines keep coming), clearing, and the line the window sends to
// the module when it closes.
#include <QDialog>

#include <string>

class QListWidget;
class QPushButton;
class QVBoxLayout;
class TlcLangLinked;
class TRuvoLink;

class TfMonitorForm : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    static constexpr int MaxLines = 1000;

    // Owner: the parameter dialog; Communication is borrowed. The window
    // frees itself when closed.
    TfMonitorForm(QWidget* Owner, TRuvoLink* Communication, const char* Name, const char* Caption,
                  const char* ListName);
    ~TfMonitorForm() override;

    TRuvoLink* Communication() const { return FCommunication; }

    // Adds a line of the module's bytes (Latin-1).
    virtual void AddLine(const std::string& Text);
    // Lines in the list as shown (UTF-8), for the owner and for tests.
    int LineCount() const;
    std::string Line(int Index) const;
    bool Paused() const { return FPauseTag != 0; }

    void btnPauseClick();
    void btnClearClick();
    void btnOKClick();
    bool FormCloseQuery() { return true; }
    // Sends the close line; the window is freed after it.
    void FormClose();

    QListWidget* lbxTrace;
    QPushButton* btnOK;
    QPushButton* btnClear;
    QPushButton* btnPause;
    TlcLangLinked* lcLangLinked;

protected:
    // Sends the window's own close line (each window knows its own).
    virtual void SendCloseLine() = 0;
    // Translation data of the form, by class name; called by the subclass's
    // constructor once its controls stand.
    void LoadTexts(const char* Form);
    QVBoxLayout* Layout() const { return FLayout; }
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    TRuvoLink* FCommunication;

private:
    int FPauseTag = 0;
    bool FClosing = false;
    QVBoxLayout* FLayout;
};
