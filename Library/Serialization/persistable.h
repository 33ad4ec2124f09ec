#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/multi_process_stream.h"

namespace korvex::details {
struct serialization_access;
}

// Declares, inside the class T, the seven static entry points (files and bytes) of a persistable class
// and its record writers and readers (private, reached by the generic code through
// details::serialization_access). Defined with KORVEX_DEFINE_PERSISTENCE(T) from
// "Serialization/serialization_impl.h" in the class's source file.
//
//   write_to_json(path, obj)    writes {"root": record of obj} to a JSON file
//   read_from_json(path)        reads such a file back into a new T (never null)
//   write_to_binary(path, obj)  writes the binary record of obj to a file
//   read_from_binary(path)      reads such a file back into a new T (never null)
//   json_to_string(obj)         the JSON record of obj, indented by 2 spaces
//   write_to_bytes(obj)         the content write_to_binary would give a file (header with
//                               checksum, then the binary record), as bytes in memory
//   read_from_bytes(bytes)      reads such bytes back into a new T (never null); damaged,
//                               truncated or extended bytes raise Error
#define KORVEX_PERSISTABLE(T)                                                                  \
public:                                                                                        \
    static void write_to_json(const std::string& path, const std::shared_ptr<const T>& obj);   \
    static std::shared_ptr<const T> read_from_json(const std::string& path);                   \
    static void write_to_binary(const std::string& path, const std::shared_ptr<const T>& obj); \
    static std::shared_ptr<const T> read_from_binary(const std::string& path);                 \
    static std::string json_to_string(const std::shared_ptr<const T>& obj);                    \
    static std::vector<std::uint8_t> write_to_bytes(const std::shared_ptr<const T>& obj);      \
    static std::shared_ptr<const T> read_from_bytes(std::span<const std::uint8_t> bytes);      \
                                                                                               \
private:                                                                                       \
    friend struct ::korvex::details::serialization_access;                                     \
    void save(nlohmann::ordered_json& record) const;                                           \
    void load(nlohmann::ordered_json& record);                                                 \
    void save(::korvex::multi_process_stream& record) const;                                   \
    void load(::korvex::multi_process_stream& record)
