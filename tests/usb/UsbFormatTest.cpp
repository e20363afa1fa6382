// Messages cut into transfers and joined again, and the device names that
// arrival and removal carry.
#include "link/USB_Communication.h"
#include "platform/DeviceNotification.h"
#include "tests/common/Bytes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Cuts packed bytes into the transfers a device with packets of `packet`
// bytes delivers.
std::vector<std::string> Transfers(const std::string& packed, int packet)
{
    std::vector<std::string> out;
    for (std::size_t at = 0; at < packed.size(); at += static_cast<std::size_t>(packet))
        out.push_back(packed.substr(at, static_cast<std::size_t>(packet)));
    return out;
}

struct TPackCase {
    const char* Name;
    std::int32_t Product;
    int Packet;
    std::string Message;
    std::string Packed;
};

} // namespace

TEST(UsbMessageFormat, PackingCutsProductFourIntoIndexedChunks)
{
    const std::vector<TPackCase> cases = {
        {"ten bytes in two chunks", 4, 8, "ABCDEFGHIJ", Bytes({0x00}) + "ABCDEFG" + Bytes({0x81}) + "HIJ"},
        {"six bytes in one chunk", 4, 8, "ABCDEF", Bytes({0x80}) + "ABCDEF"},
        {"one byte", 4, 8, "A", Bytes({0x80}) + "A"},
        // A message that fills its chunks exactly ends with an empty chunk,
        // so the device still sees the last index.
        {"exact multiple", 4, 8, "ABCDEFG", Bytes({0x00}) + "ABCDEFG" + Bytes({0x81})},
        {"one byte per chunk", 4, 2, "abc", Bytes({0x00, 'a', 0x01, 'b', 0x02, 'c', 0x83})},
        {"no room behind the index", 4, 1, "abc", Bytes({0x80}) + "abc"},
        {"no interrupt IN endpoint", 4, 0, "abc", Bytes({0x80}) + "abc"},
        {"other products go as they are", 7, 8, "ABCDEFGHIJ", "ABCDEFGHIJ"},
        {"also with high bytes", 1, 8, Bytes({0x81, 0x00}), Bytes({0x81, 0x00})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PackUSBMessage(c.Product, c.Packet, c.Message), c.Packed) << c.Name;
}

TEST(UsbMessageFormat, LongMessagesNeverMarkTheEndEarly)
{
    // 300 chunks of one byte: the index counts in seven bits, and only the
    // last one carries 0x80.
    const std::string message(300, 'x');
    const std::string packed = PackUSBMessage(4, 2, message);
    ASSERT_EQ(packed.size(), 2 * 300 + 1u);
    for (std::size_t chunk = 0; chunk < 300; ++chunk)
        EXPECT_EQ(static_cast<std::uint8_t>(packed[2 * chunk]), chunk % 128) << chunk;
    EXPECT_EQ(static_cast<std::uint8_t>(packed.back()), 0x80 | (300 % 128));
}

TEST(UsbMessageFormat, JoiningCompletesOnTheRightTransfer)
{
    struct TStep {
        std::string Transfer;
        bool Complete;
    };
    struct TCase {
        const char* Name;
        std::int32_t Product;
        int Buffer;
        std::vector<TStep> Steps;
        std::string Message; // after the last step
    };
    const std::vector<TCase> cases = {
        {"index 0x01 appends, 0x82 completes", 4, 8,
         {{Bytes({0x01}) + "ab", false}, {Bytes({0x82}) + "cd", true}}, "abcd"},
        {"a lone last index", 4, 8, {{Bytes({0x00}) + "ABCDEFG", false}, {Bytes({0x81}), true}}, "ABCDEFG"},
        {"product 4 ignores the length", 4, 8, {{Bytes({0x00}) + "ab", false}, {Bytes({0x80}) + "c", true}}, "abc"},
        {"a short transfer completes", 7, 8, {{"short", true}}, "short"},
        {"a full transfer waits", 7, 8, {{"ABCDEFGH", false}, {"IJ", true}}, "ABCDEFGHIJ"},
        {"a full transfer with a high first byte completes", 7, 8, {{Bytes({0x80}) + "BCDEFGH", true}},
         Bytes({0x80}) + "BCDEFGH"},
        {"two full transfers then a short one", 2, 4, {{"abcd", false}, {"efgh", false}, {"i", true}}, "abcdefghi"},
        {"a zero-length transfer ends full ones", 7, 4, {{"abcd", false}, {"", true}}, "abcd"},
        {"a zero-length transfer alone is nothing", 7, 4, {{"", false}}, ""},
        {"product 4 ignores an empty transfer", 4, 8, {{Bytes({0x00}) + "ab", false}, {"", false}}, "ab"},
    };
    for (const auto& c : cases) {
        std::string message;
        for (std::size_t i = 0; i < c.Steps.size(); ++i)
            EXPECT_EQ(JoinUSBTransfer(c.Product, message, c.Steps[i].Transfer, c.Buffer), c.Steps[i].Complete)
                << c.Name << ", step " << i;
        EXPECT_EQ(message, c.Message) << c.Name;
    }
}

TEST(UsbMessageFormat, RandomMessagesRoundTripThroughSplitAndJoin)
{
    std::mt19937 random(20240607);
    const int packets[] = {2, 3, 8, 16, 64};
    for (int round = 0; round < 2000; ++round) {
        const int packet = packets[round % 5];
        std::string message(std::uniform_int_distribution<int>(0, 2000)(random), '\0');
        for (char& c : message)
            c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        const auto transfers = Transfers(PackUSBMessage(4, packet, message), packet);
        std::string joined;
        for (std::size_t i = 0; i < transfers.size(); ++i) {
            const bool complete = JoinUSBTransfer(4, joined, transfers[i], packet);
            ASSERT_EQ(complete, i + 1 == transfers.size())
                << "round " << round << ", length " << message.size() << ", packet " << packet;
        }
        ASSERT_EQ(joined, message) << "round " << round;
    }
}

TEST(UsbDeviceNames, IdsAreReadFromTheDeviceInterfaceName)
{
    struct TCase {
        std::string Name;
        std::int32_t Vendor;
        std::int32_t Product;
    };
    const std::vector<TCase> cases = {
        {"\\\\?\\USB#VID_FFF0&PID_0004#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", 0xFFF0, 4},
        {"\\\\?\\usb#vid_fff0&pid_00a4#0001#{guid}", 0xFFF0, 0xA4},
        {"USB#VID_001234&PID_0004#x", 0x1234, 4}, // the product field follows the vendor value
        {"USB#VID_12G4&PID_0004#x", -1, 4},
        {"USB#VID_1234&PID_ZZ#x", 0x1234, -1},
        {"USB#VID_1234&PID#x", 0x1234, -1},
        {"USB#VID_1234#x", -1, -1},
        {"USB#VID_1234&PID_0004", -1, -1}, // no second "#"
        {"no separators at all", -1, -1},
        {"", -1, -1},
        {"##", -1, -1},
        {"#_&#", 0, -1},
    };
    for (const auto& c : cases) {
        std::int32_t vendor = 0;
        std::int32_t product = 0;
        ParseDeviceInterfaceName(c.Name, vendor, product);
        EXPECT_EQ(vendor, c.Vendor) << c.Name;
        EXPECT_EQ(product, c.Product) << c.Name;
    }
}

TEST(UsbDeviceNames, UdevProductPropertiesBecomeNamesTheLinkReads)
{
    EXPECT_EQ(UsbDeviceInterfaceNameFromProduct("fff0/4/100", "AB-12"),
              "\\\\?\\USB#VID_FFF0&PID_0004#AB_12#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(UsbDeviceInterfaceName(0x1d, 0xbeef, ""),
              "\\\\?\\USB#VID_001D&PID_BEEF#0#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    for (const char* bad : {"", "fff0", "fff0/4", "12345/4/1", "zz/4/1", "/4/1", "fff0//1"})
        EXPECT_EQ(UsbDeviceInterfaceNameFromProduct(bad, "1"), "") << bad;

    // A serial with "#" in it cannot shift the fields.
    std::int32_t vendor = 0;
    std::int32_t product = 0;
    ParseDeviceInterfaceName(UsbDeviceInterfaceNameFromProduct("fff0/4/100", "a#b&c_d"), vendor, product);
    EXPECT_EQ(vendor, 0xFFF0);
    EXPECT_EQ(product, 4);
}
