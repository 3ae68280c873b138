#include "engine_test_support.h"
#include "tests/message_pump.h"
#include "tests/wrapper_type.h"
#include "engine/step_snapshots.h"
#include "gui/panels/edit_protocol.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

// A host that restores states, switches programs and automates parameters from
// two threads of its own while its audio thread plays (and applies sequencer
// steps), now and then at another rate, and its message thread takes what the
// audio thread hands over and loads presets. Built with ThreadSanitizer this
// finds any value handed between threads unsafely; in every build the sound
// stays finite and clipped.

namespace
{
    using namespace engine_test;

    // States with the sequencer on and running, eight stored steps and LFO
    // sources that the steps switch, as a preset loaded mid-play brings them.
    std::vector<juce::MemoryBlock> sequencerStates()
    {
        std::vector<juce::MemoryBlock> states;
        ZorvaluneAudioProcessor source;

        for (int s = 0; s < 6; ++s)
        {
            source.setCurrentProgram (s);
            source.setParameter (seqOn, 1.0f);
            source.setParameter (seqMode, s % 2 == 0 ? 0.1f : 0.2f);
            source.setParameter (seqNrBars, 0.01f);   // short steps: many changes

            for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
            {
                for (int i = 0; i < ZorvaluneAudioProcessor::NUM_PARAMETERS; ++i)
                    source.stepSnapshots[k][i] = source.parameterValues[(size_t) i].load();

                source.stepSnapshots[k][dryWet] = (float) k / 8.0f;
                source.stepSnapshots[k][mod1Src] = (float) ((k + s) % 5) / 100.0f;
                source.stepSnapshots[k][mod2Src] = (float) ((k + 2 * s) % 5) / 100.0f;
                source.stepSnapshots[k][seqStepSaved] = (float) (k + 1);
            }

            juce::MemoryBlock state;
            source.getStateInformation (state);
            states.push_back (state);
        }

        return states;
    }

    std::unique_ptr<ZorvaluneAudioProcessor> makeProcessorIn (juce::AudioProcessor::WrapperType wrapper)
    {
        const test_support::ScopedWrapperType type (wrapper);
        return makeProcessor (48000.0, 512);
    }

    void pause (std::mt19937& random, int fromMicroseconds, int toMicroseconds)
    {
        const auto span = (unsigned) (toMicroseconds - fromMicroseconds);
        std::this_thread::sleep_for (std::chrono::microseconds (fromMicroseconds + (int) (random() % span)));
    }
}

TEST (ThreadedHost, StatesProgramsAndParametersChangeWhilePlaying)
{
    const auto states = sequencerStates();
    auto p = makeProcessor (48000.0, 1024);
    test_play_head head;
    head.playing = true;
    p->setPlayHead (&head);

    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 }, loads { 0 }, parameterChanges { 0 }, badBlocks { 0 };
    int presetLoads = 0;

    std::thread audio ([&]
    {
        std::mt19937 random (1);
        std::uniform_real_distribution<float> noise (-0.5f, 0.5f);
        juce::AudioBuffer<float> buffer (2, 1024);
        juce::MidiBuffer midi;

        while (! stop.load())
        {
            const int n = 1 + (int) (random() % 1024);
            buffer.setSize (2, n, false, false, true);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (c, i, noise (random));

            // Now and then the transport stops and starts again: the sequence
            // then starts over on this thread. Between blocks the host may
            // prepare the plug-in for another rate.
            if (random() % 200 == 0)
                head.playing = ! head.playing;

            if (random() % 300 == 0)
                p->prepareToPlay (random() % 2 == 0 ? 44100.0 : 48000.0, 1024);

            head.time += n;
            p->processBlock (buffer, midi);
            const auto range = buffer.findMinMax (0, 0, n);

            if (! (range.getStart() >= -1.0f && range.getEnd() <= 1.0f))
                ++badBlocks;

            ++blocks;
        }
    });

    std::thread host ([&]
    {
        std::mt19937 random (2);

        while (! stop.load())
        {
            if (random() % 2 == 0)
            {
                p->setCurrentProgram ((int) (random() % 8));
            }
            else
            {
                const auto& state = states[random() % states.size()];
                p->setStateInformation (state.getData(), (int) state.getSize());
            }

            juce::MemoryBlock saved;
            p->getStateInformation (saved);
            ++loads;
            pause (random, 1000, 20000);
        }
    });

    std::thread automation ([&]
    {
        std::mt19937 random (3);

        while (! stop.load())
        {
            p->setParameter ((int) (random() % ZorvaluneAudioProcessor::NUM_PARAMETERS), (float) (random() % 1001) / 1000.0f);
            ++parameterChanges;
            pause (random, 200, 1000);
        }
    });

    // The message thread loads presets (a state with stored steps) while the
    // host thread saves the state.
    std::mt19937 random (4);

    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds (3); std::chrono::steady_clock::now() < end;)
    {
        const auto& state = states[random() % states.size()];
        p->setStateInformation (state.getData(), (int) state.getSize());
        ++presetLoads;
        test_support::pumpMessagesFor (5);
    }

    stop = true;

    for (auto* t : { &audio, &host, &automation })
        t->join();

    test_support::pumpMessages();

    EXPECT_GT (blocks.load(), 100);
    EXPECT_GT (loads.load(), 20);
    EXPECT_GT (presetLoads, 20);
    EXPECT_GT (parameterChanges.load(), 200);
    EXPECT_EQ (badBlocks.load(), 0);

    // Afterwards a program still reads as it does on a fresh instance.
    ZorvaluneAudioProcessor fresh;
    fresh.setCurrentProgram (3);
    p->setCurrentProgram (3);

    for (int i = 0; i < ZorvaluneAudioProcessor::NUM_PARAMETERS; ++i)
        EXPECT_EQ (p->parameterValues[(size_t) i].load(), fresh.parameterValues[(size_t) i].load()) << i;

    p->setPlayHead (nullptr);
}

