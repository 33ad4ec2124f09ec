#include "util/black_scholes.h"

#include <algorithm>
#include <cfloat>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <type_traits>

#include "math/error_function.h"
#include "math/normal_distribution.h"
#include "util/analytics_common.h"

// Notation (Jaeckel, "Let's Be Rational", Wilmott 2015): x = ln(F/K), s = sigma sqrt(T),
// h = x / s, t = s / 2. The normalised price of a call is
//     b(x, s) = exp(x/2) N(h + t) - exp(-x/2) N(h - t),
// the price divided by A sqrt(F K). Every option is reduced to its intrinsic value plus
// an out-of-the-money call, x <= 0, whose normalised price lies in [0, exp(x/2)).
// With Y = N/n (normal_distribution::cdf_over_density),
//     b = n(0) exp(-(h^2 + t^2)/2) (Y(h + t) - Y(h - t)),   b' = db/ds = n(0) exp(-(h^2 + t^2)/2).

namespace korvex {

namespace {

constexpr const char* source_file = "Foundation/util/black_scholes";
constexpr SourceLocation here(const char* function, int line) { return {function, source_file, line}; }

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double inverse_sqrt_two_pi = 0.39894228040143267794;
constexpr double two_pi = 6.28318530717958647693;
constexpr double sqrt_three = 1.73205080756887729353;
constexpr double sqrt_one_third = 0.57735026918962576451;
constexpr double two_pi_over_sqrt_27 = 1.20919957615614523458;  // 2 pi / sqrt(27)
constexpr double pi_over_six = 0.52359877559829887308;
constexpr double sqrt_half_pi = 1.25331413731550025121;

// Below h = -10 (with h + t below -10 + small_t) the asymptotic series of Y converges to
// full precision in a few terms; below t = 2 eps^(1/16) the Taylor series in t does.
constexpr double asymptotic_threshold = -10.0;
constexpr double small_t_threshold = 0.21022410381342863;

// The rational cubic control parameter that gives a straight line, and the smallest one
// that keeps the interpolant free of poles.
constexpr double linear_control = 2.0 / (eps * eps);
constexpr double smallest_control = -(1.0 - 1.4901161193847656e-08);  // -(1 - sqrt(eps))

double Y(double z) { return normal_distribution::cdf_over_density(z); }

// exp(-(h^2 + t^2)/2) for h = x / s, t = s / 2, as accurate as exp itself: the rounding of
// h, of both squares and of their sum is carried separately and added back, since an
// exponent of size E turns an absolute error d into a relative error E d.
double gaussian_factor(double x, double s)
{
    const double h = x / s, t = 0.5 * s;
    const double hh = h * h, tt = t * t;
    const double sum = hh + tt;
    if (!(sum < 1500.0))
        return 0.0;
    const double h_rest = std::fma(-h, s, x) / s;  // x / s - h
    const double hh_rest = std::fma(h, h, -hh) + 2.0 * h * h_rest;
    const double tt_rest = std::fma(t, t, -tt);
    const double sum_rest = hh >= tt ? (hh - sum) + tt : (tt - sum) + hh;
    const double e = std::exp(-0.5 * sum);
    return std::fma(e, -0.5 * (sum_rest + hh_rest + tt_rest), e);
}

// Y(h + t) - Y(h - t) for h < -10 and h + t < -10 + small_t, from the asymptotic series
// Y(z) ~ -1/z sum_k (-1)^k (2k-1)!! z^(-2k) differenced term by term in closed form, so that
// nothing cancels: (2t / r) sum_k (-1)^k (2k-1)!! q^k P_k(e), r = h^2 - t^2, q = h^2 / r^2,
// e = t^2 / h^2 and P_k(e) = sum_m C(2k+1, 2m+1) e^m. With E = sqrt(e), D_n = ((1+E)^n -
// (1-E)^n) / (2E) and S_n = ((1+E)^n + (1-E)^n) / 2 follow D_n+1 = D_n + S_n, S_n+1 = S_n +
// e D_n (sums of positive terms), and P_k = D_2k+1.
double asymptotic_difference(double h, double t)
{
    const double e = (t / h) * (t / h);
    const double r = (h + t) * (h - t);
    const double q = (h / r) * (h / r);
    double d = 1.0, s = 1.0;  // D_1, S_1
    double term = 1.0, sum = 1.0;
    for (int k = 1; k < 64; ++k) {
        const double d_next = d + s, s_next = s + e * d;
        d = d_next + s_next;
        s = s_next + e * d_next;
        term *= -(2.0 * k - 1.0) * q;
        const double contribution = term * d;
        sum += contribution;
        if (std::fabs(contribution) <= 0.125 * eps * sum)
            break;
    }
    return 2.0 * t / r * sum;
}

// Y(h + t) - Y(h - t) for t < small_t and -10 <= h <= 0: the Taylor series
// 2 sum over odd k of t^k / k! Y^(k)(h), whose odd derivatives are polynomials in h^2 and
// a = Y'(h) = 1 + h Y(h); seven terms reach full precision.
[[gnu::always_inline]] inline double small_t_difference(double h, double t, double y_of_h)
{
    const double a = 1.0 + h * y_of_h, w = t * t, h2 = h * h;
    // Products by the reciprocals of the factorials, not divisions (eight times the cost on
    // vectors): the terms after `a` are below t^2 < 0.045 of it, their last bits do not count.
    const double y3 = (-1.0 + 3.0 * a + a * h2) * (1.0 / 6.0);
    const double y5 = (-7.0 + 15.0 * a + h2 * (-1.0 + 10.0 * a + a * h2)) * (1.0 / 120.0);
    const double y7 =
        (-57.0 + 105.0 * a + h2 * (-18.0 + 105.0 * a + h2 * (-1.0 + 21.0 * a + a * h2))) * (1.0 / 5040.0);
    const double y9 = (-561.0 + 945.0 * a +
                       h2 * (-285.0 + 1260.0 * a + h2 * (-33.0 + 378.0 * a + h2 * (-1.0 + 36.0 * a + a * h2)))) *
                      (1.0 / 362880.0);
    const double y11 =
        (-6555.0 + 10395.0 * a +
         h2 * (-4680.0 + 17325.0 * a +
               h2 * (-840.0 + 6930.0 * a + h2 * (-52.0 + 990.0 * a + h2 * (-1.0 + 55.0 * a + a * h2))))) *
        (1.0 / 39916800.0);
    const double y13 =
        (-89055.0 + 135135.0 * a +
         h2 * (-82845.0 + 270270.0 * a +
               h2 * (-20370.0 + 135135.0 * a +
                     h2 * (-1926.0 + 25740.0 * a + h2 * (-75.0 + 2145.0 * a + h2 * (-1.0 + 78.0 * a + a * h2)))))) *
        (1.0 / 6227020800.0);
    return 2.0 * t * (a + w * (y3 + w * (y5 + w * (y7 + w * (y9 + w * (y11 + w * y13))))));
}

// Normalised price b and vega b' = db/ds of the out-of-the-money call.
struct normalised_call
{
    double value;
    double vega;
};

// x <= 0, s > 0, b_max = exp(x/2) (or 0, and it is computed where it is needed).
// Jaeckel's four regions: the asymptotic series far out of the money, the Taylor series for
// small t, the complement b_max - n(0) exp(-(h^2 + t^2)/2) (Y(-h-t) + Y(h-t)) where
// h + t > 0.85 (b is then at least 80% of b_max, and both values of Y are taken at negative
// arguments, where they need no exponential), and the Y form elsewhere. `gap`, when given
// (with b_max), receives b_max - b, without cancellation where b nears b_max.
normalised_call otm_call(double x, double s, double b_max, double* gap = nullptr)
{
    double value = 0.0, vega = 0.0;
    if (s == std::numeric_limits<double>::infinity()) {
        value = b_max > 0.0 ? b_max : std::exp(0.5 * x);
    } else {
        vega = inverse_sqrt_two_pi * gaussian_factor(x, s);
        const double h = x / s, t = 0.5 * s;
        if (x < s * asymptotic_threshold && 0.5 * s * s + x < s * (small_t_threshold + asymptotic_threshold)) {
            value = vega * asymptotic_difference(h, t);
        } else if (t < small_t_threshold) {
            value = vega * small_t_difference(h, t, Y(h));
        } else if (h + t > 0.85) {
            const double complement = vega * (Y(-h - t) + Y(h - t));
            if (gap != nullptr)
                *gap = complement;
            return {(b_max > 0.0 ? b_max : std::exp(0.5 * x)) - complement, vega};
        } else {
            value = vega * (Y(h + t) - Y(h - t));
        }
    }
    if (gap != nullptr)
        *gap = b_max - value;
    return {value, vega};
}

// ---------------------------------------------------------------------------------------
// Rational cubic interpolation (Delbourgo and Gregory 1985) with Jaeckel's choice of the
// control parameter r: the interpolant of (x_l, y_l) and (x_r, y_r) with slopes d_l and
// d_r, convex or concave as the data, matching a second derivative at one end where it can.

// Selects rather than branches, here and below, so that loops over options that call these
// vectorise.
inline double rational_cubic(double x, double x_l, double x_r, double y_l, double y_r, double d_l, double d_r,
                             double r)
{
    const double h = x_r - x_l, t = (x - x_l) / h;
    const double omt = 1.0 - t, t2 = t * t, omt2 = omt * omt;
    const double cubic = (y_r * t2 * t + (r * y_r - h * d_r) * t2 * omt + (r * y_l + h * d_l) * t * omt2 +
                          y_l * omt2 * omt) /
                         (1.0 + (r - 3.0) * t * omt);
    const double curve = r >= linear_control ? y_r * t + y_l * (1.0 - t) : cubic;
    return std::fabs(h) <= 0.0 ? 0.5 * (y_l + y_r) : curve;
}

inline bool is_zero(double value) { return std::fabs(value) < DBL_MIN; }

// std::max by value: a select of two values, where std::max's select of two addresses keeps
// loops from vectorising.
inline double larger(double a, double b) { return a < b ? b : a; }

// The smallest r that keeps the interpolant monotone and convex (or concave) where the
// data allow it.
inline double minimum_control(double d_l, double d_r, double slope, bool prefer_shape)
{
    const bool monotonic = (d_l * slope >= 0.0) & (d_r * slope >= 0.0);
    const bool convex = (d_l <= slope) & (slope <= d_r);
    const bool concave = (d_l >= slope) & (slope >= d_r);
    const bool shaped = convex | concave;
    const double r1_otherwise = monotonic & prefer_shape ? linear_control : -DBL_MAX;
    const double r1 = monotonic & !is_zero(slope) ? (d_r + d_l) / slope : r1_otherwise;
    const double slope_less_left = slope - d_l, right_less_slope = d_r - slope;
    const double r2_otherwise = prefer_shape & (shaped | monotonic) ? linear_control : -DBL_MAX;
    const double r2 = shaped & !(is_zero(slope_less_left) | is_zero(right_less_slope))
                          ? larger(std::fabs((d_r - d_l) / right_less_slope),
                                     std::fabs((d_r - d_l) / slope_less_left))
                          : r2_otherwise;
    return monotonic | shaped ? larger(smallest_control, larger(r1, r2)) : smallest_control;
}

// r such that the interpolant has the second derivative `curvature` at its left end (or
// its right end), raised to the minimum that keeps its shape.
enum class end_of_interval
{
    left,
    right
};

inline double control_for_curvature(end_of_interval end, double x_l, double x_r, double y_l, double y_r, double d_l,
                                    double d_r, double curvature, bool prefer_shape)
{
    const double h = x_r - x_l, slope = (y_r - y_l) / h;
    const double numerator = 0.5 * h * curvature + (d_r - d_l);
    const double denominator = end == end_of_interval::left ? slope - d_l : d_r - slope;
    const double flat = numerator > 0.0 ? linear_control : smallest_control;
    const double ratio = is_zero(denominator) ? flat : numerator / denominator;
    const double r = is_zero(numerator) ? 0.0 : ratio;
    return larger(r, minimum_control(d_l, d_r, slope, prefer_shape));
}

// ---------------------------------------------------------------------------------------
// The lower map f(s) = 2 pi |x| / sqrt(27) N(-|x| / (sqrt(3) s))^3 behaves like b for small
// s and is inverted in closed form; the upper map f(s) = N(-s/2) likewise near b_max.

struct map_at
{
    double f, df, d2f;  // value and the first two derivatives with respect to b
};

map_at lower_map(double x, double s)
{
    const double ax = std::fabs(x), z = sqrt_one_third * ax / s, y = z * z, s2 = s * s;
    const double ratio = Y(-z);  // N(-z) / n(z)
    const double n_minus_z = normal_distribution::density_function(z) * ratio;
    const double growth = std::exp(y + 0.125 * s2);
    const double d2f = pi_over_six * y / (s2 * s) * n_minus_z *
                       (8.0 * sqrt_three * s * ax + (3.0 * s2 * (s2 - 8.0) - 8.0 * x * x) * ratio) * growth * growth;
    const double n2 = n_minus_z * n_minus_z;
    return {two_pi_over_sqrt_27 * ax * (n2 * n_minus_z), two_pi * y * n2 * growth, d2f};
}

map_at upper_map(double x, double s)
{
    const double w = (x / s) * (x / s);
    const double density = normal_distribution::density_function(0.5 * s);  // n(0) exp(-s^2/8)
    const double half = std::exp(0.5 * w);
    return {density * Y(-0.5 * s), -0.5 * half,
            sqrt_half_pi * half * half * (inverse_sqrt_two_pi / density) * w / s};
}

// ---------------------------------------------------------------------------------------
// Householder steps of order four: s + n (1 + H n / 2) / (1 + n (H + T n / 6)) with the
// Newton step n = -g / g', H = g'' / g' and T = g''' / g' of the objective g.

// `resolution` is the step that the rounding of the price (beta by 2 eps beta) makes in the
// objective's zero, at the current s: a smaller step is noise.
struct step_terms
{
    double newton, halley, third;
    double resolution;
};

double householder_step(const step_terms& g)
{
    return g.newton * (1.0 + 0.5 * g.halley * g.newton) / (1.0 + g.newton * (g.halley + g.third * g.newton / 6.0));
}

// b''/b' and b'''/b', which depend on x and s only.
struct vega_ratios
{
    double second, third;
};

vega_ratios ratios(double x, double s)
{
    const double second = (x / s) * (x / s) / s - 0.25 * s;
    const double x_over_s2 = x / s / s;  // s * s may underflow
    return {second, second * second - 3.0 * x_over_s2 * x_over_s2 - 0.25};
}

// Lowest region, g(s) = 1/ln(b) - 1/ln(beta).
step_terms lower_objective(double x, double s, double ln_beta, const normalised_call& b)
{
    const vega_ratios c = ratios(x, s);
    const double ln_b = std::log(b.value), p = b.vega / b.value;
    const double newton = (ln_beta - ln_b) * ln_b / ln_beta / p;
    const double halley = c.second - p * (1.0 + 2.0 / ln_b);
    const double third = c.third + 2.0 * p * p * (1.0 + 3.0 / ln_b * (1.0 + 1.0 / ln_b)) -
                         3.0 * c.second * p * (1.0 + 2.0 / ln_b);
    const double log_ratio = ln_b / ln_beta;
    return {newton, halley, third, 2.0 * eps / p * log_ratio * log_ratio};
}

// Highest region, g(s) = ln((b_max - beta) / (b_max - b)), from both gaps as computed without
// cancellation: at prices within 1e-9 of the bound, the rounding of b_max alone would move
// the volatility by 1e-7.
step_terms upper_objective(double x, double s, double beta, double beta_gap, const normalised_call& b, double gap)
{
    const vega_ratios c = ratios(x, s);
    const double g = std::log(beta_gap / gap), gp = b.vega / gap;
    return {-g / gp, c.second + gp, c.third + gp * (2.0 * gp + 3.0 * c.second), 2.0 * eps * beta / (beta_gap * gp)};
}

// Middle regions, g(s) = b - beta.
step_terms middle_objective(double x, double s, double beta, const normalised_call& b)
{
    const vega_ratios c = ratios(x, s);
    return {(beta - b.value) / b.vega, c.second, c.third, 2.0 * eps * beta / b.vega};
}

struct stopping_rule
{
    double tolerance;
    int iterations;
};

// A Householder step of order four that changes s by the fraction e leaves an error below
// about this factor times e^4 on the objectives above (at most 1.7e3 measured over the
// test grid), so the step after it would be below tolerance * s once factor * e^4 is.
constexpr double convergence_factor = 1e4;

// Householder steps from s within [left, right], with Jaeckel's safeguards: a step that
// leaves the bracket, or a third reversal of direction, is replaced by bisection, and no
// step shrinks s by more than half. Stops once a step is below tolerance * s or below the
// resolution of the price at that s (smaller steps are rounding noise), or once the next
// step is predicted below tolerance * s.
template <class Objective>
double refine(double x, double b_max, double beta, double s, double left, double right, const stopping_rule& rule,
              const Objective& objective)
{
    double ds = 0.0, ds_previous = 0.0;
    int reversals = 0;
    for (int n = 0; n < rule.iterations; ++n) {
        if (ds * ds_previous < 0.0)
            ++reversals;
        if (n > 0 && (reversals == 3 || !(s > left && s < right))) {
            s = 0.5 * (left + right);
            if (right - left <= eps * s)
                break;
            reversals = 0;
            ds = 0.0;
        }
        ds_previous = ds;
        double gap = 0.0;
        const normalised_call b = otm_call(x, s, b_max, &gap);
        if (b.value > beta && s < right)
            right = s;
        else if (b.value < beta && s > left)
            left = s;
        double resolution = 0.0;
        if (b.value <= 0.0 || b.vega <= 0.0) {
            ds = 0.5 * (left + right) - s;  // underflow: bisect
        } else {
            const step_terms terms = objective(s, b, gap);
            ds = householder_step(terms);
            resolution = terms.resolution;
            if (!std::isfinite(ds))
                ds = 0.5 * (left + right) - s;  // overflow in the step's terms: bisect
        }
        ds = std::max(-0.5 * s, ds);
        s += ds;
        const double change = std::fabs(ds) / s;
        if (change <= rule.tolerance || std::fabs(ds) <= resolution ||
            convergence_factor * (change * change) * (change * change) <= rule.tolerance)
            break;
    }
    return s;
}

// Where the iteration starts: s, the bracket [left, right] known to hold the root, and the
// objective of the region.
enum class objective_kind
{
    lower,
    middle,
    upper
};

struct iteration_start
{
    double s, left, right;
    objective_kind kind;
};

// The initial guess evaluates b at the centre s_c = sqrt(2 |x|) (the inflection point of b)
// and then at one more point: s_l below the centre, s_h above it.
double centre_point(double x) { return std::sqrt(std::fabs(2.0 * x)); }

// Both sides computed and one selected, so that the loop over options that calls it vectorises.
inline double second_point(double beta, double b_max, double s_c, const normalised_call& centre)
{
    const double below = s_c - centre.value / centre.vega;
    const double above = centre.vega > DBL_MIN ? s_c + (b_max - centre.value) / centre.vega : s_c;
    return beta < centre.value ? below : above;
}

// Where the initial guess interpolates: through the lower map below b_l, through the upper
// map above b_h, in s itself between them. As numbers chosen by selects, so that the loops
// over options vectorise and do not branch on the regions, which follow no pattern.
constexpr double lower_map_region = 0.0, middle_region = 1.0, upper_map_region = 2.0;

inline double region_of(double beta, double b_c, double b_2)
{
    const double below_centre = beta < b_2 ? lower_map_region : middle_region;
    const double above_centre = beta <= b_2 ? middle_region : upper_map_region;
    return beta < b_c ? below_centre : above_centre;
}

// Jaeckel's rational guess in the middle regions: in s directly, between the centre and the
// second point s_2 = second_point(...) on the side of beta.
inline double middle_guess(double beta, double s_c, const normalised_call& centre, double s_2,
                           const normalised_call& second)
{
    const bool below = beta < centre.value;
    const double inverse_v_c = 1.0 / centre.vega, inverse_v_2 = 1.0 / second.vega;
    const double x_l = below ? second.value : centre.value, x_r = below ? centre.value : second.value;
    const double y_l = below ? s_2 : s_c, y_r = below ? s_c : s_2;
    const double d_l = below ? inverse_v_2 : inverse_v_c, d_r = below ? inverse_v_c : inverse_v_2;
    const end_of_interval end = below ? end_of_interval::right : end_of_interval::left;
    const double r = control_for_curvature(end, x_l, x_r, y_l, y_r, d_l, d_r, 0.0, false);
    return rational_cubic(beta, x_l, x_r, y_l, y_r, d_l, d_r, r);
}

// Jaeckel's rational guesses through the maps above from b_2 = b(s_2) and the map's value,
// slope and curvature there (f, df, d2f): the value of the lower map at beta (s_2 = s_l below
// the centre) and that of the upper map (s_2 = s_h above it), which invert_maps() turns into
// s. Selects rather than branches, as above.
inline double lower_map_guess(double beta, double b_2, double f, double df, double d2f)
{
    const double r = control_for_curvature(end_of_interval::right, 0.0, b_2, 0.0, f, 1.0, df, d2f, true);
    const double cubic = rational_cubic(beta, 0.0, b_2, 0.0, f, 1.0, df, r);
    const double u = beta / b_2;
    return cubic > 0.0 ? cubic : (f * u + b_2 * (1.0 - u)) * u;  // rounding for extreme |x|
}

inline double upper_map_guess(double beta, double b_max, double b_2, double f, double df, double d2f)
{
    const double r = control_for_curvature(end_of_interval::left, b_2, b_max, f, 0.0, df, -0.5, d2f, true);
    const double curve = rational_cubic(beta, b_2, b_max, f, 0.0, df, -0.5, r);  // always: no branch
    const double cubic = std::fabs(d2f) < 1e150 ? curve : 0.0;
    const double h = b_max - b_2, u = (beta - b_2) / h;
    return cubic <= 0.0 ? (f * (1.0 - u) + 0.5 * h * u) * (1.0 - u) : cubic;
}

// The Householder steps from `start`, on the objective of its region.
double refine_from(const iteration_start& start, double x, double b_max, double beta, double beta_gap,
                   const stopping_rule& rule)
{
    switch (start.kind) {
    case objective_kind::lower: {
        const double ln_beta = std::log(beta);
        return refine(x, b_max, beta, start.s, start.left, start.right, rule,
                      [&](double s, const normalised_call& b, double) { return lower_objective(x, s, ln_beta, b); });
    }
    case objective_kind::upper:
        return refine(x, b_max, beta, start.s, start.left, start.right, rule,
                      [&](double s, const normalised_call& b, double gap) {
                          return upper_objective(x, s, beta, beta_gap, b, gap);
                      });
    case objective_kind::middle: break;
    }
    return refine(x, b_max, beta, start.s, start.left, start.right, rule,
                  [&](double s, const normalised_call& b, double) { return middle_objective(x, s, beta, b); });
}

// ---------------------------------------------------------------------------------------
// Many options at once: the same algorithm, with the evaluations of b and the Householder
// steps as loops over the options of a block ("lanes") that the compiler vectorises. They
// need exp and log in forms it can vectorise: below, to about one unit in the last place.

constexpr std::size_t lane_block = 128;

// a * b + c, rounded once where the machine has fused multiply-adds, twice otherwise: the
// file is compiled without contraction, so that vectorised loops and their scalar remainders
// round alike, and fuses here explicitly.
inline double multiply_add(double a, double b, double c)
{
#ifdef __FMA__
    return std::fma(a, b, c);
#else
    return a * b + c;
#endif
}

// ln 2 in two parts (Cody and Waite), the first with trailing zeros, so that k ln2_high is
// exact for the integers k of exp_lane and log_lane.
constexpr double ln2_high = 6.93147180369123816490e-01, ln2_low = 1.90821492927058770002e-10;

// exp(a) for |a| <= 708: a = k ln 2 + r with |r| <= ln(2)/2 (Cody and Waite's two-part
// ln 2, the first part exact in k ln2_high), Taylor's polynomial of degree 13 in r (its
// remainder is below 5e-18), and 2^k set in the exponent bits. At most 0.8 ulp.
inline double exp_lane(double a)
{
    constexpr double log2_e = 1.4426950408889634074;
    constexpr double shifter = 0x1.8p52;  // adding it rounds to an integer, held in the low bits
    const double shifted = a * log2_e + shifter;
    const double k = shifted - shifter;
    const double r = (a - k * ln2_high) - k * ln2_low;
    constexpr double inverse_factorials[14] = {1.0,
                                               1.0,
                                               1.0 / 2.0,
                                               1.0 / 6.0,
                                               1.0 / 24.0,
                                               1.0 / 120.0,
                                               1.0 / 720.0,
                                               1.0 / 5040.0,
                                               1.0 / 40320.0,
                                               1.0 / 362880.0,
                                               1.0 / 3628800.0,
                                               1.0 / 39916800.0,
                                               1.0 / 479001600.0,
                                               1.0 / 6227020800.0};
    double p = inverse_factorials[13];
#pragma GCC unroll 13  // unrolled, so that the loops over options that call it vectorise
    for (int i = 12; i >= 0; --i)
        p = multiply_add(p, r, inverse_factorials[i]);
    const std::uint64_t k_bits = std::bit_cast<std::uint64_t>(shifted);  // k in its low bits
    return p * std::bit_cast<double>((k_bits + 1023u) << 52);
}

// y = 2^k m with sqrt(1/2) <= m < sqrt(2), for positive normal y.
struct log_reduction
{
    double m, k;
};

inline log_reduction reduce_for_log(double y)
{
    constexpr std::uint64_t sqrt_half_bits = 0x3fe6a09e667f3bcd;
    constexpr std::uint64_t one_bits = 0x3ff0000000000000;
    constexpr std::uint64_t mantissa = 0x000fffffffffffff;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(y) + (one_bits - sqrt_half_bits);
    // The biased exponent k + 1023 as a double, through the bits of 2^52 + it.
    return {std::bit_cast<double>((bits & mantissa) + sqrt_half_bits),
            std::bit_cast<double>((bits >> 52) | 0x4330000000000000) - (0x1p52 + 1023.0)};
}

// q(f^2) = 1/3 + f^2/5 + ... + f^20/23, so that 2 atanh(f) = 2 f (1 + f^2 q) for |f| <= 0.1716.
inline double atanh_series(double f2)
{
    double q = 1.0 / 23.0;
#pragma GCC unroll 10  // as in exp_lane
    for (int n = 21; n >= 3; n -= 2)
        q = multiply_add(q, f2, 1.0 / n);
    return q;
}

// log(y) for positive normal y: log(m) = 2 atanh(f), f = (m - 1) / (m + 1), |f| <= 0.1716, by
// its series to f^23. At most 3 ulp (2.9 measured against long double).
inline double log_lane(double y)
{
    const auto [m, k] = reduce_for_log(y);
    const double f = (m - 1.0) / (m + 1.0), f2 = f * f;
    return k * ln2_high + (k * ln2_low + 2.0 * f * (1.0 + f2 * atanh_series(f2)));
}

// The rounding error of sum = a + b: a + b - sum exactly (Knuth's two-sum; the file is
// compiled without contraction, which would break it).
inline double sum_rest(double a, double b, double sum)
{
    const double b_part = sum - a;
    return (a - (sum - b_part)) + (b - b_part);
}

// log(y) for positive normal y to about half an ulp beyond the rounding of the result: as
// log_lane, with the rounding errors of m + 1, of f = (m - 1) / (m + 1) and of the leading
// sum carried and added back (an error of f is one of 2 f, the leading term where k = 0).
inline double accurate_log_lane(double y)
{
    const auto [m, k] = reduce_for_log(y);
    const double below = m - 1.0, above = m + 1.0;  // m - 1 is exact
    const double above_rest = sum_rest(m, 1.0, above);
    const double f = below / above, f2 = f * f;
    const double f_rest = (std::fma(-f, above, below) - f * above_rest) / above;  // (m - 1) / (m + 1) - f
    const double whole = k * ln2_high;  // exact: ln2_high ends in zeros
    const double leading = whole + 2.0 * f;
    return leading +
           (sum_rest(whole, 2.0 * f, leading) + k * ln2_low + 2.0 * f_rest + 2.0 * f * (f2 * atanh_series(f2)));
}

// v^(1/3) for positive normal v, to a few ulp: exp(ln(v) / 3) (whose rounding of ln(v) / 3
// leaves an error up to 6e-14), then one of Halley's steps, which triples the digits.
inline double cube_root_lane(double v)
{
    const double y = exp_lane(log_lane(v) * (1.0 / 3.0)), y3 = y * y * y;
    return y * (y3 + 2.0 * v) / (2.0 * y3 + v);
}

// gaussian_factor with exp_lane; `valid` is false where exp_lane's range does not hold.
inline double gaussian_factor_lane(double x, double s, bool& valid)
{
    const double h = x / s, t = 0.5 * s;
    const double hh = h * h, tt = t * t;
    const double sum = hh + tt;
    valid = sum < 1400.0;
    const double h_rest = std::fma(-h, s, x) / s;
    const double hh_rest = std::fma(h, h, -hh) + 2.0 * h * h_rest;
    const double tt_rest = std::fma(t, t, -tt);
    const double sum_rest = hh >= tt ? (hh - sum) + tt : (tt - sum) + hh;
    const double e = exp_lane(valid ? -0.5 * sum : 0.0);
    return std::fma(e, -0.5 * (sum_rest + hh_rest + tt_rest), e);
}

// The lanes of a block: the option's x, b_max and the point s where b is wanted; b, b' and
// b_max - b come back.
struct lanes
{
    std::size_t count = 0;
    double x[lane_block], b_max[lane_block], s[lane_block];
    double value[lane_block], vega[lane_block], gap[lane_block];
    double erfcx_arguments[2 * lane_block];  // the work space of evaluate()
};

// otm_call(x, s, b_max, &gap) for every lane. The regions of the Taylor series in t, of the
// complement and of the Y form, which need Y only through erfcx of non-negative arguments
// (and exp), run as loops; the asymptotic series, underflows and points that are not
// positive take otm_call itself.
void evaluate(lanes& l)
{
    constexpr double inverse_sqrt_two = 0.70710678118654752440;
    constexpr double sqrt_two_pi = 2.50662827463100050242;
    const std::size_t n = l.count;
    double* u = l.erfcx_arguments;
    bool scalar[lane_block];
    for (std::size_t i = 0; i < n; ++i) {
        const double x = l.x[i], s = l.s[i];
        const double h = x / s, t = 0.5 * s;
        bool valid = true;
        l.vega[i] = inverse_sqrt_two_pi * gaussian_factor_lane(x, s, valid);
        // Bitwise operators: no branches in the loop.
        const bool asymptotic = (x < s * asymptotic_threshold) &
                                (0.5 * s * s + x < s * (small_t_threshold + asymptotic_threshold));
        scalar[i] = !valid | asymptotic | !(s > 0.0) | !(s < DBL_MAX) | !(l.b_max[i] > 0.0);
        // Y(h) for the Taylor series in t; Y(-|h + t|) and Y(h - t) for the other regions.
        u[i] = (t < small_t_threshold ? -h : std::fabs(h + t)) * inverse_sqrt_two;
        u[n + i] = (t - h) * inverse_sqrt_two;
    }
    error_function::erfcx(2 * n, u, u);
    for (std::size_t i = 0; i < n; ++i) {
        const double h = l.x[i] / l.s[i], t = 0.5 * l.s[i], z = h + t;
        const double y_of_minus_abs_z = sqrt_half_pi * u[i];  // Y(-|h + t|), or Y(h) at small t
        const double y_of_h_minus_t = sqrt_half_pi * u[n + i];
        // Y(z) for 0 < z <= 0.85: sqrt(2 pi) exp(z^2/2) - Y(-z), exp(z^2/2) as exponential_of_square.
        const double zp = z > 0.0 ? z : 0.0, zz = zp * zp;
        const double e = exp_lane(0.5 * zz);
        const double y_of_z =
            z > 0.0 ? sqrt_two_pi * std::fma(e, 0.5 * std::fma(zp, zp, -zz), e) - y_of_minus_abs_z : y_of_minus_abs_z;
        const double vega = l.vega[i];
        const double complement = vega * (y_of_minus_abs_z + y_of_h_minus_t);
        const double y_form = vega * (y_of_z - y_of_h_minus_t);
        const double series = vega * small_t_difference(h, t, y_of_minus_abs_z);
        const bool small_t = t < small_t_threshold, near_bound = z > 0.85;
        // One condition per select: nested ones become branches.
        const double outside_series = near_bound ? l.b_max[i] - complement : y_form;
        const double value = small_t ? series : outside_series;
        const double gap_outside_series = near_bound ? complement : l.b_max[i] - value;
        l.value[i] = value;
        l.gap[i] = small_t ? l.b_max[i] - value : gap_outside_series;
    }
    for (std::size_t i = 0; i < n; ++i)
        if (scalar[i]) {
            const normalised_call b = otm_call(l.x[i], l.s[i], l.b_max[i], &l.gap[i]);
            l.value[i] = b.value;
            l.vega[i] = b.vega;
        }
}

// The options of a block: what the scalar function computes before its iteration, an array
// for each quantity, so that the loops that read them vectorise.
struct prepared_options
{
    std::size_t index[lane_block];  // in the caller's arrays
    double x[lane_block], b_max[lane_block], beta[lane_block], beta_gap[lane_block], root_expiry[lane_block];
};

// The options of a block as the caller gives them, once checked (valid inputs, a positive
// time value): strike, forward, expiry, price per annuity, sign, time value, and their rows in
// the caller's arrays.
struct option_block
{
    std::size_t count = 0;
    std::size_t index[lane_block];
    double strike[lane_block], forward[lane_block], expiry[lane_block], premium[lane_block], sign[lane_block],
        time_value[lane_block];

