// The modulation stage of a channel group: the glides of the piece, the two
// modulation values and the ring and amplitude modulation of the input.

#if defined (ZORVALUNE_CHAIN_MODULATION_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_CHAIN_MODULATION_INL_H_
#undef ZORVALUNE_CHAIN_MODULATION_INL_H_
#else
#define ZORVALUNE_CHAIN_MODULATION_INL_H_
#endif

#include "chain_group-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

// The value of a slot whose source is the side chain (the same in every
// lane) at sample i of the block.
template <int K>
float chain_group<K>::modulationValue (const mod_slot& slot, int i, float& display) const noexcept
{
    float m = 0.0f;

    switch (slot.source)
    {
        case 5:
            m = blk.sideChainInput != nullptr
                  ? juce::jlimit (-1.0f, 1.0f, finiteOr0 (blk.sideChainInput[i] * slot.sideGain))
                  : 0.0f;
            break;

        case 7:
            m = slot.received != nullptr ? slot.received[i] : 0.0f;
            break;

        case 9:
        case 10:
        {
            // The side-chain level glides from the previous block's to this block's.
            const float level = n > 1 ? (blk.sideChainLevel * (float) i + blk.sideChainPrevLevel * (float) (n - 1 - i))
                                            * slot.sideGain / (float) (n - 1)
                                      : blk.sideChainLevel * slot.sideGain;
            const float e = finiteOr0 (std::min (1.0f, level));
            display = e;
            return slot.source == 9 ? e : 1.0f - e;
        }

        default:
            break;
    }

    m = finiteOr0 (m);
    display = m;
    return m;
}

// Values that glide over the block, one array each for the piece.
template <int K>
void chain_group<K>::fillGlides (int start, int count) noexcept
{
    for (int l = 0; l < K; ++l)
    {
        glideValues (st[l]->clipGainDb, scratch.clipGain.data() + l, count, K);
        glideValues (st[l]->dryWet, scratch.wetShare.data() + l, count, K);
    }

    float* depths = scratch.oneLane.data();
    slot1.fillDepths (depths, start, count, n);
    L::spread (depths, scratch.depth1.data(), count);
    slot2.fillDepths (depths, start, count, n);
    L::spread (depths, scratch.depth2.data(), count);
}

// The modulation value of one slot for every sample of the piece.
template <int K>
void chain_group<K>::fillModulation (const mod_slot& slot, float* m, int start, int count, float* display) noexcept
{
    if (isOscillatorSource (slot.source))
    {
        LFO* lfos[K];
        oscillatorsOf (slot.lfo, lfos);
        lane_oscillators<K>::fill (lfos, m, count, scratch.oneLane.data(), scratch.oneLaneOut.data());

        for (int i = 0; i < count * K; ++i)
            m[i] = finiteOr0 (m[i]);

        for (int l = 0; l < K; ++l)
            display[l] = m[(count - 1) * K + l];

        return;
    }

    float shown = 0.0f;

    for (int j = 0; j < count; ++j)
    {
        const float v = modulationValue (slot, start + j, shown);

        for (int l = 0; l < K; ++l)
            m[j * K + l] = v;
    }

    for (int l = 0; l < K; ++l)
        display[l] = shown;
}

// Ring (3) and amplitude (4) modulation of the input by one slot.
template <int K>
void chain_group<K>::modulateInput (const mod_slot& slot, const float* d, const float* m, int count) noexcept
{
    float* y = scratch.wet.data();
    const int size = count * K;

    if (slot.destination == 3)
    {
        for (int i = 0; i < size; ++i)
            y[i] = y[i] * d[i] * m[i];
    }
    else if (slot.destination == 4)
    {
        if (slot.envelope)
            for (int i = 0; i < size; ++i)
                y[i] = y[i] * (d[i] * m[i] + (1.0f - d[i]));
        else
            for (int i = 0; i < size; ++i)
                y[i] = y[i] * ((d[i] * m[i] + 1.0f) / (d[i] + 1.0f));
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
