#pragma once

#include <cstdint>

// Counts the heap blocks that operator new hands out in this process and that
// are not yet deleted, the plug-in's own included: the test program replaces
// the global allocation functions, which a loaded bundle's code calls as well.
namespace allocation_counter
{
    std::int64_t liveBlocks() noexcept;
}
