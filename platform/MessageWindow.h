#pragma once
// Hidden message windows of the GUI thread and the messages posted to them.
//
// A window is known by its handle, a number that stays unique for the life of
// the process. Posting to a handle is safe from any thread; a message posted
// to a window that is gone is dropped (PostMessage returns false), and the
// messages still queued for a window die with it. Data travel in an owned heap
// block: whoever holds the message owns the block, the receiver frees it by
// letting the message go.
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

using HWND = std::uintptr_t; // 0: no window

struct TMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::unique_ptr<std::string> Block; // the heap block the message carries, or none
};

class TMessageWindow : public QObject {
public:
    using THandler = std::function<void(TMessage&)>;

    // Must be created in the thread whose event loop is to handle its messages
    // (the GUI thread).
    explicit TMessageWindow(THandler handler = {}, QObject* parent = nullptr);
    ~TMessageWindow() override;

    HWND Handle() const { return FHandle; }
    void SetHandler(THandler handler) { FHandler = std::move(handler); }

    // Drops every message that is queued for this window and not yet handled.
    void RemovePostedMessages();

    // Queues a message for the window's thread. Thread-safe.
    static bool PostMessage(HWND window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                            std::unique_ptr<std::string> block = {});

protected:
    bool event(QEvent* e) override;

private:
    HWND FHandle;
    THandler FHandler;
};

// Message numbers by name, the same number for the same name within the
// process; numbers start at 0xC000 as registered messages do.
std::uint32_t RegisterWindowMessage(const std::string& name);

// An exception that escapes a message handler or a Qt event handler ends up
// here; the default shows its text in an error message box (see Dialogs.h).
void HandleApplicationException(const std::exception& e);
using TExceptionHandler = std::function<void(const std::exception&)>;
void SetApplicationExceptionHandler(TExceptionHandler handler); // empty: the default

// An error that cannot be raised to anyone: a destructor met it (a USB device
// that will not give its interface back while its link is freed), or a
// second error came while the first is being raised. The handler that the
// program installs records it; without one it goes to standard error. Never
// raises, whatever the handler does. `source` names who met it
// ("TCommunication.Destroy").
void HandleUnraisableError(const std::string& source, const std::string& message);
using TUnraisableErrorHandler = std::function<void(const std::string& source, const std::string& message)>;
void SetUnraisableErrorHandler(TUnraisableErrorHandler handler); // empty: standard error

// Runs one step of a destructor (or of another path that must not raise); what
// it raises goes to HandleUnraisableError, and the caller goes on.
template <typename F>
void RunWithoutRaising(const char* source, F&& step) noexcept
{
    try {
        step();
    } catch (const std::exception& e) {
        HandleUnraisableError(source, e.what());
    } catch (...) {
        HandleUnraisableError(source, "Unknown error");
    }
}
