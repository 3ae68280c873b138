#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "engine/parameter_table.h"
#include "presets/settings_text.h"
#include "tests/wrapper_type.h"

#include <cstring>

namespace
{
    juce::String textOf (ZorvaluneAudioProcessor& p)
    {
        juce::MemoryBlock block;
        p.getStateInformation (block);
        return juce::String::fromUTF8 (static_cast<const char*> (block.getData()), (int) block.getSize());
    }

    void load (ZorvaluneAudioProcessor& p, const juce::String& text)
    {
        p.setStateInformation (text.toRawUTF8(), (int) text.getNumBytesAsUTF8());
    }

    // The keys of a settings text, in the order they stand.
    juce::StringArray keysOf (const juce::String& text)
    {
        juce::StringArray keys;

        for (const auto& line : juce::StringArray::fromLines (text))
            if (line.startsWith ("  \""))
                keys.add (line.fromFirstOccurrenceOf ("\"", false, false).upToFirstOccurrenceOf ("\"", false, false));

        return keys;
    }

    juce::StringArray expectedPluginKeys (ZorvaluneAudioProcessor& p)
    {
        juce::StringArray keys { "side_chan_mod1", "side_chan_mod2", "currentUserPreset" };

        for (int i = 0; i < 48; ++i)
            keys.add (p.getParameterName (i));

        keys.addArray (juce::StringArray { "midi_progr_change_channel", "midi_progr_change_mode", "midi_CC_receive_mode",
                                           "pluginResizedW", "pluginResizedH" });
        return keys;
    }

    void storeSnapshot (ZorvaluneAudioProcessor& p, int step, float fill)
    {
        for (int i = 0; i < 48; ++i)
            p.stepSnapshots[step][i] = fill;

        p.stepSnapshots[step][parameter_table::seqStepSaved] = (float) (step + 1);
        p.stepSnapshots[step][parameter_table::param47] = 0.0f;
    }
}

TEST (SettingsTextLayout, FreshInstanceListsItsKeysInOrderWithCrLf)
{
    ZorvaluneAudioProcessor p;
    const auto text = textOf (p);

    EXPECT_EQ (keysOf (text), expectedPluginKeys (p));
    EXPECT_TRUE (text.startsWith ("{\r\n  \"side_chan_mod1\": 1,\r\n  \"side_chan_mod2\": 1,\r\n  \"currentUserPreset\": \"\",\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  \"Dry Wet\": 1.0,\r\n  \"In Gain\": 0.5,\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  \"midi_progr_change_channel\": -1,\r\n"));
    EXPECT_TRUE (text.endsWith ("\r\n  \"pluginResizedW\": 0,\r\n  \"pluginResizedH\": 0\r\n}"));
    // A float widened to a double prints with every digit the widening gives.
    EXPECT_TRUE (text.contains ("\"RMStime\": 0.05000000074505806,\r\n"));
}

TEST (SettingsTextLayout, StandaloneLeavesOutTheMidiKeys)
{
    const test_support::ScopedWrapperType standalone (juce::AudioProcessor::wrapperType_Standalone);
    ZorvaluneAudioProcessor p;
    p.midi_progr_change_mode = 2;
    const auto keys = keysOf (textOf (p));

    EXPECT_EQ (keys.size(), 53);
    EXPECT_FALSE (keys.contains ("midi_progr_change_mode"));

    // Reading a text in the standalone leaves the MIDI settings alone.
    load (p, "{ \"midi_progr_change_mode\": 0 }");
    EXPECT_EQ (p.midi_progr_change_mode, 2);
}

TEST (SettingsTextLayout, WritesInFrontOfBytesAlreadyInTheBlock)
{
    ZorvaluneAudioProcessor p;
    p.setParameter (0, 0.25f);

    juce::MemoryBlock block ("tail", 4);
    p.getStateInformation (block);
    const auto all = block.toString();
    EXPECT_TRUE (all.endsWith ("}tail"));

    ZorvaluneAudioProcessor q;
    q.setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_EQ (q.getParameter (0), 0.25f);
}

TEST (SettingsTextSlots, SlotsAreOneBasedInTheText)
{
    ZorvaluneAudioProcessor p;
    p.side_chan_mod2 = 2;
    EXPECT_TRUE (textOf (p).contains ("\"side_chan_mod2\": 3,"));

    load (p, "{ \"side_chan_mod1\": 1, \"side_chan_mod2\": 16 }");
    EXPECT_EQ (p.side_chan_mod1.load(), 0);
    EXPECT_EQ (p.side_chan_mod2.load(), 15);

    load (p, "{ \"side_chan_mod2\": 5 }");
    EXPECT_EQ (p.side_chan_mod1.load(), 0);   // missing key: slot 1
    EXPECT_EQ (p.side_chan_mod2.load(), 4);
}

