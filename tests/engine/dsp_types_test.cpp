#include "engine_test_support.h"

#include "engine/safe_convert.h"

#include <random>

using namespace engine_test;

namespace
{
    bool stable (const filter_coefficients& c)
    {
        return std::abs (c.a2) < 1.0f && std::abs (c.a1) < 1.0f + c.a2;
    }

    filter_coefficients coefficientsOf (const smooth_IIR_filter& f)
    {
        return { f.b0, f.b1, f.b2, f.a1, f.a2, 0 };
    }
}

//============================================================================== biquad
TEST (SmoothIirFilter, PassesSamplesUntilItsFirstRamp)
{
    smooth_IIR_filter f;
    float x[4] = { 0.5f, -1.0f, 0.25f, 2.0f };
    f.processSamples (x, 4);
    EXPECT_EQ (x[3], 2.0f);
    EXPECT_EQ (f.processSample (0.7f), 0.7f);
}

TEST (SmoothIirFilter, RampsOver1024SamplesAndEndsOnTheTarget)
{
    smooth_IIR_filter f;
    filter_coefficients target;
    butterworth::lowPass (1000.0, 48000.0, target);
    f.startRamp (target);
    EXPECT_TRUE (f.enabled);
    EXPECT_EQ (f.rampRemaining, 1024);

    std::vector<float> block (724, 0.1f);
    f.processSamples (block.data(), 724);
    EXPECT_EQ (f.rampRemaining, 300);
    EXPECT_NEAR (f.b0, target.b0 * 724.0f / 1024.0f, 1.0e-6f);

    // 300 ramp samples left in a block of 512: the rest use the target.
    block.assign (512, 0.1f);
    f.processSamples (block.data(), 512);
    EXPECT_EQ (f.rampRemaining, -212);
    EXPECT_EQ (f.b0, target.b0);
    EXPECT_EQ (f.a1, target.a1);
    EXPECT_EQ (f.a2, target.a2);
}

TEST (SmoothIirFilter, FlushesTinyAndBrokenStateWords)
{
    smooth_IIR_filter f;
    filter_coefficients pass { 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0 };
    f.startRamp (pass);
    float x = 0.0f;
    f.rampRemaining = 0;
    f.b0 = 1.0f;

    f.z1 = 5.0e-9f;
    f.z2 = -2.0e-8f;
    f.processSamples (&x, 0);
    EXPECT_EQ (f.z1, 0.0f);
    EXPECT_EQ (f.z2, -2.0e-8f);

    f.z1 = std::numeric_limits<float>::quiet_NaN();
    f.z2 = std::numeric_limits<float>::infinity();
    f.processSamples (&x, 0);
    EXPECT_EQ (f.z1, 0.0f);
    EXPECT_EQ (f.z2, 0.0f);
}

TEST (SmoothIirFilter, LowCutoffAtHighRateStaysStableThroughRamps)
{
    // 50 Hz at 192 kHz leaves the poles a hair inside the unit circle; a ramp
    // that accumulated rounding could push them out.
    smooth_IIR_filter f;
    filter_coefficients a, b;
    butterworth::lowPass (50.0, 192000.0, a);
    butterworth::highPass (50.0, 192000.0, b);
    std::vector<float> block (1024, 0.0f);

    for (int k = 0; k < 20; ++k)
    {
        f.startRamp (k % 2 == 0 ? a : b);
        f.processSamples (block.data(), 1024);
        EXPECT_TRUE (stable (coefficientsOf (f))) << k;
        EXPECT_GT (1.0f + f.a1 + f.a2, 0.0f) << k;
    }
}

