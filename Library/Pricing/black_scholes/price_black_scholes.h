#pragma once

#include "Pricing/black_scholes/black_scholes_result.h"
#include "Pricing/black_scholes/black_scholes_settings.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/black_scholes_market.h"
#include "Pricing/pricing_export.h"

namespace korvex::pricing {

// The price of an option under Black-Scholes (constant volatility, the market's rate and
// carry curves), with delta, gamma, theta and vega, by the PDE engine (finite differences in
// log spot; black_scholes_solver.h gives the equation, the ends and the steps).
//
// Grid. The log-spot axis spans the spot and the forward, with d standard deviations
// sigma sqrt(T) beyond either (d from the accuracy, below); a barrier inside that span ends
// the axis there, and one beyond it cannot be reached within the accuracy and is left out.
// The nodes gather around the strike by a sinh map of width sigma sqrt(T) / 2 (around the
// spot when the strike lies outside). The payoff is smoothed at the strike by Kreiss's
// fourth-order kernel, so the five-point stencils converge at fourth order in space.
//
// Time. European exercise: the two-stage L-stable scheme with N and N / 2 equal steps,
// combined to remove the second-order time error (third order then, measured). American
// exercise: Crank-Nicolson with the step at expiry split into four implicit ones, and the
// exercise value enforced after every step by Ikonen and Toivanen's projection; its time
// error is first order (the free boundary), measured 1.8e-3 / N relative to K sigma sqrt(T)
// at the money, twenty times below the plain projection max(u, g).
//
// Accuracy rule. With e = accuracy / (max(S, K) sigma sqrt(T)), the relative accuracy on
// the scale of the option's time value, d = 1 + sqrt(2 ln(1 / e)) and
//   European and barrier:  n = 3 e^(-1/4) space points (at least 21), N = 2 e^(-1/3) (at least 4);
//   American:              n = 0.3 e^(-1/2) (at least 41), N = 2e-3 / e (at least 20);
// constants fitted to the errors measured over strikes 50-200 % of the spot, expiries of a
// week to ten years and volatilities of 5-100 % (tests/Pricing). `space_points`,
// `time_steps` and `scheme` of the settings replace the rule's choices.
//
// Greeks. Delta and gamma from the quartic through the five nodes around the spot;
// theta from the equation itself, theta = r V - (r - q) S delta - 1/2 sigma^2 S^2 gamma with
// the instantaneous rates at the valuation date (0 where an American option is exercised);
// vega of a European vanilla from the identity vega = sigma T S^2 gamma (exact for European
// payoffs), of barrier and American options by two more solves at sigma (1 +- 1 %) on the
// same grid, central difference (skipped, NaN, with settings.vega false).
//
// Knock-ins are priced by in-out parity with the closed-form vanilla; American knock-ins are
// refused.
//
// Refused with Error before any grid is built: every check of the market's constructors,
// a strike, level or rebate out of its domain (NaN included), an expiry not after the
// valuation date, a barrier the spot has reached, a knock-in paying its rebate at hit, an
// American knock-in, an accuracy that is not positive or that would need more than 10^7
// grid points, and invalid settings (see black_scholes_settings).
KORVEX_PRICING_API black_scholes_result price_black_scholes(const vanilla_option& option,
                                                            const black_scholes_market& market,
                                                            const black_scholes_settings& settings = {});

KORVEX_PRICING_API black_scholes_result price_black_scholes(const barrier_option& option,
                                                            const black_scholes_market& market,
                                                            const black_scholes_settings& settings = {});

}  // namespace korvex::pricing
