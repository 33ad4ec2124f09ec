// Non-uniform finite-difference weights: exact on polynomials of the stencil's degree,
// in band order, with the published closed forms as spot checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "math/failure_expectation.h"
#include "math/finite_difference.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();

std::vector<double> random_axis(std::size_t n, std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> gap(0.05, 0.6);
    std::vector<double> x(n);
    double value = -1.3;
    for (double& point : x) {
        point = value;
        value += gap(rng);
    }
    return x;
}

// A polynomial with random coefficients and its first two derivatives.
struct polynomial
{
    std::vector<double> c;
    double value(double x) const
    {
        double sum = 0.0;
        for (std::size_t m = c.size(); m-- > 0;)
            sum = sum * x + c[m];
        return sum;
    }
    double derivative(double x, int order) const
    {
        double sum = 0.0;
        for (std::size_t m = c.size(); m-- > static_cast<std::size_t>(order);) {
            double factor = 1.0;
            for (int r = 0; r < order; ++r)
                factor *= static_cast<double>(m - static_cast<std::size_t>(r));
            sum = sum * x + factor * c[m];
        }
        return sum;
    }
};

polynomial random_polynomial(std::size_t degree, std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> coefficient(-2.0, 2.0);
    polynomial p;
    for (std::size_t m = 0; m <= degree; ++m)
        p.c.push_back(coefficient(rng));
    return p;
}

// Applies `slots` weights around node k of x to p; checks the sum against the derivative
// to the rounding of the sum itself, and that slots outside the axis are zero.
void expect_exact(const double* weights, std::size_t slots, const std::vector<double>& x,
                  std::size_t k, const polynomial& p, int order, double at)
{
    const long mid = static_cast<long>(slots / 2);
    double sum = 0.0;
    double magnitude = 0.0;
    for (std::size_t s = 0; s < slots; ++s) {
        const long node = static_cast<long>(k) + static_cast<long>(s) - mid;
        if (node < 0 || node >= static_cast<long>(x.size())) {
            EXPECT_EQ(weights[s], 0.0) << "slot " << s << " of node " << k;
            continue;
        }
        const double term = weights[s] * p.value(x[static_cast<std::size_t>(node)]);
        sum += term;
        magnitude += std::fabs(term);
    }
    EXPECT_NEAR(sum, p.derivative(at, order), 64.0 * eps * magnitude + 1e-300)
        << "order " << order << " at node " << k << " of " << x.size();
}

// Nodes used by node k: the stencil clipped to the axis.
std::size_t used_points(std::size_t k, std::size_t n, std::size_t stencil)
{
    const std::size_t half = stencil / 2;
    return std::min(n, k + half + 1) - (k >= half ? k - half : 0);
}

class derivation_weights
    : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t, bool>>
{
};

TEST_P(derivation_weights, are_exact_on_polynomials_of_every_rows_degree)
{
    const auto [stencil, n, check] = GetParam();
    std::mt19937_64 rng(n * 31 + stencil);
    const std::vector<double> x = random_axis(n, rng);
    std::vector<double> first(n * stencil, -7.0), second(n * stencil, -7.0);
    finite_difference::nonuniform_derivation(x.data(), n, first.data(), second.data(), check,
                                             stencil);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t used = used_points(k, n, stencil);
        for (std::size_t degree = 0; degree < used; ++degree) {
            const polynomial p = random_polynomial(degree, rng);
            expect_exact(&first[k * stencil], stencil, x, k, p, 1, x[k]);
            // two points carry no curvature: their second derivative is 0
            if (used >= 3)
                expect_exact(&second[k * stencil], stencil, x, k, p, 2, x[k]);
        }
        if (used < 3) {
            for (std::size_t s = 0; s < stencil; ++s)
                EXPECT_EQ(second[k * stencil + s], 0.0);
        }
    }
}

