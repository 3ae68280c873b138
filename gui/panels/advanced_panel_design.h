#pragma once

// The advanced page's design and bindings as data: its children in creation
// order with their bounds at the design size 700 x 480, the captions, the
// knobs with the parameter each edits, and the selectors with their items.
// Shared by the page's own code and by the host's parameter lookup.

#include "AdvancedPanel1.h"
#include "page_children.h"
#include "../../engine/parameter_table.h"
#include "../../presets/preference_keys.h"

#include <optional>

namespace advanced_panel_design
{
    constexpr float designWidth = 700.0f;
    constexpr float designHeight = 480.0f;

    template <typename T>
    using Member = std::unique_ptr<T> AdvancedPanel1::*;

    using Child = page_children::Child<AdvancedPanel1>;
    using A = AdvancedPanel1;

    // The settings every kind of child gets when it is created (see
    // advanced_panel_frame.cpp).
    struct Design
    {
        static void configure (AdvancedPanel1&, juce::Label&);
        static void configure (AdvancedPanel1&, juce::Slider&);
        static void configure (AdvancedPanel1&, juce::ComboBox&);
        static void configure (AdvancedPanel1&, juce::ToggleButton&);
        static void configure (AdvancedPanel1&, BlinkingLed&);
    };

    template <auto member>
    constexpr Child child (float x, float y, float w, float h)
    {
        return page_children::child<Design, member> (x, y, w, h);
    }

    // Creation order, which is also the stacking and layout order.
    inline constexpr Child children[] = {
        child<&A::versionLabel>            (0.6971f, 0.9438f, 0.2743f, 0.0438f),
        child<&A::noiseThresholdLabel>     (0.0057f, 0.3333f, 0.1543f, 0.0438f),
        child<&A::noiseThresholdSlider>    (0.0171f, 0.3917f, 0.1114f, 0.1813f),
        child<&A::madeWithJuceLabel>       (0.0114f, 0.9333f, 0.1143f, 0.0438f),
        child<&A::midiProgChangeModeCombo> (0.7371f, 0.6833f, 0.1714f, 0.0563f),
        child<&A::midiProgChangeModeLabel> (0.7257f, 0.6313f, 0.2400f, 0.0438f),
        child<&A::midiChannelLabel>        (0.7257f, 0.7667f, 0.1029f, 0.0438f),
        child<&A::midiChannelCombo>        (0.8400f, 0.7604f, 0.0800f, 0.0563f),
        child<&A::noiseMinSlider>          (0.1829f, 0.3917f, 0.1114f, 0.1813f),
        child<&A::noiseRatioSlider>        (0.3486f, 0.3917f, 0.1114f, 0.1813f),
        child<&A::noiseRatioLabel>         (0.3371f, 0.3333f, 0.1371f, 0.0438f),
        child<&A::lfoSlewRateSlider>       (0.8571f, 0.3917f, 0.1114f, 0.1813f),
        child<&A::lfoSlewRateLabel>        (0.8457f, 0.3333f, 0.1371f, 0.0438f),
        child<&A::mod1ChannelCombo>        (0.6629f, 0.1813f, 0.0943f, 0.0521f),
        child<&A::mod1SourceCombo>         (0.5857f, 0.0958f, 0.1686f, 0.0688f),
        child<&A::mod1ChannelLabel>        (0.5829f, 0.1813f, 0.0800f, 0.0688f),
        child<&A::mod1LinkLed>             (0.7200f, 0.0083f, 0.0229f, 0.0625f),
        child<&A::mod1SourceLabel>         (0.5829f, 0.0208f, 0.1371f, 0.0438f),
        child<&A::mod2ChannelCombo>        (0.8800f, 0.1833f, 0.0943f, 0.0500f),
        child<&A::mod2SourceCombo>         (0.8029f, 0.0938f, 0.1686f, 0.0688f),
        child<&A::mod2ChannelLabel>        (0.8000f, 0.1792f, 0.0800f, 0.0688f),
        child<&A::mod2LinkLed>             (0.9371f, 0.0083f, 0.0229f, 0.0625f),
        child<&A::mod2SourceLabel>         (0.8000f, 0.0188f, 0.1371f, 0.0438f),
        child<&A::noiseMinLabel>           (0.1714f, 0.3333f, 0.1371f, 0.0438f),
        child<&A::noiseFilterLabel>        (0.0286f, 0.0167f, 0.1371f, 0.0438f),
        child<&A::noiseFilterCombo>        (0.0286f, 0.0917f, 0.1486f, 0.0688f),
        child<&A::filterQSlider>           (0.2000f, 0.0667f, 0.1114f, 0.1813f),
        child<&A::filterQLabel>            (0.2114f, 0.0167f, 0.0686f, 0.0438f),
        child<&A::clipLpFilterSlider>      (0.3886f, 0.0667f, 0.1114f, 0.1813f),
        child<&A::clipLpFilterLabel>       (0.3771f, 0.0167f, 0.1371f, 0.0438f),
        child<&A::ccEnableLabel>           (0.7257f, 0.8417f, 0.1029f, 0.0438f),
        child<&A::ccEnableToggle>          (0.8400f, 0.8333f, 0.0400f, 0.0583f),
        child<&A::lowCutToggle>            (0.1257f, 0.1917f, 0.0571f, 0.0750f),
        child<&A::lowCutLabel>             (0.0457f, 0.2000f, 0.0743f, 0.0583f),
        child<&A::noiseRmsSlider>          (0.5143f, 0.3917f, 0.1100f, 0.1792f),
        child<&A::noiseRmsLabel>           (0.5143f, 0.3333f, 0.1057f, 0.0375f),
        child<&A::seqStartCombo>           (0.0229f, 0.6833f, 0.2114f, 0.0688f),
        child<&A::seqStartLabel>           (0.0114f, 0.6417f, 0.2229f, 0.0438f),
        child<&A::seqSkipModeCombo>        (0.0229f, 0.8500f, 0.2114f, 0.0688f),
        child<&A::seqSkipModeLabel>        (0.0171f, 0.8083f, 0.2229f, 0.0438f),
        child<&A::noiseReleaseSlider>      (0.6686f, 0.3917f, 0.1100f, 0.1792f),
        child<&A::noiseReleaseLabel>       (0.6514f, 0.3333f, 0.1314f, 0.0375f),
        child<&A::inputGainSlider>         (0.3486f, 0.7417f, 0.1114f, 0.1813f),
        child<&A::inputGainLabel>          (0.3543f, 0.6833f, 0.1057f, 0.0375f),
        child<&A::outputGainSlider>        (0.5143f, 0.7417f, 0.1114f, 0.1813f),
        child<&A::outputGainLabel>         (0.5200f, 0.6833f, 0.1057f, 0.0375f),
        child<&A::clipLed>                 (0.6229f, 0.8750f, 0.0229f, 0.0625f),
    };

