#pragma once
// A scripted bus behind the libusb 0.1 functions of link/UsbLegacy.h, linked
// into the USB tests in place of that layer (and so of libusb-1.0). Devices
// carry descriptors and endpoints; each call can be given its results in
// advance; writes are recorded; reads take the transfers the test pushes. As
// in the layer, a release ends the reads waiting on the handle (-19) and no
// transfer starts on it until the next claim. The bus also watches how the
// link uses its handles: a transfer on a closed handle, or a close while a
// transfer on that handle is still running, counts as a violation.
//
// Every function is thread-safe. Reset() only while no link exists.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace FakeUsb {

enum : int { ETimeout = -116 };

struct TEndpoint {
    std::uint8_t Address = 0;    // bit 7: IN
    std::uint8_t Attributes = 0; // 0 control, 1 isochronous, 2 bulk, 3 interrupt
    std::uint16_t MaxPacketSize = 0;
    int Configuration = 0;
    int Interface = 0;
    int AltSetting = 0;
};

// Calls whose results can be scripted per device.
enum class TCall { Open, SetConfiguration, ClaimInterface, ReleaseInterface, Close };

// The usual device: interrupt IN 0x81 and OUT 0x01, bulk IN 0x82 and OUT 0x02,
// all with packets of `packet` bytes.
std::vector<TEndpoint> StandardEndpoints(std::uint16_t packet = 8);

void Reset();

// Adds a device (plugged in); the bus shows it from the next usb_find_devices.
int AddDevice(std::uint16_t vendor, std::uint16_t product, const std::vector<TEndpoint>& endpoints);
// Unplugging makes every transfer on the device's handles fail with -19 and
// hides it from the next search.
void SetPlugged(int device, bool plugged);

// The next calls of that kind on the device give these results, in order
// (afterwards: success). A failing Open gives a null handle. `error` is what
// usb_strerror says after the failure.
void ScriptResult(int device, TCall call, int result, const std::string& error = {});
// The next writes on the endpoint give these results (then: success).
void ScriptWrite(int device, int endpoint, int result);
// The endpoint stalls the next `times` transfers (a read already waiting
// among them): each halts it, and while it is halted every transfer fails
// with -32 (EPIPE) until usb_clear_halt.
void Stall(int device, int endpoint, int times);
// How often usb_clear_halt was called for the endpoint.
int ClearHaltCalls(int device, int endpoint);
// Transfers for reads of the endpoint, oldest first; a read waits for one.
void PushRead(int device, int endpoint, const std::string& bytes);
// A result in place of the next transfer (in line with the pushed ones).
void PushReadResult(int device, int endpoint, int result);
// A read with nothing to read waits this long at most (never longer than its
// time-out) and then reports a time-out. Default 5 ms.
void SetReadWait(int ms);
// Called after every successful write, outside the bus's lock, in the
// writing thread (to answer, or to hold the writer).
void SetWriteHook(std::function<void(int device, int endpoint, const std::string& bytes)> hook);
// Called at every usb_find_busses, outside the lock.
void SetFindHook(std::function<void()> hook);

std::vector<std::string> Writes(int device, int endpoint);
int WriteCalls(int device, int endpoint);
int ReadCalls(int device, int endpoint);
// Time-outs the link gave to its writes and reads (the largest seen).
int LargestWriteTimeout();
int LargestReadTimeout();
// Everything called on the bus, one line each ("open 0", "claim 0 0",
// "release 0 0", "close 0", "set_configuration 0 1", "find_busses",
// "clear_halt 0 129"...);
// transfers are not listed.
std::vector<std::string> Calls();
void ClearCalls();
int OpenHandles();
int Violations();
// Reads still waiting on the bus right now.
int PendingReads();

} // namespace FakeUsb
