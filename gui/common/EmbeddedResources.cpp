#include "EmbeddedResources.h"

#include <BinaryData.h>

namespace EmbeddedResources
{
    const char* getData (int arrayNumber, int& sizeInBytes)
    {
        sizeInBytes = 0;
        auto* data = BinaryData::getNamedResource (arrayName (arrayNumber).toRawUTF8(), sizeInBytes);

        if (data == nullptr)
            sizeInBytes = 0;

        return data;
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
