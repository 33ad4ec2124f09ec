#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "Pricing/barrier_fixtures.h"
#include "Pricing/heston_fixtures.h"

namespace korvex::pricing {
namespace {

using namespace testing;

constexpr double target = 1e-3;  // the default accuracy of price_heston

// QuantLib 1.29's FdHestonBarrierEngine (Python) with the modified Craig-Sneyd scheme, on the
// cases of heston_fixtures.h (S = 100, v0 = eta, the same dates, flat curves,
// Actual365Fixed); it pays a knock-out's rebate at hit, a knock-in's at expiry. Where the
// value does not jump at the barrier at expiry (the first three) its values on 400 steps x
// 800 spot x 400 variance points, within 1e-4 of those on 200 x 400 x 200. Where it jumps
// (a rebate, or a payoff there) QuantLib converges at first order (the change halves under
// doubling, with or without its damping steps): 2 V(400 x 800 x 400) - V(200 x 400 x 200).
struct quantlib_case
{
    heston_case model;
    barrier_type type;
    bool call;
    double strike;
    double level;
    double rebate;
    double price;
    double delta;
    double gamma;
};

void PrintTo(const quantlib_case& c, std::ostream* out)
{
    *out << c.model.name << " " << static_cast<int>(c.type) << (c.call ? " call " : " put ") << c.strike << " / "
         << c.level;
}

const quantlib_case quantlib_cases[] = {
    {case_a, barrier_type::down_and_out, true, 100.0, 90.0, 0.0, 7.1270825817, 0.77246575, 0.01123574},
    {case_a, barrier_type::up_and_out, false, 100.0, 110.0, 0.0, 5.2005082509, -0.51408189, 0.00131096},
    {case_a, barrier_type::down_and_in, true, 100.0, 90.0, 0.0, 1.7678864518, -0.10089979, 0.00678488},
    {case_a, barrier_type::up_and_in, false, 100.0, 110.0, 2.0, 1.9233245, 0.10811668, 0.01799224},
    {case_a, barrier_type::down_and_out, true, 100.0, 90.0, 3.0, 8.7824309, 0.67943239, 0.01733670},
    {case_b, barrier_type::up_and_out, true, 100.0, 130.0, 0.0, 0.9527602, -0.00884062, -0.00193875},
    {case_b, barrier_type::down_and_out, false, 100.0, 80.0, 0.0, 0.6158357, 0.02176932, -0.00118457},
};

std::string name_of(const ::testing::TestParamInfo<quantlib_case>& info)
{
    const char* types[] = {"down_and_in", "up_and_in", "down_and_out", "up_and_out"};
    const quantlib_case& c = info.param;
    return std::string(c.model.name) + "_" + types[static_cast<int>(c.type)] + (c.call ? "_call" : "_put") +
           "_rebate_" + std::to_string(static_cast<int>(c.rebate));
}

class heston_barrier : public ::testing::TestWithParam<quantlib_case>
{
};

barrier_option instrument(const quantlib_case& c)
{
    const rebate_payment payment = is_in(c.type) ? rebate_payment::at_expiry : rebate_payment::at_hit;
    return barrier_of(c.type, c.call, c.strike, c.level, c.rebate, c.model.days, payment);
}

// The price within the default target of QuantLib's, delta and gamma within ten times the
// target on their scales (the spot's standard deviation S sqrt(v0 T), 20 on case A).
TEST_P(heston_barrier, price_keeps_the_default_target_against_quantlib)
{
    const quantlib_case& c = GetParam();
    const heston_result r = price_heston(instrument(c), c.model.flat_market(), c.model.parameters());
    EXPECT_NEAR(r.price, c.price, target);
    const double width = 100.0 * std::sqrt(c.model.eta * c.model.days / 365.0);
    EXPECT_NEAR(r.delta, c.delta, 10.0 * target / width);
    EXPECT_NEAR(r.gamma, c.gamma, 10.0 * target / (width * width));
}

INSTANTIATE_TEST_SUITE_P(quantlib, heston_barrier, ::testing::ValuesIn(quantlib_cases), name_of);

// With a small volatility of variance and v0 = eta the model is Black-Scholes with
// volatility sqrt(eta) (to about sigma^2, here 1e-6): the closed forms of Reiner and
// Rubinstein, rebates paid at hit and at expiry, knock-outs and knock-ins.
struct limit_case
{
    barrier_type type;
    bool call;
    double strike;
    double level;
    double rebate;
    rebate_payment payment;
};

const limit_case limit_cases[] = {
    {barrier_type::down_and_out, true, 100.0, 90.0, 2.0, rebate_payment::at_expiry},
    {barrier_type::up_and_out, false, 100.0, 115.0, 1.5, rebate_payment::at_hit},
    {barrier_type::up_and_in, true, 100.0, 120.0, 1.0, rebate_payment::at_expiry},
    {barrier_type::down_and_in, false, 95.0, 85.0, 0.0, rebate_payment::at_expiry},
};

class black_scholes_limit : public ::testing::TestWithParam<limit_case>
{
protected:
    static constexpr double rate = 0.03;
    static constexpr double carry = 0.01;
    static constexpr double eta = 0.04;
    static heston_parameters quiet_variance() { return heston_parameters(eta, 1.5, eta, 1e-3, 0.0); }
    static market flat() { return market(std::make_shared<const equity_spot>(today, 100.0), flat_curve(rate), flat_curve(carry)); }
};

TEST_P(black_scholes_limit, matches_the_closed_form)
{
    const limit_case& c = GetParam();
    const barrier_option b = barrier_of(c.type, c.call, c.strike, c.level, c.rebate, 182.5, c.payment);
    const bool at_expiry = !is_in(c.type) && c.payment == rebate_payment::at_expiry;
    const double exact = closed_forms::barrier(c.type, c.call, 100.0, c.strike, c.level, c.rebate, 0.5, rate, carry,
                                               std::sqrt(eta), at_expiry);
    EXPECT_NEAR(price_heston(b, flat(), quiet_variance()).price, exact, target);
}

INSTANTIATE_TEST_SUITE_P(reiner_rubinstein, black_scholes_limit, ::testing::ValuesIn(limit_cases));

// An American knock-out in the same limit against the Black-Scholes pricer's (a
// one-dimensional solve with its own exercise scheme, to 1e-4): the barrier holds the larger
// of the rebate and the exercise value in both.
TEST(heston_barrier_american, matches_the_black_scholes_pricer_in_the_limit)
{
    barrier_option b = barrier_of(barrier_type::down_and_out, false, 110.0, 85.0, 1.0, 182.5, rebate_payment::at_hit);
    b.option.exercise = exercise_type::american;
    const heston_parameters quiet(0.04, 1.5, 0.04, 1e-3, 0.0);
    const market m(std::make_shared<const equity_spot>(today, 100.0), flat_curve(0.06), flat_curve(0.0));
    black_scholes_settings fine;
    fine.accuracy = 1e-4;
    const double reference = price_black_scholes(b, black_scholes_market(m, 0.2), fine).price;
    EXPECT_NEAR(price_heston(b, m, quiet).price, reference, target);
}

// The grid ends on the barrier and the strike is a node, smoothed: under doubling of every
// size the price converges at second order (successive differences shrink about fourfold).
TEST(heston_barrier_convergence, is_second_order)
{
    const barrier_option b = barrier_of(barrier_type::down_and_out, true, 100.0, 90.0, 0.0, 365.0, rebate_payment::at_hit);
    double prices[3];
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t n = std::size_t{1} << k;
        prices[k] = price_heston(b, case_a.flat_market(), case_a.parameters(), heston_grid_of(40 * n, 20 * n, 10 * n)).price;
    }
    const double order = std::log2((prices[0] - prices[1]) / (prices[1] - prices[2]));
    EXPECT_NEAR(order, 2.0, 0.5);
}

// A rebate paid at expiry is held on the barrier discounted to each step's midpoint: the time
// error stays second order (held at the step's end it is first order, 2e-2 at 10 steps).
TEST(heston_barrier_convergence, rebate_at_expiry_keeps_second_order_in_time)
{
    const market m(std::make_shared<const equity_spot>(today, 100.0), flat_curve(0.08), flat_curve(0.0));
    const heston_parameters quiet(0.04, 1.5, 0.04, 1e-3, 0.0);
    const barrier_option b = barrier_of(barrier_type::down_and_out, false, 100.0, 90.0, 5.0, 730.0, rebate_payment::at_expiry);
    const double exact = closed_forms::barrier(barrier_type::down_and_out, false, 100.0, 100.0, 90.0, 5.0, 2.0, 0.08, 0.0,
                                               0.2, true);
    const double coarse = price_heston(b, m, quiet, heston_grid_of(400, 40, 10)).price - exact;
    const double fine = price_heston(b, m, quiet, heston_grid_of(400, 40, 20)).price - exact;
    EXPECT_LT(std::fabs(coarse), 1e-3);
    EXPECT_GT(std::fabs(coarse / fine), 2.5);
}

}  // namespace
}  // namespace korvex::pricing
