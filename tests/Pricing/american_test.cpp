#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Pricing/pricing_fixtures.h"
#include "black_scholes_closed_forms.h"

namespace korvex::pricing {
namespace {

using namespace testing;

constexpr double target = 1e-4;

// American options under S = 100, computed offline. Price: the binomial Black-Scholes tree
// with Richardson extrapolation (Broadie and Detemple, 1996: a Cox-Ross-Rubinstein tree whose
// last step takes the Black-Scholes value), 2 V(16000 steps) - V(8000 steps); theta and vega
// by central differences of that price (expiry +- half a day, volatility +- 0.005). Delta and
// gamma: QuantLib 1.29's FdBlackScholesVanillaEngine on 20000 x 2000 points (Crank-Nicolson,
// four damping steps), whose grid gives them smoothly where the tree's price, as a function
// of the spot, ripples with its nodes.
struct american_reference
{
    option_case option;
    double price;
    double delta;
    double gamma;
    double theta;
    double vega;
};

const american_reference references[] = {
    {{false, 100, 365, 0.2, 0.05, 0.02}, 6.6606880242, -0.42301534, 0.02147688, -2.693297, 38.036051},
    {{false, 120, 91, 0.3, 0.06, 0}, 20.1657951135, -0.92004103, 0.02019541, -2.357814, 6.585377},
    {{false, 80, 730, 0.4, 0.03, 0.01}, 10.1667992938, -0.22981346, 0.00548819, -3.625954, 42.438710},
    {{false, 100, 30, 0.15, 0.08, 0}, 1.4586559095, -0.45454146, 0.09994117, -7.490709, 11.196850},
    {{true, 100, 365, 0.25, 0.02, 0.06}, 8.2133990791, 0.49471408, 0.01728110, -3.257219, 37.740342},
    {{false, 150, 1825, 0.2, 0.07, 0.01}, 50.0000000000, -1.00000000, 0.00000000, 0.000000, 0.000000},
};

std::string name_of(const ::testing::TestParamInfo<american_reference>& info)
{
    const option_case& c = info.param.option;
    return std::string(c.call ? "call_" : "put_") + std::to_string(static_cast<int>(c.strike)) + "_days_" +
           std::to_string(static_cast<int>(c.days));
}

class american_price : public ::testing::TestWithParam<american_reference>
{
};

TEST_P(american_price, matches_the_binomial_tree)
{
    const american_reference c = GetParam();
    const option_case& o = c.option;
    const black_scholes_result r =
        price_black_scholes(option(o.call, o.strike, o.days, exercise_type::american), o.market());
    const double years = o.days / 365.0;
    const double width = 100.0 * o.volatility * std::sqrt(years);
    EXPECT_NEAR(r.price, c.price, target);
    EXPECT_NEAR(r.delta, c.delta, 10.0 * target / width);
    EXPECT_NEAR(r.gamma, c.gamma, 1e-4 + 10.0 * target / (width * width));
    EXPECT_NEAR(r.theta, c.theta, 1e-3 + 10.0 * target / years);
    EXPECT_NEAR(r.vega, c.vega, 1e-3 + 10.0 * target / o.volatility);
    EXPECT_EQ(r.scheme, crank_nicolson);
}

INSTANTIATE_TEST_SUITE_P(binomial, american_price, ::testing::ValuesIn(references), name_of);

// Without a carry a call is never exercised early: its price is the European one.
TEST(american_call, without_carry_is_worth_the_european_call)
{
    const black_scholes_market m = flat_market(100.0, 0.3, 0.04, 0.0);
    const double european = closed_forms::black_scholes(true, 100.0, 110.0, 0.5, 0.3, std::exp(-0.04 * 0.5), 1.0,
                                                        0.04, 0.0)
                                .price;
    EXPECT_NEAR(price_black_scholes(option(true, 110.0, 182.5, exercise_type::american), m).price, european, target);
}

double american_put_error(std::size_t steps)
{
    black_scholes_settings s;
    s.space_points = 401;
    s.time_steps = steps;
    s.vega = false;
    const black_scholes_market m = flat_market(100.0, 0.2, 0.05, 0.02);
    return price_black_scholes(option(false, 100.0, 365.0, exercise_type::american), m, s).price - references[0].price;
}

// The exercise value enforced after each step leaves a time error of first order.
TEST(american_convergence, first_order_in_time)
{
    const double e100 = american_put_error(100), e200 = american_put_error(200), e400 = american_put_error(400);
    EXPECT_NEAR(std::log2(e100 / e200), 1.0, 0.25);
    EXPECT_NEAR(std::log2(e200 / e400), 1.0, 0.4);
    EXPECT_LT(std::fabs(e400), target);
}

}  // namespace
}  // namespace korvex::pricing
