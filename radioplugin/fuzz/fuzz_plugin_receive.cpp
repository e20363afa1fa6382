// Any messages from the module through the plug-in's real entry
// OnReceiveData, as the program hands them on, into the parameter dialog and
// the terminal, GPS and IBIS windows, with the link going down and up between
// them. The host is a fake: a window, the communication mutex, and a link
// that takes every line. Nothing may crash, no error may escape the entry
// (the plug-in shows its own), and the monitor windows keep at most their
// thousand lines.
//
// Input: records of one control byte and the message: the low six bits the
// message's length (the rest as far as it goes), bit 6 the link going down
// and up again before it, bit 7 the first byte of the message being 'r', 'g'
// or 'w' (a terminal, GPS or IBIS line) by the next byte.
#include "platform/Dialogs.h"
#include "platform/NamedObjects.h"
#include "pluginapi/PluginInterface.h"
#include "radioplugin/FunkmodulTerminalForm.h"
#include "radioplugin/GPSTraceForm.h"
#include "radioplugin/IBISTraceForm.h"
#include "radioplugin/ParamForm.h"

#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Every box answered at once; the plug-in shows its errors in them.
class TAnswered : public TDialogService {
public:
    int MessageBox(QWidget*, const std::string&, const std::string&, unsigned) override { return IDOK; }
    int ExecModal(QDialog&) override { return 0; }
};

std::int32_t Connected(const TCommunicationProxy*)
{
    return 1;
}

std::int32_t SendText(const TCommunicationProxy*, void*, const char*, std::uint32_t, std::int32_t)
{
    return 1;
}

std::int32_t UploadGoAheadReply(const TCommunicationProxy*)
{
    return TESSARO_UPLOAD_UNDEFINED;
}

TCommunicationProxy gProxy{sizeof(TCommunicationProxy), nullptr, &Connected, &SendText, &UploadGoAheadReply};
QWidget* gHost = nullptr;
const std::string gMutex = "Global\\{fuzz-plugin-receive}";

TAppHandle App()
{
    return reinterpret_cast<TAppHandle>(gHost);
}

void Check(TPluginError error)
{
    if (error) {
        std::fprintf(stderr, "entry failed: %s\n", error);
        std::abort();
    }
}

// The three monitor windows open, as the dialog's buttons open them.
void OpenMonitors()
{
    if (!ParameterForm)
        std::abort();
    if (!FunkmodulTerminalForm)
        ParameterForm->btnFunkmodulTerminal->click();
    if (!GPSTraceForm)
        ParameterForm->btnGPSTrace->click();
    if (!IBISTraceForm)
        ParameterForm->btnIBISTrace->click();
}

void CheckMonitor(const TfMonitorForm* form)
{
    if (form && form->LineCount() > TfMonitorForm::MaxLines)
        std::abort();
}

} // namespace

// The toolkit keeps caches that grow as windows are used: a search for
// leaks after every input would find them and take most of the time. A leak
// of ours still shows as memory that keeps growing (-rss_limit_mb).
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_plugin_receive";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    static TAnswered dialogs;
    SetDialogService(&dialogs);
    gHost = new QWidget;
    CreateMutex(true, gMutex); // the program's, owned by its GUI thread
    Check(InitDLL(App(), gMutex.data(), static_cast<std::uint32_t>(gMutex.size()), &gProxy));
    Check(ShowDialog());
    Check(OnConnectionChanged(App(), 1));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    OpenMonitors();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control & 0x40) {
            Check(OnConnectionChanged(App(), 0));
            Check(OnConnectionChanged(App(), 1));
            OpenMonitors();
        }
        std::string message(reinterpret_cast<const char*>(data + at), std::min<std::size_t>(control & 0x3F, size - at));
        at += message.size();
        if ((control & 0x80) && !message.empty())
            message[0] = "rgw"[static_cast<std::uint8_t>(message[0]) % 3];
        Check(OnReceiveData(App(), message.data(), static_cast<std::uint32_t>(message.size())));
        CheckMonitor(FunkmodulTerminalForm);
        CheckMonitor(GPSTraceForm);
        CheckMonitor(IBISTraceForm);
    }
    // Windows that closed are freed as the event loop would free them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
