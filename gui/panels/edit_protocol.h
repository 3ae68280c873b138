#pragma once

#include "../../engine/PluginProcessor.h"

// How a page writes a parameter that the host must hear of. Every page uses
// these, so the host sees the same edits, gestures and program read-back from
// all of them.
namespace edit_protocol
{
    // The host hears of the new value. With the counter at 0 our own
    // setParameter posts no refresh back to the page that made the edit (only
    // the first change after a preset load or save, which marks the preset
    // modified); counting up again afterwards lets host automation refresh
    // the pages. After any edit the host's program read-back shows program 0.
    inline void write (ZorvaluneAudioProcessor& processor, int index, float normalised)
    {
        processor.editorNotifyCounter = 0;
        processor.currentProgram = 0;
        processor.tellHostOfEdit (index, normalised);
        ++processor.editorNotifyCounter;
    }

    // The same for a value in the parameter's plug-in units (dB, Hz, %, ...).
    inline void writeInUnits (ZorvaluneAudioProcessor& processor, int index, double units)
    {
        write (processor, index, ZorvaluneAudioProcessor::parameterValue2Plugin (index, (float) units));
    }

    // A drag is one gesture for the host, however many writes it makes.
    inline void beginGesture (ZorvaluneAudioProcessor& processor, int index) { processor.tellHostOfGesture (index, true); }
    inline void endGesture (ZorvaluneAudioProcessor& processor, int index)   { processor.tellHostOfGesture (index, false); }
}
