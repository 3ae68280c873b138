#include "block_steps.h"

#include "platform/system_log.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace engine_test;

namespace
{
    using slot_t = ZorvaluneAudioProcessor::extSideChainSlot;

    std::vector<float> block (int n, float first, float step = 0.001f)
    {
        std::vector<float> b ((size_t) n);

        for (int i = 0; i < n; ++i)
            b[(size_t) i] = first + step * (float) i;

        return b;
    }

    // The process-wide slots are shared by every test of this program: each
    // test starts and ends with them empty.
    struct SideChainSlots : ::testing::Test
    {
        void SetUp() override    { clearAll(); }
        void TearDown() override { clearAll(); }

        static void clearAll()
        {
            for (auto& slot : ZorvaluneAudioProcessor::sExtSideChainData)
                slot.clear();
        }
    };

    // What the sender feeds in: a different value at every sample.
    float sent (juce::int64 sample)
    {
        return 0.5f * (float) std::sin ((double) sample * 0.013) + 0.1f * (float) std::cos ((double) sample * 0.17);
    }

    std::unique_ptr<ZorvaluneAudioProcessor> makeSender (int slot, int n)
    {
        auto p = makeProcessor (48000.0, n, 2);
        p->side_chan_mod1 = slot;
        p->setMod1Source (6);
        return p;
    }

    // Receives on modulation slot 1 and rings its input with what arrives at
    // full depth: with a constant input of 1 the output is the received block.
    std::unique_ptr<ZorvaluneAudioProcessor> makeReceiver (int slot, int n, int channels = 2)
    {
        auto p = makeProcessor (48000.0, n, channels);
        makeNeutral (*p);
        p->side_chan_mod1 = slot;
        p->setMod1Source (7);
        p->setParameter (mod1Dest, 0.03f);
        p->setParameter (mod1Depth, 1.0f);
        return p;
    }

    // Row `row` of the receiver's history-ring entry for blocks of n samples.
    const float* ringRow (const ZorvaluneAudioProcessor& p, int row, int n)
    {
        return p.historyRing.at (0).samples.data() + (size_t) row * (size_t) n;
    }
}

//============================================================================== one slot alone
TEST (SideChainSlot, SenderAndReceiverSettleAtThreeEntriesWithExactMatches)
{
    auto slot = std::make_unique<slot_t>();
    constexpr int n = 64;
    std::vector<float> received (n);

    for (int k = 0; k < 12; ++k)
    {
        const auto data = block (n, (float) k);
        EXPECT_EQ (slot->send (data.data(), n, (k + 1) * n), link_status::sending);

        const int status = slot->receive ((k + 1) * n, n, received.data());

        if (k == 0)
        {
            EXPECT_EQ (status, link_status::none);
            continue;
        }

        EXPECT_EQ (status, link_status::exact) << k;
        EXPECT_EQ (received, block (n, (float) (k - 1))) << k;
        EXPECT_LE (slot->size(), 3);
    }

    EXPECT_EQ (slot->size(), 3);
}

TEST (SideChainSlot, StampsWithinHalfABlockMatchAndExactlyHalfDoesNot)
{
    constexpr int n = 100;
    constexpr juce::int64 now = 10000;
    const auto data = block (n, 0.25f);

    struct row { juce::int64 stamp; int status; };

    const row rows[] = {
        { now - n,            link_status::exact },
        { now - n + 49,       link_status::near },
        { now - n - 49,       link_status::near },
        { now - n + 50,       link_status::none },          // exactly half a block: no match anywhere
        { now - 5 * n,        link_status::furtherBack },
        { now - 65 * n + 49,  link_status::furtherBack },   // the last target tried
        { now - 66 * n,       link_status::none },
        { now + n,            link_status::none },          // ahead of the receiver
    };

    for (const auto& r : rows)
    {
        auto slot = std::make_unique<slot_t>();
        slot->send (data.data(), n, r.stamp);
        std::vector<float> received (n, -7.0f);
        EXPECT_EQ (slot->receive (now, n, received.data()), r.status) << "stamp " << r.stamp;
        EXPECT_EQ (received, r.status == link_status::none ? std::vector<float> (n, -7.0f) : data) << "stamp " << r.stamp;
    }
}

