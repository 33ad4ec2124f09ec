#pragma once

#include <cstddef>
#include <cstdint>

#include "serialization/serialization_export.h"

namespace korvex::serialization {

// CRC-32 (the IEEE 802.3 / zlib polynomial, reflected, initial and final xor 0xFFFFFFFF)
// of `size` bytes. `crc32("123456789", 9)` is 0xCBF43926. Pass the previous result as
// `running` to continue a checksum over several blocks.
KORVEX_SERIALIZATION_API std::uint32_t crc32(const void* data, std::size_t size,
                                            std::uint32_t running = 0) noexcept;

}  // namespace korvex::serialization
