#include "block_steps.h"
#include "tests/message_pump.h"

#include <climits>
#include <cmath>
#include <thread>

using namespace engine_test;

namespace
{
    constexpr int blockLength = 120;

    // Each stored step sets "Dry Wet" to its own marker value.
    float marker (int step) { return 0.1f + 0.1f * (float) step; }

    void storeStep (ZorvaluneAudioProcessor& p, int step, float dryWetValue)
    {
        p.storeStep (step, [&] (auto& snapshot)
        {
            for (int i = 0; i < ZorvaluneAudioProcessor::NUM_PARAMETERS; ++i)
                snapshot[(size_t) i] = p.parameterValues[(size_t) i].load();

            snapshot[dryWet] = dryWetValue;
            snapshot[seqStepSaved] = (float) (step + 1);
        });
    }

    // A processor with all eight steps stored, steps of 1440 samples
    // (a quarter beat at 500 BPM), in the given mode (1 manual, 2 play), with
    // one block run so the block snapshot carries the mode.
    std::unique_ptr<ZorvaluneAudioProcessor> makeSequencer (float mode, test_play_head* head = nullptr)
    {
        auto p = makeProcessor (48000.0, blockLength, 2);

        if (head != nullptr)
            p->setPlayHead (head);

        for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
            storeStep (*p, k, marker (k));

        p->setParameter (seqBpm, 0.5f);
        p->setParameter (seqNrBars, 0.14f);
        p->setParameter (seqMode, mode / 10.0f);
        block_steps::run (*p, 1, blockLength, {}, head);
        return p;
    }

    // Runs blocks, with no message thread, until one changes step; returns
    // the number of blocks that took (or -1 after `limit`).
    int runToNextStep (ZorvaluneAudioProcessor& p, test_play_head* head = nullptr, int limit = 100)
    {
        const int before = p.currentStep.load();

        for (int b = 1; b <= limit; ++b)
        {
            block_steps::run (p, 1, blockLength, {}, head);

            if (p.currentStep.load() != before)
                return b;
        }

        return -1;
    }
}

//==============================================================================
TEST (SequencerTiming, StepLengthsInExactSamples)
{
    struct row { double rate; float bpm; float key; int samples; };

    const row rows[] = {
        { 48000.0, 0.125f,  0.08f, 23040 },       // 125 BPM, one beat
        { 48000.0, 0.0625f, 0.04f, 184320 },      // 62.5 BPM, four beats
        { 44100.0, 0.25f,   0.11f, 5292 },        // 250 BPM, half a beat
        { 48000.0, 0.5f,    0.17f, 720 },         // 500 BPM, an eighth of a beat
        { 96000.0, 0.125f,  0.12f, 15360 },       // a third of a beat
        { 48000.0, 0.125f,  0.0f,  23040 },       // key 0 is not in the table: one beat
        { 48000.0, 0.125f,  0.99f, 23040 },       // nor is key 99
        { 48000.0, 1.0f,    0.17f, 360 },         // the fastest tempo
        { 48000.0, 1.0e-9f, 0.01f, 2000000000 },  // a tempo near 0 stops short of overflowing
    };

    for (const auto& r : rows)
    {
        ZorvaluneAudioProcessor p;
        p.prepareToPlay (r.rate, 512);
        p.setParameter (seqBpm, r.bpm);
        p.setParameter (seqNrBars, r.key);
        EXPECT_EQ (p.stepLengthSamples.load(), r.samples) << r.rate << " Hz, bpm " << r.bpm << ", key " << r.key;
    }
}

