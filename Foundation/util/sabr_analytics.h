#pragma once

#include "util/util_export.h"

namespace korvex {

// The SABR model of Hagan, Kumar, Lesniewski and Woodward ("Managing smile risk", Wilmott
// 2002) with a shift: the forward F + shift follows dF = a F^beta dW, da = nu a dZ,
// dW dZ = rho dt, a(0) = alpha. Options are priced with Black's formula on the shifted
// forward and strike at the lognormal volatility of Hagan's expansion: with f = F + shift,
// k = K + shift, L = ln(f/k) and P = (f k)^((1-beta)/2),
//
//     sigma = alpha / (P (1 + (1-beta)^2 L^2 / 24 + (1-beta)^4 L^4 / 1920)) * z / x(z)
//             * (1 + ((1-beta)^2 alpha^2 / (24 P^2) + rho beta nu alpha / (4 P)
//                     + (2 - 3 rho^2) nu^2 / 24) T),
//     z = nu / alpha P L,   x(z) = ln((sqrt(1 - 2 rho z + z^2) + z - rho) / (1 - rho)).
//
// x(z) is evaluated through log1p of terms that are all positive, so z / x(z) keeps its
// precision at and near the money (where it tends to 1) and for rho near +-1.
//
// Skew dampening. x(z) is the integral from 0 to z of 1 / D(y), D(y) = sqrt(1 - 2 rho y + y^2),
// Hagan's local-volatility factor of the model (the volatility of the forward relative to
// its at-the-money level). With the flag set, D is capped at the constant M = 4: beyond the
// points y = rho +- sqrt(M^2 - 1 + rho^2) where D reaches M the integral grows linearly,
// x(z) = x(y) + (z - y) / M, so z / x(z) tends to M instead of growing like |z| / ln|z| and
// the volatility of the far wings stays within M times what the backbone (alpha, beta)
// gives, instead of growing without bound with the vol-of-vol. Between those points the
// volatility is exactly Hagan's: for |z| <= sqrt(15 + rho^2) - |rho|, which is 3.87 at rho = 0
// and falls to 3 as |rho| nears 1 (at rho = 0.95, z = -3.87 is dampened by 1.2%), and it stays
// continuously differentiable in the strike across them. Without the flag the formula is
// Hagan's as is.
//
// Both functions refuse with Error: a shifted strike or forward that is not positive and
// finite, an expiry that is negative or not finite, alpha not positive and finite, beta
// outside [0, 1], nu negative or not finite, rho outside (-1, 1), a shift that is not
// finite; price() also a volatility that the expansion makes negative (its correction
// factor turns negative at long expiries for some parameters) and the inputs that
// black_scholes::price refuses.
struct KORVEX_UTIL_API sabr_analytics
{
    // Hagan's lognormal volatility of the shifted strike and forward.
    static double volatility(double strike, double forward, double expiry, double alpha, double beta, double nu,
                             double rho, double shift, bool is_skew_dampening);

    // annuity times the undiscounted price of a call (sign +1) or put (sign -1):
    // black_scholes::price(strike + shift, forward + shift, expiry, volatility(...), annuity, sign).
    static double price(double strike, double forward, double expiry, double annuity, double sign, double alpha,
                        double beta, double nu, double rho, double shift, bool is_skew_dampening);
};

}  // namespace korvex
