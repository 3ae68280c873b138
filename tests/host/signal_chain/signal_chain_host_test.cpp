#include <gtest/gtest.h>

#include "plugin_host.h"
#include "../../engine/block_runner.h"
#include "../modulation/hosted_instance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

// The signal chain as a host hears it, through the built VST3 and LV2 bundles.
using plugin_host::Format;

namespace
{
    enum Param
    {
        dryWet = 0, inGain = 1, outGain = 2, noiseOn = 4, noiseMix = 5, nrBits = 6, noiseThreshold = 7,
        noiseLowcutOn = 12, noiseFilterFreq = 13, noiseFilterType = 14, noiseFilterQ = 15, crushOn = 16,
        clipGain = 17, saturation = 18, pitchLowPassFreq = 19, tapeOn = 20, tapeFreqDelta = 21, tapeRotation = 22,
        srReduc = 23, inFiltersOn = 34, inHighPassFreq = 35, inLowPassFreq = 37
    };

    // The chain's delay with every section off and the tape at its first length.
    constexpr int delay = 1023;

    // An instance with `channels` main inputs and outputs and no side chain,
    // when the format lets the host choose; LV2 keeps its built-in layout
    // (stereo main buses and a side chain), so the checks below go over the
    // channels the host got.
    // Null (the test failed with the reason) when it cannot be loaded or the
    // host does not show every parameter, so that `set` always finds one.
    std::unique_ptr<juce::AudioPluginInstance> loadWithChannels (Format f, double rate = 48000.0, int block = 512, int channels = 2)
    {
        auto instance = plugin_host::load (f, rate, block);

        if (instance == nullptr)
            return {};

        for (int i = 0; i < 48; ++i)
            if (plugin_host::parameterFor (*instance, i) == nullptr)
                return {};

        const auto set = channels <= 8 ? juce::AudioChannelSet::canonicalChannelSet (channels)
                                       : juce::AudioChannelSet::discreteChannels (channels);
        auto layout = instance->getBusesLayout();
        layout.inputBuses.getReference (0) = set;
        layout.outputBuses.getReference (0) = set;

        if (layout.inputBuses.size() > 1)
            layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();

        instance->releaseResources();
        instance->setBusesLayout (layout);
        instance->prepareToPlay (rate, block);
        return instance;
    }

    void set (juce::AudioPluginInstance& instance, int index, float value)
    {
        auto* p = plugin_host::parameterFor (instance, index);
        ASSERT_NE (p, nullptr) << index;
        p->setValue (value);
    }

    juce::AudioBuffer<float> process (juce::AudioPluginInstance& instance, const juce::AudioBuffer<float>& in,
                                      const std::vector<int>& sizes)
    {
        return block_runner::process (instance, in, sizes);
    }

    using block_runner::constant;
    using block_runner::noise;

    // A sine on both channels.
    juce::AudioBuffer<float> sine (int samples, double hz, double rate, float amplitude)
    {
        return block_runner::sine (2, samples, hz, rate, amplitude);
    }

    float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int c, int from = 0, int lag = 0)
    {
        return block_runner::largestDifference (a, c, b, c, from, lag);
    }

    using block_runner::allFinite;
}

class SignalChainHost : public testing::TestWithParam<Format> {};

//============================================================================== latency and alignment
TEST_P (SignalChainHost, DryAndWetLineUpAtEveryMix)
{
    const auto in = noise (2, 12000);

    for (float wet : { 0.0f, 0.5f, 1.0f })
    {
        auto instance = loadWithChannels (GetParam());
        ASSERT_NE (instance, nullptr);
        set (*instance, tapeFreqDelta, 0.0f);
        set (*instance, dryWet, wet);
        const auto out = process (*instance, in, { 512 });

        for (int c = 0; c < out.getNumChannels(); ++c)
        {
            EXPECT_EQ (out.getMagnitude (c, 0, delay), 0.0f) << "wet " << wet;
            EXPECT_LT (largestDifference (in, out, c, 0, delay), 1.0e-6f) << "wet " << wet;
        }
    }
}

