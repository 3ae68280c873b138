#pragma once

// The names of the MIDI preferences, as the preferences file holds them: the
// standalone program starts from them, the advanced page and plug-in states
// store them.
namespace preference_keys
{
    inline constexpr const char* midiProgramChangeMode = "kAppPrefMidiProgChangeMode";
    inline constexpr const char* midiChannel           = "kAppPrefMidiChannel";
    inline constexpr const char* midiControlChangeMode = "kAppPrefMidiCCReceiveMode";
}
