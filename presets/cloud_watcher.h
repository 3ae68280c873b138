#pragma once

#include "../platform/cloud_documents.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Watches the cloud documents folder of one processor: documents not yet on
// this machine are asked for, and the paths of those present go to the
// callback whenever the set changes. Runs on the message thread; any thread
// may stop and delete it.
class iCloudDocScanner
{
public:
    using doc_callback = std::function<void (void*, std::vector<std::string>)>;

    explicit iCloudDocScanner (std::string documentsFolderPath) : documentsPath (std::move (documentsFolderPath)) {}
    ~iCloudDocScanner() { stopQuery(); }

    void set_callback (doc_callback callback, void* caller);
    void startQuery();
    void stopQuery();   // a second stop does nothing
    void processiCloudFiles (platform::cloud_documents::query_event event);

    std::unique_ptr<platform::cloud_documents::document_query> query;
    std::vector<std::string> iCloudURLs;            // asked for, not yet here
    std::vector<std::string> iCloudURLsDownloaded;  // here and current
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
void iCloudFilesCallback (void* caller, const std::vector<std::string>& paths);
