#pragma once

#include <cstddef>
#include <optional>

#include "PDE/scheme/pde_scheme.h"

namespace korvex::pricing {

// How `price_black_scholes` solves.
//
// `accuracy` is the absolute price error the pricer aims at; the grid follows from it by the
// rule documented with `price_black_scholes`. `space_points`, `time_steps` and `scheme`, when
// given (non-zero, set), override the rule's choice one by one:
//  - space_points: nodes of the log-spot axis (at least 5);
//  - time_steps: steps from expiry to the valuation date (at least 2); with the time
//    extrapolation of the European default, the finer of its two runs;
//  - scheme: crank_nicolson (with a fully implicit start), two_stage_l_stable or
//    implicit_euler.
// `vega` false skips the bumped solves that give the vega of barrier and American options
// (the result's vega is then NaN); a European vega costs nothing.
struct black_scholes_settings
{
    double accuracy = 1e-4;
    std::size_t space_points = 0;
    std::size_t time_steps = 0;
    std::optional<pde_scheme_type> scheme;
    bool vega = true;
};

}  // namespace korvex::pricing
