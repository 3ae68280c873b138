#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "lane_math.h"

// The modulation oscillator: a phase in radians advanced once per sample, with
// its own Mersenne Twister for the random waveform so every channel is repeatable.
struct LFO
{
    enum Waveform { sine = 0, square = 1, slopedSquare = 2, fallingSaw = 3, risingSaw = 4, random = 7 };

    static constexpr double twoPi = 6.283185307179586;

    float frequency = -1.0f;
    float amplitude = 1.0f;
    float phaseIncrement = 1.0f;
    float phase = 0.0f;
    int waveform = sine;
    float edgeWidth = 0.0f;
    std::mt19937 rng { 5489u };

    float getNextOutSample() noexcept
    {
        if (isSilent())
            return 0.0f;

        if (waveform == random)
        {
            const float a = amplitude;
            const auto u = (std::uint32_t) rng();
            return ((float) u * (1.0f / 4294967296.0f) - 0.5f) * (a + a);
        }

        phase = advanced (phase, phaseIncrement);
        return waveform == sine ? std::sin (phase) * amplitude : shapeAt (phase);
    }

    // The next `count` outputs, the same as that many getNextOutSample calls.
    // A sine runs as two passes, the phases and then their sines, so the
    // library call sits in a loop of its own.
    void fillBlock (float* out, int count) noexcept
    {
        if (waveform != sine)
        {
            for (int i = 0; i < count; ++i)
                out[i] = getNextOutSample();

            return;
        }

        for (int i = 0; i < count; ++i)
            out[i] = phase = advanced (phase, phaseIncrement);

        const float a = amplitude;
        lane_math::sinOfPhase (out, out, count);

        for (int i = 0; i < count; ++i)
            out[i] = out[i] * a;
    }

    bool isSilent() const noexcept { return waveform > 7 || waveform == 5 || waveform == 6; }

    // Whether each output moves the phase (the random waveform and silence do not).
    bool advancesPhase() const noexcept { return ! isSilent() && waveform != random; }

    // One step of the phase: wrapped back by a turn once past it. (double) p
    // > 2 pi is the same as p >= turnEnd, the first float above 2 pi.
    static float advanced (float phase, float increment) noexcept
    {
        phase = phase + increment;

        if (phase >= turnEnd)
            phase = (float) ((double) phase - twoPi);

        return isWithinTurn (phase) ? phase : intoTurn (phase);
    }

    static constexpr float turnEnd = 6.2831855f;

    static bool isWithinTurn (float phase) noexcept { return phase < turnEnd && phase >= 0.0f; }

    // Only an increment beyond a whole turn, a negative one or a broken one
    // leaves the phase outside; keep it a finite angle of one turn.
    static float intoTurn (float phase) noexcept
    {
        return std::isfinite (phase) ? (float) (std::fmod ((double) phase, twoPi) + ((double) phase < 0.0 ? twoPi : 0.0))
                                     : 0.0f;
    }

    // The output at `p` of a waveform other than the sine and the random one.
    float shapeAt (float p) const noexcept
    {
        constexpr float pi = 3.14159265358979f;
        const float a = amplitude;

        switch (waveform)
        {
            case fallingSaw: return (1.0f - p / pi) * a;
            case risingSaw:  return (p / pi - 1.0f) * a;
            case slopedSquare:
                if (edgeWidth > 0.0f)
                    return slopedSquareAt (p, a);
                [[fallthrough]];
            case square:
            default:         return p < pi ? a : -a;
        }
    }

private:
    float slopedSquareAt (float phaseNow, float a) const noexcept
    {
        constexpr double piD = 3.141592653589793;
        const float e = (float) ((double) edgeWidth * piD * 0.5);
        const double p = phaseNow;

        if (phaseNow < e)           return phaseNow * a / e;
        if (p < piD - e)            return a;
        if (p < piD)                return (float) (piD - p) * a / e;
        if (p < piD + e)            return (float) (p - piD) * (-a) / e;
        if (p < 2.0 * piD - e)      return -a;
        return (float) (2.0 * piD - p) * (-a) / e;
    }
};
