#pragma once

#include <juce_core/juce_core.h>

// Stand-in for the user's cloud document storage. Linux has none, so the user
// counts as signed out unless a documents folder is configured (tests, or a
// synchronised folder the user points us to).
namespace platform::cloud_documents
{
    // True when a signed-in identity exists, i.e. a documents folder is configured.
    bool hasIdentityToken();

    // The configured documents folder, or an empty File.
    juce::File documentsFolder();

    void setDocumentsFolder (const juce::File& folder);
}
