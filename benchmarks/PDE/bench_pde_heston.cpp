// Time to price the Heston European calls of in 't Hout and Foulon's test cases A-D (K = S =
// 100, v0 = eta) to an absolute error below 1e-3 against the semi-closed form, with korvex's
// alternating-direction schemes and with QuantLib's FdHestonVanillaEngine, side by side.
// QuantLib's dates are whole days, so case D runs to 91 days (T = 91/365) on both sides.
//
// Both sides are held to the same rule: the fastest "steady" configuration, one that errs
// below 1e-3 and whose doubled grid (twice the steps, spot points and variance points) does
// too, so that no side wins on errors of opposite signs cancelling on a coarse grid. On the
// coarse grids where both sides are fastest that alone still admits such luck (a grid and its
// double erring by about as much on either side of the price), so the grid in between, 1.5
// times the steps and points, must reach 1e-3 as well. The program finds each side's
// configuration itself before the timed runs, by scanning:
//  - korvex: modified Craig-Sneyd (unconditionally stable; Hundsdorfer-Verwer is not at
//    the largest steps), spot and variance stencils of 5 or 3 points, the largest spot 4 or
//    8 strikes, 3-14 steps, 16-64 spot and 6-30 variance points, on the grids of
//    heston_model.h;
//  - QuantLib: Hundsdorfer and modified Craig-Sneyd, 0 or 2 damping steps, 4-30 steps,
//    40-400 spot and 5-40 variance points, on its own mesher.
// The scan is the bounded one of common/heston_quantlib.h; the steady grids found are timed
// (CPU time, best of three) and the fastest is benchmarked. Counters: error, time steps, spot
// and variance points, and for korvex the stencils, for QuantLib the scheme (0 Hundsdorfer,
// 1 modified Craig-Sneyd) and damping steps.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/heston_quantlib.h"
#include "heston_model.h"

namespace {

using namespace korvex;

constexpr double target = 1e-3;

struct heston_case
{
    const char* name;
    heston::model parameters;  // kappa, eta, sigma, rho, r_d, r_f
    int days;
};

const heston_case cases[] = {
    {"A", {1.5, 0.04, 0.3, -0.9, 0.025, 0.0}, 365},
    {"B", {3.0, 0.12, 0.04, 0.6, 0.01, 0.04}, 365},
    {"C", {0.6067, 0.0707, 0.2928, -0.7571, 0.03, 0.0}, 1095},
    {"D", {2.5, 0.06, 0.5, -0.1, 0.0507, 0.0469}, 91},
};

heston::call_option option_of(const heston_case& c)
{
    heston::call_option o;
    o.variance = c.parameters.eta;
    o.years = c.days / 365.0;
    return o;
}

// A korvex grid: steps, spot points, variance points, the spot and variance stencils and the
// largest spot in strikes.
struct configuration
{
    std::size_t steps, spot, variance;
    int spot_stencil, variance_stencil, spot_max;

