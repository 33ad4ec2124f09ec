#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "core/error.h"
#include "math/failure_expectation.h"
#include "math/normal_distribution.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr const char* source_file = "Foundation/math/normal_distribution";

struct reference_value
{
    double x, expected;
};

// Reference values at the double argument, computed once with mpmath 1.2.1 at mp.dps = 50 and
// printed to 30 digits: N(x) = mp.ncdf(x); N/n = sqrt(pi/2) exp(x^2/2) erfc(-x/sqrt 2) (the
// asymptotic series of erfcx beyond 1e10); N^{-1}(p) = sqrt 2 erfinv(2p - 1), and in the
// tails the root of log ncdf(x) = log p by mp.findroot.
constexpr reference_value cdf_references[] = {
    {-37.5, 4.60535300958195484382796909761e-308},
    {-30.0, 4.90671392714818705953380925658e-198},
    {-20.0, 2.75362411860623369507562278086e-89},
    {-12.5, 3.73256429887771337722583633803e-36},
    {-8.0, 6.22096057427178412351599517259e-16},
    {-5.0, 2.86651571879193911673752332875e-7},
    {-3.0, 1.34989803163009452665181476759e-3},
    {-2.0, 2.27501319481792072002826371665e-2},
    {-1.0, 1.58655253931457051414767454368e-1},
    {-0.5, 3.08537538725986896362295389392e-1},
    {-1e-10, 4.99999999960105771959856730753e-1},
    {0.0, 0.5},
    {1e-10, 5.00000000039894228040143269247e-1},
    {0.75, 7.73372647623131800672937830617e-1},
    {1.5, 9.3319279873114193399550595902e-1},
    {3.0, 9.98650101968369905473348185232e-1},
    {5.0, 9.99999713348428120806088326248e-1},
    {8.0, 9.99999999999999377903942572822e-1},
};

constexpr reference_value cdf_over_density_references[] = {
    {-1e100, 9.9999999999999998409710889024e-101},
    {-1e10, 9.9999999999999999999e-11},
    {-1000.0, 9.99999000002999985000104999055e-4},
    {-40.0, 2.49844042057205711473883946331e-2},
    {-10.0, 9.90285964717319213953371885953e-2},
    {-1.0, 6.55679542418798471543871230731e-1},
    {0.0, 1.25331413731550025120788264241},
    {1.0, 3.47705181170369446692552065357},
    {5.0, 6.7262163672287925230729800453e+5},
    {20.0, 1.81128301589259161561126780867e+87},
    {37.0, 4.71696655503658054665836793942e+297},
    // up to the overflow: 37.6527229921072 is the last double where N/n is finite
    // (ncdf(z) / npdf(z) at mpf(z)); a cut-off even a little early would give +inf here
    {37.01, 6.82925721225935389325078360825e+297},
    {37.3, 3.26493694129478811917743970939e+302},
    {37.6, 2.47271066478232495006133631006e+307},
    {37.65, 1.6225190181518196647285843228e+308},
    {37.6527229921072, 1.79769313486193461623733733632e+308},
};

constexpr reference_value inverse_references[] = {
    {5e-324, -3.84674056171443462507843621685e+1},
    {1e-300, -3.70470962993611992365470425049e+1},
    {1e-200, -3.02055941795796430631240136623e+1},
    {1e-100, -2.12734535609653242941795170354e+1},
    {1e-50, -1.49333375347884889806582114809e+1},
    {1e-20, -9.26234008979840757957209460428},
    {1e-10, -6.36134090240405619910039694879},
    {1e-5, -4.26489079392282461023374886652},
    {0.001, -3.09023230616781353535800457626},
    {0.02425, -1.97296105131188483760274814279},
    {0.075, -1.43953147093845593494980102247},
    {0.3, -5.24400512708040815969454362264e-1},
    {0.50000001, 2.50662828722620443766435798784e-8},
    {0.7, 5.2440051270804065631362917607e-1},
    {0.925, 1.43953147093845622906332015725},
    {0.975, 1.95996398454005385560443064983},
    {0.999, 3.09023230616781327775820233256},
    {1.0 - 1e-10, 6.36134088969742186415544178743},
    {1.0 - 1e-16, 8.20953615160138685563076877867},
};

