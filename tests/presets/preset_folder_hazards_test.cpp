#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/cloud_documents.h"
#include "platform/folder_listing.h"
#include "platform/system_text.h"
#include "presets/cloud_watcher.h"
#include "tests/log_capture.h"
#include "tests/message_pump.h"
#include "tests/preset_folder_fixture.h"

#include <chrono>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using Names = std::set<juce::String>;

namespace
{
    const juce::String soft = R"({ "Dry Wet": 0.25 })";

    // Files whose names a sync client may bring that are no valid UTF-8, with
    // what each once did: overran a heap block, was listed as "abc", was hidden.
    const std::string overrun = std::string ("\x80") + std::string (40, 'x') + ".json";
    const std::string truncated = "abc\xF0.json";
    const std::string latin1 = "K\xE4se.json";

    void putRaw (const juce::File& folder, const std::string& name, const juce::String& text = soft)
    {
        ASSERT_TRUE (folder.createDirectory());
        const auto path = folder.getFullPathName().toStdString() + "/" + name;
        const int fd = ::open (path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE (fd, 0);
        ASSERT_EQ (::write (fd, text.toRawUTF8(), text.getNumBytesAsUTF8()), (ssize_t) text.getNumBytesAsUTF8());
        ::close (fd);
    }

    // The framework's own listing would trip over the hostile names: these count
    // and remove entries by their bytes.
    int entriesIn (const juce::File& folder)
    {
        int n = 0;

        if (DIR* dir = ::opendir (folder.getFullPathName().toRawUTF8()))
        {
            while (const auto* e = ::readdir (dir))
                n += e->d_name[0] != '.' ? 1 : 0;

            ::closedir (dir);
        }

        return n;
    }

    void removeHostileNames (const juce::File& folder)
    {
        for (const auto& name : { overrun, truncated, latin1 })
            ::unlink ((folder.getFullPathName().toStdString() + "/" + name).c_str());
    }

    // Every listed name loads from the file it came from, and saving it writes no other file.
    void expectEveryNameLoadsAndSavesInPlace (ZorvaluneAudioProcessor& p, const juce::File& folder)
    {
        const int files = entriesIn (folder);

        const auto names = p.userPresetNames;   // a write may list the folder anew

        for (const auto& name : names)
        {
            EXPECT_EQ (p.loadUserPreset (name), 0) << name;
            EXPECT_TRUE (p.writeUserPreset (name)) << name;
            EXPECT_EQ (p.currentUserPreset, name);
        }

        EXPECT_EQ (entriesIn (folder), files);
    }

    class PresetFolderHazards : public test_support::PresetFolderTest
    {
    protected:
        void TearDown() override
        {
            removeHostileNames (local());
            removeHostileNames (cloud());
            PresetFolderTest::TearDown();
        }

        juce::File cloud() const { return root.getChildFile ("cloud"); }

        // A processor of a signed-in user whose cloud folder is watched for real.
        std::unique_ptr<ZorvaluneAudioProcessor> watching()
        {
            platform::cloud_documents::setDocumentsFolder (cloud());
            const int gathered = log.count ("iCloud files");
            auto p = std::make_unique<ZorvaluneAudioProcessor>();
            EXPECT_TRUE (test_support::pumpMessagesUntil ([&] { return log.count ("iCloud files") > gathered; }, 10000));
            return p;
        }

        test_support::LogCapture log;
    };
}

TEST (FolderListing, OnlyWellFormedUtf8NamesPass)
{
    using platform::system_text::isValidUTF8;
    const std::pair<const char*, bool> cases[] = {
        { "plain", true }, { "K\xC3\xA4se", true }, { "\xE2\x82\xAC", true }, { "\xF0\x9F\x8E\xB9", true },
        { "\x80", false }, { "K\xE4se", false }, { "abc\xF0", false }, { "\xE2\x82", false },
        { "\xC0\x80", false }, { "\xE0\x80\x80", false }, { "\xED\xA0\x80", false }, { "\xF4\x90\x80\x80", false },
        { "\xF8\x88\x80\x80\x80", false }, { "\xC3\x28", false },
    };

    for (const auto& [text, valid] : cases)
        EXPECT_EQ (isValidUTF8 (text, std::strlen (text)), valid) << text;

    EXPECT_FALSE (isValidUTF8 ("a\0b", 3));
}

TEST_F (PresetFolderHazards, NamesThatAreNoUtf8AreLeftOutAndTheRestLoadAndSaveUnderTheirNames)
{
    for (const auto& name : { overrun, truncated, latin1, std::string ("K\xC3\xA4se.json"), std::string ("abc.json") })
        putRaw (local(), name);

    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.userPresetNames, (Names { juce::String::fromUTF8 ("K\xC3\xA4se"), "abc" }));
    expectEveryNameLoadsAndSavesInPlace (p, local());
}

