#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/cloud_documents.h"
#include "tests/host_recorder.h"
#include "tests/log_capture.h"
#include "tests/preset_folder_fixture.h"

#include <csignal>
#include <sys/resource.h>

using Names = std::set<juce::String>;

namespace
{
    const juce::String soft = R"({ "Dry Wet": 0.25 })";

    // Preset files hold this unless a test says otherwise.
    class UserPresetFolder : public test_support::PresetFolderTest
    {
    protected:
        static juce::File put (const juce::File& folder, const juce::String& path, const juce::String& text = soft)
        {
            return PresetFolderTest::put (folder, path, text);
        }
    };

    // While it lives, no file of this process may grow past `bytes`: a full disk.
    struct FullDisk
    {
        explicit FullDisk (rlim_t bytes)
        {
            std::signal (SIGXFSZ, SIG_IGN);
            const rlimit limit { bytes, saved.rlim_max };
            setrlimit (RLIMIT_FSIZE, &limit);
        }

        ~FullDisk() { setrlimit (RLIMIT_FSIZE, &saved); }

        rlimit saved = [] { rlimit r {}; getrlimit (RLIMIT_FSIZE, &r); return r; }();
    };

    class UserPresetListing : public UserPresetFolder {};
    class UserPresetNames : public UserPresetFolder {};
    class UserPresetLoading : public UserPresetFolder {};
    class UserPresetWriting : public UserPresetFolder {};
}

TEST_F (UserPresetListing, SortsByCharacterCodeAndSkipsFilesThatAreNoPresets)
{
    for (auto* path : { "Zeta.json", "alpha.json", "B.json", "zorvaluneDefault.json", "ZorvaluneDefault.json", "upper.JSON",
                        ".hidden.json", ".zorvalune-write-12ab.tmp", "cut_temp.json.tmp", "sub/inner.json" })
        put (local(), path);

    ZorvaluneAudioProcessor p;
    EXPECT_EQ (std::vector<juce::String> (p.userPresetNames.begin(), p.userPresetNames.end()),
               (std::vector<juce::String> { "B", "Zeta", "alpha", "zorvaluneDefault" }));
}

TEST_F (UserPresetListing, EveryListedNameLeadsBackToItsFileWithAndWithoutTheCloud)
{
    const auto cloud = root.getChildFile ("cloud");
    put (local(), "a.json");
    put (local(), "song.local.json");
    put (cloud, "b.json");
    put (cloud, "ZorvaluneDefault.json", R"({ "Dry Wet": 0.5 })");
    platform::cloud_documents::setDocumentsFolder (cloud);

    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.getParameter (0), 0.5f);
    EXPECT_EQ (p.userPresetNames, (Names { "a.local", "b", "song.local.local" }));
    EXPECT_EQ (juce::File (p.getFullPathOfPreset ("a.local")), local().getChildFile ("a.json"));
    EXPECT_FALSE (p.checkPresetName ("ZorvaluneDefault.local").isEmpty());

    const auto everyNameLoads = [&p]
    {
        for (const auto& name : p.userPresetNames)
            EXPECT_EQ (p.loadUserPreset (name), 0) << name;
    };

    everyNameLoads();
    cloud.deleteRecursively();
    p.getUserPresetNames (1);
    EXPECT_EQ (p.userPresetNames, (Names { "a", "song.local" }));
    everyNameLoads();
}

TEST_F (UserPresetNames, RefusedNamesWriteNothingAnywhere)
{
    ZorvaluneAudioProcessor p;

    for (const auto& name : juce::StringArray { "", ".", "..", ".hidden", "a/b", "../escape", "a\\b", "tab\tname", "line\nbreak",
                                                "ZorvaluneDefault", juce::String::repeatedString ("n", 300) })
    {
        EXPECT_FALSE (p.checkPresetName (name).isEmpty()) << name;
        EXPECT_FALSE (p.writeUserPreset (name)) << name;
    }

    // Names that show nothing are blank: Unicode spaces, zero-width and format characters, mixed.
    for (auto* name : { L"\u00a0\u00a0\u00a0", L"\u200b\u200b", L"\u3000\u3000", L"\u2003 \ufeff\u2060\u200e", L"\u202f\u180e\U000e0020\ufe0f" })
    {
        EXPECT_EQ (p.checkPresetName (name), p.checkPresetName ("")) << name;
        EXPECT_FALSE (p.writeUserPreset (name)) << name;
    }

    EXPECT_TRUE (p.userPresetNames.empty());
    EXPECT_EQ (root.findChildFiles (juce::File::findFiles, true).size(), 0);

    for (const auto& name : juce::StringArray { "drums:kick", " spaced ", juce::String::fromUTF8 ("K\xc3\xa4se \xe2\x99\xab"), L"\u3000x\u200b" })
        EXPECT_TRUE (p.writeUserPreset (name)) << name;

    put (local(), juce::String (L"\u00a0\u00a0") + ".json");     // named so before: still a preset to save
    p.getUserPresetNames (1);
    EXPECT_TRUE (p.writeUserPreset (L"\u00a0\u00a0"));
}

TEST_F (UserPresetNames, ANewNameNeverReplacesTheFileOfAnotherPreset)
{
    put (local(), "kick.json");
    ZorvaluneAudioProcessor p;

    ASSERT_TRUE (p.writeUserPreset ("kick.local"));
    EXPECT_EQ (p.getUserPresetNames (1), (Names { "kick", "kick.local" }));

    put (local(), "late.json");   // written by another instance since the last listing
    EXPECT_FALSE (p.writeUserPreset ("late"));

    for (auto* path : { "kick.json", "late.json" })
        EXPECT_EQ (local().getChildFile (path).loadFileAsString(), soft);
}

