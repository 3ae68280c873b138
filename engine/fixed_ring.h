#pragma once

#include <algorithm>
#include <cassert>
#include <vector>

// A double-ended queue of fixed capacity: append at the back, remove at the
// front or the back, index from the front. Storage is reserved up front
// (message thread), so the audio thread never allocates through it.
template <typename T>
class fixed_ring
{
public:
    fixed_ring() = default;
    explicit fixed_ring (int capacity) { reserve (capacity); }

    // Grows the storage to at least `capacity` elements, keeping the contents.
    // Never shrinks. Not for the audio thread.
    void reserve (int capacity)
    {
        if (capacity <= this->capacity())
            return;

        // The storage is a power of two long, so wrapping an index is a mask.
        int length = 1;

        while (length < capacity)
            length *= 2;

        std::vector<T> grown ((size_t) length, T {});

        for (int i = 0; i < count; ++i)
            grown[(size_t) i] = (*this)[i];

        storage.swap (grown);
        mask = length - 1;
        limit = capacity;
        head = 0;
    }

    int capacity() const noexcept { return limit; }
    int size() const noexcept     { return count; }
    bool empty() const noexcept   { return count == 0; }
    bool full() const noexcept    { return count == limit; }

    T& operator[] (int i) noexcept             { return storage[(size_t) wrap (head + i)]; }
    const T& operator[] (int i) const noexcept { return storage[(size_t) wrap (head + i)]; }
    T& front() noexcept { return (*this)[0]; }
    T& back() noexcept  { return (*this)[count - 1]; }

    // The caller makes room first (the ring never overwrites silently).
    void push_back (T value) noexcept
    {
        assert (! full());
        storage[(size_t) wrap (head + count)] = value;
        ++count;
    }

    void pop_front() noexcept { pop_front (1); }

    void pop_front (int n) noexcept
    {
        n = std::min (n, count);
        head = wrap (head + n);
        count -= n;
    }

    // Keeps the oldest `newSize` elements.
    void truncate (int newSize) noexcept { count = std::clamp (newSize, 0, count); }

    void clear() noexcept { head = 0; count = 0; }

    // Sets every element held to `value`, keeping the size.
    void fill (T value) noexcept
    {
        const int firstRun = std::min (count, (int) storage.size() - head);
        std::fill_n (storage.begin() + head, firstRun, value);
        std::fill_n (storage.begin(), count - firstRun, value);
    }

private:
    int wrap (int i) const noexcept { return i & mask; }

    std::vector<T> storage;
    int mask = 0, limit = 0;     // storage length - 1; elements it may hold
    int head = 0, count = 0;
};
