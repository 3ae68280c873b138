#include "panel_test_support.h"

#include "platform/user_defaults.h"
#include "presets/factory_presets.h"
#include "tests/platform/fake_midi_services.h"
#include "tests/wrapper_type.h"
#include "zorvalune_build_info.h"

#include <ctime>
#include <thread>

using namespace parameter_table;
using namespace panel_tests;
using Bounds = juce::Rectangle<int>;
using Changes = std::vector<std::pair<int, float>>;

namespace
{
    // Made before the processor: the page may open the MIDI input.
    struct WithFakeMidi { test_support::ScopedFakeMidi midi; };

    class AdvancedPage : protected WithFakeMidi, public PanelTest
    {
    protected:

        // The user's pick of the item that shows `text`.
        static void pick (juce::ComboBox& combo, const juce::String& text)
        {
            for (int i = 0; i < combo.getNumItems(); ++i)
                if (combo.getItemText (i) == text)
                    return choose (combo, combo.getItemId (i));

            ADD_FAILURE() << "no item " << text;
        }

        AdvancedPanel1& page = *panel.advancedPanel;
    };

    std::vector<int> itemIds (juce::ComboBox& combo)
    {
        std::vector<int> ids;
        for (int i = 0; i < combo.getNumItems(); ++i)
            ids.push_back (combo.getItemId (i));
        return ids;
    }
}

//============================================================================== frame
TEST_F (AdvancedPage, ChildrenFollowThePageSizeButLabelsNeverGrowPastTheirDesignHeights)
{
    ASSERT_EQ (page.getNumChildComponents(), 47);

    // As the control panel places it at its own design size.
    EXPECT_EQ (page.getBounds(), Bounds (45, 100, 700, 485));
    EXPECT_EQ (page.noiseThresholdSlider->getBounds(), Bounds (12, 190, 78, 88));
    EXPECT_EQ (page.versionLabel->getBounds(), Bounds (488, 458, 192, 21));
    EXPECT_EQ (page.clipLed->getBounds(), Bounds (436, 424, 16, 30));

    page.setSize (700, 480);
    EXPECT_EQ (page.mod1SourceCombo->getBounds(), Bounds (410, 46, 118, 33));
    EXPECT_EQ (page.midiChannelCombo->getBounds(), Bounds (588, 365, 56, 27));

    // Halves go to the even neighbour: 30.5 -> 30, 31.5 -> 32.
    page.setSize (700, 488);
    EXPECT_EQ (page.clipLed->getHeight(), 30);
    page.setSize (700, 504);
    EXPECT_EQ (page.clipLed->getHeight(), 32);

    struct Case { int w, h; float h14, h12, h11; Bounds threshold; };

    for (auto c : { Case { 1400, 970, 14.0f, 12.0f, 11.0f, { 24, 380, 156, 176 } },
                    Case { 350, 240, 7.5f, 6.5f, 6.0f, { 6, 94, 39, 44 } },
                    Case { 699, 480, 14.48f, 12.483f, 11.484f, { 12, 188, 78, 87 } } })
    {
        page.setSize (c.w, c.h);
        SCOPED_TRACE (juce::String (c.w) + " x " + juce::String (c.h));
        EXPECT_EQ (page.noiseThresholdSlider->getBounds(), c.threshold);
        EXPECT_NEAR (page.noiseFilterLabel->getFont().getHeight(), c.h14, 1e-3f);
        EXPECT_NEAR (page.mod2ChannelLabel->getFont().getHeight(), c.h12, 1e-3f);
        EXPECT_NEAR (page.madeWithJuceLabel->getFont().getHeight(), c.h11, 1e-3f);
    }
}

TEST_F (AdvancedPage, VersionTextNamesTheProjectVersionAndTheDateOfTheSources)
{
    // The moment the build dated the sources with, formatted here on our own.
    const std::time_t built = (std::time_t) build_info::epoch;
    const std::tm utc = *std::gmtime (&built);
    char month[8], clock[16];
    std::strftime (month, sizeof (month), "%b", &utc);
    std::strftime (clock, sizeof (clock), "%H:%M:%S", &utc);

    EXPECT_EQ (page.versionLabel->getText(), juce::String ("version ") + JucePlugin_VersionString + " - " + juce::String (month)
                                                 + " " + juce::String (utc.tm_mday) + " " + juce::String (utc.tm_year + 1900)
                                                 + " - " + juce::String (clock));
    EXPECT_EQ (juce::String (JucePlugin_VersionString), "1.4.1");
}

