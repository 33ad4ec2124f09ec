#pragma once

#include <optional>

#include "Market/ir/discount_curve/discount_curve.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/black_scholes_market.h"
#include "util/datetime.h"

namespace korvex::pricing::details {

// The barrier of a checked problem.
struct barrier_terms
{
    bool down = true;  // the level lies below the spot
    double level = 0.0;
    double rebate = 0.0;
    bool rebate_at_hit = false;
    bool knock_in = false;
};

// A Black-Scholes pricing problem whose inputs have been checked, in the units the solver
// uses. The curves belong to the market the problem was made from.
struct black_scholes_problem
{
    double spot = 0.0;
    double strike = 0.0;
    double sign = 1.0;  // +1 a call, -1 a put
    bool american = false;
    datetime valuation_date;
    datetime expiry;
    double years = 0.0;  // ACT/365 Fixed from the valuation date to expiry
    const discount_curve* rate = nullptr;
    const discount_curve* carry = nullptr;
    double rate_df = 1.0;   // rate discount factor from the valuation date to expiry
    double carry_df = 1.0;  // carry discount factor from the valuation date to expiry
    double volatility = 0.0;
    std::optional<barrier_terms> barrier;

    // Refused with Error (before anything is solved): a strike that is not positive and
    // finite, an expiry that is not finite or not after the valuation date, a discount
    // factor to expiry that is not positive and finite; for barriers also a level that is
    // not positive and finite or that the spot has reached already, a rebate that is
    // negative or not finite, a knock-in paying its rebate at hit, and an American knock-in.
    static black_scholes_problem of(const vanilla_option& option, const black_scholes_market& market);
    static black_scholes_problem of(const barrier_option& option, const black_scholes_market& market);

    double payoff(double s) const noexcept;
};

// The checks of black_scholes_problem::of on a vanilla option that every pricer shares: the
// strike and the expiry against the valuation date, and a curve's discount factor to expiry
// (`name` "rate" or "carry"), returned when positive and finite.
void check_vanilla_option(const vanilla_option& option, const datetime& valuation_date);
double discount_factor_to_expiry(const discount_curve& curve, const char* name, const datetime& valuation_date,
                                 const datetime& expiry);

}  // namespace korvex::pricing::details
