#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
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
//  - a null pointer in the lists, and an any_id that holds no identifier.
// at() raises Error for an identifier the container does not hold, naming its class and
// hash.
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
    std::size_t size() const noexcept { return data_map_.size(); }

    KORVEX_PERSISTABLE(any_container);

private:
    struct id_hash
    {
        std::size_t operator()(const any_id& id) const { return id.identifier()->hash(); }
    };
    using map_type = std::unordered_map<any_id, any_object, id_hash>;

    void initialize() const {}
    void insert_unique(const any_id& id, const any_object& object, const SourceLocation& duplicate_location);
    map_type::const_iterator find(const any_id& id) const;
    template <class Archive>
    void load_entries(Archive& record, std::size_t count);

    map_type data_map_;
};

}  // namespace korvex
