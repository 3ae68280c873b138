#include "engine_test_support.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <new>
#include <chrono>
#include <thread>

using namespace engine_test;

// Every allocation of this test program passes through here (malloc and its
// relatives, which the framework's heap blocks use too, and operator new,
// which ends up in malloc); while a thread has counting switched on, its
// allocations are counted.
namespace
{
    thread_local bool countingHere = false;
    std::atomic<int> allocationsCounted { 0 };

    [[maybe_unused]] void countIfAsked() noexcept
    {
        if (countingHere)
            allocationsCounted.fetch_add (1, std::memory_order_relaxed);
    }

    struct counting_scope
    {
        counting_scope()  { countingHere = true; }
        ~counting_scope() { countingHere = false; }
    };
}

// A sanitizer build brings its own malloc; there this program counts nothing
// and the allocation checks are skipped.
#if defined (__SANITIZE_ADDRESS__) || defined (__SANITIZE_THREAD__)
constexpr bool countsAllocations = false;
#else
constexpr bool countsAllocations = true;

extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);

    void* malloc (std::size_t size)                  { countIfAsked(); return __libc_malloc (size); }
    void* calloc (std::size_t n, std::size_t size)   { countIfAsked(); return __libc_calloc (n, size); }
    void* realloc (void* p, std::size_t size)        { countIfAsked(); return __libc_realloc (p, size); }
    void* aligned_alloc (std::size_t a, std::size_t size) { countIfAsked(); return __libc_memalign (a, size); }
    void* memalign (std::size_t a, std::size_t size) { countIfAsked(); return __libc_memalign (a, size); }

    int posix_memalign (void** out, std::size_t a, std::size_t size)
    {
        countIfAsked();
        *out = __libc_memalign (a, size);
        return *out != nullptr ? 0 : ENOMEM;
    }
}
#endif

namespace
{
    // Every section on, both modulation slots busy.
    void everySectionOn (ZorvaluneAudioProcessor& p)
    {
        const std::pair<int, float> values[] = {
            { inGain, 0.55f }, { inFiltersOn, 1.0f }, { srReduc, 0.03f },
            { noiseOn, 1.0f }, { noiseThreshold, 0.0f }, { rmsTime, 1.0f }, { noiseFilterType, 0.0f },
            { crushOn, 1.0f }, { saturation, 0.3f }, { nrBits, 0.5f }, { clipGain, 0.4f },
            { tapeOn, 1.0f }, { tapeFreqDelta, 1.0f }, { tapeRotation, 0.0f },
            { mod1Dest, 0.05f }, { mod2Src, 0.04f }, { mod2Dest, 0.07f }, { dryWet, 0.5f },
        };

        for (const auto& [index, value] : values)
            p.setParameter (index, value);
    }
}

TEST (RealTimeSafety, ProcessBlockAllocatesNothingAfterPrepare)
{
    if (! countsAllocations)
        GTEST_SKIP() << "the sanitizer owns malloc";

    for (int channels : { 2, 24 })
    {
        auto p = makeProcessor (96000.0, 512, channels, 1);
        everySectionOn (*p);
        test_play_head head;
        p->setPlayHead (&head);

        juce::AudioBuffer<float> buffer (channels + 1, 5000);
        juce::MidiBuffer midi;
        juce::Random random (3);
        allocationsCounted = 0;

        for (int block = 0; block < 300; ++block)
        {
            // Blocks of every length up to the prepared maximum and beyond,
            // transport starts and stops, jumps, changed cutoffs and gains.
            const int n = block % 50 == 7 ? 4096 : block % 50 == 8 ? 5000 : 1 + random.nextInt (700);
            buffer.setSize (channels + 1, n, false, false, true);

            for (int c = 0; c < buffer.getNumChannels(); ++c)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (c, i, random.nextFloat() - 0.5f);

            head.playing = (block / 40) % 2 == 1;
            head.time = block % 90 == 0 ? 0 : head.time + n;
            p->setParameter (inLowPassFreq, 0.3f + 0.001f * (float) (block % 7));
            p->setParameter (pitchLowPassFreq, 0.4f + 0.001f * (float) (block % 5));
            p->setParameter (rmsTime, block % 60 < 30 ? 1.0f : 0.01f);
            p->setParameter (outGain, block % 100 < 50 ? 0.5f : 0.55f);

            if (block % 100 == 20) p->setMod1Source (7);   // receive a side chain
            if (block % 100 == 30) p->setMod1Source (6);   // send one
            if (block % 100 == 35) p->setMod1Source (9);   // follow the side-chain level
            if (block % 100 == 45) p->setMod1Source (0);

            {
                const counting_scope counting;
                p->processBlock (buffer, midi);
            }
        }

        EXPECT_EQ (allocationsCounted.load(), 0) << channels << " channels";
        EXPECT_TRUE (std::isfinite (buffer.getSample (0, 0)));
        p->setPlayHead (nullptr);
    }
}

