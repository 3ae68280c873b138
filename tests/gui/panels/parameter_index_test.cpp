#include "panel_test_support.h"

namespace
{
    class ParameterIndex : public testing::Test
    {
    protected:
        ZorvaluneAudioProcessor processor;
        ControlPanel panel { processor };

        std::vector<std::pair<juce::Slider*, int>> mainKnobs()
        {
            return { { panel.noiseMixSlider.get(), 5 },    { panel.clipSlider.get(), 17 },
                     { panel.bitsSlider.get(), 6 },        { panel.mod1DepthSlider.get(), 24 },
                     { panel.mod2DepthSlider.get(), 28 },  { panel.lfo1RateSlider.get(), 25 },
                     { panel.lfo2RateSlider.get(), 29 },   { panel.dryWetSlider.get(), 0 },
                     { panel.bpmSlider.get(), 41 },        { panel.tapeDepthSlider.get(), 21 },
                     { panel.tapeRotationSlider.get(), 22 }, { panel.srReducSlider.get(), 23 },
                     { panel.lowCutSlider.get(), 35 },     { panel.highCutSlider.get(), 37 },
                     { panel.saturationSlider.get(), 18 }, { panel.noiseFiltSlider.get(), 13 } };
        }

        static std::vector<std::pair<juce::Slider*, int>> advancedKnobs (AdvancedPanel1& page)
        {
            return { { page.noiseThresholdSlider.get(), 7 }, { page.noiseMinSlider.get(), 8 },
                     { page.noiseRatioSlider.get(), 10 },    { page.lfoSlewRateSlider.get(), 38 },
                     { page.filterQSlider.get(), 15 },       { page.clipLpFilterSlider.get(), 19 },
                     { page.noiseRmsSlider.get(), 3 },       { page.noiseReleaseSlider.get(), 11 },
                     { page.inputGainSlider.get(), 1 },      { page.outputGainSlider.get(), 2 } };
        }
    };
}

TEST_F (ParameterIndex, EveryKnobOfBothPagesAnswersItsParameter)
{
    std::set<int> seen;

    for (auto [knob, index] : mainKnobs())
    {
        EXPECT_EQ (panel.getControlParameterIndex (*knob), index) << knob->getName();
        seen.insert (index);
    }

    for (auto [knob, index] : advancedKnobs (*panel.advancedPanel))
    {
        ASSERT_NE (knob, nullptr);
        EXPECT_EQ (panel.getControlParameterIndex (*knob), index);
        seen.insert (index);
    }

    EXPECT_EQ (seen.size(), 26u);
}

TEST_F (ParameterIndex, EverythingElseAnswersMinusOne)
{
    int others = 0;

    for (auto* child : panel.getChildren())
    {
        if (dynamic_cast<juce::Slider*> (child) != nullptr)
            continue;

        EXPECT_EQ (panel.getControlParameterIndex (*child), -1) << panel.getIndexOfChildComponent (child);
        ++others;
    }

    EXPECT_EQ (others, 91 - 16);

    // A knob's own text box, the panel and the pages are not the knob.
    auto* textBox = panel.noiseMixSlider->getChildComponent (0);
    ASSERT_NE (textBox, nullptr);
    EXPECT_EQ (panel.getControlParameterIndex (*textBox), -1);
    EXPECT_EQ (panel.getControlParameterIndex (panel), -1);
    EXPECT_EQ (panel.getControlParameterIndex (*panel.advancedPanel), -1);

    juce::Slider stranger;
    EXPECT_EQ (panel.getControlParameterIndex (stranger), -1);
}

TEST_F (ParameterIndex, WithoutTheAdvancedPageOnlyMainKnobsAnswer)
{
    std::unique_ptr<AdvancedPanel1> page (panel.advancedPanel.release());

    for (auto [knob, index] : mainKnobs())
        EXPECT_EQ (panel.getControlParameterIndex (*knob), index);

    for (auto [knob, index] : advancedKnobs (*page))
        EXPECT_EQ (panel.getControlParameterIndex (*knob), -1) << index;

    panel.advancedPanel = std::move (page);
}

TEST_F (ParameterIndex, RateKnobsKeepTheirIndexInSideChainMode)
{
    for (int source : { 5, 9, 10 })
    {
        processor.setMod1Source (source);
        processor.setMod2Source (source);
        EXPECT_EQ (panel.getControlParameterIndex (*panel.lfo1RateSlider), 25);
        EXPECT_EQ (panel.getControlParameterIndex (*panel.lfo2RateSlider), 29);
    }
}

TEST (EditorParameterIndex, ForwardsToThePanelAndAnswersMinusOneWithoutOne)
{
    ZorvaluneAudioProcessor p;
    panel_tests::OpenEditor open (p);
    auto& editor = *open.editor;

    EXPECT_EQ (editor.getControlParameterIndex (*open.panel().highCutSlider), 37);
    EXPECT_EQ (editor.getControlParameterIndex (*open.panel().advancedPanel->outputGainSlider), 2);
    EXPECT_EQ (editor.getControlParameterIndex (*open.panel().presetsCombo), -1);
    EXPECT_EQ (editor.getControlParameterIndex (editor), -1);

    juce::Slider stranger;
    editor.controlPanel.reset();
    EXPECT_EQ (editor.getControlParameterIndex (stranger), -1);
    editor.handleAsyncUpdate();     // nothing to refresh, nothing breaks
    editor.setSize (640, 400);
}
