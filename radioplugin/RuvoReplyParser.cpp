#include "radioplugin/RuvoReplyParser.h"

#include "link/HexToInt.h"
#include "platform/AsciiText.h"
#include "platform/Exception.h"
#include "platform/TextCodec.h"
#include "radioplugin/GlobalFunctionsRuvo.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoTransport.h"
#include "radioplugin/RuvoView.h"
#include "radioplugin/StringTokens.h"

#include <optional>

TRuvoReplyParser::TRuvoReplyParser(TRuvoParameter& Parameter, TRuvoTransport& Transport, TRuvoView& View,
                                   TTextLookup Texts)
    : FParameter(Parameter), FTransport(Transport), FView(View), FTexts(std::move(Texts))
{
}

void TRuvoReplyParser::HandleReply(const std::string& Data)
{
    const std::string t = Trim(Data);
    const std::vector<std::string> tokens = SplitTokens(t, " ", "\"");

    if (!tokens.empty() && tokens[0] == "OK.")
        FTransport.DeviceReplyReceived();
    else if (!tokens.empty() && tokens[0] == "Huh?")
        FTransport.DeviceRefused(t);

    if (!tokens.empty() && tokens[0] == "PARAM")
        for (std::size_t i = 1; i < tokens.size(); ++i)
            HandleParam(tokens[i]);

    if (t.size() < 3)
        return;
    const char selector = t[1];
    const std::string c(1, t[2]);
    const std::string P = UpperCase(t.substr(3));
    switch (selector) {
    case 'g':
        FView.MonitorLine(TRuvoMonitor::GPS, c + P);
        break;
    case 'r':
        if (P.find("ERROR") != std::string::npos)
            FTransport.RadioRefused(t);
        else if (P.find("OK") != std::string::npos)
            FTransport.RadioReplyReceived();
        if (P.find("SPEICHER") != std::string::npos)
            HandleSlotTelegram(P);
        FView.MonitorLine(TRuvoMonitor::Terminal, c + P);
        break;
    case 'w':
        FView.MonitorLine(TRuvoMonitor::IBIS, c + P);
        break;
    default:
        break;
    }
}

void TRuvoReplyParser::HandleParam(const std::string& Item)
{
    const std::vector<std::string> parts = SplitTokens(Item, "=", "");
    if (parts.size() != 2)
        throw Exception(FillText(RuvoText(FTexts, "IDS_34"), {Latin1ToUtf8(Item)}));
    const std::string key = UpperCase(parts[0]);
    std::int32_t value = 0;
    try {
        value = HexToInt(parts[1]);
    } catch (const EConvertError& e) {
        // The module's bytes are Latin-1; the message shows them as text.
        throw EConvertError(Latin1ToUtf8(e.Message()));
    }

    const TRuvoField* field = FindReportedField(key);
    if (!field)
        return;
    field->Set(FParameter, value);
    const TRuvoParam param = field->Param;
    if (param == TRuvoParam::Project && value >= FView.ProjectCount())
        FView.ShowWarning(FillText(RuvoText(FTexts, "IDS_26") + "\r\n" + RuvoText(FTexts, "IDS_27"),
                                   {std::to_string(value)}));
    FView.ParameterReported(param, value);
}

namespace {

// Drops P up to and including the first `separator` and `skip` characters
// after it; false when there is no separator.
bool DropThrough(std::string& P, char separator, std::size_t skip)
{
    const auto p = P.find(separator);
    if (p == std::string::npos)
        return false;
    P.erase(0, std::min(P.size(), p + 1 + skip));
    return true;
}

// The decimal number before the next blank, which must follow it.
std::optional<std::int32_t> NumberBeforeBlank(const std::string& P)
{
    const auto p = P.find(' ');
    if (p == std::string::npos)
        return std::nullopt;
    return ParseDecimal32(P.substr(0, p));
}

} // namespace

void TRuvoReplyParser::HandleSlotTelegram(std::string P)
{
    FTransport.SetSlotTelegramSeen(true);
    FView.ProgressStep();
    FView.ProcessMessages();

    // "SPEICHER <slot> <word>: <receive> <word>: <transmit> <word>: <power>"
    // Every field is read before the slot is touched: a telegram with a bad
    // field leaves the slot as it was.
    const std::string telegram = P;
    DropThrough(P, ' ', 0);
    const std::optional<std::int32_t> slot = NumberBeforeBlank(P);
    if (!slot)
        throw Exception(Format("Invalid syntax of radio-channel-telegram \"%s\"", Latin1ToUtf8(P).c_str()));
    if (*slot < 0 || *slot >= TRuvoParameter::SlotCount)
        throw Exception(Format("Fehlerhaftes Funkmodultelegramm: Es Funkgerät meldet vermeintlich Werte für Funkkanal "
                               "%d. Diesen gibt es aber nicht",
                               *slot));

    const auto bad = [&] {
        return Exception(Format("Invalid syntax of radio-channel-telegram \"%s\"", Latin1ToUtf8(telegram).c_str()));
    };
    // Channels are stored as the module reports them, but they must be
    // numbers a later table write can send back.
    std::int32_t channels[2];
    for (std::int32_t& channel : channels) {
        if (!DropThrough(P, ':', 1))
            throw bad();
        const auto value = NumberBeforeBlank(P);
        if (!value || *value < 0)
            throw bad();
        channel = *value;
    }
    if (!DropThrough(P, ':', 1))
        throw bad();
    const std::optional<std::int32_t> power = ParseDecimal32(P);
    if (!power)
        throw bad();
    if (!IsValidPowerIndex(*power))
        throw Exception(FillText(RuvoText(FTexts, "IDS_9") + "\r\n" + RuvoText(FTexts, "IDS_10"),
                                 {std::to_string(*power), std::to_string(*slot)}));

    TChannelEntry* entry = FParameter.GetSlot(*slot);
    entry->SetNumber(*slot);
    entry->SetReceive(channels[0]);
    entry->SetTransmit(channels[1]);
    entry->SetPower(*power);
    FView.SlotReported(*entry);
}