TEST (SideChainSlot, SenderAloneFillsSixteenEntriesThenDropsTheOldest)
{
    auto slot = std::make_unique<slot_t>();
    constexpr int n = 32;

    for (int k = 0; k < 20; ++k)
    {
        const auto data = block (n, (float) k);
        EXPECT_EQ (slot->send (data.data(), n, k * n), k < 15 ? link_status::sending : link_status::sendingFull) << k;
    }

    EXPECT_EQ (slot->size(), 16);

    // Nothing near a time long past: the full queue gives the entry nearest to it,
    // the oldest one left (block 4).
    std::vector<float> received (n);
    EXPECT_EQ (slot->receive (-1000000, n, received.data()), link_status::nearestInFull);
    EXPECT_EQ (received, block (n, 4.0f));

    // Far ahead: the newest.
    EXPECT_EQ (slot->receive (1000000, n, received.data()), link_status::nearestInFull);
    EXPECT_EQ (received, block (n, 19.0f));
}

TEST (SideChainSlot, EntryShorterThanTheBlockIsNotReceived)
{
    auto slot = std::make_unique<slot_t>();
    const auto data = block (256, 0.5f);
    slot->send (data.data(), 256, 0);

    std::vector<float> received (512, -7.0f);
    EXPECT_EQ (slot->receive (512, 512, received.data()), link_status::entryTooShort);
    EXPECT_EQ (received, std::vector<float> (512, -7.0f));

    // A longer block from the same sender later makes the entry long enough.
    const auto longer = block (512, 0.125f);
    slot->send (longer.data(), 512, 0);
    EXPECT_EQ (slot->receive (512, 512, received.data()), link_status::exact);
}

TEST (SideChainSlot, SendersOfOneBlockPeriodSumIntoOneEntry)
{
    auto slot = std::make_unique<slot_t>();
    constexpr int n = 16;
    const auto a = block (n, 0.25f), b = block (n, -0.125f, 0.01f);
    slot->send (a.data(), n, 1000);
    slot->send (b.data(), n, 1000);
    EXPECT_EQ (slot->size(), 1);

    std::vector<float> received (n), expected (n);

    for (int i = 0; i < n; ++i)
        expected[(size_t) i] = a[(size_t) i] + b[(size_t) i];

    EXPECT_EQ (slot->receive (1000 + n, n, received.data()), link_status::exact);
    EXPECT_EQ (received, expected);
}

TEST (SideChainSlot, ConsumedEntryOfAnEarlierClockRunIsOverwrittenNotSummed)
{
    auto slot = std::make_unique<slot_t>();
    constexpr int n = 16;

    for (int k = 1; k <= 3; ++k)
        slot->send (block (n, (float) k).data(), n, k * n);

    std::vector<float> received (n);
    ASSERT_EQ (slot->receive (4 * n, n, received.data()), link_status::exact);   // the entry stamped n is consumed

    // The stopped clock started again: stamp n comes back with new audio.
    const auto fresh = block (n, 0.75f);
    slot->send (fresh.data(), n, n);
    EXPECT_EQ (slot->size(), 3);
    EXPECT_EQ (slot->receive (2 * n, n, received.data()), link_status::exact);
    EXPECT_EQ (received, fresh);
}

TEST (SideChainSlot, BlocksLongerThanTheCapacityAreCut)
{
    auto slot = std::make_unique<slot_t>();
    constexpr int capacity = ZorvaluneAudioProcessor::timestampedBuffer::capacity;
    const auto data = block (capacity + 1000, 0.0f, 1.0e-4f);
    slot->send (data.data(), capacity + 1000, 0);

    std::vector<float> received (capacity + 1000, -7.0f);
    EXPECT_EQ (slot->receive (capacity + 1000, capacity + 1000, received.data()), link_status::entryTooShort);
    EXPECT_EQ (slot->receive (capacity, capacity, received.data()), link_status::exact);
    EXPECT_TRUE (std::equal (data.begin(), data.begin() + capacity, received.begin()));
}

TEST (SideChainSlot, ClearEmptiesTheQueue)
{
    auto slot = std::make_unique<slot_t>();
    const auto data = block (8, 1.0f);
    slot->send (data.data(), 8, 0);
    slot->clear();
    EXPECT_EQ (slot->size(), 0);
    EXPECT_EQ (slot->receive (8, 8, nullptr), link_status::none);
}

//============================================================================== instances
TEST_F (SideChainSlots, ReceiverGetsTheSendersBlockOneBlockLater)
{
    constexpr int n = 256;
    auto sender = makeSender (3, n);
    auto receiver = makeReceiver (3, n);

    for (int k = 0; k < 40; ++k)
    {
        const juce::int64 start = (juce::int64) k * n;
        const auto out = block_steps::run (*sender, 1, n, [&] (int, int i) { return sent (start + i); });
        const auto heard = block_steps::run (*receiver, 1, n, block_steps::constant (1.0f));

        EXPECT_EQ (sender->mod1LinkStatus.load(), link_status::sending);
        EXPECT_EQ (receiver->mod1LinkStatus.load(), k == 0 ? link_status::none : link_status::exact) << k;

        for (int i = 0; i < n; ++i)
        {
            ASSERT_EQ (out.getSample (0, i), sent (start + i));   // the sender passes its audio through
            ASSERT_EQ (ringRow (*receiver, 4, n)[i], k == 0 ? 0.0f : sent (start - n + i)) << k << " " << i;

            // Once the wet share and the tape line have settled, the output is
            // what arrived.
            if (start + i >= 5000)
            {
                ASSERT_NEAR (heard.getSample (0, i), sent (start - n + i), 1.0e-6f) << k << " " << i;
            }
        }
    }

    EXPECT_EQ (ZorvaluneAudioProcessor::sExtSideChainData[3].size(), 3);
}

