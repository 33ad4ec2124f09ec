// The expression evaluator against hand-written loops over raw arrays, for
// d += s * a * b and d = s * a on 10^3 ... 10^7 doubles.
#include <benchmark/benchmark.h>

#include "Vectorization/expressions/vector.h"

namespace {

using korvex::vector;

vector<double> filled(std::size_t n, double value)
{
    vector<double> v(n);
    v = value;
    return v;
}

__attribute__((noinline)) void hand_multiply_add(double* d, const double* a, const double* b,
                                                 double s, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        d[i] += s * a[i] * b[i];
}

__attribute__((noinline)) void hand_scale(double* d, const double* a, double s, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        d[i] = s * a[i];
}

__attribute__((noinline)) void run_multiply_add(vector<double>& d, const vector<double>& a,
                                                const vector<double>& b, double s)
{
    korvex::run_add(d, s * a * b);
}

__attribute__((noinline)) void run_scale(vector<double>& d, const vector<double>& a, double s)
{
    korvex::run(d, s * a);
}

void report(benchmark::State& state, std::size_t n, std::size_t bytes_per_element)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n * bytes_per_element));
}

void BM_MultiplyAdd_Run(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    vector<double> d = filled(n, 0.0), a = filled(n, 1.0001), b = filled(n, 0.9999);
    for (auto _ : state) {
        run_multiply_add(d, a, b, 1e-9);
        benchmark::ClobberMemory();
    }
    report(state, n, 32);
}

void BM_MultiplyAdd_HandLoop(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    vector<double> d = filled(n, 0.0), a = filled(n, 1.0001), b = filled(n, 0.9999);
    for (auto _ : state) {
        hand_multiply_add(d.data(), a.data(), b.data(), 1e-9, n);
        benchmark::ClobberMemory();
    }
    report(state, n, 32);
}

void BM_Scale_Run(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    vector<double> d = filled(n, 0.0), a = filled(n, 1.0001);
    for (auto _ : state) {
        run_scale(d, a, 1.5);
        benchmark::ClobberMemory();
    }
    report(state, n, 16);
}

void BM_Scale_HandLoop(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    vector<double> d = filled(n, 0.0), a = filled(n, 1.0001);
    for (auto _ : state) {
        hand_scale(d.data(), a.data(), 1.5, n);
        benchmark::ClobberMemory();
    }
    report(state, n, 16);
}

}  // namespace

BENCHMARK(BM_MultiplyAdd_Run)->RangeMultiplier(10)->Range(1000, 10000000);
BENCHMARK(BM_MultiplyAdd_HandLoop)->RangeMultiplier(10)->Range(1000, 10000000);
BENCHMARK(BM_Scale_Run)->RangeMultiplier(10)->Range(1000, 10000000);
BENCHMARK(BM_Scale_HandLoop)->RangeMultiplier(10)->Range(1000, 10000000);
