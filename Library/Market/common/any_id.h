#pragma once

#include <cstddef>
#include <memory>
#include <typeinfo>
#include <variant>

#include "Market/common/config_data_id.h"
#include "Market/common/data_id.h"
#include "Market/common/life_cycle_id.h"
#include "Market/common/market_data_id.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"

namespace korvex {

// One identifier of any of the three categories, shared with the caller: the alternative
// index is the category (0 market data, 1 life-cycle, 2 configuration). A
// default-constructed any_id holds a null market data identifier.
//
// Comparisons: == is false between different categories and otherwise the data_id
// equality of the held identifiers (same class, equal hashes); != is its negation; <, <=,
// >, >= compare the hashes alone, whatever the categories. An any_id that holds no
// identifier cannot be compared (std::bad_typeid, as typeid of a null pointer) nor
// written (std::bad_typeid).
//
// Record: "Class", "val": {"Index": the category, "Value": the identifier's record,
// written and read through the serialization registries}. A record of an identifier class
// that is not registered reads back as no identifier.
//
// Next to the identifier, an any_id keeps its hash() and class, taken whenever the
// identifier is set, so that a data container looks it up without reading the identifier
// object. An identifier whose hash() fails (one read from a null record) is kept without
// them, and the lookup asks its hash() again, failing where that fails.
class KORVEX_MARKET_API any_id
{
public:
    using value_type = std::variant<std::shared_ptr<const market_data_id>, std::shared_ptr<const life_cycle_id>,
                                    std::shared_ptr<const config_data_id>>;

    any_id() = default;
    // Each takes over the pointer, leaving the argument empty.
    any_id(std::shared_ptr<const market_data_id>&& id) noexcept;
    any_id(std::shared_ptr<const life_cycle_id>&& id) noexcept;
    any_id(std::shared_ptr<const config_data_id>&& id) noexcept;

    any_id(const any_id&) = default;
    any_id& operator=(const any_id&) = default;
    // The moved-from any_id holds a null pointer and no hash.
    any_id(any_id&& other) noexcept;
    any_id& operator=(any_id&& other) noexcept;
    ~any_id() = default;

    any_id& operator=(const std::shared_ptr<const market_data_id>& id);
    any_id& operator=(const std::shared_ptr<const life_cycle_id>& id);
    any_id& operator=(const std::shared_ptr<const config_data_id>& id);

    const value_type& value() const noexcept { return val_; }
    static const value_type& as(const any_id& id) noexcept { return id.val_; }
    // The category; the largest size_t when the variant is valueless.
    std::size_t index() const noexcept { return val_.index(); }
    // The held identifier, shared.
    std::shared_ptr<const data_id> get() const;
    // The held identifier without sharing ownership; null when there is none.
    const data_id* identifier() const noexcept;

    bool operator==(const any_id& other) const;
    bool operator!=(const any_id& other) const;
    bool operator<(const any_id& other) const;
    bool operator<=(const any_id& other) const;
    bool operator>(const any_id& other) const;
    bool operator>=(const any_id& other) const;

    KORVEX_PERSISTABLE(any_id);

private:
    friend class any_container;

    void initialize() const {}
    // Takes the held identifier's hash and class, or forgets them when there is no
    // identifier or its hash() fails.
    void remember_key() noexcept;
    // The class of the held identifier when its hash is known, otherwise null.
    const std::type_info* key_type() const noexcept { return key_type_; }
    unsigned long long key_hash() const noexcept { return key_hash_; }

    value_type val_;
    unsigned long long key_hash_ = 0;
    const std::type_info* key_type_ = nullptr;
};

}  // namespace korvex
