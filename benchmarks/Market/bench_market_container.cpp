// A data container of 100,000 entries (identifiers of all three classes, curves and spots
// of all six classes): building it, contains / at lookups (time per lookup, the identifiers
// of all three classes in turn), and the write / read throughput of its JSON and binary
// files (a read includes releasing the container read; the "untimed_release" variants
// leave the release out). Also the cost of one class-tag demangling, which the record
// writers now pay once per class and thread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "Market/common/any_container.h"
#include "Market/credit/id/default_id.h"
#include "Market/credit/survival_curve/survival_curve_flat.h"
#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"
#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Market/fx/id/fx_spot_id.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Market/ir/id/discount_id.h"
#include "core/demangle.h"

namespace {

using namespace korvex;

constexpr std::size_t entry_count = 100000;
const datetime valuation(45292.0);
const char* const currencies[] = {"USD", "EUR", "GBP", "JPY", "CHF", "CAD", "AUD", "SEK"};

// Entry i: a default, discount or FX identifier in turn, all distinct.
any_id identifier(std::size_t i)
{
    const std::string n = std::to_string(i);
    const char* ccy = currencies[i % 8];
    switch (i % 3) {
    case 0: return any_id(std::make_shared<const default_id>("ISSUER" + n, ccy, "SNRFOR", "MM14", "2014"));
    case 1: return any_id(std::make_shared<const discount_id>("CURVE" + n, ccy));
    default: return any_id(std::make_shared<const fx_spot_id>(ccy, "C" + n));
    }
}

// Object i: one of the six market object classes in turn; curves of four pillars.
any_object object(std::size_t i, const std::shared_ptr<const day_count_convention>& convention)
{
    const double r = 0.01 + 1e-7 * static_cast<double>(i);
    const std::vector<datetime> pillars{datetime(45658.0), datetime(46023.0), datetime(46388.0), datetime(46753.0)};
    const std::vector<double> rates{r, r + 0.001, r + 0.002, r + 0.003};
    switch (i % 6) {
    case 0: return any_object(std::make_shared<const discount_curve_flat>(valuation, r, convention));
    case 1: return any_object(std::make_shared<const discount_curve_piecewise_constant>(valuation, pillars, rates, convention));
    case 2: return any_object(std::make_shared<const survival_curve_flat>(valuation, r, convention));
    case 3:
        return any_object(std::make_shared<const survival_curve_piecewise_constant>(valuation, pillars, rates, convention));
    case 4: return any_object(std::make_shared<const equity_spot>(valuation, 100.0 * r));
    default: return any_object(std::make_shared<const fx_spot>(valuation, 1.0 + r));
    }
}

struct market_lists
{
    std::vector<any_id> ids;
    std::vector<any_object> objects;
};

const market_lists& lists()
{
    static const market_lists built = [] {
        const auto convention = std::make_shared<const day_count_convention>(act_365_fixed);
        market_lists l;
        for (std::size_t i = 0; i < entry_count; ++i) {
            l.ids.push_back(identifier(i));
            l.objects.push_back(object(i, convention));
        }
        return l;
    }();
    return built;
}

const std::shared_ptr<const any_container>& market()
{
    static const auto container = std::make_shared<const any_container>(lists().ids, lists().objects);
    return container;
}

// Equal identifiers in other objects than those the container was built with.
const std::vector<any_id>& equal_ids()
{
    static const std::vector<any_id> ids = [] {
        std::vector<any_id> built;
        for (std::size_t i = 0; i < entry_count; ++i)
            built.push_back(identifier(i));
        return built;
    }();
    return ids;
}

// `count` positions among the entries, in an order the processor cannot predict.
std::vector<std::size_t> shuffled_positions(std::size_t count)
{
    std::vector<std::size_t> positions(entry_count);
    for (std::size_t i = 0; i < entry_count; ++i)
        positions[i] = i;
    std::shuffle(positions.begin(), positions.end(), std::mt19937_64(7));
    positions.resize(count);
    return positions;
}

void BM_build_100000(benchmark::State& state)
{
    const market_lists& l = lists();
    for (auto _ : state) {
        any_container container(l.ids, l.objects);
        benchmark::DoNotOptimize(container.size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(entry_count));
}
BENCHMARK(BM_build_100000)->Unit(benchmark::kMillisecond);

// Lookups of `range(0)` different entries in turn (all 100,000: mostly cache misses; 1,000:
// a pricer's working set), with the identifier objects the container holds (range(1) 0)
// or with equal copies (1).
template <class Lookup>
void lookups(benchmark::State& state, const Lookup& lookup)
{
    const any_container& container = *market();
    const std::vector<any_id>& ids = state.range(1) == 0 ? lists().ids : equal_ids();
    const std::vector<std::size_t> positions = shuffled_positions(static_cast<std::size_t>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        lookup(container, ids[positions[i]]);
        i = i + 1 == positions.size() ? 0 : i + 1;
    }
}

void lookup_arguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"entries", "copies"});
    for (const std::int64_t copies : {0, 1})
        for (const std::int64_t entries : {1000, 100000})
            b->Args({entries, copies});
}

