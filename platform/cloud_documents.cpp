#include "cloud_documents.h"

#include "system_log.h"
#include "user_defaults.h"

#include <juce_events/juce_events.h>

#include "folder_listing.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>

namespace
{
    std::mutex settingsMutex;
    juce::File testFolder;
    platform::cloud_documents::query_factory testQueries;

    juce::File configuredFolder()
    {
        {
            const std::lock_guard<std::mutex> lock (settingsMutex);

            if (testFolder != juce::File())
                return testFolder;
        }

        juce::String path;

        if (const char* variable = std::getenv ("ZORVALUNE_CLOUD_DOCUMENTS"))
            path = juce::String::fromUTF8 (variable);
        else
            path = platform::user_defaults::getString ("cloudDocumentsFolder");

        return juce::File::isAbsolutePath (path) ? juce::File (path) : juce::File();
    }

    // A sync client changes files behind our back and tells nobody we could
    // ask portably: we look again now and then.
    constexpr int folderPollIntervalMs = 500;

    using platform::cloud_documents::query_event;

    // What one look at a folder found: its files directly inside, by name.
    struct folder_state
    {
        std::uint64_t generation = 0;   // later looks have higher numbers
        bool present = false;
        std::vector<platform::folder_listing::entry> files;

        bool operator== (const folder_state& o) const
        {
            return present == o.present
                && std::equal (files.begin(), files.end(), o.files.begin(), o.files.end(), [] (const auto& a, const auto& b)
                               { return a.name == b.name && a.modifiedMs == b.modifiedMs && a.size == b.size; });
        }
    };

    using shared_state = std::shared_ptr<const folder_state>;

    // One query's end of a folder watch. Deliveries run on the message thread
    // under `lock`, and stop() takes it too: once stopped, no event is running
    // or will run, whichever thread stopped it.
    struct subscription
    {
        std::recursive_mutex lock;
        std::function<void (query_event)> onEvent;
        shared_state delivered, latest;
        int disabled = 0;
    };

    void deliver (const std::weak_ptr<subscription>& weak);

    void postDelivery (std::weak_ptr<subscription> weak)
    {
        juce::MessageManager::callAsync ([weak = std::move (weak)] { deliver (weak); });
    }

    void deliver (const std::weak_ptr<subscription>& weak)
    {
        const auto sub = weak.lock();

        if (sub == nullptr)
            return;

        const std::lock_guard<std::recursive_mutex> hold (sub->lock);

        if (! sub->onEvent || sub->disabled > 0 || sub->latest == nullptr || sub->latest == sub->delivered)
            return;

        const auto event = sub->delivered == nullptr ? query_event::finishedGathering : query_event::updated;
        sub->delivered = sub->latest;
        auto listener = sub->onEvent;   // the listener may stop us
        listener (event);
    }

    // Looks at one folder on a thread of its own, for every query of the
    // process that watches it: the message thread only hears of changes.
    // Links to folders are not followed, and neither are subfolders.
    class folder_watch final : private juce::Thread
    {
    public:
        explicit folder_watch (std::string folderPath) : juce::Thread ("Zorvalune folder watch"), path (std::move (folderPath))
        {
            startThread();
        }

        ~folder_watch() override
        {
            stopping = true;
            signalThreadShouldExit();
            notify();
            waitForThreadToExit (-1);
        }

        void add (const std::shared_ptr<subscription>& sub)
        {
            shared_state now;

            {
                const std::lock_guard<std::mutex> hold (subscribersLock);
                subscribers.push_back (sub);
                now = last;
            }

            // From the message thread, not from whatever lock the caller holds.
            if (now != nullptr)
                juce::MessageManager::callAsync ([weak = std::weak_ptr<subscription> (sub), now]
                {
                    if (const auto s = weak.lock())
                        hand (s, now);
                });
        }

    private:
        void run() override
        {
            while (! threadShouldExit())
            {
                auto now = std::make_shared<folder_state>();
                now->present = juce::File (juce::String::fromUTF8 (path.c_str())).isDirectory();

                if (now->present)
                    for (auto& file : platform::folder_listing::filesIn (path, &stopping))
                        if (file.name.size() > 5 && file.name.compare (file.name.size() - 5, 5, ".json") == 0)
                            now->files.push_back (std::move (file));

                std::sort (now->files.begin(), now->files.end(), [] (const auto& a, const auto& b) { return a.name < b.name; });

                if (stopping)
                    break;

                if (seen == nullptr || ! (*now == *seen))
                {
                    now->generation = ++generations;
                    seen = now;
                    std::vector<std::weak_ptr<subscription>> receivers;

                    {
                        const std::lock_guard<std::mutex> hold (subscribersLock);
                        last = seen;
                        subscribers.erase (std::remove_if (subscribers.begin(), subscribers.end(), [] (const auto& w) { return w.expired(); }),
                                           subscribers.end());
                        receivers = subscribers;
                    }

                    for (const auto& weak : receivers)
                        if (const auto sub = weak.lock())
                            hand (sub, seen);
                }

                wait (folderPollIntervalMs);
            }
        }

