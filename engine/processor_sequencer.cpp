#include "PluginProcessor.h"

#include "../presets/factory_presets.h"
#include "safe_convert.h"

#include <climits>

using namespace parameter_table;

// The step sequencer: eight snapshots of parameters 0..40, stepped through in
// time with a tempo. The audio thread counts samples and applies the next
// step itself, so a step lands on its block however late the message thread
// runs (an offline render runs far ahead of it): the filter sets a step needs
// are designed when it is stored and only swapped in there.

namespace
{
    constexpr int lastAppliedParameter = sideGain2;   // steps hold and apply 0..40

    int nextStep (int step) noexcept
    {
        return (step + 1) % ZorvaluneAudioProcessor::NUM_STEPS;
    }

    // Where a step's designs keep their parts: five coefficients per set, then
    // the values they were designed from, then the rate.
    using P = ZorvaluneAudioProcessor;
    constexpr size_t inputsAt = P::numDesignedSets * 5;
    constexpr size_t rateAt = inputsAt + P::numDesignInputs;

    filter_coefficients designedSet (const decltype (P::stepDesigns)::values& d, int set)
    {
        const auto* c = d.data() + set * 5;
        return { c[0], c[1], c[2], c[3], c[4] };
    }

    // Calls f (k, parameter) for the k-th parameter the sets are designed from,
    // set by set: where its value is kept among a step's designs.
    template <typename Sets, typename F>
    void forEachDesignInput (const Sets& sets, F&& f)
    {
        size_t k = 0;

        for (const auto& set : sets)
            for (int input : set.inputs)
                if (input >= 0)
                {
                    jassert (k < (size_t) P::numDesignInputs);
                    f (inputsAt + k++, input);
                }
    }

    // The buttons and SAVE follow the mode as the parameter holds it now, as
    // the editor's LEDs show it, also before any block has run.
    bool modeIsOn (const std::atomic<float>& mode) noexcept
    {
        return truncToInt (mode.load() * 10.0f + 0.5f) != 0;
    }
}

//============================================================================== timing
// The length of a step from the sequencer tempo (41) and the step length key
// (42), computed when either is set, with the sample rate of that moment.
void ZorvaluneAudioProcessor::updateStepLength (int changedIndex)
{
    const int key = truncToInt (parameterValues[seqNrBars].load() * 100.0f + 0.5f);
    const auto it = sBeatFractions.find (key);
    const float beats = it != sBeatFractions.end() ? it->second : 0.0f;
    float bpm = parameterValues[seqBpm].load() * 1000.0f;

    if (! (bpm > 0.0f))
    {
        if (changedIndex == seqBpm)
            return;

        bpm = 120.0f;
    }

    const float b = beats > 0.0f ? beats : 1.0f;
    const float samples = b * sampleRate * 60.0f / bpm;

    // A tiny tempo must not overflow the counter, a huge one must still leave a step.
    stepLengthSamples = juce::jlimit (1, 2000000000, truncToInt (samples));
}

// Runs for every processed block, with the block's own mode but before it
// takes the values a step applies, also while the transport is stopped: at
// most one step change per block, so a step shorter than a block is caught up
// one step per block.
void ZorvaluneAudioProcessor::runSequencerStepClock (int numSamples)
{
    const int length = stepLengthSamples.load();

    if (stepSampleCounter >= length)
    {
        stepSampleCounter = juce::jmax (0, stepSampleCounter - length);

        if (sequencerRunning.load() != 0)
            sequencerStepTask();
    }

    stepSampleCounter = (int) juce::jmin ((juce::int64) INT_MAX, (juce::int64) stepSampleCounter + numSamples);
}

//============================================================================== running
// how 0 stops; 1 starts from the Seq_On switch, 2 from a transport start.
void ZorvaluneAudioProcessor::sequencerOn (int how)
{
    if (how == 0)
    {
        sequencerRunning = 0;
        return;
    }

    const float mode = blockSeqMode.load();

    if (mode == 0.0f)
    {
        sequencerRunning = 0;
        return;
    }

    if (parameterValues[seqOn].load() > 0.5f && (mode == 1.0f || how == 2))
        sequencerRunning = 2;

    const bool step0WasMarked = stepStates[0][0].load() == 2;
    currentStep = 0;

    for (auto& state : stepStates)
    {
        state[1] = 0;

        if (state[0].load() == 1)
            state[0] = 0;
    }

    const bool step0Valid = truncToInt (stepSnapshots[0][seqStepSaved] + 0.5f) == 1;

    if (sequencerRunning.load() > 0 && step0Valid && ! step0WasMarked)
        applyStepSnapshot (0);
}

