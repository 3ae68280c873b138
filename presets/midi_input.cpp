#include "midi_wrapper.h"

#include "../engine/PluginProcessor.h"
#include "../platform/user_defaults.h"

void MIDI_WRAPPER::saveMidiPrefsTask (ZorvaluneAudioProcessor& p)
{
    platform::user_defaults::setInteger ("kAppPrefMidiProgChangeMode", p.midi_progr_change_mode);
    platform::user_defaults::setInteger ("kAppPrefMidiChannel", p.midi_progr_change_channel);
    platform::user_defaults::setInteger ("kAppPrefMidiCCReceiveMode", p.midi_CC_receive_mode);
}

void ZorvaluneAudioProcessor::enableMidiReceive()
{
    if (midiWrapper == nullptr)
        midiWrapper = std::make_unique<MIDI_WRAPPER::midi_wrapper> (*this);
}
