#include "serialization/serialization_registry.h"

#include <atomic>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "core/demangle.h"

namespace korvex {

const std::string& class_tag_of(const std::type_info& type)
{
    // Per thread, so that neither lookups nor additions take a lock. Keyed by the type's
    // description object: a type described twice (by two libraries) is demangled twice.
    thread_local std::unordered_map<const std::type_info*, std::string> tags;
    auto found = tags.find(&type);
    if (found == tags.end())
        found = tags.emplace(&type, demangle(type.name())).first;
    return found->second;
}

std::uint64_t next_registry_generation() noexcept
{
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

json_serialization_registry& JsonSerializationRegistry()
{
    static json_serialization_registry registry;
    return registry;
}

binary_serialization_registry& BinarySerializationRegistry()
{
    static binary_serialization_registry registry;
    return registry;
}

}  // namespace korvex
