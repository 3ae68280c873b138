#pragma once

#include "../platform/midi_services.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ZorvaluneAudioProcessor;

namespace MIDI_WRAPPER
{
    // Gets the first message of each packet: caller, status, channel, data1, data2.
    using receive_callback = std::function<void (void*, int, int, int, int)>;

    // The MIDI input of one processor: a client of the system's MIDI services
    // with one input port that every source is connected to. Created once, on
    // the message thread, and kept until the processor is destroyed.
    class midi_wrapper
    {
    public:
        // The callback is in place before any source is connected, and never
        // changes while the MIDI thread may read it.
        midi_wrapper (std::shared_ptr<platform::midi::services> services, receive_callback callback, void* caller);
        ~midi_wrapper();

        // Message thread: connects every usable source of the system to the port.
        void connect_source_endpoints();

        const std::string clientName { "Zorvalune" };
        std::unique_ptr<platform::midi::client> midiClient;
        bool inputPort = false;
        std::vector<platform::midi::source> sources;
        const receive_callback receiveCallback;
        void* const callbackCaller;
        const std::int32_t ownUniqueID = 0;
        int logSources = 1;

    private:
        std::shared_ptr<platform::midi::services> services;

        JUCE_DECLARE_NON_COPYABLE (midi_wrapper)
    };

    // The client's notification: a source was added.
    void myMIDINotifyProc (midi_wrapper* wrapper);

    // The port's read procedure, on the MIDI thread.
    void myMidiInReadProc (midi_wrapper* wrapper, const platform::midi::packet* packets, int count);

    // Stores the two modes in the preferences and opens the MIDI input when
    // one of them is on: at the standalone program's start and when a
    // plug-in's state is restored.
    void saveMidiPrefsTask (ZorvaluneAudioProcessor& processor);
}
