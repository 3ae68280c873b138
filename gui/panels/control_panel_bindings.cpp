#include "ControlPanel.h"

// What the controls do when used is not wired up yet: every control exists
// and is laid out, and the panel listens to all of them.
void ControlPanel::sliderDragStarted (juce::Slider*) {}
void ControlPanel::sliderDragEnded (juce::Slider*) {}
void ControlPanel::sliderValueChanged (juce::Slider*) {}
void ControlPanel::buttonClicked (juce::Button*) {}
void ControlPanel::comboBoxChanged (juce::ComboBox*) {}

void ControlPanel::presetNameEntered (TextEditPanel*, int, juce::String)
{
    textEditPanel->setVisible (false);
}
