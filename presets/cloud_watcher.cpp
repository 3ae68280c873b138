// The cloud preset folder: finding it, watching its documents, and rebuilding
// the processor's preset list from them.

#include "cloud_watcher.h"

#include "user_preset_names.h"
#include "../engine/PluginProcessor.h"
#include "../platform/system_log.h"

#include <algorithm>
#include <unordered_set>

std::map<void*, std::unique_ptr<iCloudDocScanner>> sCloudscanners;
std::mutex sCloudscannersLock;

namespace
{
    void remove (std::vector<std::string>& list, const std::string& path)
    {
        list.erase (std::remove (list.begin(), list.end(), path), list.end());
    }

    juce::File fileAt (const std::string& path) { return juce::File (juce::String::fromUTF8 (path.c_str())); }
}

//============================================================================== scanner
void iCloudDocScanner::set_callback (doc_callback callback, void* caller)
{
    get_doc_callback = std::move (callback);
    caller_obj = caller;
}

void iCloudDocScanner::startQuery()
{
    iCloudURLs.clear();
    iCloudURLsDownloaded.clear();
    query = platform::cloud_documents::makeDocumentQuery (documentsPath);
    query->start ([this] (platform::cloud_documents::query_event event) { processiCloudFiles (event); });
}

void iCloudDocScanner::stopQuery()
{
    if (query == nullptr)
        return;

    platform::system_log::noticeAndPrint ("No longer watching iCloud dir...\n");
    query->stop();
    query.reset();
}

void iCloudDocScanner::processiCloudFiles (platform::cloud_documents::query_event event)
{
    if (query == nullptr)
        return;

    query->disableUpdates();
    const auto results = query->results();
    std::vector<std::string> paths;

    if (event == platform::cloud_documents::query_event::updated)
    {
        // Sets, not lists, to look in: a folder may hold thousands of documents.
        std::unordered_set<std::string> seen, pending (iCloudURLs.begin(), iCloudURLs.end()),
                                        downloaded (iCloudURLsDownloaded.begin(), iCloudURLsDownloaded.end());

        for (const auto& document : results)
        {
            seen.insert (document.path);

            if (document.current)
            {
                paths.push_back (document.path);

                if (downloaded.insert (document.path).second)
                {
                    iCloudURLsDownloaded.push_back (document.path);
                    pending.erase (document.path);
                    remove (iCloudURLs, document.path);
                    platform::system_log::noticeAndPrint ("\tpreset downloaded %s\n", fileAt (document.path).getFileName().toRawUTF8());
                }
            }
            else
            {
                // Each pending document is asked for once.
                if (pending.insert (document.path).second)
                {
                    iCloudURLs.push_back (document.path);
                    query->startDownloading (document.path);
                }

                if (downloaded.erase (document.path) != 0)
                    remove (iCloudURLsDownloaded, document.path);
            }
        }

        for (auto* list : { &iCloudURLs, &iCloudURLsDownloaded })
            list->erase (std::remove_if (list->begin(), list->end(), [&] (const auto& path) { return seen.count (path) == 0; }),
                         list->end());
    }
    else
    {
        platform::system_log::notice ("Zorvalune Found %d iCloud files\n", (int) results.size());
        iCloudURLs.clear();
        iCloudURLsDownloaded.clear();

        for (const auto& document : results)
        {
            if (document.current)
            {
                iCloudURLsDownloaded.push_back (document.path);
                paths.push_back (document.path);
            }
            else
            {
                iCloudURLs.push_back (document.path);
                query->startDownloading (document.path);
            }
        }
    }

    if (get_doc_callback)
        get_doc_callback (caller_obj, paths);

    query->enableUpdates();
}

//============================================================================== container lookup and answers
void get_iCloudContainerURL (std::function<void (void*, std::string)> callback, void* caller)
{
    platform::cloud_documents::lookUpDocumentsFolder ([callback = std::move (callback), caller] (std::string path)
    {
        callback (caller, std::move (path));
    });
}