TEST_P (SignalChainHost, DryStaysAlignedWhileTheTapeLengthMoves)
{
    // The tape length follows "TapeRotation"; a 50 % mix must sound exactly
    // like either path alone, so nothing comb-filters.
    const auto in = noise (2, 48000);
    juce::AudioBuffer<float> outs[3];
    const float mixes[] = { 0.0f, 0.5f, 1.0f };

    for (int k = 0; k < 3; ++k)
    {
        auto instance = loadWithChannels (GetParam(), 48000.0, 256);
        ASSERT_NE (instance, nullptr);
        set (*instance, dryWet, mixes[k]);
        set (*instance, tapeFreqDelta, 0.5f);
        juce::AudioBuffer<float> out (instance->getTotalNumOutputChannels(), in.getNumSamples());

        for (int start = 0, step = 0; start < in.getNumSamples(); start += 8000, ++step)
        {
            set (*instance, tapeRotation, 0.002f + 0.013f * (float) (step % 4));
            juce::AudioBuffer<float> piece (2, 8000);

            for (int c = 0; c < 2; ++c)
                piece.copyFrom (c, 0, in, c, start, 8000);

            const auto o = process (*instance, piece, { 256 });

            for (int c = 0; c < out.getNumChannels(); ++c)
                out.copyFrom (c, start, o, c, 0, 8000);
        }

        outs[k] = out;
    }

    for (int c = 0; c < outs[2].getNumChannels(); ++c)
    {
        EXPECT_LT (largestDifference (outs[0], outs[2], c), 1.0e-6f);
        EXPECT_LT (largestDifference (outs[1], outs[2], c), 1.0e-6f);
    }

    EXPECT_GT (outs[2].getRMSLevel (0, 24000, 24000), 0.1f);
}

//============================================================================== tape wobble
TEST_P (SignalChainHost, DrySitsAtTheCentreOfTheWobblingTape)
{
    // Four seconds each: 2.4 % of pitch at 1 Hz from the first block on (a
    // project reloaded with the tape on), the tape off, on again, 5 Hz, no
    // depth. The read swings 0.024 x 48000 / (2 pi f) samples around its centre.
    const auto swingAt = [] (double hz) { return 0.024 * 48000.0 / (2.0 * juce::MathConstants<double>::pi * hz); };
    struct phase { int parameter; float value; double swing; };
    const phase phases[] = { { tapeRotation, 0.01f, swingAt (1.0) }, { tapeOn, 0.0f, 0.0 }, { tapeOn, 1.0f, swingAt (1.0) },
                             { tapeRotation, 0.05f, swingAt (5.0) }, { tapeFreqDelta, 0.0f, 0.0 } };
    constexpr int count = (int) std::size (phases), length = 4 * 48000;

    // An impulse every 2400 samples, longer than any delay here: 20 per 1 Hz wobble, 4 per 5 Hz one.
    constexpr int spacing = 2400;
    juce::AudioBuffer<float> in (2, count * length);
    in.clear();

    for (int i = 0; i < in.getNumSamples(); i += spacing)
        in.setSample (0, i, 1.0f);

    // At each mix (dry, wet, half) how late each impulse comes out: the centre of its output's magnitude.
    const float mixes[] = { 0.0f, 1.0f, 0.5f };
    std::vector<double> lags[3];

    for (int m = 0; m < 3; ++m)
    {
        auto instance = loadWithChannels (GetParam(), 48000.0, 480);
        ASSERT_NE (instance, nullptr);

        for (const auto& [index, value] : { std::pair<int, float> { dryWet, mixes[m] }, { tapeOn, 1.0f }, { tapeFreqDelta, 0.6f },
                                            { phases[0].parameter, phases[0].value } })
            set (*instance, index, value);

        int done = 0;
        const auto out = block_runner::process (*instance, in, { 480 }, [&] (int n)
        {
            if ((done += n) % length == 0 && done < count * length)
                set (*instance, phases[done / length].parameter, phases[done / length].value);
        });

        for (int start = 0; start < out.getNumSamples(); start += spacing)
        {
            double sum = 0.0, weighted = 0.0;

            for (int i = 0; i < spacing; ++i)
            {
                sum += std::abs (out.getSample (0, start + i));
                weighted += std::abs (out.getSample (0, start + i)) * i;
            }

            lags[m].push_back (weighted / sum);
        }
    }

    // From 1.5 s into each phase, 40 impulses: whole wobble periods.
    double previousDry = 0.0, previousSwing = 0.0;

    for (int p = 0; p < count; ++p)
    {
        const auto first = [&] (int m) { return lags[m].begin() + (p * length / spacing + 30); };
        const double dry = *first (0);
        const auto furthest = [&] (int m)
        {
            return std::accumulate (first (m), first (m) + 40, 0.0, [&] (double most, double lag) { return std::max (most, std::abs (lag - dry)); });
        };
        const auto [lowest, highest] = std::minmax_element (first (1), first (1) + 40);
        const double meanWet = std::accumulate (first (1), first (1) + 40, 0.0) / 40.0;
        const double swing = furthest (1);
        SCOPED_TRACE ("phase " + std::to_string (p));

        EXPECT_LE (furthest (0), 1.0);                         // a steady dry delay...
        EXPECT_NEAR (meanWet, dry, 2.0);                       // ...that the wet swings around
        EXPECT_LE (swing, phases[p].swing + 2.0);
        EXPECT_GE (swing, 0.7 * phases[p].swing);
        EXPECT_LE (furthest (2), phases[p].swing + 2.0);       // mixed, each impulse comes out as one cluster

        if (phases[p].swing == 0.0)
        {
            EXPECT_LT (*highest - *lowest, 1.0e-3);            // no pitch movement at all
        }

        if (p == count - 1)
        {
            EXPECT_LE (std::abs (dry - previousDry), previousSwing + 2.0);   // no depth: the read stops where it was
        }

        previousDry = dry;
        previousSwing = swing;
    }
}

