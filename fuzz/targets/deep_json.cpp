// Deeply nested JSON files, built from a short input, so that the fuzzer reaches nesting far
// beyond what its inputs of a few kilobytes could spell out. The input: the number of levels
// (uint32, modulo 2^18), then one byte per level, repeated as needed, whose two low bits open
// the level: `[`, `{"k":`, `[0,` or `{"a":1,"k":`. The innermost value is 0, and the whole is
// the member "a" of an object {"a": ..., "b": 0}, whose growth once copied the nested value
// recursively and exhausted the stack at 100,000 levels.
//
// Properties: the file reader returns documents nested up to 512 levels, with their nesting
// intact, and refuses deeper ones with Error naming the limit; a class's reader given the
// file fails only with korvex::Error or the JSON library's exception.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Market/common/any_container.h"
#include "core/error.h"
#include "fuzz_support.h"
#include "grid_input.h"
#include "serialization/access.h"

namespace {

using namespace korvex;
using json = nlohmann::ordered_json;

constexpr std::uint32_t depth_modulus = 1u << 18;
constexpr std::size_t depth_limit = 512;

constexpr std::string_view openers[] = {"[", "{\"k\":", "[0,", "{\"a\":1,\"k\":"};

bool is_array(std::uint8_t kind) { return (kind & 3u) == 0 || (kind & 3u) == 2; }

struct deep_document
{
    std::string text;
    std::size_t depth;  // the outer object included
};

deep_document build(const std::uint8_t* data, std::size_t size)
{
    fuzzing::field_reader fields(data, size);
    const std::size_t levels = fields.next<std::uint32_t>() % depth_modulus;
    const std::vector<std::uint8_t> kinds(data + std::min<std::size_t>(size, 4), data + size);
    const auto kind = [&](std::size_t level) {
        return kinds.empty() ? std::uint8_t{0} : kinds[level % kinds.size()];
    };
    std::string text = "{\"a\":";
    for (std::size_t level = 0; level < levels; ++level)
        text += openers[kind(level) & 3u];
    text += '0';
    for (std::size_t level = levels; level-- > 0;)
        text += is_array(kind(level)) ? ']' : '}';
    text += ",\"b\":0}";
    return {std::move(text), levels + 1};
}

// The nesting of a document read back: the chain through "a", then "k" or the last element.
std::size_t nesting(const json& document)
{
    std::size_t depth = 1;
    for (const json* level = &document["a"]; level->is_structured(); ++depth)
        level = level->is_array() ? &level->back() : &(*level)["k"];
    return depth;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const deep_document document = build(data, size);
    const std::string path = fuzzing::scratch_folder::instance().file("deep.json");
    fuzzing::write_file(path, reinterpret_cast<const std::uint8_t*>(document.text.data()),
                        document.text.size());

    json read;
    try {
        serialization::access::read_json(path, read);
        if (document.depth > depth_limit)
            fuzzing::fault("a document nested deeper than 512 levels was read");
        if (nesting(read) != document.depth)
            fuzzing::fault("a document read back with another nesting");
    } catch (const Error& e) {
        if (document.depth <= depth_limit)
            fuzzing::fault(std::string("a document within 512 levels was refused: ") + e.what());
        if (e.message().find("nests arrays and objects deeper than 512 levels") == std::string::npos)
            fuzzing::fault(std::string("a deep document was refused for another reason: ") +
                           e.what());
    }

    try {
        (void)any_container::read_from_json(path);
    } catch (const Error&) {
    } catch (const json::exception&) {
    }
    return 0;
}

namespace {

std::vector<std::uint8_t> seed(std::uint32_t levels, std::vector<std::uint8_t> kinds)
{
    fuzzing::field_writer fields;
    fields.add(levels);
    for (const std::uint8_t kind : kinds)
        fields.add(kind);
    return fields.bytes();
}

}  // namespace

// The file that once exhausted the stack (100,000 arrays), the deepest document read (511
// levels of every kind inside the outer object) and the shallowest refused.
std::vector<std::vector<std::uint8_t>> korvex_fuzz_seeds()
{
    return {seed(100000, {0}), seed(511, {0, 1, 2, 3}), seed(512, {1})};
}
