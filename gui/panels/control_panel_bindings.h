#pragma once

// What the control panel's controls are bound to, as data: shared by the
// panel's bindings (what a control writes), its refresh (what it shows) and
// the host's parameter lookup.

#include "control_panel_design.h"
#include "../../engine/safe_convert.h"

#include <atomic>
#include <vector>

namespace control_panel_bindings
{
    using control_panel_design::Member;
    using control_panel_design::P;

    enum class KnobRole
    {
        plain,              // writes its parameter in that parameter's units
        modulationDepth,    // also writes once more when a drag ends
        lfo1Rate,           // a rate in Hz, or a side-chain gain in dB (parameter 39)
        lfo2Rate,           // the same for slot 2 (parameter 40)
        dryWet,             // a double-click jumps to the other end
        sequencerTempo      // the tempo for tempo-locked rates as well
    };

    struct Knob
    {
        Member<juce::Slider> slider;
        int parameter;      // written, bracketed by gestures, and told to the host's lookup
        KnobRole role;
    };

    inline constexpr Knob knobs[] = {
        { &P::noiseMixSlider,     parameter_table::noiseMix,        KnobRole::plain },
        { &P::clipSlider,         parameter_table::clipGain,        KnobRole::plain },
        { &P::bitsSlider,         parameter_table::nrBits,          KnobRole::plain },
        { &P::mod1DepthSlider,    parameter_table::mod1Depth,       KnobRole::modulationDepth },
        { &P::mod2DepthSlider,    parameter_table::mod2Depth,       KnobRole::modulationDepth },
        { &P::lfo1RateSlider,     parameter_table::lfo1Freq,        KnobRole::lfo1Rate },
        { &P::lfo2RateSlider,     parameter_table::lfo2Freq,        KnobRole::lfo2Rate },
        { &P::dryWetSlider,       parameter_table::dryWet,          KnobRole::dryWet },
        { &P::bpmSlider,          parameter_table::seqBpm,          KnobRole::sequencerTempo },
        { &P::tapeDepthSlider,    parameter_table::tapeFreqDelta,   KnobRole::plain },
        { &P::tapeRotationSlider, parameter_table::tapeRotation,    KnobRole::plain },
        { &P::srReducSlider,      parameter_table::srReduc,         KnobRole::plain },
        { &P::lowCutSlider,       parameter_table::inHighPassFreq,  KnobRole::plain },
        { &P::highCutSlider,      parameter_table::inLowPassFreq,   KnobRole::plain },
        { &P::saturationSlider,   parameter_table::saturation,      KnobRole::plain },
        { &P::noiseFiltSlider,    parameter_table::noiseFilterFreq, KnobRole::plain },
    };

    // A section switch, and what it enables.
    struct Section
    {
        Member<juce::ToggleButton> toggle;
        int parameter;
        std::vector<juce::Component* (*) (const ControlPanel&)> controls;
    };

    const std::vector<Section>& sections();

    // Everything of one modulation slot that the panel reads and writes; the
    // two slots differ only in these.
    struct ModulationSlot
    {
        juce::Slider& rateSlider;
        juce::Label& rateLabel;
        BlinkingLed& lfoLed;
        BlinkingLed& sideLed;
        juce::ToggleButton& x10Toggle;
        juce::Label& x10Label;
        ComboBox_IgnoreKeys& syncCombo;
        ComboBox_IgnoreKeys& destinationCombo;
        juce::ImageButton& sourceButton;
        int& x10;
        int& ledCountdown;
        std::atomic<int>& source;
        std::atomic<int>& destination;
        std::atomic<float>& hz;
        std::atomic<int>& syncIndex;
        std::atomic<float>& displayValue;
        int rateParameter, sideGainParameter, x10Parameter, destinationParameter;
        void (ZorvaluneAudioProcessor::* setSource) (int);
        const char* lfoName;
    };

    // Slot 1 or 2.
    ModulationSlot modulationSlot (ControlPanel&, int slot);

    // Sources 5, 9 and 10 feed the side chain to the slot: its rate knob sets
    // the side-chain gain then.
    inline bool rateKnobSetsSideGain (int source) { return source == 5 || source == 9 || source == 10; }

    // The four LFO waveforms the picture buttons offer.
    inline bool isPanelLfo (int source) { return (unsigned) source <= 3u; }

    // The sequencer mode (0 off, 1 manual, 2 play) as the parameter holds it now.
    inline int sequencerMode (ZorvaluneAudioProcessor& p)
    {
        return truncToInt (p.parameterValues[parameter_table::seqMode].load() * 10.0f + 0.5f);
    }

    // DRY-WET's double-click always jumps to the other end.
    void armDryWetDoubleClick (juce::Slider& dryWet);

    // Carries out what the user picked in the preset menu (item `id`).
    void presetChosen (ControlPanel&, int id);

    // Tells the user, by the button that asked, when the help document or web
    // site could not be opened; called with the panel's refresh timer.
    void checkOpening (ControlPanel&);

    // Tells the user, by the control they used, what could not be done.
    void tellFailure (ControlPanel&, juce::Component& by, const juce::String& failure);
}
