#pragma once

#include <cstddef>

#include "math/math_export.h"

namespace korvex {

// The scaled complementary error function, the building block of the normal and inverse
// Gaussian distributions where erfc itself would underflow or lose its relative precision.
struct KORVEX_MATH_API error_function
{
    // erfcx(x) = exp(x^2) erfc(x), to a few units in the last place for every x.
    //
    // x >= 0: piecewise polynomials in y = 400 / (4 + x) up to x = 62.5 (fitted once with
    // 50-digit arithmetic, see scripts/generate_math_tables.py), then Laplace's continued
    // fraction, then 1 / (x sqrt(pi)) above 5e7; erfcx decreases from 1 to 0 like
    // 1 / (x sqrt(pi)). Checked against 50-digit values: at most 2 ulp.
    // x < 0: 2 exp(x^2) - erfcx(-x), with x^2 carried to twice the working precision; it
    // overflows to +inf below x = -26.64. erfcx(+inf) = 0, erfcx(-inf) = +inf, NaN gives NaN.
    static double erfcx(double x);

    // out[i] = erfcx(x[i]) for i < size: the same polynomials (equal to the function above
    // up to the fused multiply-adds a compiler may form), on vectors where the arguments lie
    // in the polynomials' range (0 to 62.5): with AVX-512, eight points at a time with the
    // coefficients chosen by permutations, otherwise as a loop that the compiler vectorises.
    // Other points take the function above. A point's value does not depend on its place in
    // the array. `out` may be `x`.
    static void erfcx(std::size_t size, const double* x, double* out);
};

}  // namespace korvex
