#pragma once

#include "math/math_export.h"

namespace korvex {

// The inverse Gaussian (Wald) distribution with mean 1 and shape lambda > 0:
//   f(x) = sqrt(lambda / (2 pi x^3)) exp(-lambda (x - 1)^2 / (2x)),  x > 0,
//   F(x) = N(sqrt(lambda/x) (x - 1)) + exp(2 lambda) N(-sqrt(lambda/x) (x + 1)).
// (scipy.stats.invgauss(mu = 1/lambda, scale = lambda) is the same law.)
//
// F is evaluated as a sum of positive terms through erfcx, with u = sqrt(lambda/(2x)):
//   F = exp(-u_-^2) (erfcx(-u_-) + erfcx(u_+)) / 2                  for x < 1,
//   F = 1 - exp(-u_-^2) (erfcx(u_-) - erfcx(u_+)) / 2               for x >= 1,
// u_-+ = u (x -+ 1), so that exp(2 lambda) never overflows and the small lower tail keeps its
// relative precision for every lambda (above x = 1, F >= 1/2 and 1 - F is the small side).
//
// x <= 0 gives f = 0 and F = 0, x = +inf gives f = 0 and F = 1, NaN gives NaN. A lambda that
// is not positive and finite raises Error.
struct KORVEX_MATH_API inverse_gaussian_distribution
{
    static double density(double x, double lambda);
    static double cumulative(double x, double lambda);
};

}  // namespace korvex
