#include "Market/credit/survival_curve/survival_curve_flat.h"

#include <cmath>
#include <limits>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/credit/survival_curve/survival_curve_flat";

const details::class_registration<survival_curve_flat, market_data> registration;
}  // namespace

survival_curve_flat::survival_curve_flat(const datetime& valuation_date, double rate,
                                         const std::shared_ptr<const day_count_convention>& convention)
    : survival_curve(valuation_date), rate_(rate), convention_(convention)
{
}

survival_curve_flat::survival_curve_flat() : rate_(std::numeric_limits<double>::quiet_NaN()) {}

double survival_curve_flat::fraction(const datetime& d1, const datetime& d2) const
{
    if (!convention_)
        details::check_fail({"fraction", source_file, __LINE__}, "convention_ is null");
    return convention_->fraction(d1, d2);
}

double survival_curve_flat::log_survival_probability(const datetime& d1, const datetime& d2) const
{
    return fraction(d1, d2) * -rate_;
}

double survival_curve_flat::survival_probability(const datetime& d1, const datetime& d2) const
{
    return std::exp(fraction(d1, d2) * -rate_);
}

template <class Self, class Visit>
void survival_curve_flat::members(Self& self, Visit&& visit)
{
    visit("rates", self.rate_);
    visit("valuation_date", self.valuation_date_);
    visit("convention", self.convention_);
}

KORVEX_DEFINE_MEMBER_PERSISTENCE(survival_curve_flat)

}  // namespace korvex
