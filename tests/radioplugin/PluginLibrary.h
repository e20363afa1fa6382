#pragma once
// Ravvel.so loaded the way the program loads it: dlopen by full path, the
// five entries looked up by name, and a proxy of the link to hand over.
#include "pluginapi/PluginInterface.h"

#include <QApplication>
#include <QWidget>

#include <dlfcn.h>

#include <functional>
#include <string>

struct TPluginLibrary {
    TPluginLibrary()
    {
        Handle = dlopen(RAVVEL_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!Handle)
            return;
        Init = reinterpret_cast<TInitDLL>(dlsym(Handle, "InitDLL"));
        Show = reinterpret_cast<TShowDialog>(dlsym(Handle, "ShowDialog"));
        Receive = reinterpret_cast<TOnReceiveData>(dlsym(Handle, "OnReceiveData"));
        Connection = reinterpret_cast<TOnConnectionChanged>(dlsym(Handle, "OnConnectionChanged"));
        Unload = reinterpret_cast<TUnloadDLL>(dlsym(Handle, "UnloadDLL"));
    }
    // Unloads as the program does: UnloadDLL first (a second call does
    // nothing), then the library goes.
    ~TPluginLibrary()
    {
        if (Unload)
            Unload();
        if (Handle)
            dlclose(Handle);
    }
    bool Complete() const { return Handle && Init && Show && Receive && Connection && Unload; }

    void* Handle = nullptr;
    TInitDLL Init = nullptr;
    TShowDialog Show = nullptr;
    TOnReceiveData Receive = nullptr;
    TOnConnectionChanged Connection = nullptr;
    TUnloadDLL Unload = nullptr;
};

// A proxy whose calls go to two functions of the test.
struct TTestProxy {
    TTestProxy()
    {
        Proxy.Size = sizeof(TCommunicationProxy);
        Proxy.Context = this;
        Proxy.Connected = [](const TCommunicationProxy* self) -> std::int32_t {
            return static_cast<TTestProxy*>(self->Context)->Connected() ? 1 : 0;
        };
        Proxy.SendText = [](const TCommunicationProxy* self, void*, const char* text, std::uint32_t length,
                            std::int32_t transfer) -> std::int32_t {
            return static_cast<TTestProxy*>(self->Context)->Send(std::string(text, length), transfer) ? 1 : 0;
        };
    }
    std::function<bool()> Connected = [] { return false; };
    std::function<bool(const std::string&, int)> Send = [](const std::string&, int) { return true; };
    TCommunicationProxy Proxy{};
};

// A top-level window of the process by object name, or none.
inline QWidget* TopLevel(const char* name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name)
            return w;
    return nullptr;
}
