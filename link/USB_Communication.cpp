#include "link/USB_Communication.h"

#include "link/HexToInt.h"
#include "platform/Beep.h"
#include "platform/Exception.h"

#include "link/UsbLegacy.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

namespace {

// A time-out is -110 (-ETIMEDOUT) on Linux; libusb 0.1 on other systems said
// -116. Both mean the same to the threads.
bool IsTimeout(int result)
{
    return result == -116 || result == -ETIMEDOUT;
}

// The results after which a transfer is simply tried again.
bool IsRetry(int result)
{
    return result == -5 || IsTimeout(result);
}

// A transfer on a device that has been unplugged. Trying again, or in a new
// thread, fails the same way at once; the handle is dead until the link
// opens the device anew.
bool IsDeviceGone(int result)
{
    return result == -ENODEV;
}

// The endpoint answered with a stall handshake: it is halted until cleared.
bool IsStall(int result)
{
    return result == -EPIPE;
}

std::mutex gStallWaitLock;
std::function<void(int)> gStallWait;

std::string LibUsbError()
{
    const char* text = usb_strerror();
    return text ? text : "";
}

// The three threads run below normal priority. Lowering needs no privilege;
// where it fails anyway the thread runs at the normal one.
void LowerThreadPriority()
{
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, tid, 1);
}

} // namespace

void SetUSBStallWait(std::function<void(int ms)> wait)
{
    std::lock_guard lock(gStallWaitLock);
    gStallWait = std::move(wait);
}

std::recursive_mutex& USBListLock()
{
    static std::recursive_mutex lock;
    return lock;
}

// ---------------------------------------------------------------- message formats

std::string PackUSBMessage(std::int32_t ProductID, int MaxPacketSize, const std::string& Message)
{
    if (ProductID != ChunkedProductID)
        return Message;
    if (MaxPacketSize < 2) // no room for data behind an index byte: one chunk
        return static_cast<char>(0x80) + Message;
    const std::size_t chunk = static_cast<std::size_t>(MaxPacketSize) - 1;
    std::string out;
    out.reserve(Message.size() + Message.size() / chunk + 1);
    std::size_t pos = 0;
    unsigned index = 0;
    // Full chunks while a full one remains, then the rest (possibly empty) as
    // the last, shorter one.
    while (Message.size() - pos >= chunk) {
        out += static_cast<char>(index & 0x7F);
        out.append(Message, pos, chunk);
        pos += chunk;
        ++index;
    }
    out += static_cast<char>((index & 0x7F) | 0x80);
    out.append(Message, pos, std::string::npos);
    return out;
}

bool JoinUSBTransfer(std::int32_t ProductID, std::string& Message, std::string_view Transfer, int BufferSize)
{
    if (Transfer.empty()) // a zero-length packet ends what came in full transfers before it
        return ProductID != ChunkedProductID && !Message.empty();
    const auto first = static_cast<std::uint8_t>(Transfer.front());
    if (ProductID == ChunkedProductID) {
        Message.append(Transfer.substr(1));
        return (first & 0x80) != 0;
    }
    Message.append(Transfer);
    return (first & 0x80) != 0 || Transfer.size() < static_cast<std::size_t>(std::max(BufferSize, 0));
}

void ParseDeviceInterfaceName(const std::string& Name, std::int32_t& VendorID, std::int32_t& ProductID)
{
    VendorID = -1;
    ProductID = -1;
    const auto first = Name.find('#');
    if (first == std::string::npos)
        return;
    const auto second = Name.find('#', first + 1);
    if (second == std::string::npos)
        return;
    // "VID_1234&PID_0004"
    const std::string ids = Name.substr(first + 1, second - first - 1);
    const auto underscore = ids.find('_');
    if (underscore == std::string::npos)
        return;
    const auto amp = ids.find('&', underscore + 1);
    if (amp == std::string::npos)
        return;
    const std::string vendor = ids.substr(underscore + 1, amp - underscore - 1);
    const std::string rest = ids.substr(std::min(vendor.size() + 5, ids.size()));
    const auto next = rest.find('_');
    VendorID = HexToIntDef(vendor, -1);
    if (next != std::string::npos)
        ProductID = HexToIntDef(rest.substr(next + 1), -1);
}

