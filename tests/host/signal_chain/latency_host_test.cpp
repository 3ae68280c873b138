#include <gtest/gtest.h>

#include "plugin_host.h"
#include "../../engine/block_runner.h"
#include "../modulation/hosted_instance.h"

#include <cmath>
#include <random>
#include <sstream>
#include <utility>

// The delay a host is told against the delay it hears, through the built
// VST3 and LV2 bundles.
using plugin_host::Format;

namespace
{
    enum Param { dryWet = 0, tapeOn = 20, tapeFreqDelta = 21, tapeRotation = 22, mod1Depth = 24, lfo1Freq = 25, mod1Source = 26, mod1Dest = 27 };
    constexpr int modSlotParams = 4;   // depth, rate, source and destination of a slot, mod 2 after mod 1
    constexpr int mod2Depth = mod1Depth + modSlotParams, mod2Source = mod1Source + modSlotParams, mod2Dest = mod1Dest + modSlotParams;

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

    // Runs `seconds` of silence and the message loop, so that the host's
    // figure has had time to follow the settings.
    void silence (juce::AudioPluginInstance& instance, double seconds, int block = 511)
    {
        const int samples = (int) (seconds * instance.getSampleRate());
        block_runner::process (instance, block_runner::constant (instance.getTotalNumInputChannels(), samples, 0.0f), { block });
        plugin_host::settle (instance);
    }

    // After a tape change: three wobbles and 2 s stopped, then `seconds` of the
    // counting ramp from a transport start (`beforeBlock` as the ramp takes
    // it). Returns the delay told and the delays heard less it; playing must
    // tell the host nothing new.
    std::pair<int, block_runner::ramp_delays> playAfterAChange (juce::AudioPluginInstance& instance, double wobbleHz, double seconds,
                                                                const std::vector<int>& blocks,
                                                                const std::function<void (double)>& beforeBlock = {})
    {
        hosted::play_head head;
        instance.setPlayHead (&head);
        const int stopped = (int) ((3.0 / wobbleHz + 2.0) * instance.getSampleRate()) - 160;   // settle() runs 160 more
        block_runner::process (instance, block_runner::constant (instance.getTotalNumInputChannels(), stopped, 0.0f), { 512 });
        plugin_host::settle (instance);
        const int told = instance.getLatencySamples();
        head.playing = true;
        const auto heard = block_runner::rampDelaysAround (instance, told, seconds, blocks, beforeBlock);
        head.playing = false;
        plugin_host::settle (instance);
        EXPECT_EQ (instance.getLatencySamples(), told);
        instance.setPlayHead (nullptr);
        return { told, heard };
    }

