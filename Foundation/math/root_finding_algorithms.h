#pragma once

#include <functional>

#include "math/math_export.h"

namespace korvex {

struct KORVEX_MATH_API root_finding_algorithms
{
    // Brent's method (Brent, "Algorithms for Minimization without Derivatives", 1973, ch. 4):
    // inverse quadratic interpolation and secant steps safeguarded by bisection, on the
    // bracket [lower, upper] (either order).
    //
    // `root` holds the caller's starting value on entry. When it lies strictly inside the
    // bracket it is evaluated first (one iteration) and replaces the end whose value has
    // the same sign, which narrows the bracket; otherwise it is not used.
    //
    // Convergence: |f(b)| <= f_tolerance, or the bracket around the best estimate b is no
    // wider than x_tolerance + 4 eps |b| (half-width 2 eps |b| + x_tolerance / 2). Then
    // `root` = b and the result is true. `max_iterations` caps the evaluations of f after
    // the two ends; with 0 only the ends are examined.
    //
    // Returns false, with `root` holding the best estimate so far (the point of smallest
    // |f| among those evaluated), when the cap is reached, when f(lower) and f(upper) have
    // the same sign (then `root` is the end of smaller |f|), or when f returns NaN. Non-finite
    // ends or an empty function raise Error.
    static bool brent(const std::function<double(double)>& f, double lower, double upper,
                      double& root, double x_tolerance, double f_tolerance,
                      int max_iterations);
};

}  // namespace korvex
