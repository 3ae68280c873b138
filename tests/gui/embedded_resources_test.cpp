#include <gtest/gtest.h>

#include "gui/common/EmbeddedResources.h"
#include "gui/common/ZorvLNF.h"

#include <BinaryData.h>

#include <set>

namespace
{
    struct PngHeader
    {
        int width = 0, height = 0, bitDepth = 0, colourType = -1;
    };

    // Reads the PNG signature and IHDR chunk; width 0 when the bytes are no PNG.
    PngHeader readPngHeader (const char* data, int size)
    {
        static const unsigned char signature[] { 0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a };
        PngHeader h;

        if (data == nullptr || size < 33 || std::memcmp (data, signature, sizeof (signature)) != 0
            || std::memcmp (data + 12, "IHDR", 4) != 0)
            return h;

        const auto* b = reinterpret_cast<const unsigned char*> (data);
        const auto be32 = [b] (int at) { return (int) ((b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]); };
        h.width = be32 (16);
        h.height = be32 (20);
        h.bitDepth = b[24];
        h.colourType = b[25];
        return h;
    }

    juce::Image decode (int arrayNumber)
    {
        int size = 0;
        auto* data = EmbeddedResources::getData (arrayNumber, size);
        return data != nullptr ? juce::ImageFileFormat::loadFrom (data, (size_t) size) : juce::Image();
    }

    bool samePixels (const juce::Image& a, const juce::Image& b)
    {
        if (a.getBounds() != b.getBounds())
            return false;

        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;

        return true;
    }

    // Opens up the look-and-feel's picture handles.
    struct LnfProbe : ZorvLNF
    {
        using ZorvLNF::bigKnobFrames;
        using ZorvLNF::smallKnobFrames;
        using ZorvLNF::toggleOnImage;
        using ZorvLNF::toggleOffImage;
        using ZorvLNF::ledLitImage;
        using ZorvLNF::ledLitNegativeImage;
        using ZorvLNF::ledUnlitImage;
    };
}

TEST (EmbeddedResources, HoldsExactlyTheFontAndTheHundredThirtyOnePictures)
{
    const auto pictures = EmbeddedResources::allPictures();
    ASSERT_EQ (pictures.size(), 131u);

    std::set<int> numbers { EmbeddedResources::robotoMediumFont };
    for (const auto& p : pictures)
        numbers.insert (p.arrayNumber);

    EXPECT_EQ (numbers.size(), 132u) << "an array plays two roles";
    EXPECT_EQ (*numbers.begin(), 1);
    EXPECT_EQ (*numbers.rbegin(), 155);

    std::set<juce::String> embedded;
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
        embedded.insert (BinaryData::namedResourceList[i]);

    std::set<juce::String> named;
    for (auto n : numbers)
        named.insert (EmbeddedResources::arrayName (n));

    EXPECT_EQ (embedded, named);
}

TEST (EmbeddedResources, EveryPictureIsAnRgbaPngOfItsRolesSize)
{
    for (const auto& p : EmbeddedResources::allPictures())
    {
        SCOPED_TRACE (EmbeddedResources::arrayName (p.arrayNumber).toStdString());

        int size = 0;
        const auto* data = EmbeddedResources::getData (p.arrayNumber, size);
        ASSERT_NE (data, nullptr);

        const auto header = readPngHeader (data, size);
        EXPECT_EQ (header.width, p.width);
        EXPECT_EQ (header.height, p.height);
        EXPECT_EQ (header.bitDepth, 8);
        EXPECT_EQ (header.colourType, 6);   // RGB with alpha

        const auto image = decode (p.arrayNumber);
        ASSERT_TRUE (image.isValid());
        EXPECT_EQ (image.getWidth(), p.width);
        EXPECT_EQ (image.getHeight(), p.height);
        EXPECT_TRUE (image.hasAlphaChannel());
    }
}

TEST (EmbeddedResources, UnknownArraysGiveNothing)
{
    int size = 123;
    EXPECT_EQ (EmbeddedResources::getData (5, size), nullptr);   // a gap in the numbering
    EXPECT_EQ (size, 0);
    EXPECT_TRUE (EmbeddedResources::loadImage (156).isNull());
    EXPECT_TRUE (EmbeddedResources::loadImage (EmbeddedResources::noArray).isNull());
}

