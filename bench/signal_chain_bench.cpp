// Measures processBlock with every section of the chain on, and the bypassed
// path on the same buffers, as real-time factors: seconds of audio processed
// per second of CPU on one thread.
//
//   typical: stereo, 48 kHz, 512-sample blocks
//   worst:   24 channels, 96 kHz, 64-sample blocks
//   floor:   the bypassed path with each of those

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "engine/PluginProcessor.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace parameter_table;

namespace
{
    struct setting { double rate; int block; int channels; };

    const std::map<std::string, setting> settings {
        { "typical", { 48000.0, 512, 2 } },
        { "worst",   { 96000.0, 64, 24 } },
    };

    std::unique_ptr<ZorvaluneAudioProcessor> makeProcessor (const setting& s)
    {
        auto p = std::make_unique<ZorvaluneAudioProcessor>();
        auto layout = p->getBusesLayout();
        layout.inputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (s.channels);
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (s.channels);
        layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();
        p->setBusesLayout (layout);
        p->setRateAndBufferSizeDetails (s.rate, s.block);
        p->prepareToPlay (s.rate, s.block);

        // Every section on.
        const std::pair<int, float> values[] = {
            { inGain, 0.55f },
            { inFiltersOn, 1.0f }, { srReduc, 0.03f },
            { noiseOn, 1.0f }, { noiseThreshold, 0.0f }, { rmsTime, 1.0f },          // longest RMS window
            { noiseFilterType, 0.0f }, { noiseFilterQ, 0.3f }, { noiseLowcutOn, 1.0f }, // band-pass and low-cut
            { crushOn, 1.0f }, { saturation, 0.3f }, { nrBits, 0.5f }, { clipGain, 0.4f },
            { tapeOn, 1.0f }, { tapeFreqDelta, 1.0f }, { tapeRotation, 0.0f },      // longest delay
            { mod1Src, 0.0f }, { mod1Dest, 0.05f }, { mod1Depth, 0.4f },             // sine LFO -> tape rotation
            { mod2Src, 0.01f }, { mod2Dest, 0.07f }, { mod2Depth, 0.8f },            // square LFO -> saturation
            { dryWet, 0.5f },
        };

        for (const auto& [index, value] : values)
            p->setParameter (index, value);

        // ZORVALUNE_BENCH_OFF="16,4" switches the given parameters to 0 (finding where time goes).
        if (const char* off = std::getenv ("ZORVALUNE_BENCH_OFF"))
            for (const auto& index : juce::StringArray::fromTokens (off, ",", ""))
                p->setParameter (index.getIntValue(), 0.0f);

        return p;
    }

    juce::AudioBuffer<float> makeInput (const setting& s)
    {
        juce::Random random (1);
        juce::AudioBuffer<float> in (s.channels, s.block);

        for (int c = 0; c < s.channels; ++c)
            for (int i = 0; i < s.block; ++i)
                in.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * 0.5f);

        return in;
    }

    // Cutoffs move every block, so the coefficient ramps always run.
    void moveCutoffs (ZorvaluneAudioProcessor& p, int blockIndex)
    {
        const float shift = (blockIndex & 1) != 0 ? 0.001f : 0.0f;
        p.setParameter (inHighPassFreq, 0.005f + shift);
        p.setParameter (inLowPassFreq, 0.5f + shift);
        p.setParameter (noiseFilterFreq, 0.2f + shift);
        p.setParameter (pitchLowPassFreq, 0.4f + shift);
    }

    void run (benchmark::State& state, const std::string& name, bool bypassed)
    {
        const auto& s = settings.at (name);
        auto p = makeProcessor (s);
        const auto source = makeInput (s);
        juce::AudioBuffer<float> buffer (s.channels, s.block);
        juce::MidiBuffer midi;

        // Past the start-up glides before measuring.
        for (int i = 0; i < (int) (s.rate / s.block); ++i)
        {
            buffer.makeCopyOf (source, true);
            p->processBlock (buffer, midi);
        }

        int blockIndex = 0;

        for (auto _ : state)
        {
            for (int c = 0; c < s.channels; ++c)
                buffer.copyFrom (c, 0, source, c, 0, s.block);

            if (bypassed)
            {
                p->processBlockBypassed (buffer, midi);
            }
            else
            {
                moveCutoffs (*p, blockIndex++);
                p->processBlock (buffer, midi);
            }

            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        state.counters["rt_factor"] = benchmark::Counter ((double) s.block / s.rate,
                                                          benchmark::Counter::kIsIterationInvariantRate);
    }

    // Prints the real-time factors again as a short table at the end.
    class summary_reporter : public benchmark::ConsoleReporter
    {
    public:
        void ReportRuns (const std::vector<Run>& runs) override
        {
            ConsoleReporter::ReportRuns (runs);

            for (const auto& r : runs)
                if (const auto it = r.counters.find ("rt_factor"); it != r.counters.end())
                    factors.emplace_back (r.benchmark_name(), it->second.value);
        }

        void Finalize() override
        {
            ConsoleReporter::Finalize();
            std::printf ("\nReal-time factors (seconds of audio per CPU second, one thread):\n");

            for (const auto& [name, factor] : factors)
                std::printf ("  %-28s %10.1f x\n", name.c_str(), factor);
        }

    private:
        std::vector<std::pair<std::string, double>> factors;
    };
}

BENCHMARK_CAPTURE (run, typical, std::string ("typical"), false);
BENCHMARK_CAPTURE (run, worst, std::string ("worst"), false);
BENCHMARK_CAPTURE (run, floor_typical, std::string ("typical"), true);
BENCHMARK_CAPTURE (run, floor_worst, std::string ("worst"), true);

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);

    summary_reporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