// ---------------------------------------------------------------- threads

TUSBThread::TUSBThread(HWND Window, std::int32_t ProductID) : FWindow(Window)
{
    FValues.ProductID = ProductID;
}

TUSBThread::~TUSBThread()
{
    Stop();
}

void TUSBThread::Start()
{
    FThread = std::thread([this] {
        LowerThreadPriority();
        Execute();
    });
}

void TUSBThread::Terminate()
{
    {
        std::lock_guard lock(FLock);
        FTerminated = true;
    }
    FWake.notify_all();
}

void TUSBThread::Stop()
{
    Terminate();
    if (FThread.joinable())
        FThread.join();
}

void TUSBThread::Wake()
{
    Update([](TValues&) {});
}

void TUSBThread::SetHandle(usb_dev_handle* Handle)
{
    Update([&](TValues& v) { v.Handle = Handle; });
}

void TUSBThread::WaitForTransfer()
{
    std::unique_lock lock(FLock);
    FWake.wait(lock, [&] { return FInTransfer == nullptr || FInTransfer == FValues.Handle; });
}

void TUSBThread::SetProductID(std::int32_t Value)
{
    Update([&](TValues& v) { v.ProductID = Value; });
}

bool TUSBThread::BeginPass(TValues& Values, std::uint64_t& Generation)
{
    std::lock_guard lock(FLock);
    if (FTerminated)
        return false;
    Values = FValues;
    Generation = FGeneration;
    return true;
}

void TUSBThread::WaitForWork(std::uint64_t Generation)
{
    std::unique_lock lock(FLock);
    FWake.wait(lock, [&] { return FTerminated || FGeneration != Generation; });
}

void TUSBThread::Suspend()
{
    std::unique_lock lock(FLock);
    FSuspended = true;
    FWake.wait(lock, [&] { return FTerminated || !FSuspended; });
}

bool TUSBThread::EnterTransfer(usb_dev_handle* Handle)
{
    std::lock_guard lock(FLock);
    if (FTerminated || FValues.Handle != Handle)
        return false;
    FInTransfer = Handle;
    return true;
}

bool TUSBThread::LeaveTransfer()
{
    bool mine = false;
    {
        std::lock_guard lock(FLock);
        mine = FValues.Handle == FInTransfer;
        FInTransfer = nullptr;
    }
    FWake.notify_all();
    return mine;
}

bool TUSBThread::Pause()
{
    std::unique_lock lock(FLock);
    FWake.wait_for(lock, std::chrono::milliseconds(1), [&] { return FTerminated; });
    return !FTerminated;
}

bool TUSBThread::RecoverFromStall(usb_dev_handle* Handle, int Endpoint, int& Wait)
{
    if (!EnterTransfer(Handle))
        return Running();
    // Its result is of no use: the next try tells whether the endpoint takes
    // transfers again.
    (void)usb_clear_halt(Handle, static_cast<unsigned>(Endpoint));
    if (!LeaveTransfer())
        return Running();
    const int ms = Wait;
    Wait = std::min(Wait * 2, USBStallLongestWait);
    std::function<void(int)> wait;
    {
        std::lock_guard lock(gStallWaitLock);
        wait = gStallWait;
    }
    if (wait) {
        wait(ms);
        return Running();
    }
    // Only the end of the thread or the handle taken cuts the wait short: a
    // package queued meanwhile waits its turn behind the stalled one.
    std::unique_lock lock(FLock);
    FWake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return FTerminated || FValues.Handle != Handle; });
    return !FTerminated;
}

bool TUSBThread::Running()
{
    std::lock_guard lock(FLock);
    return !FTerminated;
}

TUSBSender::TUSBSender(HWND Window, TUSBSendList& SendList, std::int32_t ProductID)
    : TUSBThread(Window, ProductID), FSendList(SendList)
{
}

TUSBSender::~TUSBSender()
{
    Stop();
}

void TUSBSender::SetInterrupt_TX_Endpoint(int Value)
{
    Update([&](TValues& v) { v.InterruptEndpoint = Value; });
}

