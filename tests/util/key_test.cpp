#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <unordered_set>

#include "util/key.h"

namespace korvex {
namespace {

TEST(Key, HoldsItsText)
{
    const key empty;
    EXPECT_EQ(empty.to_string(), "");
    key k(std::string("USD"));
    EXPECT_EQ(k.to_string(), "USD");
    k = std::string("EUR");
    EXPECT_EQ(k.to_string(), "EUR");
    EXPECT_EQ(k.hash(), key("EUR").hash());
}

TEST(Key, EqualTextsHashAndCompareEqual)
{
    EXPECT_EQ(key("OIS"), key(std::string("OIS")));
    EXPECT_NE(key("OIS"), key("OIS "));
    EXPECT_LT(key("A"), key("B"));
    EXPECT_EQ(key::hash_text("OIS"), key("OIS").hash());
    EXPECT_EQ(std::hash<key>{}(key("x")), key("x").hash());
}

TEST(Key, HashesOfSimilarTextsDoNotCollideAndSpreadOverAllBits)
{
    constexpr int count = 100000;
    std::unordered_set<std::uint64_t> seen;
    int bit_counts[64] = {};
    for (int i = 0; i < count; ++i) {
        const std::uint64_t h = key("curve" + std::to_string(i)).hash();
        seen.insert(h);
        for (int b = 0; b < 64; ++b)
            bit_counts[b] += static_cast<int>((h >> b) & 1u);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(count));
    for (int b = 0; b < 64; ++b) {
        EXPECT_GT(bit_counts[b], count * 0.48) << "bit " << b;
        EXPECT_LT(bit_counts[b], count * 0.52) << "bit " << b;
    }
}

TEST(Key, FoldingIsOrderSensitiveAndAvalanches)
{
    const key a("USD"), b("OIS");
    const std::uint64_t ab = key::hash(b, key::hash(a, 0));
    const std::uint64_t ba = key::hash(a, key::hash(b, 0));
    EXPECT_NE(ab, ba);
    EXPECT_EQ(ab, key::hash(b, key::hash(a, 0)));
    // One bit of difference in the running hash changes about half the output bits.
    const int changed = std::popcount(key::hash(a, 0) ^ key::hash(a, 1));
    EXPECT_GT(changed, 16);
    EXPECT_LT(changed, 48);
}

}  // namespace
}  // namespace korvex