double relative_error(double value, double expected) { return std::fabs(value / expected - 1.0); }

class cdfnorm_values : public ::testing::TestWithParam<reference_value>
{
};

// The rounding of x itself costs x^2 eps in the tail, hence the wider bound beyond |x| = 3.
TEST_P(cdfnorm_values, match_the_reference)
{
    const auto [x, expected] = GetParam();
    const double bound = std::fabs(x) <= 3.0 ? 2e-15 : (x * x + 3.0) * eps;
    EXPECT_LE(relative_error(normal_distribution::cdfnorm(x), expected), bound) << "x = " << x;
}

INSTANTIATE_TEST_SUITE_P(math, cdfnorm_values, ::testing::ValuesIn(cdf_references));

class cdf_over_density_values : public ::testing::TestWithParam<reference_value>
{
};

TEST_P(cdf_over_density_values, match_the_reference)
{
    const auto [x, expected] = GetParam();
    EXPECT_LE(relative_error(normal_distribution::cdf_over_density(x), expected), 4.0 * eps)
        << "x = " << x;
}

INSTANTIATE_TEST_SUITE_P(math, cdf_over_density_values,
                         ::testing::ValuesIn(cdf_over_density_references));

class cdfnorminv_values : public ::testing::TestWithParam<reference_value>
{
};

TEST_P(cdfnorminv_values, match_the_reference_in_both_precisions)
{
    const auto [p, expected] = GetParam();
    EXPECT_LE(relative_error(normal_distribution::cdfnorminv(p), expected), 1e-14) << "p = " << p;
    // the fast inverse keeps its bound down to the smallest normal p, 1.8e-9 below
    const double fast_bound = p >= std::numeric_limits<double>::min() ? 1.2e-9 : 1.8e-9;
    EXPECT_LE(relative_error(normal_distribution::cdfnorminv_fast(p), expected), fast_bound)
        << "p = " << p;
}

INSTANTIATE_TEST_SUITE_P(math, cdfnorminv_values, ::testing::ValuesIn(inverse_references));

TEST(normal_distribution, density_is_the_closed_form)
{
    for (const double x : {0.0, 0.5, -1.0, 3.0, -7.25, 20.0, 37.0}) {
        const double expected = std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi);
        EXPECT_NEAR(normal_distribution::density_function(x) / expected, 1.0, 4.0 * eps) << x;
    }
    // the exact square matters beyond: x = 30.1 has x^2 = 906.0100000000001 in doubles
    const double density_at_30_1 = 7.30025938428061072434267405829e-198;  // mp.npdf, 50 digits
    EXPECT_NEAR(normal_distribution::density_function(30.1) / density_at_30_1, 1.0, 4.0 * eps);
    EXPECT_EQ(normal_distribution::density_function(inf), 0.0);
    EXPECT_EQ(normal_distribution::density_function(-inf), 0.0);
}

TEST(normal_distribution, inverse_and_cdf_round_trip)
{
    for (double p = 1e-300; p < 0.5; p *= 1.37) {
        const double x = normal_distribution::cdfnorminv(p);
        // N(x(1 + d)) = p (1 + d x^2) in the tail: a few ulp of x show x^2 fold
        EXPECT_LE(relative_error(normal_distribution::cdfnorm(x), p), (8.0 + 4.0 * x * x) * eps)
            << "p = " << p;
        const double complement = 1.0 - p;  // and 1 - complement is exact
        if (complement < 1.0) {
            EXPECT_EQ(normal_distribution::cdfnorminv(complement),
                      -normal_distribution::cdfnorminv(1.0 - complement))
                << "p = " << p;
        }
    }
}

