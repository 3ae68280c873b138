#pragma once

#include "message_thread_timer.h"

#include <array>
#include <atomic>
#include <functional>

// Work that the audio thread (or any thread other than the message thread)
// hands to the message thread. Posting only bumps an atomic counter: it never
// allocates, locks or waits. A timer on the message thread collects the
// counters and runs the handler once per request, in the order of the kinds.
//
// The owner keeps this as a member and stops it before anything the handler
// touches is gone (stop() waits for a collection under way).
class audio_thread_requests
{
public:
    enum kind { lateStep, designSets, startWatchdog, enableMidi, numKinds };

    using handler = std::function<void (kind)>;

    // Message thread (or the owner's constructor).
    explicit audio_thread_requests (handler h, int intervalMs = 10) : onRequest (std::move (h))
    {
        timer.start (intervalMs);
    }

    // Any thread: no collection starts afterwards.
    void stop() { timer.stop(); }

    // Any thread.
    void post (kind k) noexcept { counts[(size_t) k].fetch_add (1, std::memory_order_release); }


    // Message thread: runs every request posted so far.
    void collect()
    {
        for (size_t k = 0; k < counts.size(); ++k)
            for (int n = counts[k].exchange (0, std::memory_order_acq_rel); n > 0; --n)
                onRequest ((kind) k);
    }

private:
    handler onRequest;
    std::array<std::atomic<int>, numKinds> counts {};
    message_thread_timer timer { [this] { collect(); } };
};