TEST_F (SideChainSlots, SecondModulationSlotReceivesIntoItsOwnRow)
{
    constexpr int n = 128;
    auto first = makeSender (2, n);
    auto second = makeSender (11, n);
    auto receiver = makeReceiver (2, n);
    receiver->side_chan_mod2 = 11;
    receiver->setMod2Source (7);

    for (int k = 0; k < 4; ++k)
    {
        block_steps::run (*first, 1, n, block_steps::constant (0.25f));
        block_steps::run (*second, 1, n, block_steps::constant (-0.5f));
        block_steps::run (*receiver, 1, n, block_steps::constant (1.0f));
    }

    EXPECT_EQ (receiver->mod1LinkStatus.load(), link_status::exact);
    EXPECT_EQ (receiver->mod2LinkStatus.load(), link_status::exact);

    for (int i = 0; i < n; ++i)
    {
        ASSERT_EQ (ringRow (*receiver, 2, n)[i], 0.0f);
        ASSERT_EQ (ringRow (*receiver, 3, n)[i], 0.0f);
        ASSERT_EQ (ringRow (*receiver, 4, n)[i], 0.25f);
        ASSERT_EQ (ringRow (*receiver, 5, n)[i], -0.5f);
    }
}

TEST_F (SideChainSlots, SixteenSlotsAtOnce)
{
    constexpr int n = 64;
    std::vector<std::unique_ptr<ZorvaluneAudioProcessor>> senders, receivers;

    for (int slot = 0; slot < 16; ++slot)
    {
        senders.push_back (makeSender (slot, n));
        receivers.push_back (makeReceiver (slot, n));
    }

    for (int k = 0; k < 3; ++k)
    {
        for (int slot = 0; slot < 16; ++slot)
            block_steps::run (*senders[(size_t) slot], 1, n, block_steps::constant (0.01f * (float) (slot + 1) + 0.001f * (float) k));

        for (auto& r : receivers)
            block_steps::run (*r, 1, n, block_steps::constant (1.0f));
    }

    for (int slot = 0; slot < 16; ++slot)
    {
        EXPECT_EQ (receivers[(size_t) slot]->mod1LinkStatus.load(), link_status::exact) << slot;
        EXPECT_EQ (ringRow (*receivers[(size_t) slot], 4, n)[n - 1], 0.01f * (float) (slot + 1) + 0.001f) << slot;
        EXPECT_EQ (ZorvaluneAudioProcessor::sExtSideChainData[slot].size(), 3) << slot;
    }
}

TEST_F (SideChainSlots, SlotIndicesOutsideTheTableMeanNone)
{
    constexpr int n = 64;

    for (int bad : { 16, 17, -1, -5, INT_MAX, INT_MIN })
    {
        auto sender = makeSender (bad, n);
        sender->mod1LinkStatus = 4;

        // Without a slot the block is not sent: it runs the effect chain (a delay here).
        const auto out = block_steps::run (*sender, 1, n, block_steps::constant (0.5f));
        EXPECT_EQ (out.getSample (0, n - 1), 0.0f) << bad;
        EXPECT_EQ (sender->mod1LinkStatus.load(), 4) << bad;

        auto receiver = makeReceiver (bad, n);
        receiver->side_chan_mod2 = bad;
        receiver->setMod2Source (7);
        receiver->mod1LinkStatus = 3;
        receiver->mod2LinkStatus = 2;
        block_steps::run (*receiver, 2, n, block_steps::constant (1.0f));
        EXPECT_EQ (receiver->mod1LinkStatus.load(), 3) << bad;
        EXPECT_EQ (receiver->mod2LinkStatus.load(), 2) << bad;
        EXPECT_EQ (ringRow (*receiver, 4, n)[0], 0.0f);
    }

    for (auto& slot : ZorvaluneAudioProcessor::sExtSideChainData)
        EXPECT_EQ (slot.size(), 0);

    EXPECT_EQ (makeProcessor()->getReceivingSideChainData (0, 0, 16, 4), link_status::none);
}

