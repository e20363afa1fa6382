// Arbitrary texts into the edit's change stage, in every input mode: nothing
// may crash, and after every change the text is empty or one that its mode
// takes as it is.
//
// Input: byte 0 the input mode, byte 1 the separators and longitude language,
// byte 2 the bounds and decimal places; the rest are texts separated by NUL,
// each given as an edit of the whole text, a paste, typed keys or a set text,
// by the first byte of the text.
#include "controls/Zor_EditCore.h"
#include "platform/FormatSettings.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(const TZor_EditCore& edit)
{
    if (!edit.Acceptable(edit.Text()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    TFormatSettings& f = FormatSettings();
    const std::uint8_t settings = data[1];
    f.DecimalSeparator = settings & 1 ? '.' : ',';
    f.TimeSeparator = settings & 2 ? '.' : ':';
    f.DateSeparator = settings & 4 ? '/' : '.';
    f.ShortDateFormat = settings & 8 ? "mm/dd/yyyy" : "dd/mm/yyyy";
    f.ShortTimeFormat = "hh:nn";
    f.LongTimeFormat = "hh:nn:ss";
    static const int languages[] = {7, 9, 12, 29};
    SetZorUserPrimaryLanguage(languages[(settings >> 4) & 3]);

    TZor_EditCore edit;
    edit.SetInputMode(static_cast<TInputMode>(data[0] % 9));
    const std::uint8_t bounds = data[2];
    if (bounds & 1) {
        edit.SetMinValue(-100);
        edit.SetMaxValue(100);
    } else if (bounds & 2) {
        edit.SetMinValue(5);
        edit.SetMaxValue(10);
    }
    edit.SetMaxLength((bounds >> 2) & 7);
    Check(edit);

    std::string pending;
    auto apply = [&](const std::string& text) {
        if (text.empty())
            return;
        const std::string body = text.substr(1);
        const int length = static_cast<int>(edit.Text().size());
        switch (static_cast<unsigned char>(text[0]) % 6) {
        case 0: edit.TextEdited(body, {static_cast<int>(body.size()), 0}); break;
        case 1: edit.Paste(body, {length / 2, length - length / 2}); break;
        case 2:
            for (const char c : body) {
                const char32_t mapped = edit.KeyPress(static_cast<unsigned char>(c));
                if (mapped >= 32)
                    edit.TextEdited(edit.Text() + static_cast<char>(mapped & 0x7F), {length + 1, 0});
                Check(edit);
            }
            break;
        case 3: edit.SetText(body); break;
        case 4: edit.Exit(); break;
        default: edit.Undo(); break;
        }
        Check(edit);
    };
    for (std::size_t i = 3; i < size; ++i) {
        if (data[i] == 0) {
            apply(pending);
            pending.clear();
        } else {
            pending += static_cast<char>(data[i]);
        }
    }
    apply(pending);
    edit.Value();
    SetZorUserPrimaryLanguage(0);
    return 0;
}