TEST (SequencerTiming, LengthFollowsTheRateAndIgnoresAMissingTempo)
{
    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.stepLengthSamples.load(), 24000);

    p.prepareToPlay (96000.0, 512);                 // one beat at the new rate
    EXPECT_EQ (p.stepLengthSamples.load(), 48000);

    p.setParameter (seqBpm, 0.125f);
    EXPECT_EQ (p.stepLengthSamples.load(), 46080);

    p.setParameter (seqBpm, std::nanf (""));        // no tempo: the length stays
    p.setParameter (seqBpm, -0.5f);
    EXPECT_EQ (p.stepLengthSamples.load(), 46080);

    p.setParameter (seqNrBars, std::nanf (""));     // no key: one beat at 120 BPM
    EXPECT_EQ (p.stepLengthSamples.load(), 48000);
}

//==============================================================================
TEST (SequencerClock, ManualModeAppliesEveryStepInOrderAtTheStepLength)
{
    auto p = makeSequencer (1.0f);
    ASSERT_EQ (p->stepLengthSamples.load(), 1440);

    p->setParameter (seqOn, 1.0f);                  // step 0 at once
    EXPECT_EQ (p->sequencerRunning.load(), 2);
    EXPECT_EQ (p->currentStep.load(), 0);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (0));

    // Switching on does not restart the count: one block has counted 120
    // samples, so the change comes with the 12th block from here (the one
    // that finds 1440 counted), and then every 12 blocks.
    EXPECT_EQ (runToNextStep (*p), 12);

    for (int k = 1; k <= 9; ++k)
    {
        EXPECT_EQ (p->currentStep.load(), k % 8);
        EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (k % 8));

        if (k < 9)
        {
            EXPECT_EQ (runToNextStep (*p), 12) << "to step " << (k + 1) % 8;
        }
    }

    p->setParameter (seqOn, 0.0f);                  // stops where it is
    EXPECT_EQ (p->sequencerRunning.load(), 0);
    EXPECT_EQ (runToNextStep (*p, nullptr, 30), -1);
    EXPECT_EQ (p->currentStep.load(), 1);
}

TEST (SequencerClock, SkipModeLeavesMarkedStepsOutAndKeepTimingHoldsValues)
{
    for (const bool skip : { true, false })
    {
        auto p = makeSequencer (1.0f);
        p->stepStates[2][0] = 2;
        p->stepStates[3][0] = 2;
        p->setParameter (seqSkipMode, skip ? 0.1f : 0.0f);
        block_steps::run (*p, 1, blockLength);
        p->setParameter (seqOn, 1.0f);

        std::vector<int> steps { p->currentStep.load() };
        std::vector<float> values { p->parameterValues[dryWet].load() };

        for (int k = 0; k < 6; ++k)
        {
            ASSERT_GT (runToNextStep (*p), 0);
            steps.push_back (p->currentStep.load());
            values.push_back (p->parameterValues[dryWet].load());
        }

        if (skip)
        {
            EXPECT_EQ (steps, (std::vector<int> { 0, 1, 4, 5, 6, 7, 0 }));
            EXPECT_EQ (values, (std::vector<float> { marker (0), marker (1), marker (4), marker (5), marker (6), marker (7), marker (0) }));
        }
        else
        {
            EXPECT_EQ (steps, (std::vector<int> { 0, 1, 2, 3, 4, 5, 6 }));
            EXPECT_EQ (values, (std::vector<float> { marker (0), marker (1), marker (1), marker (1), marker (4), marker (5), marker (6) }));
        }
    }
}

TEST (SequencerClock, AllStepsMarkedMoveOneFurtherAndApplyNothing)
{
    auto p = makeSequencer (1.0f);
    p->setParameter (seqSkipMode, 0.1f);
    block_steps::run (*p, 1, blockLength);
    p->setParameter (seqOn, 1.0f);
    const float applied = p->parameterValues[dryWet].load();

    for (auto& state : p->stepStates)
        state[0] = 2;

    for (int expected : { 1, 2, 3 })
    {
        ASSERT_GT (runToNextStep (*p), 0);
        EXPECT_EQ (p->currentStep.load(), expected);
        EXPECT_EQ (p->parameterValues[dryWet].load(), applied);
    }
}

