#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "core/cpu_allocator.h"

namespace korvex {
namespace {

class AllocatorSizes : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(AllocatorSizes, BlocksAre64ByteAlignedAndWritable)
{
    const std::size_t bytes = GetParam();
    void* p = cpu_allocator::allocate(bytes, 64);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
    std::memset(p, 0xab, bytes);  // the sanitizer catches a short block
    cpu_allocator::free(p);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AllocatorSizes,
                         ::testing::Values(1, 7, 8, 63, 64, 65, 4096, 1 << 20));

TEST(CpuAllocator, ZeroBytesIsValidAndGivesNull)
{
    void* p = cpu_allocator::allocate(0, 64);
    EXPECT_EQ(p, nullptr);
    cpu_allocator::free(p);
}

TEST(CpuAllocator, ImpossibleRequestsRaiseBadAlloc)
{
    EXPECT_THROW(cpu_allocator::allocate(std::numeric_limits<std::size_t>::max() - 64, 64),
                 std::bad_alloc);
    EXPECT_THROW(cpu_allocator::allocate(16, 48), std::bad_alloc);  // not a power of two
}

TEST(CpuAllocator, SmallAlignmentsAreRaised)
{
    void* p = cpu_allocator::allocate(10, 1);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t), 0u);
    cpu_allocator::free(p);
}

}  // namespace
}  // namespace korvex