// The step change, on the audio thread.
void ZorvaluneAudioProcessor::sequencerStepTask()
{
    int step = nextStep (juce::jlimit (0, NUM_STEPS - 1, currentStep.load()));

    if (truncToInt (blockSeqSkipMode.load() + 0.5f) == 1)
        for (int tries = 0; tries < NUM_STEPS && stepStates[step][0].load() == 2; ++tries)
            step = nextStep (step);

    currentStep = step;

    if (blockSeqMode.load() == 0.0f)
        return;

    if (stepStates[step][0].load() != 2)
        applyStepSnapshot (step);
}

// Applies the step's stored values when it holds a snapshot, on any thread
// and without waiting: the coefficient sets designed with the step are swapped
// in, each within its set's writer turn together with the values it was
// designed from. A set that is busy or was not designed from these values is
// designed on the message thread afterwards. The host is not told; the editor
// refreshes through the values' notifications.
void ZorvaluneAudioProcessor::applyStepSnapshot (int step)
{
    decltype (stepSnapshots)::values snapshot;

    if (! stepSnapshots.tryRead (step, snapshot))
    {
        // A writer was storing the step throughout: a thread that may wait
        // reads it whole, the audio thread leaves it to the message thread.
        if (! isMessageThread())
        {
            lateStepIndex = step;
            audioThreadRequests.post (audio_thread_requests::lateStep);
            return;
        }

        snapshot = stepSnapshots.read (step);
    }

    if (truncToInt (snapshot[seqStepSaved] + 0.5f) != step + 1)
        return;

    decltype (stepDesigns)::values designs;
    bool designed = stepDesigns.tryRead (step, designs) && designs[rateAt] == sampleRate.load();

    forEachDesignInput (designedSets, [&] (size_t at, int input) { designed = designed && designs[at] == snapshot[(size_t) input]; });

    int leftToDesign = 0;

    for (int set = 0; set < numDesignedSets; ++set)
    {
        const auto storeInputs = [&]
        {
            for (int input : designedSets[set].inputs)
                if (input >= 0)
                    storeParameter (input, snapshot[(size_t) input], false);
        };

        if (! designed || ! (this->*designedSets[set].live).tryPublish (designedSet (designs, set), storeInputs))
        {
            storeInputs();
            leftToDesign |= 1 << set;
        }
    }

    for (int i = 0; i <= lastAppliedParameter; ++i)
        if (designedSetOf (i) < 0)
            storeParameter (i, snapshot[(size_t) i], false);

    if (leftToDesign != 0)
    {
        pendingDesigns.fetch_or (leftToDesign);
        runOnMessageThread (audio_thread_requests::designSets, [this] { designPendingSets(); });
    }
}

// Designs, from the current values, the sets a step could not swap in.
void ZorvaluneAudioProcessor::designPendingSets()
{
    const int sets = pendingDesigns.exchange (0);

    for (int set = 0; set < numDesignedSets; ++set)
        if ((sets & (1 << set)) != 0)
            designFilter (designedSets[set].inputs[0]);
}

// After a step is stored, or the rate changes: the step's sets, designed now
// from its values at the current rate. Any thread but the audio thread.
void ZorvaluneAudioProcessor::prepareStepDesigns (int step)
{
    const parameter_values values = stepSnapshots.read (step);
    const float rate = sampleRate.load();

    stepDesigns.store (step, [&] (auto& designs)
    {
        for (int set = 0; set < numDesignedSets; ++set)
        {
            filter_coefficients c;
            designSet (set, values, rate, c);
            designs[(size_t) set * 5] = c.b0;
            designs[(size_t) set * 5 + 1] = c.b1;
            designs[(size_t) set * 5 + 2] = c.b2;
            designs[(size_t) set * 5 + 3] = c.a1;
            designs[(size_t) set * 5 + 4] = c.a2;
        }

        forEachDesignInput (designedSets, [&] (size_t at, int input) { designs[at] = values[(size_t) input]; });

        designs[rateAt] = rate;
    });
}

