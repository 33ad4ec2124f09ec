#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

namespace korvex {

// A name-to-value table, typically of functions keyed by class tag.
//
// Entries are mostly added while shared libraries are loaded, but may be added at any
// time: `add` takes the registry's mutex exclusively, lookups take it shared, so any
// number of threads may look up while another adds. Adding under a name that is already
// present replaces the earlier entry. Entries are never removed.
//
// `find` hands out shared ownership of the entry it finds, so what a caller holds stays
// valid and unchanged when a later `add` replaces the entry under that name; the caller
// sees the replacement on its next lookup.
template <class Key, class Value>
class Registry
{
public:
    Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    void add(const Key& name, Value value)
    {
        auto entry = std::make_shared<const Value>(std::move(value));
        const std::unique_lock lock(mutex_);
        entries_.insert_or_assign(name, std::move(entry));
    }

    // The entry under `name`, or null when there is none.
    std::shared_ptr<const Value> find(const Key& name) const
    {
        const std::shared_lock lock(mutex_);
        const auto it = entries_.find(name);
        return it == entries_.end() ? nullptr : it->second;
    }

    bool contains(const Key& name) const
    {
        const std::shared_lock lock(mutex_);
        return entries_.find(name) != entries_.end();
    }

    std::size_t size() const
    {
        const std::shared_lock lock(mutex_);
        return entries_.size();
    }

private:
    mutable std::shared_mutex mutex_;
    std::unordered_map<Key, std::shared_ptr<const Value>> entries_;
};

}  // namespace korvex
