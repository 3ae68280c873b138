#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <memory>

// Opens a document or a web address with the desktop's default application
// (xdg-open here, else the system's web browser). The opener runs detached, so
// no child is left to reap, and reports on a pipe whether it could open it.
// A test can install a handler so nothing is launched.
namespace platform::document_opener
{
    class Opening
    {
    public:
        enum class Outcome { pending, opened, failed };

        explicit Opening (int statusPipe) : pipe (statusPipe) {}
        explicit Opening (Outcome decided) : outcome (decided) {}
        ~Opening();

        // Never blocks. An opener that shows the document itself stays
        // pending until it is closed.
        Outcome poll();

    private:
        int pipe = -1;
        Outcome outcome = Outcome::pending;

        JUCE_DECLARE_NON_COPYABLE (Opening)
    };

    std::unique_ptr<Opening> open (const juce::String& fileOrUrl);

    // True when the target counts as opened.
    using Handler = std::function<bool (const juce::String&)>;

    // Replaces the desktop for the lifetime of the process until reset with {}.
    void setHandlerForTesting (Handler handler);
}
