#include "advanced_panel_design.h"
#include "../../platform/user_defaults.h"
#include "edit_protocol.h"

using namespace advanced_panel_design;

SourceSlot advanced_panel_design::sourceSlot (AdvancedPanel1& page, int slot)
{
    auto& p = page.processor;

    if (slot == 1)
        return { *page.mod1SourceCombo, *page.mod1ChannelCombo, *page.mod1ChannelLabel, *page.mod1LinkLed,
                 p.mod1Source, p.side_chan_mod1, p.mod1LinkStatus, &ZorvaluneAudioProcessor::setMod1Source, true };

    return { *page.mod2SourceCombo, *page.mod2ChannelCombo, *page.mod2ChannelLabel, *page.mod2LinkLed,
             p.mod2Source, p.side_chan_mod2, p.mod2LinkStatus, &ZorvaluneAudioProcessor::setMod2Source, false };
}

// The MIDI thread reads the field from its next message on; the input opens
// here, on the message thread, where the system's MIDI services are driven.
void advanced_panel_design::storeMidiSetting (ZorvaluneAudioProcessor& processor, const MidiSetting& setting, int value)
{
    JUCE_ASSERT_MESSAGE_THREAD

    (processor.*setting.field) = value;
    platform::user_defaults::setInteger (setting.preference, value);

    if (setting.opensInput && value != 0)
        processor.enableMidiReceive();
}

namespace
{
    // The host hears of it, without a gesture; the filter type and the
    // sequencer mode change what else is usable.
    template <int row>
    void parameterChosen (AdvancedPanel1& page, int id)
    {
        const auto& s = parameterSelectors[row];
        edit_protocol::write (page.processor, s.parameter, (float) (id - 1) / 10.0f);

        if (s.refreshesDependants)
            page.update_dependant_UI (0);
    }

    // The processor stores the source itself, untold to the host, and asks
    // the editor to refresh; the page shows the source's own controls at once.
    template <int slot>
    void sourceChosen (AdvancedPanel1& page, int id)
    {
        const auto s = sourceSlot (page, slot);
        (page.processor.*s.setSource) (id - 1);
        page.update_UI();
    }

    template <int slot>
    void channelChosen (AdvancedPanel1& page, int id)
    {
        sourceSlot (page, slot).sideChainSlot = juce::jmax (id, 1) - 1;
    }

    void programChangeModeChosen (AdvancedPanel1& page, int id)
    {
        storeMidiSetting (page.processor, programChangeMode, id - 1);
    }

    // Ids 1..17: all channels, then MIDI channels 1..16 as 0..15.
    void midiChannelChosen (AdvancedPanel1& page, int id)
    {
        if (id <= 17)
            storeMidiSetting (page.processor, midiChannel, id - 2);
    }

    struct ComboBinding
    {
        juce::Component* (*combo) (const AdvancedPanel1&);
        void (*chosen) (AdvancedPanel1&, int id);
    };

    using page_children::getChild;

    const ComboBinding comboBindings[] = {
        { getChild<&A::midiProgChangeModeCombo>, programChangeModeChosen },
        { getChild<&A::midiChannelCombo>,        midiChannelChosen },
        { getChild<&A::mod1ChannelCombo>,        channelChosen<1> },
        { getChild<&A::mod1SourceCombo>,         sourceChosen<1> },
        { getChild<&A::mod2ChannelCombo>,        channelChosen<2> },
        { getChild<&A::mod2SourceCombo>,         sourceChosen<2> },
        { getChild<&A::noiseFilterCombo>,        parameterChosen<0> },
        { getChild<&A::seqStartCombo>,           parameterChosen<1> },
        { getChild<&A::seqSkipModeCombo>,        parameterChosen<2> },
    };
}

void AdvancedPanel1::comboBoxChanged (juce::ComboBox* combo)
{
    if (const auto* binding = page_children::rowFor (*this, comboBindings, &ComboBinding::combo, combo))
        binding->chosen (*this, combo->getSelectedId());
}

void AdvancedPanel1::buttonClicked (juce::Button* button)
{
    const bool on = button->getToggleState();

    if (button == ccEnableToggle.get())
        storeMidiSetting (processor, controlChangeMode, on ? 1 : 0);
    else if (button == lowCutToggle.get())
        edit_protocol::write (processor, parameter_table::noiseLowcutOn, on ? 1.0f : 0.0f);
}
