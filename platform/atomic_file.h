#pragma once

#include <juce_core/juce_core.h>

namespace platform::atomic_file
{
    // Replaces `target` with `size` bytes so that a reader sees either the old
    // file whole or the new one whole: the bytes go to a hidden temporary file
    // in the same folder, are flushed to disk and read back, and only then
    // renamed over the target. False (target untouched, temporary removed)
    // when any step fails; the target's folder must exist.
    bool replace (const juce::File& target, const void* data, size_t size);
}