TEST_P(derivation_weights, use_the_stencil_clipped_to_the_axis)
{
    const auto [stencil, n, check] = GetParam();
    std::mt19937_64 rng(n);
    const std::vector<double> x = random_axis(n, rng);
    std::vector<double> first(n * stencil), second(n * stencil);
    finite_difference::nonuniform_derivation(x.data(), n, first.data(), second.data(), check,
                                             stencil);
    const std::size_t half = stencil / 2;
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t s = 0; s < stencil; ++s) {
            const long node = static_cast<long>(k + s) - static_cast<long>(half);
            const bool inside = node >= 0 && node < static_cast<long>(n);
            // every node the row may use carries a weight in the first derivative
            if (used_points(k, n, stencil) > 1) {
                EXPECT_EQ(first[k * stencil + s] != 0.0, inside)
                    << "node " << k << " slot " << s;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(math, derivation_weights,
                         ::testing::Combine(::testing::Values(std::size_t{3}, std::size_t{5}),
                                          ::testing::Values(2, 3, 4, 5, 6, 9, 40),
                                          ::testing::Bool()));

TEST(derivation_weights_closed_form, three_points_match_the_textbook_formulas)
{
    const std::vector<double> x = {0.0, 0.3, 1.0, 1.2};
    std::vector<double> first(12), second(12);
    finite_difference::nonuniform_derivation(x.data(), 4, first.data(), second.data(), true, 3);
    const double h1 = 0.3, h2 = 0.7;  // around node 1
    EXPECT_NEAR(first[3], -h2 / (h1 * (h1 + h2)), 1e-14);
    EXPECT_NEAR(first[4], (h2 - h1) / (h1 * h2), 1e-14);
    EXPECT_NEAR(first[5], h1 / (h2 * (h1 + h2)), 1e-14);
    EXPECT_NEAR(second[3], 2.0 / (h1 * (h1 + h2)), 1e-13);
    EXPECT_NEAR(second[4], -2.0 / (h1 * h2), 1e-13);
    EXPECT_NEAR(second[5], 2.0 / (h2 * (h1 + h2)), 1e-13);
    // node 0: one-sided difference, slot 0 unused
    EXPECT_EQ(first[0], 0.0);
    EXPECT_NEAR(first[1], -1.0 / 0.3, 1e-14);
    EXPECT_NEAR(first[2], 1.0 / 0.3, 1e-14);
    // node 3: backward difference
    EXPECT_NEAR(first[9], -1.0 / 0.2, 1e-13);
    EXPECT_NEAR(first[10], 1.0 / 0.2, 1e-13);
    EXPECT_EQ(first[11], 0.0);
}

TEST(derivation_weights_closed_form, five_points_on_a_uniform_axis_are_fourth_order)
{
    const double h = 0.25;
    std::vector<double> x(7);
    for (std::size_t k = 0; k < x.size(); ++k)
        x[k] = 1.0 + h * static_cast<double>(k);
    std::vector<double> first(35), second(35);
    finite_difference::nonuniform_derivation(x.data(), 7, first.data(), second.data(), true, 5);
    const double d1[5] = {1.0 / 12, -2.0 / 3, 0.0, 2.0 / 3, -1.0 / 12};
    const double d2[5] = {-1.0 / 12, 4.0 / 3, -5.0 / 2, 4.0 / 3, -1.0 / 12};
    for (std::size_t s = 0; s < 5; ++s) {
        EXPECT_NEAR(first[3 * 5 + s], d1[s] / h, 1e-12);
        EXPECT_NEAR(second[3 * 5 + s], d2[s] / (h * h), 1e-11);
    }
    // node 0: the three-point forward formulas (-3, 4, -1)/(2h) and (1, -2, 1)/h^2
    EXPECT_NEAR(first[2], -1.5 / h, 1e-12);
    EXPECT_NEAR(first[3], 2.0 / h, 1e-12);
    EXPECT_NEAR(first[4], -0.5 / h, 1e-12);
    EXPECT_NEAR(second[2], 1.0 / (h * h), 1e-11);
    EXPECT_NEAR(second[3], -2.0 / (h * h), 1e-11);
    EXPECT_NEAR(second[4], 1.0 / (h * h), 1e-11);
    // node 1 from nodes 0..3: (-2, -3, 6, -1)/(6h) and (1, -2, 1, 0)/h^2
    EXPECT_EQ(first[5], 0.0);
    EXPECT_NEAR(first[6], -2.0 / (6 * h), 1e-12);
    EXPECT_NEAR(first[7], -3.0 / (6 * h), 1e-12);
    EXPECT_NEAR(first[8], 6.0 / (6 * h), 1e-12);
    EXPECT_NEAR(first[9], -1.0 / (6 * h), 1e-12);
    EXPECT_NEAR(second[6], 1.0 / (h * h), 1e-11);
    EXPECT_NEAR(second[7], -2.0 / (h * h), 1e-11);
    EXPECT_NEAR(second[8], 1.0 / (h * h), 1e-11);
    EXPECT_NEAR(second[9], 0.0, 1e-11);
}

TEST(derivation_weights_edge, single_node_has_zero_weights_and_no_node_writes_nothing)
{
    const double x = 2.0;
    double first[5] = {9, 9, 9, 9, 9}, second[5] = {9, 9, 9, 9, 9};
    finite_difference::nonuniform_derivation(&x, 1, first, second, true, 5);
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(first[s], 0.0);
        EXPECT_EQ(second[s], 0.0);
    }
    first[0] = 9;
    finite_difference::nonuniform_derivation(nullptr, 0, first, second, true, 3);
    EXPECT_EQ(first[0], 9);
}

TEST(derivation_weights_edge, either_output_may_be_omitted)
{
    const std::vector<double> x = {0.0, 0.5, 1.5, 1.75, 3.0};
    std::vector<double> first(25), second(25), first_only(25), second_only(25);
    finite_difference::nonuniform_derivation(x.data(), 5, first.data(), second.data(), true, 5);
    finite_difference::nonuniform_derivation(x.data(), 5, first_only.data(), nullptr, true, 5);
    finite_difference::nonuniform_derivation(x.data(), 5, nullptr, second_only.data(), true, 5);
    EXPECT_EQ(first, first_only);
    EXPECT_EQ(second, second_only);
}

// The flag: true validates the axis, false accepts any distinct points in any order.
TEST(derivation_weights_flag, unchecked_decreasing_axis_still_gets_exact_weights)
{
    std::mt19937_64 rng(3);
    std::vector<double> x = random_axis(8, rng);
    std::reverse(x.begin(), x.end());
    std::vector<double> first(40), second(40);
    finite_difference::nonuniform_derivation(x.data(), 8, first.data(), second.data(), false, 5);
    for (std::size_t k = 0; k < 8; ++k) {
        const polynomial p = random_polynomial(used_points(k, 8, 5) - 1, rng);
        expect_exact(&first[k * 5], 5, x, k, p, 1, x[k]);
        expect_exact(&second[k * 5], 5, x, k, p, 2, x[k]);
    }
}

template <class Call>
void expect_error(Call call, const char* function, int line, const std::string& message)
{
    const SourceLocation where{function, "Foundation/math/finite_difference", line};
    testing::expect_failure(call, where, message);
}

const std::string axis_text = "Expected std::isfinite(points[j]) && (j == 0 || points[j - 1] < "
                              "points[j]) to be true, but got false.  ";

TEST(derivation_weights_flag, checked_axis_must_be_finite_and_increasing)
{
    std::vector<double> first(20, -7.0), second(20, -7.0);
    const std::vector<double> flat = {0.0, 1.0, 1.0, 2.0};
    const std::vector<double> down = {0.0, 1.0, 0.5, 2.0};
    const std::vector<double> nan = {std::nan(""), 1.0, 1.5, 2.0};
    expect_error([&] { finite_difference::nonuniform_derivation(flat.data(), 4, first.data(),
                                                                second.data(), true, 5); },
                 "nonuniform_derivation", 118, axis_text + "point 2 of 4 is 1 after 1");
    expect_error([&] { finite_difference::nonuniform_derivation(down.data(), 4, first.data(),
                                                                second.data(), true, 3); },
                 "nonuniform_derivation", 118, axis_text + "point 2 of 4 is 0.5 after 1");
    expect_error([&] { finite_difference::nonuniform_derivation(nan.data(), 4, first.data(),
                                                                second.data(), true, 3); },
                 "nonuniform_derivation", 118, axis_text + "point 0 of 4 is nan");
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](double w) { return w == -7.0; }));

    // unchecked, coincident points give non-finite weights but no failure
    finite_difference::nonuniform_derivation(flat.data(), 4, first.data(), second.data(), false,
                                             3);
    EXPECT_FALSE(std::isfinite(first[3 * 1 + 2]));
}