TEST (SettingsTextSlots, ZeroMeansNoSlotAndSurvivesARoundTrip)
{
    ZorvaluneAudioProcessor p;
    load (p, "{ \"side_chan_mod1\": 0, \"side_chan_mod2\": 2 }");
    EXPECT_EQ (p.side_chan_mod1.load(), -1);
    EXPECT_EQ (p.side_chan_mod2.load(), 1);
    EXPECT_TRUE (textOf (p).contains ("\"side_chan_mod1\": 0,"));
}

TEST (SettingsTextSlots, SlotsNoInstanceCouldHaveStoredMeanNoSlot)
{
    ZorvaluneAudioProcessor p;

    for (const char* text : { "{ \"side_chan_mod1\": 17, \"side_chan_mod2\": -2 }",
                              "{ \"side_chan_mod1\": 1e300, \"side_chan_mod2\": 4294967297 }" })
    {
        p.side_chan_mod1 = 7;
        p.side_chan_mod2 = 7;
        load (p, text);
        EXPECT_EQ (p.side_chan_mod1.load(), -1) << text;
        EXPECT_EQ (p.side_chan_mod2.load(), -1) << text;
    }

    // -1 keeps its own reading (no slot either) and is written back as it came.
    load (p, "{ \"side_chan_mod1\": -1, \"side_chan_mod2\": 16.9 }");
    EXPECT_EQ (p.side_chan_mod1.load(), -2);
    EXPECT_EQ (p.side_chan_mod2.load(), 15);
    EXPECT_TRUE (textOf (p).contains ("\"side_chan_mod1\": -1,"));

    // A value that is no number at all reads as the key's default: slot 1.
    load (p, "{ \"side_chan_mod1\": \"nan\", \"side_chan_mod2\": [] }");
    EXPECT_EQ (p.side_chan_mod1.load(), 0);
    EXPECT_EQ (p.side_chan_mod2.load(), 0);
}

TEST (SettingsTextParameters, RoundTripGivesIdenticalBytes)
{
    ZorvaluneAudioProcessor a;
    a.setCurrentProgram (7);
    a.side_chan_mod1 = 3;
    a.pluginResizedW = 640;
    a.pluginResizedH = 400;
    a.midi_progr_change_channel = 9;
    a.currentUserPreset = juce::String::fromUTF8 ("K\xc3\xa4se \xe2\x99\xab");

    const auto first = textOf (a);
    ZorvaluneAudioProcessor b;
    load (b, first);

    EXPECT_EQ (textOf (b), first);
    EXPECT_EQ (b.currentUserPreset, a.currentUserPreset.get());
}

TEST (SettingsTextParameters, UnparsableOrNonObjectTextAppliesDefaults)
{
    for (const char* text : { "", "[]", "{", "{}", "[{\"Dry Wet\": 0.2}]", "not json" })
    {
        ZorvaluneAudioProcessor p;
        p.setParameter (0, 0.3f);
        p.side_chan_mod1 = 5;
        p.pluginResizedW = 700;
        p.midi_progr_change_mode = 1;
        p.currentUserPreset = "kept";
        storeSnapshot (p, 2, 0.5f);

        load (p, text);

        EXPECT_TRUE (juce::String (text) == "{}" || settings_text::parse (juce::String (text)).isVoid()) << text;
        EXPECT_EQ (p.getParameter (0), 1.0f) << text;
        EXPECT_EQ (p.side_chan_mod1.load(), 0) << text;
        EXPECT_EQ (p.pluginResizedW.load(), 0) << text;
        EXPECT_EQ (p.midi_progr_change_mode, 0) << text;
        EXPECT_EQ (p.midi_progr_change_channel, 0) << text;
        EXPECT_EQ (p.currentUserPreset, "kept") << text;
        EXPECT_EQ (p.stepSnapshots[2][parameter_table::seqStepSaved], 0.0f) << text;
        EXPECT_EQ (p.stepSnapshots[2][0], 0.5f) << text;   // the rest of the step stays
    }
}