TEST(normal_distribution, limits_follow_the_ieee_conventions)
{
    EXPECT_EQ(normal_distribution::cdfnorm(-inf), 0.0);
    EXPECT_EQ(normal_distribution::cdfnorm(inf), 1.0);
    EXPECT_EQ(normal_distribution::cdfnorm(-40.0), 0.0);
    EXPECT_EQ(normal_distribution::cdf_over_density(-inf), 0.0);
    EXPECT_EQ(normal_distribution::cdf_over_density(40.0), inf);
    EXPECT_EQ(normal_distribution::cdf_over_density(37.65272299210721), inf);  // N/n = 1.0000000000000027 * DBL_MAX
    EXPECT_EQ(normal_distribution::cdfnorminv(0.0), -inf);
    EXPECT_EQ(normal_distribution::cdfnorminv(1.0), inf);
    EXPECT_EQ(normal_distribution::cdfnorminv(0.5), 0.0);
    EXPECT_EQ(normal_distribution::cdfnorminv_fast(0.0), -inf);
    EXPECT_EQ(normal_distribution::cdfnorminv_fast(1.0), inf);
    const double nan = std::nan("");
    EXPECT_TRUE(std::isnan(normal_distribution::cdfnorm(nan)));
    EXPECT_TRUE(std::isnan(normal_distribution::cdf_over_density(nan)));
    EXPECT_TRUE(std::isnan(normal_distribution::cdfnorminv(nan)));
    EXPECT_TRUE(std::isnan(normal_distribution::cdfnorminv_fast(nan)));
}

TEST(normal_distribution, probabilities_outside_the_unit_interval_are_refused)
{
    const std::string expectation = "Expected is_probability_or_nan(p) to be true, but got false.";
    testing::expect_failure([] { normal_distribution::cdfnorminv(-0.25); },
                            {"cdfnorminv", source_file, 149}, expectation + "  p = -0.25");
    testing::expect_failure([] { normal_distribution::cdfnorminv_fast(1.5); },
                            {"cdfnorminv_fast", source_file, 53}, expectation + "  p = 1.5");
}

TEST(normal_distribution, array_form_matches_the_scalar_and_works_in_place)
{
    std::vector<double> uniform{1e-300, 0.01, 0.3, 0.5, 0.9, 1.0 - 1e-12, 0.0, 1.0};
    std::vector<double> gaussian(uniform.size());
    normal_distribution::cdfnorminv(uniform.size(), uniform.data(), gaussian.data());
    for (std::size_t i = 0; i < uniform.size(); ++i)
        EXPECT_EQ(gaussian[i], normal_distribution::cdfnorminv(uniform[i])) << i;
    normal_distribution::cdfnorminv(uniform.size(), uniform.data(), uniform.data());
    EXPECT_EQ(uniform, gaussian);
    normal_distribution::cdfnorminv(0, nullptr, nullptr);  // nothing to do

    // across the blocks of 512 the array form works in, centre and tails mixed
    std::vector<double> many(1500);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = std::fmod(0.6180339887498949 * static_cast<double>(i + 1), 1.0);
    std::vector<double> inverted(many.size());
    normal_distribution::cdfnorminv(many.size(), many.data(), inverted.data());
    for (std::size_t i = 0; i < many.size(); ++i)
        ASSERT_EQ(inverted[i], normal_distribution::cdfnorminv(many[i])) << i;
    normal_distribution::cdfnorminv(many.size(), many.data(), many.data());
    EXPECT_EQ(many, inverted);
}

TEST(normal_distribution, array_form_refuses_bad_arrays_before_writing)
{
    std::vector<double> uniform{0.25, 0.5, 1.25, 0.75};
    std::vector<double> gaussian(4, -7.0);
    testing::expect_failure(
        [&] { normal_distribution::cdfnorminv(4, uniform.data(), gaussian.data()); },
        {"cdfnorminv", source_file, 160},
        "Expected is_probability_or_nan(uniform[i]) to be true, but got false.  "
        "uniform[2] = 1.25");
    EXPECT_EQ(gaussian, std::vector<double>(4, -7.0));
    testing::expect_failure(
        [&] { normal_distribution::cdfnorminv(2, nullptr, gaussian.data()); },
        {"cdfnorminv", source_file, 157},
        "Expected uniform != nullptr && gaussian != nullptr to be true, but got false.");
    testing::expect_failure(
        [&] { normal_distribution::cdfnorminv(3, gaussian.data(), gaussian.data() + 1); },
        {"cdfnorminv", source_file, 158},
        "Expected !overlap_other_than_equal(uniform, gaussian, size) to be true, but got false.");
}

}  // namespace
}  // namespace korvex
