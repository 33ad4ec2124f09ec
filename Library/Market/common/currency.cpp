#include "Market/common/currency.h"

#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr SourceLocation validate_location{"validate", "Library/Market/common/currency", 50};
}

currency::currency(key&& ccy) : ccy_(std::move(ccy))
{
    initialize();
}

currency::currency(const key& ccy) : ccy_(ccy)
{
    initialize();
}

void currency::initialize() const
{
    if (ccy_.to_string().empty())
        details::check_fail(validate_location, "invalide currency!");
}

void currency::save(nlohmann::ordered_json& record) const
{
    initialize();  // what the reader would refuse is not written
    details::save_tag(record, *this);
    details::save(record["ccy"], ccy_);
}

void currency::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["ccy"], ccy_);
    initialize();
}

void currency::save(multi_process_stream& record) const
{
    initialize();  // what the reader would refuse is not written
    details::save_tag(record, *this);
    details::save(record, ccy_);
}

void currency::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, ccy_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(currency)

}  // namespace korvex
