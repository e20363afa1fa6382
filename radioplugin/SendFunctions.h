#pragma once
// The rules behind the dialog's send functions, without a window: the FFSK
// telegram line, what the hex fields and the number fields accept, and which
// additional-byte fields are offered.
#include <array>
#include <optional>
#include <string>

// Info byte 1 beginning with 9 offers the additional bytes (a "09" telegram).
bool OffersAdditionalBytes(const std::string& Infobyte1);

// How many additional bytes info byte 2 asks for: its low four bits read as
// hexadecimal, 0 when it is not a hex number.
int AdditionalByteCount(const std::string& Infobyte2);

// The inputs of an FFSK telegram as the fields hold them.
struct TFFSKFields {
    std::string Infobyte1, Infobyte2, Infobyte3;
    std::array<std::string, 8> Zusatzbyte; // additional bytes 1..8
    std::string RadioChannel;             // decimal
};

// The device line of the telegram: additional bytes n down to 1 (only for
// a "09" telegram, n from the second digit of info byte 2), info bytes 3, 2
// and 1, the number of bytes, the channel and "FFSK-SEND". Nothing when a
// field is not a number (or info byte 2 is shorter than two digits where
// its second digit counts).
std::optional<std::string> FFSKTelegramLine(const TFFSKFields& Fields);

// A key typed into a hex field. Key is upper-cased in place; '\b' is
// backspace. Text, SelStart and SelLength describe the field before the key.
// On info byte 2 of a "09" telegram the text after the key must not ask for
// more than eight additional bytes.
bool HexKeyAccepted(char& Key, const std::string& Text, int SelStart, int SelLength, bool IsInfobyte2,
                    const std::string& Infobyte1);

// A hex field left with fewer than two characters: padded with leading "0".
std::string PadHexField(const std::string& Text);

// Fields of decimal digits accept digits and backspace only.
bool DigitKeyAccepted(char Key);

// The key the rules of a field take for a key's character message
// (KeyCharCode, platform/KeyText.h): '\b' for backspace, 0 for a key that
// types no character (Delete, Return, the arrows...), the character itself
// when it is ASCII, and 0x7F, which no field takes, for one beyond ASCII.
char FieldKey(char32_t Code);

// The text a field holds after a key: Key replaces the selection, backspace
// deletes it (or the character before the cursor when nothing is selected).
std::string TextAfterKey(const std::string& Text, int SelStart, int SelLength, char Key);
