#include "radioplugin/SendFunctions.h"

#include "link/HexToInt.h"
#include "platform/KeyText.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/StringTokens.h"

#include <algorithm>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A field as two hex digits; raises EConvertError for a field that is not hex.
std::string Byte(const std::string& field)
{
    return HexField(HexToInt(field), 2);
}

} // namespace

bool OffersAdditionalBytes(const std::string& Infobyte1)
{
    return !Infobyte1.empty() && Infobyte1[0] == '9';
}

int AdditionalByteCount(const std::string& Infobyte2)
{
    return HexToIntDef(Infobyte2, 0) & 0x0F;
}

std::optional<std::string> FFSKTelegramLine(const TFFSKFields& Fields)
{
    try {
        std::string text = Byte(Fields.Infobyte3) + " " + Byte(Fields.Infobyte2) + " " + Byte(Fields.Infobyte1);
        if (OffersAdditionalBytes(Fields.Infobyte1)) {
            std::string extra;
            for (int i = 8; i >= 1; --i)
                extra += Byte(Fields.Zusatzbyte[static_cast<std::size_t>(i - 1)]) + " ";
            text = extra + text;
            if (Fields.Infobyte2.size() < 2)
                return std::nullopt;
            const int n = HexDigit(Fields.Infobyte2[1]);
            if (n < 0)
                return std::nullopt;
            // More than eight cannot be typed; a field filled before info
            // byte 1 became 9x keeps all eight.
            text.erase(0, static_cast<std::size_t>((8 - std::min(n, 8)) * 3));
        }
        const std::optional<std::int32_t> channel = ParseDecimal32(Fields.RadioChannel);
        if (!channel || *channel < 0)
            return std::nullopt;
        return FFSKSendLine(text, *channel);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string TextAfterKey(const std::string& Text, int SelStart, int SelLength, char Key)
{
    const auto size = static_cast<int>(Text.size());
    int start = std::clamp(SelStart, 0, size);
    int length = std::clamp(SelLength, 0, size - start);
    if (Key == '\b') {
        if (length == 0 && start > 0) {
            --start;
            length = 1;
        }
        return Text.substr(0, static_cast<std::size_t>(start)) + Text.substr(static_cast<std::size_t>(start + length));
    }
    return Text.substr(0, static_cast<std::size_t>(start)) + Key + Text.substr(static_cast<std::size_t>(start + length));
}

bool HexKeyAccepted(char& Key, const std::string& Text, int SelStart, int SelLength, bool IsInfobyte2,
                    const std::string& Infobyte1)
{
    if (Key >= 'a' && Key <= 'z')
        Key = static_cast<char>(Key - 'a' + 'A');
    if (Key != '\b' && Text.size() > 1 && SelLength == 0)
        return false;
    if (Key != '\b' && HexDigit(Key) < 0)
        return false;
    if (IsInfobyte2 && OffersAdditionalBytes(Infobyte1)) {
        const std::string after = TextAfterKey(Text, SelStart, SelLength, Key);
        if ((HexToIntDef(after, 0) & 0x0F) > 8)
            return false;
    }
    return true;
}

std::string PadHexField(const std::string& Text)
{
    return Text.size() < 2 ? std::string(2 - Text.size(), '0') + Text : Text;
}

bool DigitKeyAccepted(char Key)
{
    return Key == '\b' || (Key >= '0' && Key <= '9');
}

char FieldKey(char32_t Code)
{
    if (Code == '\b')
        return '\b';
    if (!IsTypedCharacter(Code))
        return 0;
    return Code < 128 ? static_cast<char>(Code) : '\x7f';
}