TEST_F (PresetFolderHazards, TheWatcherLeavesOutTheSameNames)
{
    ASSERT_TRUE (cloud().createDirectory());
    auto p = watching();
    const int reports = log.count ("preset downloaded");

    for (const auto& name : { overrun, truncated, latin1, std::string ("fine.json") })
        putRaw (cloud(), name);

    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return p->userPresetNames == Names { "fine" }; }, 10000));
    test_support::pumpMessagesFor (1200);
    EXPECT_EQ (p->userPresetNames, (Names { "fine" }));
    EXPECT_EQ (log.count ("preset downloaded"), reports + 1);
    expectEveryNameLoadsAndSavesInPlace (*p, cloud());
}

// Only what loads under its name is listed: not a document in a subfolder,
// nor one whose name would lead to a local file, nor anything behind a link
// to a folder (inside or outside).
TEST_F (PresetFolderHazards, TheCloudListsOnlyWhatLoadsUnderItsName)
{
    putRaw (cloud(), "top.json");
    putRaw (cloud(), "x.local.json");
    putRaw (local(), "x.json");
    ASSERT_TRUE (cloud().getChildFile ("sub").createDirectory());
    putRaw (cloud().getChildFile ("sub"), "c2.json");
    const auto outside = root.getChildFile ("outside");
    putRaw (outside, "stranger.json");
    ASSERT_TRUE (outside.createSymbolicLink (cloud().getChildFile ("away"), true));
    ASSERT_TRUE (root.createSymbolicLink (cloud().getChildFile ("up"), true));
    ASSERT_TRUE (outside.getChildFile ("stranger.json").createSymbolicLink (cloud().getChildFile ("linked.json"), true));

    const Names expected { "linked", "top", "x.local" };   // x.local is the local x.json
    platform::cloud_documents::setDocumentsFolder (cloud());
    EXPECT_EQ (ZorvaluneAudioProcessor().userPresetNames, expected);   // the listing at start

    auto p = watching();
    test_support::pumpMessages();
    EXPECT_EQ (p->userPresetNames, expected);
    EXPECT_EQ (juce::File (p->getFullPathOfPreset ("x.local")), local().getChildFile ("x.json"));
    expectEveryNameLoadsAndSavesInPlace (*p, cloud());
}

// The scan runs off the message thread: a big folder, or a link to a big
// tree, costs the message thread one report per change and nothing per look.
TEST_F (PresetFolderHazards, AFolderOfManyFilesCostsTheMessageThreadNothingWhileItStaysTheSame)
{
    const auto big = root.getChildFile ("big");

    for (int i = 0; i < 10000; ++i)
        putRaw (cloud(), "p" + std::to_string (i) + ".json", "{}");

    for (int i = 0; i < 2000; ++i)
        putRaw (big.getChildFile ("d" + juce::String (i % 30)), "q" + std::to_string (i) + ".json", "{}");

    ASSERT_TRUE (big.createSymbolicLink (cloud().getChildFile ("big"), true));

    auto p = watching();
    EXPECT_EQ (p->userPresetNames.size(), 10000u);
    const int refreshes = p->editorRefreshRequests.load();

    // Three looks at the folder, none of them a change: nothing to do for the message thread.
    auto longest = std::chrono::steady_clock::duration::zero();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (1600);

    while (std::chrono::steady_clock::now() < end)
    {
        const auto start = std::chrono::steady_clock::now();
        test_support::pumpMessages();
        longest = std::max (longest, std::chrono::steady_clock::now() - start);
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }

    EXPECT_EQ (p->editorRefreshRequests.load(), refreshes);
    EXPECT_EQ (log.count ("iCloud files"), 1);
    // Generous: scanning these folders on the message thread took far longer.
    EXPECT_LT (std::chrono::duration_cast<std::chrono::milliseconds> (longest).count(), 250);

    // A change is worked out once for every instance: a rewritten document
    // changes no name and bothers no editor; a new one reaches both, as one text.
    auto q = watching();
    const int refreshesQ = q->editorRefreshRequests.load();
    putRaw (cloud(), "p1.json", "{ }");
    test_support::pumpMessagesFor (1200);
    EXPECT_EQ (p->editorRefreshRequests.load() + q->editorRefreshRequests.load(), refreshes + refreshesQ);

    putRaw (cloud(), "new.json", "{}");
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return p->userPresetNames.count ("new") + q->userPresetNames.count ("new") == 2; }, 5000));
    EXPECT_EQ (p->userPresetNames.find ("new")->getCharPointer(), q->userPresetNames.find ("new")->getCharPointer());
    EXPECT_EQ (p->editorRefreshRequests.load() + q->editorRefreshRequests.load(), refreshes + refreshesQ + 2);
}