    void add(std::size_t row, double k, double f, double t, double p, double w, double value)
    {
        index[count] = row;
        strike[count] = k;
        forward[count] = f;
        expiry[count] = t;
        premium[count] = p;
        sign[count] = w;
        time_value[count++] = value;
    }
};

// Every option of `block` as its out-of-the-money twin (x <= 0) with normalised price
// beta < b_max = exp(x/2). The distance to the bound, beta_gap, is taken from the price
// itself (the bound less the price, exact near it): the option of the same strike out of the
// money is as far from its own bound. Rounding may carry a price just below the bound onto
// it, hence the cap on beta. x is details::log_moneyness() with accurate_log_lane, b_max
// comes from exp_lane; a forward over strike beyond 2^+-1000 takes the functions themselves.
void prepare_block(const option_block& block, prepared_options& options)
{
    const std::size_t n = block.count;
    double* x = options.x;
    double* b_max = options.b_max;
    double extreme[lane_block];
    for (std::size_t j = 0; j < n; ++j) {
        const double f = block.forward[j], k = block.strike[j], ratio = f / k;
        const bool moderate = (ratio >= 0x1p-1000) & (ratio <= 0x1p1000);
        extreme[j] = moderate ? 0.0 : 1.0;
        const double log_ratio = accurate_log_lane(moderate ? ratio : 1.0) + std::fma(-ratio, k, f) / f;
        x[j] = moderate ? -std::fabs(log_ratio) : 0.0;
        b_max[j] = exp_lane(0.5 * x[j]);
    }
    for (std::size_t j = 0; j < n; ++j)
        if (extreme[j] > 0.0) {
            x[j] = -std::fabs(details::log_moneyness(block.forward[j], block.strike[j]));
            b_max[j] = std::exp(0.5 * x[j]);
        }
    for (std::size_t j = 0; j < n; ++j) {
        const double f = block.forward[j], k = block.strike[j];
        const double bound = block.sign[j] > 0.0 ? f : k;
        const double root_forward_strike = std::sqrt(f) * std::sqrt(k);
        const double beta = block.time_value[j] / root_forward_strike, highest = b_max[j] * (1.0 - eps);
        options.index[j] = block.index[j];
        options.beta[j] = beta < highest ? beta : highest;
        options.beta_gap[j] = (bound - block.premium[j]) / root_forward_strike;
        options.root_expiry[j] = std::sqrt(block.expiry[j]);
    }
}

// The Householder steps of refine() on the lanes, for the first `steps` iterations (where
// refine() never bisects: its bracket and reversal rules act from the second step on). A lane
// whose step refine() would replace by bisection (underflow, overflow, a point outside the
// bracket) is marked in `scalar`, left where it is, for refine() itself.
void step_lanes(lanes& l, const prepared_options& options, const iteration_start* starts, int steps,
                const stopping_rule& rule, double* s, bool* done, bool* scalar)
{
    // Side by side, and every flag a double (0 or 1), so that the loop below vectorises.
    constexpr double active = 0.0, converged = 1.0, by_refine = 2.0;
    const std::size_t n = l.count;
    double left[lane_block], right[lane_block], ln_beta[lane_block], beta[lane_block], beta_gap[lane_block];
    double lower[lane_block], upper[lane_block], state[lane_block];
    for (std::size_t j = 0; j < n; ++j) {
        s[j] = starts[j].s;
        left[j] = starts[j].left;
        right[j] = starts[j].right;
        beta[j] = options.beta[j];
        beta_gap[j] = options.beta_gap[j];
        lower[j] = starts[j].kind == objective_kind::lower ? 1.0 : 0.0;
        upper[j] = starts[j].kind == objective_kind::upper ? 1.0 : 0.0;
        state[j] = active;
    }
    double below_range[lane_block];  // 1 where beta is below log_lane's range
    for (std::size_t j = 0; j < n; ++j) {  // apart from the loop above, which reads structures: it vectorises
        ln_beta[j] = lower[j] > 0.0 ? log_lane(beta[j] >= DBL_MIN ? beta[j] : 1.0) : -1.0;
        below_range[j] = (lower[j] > 0.0) & !(beta[j] >= DBL_MIN) ? 1.0 : 0.0;
    }
    for (std::size_t j = 0; j < n; ++j)
        if (below_range[j] > 0.0)  // one test, seldom true: no mispredicted branches
            ln_beta[j] = std::log(beta[j]);
    double inverse_ln_beta[lane_block];  // so that the steps multiply rather than divide
    for (std::size_t j = 0; j < n; ++j)
        inverse_ln_beta[j] = 1.0 / ln_beta[j];
    for (int iteration = 0; iteration < steps; ++iteration) {
        std::copy_n(s, n, l.s);
        evaluate(l);
        const double first = iteration == 0 ? 1.0 : 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double sj = s[j], b = l.value[j], vega = l.vega[j], gap = l.gap[j];
            const bool outside = (first == 0.0) & !((sj > left[j]) & (sj < right[j]));
            right[j] = (b > beta[j]) & (sj < right[j]) ? sj : right[j];
            left[j] = (b < beta[j]) & (sj > left[j]) ? sj : left[j];
            const vega_ratios c = ratios(l.x[j], sj);
            // The three objectives' terms, of which the region's is kept.
            // Reciprocals shared by the terms: vector divisions cost eight times a product.
            const double ln_b = log_lane(b >= DBL_MIN ? b : 1.0), p = vega / b, inverse_ln_b = 1.0 / ln_b;
            const double lower_halley = c.second - p * (1.0 + 2.0 * inverse_ln_b);
            const double lower_third = c.third + 2.0 * p * p * (1.0 + 3.0 * inverse_ln_b * (1.0 + inverse_ln_b)) -
                                       3.0 * c.second * p * (1.0 + 2.0 * inverse_ln_b);
            const double inverse_vega = 1.0 / vega;
            const double log_ratio = ln_b * inverse_ln_beta[j], log_ratio_over_p = log_ratio * b * inverse_vega;
            const double gap_ratio = beta_gap[j] / gap;
            const bool gap_ratio_valid = (gap_ratio >= DBL_MIN) & (gap_ratio <= DBL_MAX);
            const double g = log_lane(gap_ratio_valid ? gap_ratio : 1.0), gp = vega / gap, inverse_gp = gap * inverse_vega;
            const bool is_lower = lower[j] > 0.0, is_upper = upper[j] > 0.0;
            const step_terms terms{
                is_lower ? (ln_beta[j] - ln_b) * log_ratio_over_p
                         : is_upper ? -g * inverse_gp : (beta[j] - b) * inverse_vega,
                is_lower ? lower_halley : is_upper ? c.second + gp : c.second,
                is_lower ? lower_third : is_upper ? c.third + gp * (2.0 * gp + 3.0 * c.second) : c.third,
                is_lower ? 2.0 * eps * log_ratio_over_p * log_ratio
                         : is_upper ? 2.0 * eps * beta[j] * inverse_gp / beta_gap[j]
                                    : 2.0 * eps * beta[j] * inverse_vega};
            const double step = householder_step(terms);
            // Bitwise operators: no branches in the loop.
            const bool bad = outside | !(b >= DBL_MIN) | !(vega > 0.0) | !(std::fabs(step) <= DBL_MAX) |
                             (is_upper & !gap_ratio_valid);
            const double ds = step > -0.5 * sj ? step : -0.5 * sj;
            const double next = sj + ds, change = std::fabs(ds) / next;
            const bool stop = (change <= rule.tolerance) | (std::fabs(ds) <= terms.resolution) |
                              (convergence_factor * (change * change) * (change * change) <= rule.tolerance);
            const bool moving = state[j] == active;
            s[j] = moving & !bad ? next : sj;
            const double moved = bad ? by_refine : stop ? converged : active;
            state[j] = moving ? moved : state[j];
        }
    }
    for (std::size_t j = 0; j < n; ++j) {
        done[j] = state[j] == converged;
        scalar[j] = state[j] == by_refine;
    }
}

// The maps of the initial guess at the second points s of m lanes: the lower map where
// `lower` is 1, the upper map where it is 0 (lower_map() and upper_map() with the array erfcx
// and exp_lane; flags as doubles, so that the loops vectorise). A lane whose exponentials
// leave exp_lane's range takes the functions themselves.
void maps_on_lanes(std::size_t m, const double* x, const double* s, const double* lower, map_at* maps)
{
    if (m == 0)
        return;
    constexpr double inverse_sqrt_two = 0.70710678118654752440;
    double u[lane_block];
    for (std::size_t j = 0; j < m; ++j)  // Y(-z) at z = |x| / (sqrt(3) s) for the lower map, s / 2 for the upper
        u[j] = (lower[j] > 0.0 ? sqrt_one_third * std::fabs(x[j]) / s[j] : 0.5 * s[j]) * inverse_sqrt_two;
    error_function::erfcx(m, u, u);
    double scalar[lane_block], f[lane_block], df[lane_block], d2f[lane_block];
    for (std::size_t j = 0; j < m; ++j) {
        const bool is_lower = lower[j] > 0.0;
        const double xj = x[j], sj = s[j], ax = std::fabs(xj), s2 = sj * sj;
        const double z = sqrt_one_third * ax / sj, y = z * z, w = (xj / sj) * (xj / sj);
        const double ratio = sqrt_half_pi * u[j];  // Y(-z)
        // The lower map's n(z) and exp(y + s^2/8); the upper one's n(s/2) and exp(w/2).
        const double falling = is_lower ? -0.5 * y : -0.125 * s2, rising = is_lower ? y + 0.125 * s2 : 0.5 * w;
        const bool valid = (falling >= -700.0) & (rising <= 700.0);
        scalar[j] = valid ? 0.0 : 1.0;
        const double density = inverse_sqrt_two_pi * exp_lane(valid ? falling : 0.0);
        const double growth = exp_lane(valid ? rising : 0.0);
        const double n_minus_z = density * ratio, n2 = n_minus_z * n_minus_z;
        const double lower_d2f = pi_over_six * y / (s2 * sj) * n_minus_z *
                                 (8.0 * sqrt_three * sj * ax + (3.0 * s2 * (s2 - 8.0) - 8.0 * xj * xj) * ratio) *
                                 growth * growth;
        const double upper_d2f = sqrt_half_pi * growth * growth * (inverse_sqrt_two_pi / density) * w / sj;
        f[j] = is_lower ? two_pi_over_sqrt_27 * ax * (n2 * n_minus_z) : density * ratio;
        df[j] = is_lower ? two_pi * y * n2 * growth : -0.5 * growth;
        d2f[j] = is_lower ? lower_d2f : upper_d2f;
    }
    for (std::size_t j = 0; j < m; ++j)
        maps[j] = scalar[j] == 0.0                 ? map_at{f[j], df[j], d2f[j]}
                  : lower[j] > 0.0 ? lower_map(x[j], s[j]) : upper_map(x[j], s[j]);
}

// start_of() leaves in the map regions the map's value f where s should be. The lower map's
// inverse is |x| / (sqrt(3) |N^-1(p)|), p = (f / (2 pi |x| / sqrt(27)))^(1/3) (0 for f = 0), the
// upper one's -2 N^-1(f): the cube roots as a loop over the lanes, which vectorises, the
// inverse normals as one array.
void invert_maps(std::size_t m, const double* x, const double* lower, double* s)
{
    double cube[lane_block], probability[lane_block];
    for (std::size_t j = 0; j < m; ++j)
        cube[j] = lower[j] > 0.0 ? s[j] / (two_pi_over_sqrt_27 * std::fabs(x[j])) : 1.0;
    double outside_range[lane_block];  // 1 where the cube root needs std::cbrt
    for (std::size_t j = 0; j < m; ++j) {
        const bool normal = (cube[j] >= DBL_MIN) & (cube[j] <= DBL_MAX);
        const double root = cube_root_lane(normal ? cube[j] : 1.0);
        probability[j] = lower[j] == 0.0 ? s[j] : root;
        outside_range[j] = (lower[j] != 0.0) & !normal ? 1.0 : 0.0;
    }
    for (std::size_t j = 0; j < m; ++j)
        if (outside_range[j] > 0.0)  // one test, seldom true: no mispredicted branches
            probability[j] = std::cbrt(cube[j]);
    normal_distribution::cdfnorminv(m, probability, probability);
    for (std::size_t j = 0; j < m; ++j) {
        const double lower_s = s[j] > 0.0 ? std::fabs(x[j] / (sqrt_three * probability[j])) : 0.0;
        s[j] = lower[j] > 0.0 ? lower_s : -2.0 * probability[j];
    }
}

// The initial guesses of a block from b at the centres and at the second points (in `l`):
// where the iteration starts, its bracket and objective. The lanes in the map regions are
// gathered, so that the maps cost nothing elsewhere.
void initial_guesses(const prepared_options& options, const double* s_c, const normalised_call* centre,
                     const lanes& l, iteration_start* starts)
{
    const std::size_t n = l.count;
    std::size_t lane[lane_block], m = 0;
    double region[lane_block], x[lane_block], s[lane_block], lower[lane_block];
    double lower_flag[lane_block];
    for (std::size_t j = 0; j < n; ++j) {  // a loop of its own, which vectorises (selects, not branches)
        region[j] = region_of(options.beta[j], centre[j].value, l.value[j]);
        lower_flag[j] = region[j] == lower_map_region ? 1.0 : 0.0;
    }
    for (std::size_t j = 0; j < n; ++j) {  // written always, kept where m moves on: no branch
        lane[m] = j;
        x[m] = l.x[j];
        s[m] = l.s[j];
        lower[m] = lower_flag[j];
        m += region[j] == middle_region ? 0 : 1;
    }
    map_at maps[lane_block];
    maps_on_lanes(m, x, s, lower, maps);
    double f[lane_block], df[lane_block], d2f[lane_block];  // the maps by lane, 0 in the middle
    std::fill_n(f, n, 0.0);
    std::fill_n(df, n, 0.0);
    std::fill_n(d2f, n, 0.0);
    for (std::size_t k = 0; k < m; ++k) {
        f[lane[k]] = maps[k].f;
        df[lane[k]] = maps[k].df;
        d2f[lane[k]] = maps[k].d2f;
    }
    double guess[lane_block], left[lane_block], right[lane_block], kind[lane_block];
    double betas[lane_block], b_maxes[lane_block], b_c[lane_block], v_c[lane_block];  // for the loop below
    for (std::size_t j = 0; j < n; ++j) {
        betas[j] = options.beta[j];
        b_maxes[j] = options.b_max[j];
        b_c[j] = centre[j].value;
        v_c[j] = centre[j].vega;
    }
    // A map's guess only where a lane of the block is in its region (always for the arrays of
    // the lowest region, seldom for those of the highest, one of three for a single option):
    // each lane keeps its own region's guess, so that it is the same either way.
    const auto guess_all = [&](auto with_lower_map, auto with_upper_map) {
        for (std::size_t j = 0; j < n; ++j) {
            const double beta = betas[j], b_max = b_maxes[j], s_2 = l.s[j], b_2 = l.value[j];
            const double middle = middle_guess(beta, s_c[j], {b_c[j], v_c[j]}, s_2, {b_2, l.vega[j]});
            const double lower_f = with_lower_map ? lower_map_guess(beta, b_2, f[j], df[j], d2f[j]) : 0.0;
            const double upper_f = with_upper_map ? upper_map_guess(beta, b_max, b_2, f[j], df[j], d2f[j]) : 0.0;
            const bool is_lower = region[j] == lower_map_region, is_upper = region[j] == upper_map_region;
            const bool below_centre = beta < b_c[j];
            // In the map regions s is left as the map's value, which invert_maps() inverts.
            const double map_value = is_lower ? lower_f : upper_f;
            guess[j] = is_lower | is_upper ? map_value : middle;
            const double middle_left = below_centre ? s_2 : s_c[j], middle_right = below_centre ? s_c[j] : s_2;
            const double map_left = is_lower ? DBL_MIN : s_2, map_right = is_lower ? s_2 : DBL_MAX;
            left[j] = is_lower | is_upper ? map_left : middle_left;
            right[j] = is_lower | is_upper ? map_right : middle_right;
            const double upper_kind = beta > 0.5 * b_max ? 2.0 : 1.0;
            kind[j] = is_lower ? 0.0 : is_upper ? upper_kind : 1.0;
        }
    };
    const bool any_lower = std::find(region, region + n, lower_map_region) != region + n;
    const bool any_upper = std::find(region, region + n, upper_map_region) != region + n;
    if (any_lower && any_upper)
        guess_all(std::true_type{}, std::true_type{});
    else if (any_lower)
        guess_all(std::true_type{}, std::false_type{});
    else if (any_upper)
        guess_all(std::false_type{}, std::true_type{});
    else
        guess_all(std::false_type{}, std::false_type{});
    constexpr objective_kind kinds[3] = {objective_kind::lower, objective_kind::middle, objective_kind::upper};
    for (std::size_t j = 0; j < n; ++j)
        starts[j] = {guess[j], left[j], right[j], kinds[static_cast<int>(kind[j])]};
    for (std::size_t k = 0; k < m; ++k)
        s[k] = starts[lane[k]].s;
    invert_maps(m, x, lower, s);
    for (std::size_t k = 0; k < m; ++k)
        starts[lane[k]].s = s[k];
}

// The options of a block that have an iteration to run: their initial guesses with the
// evaluations of b on lanes, then the first steps on lanes, then refine() for what is left.
// Not specialised by the compiler for the single option of the scalar function (one code path
// for both; GCC 12 also warns wrongly of an uninitialised `starts` in that specialisation).
[[gnu::noipa]] void solve_block(const option_block& block, const stopping_rule& rule, double* volatility)
{
    const std::size_t n = block.count;
    prepared_options options;
    prepare_block(block, options);
    lanes l;
    l.count = n;
    double s_c[lane_block];
    for (std::size_t j = 0; j < n; ++j) {
        l.x[j] = options.x[j];
        l.b_max[j] = options.b_max[j];
        s_c[j] = centre_point(options.x[j]);
        l.s[j] = s_c[j] > 0.0 ? s_c[j] : 1.0;  // the centre at x = 0 is known
    }
    evaluate(l);
    normalised_call centre[lane_block];
    for (std::size_t j = 0; j < n; ++j) {
        centre[j] = s_c[j] > 0.0 ? normalised_call{l.value[j], l.vega[j]} : normalised_call{0.0, inverse_sqrt_two_pi};
        l.s[j] = second_point(options.beta[j], options.b_max[j], s_c[j], centre[j]);
    }
    evaluate(l);
    iteration_start starts[lane_block];
    initial_guesses(options, s_c, centre, l, starts);

    constexpr int lane_steps = 2;  // refine() usually stops after two steps
    const int steps = std::min(rule.iterations, lane_steps);
    double s[lane_block];
    bool done[lane_block], scalar[lane_block];
    step_lanes(l, options, starts, steps, rule, s, done, scalar);
    for (std::size_t j = 0; j < n; ++j)
        if (scalar[j] || (!done[j] && rule.iterations > steps))
            s[j] = refine_from(starts[j], options.x[j], options.b_max[j], options.beta[j], options.beta_gap[j], rule);
    for (std::size_t j = 0; j < n; ++j)  // apart from the scatter below: it vectorises
        s[j] /= options.root_expiry[j];
    for (std::size_t j = 0; j < n; ++j)
        volatility[options.index[j]] = s[j];
}

// details::is_positive_finite() without branches, for the loops over options.
inline bool positive_finite(double value) { return (value > 0.0) & (value <= DBL_MAX); }

void check_common_inputs(const char* function, int line, double strike, double forward, double expiry,
                         double sign)
{
    details::require(details::is_positive_finite(strike), here(function, line),
                     "The strike must be positive and finite", strike);
    details::require(details::is_positive_finite(forward), here(function, line),
                     "The forward must be positive and finite", forward);
    details::require_expiry_and_sign(expiry, sign, here(function, line));
}

}  // namespace