    double cost() const { return static_cast<double>(steps * spot * variance); }
    configuration scaled(double factor) const
    {
        const auto times = [factor](std::size_t n) { return bench::grid_size::times(factor, n); };
        return {times(steps), times(spot), times(variance), spot_stencil, variance_stencil, spot_max};
    }
};

double korvex_price(const heston_case& c, const configuration& k)
{
    heston::settings s;
    s.type = adi_modified_craig_sneyd;
    s.time_steps = k.steps;
    s.spot_points = k.spot;
    s.variance_points = k.variance;
    s.spot_stencil = static_cast<std::size_t>(k.spot_stencil);
    s.variance_stencil = static_cast<std::size_t>(k.variance_stencil);
    s.spot_max = k.spot_max;
    return heston::adi_price(c.parameters, option_of(c), s);
}

std::vector<configuration> korvex_candidates()
{
    std::vector<configuration> all;
    for (const auto& [spot_stencil, variance_stencil] : {std::pair{5, 5}, std::pair{5, 3}, std::pair{3, 3}})
        for (const int spot_max : {4, 8})
            for (std::size_t steps = 3; steps <= 14; ++steps)
                for (std::size_t spot = 16; spot <= 64; spot += 4)
                    for (std::size_t variance = 6; variance <= 30; variance += 2)
                        all.push_back({steps, spot, variance, spot_stencil, variance_stencil, spot_max});
    return all;
}

void report(benchmark::State& state, const heston_case& c, double price, const bench::grid_size& k)
{
    state.counters["error"] = price - heston::semi_closed_form(c.parameters, option_of(c));
    state.counters["steps"] = static_cast<double>(k.steps);
    state.counters["spot"] = static_cast<double>(k.spot);
    state.counters["variance"] = static_cast<double>(k.variance);
}

void run_korvex(benchmark::State& state, const heston_case& c, const configuration& k)
{
    double value = 0.0;
    for (auto _ : state) {
        value = korvex_price(c, k);
        benchmark::DoNotOptimize(value);
    }
    report(state, c, value, {k.steps, k.spot, k.variance});
    state.counters["spot_stencil"] = k.spot_stencil;
    state.counters["variance_stencil"] = k.variance_stencil;
    state.counters["spot_max"] = k.spot_max;
}

#ifdef KORVEX_HAVE_QUANTLIB
double quantlib_price(const heston_case& c, const bench::quantlib_grid& k)
{
    const heston::model& m = c.parameters;
    return bench::quantlib_heston_price({m.kappa, m.eta, m.sigma, m.rho, m.rate, m.dividend, c.days}, false, k);
}

void run_quantlib(benchmark::State& state, const heston_case& c, const bench::quantlib_grid& k)
{
    double value = 0.0;
    for (auto _ : state) {
        value = quantlib_price(c, k);
        benchmark::DoNotOptimize(value);
    }
    report(state, c, value, k);
    state.counters["scheme"] = k.scheme;
    state.counters["damping"] = k.damping;
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const heston_case& c : cases) {
        const double reference = heston::semi_closed_form(c.parameters, option_of(c));
        const auto ours = bench::fastest_steady([&](const configuration& k) { return korvex_price(c, k); }, reference,
                                                target, korvex_candidates());
        if (ours) {
            const configuration& k = ours->grid;
            std::fprintf(stderr,
                         "case %s: korvex modified Craig-Sneyd, stencils %d/%d, S_max %d K, (t, x, v) = (%zu, %zu, "
                         "%zu), %.3f ms\n",
                         c.name, k.spot_stencil, k.variance_stencil, k.spot_max, k.steps, k.spot, k.variance,
                         1e3 * ours->seconds);
            benchmark::RegisterBenchmark((std::string("korvex/") + c.name).c_str(),
                                         [&c, k](benchmark::State& state) { run_korvex(state, c, k); })
                ->Unit(benchmark::kMillisecond);
        }
#ifdef KORVEX_HAVE_QUANTLIB
        const auto peer = bench::fastest_steady([&](const bench::quantlib_grid& k) { return quantlib_price(c, k); },
                                                reference, target, bench::quantlib_candidates(false));
        if (peer) {
            const bench::quantlib_grid& k = peer->grid;
            std::fprintf(stderr, "case %s: QuantLib %s, damping %d, (t, x, v) = (%zu, %zu, %zu), %.3f ms\n", c.name,
                         k.scheme == 0 ? "Hundsdorfer" : "modified Craig-Sneyd", k.damping, k.steps, k.spot,
                         k.variance, 1e3 * peer->seconds);
            benchmark::RegisterBenchmark((std::string("quantlib/") + c.name).c_str(),
                                         [&c, k](benchmark::State& state) { run_quantlib(state, c, k); })
                ->Unit(benchmark::kMillisecond);
        }
#endif
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
