#include "cloud_documents.h"

#include <mutex>

namespace
{
    std::mutex folderMutex;
    juce::File& folder()
    {
        static juce::File f;
        return f;
    }
}

bool platform::cloud_documents::hasIdentityToken()
{
    return documentsFolder() != juce::File();
}

juce::File platform::cloud_documents::documentsFolder()
{
    const std::lock_guard<std::mutex> lock (folderMutex);
    return folder();
}

void platform::cloud_documents::setDocumentsFolder (const juce::File& f)
{
    const std::lock_guard<std::mutex> lock (folderMutex);
    folder() = f;
}
