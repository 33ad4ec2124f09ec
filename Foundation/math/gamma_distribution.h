#pragma once

#include "math/math_export.h"

namespace korvex {

// The Euler gamma function. Both functions are thread-safe (no global sign variable) and
// follow the IEEE conventions of the C library: a few units in the last place against
// 50-digit references.
struct KORVEX_MATH_API gamma_distribution
{
    // Gamma(x): +-inf at +-0 (the sign of the zero), NaN at the negative integers and at
    // -inf, +inf above x = 171.62 (overflow), 0 below about -184 (underflow).
    static double gamma(double x);

    // log |Gamma(x)|: +inf at 0 and the negative integers and at +-inf. Near its zeros on the
    // negative axis (x = -2.4570..., -2.7476..., ...) the accuracy is absolute, not relative.
    static double lgamma(double x);
};

}  // namespace korvex
