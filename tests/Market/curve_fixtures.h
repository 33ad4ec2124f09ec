#pragma once

#include <memory>
#include <vector>

#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"

namespace korvex::testing {

// Serial numbers of the dates used below (days since 1899-12-30).
inline const datetime jan_2024(45292.0);  // 2024-01-01, the valuation date
inline const datetime mar_2024(45366.0);  // 2024-03-15
inline const datetime jul_2024(45474.0);  // 2024-07-01, first pillar
inline const datetime jan_2025(45658.0);  // 2025-01-01, second pillar
inline const datetime jun_2025(45809.0);  // 2025-06-01
inline const datetime jan_2026(46023.0);  // 2026-01-01, third pillar

inline std::shared_ptr<const day_count_convention> act_365()
{
    return std::make_shared<const day_count_convention>(act_365_fixed);
}

inline std::vector<datetime> pillar_dates() { return {jul_2024, jan_2025, jan_2026}; }
inline std::vector<double> pillar_rates() { return {0.02, 0.03, 0.04}; }

inline std::shared_ptr<const discount_curve_piecewise_constant> piecewise_curve()
{
    return std::make_shared<const discount_curve_piecewise_constant>(jan_2024, pillar_dates(),
                                                                      pillar_rates(), act_365());
}

inline std::shared_ptr<const discount_curve_flat> flat_curve()
{
    return std::make_shared<const discount_curve_flat>(jan_2024, 0.05, act_365());
}

// Dates before, on, between and after the pillars, with times of day.
inline std::vector<datetime> probe_dates()
{
    return {datetime(45000.0), jan_2024,           mar_2024, jul_2024, datetime(45474.25),
            jan_2025,          datetime(45657.5),  jun_2025, jan_2026, datetime(46100.75),
            datetime(47000.0)};
}

}  // namespace korvex::testing
