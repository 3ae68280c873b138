#include "block_steps.h"

#include "presets/factory_presets.h"
#include "tests/host_recorder.h"

#include <thread>

using namespace engine_test;

namespace
{
    // The waveform the slot's oscillators take at the next block.
    int waveformOf (const ZorvaluneAudioProcessor& p, int slot)
    {
        return (slot == 1 ? p.lfo1Waveform : p.lfo2Waveform).load();
    }
}

TEST (ModulationSources, CodesZeroToFourChooseTheOscillatorWaveform)
{
    const int waveforms[] = { 0, 2, 3, 4, 7 };

    for (int slot : { 1, 2 })
    {
        ZorvaluneAudioProcessor p;
        const auto select = [&] (int code) { slot == 1 ? p.setMod1Source (code) : p.setMod2Source (code); };
        const auto& source = slot == 1 ? p.mod1Source : p.mod2Source;
        const auto parameter = (size_t) (slot == 1 ? mod1Src : mod2Src);

        for (int code = 0; code <= 4; ++code)
        {
            const int refreshes = p.editorRefreshRequests.load();
            p.editorNotifyCounter = 0;
            select (code);
            EXPECT_EQ (source.load(), code);
            EXPECT_EQ (p.parameterValues[parameter].load(), (float) code / 100.0f);
            EXPECT_EQ (p.editorRefreshRequests.load(), refreshes + 1);   // whatever the counter holds

            EXPECT_EQ (waveformOf (p, slot), waveforms[code]) << "slot " << slot << " code " << code;
        }

        // Other codes keep the waveform last set; codes outside the table are stored as they are.
        for (int code : { 5, 6, 7, 9, 10, 11, 42, -3 })
        {
            select (code);
            EXPECT_EQ (source.load(), code);
            EXPECT_EQ (waveformOf (p, slot), 7);
        }

        // The other slot's oscillators never move.
        EXPECT_EQ (waveformOf (p, slot == 1 ? 2 : 1), slot == 1 ? 2 : 0);
    }
}

TEST (ModulationSources, OscillatorsChangeShapeAtTheNextBlock)
{
    auto p = makeProcessor();
    p->setMod2Source (4);

    for (const auto& state : p->channelStates)
        ASSERT_EQ (state.lfo2.waveform, LFO::sine);   // not while a block may run

    block_steps::run (*p, 1, 64);

    for (const auto& state : p->channelStates)
    {
        EXPECT_EQ (state.lfo2.waveform, LFO::random);
        EXPECT_EQ (state.lfo1.waveform, LFO::sine);
    }
}

TEST (ModulationSources, HostValuesSnapToTheirCode)
{
    ZorvaluneAudioProcessor p;
    p.setParameter (mod2Src, 0.0449f);
    EXPECT_EQ (p.mod2Source.load(), 4);
    EXPECT_EQ (p.parameterValues[mod2Src].load(), 0.04f);
    EXPECT_EQ (p.lfo2Waveform.load(), 7);

    p.setParameter (mod1Dest, 0.0651f);
    EXPECT_EQ (p.mod1Destination.load(), 7);
}

TEST (ModulationSources, TimerAndMidiFromOtherThreadsWaitForTheMessageThread)
{
    ZorvaluneAudioProcessor p;
    ASSERT_FALSE (p.isTimerRunning());

    std::thread host ([&]
    {
        p.setParameter (mod2Src, 0.06f);   // side-chain send on slot 2: starts the watchdog
        p.setParameter (mod1Src, 0.08f);   // MIDI
    });
    host.join();

    EXPECT_EQ (p.mod2Source.load(), 6);
    EXPECT_EQ (p.mod1Source.load(), 8);
    EXPECT_FALSE (p.isTimerRunning());
    EXPECT_EQ (p.midiWrapper, nullptr);

    p.handleAudioThreadRequests();
    EXPECT_TRUE (p.isTimerRunning());
    EXPECT_EQ (p.getTimerInterval(), 100);
    ASSERT_NE (p.midiWrapper, nullptr);

    // Enabling again keeps the one input.
    const auto* input = p.midiWrapper.get();
    p.setMod2Source (8);
    p.enableMidiReceive();
    EXPECT_EQ (p.midiWrapper.get(), input);
}

//==============================================================================
TEST (TempoLock, SyncedRatesFollowTheTempoAndTellTheHost)
{
    ZorvaluneAudioProcessor p;
    test_support::HostRecorder host (p);
    p.presetModified = 1;
    p.currentProgram = 3;
    p.lfo1SyncIndex = 8;     // one beat
    p.lfo2SyncIndex = 14;    // a quarter beat
    p.tempoBpm = 120.0f;
    const int counter = p.editorNotifyCounter.load();

    p.calc_delay_times();

    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 2.0f);
    EXPECT_FLOAT_EQ (p.lfo2Hz.load(), 8.0f);
    EXPECT_FLOAT_EQ (p.parameterValues[lfo1Freq].load(), 0.005f);
    EXPECT_FLOAT_EQ (p.parameterValues[lfo2Freq].load(), 0.02f);
    EXPECT_EQ (p.lfo1SyncIndex.load(), 8);
    EXPECT_EQ (p.lfo2SyncIndex.load(), 14);
    EXPECT_EQ (p.currentProgram.load(), 0);
    EXPECT_EQ (p.editorNotifyCounter.load(), counter + 3);
    ASSERT_EQ (host.changes.size(), 2u);
    EXPECT_EQ (host.changes[0].first, lfo1Freq);
    EXPECT_FLOAT_EQ (host.changes[0].second, 0.005f);
    EXPECT_EQ (host.changes[1].first, lfo2Freq);

    // Automation to a rate that matches no fraction keeps the choice, and the
    // next tempo change puts the locked rate back.
    p.setParameter (lfo1Freq, 0.0123f);
    EXPECT_EQ (p.lfo1SyncIndex.load(), 8);
    p.tempoBpm = 90.0f;
    p.calc_delay_times();
    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 1.5f);
    EXPECT_FLOAT_EQ (p.lfo2Hz.load(), 6.0f);
}

