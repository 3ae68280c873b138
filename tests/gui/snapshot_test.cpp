#include <gtest/gtest.h>

#include "gui/common/BlinkingLed.h"
#include "gui/common/EmbeddedResources.h"
#include "gui/common/TextEditPanel.h"
#include "gui/common/WidgetVariants.h"

#include <iostream>

namespace
{
    // A page of the shared widgets on the pages' dark panel, drawn with the
    // pages' look-and-feel: knobs of every ring kind, toggles, LEDs in all
    // colours and states, the wordmark, the waveforms and the name-entry panel.
    class WidgetGallery : public juce::Component
    {
    public:
        struct KnobSpec
        {
            const char* name;
            const char* caption;
            double value;
            bool enabled;
        };

        static constexpr KnobSpec knobSpecs[] {
            { "slider",               "EMPTY",      0.0,  true },
            { "slider",               "DEFAULT",    0.35, true },
            { "slider",               "FULL",       1.0,  true },
            { "right_is_zero_slider", "HIGH CUT",   0.3,  true },
            { "mid_is_zero_slider",   "MID -",      0.2,  true },
            { "mid_is_zero_slider",   "MID +",      0.8,  true },
            { "slider",               "DISABLED",   0.6,  false },
        };

        static constexpr int knobX0 = 40, knobStep = 100, knobY = 120, knobW = 74, knobH = 77;

        WidgetGallery()
        {
            for (const auto& knob : knobSpecs)
                addKnob (knob.name, knob.caption, knob.value, knob.enabled);

            // One knob wide enough for the big strip.
            addKnob ("slider", "BIG", 0.62, true);

            for (bool on : { true, false, true })
            {
                auto* t = toggles.add (new juce::ToggleButton());
                t->setToggleState (on, juce::dontSendNotification);
                addAndMakeVisible (t);
            }

            const BlinkingLed::LedColors colours[] { BlinkingLed::ledGreen, BlinkingLed::ledRed,
                                                     BlinkingLed::ledAmber, BlinkingLed::ledCyan };
            const BlinkingLed::LedStates states[] { BlinkingLed::ledOn, BlinkingLed::ledAlternate,
                                                    BlinkingLed::ledOff, BlinkingLed::ledDark };

            for (auto s : states)
            {
                for (auto c : colours)
                {
                    auto* led = leds.add (new BlinkingLed());
                    led->setLedColor (c);
                    led->setLedState (s);
                    addAndMakeVisible (led);
                }
            }

            for (auto number : EmbeddedResources::modSourceWaveforms)
            {
                auto* w = waveforms.add (new juce::ImageComponent());
                w->setImage (EmbeddedResources::loadImage (number));
                addAndMakeVisible (w);
            }

            logo.setImage (EmbeddedResources::loadImage (EmbeddedResources::wordmark));
            addAndMakeVisible (logo);

            textPanel.textEditor->setText ("my best preset ever");
            addAndMakeVisible (textPanel);

            combo.addItem ("default", 1);
            combo.setSelectedId (1, juce::dontSendNotification);
            addAndMakeVisible (combo);

            setSize (800, 600);

            // Like the pages: children first, then the look-and-feel, which
            // makes the knobs build their text boxes anew with it.
            setLookAndFeel (&lnf);
        }

        ~WidgetGallery() override
        {
            setLookAndFeel (nullptr);
        }

        void paint (juce::Graphics& g) override
        {
            g.fillAll (juce::Colour (0xff2c2c30));
            g.setColour (juce::Colour (0xff783232));
            g.fillRect (0.0f, 0.0f, (float) getWidth(), 80.0f);
        }

