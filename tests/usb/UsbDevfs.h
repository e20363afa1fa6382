#pragma once
// A small emulation of the kernel's usbdevfs, linked into a test program
// together with the real libusb 0.1. The library finds its busses in the
// folder that USB_DEVFS_PATH names (this emulation makes one and sets the
// variable when the program starts), reads the descriptors from the device
// node with read(), and does everything else with ioctl() and select() on the
// node's descriptor. The program's own open(), close(), ioctl(), select() and
// gettimeofday() stand in for the C library's: on the emulated nodes they act
// as the kernel does, on every other descriptor they pass straight through.
//
// As in the kernel, every transfer is an URB: submitted, completed by the
// device, then reaped by whichever caller reaps that descriptor next; a
// blocking reap waits without holding up any other thread; a discarded URB
// still completes (-ENOENT) and is reaped; an unplugged device answers
// -ENODEV; a halted endpoint completes URBs with -EPIPE until its halt is
// cleared. Behind each node sits the maker's device: it takes messages on its
// OUT endpoints (chunked behind index bytes for product 4), answers a bulk
// message by echoing it on bulk IN, and sends what the test gives it on
// interrupt IN, cut into transfers as it would send them. Data for an IN
// endpoint waits on the device until an URB asks for it.
//
// Virtual time (per device): a select() on that device's node that would
// wait lets the calling thread's clock (what gettimeofday tells that thread)
// jump ahead by the wait and returns at once. A library time-out then
// happens at once in real time, but after the full time-out on the clock of
// the thread that waited.
//
// Every function is thread-safe. Reset() only while no handle is open.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace UsbDevfs {

struct TEndpoint {
    std::uint8_t Address = 0;    // bit 7: IN
    std::uint8_t Attributes = 0; // 2 bulk, 3 interrupt
    std::uint16_t MaxPacketSize = 0;
};

// Interrupt IN 0x81 and OUT 0x01, bulk IN 0x82 and OUT 0x02.
std::vector<TEndpoint> StandardEndpoints(std::uint16_t packet = 8);

// Requests the emulation can be told to refuse.
enum class TCall { Open, SetConfiguration, ClaimInterface, ReleaseInterface };

// Unplugs every device and forgets them and what was counted.
void Reset();
// A device plugged in; libusb sees it from its next usb_find_devices.
int AddDevice(std::uint16_t vendor, std::uint16_t product, const std::vector<TEndpoint>& endpoints);
// The device goes: its node vanishes, every URB still pending on it ends and
// every later request on its open descriptors fails with ENODEV.
void Unplug(int device);
// The next `times` requests of that kind fail with the error (errno, > 0).
void Fail(int device, TCall call, int error, int times = 1);

// The device sends a message on interrupt IN (or bulk IN), in transfers of
// the endpoint's packet size: product 4 behind index bytes, others as plain
// packets closed by a short (possibly empty) one. The next URB submitted on
// the endpoint takes the first transfer, not one already pending: libusb 0.1
// itself throws away an URB that completes in the moment between its last
// reap and its discard at a time-out, and a test thread that sends at random
// moments would hit that moment now and then (the echo of a bulk message
// comes at once, to whatever URB is pending).
void SendInterrupt(int device, const std::string& message);
void SendBulk(int device, const std::string& message);
// Whether the device echoes every message it gets on bulk OUT (default on).
void SetEcho(int device, bool echo);
// The messages the device took on an OUT endpoint, unpacked, oldest first.
std::vector<std::string> Messages(int device, int endpoint);
// Waits until the device has taken `count` messages on the endpoint, at most
// `ms` of real time; whether it has.
bool WaitForMessages(int device, int endpoint, std::size_t count, int ms);
// The OUT transfers the device took, as they came.
std::vector<std::string> Transfers(int device, int endpoint);
// The endpoint stalls `times` times: the URB that meets a stall is answered
// with a stall handshake and halts the endpoint, and every URB is answered so
// until the halt is cleared (tests/usb/DeviceModel.h).
void Stall(int device, int endpoint, int times);
int ClearHalts(int device, int endpoint);
// OUT URBs on the endpoint are not taken while held (they stay pending).
void HoldWrites(int device, int endpoint, bool hold);
void SetVirtualTime(int device, bool on);

// The time (ms on the waiting thread's clock) between submit and discard of
// every OUT URB that was discarded, oldest first.
std::vector<long> DiscardedWriteAges();
// URBs submitted on the endpoint, and those pending now.
int Submitted(int device, int endpoint);
int Pending(int device, int endpoint);
// Emulated nodes open now.
int OpenNodes();
// Threads in a blocking reap now.
int BlockedReaps();
// Nodes closed while a transfer on them was still running (an URB pending,
// or a thread waiting in a reap or select).
int Violations();

} // namespace UsbDevfs
