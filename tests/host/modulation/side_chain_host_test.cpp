#include "hosted_instance.h"

#include <cmath>

// Side-chain audio passed between two instances of the built VST3 that one
// host process has loaded. The receiver rings a constant input of 1 with what
// it receives at full depth, so its output is the received audio itself.
namespace
{
    float senderSignal (juce::int64 sample)
    {
        return 0.5f * (float) std::sin ((double) sample * 0.011) + 0.2f * (float) std::sin ((double) sample * 0.29);
    }

    // A sender on `slot` (0..15), or an instance that sends nothing when
    // `sending` is false.
    std::unique_ptr<juce::AudioPluginInstance> sender (int slot, int blockSize, bool sending = true)
    {
        return hosted::loadWith ({ { "side_chan_mod1", slot + 1 }, { "Mod1Source", sending ? 0.06 : 0.0 } }, blockSize);
    }

    std::unique_ptr<juce::AudioPluginInstance> receiver (int slot, int blockSize)
    {
        return hosted::loadWith ({ { "side_chan_mod1", slot + 1 }, { "Mod1Source", 0.07 }, { "Mod1Dest", 0.03 },
                                   { "Mod1_Depth", 1.0 }, { "TapeFreqDelta", 0.0 } }, blockSize);
    }

    // The receiver's wet share and tape line settle within this many samples;
    // from then on its output is what it receives.
    constexpr int settled = 6000;

    // The slots live in the loaded module and outlast every instance. A
    // transport start in any instance empties all of them, so each test
    // begins with one.
    void emptyEverySlot()
    {
        hosted::play_head head;
        head.playing = true;
        auto instance = hosted::load (64);
        ASSERT_NE (instance, nullptr);
        instance->setPlayHead (&head);
        hosted::process (*instance, 0, 64, hosted::constant (0.0f));
        instance->setPlayHead (nullptr);
    }
}

TEST (SideChainHost, ReceiverPlaysTheSendersAudioOneBlockLater)
{
    emptyEverySlot();
    constexpr int n = 480;
    auto a = sender (2, n, false);
    auto b = receiver (2, n);
    ASSERT_NE (a, nullptr);
    ASSERT_NE (b, nullptr);

    // Both count the same stopped time block for block. Until the sender
    // sends, the receiver hears nothing.
    juce::int64 t = 0;

    for (; t < 2 * settled; t += n)
    {
        hosted::process (*a, t, n, senderSignal);
        const auto heard = hosted::process (*b, t, n, hosted::constant (1.0f));

        for (size_t i = 0; i < heard.size() && t >= settled; ++i)
            ASSERT_EQ (heard[i], 0.0f);
    }

    ASSERT_TRUE (hosted::change (*a, { { "Mod1Source", 0.06 } }));
    const juce::int64 firstSent = t;

    for (; t < firstSent + 20 * n; t += n)
    {
        const auto passed = hosted::process (*a, t, n, senderSignal);
        const auto heard = hosted::process (*b, t, n, hosted::constant (1.0f));

        for (int i = 0; i < n; ++i)
        {
            ASSERT_EQ (passed[(size_t) i], senderSignal (t + i)) << "the sender passes its input through";

            const float expected = t == firstSent ? 0.0f : senderSignal (t - n + i);
            ASSERT_NEAR (heard[(size_t) i], expected, 1.0e-6f) << "block at " << t << ", sample " << i;
        }
    }
}

