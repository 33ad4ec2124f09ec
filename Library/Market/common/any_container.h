#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <typeinfo>
#include <vector>

#include "Market/common/any_id.h"
#include "Market/common/any_object.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "core/source_location.h"

namespace korvex {

// A map from identifiers of any category to data objects of any category, hashed by the
// held identifier's hash() and compared with any_id's ==. Keys and objects are stored by
// value and share their identifiers and data objects with the caller.
//
//     const any_container market({any_id(curve_id), any_id(spot_id)},
//                                {any_object(curve), any_object(spot)});
//     const auto curve = market.at(any_id(curve_id)).get<discount_curve>();
//
// Refused with Error, before anything is stored:
//  - by the constructors, lists of different lengths (" ids list size is different from
//    object list size ") and an identifier given twice ("Duplicated key in data
//    container"); by update, fewer objects than identifiers;
//  - a null pointer in the lists, an any_object that holds null (which no writer could
//    write; "Object i of the list is null", as for a null pointer), and an any_id that
//    holds no identifier.
// at() raises Error for an identifier the container does not hold, naming its class and
// hash.
//
// Entries are kept in insertion order in one array, found through an open-addressing table
// whose slots hold each key's hash, category and class next to the entry's position, so
// that a lookup decides equality from the slot alone, without reading the stored
// identifier.
//
// Record: "Class", "data_map": one [any_id record, any_object record] pair per entry, in
// ascending order of the identifiers' hashes, so that containers holding the same entries
// write the same files (null when the container is empty). Reading skips an identifier
// already read (the first pair wins) and refuses with Error an entry whose identifier or
// object class is not registered (or that is the null marker), naming the class.
class KORVEX_MARKET_API any_container
{
public:
    any_container() = default;
    any_container(const std::vector<std::shared_ptr<const any_id>>& ids,
                  const std::vector<std::shared_ptr<const any_object>>& objects);
    any_container(const std::vector<any_id>& ids, const std::vector<any_object>& objects);

    // Adds the pairs (ids[i], objects[i]) whose identifier is not held yet, in order; an
    // identifier already held keeps its object. Objects beyond the identifiers are
    // ignored.
    void update(const std::vector<std::shared_ptr<const any_id>>& ids,
                const std::vector<std::shared_ptr<const any_object>>& objects);

    bool contains(const any_id& id) const;
    // A copy of the holder stored under `id`, sharing its object.
    any_object at(const any_id& id) const;
    std::size_t size() const noexcept { return entries_.size(); }
    // The identifiers held, in the order they were added: the constructor's list, then the
    // new ones of each update in their order. A container read from a file lists them in the
    // order of its record (ascending hashes, a repeated identifier once, where it first
    // stands), so a container and its copy through a file may list them differently.
    std::vector<any_id> ids() const;

    KORVEX_PERSISTABLE(any_container);

private:
    struct entry
    {
        any_id id;
        any_object object;
    };
    // A used slot of the table: the key's hash, category and index into types_, and the
    // position of its entry; an unused slot has position no_entry.
    struct slot
    {
        std::uint64_t hash;
        std::uint32_t position;
        std::uint16_t type;
        std::uint16_t category;
    };
    static constexpr std::uint32_t no_entry = 0xFFFFFFFFu;

    void initialize() const {}
    void reserve(std::size_t count);
    void make_room(std::size_t needed);
    // Adds the entry unless its key is held already; false when it is.
    bool insert(entry&& added);
    void insert_unique(const any_id& id, const any_object& object, const SourceLocation& duplicate_location);
    const entry* find(const any_id& id) const;
    std::size_t home_slot(std::uint64_t hash) const noexcept;
    void prefetch_home_slot(const any_id& id) const noexcept;
    std::uint16_t type_index(const std::type_info& type);
    template <class Archive>
    void load_entries(Archive& record, std::size_t count);

    std::vector<entry> entries_;
    std::vector<slot> slots_;                    // a power of two of them, at most half used
    std::vector<const std::type_info*> types_;   // the distinct classes of the keys
};

}  // namespace korvex
