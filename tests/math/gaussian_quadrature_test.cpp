#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <string>
#include <tuple>

#include "Vectorization/expressions/vector.h"
#include "math/failure_expectation.h"
#include "math/gaussian_quadrature.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr const char* source_file = "Foundation/math/gaussian_quadrature";

double rule_sum(const vector<double>& points, const vector<double>& weights, int power)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i)
        sum += weights[i] * std::pow(points[i], power);
    return sum;
}

bool increasing(const vector<double>& points)
{
    for (std::size_t i = 1; i < points.size(); ++i)
        if (!(points[i - 1] < points[i]))
            return false;
    return true;
}

class legendre_rules : public ::testing::TestWithParam<std::size_t>
{
};

// int_{-1}^{1} x^k dx = 2/(k+1) for even k, 0 for odd k, exactly up to k = 2n - 1.
TEST_P(legendre_rules, integrate_polynomials_of_degree_2n_minus_1)
{
    const std::size_t n = GetParam();
    vector<double> points, weights;
    gaussian_quadrature::gauss_legendre_coefficients(n, points, weights);
    ASSERT_EQ(points.size(), n);
    ASSERT_EQ(weights.size(), n);
    EXPECT_TRUE(increasing(points));
    for (int k = 0; k <= static_cast<int>(2 * n - 1); ++k) {
        const double exact = k % 2 == 0 ? 2.0 / (k + 1) : 0.0;
        EXPECT_NEAR(rule_sum(points, weights, k), exact, 8.0 * eps) << "n = " << n << ", k = " << k;
    }
    for (std::size_t i = 0; i < n; ++i)  // symmetric, with an exact 0 in the middle
        EXPECT_EQ(points[i], -points[n - 1 - i]);
}

INSTANTIATE_TEST_SUITE_P(math, legendre_rules, ::testing::Values(1, 2, 3, 4, 7, 10, 16, 33));

struct laguerre_case
{
    double alpha;
    std::size_t n;
};

class laguerre_rules : public ::testing::TestWithParam<laguerre_case>
{
};

// int_0^inf x^(alpha + k) e^-x dx = Gamma(alpha + k + 1), exactly up to k = 2n - 1; the terms
// grow like (2n)^k, so only their relative size is tested beyond k = 20.
TEST_P(laguerre_rules, integrate_polynomials_against_the_gamma_function)
{
    const auto [alpha, n] = GetParam();
    vector<double> points, weights;
    gaussian_quadrature::gauss_laguerre_coefficients(alpha, n, points, weights);
    ASSERT_EQ(points.size(), n);
    EXPECT_TRUE(increasing(points));
    EXPECT_GT(points[0], 0.0);
    for (int k = 0; k <= std::min(static_cast<int>(2 * n - 1), 30); ++k)
        EXPECT_NEAR(rule_sum(points, weights, k) / std::tgamma(alpha + k + 1.0), 1.0, 2e-13)
            << "alpha = " << alpha << ", n = " << n << ", k = " << k;
}

INSTANTIATE_TEST_SUITE_P(math, laguerre_rules,
                         ::testing::Values(laguerre_case{0.0, 1}, laguerre_case{0.0, 2},
                                           laguerre_case{-0.9, 5}, laguerre_case{-0.5, 12},
                                           laguerre_case{1.5, 20}, laguerre_case{10.0, 40},
                                           laguerre_case{0.25, 100}, laguerre_case{50.0, 5},
                                           laguerre_case{50.0, 33}));

class hermite_rules : public ::testing::TestWithParam<std::tuple<std::size_t, bool>>
{
};