        void resized() override
        {
            logo.setBounds (31, 16, 236, 41);
            combo.setBounds (560, 28, 200, 26);

            for (int i = 0; i < (int) std::size (knobSpecs); ++i)
            {
                knobs[i]->setBounds (knobX0 + i * knobStep, knobY, knobW, knobH);
                captions[i]->setBounds (knobX0 + i * knobStep - 13, knobY - 22, 100, 20);
            }

            const int big = (int) std::size (knobSpecs);
            knobs[big]->setBounds (40, 250, 120, 136);
            captions[big]->setBounds (50, 228, 100, 20);

            toggles[0]->setBounds (200, 260, 48, 48);
            toggles[1]->setBounds (270, 260, 48, 48);
            toggles[2]->setBounds (210, 330, 31, 27);

            for (int i = 0; i < leds.size(); ++i)
                leds[i]->setBounds (360 + (i % 4) * 40, 250 + (i / 4) * 36, 25, 23);

            for (int i = 0; i < waveforms.size(); ++i)
                waveforms[i]->setBounds (560 + (i % 2) * 90, 250 + (i / 2) * 50, 62, 34);

            textPanel.setBounds (40, 440, 350, 100);
        }

        ZorvLNF lnf;
        juce::OwnedArray<juce::Slider> knobs;
        juce::OwnedArray<juce::Label> captions;
        juce::OwnedArray<juce::ToggleButton> toggles;
        juce::OwnedArray<BlinkingLed> leds;
        juce::OwnedArray<juce::ImageComponent> waveforms;
        juce::ImageComponent logo;
        TextEditPanel textPanel;
        ComboBox_IgnoreKeys combo { "presets" };

    private:
        void addKnob (const juce::String& name, const juce::String& caption, double value, bool enabled)
        {
            auto* k = knobs.add (new juce::Slider (name));
            k->setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
            k->setTextBoxStyle (juce::Slider::TextBoxBelow, false, 50, 16);
            k->setRange (0.0, 100.0, 0.1);
            k->setValue (value * 100.0, juce::dontSendNotification);
            k->setEnabled (enabled);
            addAndMakeVisible (k);

            auto* l = captions.add (new juce::Label ("new label", caption));
            l->setFont (juce::Font (17.0f, juce::Font::plain).withTypefaceStyle ("Regular"));
            l->setJustificationType (juce::Justification::centred);
            addAndMakeVisible (l);
        }
    };

    juce::File snapshotFile()
    {
        return juce::File::getSpecialLocation (juce::File::currentExecutableFile).getSiblingFile ("gui_widgets_snapshot.png");
    }
}

TEST (GuiSnapshot, WidgetGalleryRendersWithoutADisplayAndIsWritten)
{
    WidgetGallery gallery;
    const auto snapshot = gallery.createComponentSnapshot (gallery.getLocalBounds());
    ASSERT_EQ (snapshot.getWidth(), 800);
    ASSERT_EQ (snapshot.getHeight(), 600);

    // The top segment of each knob stands 37 right of its left edge, about 5 below its top.
    const auto topSegment = [&snapshot] (int knob)
    {
        return snapshot.getPixelAt (WidgetGallery::knobX0 + knob * WidgetGallery::knobStep + 37, WidgetGallery::knobY + 5);
    };

    const auto full = topSegment (2);
    EXPECT_GT (full.getRed(), full.getGreen() + 60) << "a full knob lights its top segment red";

    const auto empty = topSegment (0);
    EXPECT_LT (empty.getRed(), 90) << "an empty knob leaves it dark";

    const auto negative = topSegment (4);
    EXPECT_GT (negative.getBlue(), negative.getRed() + 40) << "a centre-zero knob below its middle shows cyan";

    // The header band shows the wordmark's light lettering somewhere.
    int lightPixels = 0;
    for (int y = 16; y < 57; ++y)
        for (int x = 31; x < 267; ++x)
            lightPixels += snapshot.getPixelAt (x, y).getBrightness() > 0.8f ? 1 : 0;
    EXPECT_GT (lightPixels, 300);

    const auto file = snapshotFile();
    file.deleteFile();
    {
        juce::FileOutputStream out (file);
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (snapshot, out));
    }

    std::cout << "GUI snapshot written to " << file.getFullPathName() << std::endl;
}
