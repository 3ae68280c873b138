#pragma once

#include "message_thread_timer.h"

#include <array>
#include <atomic>

// Diagnostic lines of the audio thread. Writing a log or standard output from
// there could block, so the audio thread only drops a fixed-size record into a
// preallocated single-producer queue; the message thread writes the lines
// every half second (and whenever flush() is called). A line that repeats
// block after block is written once per flush.
class audio_thread_log
{
public:
    enum class line
    {
        blockSizeChanged,      // new size, old size, modulation source 1
        channelsClamped,       // stored main channels, stored total channels
        channelsChanged,       // main channels, total channels, output channels
        tapeIndexBelowZero,    // index, line size
        tapeIndexBeyondEnd,    // index, line size, index step, delay length; LFO rate
        sideChainEntryTooShort,
        // The same notes from the bypassed path, which words them a little differently.
        bypassBlockSizeChanged,   // new size, old size, modulation source 1
        bypassChannelsClamped,    // stored main channels, stored total channels
        bypassChannelsChanged     // main channels, total channels, output channels
    };

    struct record
    {
        line kind = line::blockSizeChanged;
        int a = 0, b = 0, c = 0, d = 0;
        float f = 0.0f;

        bool operator== (const record& o) const noexcept
        {
            return kind == o.kind && a == o.a && b == o.b && c == o.c && d == o.d && f == o.f;
        }
    };

    // Message thread (or the owner's constructor); stopping from any thread.
    void startFlushing() { timer.start (500); }
    void stopFlushing() { timer.stop(); }

    // Audio thread only (one producer). Never blocks, never allocates; a record
    // that finds the queue full is dropped.
    void post (const record& r) noexcept;

    // Message thread: writes every record posted so far.
    void flush();

private:
    static void write (const record& r);

    static constexpr unsigned capacity = 64;
    std::array<record, capacity> records;
    std::atomic<unsigned> written { 0 }, read { 0 };
    message_thread_timer timer { [this] { flush(); } };
};