TEST(derivation_weights_flag, structural_arguments_are_always_checked)
{
    const std::vector<double> x = {0.0, 1.0, 2.0};
    std::vector<double> first(15), second(15);
    expect_error([&] { finite_difference::nonuniform_derivation(x.data(), 3, first.data(),
                                                                second.data(), false, 4); },
                 "nonuniform_derivation", 113,
                 "Expected stencil == 3 || stencil == 5 to be true, but got false.  stencil of 4 "
                 "points; 3 or 5 are supported");
    expect_error([&] { finite_difference::nonuniform_derivation(nullptr, 3, first.data(),
                                                                second.data(), false, 3); },
                 "nonuniform_derivation", 115,
                 "Expected n == 0 || x != nullptr to be true, but got false.  no axis points "
                 "given");
}

// The helpers give the weights of the matching rows of nonuniform_derivation, placed in
// five slots around their point.
class helper_slots : public ::testing::Test
{
protected:
    std::vector<double> axis = {-0.4, 0.1, 0.35, 1.0, 1.1, 1.9};
    std::vector<double> first = std::vector<double>(30);
    std::vector<double> second = std::vector<double>(30);
    std::vector<double> first3 = std::vector<double>(18);
    std::vector<double> second3 = std::vector<double>(18);
    void SetUp() override
    {
        finite_difference::nonuniform_derivation(axis.data(), 6, first.data(), second.data(),
                                                 true, 5);
        finite_difference::nonuniform_derivation(axis.data(), 6, first3.data(), second3.data(),
                                                 true, 3);
    }
    // Exactly `count` points from the axis, so reading past them is caught.
    std::vector<double> points(std::size_t from, std::size_t count) const
    {
        return {axis.begin() + static_cast<long>(from),
                axis.begin() + static_cast<long>(from + count)};
    }
    static void expect_slots(const double* actual, const double* expected, const char* what)
    {
        for (std::size_t s = 0; s < 5; ++s)
            EXPECT_NEAR(actual[s], expected[s], 1e-12 * (1.0 + std::fabs(expected[s])))
                << what << " slot " << s;
    }
};