TEST (SettingsTextParameters, ValuesThatWouldHarmTheAudioPathAreRefused)
{
    ZorvaluneAudioProcessor p;
    load (p, "{ \"Dry Wet\": 1e999, \"In Gain\": -3.0, \"Out Gain\": 42, \"NoiseMix\": \"0.75\", "
             "\"pluginResizedW\": 100000, \"pluginResizedH\": 300, \"midi_progr_change_channel\": 99 }");

    EXPECT_EQ (p.getParameter (0), 1.0f);      // not finite: default
    EXPECT_EQ (p.getParameter (1), 0.0f);      // clamped into 0..1
    EXPECT_EQ (p.getParameter (2), 1.0f);
    EXPECT_EQ (p.getParameter (5), 0.75f);     // a number given as text is read as that number
    EXPECT_EQ (p.pluginResizedW.load(), 0);    // no editor can be that wide
    EXPECT_EQ (p.pluginResizedH.load(), 0);
    EXPECT_EQ (p.midi_progr_change_channel, 0);   // no such channel: the key's default

    p.midi_progr_change_channel = 3;
    load (p, "{ \"midi_progr_change_channel\": -2 }");
    EXPECT_EQ (p.midi_progr_change_channel, 0);
    load (p, "{ \"midi_progr_change_channel\": -1 }");
    EXPECT_EQ (p.midi_progr_change_channel, -1);   // every channel
}

TEST (SettingsTextParameters, ZeroByteEndsTheText)
{
    ZorvaluneAudioProcessor p;
    const char bytes[] = "{ \"Dry Wet\": 0.5 }\0{ garbage";
    p.setStateInformation (bytes, (int) sizeof (bytes));
    EXPECT_EQ (p.getParameter (0), 0.5f);
}

TEST (SettingsTextUserPreset, MissingKeyKeepsNameAndIndex)
{
    ZorvaluneAudioProcessor p;
    p.userPresetNames = { "Alpha", "Beta", "Zeta" };
    p.currentUserPreset = "Beta";
    p.currentUserPresetIndex = 1;

    load (p, "{ \"Dry Wet\": 0.5 }");
    EXPECT_EQ (p.currentUserPreset, "Beta");
    EXPECT_EQ (p.currentUserPresetIndex, 1);

    load (p, "{ \"currentUserPreset\": \"Zeta\" }");
    EXPECT_EQ (p.currentUserPresetIndex, 2);

    load (p, "{ \"currentUserPreset\": \"Unknown\" }");
    EXPECT_EQ (p.currentUserPreset, "Unknown");
    EXPECT_EQ (p.currentUserPresetIndex, 2);
}

TEST (SettingsTextSequencer, StepsAreWrittenOnlyWhileTheModeIsOn)
{
    ZorvaluneAudioProcessor p;
    storeSnapshot (p, 0, 0.25f);
    storeSnapshot (p, 2, 0.75f);
    p.stepSnapshots[5][parameter_table::seqStepSaved] = 0.0f;   // empty step

    p.setParameter (parameter_table::seqMode, 0.0f);
    EXPECT_FALSE (textOf (p).contains ("\"S1_"));

    p.setParameter (parameter_table::seqMode, 0.1f);
    const auto keys = keysOf (textOf (p));
    juce::StringArray stepKeys;

    for (const auto& k : keys)
        if (k.startsWith ("S") && k.containsChar ('_') && k.substring (1, 2).containsOnly ("12345678"))
            stepKeys.add (k);

    ASSERT_EQ (stepKeys.size(), 96);
    EXPECT_EQ (stepKeys[0], "S1_Dry Wet");
    EXPECT_EQ (stepKeys[47], "S1_param_47");
    EXPECT_EQ (stepKeys[48], "S3_Dry Wet");
    EXPECT_EQ (stepKeys[95], "S3_param_47");
    // Step keys stand after the MIDI keys and before the editor size.
    EXPECT_EQ (keys.indexOf ("S1_Dry Wet"), keys.indexOf ("midi_CC_receive_mode") + 1);
    EXPECT_EQ (keys[keys.size() - 2], "pluginResizedW");
}

TEST (SettingsTextSequencer, StepNumberDecidesWhichStepIsWritten)
{
    ZorvaluneAudioProcessor p;
    storeSnapshot (p, 2, 0.5f);
    p.stepSnapshots[2][parameter_table::seqStepSaved] = 2.6f;   // rounds to 3: step 3's own
    storeSnapshot (p, 1, 0.5f);
    p.stepSnapshots[1][parameter_table::seqStepSaved] = 3.0f;   // belongs elsewhere: not written

    const auto text = textOf (p);
    EXPECT_TRUE (text.contains ("\"S3_Dry Wet\""));
    EXPECT_FALSE (text.contains ("\"S2_Dry Wet\""));
}

