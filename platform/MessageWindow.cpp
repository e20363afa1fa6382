#include "platform/MessageWindow.h"

#include "platform/Dialogs.h"
#include "platform/Exception.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

// Qt hands a posted event to the receiving thread under a lock that
// ThreadSanitizer cannot see; these annotations tell it of the hand-over.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#define TESSARO_TSAN_RELEASE(p) __tsan_release(p)
#define TESSARO_TSAN_ACQUIRE(p) __tsan_acquire(p)
#else
#define TESSARO_TSAN_RELEASE(p) ((void)(p))
#define TESSARO_TSAN_ACQUIRE(p) ((void)(p))
#endif

namespace {

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

class TPostedMessageEvent : public QEvent {
public:
    explicit TPostedMessageEvent(TMessage message) : QEvent(kPostedMessage), Message(std::move(message)) {}
    TMessage Message;
};

// The table of live windows. Posting looks the handle up and queues the event
// under the same lock that a window takes to leave the table, so no event is
// ever queued for a window that is being destroyed.
struct TWindowTable {
    std::mutex Lock;
    std::map<HWND, TMessageWindow*> Windows;
    HWND Next = 1;
};

TWindowTable& Table()
{
    static TWindowTable table;
    return table;
}

std::mutex gExceptionLock;
TExceptionHandler gExceptionHandler;
TUnraisableErrorHandler gUnraisableErrorHandler;

void WriteToStandardError(const std::string& source, const std::string& message) noexcept
{
    std::fprintf(stderr, "%s: %s\n", source.c_str(), message.c_str());
}

} // namespace

TMessageWindow::TMessageWindow(THandler handler, QObject* parent) : QObject(parent), FHandler(std::move(handler))
{
    auto& table = Table();
    std::lock_guard lock(table.Lock);
    FHandle = table.Next++;
    table.Windows[FHandle] = this;
}

TMessageWindow::~TMessageWindow()
{
    {
        auto& table = Table();
        std::lock_guard lock(table.Lock);
        table.Windows.erase(FHandle);
    }
    RemovePostedMessages();
}

void TMessageWindow::RemovePostedMessages()
{
    QCoreApplication::removePostedEvents(this, kPostedMessage);
}

bool TMessageWindow::PostMessage(HWND window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                 std::unique_ptr<std::string> block)
{
    auto& table = Table();
    std::lock_guard lock(table.Lock);
    const auto it = table.Windows.find(window);
    if (it == table.Windows.end())
        return false;
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    message.Block = std::move(block);
    auto* event = new TPostedMessageEvent(std::move(message));
    TESSARO_TSAN_RELEASE(event);
    QCoreApplication::postEvent(it->second, event);
    return true;
}

bool TMessageWindow::event(QEvent* e)
{
    TESSARO_TSAN_ACQUIRE(e);
    if (e->type() != kPostedMessage)
        return QObject::event(e);
    auto* posted = static_cast<TPostedMessageEvent*>(e);
    if (FHandler) {
        try {
            FHandler(posted->Message);
        } catch (const std::exception& ex) {
            HandleApplicationException(ex);
        }
    }
    return true;
}

std::uint32_t RegisterWindowMessage(const std::string& name)
{
    static std::mutex lock;
    static std::map<std::string, std::uint32_t> numbers;
    std::lock_guard guard(lock);
    const auto it = numbers.find(name);
    if (it != numbers.end())
        return it->second;
    const std::uint32_t number = 0xC000u + static_cast<std::uint32_t>(numbers.size());
    numbers.emplace(name, number);
    return number;
}

void SetApplicationExceptionHandler(TExceptionHandler handler)
{
    std::lock_guard lock(gExceptionLock);
    gExceptionHandler = std::move(handler);
}

void HandleApplicationException(const std::exception& e)
{
    TExceptionHandler handler;
    {
        std::lock_guard lock(gExceptionLock);
        handler = gExceptionHandler;
    }
    if (handler) {
        handler(e);
        return;
    }
    const std::string caption = QCoreApplication::applicationName().toStdString();
    MessageBox(nullptr, e.what(), caption, MB_OK | MB_ICONERROR);
}

void SetUnraisableErrorHandler(TUnraisableErrorHandler handler)
{
    std::lock_guard lock(gExceptionLock);
    gUnraisableErrorHandler = std::move(handler);
}

void HandleUnraisableError(const std::string& source, const std::string& message)
{
    try {
        TUnraisableErrorHandler handler;
        {
            std::lock_guard lock(gExceptionLock);
            handler = gUnraisableErrorHandler;
        }
        if (handler) {
            handler(source, message);
            return;
        }
    } catch (...) {
        // The record itself failed: the error is not lost, it goes below.
    }
    WriteToStandardError(source, message);
}
