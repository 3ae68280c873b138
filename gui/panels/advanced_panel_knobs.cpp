#include "advanced_panel_design.h"
#include "edit_protocol.h"

using namespace advanced_panel_design;

// Every change a user makes to a knob lies within a gesture for its parameter:
// the framework brackets drags, wheel steps, resets and typed values alike.
void AdvancedPanel1::sliderDragStarted (juce::Slider* slider)
{
    if (const auto* knob = knobFor (*this, slider))
        edit_protocol::beginGesture (processor, knob->parameter);
}

void AdvancedPanel1::sliderDragEnded (juce::Slider* slider)
{
    if (const auto* knob = knobFor (*this, slider))
        edit_protocol::endGesture (processor, knob->parameter);
}

void AdvancedPanel1::sliderValueChanged (juce::Slider* slider)
{
    if (const auto* knob = knobFor (*this, slider))
        edit_protocol::writeInUnits (processor, knob->parameter, (float) slider->getValue());
}
