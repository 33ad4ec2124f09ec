#pragma once

#include "Pricing/black_scholes/black_scholes_problem.h"
#include "Pricing/heston/heston_parameters.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/market.h"

namespace korvex::pricing::details {

// A Heston pricing problem: the checked option (vanilla_problem's checks, which report their
// place there) and the model's parameters, which belong to the caller of `of` and outlive
// the problem.
struct heston_problem : vanilla_problem
{
    const heston_parameters* model = nullptr;

    static heston_problem of(const vanilla_option& option, const market& market, const heston_parameters& model);
    static heston_problem of(const barrier_option& option, const market& market, const heston_parameters& model);

    // The mean over the option's life of the expected variance, v0 + (eta - v0) times the
    // share of the gap that mean reversion closes on average.
    double mean_variance() const noexcept;
};

}  // namespace korvex::pricing::details