TEST (RealTimeSafety, CountingSeesEveryKindOfAllocation)
{
    if (! countsAllocations)
        GTEST_SKIP() << "the sanitizer owns malloc";

    // How many blocks the library takes for each is its own affair: at least
    // one must be seen inside the scope, none outside it.
    const auto countedIn = [] (const std::function<void()>& allocate)
    {
        allocationsCounted = 0;
        const counting_scope counting;
        allocate();
        return allocationsCounted.load();
    };

    // Kept where the compiler must look, or it may leave out a new and delete nobody reads.
    [[maybe_unused]] static void* volatile kept = nullptr;

    EXPECT_GE (countedIn ([] { auto* v = new int (1); kept = v; delete v; }), 1) << "operator new";
    EXPECT_GE (countedIn ([] { juce::HeapBlock<float> block (64); }), 1) << "malloc";
    EXPECT_GE (countedIn ([] { juce::HeapBlock<float> block (64, true); }), 1) << "calloc";
    EXPECT_GE (countedIn ([] { std::free (std::aligned_alloc (64, 256)); }), 1) << "aligned_alloc";
    struct alignas (64) wide { float values[16]; };
    EXPECT_GE (countedIn ([] { auto* w = new wide(); kept = w; delete w; }), 1) << "aligned operator new";

    juce::HeapBlock<float> grown (8);
    EXPECT_GE (countedIn ([&] { grown.realloc (1 << 16); }), 1) << "realloc";

    allocationsCounted = 0;
    kept = new int (1);
    delete static_cast<int*> (kept);
    EXPECT_EQ (allocationsCounted.load(), 0) << "outside the scope";
}

