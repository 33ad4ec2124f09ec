#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "black_scholes_pde.h"

namespace korvex {
namespace {

using namespace black_scholes_pde;

double error_of(const european_option& o, const settings& s)
{
    return std::fabs(pde_price(o, s) - closed_form(o));
}

european_option option(bool call)
{
    european_option o;
    o.call = call;
    return o;
}

TEST(black_scholes_closed_form, matches_published_values)
{
    // S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1 (e.g. scipy/QuantLib analytic engine).
    EXPECT_NEAR(closed_form(option(true)), 9.227005508154036, 1e-12);
    EXPECT_NEAR(closed_form(option(false)), 6.330080627549918, 1e-12);
}

struct scheme_case
{
    pde_scheme_type type;
    layout axis;
    bool call;
    double tolerance;  // price error on a 401 x 400 grid
};

std::string name_of(const ::testing::TestParamInfo<scheme_case>& info)
{
    const char* types[] = {"", "", "", "", "crank_nicolson", "two_stage_l_stable", "implicit_euler"};
    return std::string(types[info.param.type]) + (info.param.axis == layout::uniform ? "_uniform" : "_concentrated") +
           (info.param.call ? "_call" : "_put");
}

class european_price : public ::testing::TestWithParam<scheme_case>
{
};

TEST_P(european_price, converges_to_the_closed_form)
{
    const scheme_case c = GetParam();
    settings s;
    s.type = c.type;
    s.axis = c.axis;
    s.space_points = 401;
    s.time_steps = 400;
    const double fine = error_of(option(c.call), s);
    EXPECT_LT(fine, c.tolerance);
    s.space_points = 101;
    s.time_steps = 100;
    EXPECT_LT(fine, error_of(option(c.call), s));
}

INSTANTIATE_TEST_SUITE_P(
    schemes, european_price,
    ::testing::Values(scheme_case{crank_nicolson, layout::uniform, true, 1e-3},
                      scheme_case{crank_nicolson, layout::uniform, false, 1e-3},
                      scheme_case{crank_nicolson, layout::concentrated, true, 1e-3},
                      scheme_case{crank_nicolson, layout::concentrated, false, 1e-3},
                      scheme_case{two_stage_l_stable, layout::uniform, true, 1e-3},
                      scheme_case{two_stage_l_stable, layout::concentrated, false, 1e-3},
                      scheme_case{implicit_euler, layout::uniform, true, 1e-2},
                      scheme_case{implicit_euler, layout::concentrated, false, 1e-2}),
    name_of);

// log2 of the error ratios of three successive halvings.
struct observed_orders
{
    double first;
    double second;
};

observed_orders orders(settings s, bool refine_space)
{
    double errors[3];
    for (double& e : errors) {
        e = error_of(option(true), s);
        s.time_steps *= 2;
        if (refine_space)
            s.space_points = 2 * s.space_points - 1;
    }
    return {std::log2(errors[0] / errors[1]), std::log2(errors[1] / errors[2])};
}

// Crank-Nicolson with its Rannacher start, and the two-stage L-stable scheme.
class second_order_scheme : public ::testing::TestWithParam<pde_scheme_type>
{
};

TEST_P(second_order_scheme, converges_at_second_order_in_space_and_time)
{
    settings s;
    s.type = GetParam();
    s.space_points = 101;
    s.time_steps = 100;
    const observed_orders p = orders(s, true);
    EXPECT_NEAR(p.first, 2.0, 0.25);
    EXPECT_NEAR(p.second, 2.0, 0.25);
}

INSTANTIATE_TEST_SUITE_P(european_price, second_order_scheme,
                         ::testing::Values(crank_nicolson, two_stage_l_stable));

TEST(european_price, implicit_euler_is_first_order_in_time)
{
    settings s;
    s.type = implicit_euler;
    s.space_points = 1601;
    s.time_steps = 25;
    const observed_orders p = orders(s, false);
    EXPECT_NEAR(p.first, 1.0, 0.15);
    EXPECT_NEAR(p.second, 1.0, 0.15);
}

TEST(european_price, five_band_stencil_converges)
{
    // On the uniform axis the kink of the payoff keeps the error of second order; the
    // fourth-order weights pay off on the grid refined around the strike.
    for (const auto& [axis, tolerance] : {std::pair{layout::uniform, 2e-3}, std::pair{layout::concentrated, 1e-4}}) {
        settings s;
        s.stencil = 5;
        s.axis = axis;
        s.space_points = 201;
        s.time_steps = 200;
        EXPECT_LT(error_of(option(true), s), tolerance);
        EXPECT_LT(error_of(option(false), s), tolerance);
        s.space_points = 101;
        s.time_steps = 100;
        EXPECT_GT(error_of(option(true), s), 3.0 * tolerance / 4.0);
    }
}

// Down-and-out call, barrier H below the strike, no rebate (Reiner and Rubinstein).
double down_and_out_call(const european_option& o)
{
    const double t = o.days / 365.0;
    const double deviation = o.volatility * std::sqrt(t);
    const double lambda = (o.rate - o.dividend + 0.5 * o.volatility * o.volatility) / (o.volatility * o.volatility);
    const double h = o.down_and_out;
    const double y = std::log(h * h / (o.spot * o.strike)) / deviation + lambda * deviation;
    const double down_and_in = o.spot * std::exp(-o.dividend * t) * std::pow(h / o.spot, 2 * lambda) * normal_cdf(y) -
                               o.strike * std::exp(-o.rate * t) * std::pow(h / o.spot, 2 * lambda - 2) *
                                   normal_cdf(y - deviation);
    return closed_form(o) - down_and_in;
}

TEST(down_and_out_call, floating_barrier_between_nodes_converges_to_the_closed_form)
{
    european_option o;
    o.down_and_out = 90.0;
    EXPECT_NEAR(down_and_out_call(o), 7.586953969736404, 1e-12);  // scipy, same formula
    settings s;
    double previous = 1.0;
    for (std::size_t n : {101, 201, 401}) {
        s.space_points = n;
        s.time_steps = n - 1;
        const double error = std::fabs(pde_price(o, s) - down_and_out_call(o));
        EXPECT_LT(error, previous / 3.0) << n;
        previous = error;
    }
    EXPECT_LT(previous, 2e-3);
}

}  // namespace
}  // namespace korvex