TEST (SideChainHost, HostPositionsWithinHalfABlockStillMatch)
{
    // Both play; the receiver's host reports a position 100 samples later.
    emptyEverySlot();
    constexpr int n = 512;
    hosted::play_head senderHead, receiverHead;
    senderHead.playing = receiverHead.playing = true;

    auto a = sender (3, n);
    auto b = receiver (3, n);
    ASSERT_NE (a, nullptr);
    ASSERT_NE (b, nullptr);
    a->setPlayHead (&senderHead);
    b->setPlayHead (&receiverHead);

    // Both start in the first block (the receiver's start empties the queue
    // once more), and the receiver finds the sender's blocks from the third on.
    for (juce::int64 t = 0; t < 30 * n; t += n)
    {
        senderHead.time = t;
        receiverHead.time = t + 100;
        hosted::process (*a, t, n, senderSignal);
        const auto heard = hosted::process (*b, t, n, hosted::constant (1.0f));

        if (t + n < settled)
            continue;

        for (int i = 0; i < n; ++i)
            ASSERT_NEAR (heard[(size_t) i], senderSignal (t - n + i), 1.0e-6f) << "block at " << t << ", sample " << i;
    }

    a->setPlayHead (nullptr);
    b->setPlayHead (nullptr);
}

TEST (SideChainHost, SenderAloneFillsItsSlotAndAFarReceiverTakesTheNewest)
{
    // A receiver that has run for a long time alone hears nothing; a sender
    // that starts afresh counts from 0, so no stamp is near the receiver's
    // time. Once the sender's queue is full (16 blocks) the receiver takes
    // the entry nearest its own time: the sender's newest block.
    emptyEverySlot();
    constexpr int n = 256;
    auto b = receiver (4, n);
    ASSERT_NE (b, nullptr);
    juce::int64 rt = 0;

    for (; rt < 200 * n; rt += n)
    {
        const auto heard = hosted::process (*b, rt, n, hosted::constant (1.0f));

        for (size_t i = 0; i < heard.size() && rt >= settled; ++i)
            ASSERT_EQ (heard[i], 0.0f);
    }

    auto a = sender (4, n);
    ASSERT_NE (a, nullptr);

    for (int k = 0; k < 24; ++k, rt += n)
    {
        const juce::int64 t = (juce::int64) k * n;
        const auto passed = hosted::process (*a, t, n, senderSignal);
        const auto heard = hosted::process (*b, rt, n, hosted::constant (1.0f));

        for (int i = 0; i < n; ++i)
        {
            ASSERT_EQ (passed[(size_t) i], senderSignal (t + i));

            const float expected = k < 15 ? 0.0f : senderSignal (t + i);
            ASSERT_NEAR (heard[(size_t) i], expected, 1.0e-6f) << "block " << k << ", sample " << i;
        }
    }
}

TEST (SideChainHost, ShorterSenderBlocksAreNotReceived)
{
    emptyEverySlot();
    auto a = sender (5, 256);
    auto b = receiver (5, 512);
    ASSERT_NE (a, nullptr);
    ASSERT_NE (b, nullptr);

    for (juce::int64 t = 0; t < 40 * 512; t += 512)
    {
        hosted::process (*a, t, 256, senderSignal);
        hosted::process (*a, t + 256, 256, senderSignal);

        const auto heard = hosted::process (*b, t, 512, hosted::constant (1.0f));

        for (size_t i = 0; i < heard.size() && t >= settled; ++i)
            ASSERT_EQ (heard[i], 0.0f);
    }
}

TEST (SideChainHost, SixteenSlotsAtOnce)
{
    emptyEverySlot();
    constexpr int n = 512;
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> senders, receivers;

    for (int slot = 0; slot < 16; ++slot)
    {
        senders.push_back (sender (slot, n));
        receivers.push_back (receiver (slot, n));
        ASSERT_NE (senders.back(), nullptr);
        ASSERT_NE (receivers.back(), nullptr);
    }

    // Each sender sends its own level; each receiver hears its own slot's.
    const auto level = [] (int slot) { return 0.05f * (float) (slot + 1); };

    for (juce::int64 t = 0; t < 14 * n; t += n)
    {
        for (int slot = 0; slot < 16; ++slot)
            hosted::process (*senders[(size_t) slot], t, n, hosted::constant (level (slot)));

        for (int slot = 0; slot < 16; ++slot)
        {
            const auto heard = hosted::process (*receivers[(size_t) slot], t, n, hosted::constant (1.0f));

            if (t >= settled)
            {
                EXPECT_FLOAT_EQ (heard.back(), level (slot)) << "slot " << slot;
            }
        }
    }
}
