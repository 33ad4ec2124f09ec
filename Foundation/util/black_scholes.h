#pragma once

#include <span>

#include "util/util_export.h"

namespace korvex {

// Black's model of an option on a forward: with the strike K, the forward F, the expiry
// T in years, the volatility sigma, the annuity A and the sign w (+1 a call, -1 a put),
//
//     price = A w (F N(w d1) - K N(w d2)),   d1,2 = ln(F/K) / s +- s/2,   s = sigma sqrt(T).
//
// Both functions take the strike first and refuse with Error an input outside its domain:
// a strike or forward that is not positive and finite, an expiry or volatility that is
// negative or not finite, an annuity that is not finite (not positive for the implied
// volatility), a sign other than +1 and -1.
struct KORVEX_UTIL_API black_scholes
{
    // The price above. It is computed as the intrinsic value plus the value of the
    // out-of-the-money option of the same strike, and that value in the normalised form of
    // Jaeckel ("Let's Be Rational", 2015) through N/n and exp(-(h^2 + t^2)/2), h = ln(F/K) / s,
    // t = s / 2, so that it keeps its relative precision far out of the money (no
    // difference of two nearly equal terms), down to the underflow of the result.
    static double price(double strike, double forward, double expiry, double volatility,
                        double annuity, double sign);

    // The volatility sigma at which price() gives `price`, by Jaeckel's "Let's Be Rational":
    // the time value (price / annuity less the intrinsic value) is inverted as the
    // out-of-the-money option of the same strike, from a rational initial guess, with
    // Householder steps of order four on objectives that are nearly linear in each of four
    // regions. The result is as accurate as the price allows: its relative error is within a
    // few eps times the condition number max(1, price / (sigma vega)), since a relative
    // change of the price by eps moves the volatility by eps times that number. Near the
    // upper bound the distance to it is taken from the price (the bound less the price, exact
    // there), not from two rounded numbers near the bound: at prices within 4e-10 and 2e-12
    // of it, with sigma sqrt(T) from 24 to 32 (condition numbers 2e7 and 4e9), the error
    // stays below half of eps times the condition number.
    //
    // The steps stop once a step is below tolerance * sigma, or below the resolution the
    // price offers at the current iterate (the step a change of the price by its rounding
    // would make there), or after `iterations` steps; the last iterate is returned, it is not
    // an error to reach the cap (0 returns the initial guess).
    //
    // A price equal to the intrinsic value (or below it by no more than its rounding) gives
    // 0. A price further below the intrinsic value, or at or above the upper bound (A F for
    // a call, A K for a put), has no implied volatility and raises Error, as do a negative
    // tolerance or iteration count.
    static double implied_volatility(double strike, double forward, double expiry, double price,
                                     double annuity, double sign,
                                     double tolerance = 2.220446049250313e-16, int iterations = 20);

    // volatility[i] = implied_volatility(strike[i], forward[i], expiry[i], price[i],
    // annuity[i], sign[i], tolerance, iterations) for every option, bit for bit, but options by
    // blocks, as loops the compiler vectorises: the normalised prices and vegas through erfcx
    // over arrays (error_function) and exp and log in a vectorisable form of the same
    // precision. The rare options that need special treatment (series regions far out of the
    // money or at tiny deviations, underflows, steps replaced by bisection) go through scalar
    // code, chosen by the option's own inputs. The scalar function is this one over a single
    // option, and the loops round alike in their vectorised bodies and scalar remainders (no
    // contraction of multiply-adds but the explicit ones), so a row's volatility depends on its
    // own inputs only: not on the length of the array, nor on the row's position in it, nor on
    // how a book is split into parts. (Across builds, e.g. with and without fused
    // multiply-add instructions, the last bits may differ.)
    //
    // Every input must be as long as `volatility` (Error otherwise). An option that the scalar
    // function refuses raises its Error, the same message at the same location; `volatility`
    // then holds the volatilities of some of the options before it.
    static void implied_volatilities(std::span<const double> strike, std::span<const double> forward,
                                     std::span<const double> expiry, std::span<const double> price,
                                     std::span<const double> annuity, std::span<const double> sign,
                                     std::span<double> volatility, double tolerance = 2.220446049250313e-16,
                                     int iterations = 20);
};

}  // namespace korvex
