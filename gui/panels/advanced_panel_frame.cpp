#include "advanced_panel_design.h"

#include "../common/LabelFonts.h"
#include "../common/ZorvaluneAudioProcessorEditor.h"

#include "zorvalune_build_info.h"

using namespace advanced_panel_design;

namespace
{
    //============================================================================== captions
    using page_children::Caption;
    using page_children::centred;
    using page_children::centredLeft;
    using page_children::centredRight;

    const Caption<AdvancedPanel1> captions[] = {
        { &A::versionLabel,            "version 0.1",              11.0f, centredRight },
        { &A::noiseThresholdLabel,     "NOISE THRESHOLD",          14.0f, centred },
        { &A::madeWithJuceLabel,       "made with Juce",           11.0f, centredRight },
        { &A::midiProgChangeModeLabel, "MIDI PROGRAM CHANGE MODE", 14.0f, centredLeft },
        { &A::midiChannelLabel,        "MIDI CHANNEL",             14.0f, centredLeft },
        { &A::noiseRatioLabel,         "NOISE RATIO",              14.0f, centred },
        { &A::lfoSlewRateLabel,        "LFO SLEWRATE",             14.0f, centred },
        { &A::mod1ChannelLabel,        "CHANNEL",                  12.0f, centredLeft },
        { &A::mod1SourceLabel,         "MOD 1 SOURCE ",            14.0f, centred },
        { &A::mod2ChannelLabel,        "CHANNEL",                  12.0f, centredLeft },
        { &A::mod2SourceLabel,         "MOD 2 SOURCE",             14.0f, centred },
        { &A::noiseMinLabel,           "NOISE MIN",                14.0f, centred },
        { &A::noiseFilterLabel,        "NOISE FILTER",             14.0f, centred },
        { &A::filterQLabel,            "Q",                        14.0f, centred },
        { &A::clipLpFilterLabel,       "CLIP LP FILTER",           14.0f, centred },
        { &A::ccEnableLabel,           "CC Enable",                14.0f, centredLeft },
        { &A::lowCutLabel,             "LowCut",                   14.0f, centredRight },
        { &A::noiseRmsLabel,           "NOISE RMS",                14.0f, centred },
        { &A::seqStartLabel,           "SEQUENCER START",          14.0f, centred },
        { &A::seqSkipModeLabel,        "SEQUENCER SKIP MODE",      14.0f, centred },
        { &A::noiseReleaseLabel,       "NOISE RELEASE",            14.0f, centred },
        { &A::inputGainLabel,          "INPUT GAIN",               14.0f, centred },
        { &A::outputGainLabel,         "OUTPUT GAIN",              14.0f, centred },
    };

    //============================================================================== selectors
    const Item midiProgramChangeModeItems[] = { { "Off", 1 }, { "Index", 2 }, { "Name", 3 } };

    // "All", then MIDI channel n as id n + 1.
    const Item midiChannelItems[] = {
        { "All", 1 }, { "1", 2 }, { "2", 3 }, { "3", 4 }, { "4", 5 }, { "5", 6 }, { "6", 7 }, { "7", 8 }, { "8", 9 },
        { "9", 10 }, { "10", 11 }, { "11", 12 }, { "12", 13 }, { "13", 14 }, { "14", 15 }, { "15", 16 }, { "16", 17 },
    };

    // Until the end of construction, when the real lists are known.
    const Item sourcePlaceholderItems[] = { { "LFO", 1 }, { nullptr, 0 } };

    const Item noiseFilterItems[] = { { "Bandpass", 1 }, { "Lowpass", 2 }, { "Highpass", 3 }, { "Notch", 4 } };
    const Item seqStartItems[] = { { "OFF", 1 }, { "MANUAL", 2 }, { "PLAY", 3 } };
    const Item seqSkipModeItems[] = { { "KEEP TIMING", 1 }, { "SKIP", 2 } };

    struct Selector
    {
        juce::Component* (*combo) (const AdvancedPanel1&);
        const char* name;
        const char* textWhenNothingSelected;
        const Item* items;
        size_t count;
    };

    template <auto member, size_t N>
    constexpr Selector selector (const char* name, const char* nothing, const Item (&items)[N])
    {
        return { page_children::getChild<member>, name, nothing, items, N };
    }

    template <auto member>
    constexpr Selector selector (const char* name, const char* nothing)
    {
        return { page_children::getChild<member>, name, nothing, nullptr, 0 };
    }

    // The side-chain channels get their items at the end of construction.
    const Selector selectors[] = {
        selector<&A::midiProgChangeModeCombo> ("new combo box", "Type", midiProgramChangeModeItems),
        selector<&A::midiChannelCombo>        ("new combo box", "Type", midiChannelItems),
        selector<&A::mod1ChannelCombo>        ("new combo box1", ""),
        selector<&A::mod1SourceCombo>         ("mixmode combo", "", sourcePlaceholderItems),
        selector<&A::mod2ChannelCombo>        ("new combo box1", ""),
        selector<&A::mod2SourceCombo>         ("mixmode combo", "", sourcePlaceholderItems),
        selector<&A::noiseFilterCombo>        ("mixmode combo", "", noiseFilterItems),
        selector<&A::seqStartCombo>           ("mixmode combo", "", seqStartItems),
        selector<&A::seqSkipModeCombo>        ("mixmode combo", "", seqSkipModeItems),
    };

    void addItem (juce::ComboBox& combo, const Item& item)
    {
        if (item.id == 0)
            combo.addSeparator();
        else
            combo.addItem (TRANS (item.text), item.id);
    }

