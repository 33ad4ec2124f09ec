#pragma once

#include <functional>
#include <string>
#include <typeinfo>

#include <nlohmann/json_fwd.hpp>

#include "core/multi_process_stream.h"
#include "serialization/registry.h"
#include "serialization/serialization_export.h"

namespace korvex {

// A serialization entry takes (the JSON value or the stream, a pointer, a load flag).
// With the flag false the pointer addresses the object to write (the most-derived object,
// as `const T*`) and the entry writes its record. With the flag true it addresses a shared
// pointer variable; the entry creates a new object, fills it from the record and stores
// it there.
using json_serialization_function = std::function<void(nlohmann::ordered_json&, void*, bool)>;
using binary_serialization_function = std::function<void(multi_process_stream&, void*, bool)>;

using json_serialization_registry = Registry<std::string, json_serialization_function>;
using binary_serialization_registry = Registry<std::string, binary_serialization_function>;

// The class tag of a type: demangle(type.name()), demangled once per thread and type, as
// writers ask it for every record. The text lives as long as the calling thread.
KORVEX_SERIALIZATION_API const std::string& class_tag_of(const std::type_info& type);

// The two process-wide registries, keyed by class tag.
KORVEX_SERIALIZATION_API json_serialization_registry& JsonSerializationRegistry();
KORVEX_SERIALIZATION_API binary_serialization_registry& BinarySerializationRegistry();

}  // namespace korvex
