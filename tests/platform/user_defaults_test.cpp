#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/config_folder.h"
#include "platform/user_defaults.h"
#include "tests/message_pump.h"
#include "tests/wrapper_type.h"

namespace
{
    void removePreferences()
    {
        platform::user_defaults::storageFile().deleteFile();
        platform::user_defaults::programStorageFile().deleteFile();
    }

    // What this program's file holds for `key`, told apart from a missing key.
    juce::String stored (const juce::String& key, const juce::File& file = platform::user_defaults::programStorageFile())
    {
        juce::PropertiesFile::Options o;
        o.storageFormat = juce::PropertiesFile::storeAsXML;
        juce::PropertiesFile props (file, o);
        return props.getValue (key, "missing");
    }
}

TEST (UserDefaults, MissingKeysReadZeroAndReadingCreatesNothing)
{
    removePreferences();
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiChannel"), 0);
    EXPECT_EQ (platform::user_defaults::getString ("cloudDocumentsFolder"), "");
    EXPECT_FALSE (platform::user_defaults::storageFile().exists());
    EXPECT_FALSE (platform::user_defaults::programStorageFile().exists());
    EXPECT_TRUE (platform::user_defaults::storageFile().isAChildOf (platform::configFolder().getChildFile ("Zorvalune")));
}

TEST (UserDefaults, ValuesPersistAcrossReads)
{
    removePreferences();
    platform::user_defaults::setInteger ("kAppPrefMidiChannel", 9);
    platform::user_defaults::setInteger ("kAppPrefMidiCCReceiveMode", -1);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiChannel"), 9);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiCCReceiveMode"), -1);
    removePreferences();
}

TEST (UserDefaults, StandaloneReadsTheMidiPreferencesWritesTheModesBackAndOpensMidi)
{
    removePreferences();
    // As the advanced page stores them.
    platform::user_defaults::setInteger ("kAppPrefMidiProgChangeMode", 2);
    platform::user_defaults::setInteger ("kAppPrefMidiChannel", 4);

    {
        const test_support::ScopedWrapperType standalone (juce::AudioProcessor::wrapperType_Standalone);
        ZorvaluneAudioProcessor p;
        EXPECT_EQ (p.midi_progr_change_mode, 2);
        EXPECT_EQ (p.midi_progr_change_channel, 4);
        EXPECT_EQ (p.midi_CC_receive_mode, 0);
        EXPECT_EQ (p.midiWrapper, nullptr);

        removePreferences();
        test_support::pumpMessages();   // the posted task stores the two modes only
        EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiProgChangeMode"), 2);
        EXPECT_EQ (stored ("kAppPrefMidiCCReceiveMode"), "0");
        EXPECT_EQ (stored ("kAppPrefMidiChannel"), "missing");
        EXPECT_NE (p.midiWrapper, nullptr);
    }

    {
        // Both modes off: nothing to open.
        removePreferences();
        const test_support::ScopedWrapperType standalone (juce::AudioProcessor::wrapperType_Standalone);
        ZorvaluneAudioProcessor p;
        test_support::pumpMessages();
        EXPECT_EQ (p.midi_progr_change_channel, 0);   // a missing channel reads as MIDI channel 1
        EXPECT_EQ (p.midiWrapper, nullptr);
    }

    // A plug-in ignores the preferences at construction: the host's state holds its settings.
    platform::user_defaults::setInteger ("kAppPrefMidiProgChangeMode", 2);
    ZorvaluneAudioProcessor plugin;
    EXPECT_EQ (plugin.midi_progr_change_mode, 0);
    EXPECT_EQ (plugin.midi_progr_change_channel, -1);
    removePreferences();
}

TEST (UserDefaults, PluginStateLoadStoresTheModesButNotTheChannel)
{
    removePreferences();
    ZorvaluneAudioProcessor p;
    const juce::String text ("{ \"midi_progr_change_channel\": 3, \"midi_progr_change_mode\": 1, \"midi_CC_receive_mode\": 1 }");
    p.setStateInformation (text.toRawUTF8(), (int) text.getNumBytesAsUTF8());

    EXPECT_EQ (p.midi_progr_change_channel, 3);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiProgChangeMode"), 1);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiCCReceiveMode"), 1);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiChannel"), 0);
    EXPECT_NE (p.midiWrapper, nullptr);   // a MIDI mode switched on enables MIDI input
    removePreferences();
}

