#pragma once

#include <juce_core/juce_core.h>

namespace settings_text
{
    // The one door for settings text that comes from outside (host state,
    // preset files): the parsed object, or a void var when the text does not
    // read as a settings object.
    juce::var parse (const juce::String& text);
}
