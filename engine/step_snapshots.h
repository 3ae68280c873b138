#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

// The sequencer's stored steps: per step one snapshot of the parameters. The
// message and host threads store them; any thread applies them, the audio
// thread too (at a transport start). A step stored whole is read whole, in the
// manner of the coefficient hand-off: writers take turns and keep the step's
// sequence counter odd while they store, and a reader that sees the counter
// move retries, a few times at most.
template <std::size_t numSteps, std::size_t numValues>
class step_snapshot_store
{
public:
    using values = std::array<float, numValues>;

    // One value at a time, each stored and loaded atomically: for a single
    // value (a step's mark) or for a thread that is alone with the steps.
    std::atomic<float>* operator[] (int step) noexcept { return elements[step]; }
    const std::atomic<float>* operator[] (int step) const noexcept { return elements[step]; }

    // Any thread but the audio thread: stores the step whole, as `edit` makes
    // it from its present values.
    template <typename Edit>
    void store (int step, Edit&& edit) noexcept
    {
        while (writerBusy.exchange (true, std::memory_order_acquire))
            std::this_thread::yield();

        values v;

        for (std::size_t i = 0; i < numValues; ++i)
            v[i] = elements[step][i].load (std::memory_order_relaxed);

        edit (v);

        // Each value is released after the odd count, so a reader that takes a
        // new value also sees the count move (no fences: the sanitizer follows these).
        auto& sequence = sequences[step];
        const auto s = sequence.load (std::memory_order_relaxed);
        sequence.store (s + 1, std::memory_order_relaxed);

        for (std::size_t i = 0; i < numValues; ++i)
            elements[step][i].store (v[i], std::memory_order_release);

        sequence.store (s + 2, std::memory_order_release);
        writerBusy.store (false, std::memory_order_release);
    }

    // Wait-free: copies the step, or returns false when every try met a
    // writer half-way.
    bool tryRead (int step, values& out) const noexcept
    {
        const auto& sequence = sequences[step];

        for (int attempt = 0; attempt < 16; ++attempt)
        {
            const auto before = sequence.load (std::memory_order_acquire);

            if ((before & 1u) != 0)
                continue;

            for (std::size_t i = 0; i < numValues; ++i)
                out[i] = elements[step][i].load (std::memory_order_acquire);

            if (sequence.load (std::memory_order_relaxed) == before)
                return true;
        }

        return false;
    }

    // For threads that may wait.
    values read (int step) const noexcept
    {
        values v;

        while (! tryRead (step, v))
            std::this_thread::yield();

        return v;
    }

private:
    std::atomic<float> elements[numSteps][numValues] {};
    std::atomic<std::uint32_t> sequences[numSteps] {};
    std::atomic<bool> writerBusy { false };
};
