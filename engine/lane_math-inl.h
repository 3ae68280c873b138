// The C library's sinf, log10f, expf and tanhf over blocks of floats, several
// at a time, giving exactly the library's values (the tests prove each over
// its whole input range). Compiled once per instruction set (see lane_math.cpp);
// inputs outside a function's range here go to the library itself.
//
// sinf, logf and expf follow the published steps and constants of the freely
// licensed routines the C library carries:
//   Copyright (c) 2017-2018, Arm Limited. SPDX-License-Identifier: MIT
// log10f and tanhf (with expm1f) those of:
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//   Developed at SunPro, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
//
// Every step is a plain multiply or add, never a fused one: the library's
// builds with and without fused multiply-add give the same values over these
// ranges, except expf at one input each side of 0, which the library answers.

#if defined (ZORVALUNE_LANE_MATH_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_LANE_MATH_INL_H_
#undef ZORVALUNE_LANE_MATH_INL_H_
#else
#define ZORVALUNE_LANE_MATH_INL_H_
#endif

#include <hwy/highway.h>

#include <cmath>
#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace lane_math {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

namespace detail
{
    // Double lanes, and as many float and int lanes beside them.
    using DD = hn::ScalableTag<double>;
    using DF = hn::Rebind<float, DD>;
    using DI = hn::Rebind<std::int32_t, DD>;
    using DL = hn::RebindToSigned<DD>;
    using VD = hn::Vec<DD>;
    using VF = hn::Vec<DF>;

    inline float floatFromBits (std::uint32_t bits) noexcept { float f; std::memcpy (&f, &bits, sizeof f); return f; }

    // Runs `kernel` over every whole vector of the block and `library` over the
    // rest and over every value `inside` rejects. One value at a time the
    // library is faster, so the plain build calls it for everything.
    template <class Kernel, class Inside, class Library>
    HWY_INLINE void forEachVector (const float* in, float* out, int count, Kernel kernel, Inside inside, Library library)
    {
        if (HWY_TARGET == HWY_SCALAR)
        {
            for (int i = 0; i < count; ++i)
                out[i] = library (in[i]);

            return;
        }

        const DF df;
        const int n = (int) hn::Lanes (df);
        int i = 0;

        for (; i + n <= count; i += n)
        {
            const VF x = hn::LoadU (df, in + i);
            hn::StoreU (kernel (x), df, out + i);

            if (! hn::AllTrue (df, inside (x)))
                for (int j = i; j < i + n; ++j)
                    out[j] = library (in[j]);
        }

        for (; i < count; ++i)
            out[i] = library (in[i]);
    }

    //========================================================================== sinf
    constexpr double cosC0 = 0x1p0, cosC1 = -0x1.ffffffd0c621cp-2, cosC2 = 0x1.55553e1068f19p-5,
                     cosC3 = -0x1.6c087e89a359dp-10, cosC4 = 0x1.99343027bf8c3p-16;
    constexpr double sinS1 = -0x1.555545995a603p-3, sinS2 = 0x1.1107605230bc4p-7, sinS3 = -0x1.994eb3774cf24p-13;
    constexpr double halfPiInverse = 0x1.45F306DC9C883p+23;   // 2 / pi, times 2^24
    constexpr double halfPi = 0x1.921FB54442D18p0;

