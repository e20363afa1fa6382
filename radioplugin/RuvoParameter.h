#pragma once
// The radio module's parameter set: the device values and the 32 memory
// slots of the channel table, and the XML file a set is saved to and loaded
// from. Pure data: it sends nothing and shows nothing.
#include "platform/Object.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// One memory slot of the module. Setters are plain stores.
class TChannelEntry {
public:
    std::int32_t Transmit() const { return FTransmit; }
    std::int32_t Receive() const { return FReceive; }
    std::int32_t Power() const { return FPower; }
    std::int32_t Number() const { return FNumber; }
    void SetTransmit(std::int32_t Value) { FTransmit = Value; }
    void SetReceive(std::int32_t Value) { FReceive = Value; }
    void SetPower(std::int32_t Value) { FPower = Value; }
    void SetNumber(std::int32_t Value) { FNumber = Value; }

    float GetReceiveFrequency() const;
    float GetTransmitFrequency() const;

    // Copies all four fields.
    void Assign(const TChannelEntry& Source);

    bool operator==(const TChannelEntry&) const = default;

private:
    std::int32_t FTransmit = 0;
    std::int32_t FReceive = 0;
    std::int32_t FPower = 0;
    std::int32_t FNumber = 0;
};

class TRuvoParameter : public TObject {
public:
    static constexpr int SlotCount = 32;

    TRuvoParameter();

    std::int32_t NFLevel() const { return FNFLevel; }
    std::int32_t SquelchLow() const { return FSquelchLow; }
    std::int32_t SendTimeLimit() const { return FSendTimeLimit; }
    std::int32_t ProjectNr() const { return FProjectNr; }
    std::int32_t SquelchHigh() const { return FSquelchHigh; }
    std::int32_t SquelchIndex() const { return FSquelchIndex; }
    std::int32_t SerialNumber() const { return FSerialNumber; }
    std::int32_t Modulation() const { return FModulation; }
    bool FFSKFilterActive() const { return FFFSKFilterActive; }
    void SetNFLevel(std::int32_t Value) { FNFLevel = Value; }
    void SetSquelchLow(std::int32_t Value) { FSquelchLow = Value; }
    void SetSendTimeLimit(std::int32_t Value) { FSendTimeLimit = Value; }
    void SetProjectNr(std::int32_t Value) { FProjectNr = Value; }
    void SetSquelchHigh(std::int32_t Value) { FSquelchHigh = Value; }
    void SetSquelchIndex(std::int32_t Value) { FSquelchIndex = Value; }
    void SetSerialNumber(std::int32_t Value) { FSerialNumber = Value; }
    void SetModulation(std::int32_t Value) { FModulation = Value; }
    void SetFFSKFilterActive(bool Value) { FFFSKFilterActive = Value; }

    // The slot for 0..31, nullptr for any other index.
    TChannelEntry* GetSlot(int Index);
    const TChannelEntry* GetSlot(int Index) const;

    // Copies every value and every slot.
    void Assign(const TRuvoParameter& Source);
    bool operator==(const TRuvoParameter& Other) const;

    // Writes the set as an XML file (Latin-1). The file is written beside
    // the target under a temporary name and then renamed over it, so a
    // failed save leaves the previous file as it was. An empty name does
    // nothing. Raises Exception with the German save error on failure,
    // followed by the file and the reason.
    // Year names the last year of the maker's notice; 0 takes the current year.
    void SaveToXML(const std::string& FileName, int Year = 0) const;

    // Reads a set from an XML file. Attributes that are missing or not
    // numbers leave their field as it is. The values the dialog shows in its
    // spin edits load as they stand (the spin edits clamp them); the values
    // that go to the module as the set holds them (the squelch index, the
    // slots' channels and power) are refused outside the module's ranges.
    // Raises Exception for a missing file, a file that is empty or not XML,
    // and a refused value; the set is then unchanged.
    void LoadFromXML(const std::string& FileName);

private:
    std::int32_t FNFLevel = 0;
    std::int32_t FSquelchLow = 0;
    std::int32_t FSendTimeLimit = 0;
    std::int32_t FProjectNr = 0;
    std::int32_t FSquelchHigh = 0;
    std::int32_t FSquelchIndex = 0;
    std::int32_t FSerialNumber = 0;
    std::int32_t FModulation = 0;
    bool FFFSKFilterActive = false;
    std::array<TChannelEntry, SlotCount> FSlots;
};

// The module's ranges of the set's values. The dialog's spin edits keep the
// values they show inside them; the set itself holds any value.
struct TRuvoRange {
    std::int32_t Min;
    std::int32_t Max;
};
constexpr TRuvoRange RuvoSquelchRange{0, 1023};
constexpr TRuvoRange RuvoNFLevelRange{0, 31};
constexpr TRuvoRange RuvoSendTimeLimitRange{0, 180};
constexpr TRuvoRange RuvoModulationRange{0, 7};

// The file name proposed for saving a set: "Tamsk_<project>_<serial>_<date>.XML",
// the date written by DateFormat ("ddmmyyyy", "mmddyyyy": d, dd, m, mm, yy, yyyy).
std::string ParameterSetFileName(const std::string& ProjectText, std::int32_t SerialNumber, int Year, int Month,
                                 int Day, const std::string& DateFormat);
// The date by such a format.
std::string FormatShortDate(const std::string& DateFormat, int Year, int Month, int Day);
