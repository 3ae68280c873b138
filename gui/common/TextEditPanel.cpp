#include "TextEditPanel.h"

#include "LabelFonts.h"

namespace
{
    constexpr int designWidth = 350;
    constexpr int designHeight = 100;

    std::unique_ptr<juce::TextButton> makeButton (TextEditPanel& panel, const juce::String& text)
    {
        auto button = std::make_unique<juce::TextButton> ("new button");
        panel.addAndMakeVisible (button.get());
        button->setButtonText (juce::translate (text));
        button->addListener (&panel);
        // Only the text shows on the panel's own background.
        button->setColour (juce::TextButton::buttonColourId, juce::Colour (0x00FFFFFF));
        return button;
    }
}

TextEditPanel::TextEditPanel()
{
    textEditor = std::make_unique<juce::TextEditor> ("text editor");
    addAndMakeVisible (textEditor.get());
    textEditor->setMultiLine (false);
    textEditor->setReturnKeyStartsNewLine (false);
    textEditor->setReadOnly (false);
    textEditor->setScrollbarsShown (true);
    textEditor->setCaretVisible (true);
    textEditor->setPopupMenuEnabled (true);
    textEditor->setText ({});

    okButton = makeButton (*this, "OK");
    cancelButton = makeButton (*this, "Cancel");

    iCloudStatusLabel = std::make_unique<juce::Label> ("new label", juce::translate ("iCloud enabled"));
    addAndMakeVisible (iCloudStatusLabel.get());
    iCloudStatusLabel->setFont (LabelFonts::regular (14.0f));
    iCloudStatusLabel->setJustificationType (juce::Justification::centredLeft);
    iCloudStatusLabel->setEditable (false, false, false);
    iCloudStatusLabel->setColour (juce::TextEditor::textColourId, juce::Colours::black);
    iCloudStatusLabel->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));

    setSize (designWidth, designHeight);

    LabelFonts::recordDesignHeights (*this, labelFontHeights);
}

TextEditPanel::~TextEditPanel()
{
    textEditor = nullptr;
    okButton = nullptr;
    cancelButton = nullptr;
    iCloudStatusLabel = nullptr;
}

void TextEditPanel::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xFF2C2C30));
    g.fillAll (juce::Colour (0x802D7180));
}

bool TextEditPanel::keyPressed (const juce::KeyPress&)
{
    // Keys the text field leaves alone belong to the host.
    return false;
}

void TextEditPanel::modifierKeysChanged (const juce::ModifierKeys&)
{
}

void TextEditPanel::resized()
{
    const float w = (float) getWidth();
    const float h = (float) getHeight();
    const auto at = [] (float fraction, float size) { return juce::roundToInt (fraction * size); };

    textEditor->setBounds (at (0.0457f, w), at (0.16f, h), at (0.8914f, w), at (0.32f, h));
    okButton->setBounds (at (0.8f, w), at (0.64f, h), 40, 24);
    cancelButton->setBounds (at (0.5257f, w), at (0.64f, h), 72, 24);
    // Two lines left of Cancel: room for why a name was refused.
    iCloudStatusLabel->setBounds (at (0.0457f, w), at (0.62f, h), at (0.4629f, w), at (0.36f, h));

    // Fonts shrink with the panel but never grow above their design heights.
    const bool atLeastDesignSize = getWidth() >= designWidth && getHeight() >= designHeight;
    LabelFonts::rescale (*this, labelFontHeights, atLeastDesignSize,
                         juce::jmin (w / (float) designWidth, h / (float) designHeight));
}

void TextEditPanel::buttonClicked (juce::Button* button)
{
    // An owner that has not set its handler yet simply gets no answer.
    if (! resultCallback)
        return;

    if (button == okButton.get())
        resultCallback (this, 1, textEditor->getText());
    else if (button == cancelButton.get())
        resultCallback (this, 0, {});
}
