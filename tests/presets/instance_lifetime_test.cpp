#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/cloud_documents.h"
#include "presets/cloud_watcher.h"
#include "tests/message_pump.h"
#include "tests/platform/fake_midi_services.h"
#include "tests/preset_folder_fixture.h"

#include <thread>

namespace
{
    class InstanceLifetime : public test_support::PresetFolderTest {};

    // Destroys `p` on a thread of its own while this (the message) thread goes
    // on running what was posted: watcher reports, MIDI tasks, timers.
    void destroyElsewhere (std::unique_ptr<ZorvaluneAudioProcessor> p)
    {
        std::atomic<bool> gone { false };
        std::thread killer ([&] { p.reset(); gone = true; });

        while (! gone)
            test_support::pumpMessages (20);

        killer.join();
    }
}

// Hosts delete instances on whatever thread they like. Each instance here has
// a watched cloud folder that keeps changing, an open MIDI input that a
// keyboard plays into all along, and tasks posted for it when it dies.
TEST_F (InstanceLifetime, InstancesDieOnAnotherThreadWhileTheWatcherScansAndMidiTasksWait)
{
    const auto cloud = root.getChildFile ("cloud");

    for (int i = 0; i < 50; ++i)
        put (cloud, "p" + juce::String (i) + ".json", "{}");

    put (local(), "a.json", "{}");
    platform::cloud_documents::setDocumentsFolder (cloud);
    test_support::ScopedFakeMidi midi;
    midi.services->addSource ("kbd", juce::String ("Keys"), 7);

    std::atomic<bool> playing { true };
    std::thread keyboard ([&]
    {
        for (int n = 0; playing; ++n)
        {
            midi.services->send ("kbd", { { 0xB0, 102, (std::uint8_t) (n & 127) }, { 0xC0, 0 } });
            std::this_thread::sleep_for (std::chrono::milliseconds (2));   // a pace the message thread keeps up with, also when instrumented
        }
    });

    int withScanner = 0;
    constexpr int instances = 300;

    for (int i = 0; i < instances; ++i)
    {
        auto p = std::make_unique<ZorvaluneAudioProcessor>();
        p->midi_CC_receive_mode = 1;
        p->midi_progr_change_mode = 1;
        p->enableMidiReceive();

        // Die at every stage: before the lookup answers, while scanning, with reports queued.
        test_support::pumpMessagesFor (i % 7);

        if (i % 3 == 0)
            put (cloud, "changing.json", juce::String (i));

        {
            const std::lock_guard<std::mutex> hold (sCloudscannersLock);
            withScanner += sCloudscanners.count (p.get()) != 0 ? 1 : 0;
        }

        destroyElsewhere (std::move (p));
    }

    playing = false;
    keyboard.join();
    test_support::pumpMessagesFor (50);

    EXPECT_GT (withScanner, instances / 10);   // many died while watching
    const std::lock_guard<std::mutex> hold (sCloudscannersLock);
    EXPECT_TRUE (sCloudscanners.empty());
}

namespace
{
    // A host's view that holds the settled delay's report (a timer callback of
    // the instance) for longer than any timeout a destructor might give up
    // after, unless the instance is deleted meanwhile.
    struct held_latency_report : juce::AudioProcessorListener
    {
        std::atomic<bool> entered { false }, deleted { false }, deletedWhileHeld { false };

        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
        {
            if (! details.latencyChanged || entered.exchange (true))
                return;

            for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (1100);
                 std::chrono::steady_clock::now() < end && ! deleted.load();)
                std::this_thread::sleep_for (std::chrono::milliseconds (5));

            deletedWhileHeld = deleted.load();
        }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
    };
}

// Deleting an instance elsewhere waits for a callback of ours under way, until
// it ends, and for nothing else: not for a message thread that is busy.
TEST_F (InstanceLifetime, DeletingElsewhereWaitsOnlyForACallbackUnderWay)
{
    {
        std::vector<std::unique_ptr<ZorvaluneAudioProcessor>> instances (3);

        for (auto& p : instances)
            p = std::make_unique<ZorvaluneAudioProcessor>();

        // This (the message) thread runs nothing meanwhile.
        const auto start = std::chrono::steady_clock::now();
        std::thread ([&] { instances.clear(); }).join();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds> (std::chrono::steady_clock::now() - start);
        EXPECT_LT (took.count(), 500) << "ms to delete three instances";
    }

    auto p = std::make_unique<ZorvaluneAudioProcessor>();
    p->prepareToPlay (48000.0, 4096);
    held_latency_report host;
    p->addListener (&host);
    p->setParameter (22, 0.05f);   // "TapeRotation": the tape's delay moves

    std::atomic<bool> gaveUp { false };

    std::thread killer ([&]
    {
        while (! host.entered.load() && ! gaveUp.load())
            std::this_thread::sleep_for (std::chrono::milliseconds (1));

        if (host.entered.load())   // the report is under way: delete meanwhile
        {
            p.reset();
            host.deleted = true;
        }
    });

    juce::AudioBuffer<float> buffer (2, 4096);
    juce::MidiBuffer midi;

    // Plays until the settled delay is reported (the report then holds this thread).
    for (int i = 0; i < 200 && ! host.entered.load(); ++i)
    {
        buffer.clear();
        p->processBlock (buffer, midi);
        test_support::pumpMessagesFor (5);
    }

    gaveUp = ! host.entered.load();
    killer.join();
    ASSERT_TRUE (host.deleted.load()) << "no settled delay was reported";
    EXPECT_FALSE (host.deletedWhileHeld.load());
}
