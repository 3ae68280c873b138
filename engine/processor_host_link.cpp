#include "PluginProcessor.h"

#include <condition_variable>

// What the host hears of us besides the audio (values, gestures, program
// changes, the delay), and from which thread. Each format's client keeps what
// it tells the host in storage that only some threads may touch:
// - VST3: the controller's values belong to the host's thread. The client
//   writes them, and tells the host, for changes reported on the message
//   thread; changes reported elsewhere reach the host through the audio thread.
// - LV2: the client keeps values, gestures and the delay in storage that its
//   audio thread reads, and writes when the host sets a value, unguarded. All
//   of them go from the audio thread.

namespace
{
    constexpr std::uint64_t bitOf (int index) noexcept { return std::uint64_t { 1 } << index; }
    constexpr std::uint64_t allParameters = bitOf (ZorvaluneAudioProcessor::NUM_PARAMETERS) - 1;
}

// Our own setParameter never tells the host, so after a program change or a
// restore the host's generic view would show stale values; send it the new ones.
void ZorvaluneAudioProcessor::tellHostAllParameterValues()
{
    if (wrapperType == wrapperType_LV2)
    {
        hostValuesOwed.store (allParameters);
        return;
    }

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        sendParamChangeMessageToListeners (i, parameterValues[(size_t) i].load());
}

void ZorvaluneAudioProcessor::tellHostOfEdit (int index, float normalised)
{
    if (wrapperType != wrapperType_LV2)
    {
        setParameterNotifyingHost (index, normalised);
        return;
    }

    setParameter (index, normalised);

    if ((unsigned) index < (unsigned) NUM_PARAMETERS)
        hostValuesOwed.fetch_or (bitOf (index));
}

void ZorvaluneAudioProcessor::tellHostOfGesture (int index, bool starting)
{
    if (wrapperType != wrapperType_LV2)
    {
        if (starting)
            beginParameterChangeGesture (index);
        else
            endParameterChangeGesture (index);

        return;
    }

    if ((unsigned) index < (unsigned) NUM_PARAMETERS)
        (starting ? hostGesturesBegun : hostGesturesEnded).fetch_or (bitOf (index));
}

// Audio thread, first thing in a block: what is owed to an LV2 host, a drag's
// start before its values and its end after them.
void ZorvaluneAudioProcessor::tellHostOnAudioThread()
{
    if (wrapperType != wrapperType_LV2)
        return;

    const auto forEachOwed = [] (std::atomic<std::uint64_t>& owed, auto&& tell)
    {
        if (owed.load (std::memory_order_relaxed) == 0)
            return;

        const auto bits = owed.exchange (0);

        for (int i = 0; i < NUM_PARAMETERS; ++i)
            if ((bits & bitOf (i)) != 0)
                tell (i);
    };

    forEachOwed (hostGesturesBegun, [this] (int i) { beginParameterChangeGesture (i); });
    forEachOwed (hostValuesOwed, [this] (int i) { sendParamChangeMessageToListeners (i, parameterValues[(size_t) i].load()); });
    forEachOwed (hostGesturesEnded, [this] (int i) { endParameterChangeGesture (i); });
    latencyReport.collect ([this] (int delay) { setLatencySamples (delay); });
}

//============================================================================== program changes
// A VST3 host re-reads every value from the wrapper's controller when told of
// a program change, and sends what it read back to us: the controller must
// have the new values by then.
void ZorvaluneAudioProcessor::tellHostOfProgramChange()
{
    const auto tellEverything = [] (ZorvaluneAudioProcessor& p)
    {
        p.tellHostAllParameterValues();
        p.updateHostDisplay (ChangeDetails().withProgramChanged (true));
    };

    if (wrapperType == wrapperType_LV2)
        tellHostAllParameterValues();   // the client has no way to report a program change
    else if (constructing || isMessageThread())
        tellEverything (*this);
    else if (wrapperType == wrapperType_VST3)
        tellVst3HostWhileThisThreadWaits();
    else
        postToMessageThread (tellEverything);
}

// Off the message thread, a VST3 host changes the program from its own thread,
// through the controller, and goes on using the controller from that thread
// afterwards. Until the host lends the framework its event loop (it does for an
// open editor) the message thread is one of the framework's own: the two would
// write the controller's values at once. So this thread waits while the
// message thread tells the host the values. The host set the program itself
// and is not told of it again. Should the message thread not take the task up
// in time (busy elsewhere, or held by this thread), the values go to the host
// through the audio thread instead.
void ZorvaluneAudioProcessor::tellVst3HostWhileThisThreadWaits()
{
    struct handover
    {
        std::mutex lock;
        std::condition_variable changed;
        enum { waiting, telling, told, abandoned } state = waiting;
    };

    const auto h = std::make_shared<handover>();
    const std::weak_ptr<AliveToken> weak = aliveToken;

    const bool posted = ! messageThreadIsStill() && juce::MessageManager::callAsync ([h, weak]
    {
        {
            const std::lock_guard<std::mutex> hold (h->lock);

            if (h->state != handover::waiting)
                return;

            h->state = handover::telling;
        }

        whileAlive (weak, [] (ZorvaluneAudioProcessor& p) { p.tellHostAllParameterValues(); });

        {
            const std::lock_guard<std::mutex> hold (h->lock);
            h->state = handover::told;
        }

        h->changed.notify_all();
    });

    std::unique_lock<std::mutex> hold (h->lock);

    if (posted && h->changed.wait_for (hold, std::chrono::milliseconds (500), [&h] { return h->state != handover::waiting; }))
    {
        h->changed.wait (hold, [&h] { return h->state == handover::told; });
        return;
    }

    h->state = handover::abandoned;
    hold.unlock();
    tellHostAllParameterValues();
}
