// Calls per second of the normal distribution's cdf and inverses on 10^6 points, and the time
// to build Gaussian quadrature rules of 10, 100 and 1000 points, side by side with QuantLib
// where it offers the same: CumulativeNormalDistribution (its own erf) and
// MaddockCumulativeNormal (Boost's erfc) for cdfnorm, InverseCumulativeNormal (Acklam) for
// cdfnorminv_fast, MaddockInverseCumulativeNormal (Boost's erf_inv) for cdfnorminv, and
// GaussLegendre/Laguerre/HermiteIntegration (Golub-Welsch by QR) for the rules.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Vectorization/expressions/vector.h"
#include "math/gaussian_quadrature.h"
#include "math/normal_distribution.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/math/distributions/normaldistribution.hpp>
#include <ql/math/integrals/gaussianquadratures.hpp>
#endif

namespace korvex {
namespace {

constexpr std::size_t point_count = 1000000;

template <class Distribution>
std::vector<double> sample(std::uint64_t seed, Distribution distribution)
{
    std::mt19937_64 generator(seed);
    std::vector<double> points(point_count);
    for (double& x : points)
        x = distribution(generator);
    return points;
}

// Normal points of standard deviation 2 for the cdf, uniforms in (0, 1) for the inverses.
const std::vector<double>& gaussian_points()
{
    static const std::vector<double> points = sample(7, std::normal_distribution<double>(0.0, 2.0));
    return points;
}

const std::vector<double>& uniform_points()
{
    static const std::vector<double> points =
        sample(11, std::uniform_real_distribution<double>(std::numeric_limits<double>::min(), 1.0));
    return points;
}

// Applies f to every point per iteration; the counter is calls per second.
template <class Function>
void per_point(benchmark::State& state, const std::vector<double>& points, const Function& f)
{
    for (auto _ : state) {
        double sum = 0.0;
        for (const double x : points)
            sum += f(x);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points.size()));
}

void cdfnorm(benchmark::State& state)
{
    per_point(state, gaussian_points(), [](double x) { return normal_distribution::cdfnorm(x); });
}

void cdfnorminv(benchmark::State& state)
{
    per_point(state, uniform_points(), [](double p) { return normal_distribution::cdfnorminv(p); });
}

void cdfnorminv_fast(benchmark::State& state)
{
    per_point(state, uniform_points(),
              [](double p) { return normal_distribution::cdfnorminv_fast(p); });
}

void cdfnorminv_array(benchmark::State& state)
{
    const std::vector<double>& uniform = uniform_points();
    std::vector<double> gaussian(uniform.size());
    for (auto _ : state) {
        normal_distribution::cdfnorminv(uniform.size(), uniform.data(), gaussian.data());
        benchmark::DoNotOptimize(gaussian.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * uniform.size()));
}

BENCHMARK(cdfnorm)->Unit(benchmark::kMillisecond);
BENCHMARK(cdfnorminv)->Unit(benchmark::kMillisecond);
BENCHMARK(cdfnorminv_fast)->Unit(benchmark::kMillisecond);
BENCHMARK(cdfnorminv_array)->Unit(benchmark::kMillisecond);

void gauss_legendre(benchmark::State& state)
{
    vector<double> points, weights;
    for (auto _ : state) {
        gaussian_quadrature::gauss_legendre_coefficients(state.range(0), points, weights);
        benchmark::DoNotOptimize(weights.data());
    }
}

void gauss_laguerre(benchmark::State& state)
{
    vector<double> points, weights;
    for (auto _ : state) {
        gaussian_quadrature::gauss_laguerre_coefficients(0.0, state.range(0), points, weights);
        benchmark::DoNotOptimize(weights.data());
    }
}

void gauss_hermite(benchmark::State& state)
{
    vector<double> points, weights;
    for (auto _ : state) {
        gaussian_quadrature::gauss_hermite_coefficients(state.range(0), points, weights, false);
        benchmark::DoNotOptimize(weights.data());
    }
}

void gauss_kronrod(benchmark::State& state)
{
    vector<double> x, w1, w2;
    for (auto _ : state) {
        gaussian_quadrature::gauss_kronrod(state.range(0), x, w1, w2);
        benchmark::DoNotOptimize(w1.data());
    }
}

BENCHMARK(gauss_legendre)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(gauss_laguerre)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(gauss_hermite)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(gauss_kronrod)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

#ifdef KORVEX_HAVE_QUANTLIB

// A QuantLib function object applied to the points.
template <class Function, const std::vector<double>& (*Points)()>
void quantlib(benchmark::State& state)
{
    const Function f;
    per_point(state, Points(), [&](double x) { return f(x); });
}

BENCHMARK(quantlib<QuantLib::CumulativeNormalDistribution, gaussian_points>)
    ->Name("quantlib_cdf")->Unit(benchmark::kMillisecond);
BENCHMARK(quantlib<QuantLib::MaddockCumulativeNormal, gaussian_points>)
    ->Name("quantlib_maddock_cdf")->Unit(benchmark::kMillisecond);
BENCHMARK(quantlib<QuantLib::MaddockInverseCumulativeNormal, uniform_points>)
    ->Name("quantlib_maddock_inverse")->Unit(benchmark::kMillisecond);
BENCHMARK(quantlib<QuantLib::InverseCumulativeNormal, uniform_points>)
    ->Name("quantlib_acklam_inverse")->Unit(benchmark::kMillisecond);

template <class Rule>
void quantlib_rule(benchmark::State& state)
{
    for (auto _ : state) {
        Rule rule(state.range(0));
        benchmark::DoNotOptimize(rule.weights().begin());
    }
}

BENCHMARK(quantlib_rule<QuantLib::GaussLegendreIntegration>)
    ->Name("quantlib_gauss_legendre")->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(quantlib_rule<QuantLib::GaussLaguerreIntegration>)
    ->Name("quantlib_gauss_laguerre")->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(quantlib_rule<QuantLib::GaussHermiteIntegration>)
    ->Name("quantlib_gauss_hermite")->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
}  // namespace korvex
