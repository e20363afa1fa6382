// Fuzz target: arbitrary bytes taken as a run of received transfers (and as a
// device-interface name, and as udev's PRODUCT property of a device). The
// first byte picks the product and the packet size, the next ones give the
// length of each transfer. Joining must never read outside a transfer, and
// what a product-4 run assembles must be exactly the data bytes behind the
// index bytes.
#include "link/USB_Communication.h"
#include "platform/DeviceNotification.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::int32_t vendor = 0;
    std::int32_t product = 0;
    ParseDeviceInterfaceName(std::string(input), vendor, product);

    // A name is made from PRODUCT only when it starts "vendor/product/", each
    // 1 to 4 hexadecimal digits, and it names those ids again, whatever the
    // serial holds.
    const std::string productProperty(input);
    const std::string made = UsbDeviceInterfaceNameFromProduct(productProperty, productProperty.substr(size / 2));
    const auto firstSlash = productProperty.find('/');
    const auto secondSlash = firstSlash == std::string::npos ? firstSlash : productProperty.find('/', firstSlash + 1);
    auto hexField = [&](std::size_t from, std::size_t to) {
        const std::string field = productProperty.substr(from, to - from);
        if (field.empty() || field.size() > 4 ||
            field.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return -1L;
        return static_cast<long>(std::strtoul(field.c_str(), nullptr, 16));
    };
    const long wantVendor = firstSlash == std::string::npos ? -1 : hexField(0, firstSlash);
    const long wantProduct = secondSlash == std::string::npos ? -1 : hexField(firstSlash + 1, secondSlash);
    if (made.empty() != (wantVendor < 0 || wantProduct < 0))
        std::abort();
    if (!made.empty()) {
        ParseDeviceInterfaceName(made, vendor, product);
        if (vendor != wantVendor || product != wantProduct)
            std::abort();
    }

    const std::int32_t productID = (data[0] & 1) ? ChunkedProductID : 7;
    const int bufferSize = 1 + (data[0] >> 1); // 1..128
    std::string message;
    std::string expected;
    std::size_t pos = 1;
    while (pos < size) {
        const std::size_t length = std::min<std::size_t>(1 + data[pos] % bufferSize, size - pos - 1);
        ++pos;
        if (length == 0)
            break;
        const std::string_view transfer = input.substr(pos, length);
        pos += length;
        expected.append(productID == ChunkedProductID ? transfer.substr(1) : transfer);
        if (JoinUSBTransfer(productID, message, transfer, bufferSize)) {
            if (message != expected)
                std::abort();
            message.clear();
            expected.clear();
        }
    }

    // Splitting and joining again gives the message back.
    const std::string whole(input.substr(1));
    const std::string packed = PackUSBMessage(ChunkedProductID, bufferSize, whole);
    std::string joined;
    bool complete = false;
    const std::size_t chunk = bufferSize < 2 ? packed.size() : static_cast<std::size_t>(bufferSize);
    for (std::size_t at = 0; at < packed.size(); at += chunk) {
        if (complete)
            std::abort(); // nothing may follow the last chunk
        complete = JoinUSBTransfer(ChunkedProductID, joined, std::string_view(packed).substr(at, chunk), bufferSize);
    }
    if (!complete || joined != whole)
        std::abort();
    return 0;
}