TEST (EmbeddedResources, FilmStripFramesChangeFromEachFrameToTheNext)
{
    for (const auto* strip : { &EmbeddedResources::bigKnobFrames, &EmbeddedResources::smallKnobFrames })
    {
        for (size_t i = 0; i + 1 < strip->size(); ++i)
        {
            SCOPED_TRACE ("frame " + std::to_string (i));
            EXPECT_FALSE (samePixels (decode ((*strip)[i]), decode ((*strip)[i + 1])));
        }
    }
}

TEST (EmbeddedResources, LedPicturesDifferByColourAndState)
{
    // Every LED picture is its own: no colour or state falls back to another's bytes.
    std::vector<juce::Image> leds;
    for (const auto& p : EmbeddedResources::allPictures())
        if (p.width == 48)
            leds.push_back (decode (p.arrayNumber));

    ASSERT_EQ (leds.size(), 11u);

    for (size_t a = 0; a < leds.size(); ++a)
        for (size_t b = a + 1; b < leds.size(); ++b)
            EXPECT_FALSE (samePixels (leds[a], leds[b])) << a << " and " << b;
}

TEST (EmbeddedResources, TheFontIsRobotoMediumAndBecomesOneSharedTypeface)
{
    int size = 0;
    ASSERT_NE (EmbeddedResources::getData (EmbeddedResources::robotoMediumFont, size), nullptr);
    EXPECT_GT (size, 100000);

    auto typeface = ZorvLNF::getRobotoMediumTypeface();
    ASSERT_NE (typeface, nullptr);
    EXPECT_EQ (typeface->getName(), "Roboto");
    EXPECT_EQ (typeface->getStyle(), "Medium");

    const ZorvLNF first, second;
    const auto firstFace = ZorvLNF::getRobotoMediumTypeface();
    EXPECT_EQ (firstFace.get(), ZorvLNF::getRobotoMediumTypeface().get());
    EXPECT_EQ (first.mainFont.getTypefacePtr().get(), firstFace.get());
    EXPECT_EQ (second.mainFont.getTypefacePtr().get(), firstFace.get());
    EXPECT_EQ (second.textBoxFont.getTypefacePtr().get(), firstFace.get());
}

TEST (EmbeddedResources, TypefaceComesBackAfterEveryUserHasGone)
{
    // Editors come and go many times in one process; the typeface must be
    // there again for the next one.
    for (int round = 0; round < 3; ++round)
    {
        auto lnf = std::make_unique<ZorvLNF>();
        ASSERT_NE (lnf->mainFont.getTypefacePtr(), nullptr);
        EXPECT_EQ (lnf->mainFont.getTypefacePtr()->getName(), "Roboto");
        lnf.reset();
    }
}

TEST (EmbeddedResources, SecondLookAndFeelSharesTheDecodedPictures)
{
    const LnfProbe first;
    const LnfProbe second;

    ASSERT_EQ (first.bigKnobFrames.size(), 55u);
    ASSERT_EQ (first.smallKnobFrames.size(), 55u);

    for (size_t i = 0; i < 55; ++i)
    {
        EXPECT_TRUE (first.bigKnobFrames[i].isValid());
        EXPECT_EQ (first.bigKnobFrames[i], second.bigKnobFrames[i]);      // one pixel store, not two
        EXPECT_EQ (first.smallKnobFrames[i], second.smallKnobFrames[i]);
    }

    EXPECT_EQ (first.bigKnobFrames[0].getWidth(), 168);
    EXPECT_EQ (first.smallKnobFrames[54].getWidth(), 136);
    EXPECT_EQ (first.toggleOnImage, second.toggleOnImage);
    EXPECT_EQ (first.toggleOffImage, second.toggleOffImage);
    EXPECT_NE (first.toggleOnImage, first.toggleOffImage);
    EXPECT_EQ (first.ledLitImage, second.ledLitImage);
    EXPECT_EQ (first.ledLitNegativeImage.getWidth(), 22);
    EXPECT_EQ (first.ledUnlitImage.getHeight(), 36);
}
