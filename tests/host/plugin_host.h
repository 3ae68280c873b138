#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

// Loads the BUILT plug-in bundles through the framework's own hosting, the
// way a DAW does. Every host-level test goes through this.
namespace plugin_host
{
    enum class Format { vst3, lv2 };

    const char* formatName (Format);

    // The bundle in the build tree.
    juce::File bundle (Format);

    // A new instance with every bus enabled (or with the buses the host found
    // at load), prepared to play with the given rate and block size. Fails the
    // calling test (and returns null) when the bundle cannot be loaded.
    std::unique_ptr<juce::AudioPluginInstance> load (Format, double sampleRate = 48000.0, int blockSize = 512,
                                                     bool enableAllBuses = true);

    // The host parameter that carries our parameter `index` (matched by its
    // parameter id in either format). Fails the calling test (and returns
    // null) when absent: assert on the result before using it.
    juce::AudioProcessorParameter* parameterFor (juce::AudioPluginInstance&, int index);

    // Runs `in` through the instance on this thread, cut into blocks of the
    // given size (channels beyond `in` are silent).
    juce::AudioBuffer<float> process (juce::AudioPluginInstance&, const juce::AudioBuffer<float>& in, int blockSize);

    // The plug-in's saved state as the host stores it.
    juce::MemoryBlock saveState (juce::AudioPluginInstance&);

    // The plug-in's own settings text inside a saved state, unwrapped from the
    // container each format puts around it; empty when none is found.
    juce::String settingsText (Format, const juce::MemoryBlock& savedState);

    // Lets the host settle: runs a few silent blocks and the message loop, so
    // values the plug-in reported from its audio thread reach the host.
    void settle (juce::AudioPluginInstance&);

    // Settles until `done` holds or five seconds have passed; returns `done`.
    bool settleUntil (juce::AudioPluginInstance&, const std::function<bool()>& done);
}
