#include "panel_test_support.h"

namespace
{
    // The panel's own children in the order they must stack (later on top).
    std::vector<juce::Component*> creationOrder (ControlPanel& c)
    {
        return {
            c.crushTitleLabel.get(), c.noiseMixLabel.get(), c.noiseMixSlider.get(), c.clipSlider.get(),
            c.bitsSlider.get(), c.bitsLabel.get(), c.mod1DepthSlider.get(), c.mod1Label.get(),
            c.advancedButton.get(), c.logoButton.get(), c.helpButton.get(), c.presetsCombo.get(),
            c.lfo1Led.get(), c.weightButton.get(), c.mod2DepthSlider.get(), c.mod2Label.get(),
            c.lfo1RateSlider.get(), c.lfo1RateLabel.get(), c.mod1DestLabel.get(), c.mod1DestCombo.get(),
            c.lfo2RateSlider.get(), c.lfo2RateLabel.get(), c.mod2DestCombo.get(), c.mod2DestLabel.get(),
            c.lfo2Led.get(), c.dryWetSlider.get(), c.dryWetLabel.get(), c.lfo1X10Toggle.get(),
            c.lfo1X10Label.get(), c.lfo1SyncCombo.get(), c.lfo2SyncCombo.get(), c.lfo2X10Toggle.get(),
            c.lfo2X10Label.get(), c.textEditPanel.get(), c.mod1SourceButton.get(), c.mod2SourceButton.get(),
            c.clipLabel.get(), c.bpmSlider.get(), c.sequencerLabel.get(), c.tapeDepthSlider.get(),
            c.tapeDepthLabel.get(), c.tapeRotationSlider.get(), c.tapeRotationLabel.get(), c.tapeLed.get(),
            c.clipLed.get(), c.srReducSlider.get(), c.srReducLabel.get(), c.crushOnToggle.get(),
            c.tapeOnToggle.get(), c.noiseOnToggle.get(), c.filterOnToggle.get(),
            c.stepLed1.get(), c.stepLed2.get(), c.stepLed3.get(), c.stepLed4.get(),
            c.stepLed5.get(), c.stepLed6.get(), c.stepLed7.get(), c.stepLed8.get(),
            c.lowCutSlider.get(), c.lowCutLabel.get(), c.highCutSlider.get(), c.highCutLabel.get(),
            c.saturationSlider.get(), c.saturationLabel.get(), c.noiseFiltSlider.get(), c.noiseFiltLabel.get(),
            c.stepButton1.get(), c.startButton.get(), c.saveButton.get(),
            c.stepButton2.get(), c.stepButton3.get(), c.stepButton4.get(), c.stepButton5.get(),
            c.stepButton6.get(), c.stepButton7.get(), c.stepButton8.get(),
            c.barsCombo.get(), c.dawButton.get(), c.recordLed.get(), c.bpmLabel.get(),
            c.filterTitleLabel.get(), c.tapeTitleLabel.get(), c.noiseTitleLabel.get(),
            c.sequencerLed.get(), c.outputLed.get(), c.side1Led.get(), c.side2Led.get(),
            c.advancedBackdrop.get(), c.advancedPanel.get(), c.weightPanel.get(),
        };
    }

    int stackIndex (ControlPanel& c, juce::Component* child)   { return c.getIndexOfChildComponent (child); }

    std::vector<int> itemIds (juce::ComboBox& combo)
    {
        std::vector<int> ids;
        for (int i = 0; i < combo.getNumItems(); ++i)
            ids.push_back (combo.getItemId (i));
        return ids;
    }

    class ControlPanelTest : public testing::Test
    {
    protected:
        ZorvaluneAudioProcessor processor;
        ControlPanel panel { processor };
    };

    using Bounds = juce::Rectangle<int>;
}