// The page with its LEDs lit, drawn as it shows over the panel.
TEST_F (AdvancedPage, SnapshotShowsEveryCaptionAndKnobTheLinesAndTheLitLeds)
{
    click (*panel.advancedButton);
    processor.setMod1Source (7);
    processor.mod1LinkStatus = 8;           // a block too short: red
    processor.outputOverloadCount = 2;
    panel.update_UI();
    page.timerCallback();

    const auto image = page.createComponentSnapshot (page.getLocalBounds());
    ASSERT_TRUE (writeSnapshot (image, "advanced_page"));
    // Every caption but the second source's slot, the version text, 10 knobs.
    EXPECT_EQ (expectCaptionsAndKnobsLit (image, page, page), 32);

    for (auto* led : { page.mod1LinkLed.get(), page.clipLed.get() })
    {
        int red = 0;
        for (int y = led->getY(); y < led->getBottom(); ++y)
            for (int x = led->getX(); x < led->getRight(); ++x)
                red += image.getPixelAt (x, y).getRed() > image.getPixelAt (x, y).getGreen() + 80 ? 1 : 0;
        EXPECT_GT (red, 20);
    }

    // The background and the three separators, lighter than it (at 700 x 485).
    const auto background = image.getPixelAt (300, 300);
    EXPECT_EQ (background.getARGB(), 0xff2c2c30u);
    EXPECT_GT (image.getPixelAt (220, 323).getRed(), background.getRed());
    EXPECT_GT (image.getPixelAt (450, 141).getRed(), background.getRed());
    EXPECT_GT (image.getPixelAt (480, 400).getRed(), background.getRed());
    EXPECT_EQ (image.getPixelAt (440, 323).getARGB(), 0xff2c2c30u);      // the lower-left line ends at 420
}

//============================================================================== knobs
TEST_F (AdvancedPage, KnobEditsAreHostGesturesThatLeaveProgramZeroAndPostOneRefreshAfterALoad)
{
    // A number typed into the value box is clamped and written within a gesture.
    auto& threshold = *page.noiseThresholdSlider;
    threshold.setValue (-40.0, juce::dontSendNotification);
    auto& box = dynamic_cast<juce::Label&> (*threshold.getChildComponent (0));
    processor.presetModified = 0;
    const int refreshes = processor.editorRefreshRequests.load();

    box.setText ("-100", juce::sendNotificationSync);
    EXPECT_EQ (host.changes, (Changes { { noiseThreshold, 0.0f } }));
    EXPECT_TRUE (host.begun == std::vector<int> { noiseThreshold } && host.ended == host.begun);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.editorRefreshRequests.load(), refreshes + 1);      // it marked the preset modified

    page.outputGainSlider->setValue (6.0, juce::sendNotificationSync);
    EXPECT_EQ (processor.editorRefreshRequests.load(), refreshes + 1);
    EXPECT_GE (processor.editorNotifyCounter.load(), 1);

    host.clear();
    box.setText ("-80", juce::sendNotificationSync);        // what it already holds
    EXPECT_TRUE (host.changes.empty() && host.begun.empty());

    // A double-click returns some knobs to a value, as one gesture.
    const auto doubleClick = [&] (juce::Slider& knob)
    {
        host.clear();
        const auto now = juce::Time::getCurrentTime();
        knob.mouseDoubleClick ({ juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                 &knob, &knob, now, {}, now, 2, false });
    };

    page.lfoSlewRateSlider->setValue (50.0, juce::dontSendNotification);
    doubleClick (*page.lfoSlewRateSlider);
    EXPECT_EQ (host.changes, (Changes { { slewRate, 0.04f } }));
    EXPECT_TRUE (host.begun == std::vector<int> { slewRate } && host.ended == host.begun);
    doubleClick (*page.noiseRatioSlider);
    EXPECT_EQ (host.changes, (Changes { { noiseRatio, 0.5f } }));

    for (auto* keeps : { page.clipLpFilterSlider.get(), page.noiseRmsSlider.get(), page.noiseReleaseSlider.get() })
    {
        doubleClick (*keeps);
        EXPECT_TRUE (host.changes.empty() && host.begun.empty()) << keeps->getName();
    }

    // A refresh and a stranger write nothing.
    juce::Slider stranger;
    page.update_UI();
    page.sliderValueChanged (&stranger);
    page.sliderDragStarted (&stranger);
    EXPECT_TRUE (host.changes.empty() && host.begun.empty());
}

