#pragma once

#include <juce_core/juce_core.h>

namespace platform
{
    // The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
    // path, else ~/.config. Our product folder lives inside it. An empty File
    // when neither path can be used (not valid UTF-8): nothing is kept then.
    juce::File configFolder();
}
