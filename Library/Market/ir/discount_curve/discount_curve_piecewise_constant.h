#pragma once

#include <memory>
#include <vector>

#include "Market/ir/discount_curve/discount_curve.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "Util/term_structure/term_structure.h"
#include "util/day_count_convention.h"

namespace korvex {

// Continuously compounded rates constant between pillar dates: the rate of pillar k holds
// on (x[k-1], x[k]], the first rate before the first pillar and the last after the last
// one (a term structure of type 1). log_df(d1, d2) is minus the sum of rate × year
// fraction over the sub-intervals of [d1, d2] cut at the pillars (see
// term_structure::integral), so it is continuous in both dates and
// df(d1, d3) = df(d1, d2) × df(d2, d3).
//
// The constructor and the readers refuse with Error pillar dates that are not finite or
// not strictly increasing (the constructor after its check that dates and rates are as
// many). Queries refuse with Error a curve without a convention, without pillars, or
// whose pillar dates and rates differ in number (only a file can give such a curve).
class KORVEX_MARKET_API discount_curve_piecewise_constant : public discount_curve
{
public:
    using rates_type = term_structure<std::vector<double>>;

    discount_curve_piecewise_constant(const datetime& valuation_date,
                                      const std::vector<datetime>& dates,
                                      const std::vector<double>& rates,
                                      const std::shared_ptr<const day_count_convention>& convention);

    using discount_curve::log_df;
    double log_df(const datetime& d1, const datetime& d2) const override;
    double df(const datetime& d1, const datetime& d2) const override;
    using discount_curve::dfs;
    void dfs(std::span<const datetime> dates, std::span<double> factors) const override;

    const std::shared_ptr<const rates_type>& rates_term_structure() const noexcept
    {
        return rates_term_structure_;
    }
    const std::shared_ptr<const day_count_convention>& convention() const noexcept
    {
        return convention_;
    }

    // Record: "Class", "rates_term_structure", "valuation_date", "convention".
    KORVEX_PERSISTABLE(discount_curve_piecewise_constant);
    // The record's members in order, each given to visit(key, member).
    template <class Self, class Visit>
    static void members(Self& self, Visit&& visit);

private:
    discount_curve_piecewise_constant() = default;
    // Validates and checks the pillars, then caches the year fractions between adjacent
    // pillars.
    void initialize();
    void validate() const;

    std::shared_ptr<const rates_type> rates_term_structure_;
    std::shared_ptr<const day_count_convention> convention_;
    std::vector<double> pillar_fractions_;
};

}  // namespace korvex
