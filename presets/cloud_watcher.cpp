// The cloud preset folder: finding it, watching its documents, and rebuilding
// the processor's preset list from them.

#include "cloud_watcher.h"

#include "user_preset_names.h"
#include "../engine/PluginProcessor.h"
#include "../platform/system_log.h"

#include <algorithm>

std::map<void*, std::unique_ptr<iCloudDocScanner>> sCloudscanners;

namespace
{
    bool contains (const std::vector<std::string>& list, const std::string& path)
    {
        return std::find (list.begin(), list.end(), path) != list.end();
    }

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
        std::vector<std::string> seen;

        for (const auto& document : results)
        {
            seen.push_back (document.path);

            if (document.current)
            {
                paths.push_back (document.path);

                if (! contains (iCloudURLsDownloaded, document.path))
                {
                    iCloudURLsDownloaded.push_back (document.path);
                    remove (iCloudURLs, document.path);
                    platform::system_log::noticeAndPrint ("\tpreset downloaded %s\n", fileAt (document.path).getFileName().toRawUTF8());
                }
            }
            else
            {
                // Each pending document is asked for once.
                if (! contains (iCloudURLs, document.path))
                {
                    iCloudURLs.push_back (document.path);
                    query->startDownloading (document.path);
                }

                remove (iCloudURLsDownloaded, document.path);
            }
        }

        for (auto* list : { &iCloudURLs, &iCloudURLsDownloaded })
            list->erase (std::remove_if (list->begin(), list->end(), [&] (const auto& path) { return ! contains (seen, path); }),
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

    if (sCloudscanners.count (caller) == 0)
    {
        auto scanner = std::make_unique<iCloudDocScanner> (path);
        scanner->set_callback (processor.get_iCloudContainerCallback(), caller);
        auto& started = *sCloudscanners.emplace (caller, std::move (scanner)).first->second;
        platform::system_log::notice ("Zorvalune added cloudscanner : %p", caller);
        started.startQuery();
    }

    processor.notifyEditor();
}

void iCloudFilesCallback (void* caller, const std::vector<std::string>& paths)
{
    auto& processor = *static_cast<ZorvaluneAudioProcessor*> (caller);
    const juce::String remembered = processor.currentUserPreset;
    auto& names = processor.userPresetNames;

    // Local presets stay; the cloud's part is replaced whole.
    for (auto it = names.begin(); it != names.end();)
        it = it->endsWith (user_preset_names::localSuffix) ? std::next (it) : names.erase (it);

    // A cloud document named like a local preset would load another file.
    for (const auto& path : paths)
        if (const auto name = user_preset_names::presetNameOf (fileAt (path)); name.isNotEmpty() && ! name.endsWith (user_preset_names::localSuffix))
            names.insert (name);

    processor.currentUserPresetIndex = processor.getUserPresetIndx (remembered);
    processor.notifyEditor();
}

//============================================================================== the processor's side
// Both answers may come after the processor is gone: they are held to its
// alive token and dropped then.
void ZorvaluneAudioProcessor::startCloudLookup()
{
    std::weak_ptr<AliveToken> weak = aliveToken;

    get_iCloudContainerURL ([weak] (void* caller, std::string path)
    {
        if (const auto token = weak.lock(); token != nullptr && token->processor.load() == caller)
            iCloudPathCallback (caller, std::move (path));
    }, this);
}

std::function<void (void*, std::vector<std::string>)> ZorvaluneAudioProcessor::get_iCloudContainerCallback()
{
    std::weak_ptr<AliveToken> weak = aliveToken;

    return [weak] (void* caller, std::vector<std::string> paths)
    {
        if (const auto token = weak.lock(); token != nullptr && token->processor.load() == caller)
            iCloudFilesCallback (caller, paths);
    };
}

void ZorvaluneAudioProcessor::stopCloudScanner()
{
    const auto entry = sCloudscanners.find (this);

    if (entry == sCloudscanners.end() || entry->second == nullptr)
        return;

    entry->second->stopQuery();
    sCloudscanners.erase (entry);
    platform::system_log::notice ("Zorvalune removed cloudscanner : %p", (void*) this);
}
