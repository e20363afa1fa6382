#include "link/Communication.h"

#include "link/Serial_Communication.h"
#include "link/USB_Communication.h"

#include <exception>

TCommunication::TCommunication() = default;

TCommunication::~TCommunication()
{
    // Freeing the link never fails: what closing it raises (a device pulled
    // before its interface was given back) is handed on for the record, and
    // the rest is freed all the same. SetInterfaceType and Close raise it.
    FInterfaceType = TInterfaceType::itNone;
    RunWithoutRaising("TCommunication.Destroy", [this] { CloseSerial(); });
    RunWithoutRaising("TCommunication.Destroy", [this] { CloseUSB(); });
}

void TCommunication::SetInterfaceType(TInterfaceType Value)
{
    FInterfaceType = Value;
    // A link that fails to close is gone all the same (its field is clear).
    // Its error reaches the caller, but only after the link asked for is
    // open: the object never names a type whose link it does not hold.
    std::exception_ptr closeError;
    auto close = [&](void (TCommunication::*step)()) {
        try {
            (this->*step)();
        } catch (...) {
            if (!closeError)
                closeError = std::current_exception();
        }
    };
    try {
        switch (Value) {
        case TInterfaceType::itSerial:
            close(&TCommunication::CloseUSB);
            OpenSerial();
            break;
        case TInterfaceType::itUSB:
            close(&TCommunication::CloseSerial);
            OpenUSB();
            break;
        case TInterfaceType::itNone:
            close(&TCommunication::CloseSerial);
            close(&TCommunication::CloseUSB);
            break;
        }
    } catch (...) {
        // Opening failed as well: the caller hears that error, as it tells
        // how the link stands now; the closing error goes to the record.
        if (closeError)
            RunWithoutRaising("TCommunication.SetInterfaceType", [&] { std::rethrow_exception(closeError); });
        throw;
    }
    if (closeError)
        std::rethrow_exception(closeError);
}

void TCommunication::OpenSerial()
{
    CloseSerial();
    FSerial = std::make_unique<TMyComInterface>();
    FSerial->SetPortNumber(FPortNumber);
    FSerial->SetOnReceive(FOnReceive);
    FSerial->SetOnVerbindungChange(FOnConnectionChange);
    FSerial->SetOnDebugReceiveData(FOnDebugReceiveData);
    FSerial->SetOnDebugSendData(FOnDebugSendData);
    FSerial->SetOnStatusChange(FOnStatusChanged);
    FSerial->SetOpen(true);
    FSerial->ClearStatusBits(Serial::OptionBeepOnJ);
}

void TCommunication::OpenUSB()
{
    CloseUSB();
    FUSB = std::make_unique<TUSB_Communication>(FVendorID, FProductID);
    FUSB->SetOnConnectionChange(FOnConnectionChange);
    FUSB->SetOnDebugReceiveData(FOnDebugReceiveData);
    FUSB->SetOnDebugSendData(FOnDebugSendData);
    FUSB->SetOnReceive(FOnReceive);
    FUSB->Connect();
}

void TCommunication::CloseSerial()
{
    if (!FSerial)
        return;
    std::unique_ptr<TMyComInterface> link = std::move(FSerial); // the field is clear whatever happens
    link->SetOpen(false);
    link->SetOnReceive({});
    link->SetOnVerbindungChange({});
    link->SetOnStatusChange({});
}

void TCommunication::CloseUSB()
{
    if (!FUSB)
        return;
    std::unique_ptr<TUSB_Communication> link = std::move(FUSB);
    link->SetOnReceive({});
    link->SetOnConnectionChange({});
    link->Shutdown(); // its release and close errors reach the caller; the object is freed either way
}

bool TCommunication::Connected() const
{
    if (FSerial)
        return FSerial->Verbindung_ok();
    if (FUSB) {
        try {
            return FUSB->Connected();
        } catch (...) {
            return false;
        }
    }
    return false;
}

void TCommunication::SetVerbindung_ok(bool Value)
{
    if (FSerial)
        FSerial->SetVerbindung_ok(Value);
}