TEST_F (SideChainSlots, TransportStartInAnyInstanceEmptiesEveryQueue)
{
    constexpr int n = 64;
    auto a = makeSender (0, n);
    auto b = makeSender (9, n);
    block_steps::run (*a, 2, n, block_steps::constant (0.5f));
    block_steps::run (*b, 2, n, block_steps::constant (0.5f));
    ASSERT_EQ (ZorvaluneAudioProcessor::sExtSideChainData[9].size(), 2);

    test_play_head head;
    auto other = makeProcessor (48000.0, n, 2);
    other->setPlayHead (&head);
    block_steps::run (*other, 1, n, {}, &head);
    EXPECT_EQ (ZorvaluneAudioProcessor::sExtSideChainData[9].size(), 2);   // stopped: nothing happens

    head.playing = true;
    block_steps::run (*other, 1, n, {}, &head);

    for (auto& slot : ZorvaluneAudioProcessor::sExtSideChainData)
        EXPECT_EQ (slot.size(), 0);

    auto receiver = makeReceiver (9, n);
    block_steps::run (*receiver, 1, n, block_steps::constant (1.0f));
    EXPECT_EQ (receiver->mod1LinkStatus.load(), link_status::none);
}

TEST_F (SideChainSlots, PlayingInstancesMatchByHostPosition)
{
    // Both follow the host's position; the receiver starts late (its first
    // block is a start, which empties the queues) and still locks on.
    constexpr int n = 200;
    test_play_head senderHead, receiverHead;
    senderHead.playing = receiverHead.playing = true;
    senderHead.time = receiverHead.time = 48000;
    auto sender = makeSender (6, n);
    auto receiver = makeReceiver (6, n);
    sender->setPlayHead (&senderHead);
    receiver->setPlayHead (&receiverHead);

    block_steps::run (*receiver, 1, n, block_steps::constant (1.0f), &receiverHead);

    std::vector<int> statuses;

    for (int k = 0; k < 4; ++k)
    {
        block_steps::run (*sender, 1, n, block_steps::constant (0.125f * (float) (k + 1)), &senderHead);
        receiverHead.time = senderHead.time - n + 30;   // 30 samples late: within half a block
        block_steps::run (*receiver, 1, n, block_steps::constant (1.0f), &receiverHead);
        statuses.push_back (receiver->mod1LinkStatus.load());
    }

    EXPECT_EQ (statuses, (std::vector<int> { link_status::none, link_status::near, link_status::near, link_status::near }));
    EXPECT_EQ (ringRow (*receiver, 4, n)[0], 0.375f);
}

TEST_F (SideChainSlots, ShorterSenderBlocksAreNotReceivedAndLogged)
{
    std::vector<std::string> lines;
    platform::system_log::setSinkForTesting ([&] (const std::string& line) { lines.push_back (line); });

    auto sender = makeSender (5, 256);
    auto receiver = makeReceiver (5, 512);

    for (int k = 0; k < 4; ++k)
    {
        block_steps::run (*sender, 2, 256, block_steps::constant (0.5f));
        block_steps::run (*receiver, 1, 512, block_steps::constant (1.0f));
    }

    receiver->flushAudioThreadDiagnostics();
    platform::system_log::setSinkForTesting ({});

    EXPECT_EQ (receiver->mod1LinkStatus.load(), link_status::entryTooShort);
    EXPECT_EQ (ringRow (*receiver, 4, 512)[0], 0.0f);
    EXPECT_EQ (std::count (lines.begin(), lines.end(), "Zorvalune ext sidechain Receive queue buf size < blocksize !!! \n"), 1);
}

TEST_F (SideChainSlots, BlockBeyondThePreparedRingIsNotReceived)
{
    // Twelve channels prepared for 512-sample blocks: the history ring has no
    // room for the received row of an 8000-sample block.
    auto sender = makeSender (6, 8000);
    auto receiver = makeReceiver (6, 512, 12);

    for (int k = 0; k < 3; ++k)
    {
        block_steps::run (*sender, 1, 8000, block_steps::constant (0.5f));
        block_steps::run (*receiver, 1, 8000, block_steps::constant (1.0f));
    }

    EXPECT_EQ (receiver->mod1LinkStatus.load(), link_status::entryTooShort);
}

TEST_F (SideChainSlots, ReceiverAloneFindsNothing)
{
    auto receiver = makeReceiver (12, 64);

    for (int k = 0; k < 5; ++k)
    {
        block_steps::run (*receiver, 1, 64, block_steps::constant (1.0f));
        EXPECT_EQ (receiver->mod1LinkStatus.load(), link_status::none);
    }
}