//============================================================================== crush section
TEST_P (SignalChainHost, SaturationAndBitReductionOfDc)
{
    struct example { float saturationValue, bits, input, expected; };
    const auto saturated = [] (double drive, double x) { return (float) (std::tanh (drive * x) / (std::tanh (drive) * drive)); };
    const example examples[] = {
        { 0.0f, 8.0f / 24.0f,  0.3f, 0.296875f },
        { 0.0f, 8.0f / 24.0f, -0.3f, -0.296875f - 1.0f / 8388608.0f },
        { 0.1f, 1.0f,          0.3f, saturated (4.0, 0.3) },
        { 0.5f, 1.0f,         -0.3f, saturated (16.0, -0.3) },
        { 0.1f, 8.0f / 24.0f,  0.3f, 26.0f / 128.0f },   // tanh (1.2) / (4 tanh 4) = 0.2086, cut to 8 bits
    };

    for (const auto& e : examples)
    {
        auto instance = loadWithChannels (GetParam());
        ASSERT_NE (instance, nullptr);
        set (*instance, tapeFreqDelta, 0.0f);
        set (*instance, crushOn, 1.0f);
        set (*instance, clipGain, 0.0f);
        set (*instance, saturation, e.saturationValue);
        set (*instance, nrBits, e.bits);
        const auto out = process (*instance, constant (2, 8192, e.input), { 512 });

        for (int c = 0; c < out.getNumChannels(); ++c)
            EXPECT_NEAR (out.getSample (c, 8000), e.expected, 2.0e-7f) << e.saturationValue << " " << e.bits << " " << e.input;
    }
}

TEST_P (SignalChainHost, OutputIsHardClipped)
{
    auto instance = loadWithChannels (GetParam());
    ASSERT_NE (instance, nullptr);
    set (*instance, tapeFreqDelta, 0.0f);
    set (*instance, outGain, 1.0f);   // +30 dB
    juce::AudioBuffer<float> in (2, 16384);
    in.copyFrom (0, 0, constant (1, 16384, 0.5f), 0, 0, 16384);
    in.copyFrom (1, 0, constant (1, 16384, -0.5f), 0, 0, 16384);
    const auto out = process (*instance, in, { 512 });

    for (int i = 6000; i < 16384; ++i)
    {
        ASSERT_EQ (out.getSample (0, i), 1.0f) << i;

        if (out.getNumChannels() > 1)
        {
            ASSERT_EQ (out.getSample (1, i), -1.0f) << i;
        }
    }
}

