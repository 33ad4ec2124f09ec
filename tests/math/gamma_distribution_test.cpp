#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/gamma_distribution.h"

namespace korvex {
namespace {

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double inf = std::numeric_limits<double>::infinity();

struct gamma_reference
{
    double x, gamma, log_gamma;
};

// Gamma(x) and log |Gamma(x)| at the double x, computed once with mpmath 1.2.1 at
// mp.dps = 50 (mp.gamma, mp.log(abs(mp.gamma(x)))), printed to 30 digits.
constexpr gamma_reference references[] = {
    {0.5, 1.77245385090551602729816748334, 5.72364942924700087071713675677e-1},
    {1.0, 1.0, 0.0},
    {1.5, 8.86226925452758013649083741671e-1, -1.20782237635245222345518445782e-1},
    {3.25, 2.54925696671852928182626300022, 9.35801931108725358258467518542e-1},
    {10.1, 4.54760751441585585376124867977e+5, 1.30275267386332371548137118961e+1},
    {30.25, 2.06280531377534688703720610237e+31, 7.21042047420079998236053308493e+1},
    {170.5, 5.56209241455999961070580965936e+305, 7.04004427734204670791790028836e+2},
    {1e-300, 9.99999999999999974940908164791e+299, 6.9077552789821370518033834457e+2},
    {-0.5, -3.54490770181103205459633496668, 1.26551212348464539648894579713},
    {-2.5, -9.45308720482941881225689324449e-1, -5.62437164976740506725945300977e-2},
    {-10.3, -5.26236323953560955920022413211e-7, -1.44575154400242083341397172808e+1},
    {-170.5, -3.31273952153860731481015406509e-308, -7.07998433145078842098220477266e+2},
};

class gamma_values : public ::testing::TestWithParam<gamma_reference>
{
};

TEST_P(gamma_values, match_the_reference)
{
    const auto [x, gamma, log_gamma] = GetParam();
    EXPECT_NEAR(gamma_distribution::gamma(x) / gamma, 1.0, 4.0 * eps) << "x = " << x;
    // lgamma is accurate relative to its size, or absolutely where it crosses 0
    const double scale = std::fmax(1.0, std::fabs(log_gamma));
    EXPECT_NEAR(gamma_distribution::lgamma(x), log_gamma, 4.0 * eps * scale) << "x = " << x;
}

INSTANTIATE_TEST_SUITE_P(math, gamma_values, ::testing::ValuesIn(references));

TEST(gamma_distribution, lgamma_reaches_where_gamma_overflows)
{
    // mp.loggamma(1e5) and mp.loggamma(1e300) at 50 digits
    const double at_1e5 = 1.05128770897365689490085801825e+6;
    const double at_1e300 = 6.89775527898213741474400918863e+302;
    EXPECT_NEAR(gamma_distribution::lgamma(1e5) / at_1e5, 1.0, 4.0 * eps);
    EXPECT_NEAR(gamma_distribution::lgamma(1e300) / at_1e300, 1.0, 4.0 * eps);
    EXPECT_EQ(gamma_distribution::gamma(172.0), inf);
}

TEST(gamma_distribution, poles_follow_the_ieee_conventions)
{
    EXPECT_EQ(gamma_distribution::gamma(0.0), inf);
    EXPECT_EQ(gamma_distribution::gamma(-0.0), -inf);
    EXPECT_TRUE(std::isnan(gamma_distribution::gamma(-3.0)));
    EXPECT_TRUE(std::isnan(gamma_distribution::gamma(-inf)));
    EXPECT_EQ(gamma_distribution::gamma(inf), inf);
    EXPECT_EQ(gamma_distribution::lgamma(0.0), inf);
    EXPECT_EQ(gamma_distribution::lgamma(-3.0), inf);
    EXPECT_EQ(gamma_distribution::lgamma(-inf), inf);
    EXPECT_TRUE(std::isnan(gamma_distribution::gamma(std::nan(""))));
    EXPECT_TRUE(std::isnan(gamma_distribution::lgamma(std::nan(""))));
}

}  // namespace
}  // namespace korvex
