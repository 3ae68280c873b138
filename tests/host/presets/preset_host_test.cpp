#include <gtest/gtest.h>

#include "plugin_host.h"

#include <map>

using plugin_host::Format;

namespace
{
    // What a host's automation recorder sees of one instance: the values the
    // plug-in reports, and the gestures (touches of a control) around them.
    struct AutomationWatch : juce::AudioProcessorParameter::Listener
    {
        explicit AutomationWatch (juce::AudioPluginInstance& i) : instance (i)
        {
            for (auto* p : instance.getParameters())
                p->addListener (this);
        }

        ~AutomationWatch() override
        {
            for (auto* p : instance.getParameters())
                p->removeListener (this);
        }

        void parameterValueChanged (int index, float) override { ++valueReports[index]; }
        void parameterGestureChanged (int, bool starting) override { gestures += starting ? 1 : 0; }

        juce::AudioPluginInstance& instance;
        std::map<int, int> valueReports;
        int gestures = 0;
    };
}

// A preset load inside the plug-in reports its values the way a program change
// does; the host must end up showing them, and no gesture may make a recording
// host take them for the user's touches.
TEST (PresetsInHost, ProgramChangeReportsEveryValueWithoutAGesture)
{
    auto instance = plugin_host::load (Format::vst3);
    ASSERT_NE (instance, nullptr);
    AutomationWatch watch (*instance);

    instance->setCurrentProgram (7);
    plugin_host::settle (*instance);

    EXPECT_EQ (watch.gestures, 0);
    const auto settings = juce::JSON::parse (plugin_host::settingsText (Format::vst3, plugin_host::saveState (*instance)));

    for (int index = 0; index < 48; ++index)
    {
        auto* parameter = plugin_host::parameterFor (*instance, index);
        ASSERT_NE (parameter, nullptr);
        EXPECT_GE (watch.valueReports[parameter->getParameterIndex()], 1) << index;
        EXPECT_FLOAT_EQ (parameter->getValue(), (float) (double) settings.getProperty (parameter->getName (64), {})) << index;
    }
}
