#include <gtest/gtest.h>

#include "detect/detection.h"

using namespace qmd;

TEST(DetectionSettings, ThresholdIsTheSliderMaximumLessThePosition)
{
    EXPECT_EQ(ThresholdForPosition(0), 255);
    EXPECT_EQ(ThresholdForPosition(255), 0);
    EXPECT_EQ(ThresholdForPosition(210), 45);
    EXPECT_EQ(ThresholdForPosition(150), 105);
    for (int position = 0; position <= 255; ++position) EXPECT_EQ(255 - ThresholdForPosition(position), position);
    // Taken on 8 bits, as the slider's low bytes.
    EXPECT_EQ(ThresholdForPosition(256), 255);
}

TEST(DetectionSettings, DelayTextFollowsTheIntegerRules)
{
    DetectionState state;
    EXPECT_EQ(ApplyStartDelayText(state, "30"), 30);
    EXPECT_EQ(state.StartDelayFrames, 30);
    EXPECT_EQ(ApplyStartDelayText(state, "-3"), -3);
    EXPECT_EQ(state.StartDelayFrames, -3);
    EXPECT_EQ(ApplyStartDelayText(state, "0x10"), 16);
    EXPECT_EQ(ApplyStartDelayText(state, "0"), 0);
    EXPECT_EQ(state.StartDelayFrames, 0);

    state.StartDelayFrames = 25;
    for (const char* invalid : {"", "abc", "12a", "2147483648", "0x", "- 1"}) {
        EXPECT_EQ(ApplyStartDelayText(state, invalid), std::nullopt) << invalid;
        EXPECT_EQ(state.StartDelayFrames, 25) << invalid;
    }
}

TEST(DetectionSettings, ClearingTheMemoryTouchesOnlyTheCountAndTheLatches)
{
    DetectionState state;
    state.ProgramsLaunched = true;
    state.InfoShown = true;
    state.FrameCounter = 26;
    state.DetectBusy = true;
    state.CurrentSlot = 1;
    state.Threshold = 7;
    state.StartDelayFrames = 9;
    ClearDetectionMemory(state);
    EXPECT_FALSE(state.ProgramsLaunched);
    EXPECT_FALSE(state.InfoShown);
    EXPECT_EQ(state.FrameCounter, 0);
    EXPECT_TRUE(state.DetectBusy);
    EXPECT_EQ(state.CurrentSlot, 1);
    EXPECT_EQ(state.Threshold, 7);
    EXPECT_EQ(state.StartDelayFrames, 9);
}
