#include "radioplugin/RuvoParameter.h"

#include "platform/AsciiText.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"
#include "platform/PickedFile.h"
#include "radioplugin/GlobalFunctionsRuvo.h"
#include "radioplugin/StringTokens.h"

#include <pugixml.hpp>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <sstream>
#include <sys/stat.h>
#include <vector>

float TChannelEntry::GetReceiveFrequency() const
{
    return ChannelToFrequency(FReceive);
}

float TChannelEntry::GetTransmitFrequency() const
{
    return ChannelToFrequency(FTransmit);
}

void TChannelEntry::Assign(const TChannelEntry& Source)
{
    FTransmit = Source.FTransmit;
    FReceive = Source.FReceive;
    FPower = Source.FPower;
    FNumber = Source.FNumber;
}

TRuvoParameter::TRuvoParameter()
{
    for (int i = 0; i < SlotCount; ++i)
        FSlots[static_cast<std::size_t>(i)].SetNumber(i);
}

TChannelEntry* TRuvoParameter::GetSlot(int Index)
{
    return Index >= 0 && Index < SlotCount ? &FSlots[static_cast<std::size_t>(Index)] : nullptr;
}

const TChannelEntry* TRuvoParameter::GetSlot(int Index) const
{
    return Index >= 0 && Index < SlotCount ? &FSlots[static_cast<std::size_t>(Index)] : nullptr;
}

void TRuvoParameter::Assign(const TRuvoParameter& Source)
{
    FNFLevel = Source.FNFLevel;
    FSquelchLow = Source.FSquelchLow;
    FSquelchHigh = Source.FSquelchHigh;
    FSendTimeLimit = Source.FSendTimeLimit;
    FProjectNr = Source.FProjectNr;
    FSquelchIndex = Source.FSquelchIndex;
    FSerialNumber = Source.FSerialNumber;
    FModulation = Source.FModulation;
    FFFSKFilterActive = Source.FFFSKFilterActive;
    for (std::size_t i = 0; i < FSlots.size(); ++i)
        FSlots[i].Assign(Source.FSlots[i]);
}

bool TRuvoParameter::operator==(const TRuvoParameter& Other) const
{
    return FNFLevel == Other.FNFLevel && FSquelchLow == Other.FSquelchLow && FSquelchHigh == Other.FSquelchHigh &&
           FSendTimeLimit == Other.FSendTimeLimit && FProjectNr == Other.FProjectNr &&
           FSquelchIndex == Other.FSquelchIndex && FSerialNumber == Other.FSerialNumber &&
           FModulation == Other.FModulation && FFFSKFilterActive == Other.FFFSKFilterActive && FSlots == Other.FSlots;
}

// ---------------------------------------------------------------------------
// The file

namespace {

const char* const SaveError = "Der Hardwarekonfiguration konnte nicht gespeichert werden.\r\n"
                              "Prüfen Sie u.a. bitte auch, ob die Datei scheibgeschützt ist und Sie "
                              "Schreibrechte dafür besitzen.";

int CurrentYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

void SetInt(pugi::xml_node node, const char* name, std::int64_t value)
{
    node.append_attribute(name).set_value(std::to_string(value).c_str());
}

} // namespace

void TRuvoParameter::SaveToXML(const std::string& FileName, int Year) const
{
    if (FileName.empty())
        return;
    if (Year == 0)
        Year = CurrentYear();

    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("iso-8859-1");
    doc.append_child(pugi::node_comment).set_value("Ruvo (analog radio modul) configuration file");
    doc.append_child(pugi::node_comment)
        .set_value("Alle Rechte vorbehalten. Weitergabe und Vervielfältigung nur mit schriftlicher Genehmigung.");
    doc.append_child(pugi::node_comment).set_value(Format("© 2007-%04d Zorvatek", Year).c_str());

    auto root = doc.append_child("Root");
    auto param = root.append_child("Parameter");
    SetInt(param, "squelchlow", FSquelchLow);
    SetInt(param, "squelchhigh", FSquelchHigh);
    SetInt(param, "squelchindex", FSquelchIndex);
    SetInt(param, "nflevel", FNFLevel);
    SetInt(param, "sendtimelimit", FSendTimeLimit);
    SetInt(param, "projectnr", FProjectNr);
    SetInt(param, "modulation", FModulation);
    SetInt(param, "ffskfilteractive", FFFSKFilterActive ? -1 : 0);
    auto frequencies = root.append_child("Frequencies");
    for (const auto& slot : FSlots) {
        auto node = frequencies.append_child("Slot");
        SetInt(node, "number", slot.Number());
        SetInt(node, "receive", slot.Receive());
        SetInt(node, "transmit", slot.Transmit());
        SetInt(node, "power", slot.Power());
    }

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_latin1);
    // The declaration node is written by hand above; pugixml writes it as it
    // writes every other node.
    if (!out)
        throw Exception(SaveError);
    try {
        // A write-protected file stays as it is, as one that cannot be
        // deleted would.
        SavePickedFile(FileName, out.str());
    } catch (const EFileSaveError& e) {
        throw Exception(std::string(SaveError) + "\r\n\r\n" + e.Message());
    }
}