TEST (TempoLock, NothingLocksWithoutATempoOrAChoice)
{
    ZorvaluneAudioProcessor p;
    p.lfo1SyncIndex = 8;
    p.lfo1Hz = 0.7f;
    p.calc_delay_times();                  // tempo 0
    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 0.7f);

    p.tempoBpm = 120.0f;
    p.lfo1SyncIndex = 30;                  // not a key of the table
    p.lfo2SyncIndex = 0;                   // free
    p.lfo2Hz = 3.0f;
    const int counter = p.editorNotifyCounter.load();
    p.calc_delay_times();
    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 0.7f);
    EXPECT_FLOAT_EQ (p.lfo2Hz.load(), 3.0f);
    EXPECT_EQ (p.editorNotifyCounter.load(), counter + 1);

    // A very slow rate at tempo 0 must not lock to the slowest fraction.
    ZorvaluneAudioProcessor q;
    q.setParameter (lfo2Freq, 1.0e-6f);
    EXPECT_EQ (q.lfo2SyncIndex.load(), 0);
}

TEST (TempoLock, AutomatedRatesLockToTheNearestFraction)
{
    ZorvaluneAudioProcessor p;
    p.tempoBpm = 120.0f;

    // 120 BPM is 2 beats per second: each fraction's exact rate selects it.
    for (const auto& [key, beats] : sBeatFractions)
    {
        p.lfo2SyncIndex = 0;
        p.setParameter (lfo2Freq, 2.0f / beats / 400.0f);
        EXPECT_EQ (p.lfo2SyncIndex.load(), key) << "key " << key;
    }
}

TEST (ModulationRates, RatesReachTheOscillatorsWithTheNextBlock)
{
    auto p = makeProcessor (44100.0, 64, 2);
    p->setParameter (lfo1Freq, 0.0075f);   // 3 Hz
    p->lfo2Hz = 11.0f;                     // written straight to the field, as the panel does
    block_steps::run (*p, 1, 64);

    for (int c = 0; c < 2; ++c)
    {
        const auto& s = p->channelStates[(size_t) c];
        EXPECT_FLOAT_EQ (s.lfo1.frequency, 3.0f);
        EXPECT_FLOAT_EQ (s.lfo1.phaseIncrement, (float) (3.0 * juce::MathConstants<double>::twoPi / 44100.0));
        EXPECT_FLOAT_EQ (s.lfo2.frequency, 11.0f);
        EXPECT_FLOAT_EQ (s.lfo2.phaseIncrement, (float) (11.0 * juce::MathConstants<double>::twoPi / 44100.0));
    }
}

TEST (ModulationRates, EnvelopeSourcesOnOneSampleBlocks)
{
    auto p = makeProcessor (48000.0, 1, 2, 1);
    p->setParameter (sideGain1, 0.0f);     // 0 dB
    p->setMod1Source (9);
    p->setMod2Source (10);
    p->setParameter (mod1Dest, 0.04f);
    p->setParameter (mod2Dest, 0.01f);
    p->setParameter (noiseOn, 1.0f);
    p->setParameter (rmsTime, 0.0f);       // a window of one sample

    const auto out = block_steps::run (*p, 200, 1, [] (int c, int) { return c == 2 ? -0.4f : 0.3f; });

    EXPECT_TRUE (allFinite (out));
    EXPECT_FLOAT_EQ (p->mod1DisplayValue.load(), 0.4f);
    EXPECT_FLOAT_EQ (p->mod2DisplayValue.load(), 1.0f);   // slot 2's gain is still 20 dB: capped at 1
}

TEST (ModulationDestinations, TapeRotationAndDepth)
{
    // A square LFO so slow that it stays at +1, full depth, tape on: the
    // rotation destination speeds the wobble up eightfold, the depth
    // destination takes the pitch movement away entirely.
    const auto run = [] (float destination)
    {
        auto p = makeProcessor (48000.0, 512, 1);
        for (const auto& [index, value] : { std::pair<int, float> { mod1Src, 0.01f }, { lfo1Freq, 0.000025f }, { slewRate, 0.0f },
                                            { mod1Depth, 1.0f }, { mod1Dest, destination }, { tapeOn, 1.0f }, { tapeFreqDelta, 1.0f } })
            p->setParameter (index, value);

        block_steps::run (*p, 40, 512, block_steps::constant (0.25f));
        return p;
    };

    auto rotated = run (0.05f);
    EXPECT_FLOAT_EQ (rotated->tapeWobbleRate.load(), 8.0f);          // 1 Hz x (1 + 3.5 x (1 + 1))
    EXPECT_FLOAT_EQ (rotated->channelStates[0].tapeLfo.frequency, 8.0f);

    auto still = run (0.06f);
    EXPECT_EQ (still->channelStates[0].pitchRate, 1.0f);
    EXPECT_FLOAT_EQ (still->tapeWobbleRate.load(), 1.0f);

    auto free = run (0.0f);
    EXPECT_NE (free->channelStates[0].pitchRate, 1.0f);
}
