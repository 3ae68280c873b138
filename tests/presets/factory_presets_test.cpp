#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "presets/factory_presets.h"

TEST (FactoryPresets, EightProgramsInOrder)
{
    const char* names[] = { "default", "steady noise", "snare noise", "flute noise",
                            "a little lofi", "old casette", "random tape wobble", "hell" };
    ASSERT_EQ (sPresets.list.size(), 8u);
    EXPECT_EQ (sPresets.name, "User Set");

    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ (sPresets.list[i].name, names[i]);

    EXPECT_TRUE (sPresets.list[0].values.empty());
    EXPECT_EQ (sPresets.list[1].values.size(), 5u);
    EXPECT_EQ (sPresets.list[2].values.size(), 10u);
    EXPECT_EQ (sPresets.list[3].values.size(), 8u);
    EXPECT_EQ (sPresets.list[4].values.size(), 18u);
    EXPECT_EQ (sPresets.list[5].values.size(), 20u);
    EXPECT_EQ (sPresets.list[6].values.size(), 7u);
    EXPECT_EQ (sPresets.list[7].values.size(), 20u);
    EXPECT_EQ (sPresets.list[5].values.at (10), 0.3f);
    EXPECT_EQ (sPresets.list[7].values.at (17), 40.0f);
}

TEST (FactoryPresets, ApplyingAProgramConvertsUnitsAndResetsTheRest)
{
    ZorvaluneAudioProcessor p;
    p.setParameter (0, 0.2f);   // must not survive a program change
    p.setCurrentProgram (1);

    EXPECT_FLOAT_EQ (p.getParameter (5), 0.1f);
    EXPECT_FLOAT_EQ (p.getParameter (7), 0.0f);
    EXPECT_FLOAT_EQ (p.getParameter (10), 0.5f);
    EXPECT_FLOAT_EQ (p.getParameter (8), 0.625f);   // -30 dB
    EXPECT_EQ (p.getParameter (4), 1.0f);

    for (int i = 0; i < 48; ++i)
        EXPECT_TRUE (i == 4 || i == 5 || i == 7 || i == 8 || i == 10   // the program's own five
                      || p.getParameter (i) == p.getParameterDefaultValue (i)) << i;

    p.setCurrentProgram (4);
    EXPECT_FLOAT_EQ (p.getParameter (35), 0.006f);
    EXPECT_FLOAT_EQ (p.getParameterValue (35), 120.0f);
    EXPECT_EQ (p.mod1Destination.load(), 5);
    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 0.5f);
}

TEST (FactoryPresets, BeatFractions)
{
    ASSERT_EQ (sBeatFractions.size(), 17u);
    EXPECT_EQ (sBeatFractions.count (0), 0u);
    EXPECT_EQ (sBeatFractions.count (18), 0u);
    EXPECT_EQ (sBeatFractions.at (8), 1.0f);
    EXPECT_EQ (sBeatFractions.at (1), 16.0f);
    EXPECT_EQ (sBeatFractions.at (9), 2.0f / 3.0f);
    EXPECT_EQ (sBeatFractions.at (15), 1.0f / 6.0f);
    EXPECT_EQ (sBeatFractions.at (16), 0.1875f);
    EXPECT_EQ (sBeatFractions.at (17), 0.125f);
}

TEST (FactoryPresets, MidiControllersMapToParameters)
{
    const std::map<int, int> expected { { 102, 5 }, { 103, 18 }, { 104, 17 }, { 105, 21 }, { 106, 22 },
                                        { 107, 35 }, { 108, 37 }, { 109, 13 }, { 110, 19 }, { 111, 25 },
                                        { 112, 24 }, { 113, 29 }, { 114, 28 }, { 115, 38 } };
    EXPECT_EQ (sMidiCC2Param, expected);
    EXPECT_EQ (sMidiCC2Param.count (101), 0u);
    EXPECT_EQ (sMidiCC2Param.count (116), 0u);
}
