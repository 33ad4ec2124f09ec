#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <random>
#include <string>

#include "Vectorization/expressions/vector.h"
#include "math/failure_expectation.h"
#include "math/gaussian_quadrature.h"
#include "math/hartman_watson_distribution.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr const char* source_file = "Foundation/math/hartman_watson_distribution";

struct theta_reference
{
    double x, t, expected;
};

// log theta from the leading term of the small-t expansion, at the double arguments: the
// saddle point solved by bisection and F, G from their closed forms, with mpmath 1.2.1 at
// mp.dps = 80, printed to 30 digits.
constexpr theta_reference expansion_references[] = {
    {5.0, 0.2, 5.32086699035880967012434100137},  // rho = 1
    {4.5, 0.2, 4.76001503470169691347152158903},
    {5.5, 0.2, 5.73202782816190996332420930708},
    {1.0, 0.1, -5.48936415598166737605814410313e+1},
    {100.0, 0.05, -1.68094467034613995080540080737e+1},
    {1e-3, 0.5, -9.2239487795861518531113138832e+1},
    {1e6, 1.0, -1.00000266610669379145141197305e+6},
    {3.3333333333333335, 0.3, 3.24873521558397887164991610144},  // rho = 1 + 1.1e-16
    {1e-200, 1.0, -1.08742810122066043589361591895e+5},
    {1e200, 0.5, -9.9999999999999996973312221251e+199},
    // across the range of the series near rho = 1, |1/rho - 1| <= 0.08 (rho from 0.926 to
    // 1.087), and just beyond it on both sides (saddle points by mp.findroot)
    {4.65, 0.2, 4.94626617975558379682584059367},
    {4.8, 0.2, 5.11657727031231665899409434678},
    {5.2, 0.2, 5.50134142230242434630261368301},
    {5.425, 0.2, 5.67857366771412822221745660727},
    {4.6, 0.2, 4.88601497696438220091523364038},
    {5.45, 0.2, 5.6966925530914692644753034431},
    {18.6, 0.05, 20.1657521472949593835234388667},
    {21.7, 0.05, 23.1876280359194645385532093239},
};

// theta(x, t) from Yor's integral by mpmath 1.2.1 at mp.dps = 150 (mp.quad between the zeros
// of sin(pi xi / t)), printed to 30 digits.
constexpr theta_reference integral_references[] = {
    {1.0, 1.0, 7.39076531303231916973637492402e-1},
    {0.5, 0.5, 1.12822495132936579990308866533e-2},
    {3.0, 0.5, 5.88750301157887666100509863744},
    {10.0, 0.3, 6.02923105579482608330663119262},
    {0.1, 2.0, 4.22566316340282234416187934983e-2},
    {50.0, 1.0, 1.66886678408033242003007367906e-21},
    {2.0, 5.0, 8.94883051696978549269594320339e-3},
};
constexpr theta_reference small_t_references[] = {
    {5.0, 0.1, 7.9661610920643439634532347181e-1},
    {10.0, 0.1, 6.06327775285866134857596125074e+4},
    {20.0, 0.05, 2.67294954293959987600372383658e+9},
    {40.0, 0.05, 5.43105600797050861252386734129e+10},
};

struct legendre_rule
{
    vector<double> roots, weights;

    explicit legendre_rule(std::size_t n)
    {
        gaussian_quadrature::gauss_legendre_coefficients(n, roots, weights);
    }
};

class expansion_values : public ::testing::TestWithParam<theta_reference>
{
};

// The terms F/t and log t are large beside log theta, so the bound is on their scale.
TEST_P(expansion_values, match_the_reference)
{
    const auto [x, t, expected] = GetParam();
    const double value = hartman_watson_distribution::log_distribution_asymptotique(x, t);
    EXPECT_NEAR(value, expected, 64.0 * eps * std::fmax(std::fabs(expected), 1.0 / t))
        << "x = " << x << ", t = " << t;
}

INSTANTIATE_TEST_SUITE_P(math, expansion_values, ::testing::ValuesIn(expansion_references));

class integral_values : public ::testing::TestWithParam<theta_reference>
{
};

