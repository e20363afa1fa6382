#include "radioplugin/RuvoCommands.h"

#include "platform/Exception.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/StringTokens.h"

std::string HexField(std::int32_t value, int digits)
{
    return Format("%.*X", digits, static_cast<unsigned>(value));
}

const char* StoreWord(TRuvoStore store)
{
    switch (store) {
    case TRuvoStore::SquelchLow:
        return "PARAM-SQUELCH-LOW";
    case TRuvoStore::SquelchHigh:
        return "PARAM-SQUELCH-HIGH";
    case TRuvoStore::SquelchIndex:
        return "PARAM-SQUELCH-INDEX";
    case TRuvoStore::AirLimit:
        return "PARAM-AIR-LIMIT";
    case TRuvoStore::Project:
        return "PARAM-PROJECT";
    case TRuvoStore::NFLevel:
        return "PARAM-NFLEVEL";
    case TRuvoStore::SerialNumber:
        return "PARAM-SN";
    case TRuvoStore::Modulation:
        return "PARAM-MODULATION";
    case TRuvoStore::FFSKFilter:
        return "PARAM-FFSK-FILTER";
    }
    return "";
}

std::string StoreLine(TRuvoStore store, std::int32_t value)
{
    return HexField(value, 4) + " " + StoreWord(store) + " !\n";
}

std::vector<std::string> ParameterWriteLines(const TRuvoParameter& Set)
{
    return {
        StoreLine(TRuvoStore::SquelchLow, Set.SquelchLow()),
        StoreLine(TRuvoStore::SquelchHigh, Set.SquelchHigh()),
        StoreLine(TRuvoStore::SquelchIndex, Set.SquelchIndex()),
        StoreLine(TRuvoStore::AirLimit, Set.SendTimeLimit()),
        StoreLine(TRuvoStore::Project, Set.ProjectNr()),
        StoreLine(TRuvoStore::NFLevel, Set.NFLevel()),
        StoreLine(TRuvoStore::SerialNumber, Set.SerialNumber()),
        StoreLine(TRuvoStore::Modulation, Set.Modulation()),
        StoreLine(TRuvoStore::FFSKFilter, Set.FFSKFilterActive() ? 1 : 0),
        RuvoFlashParam,
        RuvoReportParam,
        RuvoRadioTraceOn,
    };
}

std::vector<std::string> FilterSwitchLines(bool On)
{
    return {StoreLine(TRuvoStore::FFSKFilter, On ? 1 : 0), RuvoFlashParam, RuvoReportParam};
}

std::string SlotWriteLine(std::int32_t Slot, std::int32_t Transmit, std::int32_t Receive, std::int32_t Power)
{
    return HexField(Slot, 2) + " " + HexField(Transmit, 2) + " " + HexField(Receive, 2) + " " + HexField(Power, 2) +
           " rpc\n";
}

std::string TerminalLine(std::int32_t Command, std::int32_t Value)
{
    return UpperCase(HexField(Command, 2) + " " + HexField(Value, 2) + " rc\n");
}

std::string TestToneLine(std::int32_t Channel, std::int32_t Tone, bool On)
{
    return HexField(Channel, 2) + " " + HexField(Tone, 2) + " " + HexField(On ? 1 : 0, 2) + " TEST-TONE\n";
}

std::string FFSKSendLine(const std::string& ByteText, std::int32_t Channel)
{
    const auto count = static_cast<std::int32_t>((ByteText.size() + 1) / 3);
    return ByteText + " " + HexField(count, 2) + " " + HexField(Channel, 2) + " FFSK-SEND\n";
}
