// What a synced change costs the message thread: a cloud folder of 10,000
// presets watched by 1 or 8 instances, one document rewritten (its names stay)
// or added and removed again (its names change).
//
//   The time reported per iteration is the message thread's CPU time for one
//   change, over a window long enough for the folder watch to see it (it
//   looks every 500 ms), less the same window with no change. The counter
//   "per_instance_ms" divides it by the instances; the goal is 3 ms or less.

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "engine/PluginProcessor.h"
#include "platform/cloud_documents.h"
#include "platform/system_log.h"
#include "tests/message_pump.h"

#include <ctime>
#include <memory>
#include <vector>

namespace
{
    constexpr int documents = 10000;
    constexpr int windowMs = 700;

    double threadCpuSeconds()
    {
        timespec t {};
        clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
        return (double) t.tv_sec + (double) t.tv_nsec * 1.0e-9;
    }

    // The message thread's CPU time while it runs what is posted for `ms`.
    double messageThreadSecondsOver (int ms)
    {
        const auto start = threadCpuSeconds();
        test_support::pumpMessagesFor (ms);
        return threadCpuSeconds() - start;
    }

    void syncedChange (benchmark::State& state, bool namesChange)
    {
        const int instances = (int) state.range (0);
        const auto root = juce::File::createTempFile ("zorvalune-cloud-bench");
        const auto cloud = root.getChildFile ("cloud");
        cloud.createDirectory();
        setenv ("XDG_CONFIG_HOME", root.getFullPathName().toRawUTF8(), 1);
        platform::system_log::setSinkForTesting ([] (const std::string&) {});

        for (int i = 0; i < documents; ++i)
            cloud.getChildFile ("preset " + juce::String (i) + ".json").replaceWithText ("{}");

        platform::cloud_documents::setDocumentsFolder (cloud);
        std::vector<std::unique_ptr<ZorvaluneAudioProcessor>> watching;

        for (int i = 0; i < instances; ++i)
            watching.push_back (std::make_unique<ZorvaluneAudioProcessor>());

        test_support::pumpMessagesFor (2 * windowMs);   // the first report reaches every instance
        const auto rewritten = cloud.getChildFile ("preset 0.json");
        const auto added = cloud.getChildFile ("added.json");
        int change = 0;
        double total = 0.0;

        for (auto _ : state)
        {
            if (namesChange)
                change % 2 == 0 ? (void) added.replaceWithText ("{}") : (void) added.deleteFile();
            else
                rewritten.replaceWithText (juce::String::repeatedString (" ", 1 + change % 2) + "{}");   // another size: seen at once

            ++change;
            const auto changed = messageThreadSecondsOver (windowMs);
            const auto idle = messageThreadSecondsOver (windowMs);
            const auto cost = juce::jmax (0.0, changed - idle);
            total += cost;
            state.SetIterationTime (cost);
        }

        state.counters["per_instance_ms"] = total * 1000.0 / (double) state.iterations() / instances;
        if (watching.front()->userPresetNames.size() < (size_t) documents)
            state.SkipWithError ("the instances did not list the folder");

        watching.clear();
        platform::cloud_documents::setDocumentsFolder ({});
        platform::system_log::setSinkForTesting ({});
        root.deleteRecursively();
    }
}

BENCHMARK_CAPTURE (syncedChange, rewritten, false)->Arg (1)->Arg (8)->Iterations (8)->UseManualTime()->Unit (benchmark::kMillisecond);
BENCHMARK_CAPTURE (syncedChange, added_or_removed, true)->Arg (1)->Arg (8)->Iterations (8)->UseManualTime()->Unit (benchmark::kMillisecond);
