#pragma once

#include <functional>
#include <memory>

// A periodic callback on the message thread that any thread may stop, and then
// delete, at any moment. The framework's own timers may be deleted only where
// the message thread is still: it takes a due timer from its list and calls it
// after letting go of the list's lock, so one stopped and deleted meanwhile on
// another thread is called all the same. Here each callback runs under its
// timer's own lock, which stop() takes as well: stop() waits for a callback
// under way, and none starts afterwards. One framework timer that lives as
// long as the library drives them all every `resolutionMs`.
class message_thread_timer
{
public:
    static constexpr int resolutionMs = 10;

    explicit message_thread_timer (std::function<void()> callback);
    ~message_thread_timer();   // stops

    // Any thread but the audio thread (it may allocate, and wait for a callback
    // under way): the callback runs every `intervalMs` from now on, in steps of
    // resolutionMs.
    void start (int intervalMs);

    // Any thread, also from within the callback. Once it returns, the callback
    // is not running (unless this is the thread running it) and never runs
    // again until started.
    void stop();

    bool isRunning() const noexcept;
    int getInterval() const noexcept;   // 0 while stopped

private:
    struct entry;
    class driver;
    std::shared_ptr<entry> shared;

    message_thread_timer (const message_thread_timer&) = delete;
    message_thread_timer& operator= (const message_thread_timer&) = delete;
};
