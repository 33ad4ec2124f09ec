#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "Pricing/american_sample.h"
#include "Pricing/pricing_fixtures.h"
#include "black_scholes_closed_forms.h"

namespace korvex::pricing {
namespace {

using namespace testing;

// The accuracy rule keeps its promise on random samples of 200 instruments per kind:
// strikes 50-200 % of the spot, expiries of a week to ten years and volatilities of 5-100 %
// (both log-uniform), rates 0-10 %, carries 0-8 %. The sanitizer build checks every fifth
// European and barrier instrument and a few American ones. The American references carry
// their own uncertainty, below 7e-5, which the check adds to the target.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t stride = 5;
constexpr std::size_t american_stride = 50;
#else
constexpr std::size_t stride = 1;
constexpr std::size_t american_stride = 1;
#endif

// Uniform numbers in [0, 1): the top 53 bits of a 64-bit Mersenne twister's draws.
class uniforms
{
public:
    explicit uniforms(std::uint64_t seed) : engine_(seed) {}
    double operator()() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    double log_uniform(double low, double high) { return low * std::exp((*this)() * std::log(high / low)); }

private:
    std::mt19937_64 engine_;
};

option_case draw(uniforms& u)
{
    option_case c;
    c.strike = u.log_uniform(50.0, 200.0);
    c.days = std::round(u.log_uniform(7.0, 3650.0));
    c.volatility = u.log_uniform(0.05, 1.0);
    c.rate = 0.1 * u();
    c.carry = 0.08 * u();
    c.call = u() < 0.5;
    return c;
}

std::string describe(const option_case& c)
{
    return std::string(c.call ? "call" : "put") + " strike " + std::to_string(c.strike) + " days " +
           std::to_string(c.days) + " volatility " + std::to_string(c.volatility) + " rate " + std::to_string(c.rate) +
           " carry " + std::to_string(c.carry);
}

TEST(accuracy_rule, holds_for_european_options_on_flat_and_piecewise_curves)
{
    uniforms u(20240102);
    for (std::size_t i = 0; i < 200; ++i) {
        const option_case c = draw(u);
        // Every other option sees piecewise curves: the drawn rates for three months, then
        // steps of their own.
        const bool piecewise = u() < 0.5;
        const std::vector<datetime> pillars{days_after_today(91), days_after_today(730), days_after_today(2555)};
        const std::shared_ptr<const discount_curve> rate =
            piecewise ? std::make_shared<const discount_curve_piecewise_constant>(
                            today, pillars, std::vector<double>{c.rate, 0.1 * u(), 0.1 * u()}, act_365())
                      : flat_curve(c.rate);
        const std::shared_ptr<const discount_curve> carry =
            piecewise ? std::make_shared<const discount_curve_piecewise_constant>(
                            today, pillars, std::vector<double>{c.carry, 0.08 * u(), 0.08 * u()}, act_365())
                      : flat_curve(c.carry);
        if (i % stride != 0)
            continue;
        const black_scholes_market m(market(std::make_shared<const equity_spot>(today, 100.0), rate, carry),
                                     c.volatility);
        const datetime expiry = days_after_today(c.days);
        const double exact = closed_forms::black_scholes(c.call, 100.0, c.strike, c.days / 365.0, c.volatility,
                                                         rate->df(today, expiry), carry->df(today, expiry), 0.0, 0.0)
                                 .price;
        EXPECT_NEAR(price_black_scholes(option(c.call, c.strike, c.days), m).price, exact, 1e-4)
            << i << ": " << describe(c) << (piecewise ? ", piecewise" : "");
    }
}

TEST(accuracy_rule, holds_for_barrier_options)
{
    using closed_forms::barrier_type;
    uniforms u(20240103);
    for (std::size_t i = 0; i < 200; ++i) {
        const option_case c = draw(u);
        const bool down = u() < 0.5, out = u() < 0.5, at_hit = out && u() < 0.5;
        const double rebate = u() < 0.5 ? 0.0 : 5.0 * u();
        // The barrier 0.05 to 2.55 standard deviations from the spot, within 50-200 % of it.
        const double distance = std::min(std::log(2.0), (0.05 + 2.5 * u()) * c.volatility * std::sqrt(c.days / 365.0));
        const double level = 100.0 * std::exp(down ? -distance : distance);
        if (i % stride != 0)
            continue;
        const barrier_type type = down ? (out ? barrier_type::down_and_out : barrier_type::down_and_in)
                                       : (out ? barrier_type::up_and_out : barrier_type::up_and_in);
        const barrier_option b{option(c.call, c.strike, c.days), down ? barrier_direction::down : barrier_direction::up,
                               out ? barrier_kind::knock_out : barrier_kind::knock_in, level, rebate,
                               at_hit ? rebate_payment::at_hit : rebate_payment::at_expiry};
        black_scholes_settings s;
        s.vega = false;
        const double exact = closed_forms::barrier(type, c.call, 100.0, c.strike, level, rebate, c.days / 365.0, c.rate,
                                                   c.carry, c.volatility, out && !at_hit);
        EXPECT_NEAR(price_black_scholes(b, c.market(), s).price, exact, 1e-4)
            << i << ": " << describe(c) << (down ? " down" : " up") << (out ? "-and-out" : "-and-in") << " at "
            << level << ", rebate " << rebate << (at_hit ? " at hit" : " at expiry");
    }
}

TEST(accuracy_rule, holds_for_american_options)
{
    const std::vector<american_case>& cases = american_sample();
    ASSERT_EQ(cases.size(), 200u);
    for (std::size_t i = 0; i < cases.size(); i += american_stride) {
        const option_case& c = cases[i].option;
        black_scholes_settings s;
        s.vega = false;
        const black_scholes_result r =
            price_black_scholes(option(c.call, c.strike, c.days, exercise_type::american), c.market(), s);
        EXPECT_NEAR(r.price, cases[i].reference, 1e-4 + cases[i].uncertainty) << i << ": " << describe(c);
    }
}

}  // namespace
}  // namespace korvex::pricing