void BM_contains(benchmark::State& state)
{
    lookups(state, [](const any_container& c, const any_id& id) { benchmark::DoNotOptimize(c.contains(id)); });
}
BENCHMARK(BM_contains)->Apply(lookup_arguments);

void BM_at(benchmark::State& state)
{
    lookups(state, [](const any_container& c, const any_id& id) { benchmark::DoNotOptimize(c.at(id)); });
}
BENCHMARK(BM_at)->Apply(lookup_arguments);

// at() and the typed accessor, as a pricer takes a curve out.
void BM_at_typed(benchmark::State& state)
{
    lookups(state, [](const any_container& c, const any_id& id) {
        benchmark::DoNotOptimize(c.at(id).get<market_data>());
    });
}
BENCHMARK(BM_at_typed)->Apply(lookup_arguments);

void BM_contains_absent(benchmark::State& state)
{
    const any_container& container = *market();
    std::vector<any_id> absent;
    for (std::size_t i = 0; i < 1000; ++i)
        absent.push_back(identifier(entry_count + i));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(container.contains(absent[i]));
        i = i + 1 == absent.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_contains_absent);

std::string scratch_path(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

template <bool Binary>
void write_market(const std::string& path)
{
    if constexpr (Binary)
        any_container::write_to_binary(path, market());
    else
        any_container::write_to_json(path, market());
}

template <bool Binary>
void BM_write(benchmark::State& state)
{
    const std::string path = scratch_path(Binary ? "korvex_bench_market.bin" : "korvex_bench_market.json");
    market();
    for (auto _ : state)
        write_market<Binary>(path);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}
BENCHMARK(BM_write<false>)->Name("BM_write_100000_json")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_write<true>)->Name("BM_write_100000_binary")->Unit(benchmark::kMillisecond);

template <bool Binary>
std::shared_ptr<const any_container> read_market(const std::string& path)
{
    if constexpr (Binary)
        return any_container::read_from_binary(path);
    else
        return any_container::read_from_json(path);
}

// Reading a file, with or without releasing the container read (then released untimed).
template <bool Binary, bool TimeRelease>
void BM_read(benchmark::State& state)
{
    const std::string path = scratch_path(Binary ? "korvex_bench_read_market.bin" : "korvex_bench_read_market.json");
    write_market<Binary>(path);
    for (auto _ : state) {
        std::shared_ptr<const any_container> read = read_market<Binary>(path);
        benchmark::DoNotOptimize(read.get());
        if constexpr (!TimeRelease) {
            state.PauseTiming();
            read.reset();
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_read<false, true>)->Name("BM_read_100000_json")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read<true, true>)->Name("BM_read_100000_binary")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read<false, false>)->Name("BM_read_100000_json_untimed_release")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read<true, false>)->Name("BM_read_100000_binary_untimed_release")->Unit(benchmark::kMillisecond);

// What writing one record's class tag costs when it is demangled from the type's name.
void BM_demangle_class_tag(benchmark::State& state)
{
    const std::type_info& type = typeid(survival_curve_piecewise_constant);
    for (auto _ : state)
        benchmark::DoNotOptimize(demangle(type.name()));
}
BENCHMARK(BM_demangle_class_tag);

}  // namespace
