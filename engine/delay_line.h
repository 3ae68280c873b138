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
        if (capacity <= this->capacity())
            return;

        std::vector<float> grown ((size_t) capacity, 0.0f);
        const int keep = this->capacity();

        for (int d = 0; d < keep; ++d)
            grown[(size_t) (keep - 1 - d)] = delayed (d);

        buffer.swap (grown);
        newest = keep > 0 ? keep - 1 : capacity - 1;
    }

    int capacity() const noexcept { return (int) buffer.size(); }

    void push (float x) noexcept
    {
        if (++newest >= capacity())
            newest = 0;

        buffer[(size_t) newest] = x;
    }

    // The sample pushed `delay` pushes ago (0 = the newest), clamped to what
    // the line holds.
    float delayed (int delay) const noexcept
    {
        delay = std::clamp (delay, 0, capacity() - 1);
        int i = newest - delay;
        return buffer[(size_t) (i < 0 ? i + capacity() : i)];
    }

    void zero() noexcept { std::fill (buffer.begin(), buffer.end(), 0.0f); }

private:
    std::vector<float> buffer;
    int newest = 0;
};
