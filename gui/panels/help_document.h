#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// Where each kind of build keeps the help document, found from the binary
// that holds our code: inside the VST3 bundle's Contents/Resources, in the
// LV2 bundle's Resources, and for the standalone program in
// <prefix>/share/Zorvalune beside <prefix>/bin. None for other wrappers.
juce::File helpDocumentFor (juce::AudioProcessor::WrapperType, const juce::File& binary);
