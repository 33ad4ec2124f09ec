#pragma once

#include <cmath>
#include <cstdio>
#include <limits>
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

inline void require_expiry_and_sign(double expiry, double sign, const SourceLocation& where)
{
    require(is_non_negative_finite(expiry), where, "The expiry must be non-negative and finite", expiry);
    require(is_option_sign(sign), where, "The sign must be +1 (a call) or -1 (a put)", sign);
}

// What a price needs beyond the strike, forward, expiry and sign.
inline void require_volatility_and_annuity(double volatility, double annuity, const SourceLocation& where)
{
    require(is_non_negative_finite(volatility), where, "The volatility must be non-negative and finite", volatility);
    require(std::isfinite(annuity), where, "The annuity must be finite", annuity);
}

// What an implied volatility needs beyond the strike, forward, expiry and sign.
inline void require_price_and_annuity(double price, double annuity, double expiry, const SourceLocation& where)
{
    require(is_positive_finite(annuity), where, "The annuity must be positive and finite", annuity);
    require(std::isfinite(price), where, "The price must be finite", price);
    require(expiry > 0.0, where, "The expiry must be positive for an implied volatility", expiry);
}

// price / annuity less the intrinsic value (undiscounted). A price below the intrinsic
// value by more than its rounding has no implied volatility and is refused with Error.
inline double time_value(double price, double annuity, double intrinsic, const SourceLocation& where)
{
    const double value = price / annuity - intrinsic;
    if (value < -4.0 * std::numeric_limits<double>::epsilon() * intrinsic)
        check_fail(where, concat("The price ", exact_number(price), " is below the intrinsic value ",
                                 exact_number(annuity * intrinsic), " of the option; it has no implied volatility"));
    return value;
}

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