// int x^(2k) e^{-x^2} dx = Gamma(k + 1/2), odd moments 0, exactly up to degree 2n - 1.
TEST_P(hermite_rules, integrate_polynomials_against_the_gamma_function)
{
    const auto [n, precomputed] = GetParam();
    vector<double> points, weights;
    gaussian_quadrature::gauss_hermite_coefficients(n, points, weights, precomputed);
    ASSERT_EQ(points.size(), n);
    EXPECT_TRUE(increasing(points));
    for (int k = 0; k <= std::min(static_cast<int>(2 * n - 1), 40); ++k) {
        const double sum = rule_sum(points, weights, k);
        const double exact = k % 2 == 1 ? 0.0 : std::tgamma(0.5 * k + 0.5);
        EXPECT_NEAR(sum, exact, 4e-14 * std::tgamma(0.5 * k + 1.0)) << "n = " << n << ", k = " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(math, hermite_rules,
                         ::testing::Combine(::testing::Values(1, 2, 5, 20, 32, 33, 64),
                                            ::testing::Bool()));

TEST(gauss_hermite, tables_agree_with_the_computed_rules)
{
    for (std::size_t n = 1; n <= 32; ++n) {
        vector<double> tabulated_points, tabulated_weights, points, weights;
        gaussian_quadrature::gauss_hermite_coefficients(n, tabulated_points, tabulated_weights);
        gaussian_quadrature::gauss_hermite_coefficients(n, points, weights, false);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(points[i], tabulated_points[i], 2.0 * eps * std::fabs(points[i]))
                << "n = " << n;
            EXPECT_NEAR(weights[i] / tabulated_weights[i], 1.0, 1e-13) << "n = " << n;
        }
        EXPECT_EQ(std::signbit(tabulated_points[n / 2]), false);
    }
}

struct node_reference
{
    const char* rule;
    std::size_t index;
    double node, weight;
    double weight_tolerance = 2e-13;
};

// Single nodes and weights of large rules: the zero of the polynomial near the computed node
// by bisection, and the weight from its closed form, with mpmath 1.2.1 at mp.dps = 50:
// Legendre 2 / ((1 - x^2) P_n'(x)^2), Laguerre Gamma(n + a + 1) x / (n! (n + 1)^2 L_{n+1}^a(x)^2),
// Hermite 2^(n-1) n! sqrt(pi) / (n^2 H_{n-1}(x)^2); printed to 30 digits.
constexpr node_reference large_rules[] = {
    {"legendre 1000", 999, 9.99997111298075510569876290252e-1, 7.41333841643207151747683163123e-6},
    {"legendre 1000", 500, 1.57001048008319382900502304212e-3, 3.14001838018286778699593923581e-3},
    {"laguerre 0.5 100", 0, 2.44907542108241057443335706062e-2, 7.48007295404937336447635192783e-3},
    {"laguerre 0.5 100", 99, 3.75960481585507306835668002651e+2,
     2.37325186217894722031483651751e-161},
    {"hermite 100", 99, 1.34064873381449101384980153587e+1, 5.90806786503120681526885516456e-79},
    {"hermite 100", 50, 1.10795872422439482887559893928e-1, 2.1889262958743912506271055296e-1},
    // weights to 2e-14 across the range where they are normal doubles, on both sides of the
    // threshold of the long double pass; the reference zero from Newton's method at mp.dps = 40
    // and the weight as mu0 / sum p_k^2 of the orthonormal polynomials
    {"hermite 1000", 500, 3.51152973423267653409488258815e-2, 7.01440622336163698770867373945e-2,
     2e-14},
    {"hermite 1000", 600, 7.08794617271315074483082501231, 1.08027818503719424350472313438e-23,
     2e-14},
    {"hermite 1000", 810, 2.28422863948660780479617818322e1, 2.04305178694048983725788707678e-228,
     2e-14},
    {"laguerre 0.5 1000", 0, 2.4655523655863967504393651037e-3, 2.44247797061092751883674863515e-4,
     2e-14},
    {"laguerre 0.5 1000", 30, 2.3698630254119959988414145333, 2.20100217045273263413831583449e-2,
     2e-14},
    {"laguerre 0.5 1000", 420, 4.54321433024542378722126020222e2,
     2.35081459207476767599297457138e-196, 2e-14},
    // the largest errors measured over the rules, 56 and 101 ulp, weights left in double
    {"hermite 1000", 521, 1.51024458812533619101287369087, 7.18155166179474379344106080232e-3,
     1.5e-14},
    {"laguerre 0.5 1000", 47, 5.68332139964888376401845389235, 1.92159861772776262685059034627e-3,
     1.5e-14},
};

// Rules of 1000 points: their mass, moments of low degree where the terms stay of one sign
// (x^(2k) for the symmetric rules, relative for Laguerre), and the extreme Laguerre zeros
// against the polynomial's zeros polished with mpmath at 80 digits.
TEST(gaussian_quadrature, rules_of_1000_points)
{
    vector<double> points, weights;
    gaussian_quadrature::gauss_legendre_coefficients(1000, points, weights);
    for (int k = 0; k <= 20; k += 2)
        EXPECT_NEAR(rule_sum(points, weights, k), 2.0 / (k + 1), 16.0 * eps) << "k = " << k;
    gaussian_quadrature::gauss_hermite_coefficients(1000, points, weights);
    EXPECT_TRUE(increasing(points));
    for (int k = 0; k <= 20; k += 2)
        EXPECT_NEAR(rule_sum(points, weights, k) / std::tgamma(0.5 * k + 0.5), 1.0, 16.0 * eps)
            << "k = " << k;
    for (const double alpha : {-0.5, 0.0, 0.5, 3.0}) {
        gaussian_quadrature::gauss_laguerre_coefficients(alpha, 1000, points, weights);
        EXPECT_TRUE(increasing(points));
        for (int k = 0; k <= 10; ++k)
            EXPECT_NEAR(rule_sum(points, weights, k) / std::tgamma(alpha + k + 1.0), 1.0, 64.0 * eps)
                << "alpha = " << alpha << ", k = " << k;
        if (alpha == 0.0) {
            EXPECT_NEAR(points[0] / 1.445074067541512181234695e-3, 1.0, 8.0 * eps);
            EXPECT_NEAR(points[999] / 3943.247394845270952389728, 1.0, 2.0 * eps);
        }
    }
}

class large_rule_nodes : public ::testing::TestWithParam<node_reference>
{
};

TEST_P(large_rule_nodes, match_the_reference)
{
    const node_reference& r = GetParam();
    vector<double> points, weights;
    const std::string rule = r.rule;
    if (rule == "legendre 1000")
        gaussian_quadrature::gauss_legendre_coefficients(1000, points, weights);
    else if (rule.starts_with("laguerre 0.5"))
        gaussian_quadrature::gauss_laguerre_coefficients(0.5, rule.ends_with(" 100") ? 100 : 1000,
                                                         points, weights);
    else
        gaussian_quadrature::gauss_hermite_coefficients(rule.ends_with(" 100") ? 100 : 1000,
                                                        points, weights);
    EXPECT_NEAR(points[r.index] / r.node, 1.0, 4.0 * eps) << rule;
    // n^2 eps at the ends of the Legendre rule, n eps for the recurrence's rounding elsewhere
    EXPECT_NEAR(weights[r.index] / r.weight, 1.0, r.weight_tolerance) << rule;
}

INSTANTIATE_TEST_SUITE_P(math, large_rule_nodes, ::testing::ValuesIn(large_rules));

struct kronrod_table
{
    std::size_t n;
    std::vector<double> x, w1, w2;  // the non-negative half, decreasing
};

// QUADPACK's QK15 (n = 7) and QK21 (n = 10) (Piessens, de Doncker-Kapenga, Ueberhuber and
// Kahaner 1983), to 20 digits, in which they agree with a 40-digit mpmath computation.
const kronrod_table qk15{
    7,
    {0.99145537112081263921, 0.94910791234275852453, 0.86486442335976907279,
     0.74153118559939443986, 0.58608723546769113029, 0.40584515137739716691,
     0.20778495500789846760, 0.0},
    {0.022935322010529224964, 0.063092092629978553291, 0.10479001032225018384,
     0.14065325971552591875, 0.16900472663926790283, 0.19035057806478540991,
     0.20443294007529889241, 0.20948214108472782801},
    {0.0, 0.12948496616886969327, 0.0, 0.27970539148927666790, 0.0, 0.38183005050511894495,
     0.0, 0.41795918367346938776}};
const kronrod_table qk21{
    10,
    {0.99565716302580808074, 0.97390652851717172008, 0.93015749135570822600,
     0.86506336668898451073, 0.78081772658641689706, 0.67940956829902440623,
     0.56275713466860468334, 0.43339539412924719080, 0.29439286270146019813,
     0.14887433898163121088, 0.0},
    {0.011694638867371874278, 0.032558162307964727479, 0.054755896574351996031,
     0.075039674810919952767, 0.093125454583697605535, 0.10938715880229764190,
     0.12349197626206585108, 0.13470921731147332593, 0.14277593857706008080,
     0.14773910490133849137, 0.14944555400291690566},
    {0.0, 0.066671344308688137594, 0.0, 0.14945134915058059315, 0.0, 0.21908636251598204400,
     0.0, 0.26926671930999635509, 0.0, 0.29552422471475287017, 0.0}};

class kronrod_tables : public ::testing::TestWithParam<kronrod_table>
{
};

TEST_P(kronrod_tables, match_quadpack_and_mirror_it)
{
    const kronrod_table& table = GetParam();
    vector<double> x, w1, w2;
    gaussian_quadrature::gauss_kronrod(table.n, x, w1, w2);
    const std::size_t size = 2 * table.n + 1;
    ASSERT_EQ(x.size(), size);
    ASSERT_EQ(w1.size(), size);
    ASSERT_EQ(w2.size(), size);
    for (std::size_t i = 0; i <= table.n; ++i) {
        EXPECT_NEAR(x[i], table.x[i], 2.0 * eps) << i;
        EXPECT_NEAR(w1[i], table.w1[i], 4.0 * eps * table.w1[i]) << i;
        EXPECT_NEAR(w2[i], table.w2[i], 4.0 * eps * table.w2[i]) << i;
        EXPECT_EQ(x[size - 1 - i], -x[i]);
        EXPECT_EQ(w1[size - 1 - i], w1[i]);
        EXPECT_EQ(w2[size - 1 - i], w2[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(math, kronrod_tables, ::testing::Values(qk15, qk21));

class kronrod_rules : public ::testing::TestWithParam<std::size_t>
{
};

// The Kronrod rule is exact up to degree 3n + 1, its embedded Gauss rule up to 2n - 1, and the
// Gauss nodes are those of gauss_legendre_coefficients.
TEST_P(kronrod_rules, integrate_polynomials_of_degree_3n_plus_1)
{
    const std::size_t n = GetParam();
    vector<double> x, w1, w2, gauss_points, gauss_weights;
    gaussian_quadrature::gauss_kronrod(n, x, w1, w2);
    gaussian_quadrature::gauss_legendre_coefficients(n, gauss_points, gauss_weights);
    for (std::size_t i = 1; i < x.size(); ++i)
        EXPECT_LT(x[i], x[i - 1]);
    for (int k = 0; k <= static_cast<int>(3 * n + 1); ++k) {
        const double exact = k % 2 == 0 ? 2.0 / (k + 1) : 0.0;
        EXPECT_NEAR(rule_sum(x, w1, k), exact, 16.0 * eps) << "n = " << n << ", k = " << k;
        if (k <= static_cast<int>(2 * n - 1)) {
            EXPECT_NEAR(rule_sum(x, w2, k), exact, 16.0 * eps) << "n = " << n << ", k = " << k;
        }
    }
    std::size_t gauss = 0;
    for (std::size_t i = x.size(); i-- > 0;)
        if (w2[i] != 0.0) {
            EXPECT_NEAR(x[i], gauss_points[gauss], 2.0 * eps);
            EXPECT_NEAR(w2[i], gauss_weights[gauss], 4.0 * eps);
            ++gauss;
        }
    EXPECT_EQ(gauss, n);
}

INSTANTIATE_TEST_SUITE_P(math, kronrod_rules, ::testing::Values(0, 1, 2, 3, 5, 12, 20, 31));

TEST(gaussian_quadrature, outputs_take_the_size_of_the_rule)
{
    vector<double> points(3), weights{1.0, 2.0, 3.0, 4.0, 5.0, 6.0};
    const double* old_block = weights.data();
    gaussian_quadrature::gauss_legendre_coefficients(5, points, weights);
    EXPECT_EQ(points.size(), 5u);
    EXPECT_EQ(weights.size(), 5u);
    EXPECT_NE(weights.data(), old_block);

    // a view of the right size is written through
    vector<double> storage(10);
    storage = 0.0;
    vector<double> first = vector<double>::view_of(storage.data(), 5);
    vector<double> second = vector<double>::view_of(storage.data() + 5, 5);
    gaussian_quadrature::gauss_hermite_coefficients(5, first, second);
    EXPECT_EQ(storage[0], first[0]);
    EXPECT_LT(storage[0], 0.0);
    EXPECT_NEAR(storage[5] + storage[6] + storage[7] + storage[8] + storage[9],
                std::sqrt(std::numbers::pi), 4.0 * eps);
}

TEST(gaussian_quadrature, outputs_that_cannot_take_the_rule_are_refused)
{
    vector<double> storage(8);
    storage = -1.0;
    vector<double> view = vector<double>::view_of(storage.data(), 4);
    vector<double> weights;
    testing::expect_failure(
        [&] { gaussian_quadrature::gauss_legendre_coefficients(6, view, weights); },
        {"gauss_legendre_coefficients", source_file, 827},
        "Expected fits_or_resizable(out, size) to be true, but got false.  points is a view of "
        "4 elements on device 0, the result has 6");
    EXPECT_EQ(storage[0], -1.0);
    EXPECT_TRUE(weights.empty());  // refused before anything was written

    vector<double> same;
    testing::expect_failure(
        [&] { gaussian_quadrature::gauss_laguerre_coefficients(0.0, 3, same, same); },
        {"gauss_laguerre_coefficients", source_file, 895},
        "Expected !details::share_memory(points, weights, n) to be true, but got false.");
    vector<double> overlapping = vector<double>::view_of(storage.data() + 2, 4);
    testing::expect_failure(
        [&] { gaussian_quadrature::gauss_hermite_coefficients(4, view, overlapping); },
        {"gauss_hermite_coefficients", source_file, 920},
        "Expected !details::share_memory(points, weights, n) to be true, but got false.");
    vector<double> x, w1;
    testing::expect_failure([&] { gaussian_quadrature::gauss_kronrod(2, x, w1, x); },
                            {"gauss_kronrod", source_file, 844},
                            "Expected !details::share_memory(x, w1, size) && "
                            "!details::share_memory(x, w2, size) && "
                            "!details::share_memory(w1, w2, size) to be true, but got false.");
}

TEST(gaussian_quadrature, bad_arguments_are_refused)
{
    vector<double> points, weights, extra;
    const std::string count =
        "Expected n <= gaussian_quadrature::max_points to be true, but got false.  ";
    const auto negative = static_cast<std::size_t>(-3);
    testing::expect_failure(
        [&] { gaussian_quadrature::gauss_legendre_coefficients(negative, points, weights); },
        {"gauss_legendre_coefficients", source_file, 826}, count + "n = 18446744073709551613");
    testing::expect_failure(
        [&] { gaussian_quadrature::gauss_kronrod(100001, points, weights, extra); },
        {"gauss_kronrod", source_file, 839}, count + "n = 100001");
    testing::expect_failure(
        [&] { gaussian_quadrature::gauss_hermite_coefficients(4, points, weights, false, -1e-3); },
        {"gauss_hermite_coefficients", source_file, 919},
        "Expected tolerance >= 0.0 to be true, but got false.  tolerance = -0.001");
    testing::expect_failure(
        [&] {
            gaussian_quadrature::gauss_laguerre_coefficients(0.0, 4, points, weights, std::nan(""));
        },
        {"gauss_laguerre_coefficients", source_file, 892},
        "Expected tolerance >= 0.0 to be true, but got false.  tolerance = nan");
    for (const double alpha : {-1.0, -2.5, std::numeric_limits<double>::infinity()})
        EXPECT_THROW(gaussian_quadrature::gauss_laguerre_coefficients(alpha, 4, points, weights),
                     Error);
}

// From alpha = 150 on the rules' polynomials pass 2^500 and are rescaled, and their zeros lie
// far from the Bessel-type starting values: every weight stays finite, two Newton runs that
// end on the same zero are caught (n = 2: the zeros alpha + 2 -+ sqrt(alpha + 2)), and the
// moments hold. Beyond the largest double the rule is refused: up front where even the mean
// weight Gamma(alpha + 1) / n overflows, after the search where one weight does.
TEST(gaussian_quadrature, laguerre_rules_for_a_large_alpha_are_right_or_refused)
{
    vector<double> points, weights;
    gaussian_quadrature::gauss_laguerre_coefficients(150.0, 2, points, weights);
    EXPECT_NEAR(points[0], 152.0 - std::sqrt(152.0), 4.0 * eps * points[0]);
    EXPECT_NEAR(points[1], 152.0 + std::sqrt(152.0), 4.0 * eps * points[1]);
    gaussian_quadrature::gauss_laguerre_coefficients(150.0, 200, points, weights);
    EXPECT_TRUE(increasing(points));
    for (int k = 0; k <= 10; ++k)
        EXPECT_NEAR(rule_sum(points, weights, k) / std::tgamma(151.0 + k), 1.0, 64.0 * eps) << "k = " << k;

    const auto refused = [&](double alpha, const char* text, std::size_t n, int line) {
        points = vector<double>{};
        testing::expect_failure(
            [&] { gaussian_quadrature::gauss_laguerre_coefficients(alpha, n, points, weights); },
            {"gauss_laguerre_coefficients", source_file, line},
            "alpha = " + std::string(text) + ": the weights of the " + std::to_string(n) +
                "-point rule, which sum to Gamma(alpha + 1), exceed the largest double");
        EXPECT_TRUE(points.empty());
    };
    refused(171.7, "171.7", 10, 899);
    refused(1e20, "1e+20", 10, 899);
    refused(1e200, "1e+200", 10, 899);
    refused(171.5, "171.5", 100, 907);
}

TEST(gaussian_quadrature, the_iteration_cap_keeps_the_last_iterate)
{
    vector<double> points, weights, exact_points, exact_weights;
    gaussian_quadrature::gauss_laguerre_coefficients(0.0, 30, exact_points, exact_weights);
    gaussian_quadrature::gauss_laguerre_coefficients(0.0, 30, points, weights, 0.0, 1);
    ASSERT_EQ(points.size(), 30u);
    double worst = 0.0;
    for (std::size_t i = 0; i < 30; ++i)
        worst = std::fmax(worst, std::fabs(points[i] / exact_points[i] - 1.0));
    EXPECT_GT(worst, 1e-12);  // one Newton step from the starting values is not enough
    EXPECT_LT(worst, 0.1);
    EXPECT_TRUE(increasing(points));
}

TEST(gaussian_quadrature, empty_rules)
{
    vector<double> points(4), weights(4), w2(4);
    gaussian_quadrature::gauss_legendre_coefficients(0, points, weights);
    EXPECT_TRUE(points.empty());
    EXPECT_TRUE(weights.empty());
    gaussian_quadrature::gauss_kronrod(0, points, weights, w2);  // the midpoint rule
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0], 0.0);
    EXPECT_EQ(weights[0], 2.0);
    EXPECT_EQ(w2[0], 0.0);
}

}  // namespace
}  // namespace korvex
