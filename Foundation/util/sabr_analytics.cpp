#include "util/sabr_analytics.h"

#include <cmath>

#include "util/analytics_common.h"
#include "util/black_scholes.h"

namespace korvex {

namespace {

constexpr const char* source_file = "Foundation/util/sabr_analytics";
constexpr SourceLocation here(const char* function, int line) { return {function, source_file, line}; }

// The cap of Hagan's local-volatility factor under skew dampening.
constexpr double dampening_cap = 4.0;

// x(z) = ln((D + z - rho) / (1 - rho)), D = sqrt(1 - 2 rho z + z^2), with D + z - rho =
// (1 - rho^2) / (D - z + rho) for z < rho, so that only sums of positive terms appear.
// Below |z| = 1/2 as log1p of the argument less 1 (a ratio of positive terms), which keeps
// the relative precision of the small result; beyond it |x| > ln(3/2), and the difference
// of two logarithms needs no division.
double hagan_x(double z, double rho)
{
    const double d = std::sqrt((z - rho) * (z - rho) + (1.0 - rho) * (1.0 + rho));
    if (std::fabs(z) >= 0.5)
        return z >= rho ? std::log(d + z - rho) - std::log(1.0 - rho) : std::log(1.0 + rho) - std::log(d - z + rho);
    const double u = z >= rho ? z * (d + 1.0 + z - 2.0 * rho) / ((d + 1.0) * (1.0 - rho))
                              : z * (d + 1.0 - z + 2.0 * rho) / ((d + 1.0) * (d - z + rho));
    return std::log1p(u);
}

// x(z), continued linearly at slope 1 / M beyond the points where D reaches M when the
// skew is dampened.
double dampened_x(double z, double rho, bool is_skew_dampening)
{
    if (is_skew_dampening) {
        const double reach = std::sqrt(dampening_cap * dampening_cap - 1.0 + rho * rho);
        const double upper = rho + reach, lower = rho - reach;
        if (z > upper)
            return hagan_x(upper, rho) + (z - upper) / dampening_cap;
        if (z < lower)
            return hagan_x(lower, rho) + (z - lower) / dampening_cap;
    }
    return hagan_x(z, rho);
}

void check_inputs(const char* function, int line, double strike, double forward, double expiry, double alpha,
                  double beta, double nu, double rho, double shift)
{
    // One test for the usual inputs; the checks name the first input that fails it.
    if (std::isfinite(shift) && details::is_positive_finite(strike + shift) &&
        details::is_positive_finite(forward + shift) && details::is_non_negative_finite(expiry) &&
        details::is_positive_finite(alpha) && beta >= 0.0 && beta <= 1.0 && details::is_non_negative_finite(nu) &&
        rho > -1.0 && rho < 1.0)
        return;
    const SourceLocation where = here(function, line);
    details::require(std::isfinite(shift), where, "The shift must be finite", shift);
    details::require(details::is_positive_finite(strike + shift), where,
                     "The shifted strike (strike + shift) must be positive and finite", strike + shift);
    details::require(details::is_positive_finite(forward + shift), where,
                     "The shifted forward (forward + shift) must be positive and finite", forward + shift);
    details::require(details::is_non_negative_finite(expiry), where, "The expiry must be non-negative and finite",
                     expiry);
    details::require(details::is_positive_finite(alpha), where, "alpha must be positive and finite", alpha);
    details::require(beta >= 0.0 && beta <= 1.0, where, "beta must lie in [0, 1]", beta);
    details::require(details::is_non_negative_finite(nu), where, "nu must be non-negative and finite", nu);
    details::require(rho > -1.0 && rho < 1.0, where, "rho must lie in (-1, 1)", rho);
}

// With P the backbone (f k)^((1-beta)/2), alpha / P z / x(z) = nu L / x(z); near z = 0 the
// series z / x(z) = 1 - rho z / 2 + (2 - 3 rho^2) z^2 / 12 (exact to double precision below
// |z| = 1e-6) replaces the ratio.
double hagan_volatility(double strike, double forward, double expiry, double alpha, double beta, double nu,
                        double rho, double shift, bool is_skew_dampening)
{
    const double f = forward + shift, k = strike + shift;
    const double log_moneyness = details::log_moneyness(f, k);
    const double one_minus_beta = 1.0 - beta;
    const double backbone = one_minus_beta == 0.0 ? 1.0 : std::pow(f * k, 0.5 * one_minus_beta);
    const double inverse_backbone = 1.0 / backbone;
    const double c = one_minus_beta * one_minus_beta * log_moneyness * log_moneyness;
    const double denominator = 1.0 + c / 24.0 + c * c / 1920.0;
    const double z = nu / alpha * backbone * log_moneyness;
    const double correction =
        1.0 + expiry * (one_minus_beta * one_minus_beta * alpha * alpha * inverse_backbone * inverse_backbone / 24.0 +
                        0.25 * rho * beta * nu * alpha * inverse_backbone + (2.0 - 3.0 * rho * rho) * nu * nu / 24.0);
    if (std::fabs(z) < 1e-6) {
        const double ratio = 1.0 - 0.5 * rho * z + (2.0 - 3.0 * rho * rho) * z * z / 12.0;
        return alpha * inverse_backbone * ratio * correction / denominator;
    }
    return nu * log_moneyness * correction / (denominator * dampened_x(z, rho, is_skew_dampening));
}

}  // namespace

double sabr_analytics::volatility(double strike, double forward, double expiry, double alpha, double beta, double nu,
                                  double rho, double shift, bool is_skew_dampening)
{
    check_inputs("volatility", __LINE__, strike, forward, expiry, alpha, beta, nu, rho, shift);
    return hagan_volatility(strike, forward, expiry, alpha, beta, nu, rho, shift, is_skew_dampening);
}

double sabr_analytics::price(double strike, double forward, double expiry, double annuity, double sign,
                             double alpha, double beta, double nu, double rho, double shift, bool is_skew_dampening)
{
    check_inputs("price", __LINE__, strike, forward, expiry, alpha, beta, nu, rho, shift);
    const double volatility =
        hagan_volatility(strike, forward, expiry, alpha, beta, nu, rho, shift, is_skew_dampening);
    if (!(volatility >= 0.0))
        details::check_fail(here("price", __LINE__),
                            details::concat("The SABR expansion gives the volatility ",
                                            details::exact_number(volatility), " at the expiry ",
                                            details::exact_number(expiry),
                                            "; the expansion does not hold there"));
    return black_scholes::price(strike + shift, forward + shift, expiry, volatility, annuity, sign);
}

}  // namespace korvex
