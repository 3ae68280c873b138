#include "PluginProcessor.h"

#include "chain_setup.h"
#include "safe_convert.h"

#include <cmath>

using namespace parameter_table;

namespace
{
    // Which filters of a channel follow which coefficient set, and when a
    // rewritten set is ramped in: only while its filter is switched on.
    struct filter_run { smooth_IIR_filter* first; int sections; };

    struct coefficient_ramp
    {
        int parameter;
        bool onWhileAboveZero;   // otherwise: on while below 1
        filter_coefficients ZorvaluneAudioProcessor::block_settings::* set;
        filter_run (*filtersOf) (channel_state&);
    };

    using settings = ZorvaluneAudioProcessor::block_settings;

    // True once for each request made from another thread.
    bool takeRequest (std::atomic<bool>& pending) noexcept
    {
        return pending.load (std::memory_order_relaxed) && pending.exchange (false);
    }

    const coefficient_ramp coefficientRamps[] =
    {
        { inHighPassFreq,   true,  &settings::inputHighPassCoeffs, [] (channel_state& s) { return filter_run { &s.inputHighPass, 1 }; } },
        { inLowPassFreq,    false, &settings::inputLowPassCoeffs,  [] (channel_state& s) { return filter_run { &s.inputLowPass, 1 }; } },
        { noiseFilterFreq,  false, &settings::noiseFilterCoeffs,   [] (channel_state& s) { return filter_run { &s.noiseFilter, 1 }; } },
        { pitchLowPassFreq, false, &settings::pitchLowPassCoeffs,  [] (channel_state& s) { return filter_run { s.pitchLowPass, 3 }; } },
    };
}

//==============================================================================
void ZorvaluneAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;
    ++processBlockCounter;
    tellHostOnAudioThread();

    const auto position = readHostPosition();

    if (getPlayHead() != nullptr)
        hostBpm = (float) position.bpm;

    const int n = buffer.getNumSamples();

    if (n <= 0)
        return;

    if (n != blockSize)
    {
        audioThreadLog.post ({ audio_thread_log::line::blockSizeChanged, n, blockSize, mod1Source.load() });
        blockSize = n;
    }

    const int mainBusChannels = mainBusChannelCount (true);
    const int totalIn = getTotalNumInputChannels();
    const int totalOut = getTotalNumOutputChannels();

    // The sequencer starts, stops and steps by this block's mode; the values
    // a step applies are taken after it, so they are part of this block.
    takeParameterSnapshot (true);
    const bool started = handleTransport (position.playing, n);
    runSequencerStepClock (n);

    takeParameterSnapshot (false);
    takeBlockSettings (true);

    // The sequence starts again from its first step; this block glides nothing.
    if (started)
        prevBlockParameterValues = blockParameterValues;

    if (takeRequest (oscillatorRestartPending))
        for (auto& state : channelStates)
            state.restartOscillators();

    if (takeRequest (noiseRestartPending))
        for (auto& state : channelStates)
            state.restartNoise();

    if (blockParameterValues[tapeRotation] != tapeRotationSmoother.getTargetValue())
        tapeRotationSmoother.setTargetValue (blockParameterValues[tapeRotation]);

    // A jump on the timeline (forwards by more than a block and a half, or
    // backwards) makes every side-chain block stale.
    if ((double) (position.timeInSamples - lastBlockHostTime) > 1.5 * n || position.timeInSamples < lastBlockHostTime)
        clearSideChainSlots();

    lastBlockHostTime = position.timeInSamples;

    startCoefficientRamps();

    for (int c = mainBusChannels; c < juce::jmin (totalOut, buffer.getNumChannels()); ++c)
        buffer.clear (c, 0, n);

    updateChannelCounts (mainBusChannels, totalIn, totalOut);
    const int numProcessed = juce::jmin (mainBusChannels, MAX_CHANNELS);
    takeBlockRouting();

    // An instance that sends its side chain passes its audio through.
    if (blockRouting.mod1Source == 6 && blockRouting.slot1 >= 0)
    {
        if (mainBusChannels > 0)
            sendSideChainBlock (buffer, n, position.playing ? position.timeInSamples : stoppedSamplePosition, blockRouting.slot1);

        measureDelay (n, 0);
        return;
    }

    auto* entry = setUpHistoryRing (n);

    if (blockRouting.mod1Source == 7 && blockRouting.slot1 >= 0)
        mod1LinkStatus = getReceivingSideChainData (position.timeInSamples, position.playing ? 1 : 0,
                                                    blockRouting.slot1, totalInputChannels + 2);

    if (blockRouting.mod2Source == 7 && blockRouting.slot2 >= 0)
        mod2LinkStatus = getReceivingSideChainData (position.timeInSamples, position.playing ? 1 : 0,
                                                    blockRouting.slot2, totalInputChannels + 3);

    advanceHistoryRing();
    measureSideChainLevel (buffer, n, entry);
    fillChainBlockValues (buffer, n, entry);
    takeLfoWaveforms();

    if (blockParameterValues[noiseRelease] != prevBlockParameterValues[noiseRelease])
        for (auto& state : channelStates)
            state.releaseEnvelope = channel_state::initialReleaseEnvelope;

    chainResults = {};
    channel_state* states[MAX_CHANNELS];
    float* samples[MAX_CHANNELS];

    for (int c = 0; c < numProcessed; ++c)
    {
        states[c] = &channelStates[(size_t) c];
        samples[c] = c < buffer.getNumChannels() ? buffer.getWritePointer (c) : nullptr;
    }

    runChannelChains (states, samples, numProcessed, chainValues, chainScratch, chainResults);

    reportChainResults();

    if (numProcessed > 0 && channelStates[0].isPrepared())
    {
        // The dry path: as late as the tape's settings make it.
        const auto& first = channelStates[0];
        measureDelay (n, first.dryDelay.within (first.dryDelaySamples));
    }

    // Outputs beyond the processed channels carry the last processed one.
    if (totalOut > 2 && numProcessed >= 1 && numProcessed < totalOut && mainBusChannels < MAX_CHANNELS)
        for (int c = numProcessed; c < juce::jmin (totalOut, MAX_CHANNELS, buffer.getNumChannels()); ++c)
            buffer.copyFrom (c, 0, buffer, numProcessed - 1, 0, n);
}

