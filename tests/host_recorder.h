#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <utility>
#include <vector>

namespace test_support
{
    // What the host hears of a processor: parameter changes and gestures.
    struct HostRecorder : juce::AudioProcessorListener
    {
        explicit HostRecorder (juce::AudioProcessor& p) : processor (p) { p.addListener (this); }
        ~HostRecorder() override { processor.removeListener (this); }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int i, float v) override { changes.push_back ({ i, v }); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int i) override { begun.push_back (i); }
        void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int i) override { ended.push_back (i); }

        void clear() { changes.clear(); begun.clear(); ended.clear(); }

        juce::AudioProcessor& processor;
        std::vector<std::pair<int, float>> changes;
        std::vector<int> begun, ended;
    };
}
