#include "radioplugin/RuvoCommands.h"

#include "platform/Exception.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoView.h"
#include "radioplugin/StringTokens.h"

std::string HexField(std::int32_t value, int digits)
{
    return Format("%.*X", digits, static_cast<unsigned>(value));
}

// The filter is a flag in the parameter set and 0 or 1 on the line; a
// report of any other number switches it on.
const TRuvoField RuvoFields[9] = {
    {TRuvoStore::SquelchLow, TRuvoParam::SquelchLow, "PARAM-SQUELCH-LOW",
     [](const TRuvoParameter& p) { return p.SquelchLow(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetSquelchLow(v); }},
    {TRuvoStore::SquelchHigh, TRuvoParam::SquelchHigh, "PARAM-SQUELCH-HIGH",
     [](const TRuvoParameter& p) { return p.SquelchHigh(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetSquelchHigh(v); }},
    {TRuvoStore::SquelchIndex, TRuvoParam::SquelchIndex, "PARAM-SQUELCH-INDEX",
     [](const TRuvoParameter& p) { return p.SquelchIndex(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetSquelchIndex(v); }},
    {TRuvoStore::AirLimit, TRuvoParam::AirLimit, "PARAM-AIR-LIMIT",
     [](const TRuvoParameter& p) { return p.SendTimeLimit(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetSendTimeLimit(v); }},
    {TRuvoStore::Project, TRuvoParam::Project, "PARAM-PROJECT", [](const TRuvoParameter& p) { return p.ProjectNr(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetProjectNr(v); }},
    {TRuvoStore::NFLevel, TRuvoParam::NFLevel, "PARAM-NFLEVEL", [](const TRuvoParameter& p) { return p.NFLevel(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetNFLevel(v); }},
    {TRuvoStore::SerialNumber, TRuvoParam::SerialNumber, "PARAM-SN",
     [](const TRuvoParameter& p) { return p.SerialNumber(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetSerialNumber(v); }},
    {TRuvoStore::Modulation, TRuvoParam::Modulation, "PARAM-MODULATION",
     [](const TRuvoParameter& p) { return p.Modulation(); },
     [](TRuvoParameter& p, std::int32_t v) { p.SetModulation(v); }},
    {TRuvoStore::FFSKFilter, TRuvoParam::FFSKFilter, "PARAM-FFSK-FILTER",
     [](const TRuvoParameter& p) -> std::int32_t { return p.FFSKFilterActive() ? 1 : 0; },
     [](TRuvoParameter& p, std::int32_t v) { p.SetFFSKFilterActive(v != 0); }},
};

const char* StoreWord(TRuvoStore store)
{
    for (const TRuvoField& field : RuvoFields)
        if (field.Store == store)
            return field.Word;
    return "";
}

const TRuvoField* FindReportedField(const std::string& Key)
{
    for (const TRuvoField& field : RuvoFields)
        if (Key == field.ReportKey())
            return &field;
    return nullptr;
}

std::string StoreLine(TRuvoStore store, std::int32_t value)
{
    return HexField(value, 4) + " " + StoreWord(store) + " !\n";
}

std::vector<std::string> ParameterWriteLines(const TRuvoParameter& Set)
{
    std::vector<std::string> lines;
    for (const TRuvoField& field : RuvoFields)
        lines.push_back(StoreLine(field.Store, field.Get(Set)));
    lines.insert(lines.end(), {RuvoFlashParam, RuvoReportParam, RuvoRadioTraceOn});
    return lines;
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