//============================================================================== construction
TEST_F (ControlPanelTest, ChildrenExistInCreationOrderWithThePagesOnTop)
{
    const auto expected = creationOrder (panel);
    ASSERT_EQ (panel.getNumChildComponents(), (int) expected.size());
    ASSERT_EQ (expected.size(), 91u);

    for (size_t i = 0; i < expected.size(); ++i)
    {
        ASSERT_NE (expected[i], nullptr) << "child " << i;
        EXPECT_EQ (panel.getChildComponent ((int) i), expected[i]) << "child " << i;
    }

    for (int k = 0; k < 8; ++k)
        EXPECT_EQ (panel.stepLeds[(size_t) k]->get(), expected[(size_t) (51 + k)]);
}

TEST_F (ControlPanelTest, OnlyThePagesTheNameEntryTheWeightButtonAndTheSideLedsAreHidden)
{
    EXPECT_EQ (panel.getBounds(), Bounds (0, 0, 800, 600));
    EXPECT_TRUE (panel.isTimerRunning());
    EXPECT_EQ (panel.getTimerInterval(), 20);

    const std::set<juce::Component*> hidden { panel.textEditPanel.get(), panel.advancedBackdrop.get(),
                                              panel.advancedPanel.get(), panel.weightPanel.get(),
                                              panel.weightButton.get(), panel.side1Led.get(), panel.side2Led.get() };

    for (auto* child : panel.getChildren())
        EXPECT_EQ (child->isVisible(), hidden.count (child) == 0) << child->getName();
}

TEST_F (ControlPanelTest, LaterChildrenCoverEarlierOnesWhereTheyOverlap)
{
    EXPECT_EQ (panel.side1Led->getBounds(), panel.lfo1Led->getBounds());
    EXPECT_GT (stackIndex (panel, panel.side1Led.get()), stackIndex (panel, panel.lfo1Led.get()));
    EXPECT_EQ (panel.side2Led->getBounds(), panel.lfo2Led->getBounds());
    EXPECT_GT (stackIndex (panel, panel.side2Led.get()), stackIndex (panel, panel.lfo2Led.get()));

    const juce::ImageButton* stepButtons[] = { panel.stepButton1.get(), panel.stepButton2.get(), panel.stepButton3.get(),
                                               panel.stepButton4.get(), panel.stepButton5.get(), panel.stepButton6.get(),
                                               panel.stepButton7.get(), panel.stepButton8.get() };

    for (size_t k = 0; k < 8; ++k)
    {
        auto* led = panel.stepLeds[k]->get();
        EXPECT_TRUE (stepButtons[k]->getBounds().contains (led->getBounds())) << "step " << k + 1;
        EXPECT_GT (panel.getIndexOfChildComponent (stepButtons[k]), stackIndex (panel, led)) << "step " << k + 1;
    }
}

TEST_F (ControlPanelTest, NameEntryComesToTheFrontWhenShown)
{
    auto& entry = *panel.textEditPanel;
    panel.setVisible (true);    // hit tests only find visible components

    // The CRUSH switch was created later and overlaps the entry.
    ASSERT_TRUE (entry.getBounds().intersects (panel.crushOnToggle->getBounds()));
    const auto overlap = entry.getBounds().getIntersection (panel.crushOnToggle->getBounds()).getCentre();

    entry.setVisible (true);

    EXPECT_EQ (panel.getChildComponent (panel.getNumChildComponents() - 1), &entry);
    auto* hit = panel.getComponentAt (overlap);
    EXPECT_TRUE (hit == &entry || entry.isParentOf (hit));

    entry.setVisible (false);
    EXPECT_EQ (panel.getComponentAt (overlap), panel.crushOnToggle.get());
}