TEST_P(integral_values, match_the_reference)
{
    const auto [x, t, expected] = GetParam();
    static const legendre_rule rule(128);
    const double value = hartman_watson_distribution::distribution_numerical(x, t, rule.roots,
                                                                             rule.weights);
    EXPECT_NEAR(value / expected, 1.0, 1e-11) << "x = " << x << ", t = " << t;
    // where the cancellation is mild, MIXTURE keeps the integral
    vector<double> results;
    hartman_watson_distribution::distribution(results, t, vector<double>{x}, rule.roots,
                                              rule.weights);
    EXPECT_EQ(results[0], value);
}

INSTANTIATE_TEST_SUITE_P(math, integral_values, ::testing::ValuesIn(integral_references));

class small_t_values : public ::testing::TestWithParam<theta_reference>
{
};

// The leading term is within t/70 of theta; MIXTURE uses it where the integral would lose
// more than that to cancellation.
TEST_P(small_t_values, the_expansion_is_within_t_over_70)
{
    const auto [x, t, expected] = GetParam();
    const double expansion =
        std::exp(hartman_watson_distribution::log_distribution_asymptotique(x, t));
    EXPECT_LT(std::fabs(expansion / expected - 1.0), t / 70.0) << "x = " << x << ", t = " << t;
    const legendre_rule rule(128);
    vector<double> results;
    hartman_watson_distribution::distribution(results, t, vector<double>{x}, rule.roots,
                                              rule.weights);
    EXPECT_LT(std::fabs(results[0] / expected - 1.0), t / 70.0) << "x = " << x << ", t = " << t;
}

INSTANTIATE_TEST_SUITE_P(math, small_t_values, ::testing::ValuesIn(small_t_references));

// int_0^inf theta(r, t) dt = I_0(r), integrated in v = 1/sqrt(t) (dt = 2 dv / v^3), where
// the integrand tends to 2 K_0(r) / sqrt(2 pi) at v = 0 and vanishes fast for large v. The
// bound allows for the expansion's error, t/70, where MIXTURE uses it at small t.
TEST(hartman_watson_distribution, integrates_to_the_bessel_function)
{
    const legendre_rule rule(96), outer(64);
    for (const double r : {0.5, 1.0, 3.0}) {
        const double v_max = 8.0;
        vector<double> x{r}, results;
        double integral = 0.0;
        for (std::size_t i = 0; i < outer.roots.size(); ++i) {
            const double v = 0.5 * v_max * (outer.roots[i] + 1.0);
            hartman_watson_distribution::distribution(results, 1.0 / (v * v), x, rule.roots,
                                                      rule.weights);
            integral += outer.weights[i] * 0.5 * v_max * results[0] * 2.0 / (v * v * v);
        }
        EXPECT_NEAR(integral / std::cyl_bessel_i(0.0, r), 1.0, 5e-6) << "r = " << r;
    }
}

// theta(r, t) sqrt(2 pi t^3) / K_0(r) = 1 + c/t + ..., with c between 3 and 4.5 here
// (mpmath at 80 digits: 0.0030996, 0.0038422, 0.0045066 at t = 1000 for r = 0.5, 1, 3).
TEST(hartman_watson_distribution, decays_like_k0_for_large_t)
{
    const legendre_rule rule(64);
    for (const double r : {0.5, 1.0, 3.0})
        for (const double t : {1e3, 1e4}) {
            const double theta =
                hartman_watson_distribution::distribution_numerical(r, t, rule.roots, rule.weights);
            const double ratio = theta * std::sqrt(2.0 * std::numbers::pi * t * t * t) /
                                 std::cyl_bessel_k(0.0, r);
            EXPECT_GT((ratio - 1.0) * t, 3.0) << "r = " << r << ", t = " << t;
            EXPECT_LT((ratio - 1.0) * t, 4.6) << "r = " << r << ", t = " << t;
        }
}

