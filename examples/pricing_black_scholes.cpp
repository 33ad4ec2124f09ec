// Each Black-Scholes instrument of the pricing library beside its reference: European
// options (flat and piecewise curves) against the closed form, barrier options against
// Reiner and Rubinstein's, American puts against a fine grid. Default settings: an accuracy
// target of 1e-4.

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#include "black_scholes_closed_forms.h"

namespace {

using namespace korvex;
using namespace korvex::pricing;

const datetime today(2024, 1, 2);
const datetime in_a_year(2025, 1, 1);  // 365 days: T = 1 on ACT/365
constexpr double spot = 100.0, volatility = 0.25, rate = 0.05, carry = 0.02;

std::shared_ptr<const day_count_convention> act_365()
{
    return std::make_shared<const day_count_convention>(act_365_fixed);
}

market market_with(std::shared_ptr<const discount_curve> r, std::shared_ptr<const discount_curve> q)
{
    return market(std::make_shared<const equity_spot>(today, spot), std::move(r), std::move(q));
}

// One row: the library's price, its grid and Greeks, beside the reference.
template <class Option>
void row(const std::string& name, const Option& option, const black_scholes_market& m, double reference)
{
    const black_scholes_result r = price_black_scholes(option, m);
    char grid[32];
    std::snprintf(grid, sizeof grid, "%zux%zu", r.space_points, r.time_steps);
    std::printf("%-38s %12.6f %12.6f %9.1e %10s  %8.4f %8.5f %8.4f %8.4f\n", name.c_str(), r.price, reference,
                r.price - reference, grid, r.delta, r.gamma, r.theta, r.vega);
}

barrier_option barrier(closed_forms::barrier_type type, bool call, double strike, double level, double rebate)
{
    const bool down = type == closed_forms::barrier_type::down_and_in || type == closed_forms::barrier_type::down_and_out;
    const bool in = type == closed_forms::barrier_type::down_and_in || type == closed_forms::barrier_type::up_and_in;
    return barrier_option{vanilla_option{call ? option_type::call : option_type::put, strike, in_a_year},
                          down ? barrier_direction::down : barrier_direction::up,
                          in ? barrier_kind::knock_in : barrier_kind::knock_out, level, rebate,
                          in ? rebate_payment::at_expiry : rebate_payment::at_hit};
}

}  // namespace

int main()
{
    const black_scholes_market flat(market_with(std::make_shared<const discount_curve_flat>(today, rate, act_365()),
                                                std::make_shared<const discount_curve_flat>(today, carry, act_365())),
                                    volatility);
    std::printf("S = 100, sigma = 0.25, r = 0.05, q = 0.02, one year unless said; accuracy target 1e-4\n");
    std::printf("%-38s %12s %12s %9s %10s  %8s %8s %8s %8s\n", "instrument", "price", "reference", "error", "grid",
                "delta", "gamma", "theta", "vega");

    using closed_forms::black_scholes;
    const double r_df = std::exp(-rate), q_df = std::exp(-carry);
    for (const double strike : {80.0, 100.0, 120.0})
        for (const bool call : {true, false}) {
            const std::string name = std::string("European ") + (call ? "call " : "put ") + std::to_string(int(strike));
            row(name, vanilla_option{call ? option_type::call : option_type::put, strike, in_a_year}, flat,
                black_scholes(call, spot, strike, 1.0, volatility, r_df, q_df, rate, carry).price);
        }

    // Piecewise curves: the closed form with the curves' discount factors to expiry.
    const std::vector<datetime> pillars{datetime(2024, 4, 1), datetime(2024, 10, 1), datetime(2026, 1, 2)};
    const auto rates = std::make_shared<const discount_curve_piecewise_constant>(
        today, pillars, std::vector<double>{0.01, 0.04, 0.06}, act_365());
    const auto carries = std::make_shared<const discount_curve_piecewise_constant>(
        today, pillars, std::vector<double>{0.03, 0.0, 0.01}, act_365());
    const black_scholes_market piecewise(market_with(rates, carries), volatility);
    row("European call 100, piecewise curves", vanilla_option{option_type::call, 100.0, in_a_year}, piecewise,
        black_scholes(true, spot, 100.0, 1.0, volatility, rates->df(today, in_a_year), carries->df(today, in_a_year),
                      0.01, 0.03)
            .price);

    using type = closed_forms::barrier_type;
    struct barrier_row
    {
        const char* name;
        type t;
        bool call;
        double strike;
        double level;
        double rebate;
    };
    const barrier_row barriers[] = {
        {"down-and-out call 100, H 90", type::down_and_out, true, 100.0, 90.0, 0.0},
        {"down-and-out call 100, H 90, rebate 3", type::down_and_out, true, 100.0, 90.0, 3.0},
        {"up-and-out call 100, H 130", type::up_and_out, true, 100.0, 130.0, 0.0},
        {"down-and-out put 110, H 85", type::down_and_out, false, 110.0, 85.0, 0.0},
        {"up-and-out put 100, H 115", type::up_and_out, false, 100.0, 115.0, 0.0},
        {"down-and-in call 100, H 90", type::down_and_in, true, 100.0, 90.0, 0.0},
        {"up-and-in put 100, H 110, rebate 2", type::up_and_in, false, 100.0, 110.0, 2.0},
    };
    for (const barrier_row& b : barriers)
        row(b.name, barrier(b.t, b.call, b.strike, b.level, b.rebate), flat,
            closed_forms::barrier(b.t, b.call, spot, b.strike, b.level, b.rebate, 1.0, rate, carry, volatility));

    // American puts: the reference is the same pricer on a grid of 1201 x 8000.
    black_scholes_settings fine;
    fine.space_points = 1201;
    fine.time_steps = 8000;
    fine.vega = false;
    for (const double strike : {90.0, 100.0, 120.0}) {
        const vanilla_option put{option_type::put, strike, in_a_year, exercise_type::american};
        row("American put " + std::to_string(int(strike)) + " (fine grid)", put, flat,
            price_black_scholes(put, flat, fine).price);
    }
    return 0;
}
