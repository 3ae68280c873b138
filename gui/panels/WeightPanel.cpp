#include "WeightPanel.h"

#include "page_children.h"

#include <cmath>

namespace
{
    using W = WeightPanel;

    constexpr int designWidth = 700, designHeight = 360;
    constexpr int knobWidth = 72, knobHeight = 84;
    constexpr int numberWidth = 32, numberHeight = 16;
    constexpr float captionHeight = 16.0f;

    // Below this a weight shows as the knob's bottom, -144 dB (6.31e-08).
    constexpr double silentWeight = 6.4e-08;
    constexpr double bottomDb = -144.0;

    // One channel: its knob and the number under it (design pixels).
    struct Channel
    {
        std::unique_ptr<juce::Slider> W::* knob;
        std::unique_ptr<juce::Label> W::* number;
        int knobX, knobY;
        const char* text;
        int numberX, numberY;
    };

    const Channel channels[WeightPanel::numKnobs] = {
        { &W::weightSlider1,  &W::channelLabel1,  14,  64,  "1\n",  40,  168 },
        { &W::weightSlider2,  &W::channelLabel2,  100, 64,  "2",    120, 168 },
        { &W::weightSlider3,  &W::channelLabel3,  186, 64,  "3",    208, 168 },
        { &W::weightSlider4,  &W::channelLabel4,  272, 64,  "4",    296, 168 },
        { &W::weightSlider5,  &W::channelLabel5,  358, 64,  "5",    376, 168 },
        { &W::weightSlider6,  &W::channelLabel6,  444, 64,  "6",    464, 168 },
        { &W::weightSlider7,  &W::channelLabel7,  530, 64,  "7",    552, 168 },
        { &W::weightSlider8,  &W::channelLabel8,  616, 64,  "8",    640, 168 },
        { &W::weightSlider9,  &W::channelLabel9,  14,  208, "9",    40,  320 },
        { &W::weightSlider10, &W::channelLabel10, 100, 208, "10\n", 120, 320 },
        { &W::weightSlider11, &W::channelLabel11, 186, 208, "11\n", 208, 320 },
        { &W::weightSlider12, &W::channelLabel12, 272, 208, "12\n", 296, 320 },
        { &W::weightSlider13, &W::channelLabel13, 358, 208, "13\n", 384, 320 },
        { &W::weightSlider14, &W::channelLabel14, 444, 208, "14\n", 472, 320 },
        { &W::weightSlider15, &W::channelLabel15, 530, 208, "15\n", 552, 320 },
        { &W::weightSlider16, &W::channelLabel16, 616, 208, "16\n", 640, 320 },
    };

    struct SeparatorLine { float x1, y1, x2, y2; };

    // They flank the title at its vertical centre.
    const SeparatorLine separatorLines[] = {
        { 20.0f,  28.0f, 260.0f, 28.0f },
        { 450.0f, 28.0f, 680.0f, 28.0f },
    };

    juce::Label& addCaption (WeightPanel& page, std::unique_ptr<juce::Label>& label, const char* text,
                             juce::Justification justification)
    {
        label = std::make_unique<juce::Label>();
        page.addAndMakeVisible (*label);
        page_children::setUpCaption (*label, text, captionHeight, justification);
        return *label;
    }
}

WeightPanel::WeightPanel (ZorvaluneAudioProcessor& p)
    : processor (p)
{
    for (size_t k = 0; k < std::size (channels); ++k)
        weightSliderRefs[k] = &(this->*channels[k].knob);

    addCaption (*this, cornerLabel, "a\n", juce::Justification::centredLeft).setBounds (684, 344, 16, 16);

    for (auto& channel : channels)
    {
        auto& knob = this->*channel.knob;
        knob = std::make_unique<juce::Slider> ("lookahead slider");
        addAndMakeVisible (*knob);
        knob->setExplicitFocusOrder (1);
        knob->setRange (bottomDb, 0.0, 0.1);
        knob->setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
        knob->setTextBoxStyle (juce::Slider::TextBoxBelow, false, 50, 14);
        knob->addListener (this);
        // The upper half of the travel covers about -23..0 dB.
        knob->setSkewFactor (4.0, false);
        knob->setBounds (channel.knobX, channel.knobY, knobWidth, knobHeight);
    }

    addCaption (*this, titleLabel, "Sum Channel Weights", juce::Justification::centredLeft).setBounds (280, 16, 152, 24);

    for (auto& channel : channels)
        addCaption (*this, this->*channel.number, channel.text, juce::Justification::centred)
            .setBounds (channel.numberX, channel.numberY, numberWidth, numberHeight);

    setSize (designWidth, designHeight);
    cornerLabel->setVisible (false);
    update_UI();
}

WeightPanel::~WeightPanel()
{
    cornerLabel.reset();

    for (auto& channel : channels)
        (this->*channel.knob).reset();

    titleLabel.reset();

    for (auto& channel : channels)
        (this->*channel.number).reset();
}

void WeightPanel::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff2c2c30));
    g.setColour (juce::Colour (0x1affffff));

    for (auto& line : separatorLines)
        g.drawLine (line.x1, line.y1, line.x2, line.y2, 2.0f);
}

bool WeightPanel::keyPressed (const juce::KeyPress&)
{
    return false;
}

// Modifier changes stop here rather than going on to the parent.
void WeightPanel::modifierKeysChanged (const juce::ModifierKeys&) {}

// The layout is fixed.
void WeightPanel::resized() {}

void WeightPanel::sliderValueChanged (juce::Slider* slider)
{
    const float dB = (float) slider->getValue();

    for (size_t k = 0; k < weightSliderRefs.size(); ++k)
        if (weightSliderRefs[k]->get() == slider)
            processor.channelWeights[k] = dB <= (float) bottomDb ? 0.0f : std::pow (10.0f, dB / 20.0f);
}

void WeightPanel::update_UI()
{
    const int inputChannels = processor.getMainBusNumInputChannels();

    for (size_t k = 0; k < weightSliderRefs.size(); ++k)
    {
        const float weight = processor.channelWeights[k];
        auto& knob = **weightSliderRefs[k];
        knob.setValue ((double) weight > silentWeight ? (double) (20.0f * std::log10 (weight)) : bottomDb,
                       juce::dontSendNotification);
        knob.setEnabled (inputChannels >= (int) k + 1);
    }
}