TEST (SettingsTextSequencer, ReadingRestoresStepsAndMarks)
{
    ZorvaluneAudioProcessor p;
    p.stepStates[1][0] = 1;
    p.stepStates[3][0] = 1;
    load (p, "{ \"S2_Seq_Step_Saved\": 2, \"S2_param_47\": 1.0, \"S2_In Gain\": 0.25,"
             "  \"S4_Seq_Step_Saved\": 4, \"S4_param_47\": 0 }");

    EXPECT_EQ (p.stepSnapshots[1][0], 1.0f);    // missing key: the default of "Dry Wet"
    EXPECT_EQ (p.stepSnapshots[1][1], 0.25f);
    EXPECT_EQ (p.stepStates[1][0], 2);          // marked
    EXPECT_EQ (p.stepStates[3][0], 1);          // state word kept
    EXPECT_EQ (p.stepSnapshots[0][parameter_table::seqStepSaved], 0.0f);
}

TEST (SettingsTextSequencer, StoredStepsSurviveARoundTrip)
{
    ZorvaluneAudioProcessor a;
    storeSnapshot (a, 4, 0.125f);
    a.stepSnapshots[4][parameter_table::param47] = 1.0f;

    const auto text = textOf (a);
    ZorvaluneAudioProcessor b;
    load (b, text);

    for (int i = 0; i < 48; ++i)
        EXPECT_EQ (b.stepSnapshots[4][i], a.stepSnapshots[4][i]) << i;

    EXPECT_EQ (b.stepStates[4][0], 2);
    EXPECT_EQ (textOf (b), text);
}

TEST (SettingsTextRefresh, LoadRefreshesTheEditorOnceAndClearsModified)
{
    ZorvaluneAudioProcessor p;
    p.setParameter (0, 0.5f);
    ASSERT_EQ (p.presetModified.load(), 1);
    p.takeEditorRefreshRequest();
    const int before = p.editorRefreshRequests.load();

    load (p, "{}");
    EXPECT_EQ (p.presetModified.load(), 0);
    EXPECT_EQ (p.editorNotifyCounter.load(), 1);
    // The preset was modified already, so the parameter writes ask for no
    // refresh but the two modulation sources', which always do; the load's own
    // request comes on top. The editor collects them as one refresh.
    EXPECT_EQ (p.editorRefreshRequests.load() - before, 3);
    EXPECT_TRUE (p.takeEditorRefreshRequest());
    EXPECT_FALSE (p.takeEditorRefreshRequest());
}

//============================================================================== hostile texts
namespace
{
    // Equal values of equal types, compared deeply (doubles bit for bit).
    bool sameVar (const juce::var& a, const juce::var& b)
    {
        if (a.isDouble() || b.isDouble())
        {
            const double x = a, y = b;
            return a.isDouble() && b.isDouble() && std::memcmp (&x, &y, sizeof (double)) == 0;
        }

        if (a.isArray() || b.isArray())
        {
            if (! (a.isArray() && b.isArray()) || a.size() != b.size())
                return false;

            for (int i = 0; i < a.size(); ++i)
                if (! sameVar (a[i], b[i]))
                    return false;

            return true;
        }

        if (a.isObject() || b.isObject())
        {
            auto* x = a.getDynamicObject();
            auto* y = b.getDynamicObject();

            if (x == nullptr || y == nullptr || x->getProperties().size() != y->getProperties().size())
                return false;

            for (int i = 0; i < x->getProperties().size(); ++i)
                if (x->getProperties().getName (i) != y->getProperties().getName (i)
                     || ! sameVar (x->getProperties().getValueAt (i), y->getProperties().getValueAt (i)))
                    return false;

            return true;
        }

        return a.isInt() == b.isInt() && a.isInt64() == b.isInt64() && a.isBool() == b.isBool()
            && a.isString() == b.isString() && a.isVoid() == b.isVoid() && a == b;
    }

    juce::String nested (int levels)
    {
        return "{\"Dry Wet\": " + juce::String::repeatedString ("[", levels - 1) + "0.5"
             + juce::String::repeatedString ("]", levels - 1) + "}";
    }
}

