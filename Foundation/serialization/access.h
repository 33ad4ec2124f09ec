#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "serialization/serialization_export.h"

namespace korvex::serialization {

// All file input and output of the persistence layer.
//
// Writes are atomic: the content goes to a temporary file in the target's folder, which is
// then renamed over the target, so the target name holds either the old content or the
// complete new one. The temporary file is removed when a write fails. Files are not forced
// to disk (no fsync), as with ordinary writes; durability against a power cut is the file
// system's.
//
// JSON files hold the document printed with an indent of 2 spaces, UTF-8, invalid UTF-8
// refused (the JSON library's type_error, raised before the file is touched).
//
// Binary files hold a 24-byte header followed by the payload:
//   offset 0   8 bytes  magic "KORVEXBF"
//   offset 8   4 bytes  format version, little-endian (currently 1)
//   offset 12  4 bytes  CRC-32C of the payload, little-endian
//   offset 16  8 bytes  payload length in bytes, little-endian
// A file that does not start with the magic, has another version, is shorter or longer
// than its header says, or whose payload does not match the checksum is refused before
// any byte of it is handed out.
//
// Every failure raises `Error` whose message names the path; failures of the system
// (missing file, permissions, full disk) add the system's reason (strerror).
class KORVEX_SERIALIZATION_API access
{
public:
    static void write_json(const std::string& path, const nlohmann::ordered_json& document);
    static void read_json(const std::string& path, nlohmann::ordered_json& document);

    static void write_binary(const std::string& path, const std::vector<std::uint8_t>& bytes);
    static void read_binary(const std::string& path, std::vector<std::uint8_t>& bytes);

    static constexpr char binary_magic[9] = "KORVEXBF";
    static constexpr std::uint32_t binary_format_version = 1;
    static constexpr std::size_t binary_header_size = 24;
};

}  // namespace korvex::serialization
