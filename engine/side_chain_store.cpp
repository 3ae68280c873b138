#include "side_chain_store.h"

#include <algorithm>
#include <cstdlib>

int extSideChainSlot::send (const float* block, int n, std::int64_t time) noexcept
{
    n = std::clamp (n, 0, timestampedBuffer::capacity);
    const std::lock_guard<std::mutex> lock (mutex);

    timestampedBuffer* target = nullptr;

    // Senders of the same block period sum into one entry. A consumed entry
    // that carries the same time is left over from an earlier run of the
    // clock: it is overwritten below, never summed into.
    for (int i = 0; i < count && target == nullptr; ++i)
        if (entry (i).timestamp == time)
            target = &entry (i);

    if (target != nullptr && target->senderCount > 0)
    {
        if (target->length < n)
        {
            std::fill (target->samples + target->length, target->samples + n, 0.0f);
            target->length = n;
        }

        for (int i = 0; i < n; ++i)
            target->samples[i] += block[i];

        ++target->senderCount;
    }
    else
    {
        for (int i = 0; i < count && target == nullptr; ++i)
            if (entry (i).senderCount == 0)
                target = &entry (i);

        if (target != nullptr)
        {
            // A consumed entry is overwritten in its place; it keeps its length when that was longer.
            target->length = std::max (target->length, n);
        }
        else
        {
            if (count >= maxQueueLength)
            {
                head = (head + 1) % maxQueueLength;
                --count;
            }

            target = &entry (count);
            ++count;
            target->length = n;
        }

        std::copy_n (block, n, target->samples);
        target->timestamp = time;
        target->senderCount = 1;
    }

    return count == maxQueueLength ? link_status::sendingFull : link_status::sending;
}

int extSideChainSlot::find (std::int64_t target, std::int64_t tolerance) noexcept
{
    for (int i = 0; i < count; ++i)
    {
        const auto d = entry (i).timestamp - target;

        if (d == 0 || std::llabs (d) < tolerance)
            return i;
    }

    return -1;
}

int extSideChainSlot::receive (std::int64_t time, int n, float* destination) noexcept
{
    if (n <= 0)
        return link_status::none;

    const std::int64_t blockLength = n;
    const std::int64_t tolerance = n / 2;
    const std::lock_guard<std::mutex> lock (mutex);

    if (count == 0)
        return link_status::none;

    std::int64_t target = time - blockLength;
    int status = link_status::none;
    int found = find (target, tolerance);

    if (found >= 0)
        status = entry (found).timestamp == target ? link_status::exact : link_status::near;

    for (int step = 0; step < backwardSearches && found < 0; ++step)
    {
        target -= blockLength;
        found = find (target, tolerance);
        status = link_status::furtherBack;
    }

    if (found < 0)
    {
        if (count != maxQueueLength)
            return link_status::none;

        // A full queue with nothing near: take what is closest to now.
        found = 0;

        for (int i = 1; i < count; ++i)
            if (std::llabs (entry (i).timestamp - time) < std::llabs (entry (found).timestamp - time))
                found = i;

        status = link_status::nearestInFull;
    }

    const auto& source = entry (found);

    if (source.length < n || destination == nullptr)
        return link_status::entryTooShort;

    std::copy_n (source.samples, n, destination);

    // With three or more queued, the oldest is done with: a sender may reuse it.
    if (count >= 3)
    {
        int oldest = 0;

        for (int i = 1; i < count; ++i)
            if (entry (i).timestamp < entry (oldest).timestamp)
                oldest = i;

        entry (oldest).senderCount = 0;
    }

    return status;
}

void extSideChainSlot::clear() noexcept
{
    const std::lock_guard<std::mutex> lock (mutex);
    head = 0;
    count = 0;
}

int extSideChainSlot::size() noexcept
{
    const std::lock_guard<std::mutex> lock (mutex);
    return count;
}
