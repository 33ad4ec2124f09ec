#include "Market/ir/id/discount_id.h"

#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/ir/id/discount_id";
constexpr SourceLocation definition_null_location{"validate", source_file, 63};
constexpr SourceLocation currency_null_location{"validate", source_file, 64};

const details::class_registration<discount_id, market_data_id> registration;
}  // namespace

discount_id::discount_id(key id, key ccy)
    : id_(std::make_shared<const discount_definition>(std::move(id))),
      ccy_(std::make_shared<const currency>(std::move(ccy)))
{
    initialize();
}

void discount_id::initialize()
{
    if (!id_)
        details::check_fail(definition_null_location, "id_ is null");
    if (!ccy_)
        details::check_fail(currency_null_location, "ccy_ is null");
    hash_ = compute_hash();
}

void discount_id::check_complete(const SourceLocation& location) const
{
    if (!id_ || !ccy_)
        details::check_fail(location, "The discount_id was read from a null record: it has no "
                                      "definition and no currency");
}

unsigned long long discount_id::compute_hash() const
{
    return (id_->id().hash() * 2) ^ ccy_->ccy().hash();
}

unsigned long long discount_id::hash() const
{
    check_complete({"hash", source_file, __LINE__});
    return hash_;
}

std::string discount_id::to_string()
{
    check_complete({"to_string", source_file, __LINE__});
    return id_->to_string() + "_" + ccy_->to_string();
}

void discount_id::save(nlohmann::ordered_json& record) const
{
    check_complete({"save", source_file, __LINE__});
    details::save_tag(record, *this);
    details::save(record["id"], id_);
    details::save(record["ccy"], ccy_);
}

void discount_id::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["id"], id_);
    details::load(record["ccy"], ccy_);
    initialize();
}

void discount_id::save(multi_process_stream& record) const
{
    check_complete({"save", source_file, __LINE__});
    details::save_tag(record, *this);
    details::save(record, id_);
    details::save(record, ccy_);
}

void discount_id::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, id_);
    details::load(record, ccy_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(discount_id)

}  // namespace korvex
