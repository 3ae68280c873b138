#include "panel_test_support.h"

using namespace parameter_table;
using panel_tests::HostRecorder;
using panel_tests::click;

// The knobs checked against the parameters they report to the host: each is
// driven and the parameter that changes is compared with the lookup, and its
// range with that parameter's units in the parameter table.
namespace
{
    std::vector<juce::Slider*> sliders (const juce::Component& page)
    {
        std::vector<juce::Slider*> found;

        for (auto* child : page.getChildren())
            if (auto* s = dynamic_cast<juce::Slider*> (child))
                found.push_back (s);

        return found;
    }

    // What the parameter covers in its plug-in units.
    juce::Range<double> unitsOf (int index)
    {
        const auto& e = entries[(size_t) index];
        return juce::Range<double>::between ((0.0 - e.offset) * e.scale, (1.0 - e.offset) * e.scale);
    }

    double inUnits (int index, float normalised)
    {
        const auto& e = entries[(size_t) index];
        return ((double) normalised - e.offset) * e.scale;
    }

    class KnobCrossCheck : public testing::Test
    {
    protected:
        ZorvaluneAudioProcessor processor;
        ControlPanel panel { processor };
        HostRecorder host { processor };
    };
}

TEST_F (KnobCrossCheck, EveryKnobWritesWhatItReportsInThatParametersUnitsAndShowsItBack)
{
    const auto knobs = sliders (panel);
    ASSERT_EQ (knobs.size(), 16u);
    std::set<int> reported;

    for (auto* knob : knobs)
    {
        const int index = panel.getControlParameterIndex (*knob);
        SCOPED_TRACE (index);
        ASSERT_GE (index, 0);
        reported.insert (index);

        host.clear();
        knob->setValue (knob->proportionOfLengthToValue (0.37), juce::sendNotificationSync);
        const double shown = knob->getValue();

        ASSERT_EQ (host.changes.size(), 1u);
        EXPECT_EQ (host.changes[0].first, index);
        EXPECT_NEAR (inUnits (index, host.changes[0].second), shown, 1e-6 * unitsOf (index).getLength());

        knob->setValue (knob->getMinimum(), juce::dontSendNotification);
        panel.update_UI();
        EXPECT_NEAR (knob->getValue(), shown, 1e-6 * unitsOf (index).getLength());
    }

    EXPECT_EQ (reported.size(), 16u);
}

TEST_F (KnobCrossCheck, EveryKnobSpansItsParametersUnitsUnlessNarrowedOnPurpose)
{
    click (*panel.lfo1X10Toggle);       // the rate knobs offer their whole range with X10
    click (*panel.lfo2X10Toggle);

    // These two offer the musically useful part of their parameter.
    const std::set<juce::Slider*> narrowed { panel.tapeRotationSlider.get(), panel.srReducSlider.get() };

    for (auto* knob : sliders (panel))
    {
        const int index = panel.getControlParameterIndex (*knob);
        const auto units = unitsOf (index);
        SCOPED_TRACE (entries[(size_t) index].name);

        EXPECT_GE (knob->getMinimum(), units.getStart());
        EXPECT_LE (knob->getMaximum(), units.getEnd());

        if (narrowed.count (knob) == 0)
        {
            EXPECT_EQ (knob->getMaximum(), units.getEnd());
        }

        // No knob crowds its upper end; a frequency knob gives the low
        // frequencies room (a linear one would sit at 10 kHz half-way).
        EXPECT_GT (knob->getSkewFactor(), 0.0);
        EXPECT_LE (knob->getSkewFactor(), 1.0);

        if (units.getEnd() == 20000.0)
        {
            EXPECT_LT (knob->proportionOfLengthToValue (0.5), 2500.0);
        }

        EXPECT_EQ (knob->getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ (knob->getTextBoxPosition(), juce::Slider::TextBoxBelow);
        EXPECT_TRUE (knob->isTextBoxEditable());
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
        ASSERT_EQ (host.changes.size(), 1u);
        EXPECT_EQ (host.changes[0].first, sideGain1);
        EXPECT_FLOAT_EQ (host.changes[0].second, dB / 60.0f);
        EXPECT_EQ (panel.getControlParameterIndex (rate), lfo1Freq);
        EXPECT_EQ (processor.lfo1Hz.load(), hz);
    }
}

TEST_F (KnobCrossCheck, OnlyKnobsAnswerAndTheAdvancedOnesOnlyWithTheirPage)
{
    for (auto* child : panel.getChildren())
    {
        if (dynamic_cast<juce::Slider*> (child) == nullptr)
        {
            EXPECT_EQ (panel.getControlParameterIndex (*child), -1) << panel.getIndexOfChildComponent (child);
        }
    }

    EXPECT_EQ (panel.getControlParameterIndex (*panel.noiseMixSlider->getChildComponent (0)), -1);   // its text box
    EXPECT_EQ (panel.getControlParameterIndex (panel), -1);

    // The advanced page's knobs name parameters of their own, none a main knob's.
    auto& page = *panel.advancedPanel;
    const std::vector<juce::Slider*> advanced { page.noiseThresholdSlider.get(), page.noiseMinSlider.get(),
                                                page.noiseRatioSlider.get(), page.lfoSlewRateSlider.get(),
                                                page.filterQSlider.get(), page.clipLpFilterSlider.get(),
                                                page.noiseRmsSlider.get(), page.noiseReleaseSlider.get(),
                                                page.inputGainSlider.get(), page.outputGainSlider.get() };
    std::set<int> indices;

    for (auto* knob : sliders (panel))
        indices.insert (panel.getControlParameterIndex (*knob));

    for (auto* knob : advanced)
    {
        const int index = panel.getControlParameterIndex (*knob);
        EXPECT_TRUE (index >= 0 && index < numParameters && entries[(size_t) index].automatable);
        EXPECT_TRUE (indices.insert (index).second) << index;
    }

    std::unique_ptr<AdvancedPanel1> detached (panel.advancedPanel.release());

    for (auto* knob : advanced)
        EXPECT_EQ (panel.getControlParameterIndex (*knob), -1);

    panel.advancedPanel = std::move (detached);
}

TEST (EditorParameterIndex, ForwardsToThePanelAndAnswersMinusOneWithoutOne)
{
    ZorvaluneAudioProcessor p;
    panel_tests::OpenEditor open (p);
    auto& editor = *open.editor;

    EXPECT_EQ (editor.getControlParameterIndex (*open.panel().highCutSlider),
               open.panel().getControlParameterIndex (*open.panel().highCutSlider));
    EXPECT_EQ (editor.getControlParameterIndex (*open.panel().presetsCombo), -1);

    juce::Slider stranger;
    editor.controlPanel.reset();
    EXPECT_EQ (editor.getControlParameterIndex (stranger), -1);
    editor.handleAsyncUpdate();     // nothing to refresh, nothing breaks
}
