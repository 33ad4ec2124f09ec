// Discount factor queries on flat and 30-pillar piecewise curves, side by side with
// QuantLib's FlatForward and ForwardCurve (backward-flat forwards), and the write / read
// throughput of a 10,000-pillar curve in JSON and binary files.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Serialization/serialization_impl.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/termstructures/yield/forwardcurve.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

using namespace korvex;

constexpr double valuation_serial = 45292.0;  // 2024-01-01
constexpr int pillar_count = 30;
constexpr int query_count = 1000;

std::shared_ptr<const day_count_convention> act_365()
{
    return std::make_shared<const day_count_convention>(act_365_fixed);
}

// Yearly pillars from one year after the valuation date, rates rising from 1% to 3.9%.
std::vector<datetime> pillar_dates(int count, double spacing_days)
{
    std::vector<datetime> dates;
    for (int k = 1; k <= count; ++k)
        dates.emplace_back(valuation_serial + k * spacing_days);
    return dates;
}

std::vector<double> pillar_rates(int count)
{
    std::vector<double> rates;
    for (int k = 0; k < count; ++k)
        rates.push_back(0.01 + 0.001 * k);
    return rates;
}

// Whole-day query dates spread over the 30 years of the curve.
std::vector<datetime> query_dates()
{
    std::vector<datetime> dates;
    for (int i = 0; i < query_count; ++i)
        dates.emplace_back(valuation_serial + 1.0 + std::floor(i * (pillar_count * 365.0) / query_count));
    return dates;
}

const datetime valuation(valuation_serial);

void BM_korvex_flat_df(benchmark::State& state)
{
    const discount_curve_flat curve(valuation, 0.05, act_365());
    const std::vector<datetime> dates = query_dates();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve.df(valuation, dates[i]));
        i = (i + 1) % dates.size();
    }
}
BENCHMARK(BM_korvex_flat_df);

void BM_korvex_piecewise_df(benchmark::State& state)
{
    const discount_curve_piecewise_constant curve(valuation, pillar_dates(pillar_count, 365.0),
                                                  pillar_rates(pillar_count), act_365());
    const std::vector<datetime> dates = query_dates();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve.df(valuation, dates[i]));
        i = (i + 1) % dates.size();
    }
}
BENCHMARK(BM_korvex_piecewise_df);

void BM_korvex_piecewise_dfs_1000(benchmark::State& state)
{
    const discount_curve_piecewise_constant curve(valuation, pillar_dates(pillar_count, 365.0),
                                                  pillar_rates(pillar_count), act_365());
    const std::vector<datetime> dates = query_dates();
    for (auto _ : state)
        benchmark::DoNotOptimize(curve.dfs(dates));
    state.SetItemsProcessed(state.iterations() * query_count);
}
BENCHMARK(BM_korvex_piecewise_dfs_1000);

// The same dates in a shuffled order: each date's pillar is searched for.
void BM_korvex_piecewise_dfs_1000_shuffled(benchmark::State& state)
{
    const discount_curve_piecewise_constant curve(valuation, pillar_dates(pillar_count, 365.0),
                                                  pillar_rates(pillar_count), act_365());
    std::vector<datetime> dates = query_dates();
    std::shuffle(dates.begin(), dates.end(), std::mt19937(7));
    std::vector<double> factors(dates.size());
    for (auto _ : state) {
        curve.dfs(dates, factors);
        benchmark::DoNotOptimize(factors.data());
    }
    state.SetItemsProcessed(state.iterations() * query_count);
}
BENCHMARK(BM_korvex_piecewise_dfs_1000_shuffled);

void BM_korvex_flat_dfs_1000(benchmark::State& state)
{
    const discount_curve_flat curve(valuation, 0.05, act_365());
    const std::vector<datetime> dates = query_dates();
    for (auto _ : state)
        benchmark::DoNotOptimize(curve.dfs(dates));
    state.SetItemsProcessed(state.iterations() * query_count);
}
BENCHMARK(BM_korvex_flat_dfs_1000);

#ifdef KORVEX_HAVE_QUANTLIB

QuantLib::Date ql_date(const datetime& d)
{
    return QuantLib::Date(static_cast<QuantLib::Date::serial_type>(d.as_float()));
}

std::vector<QuantLib::Date> ql_query_dates()
{
    std::vector<QuantLib::Date> dates;
    for (const datetime& d : query_dates())
        dates.push_back(ql_date(d));
    return dates;
}

// ForwardCurve: forward f[k] holds on (t[k-1], t[k]], the first date being the reference.
std::shared_ptr<QuantLib::ForwardCurve> ql_forward_curve()
{
    std::vector<QuantLib::Date> dates{ql_date(valuation)};
    std::vector<QuantLib::Rate> forwards{pillar_rates(pillar_count)[0]};
    for (const datetime& d : pillar_dates(pillar_count, 365.0))
        dates.push_back(ql_date(d));
    for (const double r : pillar_rates(pillar_count))
        forwards.push_back(r);
    return std::make_shared<QuantLib::ForwardCurve>(dates, forwards, QuantLib::Actual365Fixed());
}

void set_evaluation_date()
{
    QuantLib::Settings::instance().evaluationDate() = ql_date(valuation);
}