TEST (SequencerClock, EmptyStepsPassSilently)
{
    auto p = makeSequencer (1.0f);
    p->stepSnapshots[1][seqStepSaved] = 0.0f;      // empty
    p->stepSnapshots[2][seqStepSaved] = 5.0f;      // holds another step's number: not valid here
    p->setParameter (seqOn, 1.0f);

    ASSERT_GT (runToNextStep (*p), 0);
    EXPECT_EQ (p->currentStep.load(), 1);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (0));
    ASSERT_GT (runToNextStep (*p), 0);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (0));
    ASSERT_GT (runToNextStep (*p), 0);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (3));
}

TEST (SequencerClock, StepShorterThanABlockIsCaughtUpOneStepPerBlock)
{
    auto p = makeSequencer (1.0f);
    p->setParameter (seqBpm, 1.0f);
    p->setParameter (seqNrBars, 0.17f);             // 360 samples
    p->setParameter (seqOn, 1.0f);

    // Four blocks, each more than five steps long: the first finds 120
    // samples counted, each later one posts exactly one change.
    block_steps::run (*p, 4, 2048);
    EXPECT_EQ (p->currentStep.load(), 3);
}

//==============================================================================
TEST (SequencerStart, PlayModeStartsWithTheTransportAndStopsWithIt)
{
    test_play_head head;
    auto p = makeSequencer (2.0f, &head);
    p->setParameter (dryWet, 0.95f);

    p->setParameter (seqOn, 1.0f);                  // play mode: waits for the host
    EXPECT_EQ (p->sequencerRunning.load(), 0);
    EXPECT_EQ (runToNextStep (*p, &head, 30), -1);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), 0.95f);

    // The start applies step 0, which the block plays, and step 1 follows a
    // whole step later.
    head.playing = true;
    block_steps::run (*p, 1, blockLength, {}, &head);
    EXPECT_EQ (p->sequencerRunning.load(), 2);
    EXPECT_EQ (p->currentStep.load(), 0);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (0));
    EXPECT_FLOAT_EQ (p->blockParameterValues[dryWet], marker (0) * 100.0f);

    EXPECT_EQ (runToNextStep (*p, &head), 12);
    EXPECT_EQ (p->currentStep.load(), 1);
    EXPECT_FLOAT_EQ (p->blockParameterValues[dryWet], marker (1) * 100.0f);

    head.playing = false;
    block_steps::run (*p, 1, blockLength, {}, &head);
    EXPECT_EQ (p->sequencerRunning.load(), 0);
    EXPECT_EQ (runToNextStep (*p, &head, 30), -1);
}

// The host sets the mode while no block runs: the start and the stop go by
// the mode of their own block.
TEST (SequencerStart, StartAndStopFollowTheModeOfTheirOwnBlock)
{
    test_play_head head;
    auto p = makeSequencer (0.0f, &head);
    p->setParameter (seqOn, 1.0f);
    p->setParameter (seqMode, 0.2f);

    head.playing = true;
    block_steps::run (*p, 1, blockLength, {}, &head);
    EXPECT_EQ (p->sequencerRunning.load(), 2);
    EXPECT_FLOAT_EQ (p->blockParameterValues[dryWet], marker (0) * 100.0f);

    // A stop while the host bypasses the plug-in stops it too.
    head.playing = false;
    block_steps::run (*p, 1, blockLength, {}, &head, true);
    EXPECT_EQ (p->sequencerRunning.load(), 0);

    // Play mode switched to manual for the stop's block: the sequence keeps running.
    test_play_head stopping;
    auto q = makeSequencer (2.0f, &stopping);
    q->setParameter (seqOn, 1.0f);
    stopping.playing = true;
    block_steps::run (*q, 1, blockLength, {}, &stopping);
    ASSERT_EQ (q->sequencerRunning.load(), 2);

    q->setParameter (seqMode, 0.1f);
    stopping.playing = false;
    block_steps::run (*q, 1, blockLength, {}, &stopping);
    EXPECT_EQ (q->sequencerRunning.load(), 2);
}

