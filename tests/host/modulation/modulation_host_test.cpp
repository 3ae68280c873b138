#include "hosted_instance.h"
#include "tests/level_steps.h"
#include "tests/message_pump.h"

#include <algorithm>
#include <cmath>
#include <numeric>

// Modulation, the step sequencer and the host's bypass, as a host hears and
// stores them, through the built VST3.
namespace
{
    constexpr int n = 480;
    constexpr int settled = 6000;   // wet share glided in, tape line filled

    // Modulation slot 1 on the input amplitude at full depth, tape neutral:
    // with a constant input of 0.5 the output is 0.5 x (m + 1) / 2.
    std::unique_ptr<juce::AudioPluginInstance> amplitudeModulated (double source, double rateParameter)
    {
        return hosted::loadWith ({ { "Mod1Source", source }, { "Mod1Dest", 0.04 }, { "Mod1_Depth", 1.0 },
                                   { "LFO1Freq", rateParameter }, { "SlewRate", 0.0 }, { "TapeFreqDelta", 0.0 } }, n);
    }

    // The modulation values m, recovered from the output, over `seconds` after settling.
    std::vector<float> modulationOf (juce::AudioPluginInstance& instance, int seconds)
    {
        const int blocks = (settled + seconds * 48000) / n;
        const auto out = hosted::processRun (instance, 0, blocks, n, hosted::constant (0.5f));
        std::vector<float> m;

        for (size_t i = (size_t) settled; i < out.size(); ++i)
            m.push_back (4.0f * out[i] - 1.0f);

        return m;
    }

    int risingZeroCrossings (const std::vector<float>& m)
    {
        int count = 0;

        for (size_t i = 1; i < m.size(); ++i)
            count += (m[i - 1] < 0.0f && m[i] >= 0.0f) ? 1 : 0;

        return count;
    }

    int wraps (const std::vector<float>& m, float jump)
    {
        int count = 0;

        for (size_t i = 1; i < m.size(); ++i)
            count += std::abs (m[i] - m[i - 1]) > jump ? 1 : 0;

        return count;
    }
}

TEST (ModulationHost, LfoWaveformsAtTheirRate)
{
    // 100 Hz (parameter 25 = 0.25): a period of 480 samples.
    const double rate = 0.25;
    const float perSample = 2.0f / 480.0f;

    {
        auto p = amplitudeModulated (0.0, rate);   // sine
        ASSERT_NE (p, nullptr);
        const auto m = modulationOf (*p, 1);
        EXPECT_NEAR (risingZeroCrossings (m), 100, 1);
        EXPECT_NEAR (*std::max_element (m.begin(), m.end()), 1.0f, 1.0e-3f);
        EXPECT_NEAR (*std::min_element (m.begin(), m.end()), -1.0f, 1.0e-3f);
        EXPECT_EQ (wraps (m, 2.0f * juce::MathConstants<float>::pi / 480.0f + 1.0e-4f), 0);
    }

    {
        auto p = amplitudeModulated (0.01, rate);  // square
        ASSERT_NE (p, nullptr);
        const auto m = modulationOf (*p, 1);
        const auto high = std::count_if (m.begin(), m.end(), [] (float v) { return std::abs (v - 1.0f) < 1.0e-5f; });
        const auto low = std::count_if (m.begin(), m.end(), [] (float v) { return std::abs (v + 1.0f) < 1.0e-5f; });
        EXPECT_EQ ((size_t) (high + low), m.size());
        EXPECT_NEAR ((double) high / (double) m.size(), 0.5, 0.01);
        EXPECT_NEAR (risingZeroCrossings (m), 100, 1);
    }

    for (const double source : { 0.02, 0.03 })     // falling and rising saw
    {
        auto p = amplitudeModulated (source, rate);
        ASSERT_NE (p, nullptr);
        const auto m = modulationOf (*p, 1);
        const float direction = source == 0.02 ? -1.0f : 1.0f;
        int along = 0;

        for (size_t i = 1; i < m.size(); ++i)
            along += std::abs ((m[i] - m[i - 1]) - direction * perSample) < 1.0e-4f ? 1 : 0;

        EXPECT_NEAR (wraps (m, 1.0f), 100, 1) << source;
        EXPECT_GT (along, (int) m.size() - 110) << source;
    }

    {
        auto p = amplitudeModulated (0.04, rate);  // random: a new value every sample
        ASSERT_NE (p, nullptr);
        const auto m = modulationOf (*p, 1);
        const double mean = std::accumulate (m.begin(), m.end(), 0.0) / (double) m.size();
        double lagged = 0.0, power = 0.0;

        for (size_t i = 1; i < m.size(); ++i)
        {
            lagged += (double) m[i] * m[i - 1];
            power += (double) m[i] * m[i];
        }

        EXPECT_NEAR (mean, 0.0, 0.02);
        EXPECT_NEAR (power / (double) m.size(), 1.0 / 3.0, 0.02);   // uniform in -1..1
        EXPECT_LT (std::abs (lagged / power), 0.02);
    }
}

