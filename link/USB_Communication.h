#pragma once
// The USB link. This first version finds no device: Connect searches nothing
// and the link stays closed; the transport proper comes with the libusb layer.
#include "link/ComTypes.h"

#include <cstdint>
#include <string>

// One queued send unit: the pipe (0 interrupt, 1 bulk) and the bytes.
class TPackage {
public:
    std::int32_t Kind = 0;
    std::string Data;
};

class TUSB_Communication : public TObject {
public:
    TUSB_Communication(std::int32_t VendorID, std::int32_t ProductID);
    ~TUSB_Communication() override;

    // 2: ProductID is 0; 1: VendorID is 0; 0: a search was made.
    int Connect();
    int Close();
    void Reconnect();

    void SendBulk(char Cmd, const std::string& Data);
    void SendInterrupt(char Cmd, const std::string& Data);

    bool Connected() const { return FState == 2; }
    bool SendBusy() const { return false; }
    std::int32_t SendQueueAmount() const { return 0; }

    std::int32_t ProductID() const { return FProductID; }
    void SetProductID(std::int32_t value) { FProductID = value; }
    std::int32_t VendorID() const { return FVendorID; }
    void SetVendorID(std::int32_t value) { FVendorID = value; }

    void SetOnReceive(TReceiveEvent e) { FOnReceive = std::move(e); }
    void SetOnConnectionChange(TConnectionEvent e) { FOnConnectionChange = std::move(e); }
    void SetOnDebugSendData(TDebugmessage e) { FOnDebugSendData = std::move(e); }
    void SetOnDebugReceiveData(TDebugmessage e) { FOnDebugReceiveData = std::move(e); }

private:
    std::int32_t FVendorID;
    std::int32_t FProductID;
    int FState = 0; // 0 closed, 1 connecting, 2 connected
    TReceiveEvent FOnReceive;
    TConnectionEvent FOnConnectionChange;
    TDebugmessage FOnDebugSendData;
    TDebugmessage FOnDebugReceiveData;
};
