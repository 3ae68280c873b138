#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/config_folder.h"
#include "platform/system_log.h"
#include "platform/user_defaults.h"
#include "presets/cloud_watcher.h"
#include "tests/message_pump.h"

#include <thread>

namespace
{
    namespace cloud = platform::cloud_documents;

    // What a test sees of one document query it stands in for.
    struct query_state
    {
        query_state (std::string f, cloud::document_namer n) : folder (std::move (f)), namer (n) {}

        std::string folder;
        cloud::document_namer namer = nullptr;
        std::function<void (cloud::query_event)> listener;
        std::shared_ptr<const cloud::document_list> documents = cloud::makeDocumentList ({}, {}, nullptr);
        std::vector<std::string> downloads;
        bool stopped = false;

        void deliver (cloud::query_event e, std::vector<cloud::document> now)
        {
            documents = cloud::makeDocumentList (folder, std::move (now), namer);

            if (listener)
                listener (e);
        }
    };

    struct fake_query final : cloud::document_query
    {
        explicit fake_query (std::shared_ptr<query_state> s) : state (std::move (s)) {}
        void start (std::function<void (cloud::query_event)> l) override { state->listener = std::move (l); }
        void stop() override { state->listener = nullptr; state->stopped = true; }
        void disableUpdates() override {}
        void enableUpdates() override {}
        std::shared_ptr<const cloud::document_list> results() const override { return state->documents; }
        void startDownloading (const std::string& path) override { state->downloads.push_back (path); }
        std::shared_ptr<query_state> state;
    };

    // A signed-in user with a synced folder watched by fake queries, and the log lines written.
    class CloudFolder : public testing::Test
    {
    protected:
        void SetUp() override
        {
            ASSERT_TRUE (folder.createDirectory());
            cloud::setDocumentsFolder (folder);
            cloud::setDocumentQueryFactoryForTesting ([this] (const std::string& path, cloud::document_namer namer)
            {
                EXPECT_EQ (path, folder.getFullPathName().toStdString());
                return std::make_unique<fake_query> (queries.emplace_back (std::make_shared<query_state> (path, namer)));
            });
            platform::system_log::setSinkForTesting ([this] (const std::string& line)
            {
                const std::lock_guard<std::mutex> lock (logMutex);
                log.push_back (line);
            });
        }

        void TearDown() override
        {
            platform::system_log::setSinkForTesting ({});
            cloud::setDocumentQueryFactoryForTesting ({});
            cloud::setDocumentsFolder ({});
            folder.deleteRecursively();
            localFolder.deleteRecursively();
        }

        int linesContaining (const std::string& text)
        {
            const std::lock_guard<std::mutex> lock (logMutex);
            return (int) std::count_if (log.begin(), log.end(), [&] (const auto& l) { return l.find (text) != std::string::npos; });
        }

        std::string in (const char* name) const { return folder.getChildFile (name).getFullPathName().toStdString(); }

        const juce::File folder = platform::configFolder().getChildFile ("synced");   // this process's own
        const juce::File localFolder = platform::configFolder().getChildFile ("Zorvalune/userPresets");
        std::vector<std::shared_ptr<query_state>> queries;
        std::mutex logMutex;
        std::vector<std::string> log;
    };

    using names = std::set<juce::String>;
}

TEST_F (CloudFolder, CurrentDocumentsAreListedAndTheOthersAskedForOnce)
{
    ASSERT_TRUE (localFolder.getChildFile ("mine.json").create());
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return ! queries.empty(); }));
    EXPECT_EQ (p.iCloudDocumentsPath, folder.getFullPathName().toStdString());

    auto& q = *queries[0];
    q.deliver (cloud::query_event::finishedGathering, { { in ("a.json"), true }, { in ("b.json"), true }, { in ("c.json"), false } });
    EXPECT_EQ (linesContaining ("Zorvalune Found 3 iCloud files"), 1);
    EXPECT_EQ (p.userPresetNames, (names { "a", "b", "mine.local" }));
    EXPECT_EQ (q.downloads, std::vector<std::string> { in ("c.json") });

    q.deliver (cloud::query_event::updated, { { in ("a.json"), true }, { in ("b.json"), true }, { in ("c.json"), false } });
    EXPECT_EQ (q.downloads.size(), 1u);   // still pending: not asked again

    q.deliver (cloud::query_event::updated, { { in ("a.json"), true }, { in ("b.json"), true }, { in ("c.json"), true } });
    q.deliver (cloud::query_event::updated, { { in ("a.json"), true }, { in ("b.json"), true }, { in ("c.json"), true } });
    EXPECT_EQ (p.userPresetNames, (names { "a", "b", "c", "mine.local" }));
    EXPECT_EQ (linesContaining ("\tpreset downloaded c.json\n"), 1);
}