void TUSBSender::SetBulk_TX_Endpoint(int Value)
{
    Update([&](TValues& v) { v.BulkEndpoint = Value; });
}

void TUSBSender::RemoveHead()
{
    std::lock_guard lock(USBListLock());
    if (!FSendList.empty())
        FSendList.pop_front();
}

void TUSBSender::Execute()
{
    TValues values;
    std::uint64_t generation = 0;
    usb_dev_handle* lastHandle = nullptr;
    int stallWait = USBStallFirstWait;
    while (BeginPass(values, generation)) {
        if (!values.Handle) {
            WaitForWork(generation);
            continue;
        }
        if (values.Handle != lastHandle) { // a new handle starts without stalls
            lastHandle = values.Handle;
            stallWait = USBStallFirstWait;
        }
        // Only this thread removes packages, and the list only grows at its
        // end meanwhile, so the head stays valid while it is written outside
        // the lock.
        TPackage* head = nullptr;
        {
            std::lock_guard lock(USBListLock());
            if (!FSendList.empty())
                head = FSendList.front().get();
        }
        if (!head) {
            WaitForWork(generation);
            continue;
        }
        const int endpoint = head->Kind == USBTransferBulk        ? values.BulkEndpoint
                             : head->Kind == USBTransferInterrupt ? values.InterruptEndpoint
                                                                  : 0;
        if (endpoint == 0) { // no pipe for it: the package goes unwritten
            RemoveHead();
            continue;
        }
        if (!EnterTransfer(values.Handle))
            continue;
        const int size = static_cast<int>(head->Data.size());
        const int result = head->Kind == USBTransferBulk
                               ? usb_bulk_write(values.Handle, endpoint, head->Data.data(), size, USBTransferTimeout)
                               : usb_interrupt_write(values.Handle, endpoint, head->Data.data(), size,
                                                     USBTransferTimeout);
        const bool mine = LeaveTransfer();
        if (result >= size) {
            stallWait = USBStallFirstWait;
            RemoveHead();
            continue;
        }
        // The link took the handle during the write (closing ends it): the
        // package stays at the head for the next device, and nothing is
        // reported.
        if (!mine)
            continue;
        // Part of the package went before the transfer ended in an error or
        // its time-out (the layer reports the bytes moved): the device did
        // not take it whole. It stays at the head and goes again after the
        // halt is cleared; on a device that is gone the next try says so.
        if (IsStall(result) || result >= 0) {
            if (!RecoverFromStall(values.Handle, endpoint, stallWait))
                break;
            continue;
        }
        if (IsRetry(result)) { // the package stays at the head for the next pass
            if (!Pause())
                break;
            continue;
        }
        if (IsDeviceGone(result)) {
            // The package stays at the head for the device when it is back;
            // the link closes the dead handle and hands a new one later.
            TMessageWindow::PostMessage(FWindow, WM_CLOSEDEVICE, 0, 0);
            WaitForWork(generation);
            continue;
        }
        // The package stays at the head for the sender that replaces this one.
        TMessageWindow::PostMessage(FWindow, WM_ABNORMTERMINATE, USBThreadSender, 0);
        return;
    }
}

TUSBReceiver::TUSBReceiver(HWND Window, TUSBReceiveList& ReceiveList, std::int32_t Kind, std::int32_t ProductID)
    : TUSBThread(Window, ProductID), FReceiveList(ReceiveList), FKind(Kind)
{
}

TUSBReceiver::~TUSBReceiver()
{
    Stop();
}

void TUSBReceiver::SetInterrupt_RX_Endpoint(int Value)
{
    Update([&](TValues& v) { v.InterruptEndpoint = Value; });
}

void TUSBReceiver::SetBulk_RX_Endpoint(int Value)
{
    Update([&](TValues& v) { v.BulkEndpoint = Value; });
}

void TUSBReceiver::SetBulk_MaxPaketSize(int Value)
{
    Update([&](TValues& v) { v.BulkMaxPaketSize = Value; });
}

void TUSBReceiver::SetInterrupt_MaxPaketSize(int Value)
{
    Update([&](TValues& v) { v.InterruptMaxPaketSize = Value; });
}

