#pragma once

#include <juce_core/juce_core.h>

#include <string>

// What may name a user preset file, shared by the listing, the writers and
// whoever else reads a preset folder.
namespace user_preset_names
{
    // Local presets carry this in the name set while the cloud folder is in use.
    extern const juce::String localSuffix;

    // The default settings file's name; it is never a preset.
    extern const juce::String defaultFileName;

    // Why `stem` (a file name without ".json") cannot name a preset file, in a
    // few words a user can act on; empty when it can.
    juce::String problemWith (const juce::String& stem);

    // The same for a name not yet in use, which must also show at least one
    // character: one of only spaces or zero-width characters would be a blank
    // menu entry. Files already named so are still listed, loaded and saved.
    juce::String problemWithNewName (const juce::String& stem);

    // The preset name that a file in a preset folder, by its raw file name,
    // stands for; empty when it is none of ours (wrong extension or case,
    // hidden, temporary, reserved, or a name that is not valid UTF-8 and so
    // could not be loaded or saved under the name shown).
    juce::String presetNameOf (const std::string& fileName);
}
