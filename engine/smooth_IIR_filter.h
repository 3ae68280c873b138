#pragma once

#include <juce_core/juce_core.h>

#include "filter_coefficients.h"

// A transposed direct form II biquad whose coefficients glide linearly to a new
// set over 1024 samples, so a cutoff change never clicks. The spin lock is held
// only while a block (or a single sample) is filtered or a ramp is set up.
struct smooth_IIR_filter
{
    static constexpr int rampLength = 1024;

    juce::SpinLock lock;
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
    float z1 = 0.0f, z2 = 0.0f;
    bool enabled = false;
    int rampRemaining = 0;
    float b0Step = 0.0f, b1Step = 0.0f, b2Step = 0.0f, a1Step = 0.0f, a2Step = 0.0f;

    void startRamp (const filter_coefficients& target) noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        constexpr float perSample = 1.0f / (float) rampLength;
        b0Step = (target.b0 - b0) * perSample;
        b1Step = (target.b1 - b1) * perSample;
        b2Step = (target.b2 - b2) * perSample;
        a1Step = (target.a1 - a1) * perSample;
        a2Step = (target.a2 - a2) * perSample;
        enabled = true;
        rampRemaining = rampLength;
    }

    void processSamples (float* samples, int count) noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);

        if (! enabled)
            return;

        const bool ramping = rampRemaining > 0;
        int rampLeft = rampRemaining;

        for (int i = 0; i < count; ++i)
        {
            if (rampLeft > 0)
            {
                advanceRamp();
                --rampLeft;
            }

            samples[i] = tick (samples[i]);
        }

        if (ramping)
            rampRemaining -= count;

        flushTinyState();
    }

    // One sample, as the chain runs it inline: lock, step, flush, unlock.
    float processSample (float x) noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);

        if (! enabled)
            return x;

        if (rampRemaining > 0)
        {
            advanceRamp();
            --rampRemaining;
        }

        const float y = tick (x);
        flushTinyState();
        return y;
    }

    void clearState() noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        z1 = z2 = 0.0f;
    }

private:
    void advanceRamp() noexcept
    {
        b0 += b0Step;
        b1 += b1Step;
        b2 += b2Step;
        a1 += a1Step;
        a2 += a2Step;
    }

    float tick (float x) noexcept
    {
        const float y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }

    // Very small state words are zeroed so that silence decays to true zero.
    void flushTinyState() noexcept
    {
        if (! (z1 < -1.0e-8f || z1 > 1.0e-8f)) z1 = 0.0f;
        if (! (z2 < -1.0e-8f || z2 > 1.0e-8f)) z2 = 0.0f;
    }
};
