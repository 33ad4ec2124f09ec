#pragma once

#include <cstddef>
#include <vector>

#include "PDE/scheme/pde_scheme.h"

namespace korvex::pricing {

// A Black-Scholes price and its sensitivities at the valuation date, in the units of the
// market: delta = dV/dS, gamma = d2V/dS2, theta = dV/dt per year of ACT/365 Fixed (calendar
// time running forward, so usually negative), vega = dV/dsigma per unit of volatility.
//
// `spots` are the nodes of the grid (ascending spot values) and `values` the option's values
// on them at the valuation date, for callers that want the whole curve. `space_points`,
// `time_steps` and `scheme` record the grid that was solved (`time_steps` the finer run of
// an extrapolated pair, `extrapolated` true then).
struct black_scholes_result
{
    double price = 0.0;
    double delta = 0.0;
    double gamma = 0.0;
    double theta = 0.0;
    double vega = 0.0;
    std::vector<double> spots;
    std::vector<double> values;
    std::size_t space_points = 0;
    std::size_t time_steps = 0;
    pde_scheme_type scheme = two_stage_l_stable;
    bool extrapolated = false;
};

}  // namespace korvex::pricing
