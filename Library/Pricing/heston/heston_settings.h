#pragma once

#include <cstddef>
#include <optional>

#include "PDE/scheme/pde_scheme.h"

namespace korvex::pricing {

// How `price_heston` solves.
//
// `accuracy` is the absolute price error the pricer aims at; the grid follows from it by the
// rule documented with `price_heston`. `spot_points`, `variance_points`, `time_steps` and
// `scheme`, when given (non-zero, set), override the rule's choice one by one:
//  - spot_points: nodes of the spot axis (at least 8);
//  - variance_points: nodes of the variance axis (at least 5);
//  - time_steps: equal steps from expiry to the valuation date (at least 1);
//  - scheme: one of the alternating-direction schemes adi_modified_craig_sneyd (the
//    default: stable at any step length and damping the payoff's kink), adi_craig_sneyd,
//    adi_hundsdorfer_verwer (stable for moderate steps only) or adi_douglas (first order
//    in time with the correlation term).
struct heston_settings
{
    double accuracy = 1e-3;
    std::size_t spot_points = 0;
    std::size_t variance_points = 0;
    std::size_t time_steps = 0;
    std::optional<pde_scheme_type> scheme;
};

}  // namespace korvex::pricing
