#pragma once

#include <memory>

#include "Market/ir/discount_curve/discount_curve.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "util/day_count_convention.h"

namespace korvex {

// One continuously compounded rate: df(d1, d2) = exp(-rate × fraction(d1, d2)), with the
// year fraction of the curve's day count convention.
//
// A curve without a convention (only a record that is the null marker gives one) refuses
// queries with Error. Such a curve holds the rate NaN.
class KORVEX_MARKET_API discount_curve_flat : public discount_curve
{
public:
    discount_curve_flat(const datetime& valuation_date, double rate,
                        const std::shared_ptr<const day_count_convention>& convention);

    using discount_curve::log_df;
    double log_df(const datetime& d1, const datetime& d2) const override;
    double df(const datetime& d1, const datetime& d2) const override;

    double rate() const noexcept { return rate_; }
    const std::shared_ptr<const day_count_convention>& convention() const noexcept
    {
        return convention_;
    }

    // Record: "Class", "rates" (the rate), "valuation_date", "convention".
    KORVEX_PERSISTABLE(discount_curve_flat);
    // The record's members in order, each given to visit(key, member).
    template <class Self, class Visit>
    static void members(Self& self, Visit&& visit);

private:
    discount_curve_flat();
    void initialize() const {}
    double fraction(const datetime& d1, const datetime& d2) const;

    double rate_;
    std::shared_ptr<const day_count_convention> convention_;
};

}  // namespace korvex
