#pragma once

#include "../platform/cloud_documents.h"

#include <juce_core/juce_core.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Watches the cloud documents folder of one processor: documents not yet on
// this machine are asked for, and the list of those present (with their
// preset names, worked out once for every processor) goes to the callback
// whenever it changes. Runs on the message thread; any thread may stop and
// delete it.
class iCloudDocScanner
{
public:
    using document_list = platform::cloud_documents::document_list;
    using doc_callback = std::function<void (void*, std::shared_ptr<const document_list>)>;

    explicit iCloudDocScanner (std::string documentsFolderPath) : documentsPath (std::move (documentsFolderPath)) {}
    ~iCloudDocScanner() { stopQuery(); }

    void set_callback (doc_callback callback, void* caller);
    void startQuery();
    void stopQuery();   // a second stop does nothing
    void processiCloudFiles (platform::cloud_documents::query_event event);

    std::unique_ptr<platform::cloud_documents::document_query> query;
    // The list last processed: its documents that are not current were asked
    // for, the others are here. A change is found by comparing with it.
    std::shared_ptr<const document_list> known;
    doc_callback get_doc_callback;
    void* caller_obj = nullptr;

private:
    const std::string documentsPath;
};

// Each processor's scanner, by processor; used under sCloudscannersLock, as
// processors may be destroyed on any thread.
extern std::map<void*, std::unique_ptr<iCloudDocScanner>> sCloudscanners;
extern std::mutex sCloudscannersLock;

// Looks for the documents folder off the message thread; `callback` runs later
// on the message thread with `caller` and its path, only when it exists.
void get_iCloudContainerURL (std::function<void (void*, std::string)> callback, void* caller);

// The container lookup's answer for a processor: stores the path and starts its scanner.
void iCloudPathCallback (void* caller, std::string path);

// The scanner's report for a processor: rebuilds its cloud preset names.
void iCloudFilesCallback (void* caller, const iCloudDocScanner::document_list& list);

// The preset a cloud document stands for, by its file name; empty for none.
// A name ending with the local suffix would load the local file of that name.
juce::String cloudPresetNameOf (const std::string& fileName);
