#include "ControlPanel.h"

namespace
{
    // Every knob's parameter; everything else edits none. The LFO rate knobs
    // keep their rate index even while they set a side-chain gain.
    const std::pair<std::unique_ptr<juce::Slider> ControlPanel::*, int> mainKnobParameters[] = {
        { &ControlPanel::noiseMixSlider,     5 },
        { &ControlPanel::clipSlider,         17 },
        { &ControlPanel::bitsSlider,         6 },
        { &ControlPanel::mod1DepthSlider,    24 },
        { &ControlPanel::mod2DepthSlider,    28 },
        { &ControlPanel::lfo1RateSlider,     25 },
        { &ControlPanel::lfo2RateSlider,     29 },
        { &ControlPanel::dryWetSlider,       0 },
        { &ControlPanel::bpmSlider,          41 },
        { &ControlPanel::tapeDepthSlider,    21 },
        { &ControlPanel::tapeRotationSlider, 22 },
        { &ControlPanel::srReducSlider,      23 },
        { &ControlPanel::lowCutSlider,       35 },
        { &ControlPanel::highCutSlider,      37 },
        { &ControlPanel::saturationSlider,   18 },
        { &ControlPanel::noiseFiltSlider,    13 },
    };

    const std::pair<std::unique_ptr<juce::Slider> AdvancedPanel1::*, int> advancedKnobParameters[] = {
        { &AdvancedPanel1::noiseThresholdSlider, 7 },
        { &AdvancedPanel1::noiseMinSlider,       8 },
        { &AdvancedPanel1::noiseRatioSlider,     10 },
        { &AdvancedPanel1::lfoSlewRateSlider,    38 },
        { &AdvancedPanel1::filterQSlider,        15 },
        { &AdvancedPanel1::clipLpFilterSlider,   19 },
        { &AdvancedPanel1::noiseRmsSlider,       3 },
        { &AdvancedPanel1::noiseReleaseSlider,   11 },
        { &AdvancedPanel1::inputGainSlider,      1 },
        { &AdvancedPanel1::outputGainSlider,     2 },
    };
}

int ControlPanel::getControlParameterIndex (juce::Component& control)
{
    for (auto& [slider, index] : mainKnobParameters)
        if ((this->*slider).get() == &control)
            return index;

    if (advancedPanel == nullptr)
        return -1;

    for (auto& [slider, index] : advancedKnobParameters)
        if (((*advancedPanel).*slider).get() == &control)
            return index;

    return -1;
}
