// The send functions' fields as a person fills them: keys typed into the hex
// fields (each holds at most two characters, as the edit does) and into the
// channel field, and texts pasted in; then the FFSK telegram from them. A
// hex field only ever holds hex digits when typed; the telegram is made
// exactly when its fields can be read, and then it is well formed: one
// two-digit byte per field it carries, their count, the channel, the word.
//
// Input: records of four bytes: field (0-11, 11 the channel), key, selection
// start and length. A field byte with bit 7 set pastes the next two bytes as
// the field's text instead. Bit 0 of the first byte leaves every hex field
// at the end, which pads it to two characters.
#include "link/HexToInt.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/SendFunctions.h"
#include "radioplugin/StringTokens.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool IsHex(const std::string& text)
{
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

void CheckLine(const std::string& line, const std::string& channel, std::size_t bytes)
{
    const std::string tail = " FFSK-SEND\n";
    if (line.size() < tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
        std::abort();
    std::istringstream in(line.substr(0, line.size() - tail.size()));
    std::vector<std::string> tokens;
    for (std::string token; in >> token;)
        tokens.push_back(token);
    if (tokens.size() != bytes + 2)
        std::abort();
    for (std::size_t i = 0; i < bytes; ++i)
        if (tokens[i].size() != 2 || !IsHex(tokens[i]))
            std::abort();
    if (tokens[bytes] != HexField(static_cast<std::int32_t>(bytes), 2))
        std::abort();
    if (tokens[bytes + 1] != HexField(*ParseDecimal32(channel), 2))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Info bytes 1 to 3, additional bytes 1 to 8, the channel: start values.
    std::array<std::string, 12> fields{"91", "06", "00", "00", "00", "00", "00", "00", "00", "00", "00", "0"};
    std::array<bool, 12> pasted{};
    for (std::size_t at = 0; at + 4 <= size; at += 4) {
        const std::size_t field = (data[at] & 0x7F) % 12;
        if (data[at] & 0x80) {
            std::string text(reinterpret_cast<const char*>(data + at + 1), 2);
            text.resize(text.find('\0') == std::string::npos ? 2 : text.find('\0'));
            fields[field] = field == 11 ? text : text.substr(0, 2);
            pasted[field] = true;
            continue;
        }
        char key = static_cast<char>(data[at + 1]);
        const int start = data[at + 2] % 4;
        const int length = data[at + 3] % 4;
        std::string& text = fields[field];
        if (field == 11) {
            if (DigitKeyAccepted(key))
                text = TextAfterKey(text, start, length, key);
            continue;
        }
        const bool accepted = HexKeyAccepted(key, text, start, length, field == 1, fields[0]);
        if (!accepted)
            continue;
        const std::string after = TextAfterKey(text, start, length, key);
        if (after.size() > 2) // the edit holds two characters
            continue;
        text = after;
        if (!pasted[field] && !IsHex(text))
            std::abort(); // a typed key that is no hex digit got in
    }
    if (size > 0 && (data[0] & 1))
        for (std::size_t i = 0; i < 11; ++i)
            fields[i] = PadHexField(fields[i]);

    TFFSKFields input;
    input.Infobyte1 = fields[0];
    input.Infobyte2 = fields[1];
    input.Infobyte3 = fields[2];
    for (std::size_t i = 0; i < 8; ++i)
        input.Zusatzbyte[i] = fields[3 + i];
    input.RadioChannel = fields[11];
    const auto line = FFSKTelegramLine(input);

    const bool offers = OffersAdditionalBytes(input.Infobyte1);
    bool readable = IsHex(input.Infobyte1) && IsHex(input.Infobyte2) && IsHex(input.Infobyte3);
    std::size_t bytes = 3;
    if (offers) {
        for (const std::string& extra : input.Zusatzbyte)
            readable = readable && IsHex(extra);
        readable = readable && input.Infobyte2.size() >= 2 && IsHex(input.Infobyte2.substr(1, 1));
        if (readable)
            bytes += static_cast<std::size_t>(std::min(8, HexToInt(input.Infobyte2.substr(1, 1))));
    }
    const auto channel = ParseDecimal32(input.RadioChannel);
    readable = readable && channel && *channel >= 0;
    if (line.has_value() != readable)
        std::abort();
    if (line)
        CheckLine(*line, input.RadioChannel, bytes);
    if (AdditionalByteCount(input.Infobyte2) < 0 || AdditionalByteCount(input.Infobyte2) > 15)
        std::abort();
    return 0;
}
