#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "math/failure_expectation.h"
#include "math/laplace_inverter_gaver_stehfest.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/laplace_inverter_gaver_stehfest";

TEST(laplace_inverter_gaver_stehfest, small_weights_are_exact)
{
    EXPECT_EQ(laplace_inverter_gaver_stehfest(2, 0.0).weights(), (std::vector<double>{2.0, -2.0}));
    EXPECT_EQ(laplace_inverter_gaver_stehfest(4, 0.0).weights(),
              (std::vector<double>{-2.0, 26.0, -48.0, 24.0}));
}

// sum V_k = 0 (a constant transform inverts to 0) and sum V_k / k = 1 (1/s inverts to 1), up
// to the rounding of weights as large as 10^(2N/3).
TEST(laplace_inverter_gaver_stehfest, weights_sum_to_zero_and_invert_one)
{
    for (std::size_t size = 2; size <= 30; size += 2) {
        const laplace_inverter_gaver_stehfest inverter(size, 0.0);
        const std::vector<double>& v = inverter.weights();
        ASSERT_EQ(v.size(), size);
        double sum = 0.0, over_k = 0.0, largest = 0.0;
        for (std::size_t k = 0; k < size; ++k) {
            sum += v[k];
            over_k += v[k] / static_cast<double>(k + 1);
            largest = std::fmax(largest, std::fabs(v[k]));
        }
        const double rounding = 2.0 * static_cast<double>(size) * largest *
                                std::numeric_limits<double>::epsilon();
        EXPECT_NEAR(sum, 0.0, rounding) << "N = " << size;
        EXPECT_NEAR(over_k, 1.0, rounding) << "N = " << size;
    }
}

struct inversion_case
{
    const char* name;
    std::function<double(double)> transform;
    double shift, t;
    double stehfest;  // the method in 50-digit arithmetic
    double exact;     // the original
    double method_error;
};

// The method's own value at N = 14 from mpmath 1.2.1 at mp.dps = 50,
// mp.invertlaplace(F, t, method='stehfest', degree=14) (times e^t for the shifted case, which
// inverts 1/(s - 1) through 1/s), printed to 30 digits. Double precision rounds the alternating
// sum, whose weights reach 2e8 at N = 14: the result stays within 1e-8 of the method's value
// in absolute terms (these originals are of order 1), and the method within method_error
// (relative) of the original.
const inversion_case inversions[] = {
    {"1/s", [](double s) { return 1.0 / s; }, 0.0, 2.0, 9.99999999999693554037102048715e-1, 1.0,
     1e-8},
    {"1/s^2", [](double s) { return 1.0 / (s * s); }, 0.0, 2.0, 1.99999927770107913552817720249,
     2.0, 5e-7},
    // 7.5e-5 at a t = 2
    {"1/(s+1), t = 2", [](double s) { return 1.0 / (s + 1.0); }, 0.0, 2.0,
     1.35345449507075958371296467778e-1, std::exp(-2.0), 8e-5},
    {"1/(s+0.25), t = 8", [](double s) { return 1.0 / (s + 0.25); }, 0.0, 8.0,
     1.35345449507075958371296467778e-1, std::exp(-2.0), 8e-5},
    {"1/(s-1), shift 1", [](double s) { return 1.0 / (s - 1.0); }, 1.0, 1.0,
     2.7182818284582122288679373356, std::exp(1.0), 1e-8},
    // fast decay: 7e-3 relative at a t = 5
    {"1/(s+1), t = 5", [](double s) { return 1.0 / (s + 1.0); }, 0.0, 5.0,
     6.68834356402787751310503016602e-3, std::exp(-5.0), 8e-3},
};

class gaver_stehfest_inversions : public ::testing::TestWithParam<inversion_case>
{
};

TEST_P(gaver_stehfest_inversions, reach_the_accuracy_of_the_method)
{
    const inversion_case& c = GetParam();
    const laplace_inverter_gaver_stehfest inverter(14, c.shift);
    const double value = inverter.invert(c.transform, c.t);
    EXPECT_NEAR(value, c.stehfest, 1e-8 * std::exp(c.shift * c.t)) << c.name;
    EXPECT_NEAR(value / c.exact, 1.0, c.method_error) << c.name;
}

INSTANTIATE_TEST_SUITE_P(math, gaver_stehfest_inversions, ::testing::ValuesIn(inversions));

TEST(laplace_inverter_gaver_stehfest, copies_are_equal_and_independent)
{
    laplace_inverter_gaver_stehfest original(10, 0.5);
    const laplace_inverter_gaver_stehfest copy(original);
    EXPECT_EQ(copy, original);
    EXPECT_EQ(copy.shift(), 0.5);
    original = laplace_inverter_gaver_stehfest(6, 0.0);
    EXPECT_EQ(copy.weights().size(), 10u);
    EXPECT_FALSE(copy == original);
}

TEST(laplace_inverter_gaver_stehfest, bad_arguments_are_refused)
{
    const std::string size = "Expected size > 0 && size % 2 == 0 && size <= max_size to be true, "
                             "but got false.  size = ";
    for (const std::size_t bad : {std::size_t{0}, std::size_t{7}, std::size_t{402}})
        testing::expect_failure([&] { laplace_inverter_gaver_stehfest(bad, 0.0); },
                                {"laplace_inverter_gaver_stehfest", source_file, 43},
                                size + std::to_string(bad));
    testing::expect_failure(
        [] { laplace_inverter_gaver_stehfest(8, std::nan("")); },
        {"laplace_inverter_gaver_stehfest", source_file, 45},
        "Expected std::isfinite(shift) to be true, but got false.  shift = nan");
    const laplace_inverter_gaver_stehfest inverter(8, 0.0);
    testing::expect_failure(
        [&] { inverter.invert([](double s) { return 1.0 / s; }, 0.0); },
        {"check_time", source_file, 52},
        "Expected t > 0.0 && std::isfinite(t) to be true, but got false.  t = 0");
}

}  // namespace
}  // namespace korvex
