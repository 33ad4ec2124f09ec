#pragma once

#include <vector>

#include "Pricing/heston/heston_grid.h"
#include "Pricing/heston/heston_problem.h"

namespace korvex::pricing::details {

// The option's values at the valuation date on the grid (spot index outer, variance inner).
//
// The PDE in spot S and variance v, stepped backward in tau (time to expiry), is
//     V_tau = 1/2 v S^2 V_SS + rho sigma v S V_Sv + 1/2 sigma^2 v V_vv
//             + (r - q) S V_S + kappa (eta - v) V_v - r V,
// split by axis for the alternating-direction scheme: along the spot the diffusion
// 1/2 v S^2, convection (r - q) S and reaction -r; along the variance the diffusion
// 1/2 sigma^2 v and convection kappa (eta - v); the correlation rho, which the scheme turns
// into the cross term. On each step from date t_i to t_(i+1), r and q are the curves'
// forward rates over the step: the coefficients handed to the scheme hold their integrals
// -ln P(t_i, t_(i+1)), so that every step discounts as the curves do. Five-point stencils
// along the spot, three along the variance; equal steps.
//
// Ends: every end is a no_diffusion row (one-sided convection): at S = 0 the equation is
// V_tau = -r V (a put's value K P_r); at v = 0 it degenerates to first order, the
// convection kappa eta pointing into the domain; at the far ends of both axes the value is
// about linear in the variable. A barrier that ends the spot axis (node `grid.barrier_node`)
// is held instead (fixed_value) at the rebate: the rebate itself when paid at hit, when paid
// at expiry the rebate discounted from expiry to the midpoint of each step (the held value
// enters the step explicitly, so the midpoint keeps its time error second order); at least
// the exercise value there when American. The knock-out part of a knock-in holds 0 and pays
// payoff - rebate at expiry (see price_heston.h).
//
// American exercise: after every step the values are projected onto the exercise value,
// V <- max(V, payoff(S)); the time error of the projection is first order.
std::vector<double> solve_heston(const heston_problem& problem, const heston_grid& grid);

}  // namespace korvex::pricing::details
