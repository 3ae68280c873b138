#pragma once

#include <array>
#include <cstdint>

#include "channel_state.h"
#include "parameter_table.h"

// What every channel of one block shares: the parameter snapshot, the values
// derived from it once per block, the modulation routing and the side-chain
// signals. The block frame fills it before the channel loop.
struct chain_block_values
{
    int numSamples = 0;
    float sampleRate = 48000.0f;

    const float* raw = nullptr;         // normalised snapshot of this block
    const float* value = nullptr;       // the same in plug-in units
    const float* prevValue = nullptr;   // plug-in units of the previous block

    // Read from the live parameters once per block.
    float liveDryWet = 1.0f;
    float liveRmsTime = 0.05f;
    bool liveNoiseOn = false;
    float liveSrReduc = 0.01f;
    float liveSlewRate = 0.04f;

    float sideGain1 = 1.0f, sideGain2 = 1.0f;
    int bits = 24;
    std::uint32_t bitMask = 0xffffffffu;
    float drive = 0.0f, tanhDrive = 0.0f;
    float releaseSamples = 0.0f;
    float tapeRate = 0.0f;
    int toldDelay = 0;                  // the delay the host was told
    bool noiseFilterOn = false;
    bool noiseLowCutOn = false;
    bool noiseMinAmountChanged = false;

    int mod1Source = 0, mod2Source = 0;
    int mod1Destination = 0, mod2Destination = 0;
    float lfo1Hz = 1.0f, lfo2Hz = 1.0f;

    const float* sideChainInput = nullptr;     // null: no side-chain channel in this block
    float sideChainLevel = 0.0f, sideChainPrevLevel = 0.0f;
    const float* receivedRow1 = nullptr;       // side chain received for each slot, or null
    const float* receivedRow2 = nullptr;
};

// What the channels of one block report back to the frame.
struct chain_block_results
{
    int clipped = 0;           // samples clipped in the clip stage
    int overloaded = 0;        // output samples clipped
    float mod1Display = 0.0f, mod2Display = 0.0f;
    bool modDisplayWritten = false;
    float tapeWobbleRate = 0.0f;
    bool tapeWobbleRateWritten = false;

    // Read positions outside the tape line, corrected (the last of each kind).
    int readIndexBelowZero = 0;
    int belowIndex = 0, belowSize = 0;
    int readIndexBeyondEnd = 0;
    int beyondIndex = 0, beyondSize = 0, beyondDelta = 0, beyondLength = 0;
    float beyondLfoHz = 0.0f;
};

// Working memory of the chain. Channels run side by side, one per SIMD lane,
// in groups of up to maxLanes; a group works through the block in pieces of
// `length` samples, and each array holds a piece of the whole group with the
// lanes interleaved: the value of sample j in lane l is at j * lanes + l.
struct chain_scratch
{
    static constexpr int length = 256;
    static constexpr int maxLanes = 8;

    template <typename T>
    using lanes = std::array<T, length * maxLanes>;

    lanes<float> input, work, gain, wet, dry, wetShare, clipGain, mod1, mod2, depth1, depth2, meanSquare,
                 noiseGain, noiseShare, noise, clipped, drive, driveTanh, shaped, tapeRate, tapeLfoHz,
                 tapeIncrement, tapeWobble, noiseLevel, windowIn, windowOut, readFraction, readBefore, readAfter;
    lanes<double> clipInSums, clipOutSums;
    lanes<int> readDelay;   // how late each tape read's whole sample is
    std::array<float, length> oneLane, oneLaneOut;   // a piece of one lane on its own
    std::array<int, length> oneLaneAt, tapeAt0, tapeAt1;
    std::array<std::uint32_t, length> draws;
};

// Runs the effect chain of `count` channels (at most 24) over one block, in
// channel order as far as anything outside the channels can tell. `samples`
// holds each channel's input, replaced by its output (null: the channel only
// takes its block's settings). Channel 0 also reports the modulated tape
// wobble rate.
void runChannelChains (channel_state* const* states, float* const* samples, int count,
                       const chain_block_values& block, chain_scratch& scratch, chain_block_results& results) noexcept;
