#pragma once

#include <juce_events/juce_events.h>

#include <chrono>
#include <thread>

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

    // Keeps pumping for the given time, letting timers and async work run.
    inline void pumpMessagesFor (int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

        do
        {
            pumpMessages();
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
        while (std::chrono::steady_clock::now() < end);
    }

    // Pumps until `done` holds or the time is up; returns `done`.
    template <typename Condition>
    bool pumpMessagesUntil (Condition&& done, int milliseconds = 3000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

        while (! done() && std::chrono::steady_clock::now() < end)
            pumpMessagesFor (5);

        return done();
    }
}