TEST_F (CloudFolder, EachReportReplacesTheCloudNamesAndKeepsTheLocalOnes)
{
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return ! queries.empty(); }));
    p.userPresetNames.insert ("kept.local");
    p.currentUserPreset = "gone";

    queries[0]->deliver (cloud::query_event::finishedGathering,
                         { { in ("gone.json"), true }, { in ("ZorvaluneDefault.json"), true }, { in ("song.local.json"), true },
                           { in ("x/twin.json"), true }, { in ("y/twin.json"), true } });
    // "song.local" would load the local song.json, and a document in a subfolder could not be loaded by its name.
    EXPECT_EQ (p.userPresetNames, (names { "gone", "kept.local" }));
    EXPECT_EQ (p.currentUserPresetIndex, 0);

    queries[0]->deliver (cloud::query_event::updated, { { in ("new.json"), true } });
    EXPECT_EQ (p.userPresetNames, (names { "kept.local", "new" }));
    EXPECT_EQ (p.currentUserPresetIndex, -1);   // no longer listed, still named
    EXPECT_EQ (p.currentUserPreset, "gone");
}

TEST_F (CloudFolder, AStateRestoredOnAnotherThreadNamesItsPresetOnTheMessageThread)
{
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return ! queries.empty(); }));
    queries[0]->deliver (cloud::query_event::finishedGathering, { { in ("a.json"), true }, { in ("b.json"), true } });

    const juce::String text ("{ \"currentUserPreset\": \"b\" }");
    std::thread ([&] { p.setStateInformation (text.toRawUTF8(), (int) text.getNumBytesAsUTF8()); }).join();
    EXPECT_EQ (p.currentUserPreset, "");   // the list's owner is not raced
    test_support::pumpMessages();
    EXPECT_EQ (p.currentUserPreset, "b");
    EXPECT_EQ (p.currentUserPresetIndex, 1);
}

TEST_F (CloudFolder, AnswersNeverReachAGoneProcessorAndAGoneProcessorStopsOnlyItsScanner)
{
    std::make_unique<ZorvaluneAudioProcessor>().reset();   // its lookup still runs
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return linesContaining ("Zorvalune ubiURL = ") == 1; }));
    test_support::pumpMessages();
    EXPECT_TRUE (queries.empty());
    EXPECT_TRUE (sCloudscanners.empty());

    auto first = std::make_unique<ZorvaluneAudioProcessor>();
    ZorvaluneAudioProcessor second;
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return queries.size() == 2; }));   // lookups answer in order

    char address[32];
    std::snprintf (address, sizeof (address), "%p", (void*) first.get());
    first.reset();
    EXPECT_EQ (linesContaining (std::string ("Zorvalune removed cloudscanner : ") + address), 1);
    EXPECT_EQ (sCloudscanners.size(), 1u);
    EXPECT_TRUE (queries[0]->stopped);
    EXPECT_FALSE (queries[1]->stopped);

    queries[1]->deliver (cloud::query_event::finishedGathering, { { in ("still.json"), true } });
    EXPECT_EQ (second.userPresetNames, (names { "still" }));
}

TEST_F (CloudFolder, SignedInWhileTheFolderNamedByTheEnvironmentOrElseThePreferencesExists)
{
    cloud::setDocumentsFolder ({});
    ASSERT_TRUE (localFolder.getChildFile ("mine.json").create());
    platform::user_defaults::setString ("cloudDocumentsFolder", folder.getChildFile ("missing").getFullPathName());

    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.iCloudAvailable, 0);
    EXPECT_EQ (p.getUserPresetNames (1), (names { "mine" }));
    EXPECT_EQ (p.iCloudAvailable, 0);   // a rescan does not turn the cloud on
    test_support::pumpMessagesFor (50);
    EXPECT_TRUE (queries.empty());

    platform::user_defaults::setString ("cloudDocumentsFolder", folder.getFullPathName());
    EXPECT_EQ (cloud::documentsFolder(), folder);
    setenv ("ZORVALUNE_CLOUD_DOCUMENTS", localFolder.getFullPathName().toRawUTF8(), 1);
    EXPECT_EQ (cloud::documentsFolder(), localFolder);
    unsetenv ("ZORVALUNE_CLOUD_DOCUMENTS");
    platform::user_defaults::storageFile().deleteFile();
}

TEST_F (CloudFolder, TheSyncedFolderIsWatchedForReal)
{
    cloud::setDocumentQueryFactoryForTesting ({});
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return linesContaining ("Zorvalune Found 0 iCloud files") == 1; }));

    ASSERT_TRUE (folder.getChildFile ("one.json").create());
    EXPECT_TRUE (test_support::pumpMessagesUntil ([&] { return p.userPresetNames == names { "one" }; }));

    ASSERT_TRUE (folder.getChildFile ("two.json").create());
    ASSERT_TRUE (folder.getChildFile ("sub/three.json").create());   // not loadable by its name: not listed
    ASSERT_TRUE (folder.getChildFile ("one.json").deleteFile());
    EXPECT_TRUE (test_support::pumpMessagesUntil ([&] { return p.userPresetNames == names { "two" }; }));
    EXPECT_EQ (p.loadUserPreset ("two"), -2);   // found where it is listed (it holds no settings)
}
