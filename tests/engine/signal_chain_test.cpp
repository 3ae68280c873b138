#include "engine_test_support.h"

#include "platform/system_log.h"
#include "tests/message_pump.h"

#include <random>

using namespace engine_test;

namespace
{
    float dB (float db) { return std::pow (10.0f, db / 20.0f); }
}

//============================================================================== delay and alignment
TEST (SignalChainDelay, DryAndWetAreTheSameDelayedInput)
{
    const auto in = noise (2, 12000);

    for (float wet : { 0.0f, 0.5f, 1.0f })
    {
        auto p = makeProcessor();
        makeNeutral (*p);
        p->setParameter (dryWet, wet);
        const auto out = run (*p, in, 512);

        for (int c = 0; c < 2; ++c)
        {
            for (int i = 0; i < neutralDelay; ++i)
                ASSERT_EQ (out.getSample (c, i), 0.0f) << "wet " << wet << " sample " << i;

            EXPECT_LT (largestDifference (in, c, out, c, 0, neutralDelay), 1.0e-6f) << "wet " << wet;
        }
    }
}

TEST (SignalChainDelay, DryFollowsTheTapeThroughEveryLengthChange)
{
    // The tape length follows "TapeRotation" (and glides with it); the dry
    // path must stay sample-aligned with the tape the whole time.
    const auto in = noise (1, 48000 * 2);
    juce::AudioBuffer<float> outs[2];

    for (int k = 0; k < 2; ++k)
    {
        auto p = makeProcessor (48000.0, 256, 1);
        p->setParameter (dryWet, k == 0 ? 0.0f : 1.0f);
        p->setParameter (tapeFreqDelta, 0.5f);
        juce::AudioBuffer<float> out (1, in.getNumSamples());

        for (int start = 0, step = 0; start < in.getNumSamples(); start += 12000, ++step)
        {
            p->setParameter (tapeRotation, 0.002f + 0.013f * (float) (step % 4));
            juce::AudioBuffer<float> piece (1, 12000);
            piece.copyFrom (0, 0, in, 0, start, 12000);
            const auto o = run (*p, piece, 256);
            out.copyFrom (0, start, o, 0, 0, 12000);
        }

        outs[k] = out;
    }

    EXPECT_LT (largestDifference (outs[0], 0, outs[1], 0, 0), 1.0e-6f);
    EXPECT_GT (outs[1].getRMSLevel (0, 48000, 48000), 0.1f);   // signal did get through
}

TEST (SignalChainDelay, DryStaysAtTheWobblesCentreThroughItsLowestTurns)
{
    // At a lowest turn the line's length holds the read, and a step of two
    // can leave the line a sample short as a piece ends: the dry path took
    // that for a line still filling and ran towards the read for a piece.
    // The dry stays exactly at the delay told.
    auto p = makeProcessor (44100.0, 512, 2);

    for (const auto& [index, value] : { std::pair<int, float> { dryWet, 0.0f }, { tapeOn, 1.0f }, { tapeFreqDelta, 1.0f },
                                        { tapeRotation, 0.005f } })
        p->setParameter (index, value);

    run (*p, constant (2, 8 * 44100, 0.0f), 512);   // three wobbles and 2 s, stopped
    test_support::pumpMessagesFor (30);
    test_play_head head;
    head.playing = true;
    p->setPlayHead (&head);
    const auto strayed = block_runner::rampDelaysAround (*p, p->getLatencySamples(), 4.0).strayed;
    EXPECT_EQ (strayed.getStart(), 0);
    EXPECT_EQ (strayed.getEnd(), 0);
    p->setPlayHead (nullptr);
}