TEST_F(helper_slots, five_points_mid_is_the_centred_row)
{
    const std::vector<double> p = points(1, 5);
    double w1[5], w2[5];
    finite_difference::nonuniform_five_points_derivative_mid(p.data(), 2, w1, w2, true);
    expect_slots(w1, &first[3 * 5], "first");
    expect_slots(w2, &second[3 * 5], "second");
    finite_difference::nonuniform_five_points_derivative_mid(p.data(), 2, w1, w2, false);
    expect_slots(w1, &first[3 * 5], "first, unchecked");
}

TEST_F(helper_slots, three_points_fill_the_forward_and_backward_slots)
{
    const std::vector<double> head = points(0, 3);
    const std::vector<double> tail = points(3, 3);
    double w1[5] = {9, 9, 9, 9, 9}, w2[5];
    finite_difference::nonuniform_five_points_derivative_0(head.data(), 0, w1, w2);
    expect_slots(w1, &first[0], "forward first");
    expect_slots(w2, &second[0], "forward second");
    finite_difference::nonuniform_five_points_derivative_0(tail.data(), 2, w1, nullptr);
    expect_slots(w1, &first[5 * 5], "backward first");
    EXPECT_EQ(w1[3], 0.0);
    EXPECT_EQ(w1[4], 0.0);
}

TEST_F(helper_slots, four_points_fill_the_rows_next_to_the_ends)
{
    const std::vector<double> head = points(0, 4);
    const std::vector<double> tail = points(2, 4);
    double w1[5] = {9, 9, 9, 9, 9}, w2[5];
    finite_difference::nonuniform_five_points_derivative_1(head.data(), 1, w1, w2);
    expect_slots(w1, &first[1 * 5], "node 1 first");
    expect_slots(w2, &second[1 * 5], "node 1 second");
    finite_difference::nonuniform_five_points_derivative_1(tail.data(), 2, w1, nullptr);
    expect_slots(w1, &first[4 * 5], "node 4 first");
}

TEST_F(helper_slots, three_points_mid_is_the_centred_three_point_row)
{
    const std::vector<double> p = points(2, 3);
    double w1[5], w2[5];
    for (bool check : {true, false}) {
        finite_difference::nonuniform_three_points_derivative_mid(p.data(), 1, w1, w2, check);
        EXPECT_EQ(w1[0], 0.0);
        EXPECT_EQ(w1[4], 0.0);
        EXPECT_EQ(w2[0], 0.0);
        EXPECT_EQ(w2[4], 0.0);
        for (std::size_t s = 0; s < 3; ++s) {
            EXPECT_NEAR(w1[s + 1], first3[3 * 3 + s], 1e-12 * std::fabs(first3[3 * 3 + s]));
            EXPECT_NEAR(w2[s + 1], second3[3 * 3 + s], 1e-12 * std::fabs(second3[3 * 3 + s]));
        }
    }
}