    // Angles from 0 to 2 pi: reduced by the nearest multiple n of pi / 2
    // (below 0.75 that is 0 and the reduction leaves x as it is), then the
    // sine polynomial for even n, the cosine one for odd n. The library takes
    // quadrants 2 and 3 with negated x or negated coefficients, which gives
    // exactly the negated value, so the sign is flipped at the end here.
    HWY_INLINE VF sinKernel (VF y)
    {
        const DD dd;
        const DF df;
        const DI di;
        const DL dl;

        const VD x = hn::PromoteTo (dd, y);
        const auto n = hn::ShiftRight<24> (hn::DemoteTo (di, x * hn::Set (dd, halfPiInverse)) + hn::Set (di, 0x800000));
        const VD xr = x - hn::PromoteTo (dd, n) * hn::Set (dd, halfPi);
        const VD x2 = xr * xr;

        const auto n64 = hn::PromoteTo (dl, n);
        const auto odd = hn::RebindMask (dd, hn::TestBit (n64, hn::Set (dl, 1)));

        const auto sine = [&]
        {
            const VD x3 = xr * x2;
            const VD s1 = hn::Set (dd, sinS2) + x2 * hn::Set (dd, sinS3);
            const VD x7 = x3 * x2;
            const VD s = xr + x3 * hn::Set (dd, sinS1);
            return s + x7 * s1;
        };

        const auto cosine = [&]
        {
            const VD x4 = x2 * x2;
            const VD c2 = hn::Set (dd, cosC3) + x2 * hn::Set (dd, cosC4);
            const VD c1 = hn::Set (dd, cosC0) + x2 * hn::Set (dd, cosC1);
            const VD x6 = x4 * x2;
            const VD c = c1 + x4 * hn::Set (dd, cosC2);
            return c + x6 * c2;
        };

        // Neighbouring angles mostly share a quadrant's parity: one polynomial then.
        const VD value = hn::AllFalse (dd, odd) ? sine() : (hn::AllTrue (dd, odd) ? cosine() : hn::IfThenElse (odd, cosine(), sine()));
        const VF result = hn::DemoteTo (df, value);
        const auto upperHalf = hn::RebindMask (df, hn::TestBit (n, hn::Set (di, 2)));
        return hn::IfThenElse (y < hn::Set (df, 0x1p-12f), y,   // tiny angles are their own sine
                               hn::IfThenElse (upperHalf, hn::Neg (result), result));
    }

    //========================================================================== logf, log10f
    // { 1 / c, log c } of the 16 intervals logf splits [0.7, 1.4) into.
    alignas (64) constexpr double logTable[16][2] = {
        { 0x1.661ec79f8f3bep+0, -0x1.57bf7808caadep-2 }, { 0x1.571ed4aaf883dp+0, -0x1.2bef0a7c06ddbp-2 },
        { 0x1.49539f0f010b0p+0, -0x1.01eae7f513a67p-2 }, { 0x1.3c995b0b80385p+0, -0x1.b31d8a68224e9p-3 },
        { 0x1.30d190c8864a5p+0, -0x1.6574f0ac07758p-3 }, { 0x1.25e227b0b8ea0p+0, -0x1.1aa2bc79c8100p-3 },
        { 0x1.1bb4a4a1a343fp+0, -0x1.a4e76ce8c0e5ep-4 }, { 0x1.12358f08ae5bap+0, -0x1.1973c5a611cccp-4 },
        { 0x1.0953f419900a7p+0, -0x1.252f438e10c1ep-5 }, { 0x1.0000000000000p+0, 0x0.0p+0 },
        { 0x1.e608cfd9a47acp-1, 0x1.aa5aa5df25984p-5 },  { 0x1.ca4b31f026aa0p-1, 0x1.c5e53aa362eb4p-4 },
        { 0x1.b2036576afce6p-1, 0x1.526e57720db08p-3 },  { 0x1.9c2d163a1aa2dp-1, 0x1.bc2860d224770p-3 },
        { 0x1.886e6037841edp-1, 0x1.1058bc8a07ee1p-2 },  { 0x1.767dcf5534862p-1, 0x1.4043057b6ee09p-2 },
    };
    constexpr double ln2 = 0x1.62e42fefa39efp-1;
    constexpr double logA0 = -0x1.00ea348b88334p-2, logA1 = 0x1.5575b0be00b6ap-2, logA2 = -0x1.ffffef20a4123p-2;

