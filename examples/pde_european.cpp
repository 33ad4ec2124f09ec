// Prices a European call and put (S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1 year)
// with each one-dimensional PDE scheme through the pricing library, on the grid its accuracy
// rule chooses for 1e-4 and on a fixed 201 x 200 grid, and compares with the closed form.

#include <cmath>
#include <cstdio>
#include <memory>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#include "black_scholes_closed_forms.h"

int main()
{
    using namespace korvex;
    using namespace korvex::pricing;

    const datetime today(2024, 1, 2);
    const auto act_365 = std::make_shared<const day_count_convention>(act_365_fixed);
    const black_scholes_market m(market(std::make_shared<const equity_spot>(today, 100.0),
                                        std::make_shared<const discount_curve_flat>(today, 0.05, act_365),
                                        std::make_shared<const discount_curve_flat>(today, 0.02, act_365)),
                                 0.2);

    struct run
    {
        const char* name;
        pde_scheme_type scheme;
    };
    const run runs[] = {
        {"two_stage_l_stable, extrapolated", two_stage_l_stable},
        {"crank_nicolson, implicit start", crank_nicolson},
        {"implicit_euler", implicit_euler},
    };

    std::printf("European options, S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1\n");
    std::printf("%-34s %-5s %-9s %12s %12s %10s\n", "scheme", "type", "grid", "PDE", "closed form", "error");
    for (const run& r : runs)
        for (const bool fixed_grid : {false, true})
            for (const bool call : {true, false}) {
                black_scholes_settings s;
                s.scheme = r.scheme;
                if (fixed_grid) {
                    s.space_points = 201;
                    s.time_steps = 200;
                }
                const vanilla_option o{call ? option_type::call : option_type::put, 100.0, datetime(2025, 1, 1)};
                const black_scholes_result result = price_black_scholes(o, m, s);
                const double exact = closed_forms::black_scholes(call, 100.0, 100.0, 365.0 / 365.0, 0.2,
                                                                 std::exp(-0.05), std::exp(-0.02), 0.05, 0.02)
                                         .price;
                char grid[32];
                std::snprintf(grid, sizeof grid, "%zux%zu", result.space_points, result.time_steps);
                std::printf("%-34s %-5s %-9s %12.6f %12.6f %10.2e\n", r.name, call ? "call" : "put", grid,
                            result.price, exact, result.price - exact);
            }
    return 0;
}
