#pragma once

// The fuzz targets of a persistable class T: its JSON reader (the input is the file's
// text) and its binary reader (the input is the record stream, written under a valid
// file header so that the checksum does not stop the fuzzer at the door).
//
// A read may fail only with korvex::Error or the JSON library's exception. What a read
// returns must either be refused by the writers up front (Error, the JSON library's
// exception, or std::bad_typeid for a null polymorphic pointer), leaving no file, or
// write, read back, and reach a fixed point: each write / read cycle may turn one more
// level of null nested records into default objects, and after at most
// `max_cycles` cycles the written file no longer changes. Anything else aborts.
//
// A target's source file gives the class and a few objects for the seed corpus:
//     KORVEX_FUZZ_PERSISTABLE(currency, {std::make_shared<const currency>(key("USD")), nullptr})
// (the seeds: a braced list or an expression giving a std::vector of them)
// and is built once per format (KORVEX_FUZZ_FORMAT_JSON or KORVEX_FUZZ_FORMAT_BINARY) by
// korvex_fuzz_persistable() in fuzz/CMakeLists.txt.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/error.h"
#include "fuzz_support.h"
#include "serialization/access.h"

namespace korvex::fuzzing {

inline constexpr int max_cycles = 4;

struct json_format
{
    static constexpr const char* name = "JSON";
    template <class T>
    static void write(const std::string& path, const std::shared_ptr<const T>& obj)
    {
        T::write_to_json(path, obj);
    }
    template <class T>
    static std::shared_ptr<const T> read(const std::string& path)
    {
        return T::read_from_json(path);
    }
};

struct binary_format
{
    static constexpr const char* name = "binary";
    template <class T>
    static void write(const std::string& path, const std::shared_ptr<const T>& obj)
    {
        T::write_to_binary(path, obj);
    }
    template <class T>
    static std::shared_ptr<const T> read(const std::string& path)
    {
        return T::read_from_binary(path);
    }
};

// The bytes of the file `obj` writes, or nothing when the writer refuses it; a refusal
// must leave no file behind.
template <class Format, class T>
std::optional<std::vector<std::uint8_t>> written_file(const std::shared_ptr<const T>& obj)
{
    const std::string path = scratch_folder::instance().file("written");
    std::filesystem::remove(path);
    try {
        Format::write(path, obj);
    } catch (const Error&) {
    } catch (const nlohmann::ordered_json::exception&) {
    } catch (const std::bad_typeid&) {
    }
    if (!std::filesystem::exists(path))
        return std::nullopt;
    return read_file(path);
}

// Writes obj, reads it back, and again, until the file stops changing.
template <class Format, class T>
void check_write_read_cycles(std::shared_ptr<const T> obj)
{
    std::optional<std::vector<std::uint8_t>> previous;
    for (int cycle = 0; cycle < max_cycles; ++cycle) {
        std::optional<std::vector<std::uint8_t>> bytes = written_file<Format>(obj);
        if (!bytes) {
            if (cycle == 0)
                return;  // refused up front
            fault(std::string(Format::name) +
                  " writer refuses what its reader returned from our own file");
        }
        if (previous == bytes)
            return;
        const std::string path = scratch_folder::instance().file("reread");
        write_file(path, bytes->data(), bytes->size());
        try {
            obj = Format::template read<T>(path);
        } catch (const std::exception& e) {
            fault(std::string(Format::name) + " reader refuses the file its writer wrote: " +
                  e.what());
        }
        previous = std::move(bytes);
    }
    fault(std::string(Format::name) + " write / read cycles do not reach a fixed point");
}

// Reads the input in Format; any failure other than a clean refusal propagates, and the
// fuzzer reports it.
template <class Format, class T>
int fuzz_reader(const std::uint8_t* data, std::size_t size)
{
    const std::string path = scratch_folder::instance().file("input");
    if constexpr (std::is_same_v<Format, binary_format>)
        serialization::access::write_binary(path, std::vector<std::uint8_t>(data, data + size));
    else
        write_file(path, data, size);
    std::shared_ptr<const T> obj;
    try {
        obj = Format::template read<T>(path);
    } catch (const Error&) {
        return 0;
    } catch (const nlohmann::ordered_json::exception&) {
        return 0;
    }
    if (obj == nullptr)
        fault("a reader returned null");
    check_write_read_cycles<json_format>(obj);
    check_write_read_cycles<binary_format>(obj);
    return 0;
}

// The inputs of the seed corpus: what our writers produce for the given objects (for the
// binary format, the record stream without the file header).
template <class Format, class T>
std::vector<std::vector<std::uint8_t>> seeds_of(
    const std::vector<std::shared_ptr<const T>>& objects)
{
    std::vector<std::vector<std::uint8_t>> seeds;
    const std::string path = scratch_folder::instance().file("seed");
    for (const auto& obj : objects) {
        Format::write(path, obj);
        if constexpr (std::is_same_v<Format, binary_format>) {
            std::vector<std::uint8_t> payload;
            serialization::access::read_binary(path, payload);
            seeds.push_back(std::move(payload));
        } else {
            seeds.push_back(read_file(path));
        }
    }
    return seeds;
}

}  // namespace korvex::fuzzing

#if defined(KORVEX_FUZZ_FORMAT_JSON)
#define KORVEX_FUZZ_FORMAT ::korvex::fuzzing::json_format
#elif defined(KORVEX_FUZZ_FORMAT_BINARY)
#define KORVEX_FUZZ_FORMAT ::korvex::fuzzing::binary_format
#endif

// The two entry points of a persistable class's target; `...` is the braced list of
// seed objects (shared pointers to const T, null allowed).
#define KORVEX_FUZZ_PERSISTABLE(T, ...)                                                   \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)     \
    {                                                                                     \
        return ::korvex::fuzzing::fuzz_reader<KORVEX_FUZZ_FORMAT, T>(data, size);         \
    }                                                                                     \
    std::vector<std::vector<std::uint8_t>> korvex_fuzz_seeds()                            \
    {                                                                                     \
        return ::korvex::fuzzing::seeds_of<KORVEX_FUZZ_FORMAT, T>(                        \
            std::vector<std::shared_ptr<const T>>(__VA_ARGS__));                          \
    }
