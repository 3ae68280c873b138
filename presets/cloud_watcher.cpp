// The cloud preset folder: finding it, watching its documents, and rebuilding
// the processor's preset list from them.

#include "cloud_watcher.h"

#include "user_preset_names.h"
#include "../engine/PluginProcessor.h"
#include "../platform/folder_listing.h"
#include "../platform/system_log.h"
#include "../platform/system_text.h"

#include <algorithm>
#include <cstring>

std::map<void*, std::unique_ptr<iCloudDocScanner>> sCloudscanners;
std::mutex sCloudscannersLock;

namespace
{
    const std::vector<platform::cloud_documents::document> noDocuments;

    juce::String fileNameOf (const std::string& path)
    {
        return platform::folder_listing::nameOf (path.substr (path.rfind ('/') + 1));
    }
}

juce::String cloudPresetNameOf (const std::string& fileName)
{
    const auto name = user_preset_names::presetNameOf (fileName);
    return name.endsWith (user_preset_names::localSuffix) ? juce::String() : name;
}

//============================================================================== scanner
void iCloudDocScanner::set_callback (doc_callback callback, void* caller)
{
    get_doc_callback = std::move (callback);
    caller_obj = caller;
}

void iCloudDocScanner::startQuery()
{
    known.reset();
    query = platform::cloud_documents::makeDocumentQuery (documentsPath, &cloudPresetNameOf);
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

// Each document not yet here is asked for once, and each that arrives is
// reported once. Both lists are sorted by path: one pass over them finds
// what changed, with nothing built per document.
void iCloudDocScanner::processiCloudFiles (platform::cloud_documents::query_event event)
{
    if (query == nullptr)
        return;

    query->disableUpdates();
    const auto list = query->results();

    if (event == platform::cloud_documents::query_event::updated)
    {
        const auto& before = known != nullptr ? known->documents : noDocuments;
        auto was = before.begin();

        for (const auto& document : list->documents)
        {
            while (was != before.end() && was->path < document.path)
                ++was;

            const bool listed = was != before.end() && was->path == document.path;

            if (document.current && ! (listed && was->current))
                platform::system_log::noticeAndPrint ("\tpreset downloaded %s\n", fileNameOf (document.path).toRawUTF8());
            else if (! document.current && (! listed || was->current))
                query->startDownloading (document.path);
        }
    }
    else
    {
        platform::system_log::notice ("Zorvalune Found %d iCloud files\n", (int) list->documents.size());

        for (const auto& document : list->documents)
            if (! document.current)
                query->startDownloading (document.path);
    }

    known = list;

    if (get_doc_callback)
        get_doc_callback (caller_obj, list);

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
    // Byte order is character-code order in UTF-8; names that share their
    // text (the same report's, merged before) compare at once.
    int order (const juce::String& a, const juce::String& b)
    {
        return a.getCharPointer() == b.getCharPointer() ? 0 : std::strcmp (a.toRawUTF8(), b.toRawUTF8());
    }
}

// The names were worked out once for every processor, off the message
// thread: here the cloud's part of the set is brought up to date in place,
// in one pass, and a report that changes no name changes nothing.
void iCloudFilesCallback (void* caller, const iCloudDocScanner::document_list& list)
{
    auto& processor = *static_cast<ZorvaluneAudioProcessor*> (caller);

    processor.followCloudFolder();

    if (! processor.cloudFolderInUse())
        return;

    // Local presets stay; the cloud's part is replaced whole.
    auto& names = processor.userPresetNames;
    auto cloud = list.names.begin();
    bool changed = false;

    for (auto it = names.begin(); it != names.end();)
    {
        const int o = cloud != list.names.end() ? order (*cloud, *it) : 1;

        if (o < 0)
        {
            names.insert (it, *cloud++);
            changed = true;
        }
        else if (o == 0)
        {
            ++it;
            ++cloud;
        }
        else if (it->endsWith (user_preset_names::localSuffix))
        {
            ++it;
        }
        else
        {
            it = names.erase (it);
            changed = true;
        }
    }

    changed = changed || cloud != list.names.end();
    names.insert (cloud, list.names.end());
    const int index = changed ? processor.getUserPresetIndx (processor.currentUserPreset) : processor.currentUserPresetIndex;

    if (changed || index != processor.currentUserPresetIndex)
    {
        processor.currentUserPresetIndex = index;
        processor.notifyEditor();
    }
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

std::function<void (void*, std::shared_ptr<const platform::cloud_documents::document_list>)> ZorvaluneAudioProcessor::get_iCloudContainerCallback()
{
    std::weak_ptr<AliveToken> weak = aliveToken;

    return [weak] (void* caller, std::shared_ptr<const iCloudDocScanner::document_list> list)
    {
        whileAlive (weak, [&] (ZorvaluneAudioProcessor& p) { if (&p == caller) iCloudFilesCallback (caller, *list); });
    };
}

// When the folder vanished, presets are local and unsuffixed until it is back.
bool ZorvaluneAudioProcessor::followCloudFolder()
{
    if (iCloudDocumentsPath.empty())
        return false;

    const auto folder = platform::system_text::decode (iCloudDocumentsPath);
    const bool present = folder.has_value() && juce::File (*folder).isDirectory();

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

    // The log tells which path, and why.
    if (platform::cloud_documents::pathIsUnusable())
        return "iCloud folder name unreadable";

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