TEST (ModulationHost, DestinationsMoveWhatTheyShould)
{
    // A square LFO at 2 Hz, full depth: the output switches between what the
    // destination does at m = +1 and at m = -1, every quarter second.
    const auto squareOn = [] (double destination, const std::map<juce::String, double>& more)
    {
        std::map<juce::String, double> values { { "Mod1Source", 0.01 }, { "Mod1Dest", destination }, { "Mod1_Depth", 1.0 },
                                                { "LFO1Freq", 0.005 }, { "SlewRate", 0.0 }, { "TapeFreqDelta", 0.0 } };
        values.insert (more.begin(), more.end());
        return hosted::loadWith (values, n);
    };

    const auto share = [] (const std::vector<float>& v, const std::function<bool (float)>& test)
    {
        return (double) std::count_if (v.begin(), v.end(), test) / (double) v.size();
    };

    {
        // Saturation drive (7): m = +1 drives at 16, m = -1 at 1.
        auto p = squareOn (0.07, { { "Crush_On", 1.0 }, { "ClipGain", 0.0 }, { "Saturation", 0.5 } });
        ASSERT_NE (p, nullptr);
        auto out = hosted::processRun (*p, 0, 200, n, hosted::constant (0.5f));
        out.erase (out.begin(), out.begin() + settled);
        const float driven = std::tanh (8.0f) / (std::tanh (16.0f) * 16.0f);
        const float gentle = std::tanh (0.5f) / std::tanh (1.0f);
        EXPECT_NEAR (share (out, [&] (float v) { return std::abs (v - driven) < 1.0e-5f; }), 0.5, 0.05);
        EXPECT_NEAR (share (out, [&] (float v) { return std::abs (v - gentle) < 1.0e-5f; }), 0.5, 0.05);
    }

    {
        // Clip mix (2): m = -1 leaves the clean (delayed) input, m = +1 the clipped one.
        auto p = squareOn (0.02, { { "Crush_On", 1.0 }, { "ClipGain", 1.0 / 3.0 }, { "Saturation", 0.0 }, { "LPFilterPitchFreq", 1.0 } });
        ASSERT_NE (p, nullptr);
        const auto input = [] (juce::int64 s) { return 0.5f * (float) std::sin ((double) s * 2.0 * juce::MathConstants<double>::pi * 441.0 / 48000.0); };
        const auto out = hosted::processRun (*p, 0, 200, n, input);
        int clean = 0, clipped = 0;

        for (size_t i = (size_t) settled; i < out.size(); ++i)
        {
            const float dry = input ((juce::int64) i - 1023);
            clean += out[i] == dry ? 1 : 0;
            clipped += std::abs (dry) > 0.2f && std::abs (out[i] - dry) > 0.05f ? 1 : 0;
        }

        const auto total = (double) (out.size() - (size_t) settled);
        EXPECT_NEAR (clean / total, 0.5, 0.05);
        EXPECT_GT (clipped / total, 0.2);
    }

    {
        // Noise amplitude (1): +20 dB at m = +1, none added at m = -1, on silence.
        auto p = squareOn (0.01, { { "Noise_On", 1.0 }, { "NoiseThreshold", 0.0 }, { "NoiseMix", 1.0 } });
        ASSERT_NE (p, nullptr);
        const auto out = hosted::processRun (*p, 0, 200, n, hosted::constant (0.0f));
        std::vector<double> levels;

        for (size_t start = (size_t) settled; start + 1200 <= out.size(); start += 1200)
        {
            double sum = 0.0;

            for (size_t i = start; i < start + 1200; ++i)
                sum += (double) out[i] * out[i];

            levels.push_back (std::sqrt (sum / 1200.0));
        }

        std::sort (levels.begin(), levels.end());
        const double quiet = levels[levels.size() / 5], loud = levels[levels.size() * 4 / 5];
        EXPECT_NEAR (loud / quiet, 10.0, 1.0);
    }
}

