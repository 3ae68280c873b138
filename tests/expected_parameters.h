#pragma once

// What a host must see of the 48 parameters: names and normalised defaults,
// written out independently of the product's own table.
namespace expected_parameters
{
    inline constexpr const char* names[48] = {
        "Dry Wet", "In Gain", "Out Gain", "RMStime", "Noise_On", "NoiseMix", "NrBits", "NoiseThreshold",
        "NoiseMinAmount", "NoiseMaxAmount", "NoiseRatio", "NoiseRelease", "noiseLowcutOn", "LPFilterNoiseFreq",
        "DelayOutFilterType", "DelayOutFilterQ", "Crush_On", "ClipGain", "Saturation", "LPFilterPitchFreq",
        "Tape_On", "TapeFreqDelta", "TapeRotation", "SR_Reduc", "Mod1_Depth", "LFO1Freq", "Mod1Source",
        "Mod1Dest", "Mod2_Depth", "LFO2Freq", "Mod2Source", "Mod2Dest", "LFO1x10", "LFO2x10", "InFilters_On",
        "HPFilterInFreq", "Side1ListenOn", "LPFilterInFreq", "SlewRate", "SideGaindB", "SideGain2dB", "Seq_BPM",
        "Seq_Nr_Bars", "Seq_On", "Seq_Mode", "Seq_Skip_Mode", "Seq_Step_Saved", "param_47"
    };

    inline constexpr float defaults[48] = {
        1.0f, 0.5f, 0.5f, 0.05f, 0, 0.1f, 1.0f, 0.5f, 0.5f, 0.875f, 0.75f, 0.025f, 1.0f, 0.2f, 0.1f, 0.1f, 0,
        0.41666666f, 0.1f, 0.4f, 0, 0.3f, 0.01f, 0.01f, 0.4f, 0.00125f, 0, 0, 0.8f, 0.0125f, 0.01f, 0, 0, 0, 0,
        0.005f, 0, 0.5f, 0.04f, 0.33333334f, 0.33333334f, 0.12f, 0.08f, 0, 0.1f, 0, 0, 0
    };
}
