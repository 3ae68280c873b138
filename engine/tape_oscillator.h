#pragma once

#include <cmath>

#include "LFO.h"

// The tape's wobble, a sine (the chain runs it, chain_tape-inl.h) whose phase
// is kept in double. The read position integrates this sine, so its average
// over a turn must be 0. A float phase is stepped in increments rounded to
// its own spacing, which is four times coarser in [4, 2 pi) than in [1, 2):
// at a slow wobble the turn's halves then last measurably different times,
// the sine averages to up to 0.5 %, and the read drifts from its centre
// without end.
struct tape_oscillator
{
    float frequency = -1.0f;      // Hz, as last set by the chain
    float phaseIncrement = 1.0f;  // radians per sample
    double phase = 0.0;           // radians, 0..2 pi

    // One step of the phase: wrapped back by a turn once past it. Only an
    // increment beyond a turn, a negative or a broken one leaves it outside;
    // it is then brought back to a finite angle of one turn.
    static double advanced (double phase, float increment) noexcept
    {
        phase += (double) increment;

        if (phase > LFO::twoPi)
            phase -= LFO::twoPi;

        if (phase >= 0.0 && phase <= LFO::twoPi)
            return phase;

        return std::isfinite (phase) ? std::fmod (phase, LFO::twoPi) + (phase < 0.0 ? LFO::twoPi : 0.0) : 0.0;
    }
};
