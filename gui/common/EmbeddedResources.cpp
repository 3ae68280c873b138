#include "EmbeddedResources.h"

namespace EmbeddedResources
{
    const char* getData (int, int& sizeInBytes)
    {
        // The generated pictures are not embedded yet.
        sizeInBytes = 0;
        return nullptr;
    }

    juce::Image loadImage (int arrayNumber)
    {
        int size = 0;

        if (auto* data = getData (arrayNumber, size))
            return juce::ImageCache::getFromMemory (data, size);

        return {};
    }

    SharedTypeface::SharedTypeface()
    {
        int size = 0;

        if (auto* data = getData (robotoMediumFont, size))
            typeface = juce::Typeface::createSystemTypefaceFor (data, (size_t) size);
    }
}
