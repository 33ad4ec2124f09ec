#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/grid/time_grid.h"
#include "PDE/scheme/pde_scheme_one_dimension.h"
#include "PDE/storage/pde_storage.h"
#include "Pricing/barrier_fixtures.h"

namespace korvex::pricing {
namespace {

using namespace testing;

constexpr double target = 1e-4;

// QuantLib 1.29's AnalyticBarrierEngine (Python), S = 100, H = 90 (down) or 110 (up), one
// year (365 days ACT/365), sigma = 0.25, r = 0.05, q = 0.02; the rebate paid at hit by
// knock-outs and at expiry by knock-ins.
struct quantlib_case
{
    barrier_type type;
    bool call;
    double strike;
    double rebate;
    double price;
};

const quantlib_case quantlib_cases[] = {
    {barrier_type::down_and_in, true, 80, 0, 9.431213760168},    {barrier_type::down_and_in, true, 80, 3, 10.359089036931},
    {barrier_type::down_and_in, true, 100, 0, 2.984951380434},   {barrier_type::down_and_in, true, 100, 3, 3.912826657196},
    {barrier_type::down_and_in, true, 120, 0, 0.776085261104},   {barrier_type::down_and_in, true, 120, 3, 1.703960537867},
    {barrier_type::up_and_in, true, 80, 0, 22.038073668835},     {barrier_type::up_and_in, true, 80, 3, 22.889375820896},
    {barrier_type::up_and_in, true, 100, 0, 11.061479567785},    {barrier_type::up_and_in, true, 100, 3, 11.912781719847},
    {barrier_type::up_and_in, true, 120, 0, 4.374922416029},     {barrier_type::up_and_in, true, 120, 3, 5.226224568091},
    {barrier_type::down_and_in, false, 80, 0, 1.747529880848},   {barrier_type::down_and_in, false, 80, 3, 2.675405157611},
    {barrier_type::down_and_in, false, 100, 0, 8.140020812709},  {barrier_type::down_and_in, false, 100, 3, 9.067896089472},
    {barrier_type::down_and_in, false, 120, 0, 18.769908004974}, {barrier_type::down_and_in, false, 120, 3, 19.697783281737},
    {barrier_type::up_and_in, false, 80, 0, 0.357432017261},     {barrier_type::up_and_in, false, 80, 3, 1.208734169322},
    {barrier_type::up_and_in, false, 100, 0, 2.730078725816},    {barrier_type::up_and_in, false, 100, 3, 3.581380877877},
    {barrier_type::up_and_in, false, 120, 0, 9.392762383664},    {barrier_type::up_and_in, false, 120, 3, 10.244064535725},
    {barrier_type::down_and_out, true, 80, 0, 14.237829491299},  {barrier_type::down_and_out, true, 80, 3, 16.234450134236},
    {barrier_type::down_and_out, true, 100, 0, 8.138810547625},  {barrier_type::down_and_out, true, 100, 3, 10.135431190562},
    {barrier_type::down_and_out, true, 120, 0, 3.598837154925},  {barrier_type::down_and_out, true, 120, 3, 5.595457797862},
    {barrier_type::up_and_out, true, 80, 0, 1.630969582632},     {barrier_type::up_and_out, true, 80, 3, 3.709286269942},
    {barrier_type::up_and_out, true, 100, 0, 0.062282360273},    {barrier_type::up_and_out, true, 100, 3, 2.140599047583},
    {barrier_type::up_and_out, true, 120, 0, 0.0},               {barrier_type::up_and_out, true, 120, 3, 2.078316687310},
    {barrier_type::down_and_out, false, 80, 0, 0.0},             {barrier_type::down_and_out, false, 80, 3, 1.996620642937},
    {barrier_type::down_and_out, false, 100, 0, 0.086816234745}, {barrier_type::down_and_out, false, 100, 3, 2.083436877682},
    {barrier_type::down_and_out, false, 120, 0, 1.732678020465}, {barrier_type::down_and_out, false, 120, 3, 3.729298663402},
    {barrier_type::up_and_out, false, 80, 0, 1.390097863587},    {barrier_type::up_and_out, false, 80, 3, 3.468414550897},
    {barrier_type::up_and_out, false, 100, 0, 5.496758321638},   {barrier_type::up_and_out, false, 100, 3, 7.575075008948},
    {barrier_type::up_and_out, false, 120, 0, 11.109823641776},  {barrier_type::up_and_out, false, 120, 3, 13.188140329086},
};

std::string name_of(const ::testing::TestParamInfo<quantlib_case>& info)
{
    const char* types[] = {"down_and_in", "up_and_in", "down_and_out", "up_and_out"};
    const quantlib_case& c = info.param;
    return std::string(types[static_cast<int>(c.type)]) + (c.call ? "_call_" : "_put_") +
           std::to_string(static_cast<int>(c.strike)) + "_rebate_" + std::to_string(static_cast<int>(c.rebate));
}

class quantlib_barrier : public ::testing::TestWithParam<quantlib_case>
{
protected:
    static double closed_form(const quantlib_case& c, double spot, double years, double volatility)
    {
        const double level = is_down(c.type) ? 90.0 : 110.0;
        return closed_forms::barrier(c.type, c.call, spot, c.strike, level, c.rebate, years, 0.05, 0.02, volatility);
    }
};

// The closed form of the tests reproduces QuantLib's.
TEST_P(quantlib_barrier, closed_form_matches_quantlib)
{
    EXPECT_NEAR(closed_form(GetParam(), 100.0, 1.0, 0.25), GetParam().price, 1e-11);
}

// Price within the target of QuantLib's; delta, gamma, theta and vega within ten times the
// target on their scales (see european_test) of the closed form's, differentiated by
// central differences.
TEST_P(quantlib_barrier, prices_and_greeks_match)
{
    const quantlib_case c = GetParam();
    const double level = is_down(c.type) ? 90.0 : 110.0;
    const rebate_payment payment = is_in(c.type) ? rebate_payment::at_expiry : rebate_payment::at_hit;
    const black_scholes_result r = price_black_scholes(barrier_of(c.type, c.call, c.strike, level, c.rebate, 365.0, payment),
                                                       flat_market(100.0, 0.25, 0.05, 0.02));
    EXPECT_NEAR(r.price, c.price, target);

    const double h = 0.01;
    const double up = closed_form(c, 100.0 + h, 1.0, 0.25), down = closed_form(c, 100.0 - h, 1.0, 0.25);
    const double width = 100.0 * 0.25;
    EXPECT_NEAR(r.delta, (up - down) / (2.0 * h), 10.0 * target / width);
    EXPECT_NEAR(r.gamma, (up - 2.0 * c.price + down) / (h * h), 10.0 * target / (width * width));
    const double dt = 1e-4;
    EXPECT_NEAR(r.theta, (closed_form(c, 100.0, 1.0 - dt, 0.25) - closed_form(c, 100.0, 1.0 + dt, 0.25)) / (2.0 * dt),
                10.0 * target);
    const double dv = 1e-4;
    EXPECT_NEAR(r.vega, (closed_form(c, 100.0, 1.0, 0.25 + dv) - closed_form(c, 100.0, 1.0, 0.25 - dv)) / (2.0 * dv),
                10.0 * target / 0.25);
}

INSTANTIATE_TEST_SUITE_P(reiner_rubinstein, quantlib_barrier, ::testing::ValuesIn(quantlib_cases), name_of);

// A knock-out's rebate paid at expiry: rebate e^(-rT) P(hit).
TEST(barrier_rebate, paid_at_expiry_by_a_knock_out)
{
    const black_scholes_market m = flat_market(100.0, 0.3, 0.04, 0.01);
    for (const barrier_type type : {barrier_type::down_and_out, barrier_type::up_and_out})
        for (const bool call : {true, false})
            for (const double strike : {85.0, 100.0, 115.0}) {
                const double level = is_down(type) ? 88.0 : 112.0;
                const double exact =
                    closed_forms::barrier(type, call, 100.0, strike, level, 2.5, 0.5, 0.04, 0.01, 0.3, true);
                const barrier_option b = barrier_of(type, call, strike, level, 2.5, 182.5, rebate_payment::at_expiry);
                EXPECT_NEAR(price_black_scholes(b, m).price, exact, target) << static_cast<int>(type) << call << strike;
            }
}

double down_and_out_error(std::size_t space_points)
{
    black_scholes_settings s;
    s.space_points = space_points;
    s.time_steps = 256;
    const barrier_option b = barrier_of(barrier_type::down_and_out, true, 100.0, 90.0, 0.0, 365.0, rebate_payment::at_hit);
    const double exact = closed_forms::barrier(barrier_type::down_and_out, true, 100.0, 100.0, 90.0, 0.0, 1.0, 0.05, 0.02, 0.2);
    return price_black_scholes(b, flat_market(100.0, 0.2, 0.05, 0.02), s).price - exact;
}

// The axis ends on the barrier, held at the rebate, and the node next to it takes the
// three-point row: the price converges at fourth order in space (at least second).
TEST(barrier_convergence, down_and_out_converges_at_high_order_in_space)
{
    const double e41 = down_and_out_error(41), e81 = down_and_out_error(81), e161 = down_and_out_error(161);
    EXPECT_GT(std::log2(std::fabs(e41 / e81)), 3.0);
    EXPECT_GT(std::log2(std::fabs(e81 / e161)), 3.0);
    EXPECT_LT(std::fabs(e161), 1e-6);
}

// u_t = u_xx on [0, pi] with both ends held at 0, u = e^(-t) sin x: five bands hold the
// nodes next to the ends as well, and the error is first order; with their three-point rows
// it is at least second order.
double held_end_error(std::size_t n, bool three_point_rows)
{
    const double pi = 3.141592653589793;
    const space_grid_config uniform(space_grid_config::uniform, false, false, space_grid_config::identity, 0.0, 1.0, 0.0);
    const auto space = std::make_shared<const space_grid>(uniform, n, 0.0, pi, 0.0, std::vector<double>{});
    const std::size_t steps = 400;
    const time_grid_config config(time_grid_config::fixed_step, time_grid_config::backward, false, 0.25 / steps, 0, 0.0);
    const auto times = std::make_shared<const time_grid>(config, datetime(0.0), datetime(0.25), std::vector<datetime>{},
                                                         std::vector<datetime>{});
    const auto c = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    c->diffusion_ = 0.25 / static_cast<double>(times->size() - 1);
    c->convection_ = 0.0;
    c->reaction_ = 0.0;
    const auto scheme = std::make_shared<pde_scheme_one_dimension>(times, space, c, 5, two_stage_l_stable, false);
    scheme->set_three_point_rows_next_to_fixed_ends(three_point_rows);
    const auto held = pde_boundary_config::fixed_value;
    pde_storage storage(1, {n}, {{pde_boundary_config(held, false, 0.0, held, false, 0.0)}});
    for (std::size_t k = 0; k < n; ++k)
        storage.result()[k] = std::sin(space->axis()[k]);
    for (std::size_t i = times->size() - 1; i > 0; --i) {
        scheme->initialize(i);
        scheme->diffuse(storage, {{nullptr, nullptr}}, 1.0);
    }
    double worst = 0.0;
    for (std::size_t k = 0; k < n; ++k)
        worst = std::max(worst, std::fabs(storage.result()[k] - std::exp(-0.25) * std::sin(space->axis()[k])));
    return worst;
}

TEST(barrier_convergence, three_point_rows_next_to_held_ends_restore_the_order)
{
    EXPECT_NEAR(std::log2(held_end_error(41, false) / held_end_error(81, false)), 1.0, 0.2);
    EXPECT_GT(std::log2(held_end_error(41, true) / held_end_error(81, true)), 2.0);
    EXPECT_LT(held_end_error(81, true), held_end_error(81, false) / 100.0);
}

// An American knock-out is worth at least its European twin and at most the American
// vanilla.
TEST(barrier_american, lies_between_the_european_knock_out_and_the_american_vanilla)
{
    const black_scholes_market m = flat_market(100.0, 0.25, 0.06, 0.0);
    barrier_option b = barrier_of(barrier_type::down_and_out, false, 110.0, 85.0, 1.0, 365.0, rebate_payment::at_hit);
    const double european = price_black_scholes(b, m).price;
    b.option.exercise = exercise_type::american;
    const black_scholes_result american = price_black_scholes(b, m);
    const double vanilla = price_black_scholes(option(false, 110.0, 365.0, exercise_type::american), m).price;
    EXPECT_GT(american.price, european + 0.1);
    EXPECT_LT(american.price, vanilla);
    EXPECT_EQ(american.scheme, crank_nicolson);
}

}  // namespace
}  // namespace korvex::pricing
