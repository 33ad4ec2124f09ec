#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "math/error_function.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();

struct reference_value
{
    double x, expected;
};

// exp(x^2) erfc(x) at the double x, computed once with mpmath 1.2.1 at mp.dps = 50
// (mp.exp(x*x) * mp.erfc(x); for x > 1e10 the asymptotic series to x^-6), printed to 30 digits.
constexpr reference_value erfcx_references[] = {
    {-26.5, 1.92455316241856880924201605394e+305},
    {-10.0, 5.37623428363227089682525110316e+43},
    {-1.0, 5.00898008076228346630982459821},
    {-1e-8, 1.0000000112837917709551267273},
    {1e-300, 1.0},
    {0.3, 7.34599334567655149919783312303e-1},
    {1.0, 4.27583576155807004410750344491e-1},
    {3.5, 1.55293655608894297402726497582e-1},
    {10.0, 5.61409927438225858575173872205e-2},
    {30.0, 1.87958888614167514971253290494e-2},
    {62.0, 9.09864881328626104680980812874e-3},
    {63.0, 8.95426247407073649269456770861e-3},
    {100.0, 5.64161378298943290355645700695e-3},
    {1e4, 5.64189580726808411523515725047e-5},
    {1e8, 5.64189583547756258738600274173e-9},
    {1e300, 5.64189583547756257325440628902e-301},
};

class erfcx_values : public testing::TestWithParam<reference_value>
{
};

TEST_P(erfcx_values, match_the_reference_to_a_few_ulp)
{
    const auto [x, expected] = GetParam();
    EXPECT_NEAR(error_function::erfcx(x) / expected, 1.0, 4.0 * eps) << "x = " << x;
}

INSTANTIATE_TEST_SUITE_P(math, erfcx_values, testing::ValuesIn(erfcx_references));

TEST(erfcx, is_continuous_where_the_approximations_meet)
{
    // the polynomial pieces join at y = 400 / (4 + x) = 6 + 2k, the continued fraction at 62.5
    for (int k = 0; k <= 47; ++k) {
        const double x = 400.0 / (6.0 + 2.0 * k) - 4.0;
        const double below = error_function::erfcx(std::nextafter(x, 0.0));
        const double above = error_function::erfcx(std::nextafter(x, 100.0));
        EXPECT_NEAR(above / below, 1.0, 4.0 * eps) << "x = " << x;
    }
    EXPECT_NEAR(error_function::erfcx(62.5) / error_function::erfcx(std::nextafter(62.5, 100.0)),
                1.0, 4.0 * eps);
}

// The array form: the references, both sides of every piece's end, the limits, in place.
TEST(erfcx, array_form_gives_the_values_of_the_scalar_form)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<double> x{inf, -inf, -26.7, 0.0, -0.0, 62.5, std::nextafter(62.5, 100.0), 1e-320};
    for (const reference_value& r : erfcx_references)
        x.push_back(r.x);
    for (int k = 0; k <= 47; ++k) {
        const double join = 400.0 / (6.0 + 2.0 * k) - 4.0;
        x.insert(x.end(), {std::nextafter(join, 0.0), join, std::nextafter(join, 100.0)});
    }
    for (int i = 0; i < 300; ++i)  // more than one block
        x.push_back(0.25 * i);
    std::vector<double> out(x.size());
    error_function::erfcx(x.size(), x.data(), out.data());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double scalar = error_function::erfcx(x[i]);
        if (std::isinf(scalar))
            EXPECT_EQ(out[i], scalar) << "x = " << x[i];
        else
            EXPECT_NEAR(out[i], scalar, 2.0 * eps * scalar) << "x = " << x[i];
    }
    std::vector<double> in_place = x;
    error_function::erfcx(in_place.size(), in_place.data(), in_place.data());
    EXPECT_EQ(in_place, out);
    std::vector<double> nan{std::nan("")};
    error_function::erfcx(1, nan.data(), nan.data());
    EXPECT_TRUE(std::isnan(nan[0]));
}

// A point's value does not depend on the length of the array nor on its place in it (the
// array form runs eight points at a time and the rest one by one on some machines).
TEST(erfcx, array_form_gives_a_point_the_same_bits_wherever_it_falls)
{
    const std::vector<double> points{0.0, 1e-3, 0.37, 1.0, 2.5, 7.0, 24.0, 62.5};
    for (double point : points) {
        double alone = 0.0;
        error_function::erfcx(1, &point, &alone);
        for (std::size_t length = 2; length <= 19; ++length)
            for (std::size_t place = 0; place < length; ++place) {
                std::vector<double> x(length, 0.5), out(length);
                x[place] = point;
                error_function::erfcx(length, x.data(), out.data());
                ASSERT_EQ(out[place], alone) << "x = " << point << " at " << place << " of " << length;
            }
    }
}

TEST(erfcx, follows_the_ieee_limits)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(error_function::erfcx(inf), 0.0);
    EXPECT_EQ(error_function::erfcx(-inf), inf);
    EXPECT_EQ(error_function::erfcx(-26.7), inf);  // 2 exp(x^2) exceeds the double range
    EXPECT_EQ(error_function::erfcx(0.0), 1.0);
    EXPECT_TRUE(std::isnan(error_function::erfcx(std::nan(""))));
}

}  // namespace
}  // namespace korvex
