#pragma once

#include "util/util_export.h"

namespace korvex {

// Bachelier's (normal) model of an option on a forward: with the strike K, the forward F,
// the expiry T in years, the normal volatility sigma, the annuity A and the sign w (+1 a
// call, -1 a put),
//
//     price = A ((F - K) w N(w d) + s n(d)),   d = (F - K) / s,   s = sigma sqrt(T).
//
// Both functions take the strike first and refuse with Error an input outside its domain:
// a strike or forward that is not finite (both may be negative), an expiry or volatility
// that is negative or not finite, an annuity that is not finite (not positive for the
// implied volatility), a sign other than +1 and -1.
struct KORVEX_UTIL_API bachelier
{
    // The price above, as the intrinsic value plus s g(-|F - K| / s) with
    // g(x) = n(x) + x N(x), the value of the out-of-the-money option. g is taken as
    // n(x) (1 + x N(x)/n(x)) and, below x = -10, from its asymptotic series
    // n(x) / x^2 (1 - 3/x^2 + 15/x^4 - ...), so the price keeps a relative precision of a
    // few 1e-15 (about 1e-14 near |d| = 10) far out of the money.
    static double price(double strike, double forward, double expiry, double volatility,
                        double annuity, double sign);

    // The normal volatility at which price() gives `price`. The time value (price / annuity
    // less the intrinsic value) is inverted as the out-of-the-money option: at the money in
    // closed form, s = sqrt(2 pi) times the time value; elsewhere by a Householder step of
    // order four on ln(s g(-|F - K| / s)) from a polynomial approximation of the inverse that
    // is good to 7e-7, which already reaches double precision (a second step follows only
    // if the first one moved by more than 1e-5). The condition number price / (sigma vega)
    // of the normal model never exceeds 1, and the result is within a few eps of the
    // volatility that reproduces the price.
    //
    // A price equal to the intrinsic value (or below it by no more than its rounding) gives
    // 0; a price further below it has no implied volatility and raises Error.
    static double implied_volatility(double strike, double forward, double expiry, double price,
                                     double annuity, double sign);
};

}  // namespace korvex
