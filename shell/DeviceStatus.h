#pragma once
// The device catalogue "ZorDevices.xml": the device types the program knows,
// each with the plug-in libraries that serve it, the preferred and the
// current device type.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xml_document;
struct xml_parse_result;
} // namespace pugi

class TDeviceStatus {
public:
    TDeviceStatus() = default;
    void Assign(const TDeviceStatus& Source) { *this = Source; }

    std::string Extension;
    std::string MagicWord;
    std::string FW;
    std::int32_t BlockSize() const { return FBlockSize; }
    void SetBlockSize(std::int32_t Value)
    {
        if (Value > 0)
            FBlockSize = Value;
    }
    std::uint8_t Gender = 0;
    std::string Name;
    std::string PA;
    std::int32_t ProductID = -1;
    std::uint8_t InitialStatus = 0;
    std::string Identification = "<unbekannt>";
    std::string EX;
    std::string ST;

    // The library of a role: the attribute's file as it stands when it is an
    // absolute path, else in (or below) the program's folder, never the
    // working folder; empty unless that file exists (asked afresh at every
    // call).
    std::string GetFirmwareDllPath() const { return Resolve(FW); }
    std::string GetParameterDllPath() const { return Resolve(PA); }
    std::string GetExtendedDllPath() const { return Resolve(EX); }
    std::string GetStatusDllPath() const { return Resolve(ST); }

private:
    static std::string Resolve(const std::string& file);
    std::int32_t FBlockSize = 128;
};

class TDeviceList {
public:
    TDeviceList() = default;
    ~TDeviceList() = default;
    TDeviceList(const TDeviceList&) = delete;
    TDeviceList& operator=(const TDeviceList&) = delete;

    void Clear();
    void Add(std::unique_ptr<TDeviceStatus> Entry);
    TDeviceStatus* Items(std::size_t Index) const { return FEntries.at(Index).get(); }
    std::size_t Count() const { return FEntries.size(); }

    // Reads the catalogue. A missing file raises "LoadDevices: File "<name>"
    // does not exist." and leaves Loaded false; a file that is no readable
    // catalogue raises its reader's error and changes nothing.
    void LoadDevices(const std::string& FileName);
    // The same for a catalogue's text; FileName only names it in errors.
    void LoadDevicesFromText(const std::string& Text, const std::string& FileName);
    // Case-blind (a to z); sets Preference to the catalogue's spelling.
    void SetPreferredDevice(const std::string& Name);
    // Case-blind; Current becomes null when nothing matches.
    void SelectDeviceByName(const std::string& Name);

    TDeviceStatus* Current() const { return FCurrent; }
    void SetCurrent(TDeviceStatus* Entry) { FCurrent = Entry; }
    const std::string& Preference() const { return FPreference; }
    bool Loaded() const { return FLoaded; }

private:
    void ReadCatalogue(const pugi::xml_document& document, const pugi::xml_parse_result& parsed,
                       const std::string& FileName);
    TDeviceStatus* FindCaseBlind(const std::string& Name) const;
    std::vector<std::unique_ptr<TDeviceStatus>> FEntries;
    TDeviceStatus* FCurrent = nullptr;
    std::string FPreference;
    bool FLoaded = false;
};

// Upper-cases the letters a to z only (as the catalogue's names compare).
std::string UpperCaseAZ(const std::string& Text);
