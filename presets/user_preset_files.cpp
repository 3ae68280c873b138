// Reading and writing user preset files and the default settings file.

#include "../engine/PluginProcessor.h"
#include "../platform/atomic_file.h"
#include "../platform/system_log.h"
#include "factory_presets.h"
#include "settings_text.h"
#include "user_preset_names.h"

namespace
{
    // Far above any settings text we write (a few dozen kilobytes at most).
    constexpr juce::int64 maxSettingsFileBytes = 1 << 20;

    // The whole file, when it holds settings text; anything else must change nothing.
    bool readSettingsFile (const juce::File& file, juce::MemoryBlock& data)
    {
        return file.getSize() <= maxSettingsFileBytes && file.loadFileAsData (data)
            && settings_text::parse (data.getData(), data.getSize()).isObject();
    }

    // `kind` names the file in the log line: "preset file" or "default file".
    // Only the local folder is made when missing: a cloud folder that is gone
    // was unmounted or deleted, and is not ours to bring back.
    bool storeSettingsFile (const juce::File& file, const juce::MemoryBlock& text, const char* kind, const juce::File& localFolder)
    {
        const auto path = file.getFullPathName();
        const auto folder = file.getParentDirectory();

        // No folder at all: no configuration folder could be used.
        if (file == juce::File() || (folder == localFolder ? ! folder.createDirectory() : ! folder.isDirectory()))
        {
            platform::system_log::notice ("\nZorvalune %s : %s could NOT be created !!!!\n", kind, path.toRawUTF8());
            return false;
        }

        if (! platform::atomic_file::replace (file, text.getData(), text.getSize()))
        {
            platform::system_log::notice ("\nZorvalune %s : %s could NOT be written !!!!\n", kind, path.toRawUTF8());
            return false;
        }

        return true;
    }

    bool refuseBadName (const juce::String& name, const juce::String& problem)
    {
        if (problem.isEmpty())
            return false;

        platform::system_log::notice ("\nZorvalune preset name : %s refused, %s\n", name.toRawUTF8(), problem.toRawUTF8());
        return true;
    }
}

int ZorvaluneAudioProcessor::loadUserPreset (const juce::String& name)
{
    const int position = getUserPresetIndx (name);

    if (position < 0)
        return 0;

    const juce::File file (getFullPathOfPreset (name));

    if (! file.existsAsFile())
    {
        platform::system_log::notice ("\nZorvalune : selected preset %s does NOT exists !\n", name.toRawUTF8());
        return -1;
    }

    juce::MemoryBlock data;

    if (! readSettingsFile (file, data))
    {
        platform::system_log::notice ("\nZorvalune : selected preset %s could NOT be read !\n", name.toRawUTF8());
        return -2;
    }

    // MIDI settings belong to the session, not to the preset.
    const int progChangeMode = midi_progr_change_mode;
    const int ccReceiveMode = midi_CC_receive_mode;
    const int progChangeChannel = midi_progr_change_channel;

    setStateInformation (data.getData(), (int) data.getSize());

    currentUserPreset = name;
    currentUserPresetIndex = position;
    currentUserPresetSource = { name, file };

    if (wrapperType != wrapperType_Standalone)
    {
        midi_progr_change_mode = progChangeMode;
        midi_CC_receive_mode = ccReceiveMode;
        midi_progr_change_channel = progChangeChannel;
    }

    presetModified = 0;
    return 0;
}

// The preset written holds the current settings, so it is the current preset
// from then on, also when its name was listed already: the menu then never
// shows another preset as saved whose file does not hold them.
bool ZorvaluneAudioProcessor::writeUserPreset (const juce::String& name)
{
    followCloudFolder();

    if (refuseBadName (name, checkPresetName (name)))
        return false;

    juce::MemoryBlock text;

    // The file carries its own name.
    const juce::String previous = currentUserPreset;
    currentUserPreset = name;
    getStateInformation (text);
    currentUserPreset = previous;

    const juce::File file (getFullPathOfPreset (name));

    if (! storeSettingsFile (file, text, "preset file", getPresetDir (1)))
        return false;

    userPresetNames.insert (name);
    currentUserPreset = name;
    currentUserPresetSource = { name, file };
    currentUserPresetIndex = getUserPresetIndx (name);
    presetModified = 0;
    return true;
}

