#pragma once
// What the transport and the reply parser tell the dialog that owns them.
// Every method has a default that does nothing, so a test or a headless
// owner overrides only what it watches.
#include <cstdint>
#include <string>

class TChannelEntry;

// The device values a PARAM report names.
enum class TRuvoParam { SquelchLow, SquelchHigh, SquelchIndex, AirLimit, Project, NFLevel, SerialNumber, Modulation, FFSKFilter };

// The monitor windows the module's trace lines go to.
enum class TRuvoMonitor { GPS, Terminal, IBIS };

class TRuvoView {
public:
    virtual ~TRuvoView() = default;

    // A PARAM report set a value; the parameter set holds it already.
    virtual void ParameterReported(TRuvoParam /*param*/, std::int32_t /*value*/) {}
    // Items of the project list; a reported project number at or beyond it
    // is warned about (ShowWarning) and item 0 is selected.
    virtual int ProjectCount() const { return 3; }
    virtual void ShowWarning(const std::string& /*text*/) {}
    // A memory-slot telegram filled a slot: its table row is to be redrawn.
    virtual void SlotReported(const TChannelEntry& /*slot*/) {}
    // A trace line for a monitor window; a window that is not open drops it.
    virtual void MonitorLine(TRuvoMonitor /*monitor*/, const std::string& /*line*/) {}
    // The progress display of a table write.
    virtual void ProgressStep() {}
    virtual void ProgressHide() {}
    // Lets the GUI run its pending events once.
    virtual void ProcessMessages() {}
};