//============================================================================== step buttons
void ZorvaluneAudioProcessor::sequencerStepBtnPushed (int step)
{
    if (step < 0 || step >= NUM_STEPS || ! modeIsOn (parameterValues[seqMode]))
        return;

    // While the sequence is switched on a push only marks or unmarks the step.
    if (parameterValues[seqOn].load() > 0.5f)
    {
        auto& state = stepStates[step][0];
        const int word = state.load();

        if (word == 0 || word == 2)
            state = 2 - word;

        return;
    }

    for (int k = 0; k < NUM_STEPS; ++k)
    {
        auto& state = stepStates[k][0];
        auto& mark = stepStates[k][1];

        if (k != step)
        {
            if (state.load() == 1)
                state = 0;

            mark = 0;
        }
        else if (stepRecordState.load() == 0)
        {
            const int word = state.load();

            if (word == 1)
            {
                state = 2;
                stepSnapshots[k][param47] = 1.0f;
            }
            else
            {
                state = 1;

                if (word == 2)
                    stepSnapshots[k][param47] = 0.0f;

                applyStepSnapshot (k);
            }
        }
        else if (mark.load() == stepSelectMark)
        {
            mark = 0;
            stepRecordState = 0;
        }
        else
        {
            mark = stepSelectMark;
        }
    }
}

//============================================================================== recording
// Called by setParameter after the value is stored, on whatever thread sets it.
void ZorvaluneAudioProcessor::recordTouchedParameter (int index)
{
    if (stepRecordState.load() != 1)
        return;

    touchedParameters.fetch_or (std::uint64_t { 1 } << index);

    if (modeIsOn (parameterValues[seqMode]) && ! (parameterValues[seqOn].load() > 0.5f))
    {
        // The first change after arming marks every step as a target.
        int armed = 1;

        if (stepRecordState.compare_exchange_strong (armed, 2))
            for (auto& state : stepStates)
                state[1] = stepSelectMark;
    }
}

// SAVE, on the message thread. The record state is taken over atomically, so
// a setParameter on another thread either sees the arming whole or not at all.
void ZorvaluneAudioProcessor::sequencerSaveBtnPushed()
{
    if (! modeIsOn (parameterValues[seqMode]) || parameterValues[seqOn].load() > 0.5f)
    {
        stepRecordState = 0;
        return;
    }

    const auto storeAll = [this] (int k)
    {
        storeStep (k, [this, k] (auto& snapshot)
        {
            for (int i = 0; i <= lastAppliedParameter; ++i)
                snapshot[(size_t) i] = parameterValues[(size_t) i].load();

            snapshot[seqStepSaved] = (float) (k + 1);
        });
    };

    const auto clearMarks = [this]
    {
        for (auto& state : stepStates)
            state[1] = 0;
    };

    const int state = stepRecordState.exchange (0);

    if (state == 0)
    {
        // Arm: the selected step is the target until a parameter changes.
        for (auto& step : stepStates)
            step[1] = step[0].load() == 1 ? stepSelectMark : 0;

        touchedParameters = 0;
        stepRecordState = 1;
        return;
    }

    if (state == 1)
    {
        for (int k = 0; k < NUM_STEPS; ++k)
        {
            if (stepStates[k][1].load() != stepSelectMark)
                continue;

            if (stepStates[k][0].load() == 0)
                stepStates[k][0] = 1;

            storeAll (k);
        }

        clearMarks();
        return;
    }

    const auto touched = touchedParameters.exchange (0);

    for (int k = 0; k < NUM_STEPS && touched != 0; ++k)
    {
        if (stepStates[k][1].load() != stepSelectMark)
            continue;

        if (stepSnapshots[k][seqStepSaved] == 0.0f)
        {
            storeAll (k);   // an empty step receives the whole current setting
            continue;
        }

        // Only the values a step applies are stored: its own bookkeeping
        // (46, 47) and the sequencer's settings are never overwritten.
        storeStep (k, [this, touched] (auto& snapshot)
        {
            for (int i = 0; i <= lastAppliedParameter; ++i)
                if ((touched & (std::uint64_t { 1 } << i)) != 0)
                    snapshot[(size_t) i] = parameterValues[(size_t) i].load();
        });
    }

    clearMarks();
}

//============================================================================== requests from other threads
void ZorvaluneAudioProcessor::handleAudioThreadRequest (audio_thread_requests::kind k)
{
    switch (k)
    {
        case audio_thread_requests::lateStep:      applyStepSnapshot (lateStepIndex.load()); break;
        case audio_thread_requests::designSets:    designPendingSets(); break;
        case audio_thread_requests::startWatchdog: startTimer (100); break;
        case audio_thread_requests::enableMidi:    enableMidiReceive(); break;
        case audio_thread_requests::numKinds:      break;
    }
}