TEST_F (UserPresetLoading, ListedUnlistedMissingAndBrokenFiles)
{
    put (local(), "gone.json");
    put (local(), "soft.json", R"({ "Dry Wet": 0.25, "midi_progr_change_mode": 2 })");
    put (local(), "cut.json", R"({ "Dry Wet": 0.5, "In Ga)");
    put (local(), "tiny.json", "{");
    put (local(), "list.json", "[ 0.5 ]");

    ZorvaluneAudioProcessor p;
    p.midi_progr_change_mode = 1;
    put (local(), "unlisted.json");
    test_support::LogCapture log;
    test_support::HostRecorder host (p);

    local().getChildFile ("gone.json").deleteFile();
    EXPECT_EQ (p.loadUserPreset ("gone"), -1);
    EXPECT_EQ (log.count ("\nZorvalune : selected preset gone does NOT exists !\n"), 1);
    EXPECT_EQ (p.loadUserPreset ("unlisted"), 0);

    for (auto* name : { "cut", "tiny", "list" })
        EXPECT_EQ (p.loadUserPreset (name), -2) << name;

    EXPECT_EQ (p.getParameter (0), 1.0f);
    EXPECT_EQ (p.currentUserPreset, "");
    EXPECT_TRUE (host.changes.empty());

    p.setParameter (1, 0.3f);
    EXPECT_EQ (p.loadUserPreset ("soft"), 0);
    EXPECT_EQ (p.getParameter (0), 0.25f);
    EXPECT_EQ (p.currentUserPresetIndex, p.getUserPresetIndx ("soft"));
    EXPECT_EQ (p.presetModified.load(), 0);
    EXPECT_EQ (p.midi_progr_change_mode, 1);

    // The host hears the loaded values, with no gesture that a recording host would take for a touch.
    ASSERT_EQ (host.changes.size(), 48u);
    EXPECT_EQ (host.changes[0], (std::pair<int, float> { 0, 0.25f }));
    EXPECT_TRUE (host.begun.empty());
}

TEST_F (UserPresetWriting, TheWrittenPresetBecomesCurrentAndAListedOneIsReplaced)
{
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (p.writeUserPreset ("b"));
    ASSERT_TRUE (p.writeUserPreset ("a"));
    EXPECT_EQ (p.currentUserPresetIndex, 0);

    // Written under a listed name, the changes are saved there, not in "a".
    p.setParameter (0, 0.5f);
    ASSERT_TRUE (p.writeUserPreset ("b"));
    EXPECT_EQ (p.currentUserPreset, "b");
    EXPECT_EQ (p.currentUserPresetIndex, 1);
    EXPECT_EQ (p.presetModified.load(), 0);
    EXPECT_EQ (filesIn (local()), 2);
    EXPECT_EQ ((double) juce::JSON::parse (local().getChildFile ("b.json"))["Dry Wet"], 0.5);
    EXPECT_EQ ((double) juce::JSON::parse (local().getChildFile ("a.json"))["Dry Wet"], 1.0);

    for (auto* name : { "a", "b" })
        EXPECT_EQ (juce::JSON::parse (local().getChildFile (juce::String (name) + ".json"))["currentUserPreset"].toString(), name);
}

TEST_F (UserPresetWriting, AFailedWriteKeepsTheOldFileAndIsNoSuccess)
{
    const auto kept = put (local(), "keep.json");
    ZorvaluneAudioProcessor p;
    ASSERT_EQ (p.loadUserPreset ("keep"), 0);
    p.setParameter (0, 0.5f);
    const auto nothingChanged = [&] { return p.userPresetNames == Names { "keep" } && p.presetModified.load() == 1; };
    test_support::LogCapture log;

    {
        const FullDisk full (64);
        EXPECT_FALSE (p.writeUserPreset ("keep"));
        EXPECT_FALSE (p.writeUserPreset ("new"));
    }

    EXPECT_EQ (log.count ("could NOT be written"), 2);
    EXPECT_TRUE (nothingChanged());

    local().setReadOnly (true);
    const int status = test_support::runUnprivileged ([&]
    {
        return ! p.writeUserPreset ("keep") && ! p.writeUserPreset ("new") && ! p.saveDefaultSettings()
            && ! p.removeUserPreset ("keep") && nothingChanged();
    });
    local().setReadOnly (false);
    EXPECT_EQ (status, 0);
    EXPECT_EQ (kept.loadFileAsString(), soft);
    EXPECT_EQ (filesIn (local()), 1);
}

TEST_F (UserPresetWriting, FactoryCopiesLeaveTheCurrentSettingsAlone)
{
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (p.writeUserPreset ("mine"));
    p.setParameter (0, 0.4f);

    EXPECT_EQ (p.copyFactoryPresets(), 7);
    EXPECT_EQ (p.copyFactoryPresets(), 0);
    EXPECT_EQ (p.getParameter (0), 0.4f);
    EXPECT_EQ (p.presetModified.load(), 1);
    EXPECT_EQ (p.currentUserPresetIndex, p.getUserPresetIndx ("mine"));

    ZorvaluneAudioProcessor factory;
    factory.setCurrentProgram (7);
    ASSERT_EQ (p.loadUserPreset ("factory:hell"), 0);

    for (int i = 0; i < 48; ++i)
        EXPECT_EQ (p.getParameter (i), factory.getParameter (i)) << i;
}

TEST_F (UserPresetWriting, ADefaultFileThatIsNoSettingsTextIsIgnoredAtStart)
{
    put (local(), "ZorvaluneDefault.json", R"({ "Dry Wet": 0.25, )");
    test_support::LogCapture log;
    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.getParameter (0), 1.0f);
    EXPECT_EQ (log.count ("default file"), 1);
}
