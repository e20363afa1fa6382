/* The interface between the Tessaro program and its device plug-ins.
 *
 * A plug-in is a shared library exporting some of the ten entries below by
 * their exact names, with C linkage. The program calls them in its GUI thread,
 * one at a time. No C++ exception may cross this interface in either
 * direction: an entry that fails returns a message text instead (null means
 * success); the text is the plug-in's, UTF-8 and zero-terminated, and stays
 * valid until the next call into the same plug-in.
 *
 * Strings are a pointer and a length: message data hold zero bytes. The
 * program owns every string and object it passes; they are valid for the
 * call, the communication object and the device entry as described below.
 */
#ifndef TESSARO_PLUGIN_INTERFACE_H
#define TESSARO_PLUGIN_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The program's main window (a QWidget*): the owner of the plug-in's windows
 * and message boxes. */
typedef uintptr_t TAppHandle;

/* A message text of a failed entry, or null. */
typedef const char* TPluginError;

/* The program's device link as a plug-in may use it: whether the device is
 * connected, sending one message whose first character is the command byte
 * (transfer 0: the interrupt pipe on USB; ignored on serial), and reading
 * the device's answer to an upload request. The object
 * is the program's and stays valid until the plug-in is unloaded; each call
 * goes to the link the program holds at that moment, and does nothing (not
 * connected) while it holds none. Calls come from the GUI thread only. */
typedef struct TCommunicationProxy TCommunicationProxy;
struct TCommunicationProxy {
    uint32_t Size; /* sizeof(TCommunicationProxy) of the program */
    void* Context; /* the program's */
    int32_t (*Connected)(const TCommunicationProxy* self);
    /* Returns 1 when the link took the message (it may still be dropped on a
     * link that is down), 0 when it refused it. */
    int32_t (*SendText)(const TCommunicationProxy* self, void* sender, const char* text, uint32_t length,
                        int32_t transfer);
    /* Read only: the device's answer to the last upload request (0x8B and
     * one byte), as the program's reply parser read it: one of the
     * TUploadReplyStatus values below; undefined while the program holds no
     * link. A plug-in built against an older program checks Size first
     * (TESSARO_PROXY_HAS). */
    int32_t (*UploadGoAheadReply)(const TCommunicationProxy* self);
};

/* The answers to an upload request. */
enum {
    TESSARO_UPLOAD_UNDEFINED = 0,        /* no answer yet, or a new request is under way */
    TESSARO_UPLOAD_GO_AHEAD = 1,         /* answered 0: the upload may begin */
    TESSARO_UPLOAD_NOT_ENOUGH_MEMORY = 2 /* answered anything else */
};

/* Whether the program's proxy has the member `field`. */
#define TESSARO_PROXY_HAS(proxy, field)                                                                     \
    ((proxy)->Size >= (uint32_t)((const char*)&(proxy)->field - (const char*)(proxy)) + sizeof((proxy)->field))

/* One device type of the catalogue, as the firmware plug-in receives it. */
typedef struct TPluginDevice {
    const char* Extension;
    const char* MagicWord;
    const char* FW;
    int32_t BlockSize;
    uint8_t Gender;          /* 0 "M", 1 "F", 2 "N" */
    const char* Name;
    const char* PA;
    int32_t ProductID;
    uint8_t InitialStatus;   /* 0 wait, 1 go ahead */
    const char* Identification;
    const char* EX;
    const char* ST;
} TPluginDevice;

/* Status, parameter and extended roles: a new hand-over of the link and the
 * name of the communication mutex, after loading and at every connection
 * change. `communication` is null while the program holds no link. */
typedef TPluginError (*TInitDLL)(TAppHandle appHandle, const char* mutexName, uint32_t mutexNameLength,
                                 const TCommunicationProxy* communication);
/* Parameter and extended roles: open the dialog. */
typedef TPluginError (*TShowDialog)(void);
/* All roles: one received message, its command byte first. */
typedef TPluginError (*TOnReceiveData)(TAppHandle appHandle, const char* data, uint32_t length);
/* All roles: the link came up (1) or went down (0). */
typedef TPluginError (*TOnConnectionChanged)(TAppHandle appHandle, int32_t connected);
/* Parameter and extended roles: just before the library is freed. */
typedef TPluginError (*TUnloadDLL)(void);
/* Status role: put a frame named "fStatusFrame" on `parent` (a QWidget*, also
 * its owner); the program gives the panel the frame's height. */
typedef TPluginError (*TShowStatus)(TAppHandle appHandle, void* owner, void* parent, const char* mutexName,
                                    uint32_t mutexNameLength, const TCommunicationProxy* communication);
/* Status role: just before the library is freed. */
typedef TPluginError (*TCloseStatus)(void);
/* Firmware role: the whole upload happens inside this call. */
typedef TPluginError (*TFirmwareUpload)(TAppHandle appHandle, const char* fileName, uint32_t fileNameLength,
                                        const TCommunicationProxy* communication, const TPluginDevice* device);
/* Parameter role: the parameter object to keep across a firmware upload
 * (null allowed), and handing it back afterwards. */
typedef TPluginError (*TGetParameterObject)(void** parameterObject);
typedef TPluginError (*TSetParameter)(void* parameterObject);

/* The entries themselves, by the names the program looks them up with. A
 * plug-in defines those of its role (status: InitDLL, ShowStatus,
 * CloseStatus, OnReceiveData, OnConnectionChanged; parameter: InitDLL,
 * UnloadDLL, ShowDialog, OnReceiveData, OnConnectionChanged,
 * GetParameterObject, SetParameter; firmware: FirmwareUpload, OnReceiveData,
 * OnConnectionChanged; extended: InitDLL, UnloadDLL, ShowDialog,
 * OnReceiveData, OnConnectionChanged). Declared here so that a definition
 * with another argument list does not compile, and so that the entries stay
 * visible in a library built with hidden visibility. The program never
 * calls them by these names, only through the addresses it looks up. */
#if defined(__GNUC__)
#define TESSARO_PLUGIN_ENTRY __attribute__((visibility("default")))
#else
#define TESSARO_PLUGIN_ENTRY
#endif
TESSARO_PLUGIN_ENTRY TPluginError InitDLL(TAppHandle appHandle, const char* mutexName, uint32_t mutexNameLength,
                                          const TCommunicationProxy* communication);
TESSARO_PLUGIN_ENTRY TPluginError ShowDialog(void);
TESSARO_PLUGIN_ENTRY TPluginError OnReceiveData(TAppHandle appHandle, const char* data, uint32_t length);
TESSARO_PLUGIN_ENTRY TPluginError OnConnectionChanged(TAppHandle appHandle, int32_t connected);
TESSARO_PLUGIN_ENTRY TPluginError UnloadDLL(void);
TESSARO_PLUGIN_ENTRY TPluginError ShowStatus(TAppHandle appHandle, void* owner, void* parent, const char* mutexName,
                                             uint32_t mutexNameLength, const TCommunicationProxy* communication);
TESSARO_PLUGIN_ENTRY TPluginError CloseStatus(void);
TESSARO_PLUGIN_ENTRY TPluginError FirmwareUpload(TAppHandle appHandle, const char* fileName, uint32_t fileNameLength,
                                                 const TCommunicationProxy* communication,
                                                 const TPluginDevice* device);
TESSARO_PLUGIN_ENTRY TPluginError GetParameterObject(void** parameterObject);
TESSARO_PLUGIN_ENTRY TPluginError SetParameter(void* parameterObject);

#ifdef __cplusplus
}
#endif

#endif
