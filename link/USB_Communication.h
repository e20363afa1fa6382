#pragma once
// The USB link over the libusb 0.1 interface (link/UsbLegacy.h).
//
// TUSB_Communication finds the device by vendor and product id, claims its
// interface 0, learns its endpoints, and moves messages (command byte plus
// data) with one sender thread and two receiver threads (bulk IN and
// interrupt IN). Device arrival and removal come as WM_DEVICECHANGE to the
// link's hidden window; the threads hand their results to the GUI thread only
// by posting to that window, so every event is raised in the GUI thread.
//
// The link code calls the usb_* functions of link/UsbLegacy.h; the program
// links our layer of them over libusb-1.0, the tests either a scripted fake of
// the same functions or the layer over an emulation of the kernel's usbdevfs.
// The three threads transfer on the one device handle at once.
#include "link/ComTypes.h"
#include "platform/DeviceNotification.h"
#include "platform/MessageWindow.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct usb_device;
struct usb_dev_handle;

// The maker's USB vendor id, the one the main window sets on the link. It is a
// value from the top of the id range that no vendor holds; the udev rule in
// packaging/udev names the same value.
inline constexpr std::int32_t ZorvatekVendorID = 0xFFF0;
// The product whose messages travel in chunks behind index bytes.
inline constexpr std::int32_t ChunkedProductID = 4;

// Messages of the link window.
enum : std::uint32_t {
    WM_DATARECEIVED = 0x0830,    // a complete message is in the receive list
    WM_ABNORMTERMINATE = 0x0831, // a thread ended on an error; wParam names it
    WM_CLOSEDEVICE = 0x0832,     // Close (a failed claim, or a thread that found the device gone)
};
// wParam of WM_ABNORMTERMINATE.
enum : std::uintptr_t { USBThreadBulkReceiver = 0, USBThreadInterruptReceiver = 1, USBThreadSender = 2 };

// Transfer kinds of a package.
enum : std::int32_t { USBTransferInterrupt = 0, USBTransferBulk = 1 };

// A transfer, a write or a read, waits at most this long. A read that times
// out does nothing and is made again; closing the link ends the transfers
// still waiting at once (releasing the interface ends them).
inline constexpr int USBTransferTimeout = 10255;

// A stalled endpoint (-32): the thread clears the halt once, then waits before
// it tries the same transfer again, twice as long after each stall in a row,
// from USBStallFirstWait up to USBStallLongestWait (ms). A transfer that gets
// through, or a new device handle, ends the row; a new package does not
// shorten the wait. The package at the head of
// the send list stays there meanwhile; no thread ends or beeps for a stall.
inline constexpr int USBStallFirstWait = 10;
inline constexpr int USBStallLongestWait = 1000;
// How the threads wait after a stall: tests put a clock of their own here (it
// is called in the waiting thread, which then goes on at once). Empty: real
// time.
void SetUSBStallWait(std::function<void(int ms)> wait);

// The process-wide lock of the USB send and receive lists (recursive, as a
// handler that runs under it may send again).
std::recursive_mutex& USBListLock();

// One queued send unit: the pipe (0 interrupt, 1 bulk) and the bytes to write.
class TPackage {
public:
    std::int32_t Kind = USBTransferInterrupt;
    std::string Data;
};

using TUSBSendList = std::list<std::unique_ptr<TPackage>>;
using TUSBReceiveList = std::deque<std::string>;

// The bytes of one message as they go out. Product 4: chunks of M - 1 message
// bytes (M = MaxPacketSize, the interrupt IN packet size), each behind an
// index byte 0, 1, 2...; the last chunk is shorter than M - 1 (empty when the
// message fills its chunks exactly) and its index carries 0x80. The index
// counts in seven bits, so a long message never sets 0x80 early. With M below
// 2 the message goes as one chunk. Every other product: the message as it is.
std::string PackUSBMessage(std::int32_t ProductID, int MaxPacketSize, const std::string& Message);

// Joins one received transfer into Message; true when the message is
// complete. Product 4: the first byte is an index byte and is dropped; the
// index with 0x80 ends the message (an empty transfer carries no index and is
// ignored). Others: the whole transfer is message data; a first byte with
// 0x80 or a transfer shorter than BufferSize ends it, a zero-length one too
// when there is a message to end.
bool JoinUSBTransfer(std::int32_t ProductID, std::string& Message, std::string_view Transfer, int BufferSize);

// The vendor and product ids in a device-interface name
// ("\\?\USB#VID_1234&PID_0004#..."); -1 for a value that is not there or
// not hexadecimal.
void ParseDeviceInterfaceName(const std::string& Name, std::int32_t& VendorID, std::int32_t& ProductID);

