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

any_id::any_id(std::shared_ptr<const market_data_id>&& id) noexcept : val_(std::move(id))
{
    remember_key();
}

any_id::any_id(std::shared_ptr<const life_cycle_id>&& id) noexcept : val_(std::move(id))
{
    remember_key();
}

any_id::any_id(std::shared_ptr<const config_data_id>&& id) noexcept : val_(std::move(id))
{
    remember_key();
}

any_id::any_id(any_id&& other) noexcept
    : val_(std::move(other.val_)), key_hash_(other.key_hash_), key_type_(std::exchange(other.key_type_, nullptr))
{
}

any_id& any_id::operator=(any_id&& other) noexcept
{
    val_ = std::move(other.val_);
    key_hash_ = other.key_hash_;
    key_type_ = std::exchange(other.key_type_, nullptr);
    return *this;
}

any_id& any_id::operator=(const std::shared_ptr<const market_data_id>& id)
{
    val_ = id;
    remember_key();
    return *this;
}

any_id& any_id::operator=(const std::shared_ptr<const life_cycle_id>& id)
{
    val_ = id;
    remember_key();
    return *this;
}

any_id& any_id::operator=(const std::shared_ptr<const config_data_id>& id)
{
    val_ = id;
    remember_key();
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
    key_type_ = nullptr;  // a read that fails half-way may have replaced the identifier
    details::load(record["val"], val_);
    remember_key();
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
    key_type_ = nullptr;  // a read that fails half-way may have replaced the identifier
    details::load(record, val_);
    remember_key();
    initialize();
}

void any_id::remember_key() noexcept
{
    key_type_ = nullptr;
    const data_id* held_id = identifier();
    if (held_id == nullptr)
        return;
    try {
        key_hash_ = held_id->hash();
        key_type_ = &typeid(*held_id);
    } catch (...) {
        // hash() fails again, where it should, when the identifier is looked up.
    }
}

KORVEX_DEFINE_PERSISTENCE(any_id)

}  // namespace korvex
