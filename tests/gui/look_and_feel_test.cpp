#include <gtest/gtest.h>

#include "gui/common/WidgetVariants.h"
#include "gui/common/ZorvLNF.h"

namespace
{
    using Light = ZorvLNF::RingLight;

    // Indices of the segments that show `light`.
    std::vector<int> segmentsShowing (const juce::String& name, float position, Light light)
    {
        std::vector<int> result;
        const auto lights = ZorvLNF::ringLightsFor (name, position);

        for (int k = 0; k < ZorvLNF::ringSegmentCount; ++k)
            if (lights[(size_t) k] == light)
                result.push_back (k);

        return result;
    }

    std::vector<int> range (int first, int last)
    {
        std::vector<int> r;
        for (int k = first; k <= last; ++k)
            r.push_back (k);
        return r;
    }

    // Renders a knob the way a slider would, into a transparent picture.
    juce::Image renderKnob (ZorvLNF& lnf, int width, int height, double value, bool enabled = true,
                            const juce::String& name = "slider")
    {
        juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox);
        slider.setName (name);
        slider.setRange (0.0, 1.0);
        slider.setValue (value, juce::dontSendNotification);
        slider.setEnabled (enabled);

        juce::Image image (juce::Image::ARGB, width, height, true);
        juce::Graphics g (image);
        lnf.drawRotarySlider (g, 0, 0, width, height, (float) value, 0.0f, 1.0f, slider);
        return image;
    }
}

TEST (KnobDrawing, StripAndScaleFollowTheKnobWidth)
{
    struct Row { int width; bool big; float scale; int margin, segmentW, segmentH; };
    const Row rows[] {
        {  74, false, 74.0f / 108.0f, 8,  8, 12 },   // the panel's knobs at its design size
        {  81, false, 0.75f,          9,  8, 14 },
        {  82, false, 1.0f,          12, 11, 18 },
        {  89, false, 1.0f,          12, 11, 18 },
        {  90, true,  1.0f,          12, 11, 18 },
        { 400, true,  1.0f,          12, 11, 18 },
    };

    for (const auto& row : rows)
    {
        const auto layout = ZorvLNF::knobLayoutFor (row.width);
        EXPECT_EQ (layout.bigStrip, row.big) << row.width;
        EXPECT_FLOAT_EQ (layout.scale, row.scale) << row.width;
        EXPECT_EQ (layout.topMargin, row.margin) << row.width;
        EXPECT_EQ (layout.segmentWidth, row.segmentW) << row.width;
        EXPECT_EQ (layout.segmentHeight, row.segmentH) << row.width;
    }
}

TEST (KnobDrawing, FramePickedForAPosition)
{
    EXPECT_EQ (ZorvLNF::knobFrameFor (1.0f, 55), 54);
    EXPECT_EQ (ZorvLNF::knobFrameFor (0.999f, 55), 53);
    EXPECT_EQ (ZorvLNF::knobFrameFor (0.0f, 55), 0);
    EXPECT_EQ (ZorvLNF::knobFrameFor (0.5f, 55), 27);
    // Positions outside 0..1 never index past the strip.
    EXPECT_EQ (ZorvLNF::knobFrameFor (1.2f, 55), 54);
    EXPECT_EQ (ZorvLNF::knobFrameFor (-0.1f, 55), 0);
}

TEST (KnobDrawing, DefaultRingFillsFromTheLeft)
{
    EXPECT_EQ (segmentsShowing ("slider", 0.5f, Light::lit), range (0, 12));
    EXPECT_TRUE (segmentsShowing ("slider", 0.0f, Light::lit).empty());
    EXPECT_EQ (segmentsShowing ("slider", 1.0f, Light::lit), range (0, 26));
    EXPECT_EQ (segmentsShowing ("attack slider", 0.04f, Light::lit), range (0, 0));
    EXPECT_TRUE (segmentsShowing ("slider", 0.7f, Light::litNegative).empty());
}

TEST (KnobDrawing, RightIsZeroRingFillsFromTheRight)
{
    EXPECT_EQ (segmentsShowing ("right_is_zero_slider", 0.0f, Light::lit), range (0, 26));
    EXPECT_TRUE (segmentsShowing ("right_is_zero_slider", 1.0f, Light::lit).empty());
    EXPECT_EQ (segmentsShowing ("right_is_zero_slider", 0.5f, Light::lit), range (13, 26));
    // The name is compared exactly.
    EXPECT_EQ (segmentsShowing ("Right_is_zero_slider", 0.0f, Light::lit), std::vector<int>());
}

