#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/cpu_allocator.h"
#include "core/error.h"
#include "core/multi_process_stream.h"

namespace korvex {
namespace {

// A stream holding one value of every kind, and the reader that expects it back.
multi_process_stream sample_stream()
{
    multi_process_stream s;
    const double values[] = {1.5, -2.25, 1e300};
    s << -42 << 7u << 3.141592653589793 << std::string("hello") << 123456789012345ULL << true
      << false << std::string();
    s.Push(values, 3);
    s << "tail";
    return s;
}

void read_sample(multi_process_stream& s)
{
    int i = 0;
    unsigned u = 0;
    double d = 0;
    std::string text, empty = "x", tail;
    unsigned long long q = 0;
    bool t = false, f = true;
    double* array = nullptr;
    unsigned n = 0;
    s >> i >> u >> d >> text >> q >> t >> f >> empty;
    s.Pop(array, n);
    const std::unique_ptr<double, void (*)(void*)> owner(array, cpu_allocator::free);
    s >> tail;
    EXPECT_EQ(i, -42);
    EXPECT_EQ(u, 7u);
    EXPECT_EQ(d, 3.141592653589793);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(q, 123456789012345ULL);
    EXPECT_TRUE(t);
    EXPECT_FALSE(f);
    EXPECT_EQ(empty, "");
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(array) % 64, 0u);
    EXPECT_EQ(array[0], 1.5);
    EXPECT_EQ(array[1], -2.25);
    EXPECT_EQ(array[2], 1e300);
    EXPECT_EQ(tail, "tail");
    EXPECT_EQ(s.bytes_left(), 0u);
}

TEST(MultiProcessStream, ValuesComeOutInTheOrderTheyWentIn)
{
    multi_process_stream s = sample_stream();
    read_sample(s);
}

TEST(MultiProcessStream, RawDataRoundTripsThroughAFreshStream)
{
    const multi_process_stream written = sample_stream();
    multi_process_stream copy;
    copy.SetRawData(written.GetRawData());
    read_sample(copy);
    copy.SetRawData(written.GetRawData());  // rewinds
    read_sample(copy);
}

TEST(MultiProcessStream, SpecialDoublesSurvive)
{
    multi_process_stream s;
    s << std::numeric_limits<double>::infinity() << -0.0
      << std::numeric_limits<double>::quiet_NaN() << std::numeric_limits<double>::denorm_min();
    double a, b, c, d;
    s >> a >> b >> c >> d;
    EXPECT_EQ(a, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::signbit(b));
    EXPECT_TRUE(std::isnan(c));
    EXPECT_EQ(d, std::numeric_limits<double>::denorm_min());
}

TEST(MultiProcessStream, EmptyArrayPopsAsNull)
{
    multi_process_stream s;
    s.Push(nullptr, 0);
    double* array = reinterpret_cast<double*>(1);
    unsigned n = 9;
    s.Pop(array, n);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(n, 0u);
}

SourceLocation stream_site(const char* function, int line)
{
    return {function, "Foundation/core/multi_process_stream", line};
}

std::string read_failure(multi_process_stream& s)
{
    try {
        read_sample(s);
    } catch (const Error& e) {
        return e.message();
    }
    return "";
}

// Cutting the stream anywhere before its end must give a clean Error, never a read past the
// buffer (the sanitizers watch).
TEST(MultiProcessStream, EveryTruncationIsRefused)
{
    const std::vector<std::uint8_t> full = sample_stream().GetRawData();
    for (std::size_t length = 0; length < full.size(); ++length) {
        multi_process_stream s;
        s.SetRawData(std::vector<std::uint8_t>(full.begin(), full.begin() + length));
        EXPECT_NE(read_failure(s), "") << "truncated at " << length;
    }
}

TEST(MultiProcessStream, ReadingPastTheEndNamesTheOffset)
{
    multi_process_stream s;
    s << 1;
    int i = 0;
    s >> i;
    try {
        s >> i;
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(),
                  "multi_process_stream: expected an int at offset 5, but the stream ends there");
        EXPECT_EQ(e.location(), stream_site("read_tag", 80));
    }
    std::vector<std::uint8_t> cut = s.GetRawData();
    cut.resize(3);  // the tag and two of the four bytes
    s.SetRawData(cut);
    try {
        s >> i;
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "multi_process_stream: cannot read 4 bytes at offset 1, only 2 left");
        EXPECT_EQ(e.location(), stream_site("read_bytes", 69));
    }
}

TEST(MultiProcessStream, ATypeMismatchIsRefused)
{
    multi_process_stream s;
    s << std::string("text");
    double d = 0;
    try {
        s >> d;
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "multi_process_stream: expected a double at offset 0, found a string");
        EXPECT_EQ(e.location(), stream_site("read_tag", 85));
    }
}

// A forged length must not make the reader allocate it.
TEST(MultiProcessStream, LengthsBeyondTheBytesLeftAreRefusedBeforeAllocating)
{
    multi_process_stream strings;
    strings << std::numeric_limits<unsigned long long>::max();
    std::vector<std::uint8_t> bytes = strings.GetRawData();
    bytes[0] = 's';  // now reads as a string of 2^64 - 1 bytes
    strings.SetRawData(bytes);
    std::string text;
    try {
        strings >> text;
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "multi_process_stream: string length 18446744073709551615 at "
                               "offset 9 exceeds the 0 bytes left");
        EXPECT_EQ(e.location(), stream_site("operator>>", 177));
    }

    multi_process_stream arrays;
    arrays << 4000000000u;
    bytes = arrays.GetRawData();
    bytes[0] = 'a';
    arrays.SetRawData(bytes);
    double* p = nullptr;
    unsigned n = 0;
    try {
        arrays.Pop(p, n);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "multi_process_stream: array of 4000000000 doubles at offset 5 "
                               "exceeds the 0 bytes left");
        EXPECT_EQ(e.location(), stream_site("Pop", 233));
    }
    EXPECT_EQ(p, nullptr);
}

TEST(MultiProcessStream, ABoolByteOtherThanZeroOrOneIsRefused)
{
    multi_process_stream s;
    s << true;
    std::vector<std::uint8_t> bytes = s.GetRawData();
    bytes[1] = 2;
    s.SetRawData(bytes);
    bool b = false;
    try {
        s >> b;
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "multi_process_stream: invalid bool value 2 at offset 1");
        EXPECT_EQ(e.location(), stream_site("operator>>", 165));
    }
}

}  // namespace
}  // namespace korvex
