#pragma once

#include <cmath>
#include <cstdint>

#if defined (__SSE2__)
 #include <emmintrin.h>
#endif

// std::tanh over a block of floats, four at a time, giving exactly the
// values of the C library's tanhf as shipped with glibc (the classic
// single-precision tanhf built on expm1f: float arithmetic only, so the same
// on every x86-64 machine). The saturation calls it for every sample; done one
// by one it was the most expensive single step of the chain.
//
// Inputs outside 2^-26 <= |x| < 22 (tiny values, the flat ends, NaN and
// infinities) go to std::tanh itself.
//
// The reduction steps and polynomial constants are those of the freely
// licensed single-precision expm1f and tanhf that the C library carries:
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//   Developed at SunPro, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
namespace tanh_block
{
#if defined (__SSE2__)
    namespace detail
    {
        inline __m128 select (__m128 mask, __m128 a, __m128 b) noexcept
        {
            return _mm_or_ps (_mm_and_ps (mask, a), _mm_andnot_ps (mask, b));
        }

        inline __m128i select (__m128i mask, __m128i a, __m128i b) noexcept
        {
            return _mm_or_si128 (_mm_and_si128 (mask, a), _mm_andnot_si128 (mask, b));
        }

        inline __m128 fromBits (std::uint32_t bits) noexcept { return _mm_castsi128_ps (_mm_set1_epi32 ((int) bits)); }

        // expm1f for arguments a with 2^-25 <= |a| < 44 and, for a > 0, a >= 2
        // (what tanh asks for; so k is never 1): the same steps in the same
        // float arithmetic as the library's, every branch computed and the
        // right one kept.
        inline __m128 expm1 (__m128 a) noexcept
        {
            const __m128 one = _mm_set1_ps (1.0f), half = _mm_set1_ps (0.5f);
            const __m128 ln2Hi = fromBits (0x3f317180), ln2Lo = fromBits (0x3717f7d1), invLn2 = fromBits (0x3fb8aa3b);
            const __m128 q1 = fromBits (0xbd088889), q2 = fromBits (0x3ad00d01), q3 = fromBits (0xb8a670cd),
                         q4 = fromBits (0x36867e54), q5 = fromBits (0xb457edbb);

            const __m128i bits = _mm_castps_si128 (a);
            const __m128i magnitude = _mm_and_si128 (bits, _mm_set1_epi32 (0x7fffffff));
            const __m128 negative = _mm_castsi128_ps (_mm_srai_epi32 (bits, 31));

            // |a| > 0.5 ln2: reduced by k ln2; |a| < 1.5 ln2 takes k = +-1.
            const __m128i reduced = _mm_cmpgt_epi32 (magnitude, _mm_set1_epi32 (0x3eb17218));
            const __m128i nearOne = _mm_cmplt_epi32 (magnitude, _mm_set1_epi32 (0x3f851592));
            const __m128 roundHalf = select (negative, _mm_set1_ps (-0.5f), half);
            const __m128i kGeneral = _mm_cvttps_epi32 (_mm_add_ps (_mm_mul_ps (invLn2, a), roundHalf));
            const __m128i kNear = select (_mm_castps_si128 (negative), _mm_set1_epi32 (-1), _mm_set1_epi32 (1));
            const __m128i k = _mm_and_si128 (reduced, select (nearOne, kNear, kGeneral));
            const __m128 t = _mm_cvtepi32_ps (k);

            const __m128 hi = _mm_sub_ps (a, _mm_mul_ps (t, ln2Hi));
            const __m128 lo = _mm_mul_ps (t, ln2Lo);
            const __m128 reducedX = _mm_sub_ps (hi, lo);
            const __m128 c = _mm_sub_ps (_mm_sub_ps (hi, reducedX), lo);
            const __m128 x = select (_mm_castsi128_ps (reduced), reducedX, a);

            const __m128 hfx = _mm_mul_ps (half, x);
            const __m128 hxs = _mm_mul_ps (x, hfx);
            __m128 r1 = _mm_add_ps (q4, _mm_mul_ps (hxs, q5));
            r1 = _mm_add_ps (q3, _mm_mul_ps (hxs, r1));
            r1 = _mm_add_ps (q2, _mm_mul_ps (hxs, r1));
            r1 = _mm_add_ps (q1, _mm_mul_ps (hxs, r1));
            r1 = _mm_add_ps (one, _mm_mul_ps (hxs, r1));
            const __m128 tt = _mm_sub_ps (_mm_set1_ps (3.0f), _mm_mul_ps (r1, hfx));
            const __m128 e = _mm_mul_ps (hxs, _mm_div_ps (_mm_sub_ps (r1, tt), _mm_sub_ps (_mm_set1_ps (6.0f), _mm_mul_ps (x, tt))));

            // k = 0
            const __m128 atZero = _mm_sub_ps (x, _mm_sub_ps (_mm_mul_ps (x, e), hxs));

            // k != 0
            const __m128 ek = _mm_sub_ps (_mm_sub_ps (_mm_mul_ps (x, _mm_sub_ps (e, c)), c), hxs);
            const __m128i exponentShift = _mm_slli_epi32 (k, 23);
            const auto scaled = [&] (__m128 y) { return _mm_castsi128_ps (_mm_add_epi32 (_mm_castps_si128 (y), exponentShift)); };

            // k = -1
            const __m128 atMinusOne = _mm_sub_ps (_mm_mul_ps (half, _mm_sub_ps (x, ek)), half);

            // k <= -2 or k > 56
            const __m128 atFar = _mm_sub_ps (scaled (_mm_sub_ps (one, _mm_sub_ps (ek, x))), one);

            // 2^-k, for 2 <= k <= 56
            const __m128 twoToMinusK = _mm_castsi128_ps (_mm_slli_epi32 (_mm_sub_epi32 (_mm_set1_epi32 (0x7f), k), 23));

            // 2 <= k < 23
            const __m128 atSmallK = scaled (_mm_sub_ps (_mm_sub_ps (one, twoToMinusK), _mm_sub_ps (ek, x)));

            // 23 <= k <= 56
            const __m128 atLargeK = scaled (_mm_add_ps (_mm_sub_ps (x, _mm_add_ps (ek, twoToMinusK)), one));

            const __m128i isZero = _mm_cmpeq_epi32 (k, _mm_setzero_si128());
            const __m128i isMinusOne = _mm_cmpeq_epi32 (k, _mm_set1_epi32 (-1));
            const __m128i isFar = _mm_or_si128 (_mm_cmplt_epi32 (k, _mm_set1_epi32 (-1)), _mm_cmpgt_epi32 (k, _mm_set1_epi32 (56)));
            const __m128i isSmallK = _mm_cmplt_epi32 (k, _mm_set1_epi32 (23));

            __m128 result = select (_mm_castsi128_ps (isSmallK), atSmallK, atLargeK);
            result = select (_mm_castsi128_ps (isFar), atFar, result);
            result = select (_mm_castsi128_ps (isMinusOne), atMinusOne, result);
            return select (_mm_castsi128_ps (isZero), atZero, result);
        }

