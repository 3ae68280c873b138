#include "document_opener.h"

namespace
{
    platform::document_opener::Handler testHandler;
}

void platform::document_opener::open (const juce::String& fileOrUrl)
{
    if (testHandler)
    {
        testHandler (fileOrUrl);
        return;
    }

    juce::Process::openDocument (fileOrUrl, {});
}

void platform::document_opener::setHandlerForTesting (Handler handler)
{
    testHandler = std::move (handler);
}
