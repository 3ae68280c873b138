#include "WeightPanel.h"

WeightPanel::WeightPanel (ZorvaluneAudioProcessor& p)
    : processor (p)
{
    setSize (700, 360);
    update_UI();
}

WeightPanel::~WeightPanel() = default;

void WeightPanel::update_UI() {}

void WeightPanel::sliderValueChanged (juce::Slider*) {}