        // tanh of four values with 2^-26 <= |x| < 22.
        inline __m128 tanh4 (__m128 v) noexcept
        {
            const __m128 signBit = _mm_castsi128_ps (_mm_set1_epi32 ((int) 0x80000000u));
            const __m128 ax = _mm_andnot_ps (signBit, v);
            const __m128 two = _mm_set1_ps (2.0f);
            const __m128 large = _mm_cmpge_ps (ax, _mm_set1_ps (1.0f));

            // |x| >= 1: 1 - 2 / (expm1 (2|x|) + 2); below: -t / (t + 2) with t = expm1 (-2|x|).
            const __m128 t = expm1 (select (large, _mm_add_ps (ax, ax), _mm_mul_ps (ax, _mm_set1_ps (-2.0f))));
            const __m128 quotient = _mm_div_ps (select (large, two, _mm_xor_ps (t, signBit)), _mm_add_ps (t, two));
            const __m128 z = select (large, _mm_sub_ps (_mm_set1_ps (1.0f), quotient), quotient);
            return _mm_xor_ps (z, _mm_and_ps (v, signBit));
        }
    }

    inline void apply (const float* in, float* out, int count) noexcept
    {
        int i = 0;

        for (; i + 4 <= count; i += 4)
        {
            const __m128 v = _mm_loadu_ps (in + i);
            const __m128i magnitude = _mm_and_si128 (_mm_castps_si128 (v), _mm_set1_epi32 (0x7fffffff));
            const __m128i inside = _mm_and_si128 (_mm_cmpgt_epi32 (magnitude, _mm_set1_epi32 (0x327fffff)),
                                                  _mm_cmplt_epi32 (magnitude, _mm_set1_epi32 (0x41b00000)));

            if (_mm_movemask_ps (_mm_castsi128_ps (inside)) == 0xf)
            {
                _mm_storeu_ps (out + i, detail::tanh4 (v));
                continue;
            }

            for (int j = i; j < i + 4; ++j)
                out[j] = std::tanh (in[j]);
        }

        for (; i < count; ++i)
            out[i] = std::tanh (in[i]);
    }
#else
    inline void apply (const float* in, float* out, int count) noexcept
    {
        for (int i = 0; i < count; ++i)
            out[i] = std::tanh (in[i]);
    }
#endif
}