// A scan that hangs in a network mount that stopped answering holds up no
// one: the instance that watched the folder goes at once (here on the
// message thread), and the scan ends on its own once the mount answers.
TEST_F (PresetFolderHazards, AHungScanHoldsUpNoOne)
{
    putRaw (cloud(), "a.json");
    auto p = watching();

    struct mount { std::atomic<bool> hung { false }, answers { false }; };
    const auto m = std::make_shared<mount>();
    platform::folder_listing::setEntryHookForTesting ([m]
    {
        m->hung = true;

        while (! m->answers)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    });
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return m->hung.load(); }, 5000));

    // Should the instance wait for the scan after all, the mount answers in the end.
    std::thread answersLate ([m]
    {
        for (int i = 0; i < 2000 && ! m->answers; ++i)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));

        m->answers = true;
    });
    p.reset();
    const bool goneWhileHung = ! m->answers;
    m->answers = true;
    answersLate.join();
    platform::folder_listing::setEntryHookForTesting ({});
    EXPECT_TRUE (goneWhileHung);

    EXPECT_EQ (watching()->userPresetNames, (Names { "a" }));   // watched anew
}

// A synced folder can be unmounted or deleted while in use: the presets are
// then local, as without a cloud, the folder is not made again, and the name
// panel says so; when it is back, so are its presets.
TEST_F (PresetFolderHazards, AVanishedCloudFolderIsFollowedNotRecreated)
{
    putRaw (cloud(), "shared.json");
    putRaw (local(), "mine.json");
    auto p = watching();
    EXPECT_EQ (p->userPresetNames, (Names { "mine.local", "shared" }));
    EXPECT_EQ (p->cloudStatusText(), "iCloud enabled");

    ASSERT_TRUE (cloud().deleteRecursively());
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return p->userPresetNames == Names { "mine" }; }, 10000));
    EXPECT_FALSE (p->cloudFolderInUse());
    EXPECT_TRUE (p->cloudStatusText().contains ("missing"));

    EXPECT_TRUE (p->writeUserPreset ("added"));
    EXPECT_TRUE (p->saveDefaultSettings());
    EXPECT_FALSE (cloud().exists());
    EXPECT_TRUE (local().getChildFile ("added.json").existsAsFile());
    EXPECT_TRUE (local().getChildFile ("ZorvaluneDefault.json").existsAsFile());
    expectEveryNameLoadsAndSavesInPlace (*p, local());

    putRaw (cloud(), "shared.json");
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return p->userPresetNames == Names { "added.local", "mine.local", "shared" }; }, 10000));
    EXPECT_EQ (p->cloudStatusText(), "iCloud enabled");
    EXPECT_EQ (juce::File (p->getFullPathOfPreset ("shared")), cloud().getChildFile ("shared.json"));
}

// A cloud folder that is gone when a write comes, before the watcher has looked
// again, is not made again by the write either.
TEST_F (PresetFolderHazards, AWriteDoesNotRecreateAVanishedCloudFolder)
{
    putRaw (cloud(), "shared.json");
    auto p = watching();
    ASSERT_TRUE (cloud().deleteRecursively());

    EXPECT_TRUE (p->writeUserPreset ("late"));
    EXPECT_FALSE (cloud().exists());
    EXPECT_TRUE (local().getChildFile ("late.json").existsAsFile());
}

