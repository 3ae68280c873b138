// The cost of receiving side-chain audio from another instance, per block.
//
//   slot_exact/N:     one slot's receive (lock, search, copy of N samples,
//                     marking the oldest entry consumed) with the queue in its
//                     steady state of three entries and an exact match
//   slot_fallback/N:  the longest road: a full queue with nothing near, so
//                     all 65 targets are searched before the nearest entry is taken
//   block_receiving / block_lfo: a whole stereo block of 512 samples at
//                     48 kHz in an instance that receives from a sending
//                     instance, against the same instance on an LFO source;
//                     the sender's block is included in both, so the
//                     difference is what receiving adds to a block

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "engine/PluginProcessor.h"

#include <memory>
#include <vector>

using namespace parameter_table;

namespace
{
    void slotExact (benchmark::State& state)
    {
        const int n = (int) state.range (0);
        auto slot = std::make_unique<extSideChainSlot>();
        std::vector<float> block ((size_t) n, 0.25f), row ((size_t) n);

        for (int k = 1; k <= 3; ++k)
            slot->send (block.data(), n, (juce::int64) k * n);

        for (auto _ : state)
        {
            benchmark::DoNotOptimize (slot->receive (4 * (juce::int64) n, n, row.data()));
            benchmark::ClobberMemory();
        }
    }

    void slotFallback (benchmark::State& state)
    {
        const int n = (int) state.range (0);
        auto slot = std::make_unique<extSideChainSlot>();
        std::vector<float> block ((size_t) n, 0.25f), row ((size_t) n);

        for (int k = 0; k < extSideChainSlot::maxQueueLength; ++k)
            slot->send (block.data(), n, 1000000000 + (juce::int64) k * n);

        for (auto _ : state)
        {
            benchmark::DoNotOptimize (slot->receive (0, n, row.data()));
            benchmark::ClobberMemory();
        }
    }

    std::unique_ptr<ZorvaluneAudioProcessor> makeInstance (int source)
    {
        // As a plug-in in a host: the standalone application offers no side chain.
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_VST3);
        auto p = std::make_unique<ZorvaluneAudioProcessor>();
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
        auto layout = p->getBusesLayout();
        layout.inputBuses.getReference (0) = juce::AudioChannelSet::stereo();
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::stereo();
        layout.inputBuses.getReference (1) = juce::AudioChannelSet::disabled();
        p->setBusesLayout (layout);
        p->setRateAndBufferSizeDetails (48000.0, 512);
        p->prepareToPlay (48000.0, 512);
        p->side_chan_mod1 = 0;
        p->setMod1Source (source);
        p->setParameter (mod1Dest, 0.03f);
        return p;
    }

    void wholeBlock (benchmark::State& state, bool receiving)
    {
        for (auto& slot : ZorvaluneAudioProcessor::sExtSideChainData)
            slot.clear();

        auto sender = makeInstance (6);
        auto instance = makeInstance (receiving ? 7 : 0);
        juce::AudioBuffer<float> a (2, 512), b (2, 512);
        juce::MidiBuffer midi;
        juce::Random random (1);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                b.setSample (c, i, random.nextFloat() - 0.5f);

        const auto both = [&]
        {
            a.makeCopyOf (b, true);
            sender->processBlock (a, midi);
            instance->processBlock (a, midi);
        };

        // Until the queue holds its steady three blocks.
        for (int i = 0; i < 4; ++i)
            both();

        for (auto _ : state)
        {
            both();
            benchmark::DoNotOptimize (a.getReadPointer (0));
        }

        if (receiving && instance->mod1LinkStatus.load() != link_status::exact)
            state.SkipWithError ("the receiver did not lock on");
    }
}

BENCHMARK (slotExact)->Arg (64)->Arg (512)->Arg (4096);
BENCHMARK (slotFallback)->Arg (64)->Arg (512)->Arg (4096);
BENCHMARK_CAPTURE (wholeBlock, block_receiving, true);
BENCHMARK_CAPTURE (wholeBlock, block_lfo, false);
