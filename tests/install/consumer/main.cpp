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
    std::cout << "consumer: fraction " << fraction << ", t(1,2) = " << t(1, 2)
              << (ok ? " ok" : " WRONG") << "\n";
    return ok ? 0 : 1;
}
