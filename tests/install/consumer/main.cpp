// A program outside the korvex tree, built against an installed korvex.
#include <cmath>
#include <iostream>

#include "core/error.h"
#include "util/day_count_convention.h"
#include "Vectorization/expressions/tensor.h"

#ifdef KORVEX_CONSUMER_HAS_MATH
#include "math/discretization.h"
#endif
#ifdef KORVEX_CONSUMER_HAS_PDE
#include "PDE/grid/space_grid.h"
#endif
#ifdef KORVEX_CONSUMER_HAS_MARKET
#include <memory>
#include "Market/ir/discount_curve/discount_curve_flat.h"
#endif
#ifdef KORVEX_CONSUMER_HAS_PRICING
#include "Market/equity/equity_spot/equity_spot.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#endif

int main()
{
    const korvex::day_count_convention act360(korvex::act_360);
    const double fraction = act360.fraction(korvex::datetime(2024, 1, 1), korvex::datetime(2024, 7, 1));

    korvex::tensor<double> t({2, 3});
    t = 2.0;
    t += 0.5 * t;

    bool refused = false;
    try {
        korvex::tensor<double> none(std::vector<std::size_t>{});
    } catch (const korvex::Error&) {
        refused = true;
    }

    bool ok = std::abs(fraction - 182.0 / 360.0) < 1e-15 && t(1, 2) == 3.0 && refused;
#ifdef KORVEX_CONSUMER_HAS_MATH
    double points[3];
    korvex::discretization::uniform(points, 3, 0.0, 1.0, 0.5);
    ok = ok && points[1] == 0.5;
#endif
#ifdef KORVEX_CONSUMER_HAS_PDE
    const korvex::space_grid grid(korvex::space_grid_config(korvex::space_grid_config::uniform, false, false,
                                                            korvex::space_grid_config::identity, 0.0, 1.0, 0.0),
                                  5, 0.0, 1.0, 0.0, {});
    ok = ok && grid.size() == 5 && grid.axis()[2] == 0.5 && grid.is_uniform();
#endif
#ifdef KORVEX_CONSUMER_HAS_MARKET
    const auto curve = std::make_shared<const korvex::discount_curve_flat>(
        korvex::datetime(2024, 1, 1), 0.05, std::make_shared<const korvex::day_count_convention>(korvex::act_360));
    ok = ok && std::abs(curve->log_df(korvex::datetime(2024, 1, 1), korvex::datetime(2024, 7, 1)) +
                        0.05 * 182.0 / 360.0) < 1e-15;
    ok = ok && korvex::discount_curve_flat::json_to_string(curve).rfind("{\n  \"Class\": ", 0) == 0;
#endif
#ifdef KORVEX_CONSUMER_HAS_PRICING
    {
        // A one-year at-the-money put, S = K = 100, sigma = 0.2, r = q = 0: 7.965567455405798.
        const korvex::datetime today(2024, 1, 2);
        const auto act365 = std::make_shared<const korvex::day_count_convention>(korvex::act_365_fixed);
        const auto zero = std::make_shared<const korvex::discount_curve_flat>(today, 0.0, act365);
        const korvex::pricing::black_scholes_market m(
            korvex::pricing::market(std::make_shared<const korvex::equity_spot>(today, 100.0), zero, zero), 0.2);
        const korvex::pricing::vanilla_option put{korvex::pricing::option_type::put, 100.0,
                                                  korvex::datetime(2025, 1, 1)};
        ok = ok && std::abs(korvex::pricing::price_black_scholes(put, m).price - 7.965567455405798) < 1e-4;
    }
#endif
    std::cout << "consumer: fraction " << fraction << ", t(1,2) = " << t(1, 2)
              << (ok ? " ok" : " WRONG") << "\n";
    return ok ? 0 : 1;
}
