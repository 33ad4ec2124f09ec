#pragma once

#include <memory>
#include <vector>

#include "Market/ir/volatility_surface/ir_volatility_surface.h"
#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr.h"
#include "util/surface_term_structure.h"

namespace korvex::testing {

// A surface over expiries x = 2024-07-01, 2025-01-01 and tenors y = 2026-01-01,
// 2029-01-01, 2034-01-01 with the given values, row by row.
inline std::shared_ptr<const surface_term_structure> sabr_surface(const std::vector<double>& row_major)
{
    matrix<double> z(2, 3);
    for (std::size_t i = 0; i < z.size(); ++i)
        z[i] = row_major[i];
    return std::make_shared<const surface_term_structure>(
        std::vector<datetime>{datetime(45474.0), datetime(45658.0)},
        std::vector<datetime>{datetime(46023.0), datetime(47119.0), datetime(48945.0)}, std::move(z));
}

inline std::shared_ptr<const surface_term_structure> flat_surface(double value)
{
    return sabr_surface({value, value, value, value, value, value});
}

// SABR data whose parameters vary over both axes, with skew dampening.
inline std::shared_ptr<const ir_volatility_data_sabr> sabr_data()
{
    return std::make_shared<const ir_volatility_data_sabr>(
        sabr_surface({0.02, 0.021, 0.022, 0.018, 0.019, 0.0205}), sabr_surface({0.5, 0.5, 0.55, 0.45, 0.5, 0.6}),
        sabr_surface({-0.3, -0.25, -0.2, -0.35, -0.3, -0.1}), sabr_surface({0.4, 0.38, 0.35, 0.45, 0.42, 0.3}),
        flat_surface(0.01), true);
}

inline std::shared_ptr<const ir_volatility_surface> volatility_surface()
{
    return std::make_shared<const ir_volatility_surface>(datetime(45292.0), sabr_data());
}

}  // namespace korvex::testing
