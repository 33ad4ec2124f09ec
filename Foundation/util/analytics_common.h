#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "core/check_fail.h"

// Helpers shared by the analytic pricers (black_scholes, bachelier, sabr_analytics).
namespace korvex::details {

// A double with all the digits that tell it apart from its neighbours.
inline std::string exact_number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Refuses with Error at `where` unless `valid`: "<rule>, not <value>".
inline void require(bool valid, const SourceLocation& where, const char* rule, double value)
{
    if (!valid)
        check_fail(where, concat(rule, ", not ", exact_number(value)));
}

inline bool is_positive_finite(double value) { return value > 0.0 && std::isfinite(value); }
inline bool is_non_negative_finite(double value) { return value >= 0.0 && std::isfinite(value); }
inline bool is_option_sign(double sign) { return sign == 1.0 || sign == -1.0; }

// ln(F/K) for positive F and K, accurate also when they are close (F - K is then exact,
// and log1p keeps the relative precision of the small result).
inline double log_moneyness(double forward, double strike)
{
    const double ratio = forward / strike;
    if (ratio >= 0.5 && ratio <= 2.0)
        return std::log1p((forward - strike) / strike);
    if (ratio > 0.0 && std::isfinite(ratio))
        return std::log(ratio);
    return std::log(forward) - std::log(strike);
}

}  // namespace korvex::details
