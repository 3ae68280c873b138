#pragma once

#include <cmath>
#include <cstdint>
#include <random>

// The modulation oscillator: a phase in radians advanced once per sample, with
// its own Mersenne Twister for the random waveform so every channel is repeatable.
struct LFO
{
    enum Waveform { sine = 0, square = 1, slopedSquare = 2, fallingSaw = 3, risingSaw = 4, random = 7 };

    float frequency = -1.0f;
    float amplitude = 1.0f;
    float phaseIncrement = 1.0f;
    float phase = 0.0f;
    int waveform = sine;
    float edgeWidth = 0.0f;
    std::mt19937 rng { 5489u };

    float getNextOutSample() noexcept
    {
        constexpr float pi = 3.14159265358979f;
        const float a = amplitude;

        if (waveform > 7 || waveform == 5 || waveform == 6)
            return 0.0f;

        if (waveform == random)
        {
            const auto u = (std::uint32_t) rng();
            return ((float) u * (1.0f / 4294967296.0f) - 0.5f) * (a + a);
        }

        advancePhase();

        switch (waveform)
        {
            case sine:       return std::sin (phase) * a;
            case fallingSaw: return (1.0f - phase / pi) * a;
            case risingSaw:  return (phase / pi - 1.0f) * a;
            case slopedSquare:
                if (edgeWidth > 0.0f)
                    return slopedSquareAt (a);
                [[fallthrough]];
            case square:
            default:         return phase < pi ? a : -a;
        }
    }

    // The next `count` outputs, the same as that many getNextOutSample calls.
    // A sine runs as two passes, the phases and then their sines, so the
    // library call sits in a loop of its own. With `increments` the phase
    // increment changes before each step to the given value.
    void fillBlock (float* out, int count, const float* increments = nullptr) noexcept
    {
        if (waveform != sine)
        {
            for (int i = 0; i < count; ++i)
            {
                if (increments != nullptr)
                    phaseIncrement = increments[i];

                out[i] = getNextOutSample();
            }

            return;
        }

        for (int i = 0; i < count; ++i)
        {
            if (increments != nullptr)
                phaseIncrement = increments[i];

            out[i] = advancePhase();
        }

        const float a = amplitude;

        for (int i = 0; i < count; ++i)
            out[i] = std::sin (out[i]) * a;
    }

private:
    float advancePhase() noexcept
    {
        constexpr double twoPi = 6.283185307179586;
        phase = phase + phaseIncrement;

        if ((double) phase > twoPi)
            phase = (float) ((double) phase - twoPi);

        // Only an increment beyond a whole turn, a negative one or a broken
        // one gets here; keep the phase a finite angle of one turn.
        if (! ((double) phase <= twoPi && phase >= 0.0f))
            phase = std::isfinite (phase) ? (float) (std::fmod ((double) phase, twoPi) + ((double) phase < 0.0 ? twoPi : 0.0))
                                          : 0.0f;

        return phase;
    }

    float slopedSquareAt (float a) const noexcept
    {
        constexpr double piD = 3.141592653589793;
        const float e = (float) ((double) edgeWidth * piD * 0.5);
        const double p = phase;

        if (phase < e)              return phase * a / e;
        if (p < piD - e)            return a;
        if (p < piD)                return (float) (piD - p) * a / e;
        if (p < piD + e)            return (float) (p - piD) * (-a) / e;
        if (p < 2.0 * piD - e)      return -a;
        return (float) (2.0 * piD - p) * (-a) / e;
    }
};