// What the three threads share: a lock for the values the link hands them,
// a wake-up, the end request, and the transfer in progress.
class TUSBThread {
public:
    TUSBThread(HWND Window, std::int32_t ProductID);
    virtual ~TUSBThread(); // ends and joins the thread
    TUSBThread(const TUSBThread&) = delete;
    TUSBThread& operator=(const TUSBThread&) = delete;

    void Start();
    // Asks the thread to end and wakes it.
    void Terminate();
    // Terminate, and waits until the thread has ended.
    void Stop();
    // Wakes the thread, a suspended receiver included.
    void Wake();
    // The handle from the next pass on. A transfer on an earlier handle that
    // is still running is no longer the thread's: whatever ends it, the
    // thread reports nothing for it.
    void SetHandle(usb_dev_handle* Handle);
    // Returns once the thread is in no transfer on an earlier handle than the
    // one it was last handed, so the caller may close that one.
    void WaitForTransfer();
    void SetProductID(std::int32_t Value);

protected:
    struct TValues {
        usb_dev_handle* Handle = nullptr;
        std::int32_t ProductID = 0;
        int InterruptEndpoint = 0;
        int BulkEndpoint = 0;
        int BulkMaxPaketSize = 0;
        int InterruptMaxPaketSize = 0;
    };

    virtual void Execute() = 0;
    // Changes the values under the lock and wakes the thread.
    template <typename F> void Update(F change)
    {
        {
            std::lock_guard lock(FLock);
            change(FValues);
            ++FGeneration;
            FSuspended = false;
        }
        FWake.notify_all();
    }
    // The values for one pass; false when the thread is to end.
    bool BeginPass(TValues& Values, std::uint64_t& Generation);
    // Sleeps until the link hands a value or wakes the thread after the pass
    // began (or tells it to end), when the pass found nothing to do.
    void WaitForWork(std::uint64_t Generation);
    // Suspends the thread until the link next wakes it (or hands it a value,
    // or tells it to end); a wake from before does not count.
    void Suspend();
    // Marks a transfer (or halt clearing) on Handle as running; false (and
    // nothing marked) when the link has taken that handle away meanwhile or
    // the thread is to end.
    bool EnterTransfer(usb_dev_handle* Handle);
    // Unmarks the transfer; whether the handle is still the thread's (false:
    // the link took it during the transfer, and the transfer's end is
    // reported to no one).
    bool LeaveTransfer();
    // The pause after a pass that moved nothing; false when told to end.
    bool Pause();
    // Whether the thread is to go on (not told to end).
    bool Running();
    // After a stall of Endpoint: clears its halt on Handle, then waits Wait ms
    // (or until the link takes the handle or tells the thread to end) and
    // doubles Wait for the next stall of the row. False when told to end.
    bool RecoverFromStall(usb_dev_handle* Handle, int Endpoint, int& Wait);

    HWND FWindow;

private:
    std::mutex FLock;
    std::condition_variable FWake;
    TValues FValues;
    std::uint64_t FGeneration = 0;
    bool FTerminated = false;
    bool FSuspended = false;
    usb_dev_handle* FInTransfer = nullptr;
    std::thread FThread;
};

// Takes the head package of the send list and writes it to its pipe.
class TUSBSender : public TUSBThread {
public:
    TUSBSender(HWND Window, TUSBSendList& SendList, std::int32_t ProductID);
    ~TUSBSender() override;
    void SetInterrupt_TX_Endpoint(int Value);
    void SetBulk_TX_Endpoint(int Value);

protected:
    void Execute() override;

private:
    void RemoveHead();

    TUSBSendList& FSendList;
};

// Reads its IN endpoint and joins the transfers into messages.
class TUSBReceiver : public TUSBThread {
public:
    // Kind: 1 bulk, 0 interrupt.
    TUSBReceiver(HWND Window, TUSBReceiveList& ReceiveList, std::int32_t Kind, std::int32_t ProductID);
    ~TUSBReceiver() override;
    void SetInterrupt_RX_Endpoint(int Value);
    void SetBulk_RX_Endpoint(int Value);
    void SetBulk_MaxPaketSize(int Value);
    void SetInterrupt_MaxPaketSize(int Value);

protected:
    void Execute() override;

private:
    TUSBReceiveList& FReceiveList;
    std::int32_t FKind;
    std::string FMessage; // the message being assembled (receiver thread only)
};

