#include <gtest/gtest.h>

#include "plugin_host.h"
#include "../../engine/block_runner.h"
#include "../modulation/hosted_instance.h"

#include <cmath>

// The delay a host is told against the delay it hears, through the built
// VST3 and LV2 bundles.
using plugin_host::Format;

namespace
{
    enum Param { dryWet = 0, tapeOn = 20, tapeFreqDelta = 21, tapeRotation = 22, mod1Depth = 24, lfo1Freq = 25, mod1Dest = 27 };

    void set (juce::AudioPluginInstance& instance, int index, float value)
    {
        auto* p = plugin_host::parameterFor (instance, index);
        ASSERT_NE (p, nullptr) << index;
        p->setValue (value);
    }

    // The tape line's length (a delay of one less), in the chain's own float
    // arithmetic: 575 at the defaults, 48 kHz.
    int tapeLength (float depthRaw, float rotationRaw, float rate)
    {
        const float hz = std::max (0.1f, rotationRaw * 100.0f);
        return (int) ((depthRaw / 25.0f + 1.0f - 1.0f) * (rate / hz));
    }

    // How late three impulses, 12000 samples apart, come out; -1 unless all
    // three agree. Runs 36000 samples in blocks of `block`.
    int heardDelay (juce::AudioPluginInstance& instance, int block)
    {
        constexpr int spacing = 12000;
        juce::AudioBuffer<float> in (instance.getTotalNumInputChannels(), 3 * spacing);
        in.clear();

        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < in.getNumChannels(); ++c)
                in.setSample (c, k * spacing + 6000, 1.0f);

        const auto out = block_runner::process (instance, in, { block });
        int agreed = -2;

        for (int k = 0; k < 3; ++k)
        {
            const int from = k * spacing + 6000;
            int loudest = from;

            for (int i = from; i < juce::jmin (from + spacing, out.getNumSamples()); ++i)
                if (std::abs (out.getSample (0, i)) > std::abs (out.getSample (0, loudest)))
                    loudest = i;

            agreed = agreed == -2 || agreed == loudest - from ? loudest - from : -1;
        }

        return agreed;
    }

    // Runs a second of silence and the message loop until the host's figure
    // has had time to follow the settings.
    void letTheTapeSettle (juce::AudioPluginInstance& instance, int block)
    {
        block_runner::process (instance, block_runner::constant (instance.getTotalNumInputChannels(), 48000, 0.0f), { block });
        plugin_host::settle (instance);
    }
}

class LatencyHost : public testing::TestWithParam<Format> {};

TEST_P (LatencyHost, ReportedLatencyIsTheDelayAtEveryBlockSize)
{
    // As loaded, then with the tape line shortened (the read walks to the new
    // length within a block, whatever its size).
    const int expected = tapeLength (0.3f, 0.01f, 48000.0f) - 1;
    const int shortened = tapeLength (0.3f, 0.05f, 48000.0f) - 1;

    for (int block : { 32, 64, 256, 512, 1024 })
    {
        auto instance = plugin_host::load (GetParam(), 48000.0, block);
        ASSERT_NE (instance, nullptr);

        // A VST3 host reads it as it activates us; an LV2 one after a block has run.
        if (GetParam() == Format::vst3)
        {
            EXPECT_EQ (instance->getLatencySamples(), expected) << "block " << block << ", as prepared";
        }

        EXPECT_EQ (heardDelay (*instance, block), expected) << "block " << block;
        plugin_host::settle (*instance);
        EXPECT_EQ (instance->getLatencySamples(), expected) << "block " << block;

        set (*instance, tapeRotation, 0.05f);
        letTheTapeSettle (*instance, block);
        EXPECT_EQ (heardDelay (*instance, block), shortened) << "block " << block << ", shortened";
        plugin_host::settle (*instance);
        EXPECT_EQ (instance->getLatencySamples(), shortened) << "block " << block << ", shortened";
    }
}