double black_scholes::price(double strike, double forward, double expiry, double volatility, double annuity,
                            double sign)
{
    // One test for the usual inputs; the checks name the first input that fails it.
    if (!(details::is_positive_finite(strike) && details::is_positive_finite(forward) &&
          details::is_non_negative_finite(expiry) && details::is_option_sign(sign) &&
          details::is_non_negative_finite(volatility) && std::isfinite(annuity))) {
        check_common_inputs("price", __LINE__, strike, forward, expiry, sign);
        details::require_volatility_and_annuity(volatility, annuity, here("price", __LINE__));
    }
    const double intrinsic = std::max(sign * (forward - strike), 0.0);
    const double s = volatility * std::sqrt(expiry);
    if (s == 0.0)
        return annuity * intrinsic;
    const double x = -std::fabs(details::log_moneyness(forward, strike));
    const double time_value = std::sqrt(forward) * std::sqrt(strike) * otm_call(x, s, 0.0).value;
    return annuity * (intrinsic + time_value);
}

double black_scholes::implied_volatility(double strike, double forward, double expiry, double price,
                                         double annuity, double sign, double tolerance, int iterations)
{
    check_common_inputs("implied_volatility", __LINE__, strike, forward, expiry, sign);
    details::require_price_and_annuity(price, annuity, expiry, here("implied_volatility", __LINE__));
    details::require(tolerance >= 0.0, here("implied_volatility", __LINE__), "The tolerance must be non-negative",
                     tolerance);
    details::require(iterations >= 0, here("implied_volatility", __LINE__),
                     "The iteration count must be non-negative", iterations);

    const double intrinsic = std::max(sign * (forward - strike), 0.0);
    const double bound = sign > 0.0 ? forward : strike;
    if (!(price / annuity < bound))
        details::check_fail(here("implied_volatility", __LINE__),
                            details::concat("The price ", details::exact_number(price), " reaches the upper bound ",
                                            details::exact_number(annuity * bound),
                                            " of the option (the annuity times the ",
                                            sign > 0.0 ? "forward" : "strike", "); it has no implied volatility"));
    const double time_value = details::time_value(price, annuity, intrinsic, here("implied_volatility", __LINE__));
    if (time_value <= 0.0)
        return 0.0;
    // The same steps as an array of one option, so that the bits do not depend on the way in.
    option_block option;
    option.add(0, strike, forward, expiry, price / annuity, sign, time_value);
    double volatility = 0.0;
    solve_block(option, {tolerance, iterations}, &volatility);
    return volatility;
}

