#include "Market/common/any_id.h"

#include <typeinfo>
#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {

// The identifier held by `id`; an empty one raises std::bad_typeid, as asking the dynamic
// type of a null pointer does.
const data_id& held(const any_id& id)
{
    const data_id* identifier = id.identifier();
    if (identifier == nullptr)
        throw std::bad_typeid();
    return *identifier;
}

}  // namespace

any_id::any_id(std::shared_ptr<const market_data_id>&& id) noexcept : val_(std::move(id)) {}

any_id::any_id(std::shared_ptr<const life_cycle_id>&& id) noexcept : val_(std::move(id)) {}

any_id::any_id(std::shared_ptr<const config_data_id>&& id) noexcept : val_(std::move(id)) {}

any_id& any_id::operator=(const std::shared_ptr<const market_data_id>& id)
{
    val_ = id;
    return *this;
}

any_id& any_id::operator=(const std::shared_ptr<const life_cycle_id>& id)
{
    val_ = id;
    return *this;
}

any_id& any_id::operator=(const std::shared_ptr<const config_data_id>& id)
{
    val_ = id;
    return *this;
}

std::shared_ptr<const data_id> any_id::get() const
{
    return std::visit([](const auto& id) { return std::shared_ptr<const data_id>(id); }, val_);
}

const data_id* any_id::identifier() const noexcept
{
    if (val_.valueless_by_exception())
        return nullptr;
    return std::visit([](const auto& id) -> const data_id* { return id.get(); }, val_);
}

bool any_id::operator==(const any_id& other) const
{
    return index() == other.index() && held(*this) == held(other);
}

bool any_id::operator!=(const any_id& other) const
{
    return !(*this == other);
}

bool any_id::operator<(const any_id& other) const
{
    return held(*this) < held(other);
}

bool any_id::operator<=(const any_id& other) const
{
    return held(*this) <= held(other);
}

bool any_id::operator>(const any_id& other) const
{
    return held(*this) > held(other);
}

bool any_id::operator>=(const any_id& other) const
{
    return held(*this) >= held(other);
}

void any_id::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    details::save(record["val"], val_);
}

void any_id::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["val"], val_);
    initialize();
}

void any_id::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, val_);
}

void any_id::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, val_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(any_id)

}  // namespace korvex