void TUSBReceiver::Execute()
{
    const bool bulk = FKind == USBTransferBulk;
    TValues values;
    std::uint64_t generation = 0;
    usb_dev_handle* assembledOn = nullptr;
    int stallWait = USBStallFirstWait;
    std::vector<char> buffer;
    while (BeginPass(values, generation)) {
        // A message begun on an earlier device handle is not continued on
        // another one, and a new handle starts without stalls.
        if (values.Handle != assembledOn) {
            FMessage.clear();
            assembledOn = values.Handle;
            stallWait = USBStallFirstWait;
        }
        const int endpoint = bulk ? values.BulkEndpoint : values.InterruptEndpoint;
        const int size = bulk ? values.BulkMaxPaketSize : values.InterruptMaxPaketSize;
        if (!values.Handle || endpoint <= 0 || size <= 0) {
            WaitForWork(generation);
            continue;
        }
        buffer.resize(static_cast<std::size_t>(size));
        if (!EnterTransfer(values.Handle))
            continue;
        const int result = bulk ? usb_bulk_read(values.Handle, endpoint, buffer.data(), size, USBTransferTimeout)
                                : usb_interrupt_read(values.Handle, endpoint, buffer.data(), size,
                                                     USBTransferTimeout);
        const bool mine = LeaveTransfer();
        if (result >= 0) {
            // What the device sent is joined even when the link took the
            // handle meanwhile: it arrived before the link closed.
            const std::string_view transfer(buffer.data(), static_cast<std::size_t>(std::min(result, size)));
            if (JoinUSBTransfer(values.ProductID, FMessage, transfer, size)) {
                {
                    std::lock_guard lock(USBListLock());
                    FReceiveList.push_back(std::move(FMessage));
                }
                FMessage.clear();
                TMessageWindow::PostMessage(FWindow, WM_DATARECEIVED, 0, 0);
            }
            stallWait = USBStallFirstWait;
            if (result == 0 && !Pause()) // an empty packet: no reason to read again at once
                break;
            continue;
        }
        // The link took the handle during the read (closing ends it): nothing
        // is reported, no beep, no new thread.
        if (!mine)
            continue;
        if (IsStall(result)) {
            if (!RecoverFromStall(values.Handle, endpoint, stallWait))
                break;
            continue;
        }
        if (IsRetry(result)) {
            if (!Pause())
                break;
            continue;
        }
        if (result == -12 || result == -22) {
            Suspend();
            continue;
        }
        if (IsDeviceGone(result)) {
            // No beep and no new thread: the device was unplugged. The link
            // closes, and this receiver waits for the handle of the next
            // connect.
            TMessageWindow::PostMessage(FWindow, WM_CLOSEDEVICE, 0, 0);
            WaitForWork(generation);
            continue;
        }
        MessageBeep(MB_BEEP_INFORMATION);
        TMessageWindow::PostMessage(FWindow, WM_ABNORMTERMINATE,
                                    bulk ? USBThreadBulkReceiver : USBThreadInterruptReceiver, 0);
        return;
    }
}

// ---------------------------------------------------------------- the link

TUSB_Communication::TUSB_Communication(std::int32_t VendorID, std::int32_t ProductID)
    : FProductID(ProductID), FVendorID(VendorID)
{
    usb_init();
    usb_set_debug(0);
    FWindow = std::make_unique<TMessageWindow>([this](TMessage& m) { WndProc(m); });
    FNotification = RegisterDeviceNotification(FWindow->Handle(), GUID_DEVINTERFACE_USB_DEVICE);
    FSender = NewSender();
    FSender->Start();
    FBulkReceiver = NewReceiver(USBTransferBulk);
    FBulkReceiver->Start();
    FInterruptReceiver = NewReceiver(USBTransferInterrupt);
    FInterruptReceiver->Start();
}

TUSB_Communication::~TUSB_Communication()
{
    // Shutdown has done its work when it raises; the error goes to the record.
    RunWithoutRaising("TUSB_Communication.Destroy", [this] { Shutdown(); });
}

