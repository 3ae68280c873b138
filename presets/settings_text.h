#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <optional>

namespace settings_text
{
    // The longest text we read. The longest we write is about 25 KB (440 keys
    // and a preset name of 255 escaped characters); ten times that leaves room
    // for hand-formatted files, while a hostile text of that size, one of
    // distinct keys (whose insertion costs grow with the square of their
    // number), still reads in about a tenth of a second.
    constexpr std::size_t maxTextBytes = 256 * 1024;

    // The deepest nesting we read. Our text is one object of plain values; a
    // few levels more leave room for a future layout, and the reader, which
    // recurses once per level, stays far from the end of any thread's stack.
    constexpr int maxNesting = 16;

    // The one door for settings text that comes from outside (host state,
    // preset files): the parsed object, or a void var when the text does not
    // read as a settings object (an array or any other value at the top is
    // none). The bytes end at the given count or at the first zero byte. A
    // text that is longer or nested deeper than any settings text can be does
    // not read either.
    juce::var parse (const void* data, std::size_t numBytes);
    juce::var parse (const juce::String& text);

    // A value of a parsed text as a number: a JSON number, or a text that
    // holds nothing but one. Anything else, and a number that is not finite,
    // gives none.
    std::optional<double> finiteNumber (const juce::var& value);
}
