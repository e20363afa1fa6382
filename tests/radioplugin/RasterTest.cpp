// The channel raster: band edges, every channel there and back, frequencies
// off the raster, and the power texts.
#include "radioplugin/GlobalFunctionsRuvo.h"
#include "tests/radioplugin/RuvoTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ChannelRaster, FrequenciesAtTheBandEdges)
{
    struct Case {
        std::int32_t Channel;
        const char* Text;
    };
    // In the decimal separator of the machine (',' in the table).
    const Case cases[] = {
        {0, "146,0100"},    {1, "146,0300"},    {1399, "173,9900"}, {1400, "146,0250"},
        {1401, "146,0500"}, {2518, "173,9750"}, {2519, "0,0000"},   {-1, "0,0000"},
        {INT32_MIN, "0,0000"}, {INT32_MAX, "0,0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrequencyText(c.Channel), Num(c.Text)) << "channel " << c.Channel;
        EXPECT_EQ(FrequencyDisplayText(c.Channel), Num(c.Text) + " MHz") << "channel " << c.Channel;
    }
    EXPECT_EQ(ChannelToFrequency(2519), 0.0f);
    EXPECT_EQ(ChannelToFrequency(-1), 0.0f);
}

TEST(ChannelRaster, FrequencyToChannel)
{
    struct Case {
        float MHz;
        std::int32_t Channel;
    };
    const Case cases[] = {
        {146.01f, 0},     {146.03f, 1},      {146.05f, 2}, // both rasters: 20 kHz wins
        {146.075f, 1402}, {173.99f, 1399},   {173.975f, 2518}, {146.025f, 1400},
        {146.035f, -1},   {174.1f, -1},      {145.99f, -1},    {146.0f, -1}, // 1399 by the bare formula
        {174.0f, -1},                                                           // 2519 by the bare formula
        {146.01004f, 0},  {146.0101f, -1},   {-146.01f, -1},   {0.0f, -1},
        {NAN, -1},        {INFINITY, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrequencyToChannel(c.MHz), c.Channel) << c.MHz << " MHz";
}

TEST(ChannelRaster, EveryChannelMapsBack)
{
    // Every fourth 25 kHz channel from 1401 on lies on a 20 kHz channel and
    // maps to that one; all others map to themselves.
    int shared = 0;
    for (std::int32_t n = 0; n <= RuvoLastChannel; ++n) {
        const float f = ChannelToFrequency(n);
        const std::int32_t back = FrequencyToChannel(f);
        if (n >= 1401 && (n - 1401) % 4 == 0) {
            ++shared;
            ASSERT_GE(back, 0) << n;
            ASSERT_LE(back, RuvoLastChannel20kHz) << n;
            EXPECT_EQ(FrequencyText(back), FrequencyText(n)) << n;
        } else {
            ASSERT_EQ(back, n) << FrequencyText(n);
        }
    }
    EXPECT_EQ(shared, 280);
}

TEST(ChannelRaster, PowerTexts)
{
    const char* texts[] = {"0,025", "0,025", "0,1", "0,5", "1", "6"};
    for (int i = 0; i <= 5; ++i) {
        EXPECT_EQ(PowerText(i), texts[i]);
        if (i > 0) {
            EXPECT_EQ(PowerIndexOfText(texts[i]), i);
        }
    }
    for (const int bad : {-1, 6, 100})
        EXPECT_EQ(PowerText(bad), "") << bad;
    for (const char* bad : {"", "0.1", "0,10", " 1", "6 W"})
        EXPECT_EQ(PowerIndexOfText(bad), -1) << bad;
}
