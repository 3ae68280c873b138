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
        o.millisecondsBeforeSaving = -1;  // written synchronously by every set
        return o;
    }

    juce::String read (const juce::File& file, const juce::String& key)
    {
        const std::lock_guard<std::mutex> lock (fileMutex);

        if (! file.existsAsFile())
            return {};

        juce::PropertiesFile props (file, options());
        return props.getValue (key);
    }

    void write (const juce::File& file, const juce::String& key, const juce::String& value)
    {
        const std::lock_guard<std::mutex> lock (fileMutex);
        file.getParentDirectory().createDirectory();

        juce::PropertiesFile props (file, options());
        props.setValue (key, value);
        props.saveIfNeeded();
    }

    // The executable's own name, kept to characters any file system takes.
    juce::String programName()
    {
        auto name = juce::File::getSpecialLocation (juce::File::hostApplicationPath).getFileName();

        if (name.isEmpty())
            return "unknown";

        juce::String safe;

        for (auto c : name)
            safe += c < 0x80 && (juce::CharacterFunctions::isLetterOrDigit (c) || c == '-' || c == '.') ? juce::String::charToString (c) : juce::String ("_");

        return safe;
    }
}

juce::File platform::user_defaults::storageFile()
{
    return platform::configFolder().getChildFile ("Zorvalune").getChildFile ("preferences.xml");
}

juce::File platform::user_defaults::programStorageFile()
{
    return platform::configFolder().getChildFile ("Zorvalune").getChildFile ("preferences-" + programName() + ".xml");
}

int platform::user_defaults::getInteger (const juce::String& key)
{
    return read (programStorageFile(), key).getIntValue();
}

void platform::user_defaults::setInteger (const juce::String& key, int value)
{
    write (programStorageFile(), key, juce::String (value));
}

juce::String platform::user_defaults::getString (const juce::String& key)
{
    return read (storageFile(), key);
}

void platform::user_defaults::setString (const juce::String& key, const juce::String& value)
{
    write (storageFile(), key, value);
}
