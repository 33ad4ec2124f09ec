#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "serialization/serialization_export.h"

namespace korvex::serialization {

// All file input and output of the persistence layer.
//
// Writes are atomic: the target name holds either the old content or the complete new
// one, never a part, and a failed write leaves the target as it was.
//  - The content goes to an unnamed file (O_TMPFILE) in the target's folder, which gets a
//    name only once it is complete, so a writer killed mid-write leaves nothing behind. A
//    new target is linked in under its own name; an existing one is replaced by renaming
//    over it. Where the file system or the system offers no unnamed files (or no /proc to
//    link them through), a named temporary file ".korvex-" + 12 hex digits in the same
//    folder takes their place, removed on failure; only a writer killed mid-write can leave
//    one behind.
//  - A target that is a symbolic link (or a chain of them) stays one: the file it names
//    receives the content, and is created when missing.
//  - A replaced file keeps its permission bits (mode); a new file gets 0666 less the umask,
//    as with any created file. Owner and group are the writer's, and a replaced file's
//    other hard links keep the old content, as with every rename-based write.
//  - Files are not forced to disk (no fsync), as with ordinary writes; durability against
//    a power cut is the file system's.
//
// Reads accept regular files only (after symbolic links): a folder, a device such as
// /dev/zero or a FIFO is refused at once, without reading from it or waiting on it.
//
// JSON files hold the document printed with an indent of 2 spaces, UTF-8, invalid UTF-8
// refused (the JSON library's type_error, raised before the file is touched). A JSON file
// nesting arrays and objects deeper than 512 levels is refused while it is parsed (our
// records nest a few dozen at most), so that no document's depth can exhaust the stack. The
// binary records nest only as far as the classes they hold, whatever the bytes say.
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
//
// binary_bytes and binary_payload do the same in memory (pickles, messages): the header
// and the payload as one byte string, and the payload of such a string, checked as a file
// is; their messages name "The binary record" where a file's name its path.
class KORVEX_SERIALIZATION_API access
{
public:
    static void write_json(const std::string& path, const nlohmann::ordered_json& document);
    static void read_json(const std::string& path, nlohmann::ordered_json& document);

    static void write_binary(const std::string& path, const std::vector<std::uint8_t>& bytes);
    static void read_binary(const std::string& path, std::vector<std::uint8_t>& bytes);

    static std::vector<std::uint8_t> binary_bytes(const std::vector<std::uint8_t>& payload);
    static std::vector<std::uint8_t> binary_payload(std::span<const std::uint8_t> bytes);

    static constexpr char binary_magic[9] = "KORVEXBF";
    static constexpr std::uint32_t binary_format_version = 1;
    static constexpr std::size_t binary_header_size = 24;
};

}  // namespace korvex::serialization
