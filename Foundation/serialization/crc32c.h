#pragma once

#include <cstddef>
#include <cstdint>

#include "serialization/serialization_export.h"

namespace korvex::serialization {

// CRC-32C (Castagnoli polynomial 0x1EDC6F41, reflected, initial and final xor 0xFFFFFFFF)
// of `size` bytes, as in iSCSI, ext4 and SSE 4.2's crc32 instruction, which computes it
// where the processor has it (a table-driven version serves elsewhere).
// `crc32c("123456789", 9)` is 0xE3069283. Pass the previous result as `running` to
// continue a checksum over several blocks.
KORVEX_SERIALIZATION_API std::uint32_t crc32c(const void* data, std::size_t size,
                                             std::uint32_t running = 0) noexcept;

// The table-driven computation alone (slicing by 8), whatever the processor offers.
KORVEX_SERIALIZATION_API std::uint32_t crc32c_portable(const void* data, std::size_t size,
                                                      std::uint32_t running = 0) noexcept;

}  // namespace korvex::serialization