TEST (RealTimeSafety, CoefficientHandOffNeverTearsOrLosesTheLastSet)
{
    // Another thread rewrites the input low-pass as fast as it can; every block
    // must see one of the two designs whole, and the last one must arrive.
    auto p = makeProcessor (48000.0, 64, 1);
    p->setParameter (inFiltersOn, 1.0f);
    p->setParameter (inLowPassFreq, 0.4f);
    filter_coefficients low, high;
    butterworth::lowPass ((double) 0.05f * 20000.0, 48000.0, low);
    butterworth::lowPass ((double) 0.4f * 20000.0, 48000.0, high);

    std::atomic<bool> stop { false };
    std::thread writer ([&]
    {
        for (int i = 0; ! stop.load(); ++i)
            p->setParameter (inLowPassFreq, (i & 1) != 0 ? 0.05f : 0.4f);

        p->setParameter (inLowPassFreq, 0.4f);
    });

    const auto same = [] (const filter_coefficients& a, const filter_coefficients& b)
    {
        return a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2 && a.a1 == b.a1 && a.a2 == b.a2;
    };

    juce::AudioBuffer<float> buffer (1, 64);
    juce::MidiBuffer midi;
    int torn = 0, blocksWithNewSets = 0;

    // However the machine schedules the writer, keep going until plenty of
    // sets have crossed (or a generous time limit passes).
    const auto deadline = juce::Time::getMillisecondCounter() + 10000;

    for (int block = 0; block < 20000 || (blocksWithNewSets <= 100 && juce::Time::getMillisecondCounter() < deadline); ++block)
    {
        buffer.clear();
        p->processBlock (buffer, midi);
        const auto& seen = p->blockSettings.inputLowPassCoeffs;

        if (! same (seen, low) && ! same (seen, high))
            ++torn;

        // A set that arrived in this block started a ramp of the channel's filter.
        if (p->channelStates[0].inputLowPass.rampRemaining == smooth_IIR_filter::rampLength - 64)
            ++blocksWithNewSets;
    }

    stop = true;
    writer.join();

    EXPECT_EQ (torn, 0);
    EXPECT_GT (blocksWithNewSets, 100);

    // The final set reaches the filters: a ramp starts and ends on it.
    for (int block = 0; block < 40; ++block)
        p->processBlock (buffer, midi);

    const auto& f = p->channelStates[0].inputLowPass;
    EXPECT_TRUE (same (filter_coefficients { f.b0, f.b1, f.b2, f.a1, f.a2, 0 }, high));
}

TEST (RealTimeSafety, HandOffVersionsOnlyGrow)
{
    coefficient_handoff handoff;
    std::atomic<bool> stop { false };
    std::vector<std::thread> writers;

    for (int w = 0; w < 2; ++w)
        writers.emplace_back ([&, w]
        {
            while (! stop.load())
                handoff.publish ([w] (filter_coefficients& c) { c.b0 = c.b1 = c.b2 = c.a1 = c.a2 = (float) w; });
        });

    std::uint64_t last = 0;
    int torn = 0, shrunk = 0, reads = 0;

    // Read only once the writers are under way, however late a busy machine starts them.
    while (handoff.version() == 0)
        std::this_thread::yield();

    // Enough reads to see overlap, however often a loaded machine makes the
    // reader give up while both writers hammer the set.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (20);

    for (int i = 0; reads < 20000 && (i < 200000 || std::chrono::steady_clock::now() < deadline); ++i)
    {
        filter_coefficients c;
        std::uint64_t version = 0;

        if (! handoff.tryRead (c, version))
            continue;

        ++reads;
        torn += (c.b0 == c.b1 && c.b1 == c.b2 && c.b2 == c.a1 && c.a1 == c.a2) ? 0 : 1;
        shrunk += version < last ? 1 : 0;
        last = version;
    }

    stop = true;

    for (auto& t : writers)
        t.join();

    EXPECT_GT (reads, 1000);
    EXPECT_EQ (torn, 0);
    EXPECT_EQ (shrunk, 0);
    EXPECT_GE (handoff.version(), last);
}

