#pragma once

#include <cmath>
#include <string>

#include "core/check_fail.h"

namespace korvex::pricing::details {

// A number as the pricing library's messages show it: "NaN" for any NaN (whatever its sign
// bit), otherwise as a stream writes it.
inline std::string number_text(double value)
{
    return std::isnan(value) ? std::string("NaN") : korvex::details::concat(value);
}

}  // namespace korvex::pricing::details
