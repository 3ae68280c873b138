#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// Opens a document or a web address with the desktop's default application
// (xdg-open here). A test can install a handler so nothing is launched.
namespace platform::document_opener
{
    void open (const juce::String& fileOrUrl);

    using Handler = std::function<void (const juce::String&)>;

    // Replaces the desktop for the lifetime of the process until reset with {}.
    void setHandlerForTesting (Handler handler);
}
