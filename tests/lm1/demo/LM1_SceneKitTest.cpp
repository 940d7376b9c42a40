// Channel colours: the bytes every scene's clear colour comes from.

#include "LM1_SceneKit.h"
#include "QC_Log.h"
#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <cmath>

#include <cstring>

namespace
{
QC_Ptr<QD_Sequencer> Script(const char* text)
{
    QC_Ptr<QD_Sequencer> sequencer;
    EXPECT_TRUE(QD_ParseSequencerText(text, static_cast<std::uint32_t>(std::strlen(text)), sequencer)) << text;
    return sequencer;
}
} // namespace

TEST(LM1_SceneKitTest, ChannelIntegersTruncateTowardZeroAndHoldWildValues)
{
    EXPECT_EQ(LM1_ChannelInt(3.9f), 3);
    EXPECT_EQ(LM1_ChannelInt(-3.9f), -3);
    EXPECT_EQ(LM1_ChannelInt(101.0f), 101);
    // What a saved script may hold: NaN, infinities and values beyond the integer range, whose
    // conversion would be undefined (the sanitiser build checks it).
    EXPECT_EQ(LM1_ChannelInt(std::nanf("")), 0);
    EXPECT_EQ(LM1_ChannelInt(INFINITY), 2147483520);
    EXPECT_EQ(LM1_ChannelInt(-INFINITY), -2147483520);
    EXPECT_EQ(LM1_ChannelInt(3.0e38f), 2147483520);
    EXPECT_EQ(LM1_ChannelInt(-3.0e38f), -2147483520);
}

TEST(LM1_SceneKitTest, ChannelColoursScaleToBytesAndHoldOvershootsAtTheEnds)
{
    QC_CreateLog(QC_LogConfig{});
    // In range: truncated, not rounded.
    const QR_Colour plain = LM1_ChannelColour(*Script("10 = 1; 11 = 0.5; 12 = 0;"), 10);
    EXPECT_EQ(plain.r, 255);
    EXPECT_EQ(plain.g, 127);
    EXPECT_EQ(plain.b, 0);
    EXPECT_EQ(plain.a, 255);

    // A spline overshooting 1 stays full instead of wrapping to a dark byte; below 0 is black;
    // far beyond the integer range is still full.
    const QR_Colour overshoot = LM1_ChannelColour(*Script("10 = 1.2; 11 = -0.3; 12 = 1000000000000000000000000000000; 13 = 0.25;"), 10, true);
    EXPECT_EQ(overshoot.r, 255);
    EXPECT_EQ(overshoot.g, 0);
    EXPECT_EQ(overshoot.b, 255);
    EXPECT_EQ(overshoot.a, 63) << "the fourth channel gives alpha when asked for";
    QC_DestroyLog();
}
