#include "Market/common/any_container.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {

using details::concat;

constexpr const char* source_file = "Library/Market/common/any_container";
constexpr SourceLocation pointer_sizes_location{"any_container", source_file, 24};
constexpr SourceLocation pointer_duplicate_location{"any_container", source_file, 33};
constexpr SourceLocation value_sizes_location{"any_container", source_file, 42};
constexpr SourceLocation value_duplicate_location{"any_container", source_file, 51};

constexpr const char* sizes_message = " ids list size is different from object list size ";
constexpr const char* duplicate_message = "Duplicated key in data container";

// Each entry of a stream is two records, each starting with its tag string.
constexpr std::size_t smallest_entry_bytes = 2 * details::smallest_encoding<std::string>();

void check_key(const any_id& id)
{
    if (id.identifier() == nullptr)
        details::check_fail({"check_key", source_file, __LINE__},
                            "An any_id that holds no identifier cannot be a key of a data container");
}

// Object i of a list: a null pointer, or an any_object holding null, which no writer
// could write.
void check_object(const any_object* object, std::size_t i)
{
    if (object == nullptr || !object->has_value())
        details::check_fail({"check_object", source_file, __LINE__}, concat("Object ", i, " of the list is null"));
}

// The first `count` pairs of the lists hold no null pointer, no null object and no empty key.
void check_pointers(const std::vector<std::shared_ptr<const any_id>>& ids,
                    const std::vector<std::shared_ptr<const any_object>>& objects, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!ids[i])
            details::check_fail({"check_pointers", source_file, __LINE__},
                                concat("Identifier ", i, " of the list is null"));
        check_object(objects[i].get(), i);
        check_key(*ids[i]);
    }
}

// The same for lists of values.
void check_values(const std::vector<any_id>& ids, const std::vector<any_object>& objects)
{
    for (std::size_t i = 0; i < ids.size(); ++i) {
        check_object(&objects[i], i);
        check_key(ids[i]);
    }
}

bool holds_something(const any_id& id) { return id.identifier() != nullptr; }
bool holds_something(const any_object& object) { return object.has_value(); }

// Refuses an entry read from a file whose identifier or object read back as nothing: its
// class is not registered, or the record is the null marker.
template <class Holder, class ClassName>
void check_held(const Holder& holder, std::size_t entry, const char* what, const ClassName& class_name)
{
    if (!holds_something(holder))
        details::check_fail({"check_held", source_file, __LINE__},
                            concat("Entry ", entry, " of the data container holds ", what, " of class \"",
                                   class_name(), "\", which is not registered"));
}

// The class named by an any_id or any_object record (its held object's class, or the
// null marker) that read back as holding nothing. `member` is "val" or "var".
std::string unread_class(nlohmann::ordered_json& record, const char* member)
{
    const std::string tag = record["Class"].get<std::string>();
    return tag == details::null_marker ? tag : record[member]["Value"]["Class"].get<std::string>();
}

// The same for the record that starts at `start` in a stream and ends at its read position.
std::string unread_class(const multi_process_stream& stream, std::size_t start)
{
    const std::vector<std::uint8_t>& bytes = stream.GetRawData();
    multi_process_stream record;
    record.SetRawData(std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(stream.read_position())));
    std::string tag;
    record >> tag;
    if (tag == details::null_marker)
        return tag;
    unsigned int index = 0;
    record >> index >> tag;
    return tag;
}

// Pointers to the entries in ascending order of their identifiers' hashes (then category,
// then class), so that what a container writes depends only on what it holds, not on the
// order in which its entries were inserted. `slots` are the used slots of the table, whose
// keys' hashes, categories and classes spare reading the identifiers.
template <class Entry, class Slot>
std::vector<const Entry*> in_hash_order(const std::vector<Entry>& entries, const std::vector<Slot>& slots,
                                        std::uint32_t unused, const std::vector<const std::type_info*>& types)
{
    struct sort_key
    {
        unsigned long long hash;
        std::size_t category;
        const char* type;
        const Entry* entry;
    };
    std::vector<sort_key> keys;
    keys.reserve(entries.size());
    for (const Slot& slot : slots)
        if (slot.position != unused)
            keys.push_back({slot.hash, slot.category, types[slot.type]->name(), &entries[slot.position]});
    std::sort(keys.begin(), keys.end(), [](const sort_key& a, const sort_key& b) {
        if (a.hash != b.hash)
            return a.hash < b.hash;
        if (a.category != b.category)
            return a.category < b.category;
        return std::strcmp(a.type, b.type) < 0;
    });
    std::vector<const Entry*> ordered;
    ordered.reserve(keys.size());
    for (const sort_key& key : keys)
        ordered.push_back(key.entry);
    return ordered;
}

