#pragma once

#include <cstddef>

#include "core/core_export.h"

namespace korvex {

// Aligned host memory for the numeric containers.
//  - allocate(bytes, alignment): a block of at least `bytes` bytes aligned to `alignment`
//    (a power of two; smaller values are raised to alignof(std::max_align_t)). A request of
//    zero bytes is valid and returns a null pointer. Failure raises std::bad_alloc.
//  - free(p): releases a block from allocate; a null pointer is ignored.
struct KORVEX_CORE_API cpu_allocator
{
    static constexpr std::size_t default_alignment = 64;

    static void* allocate(std::size_t bytes, std::size_t alignment = default_alignment);
    static void free(void* p) noexcept;
};

}  // namespace korvex