TEST (SignalChainDelay, ShortestTapeLengthsStayInsideTheLine)
{
    // A tiny depth at a fast wobble asks for a line of no length: it gets the
    // shortest, also where the read walks there from a longer line (with the
    // wobble on, that walk read past the newest sample, and said so).
    for (float depth : { 0.0004f, 0.001f, 0.002f })
    {
        auto p = makeProcessor (48000.0, 64, 1);
        p->setParameter (tapeFreqDelta, depth);
        p->setParameter (tapeRotation, 1.0f);   // 100 Hz
        p->setParameter (tapeOn, 1.0f);
        p->setParameter (dryWet, 0.5f);
        const auto out = run (*p, noise (1, 48000), 64);
        EXPECT_TRUE (allFinite (out));
        EXPECT_EQ (p->channelStates[0].PitchNrSamples, 2);
        EXPECT_LT (out.getMagnitude (0, 24000, 24000), 1.0f);
    }

    auto p = makeProcessor (44100.0, 4096, 1);

    for (const auto& [index, value] : { std::pair<int, float> { tapeOn, 1.0f }, { tapeFreqDelta, 0.2257f }, { tapeRotation, 0.0036f } })
        p->setParameter (index, value);

    run (*p, noise (1, 30000), 4096);
    p->setParameter (tapeRotation, 0.391f);
    p->setParameter (tapeFreqDelta, 0.0196f);
    testing::internal::CaptureStdout();
    const auto out = run (*p, noise (1, 44100), 4096);
    test_support::pumpMessagesFor (550);   // the audio thread's log is written every 500 ms
    const auto printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ (printed.find ("curPitchHistStartIndx"), std::string::npos) << printed;
    EXPECT_TRUE (allFinite (out));
    EXPECT_EQ (p->channelStates[0].PitchNrSamples, 2);
}

//============================================================================== crush section
TEST (SignalChainCrush, BitReductionOfDcInputs)
{
    // 8 bits keep the top 8 of 24 bits; negative samples get their low bits set.
    for (float x : { 0.3f, -0.3f })
    {
        auto p = makeProcessor();
        makeNeutral (*p);
        p->setParameter (crushOn, 1.0f);
        p->setParameter (clipGain, 0.0f);
        p->setParameter (saturation, 0.0f);
        p->setParameter (nrBits, 8.0f / 24.0f);
        const auto out = run (*p, constant (2, 8192, x), 512);
        const float expected = x > 0.0f ? 0.296875f : -0.296875f - 1.0f / 8388608.0f;

        for (int i = 6000; i < 8192; ++i)
            ASSERT_EQ (out.getSample (1, i), expected) << i;
    }
}

TEST (SignalChainCrush, SaturationOfDcInputs)
{
    for (float s : { 0.1f, 0.5f })
    {
        auto p = makeProcessor();
        makeNeutral (*p);
        p->setParameter (crushOn, 1.0f);
        p->setParameter (clipGain, 0.0f);
        p->setParameter (saturation, s);
        const auto out = run (*p, constant (2, 8192, 0.3f), 512);
        const double drive = s * 30.0 + 1.0;
        const double expected = std::tanh (drive * 0.3) / (std::tanh (drive) * drive);
        EXPECT_NEAR (out.getSample (0, 8000), expected, 1.0e-6) << s;
    }
}

TEST (SignalChainCrush, WetShareGlidesOverTheFirst4800Samples)
{
    // Saturated wet against the plain dry: the share moves linearly from 0 to 1.
    auto p = makeProcessor();
    makeNeutral (*p);
    p->setParameter (crushOn, 1.0f);
    p->setParameter (clipGain, 0.0f);
    p->setParameter (saturation, 0.1f);
    const auto out = run (*p, constant (2, 8192, 0.3f), 512);
    const float wetValue = (float) (std::tanh (4.0 * 0.3) / (std::tanh (4.0) * 4.0));

    for (int i : { 1100, 2400, 4000 })
    {
        const float w = (float) (i + 1) / 4800.0f;
        const float dryValue = i >= neutralDelay ? 0.3f : 0.0f;
        EXPECT_NEAR (out.getSample (0, i), wetValue * w + (1.0f - w) * dryValue, 1.0e-5f) << i;
    }

    EXPECT_NEAR (out.getSample (0, 6000), wetValue, 1.0e-6f);
}

