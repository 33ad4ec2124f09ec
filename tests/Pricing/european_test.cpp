#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "Market/fx/fx_spot/fx_spot.h"
#include "Pricing/pricing_fixtures.h"
#include "black_scholes_closed_forms.h"

namespace korvex::pricing {
namespace {

using namespace testing;

constexpr double target = 1e-4;  // the default accuracy

// The Greeks are held to ten times the price target on their natural scales: a price error
// e spread over the width S sigma sqrt(T) of the option's curve moves delta by about
// e / (S sigma sqrt(T)) and gamma by that over S sigma sqrt(T) again.
void expect_greeks(const black_scholes_result& r, const closed_forms::greeks& g, double spot, double volatility,
                   double years)
{
    const double width = spot * volatility * std::sqrt(years);
    EXPECT_NEAR(r.price, g.price, target);
    EXPECT_NEAR(r.delta, g.delta, 10.0 * target / width);
    EXPECT_NEAR(r.gamma, g.gamma, 10.0 * target / (width * width));
    EXPECT_NEAR(r.theta, g.theta, 10.0 * target / years);
    EXPECT_NEAR(r.vega, g.vega, 10.0 * target / volatility);
}

struct european_case
{
    double strike;
    double days;
    double volatility;
};

std::string name_of(const ::testing::TestParamInfo<european_case>& info)
{
    const european_case& c = info.param;
    return "strike_" + std::to_string(static_cast<int>(c.strike)) + "_days_" +
           std::to_string(static_cast<int>(c.days)) + "_volatility_" +
           std::to_string(static_cast<int>(std::lround(100.0 * c.volatility)));
}

class european_accuracy : public ::testing::TestWithParam<european_case>
{
};

// Strikes 50-200 % of the spot, a week to ten years, volatilities 5-100 %, against the
// Black-Scholes-Merton formula.
TEST_P(european_accuracy, prices_and_greeks_match_the_closed_form)
{
    const european_case c = GetParam();
    const double r = 0.03, q = 0.01, years = c.days / 365.0;
    const black_scholes_market m = flat_market(100.0, c.volatility, r, q);
    for (const bool call : {true, false}) {
        SCOPED_TRACE(call ? "call" : "put");
        const black_scholes_result result = price_black_scholes(option(call, c.strike, c.days), m);
        expect_greeks(result,
                      closed_forms::black_scholes(call, 100.0, c.strike, years, c.volatility, std::exp(-r * years),
                                               std::exp(-q * years), r, q),
                      100.0, c.volatility, years);
    }
}

std::vector<european_case> european_cases()
{
    std::vector<european_case> cases;
    for (const double strike : {50.0, 80.0, 100.0, 125.0, 200.0})
        for (const double days : {7.0, 91.0, 365.0, 3650.0})
            for (const double volatility : {0.05, 0.25, 1.0})
                cases.push_back({strike, days, volatility});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(grid, european_accuracy, ::testing::ValuesIn(european_cases()), name_of);

// Piecewise rate and carry curves: the closed form with the curves' discount factors, and
// theta with their rates at the valuation date (those of the first pillar).
TEST(european_piecewise_curves, prices_as_the_discount_factors_say)
{
    const std::vector<datetime> pillars{days_after_today(91), days_after_today(365), days_after_today(1826)};
    const auto rate = std::make_shared<const discount_curve_piecewise_constant>(
        today, pillars, std::vector<double>{0.01, 0.04, 0.06}, act_365());
    const auto carry = std::make_shared<const discount_curve_piecewise_constant>(
        today, pillars, std::vector<double>{0.03, 0.0, 0.015}, act_365());
    const double volatility = 0.3;
    const black_scholes_market m(market(std::make_shared<const equity_spot>(today, 100.0), rate, carry), volatility);
    for (const double days : {60.0, 700.0, 2500.0})
        for (const double strike : {70.0, 100.0, 140.0})
            for (const bool call : {true, false}) {
                SCOPED_TRACE(std::to_string(days) + " days, strike " + std::to_string(strike));
                const datetime expiry = days_after_today(days);
                const double years = days / 365.0;
                const closed_forms::greeks g =
                    closed_forms::black_scholes(call, 100.0, strike, years, volatility, rate->df(today, expiry),
                                             carry->df(today, expiry), 0.01, 0.03);
                expect_greeks(price_black_scholes(option(call, strike, days), m), g, 100.0, volatility, years);
            }
}

// An exchange rate: the carry curve is the foreign rate (Garman-Kohlhagen).
TEST(european_fx, prices_with_the_foreign_rate_as_carry)
{
    const double spot = 1.1, domestic = 0.04, foreign = 0.025, volatility = 0.1;
    const black_scholes_market m(
        market(std::make_shared<const fx_spot>(today, spot), flat_curve(domestic), flat_curve(foreign)), volatility);
    for (const bool call : {true, false}) {
        const closed_forms::greeks g = closed_forms::black_scholes(call, spot, 1.12, 0.5, volatility,
                                                                   std::exp(-0.5 * domestic), std::exp(-0.5 * foreign),
                                                                   domestic, foreign);
        expect_greeks(price_black_scholes(option(call, 1.12, 182.5), m), g, spot, volatility, 0.5);
    }
}

// log2 of the ratios of three successive errors.
std::pair<double, double> orders(double e0, double e1, double e2)
{
    return {std::log2(std::fabs(e0 / e1)), std::log2(std::fabs(e1 / e2))};
}

double put_error(std::size_t space_points, std::size_t time_steps, pde_scheme_type scheme = two_stage_l_stable)
{
    black_scholes_settings s;
    s.space_points = space_points;
    s.time_steps = time_steps;
    s.scheme = scheme;
    const black_scholes_market m = flat_market(100.0, 0.25, 0.03, 0.01);
    const double exact = closed_forms::black_scholes(false, 100.0, 100.0, 1.0, 0.25, std::exp(-0.03), std::exp(-0.01),
                                                  0.03, 0.01)
                             .price;
    return price_black_scholes(option(false, 100.0, 365.0), m, s).price - exact;
}

TEST(european_convergence, fourth_order_in_space)
{
    const auto [first, second] = orders(put_error(41, 256), put_error(81, 256), put_error(161, 256));
    EXPECT_GT(first, 3.6);
    EXPECT_GT(second, 3.6);
}

// The extrapolated two-stage runs leave a third-order time error; Crank-Nicolson with its
// implicit start is second order, implicit Euler first order.
TEST(european_convergence, orders_in_time_by_scheme)
{
    const std::size_t n = 801;
    auto [first, second] = orders(put_error(n, 16), put_error(n, 32), put_error(n, 64));
    EXPECT_NEAR(first, 3.0, 0.4);
    EXPECT_NEAR(second, 3.0, 0.4);
    std::tie(first, second) =
        orders(put_error(n, 16, crank_nicolson), put_error(n, 32, crank_nicolson), put_error(n, 64, crank_nicolson));
    EXPECT_NEAR(first, 2.0, 0.6);
    EXPECT_NEAR(second, 2.0, 0.6);
    std::tie(first, second) =
        orders(put_error(n, 8, implicit_euler), put_error(n, 16, implicit_euler), put_error(n, 32, implicit_euler));
    EXPECT_NEAR(first, 1.0, 0.1);
    EXPECT_NEAR(second, 1.0, 0.1);
}

TEST(european_result, holds_the_grid_and_the_values_on_it)
{
    const black_scholes_market m = flat_market(100.0, 0.25, 0.03, 0.01);
    black_scholes_settings s;
    s.space_points = 101;
    s.time_steps = 40;
    const black_scholes_result r = price_black_scholes(option(true, 110.0, 182.0), m, s);
    EXPECT_EQ(r.space_points, 101u);
    EXPECT_EQ(r.time_steps, 40u);
    EXPECT_EQ(r.scheme, two_stage_l_stable);
    EXPECT_TRUE(r.extrapolated);
    ASSERT_EQ(r.spots.size(), 101u);
    ASSERT_EQ(r.values.size(), 101u);
    EXPECT_TRUE(std::is_sorted(r.spots.begin(), r.spots.end()));
    // The values near the spot are the option's values at those spots.
    const double years = 182.0 / 365.0;
    for (std::size_t k = 0; k < r.spots.size(); ++k) {
        if (std::fabs(std::log(r.spots[k] / 100.0)) > 0.25 * std::sqrt(years))
            continue;
        const double exact = closed_forms::black_scholes(true, r.spots[k], 110.0, years, 0.25, std::exp(-0.03 * years),
                                                      std::exp(-0.01 * years), 0.03, 0.01)
                                 .price;
        EXPECT_NEAR(r.values[k], exact, 1e-3) << r.spots[k];
    }
}

}  // namespace
}  // namespace korvex::pricing