// The entries of a container are alike in size: once the first ones are written, the
// stream reserves room for the others at their average size, so that it grows without
// copying everything written so far again and again.
constexpr std::size_t sampled_entries = 64;

void reserve_alike(multi_process_stream& record, std::size_t start, std::size_t written, std::size_t count)
{
    const std::size_t now = record.GetRawData().size();
    const std::size_t average = (now - start) / written;
    record.reserve(now + average * (count - written) + average * (count - written) / 8);
}

template <class Holder>
void read_held(nlohmann::ordered_json& record, Holder& holder, const char* member, std::size_t entry,
               const char* what)
{
    details::load(record, holder);
    check_held(holder, entry, what, [&] { return unread_class(record, member); });
}

template <class Holder>
void read_held(multi_process_stream& stream, Holder& holder, std::size_t entry, const char* what)
{
    const std::size_t start = stream.read_position();
    details::load(stream, holder);
    check_held(holder, entry, what, [&] { return unread_class(stream, start); });
}

// Entry i of a record's "data_map" array.
void read_entry(nlohmann::ordered_json& entries, std::size_t i, any_id& id, any_object& object)
{
    nlohmann::ordered_json& entry = entries[i];
    read_held(entry[0], id, "val", i, "an identifier");
    read_held(entry[1], object, "var", i, "an object");
}

// The next entry of a stream.
void read_entry(multi_process_stream& entries, std::size_t i, any_id& id, any_object& object)
{
    read_held(entries, id, i, "an identifier");
    read_held(entries, object, i, "an object");
}

}  // namespace

any_container::any_container(const std::vector<std::shared_ptr<const any_id>>& ids,
                             const std::vector<std::shared_ptr<const any_object>>& objects)
{
    if (ids.size() != objects.size())
        details::check_fail(pointer_sizes_location, sizes_message);
    check_pointers(ids, objects, ids.size());
    reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        insert_unique(*ids[i], *objects[i], pointer_duplicate_location);
}

any_container::any_container(const std::vector<any_id>& ids, const std::vector<any_object>& objects)
{
    if (ids.size() != objects.size())
        details::check_fail(value_sizes_location, sizes_message);
    check_values(ids, objects);
    reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        insert_unique(ids[i], objects[i], value_duplicate_location);
}

// Room for `count` more entries.
void any_container::reserve(std::size_t count)
{
    const std::size_t needed = entries_.size() + count;
    if (needed > no_entry)
        details::check_fail({"reserve", source_file, __LINE__},
                            concat("A data container holds at most ", no_entry, " entries, not ", needed));
    entries_.reserve(needed);
    make_room(needed);
}

// The table is rebuilt, twice as large as needed, whenever it would become more than half
// full, so that probe sequences stay short.
void any_container::make_room(std::size_t needed)
{
    if (2 * needed <= slots_.size())
        return;
    std::size_t capacity = 16;
    while (capacity < 2 * needed)
        capacity *= 2;
    std::vector<slot> old = std::exchange(slots_, std::vector<slot>(capacity, slot{0, no_entry, 0, 0}));
    for (const slot& moved : old) {
        if (moved.position == no_entry)
            continue;
        std::size_t i = home_slot(moved.hash);
        while (slots_[i].position != no_entry)
            i = (i + 1) & (slots_.size() - 1);
        slots_[i] = moved;
    }
}

// Fibonacci hashing: the top bits of the hash times 2^64 / golden ratio, so that hashes
// that differ only in their high or low bits still spread over the table.
std::size_t any_container::home_slot(std::uint64_t hash) const noexcept
{
    const int shift = 64 - std::countr_zero(slots_.size());
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> shift);
}

std::uint16_t any_container::type_index(const std::type_info& type)
{
    for (std::size_t i = 0; i < types_.size(); ++i)
        if (*types_[i] == type)
            return static_cast<std::uint16_t>(i);
    if (types_.size() > 0xFFFFu)
        details::check_fail({"type_index", source_file, __LINE__},
                            "A data container holds keys of at most 65536 identifier classes");
    types_.push_back(&type);
    return static_cast<std::uint16_t>(types_.size() - 1);
}

bool any_container::insert(entry&& added)
{
    const data_id& id = *added.id.identifier();
    const std::uint64_t hash = id.hash();
    if (find(added.id) != nullptr)
        return false;
    make_room(entries_.size() + 1);
    std::size_t i = home_slot(hash);
    while (slots_[i].position != no_entry)
        i = (i + 1) & (slots_.size() - 1);
    slots_[i] = slot{hash, static_cast<std::uint32_t>(entries_.size()), type_index(typeid(id)),
                     static_cast<std::uint16_t>(added.id.index())};
    entries_.push_back(std::move(added));
    return true;
}