    // logf of the normal floats, bits ix: log1p (z / c - 1) + log c + k ln2.
    HWY_INLINE VF logKernel (hn::Vec<DI> ix)
    {
        const DD dd;
        const DF df;
        const DI di;
        const DL dl;

        const auto tmp = ix - hn::Set (di, 0x3f330000);
        const auto index = hn::ShiftRight<19> (hn::BitCast (hn::RebindToUnsigned<DI>(), tmp));
        const auto row = hn::PromoteTo (dl, hn::BitCast (di, index) & hn::Set (di, 15)) * hn::Set (dl, 2);
        const auto k = hn::ShiftRight<23> (tmp);
        const auto iz = ix - (tmp & hn::Set (di, (std::int32_t) 0xff800000u));

        const VD invc = hn::GatherIndex (dd, &logTable[0][0], row);
        const VD logc = hn::GatherIndex (dd, &logTable[0][1], row);
        const VD z = hn::PromoteTo (dd, hn::BitCast (df, iz));

        const VD r = z * invc - hn::Set (dd, 1.0);
        const VD y0 = logc + hn::PromoteTo (dd, k) * hn::Set (dd, ln2);
        const VD r2 = r * r;
        VD y = hn::Set (dd, logA1) * r + hn::Set (dd, logA2);
        y = hn::Set (dd, logA0) * r2 + y;
        y = y * r2 + (y0 + r);

        const VF result = hn::DemoteTo (df, y);
        return hn::IfThenZeroElse (hn::RebindMask (df, ix == hn::Set (di, 0x3f800000)), result);
    }

    // log10f of normal positive floats: the exponent k and log of the
    // mantissa, taken between 0.5 and 2 so that k is the nearest power.
    HWY_INLINE VF log10Kernel (VF x)
    {
        const DF df;
        const DI di;

        const auto hx = hn::BitCast (di, x);
        const auto k = hn::ShiftRight<23> (hx) - hn::Set (di, 127);
        const auto i = hn::BitCast (di, hn::ShiftRight<31> (hn::BitCast (hn::RebindToUnsigned<DI>(), k)));
        const auto mantissa = (hx & hn::Set (di, 0x007fffff)) | hn::ShiftLeft<23> (hn::Set (di, 0x7f) - i);
        const VF y = hn::ConvertTo (df, k + i);

        const VF ivln10 = hn::Set (df, floatFromBits (0x3ede5bd9u));
        const VF log10of2Hi = hn::Set (df, floatFromBits (0x3e9a2080u));
        const VF log10of2Lo = hn::Set (df, floatFromBits (0x355427dbu));

        const VF z = y * log10of2Lo + ivln10 * logKernel (mantissa);
        return z + y * log10of2Hi;
    }

    //========================================================================== expf
    // 2^(i/32) as bits, less i << 47: adding k << 47 then gives 2^(k/32).
    alignas (64) constexpr std::uint64_t exp2Table[32] = {
        0x3ff0000000000000, 0x3fefd9b0d3158574, 0x3fefb5586cf9890f, 0x3fef9301d0125b51, 0x3fef72b83c7d517b,
        0x3fef54873168b9aa, 0x3fef387a6e756238, 0x3fef1e9df51fdee1, 0x3fef06fe0a31b715, 0x3feef1a7373aa9cb,
        0x3feedea64c123422, 0x3feece086061892d, 0x3feebfdad5362a27, 0x3feeb42b569d4f82, 0x3feeab07dd485429,
        0x3feea47eb03a5585, 0x3feea09e667f3bcd, 0x3fee9f75e8ec5f74, 0x3feea11473eb0187, 0x3feea589994cce13,
        0x3feeace5422aa0db, 0x3feeb737b0cdc5e5, 0x3feec49182a3f090, 0x3feed503b23e255d, 0x3feee89f995ad3ad,
        0x3feeff76f2fb5e47, 0x3fef199bdd85529c, 0x3fef3720dcef9069, 0x3fef5818dcfba487, 0x3fef7c97337b9b5f,
        0x3fefa4afa2a490da, 0x3fefd0765b6e4540,
    };
    constexpr double expInvLn2N = 0x1.71547652b82fep+0 * 32;
    constexpr double expShift = 0x1.8p+52;
    constexpr double expC0 = 0x1.c6af84b912394p-5 / 32 / 32 / 32, expC1 = 0x1.ebfce50fac4f3p-3 / 32 / 32,
                     expC2 = 0x1.62e42ff0c52d6p-1 / 32;

    // The only inputs at or below 0 where the library's builds with and
    // without fused multiply-add differ.
    constexpr std::uint32_t expSplitInput = 0xc27c65d9u;   // -0x1.f8cbb2p+5