TEST (SequencerStart, ManualModeRestartsFromStepZeroAtEveryTransportStart)
{
    test_play_head head;
    auto p = makeSequencer (1.0f, &head);
    p->setParameter (seqOn, 1.0f);
    ASSERT_GT (runToNextStep (*p, &head), 0);
    ASSERT_GT (runToNextStep (*p, &head), 0);
    EXPECT_EQ (p->currentStep.load(), 2);

    // Back to step 0, which lasts a whole step again.
    head.playing = true;
    block_steps::run (*p, 1, blockLength, {}, &head);
    EXPECT_EQ (p->currentStep.load(), 0);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (0));

    head.playing = false;                           // manual mode keeps running after a stop
    block_steps::run (*p, 1, blockLength, {}, &head);
    EXPECT_EQ (p->sequencerRunning.load(), 2);
}

TEST (SequencerStart, TransportStartClearsMarksAndSelectionEvenWhileArmed)
{
    test_play_head head;
    auto p = makeSequencer (2.0f, &head);
    p->stepStates[1][0] = 1;
    p->stepStates[4][0] = 2;
    p->stepStates[0][0] = 2;                        // step 0 marked: not applied at the start

    for (auto& state : p->stepStates)
        state[1] = p->stepSelectMark;

    p->stepRecordState = 1;
    p->parameterValues[seqOn].store (1.0f);         // switched on without a start of its own
    const float before = p->parameterValues[dryWet].load();

    head.playing = true;
    block_steps::run (*p, 1, blockLength, {}, &head);

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
    {
        EXPECT_EQ (p->stepStates[k][1].load(), 0) << k;
        EXPECT_EQ (p->stepStates[k][0].load(), k == 4 || k == 0 ? 2 : 0) << k;
    }

    EXPECT_EQ (p->parameterValues[dryWet].load(), before);
    EXPECT_EQ (p->sequencerRunning.load(), 2);
}

TEST (SequencerStart, ModeOffNeverRunsNorApplies)
{
    auto p = makeSequencer (0.0f);
    p->setParameter (seqOn, 1.0f);
    EXPECT_EQ (p->sequencerRunning.load(), 0);

    // Even a sequence left running applies nothing while the mode is off.
    p->sequencerRunning = 2;
    const float before = p->parameterValues[dryWet].load();
    ASSERT_GT (runToNextStep (*p), 0);
    EXPECT_EQ (p->parameterValues[dryWet].load(), before);

    p->setParameter (seqOn, 0.0f);
    p->sequencerStepBtnPushed (3);
    EXPECT_EQ (p->stepStates[3][0].load(), 0);

    // Setting the mode to 0 stops a running sequence at once.
    auto q = makeSequencer (1.0f);
    q->setParameter (seqOn, 1.0f);
    q->setParameter (seqMode, 0.0f);
    EXPECT_EQ (q->sequencerRunning.load(), 0);
}