void any_container::insert_unique(const any_id& id, const any_object& object,
                                  const SourceLocation& duplicate_location)
{
    if (!insert(entry{id, object}))
        details::check_fail(duplicate_location, duplicate_message);
}

void any_container::update(const std::vector<std::shared_ptr<const any_id>>& ids,
                           const std::vector<std::shared_ptr<const any_object>>& objects)
{
    if (objects.size() < ids.size())
        details::check_fail({"update", source_file, __LINE__},
                            concat("update needs an object for each of the ", ids.size(),
                                   " identifiers, but got ", objects.size(), " objects"));
    check_pointers(ids, objects, ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        insert(entry{*ids[i], *objects[i]});  // an identifier already held keeps its object
}

// Equality of any_id (same category, same class, equal hashes) decided from the slots and
// the key's hash and class kept in the query: neither the query's identifier nor the
// stored ones are read.
const any_container::entry* any_container::find(const any_id& id) const
{
    if (slots_.empty())
        return nullptr;
    const std::type_info* type = id.key_type();
    std::uint64_t hash = id.key_hash();
    if (type == nullptr) {
        const data_id* identifier = id.identifier();
        if (identifier == nullptr)
            return nullptr;  // never a key
        hash = identifier->hash();  // fails for an identifier that has no hash
        type = &typeid(*identifier);
    }
    const std::size_t category = id.index();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = home_slot(hash);; i = (i + 1) & mask) {
        const slot& probed = slots_[i];
        if (probed.position == no_entry)
            return nullptr;
        if (probed.hash == hash && probed.category == category) {
            const std::type_info* stored = types_[probed.type];
            if (stored == type || *stored == *type)
                return &entries_[probed.position];
        }
    }
}

std::vector<any_id> any_container::ids() const
{
    std::vector<any_id> held;
    held.reserve(entries_.size());
    for (const entry& stored : entries_)
        held.push_back(stored.id);
    return held;
}

bool any_container::contains(const any_id& id) const
{
    return find(id) != nullptr;
}

any_object any_container::at(const any_id& id) const
{
    if (const entry* found = find(id))
        return found->object;
    const data_id* identifier = id.identifier();
    if (identifier == nullptr)
        details::check_fail({"at", source_file, __LINE__},
                            "The data container holds no entry for an any_id that holds no identifier");
    details::check_fail({"at", source_file, __LINE__},
                        concat("The data container holds no ", demangle(typeid(*identifier).name()),
                               " identifier with hash ", identifier->hash()));
}

template <class Archive>
void any_container::load_entries(Archive& entries, std::size_t count)
{
    reserve(count);
    // Each entry is inserted once the next one is read, so that its slot, asked for before
    // that read, is in the cache by then. The first pair wins.
    entry pending;
    for (std::size_t i = 0; i < count; ++i) {
        entry read;
        read_entry(entries, i, read.id, read.object);
        prefetch_home_slot(read.id);
        if (i > 0)
            insert(std::move(pending));
        pending = std::move(read);
    }
    if (count > 0)
        insert(std::move(pending));
}

void any_container::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    nlohmann::ordered_json& entries = record["data_map"];
    std::size_t i = 0;
    for (const entry* stored : in_hash_order(entries_, slots_, no_entry, types_)) {
        nlohmann::ordered_json& pair = entries[i++];
        details::save(pair[0], stored->id);
        details::save(pair[1], stored->object);
    }
}

void any_container::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    nlohmann::ordered_json& entries = record["data_map"];
    load_entries(entries, entries.is_null() ? 0 : entries.size());
    initialize();
}

void any_container::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, details::stream_count(entries_.size()));
    const std::vector<const entry*> ordered = in_hash_order(entries_, slots_, no_entry, types_);
    const std::size_t start = record.GetRawData().size();
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        if (i == sampled_entries)
            reserve_alike(record, start, i, ordered.size());
        details::save(record, ordered[i]->id);
        details::save(record, ordered[i]->object);
    }
}

void any_container::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    unsigned int count = 0;
    details::load(record, count);
    if (std::size_t{count} * smallest_entry_bytes > record.bytes_left())
        details::check_fail({"load", source_file, __LINE__},
                            concat("A data container of ", count, " entries at offset ", record.read_position(),
                                   " does not fit in the ", record.bytes_left(), " bytes left in the stream"));
    load_entries(record, count);
    initialize();
}

void any_container::prefetch_home_slot(const any_id& id) const noexcept
{
    if (id.key_type() != nullptr && !slots_.empty())
        __builtin_prefetch(&slots_[home_slot(id.key_hash())]);
}

KORVEX_DEFINE_PERSISTENCE(any_container)

}  // namespace korvex