TEST (RealTimeSafety, SequencerSideChainAndBypassAllocateNothing)
{
    if (! countsAllocations)
        GTEST_SKIP() << "the sanitizer owns malloc";

    // A host's audio thread of its own, so that what must wait for the message
    // thread (the watchdog timer, the MIDI input) is handed over from it.
    for (auto& slot : ZorvaluneAudioProcessor::sExtSideChainData)
        slot.clear();

    auto sender = makeProcessor (48000.0, 512, 2, 1);
    auto receiver = makeProcessor (48000.0, 512, 2, 1);
    everySectionOn (*receiver);
    sender->side_chan_mod1 = 4;
    sender->setMod1Source (6);
    receiver->side_chan_mod1 = 4;
    receiver->side_chan_mod2 = 15;
    receiver->setMod1Source (7);
    receiver->setMod2Source (7);

    test_play_head head;

    // Play mode with steps of 360 samples: every transport start applies step
    // 0 on the audio thread, and the steps switch sources and filters.
    const float senderSources[] = { 0.06f, 0.06f, 0.08f, 0.06f, 0.06f, 0.06f, 0.06f, 0.06f };
    const float receiverSources[] = { 0.08f, 0.07f, 0.07f, 0.09f, 0.07f, 0.07f, 0.0f, 0.07f };

    for (auto* p : { sender.get(), receiver.get() })
    {
        p->setPlayHead (&head);

        // Stored as SAVE stores them, so the audio thread swaps in their
        // filter sets; step 5 is written value by value, so its sets are left
        // to the message thread.
        for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
        {
            const auto fill = [&] (auto&& step)
            {
                for (int i = 0; i < ZorvaluneAudioProcessor::NUM_PARAMETERS; ++i)
                    step[(size_t) i] = p->parameterValues[(size_t) i].load();

                step[mod1Src] = (p == sender.get() ? senderSources : receiverSources)[k];
                step[inLowPassFreq] = 0.2f + 0.05f * (float) k;
                step[noiseFilterType] = 0.1f * (float) (k % 4);
                step[seqStepSaved] = (float) (k + 1);
            };

            if (k == 5)
                fill (p->stepSnapshots[k]);
            else
                p->storeStep (k, fill);
        }

        p->setParameter (seqBpm, 1.0f);
        p->setParameter (seqNrBars, 0.17f);
        p->setParameter (seqMode, 0.2f);
        juce::AudioBuffer<float> first (3, 512);
        first.clear();
        juce::MidiBuffer none;
        p->processBlock (first, none);
        p->setParameter (seqOn, 1.0f);
    }

    allocationsCounted = 0;
    std::atomic<bool> done { false };
    std::atomic<int> receivedBlocks { 0 }, sentBlocks { 0 };

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> a (3, 4096), b (3, 4096);
        juce::MidiBuffer midi;
        juce::Random random (7);

        for (int block = 0; block < 400; ++block)
        {
            // Mostly one length, so that blocks match; now and then any other.
            const int n = block % 50 == 9 ? 4096 : block % 10 == 3 ? 1 + random.nextInt (700) : 256;
            a.setSize (3, n, false, false, true);
            b.setSize (3, n, false, false, true);

            for (int c = 0; c < 3; ++c)
                for (int i = 0; i < n; ++i)
                {
                    a.setSample (c, i, random.nextFloat() - 0.5f);
                    b.setSample (c, i, random.nextFloat() - 0.5f);
                }

            head.playing = (block / 40) % 2 == 1;

            {
                const counting_scope counting;
                sender->processBlock (a, midi);

                if (block % 9 == 5)
                    receiver->processBlockBypassed (b, midi);
                else
                    receiver->processBlock (b, midi);
            }

            sentBlocks += sender->mod1LinkStatus.load() >= link_status::sending ? 1 : 0;
            const int status = receiver->mod1LinkStatus.load();
            receivedBlocks += status >= link_status::exact && status <= link_status::nearestInFull ? 1 : 0;
            head.time += n;
        }

        done = true;
    });

    // Meanwhile the message thread takes what the audio thread hands over.
    while (! done.load())
    {
        sender->handleAudioThreadRequests();
        receiver->handleAudioThreadRequests();
        juce::Thread::sleep (1);
    }

    audio.join();
    sender->handleAudioThreadRequests();
    receiver->handleAudioThreadRequests();

    EXPECT_EQ (allocationsCounted.load(), 0);
    EXPECT_GT (sentBlocks.load(), 100);
    EXPECT_GT (receivedBlocks.load(), 20);
    EXPECT_NE (receiver->midiWrapper, nullptr);   // step 0 chose MIDI at a transport start
    EXPECT_TRUE (sender->isTimerRunning());

    for (auto* p : { sender.get(), receiver.get() })
        p->setPlayHead (nullptr);

    for (auto& slot : ZorvaluneAudioProcessor::sExtSideChainData)
        slot.clear();
}
