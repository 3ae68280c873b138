#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace test_support
{
    // Processors built while this lives believe they run in the given wrapper.
    struct ScopedWrapperType
    {
        explicit ScopedWrapperType (juce::AudioProcessor::WrapperType type)
        {
            juce::AudioProcessor::setTypeOfNextNewPlugin (type);
        }

        ~ScopedWrapperType() { juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined); }
    };
}