//==============================================================================
ZorvaluneAudioProcessor::host_position ZorvaluneAudioProcessor::readHostPosition() const
{
    host_position p;

    if (auto* head = getPlayHead())
    {
        if (const auto info = head->getPosition())
        {
            p.bpm = info->getBpm().orFallback (120.0);
            p.timeInSamples = info->getTimeInSamples().orFallback (0);
            p.playing = info->getIsPlaying();
        }
    }

    return p;
}

// Either the sequencer's own settings (its mode and skip mode) or all the others.
void ZorvaluneAudioProcessor::takeParameterSnapshot (bool sequencerSettings)
{
    for (int i = 0; i < NUM_PARAMETERS; ++i)
    {
        if ((i == seqMode || i == seqSkipMode) != sequencerSettings)
            continue;

        const auto index = (size_t) i;
        blockRawParameterValues[index] = parameterValues[index].load();
        const float v = getParameterValue (i);
        prevBlockParameterValues[index] = blockParameterValues[index];
        blockParameterValues[index] = v;
    }

    if (sequencerSettings)
    {
        blockSeqMode.store (blockParameterValues[seqMode], std::memory_order_relaxed);
        blockSeqSkipMode.store (blockParameterValues[seqSkipMode], std::memory_order_relaxed);
    }
}

// An oscillator shape chosen meanwhile takes effect here, never within a block.
void ZorvaluneAudioProcessor::takeLfoWaveforms()
{
    const int waveform1 = lfo1Waveform.load (std::memory_order_relaxed);
    const int waveform2 = lfo2Waveform.load (std::memory_order_relaxed);

    for (auto& state : channelStates)
    {
        state.lfo1.waveform = waveform1;
        state.lfo2.waveform = waveform2;
    }
}

