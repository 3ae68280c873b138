#include "config_folder.h"

#include <cstdlib>

juce::File platform::configFolder()
{
    if (const char* xdg = std::getenv ("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        return juce::File (juce::String::fromUTF8 (xdg));

    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".config");
}
