#pragma once

#include <juce_core/juce_core.h>

namespace platform
{
    // The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
    // path, else ~/.config. Our product folder lives inside it.
    juce::File configFolder();
}
