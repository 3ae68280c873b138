#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "EmbeddedResources.h"

#include <array>
#include <vector>

// The look-and-feel of every page: knobs are frames of a pre-rendered film strip
// inside a ring of 27 LED segments, toggles are an on or off picture, and all
// text is set in the embedded Roboto Medium in translucent white.
class ZorvLNF : public juce::LookAndFeel_V4
{
public:
    ZorvLNF();
    ~ZorvLNF() override;

    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&,
                           bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getLabelFont (juce::Label&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle,
                           float rotaryEndAngle, juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;

    // The one embedded typeface of the process (created on first use).
    static juce::Typeface::Ptr getRobotoMediumTypeface();

    //==============================================================================
    // The knob drawing's choices, kept apart from the drawing so they can be checked.
    static constexpr int ringSegmentCount = 27;

    struct KnobLayout
    {
        bool bigStrip;      // the 168-pixel strip rather than the 136-pixel one
        float scale;
        int topMargin;      // space above the knob, where the ring's upper segments stand
        int segmentWidth;
        int segmentHeight;
    };

    // Strip and scale by the knob area's width.
    static KnobLayout knobLayoutFor (int width);

    // The film-strip frame shown for a proportional position 0..1.
    static int knobFrameFor (float position, int frameCount);

    enum class RingLight { unlit, lit, litNegative };

    // Which segment (0 = lower left .. 26 = lower right) shows which picture.
    // The slider's component name picks the ring's behaviour: "right_is_zero_slider"
    // fills from the right end, "mid_is_zero_slider" from the centre either way.
    static std::array<RingLight, ringSegmentCount> ringLightsFor (const juce::String& sliderName,
                                                                  float position);

    // Rotation of segment k about the knob centre, in radians; 0 is straight up.
    static float ringSegmentAngle (int segment);

    //==============================================================================
    // Design heights 17 and 14; the control panel shrinks them with the window.
    juce::Font mainFont;
    juce::Font textBoxFont;

protected:
    juce::SharedResourcePointer<EmbeddedResources::SharedTypeface> sharedTypeface;

    juce::Image toggleOnImage;
    juce::Image toggleOffImage;
    std::vector<juce::Image> bigKnobFrames;
    std::vector<juce::Image> smallKnobFrames;
    juce::Image ledLitImage;
    juce::Image ledLitNegativeImage;
    juce::Image ledUnlitImage;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZorvLNF)
};
