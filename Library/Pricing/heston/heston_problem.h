#pragma once

#include "Market/ir/discount_curve/discount_curve.h"
#include "Pricing/heston/heston_parameters.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/market.h"
#include "util/datetime.h"

namespace korvex::pricing::details {

// A Heston pricing problem whose inputs have been checked. The curves belong to the market
// and the parameters to the caller of `of`; both outlive the problem.
struct heston_problem
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
    const heston_parameters* model = nullptr;

    // Refused with Error: a strike that is not positive and finite, an expiry that is not
    // finite or not after the valuation date, a discount factor to expiry that is not
    // positive and finite (the checks of the Black-Scholes pricer, at their place there).
    static heston_problem of(const vanilla_option& option, const market& market, const heston_parameters& model);

    // Refused with Error always, after the checks above: barriers are not priced under Heston.
    static heston_problem of(const barrier_option& option, const market& market, const heston_parameters& model);

    double payoff(double s) const noexcept;

    // The mean over the option's life of the expected variance, v0 + (eta - v0) times the
    // share of the gap that mean reversion closes on average.
    double mean_variance() const noexcept;
};

}  // namespace korvex::pricing::details