//============================================================================== input section
TEST_P (SignalChainHost, SampleRateReductionHoldsEachSampleForTwoMore)
{
    auto instance = loadWithChannels (GetParam(), 48000.0, 128);
    ASSERT_NE (instance, nullptr);
    set (*instance, tapeFreqDelta, 0.0f);
    set (*instance, inFiltersOn, 1.0f);
    set (*instance, inHighPassFreq, 0.0f);
    set (*instance, inLowPassFreq, 1.0f);
    set (*instance, srReduc, 0.02f);
    juce::AudioBuffer<float> ramp (2, 9000);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 9000; ++i)
            ramp.setSample (c, i, (float) i * 1.0e-4f);

    const auto out = process (*instance, ramp, { 128 });

    for (int i = 4800; i + delay < 9000; ++i)
        ASSERT_EQ (out.getSample (out.getNumChannels() - 1, i + delay), ramp.getSample (1, i - i % 3)) << i;
}

TEST_P (SignalChainHost, GainsReachTheirValuesAfter4800Samples)
{
    auto instance = loadWithChannels (GetParam());
    ASSERT_NE (instance, nullptr);
    set (*instance, tapeFreqDelta, 0.0f);
    set (*instance, inGain, 0.6f);     // +6 dB
    set (*instance, outGain, 0.45f);   // -3 dB
    const auto out = process (*instance, constant (2, 12000, 0.25f), { 512 });
    const float expected = 0.25f * std::pow (10.0f, 6.0f / 20.0f) * std::pow (10.0f, -3.0f / 20.0f);

    EXPECT_NEAR (out.getSample (0, 4800 + delay + 10), expected, 2.0e-6f);
    EXPECT_NEAR (out.getSample (out.getNumChannels() - 1, 11999), expected, 2.0e-6f);

    // Halfway through the input glide (+3 dB), the output glide stands at
    // -3 dB x 3423 / 4800: both glide linearly in decibels.
    const float halfway = 0.25f * std::pow (10.0f, (3.0f - 3.0f * 3423.0f / 4800.0f) / 20.0f);
    EXPECT_NEAR (out.getSample (0, 2399 + delay), halfway, 1.0e-4f * 0.25f);
}

//============================================================================== noise
TEST_P (SignalChainHost, NoiseFollowsTheThreshold)
{
    ASSERT_NE (loadWithChannels (GetParam()), nullptr);   // the instances below load the same way

    const auto residueOf = [this] (float amplitude, float threshold, float noiseSwitch)
    {
        auto instance = loadWithChannels (GetParam());

        if (instance == nullptr)
            return std::numeric_limits<double>::quiet_NaN();

        set (*instance, tapeFreqDelta, 0.0f);
        set (*instance, noiseOn, noiseSwitch);
        set (*instance, noiseMix, 0.5f);
        set (*instance, noiseThreshold, threshold);
        const auto in = sine (48000, 100.0, 48000.0, amplitude);
        const auto out = process (*instance, in, { 512 });
        double sum = 0.0;

        // Take away the delayed, halved input: what remains is the noise.
        for (int i = 24000; i < 48000; ++i)
        {
            const double r = out.getSample (0, i) - (noiseSwitch > 0.5f ? 0.5 : 1.0) * in.getSample (0, i - delay);
            sum += r * r;
        }

        return std::sqrt (sum / 24000.0);
    };

    EXPECT_EQ (residueOf (0.0f, 0.5f, 0.0f), 0.0);          // noise off, silence: exact silence
    EXPECT_EQ (residueOf (0.0f, 0.5f, 1.0f), 0.0);          // silence below -40 dB: no noise
    EXPECT_LT (residueOf (0.005f, 0.5f, 1.0f), 1.0e-7);     // -49 dB below -40 dB: none either
    const double at20 = residueOf (0.1414f, 0.5f, 1.0f);     // -20 dB above the threshold
    const double at10 = residueOf (0.4472f, 0.5f, 1.0f);     // -10 dB
    EXPECT_GT (at20, 1.0e-3);
    EXPECT_NEAR (at10 / at20, std::pow (10.0, 0.5), 0.4);   // ratio 1: 10 dB more level, 10 dB more noise
    EXPECT_GT (residueOf (0.0f, 0.0f, 1.0f), 1.0e-4);       // threshold -80 dB: noise even in silence
}