TEST_F (ControlPanelTest, OnlySomeKnobsReturnToAValueOnDoubleClick)
{
    const std::pair<juce::Slider*, double> returning[] = {
        { panel.clipSlider.get(), 0.0 }, { panel.bitsSlider.get(), 24.0 }, { panel.noiseMixSlider.get(), 0.0 },
        { panel.saturationSlider.get(), 0.0 }, { panel.lowCutSlider.get(), 0.0 }, { panel.highCutSlider.get(), 20000.0 },
    };

    for (auto [slider, value] : returning)
    {
        EXPECT_TRUE (slider->isDoubleClickReturnEnabled()) << slider->getName();
        EXPECT_EQ (slider->getDoubleClickReturnValue(), value);
    }

    // DRY-WET starts at 100 %, so the first refresh has armed it already.
    for (auto* other : { panel.tapeDepthSlider.get(), panel.mod1DepthSlider.get(), panel.lfo2RateSlider.get(),
                         panel.bpmSlider.get(), panel.noiseFiltSlider.get() })
        EXPECT_FALSE (other->isDoubleClickReturnEnabled());
}

TEST_F (ControlPanelTest, LabelsButtonsAndTogglesAreSetUp)
{
    EXPECT_EQ (panel.tapeRotationLabel->getText(), "TAPE ROTATION");
    EXPECT_EQ (panel.lfo1RateLabel->getJustificationType(), juce::Justification::centredRight);
    EXPECT_EQ (panel.mod2DestLabel->getText(), "DESTINATION");
    EXPECT_EQ (panel.mod2DestLabel->getJustificationType(), juce::Justification::centredLeft);
    EXPECT_EQ (panel.bpmLabel->getJustificationType(), juce::Justification::centredLeft);
    EXPECT_EQ (panel.crushTitleLabel->getJustificationType(), juce::Justification::centred);

    for (auto* child : panel.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child); label != nullptr && label != panel.advancedBackdrop.get())
        {
            EXPECT_EQ (label->getName(), "new label");
            EXPECT_FALSE (label->isEditableOnSingleClick() || label->isEditableOnDoubleClick());
        }

    EXPECT_EQ (panel.advancedButton->getName(), "adv btn");
    EXPECT_EQ (panel.advancedButton->getButtonText(), "ADVANCED");
    EXPECT_TRUE (panel.advancedButton->getClickingTogglesState());
    EXPECT_TRUE (panel.weightButton->getClickingTogglesState());
    EXPECT_FALSE (panel.startButton->getClickingTogglesState());
    EXPECT_EQ (panel.helpButton->getButtonText(), "?");
    EXPECT_EQ (panel.dawButton->findColour (juce::TextButton::buttonOnColourId).getARGB(), 0x19000000u);

    EXPECT_EQ (panel.logoButton->getName(), "ZorvaluneBtn");
    EXPECT_EQ (panel.logoButton->getButtonText(), "new button");

    for (auto* toggle : { panel.crushOnToggle.get(), panel.tapeOnToggle.get(), panel.noiseOnToggle.get(),
                          panel.filterOnToggle.get(), panel.lfo1X10Toggle.get(), panel.lfo2X10Toggle.get() })
    {
        EXPECT_EQ (toggle->getName(), "sat button");
        EXPECT_TRUE (toggle->getButtonText().isEmpty());
    }

    EXPECT_EQ (panel.advancedBackdrop->findColour (juce::Label::backgroundColourId).getARGB(), 0x807d6432u);
    EXPECT_EQ (panel.textEditPanel->getName(), "new component");
    EXPECT_EQ (panel.textEditPanel->textEditor->getText(), "my best preset ever");
}

TEST_F (ControlPanelTest, ComboBoxesListTheirItemsByIdNotPosition)
{
    EXPECT_EQ (itemIds (*panel.mod1DestCombo), (std::vector<int> { 1, 6, 7, 2, 8, 3, 5, 4 }));
    EXPECT_EQ (panel.mod2DestCombo->getItemText (4), "Saturation");
    EXPECT_EQ (panel.mod2DestCombo->getItemText (3), "Noise Ampl");

    const std::vector<int> syncIds { 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 14, 15 };
    EXPECT_EQ (itemIds (*panel.lfo1SyncCombo), syncIds);
    EXPECT_EQ (itemIds (*panel.lfo2SyncCombo), syncIds);

    EXPECT_EQ (itemIds (*panel.barsCombo), (std::vector<int> { 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 14, 15, 18 }));
    EXPECT_EQ (panel.barsCombo->getItemText (12), "1/32");

    EXPECT_EQ (panel.presetsCombo->getName(), "presets_combo");
    EXPECT_EQ (panel.presetsCombo->getTextWhenNothingSelected(), "Presets");
    EXPECT_EQ (panel.lfo1SyncCombo->getTextWhenNoChoicesAvailable(), "(no choices)");
    EXPECT_FALSE (panel.barsCombo->isTextEditable());

    // Keys pass through combos and the panel on to the host.
    const juce::KeyPress down (juce::KeyPress::downKey);
    EXPECT_FALSE (panel.mod1DestCombo->keyPressed (down));
    EXPECT_FALSE (panel.keyPressed (down));
}

