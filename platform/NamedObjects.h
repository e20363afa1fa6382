#pragma once
// Process-wide named mutexes and events, known by handle. The table lives in
// the platform library, so the program and every plug-in it loads share it:
// a plug-in opens the program's mutex by its name.
//
// A mutex is owned by a thread and recursive: its owner may wait for it again
// and must release it as often. Only the owner can release it.
#include <cstdint>
#include <string>

using HANDLE = std::uintptr_t; // 0: none

enum : std::uint32_t {
    WAIT_OBJECT_0 = 0,
    WAIT_TIMEOUT = 0x102,
    WAIT_FAILED = 0xFFFFFFFFu,
    INFINITE = 0xFFFFFFFFu,
};

// An empty name makes an unnamed object. With a name that is already taken by
// an object of the same kind, that object is opened and *alreadyExists set
// (initialOwner / initialState are then ignored); a name taken by the other
// kind gives 0.
HANDLE CreateMutex(bool initialOwner, const std::string& name, bool* alreadyExists = nullptr);
HANDLE OpenMutex(const std::string& name); // 0 when there is none
bool ReleaseMutex(HANDLE mutex);           // false unless the calling thread owns it

HANDLE CreateEvent(bool manualReset, bool initialState, const std::string& name, bool* alreadyExists = nullptr);
HANDLE OpenEvent(const std::string& name);
bool SetEvent(HANDLE event);
bool ResetEvent(HANDLE event);

// WAIT_OBJECT_0 when the object was taken (a mutex now owned, an event
// signalled; an auto-reset event is reset), WAIT_TIMEOUT, or WAIT_FAILED for
// a handle that is not open.
std::uint32_t WaitForSingleObject(HANDLE object, std::uint32_t timeoutMs);

// Closes the handle; the object lives on while other handles hold it.
bool CloseHandle(HANDLE object);
