#include "tests/common/TestServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

int TRecordingDialogs::MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags)
{
    std::lock_guard guard(FLock);
    FBoxes.push_back({text, caption, flags, owner});
    if (!FAnswers.empty()) {
        const int answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    }
    return (flags & 0xF) == MB_YESNO || (flags & 0xF) == MB_YESNOCANCEL ? IDYES : IDOK;
}

int TRecordingDialogs::ExecModal(QDialog& dialog)
{
    std::function<int(QDialog&)> handler;
    {
        std::lock_guard guard(FLock);
        handler = FModal;
    }
    return handler ? handler(dialog) : QDialog::Rejected;
}

void TRecordingDialogs::QueueFile(const std::string& path)
{
    std::lock_guard guard(FLock);
    FFiles.push_back(path);
}

std::vector<TFileDialog> TRecordingDialogs::FileDialogs() const
{
    std::lock_guard guard(FLock);
    return FFileDialogs;
}

bool TRecordingDialogs::OpenFile(QWidget*, TFileDialog& dialog)
{
    std::lock_guard guard(FLock);
    FFileDialogs.push_back(dialog);
    if (FFiles.empty())
        return false;
    const std::string path = FFiles.front();
    FFiles.pop_front();
    if (path.empty())
        return false;
    dialog.FileName = path;
    return true;
}

bool TRecordingDialogs::SaveFile(QWidget* owner, TFileDialog& dialog)
{
    return OpenFile(owner, dialog);
}

void TRecordingDialogs::QueueAnswer(int answer)
{
    std::lock_guard guard(FLock);
    FAnswers.push_back(answer);
}

void TRecordingDialogs::SetModalHandler(std::function<int(QDialog&)> handler)
{
    std::lock_guard guard(FLock);
    FModal = std::move(handler);
}

std::vector<TShownBox> TRecordingDialogs::Boxes() const
{
    std::lock_guard guard(FLock);
    return FBoxes;
}

void TRecordingDialogs::Clear()
{
    std::lock_guard guard(FLock);
    FBoxes.clear();
    FAnswers.clear();
    FModal = {};
    FFiles.clear();
    FFileDialogs.clear();
}

TRecordingDialogs& TestDialogs()
{
    static TRecordingDialogs dialogs;
    return dialogs;
}

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void ProcessEventsFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}
