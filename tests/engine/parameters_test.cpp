#include <gtest/gtest.h>

#include <cmath>

#include "engine/PluginProcessor.h"
#include "tests/expected_parameters.h"
#include "tests/wrapper_type.h"

using namespace parameter_table;
using expected_parameters::names;

namespace
{
    // Plug-in units at the defaults.
    const float defaultUnits[48] = {
        100, 0, 0, 100, 0, 10, 24, -40, -40, -10, 1, 100, 1, 4000, 1, 1, 0, 25, 10, 8000, 0, 30, 1, 1,
        40, 0.5f, 0, 0, 80, 5, 1, 0, 0, 0, 0, 100, 0, 10000, 4, 20, 20, 120, 8, 0, 1, 0, 0, 0
    };

    filter_coefficients expectedButterworth (bool lowPass, double f, double fs)
    {
        filter_coefficients c;
        const double pi = 3.14159265358979323846, r2 = std::sqrt (2.0);

        if (lowPass)
        {
            const double k = 1.0 / std::tan (pi * f / fs), n = 1.0 / (1.0 + r2 * k + k * k);
            c = { (float) n, (float) (2 * n), (float) n, (float) (2 * (1 - k * k) * n), (float) ((1 - r2 * k + k * k) * n), 0 };
        }
        else
        {
            const double k = std::tan (pi * f / fs), n = 1.0 / (1.0 + r2 * k + k * k);
            c = { (float) n, (float) (-2 * n), (float) n, (float) (2 * (k * k - 1) * n), (float) ((1 - r2 * k + k * k) * n), 0 };
        }

        return c;
    }

    void expectSameCoefficients (const filter_coefficients& a, const filter_coefficients& b)
    {
        EXPECT_EQ (a.b0, b.b0);
        EXPECT_EQ (a.b1, b.b1);
        EXPECT_EQ (a.b2, b.b2);
        EXPECT_EQ (a.a1, b.a1);
        EXPECT_EQ (a.a2, b.a2);
    }
}

TEST (ParameterTable, NamesDefaultsAndUnits)
{
    ZorvaluneAudioProcessor p;

    for (int i = 0; i < 48; ++i)
    {
        EXPECT_EQ (p.getParameterName (i), names[i]) << i;
        EXPECT_FLOAT_EQ (p.getParameterValue (i), defaultUnits[i]) << names[i];
        EXPECT_EQ (p.getParameter (i), p.getParameterDefaultValue (i)) << names[i];
        EXPECT_EQ (p.isParameterAutomatable (i), i != 14 && i != 36) << names[i];
    }

    EXPECT_EQ (p.getParameterName (100), "param_100");
    EXPECT_EQ (p.getParameterDefaultValue (17), 0.41666666f);
    EXPECT_EQ (p.getParameterDefaultValue (44), 0.1f);

    for (int i : { 45, 46, 47, -1, 48 })
        EXPECT_EQ (p.getParameterDefaultValue (i), 0.0f) << i;

    EXPECT_EQ (p.getParameter (-1), 0.0f);
    EXPECT_EQ (p.getParameter (48), 0.0f);
}

TEST (ParameterTable, HostTextIsTheNormalisedValue)
{
    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.getParameterText (0), juce::String (1.0f));
    EXPECT_EQ (p.getParameterText (0), "1");
    EXPECT_EQ (p.getParameterText (1), "0.5");
    p.setParameter (0, 0.25f);
    EXPECT_EQ (p.getParameterText (0), "0.25");
    EXPECT_EQ (p.getParameterText (48), "");
}

TEST (ParameterConversion, PluginUnitsRoundTrip)
{
    ZorvaluneAudioProcessor p;

    for (int i = 0; i <= 45; ++i)
    {
        if (i == 25 || i == 29)
            continue;   // the rates read back lfo1Hz / lfo2Hz, checked below

        const float v = (i == 26 || i == 30) ? 0.03f : 0.375f;   // source codes snap
        p.setParameter (i, v);
        EXPECT_NEAR (ZorvaluneAudioProcessor::parameterValue2Plugin (i, p.getParameterValue (i)), v, 1.0e-6f) << names[i];
    }

    EXPECT_EQ (ZorvaluneAudioProcessor::parameterValue2Plugin (35, 50.0f), 0.0f);
    EXPECT_FLOAT_EQ (ZorvaluneAudioProcessor::parameterValue2Plugin (35, 51.0f), 0.00255f);
    EXPECT_EQ (ZorvaluneAudioProcessor::parameterValue2Plugin (46, 3.0f), 3.0f);
    EXPECT_FLOAT_EQ (ZorvaluneAudioProcessor::parameterValue2Plugin (10, 1.5f), 0.875f);
    EXPECT_FLOAT_EQ (ZorvaluneAudioProcessor::parameterValue2Plugin (7, -80.0f), 0.0f);
    EXPECT_FLOAT_EQ (ZorvaluneAudioProcessor::parameterValue2Plugin (25, 2.0f), 0.005f);

    p.lfo1Hz = 3.5f;   // a rate set without the parameter is still what reads back
    EXPECT_EQ (p.getParameterValue (25), 3.5f);
    p.setParameter (47, 0.7f);
    EXPECT_EQ (p.getParameterValue (47), 0.7f);
}