TEST(hartman_watson_distribution, types_select_the_evaluation)
{
    const legendre_rule rule(128);
    const vector<double> x{0.05, 1.0, 8.0};
    vector<double> asymptotic, numerical, mixture;
    const double t = 0.3;
    hartman_watson_distribution::distribution(asymptotic, t, x, rule.roots, rule.weights,
                                              FULLY_ASYMPTOTIC);
    hartman_watson_distribution::distribution(numerical, t, x, rule.roots, rule.weights,
                                              NUMERICAL_INTEGRAL);
    hartman_watson_distribution::distribution(mixture, t, x, rule.roots, rule.weights);
    for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_EQ(asymptotic[i],
                  std::exp(hartman_watson_distribution::log_distribution_asymptotique(x[i], t)));
        EXPECT_EQ(numerical[i], hartman_watson_distribution::distribution_numerical(
                                    x[i], t, rule.roots, rule.weights));
    }
    // x = 0.05: theta ~ 1e-31 under terms ~ 1e7, so the integral has no digit left
    EXPECT_EQ(mixture[0], asymptotic[0]);
    EXPECT_EQ(mixture[1], numerical[1]);
    EXPECT_EQ(mixture[2], numerical[2]);
    // max_bound moves the balance: -inf takes the expansion everywhere
    hartman_watson_distribution::distribution(mixture, t, x, rule.roots, rule.weights, MIXTURE,
                                              -std::numeric_limits<double>::infinity());
    EXPECT_EQ(mixture[1], asymptotic[1]);
}

TEST(hartman_watson_distribution, results_may_be_the_argument_vector)
{
    const legendre_rule rule(64);
    vector<double> x{0.5, 2.0};
    const vector<double> copy = x;
    vector<double> expected;
    hartman_watson_distribution::distribution(expected, 1.0, copy, rule.roots, rule.weights);
    hartman_watson_distribution::distribution(x, 1.0, x, rule.roots, rule.weights);
    EXPECT_EQ(x[0], expected[0]);
    EXPECT_EQ(x[1], expected[1]);
}

TEST(hartman_watson_distribution, bad_arguments_are_refused)
{
    const legendre_rule rule(8);
    const vector<double> short_roots{0.0};
    vector<double> results;
    const std::string arguments =
        "Expected positive_and_finite(x) && positive_and_finite(t) to be true, but got false.  ";
    testing::expect_failure(
        [] { hartman_watson_distribution::log_distribution_asymptotique(-1.0, 0.5); },
        {"log_distribution_asymptotique", source_file, 284}, arguments + "x = -1, t = 0.5");
    testing::expect_failure(
        [&] {
            hartman_watson_distribution::distribution_numerical(1.0, 0.5, short_roots,
                                                                rule.weights);
        },
        {"distribution_numerical", source_file, 293},
        "Expected roots.size() == weights.size() to be true, but got false.  roots has 1 "
        "elements, weights 8");
    testing::expect_failure(
        [&] {
            hartman_watson_distribution::distribution(
                results, 0.5, vector<double>{1.0}, rule.roots, rule.weights,
                static_cast<hartman_watson_distribution_type>(4));
        },
        {"distribution", source_file, 304},
        "Expected type == FULLY_ASYMPTOTIC || type == NUMERICAL_INTEGRAL || type == MIXTURE to "
        "be true, but got false.  type = 4");
    testing::expect_failure(
        [&] {
            hartman_watson_distribution::distribution(results, 0.5, vector<double>{1.0, 0.0},
                                                      rule.roots, rule.weights);
        },
        {"distribution", source_file, 313}, arguments + "x = 0, t = 0.5");
    EXPECT_TRUE(results.empty());  // nothing written
    vector<double> density, U;
    testing::expect_failure(
        [&] {
            hartman_watson_distribution::cheyette_density(density, density, 0.5, rule.roots,
                                                          rule.weights, rule.roots, rule.weights);
        },
        {"cheyette_density", source_file, 341},
        "Expected !details::share_memory(density, U, n) to be true, but got false.");
    testing::expect_failure(
        [&] {
            hartman_watson_distribution::cheyette_density(density, U, 0.0, rule.roots,
                                                          rule.weights, rule.roots, rule.weights);
        },
        {"cheyette_density", source_file, 325},
        "Expected positive_and_finite(t) to be true, but got false.  t = 0");
}