TEST_F (ControlPanelTest, LedsTakeTheirColoursAndBlinkPeriods)
{
    struct Look { BlinkingLed* led; BlinkingLed::LedColors colour; int period; };

    const Look looks[] = {
        { panel.lfo1Led.get(), BlinkingLed::ledAmber, 500 },   { panel.side1Led.get(), BlinkingLed::ledAmber, 500 },
        { panel.lfo2Led.get(), BlinkingLed::ledCyan, 500 },    { panel.side2Led.get(), BlinkingLed::ledCyan, 500 },
        { panel.tapeLed.get(), BlinkingLed::ledGreen, 500 },   { panel.clipLed.get(), BlinkingLed::ledRed, 500 },
        { panel.outputLed.get(), BlinkingLed::ledRed, 500 },   { panel.recordLed.get(), BlinkingLed::ledRed, 200 },
        { panel.sequencerLed.get(), BlinkingLed::ledGreen, 250 }, { panel.stepLed5.get(), BlinkingLed::ledCyan, 500 },
    };

    for (const auto& look : looks)
    {
        EXPECT_EQ (look.led->getName(), "new component");
        EXPECT_EQ (look.led->getLedColor(), look.colour);
        EXPECT_EQ (look.led->blinkPeriodMs, look.period);
        EXPECT_EQ (look.led->getLedState(), BlinkingLed::ledOn);
    }
}

TEST_F (ControlPanelTest, PagesArePlacedHiddenAtTheirSizes)
{
    EXPECT_EQ (panel.advancedPanel->getBounds(), Bounds (45, 100, 700, 485));
    EXPECT_EQ (panel.advancedBackdrop->getBounds(), Bounds (0, 80, 800, 520));
    EXPECT_EQ (panel.weightPanel->getBounds(), Bounds (45, 140, 700, 365));

    // In whole numbers, cut toward zero; 630 / 600 in floats falls short.
    panel.setSize (840, 630);
    EXPECT_EQ (panel.advancedPanel->getBounds(), Bounds (47, 105, 735, 509));
    EXPECT_EQ (panel.advancedBackdrop->getBounds(), Bounds (0, 84, 840, 546));
    panel.setSize (800, 600);

    for (auto* child : panel.getChildren())
        EXPECT_EQ (&child->getLookAndFeel(), &panel.popupLookAndFeel);

    // A page shows whenever modulation 1 sends its side chain.
    processor.setMod1Source (6);
    panel.update_UI();
    const bool sends = processor.mod1Source.load() == 6;
    EXPECT_EQ (panel.advancedPanel->isVisible(), sends);
    EXPECT_EQ (panel.advancedBackdrop->isVisible(), sends);
    EXPECT_EQ (panel.advancedButton->getToggleState(), sends);
    EXPECT_FALSE (panel.weightPanel->isVisible());
}

