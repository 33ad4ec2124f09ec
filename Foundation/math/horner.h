#pragma once

#include <cstddef>

namespace korvex::details {

// c[0] + c[1] x + ... + c[N-1] x^(N-1), by Horner's rule.
template <std::size_t N>
constexpr double horner(const double (&c)[N], double x)
{
    double sum = c[N - 1];
    for (std::size_t i = N - 1; i-- > 0;)
        sum = sum * x + c[i];
    return sum;
}

}  // namespace korvex::details