TEST_P (LatencyHost, ReportedLatencyFollowsTheTapeOnceItSettles)
{
    auto instance = plugin_host::load (GetParam(), 48000.0, 256);
    ASSERT_NE (instance, nullptr);

    // Over the rotation range (0.1 Hz up to 100 Hz), back and forth, then at
    // another depth; last with the wobble on, where the dry path (all this
    // mix plays) sits at the centre the wet swings around.
    struct setting { int parameter; float value; };
    const setting settings[] = { { tapeRotation, 0.0f }, { tapeRotation, 1.0f }, { tapeRotation, 0.002f },
                                 { tapeRotation, 0.05f }, { tapeRotation, 0.3f }, { tapeFreqDelta, 0.8f },
                                 { dryWet, 0.0f }, { tapeOn, 1.0f } };
    float depth = 0.3f, rotation = 0.01f;

    for (const auto& [parameter, value] : settings)
    {
        set (*instance, parameter, value);
        depth = parameter == tapeFreqDelta ? value : depth;
        rotation = parameter == tapeRotation ? value : rotation;
        SCOPED_TRACE ("parameter " + std::to_string (parameter) + " at " + std::to_string (value));

        letTheTapeSettle (*instance, 256);
        const int heard = heardDelay (*instance, 256);
        plugin_host::settle (*instance);
        EXPECT_GE (heard, 0);

        // A wobbling tape's centre comes out a sample either way.
        if (parameter == tapeOn)
        {
            EXPECT_NEAR (instance->getLatencySamples(), heard, 1);
        }
        else
        {
            EXPECT_EQ (instance->getLatencySamples(), heard);
            EXPECT_EQ (heard, tapeLength (depth, rotation, 48000.0f) - 1);
        }
    }

    // Through two transport starts each dry sample comes out as late as told
    // (a sample either way), and playing tells the host nothing new.
    hosted::play_head head;
    instance->setPlayHead (&head);
    const int told = instance->getLatencySamples();

    for (int start = 0; start < 2; ++start)
    {
        head.playing = true;
        const auto in = block_runner::noise (instance->getTotalNumInputChannels(), 24000, 0.5f, start + 2);
        const auto out = block_runner::process (*instance, in, { 256 });
        int strayed = 0;

        for (int i = told + 1; i < out.getNumSamples(); ++i)
        {
            const float x = out.getSample (0, i);
            strayed += x == in.getSample (0, i - told) || x == in.getSample (0, i - told - 1) || x == in.getSample (0, i - told + 1) ? 0 : 1;
        }

        EXPECT_EQ (strayed, 0) << "start " << start;
        plugin_host::settle (*instance);
        EXPECT_EQ (instance->getLatencySamples(), told) << "start " << start;
        head.playing = false;
        plugin_host::settle (*instance);
    }

    instance->setPlayHead (nullptr);
}

// A tape set while stopped tells the host its delay within three wobbles and
// 2 s; through a long playback each dry sample then comes out as late as told,
// and playing tells the host nothing new (where the wobble is slow against the
// rate, its read used to drift for good). A modulation of the wobble moves
// the wet's centre about, within the swing (one in step with the wobble
// pulled it later for good); the dry stays put.
TEST_P (LatencyHost, TheTapeStaysAsLateAsToldThroughALongPlayback)
{
    struct setting { double rate; float depth, rotation; bool modulated; float wet; };

    for (const auto& s : { setting { 96000.0, 0.3f, 0.01f, false, 0.0f }, setting { 96000.0, 0.8f, 0.01f, false, 0.0f },
                           setting { 48000.0, 0.3f, 0.0f, false, 0.0f }, setting { 48000.0, 0.8f, 0.01f, true, 0.0f },
                           setting { 48000.0, 0.8f, 0.01f, true, 1.0f } })
    {
        SCOPED_TRACE (juce::String (s.rate) + " Hz, depth " + juce::String (s.depth) + ", rotation " + juce::String (s.rotation)
                      + (s.modulated ? ", a 1 Hz LFO on the depth" : "") + (s.wet > 0.0f ? ", wet" : ", dry"));
        auto instance = plugin_host::load (GetParam(), s.rate, 512);
        ASSERT_NE (instance, nullptr);
        plugin_host::settle (*instance);
        const int before = instance->getLatencySamples();

        for (const auto& [parameter, value] : { std::pair<int, float> { dryWet, s.wet }, { tapeOn, 1.0f }, { tapeFreqDelta, s.depth },
                                                { tapeRotation, s.rotation } })
            set (*instance, parameter, value);

        if (s.modulated)
            for (const auto& [parameter, value] : { std::pair<int, float> { lfo1Freq, 0.0025f }, { mod1Depth, 1.0f }, { mod1Dest, 0.06f } })
                set (*instance, parameter, value);

        const double wobbleHz = std::max (0.1, s.rotation * 100.0);
        const int stopped = (int) ((3.0 / wobbleHz + 2.0) * s.rate) - 160;   // settle() runs 160 more
        block_runner::process (*instance, block_runner::constant (instance->getTotalNumInputChannels(), stopped, 0.0f), { 512 });
        plugin_host::settle (*instance);
        const int told = instance->getLatencySamples();
        EXPECT_NE (told, before);

        hosted::play_head head;
        head.playing = true;
        instance->setPlayHead (&head);
        const int swing = (int) (s.depth / 25.0 * s.rate / juce::MathConstants<double>::twoPi / wobbleHz);
        const int reach = s.wet > 0.0f ? swing + 3 : 2;
        const auto strayed = block_runner::rampDelaysAround (*instance, told, 30.0);
        EXPECT_GE (strayed.getStart(), -reach);
        EXPECT_LE (strayed.getEnd(), reach);
        plugin_host::settle (*instance);
        EXPECT_EQ (instance->getLatencySamples(), told);
        instance->setPlayHead (nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, LatencyHost, testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& testInfo) { return std::string (plugin_host::formatName (testInfo.param)); });