//==============================================================================
TEST (SequencerStepButtons, SelectApplyMarkAndUnmark)
{
    auto p = makeSequencer (1.0f);

    p->sequencerStepBtnPushed (3);                  // off -> selected, applied
    EXPECT_EQ (p->stepStates[3][0].load(), 1);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (3));

    p->setParameter (dryWet, 0.9f);
    p->sequencerStepBtnPushed (3);                  // selected -> marked, not applied
    EXPECT_EQ (p->stepStates[3][0].load(), 2);
    EXPECT_EQ (p->stepSnapshots[3][param47], 1.0f);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), 0.9f);

    p->sequencerStepBtnPushed (3);                  // marked -> selected, applied again
    EXPECT_EQ (p->stepStates[3][0].load(), 1);
    EXPECT_EQ (p->stepSnapshots[3][param47], 0.0f);
    EXPECT_FLOAT_EQ (p->parameterValues[dryWet].load(), marker (3));

    p->sequencerStepBtnPushed (5);                  // only one step is selected
    EXPECT_EQ (p->stepStates[3][0].load(), 0);
    EXPECT_EQ (p->stepStates[5][0].load(), 1);

    // With the sequence on a push toggles the mark and leaves a selection.
    p->setParameter (seqOn, 1.0f);
    p->stepStates[5][0] = 1;
    p->sequencerStepBtnPushed (5);
    EXPECT_EQ (p->stepStates[5][0].load(), 1);
    p->sequencerStepBtnPushed (6);
    EXPECT_EQ (p->stepStates[6][0].load(), 2);
    EXPECT_EQ (p->stepSnapshots[6][param47], 0.0f);
    p->sequencerStepBtnPushed (6);
    EXPECT_EQ (p->stepStates[6][0].load(), 0);
}

TEST (SequencerStepButtons, StepsOutsideZeroToSevenChangeNothing)
{
    auto p = makeSequencer (1.0f);
    p->stepStates[2][0] = 1;
    p->stepStates[2][1] = p->stepSelectMark;
    const float before = p->parameterValues[dryWet].load();

    for (int step : { -1, 8, 9, 100, INT_MIN, INT_MAX })
        p->sequencerStepBtnPushed (step);

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
    {
        EXPECT_EQ (p->stepStates[k][0].load(), k == 2 ? 1 : 0);
        EXPECT_EQ (p->stepStates[k][1].load(), k == 2 ? p->stepSelectMark : 0);
    }

    EXPECT_EQ (p->parameterValues[dryWet].load(), before);
}

//==============================================================================
TEST (SequencerRecording, SaveTwiceStoresTheWholeSettingIntoTheSelectedStep)
{
    auto p = makeSequencer (1.0f);
    p->stepSnapshots[2][seqStepSaved] = 0.0f;      // step 2 empty
    p->sequencerStepBtnPushed (2);
    p->setParameter (noiseMix, 0.33f);
    p->setParameter (crushOn, 1.0f);

    p->sequencerSaveBtnPushed();                    // arm: the selected step is the target
    EXPECT_EQ (p->stepRecordState.load(), 1);
    EXPECT_EQ (p->stepStates[2][1].load(), p->stepSelectMark);
    EXPECT_EQ (p->stepStates[1][1].load(), 0);

    p->sequencerSaveBtnPushed();                    // store
    EXPECT_EQ (p->stepRecordState.load(), 0);

    for (int i = 0; i <= sideGain2; ++i)
        EXPECT_EQ (p->stepSnapshots[2][i], p->parameterValues[(size_t) i].load()) << i;

    EXPECT_EQ (p->stepSnapshots[2][seqStepSaved], 3.0f);
    EXPECT_FLOAT_EQ (p->stepSnapshots[1][dryWet], marker (1));   // others untouched

    for (auto& state : p->stepStates)
        EXPECT_EQ (state[1].load(), 0);
}

TEST (SequencerRecording, AKnobMovedWhileArmedGoesIntoEveryStep)
{
    auto p = makeSequencer (1.0f);
    p->stepSnapshots[6][seqStepSaved] = 0.0f;      // step 6 empty
    p->sequencerStepBtnPushed (1);
    p->sequencerSaveBtnPushed();

    p->setParameter (noiseMix, 0.2f);               // the first change marks all eight steps
    p->setParameter (noiseMix, 0.4f);
    p->setParameter (saturation, 0.7f);             // a second knob adds nothing
    EXPECT_EQ (p->stepRecordState.load(), 2);
    EXPECT_EQ (p->touchedParameters.load(), std::uint64_t { 1 } << noiseMix);

    for (auto& state : p->stepStates)
        EXPECT_EQ (state[1].load(), p->stepSelectMark);

    p->sequencerSaveBtnPushed();
    EXPECT_EQ (p->stepRecordState.load(), 0);
    EXPECT_EQ (p->touchedParameters.load(), 0u);

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
    {
        EXPECT_FLOAT_EQ (p->stepSnapshots[k][noiseMix], 0.4f) << k;

        if (k == 6)
        {
            EXPECT_EQ (p->stepSnapshots[k][seqStepSaved], 7.0f);     // an empty step takes everything
            EXPECT_FLOAT_EQ (p->stepSnapshots[k][saturation], 0.7f);
        }
        else
        {
            EXPECT_FLOAT_EQ (p->stepSnapshots[k][dryWet], marker (k)) << k;
            EXPECT_NE (p->stepSnapshots[k][saturation], 0.7f) << k;
        }
    }
}

