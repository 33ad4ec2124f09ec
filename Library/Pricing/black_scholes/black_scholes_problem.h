#pragma once

#include <optional>

#include "Market/ir/discount_curve/discount_curve.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/black_scholes_market.h"
#include "Pricing/market/market.h"
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

// An option on a market whose inputs have been checked, in the units the solvers use: what
// every model's pricing problem shares. The curves belong to the market the problem was made
// from. The checks stand here for every pricer, so that their errors name one place.
struct vanilla_problem
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
    std::optional<barrier_terms> barrier;

    // Refused with Error (before anything is solved): a strike that is not positive and
    // finite, an expiry that is not finite or not after the valuation date, a discount
    // factor to expiry that is not positive and finite; for barriers also a level that is
    // not positive and finite or that the spot has reached already, a rebate that is
    // negative or not finite, a knock-in paying its rebate at hit, and an American knock-in.
    static vanilla_problem of(const vanilla_option& option, const market& market);
    static vanilla_problem of(const barrier_option& option, const market& market);

    double payoff(double s) const noexcept;
};

// A Black-Scholes pricing problem: the checked option and the market's volatility.
struct black_scholes_problem : vanilla_problem
{
    double volatility = 0.0;

    static black_scholes_problem of(const vanilla_option& option, const black_scholes_market& market);
    static black_scholes_problem of(const barrier_option& option, const black_scholes_market& market);
};

}  // namespace korvex::pricing::details
