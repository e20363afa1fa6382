#include "shell/HostReplyParser.h"

void THostReplyParser::Parse(const std::string& message)
{
    for (const char ch : message) {
        const std::uint8_t b = static_cast<std::uint8_t>(ch);
        // A new reply cuts short one whose data byte is awaited.
        if (b >= 0x80 && (FState == 2 || FState == 3 || FState == 15))
            FState = Idle;
        switch (FState) {
        case NotConnected: break;
        case Idle:
            if (b >= 0x80 && b <= 0x88) {
                FState = static_cast<std::uint8_t>(b - 0x80 + 2);
            } else if (b == 0x89) {
                FIdentificationText.clear();
                FState = Identification;
            } else if (b == 0x8A) {
                FState = 13;
            } else if (b == 0x8B) {
                if (OnUploadReply)
                    OnUploadReply(TUploadReplyStatus::urUndefined);
                FState = UploadAnswer;
            } else if (b == 0x8D) {
                FState = 15;
            }
            break;
        case Identification:
            if (b == 0x0D) {
                FState = Idle;
                if (OnIdentification)
                    OnIdentification(FIdentificationText);
            } else if (FIdentificationText.size() < MaxIdentificationLength) {
                FIdentificationText += ch;
            } else {
                // No end in sight: a device that never sends it cannot make
                // the text grow without end. The text is dropped.
                FIdentificationText.clear();
                FState = Idle;
            }
            break;
        case UploadAnswer:
            FState = Idle;
            if (OnUploadReply)
                OnUploadReply(b == 0 ? TUploadReplyStatus::urGoAhead : TUploadReplyStatus::urNotEnoughMenory);
            break;
        default: // 2 ... 10, 13, 15: the reply's one data byte
            FState = Idle;
            break;
        }
    }
}
