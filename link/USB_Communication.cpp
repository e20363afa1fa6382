#include "link/USB_Communication.h"

TUSB_Communication::TUSB_Communication(std::int32_t VendorID, std::int32_t ProductID)
    : FVendorID(VendorID), FProductID(ProductID)
{
}

TUSB_Communication::~TUSB_Communication() = default;

int TUSB_Communication::Connect()
{
    FState = 1;
    if (FProductID == 0)
        return 2;
    if (FVendorID == 0)
        return 1;
    FState = 0; // no device found
    return 0;
}

int TUSB_Communication::Close()
{
    if (FState != 0) {
        FState = 0;
        if (FOnConnectionChange)
            FOnConnectionChange(this, false);
    }
    return 0;
}

void TUSB_Communication::Reconnect()
{
    Close();
    Connect();
}

void TUSB_Communication::SendBulk(char, const std::string&)
{
    // No device is open: the message is dropped.
}

void TUSB_Communication::SendInterrupt(char, const std::string&)
{
}
