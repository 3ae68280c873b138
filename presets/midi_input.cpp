// MIDI remote control: the processor's own input on the system's MIDI
// services, the channel filter, and the program and control change tasks.

#include "midi_wrapper.h"

#include "factory_presets.h"
#include "preference_keys.h"
#include "../engine/PluginProcessor.h"
#include "../platform/system_log.h"
#include "../platform/user_defaults.h"

#include <climits>
#include <cstdio>

//============================================================================== the input
MIDI_WRAPPER::midi_wrapper::midi_wrapper (std::shared_ptr<platform::midi::services> s, receive_callback callback, void* caller)
    : receiveCallback (std::move (callback)), callbackCaller (caller), services (std::move (s))
{
    const juce::String name (clientName);
    midiClient = services->createClient (name + "client", "Quarvel", [this] { myMIDINotifyProc (this); });

    if (midiClient != nullptr)
        inputPort = midiClient->createInputPort (name + "In Port", [this] (const platform::midi::packet* packets, int count)
                                                 { myMidiInReadProc (this, packets, count); });

    connect_source_endpoints();
}

MIDI_WRAPPER::midi_wrapper::~midi_wrapper()
{
    midiClient.reset();   // afterwards no notification or packet reaches us
}

void MIDI_WRAPPER::midi_wrapper::connect_source_endpoints()
{
    if (midiClient == nullptr || ! inputPort)
        return;

    sources = midiClient->sources();

    for (const auto& source : sources)
    {
        if (! source.displayName.has_value())
            continue;

        if (logSources != 0)
            std::printf ("midi source : %s\n", source.displayName->toRawUTF8());

        if (source.uniqueID != ownUniqueID)
            midiClient->connectSource (source);
    }
}

void MIDI_WRAPPER::myMIDINotifyProc (midi_wrapper* wrapper)
{
    if (wrapper != nullptr && wrapper->inputPort)
        wrapper->connect_source_endpoints();
}

void MIDI_WRAPPER::myMidiInReadProc (midi_wrapper* wrapper, const platform::midi::packet* packets, int count)
{
    if (wrapper == nullptr || packets == nullptr || count <= 0 || ! wrapper->receiveCallback)
        return;

    // Only the first message of a packet counts.
    for (int i = 0; i < count; ++i)
    {
        const auto& p = packets[i];
        const int first = p.length > 0 ? p.data[0] : 0;
        wrapper->receiveCallback (wrapper->callbackCaller, first & 0xF0, first & 0x0F,
                                  p.length >= 2 ? p.data[1] : 0,
                                  p.length >= 3 ? p.data[2] : 0);
    }
}

void ZorvaluneAudioProcessor::enableMidiReceive()
{
    // The system's MIDI services are driven from the message thread alone;
    // another thread leaves a request, so two first calls still make one input.
    runOnMessageThread (audio_thread_requests::enableMidi, [this]
    {
        // The input may outlive us briefly (it is deleted on the message
        // thread): its messages reach us only while we live.
        std::weak_ptr<AliveToken> weak = aliveToken;
        auto midiInputCallback = [weak] (void* caller, int status, int channel, int data1, int data2)
        {
            whileAliveOffMessageThread (weak, [&] (ZorvaluneAudioProcessor& p)
            {
                if (&p == caller)
                    p.midiReceiveCallback (status, channel, data1, data2);
            });
        };

        if (midiWrapper == nullptr)
            midiWrapper = std::make_unique<MIDI_WRAPPER::midi_wrapper> (platform::midi::systemServices(), midiInputCallback, this);
    });
}

//============================================================================== what a message does
namespace
{
    // atoi's reading of a number tag, saturating where atoi would overflow.
    int leadingInteger (const juce::String& text)
    {
        const auto utf8 = text.toStdString();
        size_t i = utf8.find_first_not_of (" \t\n\v\f\r");

        if (i == std::string::npos)
            return 0;

        const bool negative = utf8[i] == '-';
        if (utf8[i] == '-' || utf8[i] == '+')
            ++i;
        long long value = 0;

        for (; i < utf8.size() && utf8[i] >= '0' && utf8[i] <= '9'; ++i)
            value = std::min (value * 10 + (utf8[i] - '0'), (long long) INT_MAX);

        return (int) (negative ? -value : value);
    }

    void controlChangeTask (ZorvaluneAudioProcessor& p, int status, int channel, int data1, int data2)
    {
        platform::system_log::notice ("Zorvalune received Control Change : %x  on chan %d : %d  \n", status, channel, data1);

        if (const auto mapped = sMidiCC2Param.find (data1); mapped != sMidiCC2Param.end())
            p.setParameter (mapped->second, (float) (data2 / 127.0));
    }

    void programChangeTask (ZorvaluneAudioProcessor& p, int status, int channel, int program)
    {
        platform::system_log::notice ("Zorvalune received Program Change : %x  on chan %d : %d  \n", status, channel, program);
        const auto& names = p.userPresetNames;

        if (p.midi_progr_change_mode.load() == 1)
        {
            if (program < (int) names.size())
                if (const auto name = *std::next (names.begin(), program); name.isNotEmpty())
                    p.loadUserPreset (name);

            return;
        }

        for (const auto& name : names)
        {
            if (! name.contains (".midi"))
                continue;

            const auto tag = name.fromLastOccurrenceOf (".midi", false, true);

            if (tag.isNotEmpty() && leadingInteger (tag) == program)
            {
                const auto chosen = name;   // the load may rebuild the list
                p.loadUserPreset (chosen);
                return;
            }
        }
    }
}

// The MIDI thread: it reads the settings and hands what passes to the message thread.
void ZorvaluneAudioProcessor::midiReceiveCallback (int status, int channel, int data1, int data2)
{
    const int programMode = midi_progr_change_mode.load();
    const int ccMode = midi_CC_receive_mode.load();
    const int wanted = midi_progr_change_channel.load();

    if ((programMode == 0 && ccMode == 0) || (wanted != -1 && wanted != channel))
        return;

    if (status == 0xB0 && ccMode != 0)
        postToMessageThread ([=] (ZorvaluneAudioProcessor& p) { controlChangeTask (p, status, channel, data1, data2); });
    else if (status == 0xC0 && programMode != 0)
        postToMessageThread ([=] (ZorvaluneAudioProcessor& p) { programChangeTask (p, status, channel, data1); });
}

//============================================================================== preferences
void MIDI_WRAPPER::saveMidiPrefsTask (ZorvaluneAudioProcessor& p)
{
    using platform::user_defaults::setInteger;

    setInteger (preference_keys::midiProgramChangeMode, p.midi_progr_change_mode);

    if (p.midi_progr_change_mode != 0)
        p.enableMidiReceive();

    setInteger (preference_keys::midiControlChangeMode, p.midi_CC_receive_mode);

    if (p.midi_CC_receive_mode != 0)
        p.enableMidiReceive();
}
