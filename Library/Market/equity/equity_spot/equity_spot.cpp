#include "Market/equity/equity_spot/equity_spot.h"

#include <limits>

#include "Serialization/serialization_impl.h"
#include "core/error.h"

namespace korvex {

namespace {
constexpr SourceLocation forward_location{"forward", "Library/Market/equity/equity_spot/equity_spot", 42};

const details::class_registration<equity_spot, market_data> registration;
}  // namespace

equity_spot::equity_spot(const datetime& valuation_date, double spot) : market_data(valuation_date), spot_(spot) {}

equity_spot::equity_spot() : spot_(std::numeric_limits<double>::quiet_NaN()) {}

void equity_spot::spot(vector<double>& out) const
{
    out = spot_;
}

void equity_spot::forward(vector<double>&, const datetime&, const datetime&) const
{
    throw NotImplementedError(forward_location);
}

void equity_spot::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    details::save(record["spot"], spot_);
    details::save(record["valuation_date"], valuation_date_);
}

void equity_spot::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["spot"], spot_);
    details::load(record["valuation_date"], valuation_date_);
    initialize();
}

void equity_spot::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, spot_);
    details::save(record, valuation_date_);
}

void equity_spot::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, spot_);
    details::load(record, valuation_date_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(equity_spot)

}  // namespace korvex