namespace
{
    // What the LV2 client keeps of the values it tells the host: a plain flag
    // that its audio thread raises while it applies a value the host sent and
    // that every report reads, and counts that its audio thread reads. Reports
    // made on any other thread are counted (ThreadSanitizer sees the race too).
    struct lv2_host_storage : juce::AudioProcessorListener
    {
        bool hostIsSetting = false;
        int heard = 0, drags = 0;
        std::atomic<std::thread::id> audioThread {};
        std::atomic<int> offTheAudioThread { 0 };

        void note (int& count)
        {
            if (std::this_thread::get_id() != audioThread.load())
                ++offTheAudioThread;

            if (! hostIsSetting)
                ++count;
        }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { note (heard); }
        void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int) override { note (drags); }
        void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int) override { note (drags); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
        {
            if (details.latencyChanged)
                note (heard);
        }

        void setFromHost (juce::AudioProcessor& p, int index, float value)
        {
            hostIsSetting = true;
            p.setParameterNotifyingHost (index, value);
            hostIsSetting = false;
        }
    };
}

// As an LV2, programs and states restored on other threads, drags in our
// editor and the settled delay reach the host's storage only from the audio
// thread, where the host also sets values.
TEST (ThreadedHost, AnLv2HostHearsRestoredValuesOnItsAudioThread)
{
    const auto states = sequencerStates();
    const auto p = makeProcessorIn (juce::AudioProcessor::wrapperType_LV2);

    lv2_host_storage storage;
    p->addListener (&storage);
    std::atomic<bool> stop { false };
    std::atomic<int> restores { 0 };

    std::thread audio ([&]
    {
        storage.audioThread = std::this_thread::get_id();
        std::mt19937 random (5);
        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;

        while (! stop.load() || restores.load() == 0)
        {
            storage.setFromHost (*p, (int) (random() % ZorvaluneAudioProcessor::NUM_PARAMETERS), (float) (random() % 101) / 100.0f);
            buffer.clear();
            p->processBlock (buffer, midi);
        }

        // The last restore's values go out with the next block.
        p->processBlock (buffer, midi);
    });

    std::mt19937 random (6);

    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds (1); std::chrono::steady_clock::now() < end;)
    {
        const auto& state = states[random() % states.size()];

        if (random() % 2 == 0)
            p->setCurrentProgram ((int) (random() % 8));
        else
            p->setStateInformation (state.getData(), (int) state.getSize());

        const int knob = (int) (random() % ZorvaluneAudioProcessor::NUM_PARAMETERS);
        edit_protocol::beginGesture (*p, knob);
        edit_protocol::write (*p, knob, (float) (random() % 101) / 100.0f);
        edit_protocol::endGesture (*p, knob);
        ++restores;
        test_support::pumpMessagesFor (2);
    }

    stop = true;
    audio.join();
    p->removeListener (&storage);

    EXPECT_EQ (storage.offTheAudioThread.load(), 0);
    EXPECT_GE (storage.heard, ZorvaluneAudioProcessor::NUM_PARAMETERS);
    EXPECT_GT (storage.drags, 0);
}

namespace
{
    // What the VST3 client keeps of the values it shows the host, with no
    // editor open: plain values that it writes for changes reported on the
    // message thread (a thread of the framework's then), and that the host's
    // thread reads in its own calls. Changes reported elsewhere reach the host
    // through the audio thread and are not kept here.
    struct vst3_controller_values : juce::AudioProcessorListener
    {
        std::array<float, ZorvaluneAudioProcessor::NUM_PARAMETERS> values {};
        std::atomic<bool> hostWaitsInProgramChange { false };
        std::atomic<int> keptWhileHostBusy { 0 };

        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
        {
            if (! juce::MessageManager::getInstance()->isThisTheMessageThread())
                return;

            values[(size_t) index] = value;
            keptWhileHostBusy += hostWaitsInProgramChange ? 0 : 1;
        }

        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    };
}