TEST(helper_arguments, bad_index_null_points_and_unordered_points_are_refused)
{
    const double p[5] = {0.0, 1.0, 2.0, 3.0, 4.0};
    const double unordered[5] = {0.0, 1.0, 3.0, 2.0, 4.0};
    double w[5];
    expect_error([&] { finite_difference::nonuniform_five_points_derivative_mid(p, 1, w, w,
                                                                                false); },
                 "nonuniform_five_points_derivative_mid", 134,
                 "Expected index < count && index <= 2 && count - 1 - index <= 2 to be true, "
                 "but got false.  index 1 does not place 5 points in five slots");
    expect_error([&] { finite_difference::nonuniform_five_points_derivative_1(p, 0, w, w); },
                 "nonuniform_five_points_derivative_1", 152,
                 "Expected index < count && index <= 2 && count - 1 - index <= 2 to be true, "
                 "but got false.  index 0 does not place 4 points in five slots");
    expect_error([&] { finite_difference::nonuniform_five_points_derivative_0(p, 3, w, w); },
                 "nonuniform_five_points_derivative_0", 144,
                 "Expected index < count && index <= 2 && count - 1 - index <= 2 to be true, "
                 "but got false.  index 3 does not place 3 points in five slots");
    expect_error([&] { finite_difference::nonuniform_three_points_derivative_mid(nullptr, 1, w,
                                                                                 w, true); },
                 "nonuniform_three_points_derivative_mid", 161,
                 "Expected points != nullptr to be true, but got false.  no points given");
    expect_error([&] { finite_difference::nonuniform_five_points_derivative_mid(unordered, 2, w,
                                                                                w, true); },
                 "nonuniform_five_points_derivative_mid", 136,
                 axis_text + "point 3 of 5 is 2 after 3");
    expect_error([&] { finite_difference::nonuniform_three_points_derivative_mid(unordered + 1,
                                                                                 1, w, w, true); },
                 "nonuniform_three_points_derivative_mid", 163,
                 axis_text + "point 2 of 3 is 2 after 3");
    // unchecked, the same points are accepted and the weights are exact for them
    finite_difference::nonuniform_five_points_derivative_mid(unordered, 2, w, nullptr, false);
    double slope = 0.0;
    for (int s = 0; s < 5; ++s)
        slope += w[s] * (2.0 * unordered[s] - 1.0);
    EXPECT_NEAR(slope, 2.0, 1e-13);
}

// Off the nodes the weights interpolate: exact on every polynomial of degree below the
// number of points, wherever z lies, and the point count is bounded.
TEST(interpolation_weights, are_exact_for_the_value_and_derivatives_anywhere)
{
    std::mt19937_64 rng(11);
    for (std::size_t count = 1; count <= 5; ++count) {
        const std::vector<double> x = random_axis(count, rng);
        const polynomial p = random_polynomial(count - 1, rng);
        for (const double z : {x.front() - 0.7, 0.5 * (x.front() + x.back()), x.back() + 0.2}) {
            double w[5][3];
            finite_difference::interpolation_weights(z, x.data(), count, w);
            for (int order = 0; order <= 2; ++order) {
                double sum = 0.0, magnitude = 0.0;
                for (std::size_t j = 0; j < count; ++j) {
                    sum += w[j][order] * p.value(x[j]);
                    magnitude += std::fabs(w[j][order] * p.value(x[j]));
                }
                EXPECT_NEAR(sum, p.derivative(z, order), 64.0 * eps * magnitude + 1e-300)
                    << count << " points, order " << order << " at " << z;
            }
        }
    }
    const double x[6] = {0.0, 1.0, 2.0, 3.0, 4.0, 5.0};
    double w[5][3];
    expect_error([&] { finite_difference::interpolation_weights(0.5, x, 6, w); },
                 "interpolation_weights", 172,
                 "Expected count >= 1 && count <= max_points to be true, but got false.  6 "
                 "points; 1 to 5 are supported");
    expect_error([&] { finite_difference::interpolation_weights(0.5, nullptr, 3, w); },
                 "interpolation_weights", 170,
                 "Expected points != nullptr to be true, but got false.  no points given");
}

}  // namespace
}  // namespace korvex