namespace {

// An attribute read as a number, or `def` when it is missing or not one.
std::int32_t IntAttr(const pugi::xml_node& node, const char* name, std::int32_t def)
{
    const auto attr = node.attribute(name);
    if (!attr)
        return def;
    return ParseDecimal32(attr.value()).value_or(def);
}

void CheckSlotRange(int slot, std::int32_t value, const char* name, TRuvoRange range)
{
    if (value < range.Min || value > range.Max)
        throw Exception(Format("LoadFromXML: Slot %d: the value %d of \"%s\" is out of range (%d..%d).", slot,
                               value, name, range.Min, range.Max));
}

// A field the file names replaces the set's; -1 (missing, not a number, or
// -1 itself) leaves it.
void ReadField(const pugi::xml_node& node, const char* name, std::int32_t& field)
{
    const std::int32_t value = IntAttr(node, name, -1);
    if (value != -1)
        field = value;
}

} // namespace

void TRuvoParameter::LoadFromXML(const std::string& FileName)
{
    struct stat st {};
    if (FileName.empty() || ::stat(FileName.c_str(), &st) != 0)
        throw Exception(Format("LoadFromXML: File \"%s\" does not exist.", FileName.c_str()));

    pugi::xml_document doc;
    const std::string bytes = ReadPickedFile(FileName);
    const auto result = doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_latin1);
    if (!result)
        throw Exception(Format("LoadFromXML: File \"%s\" is no parameter file: %s (at byte %lld).", FileName.c_str(),
                               result.description(), static_cast<long long>(result.offset)));

    // Everything is read into a copy first: a file that is refused halfway
    // changes nothing.
    TRuvoParameter next;
    next.Assign(*this);
    // A set holds what the module reports, and a file takes back whatever a
    // set holds: the values load as they stand (the spin edits clamp what
    // they show, a write sends what they show, the squelch index goes back
    // as the module gave it). Slot channels the module may report off the
    // raster, but never below 0 (the reply refuses those), and a power the
    // table can show: those are what a slot must hold.
    constexpr TRuvoRange channels{RuvoFirstChannel, INT32_MAX};
    constexpr TRuvoRange powers{1, RuvoMaxPowerIndex};

    // Depth first, each element before its children, without recursion.
    std::vector<pugi::xml_node> stack{doc.document_element()};
    while (!stack.empty()) {
        const pugi::xml_node node = stack.back();
        stack.pop_back();
        if (!node)
            continue;
        const std::string name = node.name();
        if (name == "Parameter") {
            ReadField(node, "squelchlow", next.FSquelchLow);
            ReadField(node, "squelchhigh", next.FSquelchHigh);
            ReadField(node, "squelchindex", next.FSquelchIndex);
            ReadField(node, "nflevel", next.FNFLevel);
            ReadField(node, "sendtimelimit", next.FSendTimeLimit);
            ReadField(node, "projectnr", next.FProjectNr);
            ReadField(node, "modulation", next.FModulation);
            const std::int32_t filter = IntAttr(node, "ffskfilteractive", 1);
            if (filter != 1)
                next.FFFSKFilterActive = filter != 0;
        } else if (name == "Slot") {
            const auto numberAttr = node.attribute("number");
            const std::int64_t number = numberAttr ? ParseDecimal(numberAttr.value()).value_or(-1) : -1;
            if (number >= 0 && number < SlotCount) {
                const int slot = static_cast<int>(number);
                const std::int32_t receive = IntAttr(node, "receive", 0);
                const std::int32_t transmit = IntAttr(node, "transmit", 0);
                std::int32_t power = IntAttr(node, "power", 0);
                if (power == 0)
                    power = 1;
                CheckSlotRange(slot, receive, "receive", channels);
                CheckSlotRange(slot, transmit, "transmit", channels);
                CheckSlotRange(slot, power, "power", powers);
                auto& entry = next.FSlots[static_cast<std::size_t>(slot)];
                entry.SetReceive(receive);
                entry.SetTransmit(transmit);
                entry.SetPower(power);
            }
        }
        // Children in document order: pushed last to first.
        std::vector<pugi::xml_node> children;
        for (auto child = node.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element)
                children.push_back(child);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
    Assign(next);
}

// ---------------------------------------------------------------------------

std::string FormatShortDate(const std::string& DateFormat, int Year, int Month, int Day)
{
    std::string out;
    std::size_t i = 0;
    const auto at = [&](const char* token) {
        const std::size_t n = std::char_traits<char>::length(token);
        if (DateFormat.size() - i < n)
            return false;
        for (std::size_t k = 0; k < n; ++k)
            if (AsciiLower(DateFormat[i + k]) != token[k])
                return false;
        return true;
    };
    while (i < DateFormat.size()) {
        if (at("yyyy")) {
            out += Format("%04d", Year);
            i += 4;
        } else if (at("yy")) {
            out += Format("%02d", Year % 100);
            i += 2;
        } else if (at("mm")) {
            out += Format("%02d", Month);
            i += 2;
        } else if (at("m")) {
            out += std::to_string(Month);
            i += 1;
        } else if (at("dd")) {
            out += Format("%02d", Day);
            i += 2;
        } else if (at("d")) {
            out += std::to_string(Day);
            i += 1;
        } else {
            out += DateFormat[i++];
        }
    }
    return out;
}

std::string ParameterSetFileName(const std::string& ProjectText, std::int32_t SerialNumber, int Year, int Month,
                                 int Day, const std::string& DateFormat)
{
    return "Tamsk_" + ProjectText + "_" + std::to_string(SerialNumber) + "_" +
           FormatShortDate(DateFormat, Year, Month, Day) + ".XML";
}