//============================================================================== layout
TEST_F (ControlPanelTest, ChildrenSitAtTheirDesignPixels)
{
    const std::pair<juce::Component*, Bounds> expected[] = {
        { panel.crushTitleLabel.get(),  { 416, 83, 93, 22 } },
        { panel.noiseMixLabel.get(),    { 280, 161, 107, 23 } },
        { panel.mod1DepthSlider.get(),  { 563, 184, 75, 77 } },
        { panel.advancedButton.get(),   { 596, 22, 122, 41 } },
        { panel.logoButton.get(),       { 31, 16, 236, 41 } },
        { panel.presetsCombo.get(),     { 415, 22, 174, 41 } },
        { panel.mod1DestCombo.get(),    { 543, 120, 116, 26 } },
        { panel.lfo1X10Label.get(),     { 536, 396, 28, 17 } },
        { panel.textEditPanel.get(),    { 460, 38, 331, 98 } },
        { panel.mod2SourceButton.get(), { 725, 419, 34, 24 } },
        { panel.tapeRotationLabel.get(), { 147, 295, 99, 23 } },
        { panel.filterOnToggle.get(),   { 41, 100, 48, 48 } },
        { panel.stepLed4.get(),         { 205, 551, 25, 24 } },
        { panel.stepLed6.get(),         { 320, 550, 25, 24 } },
        { panel.highCutLabel.get(),     { 15, 295, 92, 26 } },
        { panel.saturationLabel.get(),  { 406, 425, 118, 26 } },
        { panel.stepButton6.get(),      { 309, 541, 46, 46 } },
        { panel.saveButton.get(),       { 278, 483, 106, 41 } },
        { panel.dawButton.get(),        { 507, 546, 54, 25 } },
        { panel.bpmLabel.get(),         { 618, 573, 32, 17 } },
        { panel.outputLed.get(),        { 732, 465, 25, 23 } },
        { panel.side2Led.get(),         { 753, 293, 25, 23 } },
    };

    for (auto [child, bounds] : expected)
        EXPECT_EQ (child->getBounds(), bounds) << panel.getIndexOfChildComponent (child);
}

TEST_F (ControlPanelTest, HalfSizeHalvesLayoutAndFonts)
{
    panel.setSize (400, 300);

    EXPECT_EQ (panel.noiseMixLabel->getBounds(), Bounds (140, 80, 54, 11));      // 53.52 and 11.49 rounded
    EXPECT_EQ (panel.logoButton->getBounds(), Bounds (15, 8, 118, 20));
    EXPECT_EQ (panel.stepButton8->getBounds(), Bounds (214, 270, 23, 23));
    EXPECT_EQ (panel.advancedPanel->getBounds(), Bounds (22, 50, 350, 242));
    EXPECT_EQ (panel.advancedBackdrop->getBounds(), Bounds (0, 40, 400, 260));
    EXPECT_EQ (panel.weightPanel->getBounds(), Bounds (45, 140, 700, 365));      // never laid out again

    EXPECT_FLOAT_EQ (panel.crushTitleLabel->getFont().getHeight(), 9.0f);
    EXPECT_FLOAT_EQ (panel.mod1DestLabel->getFont().getHeight(), 8.5f);
    EXPECT_FLOAT_EQ (panel.bpmLabel->getFont().getHeight(), 6.5f);
    EXPECT_FLOAT_EQ (panel.popupLookAndFeel.mainFont.getHeight(), 9.0f);
    EXPECT_FLOAT_EQ (panel.popupLookAndFeel.textBoxFont.getHeight(), 7.5f);

    // Heights come from the design sizes, so laying out again changes nothing.
    panel.resized();
    EXPECT_FLOAT_EQ (panel.crushTitleLabel->getFont().getHeight(), 9.0f);
    EXPECT_FLOAT_EQ (panel.popupLookAndFeel.textBoxFont.getHeight(), 7.5f);

    panel.setSize (800, 600);
    EXPECT_FLOAT_EQ (panel.crushTitleLabel->getFont().getHeight(), 17.0f);
    EXPECT_FLOAT_EQ (panel.lfo2RateLabel->getFont().getHeight(), 16.0f);
    EXPECT_FLOAT_EQ (panel.popupLookAndFeel.textBoxFont.getHeight(), 14.0f);
    EXPECT_EQ (panel.noiseMixLabel->getBounds(), Bounds (280, 161, 107, 23));
}