TEST (FilterDesigns, EveryDesignIsStableAtEveryRate)
{
    auto p = makeProcessor();

    for (double rate : { 22050.0, 32000.0, 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        p->sampleRate = (float) rate;

        for (double hz : { 50.0, 1000.0, 15000.0, 20000.0 })
        {
            filter_coefficients c;
            butterworth::lowPass (hz, rate, c);
            EXPECT_TRUE (stable (c)) << rate << " " << hz;
            butterworth::highPass (hz, rate, c);
            EXPECT_TRUE (stable (c)) << rate << " " << hz;

            for (int type : { 0, 1, 2, 3 })
            {
                p->calc_filter_coeffs (type, (float) hz, c);
                EXPECT_TRUE (stable (c)) << rate << " " << hz << " type " << type;
            }
        }
    }
}

TEST (FilterDesigns, NoiseFilterDesignEdges)
{
    auto p = makeProcessor();
    filter_coefficients a, b;

    p->calc_filter_coeffs (0, 1000.0f, a);
    p->calc_filter_coeffs (7, 1000.0f, b);
    EXPECT_EQ (a.b0, b.b0);   // any unknown type is the band-pass
    EXPECT_EQ (a.b1, 0.0f);
    EXPECT_EQ (a.b2, -a.b0);
    EXPECT_EQ (a.version, 1);

    p->calc_filter_coeffs (1, 10.0f, a);     // below 50 Hz designs for 50 Hz
    p->calc_filter_coeffs (1, 50.0f, b);
    EXPECT_EQ (a.b0, b.b0);

    p->setParameter (noiseFilterQ, 0.0f);     // Q 0 and Q 0.005 both count as 0.1
    p->calc_filter_coeffs (0, 1000.0f, a);
    p->setParameter (noiseFilterQ, 0.0005f);
    p->calc_filter_coeffs (0, 1000.0f, b);
    EXPECT_EQ (a.b0, b.b0);
    p->setParameter (noiseFilterQ, 0.05f);    // Q 0.5 differs
    p->calc_filter_coeffs (0, 1000.0f, b);
    EXPECT_NE (a.b0, b.b0);

    // 20 kHz at 32 kHz would be past Nyquist: designed just below it instead.
    p->sampleRate = 32000.0f;
    p->calc_filter_coeffs (1, 20000.0f, a);
    butterworth::lowPass (0.49 * 32000.0, 32000.0, b);
    EXPECT_EQ (a.a1, b.a1);
    EXPECT_TRUE (stable (a));
}

//============================================================================== oscillator
TEST (Oscillator, SlopedSquareWithFullEdgesIsATriangle)
{
    LFO lfo;
    lfo.waveform = 2;
    lfo.edgeWidth = 1.0f;
    const float quarter = (float) (juce::MathConstants<double>::pi / 2.0);
    lfo.phaseIncrement = quarter;
    const float expected[] = { 1.0f, 0.0f, -1.0f };

    for (float e : expected)
        EXPECT_NEAR (lfo.getNextOutSample(), e, 1.0e-6f);
}

TEST (Oscillator, SilentAndRandomWaveformsKeepTheirPhase)
{
    LFO lfo;
    lfo.phase = 1.0f;
    lfo.phaseIncrement = 0.5f;

    for (int w : { 5, 6, 9 })
    {
        lfo.waveform = w;
        EXPECT_EQ (lfo.getNextOutSample(), 0.0f);
        EXPECT_EQ (lfo.phase, 1.0f);
    }

    lfo.waveform = 7;
    std::mt19937 rng (5489u);

    for (int i = 0; i < 1000; ++i)
    {
        const float v = lfo.getNextOutSample();
        EXPECT_EQ (v, ((float) (std::uint32_t) rng() * (1.0f / 4294967296.0f) - 0.5f) * 2.0f);
        ASSERT_LE (std::abs (v), 1.0f);
    }

    EXPECT_EQ (lfo.phase, 1.0f);
}

TEST (Oscillator, PhaseStaysWithinOneTurnWhateverTheIncrement)
{
    for (float increment : { 0.3f, 50.0f, -2.0f, 1.0e30f, std::numeric_limits<float>::quiet_NaN() })
    {
        LFO lfo;
        lfo.phaseIncrement = increment;

        for (int i = 0; i < 100; ++i)
        {
            const float v = lfo.getNextOutSample();
            ASSERT_TRUE (std::isfinite (v)) << increment;
            ASSERT_GE (lfo.phase, 0.0f) << increment;
            ASSERT_LE ((double) lfo.phase, 6.283185307179586) << increment;
        }
    }
}

TEST (Oscillator, TurnIsTakenJustPastTwoPiInFloatAsInDouble)
{
    // The oscillators compare a float phase with a float bound; a step
    // comes round where the phase, read in double, lies past 2 pi.
    std::uint32_t bits;
    std::memcpy (&bits, &LFO::turnEnd, sizeof bits);

    for (std::uint32_t b = bits - 4096; b < bits + 4096; ++b)
    {
        float phase;
        std::memcpy (&phase, &b, sizeof phase);
        ASSERT_EQ (phase >= LFO::turnEnd, (double) phase > LFO::twoPi) << phase;
        ASSERT_EQ (LFO::isWithinTurn (phase), (double) phase <= LFO::twoPi) << phase;
    }

    for (float odd : { std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN() })
        EXPECT_EQ (odd >= LFO::turnEnd, (double) odd > LFO::twoPi);
}

TEST (NoiseGenerator, DrawsTheStandardMersenneTwistersNumbers)
{
    // One by one and in runs of odd lengths across the state's renewals.
    noise_generator generator;
    std::mt19937 standard (5489u);
    std::vector<std::uint32_t> run (700);

    for (int i = 0; i < 20000;)
    {
        const int length = (i % 7) * 97 + 1;
        generator.draw (run.data(), length);

        for (int k = 0; k < length; ++k, ++i)
            ASSERT_EQ (run[(size_t) k], (std::uint32_t) standard()) << "number " << i;

        ASSERT_EQ (generator(), (std::uint32_t) standard()) << "number " << i++;
    }
}

//============================================================================== windows and conversions
TEST (SummedWindow, RunningSumMatchesResummingTheWindow)
{
    summed_window<true> window;
    window.samples.reserve (4801);
    std::mt19937 rng (1);
    std::uniform_real_distribution<float> loudOrQuiet (-1.0f, 1.0f);

    for (int i = 0; i < 1000000; ++i)
    {
        const float scale = (i / 50000) % 2 == 0 ? 1.0f : 1.0e-4f;
        window.push_back (loudOrQuiet (rng) * scale);

        if (window.size() > 4800)
            window.pop_front();
    }

    EXPECT_NEAR (window.sum, window.resummed(), 1.0e-7 * window.resummed());

    window.truncate (100);
    EXPECT_EQ (window.size(), 100);
    EXPECT_NEAR (window.sum, window.resummed(), 1.0e-9);
}

TEST (SafeConversion, DefinedForEveryValue)
{
    EXPECT_EQ (truncToInt (-3.7), -3);
    EXPECT_EQ (truncToInt (2.9), 2);
    EXPECT_EQ (truncToInt (std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ (truncToInt (1.0e20), std::numeric_limits<int>::max());
    EXPECT_EQ (truncToInt (-std::numeric_limits<double>::infinity()), std::numeric_limits<int>::min());
}

//============================================================================== channel state
TEST (ChannelState, ResetSilencesHistoryButKeepsPositionsAndFilters)
{
    channel_state s;
    s.prepare (48000.0);

    for (int i = 0; i < 10; ++i)
    {
        s.rmsSquares.push_back (0.5f);
        s.pitchHistory.push_back (0.25f);
        s.dryDelay.push (0.75f);
    }

    s.curPitchHistStartIndx = 3;
    s.PitchNrSamples = 777;
    s.releaseEnvelope = -20.0f;
    s.lfo1.phase = 2.0f;
    s.inputLowPass.z1 = 0.5f;
    s.reset();

    EXPECT_EQ (s.rmsSquares.size(), 11);
    EXPECT_EQ (s.rmsSquares.sum, 0.0);
    EXPECT_EQ (s.pitchHistory.size(), 11);
    EXPECT_EQ (s.pitchHistory[5], 0.0f);
    EXPECT_EQ (s.dryDelay.delayed (0), 0.75f);
    EXPECT_EQ (s.curPitchHistStartIndx, 3);
    EXPECT_EQ (s.PitchNrSamples, 777);
    EXPECT_EQ (s.releaseEnvelope, -144.0f);
    EXPECT_EQ (s.lfo1.phase, 0.0f);
    EXPECT_EQ (s.inputLowPass.z1, 0.5f);
}

//============================================================================== block frame
TEST (BlockFrame, CoefficientChangesRampOnlyWhileTheFilterIsOn)
{
    auto p = makeProcessor (48000.0, 256, 1);
    p->setParameter (inFiltersOn, 1.0f);
    const auto in = constant (1, 256, 0.0f);
    run (*p, in, 256);
    const auto before = coefficientsOf (p->channelStates[0].inputLowPass);

    // Rewritten while "LPFilterInFreq" is 1.0 (off): no ramp, then or later.
    p->setParameter (inLowPassFreq, 1.0f);
    run (*p, in, 256);
    p->setParameter (inLowPassFreq, 0.999f);   // now on, but this set differs again
    p->setParameter (inLowPassFreq, 0.25f);    // two changes: one ramp, to the last
    run (*p, constant (1, 2048, 0.0f), 256);

    filter_coefficients expected;
    butterworth::lowPass ((double) 0.25f * 20000.0, 48000.0, expected);
    const auto after = coefficientsOf (p->channelStates[0].inputLowPass);
    EXPECT_NE (before.b0, after.b0);
    EXPECT_EQ (after.b0, expected.b0);
    EXPECT_EQ (after.a1, expected.a1);

    // Rewritten while off stays unapplied even after switching on without a new set.
    p->setParameter (inLowPassFreq, 1.0f);
    run (*p, in, 256);
    p->parameterValues[inLowPassFreq] = 0.25f;   // on again, no new set written
    run (*p, constant (1, 2048, 0.0f), 256);
    EXPECT_EQ (p->channelStates[0].inputLowPass.b0, expected.b0);
}

TEST (BlockFrame, TransportStartResetsAndStopRestartsTheStoppedClock)
{
    auto p = makeProcessor (48000.0, 256, 2);
    test_play_head head;
    p->setPlayHead (&head);
    const auto in = noise (2, 1024);

    run (*p, in, { 256 }, &head);
    EXPECT_EQ (p->stoppedSamplePosition, 1024);
    EXPECT_EQ (p->channelResetCount.load(), 0);

    p->clipCount = 5;
    p->channelStates[1].releaseEnvelope = -3.0f;
    head.playing = true;
    run (*p, in, { 256 }, &head);
    EXPECT_EQ (p->clipCount.load(), 0);
    EXPECT_EQ (p->channelResetCount.load(), 1);
    EXPECT_EQ (p->channelStates[1].releaseEnvelope, -144.0f);
    EXPECT_EQ (p->stepSampleCounter, 1024);   // the step clock restarted with the transport

    head.playing = false;
    run (*p, in, { 256 }, &head);
    EXPECT_EQ (p->stoppedSamplePosition, 768);   // the stop block counts as 0
    EXPECT_EQ (p->transportWasPlaying, 0);
    p->setPlayHead (nullptr);
}

TEST (BlockFrame, NonFiniteInputGivesTheOutputOfSilence)
{
    const auto configure = [] (ZorvaluneAudioProcessor& p)
    {
        p.setParameter (inFiltersOn, 1.0f);
        p.setParameter (noiseOn, 1.0f);
        p.setParameter (crushOn, 1.0f);
        p.setParameter (tapeOn, 1.0f);
        p.setParameter (dryWet, 0.5f);
    };

    auto in = noise (2, 30000);
    auto clean = in;

    for (int i = 5000; i < 5100; ++i)
    {
        in.setSample (0, i, std::numeric_limits<float>::quiet_NaN());
        in.setSample (1, i, i % 2 == 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity());
        clean.setSample (0, i, 0.0f);
        clean.setSample (1, i, 0.0f);
    }

    auto p = makeProcessor();
    auto reference = makeProcessor();
    configure (*p);
    configure (*reference);
    const auto out = run (*p, in, 512);
    const auto expected = run (*reference, clean, 512);

    EXPECT_TRUE (allFinite (out));

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 30000; ++i)
            ASSERT_EQ (out.getSample (c, i), expected.getSample (c, i)) << c << " " << i;
}

TEST (BlockFrame, BrokenChannelStateIsFlushedAfterOneBlock)
{
    auto p = makeProcessor (48000.0, 256, 1);
    p->setParameter (crushOn, 1.0f);
    p->setParameter (noiseOn, 1.0f);
    run (*p, noise (1, 4096), 256);

    auto& s = p->channelStates[0];
    s.pitchLowPass[0].z1 = std::numeric_limits<float>::quiet_NaN();
    s.clipInWindow.sum = std::numeric_limits<double>::infinity();
    s.releaseEnvelope = std::numeric_limits<float>::quiet_NaN();
    s.pitchHistory[10] = std::numeric_limits<float>::quiet_NaN();

    const auto out = run (*p, noise (1, 256 * 10), 256);
    EXPECT_TRUE (allFinite (out));
    EXPECT_TRUE (std::isfinite (s.clipInWindow.sum));
    EXPECT_TRUE (std::isfinite (s.releaseEnvelope));
    EXPECT_GT (out.getRMSLevel (0, 256 * 8, 512), 0.01f);   // working again
}
