#include "radioplugin/PluginApp.h"

#include "localization/lcComp.h"
#include "localization/lcLngLnk.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <cstdio>
#include <optional>

namespace {
QPointer<QWidget> gAppWindow;

struct TWaitingBox {
    std::string Text, Caption;
    unsigned Flags;
};
} // namespace

void SetPluginAppWindow(TAppHandle AppHandle)
{
    gAppWindow = AppHandle ? reinterpret_cast<QWidget*>(AppHandle) : QApplication::activeWindow();
}

QWidget* PluginAppWindow()
{
    return gAppWindow.data();
}

void ShowPluginException(const std::exception& e)
{
    PluginMessageBox(e.what(), "Ravvel", MB_OK | MB_ICONERROR);
}

int PluginMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags)
{
    // A box runs an event loop of its own, in which the timers and the
    // module's messages go on; what they have to say while a box is open
    // does not stack a second box on it. A message without a question waits
    // and is shown when the open box is closed (one waits, and what comes
    // after it goes to stderr); a question is answered with its safe
    // button at once.
    static bool open = false;
    static std::optional<TWaitingBox> waiting;
    const unsigned buttons = Flags & 0xF;
    if (open) {
        if (buttons == MB_OK && !waiting) {
            waiting = TWaitingBox{Text, Caption, Flags};
        } else {
            std::fprintf(stderr, "Ravvel: %s\n", Text.c_str());
        }
        return buttons == MB_YESNO ? IDNO : buttons == MB_OK ? IDOK : IDCANCEL;
    }
    open = true;
    struct TClosed {
        ~TClosed() { open = false; }
    } closed;
    const int answer = MessageBox(PluginAppWindow(), Text, Caption, Flags);
    while (waiting) {
        const TWaitingBox next = *waiting;
        waiting.reset();
        MessageBox(PluginAppWindow(), next.Text, next.Caption, next.Flags);
    }
    return answer;
}

TlcLangLinked* CreatePluginTranslations(QObject* Window, const std::string& Form)
{
    return CreateFormTranslation(Window, nullptr, ":/ravvel/lc", Form);
}
