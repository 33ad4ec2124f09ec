#include "math/hartman_watson_distribution.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "core/check_fail.h"
#include "math/horner.h"
#include "math/output_vectors.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/hartman_watson_distribution";

constexpr SourceLocation here(const char* function, int line)
{
    return {function, source_file, line};
}

constexpr double pi = std::numbers::pi;
constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr int max_newton_steps = 100;

// The t that cheyette_density serves (see the header): below, the exponents of size 1/t
// that cancel in Yor's joint law leave too few digits; above, the node ranges miss a
// growing part of E[A_t], whatever the rules.
constexpr double cheyette_smallest_t = 1e-10;
constexpr double cheyette_largest_t = 3.0;

// A term of the joint law below exp(-760) underflows (the smallest subnormal is exp(-744.4))
// even if theta were e^15 times its expansion, which for t <= 3 is within t/70 of it.
constexpr double cheyette_log_negligible = -760.0;

bool positive_and_finite(double value) { return value > 0.0 && std::isfinite(value); }

// (sinh(sqrt u)/sqrt u - 1)/u = sum u^n / (2n + 3)! and (sqrt u coth sqrt u - 1)/u =
// sum 4^(n+1) B_(2n+2) u^n / (2n + 2)!, for |u| <= 0.6 (both converge like (u/pi^2)^n).
constexpr double sinh_ratio_series[] = {
    0.16666666666666666,    0.008333333333333333,   0.0001984126984126984,
    2.7557319223985893e-06, 2.505210838544172e-08,  1.6059043836821613e-10,
    7.647163731819816e-13,  2.8114572543455206e-15, 8.22063524662433e-18};
constexpr double coth_ratio_series[] = {
    0.3333333333333333,     -0.022222222222222223,  0.0021164021164021165,
    -0.00021164021164021165, 2.1377799155576935e-05, -2.1644042808063972e-06,
    2.1925947851873778e-07, -2.2214608789979678e-08, 2.2507846516808994e-09,
    -2.2805151204592183e-10, 2.3106432599002624e-11, -2.3411706819824882e-12,
    2.3721017400233653e-13};

// The exponent F - pi^2/2 = u/2 - phi(u) and the factor G = sqrt(u / (phi(u) - 1)) of the
// small-t expansion, from the saddle point u(rho).
struct saddle_point
{
    double exponent;
    double factor;
};

// Near rho = 1: u solves u S(u) = q with S the sinh ratio series and q = 1/rho - 1.
saddle_point near_one(double q)
{
    double u = 6.0 * q;
    for (int i = 0; i < max_newton_steps; ++i) {
        double derivative = 0.0;  // of u S(u)
        const double s = details::horner(sinh_ratio_series, u);
        for (int n = std::size(sinh_ratio_series) - 1; n >= 0; --n)
            derivative = derivative * u + (n + 1) * sinh_ratio_series[n];
        const double step = (u * s - q) / derivative;
        u -= step;
        if (std::fabs(step) <= eps * std::fabs(u))
            break;
    }
    const double coth_ratio = details::horner(coth_ratio_series, u);  // (phi - 1) / u
    return {u / 2.0 - 1.0 - u * coth_ratio, 1.0 / std::sqrt(coth_ratio)};
}

// log(sinh z / z) without overflow.
double log_sinh_ratio(double z)
{
    if (z < 20.0)
        return std::log(std::sinh(z) / z);
    return z - std::log(2.0 * z) + std::log1p(-std::exp(-2.0 * z));
}

// rho < 1: u = z^2 with sinh z / z = 1/rho. log(sinh z / z) + log rho is increasing and
// convex, so Newton's method from a start above the zero descends onto it.
saddle_point below_one(double rho)
{
    const double log_rho = std::log(rho);
    const double l = -log_rho;
    // both starts lie above the zero: sinh z / z >= 1 + z^2/6 exceeds 1/rho at the first,
    // e^z (1 - e^{-2z}) / (2z) at the second
    double z = std::fmin(std::sqrt(6.0 * (1.0 - rho) / rho),
                         l + 2.0 * std::log(2.0 * l + 2.0) + 1.0);
    for (int i = 0; i < max_newton_steps; ++i) {
        const double step = (log_sinh_ratio(z) + log_rho) / (1.0 / std::tanh(z) - 1.0 / z);
        z -= step;
        if (std::fabs(step) <= eps * z)
            break;
    }
    const double z_coth = z / std::tanh(z);
    return {0.5 * z * z - z_coth, z / std::sqrt(z_coth - 1.0)};
}

