#pragma once
// What the two USB doubles (tests/usb/FakeUsb.cpp behind the libusb calls,
// tests/usb/UsbDevfs.cpp behind the kernel's usbdevfs) know alike of the
// maker's device: its usual endpoints, and how an endpoint halts.
#include <cstdint>
#include <vector>

namespace UsbDeviceModel {

// Interrupt IN 0x81 and OUT 0x01, bulk IN 0x82 and OUT 0x02, all with packets
// of `packet` bytes, in the endpoint record of either double.
template <typename TEndpoint> std::vector<TEndpoint> StandardEndpoints(std::uint16_t packet)
{
    return {{0x81, 3, packet}, {0x01, 3, packet}, {0x82, 2, packet}, {0x02, 2, packet}};
}

// The halt of one endpoint. The test asks for a number of stalls; the
// transfer that meets one is answered with a stall handshake and halts the
// endpoint, and while it is halted every transfer is answered so, without
// using up a stall, until the host clears the halt. So each stall asked for
// takes one clear.
struct THalt {
    int Stalls = 0; // still to come
    bool Halted = false;
    int ClearHalts = 0; // how often the host cleared the halt

    // Whether a transfer that reaches the endpoint now is stalled.
    bool Meets()
    {
        if (Halted)
            return true;
        if (Stalls <= 0)
            return false;
        --Stalls;
        Halted = true;
        return true;
    }
    void Clear()
    {
        Halted = false;
        ++ClearHalts;
    }
};

} // namespace UsbDeviceModel
