#include <gtest/gtest.h>

#include <string>

#include "serialization/crc32.h"
#include "serialization/test_support.h"

namespace korvex::serialization {
namespace {

// zlib's crc32 of the bytes 0, 1, ..., n-1 (mod 256), computed by Debian's Python.
std::uint32_t python_crc32_of_counting_bytes(std::size_t n)
{
    return static_cast<std::uint32_t>(std::stoul(korvex::testing::python_output(
        "import zlib; print(zlib.crc32(bytes(i % 256 for i in range(" + std::to_string(n) + "))))")));
}

TEST(Crc32, CheckValueOfTheStandard)
{
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32("", 0), 0u);
}

class Crc32AgainstZlib : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(Crc32AgainstZlib, MatchesPythonZlib)
{
    const std::size_t n = GetParam();
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(i % 256);
    EXPECT_EQ(crc32(bytes.data(), n), python_crc32_of_counting_bytes(n));
}

// Lengths around the 8-byte steps of the folding loop, and a long block.
INSTANTIATE_TEST_SUITE_P(Lengths, Crc32AgainstZlib,
                         ::testing::Values(1, 7, 8, 9, 15, 16, 17, 255, 256, 1000, 65537));

TEST(Crc32, ContinuesOverSeveralBlocks)
{
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const std::uint32_t whole = crc32(text.data(), text.size());
    EXPECT_EQ(whole, 0x414FA339u);
    for (std::size_t split = 0; split <= text.size(); ++split)
        EXPECT_EQ(crc32(text.data() + split, text.size() - split, crc32(text.data(), split)), whole);
}

}  // namespace
}  // namespace korvex::serialization