TEST (SequencerRecording, StepBookkeepingIsNeverRecorded)
{
    auto p = makeSequencer (1.0f);
    p->stepSnapshots[3][seqStepSaved] = 0.0f;
    p->stepSnapshots[5][param47] = 1.0f;
    p->sequencerStepBtnPushed (0);
    p->sequencerSaveBtnPushed();

    p->setParameter (param47, 0.0f);                // the one touched parameter is a step's own
    EXPECT_EQ (p->stepRecordState.load(), 2);
    p->setParameter (seqStepSaved, 0.0f);
    p->sequencerSaveBtnPushed();

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
        EXPECT_EQ (p->stepSnapshots[k][seqStepSaved], (float) (k + 1)) << k;

    EXPECT_EQ (p->stepSnapshots[5][param47], 1.0f);
    EXPECT_FLOAT_EQ (p->stepSnapshots[2][dryWet], marker (2));
}

TEST (SequencerRecording, StepButtonsRetargetOrEndRecording)
{
    auto p = makeSequencer (1.0f);
    p->sequencerStepBtnPushed (1);
    p->sequencerSaveBtnPushed();

    p->sequencerStepBtnPushed (4);                  // unmarked: now the only target
    EXPECT_EQ (p->stepRecordState.load(), 1);

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
        EXPECT_EQ (p->stepStates[k][1].load(), k == 4 ? p->stepSelectMark : 0) << k;

    p->sequencerSaveBtnPushed();                    // stores into step 4 only
    EXPECT_FLOAT_EQ (p->stepSnapshots[4][dryWet], p->parameterValues[dryWet].load());
    EXPECT_FLOAT_EQ (p->stepSnapshots[1][dryWet], marker (1));

    p->sequencerSaveBtnPushed();
    p->sequencerStepBtnPushed (4);                  // marked: recording ends, nothing stored
    EXPECT_EQ (p->stepRecordState.load(), 0);

    for (auto& state : p->stepStates)
        EXPECT_EQ (state[1].load(), 0);
}

TEST (SequencerRecording, SaveWithTheSequenceOnOrTheModeOffDiscards)
{
    auto p = makeSequencer (1.0f);
    p->sequencerStepBtnPushed (2);
    p->sequencerSaveBtnPushed();
    p->setParameter (seqOn, 1.0f);                  // touched, but the sequence is on: stays armed
    EXPECT_EQ (p->stepRecordState.load(), 1);

    p->sequencerSaveBtnPushed();
    EXPECT_EQ (p->stepRecordState.load(), 0);
    EXPECT_FLOAT_EQ (p->stepSnapshots[2][dryWet], marker (2));

    auto q = makeSequencer (0.0f);
    q->sequencerSaveBtnPushed();
    EXPECT_EQ (q->stepRecordState.load(), 0);
}

