#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"

#include <cmath>

#include "Market/common/piecewise_constant_integral.h"
#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/ir/discount_curve/discount_curve_piecewise_constant";
constexpr SourceLocation validate_location{"validate", source_file, 97};
constexpr SourceLocation convention_location{"log_df", source_file, 110};

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

// The integral over pillar intervals needs them in order; a NaN or repeated pillar would
// give NaN or order-dependent answers.
void discount_curve_piecewise_constant::check_pillars() const
{
    const std::vector<datetime>& x = rates_term_structure_->x();
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (!std::isfinite(x[k].as_float()))
            details::check_fail(SourceLocation{"check_pillars", source_file, __LINE__},
                                details::concat("Pillar date ", k, " is not finite: ", x[k].as_float()));
        if (k > 0 && !(x[k - 1] < x[k]))
            details::check_fail(SourceLocation{"check_pillars", source_file, __LINE__},
                                details::concat("Pillar dates must be strictly increasing, but pillar ", k,
                                                " (", x[k].as_float(), ") is not after pillar ", k - 1,
                                                " (", x[k - 1].as_float(), ")"));
    }
}

void discount_curve_piecewise_constant::initialize()
{
    validate();
    check_pillars();
    if (convention_)
        pillar_fractions_ = details::pillar_fractions(*rates_term_structure_, *convention_);
}

double discount_curve_piecewise_constant::log_df(const datetime& d1, const datetime& d2) const
{
    if (!convention_)
        details::check_fail(convention_location, "convention_ is null");
    validate();
    return -details::piecewise_constant_integral(*rates_term_structure_, *convention_, pillar_fractions_, d1, d2);
}

double discount_curve_piecewise_constant::df(const datetime& d1, const datetime& d2) const
{
    return std::exp(discount_curve_piecewise_constant::log_df(d1, d2));
}

void discount_curve_piecewise_constant::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    details::save(record["rates_term_structure"], rates_term_structure_);
    details::save(record["valuation_date"], valuation_date_);
    details::save(record["convention"], convention_);
}

void discount_curve_piecewise_constant::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["rates_term_structure"], rates_term_structure_);
    details::load(record["valuation_date"], valuation_date_);
    details::load(record["convention"], convention_);
    initialize();
}

void discount_curve_piecewise_constant::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, rates_term_structure_);
    details::save(record, valuation_date_);
    details::save(record, convention_);
}

void discount_curve_piecewise_constant::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, rates_term_structure_);
    details::load(record, valuation_date_);
    details::load(record, convention_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(discount_curve_piecewise_constant)

}  // namespace korvex
