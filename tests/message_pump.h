#pragma once

#include <juce_events/juce_events.h>

namespace juce { bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages); }

namespace test_support
{
    // Runs every message already posted to this (the message) thread, as the
    // host's event loop would between two calls into the plug-in.
    inline void pumpMessages (int maxMessages = 10000)
    {
        for (int i = 0; i < maxMessages && juce::dispatchNextMessageOnSystemQueue (true); ++i)
        {}
    }
}