// A moment in which only the left channel's noise gate is open parts the two
// channels' noise for good; a transport start, a program change and a
// restored state each start every channel's noise again, so channels fed
// alike sound alike again, sample for sample (after a restore that switches
// the crush section off, once its glide has ended).
TEST_P (SignalChainHost, ChannelsFedAlikeSoundAlikeAfterAStartAProgramOrAState)
{
    auto instance = loadWithChannels (GetParam());
    ASSERT_NE (instance, nullptr);
    ASSERT_GE (instance->getTotalNumOutputChannels(), 2);
    hosted::play_head head;
    instance->setPlayHead (&head);
    set (*instance, noiseOn, 1.0f);
    set (*instance, noiseMix, 0.5f);
    set (*instance, noiseThreshold, 0.5f);   // -40 dB: a -20 dB sine opens the gate

    const auto partAndRealign = [&] (const std::function<void()>& realign, int from = 0)
    {
        auto in = sine (48000, 200.0, 48000.0, 0.1f);
        in.clear (1, 9600, 9600);   // longer than the level window: the right gate shuts
        process (*instance, in, { 512 });
        realign();
        const auto out = process (*instance, sine (24000, 200.0, 48000.0, 0.1f), { 512 });
        return block_runner::largestDifference (out, 0, out, 1, from);
    };

    EXPECT_GT (partAndRealign ([] {}), 0.01f);
    EXPECT_EQ (partAndRealign ([&] { head.playing = true; }), 0.0f);
    const auto noiseOnly = plugin_host::saveState (*instance);

    int hell = 0;

    while (hell < instance->getNumPrograms() && instance->getProgramName (hell) != "hell")
        ++hell;

    ASSERT_LT (hell, instance->getNumPrograms());
    EXPECT_EQ (partAndRealign ([&] { instance->setCurrentProgram (hell); }), 0.0f);
    EXPECT_EQ (partAndRealign ([&] { instance->setStateInformation (noiseOnly.getData(), (int) noiseOnly.getSize()); }, 12000), 0.0f);
    instance->setPlayHead (nullptr);
}

//============================================================================== sample rates
TEST_P (SignalChainHost, FiltersFollowTheRatePreparedAfterARestore)
{
    // A project saved with the input low-pass at 1 kHz...
    auto original = loadWithChannels (GetParam());
    ASSERT_NE (original, nullptr);

    for (const auto& [index, value] : { std::pair { tapeFreqDelta, 0.0f }, { inFiltersOn, 1.0f }, { inHighPassFreq, 0.0f },
                                        { inLowPassFreq, 0.05f } })
        set (*original, index, value);

    plugin_host::settle (*original);   // LV2 takes parameter values in with a block
    const auto saved = plugin_host::saveState (*original);

    // ...that a host restores and only then prepares at its own rate.
    for (double rate : { 44100.0, 96000.0 })
    {
        auto instance = loadWithChannels (GetParam());
        ASSERT_NE (instance, nullptr);
        instance->setStateInformation (saved.getData(), (int) saved.getSize());
        instance->releaseResources();
        instance->prepareToPlay (rate, 512);

        const auto in = sine ((int) rate, 1000.0, rate, 0.5f);
        const auto out = process (*instance, in, { 512 });
        const int half = (int) rate / 2;

        // A Butterworth low-pass passes its cutoff 3 dB down.
        EXPECT_NEAR (out.getRMSLevel (0, half, half) / in.getRMSLevel (0, half, half), std::sqrt (0.5), 0.02) << rate;
    }
}

