#pragma once

#include <juce_core/juce_core.h>

#include <cmath>
#include <cstdint>
#include <cstring>
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

        running f (*this);

        for (int i = 0; i < count; ++i)
            samples[i] = f.step (samples[i]);

        f.finishBlock (count);
    }

    // Two filters in series over one block, as processSamples on each in turn
    // gives; both recursions run in the same loop, so their latencies overlap.
    static void processSamples (smooth_IIR_filter& first, smooth_IIR_filter& second, float* samples, int count) noexcept
    {
        if (! processBoth<false> (first, second, samples, count))
        {
            first.processSamples (samples, count);
            second.processSamples (samples, count);
        }
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

        running f (*this);

        for (int i = 0; i < count; ++i)
            samples[i] = f.stepAndFlush (samples[i]);

        f.finishRun();
    }

    // Two filters in series, each as processSampleRun: one loop for both.
    static void processSampleRun (smooth_IIR_filter& first, smooth_IIR_filter& second, float* samples, int count) noexcept
    {
        if (! processBoth<true> (first, second, samples, count))
        {
            first.processSampleRun (samples, count);
            second.processSampleRun (samples, count);
        }
    }

    void clearState() noexcept
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        z1 = z2 = 0.0f;
    }

    // Where the current ramp started and where it ends. Each ramp sample is
    // computed from these rather than by adding the step again and again, so
    // rounding never accumulates: a low cutoff at a high rate keeps its poles
    // inside the unit circle, and the ramp ends exactly on the target.
    filter_coefficients rampFrom, rampTo;

    // Very small state words are zeroed so that silence decays to true zero;
    // non-finite ones too, so one bad sample cannot leave the filter broken:
    // kept are those with 1e-8 < |z| <= the largest float.
    static constexpr std::uint32_t tinyBits = 0x322bcc77;      // 1.0e-8f
    static constexpr std::uint32_t largestBits = 0x7f7fffff;   // the largest finite float

private:

    // Both filters in one loop when both are on (false, and nothing done, if not).
    template <bool flushEachSample>
    static bool processBoth (smooth_IIR_filter& first, smooth_IIR_filter& second, float* samples, int count) noexcept
    {
        const juce::SpinLock::ScopedLockType sl1 (first.lock);
        const juce::SpinLock::ScopedLockType sl2 (second.lock);

        if (! (first.enabled && second.enabled))
            return false;

        running f (first), g (second);

        for (int i = 0; i < count; ++i)
            samples[i] = flushEachSample ? g.stepAndFlush (f.stepAndFlush (samples[i])) : g.step (f.step (samples[i]));

        if constexpr (flushEachSample)
        {
            f.finishRun();
            g.finishRun();
        }
        else
        {
            f.finishBlock (count);
            g.finishBlock (count);
        }

        return true;
    }

    float stepOne (float x) noexcept
    {
        running f (*this);
        const float y = f.stepAndFlush (x);
        f.finishRun();
        return y;
    }

    // The coefficients and state copied into locals for a run of samples.
    // Written back once at the end: kept in the filter, every sample would
    // store and reload them (the samples might alias them), which lengthens
    // the recursion. The arithmetic is the filter's own, step for step.
    struct running
    {
        explicit running (smooth_IIR_filter& f) noexcept
            : filter (f), b0 (f.b0), b1 (f.b1), b2 (f.b2), a1 (f.a1), a2 (f.a2), z1 (f.z1), z2 (f.z2),
              remaining (f.rampRemaining), from (f.rampFrom), to (f.rampTo),
              b0Step (f.b0Step), b1Step (f.b1Step), b2Step (f.b2Step), a1Step (f.a1Step), a2Step (f.a2Step)
        {
        }

        // One sample; a ramp sample moves the coefficients first.
        float step (float x) noexcept
        {
            if (remaining > 0)
                moveCoefficients (remaining--);

            const float y = b0 * x + z1;
            z1 = b1 * x - a1 * y + z2;
            z2 = b2 * x - a2 * y;
            return y;
        }

        float stepAndFlush (float x) noexcept
        {
            const float y = step (x);
            flushTiny (z1);
            flushTiny (z2);
            return y;
        }

        // After a block: one flush; the ramp counts down by the whole block.
        void finishBlock (int count) noexcept
        {
            flushTiny (z1);
            flushTiny (z2);
            store();

            if (filter.rampRemaining > 0)
                filter.rampRemaining -= count;
        }

        // After single steps: the ramp counted down once per ramp sample.
        void finishRun() noexcept
        {
            store();
            filter.rampRemaining = remaining;
        }

    private:
        smooth_IIR_filter& filter;
        float b0, b1, b2, a1, a2, z1, z2;
        int remaining;
        const filter_coefficients from, to;
        const float b0Step, b1Step, b2Step, a1Step, a2Step;

        // A ramp sample with `left` samples of the ramp left, this one included.
        void moveCoefficients (int left) noexcept
        {
            const int done = rampLength - left + 1;

            if (done >= rampLength)
            {
                b0 = to.b0; b1 = to.b1; b2 = to.b2; a1 = to.a1; a2 = to.a2;
            }
            else
            {
                const auto k = (float) juce::jmax (1, done);
                b0 = from.b0 + b0Step * k;
                b1 = from.b1 + b1Step * k;
                b2 = from.b2 + b2Step * k;
                a1 = from.a1 + a1Step * k;
                a2 = from.a2 + a2Step * k;
            }
        }

        void store() noexcept
        {
            filter.b0 = b0; filter.b1 = b1; filter.b2 = b2; filter.a1 = a1; filter.a2 = a2;
            filter.z1 = z1; filter.z2 = z2;
        }
    };

    // The test is one unsigned range check on the bits (NaN and infinity lie
    // above it), so it compiles to a rarely taken branch instead of masks on
    // the recursion's critical path.
    static void flushTiny (float& z) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &z, sizeof bits);
        const std::uint32_t magnitude = bits & 0x7fffffffu;

        if (magnitude - (tinyBits + 1) > largestBits - (tinyBits + 1))
            z = 0.0f;
    }
};
