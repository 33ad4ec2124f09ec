#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#include "util/day_count_convention.h"

namespace korvex::pricing::testing {

inline const datetime today(2024, 1, 2);

inline datetime days_after_today(double days)
{
    return datetime(today.as_float() + days);
}

inline std::shared_ptr<const day_count_convention> act_365()
{
    return std::make_shared<const day_count_convention>(act_365_fixed);
}

inline std::shared_ptr<const discount_curve> flat_curve(double rate)
{
    return std::make_shared<const discount_curve_flat>(today, rate, act_365());
}

inline black_scholes_market flat_market(double spot, double volatility, double rate, double carry)
{
    return black_scholes_market(market(std::make_shared<const equity_spot>(today, spot), flat_curve(rate),
                                       flat_curve(carry)),
                                volatility);
}

inline vanilla_option option(bool call, double strike, double days,
                             exercise_type exercise = exercise_type::european)
{
    return vanilla_option{call ? option_type::call : option_type::put, strike, days_after_today(days), exercise};
}

// An option on a spot of 100 with flat curves.
struct option_case
{
    bool call;
    double strike;
    double days;
    double volatility;
    double rate;
    double carry;

    black_scholes_market market() const { return flat_market(100.0, volatility, rate, carry); }
};

}  // namespace korvex::pricing::testing
