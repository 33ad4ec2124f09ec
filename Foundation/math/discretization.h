#pragma once

#include <cstddef>

#include "math/math_export.h"

namespace korvex {

struct KORVEX_MATH_API discretization
{
    // Writes `count` evenly spaced points from a to b into out: the first is exactly a, the
    // last exactly b (count 1 writes a; count 0 writes nothing). The first half of the
    // points is computed as a + k*h and the second half as b - (count-1-k)*h, so rounding
    // never accumulates and both ends are exact. `middle` is the caller's (a + b) / 2; the
    // split is made at the middle index, so the value is not needed and not read.
    static void uniform(double* out, std::size_t count, double a, double b, double middle);
};

}  // namespace korvex