    // x = k/32 ln2 + r: 2^(k/32) from the table times a cubic in r.
    HWY_INLINE VF expKernel (VF x)
    {
        const DD dd;
        const DF df;
        const hn::RebindToUnsigned<DD> du;

        const VD z = hn::PromoteTo (dd, x) * hn::Set (dd, expInvLn2N);
        VD kd = z + hn::Set (dd, expShift);
        const auto ki = hn::BitCast (du, kd);
        kd = kd - hn::Set (dd, expShift);
        const VD r = z - kd;

        const auto t = hn::GatherIndex (du, exp2Table, hn::BitCast (hn::RebindToSigned<DD>(), ki & hn::Set (du, 31)))
                     + hn::ShiftLeft<47> (ki);
        const VD s = hn::BitCast (dd, t);
        const VD c = hn::Set (dd, expC0) * r + hn::Set (dd, expC1);
        const VD r2 = r * r;
        VD y = hn::Set (dd, expC2) * r + hn::Set (dd, 1.0);
        y = c * r2 + y;
        return hn::DemoteTo (df, y * s);
    }

    //========================================================================== tanhf
    using FF = hn::ScalableTag<float>;
    using FI = hn::RebindToSigned<FF>;

    // expm1f for 2^-25 <= |a| < 44 and, for a > 0, a >= 2 (what tanh asks
    // for, so k is never 1): every branch computed and the right one kept.
    HWY_INLINE hn::Vec<FF> expm1Kernel (hn::Vec<FF> a)
    {
        const FF df;
        const FI di;
        const auto f = [&] (std::uint32_t bits) { return hn::Set (df, floatFromBits (bits)); };
        const auto one = hn::Set (df, 1.0f), half = hn::Set (df, 0.5f);

        const auto bits = hn::BitCast (di, a);
        const auto magnitude = bits & hn::Set (di, 0x7fffffff);
        const auto negative = bits < hn::Zero (di);

        // |a| > 0.5 ln2: reduced by k ln2; |a| < 1.5 ln2 takes k = +-1.
        const auto reduced = magnitude > hn::Set (di, 0x3eb17218);
        const auto nearOne = magnitude < hn::Set (di, 0x3f851592);
        const auto roundHalf = hn::IfThenElse (hn::RebindMask (df, negative), hn::Set (df, -0.5f), half);
        const auto kGeneral = hn::ConvertTo (di, f (0x3fb8aa3b) * a + roundHalf);
        const auto kNear = hn::IfThenElse (negative, hn::Set (di, -1), hn::Set (di, 1));
        const auto k = hn::IfThenElseZero (reduced, hn::IfThenElse (nearOne, kNear, kGeneral));
        const auto t = hn::ConvertTo (df, k);

        const auto hi = a - t * f (0x3f317180);
        const auto lo = t * f (0x3717f7d1);
        const auto reducedX = hi - lo;
        const auto c = (hi - reducedX) - lo;
        const auto x = hn::IfThenElse (hn::RebindMask (df, reduced), reducedX, a);

        const auto hfx = half * x;
        const auto hxs = x * hfx;
        auto r1 = f (0x36867e54) + hxs * f (0xb457edbb);
        r1 = f (0xb8a670cd) + hxs * r1;
        r1 = f (0x3ad00d01) + hxs * r1;
        r1 = f (0xbd088889) + hxs * r1;
        r1 = one + hxs * r1;
        const auto tt = hn::Set (df, 3.0f) - r1 * hfx;
        const auto e = hxs * ((r1 - tt) / (hn::Set (df, 6.0f) - x * tt));

        const auto atZero = x - (x * e - hxs);
        const auto ek = (x * (e - c) - c) - hxs;
        const auto exponentShift = hn::ShiftLeft<23> (k);
        const auto scaled = [&] (hn::Vec<FF> y) { return hn::BitCast (df, hn::BitCast (di, y) + exponentShift); };

        const auto atMinusOne = half * (x - ek) - half;
        const auto atFar = scaled (one - (ek - x)) - one;                                      // k <= -2 or k > 56
        const auto twoToMinusK = hn::BitCast (df, hn::ShiftLeft<23> (hn::Set (di, 0x7f) - k));  // for 2 <= k <= 56
        const auto atSmallK = scaled ((one - twoToMinusK) - (ek - x));                          // 2 <= k < 23
        const auto atLargeK = scaled ((x - (ek + twoToMinusK)) + one);                          // 23 <= k <= 56

        const auto far = hn::RebindMask (df, hn::Or (k < hn::Set (di, -1), k > hn::Set (di, 56)));
        auto result = hn::IfThenElse (hn::RebindMask (df, k < hn::Set (di, 23)), atSmallK, atLargeK);
        result = hn::IfThenElse (far, atFar, result);
        result = hn::IfThenElse (hn::RebindMask (df, k == hn::Set (di, -1)), atMinusOne, result);
        return hn::IfThenElse (hn::RebindMask (df, k == hn::Zero (di)), atZero, result);
    }