// Outside [1e-10, 3] the law cannot be served (see the header): at t = 10 its mean would
// be 2.4% off, at t = 50 its probabilities would sum to 0.91, at t = 1e-16 to 3.
TEST(hartman_watson_distribution, cheyette_density_refuses_what_it_cannot_serve)
{
    const legendre_rule rule(8);
    vector<double> density, U;
    const auto call = [&](double t) {
        return [&, t] {
            hartman_watson_distribution::cheyette_density(density, U, t, rule.roots, rule.weights,
                                                          rule.roots, rule.weights);
        };
    };
    const std::string above =
        " is above 3, where the nodes miss more than 1e-6 of E[A_t], whatever the rules";
    testing::expect_failure(call(10.0), {"cheyette_density", source_file, 332}, "t = 10" + above);
    testing::expect_failure(call(50.0), {"cheyette_density", source_file, 332}, "t = 50" + above);
    testing::expect_failure(call(1e-16), {"cheyette_density", source_file, 327},
                            "t = 1e-16 is below 1e-10, where the terms of size 1/t that cancel "
                            "in the joint law leave fewer than six digits");
    EXPECT_TRUE(density.empty() && U.empty());  // nothing written
}

struct cheyette_case
{
    double t;
    double tolerance;  // the expansion's t/70 below t = 0.13, the quadrature's error above
};

class cheyette_laws : public ::testing::TestWithParam<cheyette_case>
{
};

// The discrete law of A_t = int_0^t exp(2 W_s - s) ds against its exact first two moments:
// E[A_t] = e^t - 1, E[A_t^2] = 2/5 ((e^{6t} - 1)/6 - (e^t - 1)).
TEST_P(cheyette_laws, have_the_moments_of_the_integrated_variance)
{
    const auto [t, tolerance] = GetParam();
    const legendre_rule rule(64);
    vector<double> density, U;
    hartman_watson_distribution::cheyette_density(density, U, t, rule.roots, rule.weights,
                                                  rule.roots, rule.weights);
    ASSERT_EQ(density.size(), 64u);
    ASSERT_EQ(U.size(), 64u);
    double mass = 0.0, mean = 0.0, second = 0.0;
    for (std::size_t i = 0; i < U.size(); ++i) {
        EXPECT_GE(density[i], 0.0);
        mass += density[i];
        mean += density[i] * U[i];
        second += density[i] * U[i] * U[i];
    }
    const double exact_mean = std::expm1(t);
    const double exact_second = 0.4 * (std::expm1(6.0 * t) / 6.0 - exact_mean);
    EXPECT_NEAR(mass, 1.0, tolerance) << "t = " << t;
    EXPECT_NEAR(mean / exact_mean, 1.0, tolerance) << "t = " << t;
    EXPECT_NEAR(second / exact_second, 1.0, 100.0 * tolerance) << "t = " << t;
}

INSTANTIATE_TEST_SUITE_P(math, cheyette_laws,
                         ::testing::Values(cheyette_case{0.001, 2e-5}, cheyette_case{0.05, 1e-3},
                                           cheyette_case{0.25, 1e-6}, cheyette_case{0.5, 1e-7},
                                           cheyette_case{1.0, 2e-6}, cheyette_case{3.0, 1e-3}));

// E[log A_t] is not fixed by the two moments: the discrete law against a Monte Carlo
// simulation of A_t (trapezoidal rule on 100 steps per path), within four standard errors.
TEST(hartman_watson_distribution, cheyette_law_agrees_with_monte_carlo)
{
    const double t = 0.5;
    const legendre_rule rule(64);
    vector<double> density, U;
    hartman_watson_distribution::cheyette_density(density, U, t, rule.roots, rule.weights,
                                                  rule.roots, rule.weights);
    double expected_log = 0.0;
    for (std::size_t i = 0; i < U.size(); ++i)
        expected_log += density[i] * std::log(U[i]);

    std::mt19937_64 generator(20240611);
    std::normal_distribution<double> gaussian;
    const int paths = 40000, steps = 100;
    const double dt = t / steps;
    double sum = 0.0, sum_of_squares = 0.0;
    for (int path = 0; path < paths; ++path) {
        double w = 0.0, previous = 1.0, integral = 0.0;
        for (int step = 1; step <= steps; ++step) {
            w += std::sqrt(dt) * gaussian(generator);
            const double current = std::exp(2.0 * w - step * dt);
            integral += 0.5 * dt * (previous + current);
            previous = current;
        }
        sum += std::log(integral);
        sum_of_squares += std::log(integral) * std::log(integral);
    }
    const double mean = sum / paths;
    const double standard_error = std::sqrt((sum_of_squares / paths - mean * mean) / paths);
    EXPECT_NEAR(expected_log, mean, 4.0 * standard_error);
}

}  // namespace
}  // namespace korvex
