#pragma once
// The program's own reading of the device's replies (command bytes 0x80 to
// 0x8D): 0x89 starts an identification text that ends with CR, 0x8B and one
// byte answer an upload request; the other replies carry one byte that is
// skipped. The state carries over from message to message.
#include "link/ComTypes.h"

#include <cstdint>
#include <functional>
#include <string>

class THostReplyParser {
public:
    enum : std::uint8_t { NotConnected = 0, Idle = 1, Identification = 11, UploadAnswer = 14 };

    // An identification text longer than this (one serial frame's worth) is
    // no identification: it is dropped at the next byte and the parser reads
    // replies again.
    static constexpr std::size_t MaxIdentificationLength = 255;

    std::function<void(const std::string& text)> OnIdentification;
    std::function<void(TUploadReplyStatus reply)> OnUploadReply;

    // Runs over every byte of a message, its command byte first.
    void Parse(const std::string& message);

    std::uint8_t State() const { return FState; }
    // The connection change sets it: Idle when the link is up, else NotConnected.
    void SetState(std::uint8_t state) { FState = state; }
    const std::string& IdentificationText() const { return FIdentificationText; }

private:
    std::uint8_t FState = NotConnected;
    std::string FIdentificationText;
};