    void expectExactlyAsTold (const block_runner::ramp_delays& heard)
    {
        EXPECT_EQ (heard.strayed.getStart(), 0);
        EXPECT_EQ (heard.strayed.getEnd(), 0);
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
        silence (*instance, 1.0, block);
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
    // another depth and at one a sample longer; last with the wobble on, where
    // the dry path (all this mix plays) sits at the centre the wet swings around.
    struct setting { int parameter; float value; };
    const setting settings[] = { { tapeRotation, 0.0f }, { tapeRotation, 1.0f }, { tapeRotation, 0.002f },
                                 { tapeRotation, 0.05f }, { tapeRotation, 0.3f }, { tapeFreqDelta, 0.8f }, { tapeFreqDelta, 0.8157f },
                                 { dryWet, 0.0f }, { tapeOn, 1.0f } };
    float depth = 0.3f, rotation = 0.01f;

    for (const auto& [parameter, value] : settings)
    {
        set (*instance, parameter, value);
        depth = parameter == tapeFreqDelta ? value : depth;
        rotation = parameter == tapeRotation ? value : rotation;
        SCOPED_TRACE ("parameter " + std::to_string (parameter) + " at " + std::to_string (value));

        silence (*instance, 1.0, 256);
        const int heard = heardDelay (*instance, 256);
        plugin_host::settle (*instance);
        EXPECT_GE (heard, 0);

        EXPECT_EQ (instance->getLatencySamples(), heard);

        if (parameter != tapeOn)
        {
            EXPECT_EQ (heard, tapeLength (depth, rotation, 48000.0f) - 1);
        }
    }

    // Through two transport starts each dry sample comes out as late as told,
    // and playing tells the host nothing new.
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
            strayed += x == in.getSample (0, i - told) ? 0 : 1;
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
// 2 s; through a long playback each dry sample then comes out exactly as late
// as told, and playing tells the host nothing new (where the wobble is slow
// against the rate, its read used to drift for good; the dry, following the
// read, sat on either whole sample around a centre between them). A
// modulation of the wobble moves the wet's centre about, within the swing
// (one in step with the wobble pulled it later for good); the dry stays put,
// whatever phase the 1 Hz LFO (0.5 Hz until the change) meets the wobble in.
TEST_P (LatencyHost, TheTapeStaysAsLateAsToldThroughALongPlayback)
{
    // `destination`: a 1 Hz LFO at full depth on the wobble's rate (5) or depth (6).
    struct setting { double rate; float depth, rotation; int destination; float wet; double ranBefore = 0.0; };

    // (The 1 Hz wobble at 44.1 kHz and 0.8, 48 kHz and 0.3, 96 kHz and 0.8
    // plays as long in AModulationNeverMovesTheDry, before its slots move.)
    for (const auto& s : { setting { 96000.0, 0.3f, 0.01f, 0, 0.0f },
                           setting { 192000.0, 0.8f, 0.01f, 0, 0.0f }, setting { 48000.0, 0.3f, 0.0f, 0, 0.0f },
                           setting { 48000.0, 0.5f, 0.0f, 0, 0.0f }, setting { 48000.0, 1.0f, 0.05f, 0, 0.0f },
                           setting { 48000.0, 0.8f, 0.01f, 6, 1.0f },
                           setting { 48000.0, 0.3f, 0.01f, 6, 0.0f, 0.05 }, setting { 48000.0, 0.3f, 0.01f, 6, 0.0f, 0.7 },
                           setting { 48000.0, 0.3f, 0.01f, 6, 0.0f, 1.0 }, setting { 48000.0, 0.8f, 0.01f, 6, 0.0f, 0.05 },
                           setting { 48000.0, 0.8f, 0.01f, 6, 0.0f, 0.7 }, setting { 48000.0, 0.8f, 0.01f, 6, 0.0f, 1.0 },
                           setting { 48000.0, 1.0f, 0.05f, 5, 0.0f, 0.5 } })
    {
        SCOPED_TRACE (juce::String (s.rate) + " Hz, depth " + juce::String (s.depth) + ", rotation " + juce::String (s.rotation)
                      + ", modulation destination " + juce::String (s.destination) + (s.wet > 0.0f ? ", wet" : ", dry")
                      + ", changed after " + juce::String (s.ranBefore) + " s");
        auto instance = plugin_host::load (GetParam(), s.rate, 512);
        ASSERT_NE (instance, nullptr);
        plugin_host::settle (*instance);
        const int before = instance->getLatencySamples();
        block_runner::process (*instance, block_runner::constant (instance->getTotalNumInputChannels(), (int) (s.ranBefore * s.rate), 0.0f), { 512 });

        for (const auto& [parameter, value] : { std::pair<int, float> { dryWet, s.wet }, { tapeOn, 1.0f }, { tapeFreqDelta, s.depth },
                                                { tapeRotation, s.rotation } })
            set (*instance, parameter, value);

        if (s.destination != 0)
            for (const auto& [parameter, value] : { std::pair<int, float> { lfo1Freq, 0.0025f }, { mod1Depth, 1.0f },
                                                    { mod1Dest, (float) s.destination / 100.0f } })
                set (*instance, parameter, value);

        const double wobbleHz = std::max (0.1, s.rotation * 100.0);
        const auto [told, heard] = playAfterAChange (*instance, wobbleHz, 30.0, { 512 });
        EXPECT_NE (told, before);
        const int swing = (int) (s.depth / 25.0 * s.rate / juce::MathConstants<double>::twoPi / wobbleHz);
        const int reach = s.wet > 0.0f ? swing + 3 : 0;
        EXPECT_GE (heard.strayed.getStart(), -reach);
        EXPECT_LE (heard.strayed.getEnd(), reach);
    }
}

// A modulation never moves the dry, nor the delay told: not a slot's
// destination set alone while stopped with the tape already on (onto the
// wobble's depth, then off it), nor both slots' destinations moved on and off
// the wobble's rate and depth during playback (a 1 Hz LFO on slot 1, the side
// chain, which plays the ramp too, on slot 2): each dry sample comes out
// exactly as late as told. The dry used to follow the read where no
// modulation was on, from wherever the modulation had left it. Then a tape
// setting changed during playback glides the dry to its new delay, a sample
// per sample at most, and no further.
TEST_P (LatencyHost, AModulationNeverMovesTheDry)
{
    struct setting { double rate; float depth; };

    for (const auto& s : { setting { 44100.0, 0.8f }, setting { 48000.0, 0.3f }, setting { 96000.0, 0.8f } })
    {
        SCOPED_TRACE (juce::String (s.rate) + " Hz, depth " + juce::String (s.depth));
        auto instance = plugin_host::load (GetParam(), s.rate, 512);
        ASSERT_NE (instance, nullptr);

        for (const auto& [parameter, value] : { std::pair<int, float> { dryWet, 0.0f }, { tapeOn, 1.0f }, { tapeFreqDelta, s.depth },
                                                { tapeRotation, 0.01f }, { lfo1Freq, 0.0025f }, { mod1Depth, 1.0f },
                                                { mod2Source, 0.05f }, { mod2Depth, 1.0f } })
            set (*instance, parameter, value);

        // The tape alone first: its slots have no destination yet.
        const auto [told, alone] = playAfterAChange (*instance, 1.0, 30.0, { 512 });
        expectExactlyAsTold (alone);

        for (const float destination : { 0.06f, 0.0f })
        {
            set (*instance, mod1Dest, destination);
            SCOPED_TRACE ("destination " + juce::String (destination * 100.0f) + " set while stopped");
            const auto [toldNow, heard] = playAfterAChange (*instance, 1.0, 10.0, { 512 });
            EXPECT_EQ (toldNow, told);
            expectExactlyAsTold (heard);
        }

        const std::pair<int, float> moves[] = { { mod1Dest, 0.05f }, { mod1Dest, 0.01f }, { mod1Dest, 0.05f }, { mod1Dest, 0.06f },
                                                { mod1Dest, 0.0f }, { mod2Dest, 0.05f }, { mod2Dest, 0.0f } };
        size_t moved = 0;
        const auto [toldNow, heard] = playAfterAChange (*instance, 1.0, 30.0, { 512 }, [&] (double seconds)
        {
            for (; moved < std::size (moves) && seconds >= 4.0 * (double) moved; ++moved)
                set (*instance, moves[moved].first, moves[moved].second);
        });
        EXPECT_EQ (toldNow, told);
        SCOPED_TRACE ("destinations moved during playback");
        expectExactlyAsTold (heard);

        // A rotation changed during playback glides the dry to the new delay,
        // a sample per sample, and no further: shorter, then back.
        int from = told;

        for (const float rotation : { 0.02f, 0.01f })
        {
            silence (*instance, 1.0);   // the dry line empties of the ramp played before
            bool changed = false;
            const auto glide = block_runner::rampDelaysAround (*instance, from, 3.0, { 512 }, [&] (double seconds)
            {
                if (seconds >= 1.0 && ! std::exchange (changed, true))
                    set (*instance, tapeRotation, rotation);
            });
            plugin_host::settle (*instance);
            const int to = instance->getLatencySamples();
            EXPECT_NE (to, from);
            EXPECT_EQ (glide.strayed.getStart(), std::min (0, to - from));
            EXPECT_EQ (glide.strayed.getEnd(), std::max (0, to - from));
            EXPECT_EQ (glide.steepest, 1);
            from = to;
        }

        EXPECT_EQ (from, told);
    }
}

// The delay told is the next playback's in whatever state the tape was left,
// and told within a second of a change made while stopped: the wobbling tape
// switched off with a new depth at once, wherever in its wobble (the dry
// followed the read, which the wobble had left between two samples, and a
// transport start put it a sample later than told); a rotation, or a depth,
// changed alone (told only after a whole wobble); a host that prepares again
// while playing, also after the tape was switched off during playback (the
// dry stayed where the wobble had left the read, later than told).
TEST_P (LatencyHost, TheDelayToldIsTheNextPlaybacksInEveryStateOfTheTape)
{
    for (const double rate : { 48000.0, 96000.0 })
    {
        SCOPED_TRACE (juce::String (rate) + " Hz");
        auto instance = plugin_host::load (GetParam(), rate, 512);
        ASSERT_NE (instance, nullptr);
        hosted::play_head head;
        instance->setPlayHead (&head);
        const auto playAfter = [&] (double waited, std::initializer_list<std::pair<int, float>> changes)
        {
            for (const auto& [parameter, value] : changes)
                set (*instance, parameter, value);

            silence (*instance, waited);
            const int told = instance->getLatencySamples();
            head.playing = true;
            expectExactlyAsTold (block_runner::rampDelaysAround (*instance, told, 2.0));
            head.playing = false;
            return told;
        };

        playAfter (3.0, { { dryWet, 0.0f }, { tapeOn, 1.0f }, { tapeFreqDelta, 0.8f }, { tapeRotation, 0.01f } });

        for (const double wobbled : { 0.0, 0.31, 0.58, 0.83 })
        {
            silence (*instance, wobbled);
            EXPECT_EQ (playAfter (1.0, { { tapeOn, 0.0f }, { tapeFreqDelta, 0.3f } }), tapeLength (0.3f, 0.01f, (float) rate) - 1);
            playAfter (1.0, { { tapeOn, 1.0f }, { tapeFreqDelta, 0.8f } });
        }

        playAfter (1.0, { { tapeRotation, 0.002f } });
        playAfter (1.0, { { tapeFreqDelta, 0.5f } });

        // Prepared again while playing: with the tape wobbling and nothing
        // asked since, then with the tape switched off during playback.
        head.playing = true;

        for (const float on : { 1.0f, 0.0f })
        {
            silence (*instance, 0.4);
            set (*instance, tapeOn, on);
            silence (*instance, 1.0);
            instance->releaseResources();
            instance->prepareToPlay (rate, 512);
            instance->setPlayHead (&head);
            silence (*instance, GetParam() == Format::lv2 ? 1.0 : 0.0);   // LV2: a new instance, its settings restored after
            expectExactlyAsTold (block_runner::rampDelaysAround (*instance, instance->getLatencySamples(), 2.0));
        }

        instance->setPlayHead (nullptr);
    }
}

// Seeded random sequences of what hosts and users do: tape settings and
// modulations of the tape (any LFO shape or the side chain, which plays the
// ramp too) changed while stopped, several at once as a preset does;
// prepares at the same rate, a new one or a new block size, also while the
// transport runs; playbacks in blocks of many lengths, with a change during
// some. From the first sample of every playback without a change, the dry is
// exactly as late as told (told within a second of a change made while
// stopped); a change during playback moves it only between the delays told
// before and after it, and by a sample per sample at most where the tape
// wobbles on either side of it (a still tape walks its line within a block).
TEST_P (LatencyHost, RandomSequencesPlayAsLateAsTold)
{
    std::mt19937 random (GetParam() == Format::vst3 ? 1u : 2u);
    const auto uniform = [&] (float from, float to) { return std::uniform_real_distribution<float> (from, to) (random); };
    const auto any = [&] (size_t count) { return (int) (random() % count); };
    const int sources[] = { 0, 1, 2, 3, 4, 5, 9, 10 };
    const int blocks[] = { 1, 7, 64, 300, 511, 4096 };
    const double rates[] = { 44100.0, 48000.0, 96000.0 };
    int largest = 4096;   // the block size prepared: no block may be longer
    auto instance = plugin_host::load (GetParam(), 48000.0, largest);
    ASSERT_NE (instance, nullptr);
    set (*instance, dryWet, 0.0f);
    plugin_host::settle (*instance);   // an LV2 host reads the delay after a block
    hosted::play_head head;
    instance->setPlayHead (&head);

    std::ostringstream done;   // what the sequence did, for a failure's trace
    const auto change = [&]
    {
        const int slot = any (2) * modSlotParams;
        const float depths[] = { 0.0f, uniform (0.0f, 0.02f), uniform (0.0f, 1.0f), uniform (0.0f, 1.0f) };   // none, tiny, any
        const std::pair<int, float> changes[] =
        {
            { tapeOn, (float) any (2) }, { tapeRotation, uniform (0.002f, 0.05f) }, { tapeFreqDelta, depths[any (4)] },
            { mod1Depth + slot, uniform (0.0f, 1.0f) }, { lfo1Freq + slot, std::exp (uniform (-3.5f, 3.0f)) / 400.0f },
            { mod1Source + slot, (float) sources[any (8)] / 100.0f }, { mod1Dest + slot, (float) (5 + any (2)) / 100.0f },
            { mod1Dest + slot, 0.0f }
        };
        const auto& [parameter, value] = changes[any (2) == 0 ? any (3) : any (std::size (changes))];   // mostly the tape
        set (*instance, parameter, value);
        done << " " << parameter << "=" << value;
    };
    const auto wobbling = [&]
    {
        return plugin_host::parameterFor (*instance, tapeOn)->getValue() > 0.5f && plugin_host::parameterFor (*instance, tapeFreqDelta)->getValue() > 0.0f;
    };
    const auto wait = [&] (double seconds) { silence (*instance, seconds, std::min (511, largest)); };
    const auto anyBlock = [&] { return std::min (blocks[any (6)], largest); };

    for (int step = 0; step < 40; ++step)
    {
        const int what = any (4);   // changes while stopped; a prepare and a playback; a playback; one with a change
        done << "\nstep " << step << " what " << what << " rate " << instance->getSampleRate() << " told " << instance->getLatencySamples() << ":";
        SCOPED_TRACE (done.str());

        if (what == 0)
        {
            for (int k = any (4); k >= 0; --k)
                change();

            wait (1.0);
            continue;
        }

        if (what == 1)
        {
            head.playing = any (2) == 0;
            wait (0.5);
            instance->releaseResources();
            largest = any (2) == 0 ? largest : blocks[3 + any (3)];
            instance->prepareToPlay (any (2) == 0 ? instance->getSampleRate() : rates[any (3)], largest);
            instance->setPlayHead (&head);

            // An LV2 instance is made anew at every prepare, and its settings
            // restored afterwards: a change, told within a second.
            wait (GetParam() == Format::lv2 ? 1.0 : 0.0);
            done << " prepared " << instance->getSampleRate() << " " << largest << (head.playing ? " playing" : "");
        }

        const int told = instance->getLatencySamples();
        const bool wobbledBefore = wobbling();
        bool changed = what != 3;   // a change is due at 0.5 s
        head.playing = true;
        const std::vector<int> played { anyBlock(), anyBlock() };
        done << " told " << told << " blocks " << played[0] << " " << played[1];
        const auto heard = block_runner::rampDelaysAround (*instance, told, uniform (1.0f, 2.0f), played, [&] (double at)
        {
            if (at >= 0.5 && ! std::exchange (changed, true))
                change();
        });
        head.playing = false;
        wait (1.0);

        if (what != 3)
        {
            expectExactlyAsTold (heard);
            continue;
        }

        const int moved = instance->getLatencySamples() - told;
        EXPECT_GE (heard.strayed.getStart(), std::min (0, moved));
        EXPECT_LE (heard.strayed.getEnd(), std::max (0, moved));

        if (wobbledBefore || wobbling())
        {
            EXPECT_LE (heard.steepest, 1);
        }
    }

    instance->setPlayHead (nullptr);
}

INSTANTIATE_TEST_SUITE_P (Formats, LatencyHost, testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& testInfo) { return std::string (plugin_host::formatName (testInfo.param)); });
