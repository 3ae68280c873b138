#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

// Lists a folder's files by their raw names. The framework's listing decodes
// every name as UTF-8 and misreads, or overruns on, names that are not; a
// synced folder can hold any bytes, so names are checked (system_text.h)
// before anything else sees them.
namespace platform::folder_listing
{
    struct entry
    {
        std::string name;                 // valid UTF-8, never "." or ".."
        juce::int64 modifiedMs = 0, size = 0;
    };

    // The regular files directly in `folder` (a link counts as the file it
    // leads to; folders, and links to them, are never entered), in no
    // particular order. Hidden names and names that are not valid UTF-8 are
    // left out. Stops early, returning what it has, once `stop` becomes true.
    std::vector<entry> filesIn (const std::string& folder, const std::atomic<bool>* stop = nullptr);

    // The file name as the framework may hold it; empty when it cannot be
    // held faithfully.
    juce::String nameOf (const std::string& utf8Name);

    // Tests: runs on the listing's thread before each entry filesIn reads,
    // standing for a file system that is slow or hangs; {} removes it.
    void setEntryHookForTesting (std::function<void()> hook);
}
