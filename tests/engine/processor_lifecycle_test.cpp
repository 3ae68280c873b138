#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"

TEST (ProcessorLifecycle, FreshInstanceReportsItsIdentity)
{
    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.getName(), "Zorvalune");
    EXPECT_EQ (p.getNumParameters(), 48);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.currentProgram.load(), -1);
}
