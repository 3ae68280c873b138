#include "PluginProcessor.h"

// The exchange of side-chain audio between instances of one process. Blocks
// meet in the process-wide slots by their time stamp in samples: the host's
// position while the transport plays, each instance's own stopped-sample
// count while it is stopped.

ZorvaluneAudioProcessor::extSideChainSlot ZorvaluneAudioProcessor::sExtSideChainData[NUM_SIDE_CHAIN_SLOTS];

void ZorvaluneAudioProcessor::takeBlockRouting()
{
    const int slot1 = side_chan_mod1.load();
    const int slot2 = side_chan_mod2.load();

    blockRouting.mod1Source = mod1Source.load();
    blockRouting.mod2Source = mod2Source.load();
    blockRouting.slot1 = isSideChainSlot (slot1) ? slot1 : -1;
    blockRouting.slot2 = isSideChainSlot (slot2) ? slot2 : -1;
}

// A transport start or a jump on the timeline makes every queued block stale,
// in every instance.
void ZorvaluneAudioProcessor::clearSideChainSlots()
{
    for (auto& slot : sExtSideChainData)
        slot.clear();
}

// Only modulation slot 1 sends: the first channel of the main input.
void ZorvaluneAudioProcessor::sendSideChainBlock (const juce::AudioBuffer<float>& buffer, int numSamples,
                                                  juce::int64 time, int slot)
{
    if (! isSideChainSlot (slot) || buffer.getNumChannels() < 1 || numSamples <= 0)
        return;

    mod1LinkStatus = sExtSideChainData[slot].send (buffer.getReadPointer (0), numSamples, time);
}

int ZorvaluneAudioProcessor::getReceivingSideChainData (juce::int64 time, int useHostTime, int slot, int row)
{
    if (! isSideChainSlot (slot))
        return link_status::none;

    const juce::int64 t = useHostTime != 0 ? time : stoppedSamplePosition;
    const int n = blockSize;
    float* destination = nullptr;

    if (historyRingIndex >= 0 && historyRingIndex < (int) historyRing.size())
        destination = historyRing[(size_t) historyRingIndex].row (row, n);

    const int status = sExtSideChainData[slot].receive (t, n, destination);

    if (status == link_status::entryTooShort)
        audioThreadLog.post ({ audio_thread_log::line::sideChainEntryTooShort });

    return status;
}
