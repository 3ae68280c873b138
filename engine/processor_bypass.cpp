#include "PluginProcessor.h"

#include <cmath>

namespace
{
    void clearRow (ZorvaluneAudioProcessor::ringbuf_data& entry, int row, int n) noexcept
    {
        if (auto* samples = entry.row (row, n))
            std::fill_n (samples, n, 0.0f);
    }
}

// While the host bypasses the plug-in no effect runs: the block's bookkeeping
// stays current (so the first processed block after the bypass compares its
// transport and position with the last bypassed one), and the input goes
// back out through the history ring. Channels beyond the processed ones are
// left as the host gave them.
void ZorvaluneAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    tellHostOnAudioThread();
    const auto position = readHostPosition();
    const int n = buffer.getNumSamples();

    if (n > 0 && n != blockSize)
    {
        audioThreadLog.post ({ audio_thread_log::line::bypassBlockSizeChanged, n, blockSize, mod1Source.load() });
        blockSize = n;
    }

    for (size_t i = 0; i < (size_t) NUM_PARAMETERS; ++i)
        blockRawParameterValues[i] = parameterValues[i].load();

    // Coefficient changes made meanwhile stay pending for the first processed block.
    takeBlockSettings (false);

    if (transportWasPlaying == 0 && position.playing)
    {
        clipCount = 0;

        for (auto& state : channelStates)
            state.restartForTransportStart();
    }

    // Play mode stops with the transport, also while bypassed: the processed
    // blocks after the bypass would step on with the transport stopped.
    if (transportWasPlaying == 1 && ! position.playing && getParameterValue (parameter_table::seqMode) == 2.0f)
        sequencerRunning = 0;

    transportWasPlaying = position.playing ? 1 : 0;
    lastBlockHostTime = position.timeInSamples;

    updateChannelCounts (mainBusChannelCount (true), getTotalNumInputChannels(), getTotalNumOutputChannels(), true);

    // Without prepareToPlay there is no ring; the buffer is processed in
    // place, so the input goes back unchanged all the same.
    if (historyRing.empty())
        return;

    if (historyRingIndex < 0 || historyRingIndex >= (int) historyRing.size())
        historyRingIndex = (int) historyRing.size() - 1;

    auto& entry = historyRing[(size_t) historyRingIndex];
    const int t = totalInputChannels;
    clearRow (entry, t, n);
    clearRow (entry, t + 1, n);

    for (int c = 0; c < juce::jmin (t, buffer.getNumChannels()); ++c)
        if (auto* row = entry.row (c, n))
            std::copy_n (buffer.getReadPointer (c), n, row);

    const int size = (int) historyRing.size();
    const int delay = juce::jlimit (0, size - 1, blockSettings.historyRingLength);
    int readIndex = historyRingIndex - delay;

    if (readIndex < 0)
        readIndex += size;

    advanceHistoryRing();

    auto& delayed = historyRing[(size_t) readIndex];

    for (int c = 0; c < juce::jmin (mainInputChannels, MAX_CHANNELS, buffer.getNumChannels()); ++c)
        if (const auto* row = delayed.row (c, n))
            buffer.copyFrom (c, 0, row, n);

    delayBypassedChannels (buffer, n);
}

// A bypassed channel is as late as a processed one, so that switching the
// bypass never moves the track: its input goes out through the channel's dry
// delay, read at the delay the host was told, and on through its tape line at
// rate 1, so that the chain finds both lines where they would be when the
// bypass ends.
void ZorvaluneAudioProcessor::delayBypassedChannels (juce::AudioBuffer<float>& buffer, int n) noexcept
{
    const int delay = latencyReport.current();

    for (int c = 0; c < juce::jmin (mainInputChannels, MAX_CHANNELS, buffer.getNumChannels()); ++c)
    {
        auto& st = channelStates[(size_t) c];

        if (! st.isPrepared())
            continue;

        float* x = buffer.getWritePointer (c);

        for (int i = 0; i < n; ++i)
        {
            if (st.pitchHistory.full())
            {
                st.pitchHistory.pop_front();

                if (st.curPitchHistStartIndx > 0)
                    --st.curPitchHistStartIndx;
            }

            st.pitchHistory.push_back (x[i]);

            if (st.PitchNrSamples < st.pitchHistory.size())
                st.pitchHistory.pop_front();

            st.dryDelay.push (x[i]);
            x[i] = st.dryDelay.delayed (delay);
        }
    }
}

//============================================================================== history ring
// The entry of the current block, with the rows of the received side chains
// silenced. Its storage was reserved by prepareToPlay; rows that a block
// longer than that would need are simply not there.
ZorvaluneAudioProcessor::ringbuf_data* ZorvaluneAudioProcessor::setUpHistoryRing (int numSamples)
{
    if (historyRing.empty())
        return nullptr;

    if (historyRingIndex < 0 || historyRingIndex >= (int) historyRing.size())
        historyRingIndex = (int) historyRing.size() - 1;

    auto& entry = historyRing[(size_t) historyRingIndex];
    const int t = totalInputChannels;
    const int receiving = (blockRouting.mod1Source == 7 || blockRouting.mod2Source == 7) ? 2 : 0;

    for (int row = t; row < t + receiving + 2; ++row)
        clearRow (entry, row, numSamples);

    return &entry;
}

void ZorvaluneAudioProcessor::advanceHistoryRing()
{
    historyRingIndex = historyRingIndex + 1 < (int) historyRing.size() ? historyRingIndex + 1 : 0;
}

// The level of the first side-chain channel in this block, and the one of the
// block before.
void ZorvaluneAudioProcessor::measureSideChainLevel (const juce::AudioBuffer<float>& buffer, int numSamples, ringbuf_data* entry)
{
    if (! (mainInputChannels < totalInputChannels && mainInputChannels < buffer.getNumChannels()) || entry == nullptr
        || (size_t) mainInputChannels >= entry->rms.size())
        return;

    const float* samples = buffer.getReadPointer (mainInputChannels);
    double sum = 0.0;

    for (int i = 0; i < numSamples; ++i)
        sum += (double) samples[i] * (double) samples[i];

    auto& level = entry->rms[(size_t) mainInputChannels];
    sideChainPrevRms = level;
    level = (float) std::sqrt (sum / numSamples);
}
