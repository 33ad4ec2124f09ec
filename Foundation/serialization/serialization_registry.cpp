#include "serialization/serialization_registry.h"

#include <nlohmann/json.hpp>

namespace korvex {

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