//============================================================================== stability and robustness
TEST_P (SignalChainHost, FiltersStayStableAtEveryRate)
{
    for (double rate : { 22050.0, 32000.0, 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        auto instance = loadWithChannels (GetParam(), rate, 512);
        ASSERT_NE (instance, nullptr);

        // Every filter near or past Nyquist for the lower rates.
        const std::pair<int, float> values[] = {
            { inFiltersOn, 1.0f }, { inHighPassFreq, 0.0025f }, { inLowPassFreq, 0.9999f },
            { noiseOn, 1.0f }, { noiseThreshold, 0.0f }, { noiseFilterFreq, 0.999f }, { noiseFilterType, 0.0f },
            { noiseFilterQ, 1.0f }, { crushOn, 1.0f }, { clipGain, 0.1f }, { pitchLowPassFreq, 0.9999f },
            { saturation, 0.0f }, { tapeFreqDelta, 0.0f },
        };

        for (const auto& [index, value] : values)
            set (*instance, index, value);

        const auto out = process (*instance, sine ((int) (rate / 2), 1000.0, rate, 0.1f), { 512 });
        const int tail = (int) (rate / 4);

        EXPECT_TRUE (allFinite (out)) << rate;
        EXPECT_LT (out.getMagnitude (0, tail, tail), 0.5f) << rate;   // nothing ran away
        EXPECT_GT (out.getRMSLevel (0, tail, tail), 0.02f) << rate;   // the sine still passes
    }
}

TEST_P (SignalChainHost, NonFiniteInputNeverReachesTheOutput)
{
    auto in = noise (2, 30000);
    auto clean = in;

    for (int i = 5000; i < 5200; ++i)
    {
        const float bad = i % 3 == 0 ? std::numeric_limits<float>::quiet_NaN()
                                     : (i % 3 == 1 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity());
        in.setSample (0, i, bad);
        in.setSample (1, i, bad);
        clean.setSample (0, i, 0.0f);
        clean.setSample (1, i, 0.0f);
    }

    juce::AudioBuffer<float> outs[2];

    for (int k = 0; k < 2; ++k)
    {
        auto instance = loadWithChannels (GetParam());
        ASSERT_NE (instance, nullptr);

        for (int index : { inFiltersOn, noiseOn, crushOn })
            set (*instance, index, 1.0f);

        set (*instance, dryWet, 0.5f);
        outs[k] = process (*instance, k == 0 ? in : clean, { 512 });
    }

    EXPECT_TRUE (allFinite (outs[0]));

    // The bad samples count as silence: from then on the output is exactly
    // that of an instance that got silence there, filters and delays intact.
    for (int c = 0; c < outs[0].getNumChannels(); ++c)
        EXPECT_EQ (largestDifference (outs[0], outs[1], c), 0.0f);
}

//============================================================================== blocks
// (Neither host format offers more than 24 channels; the clamp to 24 is
// covered in process by the engine tests.)
TEST_P (SignalChainHost, AnyBlockLengthFrom1To4096SoundsTheSame)
{
    const auto configure = [] (juce::AudioPluginInstance& instance)
    {
        const std::pair<int, float> values[] = {
            { tapeFreqDelta, 0.0f }, { inFiltersOn, 1.0f }, { srReduc, 0.03f }, { noiseOn, 1.0f },
            { noiseThreshold, 0.0f }, { crushOn, 1.0f }, { nrBits, 0.5f }, { clipGain, 0.2f }, { dryWet, 0.5f },
        };

        for (const auto& [index, value] : values)
            set (instance, index, value);
    };

    const auto in = noise (2, 40000, 0.4f);
    auto reference = loadWithChannels (GetParam(), 48000.0, 512);
    auto instance = loadWithChannels (GetParam(), 48000.0, 4096);
    ASSERT_NE (reference, nullptr);
    ASSERT_NE (instance, nullptr);
    configure (*reference);
    configure (*instance);

    std::vector<int> sizes { 512, 1, 2, 3, 4096, 4095, 17, 1000 };   // the first block as the reference's
    juce::Random random (5);

    for (int i = 0; i < 40; ++i)
        sizes.push_back (1 + random.nextInt (4096));

    const auto expected = process (*reference, in, { 512 });
    const auto out = process (*instance, in, sizes);

    for (int c = 0; c < out.getNumChannels(); ++c)
        EXPECT_LT (largestDifference (expected, out, c), 1.0e-5f) << c;
}

INSTANTIATE_TEST_SUITE_P (Formats, SignalChainHost, testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& testInfo) { return std::string (plugin_host::formatName (testInfo.param)); });
