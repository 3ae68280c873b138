#pragma once

#include <juce_core/juce_core.h>

#include <mutex>
#include <ostream>
#include <utility>

// A text that the message thread writes and a host may copy from any other
// thread (a state save): each read or write is one copy under a short lock
// that the audio thread never takes.
class shared_text
{
public:
    shared_text() = default;
    shared_text (const shared_text&) = delete;
    shared_text& operator= (const shared_text&) = delete;

    shared_text& operator= (const juce::String& text)
    {
        juce::String previous (text);

        {
            const std::lock_guard<std::mutex> hold (lock);
            std::swap (value, previous);
        }

        return *this;   // the old text is released outside the lock
    }

    juce::String get() const
    {
        const std::lock_guard<std::mutex> hold (lock);
        return value;
    }

    operator juce::String() const { return get(); }

    friend bool operator== (const shared_text& a, const juce::String& b) { return a.get() == b; }
    friend bool operator== (const juce::String& a, const shared_text& b) { return a == b.get(); }
    friend bool operator!= (const shared_text& a, const juce::String& b) { return a.get() != b; }
    friend std::ostream& operator<< (std::ostream& out, const shared_text& t) { return out << t.get(); }

private:
    mutable std::mutex lock;
    juce::String value;
};