//==============================================================================
namespace
{
    // Steps 1..8 stored in the settings text, each with its own "Dry Wet".
    float marker (int step) { return 0.1f + 0.1f * (float) step; }

    std::map<juce::String, double> storedSteps()
    {
        std::map<juce::String, double> values;

        for (int k = 1; k <= 8; ++k)
        {
            values["S" + juce::String (k) + "_Seq_Step_Saved"] = k;
            values["S" + juce::String (k) + "_Dry Wet"] = marker (k - 1);
        }

        return values;
    }

    // The saved text holds the printed decimal, the markers are floats: the
    // same step's value differs in the last places.
    bool sameValue (double a, double b) { return std::abs (a - b) < 1.0e-6; }

    // Processes blocks, then reads "Dry Wet" from the saved settings. No
    // message loop runs: steps land in the block where they fall due.
    double dryWetAfter (juce::AudioPluginInstance& p, juce::int64& t, int blocks)
    {
        hosted::processRun (p, t, blocks, n, hosted::constant (0.0f));
        t += (juce::int64) blocks * n;
        return hosted::setting (p, "Dry Wet");
    }
}

TEST (SequencerHost, StepsApplyInOrderSkippingMarkedOnesAndSurviveTheSettingsText)
{
    auto p = hosted::load (n);
    ASSERT_NE (p, nullptr);

    // Manual mode, skip mode, steps of 1440 samples (a quarter beat at 500 BPM),
    // step 3 marked.
    auto values = storedSteps();
    values.insert ({ { "Seq_Mode", 0.1 }, { "Seq_Skip_Mode", 0.1 }, { "Seq_BPM", 0.5 }, { "Seq_Nr_Bars", 0.14 }, { "S3_param_47", 1.0 } });
    ASSERT_TRUE (hosted::change (*p, values));

    // The stored steps come back whole in the saved text, and again from a
    // second instance that loads it.
    const auto saved = hosted::settings (*p);
    auto copy = hosted::load (n);
    ASSERT_NE (copy, nullptr);
    hosted::restore (*copy, saved);
    const auto again = hosted::settings (*copy);

    for (int k = 1; k <= 8; ++k)
        for (const auto* name : { "_Seq_Step_Saved", "_Dry Wet", "_param_47", "_NoiseMix" })
        {
            const auto key = "S" + juce::String (k) + name;
            ASSERT_TRUE (saved.hasProperty (key)) << key;
            EXPECT_EQ ((double) again.getProperty (key, {}), (double) saved.getProperty (key, {})) << key;
        }

    EXPECT_FLOAT_EQ ((float) (double) saved.getProperty ("S4_Dry Wet", {}), marker (3));
    EXPECT_EQ ((double) saved.getProperty ("S3_param_47", {}), 1.0);

    // Switched on by the host: step 0 at once, then 1, then 3 (2 is marked), 4 ...
    juce::int64 t = 0;
    hosted::processRun (*p, t, 1, n, hosted::constant (0.0f));
    t += n;
    auto* seqOn = plugin_host::parameterFor (*p, 43);
    ASSERT_NE (seqOn, nullptr);
    seqOn->setValue (1.0f);
    std::vector<float> applied { (float) dryWetAfter (*p, t, 1) };

    // A step lasts three blocks: every three blocks bring one change.
    for (int k = 0; k < 6; ++k)
        applied.push_back ((float) dryWetAfter (*p, t, 3));

    const std::vector<float> expected { marker (0), marker (1), marker (3), marker (4), marker (5), marker (6), marker (7) };
    ASSERT_EQ (applied.size(), expected.size());

    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR (applied[i], expected[i], 1.0e-6f) << i;
}

