// Any bytes as the catalogue "ZorDevices.xml": a load takes them or refuses
// them with an Exception, a refused load leaves the catalogue as it was, and
// no depth of nesting exhausts the stack.
//
// Input: the catalogue's text; or, after a first byte 0x01, a nesting to be
// built: two bytes of repeat count (up to 65535, times 4), then an opening
// text, a NUL, a closing text, a NUL and the middle. The catalogue is the
// opening text that many times, the middle, and the closing text as often,
// so a short input reaches a depth in the hundred thousands. The target asks
// for inputs of up to a megabyte, so that plain texts nest deep too.
#include "platform/Exception.h"
#include "shell/DeviceStatus.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A text `count` times, copied in doubling blocks.
std::string Repeat(const std::string& unit, std::size_t count)
{
    if (unit.empty() || count == 0)
        return {};
    std::string text = unit;
    text.reserve(unit.size() * count);
    while (text.size() * 2 <= unit.size() * count)
        text += text;
    text.append(text.data(), unit.size() * count - text.size());
    return text;
}

std::string Catalogue(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (size < 3 || data[0] != 0x01)
        return input;
    const std::size_t repeats = (static_cast<std::size_t>(data[1]) << 8 | data[2]) * 4;
    const std::size_t open = input.find('\0', 3);
    const std::size_t close = open == std::string::npos ? std::string::npos : input.find('\0', open + 1);
    if (close == std::string::npos)
        return input;
    const std::string opening = input.substr(3, open - 3).substr(0, 64);
    const std::string closing = input.substr(open + 1, close - open - 1).substr(0, 64);
    // At most about a megabyte, however long the texts.
    const std::size_t unit = std::max<std::size_t>(1, opening.size() + closing.size());
    const std::size_t count = std::min(repeats, (std::size_t(1) << 20) / unit);
    return Repeat(opening, count) + input.substr(close + 1) + Repeat(closing, count);
}

// What must hold of any catalogue that loaded.
void Check(const TDeviceList& list)
{
    if (!list.Loaded())
        std::abort();
    bool found = list.Current() == nullptr;
    for (std::size_t i = 0; i < list.Count(); ++i)
        found = found || list.Items(i) == list.Current();
    if (!found)
        std::abort();
    if (!list.Preference().empty() && list.Current() && list.Current()->Name != list.Preference())
        std::abort();
    if (list.Preference().empty() && list.Count() > 0 && list.Current() != list.Items(0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Deep nesting needs long texts: a megabyte unless the run says otherwise.
    static std::vector<char*> arguments(*argv, *argv + *argc);
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0)
            return 0;
    static char maxLen[] = "-max_len=1048576";
    arguments.insert(arguments.begin() + 1, maxLen);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text = Catalogue(data, size);
    TDeviceList list;
    list.LoadDevicesFromText(R"(<Z><GENERAL preference="B"/><DEVICE name="A"/><DEVICE name="B"/></Z>)", "seed");
    const TDeviceStatus* current = list.Current();
    try {
        list.LoadDevicesFromText(text, "ZorDevices.xml");
    } catch (const Exception&) {
        // Refused: the catalogue that was there stays, current entry included.
        if (list.Count() != 2 || list.Current() != current || list.Preference() != "B")
            std::abort();
        return 0;
    }
    Check(list);
    // The command line's choice (never an empty one) keeps the catalogue
    // consistent too.
    if (list.Count() > 0 && !list.Items(list.Count() - 1)->Name.empty()) {
        list.SetPreferredDevice(list.Items(list.Count() - 1)->Name);
        Check(list);
    }
    return 0;
}
