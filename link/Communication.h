#pragma once
// The program's one device link. It hides whether the serial link or the USB
// link is in use: callers send a command byte with data and get received
// messages and connection changes as events in the GUI thread. The events are
// raised by the link objects, so their Sender is the serial or USB link.
#include "link/ComTypes.h"
#include "platform/MessageWindow.h"

#include <cstdint>
#include <memory>
#include <string>

class TUSB_Communication;
class TMyComInterface;

class TCommunication : public TObject {
public:
    TCommunication();
    ~TCommunication() override;

    TInterfaceType InterfaceType() const { return FInterfaceType; }
    // Closes the other link and (re)creates the one named; itNone closes both.
    // An error of closing (a USB release) is raised after the new link is
    // open.
    void SetInterfaceType(TInterfaceType Value);

    bool Connected() const;
    bool Verbindung_ok() const { return Connected(); }
    void SetVerbindung_ok(bool Value);

    const TReceiveEvent& OnReceive() const { return FOnReceive; }
    void SetOnReceive(TReceiveEvent Value);
    const TConnectionEvent& OnConnectionChange() const { return FOnConnectionChange; }
    void SetOnConnectionChange(TConnectionEvent Value);
    const TDebugmessage& OnDebugSendData() const { return FOnDebugSendData; }
    void SetOnDebugSendData(TDebugmessage Value);
    const TDebugmessage& OnDebugReceiveData() const { return FOnDebugReceiveData; }
    void SetOnDebugReceiveData(TDebugmessage Value);
    const TStatusEvent& OnStatusChanged() const { return FOnStatusChanged; }
    void SetOnStatusChanged(TStatusEvent Value);

    std::int32_t VendorID() const { return FVendorID; }
    void SetVendorID(std::int32_t Value);
    std::int32_t ProductID() const { return FProductID; }
    void SetProductID(std::int32_t Value);
    std::uint16_t PortNumber() const { return FPortNumber; }
    void SetPortNumber(std::uint16_t Value);

    bool SendBusy() const;
    std::int32_t SendQueueAmount() const;
    TUploadReplyStatus UploadGoAheadReply() const { return FUploadGoAheadReply; }
    void SetUploadGoAheadReply(TUploadReplyStatus Value) { FUploadGoAheadReply = Value; }
    std::uint32_t Status() const;
    HWND Handle() const;

    // USB: close when connected, then search; true when no search was made
    // (an id is 0). Serial: open the port when it is closed; the Open flag.
    bool Reconnect();
    // Ends the transfer without freeing the link object.
    bool Close();
    // Transfer (USB only): 0 interrupt pipe, 1 bulk pipe, other values send
    // nothing. False only when the serial link has no port thread.
    bool Send(TObject* Sender, char Cmd, const std::string& Data, int Transfer);
    // The first character of Text is the command byte; an empty text sends
    // nothing and gives true.
    bool SendText(TObject* Sender, const std::string& Text, int Transfer);
    void ClearStatusBits(std::uint32_t Bits);

    // The link objects, for whoever needs to see them (tests, Sender checks).
    TMyComInterface* SerialLink() const { return FSerial.get(); }
    TUSB_Communication* USBLink() const { return FUSB.get(); }

private:
    void OpenSerial();
    void OpenUSB();
    void CloseSerial();
    void CloseUSB();

    TInterfaceType FInterfaceType = TInterfaceType::itNone;
    std::unique_ptr<TUSB_Communication> FUSB;
    std::unique_ptr<TMyComInterface> FSerial;
    std::int32_t FProductID = 0;
    std::int32_t FVendorID = 0;
    TStatusEvent FOnStatusChanged;
    std::uint16_t FPortNumber = 0;
    TReceiveEvent FOnReceive;
    TConnectionEvent FOnConnectionChange;
    TDebugmessage FOnDebugSendData;
    TDebugmessage FOnDebugReceiveData;
    TUploadReplyStatus FUploadGoAheadReply = TUploadReplyStatus::urUndefined;
};
