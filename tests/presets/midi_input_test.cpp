#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/config_folder.h"
#include "presets/midi_wrapper.h"
#include "tests/host_recorder.h"
#include "tests/message_pump.h"
#include "tests/platform/fake_midi_services.h"

#include <thread>

namespace
{
    using bytes = test_support::fake_midi_services::bytes;

    constexpr int noiseMix = 5;      // controller 102
    constexpr int slewRate = 38;     // controller 115
    constexpr int clipGain = 17, saturation = 18;    // controllers 104 and 103

    // A processor whose MIDI input listens to one fake keyboard.
    struct midi_rig
    {
        midi_rig()
        {
            midi.services->addSource ("kbd", juce::String ("Keys"), 7);
            p.enableMidiReceive();
        }

        // From the MIDI thread, then whatever that posted runs on the message thread.
        void send (const std::vector<bytes>& packets)
        {
            std::thread ([&] { midi.services->send ("kbd", packets); }).join();
            test_support::pumpMessages();
        }

        float controlChange (int channel, int controller, int value, int parameter = noiseMix)
        {
            send ({ { (std::uint8_t) (0xB0 | channel), (std::uint8_t) controller, (std::uint8_t) value } });
            return p.getParameter (parameter);
        }

        test_support::ScopedFakeMidi midi;
        ZorvaluneAudioProcessor p;
    };
}

TEST (MidiInput, TheModesAndTheChannelDecideWhatPasses)
{
    midi_rig rig;
    auto& p = rig.p;
    p.setParameter (noiseMix, 0.5f);
    EXPECT_EQ (rig.controlChange (0, 102, 127), 0.5f);   // both modes off: the open input drops everything

    p.midi_CC_receive_mode = 1;   // channel -1: all sixteen pass

    for (int channel = 0; channel < 16; ++channel)
    {
        p.setParameter (noiseMix, 0.5f);
        EXPECT_EQ (rig.controlChange (channel, 102, 127), 1.0f) << channel;
    }

    p.midi_progr_change_channel = 3;   // MIDI channel 4 only
    EXPECT_EQ (rig.controlChange (2, 102, 0), 1.0f);
    EXPECT_EQ (rig.controlChange (3, 102, 0), 0.0f);

    // Program changes on, control changes off.
    p.midi_CC_receive_mode = 0;
    p.midi_progr_change_mode = 1;
    EXPECT_EQ (rig.controlChange (3, 102, 127), 0.0f);
}

TEST (MidiInput, ControllersSetTheirParametersFromTheFirstMessageOfAPacketWithoutTellingTheHost)
{
    midi_rig rig;
    auto& p = rig.p;
    p.midi_CC_receive_mode = 1;
    test_support::HostRecorder host (p);
    p.setParameter (slewRate, 0.25f);

    EXPECT_EQ (rig.controlChange (0, 102, 64), (float) (64 / 127.0));
    EXPECT_EQ (p.presetModified.load(), 1);
    EXPECT_EQ (rig.controlChange (0, 101, 0), (float) (64 / 127.0));   // not mapped
    EXPECT_EQ (rig.controlChange (0, 116, 0, slewRate), 0.25f);

    // An empty packet reads as status 0 and is dropped; the list goes on.
    rig.send ({ {}, { 0xB0, 115, 127, 0xB0, 102, 127 } });
    EXPECT_EQ (p.getParameter (slewRate), 1.0f);
    EXPECT_EQ (p.getParameter (noiseMix), (float) (64 / 127.0));

    rig.send ({ { 0xB0, 102 } });   // no value byte: 0
    EXPECT_EQ (p.getParameter (noiseMix), 0.0f);

    p.setParameter (clipGain, 0.5f);
    EXPECT_EQ (rig.controlChange (0, 103, 127, saturation), 1.0f);
    EXPECT_EQ (p.getParameter (clipGain), 0.5f);
    EXPECT_TRUE (host.changes.empty());
}

