#include "plugin_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/engine/block_runner.h"
#include "tests/message_pump.h"

namespace
{
    // The LV2 format loads every bundle of the user's LV2 folder when it is
    // created, and lilv keeps the first bundle it sees for a URI: an installed
    // copy in ~/.lv2 would shadow the one in the build tree. "~" is pointed at
    // an empty folder while the format is created.
    struct home_hidden
    {
        home_hidden()
        {
            const char* home = std::getenv ("HOME");
            saved = home != nullptr ? home : "";
            empty.createDirectory();
            setenv ("HOME", empty.getFullPathName().toRawUTF8(), 1);
        }

        void restore() const
        {
            setenv ("HOME", saved.c_str(), 1);
            empty.deleteRecursively();
        }

        std::string saved;
        juce::File empty = juce::File::createTempFile ("zorvalune-no-home");
    };

    juce::AudioPluginFormat& formatObject (plugin_host::Format f)
    {
        static juce::VST3PluginFormat vst3;
        static home_hidden hidden;
        static juce::LV2PluginFormat lv2;
        static const bool homeBack = (hidden.restore(), true);
        juce::ignoreUnused (homeBack);
        static const bool scanned = []
        {
            // Only the bundle in the build tree, never an installed copy.
            const auto folder = plugin_host::bundle (plugin_host::Format::lv2).getParentDirectory();
            lv2.searchPathsForPlugins (juce::FileSearchPath (folder.getFullPathName()), false, false);
            return true;
        }();

        if (f == plugin_host::Format::vst3)
            return vst3;

        juce::ignoreUnused (scanned);
        return lv2;
    }
}

const char* plugin_host::formatName (Format f)
{
    return f == Format::vst3 ? "VST3" : "LV2";
}

juce::File plugin_host::bundle (Format f)
{
    const juce::File artefacts (ZORVALUNE_ARTEFACTS_DIR);
    return f == Format::vst3 ? artefacts.getChildFile ("VST3/Zorvalune.vst3")
                             : artefacts.getChildFile ("LV2/Zorvalune.lv2");
}

std::unique_ptr<juce::AudioPluginInstance> plugin_host::load (Format f, double sampleRate, int blockSize, bool enableAllBuses)
{
    auto& format = formatObject (f);
    const juce::String identifier = f == Format::vst3 ? bundle (f).getFullPathName()
                                                      : juce::String (ZORVALUNE_LV2_URI);

    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, identifier);

    if (found.isEmpty())
    {
        ADD_FAILURE() << formatName (f) << ": no plug-in found at " << identifier;
        return {};
    }

    juce::String error;
    auto instance = format.createInstanceFromDescription (*found[0], sampleRate, blockSize, error);

    if (instance == nullptr)
    {
        ADD_FAILURE() << formatName (f) << ": cannot instantiate: " << error;
        return {};
    }

    if (enableAllBuses)
        instance->enableAllBuses();

    instance->setRateAndBufferSizeDetails (sampleRate, blockSize);
    instance->prepareToPlay (sampleRate, blockSize);
    return instance;
}

juce::AudioProcessorParameter* plugin_host::parameterFor (juce::AudioPluginInstance& instance, int index)
{
    for (auto* p : instance.getParameters())
    {
        if (auto* withId = dynamic_cast<juce::HostedAudioProcessorParameter*> (p))
        {
            const auto id = withId->getParameterID();

            if (id == juce::String (index) || id == "p" + juce::String (index)
                || id.endsWith (":p" + juce::String (index)) || id.endsWith ("#p" + juce::String (index)))
                return p;
        }
    }

    juce::StringArray shown;

    for (auto* p : instance.getParameters())
        if (auto* withId = dynamic_cast<juce::HostedAudioProcessorParameter*> (p); withId != nullptr && shown.size() < 3)
            shown.add ("'" + withId->getParameterID() + "'");

    ADD_FAILURE() << instance.getPluginDescription().pluginFormatName << ": no host parameter carries the id of parameter "
                  << index << " (the host shows ids such as " << shown.joinIntoString (", ") << ")";
    return nullptr;
}

juce::AudioBuffer<float> plugin_host::process (juce::AudioPluginInstance& instance,
                                                const juce::AudioBuffer<float>& in, int blockSize)
{
    return block_runner::process (instance, in, { blockSize });
}

juce::MemoryBlock plugin_host::saveState (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock state;
    instance.getStateInformation (state);
    return state;
}

juce::String plugin_host::settingsText (Format f, const juce::MemoryBlock& saved)
{
    juce::MemoryBlock inner;

    if (f == Format::vst3)
    {
        // The VST3 host keeps the component's state as base64 in an XML wrapper.
        const auto xml = juce::AudioProcessor::getXmlFromBinary (saved.getData(), (int) saved.getSize());

        if (xml == nullptr || xml->getChildByName ("IComponent") == nullptr)
            return {};

        inner.fromBase64Encoding (xml->getChildByName ("IComponent")->getAllSubText());
    }
    else
    {
        // The LV2 state is a preset in Turtle with the text in a base64 string property.
        const auto turtle = saved.toString();
        const auto encoded = turtle.fromFirstOccurrenceOf (":StateString> \"", false, false)
                                   .upToFirstOccurrenceOf ("\"", false, false);
        inner.fromBase64Encoding (encoded);
    }

    const auto text = juce::String::fromUTF8 (static_cast<const char*> (inner.getData()), (int) inner.getSize());
    const auto start = text.indexOfChar ('{');
    const auto end = text.lastIndexOfChar ('}');
    return start >= 0 && end > start ? text.substring (start, end + 1) : juce::String();
}

void plugin_host::settle (juce::AudioPluginInstance& instance)
{
    juce::AudioBuffer<float> silence (juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels()), 32);
    juce::MidiBuffer midi;

    for (int i = 0; i < 5; ++i)
    {
        silence.clear();
        instance.processBlock (silence, midi);
        test_support::pumpMessages();
        juce::Thread::sleep (20);   // the VST3 host hands values on from a 60 Hz timer
        test_support::pumpMessages();
    }
}

bool plugin_host::settleUntil (juce::AudioPluginInstance& instance, const std::function<bool()>& done)
{
    const auto deadline = juce::Time::getMillisecondCounter() + 5000;

    while (! done())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;

        settle (instance);
    }

    return true;
}