// Copies the settings that setParameter publishes. With `consumeVersions` the
// versions taken now count as seen, so the next block reports only newer
// rewrites; without it (bypassed blocks) they stay pending.
void ZorvaluneAudioProcessor::takeBlockSettings (bool consumeVersions)
{
    blockSettings.lfo1Hz = lfo1Hz.load();
    blockSettings.lfo2Hz = lfo2Hz.load();
    blockSettings.historyRingLength = historyRingLength;

    const std::pair<coefficient_handoff*, filter_coefficients*> sets[] =
    {
        { &inputHighPassCoeffs, &blockSettings.inputHighPassCoeffs },
        { &inputLowPassCoeffs,  &blockSettings.inputLowPassCoeffs },
        { &noiseFilterCoeffs,   &blockSettings.noiseFilterCoeffs },
        { &pitchLowPassCoeffs,  &blockSettings.pitchLowPassCoeffs },
    };

    for (size_t k = 0; k < seenCoefficientVersions.size(); ++k)
    {
        auto& [live, copy] = sets[k];
        filter_coefficients c;
        std::uint64_t version = 0;

        if (! live->tryRead (c, version))
        {
            // A writer is busy right now: keep the last copy and look again next block.
            copy->version = 0;
            continue;
        }

        c.version = (int) juce::jmin<std::uint64_t> (version - seenCoefficientVersions[k], 0x7fffffff);
        *copy = c;

        if (consumeVersions)
            seenCoefficientVersions[k] = version;
    }
}

// True when the transport starts with this block.
bool ZorvaluneAudioProcessor::handleTransport (bool playing, int numSamples)
{
    const bool starts = playing && transportWasPlaying == 0;

    if (starts)
    {
        clipCount = 0;

        // The noise's own filters start from rest with the noise itself.
        for (auto& state : channelStates)
        {
            state.restartForTransportStart();

            for (auto* filter : { &state.inputHighPass, &state.inputLowPass })
                filter->clearState();
        }

        sideChainPrevRms = 0.0f;
        ++channelResetCount;
        clearSideChainSlots();

        // Step 0 lasts a whole step from the start, as every later step does:
        // a full counter here would move on to step 1 in this very block.
        stepSampleCounter = 0;
        currentStep = 7;
        sequencerOn (2);
    }
    else if (! playing)
    {
        stoppedSamplePosition += numSamples;

        if (transportWasPlaying == 1)
        {
            stoppedSamplePosition = 0;

            if (blockParameterValues[seqMode] == 2.0f)
                sequencerRunning = 0;
        }
    }

    transportWasPlaying = playing ? 1 : 0;
    return starts;
}

void ZorvaluneAudioProcessor::startCoefficientRamps()
{
    for (const auto& ramp : coefficientRamps)
    {
        const float raw = blockRawParameterValues[(size_t) ramp.parameter];
        auto& set = blockSettings.*(ramp.set);

        if (! (ramp.onWhileAboveZero ? raw > 0.0f : raw < 1.0f) || set.version == 0)
            continue;

        set.version = 0;

        for (auto& state : channelStates)
        {
            const auto filters = ramp.filtersOf (state);

            for (int s = 0; s < filters.sections; ++s)
                filters.first[s].startRamp (set);
        }
    }
}

void ZorvaluneAudioProcessor::updateChannelCounts (int mainBusChannels, int totalIn, int totalOut, bool bypassed)
{
    using line = audio_thread_log::line;

    if (totalIn > MAX_CHANNELS)
    {
        audioThreadLog.post ({ bypassed ? line::bypassChannelsClamped : line::channelsClamped, mainInputChannels, totalInputChannels });
        totalIn = MAX_CHANNELS;
    }

    const int numProcessed = juce::jmin (mainBusChannels, MAX_CHANNELS);

    if (numProcessed != mainInputChannels || totalIn != totalInputChannels)
    {
        mainInputChannels = numProcessed;
        totalInputChannels = totalIn;
        audioThreadLog.post ({ bypassed ? line::bypassChannelsChanged : line::channelsChanged, numProcessed, totalIn, totalOut });
    }
}