// rho > 1: u = -y^2 with sin y / y = 1/rho, solved for e = pi - y (accurate as y nears pi):
// log((pi - e) / sin e) - log rho is decreasing and convex, so Newton's method from
// e = pi/(rho + 1), below the zero, climbs onto it.
saddle_point above_one(double rho)
{
    const double log_rho = std::log(rho);
    double e = pi / (rho + 1.0);
    for (int i = 0; i < max_newton_steps; ++i) {
        const double h = std::log((pi - e) / std::sin(e)) - log_rho;
        const double step = h / (-1.0 / (pi - e) - 1.0 / std::tan(e));
        e -= step;
        if (std::fabs(step) <= eps * e)
            break;
    }
    const double y = pi - e;
    const double minus_y_cot_y = y / std::tan(e);  // cot(pi - e) = -cot e
    return {-0.5 * y * y + minus_y_cot_y, y / std::sqrt(1.0 + minus_y_cot_y)};
}

saddle_point saddle(double rho)
{
    const double q = (1.0 - rho) / rho;
    if (std::fabs(q) <= 0.08)
        return near_one(q);
    return rho < 1.0 ? below_one(rho) : above_one(rho);
}

// Yor's integral for theta(r, t), with its integrand's envelope
// exp(-xi^2/(2t) - r (cosh xi - 1)) sinh xi, which peaks once and then decays.
class yor_integral
{
public:
    yor_integral(double r, double t) : r_(r), t_(t)
    {
        // the peak solves coth xi = xi/t + r sinh xi (left side decreasing, right increasing)
        const auto slope = [&](double xi) {
            return 1.0 / std::tanh(xi) - xi / t_ - r_ * std::sinh(xi);
        };
        peak_ = bisect(slope, 0.0, 1.0);
        const double target = log_envelope(peak_) - 40.0;
        limit_ = bisect([&](double xi) { return log_envelope(xi) - target; }, peak_,
                        2.0 * peak_ + 1.0);
    }

    // log of the integral's absolute error in units of eps: the size of the terms it sums
    // (prefactor included) times the relative error of each term, which grows with its phase
    // pi xi / t and its exponent xi^2 / (2t). Checked against 150-digit values of theta: an
    // upper bound, by a factor up to 10.
    double log_error_in_eps() const
    {
        const double condition = 1.0 + pi * limit_ / t_ + limit_ * limit_ / (2.0 * t_);
        return std::log(r_ * limit_ * condition) - 0.5 * std::log(2.0 * pi * pi * pi * t_) +
               pi * pi / (2.0 * t_) - r_ + log_envelope(peak_);
    }

    // The integral by the rule for [-1, 1] mapped onto [0, limit], times exp(log_factor).
    double value(const vector<double>& roots, const vector<double>& weights,
                 double log_factor = 0.0) const
    {
        const double half = 0.5 * limit_;
        double sum = 0.0;
        for (std::size_t i = 0; i < roots.size(); ++i)
            sum += weights[i] * integrand(half * (1.0 + roots[i]));
        if (sum == 0.0)
            return 0.0;
        // r / sqrt(2 pi^3 t) exp(pi^2/(2t) - r + log_factor) half sum, without an overflowing
        // or underflowing intermediate
        const double log_size = log_factor + pi * pi / (2.0 * t_) - r_ +
                                std::log(r_ * half * std::fabs(sum)) -
                                0.5 * std::log(2.0 * pi * pi * pi * t_);
        return std::copysign(std::exp(log_size), sum);
    }

private:
    double log_envelope(double xi) const
    {
        const double s = std::sinh(0.5 * xi);  // cosh xi - 1 = 2 sinh^2(xi/2)
        return -xi * xi / (2.0 * t_) - 2.0 * r_ * s * s + std::log(std::sinh(xi));
    }