void TUSB_Communication::Shutdown()
{
    if (FShutDown)
        return;
    FShutDown = true;
    FState = 0;
    std::string error;
    if (FDeviceHandle) {
        // Releasing the interface ends the transfers the threads wait in.
        const int released = ReleaseDevice();
        if (released < 0)
            error = Format("Error (%d) releasing usb-interface", released);
    }
    // The threads end (suspended receivers are woken to end) before the
    // handle is closed and the lists go.
    FSender.reset();
    FBulkReceiver.reset();
    FInterruptReceiver.reset();
    if (FDeviceHandle) {
        const int closed = usb_close(FDeviceHandle);
        if (closed < 0 && error.empty())
            error = Format("Error (%d) closing usb-interface %d", closed, 0);
        FDeviceHandle = nullptr;
    }
    {
        std::lock_guard lock(USBListLock());
        FReceiveList.clear();
        FSendList.clear();
    }
    UnregisterDeviceNotification(FNotification);
    FNotification = 0;
    FWindow.reset();
    if (!error.empty())
        throw Exception(error);
}

HWND TUSB_Communication::Handle() const
{
    return FWindow ? FWindow->Handle() : 0;
}

std::unique_ptr<TUSBSender> TUSB_Communication::NewSender()
{
    auto sender = std::make_unique<TUSBSender>(FWindow->Handle(), FSendList, FProductID);
    sender->SetBulk_TX_Endpoint(FBulkOut);
    sender->SetInterrupt_TX_Endpoint(FInterruptOut);
    return sender;
}

std::unique_ptr<TUSBReceiver> TUSB_Communication::NewReceiver(std::int32_t Kind)
{
    auto receiver = std::make_unique<TUSBReceiver>(FWindow->Handle(), FReceiveList, Kind, FProductID);
    receiver->SetBulk_RX_Endpoint(FBulkIn);
    receiver->SetBulk_MaxPaketSize(FBulkInSize);
    receiver->SetInterrupt_RX_Endpoint(FInterruptIn);
    receiver->SetInterrupt_MaxPaketSize(FInterruptInSize);
    return receiver;
}

void TUSB_Communication::SetThreadHandles(usb_dev_handle* Handle)
{
    FSender->SetHandle(Handle);
    FBulkReceiver->SetHandle(Handle);
    FInterruptReceiver->SetHandle(Handle);
}

void TUSB_Communication::WaitForThreadTransfers()
{
    FSender->WaitForTransfer();
    FBulkReceiver->WaitForTransfer();
    FInterruptReceiver->WaitForTransfer();
}

int TUSB_Communication::ReleaseDevice()
{
    // The handle is the threads' no more before the release ends their
    // transfers, so none of them reports that end; then none may still be in
    // a transfer on it when it is closed.
    SetThreadHandles(nullptr);
    const int released = usb_release_interface(FDeviceHandle, 0);
    WaitForThreadTransfers();
    return released;
}

void TUSB_Communication::WakeThreads()
{
    FSender->Wake();
    FBulkReceiver->Wake();
    FInterruptReceiver->Wake();
}

void TUSB_Communication::SetProductID(std::int32_t Value)
{
    FProductID = Value;
    if (FShutDown)
        return;
    FSender->SetProductID(Value);
    FBulkReceiver->SetProductID(Value);
    FInterruptReceiver->SetProductID(Value);
}

int TUSB_Communication::Connect()
{
    if (FShutDown)
        return 0;
    // A search while a device is open would leave that handle open and
    // claimed; it is closed first.
    if (FDeviceHandle)
        Close();
    FState = 1;
    if (FProductID == 0)
        return 2;
    if (FVendorID == 0)
        return 1;
    FindDevice();
    OpenDevice();
    if (FState == 2)
        WakeThreads();
    return 0;
}

void TUSB_Communication::FindDevice()
{
    FState = 0;
    FDevice = nullptr;
    usb_init();
    usb_find_busses();
    usb_find_devices();
    for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            if (static_cast<std::int32_t>(device->descriptor.idVendor) != FVendorID ||
                static_cast<std::int32_t>(device->descriptor.idProduct) != FProductID)
                continue;
            // The probe: the device must open, take configuration 1 and give
            // up interface 0.
            usb_dev_handle* probe = usb_open(device);
            if (!probe)
                continue;
            if (usb_set_configuration(probe, 1) < 0 || usb_claim_interface(probe, 0) < 0) {
                usb_close(probe);
                continue;
            }
            usb_release_interface(probe, 0);
            usb_close(probe);
            FDevice = device;
            ReadEndpoints(device);
            return;
        }
    }
}