void ZorvaluneAudioProcessor::fillChainBlockValues (const juce::AudioBuffer<float>& buffer, int numSamples,
                                                    const ringbuf_data* entry)
{
    auto& v = chainValues;
    const auto live = [this] (int i) { return parameterValues[(size_t) i].load(); };

    v.numSamples = numSamples;
    v.sampleRate = sampleRate;
    v.raw = blockRawParameterValues.data();
    v.value = blockParameterValues.data();
    v.prevValue = prevBlockParameterValues.data();

    v.liveDryWet = live (dryWet);
    v.liveRmsTime = live (rmsTime);
    v.liveNoiseOn = live (noiseOn) > 0.5f;
    v.liveSrReduc = live (srReduc);
    v.liveSlewRate = live (slewRate);

    v.sideGain1 = std::pow (10.0f, live (sideGain1) * 60.0f / 20.0f);
    v.sideGain2 = std::pow (10.0f, live (sideGain2) * 60.0f / 20.0f);
    v.bits = juce::jlimit (0, 24, truncToInt (live (nrBits) * 24.0f + 0.5f));
    v.bitMask = 0xffffffffu << (24 - v.bits);

    const float saturationRaw = blockRawParameterValues[saturation];
    v.drive = saturationRaw > 0.0f ? saturationRaw * 30.0f + 1.0f : 0.0f;
    v.tanhDrive = saturationRaw > 0.0f ? std::tanh (v.drive) : 0.0f;

    v.releaseSamples = blockParameterValues[noiseRelease] * sampleRate / 1000.0f;
    v.tapeRate = tapeRotationSmoother.getNextValue();
    v.toldDelay = latencyReport.current();

    const float noiseFrequency = live (noiseFilterFreq) * 20000.0f;
    v.noiseFilterOn = noiseFrequency >= 50.0f && noiseFrequency < 20000.0f;
    v.noiseLowCutOn = live (noiseLowcutOn) > 0.5f;
    v.noiseMinAmountChanged = blockParameterValues[noiseMinAmount] != prevBlockParameterValues[noiseMinAmount];

    v.mod1Source = blockRouting.mod1Source;
    v.mod2Source = blockRouting.mod2Source;
    v.mod1Destination = mod1Destination.load();
    v.mod2Destination = mod2Destination.load();
    v.lfo1Hz = blockSettings.lfo1Hz;
    v.lfo2Hz = blockSettings.lfo2Hz;

    const bool hasSideChain = mainInputChannels < totalInputChannels && mainInputChannels < buffer.getNumChannels();
    v.sideChainInput = hasSideChain ? buffer.getReadPointer (mainInputChannels) : nullptr;
    v.sideChainPrevLevel = sideChainPrevRms;
    v.sideChainLevel = entry != nullptr && (size_t) mainInputChannels < entry->rms.size()
                         ? entry->rms[(size_t) mainInputChannels] : 0.0f;

    // The rows of the history-ring entry that hold what each slot received.
    const auto receivedRow = [&] (int source, int row) -> const float*
    {
        return source == 7 && entry != nullptr ? entry->row (row, numSamples) : nullptr;
    };

    v.receivedRow1 = receivedRow (v.mod1Source, totalInputChannels + 2);
    v.receivedRow2 = receivedRow (v.mod2Source, totalInputChannels + 3);
}

// The delay counts as settled once it has held still for 0.15 s with the
// tape's rate no longer gliding.
void ZorvaluneAudioProcessor::measureDelay (int numSamples, int delay) noexcept
{
    latencyReport.measure (delay, numSamples, (int) (0.15f * sampleRate), tapeRotationSmoother.isSmoothing());
}

void ZorvaluneAudioProcessor::reportChainResults()
{
    const auto& r = chainResults;

    if (r.clipped != 0)
        clipCount.fetch_add (r.clipped, std::memory_order_relaxed);

    if (r.overloaded != 0)
        outputOverloadCount.fetch_add (r.overloaded, std::memory_order_relaxed);

    if (r.modDisplayWritten)
    {
        mod1DisplayValue.store (r.mod1Display, std::memory_order_relaxed);
        mod2DisplayValue.store (r.mod2Display, std::memory_order_relaxed);
    }

    if (r.tapeWobbleRateWritten)
        tapeWobbleRate.store (r.tapeWobbleRate, std::memory_order_relaxed);

    if (r.readIndexBelowZero != 0)
        audioThreadLog.post ({ audio_thread_log::line::tapeIndexBelowZero, r.belowIndex, r.belowSize });

    if (r.readIndexBeyondEnd != 0)
        audioThreadLog.post ({ audio_thread_log::line::tapeIndexBeyondEnd, r.beyondIndex, r.beyondSize,
                               r.beyondDelta, r.beyondLength, r.beyondLfoHz });
}
