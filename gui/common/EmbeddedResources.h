#pragma once

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <vector>

// The font and every picture are compiled into the plug-in as byte arrays
// named "temp<number>". This header names which array plays which role; the
// build-time picture generator reads the same tables to know what to draw
// under which name, so the two can never disagree.
namespace EmbeddedResources
{
    constexpr int knobFrameCount = 55;
    constexpr int ledColourCount = 4;   // green, red, amber, cyan (BlinkingLed::LedColors)
    constexpr int noArray = 0;          // a role that has no picture

    constexpr int robotoMediumFont = 1;

    constexpr int toggleOn  = 3;
    constexpr int toggleOff = 74;

    // Frame 0 shows the knob at its lowest position, the last frame at its highest.
    constexpr std::array<int, knobFrameCount> bigKnobFrames {
        124, 68, 149, 34, 109, 4, 101, 36, 112, 71, 150, 61, 122, 2, 99, 37, 111, 8, 100,
        40, 103, 12, 98, 60, 129, 62, 153, 52, 128, 9, 96, 42, 107, 66, 155, 56, 126, 63,
        152, 97, 15, 105, 38, 151, 65, 130, 58, 154, 67, 108, 41, 95, 10, 127, 54 };

    constexpr std::array<int, knobFrameCount> smallKnobFrames {
        82, 134, 50, 93, 20, 119, 25, 91, 17, 131, 49, 143, 83, 121, 27, 90, 19, 118, 26,
        88, 24, 114, 28, 144, 76, 141, 45, 147, 78, 116, 32, 85, 22, 136, 44, 146, 81, 138,
        48, 31, 113, 23, 89, 47, 140, 73, 145, 43, 137, 21, 86, 33, 115, 77, 148 };

    constexpr int ringSegmentLit         = 80;
    constexpr int ringSegmentLitNegative = 87;
    constexpr int ringSegmentUnlit       = 117;

    // By LED colour: green, red, amber, cyan.
    constexpr std::array<int, ledColourCount> ledOn        { 51, 135, 132, 139 };
    constexpr std::array<int, ledColourCount> ledOff       { 57, 120, 46, 59 };
    constexpr std::array<int, ledColourCount> ledAlternate { noArray, noArray, 64, 7 };
    constexpr int ledDark = 14;

    constexpr int wordmark = 110;

    // Modulation sources 0..3: sine, square, falling saw, rising saw.
    constexpr std::array<int, 4> modSourceWaveforms { 6, 142, 84, 102 };

    enum class PictureRole
    {
        onToggle, offToggle, bigKnobFrame, smallKnobFrame,
        litRingSegment, negativeRingSegment, unlitRingSegment,
        onLed, offLed, alternateLed, darkLed, logo, waveform
    };

    struct Picture
    {
        int arrayNumber;
        PictureRole role;
        int index;      // frame, LED colour or waveform number; 0 for single pictures
        int width, height;
    };

    // All 131 pictures in load order, with their pixel sizes.
    inline std::vector<Picture> allPictures()
    {
        std::vector<Picture> list;
        const auto add = [&list] (int number, PictureRole role, int index, int w, int h)
        {
            if (number != noArray)
                list.push_back ({ number, role, index, w, h });
        };

        add (toggleOn,  PictureRole::onToggle,   0, 108, 108);
        add (toggleOff, PictureRole::offToggle, 0, 108, 108);

        for (int i = 0; i < knobFrameCount; ++i)
            add (bigKnobFrames[(size_t) i], PictureRole::bigKnobFrame, i, 168, 168);

        for (int i = 0; i < knobFrameCount; ++i)
            add (smallKnobFrames[(size_t) i], PictureRole::smallKnobFrame, i, 136, 136);

        add (ringSegmentLit,         PictureRole::litRingSegment,         0, 22, 36);
        add (ringSegmentLitNegative, PictureRole::negativeRingSegment, 0, 22, 36);
        add (ringSegmentUnlit,       PictureRole::unlitRingSegment,       0, 22, 36);

        for (int c = 0; c < ledColourCount; ++c) add (ledOn[(size_t) c],        PictureRole::onLed,        c, 48, 48);
        for (int c = 0; c < ledColourCount; ++c) add (ledOff[(size_t) c],       PictureRole::offLed,       c, 48, 48);
        for (int c = 0; c < ledColourCount; ++c) add (ledAlternate[(size_t) c], PictureRole::alternateLed, c, 48, 48);
        add (ledDark, PictureRole::darkLed, 0, 48, 48);

        add (wordmark, PictureRole::logo, 0, 434, 84);

        for (int i = 0; i < (int) modSourceWaveforms.size(); ++i)
            add (modSourceWaveforms[(size_t) i], PictureRole::waveform, i, 124, 68);

        return list;
    }

    // "temp<number>": the array's name in the compiled-in data.
    inline juce::String arrayName (int arrayNumber)    { return "temp" + juce::String (arrayNumber); }

    // The bytes of one embedded file (without the array's trailing padding);
    // null with size 0 when there is no such array.
    const char* getData (int arrayNumber, int& sizeInBytes);

    // Decodes a picture through the framework's image cache, so every holder of
    // the same picture shares one decoded copy. A missing or broken picture
    // gives a null image, which draws nothing.
    juce::Image loadImage (int arrayNumber);

    // The embedded Roboto Medium typeface. One typeface exists while anything
    // holds a SharedTypeface; nothing of it outlives the framework's shutdown.
    struct SharedTypeface
    {
        SharedTypeface();
        juce::Typeface::Ptr typeface;
    };
}