void TUSB_Communication::ReadEndpoints(struct usb_device* Device)
{
    if (!Device->config)
        return;
    for (int c = 0; c < Device->descriptor.bNumConfigurations; ++c) {
        const usb_config_descriptor& config = Device->config[c];
        if (!config.interface)
            continue;
        for (int i = 0; i < config.bNumInterfaces; ++i) {
            const usb_interface& interface = config.interface[i];
            if (!interface.altsetting)
                continue;
            for (int a = 0; a < interface.num_altsetting; ++a) {
                const usb_interface_descriptor& setting = interface.altsetting[a];
                if (!setting.endpoint)
                    continue;
                for (int e = 0; e < setting.bNumEndpoints; ++e) {
                    const usb_endpoint_descriptor& endpoint = setting.endpoint[e];
                    const int address = endpoint.bEndpointAddress;
                    const bool in = (address & USB_ENDPOINT_DIR_MASK) != 0;
                    switch (endpoint.bmAttributes) {
                    case USB_ENDPOINT_TYPE_CONTROL:
                    case USB_ENDPOINT_TYPE_ISOCHRONOUS: break;
                    case USB_ENDPOINT_TYPE_BULK:
                        if (in) {
                            FBulkIn = address;
                            FBulkInSize = endpoint.wMaxPacketSize;
                            FBulkReceiver->SetBulk_RX_Endpoint(FBulkIn);
                            FBulkReceiver->SetBulk_MaxPaketSize(FBulkInSize);
                        } else {
                            FBulkOut = address;
                            FSender->SetBulk_TX_Endpoint(FBulkOut);
                        }
                        break;
                    case USB_ENDPOINT_TYPE_INTERRUPT:
                        if (in) {
                            FInterruptIn = address;
                            FInterruptInSize = endpoint.wMaxPacketSize;
                            FInterruptReceiver->SetInterrupt_RX_Endpoint(FInterruptIn);
                            FInterruptReceiver->SetInterrupt_MaxPaketSize(FInterruptInSize);
                        } else {
                            FInterruptOut = address;
                            FSender->SetInterrupt_TX_Endpoint(FInterruptOut);
                        }
                        break;
                    default:
                        throw Exception(Format("Invalid endpoint attribute %d for endpoint address %d",
                                               endpoint.bmAttributes, address));
                    }
                }
            }
        }
    }
}

void TUSB_Communication::OpenDevice()
{
    if (FDevice) {
        usb_dev_handle* handle = usb_open(FDevice);
        if (!handle)
            throw Exception(LibUsbError());
        if (usb_set_configuration(handle, 1) < 0) {
            const std::string text = LibUsbError();
            usb_close(handle);
            throw Exception(text);
        }
        const int claimed = usb_claim_interface(handle, 0);
        if (claimed < 0) {
            const std::string text = LibUsbError();
            usb_close(handle);
            FState = 0;
            if (claimed == -5)
                TMessageWindow::PostMessage(FWindow->Handle(), WM_CLOSEDEVICE, 0, 0);
            else
                throw Exception(text);
        } else {
            FDeviceHandle = handle;
            FState = 2;
            if (FOnConnectionChange)
                FOnConnectionChange(this, true);
        }
    }
    if (FDeviceHandle) {
        SetThreadHandles(FDeviceHandle);
        WakeThreads();
    } else {
        SetThreadHandles(nullptr);
    }
}

int TUSB_Communication::Close()
{
    if (FState != 0 && !FShutDown) {
        std::string error;
        if (FDeviceHandle) {
            const int released = ReleaseDevice();
            if (released < 0 && released != -5)
                error = Format("Error (%d) releasing usb-interface", released);
            const int closed = usb_close(FDeviceHandle);
            if (closed < 0 && error.empty())
                error = Format("Error (%d) closing usb-interface %d", closed, 0);
            FDeviceHandle = nullptr;
        }
        // The link is down whatever the release said: the handle is gone.
        // (The threads gave it up above, so a handler that connects again
        // keeps the handle it opens.)
        FState = 0;
        if (FOnConnectionChange)
            FOnConnectionChange(this, false);
        if (!error.empty())
            throw Exception(error);
    }
    return 0;
}

