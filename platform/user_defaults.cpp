#include "user_defaults.h"

#include <cstdlib>
#include <mutex>

namespace
{
    std::mutex fileMutex;

    juce::File configFolder()
    {
        if (const char* xdg = std::getenv ("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
            return juce::File (xdg);

        return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".config");
    }

    juce::PropertiesFile::Options options()
    {
        juce::PropertiesFile::Options o;
        o.storageFormat = juce::PropertiesFile::storeAsXML;
        o.millisecondsBeforeSaving = -1;  // written synchronously by setInteger
        return o;
    }
}

juce::File platform::user_defaults::storageFile()
{
    return configFolder().getChildFile ("Zorvalune").getChildFile ("preferences.xml");
}

int platform::user_defaults::getInteger (const juce::String& key)
{
    const std::lock_guard<std::mutex> lock (fileMutex);
    const auto file = storageFile();

    if (! file.existsAsFile())
        return 0;

    juce::PropertiesFile props (file, options());
    return props.getIntValue (key, 0);
}

void platform::user_defaults::setInteger (const juce::String& key, int value)
{
    const std::lock_guard<std::mutex> lock (fileMutex);
    const auto file = storageFile();
    file.getParentDirectory().createDirectory();

    juce::PropertiesFile props (file, options());
    props.setValue (key, value);
    props.saveIfNeeded();
}
