#pragma once
// What every test program has in place of the desktop: a dialog service that
// records each message box and answers it at once, and a beep sink that
// counts.
#include "platform/Dialogs.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct TShownBox {
    std::string Text;
    std::string Caption;
    unsigned Flags = 0;
    QWidget* Owner = nullptr; // the window the box belongs to, or none
};

class TRecordingDialogs : public TDialogService {
public:
    int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags) override;
    int ExecModal(QDialog& dialog) override;

    // Answers given to the next boxes, oldest first; IDOK (or IDYES) when none.
    void QueueAnswer(int answer);
    // Called with each modal dialog in place of exec(); it gives the result.
    void SetModalHandler(std::function<int(QDialog&)> handler);
    // The next file dialogs choose these files (empty text: cancelled); with
    // none queued they are cancelled.
    void QueueFile(const std::string& path);
    // Every file dialog shown, as it was preset.
    std::vector<TFileDialog> FileDialogs() const;
    bool OpenFile(QWidget* owner, TFileDialog& dialog) override;
    bool SaveFile(QWidget* owner, TFileDialog& dialog) override;

    std::vector<TShownBox> Boxes() const;
    void Clear();

private:
    mutable std::mutex FLock;
    std::vector<TShownBox> FBoxes;
    std::deque<int> FAnswers;
    std::function<int(QDialog&)> FModal;
    std::deque<std::string> FFiles;
    std::vector<TFileDialog> FFileDialogs;
};

// The recording service of the running test program.
TRecordingDialogs& TestDialogs();

// Runs the GUI thread's event loop until `done` holds or `timeoutMs` passed
// (real time; for end-to-end tests only). Returns whether `done` held.
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for `ms` milliseconds.
void ProcessEventsFor(int ms);
