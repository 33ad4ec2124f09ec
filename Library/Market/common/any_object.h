#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <variant>

#include "Market/common/config_data.h"
#include "Market/common/life_cycle_data.h"
#include "Market/common/market_data.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "core/source_location.h"

namespace korvex {

namespace details {
// Raises Error at `location`: the object held is a `held`, not a `wanted`.
[[noreturn]] KORVEX_MARKET_API void wrong_object_class(const SourceLocation& location,
                                                       const std::type_info& held,
                                                       const std::type_info& wanted);
}  // namespace details

// One data object of any of the three categories, shared with the caller: the
// alternative index is the category (0 market data, 1 life-cycle, 2 configuration). A
// default-constructed any_object holds a null market data object.
//
// Record: "Class", "var": {"Index": the category, "Value": the object's record, written
// and read through the serialization registries}. A null object cannot be written
// (std::bad_typeid); a record of a class that is not registered reads back as a null
// object.
class KORVEX_MARKET_API any_object
{
public:
    using value_type = std::variant<std::shared_ptr<const market_data>, std::shared_ptr<const life_cycle_data>,
                                    std::shared_ptr<const config_data>>;

    any_object() = default;
    // Each takes over the pointer, leaving the argument empty.
    any_object(std::shared_ptr<const market_data>&& object) noexcept;
    any_object(std::shared_ptr<const life_cycle_data>&& object) noexcept;
    any_object(std::shared_ptr<const config_data>&& object) noexcept;

    // The category; the largest size_t when the variant is valueless.
    std::size_t index() const noexcept { return var_.index(); }
    // False when the holder holds a null pointer (or is valueless).
    bool has_value() const noexcept;

    // The held object as a T (its class or one of its bases), shared:
    //     const auto curve = container.at(id).get<discount_curve>();
    // Null when the holder holds no object. An object that is not a T raises Error naming
    // both classes, so that a wrong lookup cannot pass unnoticed as a null pointer.
    template <class T>
    std::shared_ptr<const T> get() const;

    KORVEX_PERSISTABLE(any_object);

private:
    void initialize() const {}

    value_type var_;
};

template <class T>
std::shared_ptr<const T> any_object::get() const
{
    static_assert(std::is_class_v<T>, "any_object::get<T> takes a class");
    return std::visit(
        [](const auto& held) -> std::shared_ptr<const T> {
            if (!held)
                return nullptr;
            std::shared_ptr<const T> typed = std::dynamic_pointer_cast<const T>(held);
            if (!typed)
                details::wrong_object_class({"get", "Library/Market/common/any_object", __LINE__},
                                            typeid(*held), typeid(T));
            return typed;
        },
        var_);
}

}  // namespace korvex
