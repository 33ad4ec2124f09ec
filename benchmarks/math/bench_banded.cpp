// Banded factorisation + solve against plain textbook loops, on one line of 10^3 .. 10^6
// nodes and along each dimension of a 500 x 500 block. Each iteration restores the bands
// and the right-hand side (not timed) and times the factorisation and one solve; the
// counter ns_per_node is that time per node.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "math/pentadiagonal_operations.h"
#include "math/tridiagonal_operations.h"

namespace korvex {
namespace {

struct triple
{
    std::size_t outer, n, inner;
    std::size_t size() const { return outer * n * inner; }
};

// Diagonally dominant bands (row j = band j) and a right-hand side for every node.
struct system
{
    matrix<double> bands;
    vector<double> rhs;

    system(std::size_t band_count, std::size_t nodes) : bands(band_count, nodes), rhs(nodes)
    {
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> off(-1.0, 1.0);
        for (std::size_t p = 0; p < nodes; ++p) {
            double sum = 0.0;
            for (std::size_t j = 0; j < band_count; ++j)
                if (j != band_count / 2) {
                    bands(j, p) = off(rng);
                    sum += std::abs(bands(j, p));
                }
            bands(band_count / 2, p) = sum + 1.0;
            rhs[p] = off(rng);
        }
    }
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs `solve` once per iteration on fresh copies, timing only `solve`.
template <class Solve>
void timed(benchmark::State& state, const system& original, std::size_t nodes, Solve solve)
{
    matrix<double> bands = original.bands;
    vector<double> x = original.rhs;
    double total = 0.0;
    double best = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        std::memcpy(bands.data(), original.bands.data(), bands.size() * sizeof(double));
        std::memcpy(x.data(), original.rhs.data(), x.size() * sizeof(double));
        const auto start = std::chrono::steady_clock::now();
        solve(bands, x);
        benchmark::ClobberMemory();
        const double elapsed = seconds_since(start);
        state.SetIterationTime(elapsed);
        total += elapsed;
        best = std::min(best, elapsed);
    }
    benchmark::DoNotOptimize(x.data());
    const double per_node = 1e9 / static_cast<double>(nodes);
    state.counters["ns_per_node"] = per_node * total / static_cast<double>(state.iterations());
    state.counters["best_ns_per_node"] = per_node * best;
}

// The Thomas algorithm as usually written (Numerical Recipes' tridag), one line of n nodes
// with stride s.
void plain_thomas(const double* a, const double* b, const double* c, const double* r,
                  double* x, double* gamma, std::size_t n, std::size_t s)
{
    double beta = b[0];
    x[0] = r[0] / beta;
    for (std::size_t k = 1; k < n; ++k) {
        const std::size_t p = k * s;
        gamma[k] = c[p - s] / beta;
        beta = b[p] - a[p] * gamma[k];
        x[p] = (r[p] - a[p] * x[p - s]) / beta;
    }
    for (std::size_t k = n - 1; k-- > 0;)
        x[k * s] -= gamma[k + 1] * x[(k + 1) * s];
}

// Doolittle LU of a pentadiagonal line fused with the forward substitution, then the back
// substitution; u0, u1 hold the upper factor and y the forward result.
void plain_pentadiagonal(const double* e, const double* a, const double* d, const double* c,
                         const double* f, const double* r, double* x, double* u0, double* u1,
                         std::size_t n, std::size_t s)
{
    u0[0] = d[0];
    u1[0] = c[0];
    x[0] = r[0];
    const double l = a[s] / u0[0];
    u0[1] = d[s] - l * u1[0];
    u1[1] = c[s] - l * f[0];
    x[s] = r[s] - l * x[0];
    for (std::size_t k = 2; k < n; ++k) {
        const std::size_t p = k * s;
        const double l2 = e[p] / u0[k - 2];
        const double l1 = (a[p] - l2 * u1[k - 2]) / u0[k - 1];
        u0[k] = d[p] - l2 * f[p - 2 * s] - l1 * u1[k - 1];
        u1[k] = k + 1 < n ? c[p] - l1 * f[p - s] : 0.0;
        x[p] = r[p] - l2 * x[p - 2 * s] - l1 * x[p - s];
    }
    const std::size_t last = (n - 1) * s;
    x[last] /= u0[n - 1];
    x[last - s] = (x[last - s] - u1[n - 2] * x[last]) / u0[n - 2];
    for (std::size_t k = n - 2; k-- > 0;) {
        const std::size_t p = k * s;
        x[p] = (x[p] - u1[k] * x[p + s] - f[p] * x[p + 2 * s]) / u0[k];
    }
}

template <class Operations>
void library_solve(benchmark::State& state, std::size_t band_count, triple t)
{
    const system original(band_count, t.size());
    timed(state, original, t.size(), [&](matrix<double>& bands, vector<double>& x) {
        Operations::decomposition(bands, t.outer, t.n, t.inner, false);
        Operations::solve_decomposed(x, bands, x, t.outer, t.n, t.inner, false);
    });
}

// Applies a plain line solver to every line of the block.
template <class Line>
void for_each_line(const triple& t, Line line)
{
    for (std::size_t o = 0; o < t.outer; ++o)
        for (std::size_t i = 0; i < t.inner; ++i)
            line(o * t.n * t.inner + i);
}

void plain_tridiagonal_solve(benchmark::State& state, triple t)
{
    const system original(3, t.size());
    vector<double> rhs = original.rhs;
    std::vector<double> gamma(t.n);
    timed(state, original, t.size(), [&](matrix<double>& bands, vector<double>& x) {
        const std::size_t columns = bands.columns();
        for_each_line(t, [&](std::size_t first) {
            const double* a = bands.data() + first;
            plain_thomas(a, a + columns, a + 2 * columns, rhs.data() + first, x.data() + first,
                         gamma.data(), t.n, t.inner);
        });
    });
}

void plain_pentadiagonal_solve(benchmark::State& state, triple t)
{
    const system original(5, t.size());
    vector<double> rhs = original.rhs;
    std::vector<double> u0(t.n), u1(t.n);
    timed(state, original, t.size(), [&](matrix<double>& bands, vector<double>& x) {
        const std::size_t columns = bands.columns();
        for_each_line(t, [&](std::size_t first) {
            const double* e = bands.data() + first;
            plain_pentadiagonal(e, e + columns, e + 2 * columns, e + 3 * columns,
                                e + 4 * columns, rhs.data() + first, x.data() + first,
                                u0.data(), u1.data(), t.n, t.inner);
        });
    });
}

triple line_of(const benchmark::State& state)
{
    return {1, static_cast<std::size_t>(state.range(0)), 1};
}

// range(0) = 0: lines along the contiguous dimension (500, 500, 1); 1: along the strided
// one (1, 500, 500).
triple block_of(const benchmark::State& state)
{
    return state.range(0) == 0 ? triple{500, 500, 1} : triple{1, 500, 500};
}

void tridiagonal_line(benchmark::State& state)
{
    library_solve<tridiagonal_operations>(state, 3, line_of(state));
}
void thomas_line(benchmark::State& state) { plain_tridiagonal_solve(state, line_of(state)); }
void pentadiagonal_line(benchmark::State& state)
{
    library_solve<pentadiagonal_operations>(state, 5, line_of(state));
}
void plain_pentadiagonal_line(benchmark::State& state)
{
    plain_pentadiagonal_solve(state, line_of(state));
}
void tridiagonal_block(benchmark::State& state)
{
    library_solve<tridiagonal_operations>(state, 3, block_of(state));
}
void thomas_block(benchmark::State& state) { plain_tridiagonal_solve(state, block_of(state)); }
void pentadiagonal_block(benchmark::State& state)
{
    library_solve<pentadiagonal_operations>(state, 5, block_of(state));
}
void plain_pentadiagonal_block(benchmark::State& state)
{
    plain_pentadiagonal_solve(state, block_of(state));
}

void line_sizes(benchmark::internal::Benchmark* b)
{
    b->ArgName("nodes")->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000);
    b->UseManualTime();
}
void block_directions(benchmark::internal::Benchmark* b)
{
    b->ArgName("strided")->Arg(0)->Arg(1)->UseManualTime();
}

BENCHMARK(tridiagonal_line)->Apply(line_sizes);
BENCHMARK(thomas_line)->Apply(line_sizes);
BENCHMARK(pentadiagonal_line)->Apply(line_sizes);
BENCHMARK(plain_pentadiagonal_line)->Apply(line_sizes);
BENCHMARK(tridiagonal_block)->Apply(block_directions);
BENCHMARK(thomas_block)->Apply(block_directions);
BENCHMARK(pentadiagonal_block)->Apply(block_directions);
BENCHMARK(plain_pentadiagonal_block)->Apply(block_directions);

}  // namespace
}  // namespace korvex