TEST (MidiInput, ProgramChangesPickAUserPresetByPositionOrByNameTag)
{
    const auto folder = platform::configFolder().getChildFile ("Zorvalune/userPresets");
    ASSERT_TRUE (folder.createDirectory());
    const char* names[] = { "Zeta", "a.midi1", "b.midi01", "c.midi", "d.midi 7", "x.MIDI4" };

    for (size_t i = 0; i < std::size (names); ++i)
        ASSERT_TRUE (folder.getChildFile (juce::String (names[i]) + ".json")
                         .replaceWithText ("{ \"Dry Wet\": " + juce::String ((double) (i + 1) / 10.0) + " }"));

    midi_rig rig;
    auto& p = rig.p;
    p.getUserPresetNames (1);
    const auto programChange = [&] (int program)
    {
        p.currentUserPreset = juce::String();
        rig.send ({ { 0xC0, (std::uint8_t) program } });
        return p.currentUserPreset.get();
    };

    p.midi_progr_change_mode = 1;   // by position, in sorted order: Zeta comes first
    EXPECT_EQ (programChange (0), "Zeta");
    EXPECT_EQ (p.getParameter (0), 0.1f);
    EXPECT_EQ (programChange (2), "b.midi01");
    EXPECT_EQ (programChange (6), "");     // one past the last preset
    EXPECT_EQ (programChange (7), "");
    EXPECT_EQ (p.midi_progr_change_mode, 1);   // a preset load keeps the MIDI settings

    p.midi_progr_change_mode = 2;   // by the number after ".midi"; the first match wins
    EXPECT_EQ (programChange (1), "a.midi1");
    EXPECT_EQ (programChange (7), "d.midi 7");
    EXPECT_EQ (programChange (4), "");
    EXPECT_EQ (programChange (0), "");   // "c.midi" has no tag at all
    EXPECT_EQ (p.getParameter (0), 0.5f);

    folder.deleteRecursively();
}

TEST (MidiInput, OneInputConnectsTheUsableSourcesAlsoWhenTheyAppearLater)
{
    test_support::ScopedFakeMidi midi;
    midi.services->addSource ("keys", juce::String ("Keys"), 11);
    midi.services->addSource ("nameless", std::nullopt, 12);
    midi.services->addSource ("zero", juce::String ("Zero"), 0);
    midi.services->setGreeting ({ 0xB0, 102, 0 });

    ZorvaluneAudioProcessor p;
    p.midi_CC_receive_mode = 1;
    std::thread first ([&] { p.enableMidiReceive(); }), second ([&] { p.enableMidiReceive(); });
    first.join();
    second.join();
    EXPECT_EQ (p.midiWrapper, nullptr);   // opened on the message thread only
    p.handleAudioThreadRequests();
    test_support::pumpMessages();
    EXPECT_EQ (midi.services->clientsCreated.load(), 1);

    EXPECT_EQ (p.getParameter (noiseMix), 0.0f);   // heard: the callback was in place before the connection
    EXPECT_TRUE (midi.services->isConnected ("keys"));
    EXPECT_FALSE (midi.services->isConnected ("nameless"));
    EXPECT_FALSE (midi.services->isConnected ("zero"));

    std::thread ([&] { midi.services->addSource ("pads", juce::String ("Pads"), 13); }).join();
    test_support::pumpMessages();
    std::thread ([&] { midi.services->send ("pads", { { 0xB0, 102, 127 } }); }).join();
    test_support::pumpMessages();
    EXPECT_EQ (p.getParameter (noiseMix), 1.0f);
}

TEST (MidiInput, MessagesArrivingWhileTheProcessorGoesAwayReachNothing)
{
    test_support::ScopedFakeMidi midi;
    midi.services->addSource ("kbd", juce::String ("Keys"), 7);
    std::atomic<bool> stop { false };
    std::thread keyboard ([&]
    {
        for (std::uint8_t v = 0; ! stop.load(); ++v)
            midi.services->send ("kbd", { { 0xB0, 102, (std::uint8_t) (v & 0x7F) }, { 0xC0, 1 } });
    });

    for (int round = 0; round < 20; ++round)
    {
        auto p = std::make_unique<ZorvaluneAudioProcessor>();
        p->midi_CC_receive_mode = 1;
        p->midi_progr_change_mode = 1;
        p->enableMidiReceive();
        juce::Thread::sleep (1);
        p.reset();
        test_support::pumpMessages();
    }

    stop = true;
    keyboard.join();
    EXPECT_FALSE (midi.services->isConnected ("kbd"));
}
