#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "Vectorization/expressions/vector.h"
#include "math/failure_expectation.h"
#include "math/gaussian_quadrature.h"
#include "math/inverse_gaussian_distribution.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr const char* source_file = "Foundation/math/inverse_gaussian_distribution";

struct inverse_gaussian_reference
{
    double x, lambda, density, cumulative;
};

// At the double arguments, computed once with mpmath 1.2.1 at mp.dps = 50 from the closed forms
// sqrt(l/(2 pi x^3)) exp(-l (x-1)^2/(2x)) and
// ncdf(sqrt(l/x)(x-1)) + exp(2l) ncdf(-sqrt(l/x)(x+1)), printed to 30 digits.
constexpr inverse_gaussian_reference references[] = {
    {0.01, 0.1, 9.38966195720498865093012728699e-1, 1.72929304062064972522575857421e-3},
    {0.2, 1.0, 9.00521116803841618649615878463e-1, 6.37535675199762604603305165123e-2},
    {0.5, 2.0, 9.67882898076573399191320771742e-1, 2.32357189191843039986500535253e-1},
    {0.9, 1000.0, 5.71214443070781538765098660269e-2, 4.53406040278236678503696931455e-4},
    {1.0, 1.0, 3.98942280401432677939946059934e-1, 6.68102001223170606427149114029e-1},
    {1.5, 0.3, 1.16004928984839062737437914717e-1, 8.28580324994337832867198798078e-1},
    {3.0, 10.0, 3.08980902749386515199295350821e-4, 9.9993791959748274373511196437e-1},
    {20.0, 1.0, 5.36855458466556110232709312072e-7, 9.99999055200388897719539782328e-1},
    {0.98, 1e5, 1.78204333317185133093521762924e-7, 8.44794342661063577426200519775e-11},
    {1.02, 1e5, 3.73621389837313633766297154419e-7, 9.9999999981218473615117492266e-1},
    {0.5, 400.0, 8.39531246270883378017423991274e-43, 1.39385446488784278356303818762e-45},
    // the largest errors found, about 2.6 and 2.4 u^2 eps
    {0.323, 725.0, 2.37422412692374767492485979096e-222, 7.62349790086677993133798374068e-226},
    {0.455, 300.0, 6.7018508169857638959921626891e-42, 1.16195621995673026286795019384e-44},
};

class inverse_gaussian_values : public ::testing::TestWithParam<inverse_gaussian_reference>
{
};

// exp(-u^2), u^2 = lambda (x-1)^2 / (2x), is conditioned like u^2: each rounding in u costs
// about u^2 eps, which the bound allows (u^2 = 200 at x = 0.5, lambda = 400).
TEST_P(inverse_gaussian_values, match_the_reference)
{
    const auto [x, lambda, density, cumulative] = GetParam();
    const double exponent = lambda * (x - 1.0) * (x - 1.0) / (2.0 * x);
    const double bound = (8.0 + 3.0 * exponent) * eps;
    EXPECT_NEAR(inverse_gaussian_distribution::density(x, lambda) / density, 1.0, bound);
    EXPECT_NEAR(inverse_gaussian_distribution::cumulative(x, lambda) / cumulative, 1.0, bound);
}

INSTANTIATE_TEST_SUITE_P(math, inverse_gaussian_values, ::testing::ValuesIn(references));

TEST(inverse_gaussian_distribution, cumulative_is_the_integral_of_the_density)
{
    vector<double> points, weights;
    gaussian_quadrature::gauss_legendre_coefficients(64, points, weights);
    for (const double lambda : {0.5, 3.0, 700.0}) {
        const double a = 0.6, b = 1.3;
        double integral = 0.0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double x = a + 0.5 * (b - a) * (points[i] + 1.0);
            const double density = inverse_gaussian_distribution::density(x, lambda);
            integral += weights[i] * 0.5 * (b - a) * density;
        }
        const double difference = inverse_gaussian_distribution::cumulative(b, lambda) -
                                  inverse_gaussian_distribution::cumulative(a, lambda);
        EXPECT_NEAR(difference, integral, 1e-14) << "lambda = " << lambda;
    }
}

TEST(inverse_gaussian_distribution, edges_of_the_support)
{
    for (const double x : {0.0, -1.0, -inf}) {
        EXPECT_EQ(inverse_gaussian_distribution::density(x, 2.0), 0.0);
        EXPECT_EQ(inverse_gaussian_distribution::cumulative(x, 2.0), 0.0);
    }
    EXPECT_EQ(inverse_gaussian_distribution::density(inf, 2.0), 0.0);
    EXPECT_EQ(inverse_gaussian_distribution::cumulative(inf, 2.0), 1.0);
    EXPECT_EQ(inverse_gaussian_distribution::density(1e-300, 1e10), 0.0);  // no inf * 0
    EXPECT_EQ(inverse_gaussian_distribution::cumulative(1e300, 1e-3), 1.0);
    EXPECT_TRUE(std::isnan(inverse_gaussian_distribution::density(std::nan(""), 2.0)));
    EXPECT_TRUE(std::isnan(inverse_gaussian_distribution::cumulative(std::nan(""), 2.0)));
}

TEST(inverse_gaussian_distribution, shape_must_be_positive_and_finite)
{
    const std::string expectation =
        "Expected positive_and_finite(lambda) to be true, but got false.";
    testing::expect_failure([] { inverse_gaussian_distribution::density(1.0, 0.0); },
                            {"density", source_file, 26}, expectation + "  lambda = 0");
    testing::expect_failure([] { inverse_gaussian_distribution::cumulative(1.0, -2.0); },
                            {"cumulative", source_file, 38}, expectation + "  lambda = -2");
    testing::expect_failure([] { inverse_gaussian_distribution::cumulative(1.0, inf); },
                            {"cumulative", source_file, 38}, expectation + "  lambda = inf");
}

}  // namespace
}  // namespace korvex
