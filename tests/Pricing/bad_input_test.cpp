#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <tuple>

#include "Market/fx/fx_spot/fx_spot.h"
#include "Pricing/heston_fixtures.h"
#include "Pricing/pricing_fixtures.h"
#include "math/failure_expectation.h"

namespace korvex::pricing {
namespace {

using namespace testing;
using korvex::testing::expect_failure;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr const char* market_file = "Library/Pricing/market/market";
constexpr const char* problem_file = "Library/Pricing/black_scholes/black_scholes_problem";
constexpr const char* grid_file = "Library/Pricing/black_scholes/black_scholes_grid";
constexpr const char* parameters_file = "Library/Pricing/heston/heston_parameters";
constexpr const char* heston_grid_file = "Library/Pricing/heston/heston_grid";

struct refused
{
    std::string case_name;
    std::function<void()> action;
    SourceLocation where;
    std::string message;
};

void PrintTo(const refused& c, std::ostream* out) { *out << c.case_name; }

std::string name_of(const ::testing::TestParamInfo<refused>& info)
{
    return info.param.case_name;
}

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

void price_under_heston(const vanilla_option& o, const heston_settings& s = {})
{
    price_heston(o, case_a.flat_market(), case_a.parameters(), s);
}

black_scholes_settings with(std::size_t space_points, std::size_t time_steps)
{
    black_scholes_settings s;
    s.space_points = space_points;
    s.time_steps = time_steps;
    return s;
}

heston_settings with_scheme(pde_scheme_type scheme)
{
    heston_settings s;
    s.scheme = scheme;
    return s;
}

heston_settings with_accuracy(double accuracy)
{
    heston_settings s;
    s.accuracy = accuracy;
    return s;
}

std::vector<refused> market_refusals()
{
    const auto spot = [](double value) { return std::make_shared<const equity_spot>(today, value); };
    const auto curve = flat_curve(0.01);
    return {
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
        {"negative_v0",
         [] { heston_parameters(-0.01, 1.5, 0.04, 0.3, -0.9); },
         {"heston_parameters", parameters_file, 28},
         "the initial variance v0 must be non-negative and finite, got -0.01"},
        {"nan_kappa",
         [] { heston_parameters(0.04, nan, 0.04, 0.3, -0.9); },
         {"heston_parameters", parameters_file, 31},
         "the mean reversion speed kappa must be non-negative and finite, got NaN"},
        {"infinite_eta",
         [] { heston_parameters(0.04, 1.5, inf, 0.3, -0.9); },
         {"heston_parameters", parameters_file, 34},
         "the long-run variance eta must be non-negative and finite, got inf"},
        {"zero_sigma",
         [] { heston_parameters(0.04, 1.5, 0.04, 0.0, -0.9); },
         {"heston_parameters", parameters_file, 37},
         "the volatility of variance sigma must be positive and finite, got 0"},
        {"rho_of_minus_one",
         [] { heston_parameters(0.04, 1.5, 0.04, 0.3, -1.0); },
         {"heston_parameters", parameters_file, 40},
         "the correlation rho must lie strictly between -1 and 1, got -1"},
        {"nan_rho",
         [] { heston_parameters(0.04, 1.5, 0.04, 0.3, nan); },
         {"heston_parameters", parameters_file, 40},
         "the correlation rho must lie strictly between -1 and 1, got NaN"},
    };
}

std::vector<refused> black_scholes_refusals()
{
    return {
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
}

std::vector<refused> heston_refusals()
{
    const vanilla_option call = option(true, 100.0, 365.0);
    return {
        {"american_semi_closed_form",
         [] {
             heston_semi_closed_form(option(false, 100.0, 365.0, exercise_type::american), case_a.flat_market(),
                                     case_a.parameters());
         },
         {"heston_semi_closed_form", "Library/Pricing/heston/heston_semi_closed_form", 98},
         "the semi-closed form prices European options only"},
        {"negative_accuracy",
         [call] { price_under_heston(call, with_accuracy(-1e-3)); },
         {"check_settings", heston_grid_file, 63},
         "the accuracy target must be positive and finite, got -0.001"},
        {"too_few_spot_points",
         [call] { price_under_heston(call, heston_grid_of(7, 0, 0)); },
         {"check_settings", heston_grid_file, 66},
         "at least 8 spot points are needed, got 7"},
        {"too_few_variance_points",
         [call] { price_under_heston(call, heston_grid_of(0, 4, 0)); },
         {"check_settings", heston_grid_file, 69},
         "at least 5 variance points are needed, got 4"},
        {"one_dimensional_scheme",
         [call] { price_under_heston(call, with_scheme(crank_nicolson)); },
         {"check_settings", heston_grid_file, 73},
         "the scheme must be adi_modified_craig_sneyd, adi_craig_sneyd, adi_hundsdorfer_verwer or adi_douglas, got 4"},
        {"explicit_grid_too_large",
         [call] { price_under_heston(call, heston_grid_of(3000, 1000, 101)); },
         {"check_size", heston_grid_file, 91},
         "a grid of 3000 spot points, 1000 variance points and 101 time steps has more than 300000000 points"},
        {"accuracy_beyond_reach",
         [] { price_under_heston(option(false, 100.0, 365.0, exercise_type::american), with_accuracy(1e-6)); },
         {"check_size", heston_grid_file, 94},
         "the accuracy target 1e-06 needs a grid of more than 300000000 points"},
    };
}

INSTANTIATE_TEST_SUITE_P(market, bad_input, ::testing::ValuesIn(market_refusals()), name_of);
INSTANTIATE_TEST_SUITE_P(black_scholes, bad_input, ::testing::ValuesIn(black_scholes_refusals()), name_of);
INSTANTIATE_TEST_SUITE_P(heston, bad_input, ::testing::ValuesIn(heston_refusals()), name_of);

// The checks of the option and its barrier, which both pricers share: the same Error, at the
// same place, from either.
struct pricer
{
    const char* name;
    std::function<void(const vanilla_option&, const market&)> vanilla;
    std::function<void(const barrier_option&, const market&)> barrier;
};

const pricer pricers[] = {
    {"black_scholes", [](const vanilla_option& o, const market& m) { price_black_scholes(o, black_scholes_market(m, 0.2)); },
     [](const barrier_option& b, const market& m) { price_black_scholes(b, black_scholes_market(m, 0.2)); }},
    {"heston", [](const vanilla_option& o, const market& m) { price_heston(o, m, case_a.parameters()); },
     [](const barrier_option& b, const market& m) { price_heston(b, m, case_a.parameters()); }},
};

struct option_refusal
{
    std::string case_name;
    std::function<void(const pricer&)> action;
    SourceLocation where;
    std::string message;
};

market market_with(double rate, double carry)
{
    return market(std::make_shared<const equity_spot>(today, 100.0), flat_curve(rate), flat_curve(carry));
}

barrier_option down_and_out(double level, double rebate = 0.0)
{
    return barrier_option{option(true, 100.0, 365.0), barrier_direction::down, barrier_kind::knock_out, level, rebate};
}

// The barrier option `b` priced on a good market.
std::function<void(const pricer&)> pricing(const barrier_option& b)
{
    return [b](const pricer& p) { p.barrier(b, market_with(0.05, 0.02)); };
}

std::function<void(const pricer&)> pricing(const vanilla_option& o, double rate = 0.05, double carry = 0.02)
{
    return [o, rate, carry](const pricer& p) { p.vanilla(o, market_with(rate, carry)); };
}

barrier_option knock_in(barrier_option b)
{
    b.kind = barrier_kind::knock_in;
    return b;
}

std::vector<option_refusal> option_refusals()
{
    barrier_option up_crossed = down_and_out(95.0);
    up_crossed.direction = barrier_direction::up;
    barrier_option rebate_at_hit = knock_in(down_and_out(90.0, 2.0));
    rebate_at_hit.payment = rebate_payment::at_hit;
    barrier_option american = knock_in(down_and_out(90.0));
    american.option.exercise = exercise_type::american;
    return {
        {"negative_strike", pricing(option(true, -5.0, 365.0)), {"check_option", problem_file, 38},
         "the strike must be positive and finite, got -5"},
        {"nan_strike", pricing(option(false, nan, 365.0)), {"check_option", problem_file, 38},
         "the strike must be positive and finite, got NaN"},
        {"nan_expiry", pricing(vanilla_option{option_type::call, 100.0, datetime()}), {"check_option", problem_file, 41},
         "the expiry must be a finite date, got NaN"},
        {"expiry_before_the_valuation_date", pricing(vanilla_option{option_type::call, 100.0, datetime(2023, 12, 1)}),
         {"check_option", problem_file, 44}, "the expiry 2023-12-01 must come after the valuation date 2024-01-02"},
        {"expiry_on_the_valuation_date", pricing(vanilla_option{option_type::put, 100.0, today}),
         {"check_option", problem_file, 44}, "the expiry 2024-01-02 must come after the valuation date 2024-01-02"},
        {"nan_rate", pricing(option(true, 100.0, 365.0), nan, 0.0), {"discount_factor", problem_file, 25},
         "the rate curve's discount factor to expiry must be positive and finite, got NaN"},
        {"nan_carry", pricing(option(true, 100.0, 365.0), 0.01, nan), {"discount_factor", problem_file, 25},
         "the carry curve's discount factor to expiry must be positive and finite, got NaN"},
        {"nan_barrier", pricing(down_and_out(nan)), {"check_barrier", problem_file, 53},
         "the barrier level must be positive and finite, got NaN"},
        {"barrier_already_reached", pricing(down_and_out(100.0)), {"check_barrier", problem_file, 56},
         "the spot 100 has already reached the down barrier at 100"},
        {"up_barrier_already_crossed", pricing(up_crossed), {"check_barrier", problem_file, 56},
         "the spot 100 has already reached the up barrier at 95"},
        {"negative_rebate", pricing(down_and_out(90.0, -1.0)), {"check_barrier", problem_file, 59},
         "the rebate must be non-negative and finite, got -1"},
        {"knock_in_rebate_at_hit", pricing(rebate_at_hit), {"check_barrier", problem_file, 62},
         "a knock-in option pays its rebate at expiry, not at hit"},
        {"american_knock_in", pricing(american), {"check_barrier", problem_file, 64},
         "an American knock-in option is not supported"},
    };
}

class shared_bad_input : public ::testing::TestWithParam<std::tuple<pricer, option_refusal>>
{
};

TEST_P(shared_bad_input, is_refused_alike_by_both_pricers)
{
    const auto& [p, c] = GetParam();
    expect_failure([&] { c.action(p); }, c.where, c.message);
}

std::string shared_name(const ::testing::TestParamInfo<std::tuple<pricer, option_refusal>>& info)
{
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).case_name;
}

INSTANTIATE_TEST_SUITE_P(pricing, shared_bad_input,
                         ::testing::Combine(::testing::ValuesIn(pricers), ::testing::ValuesIn(option_refusals())),
                         shared_name);

}  // namespace
}  // namespace korvex::pricing
