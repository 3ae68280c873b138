// Measures processBlock with every section of the chain on, and the bypassed
// path on the same buffers, as real-time factors: seconds of audio processed
// per second of CPU on one thread.
//
//   typical:  stereo, 48 kHz, 512-sample blocks (goal: 200 x)
//   worst:    24 channels, 96 kHz, 64-sample blocks (goal: 12 x)
//   channels: 1, 2, 8 and 24 channels at 48 kHz in 64- and 512-sample blocks,
//             printed as the cost of one channel-sample in nanoseconds
//   floor:    the bypassed path of typical and worst
//
// ZORVALUNE_BENCH_OFF="16,4" switches the given parameters off (where the
// time goes); ZORVALUNE_BENCH_INSTRUCTION_SET chooses the instruction set
// (see instruction_set_choice.h).

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "engine/PluginProcessor.h"
#include "instruction_set_choice.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace parameter_table;

namespace
{
    struct setting
    {
        double rate;
        int block;
        int channels;
    };

    const setting typical { 48000.0, 512, 2 }, worst { 96000.0, 64, 24 };
    const int channelCounts[] = { 1, 2, 8, 24 };
    const int blockSizes[] = { 64, 512 };

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

    void run (benchmark::State& state, setting s, bool bypassed)
    {
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

        state.counters["rt_factor"] = benchmark::Counter ((double) s.block / s.rate, benchmark::Counter::kIsIterationInvariantRate);
        state.counters["ns_per_channel_sample"] = benchmark::Counter ((double) s.block * s.channels * 1.0e-9,
                                                                      benchmark::Counter::kIsIterationInvariantRate
                                                                    | benchmark::Counter::kInvert);
    }

    std::string channelsName (int channels, int block)
    {
        return "channels/" + std::to_string (channels) + "/block/" + std::to_string (block);
    }

    // Prints the figures again at the end: the goals, and one channel's cost.
    // With repetitions the figures are the means of the repetitions.
    class summary_reporter : public benchmark::ConsoleReporter
    {
    public:
        void ReportRuns (const std::vector<Run>& runs) override
        {
            ConsoleReporter::ReportRuns (runs);

            for (const auto& r : runs)
            {
                if (r.run_type != Run::RT_Iteration)
                    continue;

                auto& f = figures[r.run_name.function_name];

                if (const auto it = r.counters.find ("rt_factor"); it != r.counters.end())
                    f.factor += it->second.value;

                if (const auto it = r.counters.find ("ns_per_channel_sample"); it != r.counters.end())
                    f.nanoseconds += it->second.value;

                ++f.runs;
            }
        }

        void Finalize() override
        {
            ConsoleReporter::Finalize();
            std::printf ("\nInstruction set: %s\n", lane_math::instructionSetName());
            std::printf ("\nReal-time factors (seconds of audio per CPU second, one thread):\n");

            for (const auto& [name, goal] : std::map<std::string, double> { { "typical", 200.0 }, { "worst", 12.0 } })
                if (const auto* f = find (name))
                    std::printf ("  %-8s %8.1f x   goal %5.0f x: %s\n", name.c_str(), f->factor / f->runs, goal,
                                 f->factor / f->runs >= goal ? "met" : "NOT met");

            for (const auto* name : { "floor_typical", "floor_worst" })
                if (const auto* f = find (name))
                    std::printf ("  %-14s %10.1f x\n", name, f->factor / f->runs);

            std::printf ("\nOne channel-sample at 48 kHz (ns):\n  channels");

            for (int block : blockSizes)
                std::printf ("  %4d-sample blocks", block);

            std::printf ("\n");

            for (int channels : channelCounts)
            {
                std::printf ("  %8d", channels);

                for (int block : blockSizes)
                    if (const auto* f = find (channelsName (channels, block)))
                        std::printf ("  %18.1f", f->nanoseconds / f->runs);

                std::printf ("\n");
            }
        }

    private:
        struct figure { double factor = 0.0, nanoseconds = 0.0; int runs = 0; };
        std::map<std::string, figure> figures;

        const figure* find (const std::string& name) const
        {
            const auto it = figures.find (name);
            return it != figures.end() && it->second.runs > 0 ? &it->second : nullptr;
        }
    };

}

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    chooseBenchInstructionSet();

    benchmark::RegisterBenchmark ("typical", run, typical, false);
    benchmark::RegisterBenchmark ("worst", run, worst, false);

    for (int channels : channelCounts)
        for (int block : blockSizes)
            benchmark::RegisterBenchmark (channelsName (channels, block).c_str(), run, setting { 48000.0, block, channels }, false);

    benchmark::RegisterBenchmark ("floor_typical", run, typical, true);
    benchmark::RegisterBenchmark ("floor_worst", run, worst, true);

    benchmark::Initialize (&argc, argv);
    summary_reporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
