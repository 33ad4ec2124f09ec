#include "Market/common/any_object.h"

#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

void details::wrong_object_class(const SourceLocation& location, const std::type_info& held,
                                 const std::type_info& wanted)
{
    check_fail(location, concat("The object held is a ", demangle(held.name()), ", not a ",
                                demangle(wanted.name())));
}

any_object::any_object(std::shared_ptr<const market_data>&& object) noexcept : var_(std::move(object)) {}

any_object::any_object(std::shared_ptr<const life_cycle_data>&& object) noexcept : var_(std::move(object)) {}

any_object::any_object(std::shared_ptr<const config_data>&& object) noexcept : var_(std::move(object)) {}

bool any_object::has_value() const noexcept
{
    if (var_.valueless_by_exception())
        return false;
    return std::visit([](const auto& object) { return object != nullptr; }, var_);
}

void any_object::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    details::save(record["var"], var_);
}

void any_object::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["var"], var_);
    initialize();
}

void any_object::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, var_);
}

void any_object::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, var_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(any_object)

}  // namespace korvex
