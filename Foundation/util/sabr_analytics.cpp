#include "util/sabr_analytics.h"

#include <cfloat>
#include <cmath>

#include "util/analytics_common.h"
#include "util/black_scholes.h"

namespace korvex {

namespace {

constexpr const char* source_file = "Foundation/util/sabr_analytics";
constexpr SourceLocation here(const char* function, int line) { return {function, source_file, line}; }

// The cap of Hagan's local-volatility factor under skew dampening.
constexpr double dampening_cap = 4.0;

// x(z) = ln((D + z - rho) / (1 - rho)), D = sqrt(1 - 2 rho z + z^2), as log1p(u) with
// u = x's argument less 1 written as a ratio of positive terms: for z >= rho directly, and
// for z < rho through D + z - rho = (1 - rho^2) / (D - z + rho).
double hagan_x(double z, double rho)
{
    const double d = std::sqrt((z - rho) * (z - rho) + (1.0 - rho) * (1.0 + rho));
    const double u = z >= rho ? z * (d + 1.0 + z - 2.0 * rho) / ((d + 1.0) * (1.0 - rho))
                              : z * (d + 1.0 - z + 2.0 * rho) / ((d + 1.0) * (d - z + rho));
    return std::log1p(u);
}

// z / x(z), with x continued linearly at slope 1 / M beyond the points where D reaches M
// when the skew is dampened.
double z_over_x(double z, double rho, bool is_skew_dampening)
{
    if (z == 0.0)
        return 1.0;
    if (is_skew_dampening) {
        const double reach = std::sqrt(dampening_cap * dampening_cap - 1.0 + rho * rho);
        const double upper = rho + reach, lower = rho - reach;
        if (z > upper)
            return z / (hagan_x(upper, rho) + (z - upper) / dampening_cap);
        if (z < lower)
            return z / (hagan_x(lower, rho) + (z - lower) / dampening_cap);
    }
    return z / hagan_x(z, rho);
}

// ln(f k), also where the product leaves the range of normal doubles.
double log_product(double f, double k)
{
    const double product = f * k;
    return product >= DBL_MIN && product <= DBL_MAX ? std::log(product) : std::log(f) + std::log(k);
}

void check_inputs(const char* function, int line, double strike, double forward, double expiry, double alpha,
                  double beta, double nu, double rho, double shift)
{
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

double hagan_volatility(double strike, double forward, double expiry, double alpha, double beta, double nu,
                        double rho, double shift, bool is_skew_dampening)
{
    const double f = forward + shift, k = strike + shift;
    const double log_moneyness = details::log_moneyness(f, k);
    const double one_minus_beta = 1.0 - beta;
    const double backbone = one_minus_beta == 0.0 ? 1.0 : std::exp(0.5 * one_minus_beta * log_product(f, k));
    const double c = one_minus_beta * one_minus_beta * log_moneyness * log_moneyness;
    const double z = nu / alpha * backbone * log_moneyness;
    const double correction = 1.0 + expiry * (one_minus_beta * one_minus_beta * alpha * alpha / (24.0 * backbone * backbone) +
                                              0.25 * rho * beta * nu * alpha / backbone +
                                              (2.0 - 3.0 * rho * rho) * nu * nu / 24.0);
    return alpha / (backbone * (1.0 + c / 24.0 + c * c / 1920.0)) * z_over_x(z, rho, is_skew_dampening) *
           correction;
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
