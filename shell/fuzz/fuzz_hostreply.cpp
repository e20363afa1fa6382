// Any stream of messages through the program's own reply parser, with the
// link going down and up between them: the state stays one the parser knows,
// the identification text stays within its bound, and nothing but what a
// reply carries reaches the catalogue entry and the link.
//
// Input: records of one control byte and the message. The control byte's
// low six bits are the message's length (taken from the rest as far as it
// goes); bit 6 puts the link down before the message, bit 7 up.
#include "shell/HostReplyParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    THostReplyParser parser;
    std::size_t identifications = 0;
    parser.OnIdentification = [&](const std::string& text) {
        if (text.size() > THostReplyParser::MaxIdentificationLength || text.find('\r') != std::string::npos)
            std::abort();
        ++identifications;
    };
    parser.OnUploadReply = [](TUploadReplyStatus) {};
    parser.SetState(THostReplyParser::Idle);
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control & 0x40)
            parser.SetState(THostReplyParser::NotConnected);
        if (control & 0x80)
            parser.SetState(THostReplyParser::Idle);
        const std::size_t length = std::min<std::size_t>(control & 0x3F, size - at);
        const std::uint8_t before = parser.State();
        const std::size_t seenBefore = identifications;
        parser.Parse(std::string(reinterpret_cast<const char*>(data + at), length));
        at += length;
        const std::uint8_t state = parser.State();
        if (state > 15 || state == 12)
            std::abort();
        // While the link is down nothing is read.
        if (before == THostReplyParser::NotConnected && (state != before || identifications != seenBefore))
            std::abort();
        if (parser.IdentificationText().size() > THostReplyParser::MaxIdentificationLength)
            std::abort();
    }
    return 0;
}
