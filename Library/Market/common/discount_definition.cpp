#include "Market/common/discount_definition.h"

#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr SourceLocation validate_location{"validate", "Library/Market/common/discount_definition", 50};
}

discount_definition::discount_definition(key&& id) : id_(std::move(id))
{
    initialize();
}

discount_definition::discount_definition(const key& id) : id_(id)
{
    initialize();
}

void discount_definition::initialize() const
{
    if (id_.to_string().empty())
        details::check_fail(validate_location, "invalide key!");
}

void discount_definition::save(nlohmann::ordered_json& record) const
{
    initialize();  // what the reader would refuse is not written
    details::save_tag(record, *this);
    details::save(record["id"], id_);
}

void discount_definition::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["id"], id_);
    initialize();
}

void discount_definition::save(multi_process_stream& record) const
{
    initialize();  // what the reader would refuse is not written
    details::save_tag(record, *this);
    details::save(record, id_);
}

void discount_definition::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, id_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(discount_definition)

}  // namespace korvex
