#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <optional>

// Preferences, kept in XML files under $XDG_CONFIG_HOME (or ~/.config) in the
// folder "Zorvalune". Reading never creates anything; a folder and file
// appear with the first write. A value stored with bytes that are not valid
// UTF-8 is not used, and a file holding such bytes is not rewritten.
namespace platform::user_defaults
{
    // This program's integers: every hosting program keeps its own file, named
    // without the program's version, so one host restoring a session does not
    // change what another starts with, and an update keeps them. A key this
    // program never stored is read from its file of an earlier release, else
    // from the file every program once shared. 0 when the key is missing.
    int getInteger (const juce::String& key);
    void setInteger (const juce::String& key, int value);

    // Texts shared by every program of the user (where the cloud folder is).
    // Empty when the key (or the file) is missing; none when the stored text
    // is not valid UTF-8.
    std::optional<juce::String> getString (const juce::String& key);
    void setString (const juce::String& key, const juce::String& value);

    // The files the values live in: the shared one, and this program's; an
    // empty File when there is no configuration folder to keep them in.
    juce::File storageFile();
    juce::File programStorageFile();
}