// As a VST3 with no editor open, a program changed from the host's thread is
// in the controller's values when the change returns, put there by the
// message thread while the host's thread waited, never while it went on.
TEST (ThreadedHost, AVst3HostFindsAProgramsValuesInItsControllerWhenTheChangeReturns)
{
    const auto p = makeProcessorIn (juce::AudioProcessor::wrapperType_VST3);
    vst3_controller_values controller;
    p->addListener (&controller);
    std::atomic<bool> hostDone { false };
    int stale = 0;

    std::thread host ([&]
    {
        std::mt19937 random (7);

        for (int round = 0; round < 100; ++round)
        {
            controller.hostWaitsInProgramChange = true;
            p->setCurrentProgram ((int) (random() % 8));
            controller.hostWaitsInProgramChange = false;

            for (int i = 0; i < ZorvaluneAudioProcessor::NUM_PARAMETERS; ++i)   // the host re-reads them
                stale += controller.values[(size_t) i] != p->getParameter (i) ? 1 : 0;
        }

        hostDone = true;
    });

    while (! hostDone.load())
        test_support::pumpMessagesFor (2);

    host.join();
    p->removeListener (&controller);

    EXPECT_EQ (stale, 0);
    EXPECT_EQ (controller.keptWhileHostBusy.load(), 0);
}

TEST (ThreadedHost, AStepStoredWholeIsReadWhole)
{
    // A writer fills a step with one value at a time; readers on other threads
    // must never see two values in one copy.
    step_snapshot_store<2, 48> steps;
    std::atomic<bool> stop { false };
    std::atomic<int> torn { 0 };

    std::thread writer ([&]
    {
        for (int round = 1; ! stop.load(); ++round)
            steps.store (1, [round] (auto& values) { values.fill ((float) round); });
    });

    const auto readWhole = [&] (bool mayWait)
    {
        for (int i = 0; i < 200000; ++i)
        {
            step_snapshot_store<2, 48>::values v;

            if (mayWait)
                v = steps.read (1);
            else if (! steps.tryRead (1, v))
                continue;

            if (std::count (v.begin(), v.end(), v[0]) != (long) v.size())
                ++torn;
        }
    };

    std::thread reader ([&] { readWhole (false); });
    readWhole (true);
    reader.join();
    stop = true;
    writer.join();

    EXPECT_EQ (torn.load(), 0);
}

TEST (ThreadedHost, StepsRacingHostWritesLeaveEachFilterDesignedFromItsValues)
{
    // Round after round, the audio thread applies a step that moves two
    // filters while a host thread writes one of the same filters' parameters
    // at the same moment; then the message thread takes what the audio thread
    // handed over. After every round each set is the design of the values its
    // parameters hold.
    auto p = makeProcessor (48000.0, 512);
    storeFilterSteps (*p);

    // Steps of 360 samples: every block of 512 changes step.
    p->setParameter (seqBpm, 1.0f);
    p->setParameter (seqNrBars, 0.17f);
    p->setParameter (seqMode, 0.1f);
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;
    buffer.clear();
    p->processBlock (buffer, midi);
    p->setParameter (seqOn, 1.0f);

    constexpr int rounds = 10000;
    std::atomic<int> round { 0 }, finished { 0 };

    const auto eachRound = [&] (auto&& work)
    {
        return std::thread ([&, work] () mutable
        {
            for (int r = 1; r <= rounds; ++r)
            {
                while (round.load() < r)
                    std::this_thread::yield();

                work();
                ++finished;
            }
        });
    };

    auto audio = eachRound ([&] { buffer.clear(); p->processBlock (buffer, midi); });

    std::mt19937 random (5);
    auto host = eachRound ([&, random] () mutable
    {
        const int filterParameters[] = { inLowPassFreq, noiseFilterFreq, noiseFilterType, noiseFilterQ };
        p->setParameter (filterParameters[random() % 4], (float) (random() % 1001) / 1000.0f);
    });

    int inconsistent = 0;

    for (int r = 1; r <= rounds; ++r)
    {
        round = r;

        while (finished.load() < 2 * r)
            std::this_thread::yield();

        p->handleAudioThreadRequests();
        inconsistent += filterSetsFollowTheValues (*p) ? 0 : 1;
    }

    audio.join();
    host.join();
    EXPECT_EQ (inconsistent, 0);
}
