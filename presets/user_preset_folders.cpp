// Where user presets live, which ones exist, and which names may be used.

#include "../engine/PluginProcessor.h"
#include "../platform/config_folder.h"
#include "../platform/folder_listing.h"
#include "../platform/system_text.h"
#include "cloud_watcher.h"
#include "user_preset_names.h"

#include <optional>

using user_preset_names::localSuffix;

namespace
{
    // None when there is no configuration folder to keep it in.
    juce::File localPresetFolder()
    {
        const auto config = platform::configFolder();
        return config == juce::File() ? juce::File() : config.getChildFile ("Zorvalune").getChildFile ("userPresets");
    }

    void addPresetsIn (const juce::File& folder, const juce::String& suffix, bool isCloud, std::set<juce::String>& names)
    {
        if (folder == juce::File())
            return;

        for (const auto& file : platform::folder_listing::filesIn (folder.getFullPathName().toStdString()))
            if (const auto name = isCloud ? cloudPresetNameOf (file.name) : user_preset_names::presetNameOf (file.name); name.isNotEmpty())
                names.insert (name + suffix);
    }

    std::optional<juce::File> folderAt (const std::string& path)
    {
        return path.size() >= 2 ? platform::system_text::fileAt (path, "the cloud documents path") : std::nullopt;
    }
}

// One test decides both the folder of unsuffixed names and whether local names
// carry the suffix, so a listed name always leads back to the file it came from.
bool ZorvaluneAudioProcessor::cloudFolderInUse() const
{
    return iCloudAvailable != 0 && cloudFolderPresent && folderAt (iCloudDocumentsPath).has_value();
}

juce::File ZorvaluneAudioProcessor::getPresetDir (int local)
{
    if (local == 0 && cloudFolderInUse())
        return *folderAt (iCloudDocumentsPath);

    return localPresetFolder();
}

// Empty when the folder is unknown (no configuration folder can be used).
juce::String ZorvaluneAudioProcessor::getFullPathOfPreset (const juce::String& name)
{
    const bool local = cloudFolderInUse() && name.endsWith (localSuffix);
    const auto folder = getPresetDir (local ? 1 : 0);

    if (folder == juce::File())
        return {};

    return folder.getFullPathName() + "/" + (local ? name.dropLastCharacters (localSuffix.length()) : name) + ".json";
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
    {
        const auto folder = folderAt (iCloudDocumentsPath);
        iCloudAvailable = folder.has_value() && folder->isDirectory() ? 1 : 0;
    }

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

    const auto path = getFullPathOfPreset (name);

    if (path.isEmpty())
        return "There is no folder to keep presets in.";

    const juce::File file (path);

    if (auto problem = problemWith (file.getFileNameWithoutExtension()); problem.isNotEmpty())
        return problem;

    // Only a listed name may replace its file: anything else there is another preset.
    if (userPresetNames.count (name) == 0 && file.exists())
        return "Another preset already uses this file.";

    return {};
}
