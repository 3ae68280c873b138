#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "tests/message_pump.h"

#include <alsa/asoundlib.h>

namespace
{
    // A keyboard of our own: an ALSA sequencer client with one readable port.
    struct sequencer_keyboard
    {
        sequencer_keyboard()
        {
            if (snd_seq_open (&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
                return;

            snd_seq_set_client_name (seq, "Zorvalune test keys");
            port = snd_seq_create_simple_port (seq, "keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                               SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        }

        ~sequencer_keyboard()
        {
            if (seq != nullptr)
                snd_seq_close (seq);
        }

        bool usable() const { return seq != nullptr && port >= 0; }

        void controlChange (int controller, int value)
        {
            snd_seq_event_t event;
            snd_seq_ev_clear (&event);
            snd_seq_ev_set_source (&event, port);
            snd_seq_ev_set_subs (&event);
            snd_seq_ev_set_direct (&event);
            event.type = SND_SEQ_EVENT_CONTROLLER;   // fixed length, channel 0
            event.data.control.param = (unsigned int) controller;
            event.data.control.value = value;
            snd_seq_event_output_direct (seq, &event);
        }

        snd_seq_t* seq = nullptr;
        int port = -1;
    };
}

// The real thing: a source that appears after the input opened is found by
// the device poll, connected, and its control change sets the parameter.
TEST (AlsaMidi, ALateSequencerSourceIsConnectedAndHeard)
{
    if (! juce::File ("/dev/snd/seq").exists())
        GTEST_SKIP() << "no ALSA sequencer on this machine";

    ZorvaluneAudioProcessor p;
    p.midi_CC_receive_mode = 1;
    p.enableMidiReceive();

    sequencer_keyboard keys;

    if (! keys.usable())
        GTEST_SKIP() << "the ALSA sequencer refused a client";

    p.setParameter (5, 0.5f);
    const auto until = juce::Time::getMillisecondCounter() + 5000;

    while (p.getParameter (5) != 1.0f && juce::Time::getMillisecondCounter() < until)
    {
        keys.controlChange (102, 127);
        test_support::pumpMessagesFor (100);
    }

    EXPECT_EQ (p.getParameter (5), 1.0f);
}
