#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "filter_coefficients.h"

// A coefficient set that any thread may recompute while the audio thread copies
// it once per block.
//
// Writers take turns through a small flag and compute inside their turn, so the
// last one to publish always worked from the newest parameter values; a writer
// that may not wait asks for a turn once, with a set designed beforehand. The copy
// itself is guarded by a sequence counter (odd while a writer stores): a reader
// that sees it change retries, and after a few failed tries gives up for this
// block rather than spin on the audio thread. `version` counts publications and
// only ever grows; a reader compares it with the last version it took, so an
// update is never lost even when a copy is skipped.
class coefficient_handoff
{
public:
    // Any thread. `compute` fills the set it is given.
    template <typename Compute>
    void publish (Compute&& compute) noexcept
    {
        while (writerBusy.exchange (true, std::memory_order_acquire))
            std::this_thread::yield();

        filter_coefficients c;
        compute (c);
        store (c);

        writerBusy.store (false, std::memory_order_release);
    }

    // Any thread, never waiting: when no writer has its turn, runs `whileHeld`
    // (which stores the values the set was designed from) and publishes the
    // ready-made set. False, with nothing run, while another writer is busy.
    template <typename WhileHeld>
    bool tryPublish (const filter_coefficients& ready, WhileHeld&& whileHeld) noexcept
    {
        if (writerBusy.exchange (true, std::memory_order_acquire))
            return false;

        whileHeld();
        store (ready);

        writerBusy.store (false, std::memory_order_release);
        return true;
    }

    // Wait-free for the caller: copies the newest complete set and its version,
    // or returns false when every try met a writer half-way.
    bool tryRead (filter_coefficients& out, std::uint64_t& version) const noexcept
    {
        for (int attempt = 0; attempt < 16; ++attempt)
        {
            const auto before = sequence.load (std::memory_order_acquire);

            if ((before & 1u) != 0)
                continue;

            filter_coefficients c;
            c.b0 = b0.load (std::memory_order_relaxed);
            c.b1 = b1.load (std::memory_order_relaxed);
            c.b2 = b2.load (std::memory_order_relaxed);
            c.a1 = a1.load (std::memory_order_relaxed);
            c.a2 = a2.load (std::memory_order_relaxed);
            const auto v = publications.load (std::memory_order_relaxed);
            std::atomic_thread_fence (std::memory_order_acquire);

            if (sequence.load (std::memory_order_relaxed) == before)
            {
                out = c;
                version = v;
                return true;
            }
        }

        return false;
    }

    // Blocking convenience for threads that may wait (tests, the message thread).
    filter_coefficients read() const noexcept
    {
        filter_coefficients c;
        std::uint64_t v = 0;

        while (! tryRead (c, v))
            std::this_thread::yield();

        return c;
    }

    std::uint64_t version() const noexcept { return publications.load (std::memory_order_acquire); }

private:
    // Within a writer's turn.
    void store (const filter_coefficients& c) noexcept
    {
        const auto s = sequence.load (std::memory_order_relaxed);
        sequence.store (s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence (std::memory_order_release);
        b0.store (c.b0, std::memory_order_relaxed);
        b1.store (c.b1, std::memory_order_relaxed);
        b2.store (c.b2, std::memory_order_relaxed);
        a1.store (c.a1, std::memory_order_relaxed);
        a2.store (c.a2, std::memory_order_relaxed);
        publications.store (publications.load (std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        sequence.store (s + 2, std::memory_order_release);
    }

    std::atomic<bool> writerBusy { false };
    std::atomic<std::uint64_t> sequence { 0 };
    std::atomic<float> b0 { 0.0f }, b1 { 0.0f }, b2 { 0.0f }, a1 { 0.0f }, a2 { 0.0f };
    std::atomic<std::uint64_t> publications { 0 };
};
