#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
    std::atomic<std::int64_t> live { 0 };

    void* allocate (std::size_t size)
    {
        if (auto* p = std::malloc (size == 0 ? 1 : size))
        {
            live.fetch_add (1, std::memory_order_relaxed);
            return p;
        }

        throw std::bad_alloc();
    }

    void* allocateAligned (std::size_t size, std::align_val_t alignment)
    {
        const auto a = static_cast<std::size_t> (alignment);
        const auto rounded = (size + a - 1) / a * a;

        if (auto* p = std::aligned_alloc (a, rounded == 0 ? a : rounded))
        {
            live.fetch_add (1, std::memory_order_relaxed);
            return p;
        }

        throw std::bad_alloc();
    }

    void release (void* p) noexcept
    {
        if (p != nullptr)
        {
            live.fetch_sub (1, std::memory_order_relaxed);
            std::free (p);
        }
    }
}

std::int64_t allocation_counter::liveBlocks() noexcept   { return live.load(); }

void* operator new (std::size_t size)                                      { return allocate (size); }
void* operator new[] (std::size_t size)                                    { return allocate (size); }
void* operator new (std::size_t size, std::align_val_t a)                  { return allocateAligned (size, a); }
void* operator new[] (std::size_t size, std::align_val_t a)                { return allocateAligned (size, a); }

void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}

void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}

void operator delete (void* p) noexcept                                     { release (p); }
void operator delete[] (void* p) noexcept                                   { release (p); }
void operator delete (void* p, std::size_t) noexcept                        { release (p); }
void operator delete[] (void* p, std::size_t) noexcept                      { release (p); }
void operator delete (void* p, std::align_val_t) noexcept                   { release (p); }
void operator delete[] (void* p, std::align_val_t) noexcept                 { release (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept      { release (p); }
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept    { release (p); }
void operator delete (void* p, const std::nothrow_t&) noexcept              { release (p); }
void operator delete[] (void* p, const std::nothrow_t&) noexcept            { release (p); }
