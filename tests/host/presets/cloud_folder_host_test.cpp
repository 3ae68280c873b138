#include <gtest/gtest.h>

#include "plugin_host.h"

#include "tests/message_pump.h"

#include <atomic>
#include <cstdlib>
#include <thread>

using plugin_host::Format;

class CloudFolderHost : public testing::TestWithParam<Format> {};

// A user names a synced folder in the environment: the plug-in a host loads
// signs in to it and reads its default settings file from there.
TEST_P (CloudFolderHost, TheFolderNamedInTheEnvironmentIsTheCloud)
{
    // Inside this process's own scratch configuration folder: formats run in parallel.
    const auto folder = juce::File (juce::String::fromUTF8 (std::getenv ("XDG_CONFIG_HOME"))).getChildFile ("synced");
    ASSERT_TRUE (folder.createDirectory());
    ASSERT_TRUE (folder.getChildFile ("ZorvaluneDefault.json").replaceWithText ("{ \"Dry Wet\": 0.25 }"));

    setenv ("ZORVALUNE_CLOUD_DOCUMENTS", folder.getFullPathName().toRawUTF8(), 1);
    auto signedIn = plugin_host::load (GetParam());
    unsetenv ("ZORVALUNE_CLOUD_DOCUMENTS");
    auto signedOut = plugin_host::load (GetParam());
    ASSERT_NE (signedIn, nullptr);
    ASSERT_NE (signedOut, nullptr);

    plugin_host::settle (*signedIn);   // LV2 reports values after a run
    EXPECT_EQ (plugin_host::parameterFor (*signedIn, 0)->getValue(), 0.25f);
    EXPECT_EQ (plugin_host::parameterFor (*signedOut, 0)->getValue(), 1.0f);

    signedIn.reset();
    signedOut.reset();
    folder.deleteRecursively();
}

// Hosts delete instances on threads of their own, also while the cloud folder
// is watched and its reports are on their way.
TEST_P (CloudFolderHost, InstancesDeletedOnAnotherThreadWhileWatchingGoQuietly)
{
    const auto folder = juce::File (juce::String::fromUTF8 (std::getenv ("XDG_CONFIG_HOME"))).getChildFile ("watched");
    ASSERT_TRUE (folder.createDirectory());

    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE (folder.getChildFile ("p" + juce::String (i) + ".json").replaceWithText ("{}"));

    setenv ("ZORVALUNE_CLOUD_DOCUMENTS", folder.getFullPathName().toRawUTF8(), 1);

    for (int i = 0; i < 20; ++i)
    {
        auto instance = plugin_host::load (GetParam());
        ASSERT_NE (instance, nullptr);

        if (i % 2 == 0)
            plugin_host::settle (*instance);   // watching by now

        ASSERT_TRUE (folder.getChildFile ("changing.json").replaceWithText (juce::String (i)));

        std::atomic<bool> gone { false };
        std::thread host ([&] { instance.reset(); gone = true; });

        while (! gone)
            test_support::pumpMessages (20);

        host.join();
    }

    unsetenv ("ZORVALUNE_CLOUD_DOCUMENTS");
    test_support::pumpMessages();
    folder.deleteRecursively();
}

INSTANTIATE_TEST_SUITE_P (Formats, CloudFolderHost, testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& testInfo) { return std::string (plugin_host::formatName (testInfo.param)); });
