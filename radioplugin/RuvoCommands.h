#pragma once
// The command lines of the module's language. Every numeric field is
// upper-case hexadecimal, zero-padded to 2 or 4 digits (more when the value
// needs them); every line ends with one LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TRuvoParameter;
enum class TRuvoParam;

// The parameter stores: "%.4X <word> !\n".
enum class TRuvoStore {
    SquelchLow,   // PARAM-SQUELCH-LOW
    SquelchHigh,  // PARAM-SQUELCH-HIGH
    SquelchIndex, // PARAM-SQUELCH-INDEX
    AirLimit,     // PARAM-AIR-LIMIT
    Project,      // PARAM-PROJECT
    NFLevel,      // PARAM-NFLEVEL
    SerialNumber, // PARAM-SN
    Modulation,   // PARAM-MODULATION
    FFSKFilter,   // PARAM-FFSK-FILTER
};
const char* StoreWord(TRuvoStore store);
std::string StoreLine(TRuvoStore store, std::int32_t value);

// One parameter of the module: its store, the value a PARAM report gives
// for it, and where the parameter set keeps it. A report names it by the
// store word without "PARAM-" ("SQUELCH-LOW=DC").
struct TRuvoField {
    TRuvoStore Store;
    TRuvoParam Param;
    const char* Word;
    std::int32_t (*Get)(const TRuvoParameter&);
    void (*Set)(TRuvoParameter&, std::int32_t);

    static constexpr std::size_t StorePrefixLength = sizeof("PARAM-") - 1;
    const char* ReportKey() const { return Word + StorePrefixLength; }
};
// The nine parameters, in the order of a parameter write.
extern const TRuvoField RuvoFields[9];
// The parameter a PARAM report names by its upper-case key, or none.
const TRuvoField* FindReportedField(const std::string& Key);

inline const std::string RuvoFlashParam = "FLASH-PARAM\n";
inline const std::string RuvoReportParam = ".PARAM\n";
inline const std::string RuvoRadioTraceOn = "1 rt\n";
inline const std::string RuvoRadioTalkOn = "radiotalk-on\n";
inline const std::string RuvoRadioTalkOff = "radiotalk-off\n";
inline const std::string RuvoSlotPoll = "04 00 rc\n";
inline const std::string RuvoGPSTraceOn = "1 gt\n";
inline const std::string RuvoGPSTraceOff = "0 gt\n";
inline const std::string RuvoIBISTraceOn = "1 wt\n";
inline const std::string RuvoIBISTraceOff = "0 wt\n";

// The device lines of a parameter write, in order: the nine stores, then
// "FLASH-PARAM", ".PARAM" and "1 rt".
std::vector<std::string> ParameterWriteLines(const TRuvoParameter& Set);

// The lines of a filter switch: the store, "FLASH-PARAM" and ".PARAM".
std::vector<std::string> FilterSwitchLines(bool On);

// One row of a table write: "%.2X %.2X %.2X %.2X rpc\n" from the slot, the
// transmit channel, the receive channel and the power index.
std::string SlotWriteLine(std::int32_t Slot, std::int32_t Transmit, std::int32_t Receive, std::int32_t Power);

// A terminal command: "%.2X %.2X rc\n", upper-cased.
std::string TerminalLine(std::int32_t Command, std::int32_t Value);

// The test tone: "%.2X %.2X %.2X TEST-TONE\n" (channel, tone 0..15, 1 on / 0 off).
std::string TestToneLine(std::int32_t Channel, std::int32_t Tone, bool On);

// An FFSK telegram: the byte text ("06 91 ..." as the dialog builds it),
// the number of bytes, the channel and "FFSK-SEND".
std::string FFSKSendLine(const std::string& ByteText, std::int32_t Channel);

// A value as upper-case hex with at least `digits` digits; a negative value
// is written as its 32-bit two's complement.
std::string HexField(std::int32_t value, int digits);