TEST (SignalChainCrush, ClipStageCountsAndMatchesLoudness)
{
    auto p = makeProcessor (48000.0, 512, 1);
    makeNeutral (*p);
    p->setParameter (crushOn, 1.0f);
    p->setParameter (saturation, 0.0f);
    p->setParameter (clipGain, 20.0f / 60.0f);
    p->setParameter (pitchLowPassFreq, 1.0f);   // clip low-pass off
    const auto in = sine (1, 48000, 441.0, 48000.0, 1.0f);
    const auto out = run (*p, in, 512);

    EXPECT_GT (p->clipCount.load(), 10000);
    EXPECT_EQ (p->outputOverloadCount.load(), 0);

    // Over the last 1024 samples the clipped output is about as loud as its input.
    const float inRms = in.getRMSLevel (0, 48000 - 1024 - neutralDelay, 1024);
    const float outRms = out.getRMSLevel (0, 48000 - 1024, 1024);
    EXPECT_NEAR (outRms, inRms, 0.02f * inRms);
    EXPECT_LE (out.getMagnitude (0, 0, 48000), 1.0f);
}

TEST (SignalChainCrush, OutputClipsAndCountsOverloads)
{
    auto p = makeProcessor();
    makeNeutral (*p);
    p->setParameter (outGain, 1.0f);   // +30 dB
    run (*p, constant (2, 8192, 0.5f), 512);
    p->outputOverloadCount = 0;

    const auto out = run (*p, constant (2, 1024, -0.5f), 256);
    EXPECT_EQ (out.getSample (0, 100), 1.0f);      // still the delayed positive DC
    EXPECT_EQ (p->outputOverloadCount.load(), 2 * 1024);

    const auto later = run (*p, constant (2, 2048, -0.5f), 256);
    EXPECT_EQ (later.getSample (1, 2000), -1.0f);
}

//============================================================================== input section
TEST (SignalChainInput, SampleRateReductionHoldsEachSampleTwice)
{
    auto p = makeProcessor (48000.0, 100, 1);
    makeNeutral (*p);
    p->setParameter (inFiltersOn, 1.0f);
    p->setParameter (inHighPassFreq, 0.0f);   // both input filters off
    p->setParameter (inLowPassFreq, 1.0f);
    p->setParameter (srReduc, 0.02f);
    juce::AudioBuffer<float> ramp (1, 8000);

    for (int i = 0; i < 8000; ++i)
        ramp.setSample (0, i, (float) i * 1.0e-4f);

    const auto out = run (*p, ramp, 100);

    // Past the 4800-sample glide of the wet share the values are exact.
    for (int i = 4800 - neutralDelay; i + neutralDelay < 8000; ++i)
        ASSERT_EQ (out.getSample (0, i + neutralDelay), ramp.getSample (0, i - i % 3)) << i;
}

TEST (SignalChainInput, OnePercentReductionLeavesTheSignal)
{
    auto p = makeProcessor (48000.0, 128, 1);
    makeNeutral (*p);
    p->setParameter (inFiltersOn, 1.0f);
    p->setParameter (inHighPassFreq, 0.0f);
    p->setParameter (inLowPassFreq, 1.0f);
    const auto in = noise (1, 8000);
    const auto out = run (*p, in, 128);
    EXPECT_EQ (largestDifference (in, 0, out, 0, 4800 - neutralDelay, neutralDelay), 0.0f);
}

