#pragma once
// The module's channel raster: channel numbers 0..2518 on two interleaved
// rasters in the 146-174 MHz band, and the power steps of a memory slot.
//
//   channels    0..1399: 146.010 MHz + n x 20 kHz  (146.0100 .. 173.9900)
//   channels 1400..2518: 146.025 MHz + (n-1400) x 25 kHz (146.0250 .. 173.9750)
#include <cstdint>
#include <string>

constexpr std::int32_t RuvoFirstChannel = 0;
constexpr std::int32_t RuvoLastChannel20kHz = 1399;
constexpr std::int32_t RuvoLastChannel = 2518;

// MHz of a channel; 0.0 for a number outside 0..2518.
float ChannelToFrequency(std::int32_t channel);

// The channel of a frequency in MHz, or -1 when it lies on neither raster
// (outside the band, between raster points, or on a raster point that has no
// channel, such as 146.0000 and 174.0000). A frequency counts as on a raster
// when it lies less than a thousandth of a raster step from a raster point;
// where both rasters hit it, the 20 kHz raster wins.
std::int32_t FrequencyToChannel(float mhz);

// The frequency of a channel with four decimals, in the decimal separator
// of the format settings ("146,0100" with a decimal comma): the text a
// person types back into the channel table.
std::string FrequencyText(std::int32_t channel);
// The same followed by " MHz": what the channel table shows.
std::string FrequencyDisplayText(std::int32_t channel);

// Power index of a slot and its text in watts, with a decimal comma:
// 1 "0,025", 2 "0,1", 3 "0,5", 4 "1", 5 "6"; index 0 shows as "0,025".
constexpr std::int32_t RuvoMaxPowerIndex = 5;
bool IsValidPowerIndex(std::int32_t index); // 0..5
// The text of a power index, empty for an index outside 0..5.
std::string PowerText(std::int32_t index);
// The index of one of the five texts (exact match), or -1.
std::int32_t PowerIndexOfText(const std::string& text);