//============================================================================== selectors
TEST_F (AdvancedPage, SelectorParametersRoundTripThroughTheHostAndQFollowsTheFilterType)
{
    struct Row { juce::ComboBox& combo; int parameter; };

    for (auto row : { Row { *page.noiseFilterCombo, noiseFilterType }, Row { *page.seqStartCombo, seqMode },
                      Row { *page.seqSkipModeCombo, seqSkipMode } })
    {
        for (int id : itemIds (row.combo))
        {
            host.clear();
            row.combo.setSelectedId (0, juce::dontSendNotification);
            choose (row.combo, id);
            EXPECT_EQ (host.changes, (Changes { { row.parameter, (float) (id - 1) / 10.0f } }));
            EXPECT_TRUE (host.begun.empty());

            row.combo.setSelectedId (0, juce::dontSendNotification);
            page.update_UI();
            EXPECT_EQ (row.combo.getSelectedId(), id);
        }
    }

    for (auto [type, q] : { std::pair { "Bandpass", true }, std::pair { "Lowpass", false }, std::pair { "Highpass", false },
                                std::pair { "Notch", true } })
    {
        pick (*page.noiseFilterCombo, type);
        EXPECT_EQ (page.filterQSlider->isEnabled(), q) << type;
    }

    processor.setParameter (noiseFilterType, 0.39f);        // truncated: still a notch
    page.update_UI();
    EXPECT_EQ (page.noiseFilterCombo->getText(), "Notch");

    // The sequencer mode decides the main page's START and SAVE.
    pick (*page.seqStartCombo, "OFF");
    EXPECT_FALSE (panel.startButton->isEnabled() || panel.saveButton->isEnabled());
    pick (*page.seqStartCombo, "PLAY");
    EXPECT_TRUE (panel.startButton->isEnabled() && panel.saveButton->isEnabled());

    host.clear();
    const bool wasOn = page.lowCutToggle->getToggleState();
    click (*page.lowCutToggle);
    click (*page.lowCutToggle);
    EXPECT_EQ (host.changes, (Changes { { noiseLowcutOn, wasOn ? 0.0f : 1.0f }, { noiseLowcutOn, wasOn ? 1.0f : 0.0f } }));

    processor.setParameter (noiseLowcutOn, 0.5f);
    page.update_UI();
    EXPECT_FALSE (page.lowCutToggle->getToggleState());
}

TEST_F (AdvancedPage, SourcesOfferTheSideChainOnlyInAPlugInAndSendingLocksTheKnobs)
{
    EXPECT_EQ (itemIds (*page.mod1SourceCombo), (std::vector<int> { 1, 2, 3, 4, 6, 10, 11, 7, 8 }));
    EXPECT_EQ (itemIds (*page.mod2SourceCombo), (std::vector<int> { 1, 2, 3, 4, 6, 10, 11, 8 }));

    {
        const test_support::ScopedWrapperType standalone (juce::AudioProcessor::wrapperType_Standalone);
        ZorvaluneAudioProcessor p;
        AdvancedPanel1 standalonePage (p);
        EXPECT_EQ (itemIds (*standalonePage.mod1SourceCombo), (std::vector<int> { 1, 2, 3, 4 }));
        EXPECT_EQ (itemIds (*standalonePage.mod2SourceCombo), (std::vector<int> { 1, 2, 3, 4 }));
    }

    // The main page shows the waveform that this page picks.
    for (auto [item, source] : { std::pair { "LFO SQUARE", 1 }, std::pair { "LFO SAW up", 3 }, std::pair { "LFO SAW down", 2 } })
    {
        pick (*page.mod1SourceCombo, item);
        EXPECT_EQ (processor.mod1Source.load(), source);
        EXPECT_EQ (panel.mod1SourceButton->getNormalImage(), panel.modSourceImages[(size_t) source]) << item;
    }

    pick (*page.noiseFilterCombo, "Bandpass");
    host.clear();
    pick (*page.mod1SourceCombo, "Side send");
    EXPECT_EQ (processor.mod1Source.load(), 6);
    EXPECT_TRUE (processor.isTimerRunning());                    // the send watchdog
    EXPECT_TRUE (page.mod1ChannelCombo->isVisible() && page.mod1ChannelLabel->isVisible() && page.mod1LinkLed->isVisible());
    EXPECT_FALSE (page.mod2ChannelCombo->isVisible());

    for (auto* knob : knobsOf (page))
        EXPECT_EQ (knob->isEnabled(), knob == page.filterQSlider.get());

    pick (*page.mod1ChannelCombo, "3");
    EXPECT_EQ (processor.side_chan_mod1.load(), 2);
    EXPECT_TRUE (host.changes.empty());                           // sources and slots are not parameters
    panel.update_UI();
    EXPECT_TRUE (page.isVisible());                               // while sending, the page stays up

    pick (*page.noiseFilterCombo, "Lowpass");
    pick (*page.mod1SourceCombo, "LFO SINE");
    EXPECT_FALSE (page.mod1ChannelCombo->isVisible() || page.mod1ChannelLabel->isVisible());

    for (auto* knob : knobsOf (page))
        EXPECT_EQ (knob->isEnabled(), knob != page.filterQSlider.get());

    pick (*page.mod2SourceCombo, "Side receive");
    EXPECT_EQ (processor.mod2Source.load(), 7);
    EXPECT_EQ (page.mod2ChannelCombo->getSelectedId(), processor.side_chan_mod2.load() + 1);

    // A source without an item, from host automation, shows none.
    processor.setParameter (mod1Src, 0.04f);
    page.update_UI();
    EXPECT_EQ (page.mod1SourceCombo->getSelectedId(), 0);
}

