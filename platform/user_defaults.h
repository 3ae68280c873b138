#pragma once

#include <juce_data_structures/juce_data_structures.h>

// Preferences, kept in properties files under $XDG_CONFIG_HOME (or ~/.config)
// in the folder "Zorvalune". Reading never creates anything; a folder and file
// appear with the first write.
namespace platform::user_defaults
{
    // This program's integers: every hosting program keeps its own file, so
    // one host restoring a session does not change what another starts with.
    // 0 when the key (or the file) is missing.
    int getInteger (const juce::String& key);
    void setInteger (const juce::String& key, int value);

    // Texts shared by every program of the user (where the cloud folder is).
    // Empty when the key (or the file) is missing.
    juce::String getString (const juce::String& key);
    void setString (const juce::String& key, const juce::String& value);

    // The files the values live in: the shared one, and this program's.
    juce::File storageFile();
    juce::File programStorageFile();
}