// One host restoring a session must not change what another program starts with.
TEST (UserDefaults, EachHostingProgramKeepsItsOwnMidiPreferences)
{
    removePreferences();
    const auto folder = platform::configFolder().getChildFile ("Zorvalune");
    const auto standaloneFile = folder.getChildFile ("preferences-Zorvalune.xml");
    EXPECT_EQ (platform::user_defaults::programStorageFile(), folder.getChildFile ("preferences-zorvalune_unit_tests.xml"));
    ASSERT_TRUE (folder.createDirectory());
    ASSERT_TRUE (standaloneFile.replaceWithText ("<?xml version=\"1.0\"?>\n<PROPERTIES><VALUE name=\"kAppPrefMidiProgChangeMode\" val=\"2\"/></PROPERTIES>\n"));
    platform::user_defaults::setString ("cloudDocumentsFolder", "/somewhere");

    ZorvaluneAudioProcessor p;
    const juce::String text ("{ \"midi_progr_change_mode\": 0, \"midi_CC_receive_mode\": 1 }");
    p.setStateInformation (text.toRawUTF8(), (int) text.getNumBytesAsUTF8());

    EXPECT_EQ (stored ("kAppPrefMidiProgChangeMode"), "0");
    EXPECT_EQ (stored ("kAppPrefMidiProgChangeMode", standaloneFile), "2");
    EXPECT_EQ (stored ("kAppPrefMidiCCReceiveMode", standaloneFile), "missing");
    EXPECT_EQ (stored ("kAppPrefMidiProgChangeMode", platform::user_defaults::storageFile()), "missing");
    EXPECT_EQ (platform::user_defaults::getString ("cloudDocumentsFolder"), "/somewhere");   // shared by every program

    standaloneFile.deleteFile();
    removePreferences();
}

// The file is named without the program's version, so an update finds it. A
// key this program never stored is read from where it was kept before: its
// newest versioned file, else the file every program shared.
TEST (UserDefaults, AnUpdateStartsWithTheMidiPreferencesKeptBefore)
{
    removePreferences();
    const auto folder = platform::configFolder().getChildFile ("Zorvalune");
    const auto keep = [&] (const juce::String& name, const juce::String& values, int hoursAgo)
    {
        const auto file = folder.getChildFile (name);
        EXPECT_TRUE (file.replaceWithText ("<?xml version=\"1.0\"?>\n<PROPERTIES>" + values + "</PROPERTIES>\n"));
        file.setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::hours (hoursAgo));
        return file;
    };
    ASSERT_TRUE (folder.createDirectory());
    const juce::File before[] = {
        keep ("preferences-zorvalune_unit_tests-0.9.xml", "<VALUE name=\"kAppPrefMidiChannel\" val=\"3\"/><VALUE name=\"kAppPrefMidiProgChangeMode\" val=\"2\"/>", 2),
        keep ("preferences-zorvalune_unit_tests-1.0_rc1.xml", "<VALUE name=\"kAppPrefMidiChannel\" val=\"5\"/>", 1),
        keep ("preferences-zorvalune_unit_tests_extra-2.xml", "<VALUE name=\"kAppPrefMidiChannel\" val=\"9\"/>", 0),   // another program's
        keep ("preferences.xml", "<VALUE name=\"kAppPrefMidiProgChangeMode\" val=\"1\"/><VALUE name=\"kAppPrefMidiCCReceiveMode\" val=\"1\"/>", 3),
    };

    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiChannel"), 5);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiProgChangeMode"), 1);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiCCReceiveMode"), 1);
    EXPECT_FALSE (platform::user_defaults::programStorageFile().exists());

    platform::user_defaults::setInteger ("kAppPrefMidiChannel", 7);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiChannel"), 7);
    EXPECT_EQ (platform::user_defaults::getInteger ("kAppPrefMidiCCReceiveMode"), 1);
    EXPECT_EQ (stored ("kAppPrefMidiCCReceiveMode"), "missing");   // nothing but what was set is written
    EXPECT_EQ (stored ("kAppPrefMidiChannel", before[1]), "5");

    for (const auto& file : before)
        file.deleteFile();

    removePreferences();
}