TEST (SequencerHost, PlayModeStartsWithTheHostTransport)
{
    hosted::play_head transport;

    auto p = hosted::load (n);
    ASSERT_NE (p, nullptr);
    p->setPlayHead (&transport);
    auto values = storedSteps();
    values.insert ({ { "Seq_Mode", 0.2 }, { "Seq_BPM", 0.5 }, { "Seq_Nr_Bars", 0.14 }, { "Dry Wet", 0.95 } });
    ASSERT_TRUE (hosted::change (*p, values));
    hosted::process (*p, 0, n, hosted::constant (0.0f));
    ASSERT_TRUE (hosted::change (*p, { { "Seq_On", 1.0 } }));

    // Switched on, but nothing runs until the host plays.
    juce::int64 t = n;
    const double before = hosted::setting (*p, "Dry Wet");
    EXPECT_EQ (dryWetAfter (*p, t, 6), before);

    // The start applies step 0, which lasts a whole step (three blocks) as
    // every later step does.
    transport.playing = true;
    transport.time = 96000;
    EXPECT_NEAR (dryWetAfter (*p, t, 1), marker (0), 1.0e-6);
    EXPECT_NEAR (dryWetAfter (*p, t, 2), marker (0), 1.0e-6);
    EXPECT_NEAR (dryWetAfter (*p, t, 1), marker (1), 1.0e-6);

    // Stopping the transport stops the sequence.
    transport.playing = false;
    EXPECT_NEAR (dryWetAfter (*p, t, 10), marker (1), 1.0e-6);

    p->setPlayHead (nullptr);

    // A fresh instance restored with the sequence on, whose first block
    // already plays (an offline render, a restored project), starts there.
    values["Seq_On"] = 1.0;
    auto fresh = hosted::loadWith (values, n);
    ASSERT_NE (fresh, nullptr);
    fresh->setPlayHead (&transport);
    transport.playing = true;
    EXPECT_NEAR (dryWetAfter (*fresh, t, 1), marker (0), 1.0e-6);
    fresh->setPlayHead (nullptr);
}

TEST (SequencerHost, StepsKeepTheirLengthAtTheRatePreparedAfterARestore)
{
    // Restored at 48 kHz with steps of a quarter beat at 500 BPM, then
    // prepared at 96 kHz: a step lasts 2880 samples, six blocks.
    auto p = hosted::load (n);
    ASSERT_NE (p, nullptr);
    auto values = storedSteps();
    values.insert ({ { "Seq_Mode", 0.1 }, { "Seq_BPM", 0.5 }, { "Seq_Nr_Bars", 0.14 } });
    ASSERT_TRUE (hosted::change (*p, values));
    p->releaseResources();
    p->prepareToPlay (96000.0, n);

    // After a block has taken in the mode, the switch arrives with the next
    // one and applies step 0; then block by block until the step changes.
    juce::int64 t = 0;
    dryWetAfter (*p, t, 1);
    auto* seqOn = plugin_host::parameterFor (*p, 43);
    ASSERT_NE (seqOn, nullptr);
    seqOn->setValue (1.0f);
    double value = dryWetAfter (*p, t, 1);
    ASSERT_NEAR (value, marker (0), 1.0e-6);

    for (int k = 0; k < 8 && sameValue (value, marker (0)); ++k)
        value = dryWetAfter (*p, t, 1);

    ASSERT_NEAR (value, marker (1), 1.0e-6);
    EXPECT_NEAR (dryWetAfter (*p, t, 5), marker (1), 1.0e-6);
    EXPECT_NEAR (dryWetAfter (*p, t, 1), marker (2), 1.0e-6);
}

