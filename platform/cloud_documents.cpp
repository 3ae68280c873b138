#include "cloud_documents.h"

#include "folder_listing.h"
#include "system_log.h"
#include "system_text.h"
#include "user_defaults.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace
{
    std::mutex settingsMutex;
    juce::File testFolder;
    platform::cloud_documents::query_factory testQueries;

    // The folder the configuration names; an empty File when it names none,
    // and when it names one by a path that is not valid UTF-8 (`unusable`).
    juce::File configuredFolder (bool& unusable)
    {
        {
            const std::lock_guard<std::mutex> lock (settingsMutex);

            if (testFolder != juce::File())
                return testFolder;
        }

        using namespace platform::system_text;
        std::optional<juce::File> folder;

        if (const auto variable = environment ("ZORVALUNE_CLOUD_DOCUMENTS"))
        {
            unusable = ! isValidUTF8 (variable->data(), variable->size());
            folder = fileAt (*variable, "ZORVALUNE_CLOUD_DOCUMENTS");
        }
        else if (const auto stored = platform::user_defaults::getString ("cloudDocumentsFolder"))
        {
            folder = fileAt (stored->toStdString(), "cloudDocumentsFolder");
        }
        else
        {
            unusable = true;
        }

        return folder.value_or (juce::File());
    }

    // A sync client changes files behind our back and tells nobody we could
    // ask portably: we look again now and then.
    constexpr int folderPollIntervalMs = 500;

    using platform::cloud_documents::query_event;

    // What one look at a folder found: its files directly inside, by name,
    // and the list made of them for the queries.
    struct folder_state
    {
        std::uint64_t generation = 0;   // later looks have higher numbers
        bool present = false;
        std::vector<platform::folder_listing::entry> files;
        std::shared_ptr<const platform::cloud_documents::document_list> list;

        bool sameFilesAs (const folder_state& o) const
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

    void hand (const std::shared_ptr<subscription>& sub, const shared_state& state)
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

    // A thread left in a hung scan still runs our code after its owner let it
    // go: the library must then stay loaded when the host releases it.
    void keepLibraryLoaded()
    {
        static std::once_flag once;

        std::call_once (once, []
        {
            Dl_info info {};

            if (::dladdr (reinterpret_cast<void*> (&keepLibraryLoaded), &info) != 0 && info.dli_fname != nullptr)
                ::dlopen (info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        });
    }

    // What a folder watch's thread uses, owned by the thread and the watch
    // together: a scan stuck in a hung network mount outlives the watch, and
    // finds all it touches still there when it returns.
    struct watch_core
    {
        watch_core (std::string p, platform::cloud_documents::document_namer n) : path (std::move (p)), namer (n) {}

        const std::string path;
        const platform::cloud_documents::document_namer namer;
        std::atomic<bool> stopping { false };

        std::mutex lock;   // guards what follows
        std::condition_variable changed;
        std::vector<std::weak_ptr<subscription>> subscribers;
        shared_state last;
        bool finished = false;
    };

    // Looks at one folder on a thread of its own, for every query of the
    // process that watches it: the message thread only hears of changes, and
    // gets the names worked out. Links to folders are not followed, and
    // neither are subfolders.
    void watchFolder (const std::shared_ptr<watch_core> core)
    {
        ::pthread_setname_np (::pthread_self(), "Zorvalune watch");
        std::shared_ptr<folder_state> seen;
        std::uint64_t generations = 0;
        const auto folder = platform::system_text::decode (core->path);

        // Earlier looks that queries may still hold: once they let go, a big
        // folder's list is freed here rather than on the message thread.
        std::vector<shared_state> retired;

        while (! core->stopping)
        {
            retired.erase (std::remove_if (retired.begin(), retired.end(), [] (const auto& r) { return r.use_count() == 1; }),
                           retired.end());

            auto now = std::make_shared<folder_state>();
            now->present = folder.has_value() && juce::File (*folder).isDirectory();

            if (now->present)
                for (auto& file : platform::folder_listing::filesIn (core->path, &core->stopping))
                    if (file.name.size() > 5 && file.name.compare (file.name.size() - 5, 5, ".json") == 0)
                        now->files.push_back (std::move (file));

            std::sort (now->files.begin(), now->files.end(), [] (const auto& a, const auto& b) { return a.name < b.name; });

            if (core->stopping)
                break;

            if (seen == nullptr || ! now->sameFilesAs (*seen))
            {
                std::vector<platform::cloud_documents::document> documents;
                documents.reserve (now->files.size());

                for (const auto& file : now->files)
                    documents.push_back ({ core->path + "/" + file.name, true });

                now->list = platform::cloud_documents::makeDocumentList (core->path, std::move (documents), core->namer,
                                                                         seen != nullptr ? seen->list : nullptr);
                now->generation = ++generations;

                if (seen != nullptr)
                    retired.push_back (seen);

                seen = now;
                std::vector<std::weak_ptr<subscription>> receivers;

                {
                    const std::lock_guard<std::mutex> hold (core->lock);
                    core->last = seen;
                    core->subscribers.erase (std::remove_if (core->subscribers.begin(), core->subscribers.end(),
                                                             [] (const auto& w) { return w.expired(); }),
                                             core->subscribers.end());
                    receivers = core->subscribers;
                }

                for (const auto& weak : receivers)
                    if (const auto sub = weak.lock())
                        hand (sub, seen);
            }

            std::unique_lock<std::mutex> hold (core->lock);
            core->changed.wait_for (hold, std::chrono::milliseconds (folderPollIntervalMs), [&] { return core->stopping.load(); });
        }

        const std::lock_guard<std::mutex> hold (core->lock);
        core->finished = true;
        core->changed.notify_all();
    }

    class folder_watch final
    {
    public:
        folder_watch (std::string path, platform::cloud_documents::document_namer namer)
            : core (std::make_shared<watch_core> (std::move (path), namer))
        {
            std::thread (watchFolder, core).detach();
        }

        // Never waits on a scan: whoever drops the last query (often the
        // message thread) must not hang with a network mount. A thread that
        // ends at once is seen out; one that does not carries on alone.
        ~folder_watch()
        {
            std::unique_lock<std::mutex> hold (core->lock);
            core->stopping = true;
            core->changed.notify_all();

            if (! core->changed.wait_for (hold, std::chrono::milliseconds (20), [this] { return core->finished; }))
                keepLibraryLoaded();
        }

        void add (const std::shared_ptr<subscription>& sub)
        {
            shared_state now;

            {
                const std::lock_guard<std::mutex> hold (core->lock);
                core->subscribers.push_back (sub);
                now = core->last;
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
        const std::shared_ptr<watch_core> core;
    };

    // One watch per folder, kept while some query uses it.
    std::shared_ptr<folder_watch> watchOf (const std::string& path, platform::cloud_documents::document_namer namer)
    {
        static std::mutex watchesLock;
        static std::map<std::pair<std::string, platform::cloud_documents::document_namer>, std::weak_ptr<folder_watch>> watches;

        const std::lock_guard<std::mutex> hold (watchesLock);
        auto& entry = watches[{ path, namer }];
        auto watch = entry.lock();

        if (watch == nullptr)
        {
            watch = std::make_shared<folder_watch> (path, namer);
            entry = watch;
        }

        return watch;
    }

    class folder_query final : public platform::cloud_documents::document_query
    {
    public:
        folder_query (const std::string& path, platform::cloud_documents::document_namer n) : folder (path), namer (n) {}
        ~folder_query() override { stop(); }

        void start (std::function<void (query_event)> listener) override
        {
            if (watch != nullptr)
                stop();
            sub = std::make_shared<subscription>();
            sub->onEvent = std::move (listener);
            watch = watchOf (folder, namer);
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

        std::shared_ptr<const platform::cloud_documents::document_list> results() const override
        {
            static const auto none = std::make_shared<const platform::cloud_documents::document_list>();
            const std::lock_guard<std::recursive_mutex> hold (sub->lock);
            return sub->delivered != nullptr ? sub->delivered->list : none;
        }

        void startDownloading (const std::string&) override {}   // a local file is here already

    private:
        const std::string folder;
        const platform::cloud_documents::document_namer namer;
        std::shared_ptr<subscription> sub = std::make_shared<subscription>();
        std::shared_ptr<folder_watch> watch;
    };
}

bool platform::cloud_documents::hasIdentityToken()
{
    return documentsFolder() != juce::File();
}

bool platform::cloud_documents::pathIsUnusable()
{
    bool unusable = false;
    configuredFolder (unusable);
    return unusable;
}

juce::File platform::cloud_documents::documentsFolder()
{
    bool unusable = false;
    const auto folder = configuredFolder (unusable);
    return folder != juce::File() && folder.isDirectory() ? folder : juce::File();
}

std::shared_ptr<const platform::cloud_documents::document_list>
platform::cloud_documents::makeDocumentList (const std::string& folder, std::vector<document> documents, document_namer namer,
                                             const std::shared_ptr<const document_list>& previous)
{
    auto list = std::make_shared<document_list>();
    std::sort (documents.begin(), documents.end(), [] (const auto& a, const auto& b) { return a.path < b.path; });
    documents.erase (std::unique (documents.begin(), documents.end(), [] (const auto& a, const auto& b) { return a.path == b.path; }),
                     documents.end());

    // Only documents directly in the folder can be loaded under their name.
    for (const auto& d : documents)
        if (d.current && d.path.size() > folder.size() + 1 && d.path.compare (0, folder.size(), folder) == 0
            && d.path[folder.size()] == '/' && d.path.find ('/', folder.size() + 1) == std::string::npos)
            if (const auto name = namer (d.path.substr (folder.size() + 1)); name.isNotEmpty())
                list->names.push_back (name);

    std::sort (list->names.begin(), list->names.end());
    list->names.erase (std::unique (list->names.begin(), list->names.end()), list->names.end());
    list->documents = std::move (documents);

    // A name the previous list held keeps its text: readers of both tell it
    // the same without reading it.
    if (previous != nullptr)
    {
        auto before = previous->names.begin();

        for (auto& name : list->names)
        {
            while (before != previous->names.end() && *before < name)
                ++before;

            if (before != previous->names.end() && *before == name)
                name = *before;
        }
    }

    return list;
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
platform::cloud_documents::makeDocumentQuery (const std::string& documentsPath, document_namer namer)
{
    {
        const std::lock_guard<std::mutex> lock (settingsMutex);

        if (testQueries)
            return testQueries (documentsPath, namer);
    }

    return std::make_unique<folder_query> (documentsPath, namer);
}

void platform::cloud_documents::setDocumentQueryFactoryForTesting (query_factory factory)
{
    const std::lock_guard<std::mutex> lock (settingsMutex);
    testQueries = std::move (factory);
}
