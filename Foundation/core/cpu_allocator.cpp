#include "core/cpu_allocator.h"

#include <cstdlib>
#include <new>

namespace korvex {

void* cpu_allocator::allocate(std::size_t bytes, std::size_t alignment)
{
    if (bytes == 0)
        return nullptr;
    if (alignment < alignof(std::max_align_t))
        alignment = alignof(std::max_align_t);
    if ((alignment & (alignment - 1)) != 0)
        throw std::bad_alloc();
    void* p = nullptr;
    if (::posix_memalign(&p, alignment, bytes) != 0)
        throw std::bad_alloc();
    return p;
}

void cpu_allocator::free(void* p) noexcept
{
    std::free(p);
}

}  // namespace korvex
