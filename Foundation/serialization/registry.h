#pragma once

#include <mutex>
#include <unordered_map>
#include <utility>

namespace korvex {

// A name-to-value table, typically of functions keyed by class tag.
//
// Entries are added while shared libraries are loaded, each addition under the registry's
// own mutex; adding under a name that is already present replaces the earlier entry.
// Lookups take no lock: they are meant for after loading, when the table no longer
// changes. Entries are never removed.
template <class Key, class Value>
class Registry
{
public:
    Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    void add(const Key& name, Value value)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        entries_.insert_or_assign(name, std::move(value));
    }

    // The entry under `name`, or null when there is none.
    const Value* find(const Key& name) const
    {
        const auto it = entries_.find(name);
        return it == entries_.end() ? nullptr : &it->second;
    }

    bool contains(const Key& name) const { return entries_.find(name) != entries_.end(); }
    std::size_t size() const { return entries_.size(); }

private:
    std::mutex mutex_;
    std::unordered_map<Key, Value> entries_;
};

}  // namespace korvex
