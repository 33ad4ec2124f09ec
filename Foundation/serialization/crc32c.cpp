#include "serialization/crc32c.h"

#include <array>
#include <bit>
#include <cstring>

namespace korvex::serialization {

namespace {

constexpr std::uint32_t polynomial = 0x82F63B78u;  // 0x1EDC6F41 reflected

// Slicing-by-8 tables: table[0] is the classic byte table, table[k][b] the CRC of byte b
// followed by k zero bytes, so eight bytes are folded per step.
using crc_tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr crc_tables make_tables()
{
    crc_tables tables{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ polynomial : c >> 1;
        tables[0][b] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t b = 0; b < 256; ++b)
            tables[k][b] = (tables[k - 1][b] >> 8) ^ tables[0][tables[k - 1][b] & 0xFFu];
    return tables;
}

constexpr crc_tables tables = make_tables();

// Raw CRC register update (no initial or final inversion).
std::uint32_t update_portable(std::uint32_t c, const unsigned char* bytes, std::size_t size) noexcept
{
    for (; size >= 8; size -= 8, bytes += 8) {
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        std::memcpy(&low, bytes, 4);
        std::memcpy(&high, bytes + 4, 4);
        if constexpr (std::endian::native == std::endian::big) {
            low = __builtin_bswap32(low);
            high = __builtin_bswap32(high);
        }
        low ^= c;
        c = tables[7][low & 0xFFu] ^ tables[6][(low >> 8) & 0xFFu] ^
            tables[5][(low >> 16) & 0xFFu] ^ tables[4][low >> 24] ^ tables[3][high & 0xFFu] ^
            tables[2][(high >> 8) & 0xFFu] ^ tables[1][(high >> 16) & 0xFFu] ^
            tables[0][high >> 24];
    }
    for (; size > 0; --size, ++bytes)
        c = (c >> 8) ^ tables[0][(c ^ *bytes) & 0xFFu];
    return c;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) std::uint32_t update_hardware(
    std::uint32_t c, const unsigned char* bytes, std::size_t size) noexcept
{
    std::uint64_t wide = c;
    for (; size >= 8; size -= 8, bytes += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes, 8);
        wide = __builtin_ia32_crc32di(wide, word);
    }
    c = static_cast<std::uint32_t>(wide);
    for (; size > 0; --size, ++bytes)
        c = __builtin_ia32_crc32qi(c, *bytes);
    return c;
}

const bool has_crc_instruction = __builtin_cpu_supports("sse4.2");
#endif

}  // namespace

std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t running) noexcept
{
    const auto* bytes = static_cast<const unsigned char*>(data);
#if defined(__x86_64__)
    if (has_crc_instruction)
        return ~update_hardware(~running, bytes, size);
#endif
    return ~update_portable(~running, bytes, size);
}

std::uint32_t crc32c_portable(const void* data, std::size_t size,
                              std::uint32_t running) noexcept
{
    return ~update_portable(~running, static_cast<const unsigned char*>(data), size);
}

}  // namespace korvex::serialization
