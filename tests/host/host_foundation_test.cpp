#include <gtest/gtest.h>

#include "plugin_host.h"
#include "tests/engine/block_runner.h"
#include "tests/expected_parameters.h"

#include <cmath>
#include <set>

using plugin_host::Format;
using expected_parameters::names;
using expected_parameters::defaults;
using block_runner::allFinite;

namespace
{
    juce::var stateObject (Format f, juce::AudioPluginInstance& instance)
    {
        return juce::JSON::parse (plugin_host::settingsText (f, plugin_host::saveState (instance)));
    }
}

class HostFoundation : public testing::TestWithParam<Format> {};

TEST_P (HostFoundation, OffersFortyEightParametersWithNamesAndDefaults)
{
    auto instance = plugin_host::load (GetParam());
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getName(), "Zorvalune");

    for (int i = 0; i < 48; ++i)
    {
        auto* param = plugin_host::parameterFor (*instance, i);
        ASSERT_NE (param, nullptr) << names[i];
        EXPECT_EQ (param->getName (100), names[i]);
        EXPECT_NEAR (param->getDefaultValue(), defaults[i], 1.0e-6f) << names[i];
        EXPECT_NEAR (param->getValue(), defaults[i], 1.0e-6f) << names[i];

        if (GetParam() == Format::vst3)   // LV2 has neither a text callback nor an automation flag
        {
            EXPECT_EQ (param->isAutomatable(), i != 14 && i != 36) << names[i];
            EXPECT_EQ (param->getCurrentValueAsText(), juce::String (defaults[i])) << names[i];
        }
    }
}

TEST_P (HostFoundation, ParameterIdsAreUniqueAndReachTheirOwnIndex)
{
    auto instance = plugin_host::load (GetParam());
    ASSERT_NE (instance, nullptr);

    std::set<juce::String> ids;

    for (auto* p : instance->getParameters())
    {
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (p))
        {
            EXPECT_TRUE (ids.insert (hosted->getParameterID()).second) << "duplicate id " << hosted->getParameterID();
        }
    }

    // Distinct values that the source codes do not snap: code k is k / 100.
    for (int i = 0; i < 48; ++i)
    {
        auto* param = plugin_host::parameterFor (*instance, i);
        ASSERT_NE (param, nullptr) << names[i];
        param->setValueNotifyingHost ((float) (i % 9 + 1) / 100.0f);
    }

    plugin_host::settle (*instance);
    const auto state = stateObject (GetParam(), *instance);
    ASSERT_TRUE (state.isObject());

    for (int i = 0; i < 48; ++i)
        EXPECT_NEAR ((double) state[names[i]], (i % 9 + 1) / 100.0, 1.0e-6) << names[i];

    if (auto* bypass = instance->getBypassParameter())
    {
        EXPECT_LT (bypass->getValue(), 0.5f);
    }
}

TEST_P (HostFoundation, DeclaresItsBusesAndPrograms)
{
    auto instance = plugin_host::load (GetParam());
    ASSERT_NE (instance, nullptr);

    ASSERT_EQ (instance->getBusCount (true), 2);
    ASSERT_EQ (instance->getBusCount (false), 1);

    if (GetParam() == Format::vst3)   // LV2 ports carry no bus names
    {
        EXPECT_EQ (instance->getBus (true, 0)->getName(), "Input");
        EXPECT_EQ (instance->getBus (true, 1)->getName(), "Sidechain");
        EXPECT_EQ (instance->getBus (false, 0)->getName(), "Output");
    }

    const char* programs[] = { "default", "steady noise", "snare noise", "flute noise",
                               "a little lofi", "old casette", "random tape wobble", "hell" };
    ASSERT_EQ (instance->getNumPrograms(), 8);
    juce::StringArray seen;

    for (int i = 0; i < 8; ++i)
        seen.add (instance->getProgramName (i));

    if (GetParam() == Format::lv2)   // LV2 hosts list presets in their own order
        seen.sort (false);

    juce::StringArray expected (programs, 8);

    if (GetParam() == Format::lv2)
        expected.sort (false);

    EXPECT_EQ (seen, expected);
}

TEST_P (HostFoundation, ProgramChangeShowsInTheHostsParameters)
{
    auto instance = plugin_host::load (GetParam());
    ASSERT_NE (instance, nullptr);

    int steadyNoise = 0;

    while (steadyNoise < instance->getNumPrograms() && instance->getProgramName (steadyNoise) != "steady noise")
        ++steadyNoise;

    ASSERT_LT (steadyNoise, instance->getNumPrograms());
    auto* noiseOn = plugin_host::parameterFor (*instance, 4);
    auto* threshold = plugin_host::parameterFor (*instance, 7);
    ASSERT_NE (noiseOn, nullptr);
    ASSERT_NE (threshold, nullptr);

    instance->setCurrentProgram (steadyNoise);

    EXPECT_TRUE (plugin_host::settleUntil (*instance, [&] { return noiseOn->getValue() > 0.5f; }));
    EXPECT_NEAR (noiseOn->getValue(), 1.0f, 1.0e-6f);
    EXPECT_NEAR (threshold->getValue(), 0.0f, 1.0e-6f);   // -80 dB
}

