#include "page_children.h"

#include "../common/LabelFonts.h"

void page_children::setUpCaption (juce::Label& label, const char* text, float height, juce::Justification justification)
{
    label.setName ("new label");
    label.setText (TRANS (text), juce::dontSendNotification);
    label.setFont (LabelFonts::regular (height));
    label.setJustificationType (justification);
    label.setEditable (false, false, false);
    label.setColour (juce::TextEditor::textColourId, juce::Colours::black);
    label.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
}
