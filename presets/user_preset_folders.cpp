// Where user presets live, which ones exist, and which names may be used.

#include "../engine/PluginProcessor.h"
#include "../platform/config_folder.h"
#include "../platform/folder_listing.h"
#include "user_preset_names.h"

using user_preset_names::localSuffix;

namespace
{
    juce::File localPresetFolder()
    {
        return platform::configFolder()
                   .getChildFile ("Zorvalune")
                   .getChildFile ("userPresets");
    }

    // In the cloud folder a name ending with the suffix would load the local
    // file of that name: such documents are left out.
    void addPresetsIn (const juce::File& folder, const juce::String& suffix, bool isCloud, std::set<juce::String>& names)
    {
        for (const auto& file : platform::folder_listing::filesIn (folder.getFullPathName().toStdString()))
            if (const auto name = user_preset_names::presetNameOf (file.name); name.isNotEmpty() && ! (isCloud && name.endsWith (localSuffix)))
                names.insert (name + suffix);
    }

    bool isFolderPath (const std::string& path)
    {
        return path.size() >= 2 && juce::File::isAbsolutePath (juce::String::fromUTF8 (path.c_str()));
    }
}

// One test decides both the folder of unsuffixed names and whether local names
// carry the suffix, so a listed name always leads back to the file it came from.
bool ZorvaluneAudioProcessor::cloudFolderInUse() const
{
    return iCloudAvailable != 0 && cloudFolderPresent && isFolderPath (iCloudDocumentsPath);
}

juce::File ZorvaluneAudioProcessor::getPresetDir (int local)
{
    if (local == 0 && cloudFolderInUse())
        return juce::File (juce::String::fromUTF8 (iCloudDocumentsPath.c_str()));

    return localPresetFolder();
}

juce::String ZorvaluneAudioProcessor::getFullPathOfPreset (const juce::String& name)
{
    if (cloudFolderInUse() && name.endsWith (localSuffix))
        return getPresetDir (1).getFullPathName() + "/" + name.dropLastCharacters (localSuffix.length()) + ".json";

    return getPresetDir (0).getFullPathName() + "/" + name + ".json";
}

juce::String ZorvaluneAudioProcessor::presetNameOfFile (const juce::File& file)
{
    const auto folder = file.getParentDirectory();

    if (folder == getPresetDir (0))
        return file.getFileNameWithoutExtension();

    if (cloudFolderInUse() && folder == getPresetDir (1))
        return file.getFileNameWithoutExtension() + localSuffix;

    return {};
}

std::set<juce::String>& ZorvaluneAudioProcessor::getUserPresetNames (int rebuild)
{
    if (rebuild == 0)
        return userPresetNames;

    userPresetNames.clear();

    // The standalone application keeps the cloud state it started with.
    if (wrapperType != wrapperType_Standalone)
        iCloudAvailable = isFolderPath (iCloudDocumentsPath)
                              && juce::File (juce::String::fromUTF8 (iCloudDocumentsPath.c_str())).isDirectory() ? 1 : 0;

    if (cloudFolderInUse())
    {
        if (wrapperType != wrapperType_Standalone)
            addPresetsIn (getPresetDir (0), {}, true, userPresetNames);

        addPresetsIn (getPresetDir (1), localSuffix, false, userPresetNames);
    }
    else
    {
        addPresetsIn (getPresetDir (1), {}, false, userPresetNames);
    }

    // The current preset stays the file it came from: its name gains or loses
    // the local suffix as the cloud folder comes or goes, and while that
    // file's folder is gone nothing listed is it.
    const auto file = currentUserPresetFile();
    const auto listed = presetNameOfFile (file);

    if (listed.isNotEmpty() && listed != currentUserPreset.get())
    {
        currentUserPreset = listed;
        currentUserPresetSource = { listed, file };
    }

    currentUserPresetIndex = getUserPresetIndx (listed);
    return userPresetNames;
}

juce::File ZorvaluneAudioProcessor::currentUserPresetFile()
{
    const juce::String name = currentUserPreset;

    if (name.isEmpty())
        return {};

    return currentUserPresetSource.name == name ? currentUserPresetSource.file : juce::File (getFullPathOfPreset (name));
}

int ZorvaluneAudioProcessor::getUserPresetIndx (const juce::String& name)
{
    const auto found = userPresetNames.find (name);
    return found == userPresetNames.end() ? -1 : (int) std::distance (userPresetNames.begin(), found);
}

juce::String ZorvaluneAudioProcessor::checkPresetName (const juce::String& name)
{
    // A listed name keeps working, however it looks.
    const auto problemWith = userPresetNames.count (name) != 0 ? user_preset_names::problemWith
                                                                : user_preset_names::problemWithNewName;

    if (auto problem = problemWith (name); problem.isNotEmpty())
        return problem;

    const juce::File file (getFullPathOfPreset (name));

    if (auto problem = problemWith (file.getFileNameWithoutExtension()); problem.isNotEmpty())
        return problem;

    // Only a listed name may replace its file: anything else there is another preset.
    if (userPresetNames.count (name) == 0 && file.exists())
        return "Another preset already uses this file.";

    return {};
}
