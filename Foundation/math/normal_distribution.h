#pragma once

#include <cstddef>

#include "core/check_fail.h"
#include "math/horner.h"
#include "math/math_export.h"

namespace korvex {

// The standard normal distribution: density n(x) = exp(-x^2/2) / sqrt(2 pi), cumulative
// N(x) = integral of n from -inf to x, and its inverse. Every function is thread-safe.
//
// Accuracy (against 50-digit references): N and N/n to a few units in the last place of the
// exact value at the given double argument, down to the underflow of N near x = -37.5 (the
// tail is computed as n(x) times a scaled erfc, never as 1 minus something); the inverse to
// about 1e-16 relative (3 ulp); the fast inverse to 1.15e-9 relative.
struct KORVEX_MATH_API normal_distribution
{
    // n(x); 0 at +-inf.
    static double density_function(double x);

    // N(z); 0 at -inf, 1 at +inf, NaN for NaN.
    static double cdfnorm(double z);

    // N(z) / n(z) = sqrt(pi/2) erfcx(-z/sqrt 2), stable for very negative z where N and n
    // both underflow (it behaves like 1/|z| (1 - 1/z^2 + 3/z^4 ...)); it grows like
    // sqrt(2 pi) exp(z^2/2) for positive z, finite up to z = 37.6527229921072, then +inf.
    static double cdf_over_density(double z);

    // N^{-1}(p) to full precision (Wichura's algorithm AS 241, Appl. Statist. 37, 1988).
    // p = 0 gives -inf and p = 1 gives +inf, the limits of the mathematics; NaN gives NaN;
    // p < 0 or p > 1 raises Error.
    static double cdfnorminv(double p);

    // gaussian[i] = N^{-1}(uniform[i]) for i < size. Every uniform is checked before anything
    // is written, so a value outside [0, 1] raises Error and leaves gaussian untouched. The
    // arrays may be the same (an in-place transform) but must not overlap otherwise; null
    // arrays are accepted only with size 0.
    static void cdfnorminv(std::size_t size, const double* uniform, double* gaussian);

    // N^{-1}(p) by Acklam's rational approximation without refinement, for sampling where
    // its relative error suffices: below 1.15e-9 for p >= 2.2e-308 (the smallest normal
    // double), up to 1.8e-9 for subnormal p. Same conventions as cdfnorminv. The central
    // part, 0.02425 <= p <= 0.97575, is defined here so that sampling loops inline it.
    static double cdfnorminv_fast(double p)
    {
        if (acklam_low <= p && p <= 1.0 - acklam_low) {
            const double q = p - 0.5;
            const double r = q * q;
            return q * details::horner(acklam_a, r) / details::horner(acklam_b, r);
        }
        KORVEX_CHECK_MSG(site("cdfnorminv_fast", __LINE__), is_probability_or_nan(p), "p = ", p);
        return cdfnorminv_fast_tails(p);
    }

private:
    static constexpr double acklam_low = 0.02425;
    static constexpr double acklam_a[] = {2.506628277459239e+00, -3.066479806614716e+01,
                                          1.383577518672690e+02, -2.759285104469687e+02,
                                          2.209460984245205e+02, -3.969683028665376e+01};
    static constexpr double acklam_b[] = {1.0, -1.328068155288572e+01, 6.680131188771972e+01,
                                          -1.556989798598866e+02, 1.615858368580409e+02,
                                          -5.447609879822406e+01};

    static constexpr bool is_probability_or_nan(double p) { return !(p < 0.0 || p > 1.0); }

    static constexpr SourceLocation site(const char* function, int line)
    {
        return {function, "Foundation/math/normal_distribution", line};
    }

    // Acklam's approximation outside the central part, p in [0, 1] or NaN.
    static double cdfnorminv_fast_tails(double p);
};

}  // namespace korvex