void TCommunication::SetOnReceive(TReceiveEvent Value)
{
    FOnReceive = std::move(Value);
    if (FSerial)
        FSerial->SetOnReceive(FOnReceive);
    if (FUSB)
        FUSB->SetOnReceive(FOnReceive);
}

void TCommunication::SetOnConnectionChange(TConnectionEvent Value)
{
    FOnConnectionChange = std::move(Value);
    if (FSerial)
        FSerial->SetOnVerbindungChange(FOnConnectionChange);
    if (FUSB)
        FUSB->SetOnConnectionChange(FOnConnectionChange);
}

void TCommunication::SetOnDebugSendData(TDebugmessage Value)
{
    FOnDebugSendData = std::move(Value);
    if (FSerial)
        FSerial->SetOnDebugSendData(FOnDebugSendData);
    if (FUSB)
        FUSB->SetOnDebugSendData(FOnDebugSendData);
}

void TCommunication::SetOnDebugReceiveData(TDebugmessage Value)
{
    FOnDebugReceiveData = std::move(Value);
    if (FSerial)
        FSerial->SetOnDebugReceiveData(FOnDebugReceiveData);
    if (FUSB)
        FUSB->SetOnDebugReceiveData(FOnDebugReceiveData);
}

void TCommunication::SetOnStatusChanged(TStatusEvent Value)
{
    FOnStatusChanged = std::move(Value);
    if (FSerial)
        FSerial->SetOnStatusChange(FOnStatusChanged);
}

void TCommunication::SetVendorID(std::int32_t Value)
{
    FVendorID = Value;
    if (FUSB)
        FUSB->SetVendorID(Value);
}

void TCommunication::SetProductID(std::int32_t Value)
{
    FProductID = Value;
    if (FUSB)
        FUSB->SetProductID(Value);
}

void TCommunication::SetPortNumber(std::uint16_t Value)
{
    FPortNumber = Value;
    if (!FSerial)
        return;
    if (FSerial->Open()) {
        FSerial->SetOpen(false);
        FSerial->SetPortNumber(Value);
        FSerial->SetOpen(true);
    } else {
        FSerial->SetPortNumber(Value);
    }
}

bool TCommunication::SendBusy() const
{
    return FUSB ? FUSB->SendBusy() : false;
}

std::int32_t TCommunication::SendQueueAmount() const
{
    return FUSB ? FUSB->SendQueueAmount() : 0;
}

std::uint32_t TCommunication::Status() const
{
    return FSerial ? FSerial->Status() : 0;
}

HWND TCommunication::Handle() const
{
    return FSerial ? FSerial->Handle() : 0;
}

bool TCommunication::Reconnect()
{
    if (FUSB) {
        if (FUSB->Connected())
            FUSB->Close();
        return FUSB->Connect() != 0;
    }
    if (FSerial) {
        if (!FSerial->Open())
            FSerial->SetOpen(true);
        return FSerial->Open();
    }
    return false;
}

bool TCommunication::Close()
{
    if (FUSB) {
        FUSB->Close();
        return false;
    }
    if (FSerial) {
        FSerial->SetOpen(false);
        return true;
    }
    return true;
}

bool TCommunication::Send(TObject* Sender, char Cmd, const std::string& Data, int Transfer)
{
    if (FUSB) {
        if (Transfer == 0)
            FUSB->SendInterrupt(Cmd, Data);
        else if (Transfer == 1)
            FUSB->SendBulk(Cmd, Data);
        return true;
    }
    if (FSerial)
        return FSerial->Send(Sender, Cmd, Data);
    return true;
}

bool TCommunication::SendText(TObject* Sender, const std::string& Text, int Transfer)
{
    if (Text.empty())
        return true;
    return Send(Sender, Text[0], Text.substr(1), Transfer);
}

void TCommunication::ClearStatusBits(std::uint32_t Bits)
{
    if (FSerial)
        FSerial->ClearStatusBits(Bits);
}
