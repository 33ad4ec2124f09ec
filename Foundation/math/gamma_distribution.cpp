#include "math/gamma_distribution.h"

#include <math.h>

#include <cmath>

namespace korvex {

double gamma_distribution::gamma(double x) { return std::tgamma(x); }

double gamma_distribution::lgamma(double x)
{
    int sign = 0;  // lgamma_r returns the sign here instead of in the global signgam
    return ::lgamma_r(x, &sign);
}

}  // namespace korvex
