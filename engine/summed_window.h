#pragma once

#include "fixed_ring.h"

// A sliding window of samples with a running sum, kept in double precision so
// that adding and removing one element per sample matches re-summing the whole
// window within float rounding. With `squares` the sum is of the squared
// elements (the clip windows); otherwise of the elements themselves (the RMS
// window, which stores squares already).
//
// Subtracting old elements leaves rounding residue of their size; after loud
// material that residue could outweigh a quiet window. So the window also sums
// what arrived since a fresh start, and once every element it holds arrived
// since then, that sum (made only of additions) replaces the running one.
template <bool squares>
struct summed_window
{
    fixed_ring<float> samples;
    double sum = 0.0;
    double fresh = 0.0;      // sum of the newest `freshCount` elements
    int freshCount = 0;

    static double contribution (float v) noexcept { return squares ? (double) v * (double) v : (double) v; }

    int size() const noexcept { return samples.size(); }

    // When the window is full the oldest element makes room first.
    void push_back (float v) noexcept { push (samples, v, sum, fresh, freshCount); }

    // push_back on the window's ring or a cursor of it, onto sums the caller
    // holds, so that a run of pushes can keep them in locals.
    template <class Ring>
    static void push (Ring& ring, float v, double& runningSum, double& freshSum, int& freshHeld) noexcept
    {
        if (ring.full())
        {
            runningSum -= contribution (ring.front());
            ring.pop_front();
        }

        ring.push_back (v);
        const double c = contribution (v);
        runningSum += c;
        freshSum += c;

        if (++freshHeld >= ring.size())
        {
            runningSum = freshSum;
            freshSum = 0.0;
            freshHeld = 0;
        }
    }

    // The running sums, taken out into locals for a run of pushes (kept in
    // the members they make a round trip through memory between elements)
    // and put back after it.
    struct sums
    {
        double running = 0.0, fresh = 0.0;
        int freshHeld = 0;
    };

    sums takeSums() const noexcept { return { sum, fresh, freshCount }; }
    void putSums (const sums& s) noexcept { sum = s.running; fresh = s.fresh; freshCount = s.freshHeld; }

    // push onto taken sums, then the oldest element goes if `atMost` or
    // more are held. Returns the mean of what is held (0 when empty, never
    // below 0).
    template <class Ring>
    static float pushTakingMean (Ring& ring, float v, int atMost, sums& s) noexcept
    {
        push (ring, v, s.running, s.fresh, s.freshHeld);

        if (ring.size() >= atMost)
        {
            s.running -= contribution (ring.front());
            ring.pop_front();
        }

        const int held = ring.size();
        return (float) (held > 0 ? std::max (0.0, s.running) / held : 0.0);
    }

    // push onto taken sums, then the oldest element goes if more than
    // `longest` are held.
    template <class Ring>
    static void pushKeeping (Ring& ring, float v, int longest, sums& s) noexcept
    {
        push (ring, v, s.running, s.fresh, s.freshHeld);

        if (ring.size() > longest)
        {
            s.running -= contribution (ring.front());
            ring.pop_front();
        }
    }

    void pop_front() noexcept
    {
        sum -= contribution (samples.front());
        samples.pop_front();
    }

    // Keeps the oldest `newSize` elements.
    void truncate (int newSize) noexcept
    {
        while (samples.size() > newSize)
        {
            const double c = contribution (samples.back());
            sum -= c;

            if (freshCount > 0)
            {
                fresh -= c;
                --freshCount;
            }

            samples.truncate (samples.size() - 1);
        }
    }

    // Every element becomes 0, the size stays.
    void zero() noexcept
    {
        samples.fill (0.0f);
        sum = 0.0;
        fresh = 0.0;
        freshCount = 0;
    }

    double resummed() const noexcept
    {
        double total = 0.0;

        for (int i = 0; i < samples.size(); ++i)
            total += contribution (samples[i]);

        return total;
    }
};
