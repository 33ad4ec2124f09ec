#include "Market/fx/id/fx_spot_id.h"

#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/fx/id/fx_spot_id";
constexpr SourceLocation domestic_null_location{"validate", source_file, 62};
constexpr SourceLocation foreign_null_location{"validate", source_file, 63};

const details::class_registration<fx_spot_id, market_data_id> registration;
}  // namespace

fx_spot_id::fx_spot_id(key ccy_domestic, key ccy_foreign)
    : ccy_domestic_(std::make_shared<const currency>(std::move(ccy_domestic))),
      ccy_foreign_(std::make_shared<const currency>(std::move(ccy_foreign)))
{
    initialize();
}

void fx_spot_id::initialize()
{
    if (!ccy_domestic_)
        details::check_fail(domestic_null_location, "ccy domestic is null");
    if (!ccy_foreign_)
        details::check_fail(foreign_null_location, "ccy foreign is null");
    hash_ = compute_hash();
}

void fx_spot_id::check_complete(const SourceLocation& location) const
{
    if (!ccy_domestic_ || !ccy_foreign_)
        details::check_fail(location, "The fx_spot_id was read from a null record: it has no currencies");
}

unsigned long long fx_spot_id::compute_hash() const
{
    return (ccy_foreign_->ccy().hash() * 2) ^ ccy_domestic_->ccy().hash();
}

unsigned long long fx_spot_id::hash() const
{
    check_complete({"hash", source_file, __LINE__});
    return hash_;
}

std::string fx_spot_id::to_string()
{
    check_complete({"to_string", source_file, __LINE__});
    return ccy_domestic_->to_string() + "_" + ccy_foreign_->to_string();
}

void fx_spot_id::save(nlohmann::ordered_json& record) const
{
    check_complete({"save", source_file, __LINE__});
    details::save_tag(record, *this);
    details::save(record["ccy_domestic"], ccy_domestic_);
    details::save(record["ccy_foreign"], ccy_foreign_);
}

void fx_spot_id::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["ccy_domestic"], ccy_domestic_);
    details::load(record["ccy_foreign"], ccy_foreign_);
    initialize();
}

void fx_spot_id::save(multi_process_stream& record) const
{
    check_complete({"save", source_file, __LINE__});
    details::save_tag(record, *this);
    details::save(record, ccy_domestic_);
    details::save(record, ccy_foreign_);
}

void fx_spot_id::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, ccy_domestic_);
    details::load(record, ccy_foreign_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(fx_spot_id)

}  // namespace korvex