void BM_quantlib_flat_discount(benchmark::State& state)
{
    set_evaluation_date();
    const QuantLib::FlatForward curve(ql_date(valuation), 0.05, QuantLib::Actual365Fixed(),
                                      QuantLib::Continuous);
    const std::vector<QuantLib::Date> dates = ql_query_dates();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve.discount(dates[i]));
        i = (i + 1) % dates.size();
    }
}
BENCHMARK(BM_quantlib_flat_discount);

void BM_quantlib_forward_curve_discount(benchmark::State& state)
{
    set_evaluation_date();
    const auto curve = ql_forward_curve();
    const std::vector<QuantLib::Date> dates = ql_query_dates();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve->discount(dates[i]));
        i = (i + 1) % dates.size();
    }
}
BENCHMARK(BM_quantlib_forward_curve_discount);

void BM_quantlib_forward_curve_discount_1000(benchmark::State& state)
{
    set_evaluation_date();
    const auto curve = ql_forward_curve();
    const std::vector<QuantLib::Date> dates = ql_query_dates();
    for (auto _ : state) {
        std::vector<double> factors;
        factors.reserve(dates.size());
        for (const QuantLib::Date& d : dates)
            factors.push_back(curve->discount(d));
        benchmark::DoNotOptimize(factors);
    }
    state.SetItemsProcessed(state.iterations() * query_count);
}
BENCHMARK(BM_quantlib_forward_curve_discount_1000);

// Both libraries describe the same curve: report the largest difference once.
void BM_agreement_with_quantlib(benchmark::State& state)
{
    set_evaluation_date();
    const discount_curve_piecewise_constant curve(valuation, pillar_dates(pillar_count, 365.0),
                                                  pillar_rates(pillar_count), act_365());
    const auto peer = ql_forward_curve();
    double largest = 0.0;
    for (auto _ : state)
        for (const datetime& d : query_dates())
            largest = std::max(largest, std::abs(curve.df(valuation, d) - peer->discount(ql_date(d))));
    state.counters["max_abs_df_difference"] = largest;
}
BENCHMARK(BM_agreement_with_quantlib)->Iterations(1);

#else

void BM_quantlib_skipped(benchmark::State& state)
{
    state.SkipWithError("QuantLib is not installed (libquantlib0-dev): peer comparison skipped");
    for (auto _ : state) {
    }
}
BENCHMARK(BM_quantlib_skipped);

#endif

// ---------------------------------------------------------------------------------------
// File throughput of a 10,000-pillar curve.

constexpr int large_pillar_count = 10000;

std::shared_ptr<const discount_curve_piecewise_constant> large_curve()
{
    std::vector<double> rates;
    for (int k = 0; k < large_pillar_count; ++k)
        rates.push_back(0.01 + 1e-6 * k + 1.0 / 3.0 * 1e-3);
    return std::make_shared<const discount_curve_piecewise_constant>(
        valuation, pillar_dates(large_pillar_count, 1.0), rates, act_365());
}

std::string scratch_path(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

template <bool Binary>
void write_curve(const std::string& path, const std::shared_ptr<const discount_curve_piecewise_constant>& curve)
{
    if constexpr (Binary)
        discount_curve_piecewise_constant::write_to_binary(path, curve);
    else
        discount_curve_piecewise_constant::write_to_json(path, curve);
}

template <bool Binary>
void BM_write_large_curve(benchmark::State& state)
{
    const auto curve = large_curve();
    const std::string path = scratch_path(Binary ? "korvex_bench_curve.bin" : "korvex_bench_curve.json");
    for (auto _ : state)
        write_curve<Binary>(path, curve);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_write_large_curve<false>)->Name("BM_write_10000_pillars_json")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_large_curve<true>)->Name("BM_write_10000_pillars_binary")->Unit(benchmark::kMicrosecond);

template <bool Binary>
void BM_read_large_curve(benchmark::State& state)
{
    const std::string path = scratch_path(Binary ? "korvex_bench_read.bin" : "korvex_bench_read.json");
    write_curve<Binary>(path, large_curve());
    for (auto _ : state) {
        if constexpr (Binary)
            benchmark::DoNotOptimize(discount_curve_piecewise_constant::read_from_binary(path));
        else
            benchmark::DoNotOptimize(discount_curve_piecewise_constant::read_from_json(path));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_read_large_curve<false>)->Name("BM_read_10000_pillars_json")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_read_large_curve<true>)->Name("BM_read_10000_pillars_binary")->Unit(benchmark::kMicrosecond);

// The same records built in memory, without the file system (and its flush to disk).
void BM_encode_10000_pillars_json(benchmark::State& state)
{
    const auto curve = large_curve();
    std::size_t size = 0;
    for (auto _ : state) {
        nlohmann::ordered_json document;
        details::save(document["root"], curve);
        const std::string text = document.dump(2);
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_encode_10000_pillars_json)->Unit(benchmark::kMicrosecond);

void BM_encode_10000_pillars_binary(benchmark::State& state)
{
    const auto curve = large_curve();
    std::size_t size = 0;
    for (auto _ : state) {
        multi_process_stream stream;
        details::save(stream, curve);
        size = stream.GetRawData().size();
        benchmark::DoNotOptimize(stream.GetRawData().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_encode_10000_pillars_binary)->Unit(benchmark::kMicrosecond);

}  // namespace
