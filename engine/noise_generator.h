#pragma once

#include <cstdint>

// The standard 32-bit Mersenne Twister (the same numbers as std::mt19937 with
// the same seed), with its state open to drawing a run of numbers at once:
// the state's renewal and the tempering then run as plain loops over arrays,
// several words at a time.
class noise_generator
{
public:
    static constexpr int stateSize = 624;

    explicit noise_generator (std::uint32_t seed = 5489u) noexcept
    {
        restart (seed);
    }

    // The numbers start again as from a new generator with this seed.
    void restart (std::uint32_t seed) noexcept
    {
        state[0] = seed;

        for (int i = 1; i < stateSize; ++i)
            state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + (std::uint32_t) i;

        next = stateSize;
    }

    std::uint32_t operator()() noexcept
    {
        if (next >= stateSize)
            renew();

        return tempered (state[next++]);
    }

    // The next `count` numbers, as that many calls give them.
    void draw (std::uint32_t* out, int count) noexcept
    {
        while (count > 0)
        {
            if (next >= stateSize)
                renew();

            const int run = count < stateSize - next ? count : stateSize - next;
            const std::uint32_t* __restrict from = state + next;
            std::uint32_t* __restrict to = out;

            for (int i = 0; i < run; ++i)
                to[i] = tempered (from[i]);

            next += run;
            out += run;
            count -= run;
        }
    }

private:
    static constexpr int shift = 397;
    std::uint32_t state[stateSize];
    int next = stateSize;

    static std::uint32_t tempered (std::uint32_t y) noexcept
    {
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        return y ^ (y >> 18);
    }

    static std::uint32_t twisted (std::uint32_t upper, std::uint32_t lower, std::uint32_t far) noexcept
    {
        const std::uint32_t y = (upper & 0x80000000u) | (lower & 0x7fffffffu);
        return far ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908b0dfu : 0u);
    }

    // The next 624 words; each reads words after it that are still old, or
    // (from 227 on) words 397 on that this pass has renewed already.
    void renew() noexcept
    {
        std::uint32_t* const s = state;
        int i = 0;

        for (; i < stateSize - shift; ++i)
            s[i] = twisted (s[i], s[i + 1], s[i + shift]);

        for (; i < stateSize - 1; ++i)
            s[i] = twisted (s[i], s[i + 1], s[i + shift - stateSize]);

        state[stateSize - 1] = twisted (state[stateSize - 1], state[0], state[shift - 1]);
        next = 0;
    }
};