TEST (SignalChainInput, GainsGlideInDecibelsOver4800Samples)
{
    auto p = makeProcessor();
    makeNeutral (*p);
    p->setParameter (inGain, 0.6f);    // +6 dB
    const auto out = run (*p, constant (2, 8192, 0.25f), 512);

    for (int i : { 0, 2399, 4799, 6000 })
    {
        const float db = 6.0f * (float) juce::jmin (i + 1, 4800) / 4800.0f;
        EXPECT_NEAR (out.getSample (0, i + neutralDelay), 0.25f * dB (db), 1.0e-4f * 0.25f) << i;
    }

    auto q = makeProcessor();
    makeNeutral (*q);
    run (*q, constant (2, 2048, 0.25f), 512);
    q->setParameter (outGain, 0.4f);   // -6 dB, gliding from 0 dB
    const auto o = run (*q, constant (2, 6000, 0.25f), 500);

    for (int i : { 0, 2399, 4799, 5500 })
    {
        const float db = -6.0f * (float) juce::jmin (i + 1, 4800) / 4800.0f;
        EXPECT_NEAR (o.getSample (1, i), 0.25f * dB (db), 1.0e-4f * 0.25f) << i;
    }
}

//============================================================================== noise
TEST (SignalChainNoise, ExactSilenceWithNoiseOffAndBelowTheThreshold)
{
    for (float noiseSwitch : { 0.0f, 1.0f })
    {
        auto p = makeProcessor();
        makeNeutral (*p);
        p->setParameter (noiseOn, noiseSwitch);   // threshold -40 dB: silence stays below it
        const auto out = run (*p, constant (2, 20000, 0.0f), 512);
        EXPECT_EQ (out.getMagnitude (0, 20000), 0.0f) << noiseSwitch;
    }
}

TEST (SignalChainNoise, OpenGateAddsTheChannelsOwnNoise)
{
    // Threshold -80 dB opens the gate even in silence; the amount is then the
    // minimum, -40 dB, and without its filters the noise is the channel's
    // Mersenne Twister (seed 5489) mapped to -1..1.
    auto p = makeProcessor (48000.0, 512, 1);
    makeNeutral (*p);
    p->setParameter (noiseOn, 1.0f);
    p->setParameter (noiseThreshold, 0.0f);
    p->setParameter (noiseFilterFreq, 1.0f);
    p->setParameter (noiseLowcutOn, 0.0f);
    const auto out = run (*p, constant (1, 8192, 0.0f), 512);

    std::mt19937 rng (5489u);
    const float mix = 0.1f * 100.0f / 100.0f;
    const float gain = std::pow (10.0f, -40.0f / 20.0f);

    for (int i = 0; i < 8192; ++i)
    {
        const float u = ((float) (std::uint32_t) rng() * (1.0f / 4294967296.0f) - 0.5f) * 2.0f;

        if (i >= 4800)
        {
            ASSERT_FLOAT_EQ (out.getSample (0, i), mix * (gain * u)) << i;
        }
    }
}

TEST (SignalChainNoise, LouderInputOpensTheGateAndRaisesTheNoise)
{
    const auto measure = [] (float amplitude)
    {
        auto p = makeProcessor (48000.0, 512, 1);
        makeNeutral (*p);
        p->setParameter (noiseOn, 1.0f);
        p->setParameter (noiseMix, 0.5f);
        const auto in = sine (1, 48000, 100.0, 48000.0, amplitude);
        const auto out = run (*p, in, 512);
        juce::AudioBuffer<float> residue (1, 24000);

        // Take away the delayed, halved input: what remains is the noise.
        for (int i = 0; i < 24000; ++i)
            residue.setSample (0, i, out.getSample (0, 24000 + i) - 0.5f * in.getSample (0, 24000 + i - neutralDelay));

        return residue.getRMSLevel (0, 0, 24000);
    };

    const float below = measure (0.005f);   // about -49 dB: gate closed
    const float at20 = measure (0.1414f);   // -20 dB
    const float at10 = measure (0.4472f);   // -10 dB

    EXPECT_LT (below, 1.0e-6f);
    EXPECT_GT (at20, 1.0e-3f);
    EXPECT_NEAR (at10 / at20, dB (10.0f), 0.4f);   // ratio 1: 10 dB more level, 10 dB more noise
}

