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

// ln(F/K) for positive F and K, to about one unit in the last place however close F and K
// are: the rounding of the ratio q = F/K is recovered exactly as F - q K (an fma), and
// ln(F/K) = ln(q) + ln(1 + (F - q K) / (q K)), the last term being (F - q K) / F to double
// precision.
inline double log_moneyness(double forward, double strike)
{
    const double ratio = forward / strike;
    if (!(ratio >= 0x1p-1000 && ratio <= 0x1p1000))
        return std::log(forward) - std::log(strike);
    return std::log(ratio) + std::fma(-ratio, strike, forward) / forward;
}

}  // namespace korvex::details