TEST (KnobDrawing, MidIsZeroRingGrowsBothWaysFromTheCentre)
{
    const juce::String mid = "mid_is_zero_slider";

    EXPECT_EQ (segmentsShowing (mid, 0.5f, Light::lit), range (13, 13));
    EXPECT_TRUE (segmentsShowing (mid, 0.5f, Light::litNegative).empty());

    EXPECT_EQ (segmentsShowing (mid, 0.49f, Light::litNegative), range (13, 13));
    EXPECT_TRUE (segmentsShowing (mid, 0.49f, Light::lit).empty());

    EXPECT_EQ (segmentsShowing (mid, 0.0f, Light::litNegative), range (0, 13));
    EXPECT_EQ (segmentsShowing (mid, 1.0f, Light::lit), range (13, 26));
    EXPECT_EQ (segmentsShowing (mid, 0.75f, Light::lit), range (13, 19));
    EXPECT_EQ (segmentsShowing (mid, 0.25f, Light::litNegative), range (7, 13));
}

TEST (KnobDrawing, SegmentsSpanMinusToPlusOneHundredFortyFourDegrees)
{
    const float pi = juce::MathConstants<float>::pi;
    EXPECT_NEAR (ZorvLNF::ringSegmentAngle (0), -0.8f * pi, 1.0e-6f);
    EXPECT_NEAR (ZorvLNF::ringSegmentAngle (13), 0.0f, 1.0e-5f);
    EXPECT_NEAR (ZorvLNF::ringSegmentAngle (26), 0.8f * pi, 1.0e-5f);
    EXPECT_LT (ZorvLNF::ringSegmentAngle (12), ZorvLNF::ringSegmentAngle (13));
}

TEST (KnobDrawing, LitTopSegmentIsRedAndUnlitOneDark)
{
    ZorvLNF lnf;
    // At 100 x 110 the big strip draws at full scale; the top segment (13)
    // stands at x 50, from y 0 to 18.
    const auto full = renderKnob (lnf, 100, 110, 1.0);
    const auto empty = renderKnob (lnf, 100, 110, 0.0);

    const auto lit = full.getPixelAt (50, 9);
    const auto unlit = empty.getPixelAt (50, 9);
    EXPECT_GT (lit.getRed(), 200);
    EXPECT_GT (lit.getRed(), lit.getGreen() + 60);
    EXPECT_LT (unlit.getRed(), 80);
    EXPECT_GT (unlit.getAlpha(), 200);

    // Below the centre of a centre-zero knob the segment turns cyan.
    const auto negative = renderKnob (lnf, 100, 110, 0.2, true, "mid_is_zero_slider").getPixelAt (50, 9);
    EXPECT_GT (negative.getBlue(), 200);
    EXPECT_GT (negative.getBlue(), negative.getRed() + 60);
}

TEST (KnobDrawing, DisabledKnobIsTheSamePictureAtSixtyPercent)
{
    ZorvLNF lnf;
    const auto enabled = renderKnob (lnf, 74, 61, 0.6);
    const auto disabled = renderKnob (lnf, 74, 61, 0.6, false);

    // Compare inside the knob body, where no two drawings overlap
    // (74 x 61: knob side 53 from y 8, centre 37, 34.5).
    int compared = 0;
    for (int y = 0; y < enabled.getHeight(); ++y)
    {
        for (int x = 0; x < enabled.getWidth(); ++x)
        {
            const auto a = enabled.getPixelAt (x, y).getAlpha();

            if (a > 240 && juce::Point<float> ((float) x, (float) y).getDistanceFrom ({ 37.0f, 34.5f }) < 15.0f)
            {
                EXPECT_NEAR (disabled.getPixelAt (x, y).getAlpha(), a * 0.6, 2.5) << x << "," << y;
                ++compared;
            }
        }
    }

    EXPECT_GT (compared, 400);
}

TEST (KnobDrawing, WideAreaCentresTheKnobAndTallAreaKeepsItsTopMargin)
{
    ZorvLNF lnf;

    // 160 x 100: knob side 88 at x 36 .. 124, centred.
    const auto wide = renderKnob (lnf, 160, 100, 0.5);
    EXPECT_EQ (wide.getPixelAt (20, 56).getAlpha(), 0);
    EXPECT_EQ (wide.getPixelAt (140, 56).getAlpha(), 0);
    EXPECT_GT (wide.getPixelAt (80, 56).getAlpha(), 200);

    // 100 x 200: knob side 100 from y 12; nothing below 112.
    const auto tall = renderKnob (lnf, 100, 200, 0.5);
    EXPECT_GT (tall.getPixelAt (50, 62).getAlpha(), 200);
    for (int y = 120; y < 200; y += 10)
        EXPECT_EQ (tall.getPixelAt (50, y).getAlpha(), 0) << y;
}

