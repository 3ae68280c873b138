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

    // Adds `value` before the front until `newSize` elements are held (at
    // most the capacity), or drops the oldest down to it: the newest stay.
    void resizeAtFront (int newSize, T value) noexcept
    {
        newSize = std::clamp (newSize, 0, limit);

        if (newSize <= count)
        {
            pop_front (count - newSize);
            return;
        }

        for (; count < newSize; ++count)
        {
            head = wrap (head - 1);
            storage[(size_t) head] = value;
        }
    }

    void clear() noexcept { head = 0; count = 0; }

    // Elements 0 .. n - 1 into every `stride`-th place of `out`.
    void copyFront (T* out, int n, int stride) const noexcept
    {
        const int firstRun = std::min (n, (int) storage.size() - head);

        for (int i = 0; i < firstRun; ++i)
            out[i * stride] = storage[(size_t) (head + i)];

        for (int i = firstRun; i < n; ++i)
            out[i * stride] = storage[(size_t) (i - firstRun)];
    }

    // Appends n values, every `stride`-th one of `in`. The caller makes room first.
    void append (const T* in, int n, int stride) noexcept
    {
        assert (count + n <= limit);
        const int at = wrap (head + count);
        const int firstRun = std::min (n, (int) storage.size() - at);

        for (int i = 0; i < firstRun; ++i)
            storage[(size_t) (at + i)] = in[i * stride];

        for (int i = firstRun; i < n; ++i)
            storage[(size_t) (i - firstRun)] = in[i * stride];

        count += n;
    }

    // Asks the cache for elements first .. first + n - 1 ahead of reading them.
    void prefetch (int first, int n) const noexcept
    {
        constexpr int perLine = 64 / (int) sizeof (T);

        for (int i = 0; i < n + perLine; i += perLine)
            __builtin_prefetch (&storage[(size_t) wrap (head + first + i)]);
    }

    // Sets every element held to `value`, keeping the size.
    void fill (T value) noexcept
    {
        const int firstRun = std::min (count, (int) storage.size() - head);
        std::fill_n (storage.begin() + head, firstRun, value);
        std::fill_n (storage.begin(), count - firstRun, value);
    }

    // The ring's positions in locals for a run of steps: kept in the ring
    // they make a round trip through memory at every step, since any store
    // of an element might have been to them. store() puts them back.
    class cursor
    {
    public:
        explicit cursor (fixed_ring& r) noexcept
            : ring (r), data (r.storage.data()), mask (r.mask), limit (r.limit), head (r.head), count (r.count) {}

        void store() noexcept { ring.head = head; ring.count = count; }

        // Where element i lies in the storage, and the storage itself: rings
        // standing alike can share the first.
        int slotOf (int i) const noexcept { return (head + i) & mask; }
        T* storage() const noexcept { return data; }

        int size() const noexcept { return count; }
        bool full() const noexcept { return count == limit; }
        T& operator[] (int i) noexcept { return data[(head + i) & mask]; }
        T& front() noexcept { return data[head]; }

        void push_back (T value) noexcept
        {
            assert (! full());
            data[(head + count) & mask] = value;
            ++count;
        }

        void pop_front() noexcept { pop_front (1); }

        // After values were written in place past the back: `dropped` have
        // left the front, and `held` are held.
        void settle (int dropped, int held) noexcept
        {
            head = (head + dropped) & mask;
            count = held;
        }

        void pop_front (int n) noexcept
        {
            n = std::min (n, count);
            head = (head + n) & mask;
            count -= n;
        }

    private:
        fixed_ring& ring;
        T* data;
        int mask, limit, head, count;
    };

private:
    int wrap (int i) const noexcept { return i & mask; }

    std::vector<T> storage;
    int mask = 0, limit = 0;     // storage length - 1; elements it may hold
    int head = 0, count = 0;
};
