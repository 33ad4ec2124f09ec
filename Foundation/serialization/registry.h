#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "serialization/serialization_export.h"

namespace korvex {

// A number never handed out before in this process (by any registry), marking a state of a
// registry.
KORVEX_SERIALIZATION_API std::uint64_t next_registry_generation() noexcept;

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
//
// `find_cached` serves readers that look the same few names up for every record: each
// thread keeps what it found, so a repeated lookup takes no lock and counts no owner. A
// replaced entry is kept alive as long as the registry, so that what a caller holds stays
// valid; every `add` gives the registry a new generation, which makes each thread drop
// what it kept and see the replacement on its next lookup.
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
        auto [found, added] = entries_.try_emplace(name, entry);
        if (!added) {
            retired_.push_back(std::move(found->second));
            found->second = std::move(entry);
        }
        generation_.store(next_registry_generation(), std::memory_order_release);
    }

    // The entry under `name`, or null when there is none.
    std::shared_ptr<const Value> find(const Key& name) const
    {
        const std::shared_lock lock(mutex_);
        const auto it = entries_.find(name);
        return it == entries_.end() ? nullptr : it->second;
    }

    // The entry under `name`, or null when there is none, as this thread last found it in
    // the registry's current generation. Valid as long as the registry.
    const Value* find_cached(const Key& name) const
    {
        struct thread_cache
        {
            const Registry* owner = nullptr;
            std::uint64_t generation = 0;
            std::unordered_map<Key, const Value*> entries;
        };
        thread_local thread_cache cache;
        const std::uint64_t generation = generation_.load(std::memory_order_acquire);
        if (cache.owner != this || cache.generation != generation) {
            cache.entries.clear();
            cache.owner = this;
            cache.generation = generation;
        }
        auto kept = cache.entries.find(name);
        if (kept == cache.entries.end())
            kept = cache.entries.emplace(name, find(name).get()).first;
        return kept->second;
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
    std::vector<std::shared_ptr<const Value>> retired_;  // replaced entries, for find_cached's callers
    std::atomic<std::uint64_t> generation_{next_registry_generation()};
};

}  // namespace korvex
