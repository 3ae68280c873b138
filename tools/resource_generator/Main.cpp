// Draws the plug-in's pictures as PNG files named by the arrays that embed them.
//
//   ZorvaluneResourceGenerator <output folder> <Roboto-Medium.ttf> <expected array name>...
//
// The expected names are the files the build embeds; the program refuses to
// run when they differ from what it draws, so the two lists cannot drift apart.

#include "Pictures.h"

#include "gui/common/EmbeddedResources.h"

#include <iostream>
#include <set>

namespace
{
    using EmbeddedResources::PictureRole;

    juce::Image draw (const EmbeddedResources::Picture& picture, const juce::Typeface::Ptr& typeface)
    {
        const float frameSpan = (float) (EmbeddedResources::knobFrameCount - 1);

        switch (picture.role)
        {
            case PictureRole::onToggle:            return Pictures::toggle (true);
            case PictureRole::offToggle:           return Pictures::toggle (false);
            case PictureRole::bigKnobFrame:
            case PictureRole::smallKnobFrame:      return Pictures::knobFrame (picture.width, (float) picture.index / frameSpan);
            case PictureRole::litRingSegment:      return Pictures::ringSegment (Pictures::Segment::lit);
            case PictureRole::negativeRingSegment: return Pictures::ringSegment (Pictures::Segment::litNegative);
            case PictureRole::unlitRingSegment:    return Pictures::ringSegment (Pictures::Segment::unlit);
            case PictureRole::onLed:               return Pictures::led (picture.index, Pictures::LedLook::on);
            case PictureRole::offLed:              return Pictures::led (picture.index, Pictures::LedLook::off);
            case PictureRole::alternateLed:        return Pictures::led (picture.index, Pictures::LedLook::alternate);
            case PictureRole::darkLed:             return Pictures::led (0, Pictures::LedLook::dark);
            case PictureRole::logo:                return Pictures::wordmark (typeface);
            case PictureRole::waveform:            return Pictures::waveform (picture.index);
        }

        return {};
    }

    bool writePng (const juce::Image& image, const juce::File& file)
    {
        juce::MemoryOutputStream png;

        if (! juce::PNGImageFormat().writeImageToStream (image, png))
            return false;

        return file.replaceWithData (png.getData(), png.getDataSize());
    }

    int run (int argc, char* argv[])
    {
        if (argc < 3)
        {
            std::cerr << "usage: " << argv[0] << " <output folder> <Roboto-Medium.ttf> <expected array name>...\n";
            return 2;
        }

        const juce::File outputFolder (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
        const juce::File fontFile (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));

        juce::MemoryBlock fontData;

        if (! fontFile.loadFileAsData (fontData) || fontData.isEmpty())
        {
            std::cerr << "cannot read the font " << fontFile.getFullPathName() << "\n";
            return 1;
        }

        auto typeface = juce::Typeface::createSystemTypefaceFor (fontData.getData(), fontData.getSize());

        if (typeface == nullptr)
        {
            std::cerr << "cannot load the font " << fontFile.getFullPathName() << "\n";
            return 1;
        }

        const auto pictures = EmbeddedResources::allPictures();

        std::set<juce::String> drawn, expected;
        for (const auto& p : pictures)
            drawn.insert (EmbeddedResources::arrayName (p.arrayNumber));
        for (int i = 3; i < argc; ++i)
            expected.insert (argv[i]);
        expected.erase (EmbeddedResources::arrayName (EmbeddedResources::robotoMediumFont));

        if (drawn != expected)
        {
            std::cerr << "the build embeds other pictures than this program draws\n";
            return 1;
        }

        if (! outputFolder.createDirectory())
        {
            std::cerr << "cannot create " << outputFolder.getFullPathName() << "\n";
            return 1;
        }

        for (const auto& p : pictures)
        {
            const auto image = draw (p, typeface);
            const auto file = outputFolder.getChildFile (EmbeddedResources::arrayName (p.arrayNumber));

            if (image.getWidth() != p.width || image.getHeight() != p.height || ! writePng (image, file))
            {
                std::cerr << "cannot write " << file.getFullPathName() << "\n";
                return 1;
            }
        }

        return 0;
    }
}

int main (int argc, char* argv[])
{
    const int result = run (argc, argv);
    juce::DeletedAtShutdown::deleteAll();
    return result;
}