juce::String ZorvaluneAudioProcessor::saveCurrentUserPreset()
{
    if (currentUserPreset.get().isEmpty())
        return {};

    followCloudFolder();
    const auto file = currentUserPresetFile();
    const auto listedAs = presetNameOfFile (file);

    if (listedAs.isEmpty())
    {
        platform::system_log::notice ("\nZorvalune preset file : %s NOT saved, its folder is gone !!!!\n", file.getFullPathName().toRawUTF8());
        return "The folder of this preset is gone.";
    }

    return writeUserPreset (listedAs) ? juce::String() : juce::String ("The preset could not be written.");
}

bool ZorvaluneAudioProcessor::removeUserPreset (const juce::String& name)
{
    if (userPresetNames.count (name) == 0)
        return false;

    const juce::File file (getFullPathOfPreset (name));

    if (! file.existsAsFile())
        return false;

    if (! file.deleteFile())
    {
        platform::system_log::notice ("\nZorvalune preset file : %s could NOT be removed !!!!\n",
                                      file.getFullPathName().toRawUTF8());
        return false;
    }

    userPresetNames.erase (name);

    if (name == currentUserPreset)
    {
        currentUserPreset = juce::String();
        currentUserPresetIndex = -1;
        presetModified = 0;
    }
    else
    {
        currentUserPresetIndex = getUserPresetIndx (currentUserPreset);
    }

    return true;
}

// None when the folder is unknown.
juce::File ZorvaluneAudioProcessor::defaultSettingsFile()
{
    const auto folder = getPresetDir (0);
    return folder == juce::File() ? juce::File() : folder.getChildFile (user_preset_names::defaultFileName);
}

bool ZorvaluneAudioProcessor::saveDefaultSettings()
{
    followCloudFolder();
    juce::MemoryBlock text;
    getStateInformation (text);

    if (! storeSettingsFile (defaultSettingsFile(), text, "default file", getPresetDir (1)))
        return false;

    currentUserPresetIndex = -1;
    currentUserPreset = juce::String();
    return true;
}

void ZorvaluneAudioProcessor::readDefaultSettings()
{
    const auto file = defaultSettingsFile();

    if (! file.existsAsFile())
        return;

    juce::MemoryBlock data;

    if (! readSettingsFile (file, data))
    {
        platform::system_log::notice ("\nZorvalune default file : %s could NOT be read !\n",
                                      file.getFullPathName().toRawUTF8());
        return;
    }

    setStateInformation (data.getData(), (int) data.getSize());
    currentUserPresetIndex = -1;
    currentUserPreset = juce::String();
}

// The copies are written from the current settings with the factory values in
// place of the parameters; the settings the user is working on stay as they are.
int ZorvaluneAudioProcessor::copyFactoryPresets()
{
    juce::MemoryBlock current;
    getStateInformation (current);
    auto settings = settings_text::parse (current.toString());
    auto* object = settings.getDynamicObject();

    if (object == nullptr)
        return 0;

    // A factory sound holds no sequencer steps.
    for (int k = 1; k <= NUM_STEPS; ++k)
        for (int i = 0; i < NUM_PARAMETERS; ++i)
            object->removeProperty ("S" + juce::String (k) + "_" + getParameterName (i));

    int written = 0;

    for (size_t index = 0; index < sPresets.list.size(); ++index)
    {
        const auto& entry = sPresets.list[index];
        const auto name = "factory:" + juce::String (entry.name);

        if (entry.name == "default" || userPresetNames.count (name) != 0 || refuseBadName (name, checkPresetName (name)))
            continue;

        const auto values = factoryPresetValues ((int) index);

        for (int i = 0; i < NUM_PARAMETERS; ++i)
            object->setProperty (getParameterName (i), (double) values[(size_t) i]);

        object->setProperty ("currentUserPreset", name);

        const auto text = juce::JSON::toString (settings, false, 15);
        const juce::MemoryBlock data (text.toRawUTF8(), text.getNumBytesAsUTF8());

        if (storeSettingsFile (juce::File (getFullPathOfPreset (name)), data, "preset file", getPresetDir (1)))
        {
            userPresetNames.insert (name);
            ++written;
        }
    }

    if (currentUserPresetIndex >= 0)
        currentUserPresetIndex = getUserPresetIndx (currentUserPreset);

    return written;
}
