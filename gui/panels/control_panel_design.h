#pragma once

// The control panel's design as data: which children it has in which order,
// where each sits at the design size 800 x 600, and the settings each kind of
// child gets. Shared by the panel's own code (construction, layout, bindings).

#include "ControlPanel.h"
#include "page_children.h"

namespace control_panel_design
{
    constexpr float designWidth = 800.0f;
    constexpr float designHeight = 600.0f;

    template <typename T>
    using Member = std::unique_ptr<T> ControlPanel::*;

    using Child = page_children::Child<ControlPanel>;
    using page_children::getChild;

    // The settings every kind of child gets when it is created (see
    // control_panel_construction.cpp).
    void configure (ControlPanel&, juce::Slider&);
    void configure (ControlPanel&, juce::Label&);
    void configure (ControlPanel&, juce::TextButton&);
    void configure (ControlPanel&, juce::ImageButton&);
    void configure (ControlPanel&, juce::ToggleButton&);
    void configure (ControlPanel&, ComboBox_IgnoreKeys&);
    void configure (ControlPanel&, BlinkingLed&);
    void configure (ControlPanel&, TextEditPanel&);

    struct Design
    {
        template <typename T>
        static void configure (ControlPanel& panel, T& c)   { control_panel_design::configure (panel, c); }
    };

    template <auto member>
    constexpr Child child (float x, float y, float w, float h)
    {
        return page_children::child<Design, member> (x, y, w, h);
    }

    using P = ControlPanel;

