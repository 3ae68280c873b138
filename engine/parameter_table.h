#pragma once

#include <array>

// The 48 index-based parameters. Each is stored normalised (0..1); the engine
// and the presets work in plug-in units u = (v - offset) x scale, and back
// again v = u / scale + offset.
namespace parameter_table
{
    constexpr int numParameters = 48;

    // Parameters with a special effect or meaning somewhere in the engine.
    enum Index
    {
        dryWet = 0, inGain = 1, outGain = 2, rmsTime = 3, noiseOn = 4, noiseMix = 5, nrBits = 6,
        noiseThreshold = 7, noiseMinAmount = 8, noiseMaxAmount = 9, noiseRatio = 10, noiseRelease = 11,
        noiseLowcutOn = 12, noiseFilterFreq = 13, noiseFilterType = 14, noiseFilterQ = 15, crushOn = 16,
        clipGain = 17, saturation = 18, pitchLowPassFreq = 19, tapeOn = 20, tapeFreqDelta = 21,
        tapeRotation = 22, srReduc = 23, mod1Depth = 24, lfo1Freq = 25, mod1Src = 26, mod1Dest = 27,
        mod2Depth = 28, lfo2Freq = 29, mod2Src = 30, mod2Dest = 31, lfo1x10 = 32, lfo2x10 = 33,
        inFiltersOn = 34, inHighPassFreq = 35, side1ListenOn = 36, inLowPassFreq = 37, slewRate = 38,
        sideGain1 = 39, sideGain2 = 40, seqBpm = 41, seqNrBars = 42, seqOn = 43, seqMode = 44,
        seqSkipMode = 45, seqStepSaved = 46, param47 = 47
    };

    struct Entry
    {
        const char* name;
        float defaultValue;   // normalised
        float offset;         // u = (v - offset) x scale
        float scale;
        bool automatable;
    };

    inline constexpr std::array<Entry, numParameters> entries {{
        { "Dry Wet",            1.0f,        0.0f, 100.0f,   true },
        { "In Gain",            0.5f,        0.5f, 60.0f,    true },
        { "Out Gain",           0.5f,        0.5f, 60.0f,    true },
        { "RMStime",            0.05f,       0.0f, 2000.0f,  true },
        { "Noise_On",           0.0f,        0.0f, 1.0f,     true },
        { "NoiseMix",           0.1f,        0.0f, 100.0f,   true },
        { "NrBits",             1.0f,        0.0f, 24.0f,    true },
        { "NoiseThreshold",     0.5f,        1.0f, 80.0f,    true },
        { "NoiseMinAmount",     0.5f,        1.0f, 80.0f,    true },
        { "NoiseMaxAmount",     0.875f,      1.0f, 80.0f,    true },
        { "NoiseRatio",         0.75f,       0.5f, 4.0f,     true },
        { "NoiseRelease",       0.025f,      0.0f, 4000.0f,  true },
        { "noiseLowcutOn",      1.0f,        0.0f, 1.0f,     true },
        { "LPFilterNoiseFreq",  0.2f,        0.0f, 20000.0f, true },
        { "DelayOutFilterType", 0.1f,        0.0f, 10.0f,    false },
        { "DelayOutFilterQ",    0.1f,        0.0f, 10.0f,    true },
        { "Crush_On",           0.0f,        0.0f, 1.0f,     true },
        { "ClipGain",           0.41666666f, 0.0f, 60.0f,    true },
        { "Saturation",         0.1f,        0.0f, 100.0f,   true },
        { "LPFilterPitchFreq",  0.4f,        0.0f, 20000.0f, true },
        { "Tape_On",            0.0f,        0.0f, 1.0f,     true },
        { "TapeFreqDelta",      0.3f,        0.0f, 100.0f,   true },
        { "TapeRotation",       0.01f,       0.0f, 100.0f,   true },
        { "SR_Reduc",           0.01f,       0.0f, 100.0f,   true },
        { "Mod1_Depth",         0.4f,        0.0f, 100.0f,   true },
        { "LFO1Freq",           0.00125f,    0.0f, 400.0f,   true },
        { "Mod1Source",         0.0f,        0.0f, 100.0f,   true },
        { "Mod1Dest",           0.0f,        0.0f, 100.0f,   true },
        { "Mod2_Depth",         0.8f,        0.0f, 100.0f,   true },
        { "LFO2Freq",           0.0125f,     0.0f, 400.0f,   true },
        { "Mod2Source",         0.01f,       0.0f, 100.0f,   true },
        { "Mod2Dest",           0.0f,        0.0f, 100.0f,   true },
        { "LFO1x10",            0.0f,        0.0f, 1.0f,     true },
        { "LFO2x10",            0.0f,        0.0f, 1.0f,     true },
        { "InFilters_On",       0.0f,        0.0f, 1.0f,     true },
        { "HPFilterInFreq",     0.005f,      0.0f, 20000.0f, true },
        { "Side1ListenOn",      0.0f,        0.0f, 1.0f,     false },
        { "LPFilterInFreq",     0.5f,        0.0f, 20000.0f, true },
        { "SlewRate",           0.04f,       0.0f, 100.0f,   true },
        { "SideGaindB",         0.33333334f, 0.0f, 60.0f,    true },
        { "SideGain2dB",        0.33333334f, 0.0f, 60.0f,    true },
        { "Seq_BPM",            0.12f,       0.0f, 1000.0f,  true },
        { "Seq_Nr_Bars",        0.08f,       0.0f, 100.0f,   true },
        { "Seq_On",             0.0f,        0.0f, 1.0f,     true },
        { "Seq_Mode",           0.1f,        0.0f, 10.0f,    true },
        { "Seq_Skip_Mode",      0.0f,        0.0f, 10.0f,    true },
        { "Seq_Step_Saved",     0.0f,        0.0f, 1.0f,     true },
        { "param_47",           0.0f,        0.0f, 1.0f,     true },
    }};

    // Only indices 0..44 have a stored default; the rest default to 0.
    constexpr int numStoredDefaults = 45;
}