void black_scholes::implied_volatilities(std::span<const double> strike, std::span<const double> forward,
                                         std::span<const double> expiry, std::span<const double> price,
                                         std::span<const double> annuity, std::span<const double> sign,
                                         std::span<double> volatility, double tolerance, int iterations)
{
    const std::size_t n = volatility.size();
    for (const std::span<const double> input : {strike, forward, expiry, price, annuity, sign})
        if (input.size() != n)
            details::check_fail(here("implied_volatilities", __LINE__),
                                details::concat("The inputs hold ", input.size(), " values for ", n, " volatilities"));
    details::require(tolerance >= 0.0, here("implied_volatilities", __LINE__), "The tolerance must be non-negative",
                     tolerance);
    details::require(iterations >= 0, here("implied_volatilities", __LINE__),
                     "The iteration count must be non-negative", iterations);
    const stopping_rule rule{tolerance, iterations};
    option_block block;
    double usual[lane_block], premium[lane_block], time_value[lane_block];
    for (std::size_t start = 0; start < n; start += lane_block) {
        const std::size_t count = std::min(lane_block, n - start);
        // What implied_volatility() checks and computes before its iteration, for the usual
        // inputs, as a loop without branches; the others (refused, or of no time value) are
        // its own.
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t i = start + j;
            const double k = strike[i], f = forward[i], t = expiry[i], p = price[i], a = annuity[i], w = sign[i];
            const double intrinsic = std::max(w * (f - k), 0.0);
            const double bound = w > 0.0 ? f : k;
            premium[j] = p / a;
            time_value[j] = premium[j] - intrinsic;
            const bool valid = positive_finite(k) & positive_finite(f) & positive_finite(t) & positive_finite(a) &
                               ((w == 1.0) | (w == -1.0)) & (std::fabs(p) <= DBL_MAX);
            usual[j] = valid & (premium[j] < bound) & (time_value[j] > 0.0) ? 1.0 : 0.0;
        }
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t i = start + j;
            if (usual[j] == 0.0) {
                volatility[i] = implied_volatility(strike[i], forward[i], expiry[i], price[i], annuity[i], sign[i],
                                                   tolerance, iterations);
                continue;
            }
            block.add(i, strike[i], forward[i], expiry[i], premium[j], sign[i], time_value[j]);
            if (block.count == lane_block) {
                solve_block(block, rule, volatility.data());
                block.count = 0;
            }
        }
    }
    if (block.count > 0)
        solve_block(block, rule, volatility.data());
}

}  // namespace korvex