    // tanh for 2^-26 <= |x| < 22: |x| >= 1 gives 1 - 2 / (expm1 (2|x|) + 2),
    // below -t / (t + 2) with t = expm1 (-2|x|).
    HWY_INLINE hn::Vec<FF> tanhKernel (hn::Vec<FF> v)
    {
        const FF df;
        const auto two = hn::Set (df, 2.0f);
        const auto ax = hn::Abs (v);
        const auto large = ax >= hn::Set (df, 1.0f);
        const auto t = expm1Kernel (hn::IfThenElse (large, ax + ax, ax * hn::Set (df, -2.0f)));
        const auto quotient = hn::IfThenElse (large, two, hn::Neg (t)) / (t + two);
        const auto z = hn::IfThenElse (large, hn::Set (df, 1.0f) - quotient, quotient);
        return hn::CopySign (z, v);
    }
}

// Each of these writes count results; in and out may be the same memory.

// sinf of angles in [0, 2 pi], the oscillators' phases.
HWY_INLINE void sinBlock (const float* in, float* out, int count)
{
    const detail::DF df;
    detail::forEachVector (in, out, count, detail::sinKernel,
                           [&] (detail::VF x) { return hn::And (x >= hn::Zero (df), x <= hn::Set (df, 6.2831855f)); },
                           [] (float x) { return std::sin (x); });
}

// log10f; positive normal floats here, the rest from the library.
HWY_INLINE void log10Block (const float* in, float* out, int count)
{
    const detail::DF df;
    detail::forEachVector (in, out, count, detail::log10Kernel,
                           [&] (detail::VF x) { return hn::And (x >= hn::Set (df, 0x1p-126f), x <= hn::Set (df, 0x1.fffffep127f)); },
                           [] (float x) { return std::log10 (x); });
}

// expf; from -88 to 0 here, the rest from the library.
HWY_INLINE void expBlock (const float* in, float* out, int count)
{
    const detail::DF df;
    const detail::DI di;
    detail::forEachVector (in, out, count, detail::expKernel,
                           [&] (detail::VF x)
                           {
                               const auto split = hn::RebindMask (df, hn::BitCast (di, x) == hn::Set (di, (std::int32_t) detail::expSplitInput));
                               return hn::AndNot (split, hn::And (x > hn::Set (df, -88.0f), x <= hn::Zero (df)));
                           },
                           [] (float x) { return std::exp (x); });
}

// tanhf; from 2^-26 to 22 in magnitude here (tiny values, the flat ends,
// infinities and NaN from the library).
HWY_INLINE void tanhBlock (const float* in, float* out, int count)
{
    if (HWY_TARGET == HWY_SCALAR)
    {
        for (int i = 0; i < count; ++i)
            out[i] = std::tanh (in[i]);

        return;
    }

    const detail::FF df;
    const detail::FI di;
    const int n = (int) hn::Lanes (df);
    int i = 0;

    for (; i + n <= count; i += n)
    {
        const auto v = hn::LoadU (df, in + i);
        const auto magnitude = hn::BitCast (di, v) & hn::Set (di, 0x7fffffff);
        const auto inside = hn::And (magnitude > hn::Set (di, 0x327fffff), magnitude < hn::Set (di, 0x41b00000));

        if (hn::AllTrue (di, inside))
        {
            hn::StoreU (detail::tanhKernel (v), df, out + i);
            continue;
        }

        for (int j = i; j < i + n; ++j)
            out[j] = std::tanh (in[j]);
    }

    for (; i < count; ++i)
        out[i] = std::tanh (in[i]);
}

}  // namespace HWY_NAMESPACE
}  // namespace lane_math
HWY_AFTER_NAMESPACE();

#endif
