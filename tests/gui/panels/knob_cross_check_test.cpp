#include "panel_test_support.h"

#include "tests/expected_parameters.h"

using namespace parameter_table;
using namespace panel_tests;

// Each knob is driven and the parameter that changes is compared with the one
// it reports to the host, and its range with that parameter's units in the
// parameter table.
namespace
{
    double inUnits (int index, float normalised)
    {
        const auto& e = entries[(size_t) index];
        return ((double) normalised - e.offset) * e.scale;
    }

    juce::Range<double> unitsOf (int index) { return juce::Range<double>::between (inUnits (index, 0.0f), inUnits (index, 1.0f)); }

    class KnobCrossCheck : public PanelTest
    {
    protected:
        // The knobs of the main page, then those of the advanced page.
        std::vector<juce::Slider*> everyKnob()
        {
            auto knobs = knobsOf (panel);
            const auto advanced = knobsOf (*panel.advancedPanel);
            knobs.insert (knobs.end(), advanced.begin(), advanced.end());
            return knobs;
        }
    };
}

TEST_F (KnobCrossCheck, EveryKnobWritesWhatItReportsInThatParametersUnitsAndShowsItBack)
{
    std::set<int> reported;

    for (auto* knob : everyKnob())
    {
        const int index = panel.getControlParameterIndex (*knob);
        SCOPED_TRACE (index);
        ASSERT_GE (index, 0);
        reported.insert (index);

        host.clear();
        knob->setValue (knob->proportionOfLengthToValue (0.37), juce::sendNotificationSync);
        const double shown = knob->getValue(), tolerance = 1e-6 * unitsOf (index).getLength();
        ASSERT_EQ (host.changes.size(), 1u);
        EXPECT_EQ (host.changes[0].first, index);
        EXPECT_NEAR (inUnits (index, host.changes[0].second), shown, tolerance);

        knob->setValue (knob->getMinimum(), juce::dontSendNotification);
        panel.update_UI();
        EXPECT_NEAR (knob->getValue(), shown, tolerance);
    }

    EXPECT_EQ (reported.size(), 26u);
}

TEST_F (KnobCrossCheck, EveryKnobSpansItsParametersUnitsUnlessNarrowedOnPurpose)
{
    click (*panel.lfo1X10Toggle);       // the rate knobs offer their whole range with X10
    click (*panel.lfo2X10Toggle);

    // These two offer the musically useful part of their parameter.
    const std::set<juce::Slider*> narrowed { panel.tapeRotationSlider.get(), panel.srReducSlider.get() };

    for (auto* knob : everyKnob())
    {
        const int index = panel.getControlParameterIndex (*knob);
        const auto units = unitsOf (index);
        SCOPED_TRACE (entries[(size_t) index].name);

        EXPECT_TRUE (units.contains (knob->getMinimum()) && knob->getMaximum() <= units.getEnd());
        EXPECT_TRUE (narrowed.count (knob) != 0 || knob->getMaximum() == units.getEnd()) << knob->getMaximum();

        // No knob crowds its upper end; a frequency knob gives the low
        // frequencies room (a linear one would sit at 10 kHz half-way).
        EXPECT_TRUE (knob->getSkewFactor() > 0.0 && knob->getSkewFactor() <= 1.0);
        EXPECT_TRUE (units.getEnd() != 20000.0 || knob->proportionOfLengthToValue (0.5) < 2500.0);

        EXPECT_TRUE (knob->getSliderStyle() == juce::Slider::RotaryHorizontalVerticalDrag && knob->isTextBoxEditable());
    }
}

// The host automates the rate while the knob sets a side-chain gain: the
// gesture and the lookup keep naming the rate.
TEST_F (KnobCrossCheck, RateKnobSettingASideGainStillNamesTheRateToTheHost)
{
    for (auto [source, dB] : { std::pair { 5, 12.5f }, std::pair { 9, 30.0f }, std::pair { 10, 45.0f } })
    {
        processor.setMod1Source (source);
        panel.update_UI();
        auto& rate = *panel.lfo1RateSlider;
        const float hz = processor.lfo1Hz.load();
        host.clear();

        panel.sliderDragStarted (&rate);
        rate.setValue (dB, juce::sendNotificationSync);
        panel.sliderDragEnded (&rate);

        EXPECT_EQ (host.begun, std::vector<int> { lfo1Freq });
        EXPECT_EQ (host.ended, std::vector<int> { lfo1Freq });
        EXPECT_EQ (host.changes, (std::vector<std::pair<int, float>> { { sideGain1, dB / 60.0f } }));
        EXPECT_EQ (panel.getControlParameterIndex (rate), lfo1Freq);
        EXPECT_EQ (processor.lfo1Hz.load(), hz);
    }
}

TEST_F (KnobCrossCheck, OnlyKnobsAnswerAndTheAdvancedOnesOnlyWithTheirPage)
{
    for (auto* child : panel.getChildren())
        EXPECT_TRUE (dynamic_cast<juce::Slider*> (child) != nullptr || panel.getControlParameterIndex (*child) == -1);

    EXPECT_EQ (panel.getControlParameterIndex (*panel.noiseMixSlider->getChildComponent (0)), -1);   // its text box

    // The advanced page's knobs name automatable parameters of their own: by
    // name, from the list written out apart from the product's table.
    auto& page = *panel.advancedPanel;
    const std::pair<juce::Slider*, const char*> advanced[] = {
        { page.noiseThresholdSlider.get(), "NoiseThreshold" }, { page.noiseMinSlider.get(), "NoiseMinAmount" },
        { page.noiseRatioSlider.get(), "NoiseRatio" }, { page.lfoSlewRateSlider.get(), "SlewRate" },
        { page.filterQSlider.get(), "DelayOutFilterQ" }, { page.clipLpFilterSlider.get(), "LPFilterPitchFreq" },
        { page.noiseRmsSlider.get(), "RMStime" }, { page.noiseReleaseSlider.get(), "NoiseRelease" },
        { page.inputGainSlider.get(), "In Gain" }, { page.outputGainSlider.get(), "Out Gain" },
    };
    std::set<int> indices;
    for (auto* knob : knobsOf (panel))
        indices.insert (panel.getControlParameterIndex (*knob));

    for (auto [knob, name] : advanced)
    {
        const int index = panel.getControlParameterIndex (*knob);
        ASSERT_TRUE (index >= 0 && index < 48) << name;
        EXPECT_STREQ (expected_parameters::names[index], name);
        EXPECT_TRUE (entries[(size_t) index].automatable && indices.insert (index).second) << index;
    }

    std::unique_ptr<AdvancedPanel1> detached (panel.advancedPanel.release());

    for (auto [knob, name] : advanced)
        EXPECT_EQ (panel.getControlParameterIndex (*knob), -1) << name;

    panel.advancedPanel = std::move (detached);
}

TEST (EditorParameterIndex, ForwardsToThePanelAndAnswersMinusOneWithoutOne)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);
    auto& editor = *open.editor;
    auto& highCut = *open.panel().highCutSlider;
    EXPECT_EQ (editor.getControlParameterIndex (highCut), open.panel().getControlParameterIndex (highCut));
    EXPECT_NE (editor.getControlParameterIndex (highCut), -1);

    juce::Slider stranger;
    editor.controlPanel.reset();
    EXPECT_EQ (editor.getControlParameterIndex (stranger), -1);
    editor.handleAsyncUpdate();     // nothing to refresh, nothing breaks
}