TEST (ToggleDrawing, SquarePictureCentredInAnOblongButtonAndNoText)
{
    ZorvLNF lnf;
    juce::ToggleButton button ("never drawn");
    button.setLookAndFeel (&lnf);
    button.setBounds (0, 0, 120, 60);

    const auto draw = [&lnf, &button]
    {
        juce::Image image (juce::Image::ARGB, 120, 60, true);
        juce::Graphics g (image);
        lnf.drawToggleButton (g, button, true, true);
        return image;
    };

    button.setToggleState (false, juce::dontSendNotification);
    const auto off = draw();
    button.setToggleState (true, juce::dontSendNotification);
    const auto on = draw();

    // The 60 x 60 square sits at x 30 .. 90; the sides stay empty.
    for (int y = 0; y < 60; y += 6)
    {
        EXPECT_EQ (on.getPixelAt (10, y).getAlpha(), 0);
        EXPECT_EQ (on.getPixelAt (110, y).getAlpha(), 0);
    }

    EXPECT_GT (on.getPixelAt (60, 30).getAlpha(), 200);

    int differing = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 30; x < 90; ++x)
            differing += on.getPixelAt (x, y) != off.getPixelAt (x, y) ? 1 : 0;

    EXPECT_GT (differing, 200);
    button.setLookAndFeel (nullptr);
}

TEST (LookAndFeelText, FontsAreTheEmbeddedTypefaceAtTheirHeights)
{
    ZorvLNF lnf;
    const auto face = ZorvLNF::getRobotoMediumTypeface();

    juce::TextButton button ("b");
    const auto buttonFont = lnf.getTextButtonFont (button, 200);
    EXPECT_FLOAT_EQ (buttonFont.getHeight(), 17.0f);
    EXPECT_EQ (buttonFont.getTypefacePtr().get(), face.get());

    juce::Label label ("l", "text");
    label.setFont (juce::Font (12.0f, juce::Font::plain).withTypefaceStyle ("Regular"));
    const auto labelFont = lnf.getLabelFont (label);
    EXPECT_FLOAT_EQ (labelFont.getHeight(), 12.0f);
    EXPECT_EQ (labelFont.getTypefacePtr().get(), face.get());
}

TEST (LookAndFeelText, ColoursAreTranslucentWhite)
{
    ZorvLNF lnf;
    EXPECT_EQ (lnf.findColour (juce::Slider::textBoxTextColourId).getARGB(), 0xBFFFFFFFu);
    EXPECT_EQ (lnf.findColour (juce::Label::textColourId).getARGB(), 0xBFFFFFFFu);
    EXPECT_EQ (lnf.findColour (juce::TextButton::textColourOffId).getARGB(), 0xA6FFFFFFu);
    EXPECT_EQ (lnf.findColour (juce::TextButton::textColourOnId).getARGB(), 0xD9FFFFFFu);
    EXPECT_EQ (lnf.findColour (juce::ComboBox::textColourId).getARGB(), 0xBFFFFFFFu);
    EXPECT_EQ (lnf.findColour (juce::ComboBox::backgroundColourId).getARGB(), 0x00FFFFFFu);
    EXPECT_EQ (lnf.findColour (juce::ComboBox::outlineColourId).getARGB(), 0xBFFFFFFFu);
}

TEST (LookAndFeelText, SliderTextBoxIsCentredDecimalAndTransparent)
{
    ZorvLNF lnf;
    juce::Slider slider;
    slider.setColour (juce::Slider::textBoxTextColourId, juce::Colour (0xff123456));

    std::unique_ptr<juce::Label> box (lnf.createSliderTextBox (slider));
    ASSERT_NE (box, nullptr);
    EXPECT_TRUE (box->getName().isEmpty());
    EXPECT_TRUE (box->getText().isEmpty());
    EXPECT_FLOAT_EQ (box->getFont().getHeight(), 14.0f);
    EXPECT_EQ (box->getJustificationType(), juce::Justification (juce::Justification::centred));
    box->showEditor();
    ASSERT_NE (box->getCurrentTextEditor(), nullptr);
    EXPECT_EQ (box->getCurrentTextEditor()->getKeyboardType(), juce::TextInputTarget::decimalKeyboard);
    box->hideEditor (true);
    EXPECT_EQ (box->findColour (juce::Label::textColourId), juce::Colour (0xff123456));
    EXPECT_EQ (box->findColour (juce::TextEditor::textColourId), juce::Colour (0xff123456));
    EXPECT_EQ (box->findColour (juce::Label::backgroundColourId), juce::Colours::transparentBlack);
}

TEST (PopupVariant, MenusGoWhereTheOptionsSayOrIntoTheirOwnWindow)
{
    ForcePopupsInParentWindow lnf;
    juce::Component parent;

    EXPECT_EQ (lnf.getParentComponentForMenuOptions (juce::PopupMenu::Options()), nullptr);
    EXPECT_EQ (lnf.getParentComponentForMenuOptions (juce::PopupMenu::Options().withParentComponent (&parent)), &parent);

    // It draws exactly like the plain look-and-feel.
    ZorvLNF plain;
    const auto a = renderKnob (lnf, 74, 61, 0.3);
    const auto b = renderKnob (plain, 74, 61, 0.3);
    for (int y = 0; y < 61; y += 3)
        for (int x = 0; x < 74; x += 3)
            ASSERT_EQ (a.getPixelAt (x, y), b.getPixelAt (x, y));
}