        static void hand (const std::shared_ptr<subscription>& sub, const shared_state& state)
        {
            {
                const std::lock_guard<std::recursive_mutex> hold (sub->lock);

                // A new query may be handed the last look after a newer one.
                if (sub->latest != nullptr && sub->latest->generation >= state->generation)
                    return;

                sub->latest = state;
            }

            postDelivery (sub);
        }

        const std::string path;
        std::atomic<bool> stopping { false };
        std::mutex subscribersLock;
        std::vector<std::weak_ptr<subscription>> subscribers;
        shared_state last;   // written by the watch thread under subscribersLock
        std::shared_ptr<folder_state> seen;   // the watch thread's own
        std::uint64_t generations = 0;
    };

    // One watch per folder, kept while some query uses it.
    std::shared_ptr<folder_watch> watchOf (const std::string& path)
    {
        static std::mutex watchesLock;
        static std::map<std::string, std::weak_ptr<folder_watch>> watches;

        const std::lock_guard<std::mutex> hold (watchesLock);
        auto& entry = watches[path];
        auto watch = entry.lock();

        if (watch == nullptr)
        {
            watch = std::make_shared<folder_watch> (path);
            entry = watch;
        }

        return watch;
    }

    class folder_query final : public platform::cloud_documents::document_query
    {
    public:
        explicit folder_query (const std::string& path) : folder (path) {}
        ~folder_query() override { stop(); }

        void start (std::function<void (query_event)> listener) override
        {
            if (watch != nullptr)
                stop();
            sub = std::make_shared<subscription>();
            sub->onEvent = std::move (listener);
            watch = watchOf (folder);
            watch->add (sub);
        }

        // Any thread; waits for an event in progress on the message thread.
        void stop() override
        {
            {
                const std::lock_guard<std::recursive_mutex> hold (sub->lock);
                sub->onEvent = nullptr;   // anything still posted finds nobody
            }

            watch.reset();   // the last query of a folder ends its watch
        }

        void disableUpdates() override
        {
            const std::lock_guard<std::recursive_mutex> hold (sub->lock);
            ++sub->disabled;
        }

        void enableUpdates() override
        {
            const std::lock_guard<std::recursive_mutex> hold (sub->lock);
            sub->disabled = juce::jmax (0, sub->disabled - 1);

            if (sub->disabled == 0 && sub->latest != sub->delivered)
                postDelivery (sub);
        }

        std::vector<platform::cloud_documents::document> results() const override
        {
            const std::lock_guard<std::recursive_mutex> hold (sub->lock);
            std::vector<platform::cloud_documents::document> documents;

            if (sub->delivered != nullptr)
                for (const auto& file : sub->delivered->files)
                    documents.push_back ({ folder + "/" + file.name, true });

            return documents;
        }

        void startDownloading (const std::string&) override {}   // a local file is here already

    private:
        const std::string folder;
        std::shared_ptr<subscription> sub = std::make_shared<subscription>();
        std::shared_ptr<folder_watch> watch;
    };
}

bool platform::cloud_documents::hasIdentityToken()
{
    return documentsFolder() != juce::File();
}

juce::File platform::cloud_documents::documentsFolder()
{
    const auto folder = configuredFolder();
    return folder.isDirectory() ? folder : juce::File();
}

void platform::cloud_documents::setDocumentsFolder (const juce::File& folder)
{
    const std::lock_guard<std::mutex> lock (settingsMutex);
    testFolder = folder;
}

void platform::cloud_documents::lookUpDocumentsFolder (std::function<void (std::string)> answer)
{
    static juce::ThreadPool lookups (1);

    lookups.addJob ([answer = std::move (answer)]
    {
        const auto folder = documentsFolder();

        if (folder == juce::File())
            return;

        juce::MessageManager::callAsync ([answer, path = folder.getFullPathName().toStdString()]
        {
            platform::system_log::noticeAndPrint ("Zorvalune ubiURL = %s \n", path.c_str());
            answer (path);
        });
    });
}

std::unique_ptr<platform::cloud_documents::document_query>
platform::cloud_documents::makeDocumentQuery (const std::string& documentsPath)
{
    {
        const std::lock_guard<std::mutex> lock (settingsMutex);

        if (testQueries)
            return testQueries (documentsPath);
    }

    return std::make_unique<folder_query> (documentsPath);
}

void platform::cloud_documents::setDocumentQueryFactoryForTesting (query_factory factory)
{
    const std::lock_guard<std::mutex> lock (settingsMutex);
    testQueries = std::move (factory);
}
