#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "Market/fx/fx_spot/fx_spot.h"
#include "Pricing/pricing_fixtures.h"
#include "math/failure_expectation.h"

namespace korvex::pricing {
namespace {

using namespace testing;
using korvex::testing::expect_failure;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr const char* market_file = "Library/Pricing/market/market";
constexpr const char* problem_file = "Library/Pricing/black_scholes/black_scholes_problem";
constexpr const char* grid_file = "Library/Pricing/black_scholes/black_scholes_grid";

struct refused
{
    std::string case_name;
    std::function<void()> action;
    SourceLocation where;
    std::string message;
};

void PrintTo(const refused& c, std::ostream* out) { *out << c.case_name; }

class bad_input : public ::testing::TestWithParam<refused>
{
};

// Each bad input gets its Error, with its message and the check's location, before any grid
// is built.
TEST_P(bad_input, is_refused_with_its_message)
{
    expect_failure(GetParam().action, GetParam().where, GetParam().message);
}

const black_scholes_market& good_market()
{
    static const black_scholes_market m = flat_market(100.0, 0.2, 0.05, 0.02);
    return m;
}

void price(const vanilla_option& o, const black_scholes_settings& s = {})
{
    price_black_scholes(o, good_market(), s);
}

void price(const barrier_option& b)
{
    price_black_scholes(b, good_market());
}

barrier_option down_and_out(double level, double rebate = 0.0)
{
    return barrier_option{option(true, 100.0, 365.0), barrier_direction::down, barrier_kind::knock_out, level, rebate};
}

black_scholes_settings with(std::size_t space_points, std::size_t time_steps)
{
    black_scholes_settings s;
    s.space_points = space_points;
    s.time_steps = time_steps;
    return s;
}

std::vector<refused> refusals()
{
    const auto spot = [](double value) { return std::make_shared<const equity_spot>(today, value); };
    const auto curve = flat_curve(0.01);
    std::vector<refused> cases{
        {"null_spot",
         [curve] { market(std::shared_ptr<const equity_spot>(), curve, curve); },
         {"market", market_file, 47},
         "the spot is null"},
        {"negative_spot",
         [spot, curve] { market(spot(-1.0), curve, curve); },
         {"market", market_file, 49},
         "the spot must be positive and finite, got -1"},
        {"nan_fx_spot",
         [curve] { market(std::make_shared<const fx_spot>(today, nan), curve, curve); },
         {"market", market_file, 49},
         "the spot must be positive and finite, got NaN"},
        {"spot_without_a_date",
         [curve] { market(std::make_shared<const equity_spot>(datetime(), 100.0), curve, curve); },
         {"market", market_file, 53},
         "the spot's valuation date must be finite, got NaN"},
        {"null_carry_curve",
         [spot, curve] { market(spot(100.0), curve, nullptr); },
         {"check_curve", market_file, 21},
         "the carry curve is null"},
        {"curve_of_another_day",
         [spot] {
             market(spot(100.0), std::make_shared<const discount_curve_flat>(datetime(2024, 1, 3), 0.01, act_365()),
                    flat_curve(0.0));
         },
         {"check_curve", market_file, 23},
         "the rate curve's valuation date 2024-01-03 differs from the spot's 2024-01-02"},
        {"nan_volatility",
         [] { flat_market(100.0, nan, 0.01, 0.0); },
         {"black_scholes_market", "Library/Pricing/market/black_scholes_market", 15},
         "the volatility must be positive and finite, got NaN"},
        {"negative_strike",
         [] { price(option(true, -5.0, 365.0)); },
         {"check_option", problem_file, 38},
         "the strike must be positive and finite, got -5"},
        {"nan_strike",
         [] { price(option(false, nan, 365.0)); },
         {"check_option", problem_file, 38},
         "the strike must be positive and finite, got NaN"},
        {"nan_expiry",
         [] { price(vanilla_option{option_type::call, 100.0, datetime()}); },
         {"check_option", problem_file, 41},
         "the expiry must be a finite date, got NaN"},
        {"expiry_before_the_valuation_date",
         [] { price(vanilla_option{option_type::call, 100.0, datetime(2023, 12, 1)}); },
         {"check_option", problem_file, 44},
         "the expiry 2023-12-01 must come after the valuation date 2024-01-02"},
        {"expiry_on_the_valuation_date",
         [] { price(vanilla_option{option_type::put, 100.0, today}); },
         {"check_option", problem_file, 44},
         "the expiry 2024-01-02 must come after the valuation date 2024-01-02"},
        {"nan_rate",
         [spot] {
             const black_scholes_market m(market(spot(100.0), flat_curve(nan), flat_curve(0.0)), 0.2);
             price_black_scholes(option(true, 100.0, 365.0), m);
         },
         {"discount_factor", problem_file, 25},
         "the rate curve's discount factor to expiry must be positive and finite, got NaN"},
        {"nan_barrier",
         [] { price(down_and_out(nan)); },
         {"check_barrier", problem_file, 53},
         "the barrier level must be positive and finite, got NaN"},
        {"barrier_already_reached",
         [] { price(down_and_out(100.0)); },
         {"check_barrier", problem_file, 56},
         "the spot 100 has already reached the down barrier at 100"},
        {"up_barrier_already_crossed",
         [] {
             barrier_option b = down_and_out(95.0);
             b.direction = barrier_direction::up;
             price(b);
         },
         {"check_barrier", problem_file, 56},
         "the spot 100 has already reached the up barrier at 95"},
        {"negative_rebate",
         [] { price(down_and_out(90.0, -1.0)); },
         {"check_barrier", problem_file, 59},
         "the rebate must be non-negative and finite, got -1"},
        {"knock_in_rebate_at_hit",
         [] {
             barrier_option b = down_and_out(90.0, 2.0);
             b.kind = barrier_kind::knock_in;
             b.payment = rebate_payment::at_hit;
             price(b);
         },
         {"check_barrier", problem_file, 62},
         "a knock-in option pays its rebate at expiry, not at hit"},
        {"american_knock_in",
         [] {
             barrier_option b = down_and_out(90.0);
             b.kind = barrier_kind::knock_in;
             b.option.exercise = exercise_type::american;
             price(b);
         },
         {"check_barrier", problem_file, 64},
         "an American knock-in option is not supported"},
        {"nan_accuracy",
         [] {
             black_scholes_settings s;
             s.accuracy = nan;
             price(option(true, 100.0, 365.0), s);
         },
         {"check_settings", grid_file, 96},
         "the accuracy target must be positive and finite, got NaN"},
        {"too_few_space_points",
         [] { price(option(true, 100.0, 365.0), with(3, 0)); },
         {"check_settings", grid_file, 99},
         "at least 5 space points are needed, got 3"},
        {"too_few_time_steps",
         [] { price(option(true, 100.0, 365.0), with(0, 1)); },
         {"check_settings", grid_file, 102},
         "at least 2 time steps are needed, got 1"},
        {"multi_dimensional_scheme",
         [] {
             black_scholes_settings s;
             s.scheme = adi_douglas;
             price(option(true, 100.0, 365.0), s);
         },
         {"chosen_scheme", grid_file, 84},
         "the scheme must be crank_nicolson, two_stage_l_stable or implicit_euler, got 1"},
        {"explicit_grid_too_large",
         [] { price(option(true, 100.0, 365.0, exercise_type::american), with(100000, 1000)); },
         {"check_size", grid_file, 117},
         "a grid of 100000 space points and 1000 time steps has more than 10000000 points"},
        {"accuracy_beyond_reach",
         [] {
             black_scholes_settings s;
             s.accuracy = 1e-12;
             price(option(false, 100.0, 365.0, exercise_type::american), s);
         },
         {"check_size", grid_file, 119},
         "the accuracy target 1e-12 needs a grid of more than 10000000 points"},
    };
    return cases;
}

std::string name_of(const ::testing::TestParamInfo<refused>& info)
{
    return info.param.case_name;
}

INSTANTIATE_TEST_SUITE_P(pricing, bad_input, ::testing::ValuesIn(refusals()), name_of);

}  // namespace
}  // namespace korvex::pricing
