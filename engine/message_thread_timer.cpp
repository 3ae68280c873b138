#include "message_thread_timer.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

struct message_thread_timer::entry
{
    explicit entry (std::function<void()> c) : callback (std::move (c)) {}

    std::recursive_mutex lock;   // held while the callback runs
    const std::function<void()> callback;
    std::atomic<int> intervalMs { 0 };   // 0: stopped
    juce::uint32 due = 0;                // under the lock

    // Message thread.
    void tickIfDue (juce::uint32 now)
    {
        const std::lock_guard<std::recursive_mutex> hold (lock);
        const int interval = intervalMs.load();

        if (interval <= 0 || (juce::int32) (now - due) < 0)
            return;

        due = now + (juce::uint32) interval;
        callback();
    }
};

// The one framework timer, which lives as long as the library. It stops
// whenever none of ours runs, so it is not about to be called when the library
// goes (no instance is left then).
class message_thread_timer::driver final : private juce::Timer
{
public:
    static driver& get()
    {
        static driver instance;
        return instance;
    }

    void add (const std::shared_ptr<entry>& e)
    {
        const std::lock_guard<std::mutex> hold (lock);

        if (std::find (entries.begin(), entries.end(), e) == entries.end())
            entries.push_back (e);

        if (! running)
            startTimer (resolutionMs);

        running = true;
    }

    void remove (const entry* e)
    {
        const std::lock_guard<std::mutex> hold (lock);
        entries.erase (std::remove_if (entries.begin(), entries.end(), [e] (const auto& p) { return p.get() == e; }),
                       entries.end());

        if (running && entries.empty())
            stopTimer();

        running = ! entries.empty();
    }

private:
    driver() = default;
    ~driver() override { stopTimer(); }

    // The entries' callbacks may start and stop timers: they run outside the list's lock.
    void timerCallback() override
    {
        {
            const std::lock_guard<std::mutex> hold (lock);
            due.assign (entries.begin(), entries.end());
        }

        const auto now = juce::Time::getMillisecondCounter();

        for (auto& e : due)
            e->tickIfDue (now);

        due.clear();
    }

    std::mutex lock;
    std::vector<std::shared_ptr<entry>> entries;   // under the lock, as is `running`
    bool running = false;
    std::vector<std::shared_ptr<entry>> due;       // message thread only
};

message_thread_timer::message_thread_timer (std::function<void()> callback)
    : shared (std::make_shared<entry> (std::move (callback)))
{
}

message_thread_timer::~message_thread_timer() { stop(); }

void message_thread_timer::start (int intervalMs)
{
    {
        const std::lock_guard<std::recursive_mutex> hold (shared->lock);
        shared->due = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (1, intervalMs);
        shared->intervalMs = juce::jmax (1, intervalMs);
    }

    driver::get().add (shared);
}

void message_thread_timer::stop()
{
    {
        const std::lock_guard<std::recursive_mutex> hold (shared->lock);
        shared->intervalMs = 0;
    }

    driver::get().remove (shared.get());
}

bool message_thread_timer::isRunning() const noexcept { return getInterval() > 0; }
int message_thread_timer::getInterval() const noexcept { return shared->intervalMs.load(); }
