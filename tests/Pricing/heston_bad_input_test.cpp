#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "Pricing/heston_fixtures.h"
#include "math/failure_expectation.h"

namespace korvex::pricing {
namespace {

using namespace testing;
using korvex::testing::expect_failure;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr const char* parameters_file = "Library/Pricing/heston/heston_parameters";
constexpr const char* problem_file = "Library/Pricing/heston/heston_problem";
constexpr const char* grid_file = "Library/Pricing/heston/heston_grid";
constexpr const char* option_file = "Library/Pricing/black_scholes/black_scholes_problem";

struct refused
{
    std::string case_name;
    std::function<void()> action;
    SourceLocation where;
    std::string message;
};

void PrintTo(const refused& c, std::ostream* out) { *out << c.case_name; }

class heston_bad_input : public ::testing::TestWithParam<refused>
{
};

// Each bad input gets its Error, with its message and the check's location, before any grid
// is built.
TEST_P(heston_bad_input, is_refused_with_its_message)
{
    expect_failure(GetParam().action, GetParam().where, GetParam().message);
}

void price(const vanilla_option& o, const heston_settings& s = {})
{
    price_heston(o, case_a.flat_market(), case_a.parameters(), s);
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

std::vector<refused> refusals()
{
    const vanilla_option call = option(true, 100.0, 365.0);
    std::vector<refused> cases{
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
        {"nan_strike",
         [] { price(option(false, nan, 365.0)); },
         {"check_option", option_file, 38},
         "the strike must be positive and finite, got NaN"},
        {"expiry_before_the_valuation_date",
         [] { price(vanilla_option{option_type::put, 100.0, datetime(2023, 12, 1)}); },
         {"check_option", option_file, 44},
         "the expiry 2023-12-01 must come after the valuation date 2024-01-02"},
        {"nan_carry",
         [call] {
             const market m(std::make_shared<const equity_spot>(today, 100.0), flat_curve(0.01), flat_curve(nan));
             price_heston(call, m, case_a.parameters());
         },
         {"discount_factor", option_file, 25},
         "the carry curve's discount factor to expiry must be positive and finite, got NaN"},
        {"barrier_option",
         [call] {
             const barrier_option b{call, barrier_direction::down, barrier_kind::knock_out, 80.0};
             price_heston(b, case_a.flat_market(), case_a.parameters());
         },
         {"of", problem_file, 41},
         "barrier options are not supported under the Heston model"},
        {"american_semi_closed_form",
         [] {
             heston_semi_closed_form(option(false, 100.0, 365.0, exercise_type::american), case_a.flat_market(),
                                     case_a.parameters());
         },
         {"heston_semi_closed_form", "Library/Pricing/heston/heston_semi_closed_form", 98},
         "the semi-closed form prices European options only"},
        {"negative_accuracy",
         [call] { price(call, with_accuracy(-1e-3)); },
         {"check_settings", grid_file, 63},
         "the accuracy target must be positive and finite, got -0.001"},
        {"too_few_spot_points",
         [call] { price(call, heston_grid_of(7, 0, 0)); },
         {"check_settings", grid_file, 66},
         "at least 8 spot points are needed, got 7"},
        {"too_few_variance_points",
         [call] { price(call, heston_grid_of(0, 4, 0)); },
         {"check_settings", grid_file, 69},
         "at least 5 variance points are needed, got 4"},
        {"one_dimensional_scheme",
         [call] { price(call, with_scheme(crank_nicolson)); },
         {"check_settings", grid_file, 73},
         "the scheme must be adi_modified_craig_sneyd, adi_craig_sneyd, adi_hundsdorfer_verwer or adi_douglas, got 4"},
        {"explicit_grid_too_large",
         [call] { price(call, heston_grid_of(3000, 1000, 101)); },
         {"check_size", grid_file, 91},
         "a grid of 3000 spot points, 1000 variance points and 101 time steps has more than 300000000 points"},
        {"accuracy_beyond_reach",
         [] { price(option(false, 100.0, 365.0, exercise_type::american), with_accuracy(1e-6)); },
         {"check_size", grid_file, 94},
         "the accuracy target 1e-06 needs a grid of more than 300000000 points"},
    };
    return cases;
}

std::string refusal_name(const ::testing::TestParamInfo<refused>& info)
{
    return info.param.case_name;
}

INSTANTIATE_TEST_SUITE_P(pricing, heston_bad_input, ::testing::ValuesIn(refusals()), refusal_name);

}  // namespace
}  // namespace korvex::pricing
