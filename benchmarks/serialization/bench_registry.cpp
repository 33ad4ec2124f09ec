// What the registry's locking costs a file read. The registry takes a shared lock per
// lookup and hands out shared ownership of the entry; an unlocked table handing out a
// plain pointer (the cheapest possible lookup, unsafe while another thread adds) is timed
// beside it, alone and inside a whole file read that dispatches a curve record by its
// class tag. The difference between the two file reads is the price of the lock.

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Serialization/serialization_impl.h"

namespace {

using namespace korvex;
using json = nlohmann::ordered_json;

const std::string curve_tag = "korvex::discount_curve_piecewise_constant";

// The registry's entries copied into a table without a lock.
class unlocked_table
{
public:
    unlocked_table()
    {
        for (const char* tag : {"korvex::discount_curve_flat", "korvex::discount_curve_piecewise_constant"}) {
            json_entries_.emplace(tag, *JsonSerializationRegistry().find(tag));
            binary_entries_.emplace(tag, *BinarySerializationRegistry().find(tag));
        }
    }
    const json_serialization_function* find_json(const std::string& tag) const
    {
        const auto it = json_entries_.find(tag);
        return it == json_entries_.end() ? nullptr : &it->second;
    }
    const binary_serialization_function* find_binary(const std::string& tag) const
    {
        const auto it = binary_entries_.find(tag);
        return it == binary_entries_.end() ? nullptr : &it->second;
    }

private:
    std::unordered_map<std::string, json_serialization_function> json_entries_;
    std::unordered_map<std::string, binary_serialization_function> binary_entries_;
};

const unlocked_table& unlocked()
{
    static const unlocked_table table;
    return table;
}

// A 30-pillar curve written once to a JSON and a binary file in the temporary folder.
struct curve_files
{
    curve_files()
    {
        std::vector<datetime> dates;
        std::vector<double> rates;
        for (int k = 1; k <= 30; ++k) {
            dates.emplace_back(45292.0 + 365.0 * k);
            rates.push_back(0.01 + 0.001 * k);
        }
        const std::shared_ptr<const market_data> curve = std::make_shared<const discount_curve_piecewise_constant>(
            datetime(45292.0), dates, rates, std::make_shared<const day_count_convention>());
        json document;
        details::save_polymorphic(document["root"], curve);
        serialization::access::write_json(json_path, document);
        multi_process_stream stream;
        details::save_polymorphic(stream, curve);
        serialization::access::write_binary(binary_path, stream.GetRawData());
    }
    ~curve_files()
    {
        std::filesystem::remove(json_path);
        std::filesystem::remove(binary_path);
    }

    const std::string folder = std::filesystem::temp_directory_path().string();
    const std::string json_path = folder + "/korvex-bench-registry.json";
    const std::string binary_path = folder + "/korvex-bench-registry.bin";
};

const curve_files& files()
{
    static const curve_files instance;
    return instance;
}

void BM_lookup_locked(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(JsonSerializationRegistry().find(curve_tag));
}
BENCHMARK(BM_lookup_locked)->Threads(1)->Threads(2);

void BM_lookup_unlocked(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(unlocked().find_json(curve_tag));
}
BENCHMARK(BM_lookup_unlocked)->Threads(1)->Threads(2);

// A whole JSON file read: the file, the parse, the lookup of the record's tag and the
// curve's reader.
template <bool Locked>
void BM_read_json_file(benchmark::State& state)
{
    const std::string& path = files().json_path;
    for (auto _ : state) {
        json document;
        serialization::access::read_json(path, document);
        json& record = document["root"];
        const std::string tag = record["Class"].get<std::string>();
        std::shared_ptr<const market_data> curve;
        if constexpr (Locked)
            (*JsonSerializationRegistry().find(tag))(record, &curve, true);
        else
            (*unlocked().find_json(tag))(record, &curve, true);
        benchmark::DoNotOptimize(curve);
    }
}
BENCHMARK(BM_read_json_file<true>)->Name("BM_read_json_file/locked_registry");
BENCHMARK(BM_read_json_file<false>)->Name("BM_read_json_file/unlocked_table");

template <bool Locked>
void BM_read_binary_file(benchmark::State& state)
{
    const std::string& path = files().binary_path;
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes;
        serialization::access::read_binary(path, bytes);
        multi_process_stream stream;
        stream.SetRawData(std::move(bytes));
        std::string tag;
        stream >> tag;
        std::shared_ptr<const market_data> curve;
        if constexpr (Locked)
            (*BinarySerializationRegistry().find(tag))(stream, &curve, true);
        else
            (*unlocked().find_binary(tag))(stream, &curve, true);
        benchmark::DoNotOptimize(curve);
    }
}
BENCHMARK(BM_read_binary_file<true>)->Name("BM_read_binary_file/locked_registry");
BENCHMARK(BM_read_binary_file<false>)->Name("BM_read_binary_file/unlocked_table");

}  // namespace
