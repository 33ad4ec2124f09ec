#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "core/error.h"
#include "serialization/test_support.h"
#include "util/bachelier.h"
#include "util/implied_volatility_grid.h"

namespace korvex {
namespace {

using testing::error_of;

constexpr double eps = std::numeric_limits<double>::epsilon();

TEST(BachelierPrice, MatchesFortyDigitReferencesFromTheMoneyToFarWings)
{
    // (F - K) / s from 0 to -30: the direct form, the crossover at -10 and the asymptotic series.
    const std::vector<double> distances{0.0, -0.3, -1.0, -3.0, -6.0, -9.5, -10.5, -15.0, -30.0};
    std::ostringstream list;
    for (double d : distances)
        list << d << ",";
    const std::string code =
        "import mpmath as m; m.mp.dps = 40; "
        "print(' '.join(m.nstr(m.npdf(d) + d * m.ncdf(d), 20) for d in [" + list.str() + "]))";
    std::istringstream references(testing::python_output(code));
    for (double d : distances) {
        double reference = 0.0;
        ASSERT_TRUE(references >> reference) << d;
        // Forward 0, strike -d s with s = 0.01: the call is out of the money by d deviations.
        const double price = bachelier::price(-d * 0.01, 0.0, 1.0, 0.01, 1.0, 1.0);
        EXPECT_NEAR(price / (0.01 * reference), 1.0, 64.0 * eps) << d;
    }
}

TEST(BachelierPrice, AddsTheIntrinsicValueAndKeepsParity)
{
    const double call = bachelier::price(-0.01, 0.005, 2.0, 0.008, 0.9, 1.0);
    const double put = bachelier::price(-0.01, 0.005, 2.0, 0.008, 0.9, -1.0);
    EXPECT_NEAR(call - put, 0.9 * 0.015, 1e-17);
    EXPECT_DOUBLE_EQ(bachelier::price(0.01, 0.01, 4.0, 0.005, 1.0, -1.0), 0.01 / std::sqrt(2.0 * std::numbers::pi));
    EXPECT_EQ(bachelier::price(0.01, 0.03, 0.0, 0.005, 2.0, 1.0), 2.0 * (0.03 - 0.01));
}

TEST(BachelierImpliedVolatility, RoundTripsTheWholeGridToAFewEps)
{
    const std::vector<testing::option_point> grid = testing::bachelier_grid();
    ASSERT_GT(grid.size(), 1500u);
    for (const testing::option_point& p : grid) {
        const double implied = bachelier::implied_volatility(p.strike, p.forward, p.expiry, p.price, 1.0, p.sign);
        const double condition = testing::bachelier_condition(p);
        ASSERT_LE(condition, 1.0 + 1e-12);
        EXPECT_LE(std::fabs(implied / p.volatility - 1.0), 8.0 * eps)
            << "K " << p.strike << " T " << p.expiry << " sigma " << p.volatility;
    }
}

TEST(BachelierImpliedVolatility, InvertsInTheMoneyAndNegativeStrikes)
{
    for (double strike : {-0.02, -0.005, 0.0, 0.004, 0.015})
        for (double sign : {1.0, -1.0}) {
            const double price = bachelier::price(strike, 0.003, 3.0, 0.0075, 1.7, sign);
            EXPECT_NEAR(bachelier::implied_volatility(strike, 0.003, 3.0, price, 1.7, sign) / 0.0075, 1.0, 1e-13)
                << strike << " " << sign;
        }
    EXPECT_EQ(bachelier::implied_volatility(0.01, 0.03, 1.0, 0.03 - 0.01, 1.0, 1.0), 0.0);
}

TEST(BachelierImpliedVolatility, RefusesPricesBelowTheIntrinsicValueAndBadInputs)
{
    const Error below = error_of([] { (void)bachelier::implied_volatility(0.01, 0.03, 1.0, 0.019, 1.0, 1.0); });
    EXPECT_EQ(below.message(),
              "The price 0.019 is below the intrinsic value 0.019999999999999997 of the option; it has no implied "
              "volatility");
    EXPECT_STREQ(below.location().function, "implied_volatility");
    EXPECT_STREQ(below.location().file, "Foundation/util/bachelier");
    const Error sign = error_of([] { (void)bachelier::implied_volatility(0.01, 0.03, 1.0, 0.02, 1.0, 0.0); });
    EXPECT_EQ(sign.message(), "The sign must be +1 (a call) or -1 (a put), not 0");
    const double inf = std::numeric_limits<double>::infinity();
    const Error strike = error_of([&] { (void)bachelier::price(inf, 0.0, 1.0, 0.01, 1.0, 1.0); });
    EXPECT_EQ(strike.message(), "The strike must be finite, not inf");
    EXPECT_STREQ(strike.location().function, "price");
}

}  // namespace
}  // namespace korvex