    double integrand(double xi) const
    {
        const double s = std::sinh(0.5 * xi);
        return std::exp(-xi * xi / (2.0 * t_) - 2.0 * r_ * s * s) * std::sinh(xi) *
               std::sin(pi * xi / t_);
    }

    // The zero of a function decreasing through it, right of `lower`; `upper` is doubled until
    // the function is negative there.
    template <class Function>
    static double bisect(const Function& f, double lower, double upper)
    {
        while (f(upper) > 0.0)
            upper *= 2.0;
        for (int i = 0; i < 200 && upper - lower > 4.0 * eps * upper; ++i) {
            const double middle = 0.5 * (lower + upper);
            (f(middle) > 0.0 ? lower : upper) = middle;
        }
        return 0.5 * (lower + upper);
    }

    double r_, t_;
    double peak_ = 0.0, limit_ = 0.0;
};

void check_arguments(const SourceLocation& where, double x, double t)
{
    KORVEX_CHECK_MSG(where, positive_and_finite(x) && positive_and_finite(t), "x = ", x,
                     ", t = ", t);
}

void check_rule(const SourceLocation& where, const vector<double>& roots,
                const vector<double>& weights)
{
    KORVEX_CHECK_MSG(where, roots.size() == weights.size(), "roots has ", roots.size(),
                     " elements, weights ", weights.size());
}

double log_asymptotic(double x, double t)
{
    const double rho = x * t;
    if (rho == 0.0 || std::isinf(rho))
        return -std::numeric_limits<double>::infinity();
    const saddle_point s = saddle(rho);
    return -std::log(2.0 * pi * t) - s.exponent / t + std::log(s.factor);
}

// theta by `type`. MIXTURE takes the integral where its estimated relative error,
// eps exp(log_error_in_eps) / theta, is at most exp(max_bound) eps times the expansion's,
// about t/70 (theta estimated by the expansion; max_bound = log(1/eps) = 36 is the balance).
// The result is multiplied by exp(log_factor), added to the logarithm of theta or of the
// integral's size, so that a tiny factor and a huge theta do not meet as 0 times infinity.
// MIXTURE gives 0 at once, without the integral's cost, where the expansion puts the result
// below exp(log_negligible).
double theta(double x, double t, const vector<double>& roots, const vector<double>& weights,
             hartman_watson_distribution_type type, double max_bound, double log_factor = 0.0,
             double log_negligible = -std::numeric_limits<double>::infinity())
{
    if (type == FULLY_ASYMPTOTIC)
        return std::exp(log_factor + log_asymptotic(x, t));
    if (type == NUMERICAL_INTEGRAL)
        return yor_integral(x, t).value(roots, weights, log_factor);
    const double log_theta = log_asymptotic(x, t);
    if (log_factor + log_theta < log_negligible)
        return 0.0;
    const yor_integral integral(x, t);
    if (integral.log_error_in_eps() - log_theta + std::log(70.0 / t) <= max_bound)
        return integral.value(roots, weights, log_factor);
    return std::exp(log_factor + log_theta);
}

// The log-mean and log-variance of the lognormal law with the first two moments of
// A_t = integral_0^t exp(2 W_s - s) ds: E[A_t] = e^t - 1 and
// E[A_t^2] = 2/5 ((e^{6t} - 1)/6 - (e^t - 1)), so E[A_t^2] / E[A_t]^2 = 1 + 4t/3 + 5t^2/3 + ...
// for small t and e^{4t} / 15 for large t.
struct lognormal_match
{
    double log_mean, log_variance;
};

lognormal_match match_integrated_variance(double t)
{
    double log_variance;
    if (t < 1e-4) {
        log_variance = std::log1p(t * (4.0 / 3.0 + t * 5.0 / 3.0));
    } else if (t < 30.0) {
        const double mean = std::expm1(t);
        log_variance = std::log(0.4 * (std::expm1(6.0 * t) / 6.0 - mean) / (mean * mean));
    } else {
        log_variance = 4.0 * t - std::log(15.0);
    }
    const double log_first_moment = t < 30.0 ? std::log(std::expm1(t)) : t;
    return {log_first_moment - 0.5 * log_variance, log_variance};
}

}  // namespace

