#pragma once

#include <cmath>

namespace korvex::details {

// exp(c x^2) for c = +-1/2 or +-1, as accurate as exp itself: x^2 is split into its rounded
// value h and the exact remainder l (fma), so the rounding of x^2 (up to x^2 eps, which the
// exponential would turn into a relative error of |c| x^2 eps) is compensated.
inline double exponential_of_square(double x, double c)
{
    const double h = x * x;
    const double l = std::fma(x, x, -h);
    const double e = std::exp(c * h);
    if (std::isinf(h) || std::isinf(e))  // the remainder is NaN or cannot matter
        return e;
    return std::fma(e, c * l, e);
}

}  // namespace korvex::details