TEST (SequencerRecording, AutomationFromOtherThreadsWhileSaving)
{
    // The host automates from its own threads while the user arms, stores and
    // retargets: the record stays a set of at most 48 flags, the steps'
    // bookkeeping stays intact, and nothing but parameters 0..40 is stored.
    auto p = makeSequencer (1.0f);
    std::atomic<bool> stop { false };
    std::vector<std::thread> hosts;

    for (int t = 0; t < 2; ++t)
        hosts.emplace_back ([&, t]
        {
            juce::Random random (t + 1);

            while (! stop.load())
            {
                const int index = random.nextInt (ZorvaluneAudioProcessor::NUM_PARAMETERS);

                if (index != seqOn && index != seqMode && index != seqStepSaved && index != param47)
                    p->setParameter (index, random.nextFloat());
                else
                    p->setParameter (index, p->parameterValues[(size_t) index].load());
            }
        });

    for (int round = 0; round < 3000; ++round)
    {
        p->sequencerStepBtnPushed (round % 8);
        p->sequencerSaveBtnPushed();
        p->sequencerSaveBtnPushed();
    }

    stop = true;

    for (auto& t : hosts)
        t.join();

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
    {
        EXPECT_EQ (p->stepSnapshots[k][seqStepSaved], (float) (k + 1)) << k;
        EXPECT_TRUE (p->stepSnapshots[k][param47] == 0.0f || p->stepSnapshots[k][param47] == 1.0f) << k;
    }

    EXPECT_EQ (p->touchedParameters.load() >> ZorvaluneAudioProcessor::NUM_PARAMETERS, 0u);
    EXPECT_GE (p->stepRecordState.load(), 0);
    EXPECT_LE (p->stepRecordState.load(), 2);
}

//==============================================================================
TEST (SequencerAudioThread, StepsLandInTheirBlockWithTheirFilterSetsAndNoMessageThread)
{
    auto p = makeSequencer (1.0f);
    storeFilterSteps (*p);
    p->setParameter (seqOn, 1.0f);

    // Nothing here runs the message thread: the block that changes step
    // plays the new values and has the step's coefficient sets.
    for (int k = 1; k <= 9; ++k)
    {
        const auto versions = p->inputLowPassCoeffs.version();
        ASSERT_GT (runToNextStep (*p), 0);
        EXPECT_EQ (p->currentStep.load(), k % 8);
        EXPECT_FLOAT_EQ (p->blockParameterValues[dryWet], marker (k % 8) * 100.0f) << k;
        EXPECT_FLOAT_EQ (p->blockParameterValues[inLowPassFreq], stepLowPass (k % 8) * 20000.0f) << k;
        EXPECT_GT (p->inputLowPassCoeffs.version(), versions) << k;
        EXPECT_TRUE (filterSetsFollowTheValues (*p)) << k;
    }

    // At another rate the steps' sets are designed again.
    p->prepareToPlay (96000.0, blockLength);
    ASSERT_GT (runToNextStep (*p), 0);
    EXPECT_TRUE (filterSetsFollowTheValues (*p));
}

TEST (SequencerAudioThread, SetsAStepDidNotBringAreDesignedOnTheMessageThread)
{
    // A step written value by value carries no sets: on the audio thread its
    // values land at once, its filters follow when the message thread runs.
    auto p = makeSequencer (1.0f);
    storeFilterSteps (*p);
    p->stepSnapshots[1][inLowPassFreq] = 0.9f;
    p->setParameter (seqOn, 1.0f);

    int blocks = 0;
    std::thread audio ([&] { blocks = runToNextStep (*p); });
    audio.join();
    ASSERT_GT (blocks, 0);
    EXPECT_FLOAT_EQ (p->blockParameterValues[inLowPassFreq], 0.9f * 20000.0f);

    filter_coefficients stepSet;
    butterworth::lowPass (0.9f * 20000.0, p->sampleRate.load(), stepSet);
    EXPECT_NE (p->inputLowPassCoeffs.read().b0, stepSet.b0);

    p->handleAudioThreadRequests();
    EXPECT_EQ (p->inputLowPassCoeffs.read().b0, stepSet.b0);
    EXPECT_TRUE (filterSetsFollowTheValues (*p));
}
