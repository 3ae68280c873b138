#include <gtest/gtest.h>

#include <juce_gui_basics/juce_gui_basics.h>

// The framework's message manager and GUI singletons exist for the whole run,
// as they do inside a host.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    const juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
