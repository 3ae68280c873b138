#include <gtest/gtest.h>

#include "instruction_sets.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

// The block functions give the C library's value for every input, on every
// instruction set this machine runs: each range the chain feeds them is swept
// densely (every stride-th float bit pattern, the stride prime so every low
// bit pattern comes round), the whole float range sparsely.
namespace
{
    using block_fn = void (*) (const float*, float*, int) noexcept;

    struct sweep
    {
        std::uint32_t first, last, stride;
    };

    struct function_case
    {
        const char* name;
        block_fn block;
        float (*library) (float);
        std::vector<sweep> sweeps;
        std::vector<float> extra;
    };

    float bitsToFloat (std::uint32_t b) { float f; std::memcpy (&f, &b, sizeof f); return f; }

    bool sameValue (float a, float b)
    {
        return std::memcmp (&a, &b, sizeof a) == 0 || (std::isnan (a) && std::isnan (b));
    }

    void expectTheLibrarysValues (const function_case& fc)
    {
        constexpr size_t chunk = 1 << 16;
        std::vector<float> in, expected (chunk), out (chunk);
        in.reserve (chunk);
        int mismatches = 0;
        size_t compared = 0;

        const auto check = [&]
        {
            for (size_t i = 0; i < in.size(); ++i)
                expected[i] = fc.library (in[i]);

            instruction_sets::each ([&] (const char* set)
            {
                // Odd block lengths: the ends of blocks take the short way.
                for (size_t start = 0; start < in.size(); start += 1001)
                    fc.block (in.data() + start, out.data() + start, (int) std::min<size_t> (1001, in.size() - start));

                for (size_t i = 0; i < in.size(); ++i)
                    if (! sameValue (out[i], expected[i]) && ++mismatches <= 5)
                        ADD_FAILURE() << fc.name << " (" << in[i] << " = bits 0x" << std::hex << *(const std::uint32_t*) &in[i]
                                      << std::dec << ") on " << set << ": " << out[i] << ", the library " << expected[i];
            });

            compared += in.size();
            in.clear();
        };

        for (const auto& s : fc.sweeps)
        {
            for (std::uint64_t bits = s.first; bits <= s.last; bits += s.stride)
            {
                in.push_back (bitsToFloat ((std::uint32_t) bits));

                if (in.size() == chunk)
                    check();
            }
        }

        in.insert (in.end(), fc.extra.begin(), fc.extra.end());
        check();

        EXPECT_EQ (mismatches, 0);
        EXPECT_GT (compared, 10'000'000u);
    }

    constexpr float infinity = std::numeric_limits<float>::infinity();
    const sweep wholeRangeSparsely { 0u, 0xffffffffu, 4093 };

    float librarySin (float x)   { return std::sin (x); }
    float libraryLog10 (float x) { return std::log10 (x); }
    float libraryExp (float x)   { return std::exp (x); }
    float libraryTanh (float x)  { return std::tanh (x); }
}

TEST (LaneMath, SineOfEveryPhaseIsTheLibrarys)
{
    // Phases run from 0 to 2 pi (0x40c90fdb).
    expectTheLibrarysValues ({ "sin", lane_math::sinOfPhase, librarySin,
                               { { 0u, 0x40c90fdbu, 61 }, wholeRangeSparsely },
                               { 0.0f, -0.0f, 0x1p-12f, 0x1.fffffep-13f, 0.75f, 0x1.921fb6p-1f, 3.1415927f, 6.2831855f, 6.283185f,
                                 0x1p-149f, infinity, std::nanf ("") } });
}

TEST (LaneMath, LogarithmOfEveryLevelIsTheLibrarys)
{
    // Every positive normal float; mean squares of the noise detector lie among them.
    expectTheLibrarysValues ({ "log10", lane_math::log10, libraryLog10,
                               { { 0x00800000u, 0x7f7fffffu, 127 }, wholeRangeSparsely },
                               { 1.0f, 0.5f, 2.0f, 0x1.fffffep-1f, 0x1p-126f, 0x1.fffffep127f, 4.096e-15f, 0x1p-127f,
                                 0.0f, -0.0f, -1.0f, infinity, std::nanf ("") } });
}

TEST (LaneMath, ExponentialOfEveryGainIsTheLibrarys)
{
    // From 0 down to -88 (0xc2b00000): the noise gains below 0 dB.
    expectTheLibrarysValues ({ "exp", lane_math::exp, libraryExp,
                               { { 0x80000000u, 0xc2b00000u, 67 }, wholeRangeSparsely },
                               { -0.0f, 0.0f, -88.0f, -0x1.f8cbb2p+5f, -87.33f, -103.9f, -104.0f, 88.7f, -infinity, std::nanf ("") } });
}

TEST (LaneMath, TanhOfEveryFloatIsTheLibrarys)
{
    expectTheLibrarysValues ({ "tanh", lane_math::tanh, libraryTanh,
                               { { 0u, 0xffffffffu, 251 } },
                               { 0.0f, -0.0f, 1.0f, -1.0f, 22.0f, -22.0f, 1.4901161e-8f, infinity } });
}
