#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "core/error.h"
#include "math/failure_expectation.h"
#include "math/root_finding_algorithms.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();

// A root computed by mpmath at 30 digits with Debian's Python.
double mpmath_root(const std::string& expression, double guess)
{
    const std::string text = testing::python_output(
        "import mpmath; mpmath.mp.dps = 30; print(mpmath.nstr(mpmath.findroot(lambda x: " +
        expression + ", " + std::to_string(guess) + "), 25))");
    return text.empty() ? std::nan("") : std::stod(text);
}

struct root_case
{
    const char* name;
    std::function<double(double)> f;
    double lower, upper, start;
    double expected;
    int cap = 60;  // a multiple root converges only linearly
};

class brent_roots : public ::testing::TestWithParam<root_case>
{
};

TEST_P(brent_roots, converge_to_the_reference_within_the_tolerance)
{
    const root_case& c = GetParam();
    ASSERT_TRUE(std::isfinite(c.expected));
    int evaluations = 0;
    const auto counted = [&](double x) {
        ++evaluations;
        return c.f(x);
    };
    for (const double x_tolerance : {1e-6, 1e-10, 2.220446049250313e-16}) {
        double root = c.start;
        evaluations = 0;
        EXPECT_TRUE(root_finding_algorithms::brent(counted, c.lower, c.upper, root, x_tolerance,
                                                   0.0, c.cap));
        EXPECT_NEAR(root, c.expected, x_tolerance + 4.0 * eps * std::fabs(c.expected))
            << "x tolerance " << x_tolerance;
        EXPECT_LE(evaluations, 2 + c.cap);
    }
    // the bracket may be given in either order
    double root = c.start;
    EXPECT_TRUE(root_finding_algorithms::brent(c.f, c.upper, c.lower, root, 1e-14, 0.0, c.cap));
    EXPECT_NEAR(root, c.expected, 1e-14 + 4.0 * eps * std::fabs(c.expected));
}

std::string case_name(const ::testing::TestParamInfo<root_case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    math, brent_roots,
    ::testing::Values(
        root_case{"cubic", [](double x) { return x * x * x - 2.0 * x - 5.0; }, 2.0, 3.0, 2.0,
                  mpmath_root("x**3 - 2*x - 5", 2.0)},
        root_case{"cosine", [](double x) { return std::cos(x) - x; }, 0.0, 1.0, 0.0,
                  mpmath_root("mpmath.cos(x) - x", 0.7)},
        root_case{"exponential", [](double x) { return std::exp(x) - 2.0; }, -3.0, 4.0, 0.5,
                  std::log(2.0)},
        root_case{"adi_theta", [](double x) { return 2.0 * x * (2.0 - x) - 1.0; }, 0.0, 0.5,
                  0.5, 1.0 - std::sqrt(0.5)},
        root_case{"triple_root", [](double x) { return std::pow(x - 1.0 / 3.0, 3); }, -1.0,
                  2.0, 0.0, 1.0 / 3.0, 200},
        root_case{"step", [](double x) { return x < 0.3 ? -1.0 : 1.0; }, 0.0, 1.0, 0.0, 0.3}),
    case_name);

TEST(brent, finds_the_alternating_direction_theta_to_the_last_bits)
{
    // the call of the ADI scheme: start 0.5, both tolerances machine epsilon, 50 iterations
    double root = 0.5;
    int evaluations = 0;
    const bool converged = root_finding_algorithms::brent(
        [&](double x) {
            ++evaluations;
            return 2.0 * x * (2.0 - x) - 1.0;
        },
        0.0, 0.5, root, 2.220446049250313e-16, 2.220446049250313e-16, 50);
    EXPECT_TRUE(converged);
    EXPECT_NEAR(root, 1.0 - std::sqrt(0.5), 2.0 * eps);
    EXPECT_LT(evaluations, 20);
}

TEST(brent, same_sign_at_both_ends_fails_with_the_better_end)
{
    double root = 0.25;
    EXPECT_FALSE(root_finding_algorithms::brent([](double x) { return x * x + 1.0; }, -1.0, 0.5,
                                                root, 1e-12, 1e-12, 50));
    EXPECT_EQ(root, 0.5);
    root = 0.0;
    EXPECT_FALSE(root_finding_algorithms::brent([](double x) { return -std::exp(x); }, -2.0,
                                                3.0, root, 1e-12, 1e-12, 50));
    EXPECT_EQ(root, -2.0);
}

