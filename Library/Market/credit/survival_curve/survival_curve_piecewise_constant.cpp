#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"

#include <cmath>

#include "Market/common/piecewise_constant_integral.h"
#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/credit/survival_curve/survival_curve_piecewise_constant";
constexpr SourceLocation validate_location{"validate", source_file, 96};

const details::class_registration<survival_curve_piecewise_constant, market_data> registration;
}  // namespace

survival_curve_piecewise_constant::survival_curve_piecewise_constant(
    const datetime& valuation_date, const std::vector<datetime>& dates, const std::vector<double>& rates,
    const std::shared_ptr<const day_count_convention>& convention)
    : survival_curve(valuation_date),
      rates_term_structure_(std::make_shared<const rates_type>(dates, rates, 0)),
      convention_(convention)
{
    initialize();
}

void survival_curve_piecewise_constant::validate() const
{
    if (!rates_term_structure_)
        details::check_fail(validate_location, "rates_term_structure_ is null");
}

void survival_curve_piecewise_constant::initialize()
{
    validate();
    details::check_pillars(*rates_term_structure_);
    if (convention_)
        pillar_fractions_ = details::pillar_fractions(*rates_term_structure_, *convention_);
}

double survival_curve_piecewise_constant::log_survival_probability(const datetime& d1, const datetime& d2) const
{
    if (!convention_)
        details::check_fail({"log_survival_probability", source_file, __LINE__}, "convention_ is null");
    validate();
    return -details::piecewise_constant_integral(*rates_term_structure_, *convention_, pillar_fractions_, d1, d2);
}

double survival_curve_piecewise_constant::survival_probability(const datetime& d1, const datetime& d2) const
{
    return std::exp(survival_curve_piecewise_constant::log_survival_probability(d1, d2));
}

void survival_curve_piecewise_constant::survival_probabilities(std::span<const datetime> dates,
                                                               std::span<double> probabilities) const
{
    details::check_batch_sizes(dates.size(), probabilities.size(), {"survival_probabilities", source_file, __LINE__});
    if (!convention_)
        details::check_fail({"survival_probabilities", source_file, __LINE__}, "convention_ is null");
    validate();
    details::exponentials_of_minus_integrals(*rates_term_structure_, *convention_, pillar_fractions_, valuation_date_,
                                             dates, probabilities);
}

template <class Self, class Visit>
void survival_curve_piecewise_constant::members(Self& self, Visit&& visit)
{
    visit("rates_term_structure", self.rates_term_structure_);
    visit("valuation_date", self.valuation_date_);
    visit("convention", self.convention_);
}

KORVEX_DEFINE_MEMBER_PERSISTENCE(survival_curve_piecewise_constant)

}  // namespace korvex
