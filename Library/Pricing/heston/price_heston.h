#pragma once

#include "Pricing/heston/heston_parameters.h"
#include "Pricing/heston/heston_result.h"
#include "Pricing/heston/heston_settings.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/market.h"
#include "Pricing/pricing_export.h"

namespace korvex::pricing {

// The price of a vanilla option under the Heston model (heston_parameters.h; the market's
// spot, rate and carry curves), with delta, gamma and theta, by the PDE engine's
// alternating-direction schemes on a spot x variance grid (heston_solver.h gives the
// equation, the ends and the steps).
//
// Grid (after in 't Hout and Foulon, "ADI finite difference schemes for option pricing in
// the Heston model with correlation", 2010). Spot nodes K + c sinh(xi) from 0 to
// max(S, K) min(8, exp(4 sqrt((vbar + w) T))), the strike on a node,
// c = 1.2 K sqrt(vbar T) + |S - K| / 2; variance nodes d sinh(zeta) from 0 to
// max(30 max(v0, vbar), 10 w), v0 on a node, d = vbar sqrt(F) / 2 with F = 2 kappa eta /
// sigma^2 clamped to [0.01, 1]; xi and zeta evenly spaced. vbar is the mean expected
// variance over the option's life, v0 + (eta - v0)(1 - (1 - exp(-kappa T)) / (kappa T)), at
// least 1e-4, and w = sigma^2 (1 - exp(-kappa T)) / (2 kappa) the scale of the variance's
// upper tail at expiry. The payoff is smoothed at the strike by Kreiss's fourth-order
// kernel. The scheme is modified Craig-Sneyd (stable at any step length, and its theta 1/3
// damps the kink) over equal steps.
//
// Accuracy rule. With e = accuracy / (max(S, K) sqrt(vbar T)), the target relative to the
// scale of the option's time value, m = |ln(K / S)| / sqrt(vbar T) the strike's distance
// from the spot in standard deviations, f = min(1 + |rho| m, 2), q = sqrt(w / vbar) the
// volatility of the variance against its level and u = |ln(v0 / eta)| (1 - exp(-kappa T))
// the variance's drift away from v0 (v0 and eta taken at least 1e-4 there):
//   spot points n_S = 2.6 (1 + 0.6 q + 0.13 u) f e^(-1/4) (at least 16),
//   variance points n_v = 0.1 (1 + 5.3 q + 5.3 u) f e^(-1/2) (at least 8),
//   steps N = 0.11 (1 + 0.24 q + 0.13 u) f e^(-1/2) (at least 4);
//   American exercise takes 1.5 n_S (the exercise boundary leaves the spot error of second
//   order) and 2.5 N (even; the finer run of a pair extrapolated in time, below).
// The spot error is of fourth order (five-point stencils, smoothed payoff), the variance
// error and the time error of second order, hence the powers of e. Where the variance is
// volatile (q) or far from its long-run level (u) the solution bends more along the
// variance; the factor in rho m widens the grid where the correlation term of a distant
// strike converges slowly. The constants are fitted to the errors against the semi-closed
// form of European options with strikes of 70-140 % of the spot, expiries of 30 days to
// 3 years, v0 and eta 0.01-0.16, kappa 0.5-4, sigma 0.1-0.8, rho -0.9-0.3, rates 0-6 % and
// carries 0-4 %: on 200 such instruments and calls and puts of strikes 80, 100 and 120 on the
// cases A-D, the largest error was 0.72 of the target at 1e-3 (a put struck at 118.5,
// 183 days, v0 0.155, eta 0.056, sigma 0.48, rho -0.85; A-D at most 0.63; the largest grid
// 2.6e6 points) and 0.75 at 1e-2. Cases A-D at the default 1e-3 (calls at 100; spot x
// variance x steps, CPU time per price on a shared machine): 46 x 72 x 19 (0.85 ms),
// 37 x 24 x 21 (0.23 ms), 60 x 126 x 29 (3.4 ms) and 38 x 48 x 14 (0.34 ms).
// tests/Pricing checks the sample at 1e-2 (and at 1e-3 in optimised builds) and A-D at
// 1e-3. American puts on A-D (strikes 90-110) fall within 1e-3 of QuantLib's fine-grid
// values. `spot_points`, `variance_points`, `time_steps` and `scheme` of the settings
// replace the rule's choices.
//
// American exercise: after every step V <- max(V, payoff) (projection). Its time error is
// first order; the pricer solves with N and N / 2 steps and combines them as
// (N V_N - M V_M) / (N - M), which removes it (again at least the exercise value).
//
// European calls are priced as puts plus the forward S P_q - K P_r (put-call parity): a
// put's value stays bounded at the far end of the spot axis.
//
// Greeks. Price, delta and gamma at (S, v0) from the quartics through the five spot and five
// variance nodes around it; theta from the equation itself with the curves' instantaneous
// rates at the valuation date (0 where an American option is exercised at every node
// around it).
//
// Refused with Error before any grid is built: every check of the market's and of
// heston_parameters' constructors, a strike out of its domain (NaN included), an expiry not
// after the valuation date, a discount factor to expiry that is not positive and finite,
// an accuracy that is not positive and finite or that would need more than 3 x 10^8 grid
// points (spot points times variance points times steps, both runs; seconds of work), and
// invalid settings (see heston_settings).
KORVEX_PRICING_API heston_result price_heston(const vanilla_option& option, const market& market,
                                              const heston_parameters& heston, const heston_settings& settings = {});

// The price of a single-barrier option under the Heston model (barrier_option.h: up or down,
// knock-out or knock-in, rebate at hit or at expiry; European, or American knock-outs), with
// delta, gamma and theta, on the grid of the vanilla pricer above, whose ends change:
//
// Knock-outs. The spot axis ends on the barrier: from the barrier to the vanilla's far end
// (down) or from 0 to the barrier (up); the other end is the vanilla's. The
// barrier node holds the rebate (a fixed-value end of the alternating-direction scheme in
// the spot direction): the rebate when paid at hit, when paid at expiry the rebate
// discounted from expiry to each step's midpoint. The nodes gather about the strike as the
// vanilla's do when it lies on the live side at least two nodes from the ends (it is then
// a node, the payoff smoothed there), else about the barrier; xi runs linearly in the node
// index between the pinned spots (the ends, the strike), so both the strike and the barrier
// are nodes. Calls are solved as they are (no put-call parity across a barrier).
//
// Knock-ins, by in-out parity with the vanilla solved on the same grid: the axis is extended
// beyond the barrier to 0 (down) or to the greater of the vanilla's far end and 2 B (up) by
// the same map, the
// vanilla is solved on all of it (a call as its put plus the forward), and the knock-out
// part that pays payoff - rebate at expiry and 0 at the barrier on its live side; the
// knock-in is their difference, its rebate paid at expiry when the barrier was not hit.
//
// American knock-outs: the projection and time extrapolation of the vanilla pricer; at the
// barrier the holder gets the larger of the rebate and the exercise value, as under
// Black-Scholes.
//
// Sizes: twice the vanilla accuracy rule's spot points (on the live side of the barrier; a
// knock-in's extension adds nodes at the same spacing), its variance points for the same
// option without its barrier, and twice its steps. The end held at the rebate leaves the
// spot axis second order where the vanilla's is fourth, and the value near a barrier changes
// fast close to expiry: with the vanilla's sizes a down-and-out call on case A (K = 100,
// B = 90) missed QuantLib's fine-grid value by 1.1e-3 at the default 1e-3, and barriers in
// the Black-Scholes limit (sigma 1e-3) missed the closed form by up to 1.9e-3. The settings'
// sizes and scheme override them as for vanillas. `spots` and `values` of the result cover
// the live side of the barrier, barrier
// node included.
//
// Refused with Error before any grid is built: the checks of the vanilla overload and of
// the barrier as under Black-Scholes (the same messages and places): a level that is not
// positive and finite or that the spot has reached, a rebate that is negative or not
// finite, a knock-in paying its rebate at hit, an American knock-in.
KORVEX_PRICING_API heston_result price_heston(const barrier_option& option, const market& market,
                                              const heston_parameters& heston, const heston_settings& settings = {});

// The price of a European vanilla option under the Heston model in semi-closed form: the
// call S P_q - K P_r plus one Fourier integral of the characteristic function of ln S_T in
// the "little Heston trap" form (Albrecher, Mayer, Schoutens and Tistaert, 2007), continuous
// in the integration variable at every maturity, integrated by adaptive Gauss-Kronrod (7 and
// 15 points) to an absolute 1e-12 on [0, inf) mapped onto [0, 1); the put by put-call parity.
// The curves enter through the forward S P_q / P_r and the discount P_r to expiry (exact
// for deterministic rates).
//
// Refused with Error: the checks of price_heston, and an American option.
KORVEX_PRICING_API double heston_semi_closed_form(const vanilla_option& option, const market& market,
                                                  const heston_parameters& heston);

}  // namespace korvex::pricing
