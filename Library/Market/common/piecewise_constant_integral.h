#pragma once

#include <vector>

#include "Util/term_structure/term_structure.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"

// The integration over time of rates constant between pillar dates, shared by the
// piecewise-constant discount and survival curves.
namespace korvex::details {

using piecewise_constant_rates = term_structure<std::vector<double>>;

// The year fractions between adjacent pillars of `rates`, which a curve caches so that a
// query computes only the fractions at its two ends.
inline std::vector<double> pillar_fractions(const piecewise_constant_rates& rates,
                                            const day_count_convention& convention)
{
    return rates.inner_fractions(
        [&convention](const datetime& a, const datetime& b) { return convention.fraction(a, b); });
}

// The sum over the sub-intervals of [d1, d2] of rate × year fraction, each sub-interval
// at the rate the structure holds on it (term_structure::integral); `fractions` is what
// pillar_fractions gave for the same rates and convention.
inline double piecewise_constant_integral(const piecewise_constant_rates& rates,
                                          const day_count_convention& convention,
                                          const std::vector<double>& fractions, const datetime& d1,
                                          const datetime& d2)
{
    return rates.integral(
        d1, d2, [&convention](const datetime& a, const datetime& b) { return convention.fraction(a, b); },
        fractions.data());
}

}  // namespace korvex::details
