// A plug-in for the host's tests: every call is appended as one line to the
// file named by TESSARO_PLUGIN_LOG. Built several times with other names,
// other sets of entries and other faults.
#include "pluginapi/PluginInterface.h"
#include "platform/NamedObjects.h"

#include <QWidget>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#ifndef PLUGIN_NAME
#define PLUGIN_NAME "plugin"
#endif
#ifndef PLUGIN_ENTRIES
#define PLUGIN_ENTRIES 0x3FF
#endif

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum : unsigned {
    kInit = 1, kShowDialog = 2, kReceive = 4, kConnection = 8, kUnload = 16,
    kShowStatus = 32, kCloseStatus = 64, kFirmware = 128, kGetParameter = 256, kSetParameter = 512,
};

[[maybe_unused]] const TCommunicationProxy* gLink = nullptr;
[[maybe_unused]] std::string gMutexName;
[[maybe_unused]] TAppHandle gApp = 0; // the last window handed in
[[maybe_unused]] int gParameterObject = 42;
[[maybe_unused]] int gReplyAtReceive = -1; // the answer to an upload request as the last message came

[[maybe_unused]] void Log(const std::string& line)
{
    const char* path = std::getenv("TESSARO_PLUGIN_LOG");
    if (!path)
        return;
    if (std::FILE* f = std::fopen(path, "ab")) {
        const std::string text = std::string(PLUGIN_NAME) + "." + line + "\n";
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// Whether the entry got a window as the application's handle, one line per
// call, in the file TESSARO_PLUGIN_HANDLES names.
[[maybe_unused]] void LogHandle(const char* entry, TAppHandle appHandle)
{
    const char* path = std::getenv("TESSARO_PLUGIN_HANDLES");
    if (!path)
        return;
    if (std::FILE* f = std::fopen(path, "ab")) {
        const std::string text = std::string(PLUGIN_NAME) + "." + entry + (appHandle ? " window" : " 0") + "\n";
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// A crash as a faulty plug-in has one: a write through a bad pointer (not
// null, which a sanitizer would catch before the processor does).
[[maybe_unused]] void Crash()
{
    volatile std::uintptr_t nowhere = 8;
    *reinterpret_cast<volatile int*>(nowhere) = 1;
}

[[maybe_unused]] void (*gOnUnload)(void*) = nullptr;
[[maybe_unused]] void* gOnUnloadContext = nullptr;

[[maybe_unused]] std::string Hex(const char* data, std::uint32_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::uint32_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

[[maybe_unused]] std::string Link(const TCommunicationProxy* link)
{
    return link ? "proxy" : "null";
}

// The library coming in and going: loading order, and that the host calls
// the closing entries before it frees the library.
__attribute__((constructor)) void Loaded()
{
    Log("loaded");
#ifdef PLUGIN_LOAD_CRASHES
    Crash();
#endif
}

__attribute__((destructor)) void Freed()
{
    Log("freed");
}

} // namespace

#if PLUGIN_ENTRIES & 1
EXPORT TPluginError InitDLL(TAppHandle appHandle, const char* mutexName, std::uint32_t length, const TCommunicationProxy* link)
{
    gApp = appHandle;
    gLink = link;
    gMutexName.assign(mutexName, length);
    Log("InitDLL " + Link(link) + " " + gMutexName);
    LogHandle("InitDLL", appHandle);
#ifdef PLUGIN_INIT_CRASHES
    Crash();
#endif
#ifdef PLUGIN_THREAD_CRASHES
    // A thread of the plug-in's own that crashes a moment after the entry returned.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Crash();
    }).detach();
#endif
#ifdef PLUGIN_INIT_FAILS
    return "the module said no";
#elif defined(PLUGIN_INIT_FAILS_SILENTLY)
    return "";
#elif defined(PLUGIN_INIT_THROWS)
    throw std::runtime_error("thrown out of InitDLL");
#else
    return nullptr;
#endif
}
#endif

#if PLUGIN_ENTRIES & 2
EXPORT TPluginError ShowDialog()
{
    Log("ShowDialog");
    return nullptr;
}
#endif

#if PLUGIN_ENTRIES & 4
EXPORT TPluginError OnReceiveData(TAppHandle appHandle, const char* data, std::uint32_t length)
{
    gApp = appHandle;
    // What the program's reply parser had read when the message came here.
    gReplyAtReceive = gLink && TESSARO_PROXY_HAS(gLink, UploadGoAheadReply) && gLink->UploadGoAheadReply
                          ? gLink->UploadGoAheadReply(gLink)
                          : -1;
    Log("OnReceiveData " + Hex(data, length));
#ifdef PLUGIN_RECEIVE_FAILS
    return "the message made no sense";
#else
    return nullptr;
#endif
}
#endif

#if PLUGIN_ENTRIES & 8
EXPORT TPluginError OnConnectionChanged(TAppHandle appHandle, std::int32_t connected)
{
    gApp = appHandle;
    Log("OnConnectionChanged " + std::to_string(connected & 0xFF));
#ifdef PLUGIN_CONNECTION_ABORTS
    std::abort();
#endif
    return nullptr;
}
#endif

#if PLUGIN_ENTRIES & 16
EXPORT TPluginError UnloadDLL()
{
    Log("UnloadDLL");
    if (gOnUnload)
        gOnUnload(gOnUnloadContext);
    return nullptr;
}
#endif

#if PLUGIN_ENTRIES & 32
EXPORT TPluginError ShowStatus(TAppHandle appHandle, void* owner, void* parent, const char*, std::uint32_t,
                               const TCommunicationProxy* link)
{
    gApp = appHandle;
    gLink = link;
    Log(std::string("ShowStatus ") + (owner == parent ? "same" : "different") + " " + Link(link));
    auto* panel = static_cast<QWidget*>(parent);
    if (!panel->findChild<QWidget*>("fStatusFrame")) {
        auto* frame = new QWidget(panel);
        frame->setObjectName("fStatusFrame");
        frame->resize(200, 40);
    }
    return nullptr;
}
#endif

#if PLUGIN_ENTRIES & 64
EXPORT TPluginError CloseStatus()
{
    Log("CloseStatus");
    return nullptr;
}
#endif

#if PLUGIN_ENTRIES & 128
EXPORT TPluginError FirmwareUpload(TAppHandle appHandle, const char* fileName, std::uint32_t length,
                                   const TCommunicationProxy* link, const TPluginDevice* device)
{
    gApp = appHandle;
    Log("FirmwareUpload " + std::string(fileName, length) + " " + Link(link) + " " +
        (device ? device->Name : "no device"));
#ifdef PLUGIN_UPLOAD_FAILS
    return "the upload broke off";
#else
    return nullptr;
#endif
}
#endif

#if PLUGIN_ENTRIES & 256
EXPORT TPluginError GetParameterObject(void** parameterObject)
{
    Log("GetParameterObject");
#ifdef PLUGIN_NO_PARAMETER_OBJECT
    *parameterObject = nullptr;
#else
    *parameterObject = &gParameterObject;
#endif
    return nullptr;
}
#endif

#if PLUGIN_ENTRIES & 512
EXPORT TPluginError SetParameter(void* parameterObject)
{
    Log(std::string("SetParameter ") + (parameterObject == &gParameterObject ? "same" : "other"));
    return nullptr;
}
#endif

// Test hooks: what the plug-in would do on its own.
EXPORT int TestPluginSend(const char* text)
{
    if (!gLink)
        return -1;
    return gLink->SendText(gLink, nullptr, text, static_cast<std::uint32_t>(std::string(text).size()), 0);
}

// What the plug-in reads of the device's answer to an upload request: -1
// without a link, -2 when the program's proxy does not offer it.
EXPORT int TestPluginUploadGoAheadReply()
{
    if (!gLink)
        return -1;
    if (!TESSARO_PROXY_HAS(gLink, UploadGoAheadReply) || !gLink->UploadGoAheadReply)
        return -2;
    return gLink->UploadGoAheadReply(gLink);
}

// The device's answer to an upload request as the plug-in's link told it
// while the plug-in handled the last message (-1: no link, no message).
EXPORT int TestPluginReplyAtReceive()
{
    return gReplyAtReceive;
}

// Called (with `context`) when the host unloads the plug-in, before it goes.
EXPORT void TestPluginOnUnload(void (*callback)(void*), void* context)
{
    gOnUnload = callback;
    gOnUnloadContext = context;
}

EXPORT TAppHandle TestPluginAppHandle()
{
    return gApp;
}

EXPORT int TestPluginConnected()
{
    return gLink ? gLink->Connected(gLink) : -1;
}

// Takes the communication mutex as a plug-in does before it sends, waiting
// at most `timeoutMs`; from another thread when asked. The wait's result.
EXPORT std::uint32_t TestPluginTakeMutex(int fromOtherThread, std::uint32_t timeoutMs)
{
    std::uint32_t result = WAIT_FAILED;
    auto take = [&] {
        const HANDLE mutex = OpenMutex(gMutexName);
        result = WaitForSingleObject(mutex, timeoutMs);
        if (result == WAIT_OBJECT_0)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    };
    if (fromOtherThread)
        std::thread(take).join();
    else
        take();
    return result;
}
