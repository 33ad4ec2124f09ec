#include "Market/ir/volatility_surface/ir_volatility_surface.h"

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr SourceLocation data_location{"validate", "Library/Market/ir/volatility_surface/ir_volatility_surface",
                                       46};

const details::class_registration<ir_volatility_surface, market_data> registration;
}  // namespace

ir_volatility_surface::ir_volatility_surface(const datetime& valuation_date,
                                             const std::shared_ptr<const ir_volatility_data>& data)
    : market_data(valuation_date), data_(data)
{
    validate();
}

void ir_volatility_surface::validate() const
{
    if (!data_)
        details::check_fail(data_location, "data_ is null");
}

void ir_volatility_surface::initialize() const { validate(); }

void ir_volatility_surface::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    details::save(record["valuation_date"], valuation_date_);
    details::save_polymorphic(record["data"], data_);
}

void ir_volatility_surface::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["valuation_date"], valuation_date_);
    details::load_polymorphic(record["data"], data_);
    initialize();
}

void ir_volatility_surface::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, valuation_date_);
    details::save_polymorphic(record, data_);
}

void ir_volatility_surface::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, valuation_date_);
    details::load_polymorphic(record, data_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(ir_volatility_surface)

}  // namespace korvex
