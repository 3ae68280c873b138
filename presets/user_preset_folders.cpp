// Where user presets live and which ones exist.

#include "../engine/PluginProcessor.h"
#include "../platform/config_folder.h"

namespace
{
    const juce::String defaultFileBaseName ("ZorvaluneDefault");
    const juce::String localSuffix (".local");

    juce::File localPresetFolder()
    {
        return platform::configFolder()
                   .getChildFile ("Zorvalune")
                   .getChildFile ("userPresets");
    }

    void addPresetsIn (const juce::File& folder, const juce::String& suffix, std::set<juce::String>& names)
    {
        if (! folder.isDirectory())
            return;

        for (const auto& file : folder.findChildFiles (juce::File::findFiles, false, "*.json"))
        {
            const auto name = file.getFileNameWithoutExtension();

            if (name != defaultFileBaseName)
                names.insert (name + suffix);
        }
    }
}

juce::File ZorvaluneAudioProcessor::getPresetDir (int local)
{
    if (local == 0 && iCloudDocumentsPath.size() >= 2)
        return juce::File (juce::String::fromUTF8 (iCloudDocumentsPath.c_str()));

    return localPresetFolder();
}

juce::String ZorvaluneAudioProcessor::getFullPathOfPreset (const juce::String& name)
{
    if (name.endsWith (localSuffix))
        return getPresetDir (1).getFullPathName() + "/" + name.upToLastOccurrenceOf (localSuffix, false, false) + ".json";

    return getPresetDir (0).getFullPathName() + "/" + name + ".json";
}

std::set<juce::String>& ZorvaluneAudioProcessor::getUserPresetNames (int rebuild)
{
    if (rebuild != 0)
    {
        userPresetNames.clear();

        if (iCloudAvailable != 0 && iCloudDocumentsPath.size() >= 2)
        {
            addPresetsIn (getPresetDir (0), {}, userPresetNames);
            addPresetsIn (getPresetDir (1), localSuffix, userPresetNames);
        }
        else
        {
            addPresetsIn (getPresetDir (1), {}, userPresetNames);
        }
    }

    return userPresetNames;
}

int ZorvaluneAudioProcessor::getUserPresetIndx (const juce::String& name)
{
    const auto found = userPresetNames.find (name);
    return found == userPresetNames.end() ? -1 : (int) std::distance (userPresetNames.begin(), found);
}
