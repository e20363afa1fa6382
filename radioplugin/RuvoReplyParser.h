#pragma once
// The parser of what the module sends: one received message (the host's
// command byte followed by the message data) at a time.
//
//   "OK." / "Huh?" as first token     the device queue's line is answered
//                                    (with "Huh?": refused)
//   "PARAM KEY=hex KEY=hex ..."       device values reported
//   second character 'g' / 'w'       GPS / IBIS trace line
//   second character 'r'             radio answer: "OK" or "ERROR" answers
//                                    the radio queue's line (with "ERROR":
//                                    refused); "SPEICHER" marks a
//                                    memory-slot telegram
#include "radioplugin/RuvoTexts.h"

#include <string>

class TRuvoParameter;
class TRuvoTransport;
class TRuvoView;

class TRuvoReplyParser {
public:
    TRuvoReplyParser(TRuvoParameter& Parameter, TRuvoTransport& Transport, TRuvoView& View, TTextLookup Texts = {});

    // Parses one message. Errors (a PARAM item that is not KEY=value, a value
    // that is not hexadecimal, a broken slot telegram) are raised as
    // Exception; what was applied before them stays.
    void HandleReply(const std::string& Data);

private:
    void HandleParam(const std::string& Item);
    void HandleSlotTelegram(std::string P);

    TRuvoParameter& FParameter;
    TRuvoTransport& FTransport;
    TRuvoView& FView;
    TTextLookup FTexts;
};
