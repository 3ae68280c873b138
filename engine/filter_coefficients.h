#pragma once

// One biquad coefficient set of the normalised transfer function
// (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2). `version` grows by one
// every time the set is recomputed, so readers can tell a new set from an old one.
struct filter_coefficients
{
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
    int version = 0;
};

namespace butterworth
{
    // Bilinear designs are only stable below Nyquist; a requested frequency at
    // or above this (20 kHz at a 32 kHz rate, say) is designed here instead.
    double highestDesignFrequency (double sampleRate) noexcept;

    // Second-order Butterworth designs by the bilinear transform, computed in
    // double precision and stored as floats. The version is left to the caller.
    void lowPass  (double frequency, double sampleRate, filter_coefficients& out) noexcept;
    void highPass (double frequency, double sampleRate, filter_coefficients& out) noexcept;
}