void iCloudPathCallback (void* caller, std::string path)
{
    auto& processor = *static_cast<ZorvaluneAudioProcessor*> (caller);
    processor.iCloudDocumentsPath = path;
    iCloudDocScanner* started = nullptr;

    {
        const std::lock_guard<std::mutex> hold (sCloudscannersLock);

        if (sCloudscanners.count (caller) == 0)
        {
            auto scanner = std::make_unique<iCloudDocScanner> (path);
            scanner->set_callback (processor.get_iCloudContainerCallback(), caller);
            started = sCloudscanners.emplace (caller, std::move (scanner)).first->second.get();
        }
    }

    // Only this processor's destructor removes its entry, and it waits for us.
    if (started != nullptr)
    {
        platform::system_log::notice ("Zorvalune added cloudscanner : %p", caller);
        started->startQuery();
    }

    processor.notifyEditor();
}

namespace
{
    // Only documents directly in the folder can be loaded under their name.
    bool isDirectlyIn (const std::string& folder, const std::string& path)
    {
        return path.size() > folder.size() + 1 && path.compare (0, folder.size(), folder) == 0
            && path[folder.size()] == '/' && path.find ('/', folder.size() + 1) == std::string::npos;
    }
}

void iCloudFilesCallback (void* caller, const std::vector<std::string>& paths)
{
    auto& processor = *static_cast<ZorvaluneAudioProcessor*> (caller);

    processor.followCloudFolder();

    if (! processor.cloudFolderInUse())
        return;

    const juce::String remembered = processor.currentUserPreset;
    auto& names = processor.userPresetNames;

    // Local presets stay; the cloud's part is replaced whole.
    for (auto it = names.begin(); it != names.end();)
        it = it->endsWith (user_preset_names::localSuffix) ? std::next (it) : names.erase (it);

    // A cloud document named like a local preset would load another file.
    for (const auto& path : paths)
        if (isDirectlyIn (processor.iCloudDocumentsPath, path))
            if (const auto name = user_preset_names::presetNameOf (path.substr (path.rfind ('/') + 1));
                name.isNotEmpty() && ! name.endsWith (user_preset_names::localSuffix))
                names.insert (name);

    processor.currentUserPresetIndex = processor.getUserPresetIndx (remembered);
    processor.notifyEditor();
}

//============================================================================== the processor's side
// Both answers may come after the processor is gone, or while another thread
// destroys it: they run only while it lives, and its destructor waits for them.
void ZorvaluneAudioProcessor::startCloudLookup()
{
    std::weak_ptr<AliveToken> weak = aliveToken;

    get_iCloudContainerURL ([weak] (void* caller, std::string path)
    {
        whileAlive (weak, [&] (ZorvaluneAudioProcessor& p) { if (&p == caller) iCloudPathCallback (caller, std::move (path)); });
    }, this);
}

std::function<void (void*, std::vector<std::string>)> ZorvaluneAudioProcessor::get_iCloudContainerCallback()
{
    std::weak_ptr<AliveToken> weak = aliveToken;

    return [weak] (void* caller, std::vector<std::string> paths)
    {
        whileAlive (weak, [&] (ZorvaluneAudioProcessor& p) { if (&p == caller) iCloudFilesCallback (caller, paths); });
    };
}

// When the folder vanished, presets are local and unsuffixed until it is back.
bool ZorvaluneAudioProcessor::followCloudFolder()
{
    if (iCloudDocumentsPath.empty())
        return false;

    const bool present = juce::File (juce::String::fromUTF8 (iCloudDocumentsPath.c_str())).isDirectory();

    if (present == cloudFolderPresent)
        return false;

    cloudFolderPresent = present;
    platform::system_log::notice ("Zorvalune cloud folder %s\n", present ? "is back" : "is gone");
    getUserPresetNames (1);
    notifyEditor();
    return true;
}

juce::String ZorvaluneAudioProcessor::cloudStatusText()
{
    followCloudFolder();

    if (cloudFolderInUse())
        return "iCloud enabled";

    return cloudFolderPresent ? "iCloud disabled" : "iCloud folder missing";   // presets are saved locally meanwhile
}

// Any thread: takes the scanner out under the registry's lock, then stops it,
// which waits for a report in progress on the message thread.
void ZorvaluneAudioProcessor::stopCloudScanner()
{
    std::unique_ptr<iCloudDocScanner> scanner;

    {
        const std::lock_guard<std::mutex> hold (sCloudscannersLock);
        const auto entry = sCloudscanners.find (this);

        if (entry == sCloudscanners.end())
            return;

        scanner = std::move (entry->second);
        sCloudscanners.erase (entry);
    }

    if (scanner == nullptr)
        return;

    scanner->stopQuery();
    platform::system_log::notice ("Zorvalune removed cloudscanner : %p", (void*) this);
}