TEST(brent, iteration_cap_returns_the_best_estimate)
{
    const auto f = [](double x) { return std::cos(x) - x; };
    double root = 0.0;
    EXPECT_FALSE(root_finding_algorithms::brent(f, 0.0, 1.0, root, 1e-15, 0.0, 0));
    EXPECT_EQ(root, 1.0);  // |f(1)| = 0.46 < |f(0)| = 1
    root = 0.0;
    EXPECT_FALSE(root_finding_algorithms::brent(f, 0.0, 1.0, root, 1e-15, 0.0, 2));
    EXPECT_NEAR(root, 0.7390851332151607, 1e-2);
    root = 0.0;
    EXPECT_FALSE(root_finding_algorithms::brent(f, 0.0, 1.0, root, 1e-15, 0.0, -3));
}

TEST(brent, a_root_at_an_end_needs_no_iteration)
{
    double root = 0.7;
    EXPECT_TRUE(root_finding_algorithms::brent([](double x) { return x - 2.0; }, 1.0, 2.0, root,
                                               1e-12, 0.0, 0));
    EXPECT_EQ(root, 2.0);
}

TEST(brent, f_tolerance_stops_early)
{
    double root = 0.0;
    int evaluations = 0;
    EXPECT_TRUE(root_finding_algorithms::brent(
        [&](double x) {
            ++evaluations;
            return std::exp(x) - 2.0;
        },
        -3.0, 4.0, root, 0.0, 1e-3, 100));
    EXPECT_LE(std::fabs(std::exp(root) - 2.0), 1e-3);
    EXPECT_GT(std::fabs(root - std::log(2.0)), 1e-12);  // stopped on |f|, not on the bracket
}

TEST(brent, a_starting_value_inside_the_bracket_is_evaluated_first)
{
    std::vector<double> points;
    double root = 0.69;
    EXPECT_TRUE(root_finding_algorithms::brent(
        [&](double x) {
            points.push_back(x);
            return std::exp(x) - 2.0;
        },
        -3.0, 4.0, root, 1e-15, 0.0, 50));
    ASSERT_GE(points.size(), 3u);
    EXPECT_EQ(points[2], 0.69);
    EXPECT_NEAR(root, std::log(2.0), 4.0 * eps);
}

TEST(brent, nan_from_the_function_fails)
{
    double root = 0.0;
    EXPECT_FALSE(root_finding_algorithms::brent(
        [](double x) { return x > 0.2 ? std::nan("") : x - 0.5; }, 0.0, 1.0, root, 1e-12, 0.0,
        50));
    EXPECT_FALSE(root_finding_algorithms::brent(
        [](double x) { return x < 0.5 ? -1.0 : std::nan(""); }, 0.0, 1.0, root, 1e-12, 0.0, 50));
    EXPECT_EQ(root, 0.0);
    // NaN inside the bracket: the best point so far is kept (the start, |f| = 0.25)
    root = 0.25;
    EXPECT_FALSE(root_finding_algorithms::brent(
        [](double x) { return x > 0.45 && x < 0.9 ? std::nan("") : x - 0.5; }, 0.0, 1.0, root,
        1e-12, 0.0, 50));
    EXPECT_EQ(root, 0.25);
}

TEST(brent, non_finite_bracket_or_empty_function_is_an_error)
{
    double root = 0.0;
    const SourceLocation where{"brent", "Foundation/math/root_finding_algorithms", 84};
    const std::string text = "Expected f && std::isfinite(lower) && std::isfinite(upper) to be "
                             "true, but got false.  bracket [-1, ";
    testing::expect_failure([&] { root_finding_algorithms::brent([](double x) { return x; },
                                                                -1.0, HUGE_VAL, root, 1e-12,
                                                                0.0, 50); },
                            where, text + "inf]");
    testing::expect_failure([&] { root_finding_algorithms::brent([](double x) { return x; },
                                                                -1.0, std::nan(""), root,
                                                                1e-12, 0.0, 50); },
                            where, text + "nan]");
    testing::expect_failure([&] { root_finding_algorithms::brent({}, 0.0, 1.0, root, 1e-12,
                                                                0.0, 50); },
                            where, "Expected f && std::isfinite(lower) && std::isfinite(upper) "
                                   "to be true, but got false.  bracket [0, 1]");
}

}  // namespace
}  // namespace korvex
