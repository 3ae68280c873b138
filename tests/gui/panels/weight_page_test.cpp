#include "panel_test_support.h"

using namespace panel_tests;

namespace
{
    class WeightPage : public PanelTest
    {
    protected:
        // The main input (and so the output) with `channels` channels; 0 switches it off.
        bool setInputChannels (int channels)
        {
            auto layout = processor.getBusesLayout();
            const auto set = channels == 0 ? juce::AudioChannelSet::disabled() : juce::AudioChannelSet::discreteChannels (channels);
            layout.inputBuses.getReference (0) = set;
            layout.outputBuses.getReference (0) = set;
            return processor.setBusesLayout (layout);
        }

        juce::Slider& knob (int channel) { return **page.weightSliderRefs[(size_t) channel - 1]; }

        WeightPanel& page = *panel.weightPanel;
    };
}

TEST_F (WeightPage, KnobsWriteLinearWeightsUntoldToTheHostAndShowThemInDecibels)
{
    for (int channel = 1; channel <= 16; ++channel)
        EXPECT_EQ (knob (channel).getValue(), 0.0) << channel;          // weight 1.0

    const std::pair<double, float> writes[] = { { -144.0, 0.0f }, { -6.0, 0.5011872f }, { -143.9, 6.3826e-08f }, { 0.0, 1.0f } };

    for (auto [dB, weight] : writes)
    {
        knob (3).setValue (dB, juce::sendNotificationSync);
        EXPECT_NEAR (processor.channelWeights[2], weight, 1e-4f * weight) << dB;
    }

    EXPECT_TRUE (host.changes.empty() && host.begun.empty());

    // The bottom of the knob stands for every weight at or below -144 dB.
    const std::pair<float, double> shows[] = { { 6.38e-08f, -144.0 }, { 6.46e-08f, -143.8 }, { 0.5011872f, -6.0 },
                                               { 2.0f, 0.0 }, { 0.0f, -144.0 } };

    for (auto [weight, dB] : shows)
    {
        processor.channelWeights[15] = weight;
        panel.update_UI();
        EXPECT_NEAR (knob (16).getValue(), dB, 1e-9) << weight;
        EXPECT_EQ (processor.channelWeights[15], weight);               // a refresh writes nothing back
    }

    for (size_t k = 16; k < processor.channelWeights.size(); ++k)
        EXPECT_EQ (processor.channelWeights[k], 1.0f);                  // beyond the knobs
}

TEST_F (WeightPage, OnlyTheKnobsOfTheInputsChannelsAreUsable)
{
    for (int channels : { 2, 16, 24, 1, 0 })
    {
        ASSERT_TRUE (setInputChannels (channels)) << channels;
        panel.update_UI();
        ASSERT_EQ (processor.getMainBusNumInputChannels(), channels);

        for (int channel = 1; channel <= 16; ++channel)
            EXPECT_EQ (knob (channel).isEnabled(), channel <= channels) << channels << " channels, knob " << channel;
    }
}

TEST_F (WeightPage, SnapshotShowsTheTitleTheKnobsAndNumbersOnAFixedLayout)
{
    page.setSize (700, 365);        // as the control panel gives it: nothing moves
    knob (1).setValue (-144.0, juce::sendNotificationSync);
    knob (9).setValue (-12.0, juce::sendNotificationSync);
    EXPECT_EQ (knob (9).getBounds(), juce::Rectangle<int> (14, 208, 72, 84));
    EXPECT_EQ (page.channelLabel13->getBounds(), juce::Rectangle<int> (384, 320, 32, 16));
    EXPECT_FALSE (page.cornerLabel->isVisible());

    const auto image = page.createComponentSnapshot (page.getLocalBounds());
    ASSERT_TRUE (writeSnapshot (image, "weight_page"));

    EXPECT_GT (lightPixels (image, page.titleLabel->getBounds(), 0.6f), 30);

    for (int channel = 1; channel <= 16; ++channel)
        EXPECT_GT (lightPixels (image, knob (channel).getBounds(), 0.4f), 10) << channel;

    int numbers = 0;

    for (auto* child : page.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child); label != nullptr && label->isVisible() && label != page.titleLabel.get())
            numbers += lightPixels (image, label->getBounds(), 0.6f) > 5 ? 1 : 0;

    EXPECT_EQ (numbers, 16);

    // The two lines flank the title; the bottom right corner stays empty.
    const auto background = image.getPixelAt (690, 355);
    EXPECT_EQ (background.getARGB(), 0xff2c2c30u);
    EXPECT_GT (image.getPixelAt (100, 28).getRed(), background.getRed());
    EXPECT_GT (image.getPixelAt (600, 28).getRed(), background.getRed());
    EXPECT_EQ (image.getPixelAt (270, 28).getARGB(), 0xff2c2c30u);
}
