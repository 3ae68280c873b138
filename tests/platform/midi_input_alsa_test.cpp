#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "tests/message_pump.h"

#include <alsa/asoundlib.h>

// The real thing: a sequencer client that appears after the input opened is
// found by the device poll, connected, and its control change sets the parameter.
TEST (AlsaMidi, ALateSequencerSourceIsConnectedAndHeard)
{
    if (! juce::File ("/dev/snd/seq").exists())
        GTEST_SKIP() << "no ALSA sequencer on this machine";

    ZorvaluneAudioProcessor p;
    p.midi_CC_receive_mode = 1;
    p.enableMidiReceive();
    p.setParameter (5, 0.5f);

    snd_seq_t* keys = nullptr;

    if (snd_seq_open (&keys, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        GTEST_SKIP() << "the ALSA sequencer refused a client";

    const std::unique_ptr<snd_seq_t, int (*) (snd_seq_t*)> closer (keys, snd_seq_close);
    snd_seq_set_client_name (keys, "Zorvalune test keys");
    const int port = snd_seq_create_simple_port (keys, "keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE (port, 0);

    // Sent again and again: the device poll connects the keyboard within a second or so.
    EXPECT_TRUE (test_support::pumpMessagesUntil ([&]
    {
        snd_seq_event_t event;
        snd_seq_ev_clear (&event);
        snd_seq_ev_set_source (&event, port);
        snd_seq_ev_set_subs (&event);
        snd_seq_ev_set_direct (&event);
        event.type = SND_SEQ_EVENT_CONTROLLER;   // fixed length, channel 0
        event.data.control.param = 102;
        event.data.control.value = 127;
        snd_seq_event_output_direct (keys, &event);

        test_support::pumpMessagesFor (50);
        return p.getParameter (5) == 1.0f;
    }, 5000));
}
