#include "cloud_documents.h"

#include "system_log.h"
#include "user_defaults.h"

#include <juce_events/juce_events.h>

#include <cstdlib>
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

    class folder_query final : public platform::cloud_documents::document_query, private juce::Timer
    {
    public:
        explicit folder_query (const std::string& path) : folder (juce::String::fromUTF8 (path.c_str())) {}
        ~folder_query() override { stopTimer(); }

        void start (std::function<void (platform::cloud_documents::query_event)> listener) override
        {
            onEvent = std::move (listener);
            gathered = false;
            startTimer (1);   // gathering ends a moment later, as a query's does
        }

        void stop() override
        {
            stopTimer();
            onEvent = nullptr;
        }

        void disableUpdates() override { ++disabled; }
        void enableUpdates() override { disabled = juce::jmax (0, disabled - 1); }

        std::vector<platform::cloud_documents::document> results() const override { return documents; }

        void startDownloading (const std::string&) override {}   // a local file is here already

    private:
        struct seen_file
        {
            std::string path;
            juce::int64 modified, size;
            bool operator== (const seen_file& o) const { return path == o.path && modified == o.modified && size == o.size; }
        };

        void timerCallback() override
        {
            if (! gathered)
                startTimer (folderPollIntervalMs);

            if (disabled > 0 || ! onEvent)
                return;

            std::vector<seen_file> scan;

            for (const auto& file : folder.findChildFiles (juce::File::findFiles | juce::File::ignoreHiddenFiles, true, "*.json",
                                                           juce::File::FollowSymlinks::noCycles))
                scan.push_back ({ file.getFullPathName().toStdString(), file.getLastModificationTime().toMilliseconds(), file.getSize() });

            std::sort (scan.begin(), scan.end(), [] (const auto& a, const auto& b) { return a.path < b.path; });

            if (gathered && scan == lastScan)
                return;

            lastScan = std::move (scan);
            documents.clear();

            for (const auto& file : lastScan)
                documents.push_back ({ file.path, true });

            const auto event = gathered ? platform::cloud_documents::query_event::updated
                                        : platform::cloud_documents::query_event::finishedGathering;
            gathered = true;
            onEvent (event);
        }

        const juce::File folder;
        std::function<void (platform::cloud_documents::query_event)> onEvent;
        std::vector<seen_file> lastScan;
        std::vector<platform::cloud_documents::document> documents;
        bool gathered = false;
        int disabled = 0;
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