TEST (SequencerHost, StepsLandOnTheirSampleWhileTheHostRendersWithoutAMessageLoop)
{
    // Play mode, a step every quarter at 120 BPM (24000 samples), the steps'
    // Out Gain 0 dB and -12 dB in turn; a tone in, blocks as fast as they
    // come and never a message loop, as in an offline render.
    constexpr int block = 512;
    hosted::play_head transport;
    auto p = hosted::load (block);
    ASSERT_NE (p, nullptr);
    p->setPlayHead (&transport);

    std::map<juce::String, double> values { { "Seq_Mode", 0.2 }, { "Seq_BPM", 0.12 }, { "Seq_Nr_Bars", 0.08 }, { "Seq_On", 1.0 } };

    for (int k = 1; k <= 8; ++k)
    {
        values["S" + juce::String (k) + "_Seq_Step_Saved"] = k;
        values["S" + juce::String (k) + "_Out Gain"] = k % 2 == 1 ? 0.5 : 0.3;
    }

    ASSERT_TRUE (hosted::change (*p, values));
    const auto tone = [] (juce::int64 t) { return 0.25f * std::sin (juce::MathConstants<float>::twoPi * (float) (t % 48) / 48.0f); };
    hosted::process (*p, 0, block, tone);

    transport.playing = true;
    const auto out = hosted::processRun (*p, block, 8 * 24000 / block, block, tone);
    // The start plays step 0 once the channels, reset by the start, sound
    // again; then every step comes one step length after the one before,
    // within a block.
    auto steps = level_steps::crossings (out.data(), (int) out.size());
    steps.erase (steps.begin(), std::lower_bound (steps.begin(), steps.end(), 12000.0));
    ASSERT_GE (steps.size(), 6u);

    for (size_t k = 1; k < steps.size(); ++k)
        EXPECT_NEAR (steps[k] - steps[k - 1], 24000.0, block) << "step " << k;

    p->setPlayHead (nullptr);
}

//==============================================================================
TEST (BypassHost, OutputIsTheInputAsLateAsReportedWhileTheHostBypasses)
{
    auto p = hosted::load (n);
    ASSERT_NE (p, nullptr);
    ASSERT_TRUE (hosted::change (*p, { { "Crush_On", 1.0 }, { "ClipGain", 0.6 }, { "Tape_On", 1.0 }, { "Noise_On", 1.0 }, { "NoiseThreshold", 0.0 } }));

    const auto input = [] (juce::int64 s) { return 0.7f * (float) std::sin ((double) s * 0.021); };
    auto* bypass = p->getBypassParameter();
    ASSERT_NE (bypass, nullptr);

    const auto processed = hosted::processRun (*p, 0, 20, n, input);
    int differing = 0;

    for (size_t i = 2000; i < processed.size(); ++i)
        differing += processed[i] != input ((juce::int64) i) ? 1 : 0;

    EXPECT_GT (differing, 1000);

    test_support::pumpMessagesFor (50);   // a delay the plug-in has settled on reaches the host
    const int delay = p->getLatencySamples();
    EXPECT_GT (delay, 0);

    bypass->setValue (1.0f);
    const juce::int64 start = 20 * n;
    hosted::process (*p, start, n, input);   // the host hands the switch over with this block

    const auto bypassed = hosted::processRun (*p, start + n, 20, n, input);

    // The input, as late as the host was told: switching moves nothing.
    for (size_t i = 0; i < bypassed.size(); ++i)
        ASSERT_EQ (bypassed[i], input (start + n + (juce::int64) i - delay)) << i;
}