TEST_F (ControlPanelTest, LabelSizesHoldTheDesignHeights)
{
    EXPECT_EQ (panel.labelSizes.at (panel.crushTitleLabel.get()), 17.0f);
    EXPECT_EQ (panel.labelSizes.at (panel.lfo1RateLabel.get()), 16.0f);
    EXPECT_EQ (panel.labelSizes.at (panel.lfo2X10Label.get()), 12.0f);
    EXPECT_EQ (panel.labelSizes.count (panel.textEditPanel->iCloudStatusLabel.get()), 0u);   // not a direct child
}

TEST_F (ControlPanelTest, ShorterPanelShrinksFontsButKeepsHorizontalLayout)
{
    panel.setSize (800, 500);

    EXPECT_EQ (panel.mod2Label->getX(), 684);
    EXPECT_EQ (panel.mod2Label->getWidth(), 113);
    EXPECT_EQ (panel.mod2Label->getY(), 134);               // 0.2683 x 500
    EXPECT_NEAR (panel.mod2Label->getFont().getHeight(), 17.0f * 500.0f / 600.0f + 0.5f, 1e-4f);
    EXPECT_NEAR (panel.popupLookAndFeel.mainFont.getHeight(), 17.0f * 500.0f / 600.0f + 0.5f, 1e-4f);
}

TEST_F (ControlPanelTest, LargerPanelGrowsChildrenButNotFonts)
{
    panel.setSize (1600, 1000);

    EXPECT_EQ (panel.noiseMixSlider->getBounds(), Bounds (592, 307, 148, 128));
    EXPECT_EQ (panel.advancedPanel->getBounds(), Bounds (90, 166, 1400, 808));
    EXPECT_FLOAT_EQ (panel.noiseTitleLabel->getFont().getHeight(), 17.0f);
    EXPECT_FLOAT_EQ (panel.lfo1X10Label->getFont().getHeight(), 12.0f);
    EXPECT_FLOAT_EQ (panel.popupLookAndFeel.mainFont.getHeight(), 17.0f);
}

//============================================================================== painting
TEST_F (ControlPanelTest, PaintsHeaderBandBackgroundAndSeparators)
{
    const auto image = panel.createComponentSnapshot (panel.getLocalBounds());

    EXPECT_EQ (image.getPixelAt (300, 70).getARGB(), 0xff783232u);     // header band
    EXPECT_EQ (image.getPixelAt (300, 5).getARGB(), 0xff783232u);
    EXPECT_EQ (image.getPixelAt (120, 410).getARGB(), 0xff2c2c30u);    // background
    EXPECT_EQ (image.getPixelAt (300, 81).getARGB(), 0xff2c2c30u);     // just below the band

    // Separators: translucent white over the background, the modulation one thicker.
    const auto background = image.getPixelAt (520, 300);
    const auto thick = image.getPixelAt (533, 300);
    EXPECT_EQ (background.getARGB(), 0xff2c2c30u);
    EXPECT_GT (thick.getRed(), background.getRed() + 15);
    EXPECT_GT (image.getPixelAt (531, 300).getRed(), background.getRed());
    EXPECT_EQ (image.getPixelAt (529, 300).getARGB(), 0xff2c2c30u);
    EXPECT_GT (image.getPixelAt (266, 390).getRed(), background.getRed());
    EXPECT_EQ (image.getPixelAt (266, 420).getARGB(), 0xff2c2c30u);          // that line ends at y 400
}

TEST_F (ControlPanelTest, PaintScalesWithThePanel)
{
    panel.setSize (960, 600);
    const auto image = panel.createComponentSnapshot (panel.getLocalBounds());

    // The thick line moves to x = 639.6; the band keeps 80 pixels at this height.
    EXPECT_GT (image.getPixelAt (640, 300).getRed(), 0x2c + 15);
    EXPECT_EQ (image.getPixelAt (634, 300).getARGB(), 0xff2c2c30u);
    EXPECT_EQ (image.getPixelAt (360, 79).getARGB(), 0xff783232u);
    EXPECT_EQ (image.getPixelAt (360, 80).getARGB(), 0xff2c2c30u);
}
