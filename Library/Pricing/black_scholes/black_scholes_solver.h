#pragma once

#include <vector>

#include "Pricing/black_scholes/black_scholes_grid.h"
#include "Pricing/black_scholes/black_scholes_problem.h"

namespace korvex::pricing::details {

// The option's values at the valuation date on the nodes of `grid.axis` (log spot), solved
// with the volatility `volatility` (the problem's own, or a bumped one for the vega).
//
// The PDE in x = ln S, stepped backward from expiry, is
//     V_tau = 1/2 sigma^2 V_xx + (r - q - 1/2 sigma^2) V_x - r V,
// with, on each step from date t_i to t_(i+1), r and q the curves' forward rates over the
// step (-ln P(t_i, t_(i+1)) per ACT/365 year): the coefficients handed to the scheme are
// these integrals, so the discounting of every step is the curves' own. Five-band stencils.
//
// Ends. Both ends of the axis are held (fixed_value, with the three-point row next to them)
// at values set before every step for the step's end date t: a barrier that ends the axis
// at its rebate (below), any other end at the option's value without optionality there,
// max(w (S P_q(t, T) - K P_r(t, T)), 0) (with the exercise value when American), and the
// digital's at P_r(t, T). An end d standard deviations out barely reaches the spot, so what
// matters is stability: a no_diffusion end (one-sided convection) grows without bound where
// the drift flows into the axis and outweighs the diffusion (low volatility, large carry).
//
// European exercise: a knock-out pays its rebate at hit as the value held at the barrier;
// a rebate at expiry, and the rebate of a knock-in, come from a second row of the storage,
// the knock-out digital D (1 at expiry unless the barrier is touched): a knock-out is
// V(payoff, 0) + R (P(t, T) - D), a knock-in (by in-out parity) the closed-form vanilla less
// V(payoff, 0) plus R D. With `grid.extrapolate` the runs with N and N / 2 steps are combined
// as (N^2 V_N - M^2 V_M) / (N^2 - M^2), which removes the second-order time error.
//
// American exercise (knock-outs and vanillas): after every step the value is projected on
// the exercise value by the splitting of Ikonen and Toivanen ("Operator splitting methods
// for American option pricing", 2004): the step solves with the source dt lambda, then
//     u = max(u~ - dt lambda, g),  lambda = max(0, lambda + (g - u~) / dt),
// g the exercise value at the nodes; with lambda = 0 throughout this is the plain projection
// u = max(u~, g). A Crank-Nicolson step takes half the source before the step and half
// after it, as its trapezoidal rule asks. A rebate at expiry is then the value held at the
// barrier, R P(t, T), set before every step.
std::vector<double> solve_black_scholes(const black_scholes_problem& problem, const black_scholes_grid& grid,
                                        double volatility);

}  // namespace korvex::pricing::details
