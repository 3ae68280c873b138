#pragma once

#include <juce_data_structures/juce_data_structures.h>

// The process's integer preferences, kept in a properties file under
// $XDG_CONFIG_HOME (or ~/.config) in the folder "Zorvalune". Reading never
// creates anything; the folder and file appear with the first write.
namespace platform::user_defaults
{
    // 0 when the key (or the file) is missing.
    int getInteger (const juce::String& key);
    void setInteger (const juce::String& key, int value);

    // Empty when the key (or the file) is missing.
    juce::String getString (const juce::String& key);
    void setString (const juce::String& key, const juce::String& value);

    // The file the values live in.
    juce::File storageFile();
}
