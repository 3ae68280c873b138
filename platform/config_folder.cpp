#include "config_folder.h"

#include "system_text.h"

juce::File platform::configFolder()
{
    // An unusable value counts as none: the default folder is used.
    if (const auto xdg = system_text::environment ("XDG_CONFIG_HOME"); xdg.has_value() && ! xdg->empty() && xdg->front() == '/')
        if (const auto folder = system_text::fileAt (*xdg, "XDG_CONFIG_HOME"))
            return *folder;

    if (const auto home = system_text::homeFolder())
        return home->getChildFile (".config");

    return {};
}
