#include "block_steps.h"

#include "platform/system_log.h"

#include <algorithm>

using namespace engine_test;

namespace
{
    float inputAt (int channel, int i) { return (float) std::sin (0.01 * (i + 1) * (channel + 1)) * 0.8f; }

    // Everything that would change the sound, switched on.
    void colourEverything (ZorvaluneAudioProcessor& p)
    {
        for (const auto& [index, value] : { std::pair<int, float> { crushOn, 1.0f }, { clipGain, 0.6f }, { noiseOn, 1.0f },
                                            { noiseThreshold, 0.0f }, { tapeOn, 1.0f }, { inGain, 0.7f }, { dryWet, 0.5f } })
            p.setParameter (index, value);
    }
}

TEST (Bypass, OutputIsTheInputAsLateAsReportedAndNothingCounts)
{
    auto p = makeProcessor (48000.0, 512, 2);
    colourEverything (*p);
    p->setParameter (seqMode, 0.1f);
    p->setParameter (seqOn, 1.0f);
    int time = 0;
    const auto continuous = [&time] (int c, int i) { return inputAt (c, time + i); };

    for (; time < 2 * 512; time += 512)
        block_steps::run (*p, 1, 512, continuous);

    const int blocks = p->processBlockCounter.load();
    const int stepCount = p->stepSampleCounter;
    const int delay = p->getLatencySamples();
    ASSERT_GT (delay, 0);
    const int bypassStart = time;

    for (int k = 0; k < 5; ++k, time += 512)
    {
        const auto out = block_steps::run (*p, 1, 512, continuous, nullptr, true);

        // Once the processed samples have left the dry delay, the input comes out as late as the host was told.
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                if (time + i >= bypassStart + delay)
                {
                    ASSERT_EQ (out.getSample (c, i), inputAt (c, time + i - delay)) << "channel " << c << " sample " << time + i;
                }
    }

    EXPECT_EQ (p->processBlockCounter.load(), blocks);
    EXPECT_EQ (p->stepSampleCounter, stepCount);

    // The processed path does change the sound (so the check above means something).
    const auto processed = block_steps::run (*p, 1, 512, continuous);
    EXPECT_NE (processed.getSample (0, 300), inputAt (0, time + 300 - delay));
}

TEST (Bypass, SwitchingItNeverMovesTheSignal)
{
    // With every section off the chain is a plain delay; switched in and out
    // of the bypass every few blocks of any length, it stays the same delay,
    // the tape included.
    for (int block : { 32, 256, 1000 })
    {
        auto p = makeProcessor (48000.0, block, 1);
        const auto in = noise (1, block * (30000 / block));
        const int delay = p->getLatencySamples();
        ASSERT_GT (delay, 0);
        juce::AudioBuffer<float> out (1, in.getNumSamples());
        juce::AudioBuffer<float> piece (1, block);
        juce::MidiBuffer midi;

        for (int start = 0, k = 0; start + block <= in.getNumSamples(); start += block, ++k)
        {
            piece.copyFrom (0, 0, in, 0, start, block);

            if ((k / 3) % 2 == 1)
                p->processBlockBypassed (piece, midi);
            else
                p->processBlock (piece, midi);

            out.copyFrom (0, start, piece, 0, 0, block);
        }

        EXPECT_LT (largestDifference (in, 0, out, 0, 0, delay), 1.0e-6f) << "block " << block;
    }
}

