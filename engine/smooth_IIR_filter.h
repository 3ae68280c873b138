#pragma once

#include <juce_core/juce_core.h>

#include <cmath>
#include <limits>

#include "filter_coefficients.h"

// A transposed direct form II biquad whose coefficients glide linearly to a new
// set over 1024 samples, so a cutoff change never clicks. The spin lock is held
// only while a block (or a run of single samples) is filtered or a ramp is set up.
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
        rampFrom = { b0, b1, b2, a1, a2, 0 };
        rampTo = target;
        b0Step = (target.b0 - b0) * perSample;
        b1Step = (target.b1 - b1) * perSample;
        b2Step = (target.b2 - b2) * perSample;
        a1Step = (target.a1 - a1) * perSample;
        a2Step = (target.a2 - a2) * perSample;
        enabled = true;
        rampRemaining = rampLength;
    }

    // Filters `count` samples in place as one block: the tiny-state flush runs
    // once at the end.
    void processSamples (float* samples, int count) noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);

        if (! enabled)
            return;

        const bool ramping = rampRemaining > 0;
        int rampLeft = rampRemaining;
        int i = 0;

        for (; i < count && rampLeft > 0; ++i)
            samples[i] = tick (samples[i], rampLeft--);

        for (; i < count; ++i)
            samples[i] = tick (samples[i]);

        if (ramping)
            rampRemaining -= count;

        flushTinyState();
    }

    // One sample, as the chain runs it inline: lock, step, flush, unlock.
    float processSample (float x) noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        return enabled ? stepOne (x) : x;
    }

    // A run of single-sample steps (each with its own flush) under one lock:
    // the same numbers as calling processSample for each, without re-locking.
    void processSampleRun (float* samples, int count) noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);

        if (! enabled)
            return;

        for (int i = 0; i < count; ++i)
            samples[i] = stepOne (samples[i]);
    }

    void clearState() noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        z1 = z2 = 0.0f;
    }

private:
    // Where the current ramp started and where it ends. Each ramp sample is
    // computed from these rather than by adding the step again and again, so
    // rounding never accumulates: a low cutoff at a high rate keeps its poles
    // inside the unit circle, and the ramp ends exactly on the target.
    filter_coefficients rampFrom, rampTo;

    float stepOne (float x) noexcept
    {
        float y;

        if (rampRemaining > 0)
            y = tick (x, rampRemaining--);
        else
            y = tick (x);

        flushTinyState();
        return y;
    }

    // A ramp sample with `remaining` samples of the ramp left, this one included.
    float tick (float x, int remaining) noexcept
    {
        const int done = rampLength - remaining + 1;

        if (done >= rampLength)
        {
            b0 = rampTo.b0; b1 = rampTo.b1; b2 = rampTo.b2; a1 = rampTo.a1; a2 = rampTo.a2;
        }
        else
        {
            const auto k = (float) juce::jmax (1, done);
            b0 = rampFrom.b0 + b0Step * k;
            b1 = rampFrom.b1 + b1Step * k;
            b2 = rampFrom.b2 + b2Step * k;
            a1 = rampFrom.a1 + a1Step * k;
            a2 = rampFrom.a2 + a2Step * k;
        }

        return tick (x);
    }

    float tick (float x) noexcept
    {
        const float y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }

    // Very small state words are zeroed so that silence decays to true zero;
    // non-finite ones too, so one bad sample cannot leave the filter broken.
    void flushTinyState() noexcept
    {
        constexpr float largest = std::numeric_limits<float>::max();
        if (! (std::abs (z1) > 1.0e-8f && std::abs (z1) <= largest)) z1 = 0.0f;
        if (! (std::abs (z2) > 1.0e-8f && std::abs (z2) <= largest)) z2 = 0.0f;
    }
};