    // What the program offers as modulation sources: no side chain in the
    // standalone program, and only the first source can send.
    void fillSourceList (juce::ComboBox& combo, bool standalone, bool canSend)
    {
        combo.clear (juce::dontSendNotification);

        for (auto& item : sourceItems)
            if ((! item.sideChain || ! standalone) && (! item.sendOnly || canSend))
                combo.addItem (TRANS (item.text), item.id);
    }

    struct SeparatorLine { float x1, y1, x2, y2; };

    // Design coordinates, drawn 2.0 thick at any size.
    const SeparatorLine separatorLines[] = {
        { 20.0f,  320.0f, 420.0f, 320.0f },     // above the lower-left area
        { 20.0f,  140.0f, 680.0f, 140.0f },     // under the top strip
        { 480.0f, 320.0f, 480.0f, 460.0f },     // left of the MIDI settings
    };
}

//============================================================================== settings by kind
void Design::configure (AdvancedPanel1& page, juce::Label& label)
{
    page_children::setUpCaption (page, captions, label);
}

void Design::configure (AdvancedPanel1& page, juce::Slider& slider)
{
    const auto* knob = knobFor (page, &slider);
    jassert (knob != nullptr);

    slider.setName (knob->name);
    slider.setExplicitFocusOrder (1);
    slider.setRange (knob->minimum, knob->maximum, knobInterval);
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 50, knob->textBoxHeight);
    slider.addListener (&page);

    if (knob->skew != 1.0)
        slider.setSkewFactor (knob->skew, false);
}

void Design::configure (AdvancedPanel1& page, juce::ComboBox& combo)
{
    const auto row = std::find_if (std::begin (selectors), std::end (selectors),
                                   [&] (const Selector& s) { return s.combo (page) == &combo; });
    jassert (row != std::end (selectors));

    combo.setName (row->name);
    combo.setEditableText (false);
    combo.setJustificationType (juce::Justification::centredLeft);
    combo.setTextWhenNothingSelected (TRANS (row->textWhenNothingSelected));
    combo.setTextWhenNoChoicesAvailable (TRANS ("(no choices)"));

    for (size_t i = 0; i < row->count; ++i)
        addItem (combo, row->items[i]);

    combo.addListener (&page);
}

void Design::configure (AdvancedPanel1& page, juce::ToggleButton& toggle)
{
    // Toggles draw only their on/off picture.
    toggle.setName ("sat button");
    toggle.setButtonText ({});
    toggle.addListener (&page);
}

void Design::configure (AdvancedPanel1&, BlinkingLed&) {}

//============================================================================== construction
AdvancedPanel1::AdvancedPanel1 (ZorvaluneAudioProcessor& p)
    : processor (p)
{
    for (auto& c : children)
        c.create (*this);

    const bool standalone = processor.wrapperType == juce::AudioProcessor::wrapperType_Standalone;
    for (int slot : { 1, 2 })
    {
        const auto s = sourceSlot (*this, slot);
        fillSourceList (s.sourceCombo, standalone, s.canSend);
    }

    // The slot numbers are not translated.
    for (int n = 1; n <= ZorvaluneAudioProcessor::NUM_SIDE_CHAIN_SLOTS; ++n)
    {
        mod1ChannelCombo->addItem (juce::String (n), n);
        mod2ChannelCombo->addItem (juce::String (n), n);
    }

    noiseFilterCombo->setLookAndFeel (&noiseFilterLookAndFeel);

    for (auto& knob : knobs)
        if (knob.doubleClickValue.has_value())
            (this->*knob.slider)->setDoubleClickReturnValue (true, *knob.doubleClickValue);

    clipLed->setLedColor (BlinkingLed::ledRed);

    setSize ((int) designWidth, (int) designHeight);

    // The design font heights; the layout just run found the record empty.
    LabelFonts::recordDesignHeights (*this, fontSizeMap);

    versionLabel->setText ("version " + juce::String (build_info::version) + " - " + build_info::date
                               + " - " + build_info::time,
                           juce::dontSendNotification);

    update_UI();

    startTimer (50);
}

AdvancedPanel1::~AdvancedPanel1()
{
    stopTimer();

    for (auto& c : children)
        c.release (*this);

    fontSizeMap.clear();
}

//============================================================================== layout and painting
void AdvancedPanel1::resized()
{
    page_children::layOut (*this, children);

    // Fonts shrink with the page but never grow past their design heights.
    const int W = getWidth();
    const int H = getHeight();
    const bool atLeastDesignSize = W >= (int) designWidth && H >= (int) designHeight;
    const float scale = juce::jmin ((float) W / designWidth, (float) H / designHeight);

    LabelFonts::rescale (*this, fontSizeMap, atLeastDesignSize, scale);
}

void AdvancedPanel1::paint (juce::Graphics& g)
{
    const float sx = (float) getWidth() / designWidth;
    const float sy = (float) getHeight() / designHeight;

    g.fillAll (juce::Colour (0xff2c2c30));
    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x1a));

    for (auto& line : separatorLines)
        g.drawLine (juce::Line<float> (line.x1 * sx, line.y1 * sy, line.x2 * sx, line.y2 * sy), 2.0f);
}

//============================================================================== mouse and keys
void AdvancedPanel1::mouseDrag (const juce::MouseEvent&) {}

void AdvancedPanel1::mouseUp (const juce::MouseEvent&)
{
    if (auto* editor = findParentComponentOfClass<ZorvaluneAudioProcessorEditor>())
        editor->dragStartOffset = editor->panelOffset;
}

// Keys go on to the parent and the host.
bool AdvancedPanel1::keyPressed (const juce::KeyPress&)
{
    return false;
}

void AdvancedPanel1::modifierKeysChanged (const juce::ModifierKeys&) {}