//============================================================================== MIDI
TEST_F (AdvancedPage, MidiSettingsReachTheMidiInputAndThePreferences)
{
    midi.services->addSource ("kbd", juce::String ("Keys"), 7);
    const auto controlChange = [&] (int channel, int amount)
    {
        const std::vector<std::uint8_t> message { (std::uint8_t) (0xB0 | channel), 102, (std::uint8_t) amount };
        std::thread ([&] { midi.services->send ("kbd", { message }); }).join();
        test_support::pumpMessages();
        return processor.getParameter (noiseMix);
    };
    const auto preference = [] (const char* key) { return platform::user_defaults::getInteger (key); };

    pick (*page.midiProgChangeModeCombo, "Index");
    EXPECT_EQ (processor.midi_progr_change_mode.load(), 1);
    EXPECT_EQ (preference ("kAppPrefMidiProgChangeMode"), 1);
    ASSERT_NE (processor.midiWrapper, nullptr);
    auto* input = processor.midiWrapper.get();

    pick (*page.midiProgChangeModeCombo, "Name");
    pick (*page.midiProgChangeModeCombo, "Off");
    EXPECT_EQ (preference ("kAppPrefMidiProgChangeMode"), 0);
    EXPECT_EQ (processor.midiWrapper.get(), input);              // an open input stays open

    for (auto [item, channel] : { std::pair { "16", 15 }, std::pair { "All", -1 }, std::pair { "1", 0 } })
    {
        pick (*page.midiChannelCombo, item);
        EXPECT_EQ (processor.midi_progr_change_channel.load(), channel);
        EXPECT_EQ (preference ("kAppPrefMidiChannel"), channel);
    }

    EXPECT_EQ (controlChange (0, 127), 0.1f);                    // both modes off: nothing passes

    click (*page.ccEnableToggle);
    EXPECT_EQ (processor.midi_CC_receive_mode.load(), 1);
    EXPECT_EQ (preference ("kAppPrefMidiCCReceiveMode"), 1);
    EXPECT_EQ (controlChange (0, 127), 1.0f);
    EXPECT_EQ (controlChange (1, 0), 1.0f);                      // another channel

    pick (*page.midiChannelCombo, "2");
    EXPECT_EQ (controlChange (1, 0), 0.0f);

    click (*page.ccEnableToggle);
    EXPECT_EQ (preference ("kAppPrefMidiCCReceiveMode"), 0);
    EXPECT_EQ (controlChange (1, 127), 0.0f);
    EXPECT_EQ (midi.services->clientsCreated.load(), 1);

    // The refresh shows what the processor holds.
    processor.midi_progr_change_channel = 15;
    processor.midi_progr_change_mode = 2;
    processor.midi_CC_receive_mode = 1;
    page.update_UI();
    EXPECT_EQ (page.midiChannelCombo->getSelectedId(), 17);
    EXPECT_EQ (page.midiProgChangeModeCombo->getText(), "Name");
    EXPECT_TRUE (page.ccEnableToggle->getToggleState());
}

