#pragma once

#include <juce_graphics/juce_graphics.h>

// The plug-in's pictures, drawn at build time. Everything is made to sit on the
// pages' dark grey panel (0xff2c2c30) and the dark red header band.
namespace Pictures
{
    // One film-strip frame; position 0 points the knob to -144 degrees
    // (lower left), 1 to +144 degrees (lower right).
    juce::Image knobFrame (int size, float position);

    juce::Image toggle (bool on);

    enum class Segment { lit, litNegative, unlit };
    juce::Image ringSegment (Segment);

    enum class LedLook { on, alternate, off, dark };

    // colourIndex: green, red, amber, cyan (ignored for the dark look).
    juce::Image led (int colourIndex, LedLook);

    juce::Image wordmark (const juce::Typeface::Ptr& typeface);

    // 0 sine, 1 square, 2 falling saw, 3 rising saw.
    juce::Image waveform (int kind);
}