void TUSB_Communication::Reconnect()
{
    Close();
    Connect();
}

void TUSB_Communication::QueuePackage(char Cmd, const std::string& Data, std::int32_t Kind)
{
    if (!FDeviceHandle || FShutDown)
        return;
    auto package = std::make_unique<TPackage>();
    package->Kind = Kind;
    package->Data = PackUSBMessage(FProductID, FInterruptInSize, std::string(1, Cmd) + Data);
    {
        std::lock_guard lock(USBListLock());
        FSendList.push_back(std::move(package));
        if (FOnDebugSendData)
            FOnDebugSendData(FSendList.back()->Data);
    }
    FSender->Wake();
}

bool TUSB_Communication::SendBusy() const
{
    if (!FSender)
        return false;
    std::lock_guard lock(USBListLock());
    return !FSendList.empty();
}

std::int32_t TUSB_Communication::SendQueueAmount() const
{
    std::lock_guard lock(USBListLock());
    return static_cast<std::int32_t>(FSendList.size());
}

// ---------------------------------------------------------------- the window

void TUSB_Communication::WndProc(TMessage& Message)
{
    try {
        switch (Message.Msg) {
        case WM_DEVICECHANGE: DeviceChange(Message); break;
        case WM_DATARECEIVED: DataReceived(); break;
        case WM_ABNORMTERMINATE: RestartThread(Message.WParam); break;
        case WM_CLOSEDEVICE: Close(); break;
        default: break;
        }
    } catch (...) {
        // Nothing that goes wrong here reaches the user (an arrival of a
        // device that cannot be configured, say).
    }
}

void TUSB_Communication::DeviceChange(const TMessage& Message)
{
    if (Message.LParam != DBT_DEVTYP_DEVICEINTERFACE || !Message.Block)
        return;
    std::int32_t vendor = -1;
    std::int32_t product = -1;
    ParseDeviceInterfaceName(*Message.Block, vendor, product);
    if (vendor != FVendorID || product != FProductID)
        return;
    if (Message.WParam == DBT_DEVICEARRIVAL) {
        // A link that holds its device already keeps it.
        if (FState != 2)
            Connect();
    } else if (Message.WParam == DBT_DEVICEREMOVECOMPLETE) {
        Close();
    }
}

void TUSB_Communication::DataReceived()
{
    if (!FOnReceive)
        return;
    std::string message;
    {
        std::lock_guard lock(USBListLock());
        if (!FReceiveList.empty()) {
            message = std::move(FReceiveList.front());
            FReceiveList.pop_front();
        }
    }
    // The handlers run on copies: a handler may free the link (the program
    // switches the interface in answer to a message), and nothing of the link
    // is touched once the first one runs.
    const TDebugmessage debug = FOnDebugReceiveData;
    const TReceiveEvent receive = FOnReceive;
    if (debug)
        debug(message);
    if (message.empty())
        receive(this, '\0', std::string());
    else
        receive(this, message[0], message.substr(1));
}

void TUSB_Communication::RestartThread(std::uintptr_t Which)
{
    if (FShutDown)
        return;
    switch (Which) {
    case USBThreadSender:
        FSender.reset(); // the ended thread is joined
        FSender = NewSender();
        FSender->SetHandle(FDeviceHandle);
        FSender->Start();
        break;
    case USBThreadBulkReceiver:
        FBulkReceiver.reset();
        FBulkReceiver = NewReceiver(USBTransferBulk);
        FBulkReceiver->SetHandle(FDeviceHandle);
        FBulkReceiver->Start();
        break;
    case USBThreadInterruptReceiver:
        FInterruptReceiver.reset();
        FInterruptReceiver = NewReceiver(USBTransferInterrupt);
        FInterruptReceiver->SetHandle(FDeviceHandle);
        FInterruptReceiver->Start();
        break;
    default: break;
    }
}
