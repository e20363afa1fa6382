#include "platform/Application.h"

#include "platform/Help.h"
#include "platform/MessageWindow.h"

#include <QDialog>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {
std::mutex gLock;
std::string gProgramPath;

std::string RealProgramPath()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}
} // namespace

std::string ProgramPath()
{
    std::lock_guard guard(gLock);
    if (gProgramPath.empty())
        gProgramPath = RealProgramPath();
    return gProgramPath;
}

void SetProgramPath(const std::string& path)
{
    std::lock_guard guard(gLock);
    gProgramPath = path;
}

std::string ProgramFolder()
{
    const std::string path = ProgramPath();
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

std::string ProgramFileName()
{
    const std::string path = ProgramPath();
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ProgramBaseName()
{
    const std::string name = ProgramFileName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

namespace {
std::atomic<int> gHintHidePause{0};
std::atomic<int> gSignalWrite{-1};
std::atomic<bool> gEndRequested{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

void OnEndSignal(int)
{
    const int saved = errno;
    gEndRequested = true;
    const char byte = 1;
    const int fd = gSignalWrite;
    if (fd >= 0) {
        [[maybe_unused]] const auto n = ::write(fd, &byte, 1);
    }
    errno = saved;
}
} // namespace

void SetHintHidePause(int ms)
{
    gHintHidePause = ms > 0 ? ms : 0;
}

int HintHidePause()
{
    return gHintHidePause;
}

bool EndRequested()
{
    return gEndRequested;
}

void ClearEndRequest()
{
    gEndRequested = false;
}

TEndOnSignal::TEndOnSignal(QObject* parent) : QObject(parent)
{
    if (::pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    gSignalWrite = FPipe[1];
    // The handler only marks the request and wakes the GUI thread, which
    // does the rest in whichever event loop is running: the main one, a
    // dialog's or a message box's.
    auto* notifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(FPipe[0], buffer, sizeof buffer) > 0) {
        }
        EndNow();
    });
    struct sigaction action{};
    action.sa_handler = &OnEndSignal;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART: a call of the GUI thread that waits (for the other
    // end of a pipe, say) returns on the signal instead of waiting on, so
    // the program never turns deaf to it. The program's own calls go on
    // after EINTR where that is right.
    action.sa_flags = 0;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

TEndOnSignal::~TEndOnSignal()
{
    if (FPipe[0] < 0)
        return;
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    gSignalWrite = -1;
    ::close(FPipe[0]);
    ::close(FPipe[1]);
}

void TEndOnSignal::EndNow()
{
    // The modal dialogs and boxes in front answer as cancelled. Their
    // callers go on, but nothing they open shows any more (EndRequested).
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible() && dialog->isModal())
            dialog->done(QDialog::Rejected);
    // The windows close as by their close box (the main window closes its
    // help windows), then every running loop ends, the main one included.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    new TEndOnSignal(this);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    // F1 asks for the help of the focused control (its HelpContext, or that
    // of a control around it), else for the contents.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        receiver->isWidgetType() && static_cast<QWidget*>(receiver) == focusWidget()) {
        for (QObject* o = receiver; o; o = o->parent()) {
            const bool has = o->metaObject()->indexOfProperty("HelpContext") >= 0;
            const int context = has ? o->property("HelpContext").toInt() : 0;
            if (context != 0) {
                HelpCommand(HELP_CONTEXT, context);
                return true;
            }
        }
        HelpCommand(HELP_CONTENTS, 0);
        return true;
    }
    // A hint stays up for the program's hide pause where the control set no
    // time of its own; the control still shows it its own way.
    if (event->type() == QEvent::ToolTip && receiver->isWidgetType() && gHintHidePause > 0) {
        // The hint may come from a control around the one under the mouse.
        for (auto* widget = static_cast<QWidget*>(receiver); widget; widget = widget->parentWidget())
            if (widget->toolTipDuration() < 0)
                widget->setToolTipDuration(gHintHidePause);
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    } catch (...) {
        HandleApplicationException(std::runtime_error("Unknown error"));
    }
    return false;
}
