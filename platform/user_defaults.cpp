#include "user_defaults.h"

#include "config_folder.h"

#include <mutex>

namespace
{
    std::mutex fileMutex;

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
    return platform::configFolder().getChildFile ("Zorvalune").getChildFile ("preferences.xml");
}

int platform::user_defaults::getInteger (const juce::String& key)
{
    return getString (key).getIntValue();
}

juce::String platform::user_defaults::getString (const juce::String& key)
{
    const std::lock_guard<std::mutex> lock (fileMutex);
    const auto file = storageFile();

    if (! file.existsAsFile())
        return {};

    juce::PropertiesFile props (file, options());
    return props.getValue (key);
}

void platform::user_defaults::setInteger (const juce::String& key, int value)
{
    setString (key, juce::String (value));
}

void platform::user_defaults::setString (const juce::String& key, const juce::String& value)
{
    const std::lock_guard<std::mutex> lock (fileMutex);
    const auto file = storageFile();
    file.getParentDirectory().createDirectory();

    juce::PropertiesFile props (file, options());
    props.setValue (key, value);
    props.saveIfNeeded();
}
