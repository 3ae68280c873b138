#include "ZorvLNF.h"

namespace
{
    struct ColourSetting
    {
        int colourId;
        juce::uint32 argb;
    };

    // Text in translucent white; combo boxes show only their outline and text.
    const ColourSetting lnfColours[] {
        { juce::Slider::textBoxTextColourId,  0xBFFFFFFF },
        { juce::Label::textColourId,          0xBFFFFFFF },
        { juce::TextButton::textColourOffId,  0xA6FFFFFF },
        { juce::TextButton::textColourOnId,   0xD9FFFFFF },
        { juce::ComboBox::textColourId,       0xBFFFFFFF },
        { juce::ComboBox::backgroundColourId, 0x00FFFFFF },
        { juce::ComboBox::outlineColourId,    0xBFFFFFFF },
    };

    std::vector<juce::Image> loadFrames (const std::array<int, EmbeddedResources::knobFrameCount>& arrays)
    {
        std::vector<juce::Image> frames;
        frames.reserve (arrays.size());

        for (auto number : arrays)
            frames.push_back (EmbeddedResources::loadImage (number));

        return frames;
    }

    juce::Font embeddedFont (float height)
    {
        if (auto typeface = ZorvLNF::getRobotoMediumTypeface())
            return juce::Font (typeface).withHeight (height);

        // Only a broken build lacks the font; fall back to the system's.
        return juce::Font (height);
    }
}

ZorvLNF::ZorvLNF()
    : toggleOnImage (EmbeddedResources::loadImage (EmbeddedResources::toggleOn)),
      toggleOffImage (EmbeddedResources::loadImage (EmbeddedResources::toggleOff)),
      bigKnobFrames (loadFrames (EmbeddedResources::bigKnobFrames)),
      smallKnobFrames (loadFrames (EmbeddedResources::smallKnobFrames)),
      ledLitImage (EmbeddedResources::loadImage (EmbeddedResources::ringSegmentLit)),
      ledLitNegativeImage (EmbeddedResources::loadImage (EmbeddedResources::ringSegmentLitNegative)),
      ledUnlitImage (EmbeddedResources::loadImage (EmbeddedResources::ringSegmentUnlit))
{
    for (const auto& c : lnfColours)
        setColour (c.colourId, juce::Colour (c.argb));

    mainFont = embeddedFont (17.0f);
    textBoxFont = mainFont.withHeight (14.0f);
}

ZorvLNF::~ZorvLNF() = default;

juce::Typeface::Ptr ZorvLNF::getRobotoMediumTypeface()
{
    // While any look-and-feel lives this returns the typeface it holds; the
    // holder goes away with the last user, long before the framework shuts down.
    const juce::SharedResourcePointer<EmbeddedResources::SharedTypeface> holder;
    return holder->typeface;
}

juce::Font ZorvLNF::getTextButtonFont (juce::TextButton&, int)
{
    return mainFont;
}

juce::Font ZorvLNF::getLabelFont (juce::Label& label)
{
    // Labels keep the size their owner gave them but always use our typeface.
    return mainFont.withHeight (label.getFont().getHeight());
}

void ZorvLNF::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool, bool)
{
    const auto& image = button.getToggleState() ? toggleOnImage : toggleOffImage;
    const int w = button.getWidth();
    const int h = button.getHeight();

    if (image.getWidth() != image.getHeight())
    {
        g.drawImage (image, 0, 0, w, h, 0, 0, image.getWidth(), image.getHeight());
        return;
    }

    const int side = juce::jmin (w, h);
    g.drawImage (image, (w - side) / 2, (h - side) / 2, side, side,
                 0, 0, image.getWidth(), image.getHeight());
}

juce::Label* ZorvLNF::createSliderTextBox (juce::Slider& slider)
{
    auto* box = new juce::Label();
    box->setFont (textBoxFont);
    box->setJustificationType (juce::Justification::centred);
    box->setKeyboardType (juce::TextInputTarget::decimalKeyboard);

    const auto textColour = slider.findColour (juce::Slider::textBoxTextColourId);
    box->setColour (juce::Label::textColourId, textColour);
    box->setColour (juce::TextEditor::textColourId, textColour);
    box->setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    return box;
}
