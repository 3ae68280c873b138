#pragma once

#include <algorithm>
#include <vector>

// A plain circular delay line: one sample in per sample, read back any number
// of samples ago up to its capacity. It never runs empty: before anything was
// written it reads silence.
class delay_line
{
public:
    // Not for the audio thread. Keeps the newest samples when growing.
    void reserve (int capacity)
    {
        if (capacity <= limit)
            return;

        // The storage is a power of two long, so wrapping an index is a mask.
        int length = 1;

        while (length < capacity)
            length *= 2;

        std::vector<float> grown ((size_t) length, 0.0f);
        const int keep = limit;

        for (int d = 0; d < keep; ++d)
            grown[(size_t) (keep - 1 - d)] = delayed (d);

        buffer.swap (grown);
        mask = length - 1;
        limit = capacity;
        newest = keep > 0 ? keep - 1 : mask;
    }

    int capacity() const noexcept { return limit; }

    void push (float x) noexcept
    {
        newest = (newest + 1) & mask;
        buffer[(size_t) newest] = x;
    }

    // The sample pushed `delay` pushes ago (0 = the newest), clamped to what
    // the line holds.
    float delayed (int delay) const noexcept
    {
        return buffer[(size_t) ((newest - within (delay)) & mask)];
    }

    // A delay as delayed() takes it.
    int within (int delay) const noexcept { return std::clamp (delay, 0, limit - 1); }

    // Asks the cache for what reads at `delay` over the next `count` pushes
    // will see (the read moves on with the writes).
    void prefetchDelayed (int delay, int count) const noexcept
    {
        if (limit == 0)
            return;

        for (int k = 0; k < count + 16; k += 16)
            __builtin_prefetch (&buffer[(size_t) ((newest + 1 - within (delay) + k) & mask)]);
    }

    // Asks the cache for where the next `count` pushes will write.
    void prefetchPushes (int count) const noexcept
    {
        for (int k = 1; k < count + 16; k += 16)
            __builtin_prefetch (&buffer[(size_t) ((newest + k) & mask)], 1);
    }

    void zero() noexcept { std::fill (buffer.begin(), buffer.end(), 0.0f); }

    // The write position in a local for a run of pushes and reads (kept in
    // the line it goes through memory at every step); store() puts it back.
    class cursor
    {
    public:
        explicit cursor (delay_line& d) noexcept
            : line (d), data (d.buffer.data()), mask (d.mask), newest (d.newest) {}

        void store() noexcept { line.newest = newest; }

        // Where the push `ahead` pushes on writes, and what a read at `delay`
        // then reads, in the storage; `advance` moves the write on by that
        // many pushes made there directly.
        int slotAhead (int ahead) const noexcept { return (newest + ahead) & mask; }
        int slotBefore (int slot, int delay) const noexcept { return (slot - delay) & mask; }
        float* storage() const noexcept { return data; }
        void advance (int pushes) noexcept { newest = (newest + pushes) & mask; }

        void push (float x) noexcept
        {
            newest = (newest + 1) & mask;
            data[newest] = x;
        }

        float delayed (int delay) const noexcept { return data[(newest - line.within (delay)) & mask]; }

    private:
        delay_line& line;
        float* data;
        int mask, newest;
    };

private:
    std::vector<float> buffer;
    int mask = 0, limit = 0;
    int newest = 0;
};