TEST_P (HostFoundation, StateSurvivesAFreshInstanceByteForByte)
{
    auto first = plugin_host::load (GetParam());
    ASSERT_NE (first, nullptr);
    auto* dryWet = plugin_host::parameterFor (*first, 0);
    ASSERT_NE (dryWet, nullptr);
    first->setCurrentProgram (5);
    plugin_host::settle (*first);
    dryWet->setValueNotifyingHost (0.375f);
    ASSERT_TRUE (plugin_host::settleUntil (*first, [&]
    {
        return plugin_host::settingsText (GetParam(), plugin_host::saveState (*first)).contains ("\"Dry Wet\": 0.375,");
    }));
    const auto saved = plugin_host::saveState (*first);

    auto second = plugin_host::load (GetParam());
    ASSERT_NE (second, nullptr);
    second->setStateInformation (saved.getData(), (int) saved.getSize());
    plugin_host::settle (*second);
    const auto again = plugin_host::saveState (*second);

    EXPECT_EQ (plugin_host::settingsText (GetParam(), again), plugin_host::settingsText (GetParam(), saved));
    EXPECT_TRUE (again == saved) << "the wrapper's own framing differs";
    auto* restored = plugin_host::parameterFor (*second, 0);
    ASSERT_NE (restored, nullptr);
    EXPECT_NEAR (restored->getValue(), 0.375f, 1.0e-6f);
}

TEST_P (HostFoundation, ProcessesEveryRateChannelCountAndBlockSize)
{
    int layoutsTaken = 0;

    for (double rate : { 44100.0, 48000.0, 96000.0 })
    {
        for (int channels : { 1, 2, 6, 8 })
        {
            auto instance = plugin_host::load (GetParam(), rate, 512);
            ASSERT_NE (instance, nullptr);

            auto layout = instance->getBusesLayout();
            layout.inputBuses.getReference (0) = juce::AudioChannelSet::canonicalChannelSet (channels);
            layout.outputBuses.getReference (0) = juce::AudioChannelSet::canonicalChannelSet (channels);
            instance->releaseResources();

            if (! instance->setBusesLayout (layout))
            {
                EXPECT_EQ (GetParam(), Format::lv2) << channels << " channels refused";   // LV2 fixes its ports at build time
                continue;
            }

            ++layoutsTaken;
            instance->prepareToPlay (rate, 512);
            instance->setCurrentProgram (7);   // every section on

            juce::Random random (channels);
            juce::AudioBuffer<float> in (channels, 2048);

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < in.getNumSamples(); ++i)
                    in.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

            for (int block : { 1, 7, 64, 333, 512 })
            {
                SCOPED_TRACE (testing::Message() << rate << " Hz, " << channels << " ch, block " << block);
                const auto out = plugin_host::process (*instance, in, block);
                EXPECT_TRUE (allFinite (out));
                EXPECT_GT (out.getMagnitude (channels - 1, 0, out.getNumSamples()), 0.0f);   // the last channel sounds too
            }
        }
    }

    EXPECT_EQ (layoutsTaken, GetParam() == Format::vst3 ? 12 : 3);   // LV2: its one layout at each rate
}

INSTANTIATE_TEST_SUITE_P (Formats, HostFoundation, testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& testInfo) { return std::string (plugin_host::formatName (testInfo.param)); });

// A host that takes the LV2 as it finds it: stereo main buses and a side chain
// it must connect (an optional port that a host left unconnected crashed the
// client), which plays silence until the host routes audio to it.
TEST (HostFoundationLv2, DefaultBusesProcessAndASilentSideChainRingsToSilence)
{
    auto instance = plugin_host::load (Format::lv2, 48000.0, 512, false);
    ASSERT_NE (instance, nullptr);
    ASSERT_EQ (instance->getBusCount (true), 2);
    EXPECT_EQ (instance->getMainBusNumInputChannels(), 2);
    EXPECT_EQ (instance->getMainBusNumOutputChannels(), 2);
    ASSERT_EQ (instance->getTotalNumInputChannels(), 3) << "the side chain is connected";

    auto withoutSideChain = instance->getBusesLayout();
    withoutSideChain.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();
    EXPECT_FALSE (instance->checkBusesLayoutSupported (withoutSideChain));

    // Modulation 1 rings the input with the side chain.
    for (const auto& [index, value] : { std::pair { 26, 0.05f }, std::pair { 27, 0.03f } })
    {
        auto* parameter = plugin_host::parameterFor (*instance, index);
        ASSERT_NE (parameter, nullptr);
        parameter->setValueNotifyingHost (value);
    }

    plugin_host::settle (*instance);
    constexpr int length = 24000, settled = 12000;
    juce::AudioBuffer<float> in (instance->getTotalNumInputChannels(), length);
    in.clear();

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < length; ++i)
            in.setSample (c, i, 0.5f * (float) std::sin (0.05 * i));

    const auto silent = plugin_host::process (*instance, in, 512);
    ASSERT_TRUE (allFinite (silent));

    for (int c = 0; c < 2; ++c)
        EXPECT_LT (silent.getMagnitude (c, settled, length - settled), 1.0e-6f) << "channel " << c;

    // The same instance hears a side chain once the host plays one into it.
    for (int i = 0; i < length; ++i)
        in.setSample (2, i, 0.5f * (float) std::sin (0.013 * i));

    const auto ringing = plugin_host::process (*instance, in, 512);

    for (int c = 0; c < 2; ++c)
        EXPECT_GT (ringing.getMagnitude (c, settled, length - settled), 0.01f) << "channel " << c;
}
