#include "math/normal_distribution.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/check_fail.h"
#include "math/error_function.h"
#include "math/exponential_of_square.h"
#include "math/horner.h"
#include "math/output_vectors.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/normal_distribution";

constexpr SourceLocation here(const char* function, int line)
{
    return {function, source_file, line};
}

constexpr double inverse_sqrt_two_pi = 0.5 * std::numbers::inv_sqrtpi * std::numbers::sqrt2;
constexpr double sqrt_half_pi = 1.2533141373155002512;  // sqrt(pi/2)
constexpr double sqrt_two_pi = 2.5066282746310005024;   // sqrt(2 pi)
constexpr double inverse_sqrt2 = 0.5 * std::numbers::sqrt2;

// N(-|z|) = n(z) sqrt(pi/2) erfcx(|z|/sqrt 2) = exp(-z^2/2) erfcx(|z|/sqrt 2) / 2.
double lower_tail(double z)
{
    return 0.5 * details::exponential_of_square(z, -0.5) *
           error_function::erfcx(std::fabs(z) * inverse_sqrt2);
}

// Wichura, AS 241 (PPND16): rational approximations in q = p - 1/2 near the centre and in
// r = sqrt(-log min(p, 1-p)) in the tails; coefficients in increasing powers.
constexpr double wichura_a[] = {3.3871328727963666080e0, 1.3314166789178437745e+2,
                                1.9715909503065514427e+3, 1.3731693765509461125e+4,
                                4.5921953931549871457e+4, 6.7265770927008700853e+4,
                                3.3430575583588128105e+4, 2.5090809287301226727e+3};
constexpr double wichura_b[] = {1.0, 4.2313330701600911252e+1, 6.8718700749205790830e+2,
                                5.3941960214247511077e+3, 2.1213794301586595867e+4,
                                3.9307895800092710610e+4, 2.8729085735721942674e+4,
                                5.2264952788528545610e+3};
constexpr double wichura_split = 0.425;

// |p - 1/2| <= 0.425, without a branch.
double wichura_central(double p)
{
    const double q = p - 0.5;
    const double r = 0.180625 - q * q;
    return q * details::horner(wichura_a, r) / details::horner(wichura_b, r);
}

double wichura(double p)
{
    static constexpr double c[] = {1.42343711074968357734e0, 4.63033784615654529590e0,
                                   5.76949722146069140550e0, 3.64784832476320460504e0,
                                   1.27045825245236838258e0, 2.41780725177450611770e-1,
                                   2.27238449892691845833e-2, 7.74545014278341407640e-4};
    static constexpr double d[] = {1.0, 2.05319162663775882187e0, 1.67638483018380384940e0,
                                   6.89767334985100004550e-1, 1.48103976427480074590e-1,
                                   1.51986665636164571966e-2, 5.47593808499534494600e-4,
                                   1.05075007164441684324e-9};
    static constexpr double e[] = {6.65790464350110377720e0, 5.46378491116411436990e0,
                                   1.78482653991729133580e0, 2.96560571828504891230e-1,
                                   2.65321895265761230930e-2, 1.24266094738807843860e-3,
                                   2.71155556874348757815e-5, 2.01033439929228813265e-7};
    static constexpr double f[] = {1.0, 5.99832206555887937690e-1, 1.36929880922735805310e-1,
                                   1.48753612908506148525e-2, 7.86869131145613259100e-4,
                                   1.84631831751005468180e-5, 1.42151175831644588870e-7,
                                   2.04426310338993978564e-15};
    const double q = p - 0.5;
    if (std::fabs(q) <= wichura_split)
        return wichura_central(p);
    double r = std::sqrt(-std::log(q < 0.0 ? p : 1.0 - p));
    double x;
    if (r <= 5.0) {
        r -= 1.6;
        x = details::horner(c, r) / details::horner(d, r);
    } else {
        r -= 5.0;
        x = details::horner(e, r) / details::horner(f, r);
    }
    return q < 0.0 ? -x : x;
}