TEST (ParameterEffects, OutOfRangeIndexChangesNothing)
{
    ZorvaluneAudioProcessor p;
    const int before = p.editorRefreshRequests.load();
    p.presetModified = 0;
    p.setParameter (48, 0.5f);
    p.setParameter (-1, 0.5f);
    EXPECT_EQ (p.editorRefreshRequests.load(), before);
    EXPECT_EQ (p.presetModified.load(), 0);
}

TEST (ParameterEffects, ButterworthSetsForTheInputAndPitchFilters)
{
    ZorvaluneAudioProcessor p;
    const auto noiseVersion = p.noiseFilterCoeffs.version();
    const auto pitchVersion = p.pitchLowPassCoeffs.version();

    p.setParameter (19, 0.3f);
    expectSameCoefficients (p.pitchLowPassCoeffs.read(), expectedButterworth (true, 0.3f * 20000.0, 48000.0));
    EXPECT_EQ (p.pitchLowPassCoeffs.version(), pitchVersion + 1);
    EXPECT_EQ (p.noiseFilterCoeffs.version(), noiseVersion);

    p.setParameter (37, 0.5f);
    expectSameCoefficients (p.inputLowPassCoeffs.read(), expectedButterworth (true, 10000.0, 48000.0));

    p.setParameter (35, 0.0f);   // clamped up to 50 Hz
    expectSameCoefficients (p.inputHighPassCoeffs.read(), expectedButterworth (false, 50.0, 48000.0));

    p.setParameter (35, 1.0f);   // 20 kHz
    expectSameCoefficients (p.inputHighPassCoeffs.read(), expectedButterworth (false, 20000.0, 48000.0));
}

TEST (ParameterEffects, NoiseFilterTypeTruncates)
{
    ZorvaluneAudioProcessor p;
    p.setParameter (14, 0.25f);   // trunc(2.5) = 2: high-pass at 4 kHz
    expectSameCoefficients (p.noiseFilterCoeffs.read(), expectedButterworth (false, 4000.0, 48000.0));

    p.setParameter (14, 0.1f);
    expectSameCoefficients (p.noiseFilterCoeffs.read(), expectedButterworth (true, 4000.0, 48000.0));
}

TEST (ParameterEffects, ModulationCodesAndRates)
{
    ZorvaluneAudioProcessor p;
    p.setParameter (26, 0.034f);
    EXPECT_EQ (p.mod1Source.load(), 3);
    EXPECT_EQ (p.parameterValues[26].load(), 0.03f);

    EXPECT_EQ (p.lfo1Waveform.load(), 4);

    p.setParameter (31, 0.07f);
    EXPECT_EQ (p.mod2Destination.load(), 7);

    p.setParameter (22, 0.08f);
    EXPECT_FLOAT_EQ (p.tapeWobbleRate.load(), 8.0f);

    p.setParameter (25, 0.005f);   // 2 Hz, no tempo yet: nothing locks
    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 2.0f);
    EXPECT_EQ (p.lfo1SyncIndex.load(), 0);

    p.tempoBpm = 120.0f;
    p.setParameter (25, 0.005f);   // one beat at 120 BPM
    EXPECT_EQ (p.lfo1SyncIndex.load(), 8);

    p.setParameter (25, 0.0051f);  // matches no fraction: the lock stays
    EXPECT_EQ (p.lfo1SyncIndex.load(), 8);
}

TEST (ParameterEffects, StandaloneRefusesSideChainSources)
{
    const test_support::ScopedWrapperType standalone (juce::AudioProcessor::wrapperType_Standalone);
    ZorvaluneAudioProcessor p;
    p.setMod1Source (7);
    EXPECT_EQ (p.mod1Source.load(), 0);
    EXPECT_EQ (p.parameterValues[26].load(), 0.0f);
    EXPECT_EQ (p.lfo1Waveform.load(), 0);
}

TEST (ParameterEffects, SequencerStepLength)
{
    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.stepLengthSamples.load(), 24000);   // 120 BPM, one beat, 48 kHz

    p.setParameter (42, 0.04f);                       // key 4: four beats
    EXPECT_EQ (p.stepLengthSamples.load(), 96000);

    p.setParameter (41, 0.0f);                        // no tempo: the length stays
    EXPECT_EQ (p.stepLengthSamples.load(), 96000);

    p.setParameter (42, 0.08f);                       // a tempo of 0 counts as 120 here
    EXPECT_EQ (p.stepLengthSamples.load(), 24000);
}

TEST (EditorRefreshRule, FirstChangeAfterLoadRefreshesOnce)
{
    ZorvaluneAudioProcessor p;
    p.presetModified = 0;
    p.editorNotifyCounter = 0;
    const int before = p.editorRefreshRequests.load();

    p.setParameter (3, 0.1f);
    EXPECT_EQ (p.editorRefreshRequests.load(), before + 1);
    EXPECT_EQ (p.presetModified.load(), 1);
    EXPECT_EQ (p.editorNotifyCounter.load(), 1);

    // A panel's own edit: counter 0 around the write, no refresh.
    p.editorNotifyCounter = 0;
    p.setParameter (3, 0.2f);
    EXPECT_EQ (p.editorRefreshRequests.load(), before + 1);

    // Host automation: the counter is not 0, every change refreshes.
    p.editorNotifyCounter = 1;
    p.setParameter (3, 0.3f);
    EXPECT_EQ (p.editorRefreshRequests.load(), before + 2);
}