    //============================================================================== knobs
    // Each knob shows and writes its parameter in that parameter's own units.
    struct Knob
    {
        Member<juce::Slider> slider;
        int parameter;              // written, bracketed by gestures, and told to the host's lookup
        const char* name;           // chooses the LED ring's pattern
        double minimum, maximum;
        double skew;                // 1: linear
        int textBoxHeight;
        std::optional<double> doubleClickValue;
    };

    inline constexpr double knobInterval = 0.1;

    inline constexpr Knob knobs[] = {
        { &A::noiseThresholdSlider, parameter_table::noiseThreshold,   "slider",               -80.0, 0.0,     1.0,  14, 0.0 },
        { &A::noiseMinSlider,       parameter_table::noiseMinAmount,   "slider",               -80.0, 0.0,     1.0,  14, 0.0 },
        { &A::noiseRatioSlider,     parameter_table::noiseRatio,       "slider",               0.0,   2.0,     1.0,  14, 0.0 },
        { &A::lfoSlewRateSlider,    parameter_table::slewRate,         "",                     0.0,   100.0,   1.0,  14, 4.0 },
        { &A::filterQSlider,        parameter_table::noiseFilterQ,     "slider",               0.0,   10.0,    0.6,  14, 1.0 },
        { &A::clipLpFilterSlider,   parameter_table::pitchLowPassFreq, "right_is_zero_slider", 50.0,  20000.0, 0.3,  14, std::nullopt },
        { &A::noiseRmsSlider,       parameter_table::rmsTime,          "ratio slider",         0.0,   2000.0,  0.35, 16, std::nullopt },
        { &A::noiseReleaseSlider,   parameter_table::noiseRelease,     "ratio slider",         0.0,   4000.0,  0.35, 16, std::nullopt },
        { &A::inputGainSlider,      parameter_table::inGain,           "mid_is_zero_slider",   -30.0, 30.0,    1.0,  14, 0.0 },
        { &A::outputGainSlider,     parameter_table::outGain,          "mid_is_zero_slider",   -30.0, 30.0,    1.0,  14, 0.0 },
    };

