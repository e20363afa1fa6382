#include "radioplugin/GlobalFunctionsRuvo.h"

#include "platform/FormatSettings.h"

#include <cfenv>
#include <cmath>

float ChannelToFrequency(std::int32_t channel)
{
    if (channel < RuvoFirstChannel || channel > RuvoLastChannel)
        return 0.0f;
    // Computed wide and rounded once to single precision.
    if (channel <= RuvoLastChannel20kHz)
        return static_cast<float>(146.01L + static_cast<long double>(channel) * 0.02L);
    return static_cast<float>(146.025L + static_cast<long double>(channel - 1400) * 0.025L);
}

namespace {

// The integer part of b, one more when b lies just below the next raster
// point; -1 when b is not within a thousandth of a step of a raster point.
std::int32_t RasterIndex(float b)
{
    const long double whole = std::trunc(static_cast<long double>(b));
    const long double frac = static_cast<long double>(b) - whole;
    const long long c = static_cast<long long>(std::trunc(frac * 1000.0L));
    if (c == 0)
        return static_cast<std::int32_t>(whole);
    if (c == 999)
        return static_cast<std::int32_t>(whole) + 1;
    return -1;
}

} // namespace

std::int32_t FrequencyToChannel(float mhz)
{
    if (!std::isfinite(mhz))
        return -1;
    // Four decimal places, halves to even.
    const int oldRound = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double scaled = std::nearbyint(static_cast<long double>(mhz) * 10000.0L);
    std::fesetround(oldRound);
    const float a = static_cast<float>(scaled / 10000.0L);
    if (a < 146.0f || a > 174.0f)
        return -1;

    const float b20 = static_cast<float>((static_cast<long double>(a) - 146.01L) / 0.02L);
    const std::int32_t n20 = RasterIndex(b20);
    if (b20 > -1.0f && n20 >= RuvoFirstChannel && n20 <= RuvoLastChannel20kHz)
        return n20;

    const float b25 = static_cast<float>((static_cast<long double>(a) - 146.025L) / 0.025L + 1400.0L);
    const std::int32_t n25 = RasterIndex(b25);
    // The 25 kHz raster only knows 1400..2518: 146.0000 (1399 by the
    // formula) and 174.0000 (2519) are no channels.
    if (n25 > RuvoLastChannel20kHz && n25 <= RuvoLastChannel)
        return n25;
    return -1;
}

std::string FrequencyText(std::int32_t channel)
{
    return FloatToStrFixed(ChannelToFrequency(channel), 4);
}

std::string FrequencyDisplayText(std::int32_t channel)
{
    return FrequencyText(channel) + " MHz";
}

namespace {
const char* const PowerTexts[] = {"0,025", "0,025", "0,1", "0,5", "1", "6"};
}

bool IsValidPowerIndex(std::int32_t index)
{
    return index >= 0 && index <= RuvoMaxPowerIndex;
}

std::string PowerText(std::int32_t index)
{
    return IsValidPowerIndex(index) ? PowerTexts[index] : std::string();
}

std::int32_t PowerIndexOfText(const std::string& text)
{
    for (std::int32_t i = 1; i <= RuvoMaxPowerIndex; ++i)
        if (text == PowerTexts[i])
            return i;
    return -1;
}
