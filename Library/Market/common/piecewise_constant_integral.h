#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "Util/term_structure/term_structure.h"
#include "core/check_fail.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"

// The integration over time of rates constant between pillar dates, shared by the
// piecewise-constant discount and survival curves.
namespace korvex::details {

using piecewise_constant_rates = term_structure<std::vector<double>>;

// Refuses with Error pillar dates that are not finite or not strictly increasing: the
// integral over pillar intervals needs them in order, and a NaN or repeated pillar would
// give NaN or order-dependent answers.
inline void check_pillars(const piecewise_constant_rates& rates)
{
    const std::vector<datetime>& x = rates.x();
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (!std::isfinite(x[k].as_float()))
            check_fail(SourceLocation{"check_pillars", "Library/Market/common/piecewise_constant_integral", __LINE__},
                       concat("Pillar date ", k, " is not finite: ", x[k].as_float()));
        if (k > 0 && !(x[k - 1] < x[k]))
            check_fail(SourceLocation{"check_pillars", "Library/Market/common/piecewise_constant_integral", __LINE__},
                       concat("Pillar dates must be strictly increasing, but pillar ", k, " (", x[k].as_float(),
                              ") is not after pillar ", k - 1, " (", x[k - 1].as_float(), ")"));
    }
}

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

// piecewise_constant_integral(rates, convention, fractions, d1, ends[i]) into out[i] for
// every i, bit for bit (term_structure::integrals).
inline void piecewise_constant_integrals(const piecewise_constant_rates& rates,
                                         const day_count_convention& convention,
                                         const std::vector<double>& fractions, const datetime& d1,
                                         std::span<const datetime> ends, std::span<double> out)
{
    rates.integrals(
        d1, ends, out, [&convention](const datetime& a, const datetime& b) { return convention.fraction(a, b); },
        fractions.data());
}

// exp(-piecewise_constant_integral(...)) from d1 to each of `ends` into `out`: discount
// factors or survival probabilities over many dates.
inline void exponentials_of_minus_integrals(const piecewise_constant_rates& rates,
                                            const day_count_convention& convention,
                                            const std::vector<double>& fractions, const datetime& d1,
                                            std::span<const datetime> ends, std::span<double> out)
{
    piecewise_constant_integrals(rates, convention, fractions, d1, ends, out);
    for (double& value : out)
        value = std::exp(-value);
}

// Refuses with Error a batch query whose output is not as long as its input.
inline void check_batch_sizes(std::size_t dates, std::size_t out, const SourceLocation& where)
{
    if (dates != out)
        check_fail(where, concat("The output holds ", out, " values for ", dates, " dates"));
}

}  // namespace korvex::details
