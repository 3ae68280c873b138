#pragma once

class ZorvaluneAudioProcessor;

namespace MIDI_WRAPPER
{
    // The MIDI input of one processor. Created once by enableMidiReceive and
    // kept until the processor is destroyed.
    class midi_wrapper
    {
    public:
        explicit midi_wrapper (ZorvaluneAudioProcessor& owner) : processor (owner) {}
        virtual ~midi_wrapper() = default;

    private:
        ZorvaluneAudioProcessor& processor;
    };

    // Writes the three MIDI settings of the processor into the user preferences.
    void saveMidiPrefsTask (ZorvaluneAudioProcessor& processor);
}
