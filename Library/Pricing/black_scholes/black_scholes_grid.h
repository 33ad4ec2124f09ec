#pragma once

#include <cstddef>
#include <vector>

#include "PDE/scheme/pde_scheme.h"
#include "Pricing/black_scholes/black_scholes_problem.h"
#include "Pricing/black_scholes/black_scholes_settings.h"

namespace korvex::pricing::details {

// The grid a Black-Scholes problem is solved on: the log-spot nodes, whether the axis ends
// on the barrier (its lower end for a down barrier, its upper end for an up barrier), the
// time steps of the (finer) run, the scheme, and whether a second run with half the steps
// extrapolates the time error away.
struct black_scholes_grid
{
    std::vector<double> axis;
    bool ends_on_barrier = false;
    std::size_t time_steps = 0;
    pde_scheme_type scheme = two_stage_l_stable;
    bool extrapolate = false;

    // The grid of the accuracy rule, with the settings' overrides. Refused with Error: an
    // accuracy that is not positive and finite, or so small that the grid would pass
    // `max_points` (space points times time steps, both runs), explicit sizes past it or
    // below 5 space points and 2 time steps, and a scheme other than the three
    // one-dimensional ones.
    static black_scholes_grid of(const black_scholes_problem& problem, const black_scholes_settings& settings);

    static constexpr double max_points = 1e7;
};

}  // namespace korvex::pricing::details
