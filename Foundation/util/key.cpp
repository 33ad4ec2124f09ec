#include "util/key.h"

#include <utility>

namespace korvex {

namespace {

// Final avalanche of MurmurHash3 (fmix64): every input bit affects every output bit.
std::uint64_t mix(std::uint64_t h) noexcept
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

}  // namespace

std::uint64_t key::hash_text(const std::string& text) noexcept
{
    // FNV-1a over the bytes, then mixed so that nearby texts spread over all 64 bits.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return mix(h ^ text.size());
}

key::key(std::string text) : text_(std::move(text)), hash_(hash_text(text_)) {}

key& key::operator=(std::string text)
{
    text_ = std::move(text);
    hash_ = hash_text(text_);
    return *this;
}

std::uint64_t key::hash(const key& k, std::uint64_t running) noexcept
{
    return mix(running * 0x9e3779b97f4a7c15ULL + k.hash_ + 0x632be59bd9b4e019ULL);
}

}  // namespace korvex
