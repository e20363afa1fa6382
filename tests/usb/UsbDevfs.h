#pragma once
// An emulation of the kernel's usbdevfs, linked into a test program together
// with the real USB library. The library finds its busses in the folder that
// USB_DEVFS_PATH names (this emulation makes one and sets the variable when
// the program starts), reads the descriptors from the device node with
// read(), and does everything else with ioctl() and poll() (or select()) on
// the node's descriptor. The program's own open(), close(), ioctl(), poll(),
// ppoll() and select() stand in for the C library's: on the emulated nodes
// they act as the kernel does, on every other descriptor they pass straight
// through.
//
// The kernel's rules, in real time:
// - every transfer is an URB: submitted, completed by the device, then reaped
//   (REAPURBNDELAY gives -EAGAIN while none waits; REAPURB blocks for one
//   without holding up any other thread);
// - a message the device sends completes a pending IN URB at that moment, in
//   the thread that sends it; data waits on the device only while no URB is
//   pending on its endpoint;
// - poll() on the node reports POLLOUT while a completed URB waits to be
//   reaped, and POLLERR|POLLHUP once the device is gone;
// - DISCARDURB of a pending URB completes it with -ENOENT; of one that has
//   completed already it fails with EINVAL;
// - RELEASEINTERFACE ends the file's pending URBs with -ESHUTDOWN, as
//   unplugging ends every URB of the device; a request on the node of an
//   unplugged device fails with ENODEV;
// - a halted endpoint completes URBs with -EPIPE until its halt is cleared.
// Behind each node sits the maker's device: it takes messages on its OUT
// endpoints (chunked behind index bytes for product 4), echoes every bulk
// message on bulk IN (at once, or after a delay of its own), and sends what
// the test gives it on interrupt IN, cut into packets as it would send them.
//
// Each node's descriptor is a real file (the descriptors in it); beside it
// the emulation keeps an eventfd that is readable while the node would report
// an event, and the program's poll() waits on that in the node's place.
//
// Every function is thread-safe. Reset() only while no node is open.
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
// A device plugged in; the library sees it from its next search.
int AddDevice(std::uint16_t vendor, std::uint16_t product, const std::vector<TEndpoint>& endpoints);
// The device goes: its node vanishes, every URB still pending on it ends
// (-ESHUTDOWN) and every later request on its open descriptors fails with
// ENODEV.
void Unplug(int device);
// The next `times` requests of that kind fail with the error (errno, > 0)
// and do nothing else.
void Fail(int device, TCall call, int error, int times = 1);

// The device sends a message on interrupt IN (or bulk IN), in packets of the
// endpoint's size: product 4 behind index bytes, others as plain packets
// closed by a short (possibly empty) one. A pending URB takes the first
// packet at once.
void SendInterrupt(int device, const std::string& message);
void SendBulk(int device, const std::string& message);
// Whether the device echoes every message it gets on bulk OUT (default on),
// and after how long (µs, a random time between the two; default 0: at
// once). Echoes go out in the order their messages came.
void SetEcho(int device, bool echo);
void SetEchoDelay(int device, int minUs, int maxUs);
// The next DISCARDURB of a pending URB on the IN endpoint meets the device
// sending this message in that very moment: the URB completes with its first
// packet just before the discard comes, which then fails (EINVAL), and the
// rest waits on the device.
void SendAtDiscard(int device, int endpoint, const std::string& message);
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

// The real time (ms) between submit and discard of every OUT URB that was
// discarded, oldest first.
std::vector<long> DiscardedWriteAges();
// URBs submitted on the endpoint, and those pending now.
int Submitted(int device, int endpoint);
int Pending(int device, int endpoint);
// Emulated nodes open now.
int OpenNodes();
// Threads waiting on a node now: in a blocking reap, or in poll() or
// select() with a node among the descriptors.
int WaitingThreads();
// Nodes closed while a transfer on them was still running (an URB pending,
// or a thread waiting on the node).
int Violations();
// Requests the emulation does not know, by ioctl number (a library that asks
// for one gets ENOTTY).
std::vector<unsigned> UnknownRequests();

} // namespace UsbDevfs