double hartman_watson_distribution::log_distribution_asymptotique(double x, double t)
{
    check_arguments(here("log_distribution_asymptotique", __LINE__), x, t);
    return log_asymptotic(x, t);
}

double hartman_watson_distribution::distribution_numerical(const double x, const double t,
                                                           const vector<double>& roots,
                                                           const vector<double>& weights)
{
    check_arguments(here("distribution_numerical", __LINE__), x, t);
    check_rule(here("distribution_numerical", __LINE__), roots, weights);
    return yor_integral(x, t).value(roots, weights);
}

void hartman_watson_distribution::distribution(vector<double>& results, double t,
                                               const vector<double>& x,
                                               const vector<double>& roots,
                                               const vector<double>& weights,
                                               hartman_watson_distribution_type type,
                                               double max_bound)
{
    KORVEX_CHECK_MSG(here("distribution", __LINE__),
                     type == FULLY_ASYMPTOTIC || type == NUMERICAL_INTEGRAL || type == MIXTURE,
                     "type = ", static_cast<int>(type));
    KORVEX_CHECK_MSG(here("distribution", __LINE__), !std::isnan(max_bound),
                     "max_bound = ", max_bound);
    check_rule(here("distribution", __LINE__), roots, weights);
    details::check_output(here("distribution", __LINE__), results, x.size(), "results");
    std::vector<double> values(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        check_arguments(here("distribution", __LINE__), x[i], t);
        values[i] = theta(x[i], t, roots, weights, type, max_bound);
    }
    details::assign_output(results, values);
}

void hartman_watson_distribution::cheyette_density(vector<double>& density, vector<double>& U,
                                                   double t, const vector<double>& roots,
                                                   const vector<double>& weights,
                                                   const vector<double>& hartman_watson_roots,
                                                   const vector<double>& hartman_watson_weights)
{
    KORVEX_CHECK_MSG(here("cheyette_density", __LINE__), positive_and_finite(t), "t = ", t);
    if (t < cheyette_smallest_t)
        details::check_fail(here("cheyette_density", __LINE__),
                            details::concat("t = ", t, " is below ", cheyette_smallest_t,
                                            ", where the terms of size 1/t that cancel in the "
                                            "joint law leave fewer than six digits"));
    if (t > cheyette_largest_t)
        details::check_fail(here("cheyette_density", __LINE__),
                            details::concat("t = ", t, " is above ", cheyette_largest_t,
                                            ", where the nodes miss more than 1e-6 of E[A_t], "
                                            "whatever the rules"));
    check_rule(here("cheyette_density", __LINE__), roots, weights);
    check_rule(here("cheyette_density", __LINE__), hartman_watson_roots, hartman_watson_weights);
    const std::size_t n = roots.size();
    details::check_output(here("cheyette_density", __LINE__), density, n, "density");
    details::check_output(here("cheyette_density", __LINE__), U, n, "U");
    KORVEX_CHECK(here("cheyette_density", __LINE__), !details::share_memory(density, U, n));

    const lognormal_match lognormal = match_integrated_variance(t);
    const double u_half_width = 8.0 * std::sqrt(lognormal.log_variance);
    const double x_half_width = 8.0 * std::sqrt(t);
    std::vector<double> nodes(n), probabilities(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double u = std::exp(lognormal.log_mean + u_half_width * roots[i]);
        double integral = 0.0;  // u p(u) = integral of the joint density in x
        for (std::size_t j = 0; j < n; ++j) {
            const double x = -0.5 * t + x_half_width * roots[j];
            const double r = std::exp(x) / u;
            const double log_factor = -0.5 * x - t / 8.0 - (1.0 + std::exp(2.0 * x)) / (2.0 * u);
            if (positive_and_finite(r))
                integral += weights[j] * theta(r, t, hartman_watson_roots, hartman_watson_weights,
                                               MIXTURE, HARTMAN_WATSON_DISTRIBUTION_MAX_BOUND,
                                               log_factor, cheyette_log_negligible);
        }
        nodes[i] = u;
        probabilities[i] = u_half_width * weights[i] * x_half_width * integral;
    }
    details::assign_output(density, probabilities);
    details::assign_output(U, nodes);
}

}  // namespace korvex
