#include "control_panel_design.h"

#include "../common/LabelFonts.h"

namespace
{
    using control_panel_design::designWidth;
    using control_panel_design::designHeight;

    struct SeparatorLine { float x1, y1, x2, y2, thickness; };

    // Design coordinates; the thick one sets off the modulation area.
    const SeparatorLine separatorLines[] = {
        { 266.0f, 90.0f,  266.0f, 400.0f, 2.0f },
        { 533.0f, 90.0f,  533.0f, 530.0f, 4.0f },
        { 133.0f, 90.0f,  133.0f, 530.0f, 2.0f },
        { 400.0f, 90.0f,  400.0f, 530.0f, 2.0f },
        { 160.0f, 455.0f, 370.0f, 455.0f, 2.0f },
        { 563.0f, 455.0f, 770.0f, 455.0f, 2.0f },
    };

    constexpr float headerDesignHeight = 80.0f;
    constexpr float mainFontDesignHeight = 17.0f;
    constexpr float textBoxFontDesignHeight = 14.0f;
}

ControlPanel::~ControlPanel()
{
    // The look-and-feel must outlive every component that uses it.
    setLookAndFeel (nullptr);

    textEditPanel->removeComponentListener (&textEditPanelRaiser);

    for (auto& c : control_panel_design::children)
        c.release (*this);
}

void ControlPanel::mouseDrag (const juce::MouseEvent&) {}
void ControlPanel::mouseUp (const juce::MouseEvent&) {}

bool ControlPanel::keyPressed (const juce::KeyPress&)
{
    return false;
}

// Modifier changes stop here rather than going on to the editor.
void ControlPanel::modifierKeysChanged (const juce::ModifierKeys&) {}

void ControlPanel::resized()
{
    const int W = getWidth();
    const int H = getHeight();
    const float sx = (float) W / designWidth;
    const float sy = (float) H / designHeight;

    page_children::layOut (*this, control_panel_design::children);

    // Fonts shrink with the panel but never grow past their design heights.
    const bool atLeastDesignSize = W >= (int) designWidth && H >= (int) designHeight;
    const float scale = atLeastDesignSize ? 1.0f : juce::jmin (sx, sy);

    if (atLeastDesignSize)
    {
        popupLookAndFeel.mainFont.setHeight (mainFontDesignHeight);
        popupLookAndFeel.textBoxFont.setHeight (textBoxFontDesignHeight);
    }
    else
    {
        popupLookAndFeel.mainFont.setHeight (mainFontDesignHeight * scale + 0.5f);
        popupLookAndFeel.textBoxFont.setHeight (textBoxFontDesignHeight * scale + 0.5f);
    }

    // Re-installing the look-and-feel makes every child pick up the new fonts
    // (knob text boxes are made anew).
    setLookAndFeel (nullptr);
    setLookAndFeel (&popupLookAndFeel);

    LabelFonts::rescale (*this, labelSizes, atLeastDesignSize, scale);

    // Whole numbers: in floats a scale such as 630 / 600 lands a pixel short.
    const auto across = [W] (int design) { return design * W / (int) designWidth; };
    const auto down = [H] (int design) { return design * H / (int) designHeight; };
    const int header = down ((int) headerDesignHeight);

    advancedPanel->setBounds (across (45), down (100), across (700), down (485));
    advancedBackdrop->setBounds (0, header, W, H - header);
}

void ControlPanel::paint (juce::Graphics& g)
{
    const float W = (float) getWidth();
    const float sx = W / designWidth;
    const float sy = (float) getHeight() / designHeight;

    g.fillAll (juce::Colour (0xff2c2c30));

    g.setColour (juce::Colour (0xff783232));
    g.fillRect (juce::Rectangle<float> (0.0f, 0.0f, W, headerDesignHeight * sy));

    g.setColour (juce::Colour (0x1affffff));

    for (auto& line : separatorLines)
        g.drawLine (juce::Line<float> (line.x1 * sx, line.y1 * sy, line.x2 * sx, line.y2 * sy), line.thickness);
}
