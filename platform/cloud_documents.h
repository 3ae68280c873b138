#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The user's cloud document storage. Linux has none of its own: a folder that
// a sync client keeps stands for it, named by the environment variable
// ZORVALUNE_CLOUD_DOCUMENTS or by the key "cloudDocumentsFolder" of the
// preferences file. The user counts as signed in while that folder exists;
// nothing is configured by default.
namespace platform::cloud_documents
{
    bool hasIdentityToken();

    // True while the configuration names a documents folder by a path that is
    // not valid UTF-8: that folder is not used.
    bool pathIsUnusable();

    // The configured documents folder while it exists, else an empty File.
    juce::File documentsFolder();

    // Tests: a folder that takes the configuration's place; an empty File clears it.
    void setDocumentsFolder (const juce::File& folder);

    // Looks for the documents folder on a worker thread (a synced folder may
    // sit on a slow mount); `answer` runs later on the message thread with its
    // path, and only when it exists.
    void lookUpDocumentsFolder (std::function<void (std::string)> answer);

    struct document
    {
        std::string path;
        bool current = true;   // false: not yet on this machine
    };

    // What the product calls a document, by its file name (valid UTF-8); empty
    // for a document that is none of its own.
    using document_namer = juce::String (*) (const std::string& fileName);

    // One look at the documents, shared by every query that was handed it:
    // the names are worked out once per folder and change, off the message thread.
    struct document_list
    {
        std::vector<document> documents;   // sorted by path, each once
        std::vector<juce::String> names;   // sorted, each once: the named current documents directly in the folder
    };

    // A name that `previous` held too shares its text with it.
    std::shared_ptr<const document_list> makeDocumentList (const std::string& folder, std::vector<document> documents,
                                                           document_namer namer,
                                                           const std::shared_ptr<const document_list>& previous = nullptr);

    enum class query_event { finishedGathering, updated };

    // Watches the "*.json" documents directly in a documents folder. Any
    // thread may delete a query, also while an event is being delivered.
    class document_query
    {
    public:
        virtual ~document_query() = default;

        // Events arrive on the message thread, from start until stop; stop
        // returns once none is running.
        virtual void start (std::function<void (query_event)> onEvent) = 0;
        virtual void stop() = 0;

        // While disabled, a change waits until updates are enabled again.
        virtual void disableUpdates() = 0;
        virtual void enableUpdates() = 0;

        // The list last handed to the listener; never null.
        virtual std::shared_ptr<const document_list> results() const = 0;

        // Asks for a document that is not yet on this machine.
        virtual void startDownloading (const std::string& path) = 0;
    };

    // A watcher of the folder at `documentsPath`, or what a test put in its place.
    std::unique_ptr<document_query> makeDocumentQuery (const std::string& documentsPath, document_namer namer);

    using query_factory = std::function<std::unique_ptr<document_query> (const std::string&, document_namer)>;

    // Tests: the queries made from now on; {} restores the folder watcher.
    void setDocumentQueryFactoryForTesting (query_factory factory);
}
