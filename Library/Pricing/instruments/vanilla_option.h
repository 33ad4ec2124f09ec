#pragma once

#include <limits>

#include "util/datetime.h"

namespace korvex::pricing {

enum class option_type
{
    call,
    put,
};

enum class exercise_type
{
    european,  // at expiry only
    american,  // at any time up to and including expiry
};

// A call or a put on a market's spot: it pays max(S - strike, 0) (call) or
// max(strike - S, 0) (put) when exercised. A plain value; the pricers check it.
struct vanilla_option
{
    option_type type = option_type::call;
    double strike = std::numeric_limits<double>::quiet_NaN();
    datetime expiry;
    exercise_type exercise = exercise_type::european;
};

}  // namespace korvex::pricing