TEST (Bypass, ChannelsAboveTwentyFourPassThroughAndTheClampIsLogged)
{
    std::vector<std::string> lines;
    platform::system_log::setSinkForTesting ([&] (const std::string& line) { lines.push_back (line); });

    auto p = makeProcessor (48000.0, 256, 30);
    colourEverything (*p);
    const auto out = block_steps::run (*p, 3, 256, inputAt, nullptr, true);
    p->flushAudioThreadDiagnostics();
    platform::system_log::setSinkForTesting ({});

    // Channels from 24 on are left as the host gave them; the first 24 are delayed (above).
    for (int c = 24; c < 30; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ (out.getSample (c, i), inputAt (c, i)) << "channel " << c << " sample " << i;

    EXPECT_EQ (p->mainInputChannels, 24);
    EXPECT_EQ (p->totalInputChannels, 24);
    EXPECT_NE (std::find (lines.begin(), lines.end(), "processBlock  In chan 24  total In 24  >  MAX_C~HANNELS !!!!!!   "), lines.end());
}

TEST (Bypass, BlockBookkeepingStaysCurrent)
{
    std::vector<std::string> lines;
    platform::system_log::setSinkForTesting ([&] (const std::string& line) { lines.push_back (line); });

    test_play_head head;
    auto p = makeProcessor (48000.0, 512, 2);
    p->setPlayHead (&head);
    p->setMod1Source (3);
    block_steps::run (*p, 2, 512, inputAt, &head);
    const auto snapshot = p->blockParameterValues;

    p->setParameter (noiseMix, 0.77f);
    p->clipCount = 12;
    p->channelStates[1].releaseEnvelope = -3.0f;
    p->channelStates[0].lfo1.phase = 1.0f;
    const int resets = p->channelResetCount.load();

    // A slot queue that a transport start of the processed path would empty.
    const float queued[4] = { 1.0f, 2.0f, 3.0f, 4.0f };
    ZorvaluneAudioProcessor::sExtSideChainData[7].send (queued, 4, 0);

    head.playing = true;
    head.time = 96000;
    block_steps::run (*p, 1, 300, inputAt, &head, true);
    p->flushAudioThreadDiagnostics();

    EXPECT_EQ (p->blockSize, 300);
    EXPECT_NE (std::find (lines.begin(), lines.end(), "Zorvalune processBlock blocksize changed to 300  (was 512)  !!!!!!!!!!!  (src 3)"), lines.end());
    EXPECT_EQ (p->blockRawParameterValues[noiseMix], 0.77f);
    EXPECT_EQ (p->blockParameterValues, snapshot);          // the plug-in-unit snapshot waits for processing
    EXPECT_EQ (p->transportWasPlaying, 1);
    EXPECT_EQ (p->lastBlockHostTime, 96000);

    // The start resets the counters and channel states, and nothing else.
    EXPECT_EQ (p->clipCount.load(), 0);
    EXPECT_EQ (p->channelStates[1].releaseEnvelope, channel_state::initialReleaseEnvelope);
    EXPECT_EQ (p->channelStates[0].lfo1.phase, 0.0f);
    EXPECT_EQ (p->channelResetCount.load(), resets);
    EXPECT_EQ (ZorvaluneAudioProcessor::sExtSideChainData[7].size(), 1);

    // Processing again while the transport plays on is no second start.
    block_steps::run (*p, 1, 300, inputAt, &head, true);
    block_steps::run (*p, 1, 300, inputAt, &head);
    EXPECT_EQ (p->channelResetCount.load(), resets);
    EXPECT_EQ (ZorvaluneAudioProcessor::sExtSideChainData[7].size(), 1);

    ZorvaluneAudioProcessor::sExtSideChainData[7].clear();
    platform::system_log::setSinkForTesting ({});
}

TEST (Bypass, FilterChangesWaitForTheFirstProcessedBlock)
{
    auto p = makeProcessor (48000.0, 256, 2);
    p->setParameter (inFiltersOn, 1.0f);
    p->setParameter (inHighPassFreq, 0.01f);
    block_steps::run (*p, 6, 256, inputAt);        // the first ramp has run out
    ASSERT_EQ (p->channelStates[0].inputHighPass.rampRemaining, 0);

    p->setParameter (inHighPassFreq, 0.02f);
    block_steps::run (*p, 3, 256, inputAt, nullptr, true);
    EXPECT_EQ (p->channelStates[0].inputHighPass.rampRemaining, 0);

    block_steps::run (*p, 1, 256, inputAt);
    EXPECT_EQ (p->channelStates[0].inputHighPass.rampRemaining, smooth_IIR_filter::rampLength - 256);
}

TEST (Bypass, SideChainLevelOfTheFirstSideChainChannel)
{
    auto p = makeProcessor (48000.0, 256, 2, 1);
    const auto sideChainAt = [] (float level) { return [level] (int c, int) { return c == 2 ? level : 0.25f; }; };

    block_steps::run (*p, 1, 256, sideChainAt (0.5f));
    EXPECT_FLOAT_EQ (p->historyRing.at (0).rms[2], 0.5f);
    EXPECT_EQ (p->sideChainPrevRms, 0.0f);

    block_steps::run (*p, 1, 256, sideChainAt (0.125f));
    EXPECT_FLOAT_EQ (p->historyRing.at (0).rms[2], 0.125f);
    EXPECT_FLOAT_EQ (p->sideChainPrevRms, 0.5f);

    // Without a side-chain channel the levels stay.
    auto q = makeProcessor (48000.0, 256, 2, 0);
    q->sideChainPrevRms = 0.3f;
    block_steps::run (*q, 2, 256, sideChainAt (0.5f));
    EXPECT_EQ (q->sideChainPrevRms, 0.3f);
}
