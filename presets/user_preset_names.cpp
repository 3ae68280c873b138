#include "user_preset_names.h"

#include "../platform/folder_listing.h"

#include <utility>

const juce::String user_preset_names::localSuffix (".local");
const juce::String user_preset_names::defaultFileName ("ZorvaluneDefault.json");

namespace
{
    const juce::String extension (".json");

    // Longest file name Linux file systems take, in bytes.
    constexpr int maxFileNameBytes = 255;

    constexpr auto blankName = "Please enter a name.";

    // What shows nothing on its own: Unicode's white space (but the Ogham space
    // mark, which draws a line) and its default-ignorable characters (zero-width
    // spaces and joiners, direction marks, fillers, variation selectors, tags),
    // and the blank Braille cell.
    constexpr std::pair<juce::juce_wchar, juce::juce_wchar> invisibleRanges[] = {
        { 0x0009, 0x000d }, { 0x0020, 0x0020 }, { 0x0085, 0x0085 }, { 0x00a0, 0x00a0 }, { 0x00ad, 0x00ad },
        { 0x034f, 0x034f }, { 0x061c, 0x061c }, { 0x115f, 0x1160 }, { 0x17b4, 0x17b5 }, { 0x180b, 0x180f },
        { 0x2000, 0x200f }, { 0x2028, 0x202f }, { 0x205f, 0x206f }, { 0x2800, 0x2800 }, { 0x3000, 0x3000 },
        { 0x3164, 0x3164 }, { 0xfe00, 0xfe0f }, { 0xfeff, 0xfeff }, { 0xffa0, 0xffa0 }, { 0xfff0, 0xfff8 },
        { 0x1bca0, 0x1bca3 }, { 0x1d173, 0x1d17a }, { 0xe0000, 0xe0fff },
    };

    bool isInvisible (juce::juce_wchar c)
    {
        for (const auto& [first, last] : invisibleRanges)
            if (c >= first && c <= last)
                return true;

        return false;
    }

    bool showsSomething (const juce::String& s)
    {
        for (auto p = s.getCharPointer(); ! p.isEmpty(); ++p)
            if (! isInvisible (*p))
                return true;

        return false;
    }

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
        return blankName;

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

juce::String user_preset_names::problemWithNewName (const juce::String& stem)
{
    return showsSomething (stem) ? problemWith (stem) : blankName;
}

juce::String user_preset_names::presetNameOf (const std::string& rawFileName)
{
    const auto fileName = platform::folder_listing::nameOf (rawFileName);

    if (! fileName.endsWith (extension))
        return {};

    const auto stem = fileName.dropLastCharacters (extension.length());
    return problemWith (stem).isEmpty() ? stem : juce::String();
}
