#include "AdvancedPanel1.h"

#include "ControlPanel.h"

AdvancedPanel1::AdvancedPanel1 (ZorvaluneAudioProcessor& p)
    : processor (p)
{
    // Not children yet: the page's controls are laid out once the page gets
    // its contents; the lookup only needs the objects.
    for (auto* slider : { &noiseThresholdSlider, &noiseMinSlider, &noiseRatioSlider, &lfoSlewRateSlider,
                          &filterQSlider, &clipLpFilterSlider, &noiseRmsSlider, &noiseReleaseSlider,
                          &inputGainSlider, &outputGainSlider })
        *slider = std::make_unique<juce::Slider> (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);

    setSize (700, 480);
    update_UI();
}

AdvancedPanel1::~AdvancedPanel1()
{
    stopTimer();
}

void AdvancedPanel1::update_UI()
{
    update_dependant_UI (0);
}

void AdvancedPanel1::update_dependant_UI (int fromControlPanel)
{
    if (fromControlPanel == 0)
        if (auto* controlPanel = dynamic_cast<ControlPanel*> (getParentComponent()))
            controlPanel->update_dependant_UI();
}

void AdvancedPanel1::timerCallback() {}
void AdvancedPanel1::sliderValueChanged (juce::Slider*) {}
void AdvancedPanel1::comboBoxChanged (juce::ComboBox*) {}
void AdvancedPanel1::buttonClicked (juce::Button*) {}