    // Creation order, which is also the stacking order (later on top).
    inline constexpr Child children[] = {
        child<&P::crushTitleLabel>    (0.5200f, 0.1383f, 0.1163f, 0.0367f),
        child<&P::noiseMixLabel>      (0.3500f, 0.2683f, 0.1338f, 0.0383f),
        child<&P::noiseMixSlider>     (0.3700f, 0.3067f, 0.0925f, 0.1283f),
        child<&P::clipSlider>         (0.5400f, 0.3067f, 0.0925f, 0.1283f),
        child<&P::bitsSlider>         (0.5400f, 0.5300f, 0.0925f, 0.1283f),
        child<&P::bitsLabel>          (0.5312f, 0.4917f, 0.1050f, 0.0383f),
        child<&P::mod1DepthSlider>    (0.7037f, 0.3067f, 0.0938f, 0.1283f),
        child<&P::mod1Label>          (0.6750f, 0.2683f, 0.1412f, 0.0383f),
        child<&P::advancedButton>     (0.7450f, 0.0367f, 0.1525f, 0.0683f),
        child<&P::logoButton>         (0.0387f, 0.0267f, 0.2950f, 0.0683f),
        child<&P::helpButton>         (0.9237f, 0.0367f, 0.0488f, 0.0683f),
        child<&P::presetsCombo>       (0.5188f, 0.0367f, 0.2175f, 0.0683f),
        child<&P::lfo1Led>            (0.7588f, 0.4883f, 0.0312f, 0.0383f),
        child<&P::weightButton>       (0.4500f, 0.0367f, 0.0488f, 0.0683f),
        child<&P::mod2DepthSlider>    (0.8838f, 0.3067f, 0.0938f, 0.1283f),
        child<&P::mod2Label>          (0.8550f, 0.2683f, 0.1412f, 0.0383f),
        child<&P::lfo1RateSlider>     (0.7037f, 0.5300f, 0.0925f, 0.1283f),
        child<&P::lfo1RateLabel>      (0.7013f, 0.4883f, 0.0525f, 0.0383f),
        child<&P::mod1DestLabel>      (0.6913f, 0.1533f, 0.1050f, 0.0383f),
        child<&P::mod1DestCombo>      (0.6787f, 0.2000f, 0.1450f, 0.0433f),
        child<&P::lfo2RateSlider>     (0.8812f, 0.5300f, 0.0925f, 0.1283f),
        child<&P::lfo2RateLabel>      (0.8838f, 0.4883f, 0.0525f, 0.0383f),
        child<&P::mod2DestCombo>      (0.8462f, 0.2000f, 0.1450f, 0.0433f),
        child<&P::mod2DestLabel>      (0.8562f, 0.1533f, 0.1050f, 0.0383f),
        child<&P::lfo2Led>            (0.9413f, 0.4883f, 0.0312f, 0.0383f),
        child<&P::dryWetSlider>       (0.8850f, 0.8550f, 0.0925f, 0.1283f),
        child<&P::dryWetLabel>        (0.8800f, 0.8183f, 0.1113f, 0.0383f),
        child<&P::lfo1X10Toggle>      (0.6663f, 0.6150f, 0.0387f, 0.0450f),
        child<&P::lfo1X10Label>       (0.6700f, 0.6600f, 0.0350f, 0.0283f),
        child<&P::lfo1SyncCombo>      (0.6987f, 0.4500f, 0.1087f, 0.0383f),
        child<&P::lfo2SyncCombo>      (0.8738f, 0.4500f, 0.1087f, 0.0383f),
        child<&P::lfo2X10Toggle>      (0.8438f, 0.6150f, 0.0387f, 0.0450f),
        child<&P::lfo2X10Label>       (0.8475f, 0.6600f, 0.0350f, 0.0283f),
        child<&P::textEditPanel>      (0.5750f, 0.0633f, 0.4138f, 0.1633f),
        child<&P::mod1SourceButton>   (0.7300f, 0.6983f, 0.0425f, 0.0400f),
        child<&P::mod2SourceButton>   (0.9062f, 0.6983f, 0.0425f, 0.0400f),
        child<&P::clipLabel>          (0.5275f, 0.2683f, 0.1050f, 0.0383f),
        child<&P::bpmSlider>          (0.7037f, 0.8550f, 0.0925f, 0.1283f),
        child<&P::sequencerLabel>     (0.6975f, 0.8183f, 0.1050f, 0.0383f),
        child<&P::tapeDepthSlider>    (0.1988f, 0.3067f, 0.0925f, 0.1283f),
        child<&P::tapeDepthLabel>     (0.1925f, 0.2683f, 0.1050f, 0.0383f),
        child<&P::tapeRotationSlider> (0.1988f, 0.5300f, 0.0925f, 0.1283f),
        child<&P::tapeRotationLabel>  (0.1837f, 0.4917f, 0.1237f, 0.0383f),
        child<&P::tapeLed>            (0.2750f, 0.6250f, 0.0312f, 0.0383f),
        child<&P::clipLed>            (0.6050f, 0.2700f, 0.0312f, 0.0383f),
        child<&P::srReducSlider>      (0.0338f, 0.7467f, 0.0925f, 0.1283f),
        child<&P::srReducLabel>       (0.0288f, 0.7083f, 0.1050f, 0.0383f),
        child<&P::crushOnToggle>      (0.5487f, 0.1667f, 0.0600f, 0.0800f),
        child<&P::tapeOnToggle>       (0.2137f, 0.1667f, 0.0600f, 0.0800f),
        child<&P::noiseOnToggle>      (0.3837f, 0.1667f, 0.0600f, 0.0800f),
        child<&P::filterOnToggle>     (0.0512f, 0.1667f, 0.0600f, 0.0800f),
        child<&P::stepLed1>           (0.0450f, 0.9183f, 0.0312f, 0.0400f),
        child<&P::stepLed2>           (0.1163f, 0.9183f, 0.0312f, 0.0400f),
        child<&P::stepLed3>           (0.1875f, 0.9183f, 0.0312f, 0.0400f),
        child<&P::stepLed4>           (0.2562f, 0.9183f, 0.0312f, 0.0400f),
        child<&P::stepLed5>           (0.3287f, 0.9183f, 0.0312f, 0.0400f),
        child<&P::stepLed6>           (0.4000f, 0.9167f, 0.0312f, 0.0400f),
        child<&P::stepLed7>           (0.4750f, 0.9167f, 0.0312f, 0.0400f),
        child<&P::stepLed8>           (0.5463f, 0.9167f, 0.0312f, 0.0400f),
        child<&P::lowCutSlider>       (0.0338f, 0.3067f, 0.0925f, 0.1283f),
        child<&P::lowCutLabel>        (0.0187f, 0.2683f, 0.1163f, 0.0433f),
        child<&P::highCutSlider>      (0.0338f, 0.5300f, 0.0925f, 0.1283f),
        child<&P::highCutLabel>       (0.0187f, 0.4917f, 0.1150f, 0.0433f),
        child<&P::saturationSlider>   (0.5400f, 0.7467f, 0.0925f, 0.1283f),
        child<&P::saturationLabel>    (0.5075f, 0.7083f, 0.1475f, 0.0433f),
        child<&P::noiseFiltSlider>    (0.3700f, 0.5300f, 0.0925f, 0.1283f),
        child<&P::noiseFiltLabel>     (0.3688f, 0.4917f, 0.0875f, 0.0433f),
        child<&P::stepButton1>        (0.0312f, 0.9050f, 0.0575f, 0.0767f),
        child<&P::startButton>        (0.1875f, 0.8067f, 0.1325f, 0.0683f),
        child<&P::saveButton>         (0.3475f, 0.8050f, 0.1325f, 0.0683f),
        child<&P::stepButton2>        (0.1025f, 0.9050f, 0.0575f, 0.0767f),
        child<&P::stepButton3>        (0.1725f, 0.9050f, 0.0575f, 0.0767f),
        child<&P::stepButton4>        (0.2425f, 0.9033f, 0.0575f, 0.0767f),
        child<&P::stepButton5>        (0.3162f, 0.9033f, 0.0575f, 0.0767f),
        child<&P::stepButton6>        (0.3862f, 0.9017f, 0.0575f, 0.0767f),
        child<&P::stepButton7>        (0.4625f, 0.9000f, 0.0575f, 0.0767f),
        child<&P::stepButton8>        (0.5350f, 0.9000f, 0.0575f, 0.0767f),
        child<&P::barsCombo>          (0.6987f, 0.7800f, 0.1087f, 0.0383f),
        child<&P::dawButton>          (0.6338f, 0.9100f, 0.0675f, 0.0417f),
        child<&P::recordLed>          (0.4400f, 0.8217f, 0.0312f, 0.0383f),
        child<&P::bpmLabel>           (0.7725f, 0.9550f, 0.0400f, 0.0283f),
        child<&P::filterTitleLabel>   (0.0250f, 0.1383f, 0.1163f, 0.0367f),
        child<&P::tapeTitleLabel>     (0.1837f, 0.1383f, 0.1163f, 0.0367f),
        child<&P::noiseTitleLabel>    (0.3538f, 0.1383f, 0.1163f, 0.0367f),
        child<&P::sequencerLed>       (0.2838f, 0.8217f, 0.0312f, 0.0383f),
        child<&P::outputLed>          (0.9150f, 0.7750f, 0.0312f, 0.0383f),
        child<&P::side1Led>           (0.7588f, 0.4883f, 0.0312f, 0.0383f),
        child<&P::side2Led>           (0.9413f, 0.4883f, 0.0312f, 0.0383f),
    };
}