// A legacy home folder, or a disk mounted under a Latin-1 name, puts bytes
// that are no UTF-8 into a folder's path: such a folder is not used, the log
// says why (and the name panel, for the cloud), and nothing overruns.
TEST_F (PresetFolderHazards, AFolderWhosePathIsNoUtf8IsNotUsedAndTheLogSaysWhy)
{
    namespace fs = std::filesystem;
    const auto home = root.getChildFile ("home");
    put (home, ".config/Zorvalune/userPresets/mine.json", soft);
    const auto savedHome = juce::SystemStats::getEnvironmentVariable ("HOME", {});
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    for (const std::string bad : { "\x80" "Alte Sicherung 1998", "\xC0" "Dossiers de travail" })
    {
        // The framework's own listing would trip over the name: made and removed by its bytes.
        const fs::path folder = root.getFullPathName().toStdString() + "/" + bad;
        fs::create_directories (folder / "Zorvalune/userPresets");
        std::ofstream (folder / "Zorvalune/userPresets/unseen.json") << "{}";
        std::ofstream (folder / "unseen.json") << "{}";
        const int reports = log.count ("not valid UTF-8");

        setenv ("XDG_CONFIG_HOME", folder.c_str(), 1);
        {
            ZorvaluneAudioProcessor p;
            EXPECT_EQ (p.userPresetNames, (Names { "mine" }));   // as with no XDG_CONFIG_HOME
            EXPECT_TRUE (p.writeUserPreset ("new"));
            EXPECT_TRUE (home.getChildFile (".config/Zorvalune/userPresets/new.json").existsAsFile());
            EXPECT_TRUE (home.getChildFile (".config/Zorvalune/userPresets/new.json").deleteFile());
        }
        EXPECT_EQ (log.count ("not valid UTF-8"), reports + 1);
        EXPECT_EQ (log.count (platform::system_text::printable (folder.string())), 1);

        // With the home folder unusable too, nothing is kept anywhere.
        setenv ("HOME", folder.c_str(), 1);
        {
            ZorvaluneAudioProcessor p;
            EXPECT_TRUE (p.userPresetNames.empty());
            EXPECT_FALSE (p.writeUserPreset ("nowhere"));
            EXPECT_FALSE (p.saveDefaultSettings());
            EXPECT_FALSE (fs::exists ("/nowhere.json") || fs::exists ("/ZorvaluneDefault.json"));
        }
        setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

        setenv ("XDG_CONFIG_HOME", root.getFullPathName().toRawUTF8(), 1);
        setenv ("ZORVALUNE_CLOUD_DOCUMENTS", folder.c_str(), 1);
        {
            ZorvaluneAudioProcessor p;
            test_support::pumpMessagesFor (50);
            EXPECT_EQ (p.iCloudAvailable, 0);
            EXPECT_TRUE (p.cloudStatusText().contains ("name"));
            EXPECT_TRUE (p.writeUserPreset ("kept"));
            EXPECT_TRUE (local().getChildFile ("kept.json").existsAsFile());
        }
        EXPECT_EQ (log.count ("not valid UTF-8"), reports + 3);   // XDG_CONFIG_HOME, HOME, the cloud
        unsetenv ("ZORVALUNE_CLOUD_DOCUMENTS");

        // Named in the shared preferences instead, by a text editor that wrote Latin-1.
        const auto preferences = root.getFullPathName().toStdString() + "/Zorvalune/preferences.xml";
        std::ofstream (preferences) << "<?xml version=\"1.0\"?>\n<PROPERTIES><VALUE name=\"cloudDocumentsFolder\" val=\""
                                    << folder.string() << "\"/></PROPERTIES>\n";
        {
            ZorvaluneAudioProcessor p;
            EXPECT_EQ (p.iCloudAvailable, 0);
            EXPECT_TRUE (p.cloudStatusText().contains ("name"));
        }
        fs::remove (preferences);
        fs::remove_all (folder);
    }

    setenv ("HOME", savedHome.toRawUTF8(), 1);
}