//============================================================================== refresh and LEDs
TEST (AdvancedPageInEditor, AProgramChangeReachesThePageThroughTheEditorsRefresh)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);
    auto& panel = open.panel();
    auto& page = *panel.advancedPanel;
    ASSERT_EQ (page.noiseFilterCombo->getText(), "Lowpass");
    ASSERT_FALSE (page.filterQSlider->isEnabled());

    const auto& program = sPresets.list[2];     // "snare noise": the noise detector and a band-pass
    p.setCurrentProgram (2);
    ASSERT_TRUE (test_support::pumpMessagesUntil ([&] { return page.noiseFilterCombo->getText() == "Bandpass"; }));
    EXPECT_TRUE (page.filterQSlider->isEnabled());
    int shown = 0;

    for (auto* knob : knobsOf (page))
    {
        const int index = panel.getControlParameterIndex (*knob);
        const auto it = program.values.find (index);
        const double expected = it != program.values.end() ? it->second : p.getParameterValue (index);
        EXPECT_NEAR (knob->getValue(), expected, 0.05) << entries[(size_t) index].name;
        shown += it != program.values.end() ? 1 : 0;
    }

    EXPECT_EQ (shown, 6);
}

TEST_F (AdvancedPage, LinkLedsShowEachStatusAndTheClipLedLatchesForOneTick)
{
    using L = BlinkingLed;
    struct Look { int source, status; L::LedColors colour; L::LedStates state; };

    // In this order: a send status standing from before keeps the state.
    const Look looks[] = {
        { 7, 3, L::ledAmber, L::ledBlinking }, { 7, 1, L::ledCyan, L::ledOn }, { 7, 4, L::ledAmber, L::ledBlinking },
        { 7, 2, L::ledAmber, L::ledOn },       { 7, 8, L::ledRed, L::ledOn },  { 7, 0, L::ledCyan, L::ledOff },
        { 7, 5, L::ledCyan, L::ledOff },       { 6, 5, L::ledCyan, L::ledOn }, { 6, 7, L::ledAmber, L::ledOn },
        { 6, 0, L::ledCyan, L::ledOff },
    };

    for (const auto& look : looks)
    {
        processor.setMod1Source (look.source);
        processor.mod1LinkStatus = look.status;
        page.timerCallback();
        SCOPED_TRACE (juce::String ("source ") + juce::String (look.source) + ", status " + juce::String (look.status));
        EXPECT_EQ (page.mod1LinkLed->getLedColor(), look.colour);
        EXPECT_EQ (page.mod1LinkLed->getLedState(), look.state);
        EXPECT_TRUE (page.mod1LinkLed->isVisible());
    }

    processor.setMod2Source (7);
    processor.mod2LinkStatus = 4;
    page.timerCallback();
    EXPECT_TRUE (page.mod2LinkLed->getLedColor() == L::ledAmber && page.mod2LinkLed->getLedState() == L::ledBlinking);

    // Back on an LFO, the first source's LED goes off and away; the second's
    // is the refresh's alone on any source but receive.
    processor.setMod1Source (0);
    processor.setMod2Source (6);
    page.update_UI();

    for (int status : { 8, 7 })
    {
        processor.mod2LinkStatus = status;
        page.timerCallback();
        EXPECT_FALSE (page.mod1LinkLed->isVisible());
        EXPECT_EQ (page.mod1LinkLed->getLedState(), L::ledOff);
        EXPECT_TRUE (page.mod2LinkLed->isVisible());
        EXPECT_TRUE (page.mod2LinkLed->getLedColor() == L::ledAmber && page.mod2LinkLed->getLedState() == L::ledBlinking);
    }

    processor.outputOverloadCount = 3;
    page.timerCallback();
    EXPECT_TRUE (page.clipLed->getLedState() == L::ledOn && page.clipLed->getLedColor() == L::ledRed);
    EXPECT_EQ (processor.outputOverloadCount.load(), 0);
    page.timerCallback();
    EXPECT_EQ (page.clipLed->getLedState(), L::ledOff);
}
