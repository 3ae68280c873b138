// Vectors with one lane per channel of a group, and moving per-channel values
// in and out of them. Compiled once per instruction set (see channel_chain.cpp).

#if defined (ZORVALUNE_LANES_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_LANES_INL_H_
#undef ZORVALUNE_LANES_INL_H_
#else
#define ZORVALUNE_LANES_INL_H_
#endif

#include <hwy/highway.h>

#include <juce_core/juce_core.h>

#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

// Full-width vectors over a whole interleaved piece, lanes and samples alike.
using FF = hn::ScalableTag<float>;
using FV = hn::Vec<FF>;

// Runs fn (i) for i = 0, n, 2n, ... over `size` values rounded up to whole
// vectors of n: the scratch arrays have room for that, and nothing reads
// what lies past `size` as a result.
template <class Fn>
HWY_INLINE void forEachVector (int size, Fn fn) noexcept
{
    const int n = (int) hn::Lanes (FF());

    for (int i = 0; i < size; i += n)
        fn (i);
}

// The lanes of the vector at i that lie within `size`: all but in the last
// vector. (FirstN builds its mask through memory; only the last vector needs it.)
HWY_INLINE hn::Mask<FF> within (int size, int i) noexcept
{
    const FF ff;
    return i + (int) hn::Lanes (ff) <= size ? hn::Zero (ff) == hn::Zero (ff) : hn::FirstN (ff, (size_t) (size - i));
}

// Groups hold as many channels as a vector holds floats (at most 8): every
// per-channel float or int fits one vector; doubles take `parts` vectors.
constexpr int widestGroup = (int) HWY_LANES (float) < 8 ? (int) HWY_LANES (float) : 8;

// The vector types of a group of K channels.
template <int K>
struct lanes
{
    using DF = hn::CappedTag<float, K>;
    using DI = hn::RebindToSigned<DF>;
    using VF = hn::Vec<DF>;
    using VI = hn::Vec<DI>;
    using MF = hn::Mask<DF>;

    // The channels' doubles, `doubles` lanes to a vector, `parts` vectors,
    // and the floats beside one such vector.
    using DD = hn::CappedTag<double, K>;
    using DH = hn::Rebind<float, DD>;
    using VD = hn::Vec<DD>;
    static constexpr int doubles = (int) HWY_LANES (double) < K ? (int) HWY_LANES (double) : K;
    static constexpr int parts = K / doubles;

    // A vector of one value per lane, from `get (lane)`.
    template <class D, class Get>
    static hn::Vec<D> gather (D d, Get get) noexcept
    {
        hn::TFromD<D> values[K];

        for (int l = 0; l < K; ++l)
            values[l] = get (l);

        return hn::LoadU (d, values);
    }

    // The same for the lanes of part p of the doubles.
    template <class Get>
    static VD gatherPart (int p, Get get) noexcept
    {
        double values[doubles];

        for (int l = 0; l < doubles; ++l)
            values[l] = get (p * doubles + l);

        return hn::LoadU (DD(), values);
    }

    template <class Put>
    static void scatterPart (int p, VD v, Put put) noexcept
    {
        double values[doubles];
        hn::StoreU (v, DD(), values);

        for (int l = 0; l < doubles; ++l)
            put (p * doubles + l, values[l]);
    }

    // Hands each lane of `v` to `put (lane, value)`.
    template <class D, class Put>
    static void scatter (D d, hn::Vec<D> v, Put put) noexcept
    {
        hn::TFromD<D> values[K];
        hn::StoreU (v, d, values);

        for (int l = 0; l < K; ++l)
            put (l, values[l]);
    }

    // Whether every lane holds the same value at every sample of an
    // interleaved piece. Each group of K lies within one 128-bit block of a
    // full vector (or is the whole of it), so it is checked in place.
    static bool agree (const float* values, int count) noexcept
    {
        if constexpr (K == 1)
        {
            return true;
        }
        else if constexpr (K == 8)
        {
            const DF df;
            auto same = hn::FirstN (df, K);

            for (int j = 0; j < count; ++j)
            {
                const VF v = hn::LoadU (df, values + j * K);
                same = hn::And (same, v == hn::Set (df, hn::GetLane (v)));
            }

            return hn::AllTrue (df, same);
        }
        else
        {
            const FF ff;
            const int size = count * K;
            auto same = hn::FirstN (ff, hn::Lanes (ff));

            forEachVector (size, [&] (int i)
            {
                const FV v = hn::LoadU (ff, values + i);
                const auto beyond = hn::Not (within (size, i));
                same = hn::And (same, hn::Or (v == firstOfEachGroup (v), beyond));
            });

            return hn::AllTrue (ff, same);
        }
    }

    // One value per sample into every lane of an interleaved piece. The arrays have room for whole vectors of 4 samples beyond `count`.
    static void spread (const float* one, float* values, int count) noexcept
    {
        if constexpr (K == 1)
        {
            std::copy_n (one, count, values);
        }
#if HWY_TARGET != HWY_SCALAR
        else if constexpr (K == 2 || K == 4)
        {
            const hn::FixedTag<float, 4> d4;

            for (int j = 0; j < count; j += 4)
            {
                const auto v = hn::LoadU (d4, one + j);

                if constexpr (K == 2)
                {
                    hn::StoreU (hn::InterleaveLower (d4, v, v), d4, values + j * 2);
                    hn::StoreU (hn::InterleaveUpper (d4, v, v), d4, values + j * 2 + 4);
                }
                else
                {
                    hn::StoreU (hn::Broadcast<0> (v), d4, values + j * 4);
                    hn::StoreU (hn::Broadcast<1> (v), d4, values + j * 4 + 4);
                    hn::StoreU (hn::Broadcast<2> (v), d4, values + j * 4 + 8);
                    hn::StoreU (hn::Broadcast<3> (v), d4, values + j * 4 + 12);
                }
            }
        }
#endif
        else
        {
            const DF df;

            for (int j = 0; j < count; ++j)
                hn::StoreU (hn::Set (df, one[j]), df, values + j * K);
        }
    }

    // Lane 0 of each group of K in a full vector, in every lane of the group.
    static FV firstOfEachGroup (FV v) noexcept
    {
        static_assert (K <= 4, "a group lies within a 128-bit block");

#if HWY_TARGET != HWY_SCALAR
        if constexpr (K == 2)
            return hn::Shuffle2301 (v);
        else
            return hn::Broadcast<0> (v);
#else
        return v;
#endif
    }

    static MF maskOf (const bool* lanesOn) noexcept
    {
        return hn::RebindMask (DF(), gather (DI(), [&] (int l) { return lanesOn[l] ? 1 : 0; }) == hn::Set (DI(), 1));
    }
};

// Holds the spin locks of several filters for as long as it lives.
template <int N>
class held_locks
{
public:
    template <class Get>
    explicit held_locks (Get lockOf) noexcept
    {
        for (int i = 0; i < N; ++i)
        {
            locks[i] = &lockOf (i);
            locks[i]->enter();
        }
    }

    ~held_locks()
    {
        for (int i = N; --i >= 0;)
            locks[i]->exit();
    }

    held_locks (const held_locks&) = delete;
    held_locks& operator= (const held_locks&) = delete;

private:
    juce::SpinLock* locks[N];
};

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