//============================================================================== channels and blocks
TEST (SignalChainChannels, ThirtyInputsAreProcessedAsTwentyFour)
{
    std::vector<std::string> lines;
    platform::system_log::setSinkForTesting ([&] (const std::string& line) { lines.push_back (line); });

    auto p = makeProcessor (48000.0, 512, 30);
    makeNeutral (*p);
    const auto in = noise (30, 4096);
    const auto out = run (*p, in, 512);
    p->flushAudioThreadDiagnostics();
    platform::system_log::setSinkForTesting ({});

    for (int c = 0; c < 24; ++c)
        EXPECT_LT (largestDifference (in, c, out, c, 0, neutralDelay), 1.0e-6f) << c;

    for (int c = 24; c < 30; ++c)
        EXPECT_EQ (largestDifference (in, c, out, c, 0), 0.0f) << c;

    EXPECT_EQ (p->mainInputChannels, 24);
    EXPECT_EQ (p->totalInputChannels, 24);

    int clampLines = 0;

    for (const auto& line : lines)
        if (line.find ("total In 24  >  MAX_C~HANNELS") != std::string::npos)
            ++clampLines;

    EXPECT_EQ (clampLines, 1);   // one line per flush, however many blocks repeated it
}

TEST (SignalChainChannels, ChangedBlockLengthIsLoggedOncePerChange)
{
    std::vector<std::string> lines;
    platform::system_log::setSinkForTesting ([&] (const std::string& line) { lines.push_back (line); });

    auto p = makeProcessor (48000.0, 1024, 2);
    run (*p, noise (2, 4096), 512);
    run (*p, noise (2, 4096), 256);
    p->flushAudioThreadDiagnostics();
    platform::system_log::setSinkForTesting ({});

    EXPECT_EQ (p->blockSize, 256);
    const std::vector<std::string> expected {
        "Zorvalune processBlock blocksize changed to 512  (was 1024)  !!!!!!!!!!!  (mode 0)",
        "Zorvalune processBlock blocksize changed to 256  (was 512)  !!!!!!!!!!!  (mode 0)",
    };
    std::vector<std::string> seen;

    for (const auto& line : lines)
        if (line.find ("blocksize") != std::string::npos)
            seen.push_back (line);

    EXPECT_EQ (seen, expected);
}

TEST (SignalChainChannels, BlockLengthDoesNotChangeTheSound)
{
    const auto configure = [] (ZorvaluneAudioProcessor& p)
    {
        makeNeutral (p);
        p.setParameter (inFiltersOn, 1.0f);
        p.setParameter (srReduc, 0.03f);
        p.setParameter (noiseOn, 1.0f);
        p.setParameter (noiseThreshold, 0.0f);
        p.setParameter (crushOn, 1.0f);
        p.setParameter (nrBits, 0.5f);
        p.setParameter (clipGain, 0.2f);
        p.setParameter (mod1Dest, 0.04f);   // input amplitude
        p.setParameter (dryWet, 0.5f);
    };

    const auto in = noise (2, 60000, 0.4f);
    auto reference = makeProcessor (48000.0, 512, 2);
    configure (*reference);
    const auto expected = run (*reference, in, 512);

    auto p = makeProcessor (48000.0, 4096, 2);
    configure (*p);
    std::vector<int> sizes { 512 };   // the first block as the reference's: depth glides start alike
    juce::Random random (7);

    for (int total = 512; total < 60000;)
    {
        const int n = random.nextInt ({ 1, 4097 });
        sizes.push_back (n);
        total += n;
    }

    sizes.insert (sizes.begin() + 3, { 1, 1, 2, 4096, 4096 });
    const auto out = run (*p, in, sizes);

    for (int c = 0; c < 2; ++c)
        EXPECT_LT (largestDifference (expected, c, out, c, 0), 1.0e-5f) << c;
}

TEST (SignalChainChannels, SendingInstancePassesItsInputThrough)
{
    auto p = makeProcessor();
    p->setMod1Source (6);
    const auto in = noise (2, 4096);
    const auto out = run (*p, in, 512);
    EXPECT_EQ (largestDifference (in, 0, out, 0, 0), 0.0f);
    EXPECT_EQ (p->processBlockCounter.load(), 8);
}