// Acklam's rational approximation in sqrt(-2 log min(p, 1-p)), for p outside
// [0.02425, 0.97575] (the central part is in the header).
double acklam_tails(double p)
{
    static constexpr double c[] = {2.938163982698783e+00, 4.374664141464968e+00,
                                   -2.549732539343734e+00, -2.400758277161838e+00,
                                   -3.223964580411365e-01, -7.784894002430293e-03};
    static constexpr double d[] = {1.0, 3.754408661907416e+00, 2.445134137142996e+00,
                                   3.224671290700398e-01, 7.784695709041462e-03};
    const bool lower = p < 0.5;
    const double q = std::sqrt(-2.0 * std::log(lower ? p : 1.0 - p));
    const double x = details::horner(c, q) / details::horner(d, q);
    return lower ? x : -x;
}

// p = 0 and p = 1 map to -inf and +inf; the approximations see only the open interval.
template <double (*Inverse)(double)>
double inverse_with_limits(double p)
{
    if (p == 0.0)
        return -std::numeric_limits<double>::infinity();
    if (p == 1.0)
        return std::numeric_limits<double>::infinity();
    return Inverse(p);
}

// In place is fine; any other overlap would read values already overwritten.
bool overlap_other_than_equal(const double* a, const double* b, std::size_t size)
{
    return a != b && details::blocks_overlap(a, b, size);
}

}  // namespace

double normal_distribution::density_function(double x)
{
    return inverse_sqrt_two_pi * details::exponential_of_square(x, -0.5);
}

double normal_distribution::cdfnorm(double z)
{
    if (z < 0.0)
        return lower_tail(z);
    if (z <= std::numeric_limits<double>::max())
        return 1.0 - lower_tail(z);
    return std::isnan(z) ? z : 1.0;
}

double normal_distribution::cdf_over_density(double z)
{
    if (z <= 0.0)
        return sqrt_half_pi * error_function::erfcx(-z * inverse_sqrt2);
    if (z > 38.0)  // exp(z^2/2) overflows (the result already above 37.6527229921072)
        return std::numeric_limits<double>::infinity();
    return sqrt_two_pi * details::exponential_of_square(z, 0.5) -
           sqrt_half_pi * error_function::erfcx(z * inverse_sqrt2);
}

double normal_distribution::cdfnorminv(double p)
{
    KORVEX_CHECK_MSG(here("cdfnorminv", __LINE__), is_probability_or_nan(p), "p = ", p);
    return inverse_with_limits<wichura>(p);
}

void normal_distribution::cdfnorminv(std::size_t size, const double* uniform, double* gaussian)
{
    if (size == 0)
        return;
    KORVEX_CHECK(here("cdfnorminv", __LINE__), uniform != nullptr && gaussian != nullptr);
    KORVEX_CHECK(here("cdfnorminv", __LINE__), !overlap_other_than_equal(uniform, gaussian, size));
    for (std::size_t i = 0; i < size; ++i)
        KORVEX_CHECK_MSG(here("cdfnorminv", __LINE__), is_probability_or_nan(uniform[i]),
                         "uniform[", i, "] = ", uniform[i]);
    // Block by block: the central rational for every point (a loop the compiler vectorises),
    // then the tails over it; the block's uniforms are kept aside for the in-place case.
    constexpr std::size_t block = 512;
    double kept[block];
    for (std::size_t start = 0; start < size; start += block) {
        const std::size_t count = std::min(block, size - start);
        std::copy_n(uniform + start, count, kept);
        double* out = gaussian + start;
        for (std::size_t i = 0; i < count; ++i)
            out[i] = wichura_central(kept[i]);
        for (std::size_t i = 0; i < count; ++i)
            if (!(std::fabs(kept[i] - 0.5) <= wichura_split))
                out[i] = inverse_with_limits<wichura>(kept[i]);
    }
}

double normal_distribution::cdfnorminv_fast_tails(double p)
{
    return inverse_with_limits<acklam_tails>(p);
}

}  // namespace korvex
