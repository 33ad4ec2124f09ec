#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <string>

#include "util/util_export.h"

namespace korvex {

// A string-valued name with a cached, well-mixed 64-bit hash of its text. Keys compare by
// their text.
class KORVEX_UTIL_API key
{
public:
    key() : key(std::string()) {}
    key(std::string text);
    key(const char* text) : key(std::string(text)) {}

    key& operator=(std::string text);

    const std::string& to_string() const noexcept { return text_; }
    std::uint64_t hash() const noexcept { return hash_; }

    // Folds k into a running hash and returns the new value (order-sensitive).
    static std::uint64_t hash(const key& k, std::uint64_t running) noexcept;
    // Hash of a text, as key(text).hash().
    static std::uint64_t hash_text(const std::string& text) noexcept;

    friend bool operator==(const key& a, const key& b) noexcept
    {
        return a.hash_ == b.hash_ && a.text_ == b.text_;
    }
    friend std::strong_ordering operator<=>(const key& a, const key& b) noexcept
    {
        return a.text_ <=> b.text_;
    }

private:
    std::string text_;
    std::uint64_t hash_;
};

}  // namespace korvex

template <>
struct std::hash<korvex::key>
{
    std::size_t operator()(const korvex::key& k) const noexcept { return k.hash(); }
};
