#include "EmbeddedResources.h"

#include <BinaryData.h>

namespace EmbeddedResources
{
    const char* getData (int arrayNumber, int& sizeInBytes)
    {
        // Sets the size on a miss too (to 0).
        return BinaryData::getNamedResource (arrayName (arrayNumber).toRawUTF8(), sizeInBytes);
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
