#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"

#include <cmath>

#include "Market/common/piecewise_constant_integral.h"
#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/ir/discount_curve/discount_curve_piecewise_constant";
constexpr SourceLocation validate_location{"validate", source_file, 97};

const details::class_registration<discount_curve_piecewise_constant, market_data> registration;
}  // namespace

discount_curve_piecewise_constant::discount_curve_piecewise_constant(
    const datetime& valuation_date, const std::vector<datetime>& dates,
    const std::vector<double>& rates, const std::shared_ptr<const day_count_convention>& convention)
    : discount_curve(valuation_date),
      rates_term_structure_(std::make_shared<const rates_type>(dates, rates, 1)),
      convention_(convention)
{
    initialize();
}

void discount_curve_piecewise_constant::validate() const
{
    if (!rates_term_structure_)
        details::check_fail(validate_location, "rates_term_structure_ is null");
}

void discount_curve_piecewise_constant::initialize()
{
    validate();
    details::check_pillars(*rates_term_structure_);
    if (convention_)
        pillar_fractions_ = details::pillar_fractions(*rates_term_structure_, *convention_);
}

double discount_curve_piecewise_constant::log_df(const datetime& d1, const datetime& d2) const
{
    if (!convention_)
        details::check_fail({"log_df", source_file, __LINE__}, "convention_ is null");
    validate();
    return -details::piecewise_constant_integral(*rates_term_structure_, *convention_, pillar_fractions_, d1, d2);
}

double discount_curve_piecewise_constant::df(const datetime& d1, const datetime& d2) const
{
    return std::exp(discount_curve_piecewise_constant::log_df(d1, d2));
}

void discount_curve_piecewise_constant::dfs(std::span<const datetime> dates, std::span<double> factors) const
{
    details::check_batch_sizes(dates.size(), factors.size(), {"dfs", source_file, __LINE__});
    if (!convention_)
        details::check_fail({"dfs", source_file, __LINE__}, "convention_ is null");
    validate();
    details::exponentials_of_minus_integrals(*rates_term_structure_, *convention_, pillar_fractions_, valuation_date_,
                                             dates, factors);
}

template <class Self, class Visit>
void discount_curve_piecewise_constant::members(Self& self, Visit&& visit)
{
    visit("rates_term_structure", self.rates_term_structure_);
    visit("valuation_date", self.valuation_date_);
    visit("convention", self.convention_);
}

KORVEX_DEFINE_MEMBER_PERSISTENCE(discount_curve_piecewise_constant)

}  // namespace korvex
