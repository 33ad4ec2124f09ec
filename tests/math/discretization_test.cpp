#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "math/discretization.h"

namespace korvex {
namespace {

class uniform_points : public testing::TestWithParam<std::tuple<std::size_t, double, double>>
{
};

TEST_P(uniform_points, are_evenly_spaced_with_exact_ends)
{
    const auto [count, a, b] = GetParam();
    const double sentinel = -12345.0;
    std::vector<double> out(count + 1, sentinel);
    discretization::uniform(out.data(), count, a, b, 0.5 * (a + b));

    EXPECT_EQ(out[0], a);
    EXPECT_EQ(out[count - 1], b);
    EXPECT_EQ(out[count], sentinel);  // writes exactly `count` points
    const double step = (b - a) / static_cast<double>(count - 1);
    for (std::size_t k = 0; k < count; ++k)
        EXPECT_NEAR(out[k], a + static_cast<double>(k) * step,
                    4.0 * std::numeric_limits<double>::epsilon() * (std::fabs(a) + std::fabs(b)))
            << "point " << k;
    for (std::size_t k = 1; k < count; ++k)
        EXPECT_NEAR(out[k] - out[k - 1], step, 1e-12 * std::fabs(step));
}

INSTANTIATE_TEST_SUITE_P(math, uniform_points,
                         testing::Values(std::make_tuple(2, 0.0, 1.0),
                                         std::make_tuple(3, -1.0, 1.0),
                                         std::make_tuple(11, 0.1, 0.7),
                                         std::make_tuple(101, -3.3, 17.9),
                                         std::make_tuple(1000, 1.0e-3, 2.5e2),
                                         std::make_tuple(7, 5.0, -2.0)));

TEST(uniform_points_edge, single_point_is_a_and_zero_points_write_nothing)
{
    double out[2] = {-1.0, -1.0};
    discretization::uniform(out, 0, 3.0, 4.0, 3.5);
    EXPECT_EQ(out[0], -1.0);
    discretization::uniform(out, 1, 3.0, 4.0, 3.5);
    EXPECT_EQ(out[0], 3.0);
    EXPECT_EQ(out[1], -1.0);
}

}  // namespace
}  // namespace korvex
