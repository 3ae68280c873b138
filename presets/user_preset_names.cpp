#include "user_preset_names.h"

#include "../platform/folder_listing.h"

const juce::String user_preset_names::localSuffix (".local");
const juce::String user_preset_names::defaultFileName ("ZorvaluneDefault.json");

namespace
{
    const juce::String extension (".json");

    // Longest file name Linux file systems take, in bytes.
    constexpr int maxFileNameBytes = 255;

    bool hasControlCharacter (const juce::String& s)
    {
        for (auto p = s.getCharPointer(); ! p.isEmpty(); ++p)
            if (*p < 0x20 || *p == 0x7f)
                return true;

        return false;
    }
}

juce::String user_preset_names::problemWith (const juce::String& stem)
{
    // Blank, it would show as an empty menu entry.
    if (stem.trim().isEmpty())
        return "Please enter a name.";

    if (stem.startsWithChar ('.'))
        return "A name cannot start with a dot.";

    if (stem.containsAnyOf ("/\\"))
        return "A name cannot contain / or \\.";

    if (hasControlCharacter (stem))
        return "A name cannot contain control characters.";

    if (stem + extension == defaultFileName)
        return "This name is kept for the default settings.";

    if ((int) (stem + extension).getNumBytesAsUTF8() > maxFileNameBytes)
        return "This name is too long.";

    return {};
}

juce::String user_preset_names::presetNameOf (const std::string& rawFileName)
{
    const auto fileName = platform::folder_listing::nameOf (rawFileName);

    if (! fileName.endsWith (extension))
        return {};

    const auto stem = fileName.dropLastCharacters (extension.length());
    return problemWith (stem).isEmpty() ? stem : juce::String();
}