    // The knob row of `slider`, or null for any other slider.
    inline const Knob* knobFor (const AdvancedPanel1& page, const juce::Component* slider)
    {
        return page_children::rowFor (page, knobs, &Knob::slider, slider);
    }

    //============================================================================== selectors
    // An item; id 0 stands for a separator.
    struct Item { const char* text; int id; };

    // The four selectors whose choice is a parameter, written as (id - 1) / 10.
    struct ParameterSelector
    {
        Member<ComboBox_IgnoreKeys> combo;
        int parameter;
        bool refreshesDependants;   // the filter type decides Q, the mode the main page's START and SAVE
    };

    inline constexpr ParameterSelector parameterSelectors[] = {
        { &A::noiseFilterCombo, parameter_table::noiseFilterType, true },
        { &A::seqStartCombo,    parameter_table::seqMode,         true },
        { &A::seqSkipModeCombo, parameter_table::seqSkipMode,     false },
    };

    // The noise filter types, by the value 0..3 of trunc (parameter x 10).
    enum FilterType { bandPass = 0, lowPass = 1, highPass = 2, notch = 3 };

    // Modulation source codes with a meaning of their own on this page.
    constexpr int sideChainSend = 6;
    constexpr int sideChainReceive = 7;

    // A source item: the item id is the source code + 1.
    struct SourceItem
    {
        const char* text;
        int id;
        bool sideChain;     // the standalone program has no side chain
        bool sendOnly;      // only modulation 1 can send
    };

    inline constexpr SourceItem sourceItems[] = {
        { "LFO SINE",          1,  false, false },
        { "LFO SQUARE",        2,  false, false },
        { "LFO SAW down",      3,  false, false },
        { "LFO SAW up",        4,  false, false },
        { "Side",              6,  true,  false },
        { "Side Envelope",     10, true,  false },
        { "Side Inverted Env", 11, true,  false },
        { "Side send",         7,  true,  true },
        { "Side receive",      8,  true,  false },
    };

    // Everything of one modulation source that the page reads and writes; the
    // two differ only in these.
    struct SourceSlot
    {
        ComboBox_IgnoreKeys& sourceCombo;
        ComboBox_IgnoreKeys& channelCombo;
        juce::Label& channelLabel;
        BlinkingLed& linkLed;
        std::atomic<int>& source;
        std::atomic<int>& sideChainSlot;
        std::atomic<int>& linkStatus;
        void (ZorvaluneAudioProcessor::* setSource) (int);
        bool canSend;
    };

    // Source 1 or 2.
    SourceSlot sourceSlot (AdvancedPanel1&, int slot);

    //============================================================================== MIDI settings
    // A MIDI setting: the processor field that the MIDI input reads, the
    // preference the standalone program starts from, and whether a value
    // other than 0 needs the MIDI input open.
    struct MidiSetting
    {
        std::atomic<int> ZorvaluneAudioProcessor::* field;
        const char* preference;
        bool opensInput;
    };

    inline constexpr MidiSetting programChangeMode { &ZorvaluneAudioProcessor::midi_progr_change_mode, preference_keys::midiProgramChangeMode, true };
    inline constexpr MidiSetting midiChannel       { &ZorvaluneAudioProcessor::midi_progr_change_channel, preference_keys::midiChannel, false };
    inline constexpr MidiSetting controlChangeMode { &ZorvaluneAudioProcessor::midi_CC_receive_mode, preference_keys::midiControlChangeMode, true };

    // Stores `value` in the field and the preference (message thread only).
    void storeMidiSetting (ZorvaluneAudioProcessor&, const MidiSetting&, int value);

    // A source that exchanges audio with other instances through a slot.
    inline bool usesSideChainSlot (int source) { return source == sideChainSend || source == sideChainReceive; }
}
