#include <gtest/gtest.h>

#include <random>
#include <string>

#include "serialization/crc32c.h"
#include "serialization/test_support.h"

namespace korvex::serialization {
namespace {

// CRC-32C of the bytes 0, 1, ..., n-1 (mod 256), computed bit by bit by Debian's Python.
std::uint32_t python_crc32c_of_counting_bytes(std::size_t n)
{
    return static_cast<std::uint32_t>(std::stoul(korvex::testing::python_output(
        "c = 0xFFFFFFFF\n"
        "for i in range(" + std::to_string(n) + "):\n"
        "    c ^= i % 256\n"
        "    for _ in range(8):\n"
        "        c = (c >> 1) ^ (0x82F63B78 if c & 1 else 0)\n"
        "print(c ^ 0xFFFFFFFF)")));
}

TEST(Crc32c, CheckValuesOfTheStandard)
{
    EXPECT_EQ(crc32c("123456789", 9), 0xE3069283u);
    EXPECT_EQ(crc32c_portable("123456789", 9), 0xE3069283u);
    EXPECT_EQ(crc32c("", 0), 0u);
    const std::string zeros(32, '\0');
    EXPECT_EQ(crc32c(zeros.data(), zeros.size()), 0x8A9136AAu);  // RFC 3720, B.4
}

class Crc32cAgainstABitwiseReference : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(Crc32cAgainstABitwiseReference, MatchesPython)
{
    const std::size_t n = GetParam();
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(i % 256);
    const std::uint32_t expected = python_crc32c_of_counting_bytes(n);
    EXPECT_EQ(crc32c(bytes.data(), n), expected);
    EXPECT_EQ(crc32c_portable(bytes.data(), n), expected);
}

// Lengths around the 8-byte steps of both loops, and a longer block.
INSTANTIATE_TEST_SUITE_P(Lengths, Crc32cAgainstABitwiseReference,
                         ::testing::Values(1, 7, 8, 9, 15, 16, 17, 255, 256, 1000, 20001));

TEST(Crc32c, TheInstructionAndTheTablesAgree)
{
    std::mt19937 random(3);
    std::string bytes(100000, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    for (const std::size_t n : {0, 3, 64, 4097, 100000})
        EXPECT_EQ(crc32c(bytes.data(), n), crc32c_portable(bytes.data(), n)) << n;
}

TEST(Crc32c, ContinuesOverSeveralBlocks)
{
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const std::uint32_t whole = crc32c(text.data(), text.size());
    EXPECT_EQ(whole, 0x22620404u);
    for (std::size_t split = 0; split <= text.size(); ++split)
        EXPECT_EQ(crc32c(text.data() + split, text.size() - split, crc32c(text.data(), split)),
                  whole);
}

}  // namespace
}  // namespace korvex::serialization
