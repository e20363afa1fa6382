// The plug-in's entries: what the program calls to hand over its link, open
// the dialog, pass on what the module sends and the state of the link, and
// before it frees the library.
//
// No exception leaves an entry. InitDLL, OnReceiveData and
// OnConnectionChanged show the errors of the program's error family in the
// plug-in's own message box; anything else, and every error of ShowDialog
// and UnloadDLL, goes back to the program as a text.
#include "pluginapi/PluginInterface.h"
#include "platform/Exception.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/PluginApp.h"
#include "radioplugin/RuvoTransport.h"

#include <memory>
#include <string>

namespace {

// The program's link object as the dialog and the monitor windows use it.
// There is one for the life of the library: windows that borrowed it keep a
// valid object, and every call goes to the proxy the program handed over
// last, which itself reaches the link the program holds at that moment.
class TProxyLink : public TRuvoLink {
public:
    void SetProxy(const TCommunicationProxy* Proxy) { FProxy = Proxy; }
    bool Connected() const override { return FProxy && FProxy->Connected(FProxy) != 0; }
    bool SendText(TObject* Sender, const std::string& Text, int Transfer) override
    {
        if (!FProxy)
            return false;
        return FProxy->SendText(FProxy, Sender, Text.data(), static_cast<std::uint32_t>(Text.size()), Transfer) != 0;
    }

private:
    const TCommunicationProxy* FProxy = nullptr;
};

TProxyLink gLink;
std::string gError; // the text of the last failed entry

TPluginError Fail(const char* text)
{
    gError = text;
    return gError.c_str();
}

// Runs an entry: errors of the program's family are shown here, anything
// else goes back as a text.
template <typename F>
TPluginError Shown(F&& body)
{
    try {
        body();
    } catch (const Exception& e) {
        ShowPluginException(e);
    } catch (const std::exception& e) {
        return Fail(e.what());
    } catch (...) {
        return Fail("ExtendedDLL: Unknown error");
    }
    return nullptr;
}

// Runs an entry: every error goes back as a text.
template <typename F>
TPluginError Returned(F&& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        return Fail(e.what());
    } catch (...) {
        return Fail("ExtendedDLL: Unknown error");
    }
    return nullptr;
}

} // namespace

extern "C" {

TPluginError InitDLL(TAppHandle appHandle, const char* mutexName, std::uint32_t mutexNameLength,
                     const TCommunicationProxy* communication)
{
    return Shown([&] {
        SetPluginAppWindow(appHandle);
        const std::string name = mutexName ? std::string(mutexName, mutexNameLength) : std::string();
        gLink.SetProxy(communication);
        TRuvoLink* link = communication ? &gLink : nullptr;
        if (ParameterForm) {
            ParameterForm->SetCommunication(link);
            ParameterForm->SetMutexName(name);
            if (ParameterForm->isVisible())
                ParameterForm->raise();
            return;
        }
        // Created hidden; the global reference is kept by the dialog.
        new TfParameterForm(nullptr, link, name);
    });
}

TPluginError ShowDialog(void)
{
    return Returned([] {
        if (!ParameterForm)
            return;
        ParameterForm->show();
        ParameterForm->raise();
        ParameterForm->activateWindow();
    });
}

TPluginError OnReceiveData(TAppHandle appHandle, const char* data, std::uint32_t length)
{
    return Shown([&] {
        SetPluginAppWindow(appHandle);
        if (ParameterForm)
            ParameterForm->HandleReply(data ? std::string(data, length) : std::string());
    });
}

TPluginError OnConnectionChanged(TAppHandle appHandle, std::int32_t connected)
{
    return Shown([&] {
        SetPluginAppWindow(appHandle);
        if (ParameterForm)
            ParameterForm->ConnectionChanged((connected & 0xFF) != 0);
    });
}

TPluginError UnloadDLL(void)
{
    return Returned([] {
        // Freeing the dialog frees its monitor windows without their close
        // lines.
        delete ParameterForm;
        ParameterForm = nullptr;
        gLink.SetProxy(nullptr);
    });
}

} // extern "C"
