#pragma once

#include "message_thread_timer.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <mutex>

// The delay the listener gets, on its way from the audio thread to the host.
// After a change that the host, the editor, MIDI or a preset asked for, the
// audio thread measures it every block and marks it settled once it has
// held still for a while; a timer on the message thread reports a settled
// value that differs from the one reported last. So the host hears of it
// never inside one of its own calls (a state load), and once per settling
// rather than every block of a knob gesture; never of what moves the delay
// without being asked (the wobble itself, a transport start, the sequencer, a
// modulation source): a host realigns only while stopped, and a transport
// start puts the tape back to the delay told. A host that reads the delay on
// the audio thread hears of it from there, at the start of a block.
class latency_report
{
public:
    using reporter = std::function<void (int)>;

    // Message thread (or the owner's constructor).
    explicit latency_report (reporter r, int intervalMs = 10) : report (std::move (r))
    {
        timer.start (intervalMs);
    }

    // No report from now on (the owner is going away); waits for one under way.
    void stop() { timer.stop(); }

    // Message thread, while no block runs (prepareToPlay): `delay` is what the
    // host is told now; measuring starts afresh.
    void restart (int delay) noexcept
    {
        armed = false;
        measured = -1;
        steadySamples = 0;
        settled.store (-1, std::memory_order_relaxed);
        reported.store (delay, std::memory_order_relaxed);
    }

    // Any thread: a setting that may move the delay was changed by the host,
    // the editor, MIDI or a preset; the next settled delay is worth telling.
    void ask() noexcept { asked.fetch_add (1, std::memory_order_relaxed); }

    // Audio thread, once per block: the delay of the block's last sample, and
    // whether something is still on its way to moving it. Only after an ask;
    // a settled delay answers it.
    void measure (int delay, int numSamples, int settleSamples, bool moving) noexcept
    {
        if (const unsigned a = asked.load (std::memory_order_relaxed); a != seenAsks)
        {
            seenAsks = a;
            armed = true;
            measured = -1;
        }

        if (! armed)
            return;

        if (moving || delay != measured)
        {
            measured = delay;
            steadySamples = 0;
            return;
        }

        steadySamples = juce::jmin (steadySamples + numSamples, settleSamples);

        if (steadySamples < settleSamples)
            return;

        armed = false;

        if (settled.load (std::memory_order_relaxed) != delay)
            settled.store (delay, std::memory_order_relaxed);
    }

    // The owner's constructor or prepareToPlay, on whatever thread the host
    // calls it, while no block runs: restarts with `delay` and tells the host
    // now, or at the timer's next tick while a report is under way on another
    // thread (the framework keeps the value unguarded, so reports never overlap).
    void tell (int delay)
    {
        restart (delay);
        const std::unique_lock<std::recursive_mutex> hold (telling, std::try_to_lock);

        if (hold.owns_lock())
            report (delay);
        else
            owed.store (true);
    }

    // Any thread: the delay the host was told last.
    int current() const noexcept { return reported.load (std::memory_order_relaxed); }

    // The owner's constructor, where its host reads the delay on the audio
    // thread: the audio thread collects it there (below), the timer never.
    void collectOnAudioThread() noexcept { timerCollects.store (false); }

    // Message thread: reports a settled delay now rather than at the next tick.
    void collect() { collect (report); }

    // The same through `reportNow`, on the audio thread where the host reads
    // the delay there (it neither waits nor allocates).
    template <typename Report>
    void collect (Report&& reportNow)
    {
        const std::unique_lock<std::recursive_mutex> hold (telling, std::try_to_lock);

        if (! hold.owns_lock())
            return;   // another thread is telling the host: next time

        const bool owing = owed.exchange (false);
        const int delay = settled.load (std::memory_order_relaxed);

        if (delay >= 0 && delay != reported.load (std::memory_order_relaxed))
        {
            reported.store (delay, std::memory_order_relaxed);
            reportNow (delay);
        }
        else if (owing)
        {
            reportNow (reported.load (std::memory_order_relaxed));
        }
    }

private:
    reporter report;
    std::atomic<bool> timerCollects { true };
    std::atomic<int> settled { -1 }, reported { 0 };
    // Held while the host is told; the host may prepare us again from inside.
    std::recursive_mutex telling;
    std::atomic<bool> owed { false };
    std::atomic<unsigned> asked { 0 };

    // Audio thread only.
    unsigned seenAsks = 0;
    bool armed = false;   // asked, and not yet settled
    int measured = -1;    // where the delay stood when it last moved
    int steadySamples = 0;

    message_thread_timer timer { [this] { if (timerCollects.load()) collect(); } };
};