TEST (SettingsTextHostile, ValidTextsReadAsTheFrameworkReadsThem)
{
    ZorvaluneAudioProcessor p;
    p.setCurrentProgram (5);
    p.setParameter (parameter_table::seqMode, 0.2f);
    storeSnapshot (p, 3, 0.3f);
    p.currentUserPreset = juce::String::fromUTF8 ("K\xc3\xa4se \xf0\x9f\x8e\xb9 \"q\" \\ \t");

    for (const auto& text : { textOf (p),
                              juce::String ("{'a' : 'b\\u00e9\\q', \"x\":- 5, \"y\": [1, [2.5e-3, {}], ], \"x\": 01,}tail"),
                              juce::String ("{\"i\": 2147483647, \"j\": -2147483648, \"k\": 9223372036854775807, \"t\": true, "
                                            "\"n\": null, \"d\": 1.e2, \"e\": 0.12345678901234567890123, \"f\": 123456789012345678e-5}") })
        EXPECT_TRUE (sameVar (settings_text::parse (text), juce::JSON::parse (text))) << text;
}

TEST (SettingsTextHostile, TooDeepOrTooLongReadsAsNoText)
{
    // Deep enough to overflow the stack of a reader without a limit.
    ZorvaluneAudioProcessor p;
    p.side_chan_mod1 = 5;
    load (p, nested (60001));
    EXPECT_EQ (p.getParameter (parameter_table::dryWet), 1.0f);
    EXPECT_EQ (p.side_chan_mod1.load(), 0);   // defaults, as for any text that does not parse

    EXPECT_TRUE (settings_text::parse (nested (settings_text::maxNesting)).isObject());
    EXPECT_FALSE (settings_text::parse (nested (settings_text::maxNesting + 1)).isObject());

    const juce::String shortText ("{\"Dry Wet\": 0.5}");
    const auto padding = (int) (settings_text::maxTextBytes - (size_t) shortText.length());
    EXPECT_TRUE (settings_text::parse (juce::String::repeatedString (" ", padding) + shortText).isObject());
    EXPECT_FALSE (settings_text::parse (juce::String::repeatedString (" ", padding + 1) + shortText).isObject());
}

TEST (SettingsTextHostile, ValuesThatAreNoFiniteNumberReadAsTheDefault)
{
    using namespace parameter_table;
    ZorvaluneAudioProcessor p;

    // Finite numbers beyond every integer type keep the clamping.
    load (p, "{\"Crush_On\": -9223372036854775809, \"Tape_On\": 99999999999999999999999, \"Dry Wet\": -1e400000}");
    EXPECT_EQ (p.getParameter (crushOn), 0.0f);
    EXPECT_EQ (p.getParameter (tapeOn), 1.0f);
    EXPECT_EQ (p.getParameter (dryWet), 1.0f);   // -inf: not finite

    for (const char* value : { "1e6656732550", "-1e99999999999999999999", "[]", "{}", "\"abc\"", "\"0.5x\"", "true", "null" })
    {
        p.setParameter (dryWet, 0.25f);
        load (p, juce::String ("{\"Dry Wet\": ") + value + "}");
        EXPECT_EQ (p.getParameter (dryWet), 1.0f) << value;
    }

    load (p, "{\"Dry Wet\": 1e-6656732550, \"In Gain\": \" 0.25 \"}");
    EXPECT_EQ (p.getParameter (dryWet), 0.0f);    // vanishingly small is finite
    EXPECT_EQ (p.getParameter (inGain), 0.25f);

    // Broken UTF-8 at the very end (a character cut short that decodes to a
    // tab) reads as far as it goes.
    const char broken[] = "{\"Dry Wet\": 0.5}\xe0\x89";
    p.setStateInformation (broken, (int) sizeof (broken) - 1);
    EXPECT_EQ (p.getParameter (dryWet), 0.5f);
    const char brokenInside[] = "{\"Dry Wet\": 0.25 \xe0\x89";
    p.setStateInformation (brokenInside, (int) sizeof (brokenInside) - 1);
    EXPECT_EQ (p.getParameter (dryWet), 1.0f);

    // Cut short right after a sign, inside an escape or a string: no text.
    for (const char* text : { "{\"Dry Wet\": 0.5, \"In Gain\": -", "{\"Dry Wet\": 0.5, \"a\": \"\\u12", "{\"Dry Wet\": 0.5, \"a\": \"\\" })
    {
        p.setParameter (dryWet, 0.25f);
        load (p, text);
        EXPECT_EQ (p.getParameter (dryWet), 1.0f) << text;
    }
}
