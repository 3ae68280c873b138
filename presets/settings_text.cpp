// The settings text: one JSON object that is both the host's saved state and
// the content of a user preset file.

#include "../engine/PluginProcessor.h"
#include "../engine/safe_convert.h"
#include "midi_wrapper.h"
#include "settings_text.h"

#include <cmath>

using namespace parameter_table;

namespace
{
    juce::String stepKey (int step, const juce::String& parameterName)
    {
        return "S" + juce::String (step) + "_" + parameterName;
    }

    bool stepHoldsSnapshot (float stepNumber, int step)
    {
        return truncToInt (stepNumber + 0.5f) == step;
    }

    // Reads of a settings object that may be missing: every read then yields
    // its default, and so does a value that is not a finite number.
    struct Reader
    {
        const juce::DynamicObject* object = nullptr;

        bool has (const juce::String& key) const
        {
            return object != nullptr && object->hasProperty (key);
        }

        std::optional<double> value (const juce::String& key) const
        {
            return has (key) ? settings_text::finiteNumber (object->getProperty (key)) : std::nullopt;
        }

        // Truncated toward zero; a value beyond the int range counts as absent.
        int integer (const juce::String& key, int fallback) const
        {
            const auto v = value (key);
            return v && std::abs (*v) <= 2147483647.0 ? (int) *v : fallback;
        }

        // An integer kept only within lo..hi, `outside` otherwise.
        int integerWithin (const juce::String& key, int fallback, int lo, int hi, int outside) const
        {
            const auto v = value (key);

            if (! v)
                return fallback;

            const int i = truncToInt (*v);
            return i >= lo && i <= hi ? i : outside;
        }

        // Parameters live in 0..1, except the step bookkeeping (46, 47) that
        // holds a step number.
        float number (const juce::String& key, int index, float fallback) const
        {
            const auto v = value (key);
            const double top = index >= seqStepSaved ? 8.0 : 1.0;
            return v ? (float) juce::jlimit (0.0, top, *v) : fallback;
        }

        juce::String text (const juce::String& key, const juce::String& fallback) const
        {
            return has (key) ? object->getProperty (key).toString() : fallback;
        }
    };

    constexpr int maxEditorWidth = 1600;
    constexpr int maxEditorHeight = 1200;

    // Slots are 1..16 in the text, 0 or -1 mean "no slot" (a negative field),
    // which the side-chain exchange skips. Anything else cannot come from us
    // and means no slot either, rather than joining another instance's slot.
    int slotFromText (const Reader& in, const juce::String& key)
    {
        return in.integerWithin (key, 1, -1, 16, 0) - 1;
    }
}

void ZorvaluneAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto* state = new juce::DynamicObject();
    juce::var holder (state);

    state->setProperty ("side_chan_mod1", side_chan_mod1.load() + 1);
    state->setProperty ("side_chan_mod2", side_chan_mod2.load() + 1);
    state->setProperty ("currentUserPreset", currentUserPreset.get());

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        state->setProperty (getParameterName (i), (double) parameterValues[(size_t) i].load());

    if (wrapperType != wrapperType_Standalone)
    {
        state->setProperty ("midi_progr_change_channel", midi_progr_change_channel.load());
        state->setProperty ("midi_progr_change_mode", midi_progr_change_mode.load());
        state->setProperty ("midi_CC_receive_mode", midi_CC_receive_mode.load());
    }

    if (parameterValues[seqMode].load() * 10.0f != 0.0f)
    {
        for (int k = 1; k <= NUM_STEPS; ++k)
        {
            const auto snapshot = stepSnapshots.read (k - 1);

            if (stepHoldsSnapshot (snapshot[seqStepSaved], k))
                for (int i = 0; i < NUM_PARAMETERS; ++i)
                    state->setProperty (stepKey (k, getParameterName (i)), (double) snapshot[(size_t) i]);
        }
    }

    state->setProperty ("pluginResizedW", pluginResizedW.load());
    state->setProperty ("pluginResizedH", pluginResizedH.load());

    const auto text = juce::JSON::toString (holder, false, 15);
    const auto* utf8 = text.toRawUTF8();
    const auto numBytes = text.getNumBytesAsUTF8();

    if (numBytes > 0)
        destData.insert (utf8, numBytes, 0);
}

void ZorvaluneAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    editorNotifyCounter = 0;

    const auto parsed = settings_text::parse (data, sizeInBytes > 0 ? (std::size_t) sizeInBytes : 0);
    const Reader in { parsed.getDynamicObject() };

    side_chan_mod1 = slotFromText (in, "side_chan_mod1");
    side_chan_mod2 = slotFromText (in, "side_chan_mod2");

    if (wrapperType != wrapperType_Standalone)
    {
        // -1 is every channel; a channel no MIDI message can carry reads as the key's default.
        midi_progr_change_channel = in.integerWithin ("midi_progr_change_channel", 0, -1, 15, 0);

        midi_progr_change_mode = in.integer ("midi_progr_change_mode", 0);
        midi_CC_receive_mode = in.integer ("midi_CC_receive_mode", 0);
        MIDI_WRAPPER::saveMidiPrefsTask (*this);
    }

    // A size the editor could never have stored is treated as "never resized".
    const int width = in.integer ("pluginResizedW", 0);
    const int height = in.integer ("pluginResizedH", 0);
    const bool sizeValid = width >= 0 && width <= maxEditorWidth && height >= 0 && height <= maxEditorHeight;
    pluginResizedW = sizeValid ? width : 0;
    pluginResizedH = sizeValid ? height : 0;

    // The user preset fields belong to the message thread, where the preset
    // list changes and MIDI loads presets: a restore elsewhere hands them over.
    const bool named = in.has ("currentUserPreset");
    const auto name = in.text ("currentUserPreset", {});

    callOnMessageThread ([named, name] (ZorvaluneAudioProcessor& p)
    {
        if (named)
            p.currentUserPreset = name;

        if (const juce::String current = p.currentUserPreset; current.isNotEmpty())
            if (const int index = p.getUserPresetIndx (current); index >= 0)
                p.currentUserPresetIndex = index;
    });

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        setParameter (i, in.number (getParameterName (i), i, getParameterDefaultValue (i)));

    noiseRestartPending = true;

    for (int k = 1; k <= NUM_STEPS; ++k)
    {
        if (! in.has (stepKey (k, getParameterName (seqStepSaved))))
        {
            stepSnapshots[k - 1][seqStepSaved] = 0.0f;
            continue;
        }

        storeStep (k - 1, [&] (auto& snapshot)
        {
            for (int i = 0; i < NUM_PARAMETERS; ++i)
                snapshot[(size_t) i] = in.number (stepKey (k, getParameterName (i)), i, getParameterDefaultValue (i));
        });

        if (stepSnapshots[k - 1][param47] > 0.5f)
            stepStates[k - 1][0] = 2;
    }

    presetModified = 0;
    notifyEditor();
    ++editorNotifyCounter;

    tellHostAllParameterValues();
}
