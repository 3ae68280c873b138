#include "help_document.h"

juce::File helpDocumentFor (juce::AudioProcessor::WrapperType wrapper, const juce::File& binary)
{
    constexpr const char* name = "ZorvaluneHelp.pdf";
    const auto folder = binary.getParentDirectory();

    if (wrapper == juce::AudioProcessor::wrapperType_VST3)
        return folder.getParentDirectory().getChildFile ("Resources").getChildFile (name);

    if (wrapper == juce::AudioProcessor::wrapperType_LV2)
        return folder.getChildFile ("Resources").getChildFile (name);

    if (wrapper == juce::AudioProcessor::wrapperType_Standalone)
        return folder.getParentDirectory().getChildFile ("share/Zorvalune").getChildFile (name);

    return {};
}