class TUSB_Communication : public TObject {
public:
    TUSB_Communication(std::int32_t VendorID, std::int32_t ProductID);
    // Does what Shutdown does, if that has not run; an error is not raised
    // but handed to HandleUnraisableError.
    ~TUSB_Communication() override;

    // The destructor's work with its errors: takes the handle from the three
    // threads, releases the interface ("Error (%d) releasing usb-interface"
    // for any result below 0), which ends their transfers, ends the threads,
    // closes the device ("Error (%d) closing usb-interface %d"), frees the
    // lists and stops the notifications. No connection change is reported.
    // The object is fit only for freeing afterwards.
    void Shutdown();

    // 2: ProductID is 0; 1: VendorID is 0 (the state stays connecting);
    // 0: a search was made, found or not. Raises the libusb text when the
    // device cannot be configured or claimed.
    int Connect();
    void FindDevice();
    void OpenDevice();
    // Takes the handle from the threads, releases the interface (which ends
    // their transfers), waits until they have left them, closes the device
    // and reports the link down. Result 0.
    int Close();
    void Reconnect();

    // Queues a message for a pipe (0 interrupt, 1 bulk); dropped when no
    // device is open.
    void QueuePackage(char Cmd, const std::string& Data, std::int32_t Kind);
    void SendBulk(char Cmd, const std::string& Data) { QueuePackage(Cmd, Data, USBTransferBulk); }
    void SendInterrupt(char Cmd, const std::string& Data) { QueuePackage(Cmd, Data, USBTransferInterrupt); }

    bool Connected() const { return FState == 2; }
    int State() const { return FState; }
    bool SendBusy() const;
    std::int32_t SendQueueAmount() const;

    std::int32_t ProductID() const { return FProductID; }
    void SetProductID(std::int32_t Value);
    std::int32_t VendorID() const { return FVendorID; }
    void SetVendorID(std::int32_t Value) { FVendorID = Value; }

    void SetOnReceive(TReceiveEvent e) { FOnReceive = std::move(e); }
    void SetOnConnectionChange(TConnectionEvent e) { FOnConnectionChange = std::move(e); }
    void SetOnDebugSendData(TDebugmessage e) { FOnDebugSendData = std::move(e); }
    void SetOnDebugReceiveData(TDebugmessage e) { FOnDebugReceiveData = std::move(e); }

    // The hidden window; for whoever posts to it (tests).
    HWND Handle() const;
    usb_dev_handle* DeviceHandle() const { return FDeviceHandle; }
    int InterruptOutEndpoint() const { return FInterruptOut; }
    int InterruptInEndpoint() const { return FInterruptIn; }
    int BulkOutEndpoint() const { return FBulkOut; }
    int BulkInEndpoint() const { return FBulkIn; }
    int BulkInMaxPaketSize() const { return FBulkInSize; }
    int InterruptInMaxPaketSize() const { return FInterruptInSize; }

private:
    void WndProc(TMessage& Message);
    void DeviceChange(const TMessage& Message);
    void DataReceived();
    void RestartThread(std::uintptr_t Which);
    void ReadEndpoints(struct usb_device* Device);
    void SetThreadHandles(usb_dev_handle* Handle);
    void WaitForThreadTransfers();
    // Takes the handle from the threads, releases interface 0 and waits until
    // no thread is in a transfer on it; the release's result.
    int ReleaseDevice();
    void WakeThreads();
    std::unique_ptr<TUSBSender> NewSender();
    std::unique_ptr<TUSBReceiver> NewReceiver(std::int32_t Kind);

    std::unique_ptr<TMessageWindow> FWindow;
    std::unique_ptr<TUSBSender> FSender;
    std::unique_ptr<TUSBReceiver> FBulkReceiver;
    std::unique_ptr<TUSBReceiver> FInterruptReceiver;
    TUSBReceiveList FReceiveList;
    TUSBSendList FSendList;
    std::int32_t FProductID;
    std::int32_t FVendorID;
    int FState = 0; // 0 closed, 1 connecting, 2 connected
    TReceiveEvent FOnReceive;
    TConnectionEvent FOnConnectionChange;
    usb_dev_handle* FDeviceHandle = nullptr;
    struct usb_device* FDevice = nullptr;
    int FInterruptOut = 0;
    int FInterruptIn = 0;
    int FBulkOut = 0;
    int FBulkIn = 0;
    int FBulkInSize = 0;
    int FInterruptInSize = 0;
    TDebugmessage FOnDebugSendData;
    TDebugmessage FOnDebugReceiveData;
    HDEVNOTIFY FNotification = 0;
    bool FShutDown = false;
};
