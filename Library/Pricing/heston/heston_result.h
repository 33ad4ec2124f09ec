#pragma once

#include <cstddef>
#include <vector>

#include "PDE/scheme/pde_scheme.h"

namespace korvex::pricing {

// A Heston price and its sensitivities at the valuation date and the initial variance v0,
// in the units of the market: delta = dV/dS, gamma = d2V/dS2, theta = dV/dt per year of
// ACT/365 Fixed (calendar time running forward, so usually negative).
//
// `spots` and `variances` are the nodes of the grid (ascending) and `values` the option's
// values on it at the valuation date, spot index outer: the value at (spots[i],
// variances[j]) is values[i * variances.size() + j]. `time_steps` and `scheme` record how
// the grid was solved.
struct heston_result
{
    double price = 0.0;
    double delta = 0.0;
    double gamma = 0.0;
    double theta = 0.0;
    std::vector<double> spots;
    std::vector<double> variances;
    std::vector<double> values;
    std::size_t time_steps = 0;
    pde_scheme_type scheme = adi_modified_craig_sneyd;
};

}  // namespace korvex::pricing
