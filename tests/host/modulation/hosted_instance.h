#pragma once

#include <gtest/gtest.h>

#include "plugin_host.h"

#include <functional>
#include <limits>
#include <map>

// A VST3 instance of the built plug-in as a host holds it: stereo in and out,
// no side-chain bus, set up through its saved settings (the only way a host
// reaches the plug-in's own fields, such as the side-chain slots and the
// sequencer steps) and driven block by block.
namespace hosted
{
    using sample_source = std::function<float (juce::int64 sample)>;

    inline std::unique_ptr<juce::AudioPluginInstance> load (int blockSize = 512, double rate = 48000.0)
    {
        auto instance = plugin_host::load (plugin_host::Format::vst3, rate, blockSize);

        if (instance == nullptr)
            return {};

        auto layout = instance->getBusesLayout();
        layout.inputBuses.getReference (0) = juce::AudioChannelSet::stereo();
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::stereo();

        if (layout.inputBuses.size() > 1)
            layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();

        instance->releaseResources();

        if (! instance->setBusesLayout (layout))
        {
            ADD_FAILURE() << "the VST3 refuses stereo in and out without a side chain";
            return {};
        }

        instance->prepareToPlay (rate, blockSize);
        return instance;
    }

    // The plug-in's settings text, parsed.
    inline juce::var settings (juce::AudioPluginInstance& instance)
    {
        const auto text = plugin_host::settingsText (plugin_host::Format::vst3, plugin_host::saveState (instance));
        return juce::JSON::parse (text);
    }

    // One value of the settings text; fails the calling test and gives NaN
    // (which no comparison accepts) when the text lacks the key.
    inline double setting (juce::AudioPluginInstance& instance, const juce::String& key)
    {
        const auto value = settings (instance).getProperty (key, juce::var());
        EXPECT_FALSE (value.isVoid()) << "the settings text holds no \"" << key << "\"";
        return value.isVoid() ? std::numeric_limits<double>::quiet_NaN() : (double) value;
    }

    // Loads settings text into the instance the way a host restores a project.
    inline void restore (juce::AudioPluginInstance& instance, const juce::var& settingsObject)
    {
        const auto text = juce::JSON::toString (settingsObject, true);
        juce::MemoryBlock component (text.toRawUTF8(), text.getNumBytesAsUTF8());

        juce::XmlElement state ("VST3PluginState");
        state.createNewChildElement ("IComponent")->addTextElement (component.toBase64Encoding());

        juce::MemoryBlock wrapped;
        juce::AudioProcessor::copyXmlToBinary (state, wrapped);
        instance.setStateInformation (wrapped.getData(), (int) wrapped.getSize());
    }

    // Changes the given settings (parameter names, side-chain slots, step keys)
    // and keeps the rest. Fails the calling test and returns false when the
    // saved state holds no settings text: assert on the result.
    [[nodiscard]] inline bool change (juce::AudioPluginInstance& instance, const std::map<juce::String, double>& values)
    {
        auto s = settings (instance);
        auto* object = s.getDynamicObject();
        EXPECT_NE (object, nullptr) << "the saved state holds no settings text";

        if (object == nullptr)
            return false;

        for (const auto& [key, value] : values)
            object->setProperty (key, value);

        restore (instance, s);
        return true;
    }

    // A loaded instance with the given settings changed; null (the calling
    // test failed with the reason) when either step fails.
    inline std::unique_ptr<juce::AudioPluginInstance> loadWith (const std::map<juce::String, double>& values, int blockSize)
    {
        auto instance = load (blockSize);
        return instance != nullptr && change (*instance, values) ? std::move (instance) : nullptr;
    }

    // One block of n samples; `source` gives the first input channel's
    // sample at each position counted from `start` (the second channel
    // carries the same). Returns the first output channel.
    inline std::vector<float> process (juce::AudioPluginInstance& instance, juce::int64 start, int n, const sample_source& source)
    {
        const int channels = juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer (channels, n);
        buffer.clear();

        for (int c = 0; c < juce::jmin (2, instance.getTotalNumInputChannels()); ++c)
            for (int i = 0; i < n; ++i)
                buffer.setSample (c, i, source (start + i));

        juce::MidiBuffer midi;
        instance.processBlock (buffer, midi);
        return std::vector<float> (buffer.getReadPointer (0), buffer.getReadPointer (0) + n);
    }

    // Several blocks in a row; returns the first output channel of all of them.
    inline std::vector<float> processRun (juce::AudioPluginInstance& instance, juce::int64 start, int blocks, int n,
                                          const sample_source& source)
    {
        std::vector<float> out;

        for (int b = 0; b < blocks; ++b)
        {
            const auto block = process (instance, start + (juce::int64) b * n, n, source);
            out.insert (out.end(), block.begin(), block.end());
        }

        return out;
    }

    // A host transport the test moves by hand.
    struct play_head : juce::AudioPlayHead
    {
        bool playing = false;
        juce::int64 time = 0;

        juce::Optional<PositionInfo> getPosition() const override
        {
            PositionInfo info;
            info.setTimeInSamples (time);
            info.setIsPlaying (playing);
            info.setBpm (120.0);
            return info;
        }
    };

    inline sample_source constant (float value)
    {
        return [value] (juce::int64) { return value; };
    }
}
