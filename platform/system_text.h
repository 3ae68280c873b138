#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <string>

// Bytes from the system (the environment, directory entries, link targets,
// stored settings) become text only through here. The framework decodes
// whatever it is given as UTF-8: it misreads bytes that are not, and its copy
// of them can overrun the block it made for them. A path or name that is not
// valid UTF-8 cannot be held faithfully, so it is not used at all.
namespace platform::system_text
{
    // True when the bytes are well-formed UTF-8 without a NUL: shortest forms
    // only, no surrogates, nothing above U+10FFFF.
    bool isValidUTF8 (const char* bytes, size_t length);

    // The bytes as text; none when they are not valid UTF-8.
    std::optional<juce::String> decode (const char* bytes, size_t length);
    std::optional<juce::String> decode (const std::string& bytes);

    // For reading around a broken part: the bytes as text, each byte that is
    // not part of a well-formed character read as U+FFFD (replacementCharacter).
    juce::String decodeMarkingBroken (const char* bytes, size_t length);
    constexpr juce::juce_wchar replacementCharacter = 0xFFFD;

    // An environment variable's bytes; none when it is unset.
    std::optional<std::string> environment (const char* name);

    // The file or folder at an absolute path given as bytes ("~" standing for
    // the home folder); none for a relative or empty one, and none for one
    // that is not valid UTF-8, which the system log reports once per path,
    // naming `source` (where the path came from).
    std::optional<juce::File> fileAt (const std::string& bytes, const char* source);

    // $HOME, or the user database's entry when it is unset.
    std::optional<juce::File> homeFolder();

    // The file this code was loaded from (the plug-in's library, or the
    // program), links resolved; none when its path is not valid UTF-8.
    std::optional<juce::File> loadedFile();

    // Writes a line to the system log unless it was written before: what is
    // wrong with a path is said once, not at every use.
    void reportOnce (const std::string& line);

    // The bytes as a log line may show them: anything outside printable
    // ASCII as \xNN.
    std::string printable (const std::string& bytes);
}
