#pragma once
// The USB link over the libusb 0.1 interface.
//
// TUSB_Communication finds the device by vendor and product id, claims its
// interface 0, learns its endpoints, and moves messages (command byte plus
// data) with one sender thread and two receiver threads (bulk IN and
// interrupt IN). Device arrival and removal come as WM_DEVICECHANGE to the
// link's hidden window; the threads hand their results to the GUI thread only
// by posting to that window, so every event is raised in the GUI thread.
//
// The link code calls the usb_* functions of <usb.h>; the program links the
// real library, the tests either a scripted fake of the same functions or the
// real library over an emulation of the kernel's usbdevfs.
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

// A write waits at most this long.
inline constexpr int USBTransferTimeout = 10255;
// A read is re-armed in slices of this length: a read that times out does
// nothing. The three threads take turns on the one device handle (see
// TUSBTransferLock), so a slice is also the longest a send waits for each
// receiver ahead of it, and the longest the link waits for a receiver to
// leave its transfer before it closes the handle.
inline constexpr int USBReadSlice = 20;

// A stalled endpoint (-32): the thread clears the halt once, then waits before
// it tries the same transfer again, twice as long after each stall in a row,
// from USBStallFirstWait up to USBStallLongestWait (ms). A transfer that gets
// through, or a new device handle, ends the row. The package at the head of
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

// The turns of the three threads on one device handle. libusb 0.1 moves
// every transfer as an URB on the handle's one descriptor and reaps whatever
// URB of that descriptor completes next, another thread's as well; after a
// time-out it throws away the next completed URB of any thread. So only one
// transfer (or halt clearing) runs on a handle at a time. The turns go in the
// order they were asked for: a sender waits for at most the read slices of
// the receivers ahead of it, and a receiver that reads again at once queues
// behind it.
class TUSBTransferLock {
public:
    void lock();
    void unlock();

private:
    std::mutex FLock;
    std::condition_variable FTurn;
    std::uint64_t FNextTicket = 0;
    std::uint64_t FServing = 0;
};

// What the three threads share: a lock for the values the link hands them,
// a wake-up, the end request, and the transfer in progress.
class TUSBThread {
public:
    TUSBThread(HWND Window, TUSBTransferLock& Transfers, std::int32_t ProductID);
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
    // The handle from the next pass on. Returns once the thread no longer
    // uses an earlier handle in a transfer, so the caller may close that one.
    void SetHandle(usb_dev_handle* Handle);
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
    // Marks a transfer on Handle as running and waits for the thread's turn
    // on the handle; false (and nothing marked) when the link has taken that
    // handle away meanwhile or the thread is to end.
    bool EnterTransfer(usb_dev_handle* Handle);
    // Gives the turn to the next thread and unmarks the transfer.
    void LeaveTransfer();
    // The pause after a pass that moved nothing; false when told to end.
    bool Pause();
    // After a stall of Endpoint: clears its halt on Handle, then waits Wait ms
    // (or until the link hands a value or tells the thread to end) and
    // doubles Wait for the next stall of the row. False when told to end.
    bool RecoverFromStall(usb_dev_handle* Handle, int Endpoint, int& Wait, std::uint64_t Generation);

    HWND FWindow;

private:
    TUSBTransferLock& FTransfers;
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
    TUSBSender(HWND Window, TUSBSendList& SendList, TUSBTransferLock& Transfers, std::int32_t ProductID);
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
    TUSBReceiver(HWND Window, TUSBReceiveList& ReceiveList, TUSBTransferLock& Transfers, std::int32_t Kind,
                 std::int32_t ProductID);
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

    // The destructor's work with its errors: ends the three threads, releases
    // and closes the device ("Error (%d) releasing usb-interface" for any
    // release result below 0, "Error (%d) closing usb-interface %d"), frees the
    // lists and stops the notifications. No connection change is reported.
    // The object is fit only for freeing afterwards.
    void Shutdown();

    // 2: ProductID is 0; 1: VendorID is 0 (the state stays connecting);
    // 0: a search was made, found or not. Raises the libusb text when the
    // device cannot be configured or claimed.
    int Connect();
    void FindDevice();
    void OpenDevice();
    // Releases and closes the device and reports the link down. Result 0.
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
    void WakeThreads();
    std::unique_ptr<TUSBSender> NewSender();
    std::unique_ptr<TUSBReceiver> NewReceiver(std::int32_t Kind);

    std::unique_ptr<TMessageWindow> FWindow;
    TUSBTransferLock FTransfers; // before the threads: they use it until they end
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
