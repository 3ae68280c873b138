#pragma once

#include <cstdint>
#include <mutex>

// The side-chain audio that instances of one process pass to each other.
//
// A slot is a queue of at most 16 sent blocks behind its own mutex. Every
// block's memory is part of the slot itself (fixed capacity, zero until first
// written), so neither sending nor receiving ever allocates; the lock is held
// for one search and one copy of a block, never two slots at once.

// Link statuses of a modulation slot.
namespace link_status
{
    enum
    {
        none = 0,          // empty queue, nothing found, or cleared by the watchdog
        exact = 1,         // the block stamped exactly one block ago
        near = 2,          // stamped within half a block of one block ago
        furtherBack = 3,   // stamped 2 to 65 blocks ago, found by stepping back
        nearestInFull = 4, // the entry nearest to now from a full queue
        sending = 5,
        sendingFull = 7,
        entryTooShort = 8  // the entry is shorter than the receiver's block, or the receiver has no room for it
    };
}

// One sent block.
struct timestampedBuffer
{
    // The longest block that is exchanged; a longer sender's block is cut
    // here, and a receiver with longer blocks finds its entries too short.
    static constexpr int capacity = 8192;

    float samples[capacity];    // the first `length` are the block's
    int length = 0;             // the longest block written here since it was appended
    std::int64_t timestamp = 0; // the sender's time of the block, in samples
    int senderCount = 0;        // senders mixed into the entry; 0 = consumed, may be overwritten
};

struct extSideChainSlot
{
    static constexpr int maxQueueLength = 16;
    static constexpr int backwardSearches = 64;

    // Puts n samples stamped `time` into the queue: summed into an entry of
    // the same time, else into a consumed entry, else appended (the oldest
    // dropped when full). Returns sending or sendingFull.
    int send (const float* block, int n, std::int64_t time) noexcept;

    // Finds the block sent one block of n samples before `time` and copies it
    // to `destination`. Returns the link status; on a status of none or
    // entryTooShort nothing is copied. A null destination (the receiver has no
    // room for a block this long) receives nothing either: entryTooShort.
    int receive (std::int64_t time, int n, float* destination) noexcept;

    // Empties the queue.
    void clear() noexcept;

    // The number of queued entries (for diagnostics and tests).
    int size() noexcept;

    std::mutex mutex;

private:
    timestampedBuffer& entry (int i) noexcept { return entries[(head + i) % maxQueueLength]; }
    int find (std::int64_t target, std::int64_t tolerance) noexcept;

    // Queue order: entry(0) is the front. A reused entry keeps its place.
    timestampedBuffer entries[maxQueueLength];
    int head = 0;
    int count = 0;
};
