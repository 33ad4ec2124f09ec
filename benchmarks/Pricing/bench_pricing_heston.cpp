// Time to price under Heston to an absolute error below 1e-3, with korvex's price_heston and
// with QuantLib's FdHestonVanillaEngine, side by side, on in 't Hout and Foulon's cases A-D
// (S = K = 100, v0 = eta, flat curves; D runs 91 days, QuantLib's dates being whole days):
//  - the European call (reference: the semi-closed form, heston_semi_closed_form);
//  - the American put (reference: QuantLib's FdHestonVanillaEngine on fine grids, below).
//
// Both sides are held to the same rule: the fastest "steady" grid, one that errs below 1e-3
// and whose grids 1.5 and 2 times as fine (steps, spot and variance points) do too, found by
// the bounded scan of common/heston_quantlib.h before the timed runs:
//  - korvex: price_heston with explicit sizes and scheme (its accuracy rule aside),
//    Hundsdorfer-Verwer and modified Craig-Sneyd, 3-14 steps (European) or 4-60 (American),
//    10-64 spot and 5-30 variance points;
//  - QuantLib: the candidates of quantlib_candidates (Hundsdorfer and modified Craig-Sneyd,
//    0 or 2 damping steps, its own mesher).
// Also timed: korvex through its accuracy rule (default settings, the grid price_heston
// chooses for 1e-3). Counters: error, steps, spot and variance points, the scheme (0
// Hundsdorfer-Verwer, 1 modified Craig-Sneyd); QuantLib's damping. Before the timed runs the program prints
// a table to stderr: per case and exercise, each side's grid, scheme, error and CPU time per
// price (best of three), the ratio, and the accuracy rule's grid and time. A side with no steady
// candidate (QuantLib's American puts on A and C: its projection's first-order time error
// wants more steps than a 200 ms run holds) is said so and not benchmarked.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Pricing/heston/price_heston.h"
#include "common/heston_quantlib.h"

namespace {

using namespace korvex;
using namespace korvex::pricing;
using bench::grid_size;
using bench::timed_grid;

constexpr double target = 1e-3;
const datetime today(2024, 1, 2);

struct heston_case
{
    const char* name;
    double kappa, eta, sigma, rho, rate, carry;
    int days;
    double american_put;  // the reference of the American put struck at 100
};

// American references: QuantLib 1.29's FdHestonVanillaEngine (modified Craig-Sneyd, no damping)
// with QuantLib-Python, V(200, 400, 200) + [V(200, 200, 100) - V(100, 200, 100)] +
// [V(200, 400, 200) - V(200, 200, 100)] / 3 (first-order time and second-order space errors
// extrapolated; V(t, x, v) on t steps, x spot and v variance points), uncertain by about
// 5e-4 (A), 2e-4 (B, D) and 1.5e-3 (C) (tests/Pricing/heston_american_test.cpp).
const heston_case cases[] = {
    {"A", 1.5, 0.04, 0.3, -0.9, 0.025, 0.0, 365, 6.660411},
    {"B", 3.0, 0.12, 0.04, 0.6, 0.01, 0.04, 365, 14.951324},
    {"C", 0.6067, 0.0707, 0.2928, -0.7571, 0.03, 0.0, 1095, 13.610702},
    {"D", 2.5, 0.06, 0.5, -0.1, 0.0507, 0.0469, 91, 4.651226},
};

struct work
{
    const heston_case* model;
    bool american;
};

std::string name_of(const work& w)
{
    return std::string(w.american ? "american_put/" : "european_call/") + w.model->name;
}

vanilla_option option_of(const work& w)
{
    return vanilla_option{w.american ? option_type::put : option_type::call, 100.0,
                          datetime(today.as_float() + w.model->days),
                          w.american ? exercise_type::american : exercise_type::european};
}

market market_of(const heston_case& c)
{
    const auto act_365 = std::make_shared<const day_count_convention>(act_365_fixed);
    return market(std::make_shared<const equity_spot>(today, 100.0),
                  std::make_shared<const discount_curve_flat>(today, c.rate, act_365),
                  std::make_shared<const discount_curve_flat>(today, c.carry, act_365));
}

heston_parameters parameters_of(const heston_case& c)
{
    return heston_parameters(c.eta, c.kappa, c.eta, c.sigma, c.rho);
}

double reference(const work& w)
{
    return w.american ? w.model->american_put
                      : heston_semi_closed_form(option_of(w), market_of(*w.model), parameters_of(*w.model));
}

// A grid of price_heston and its scheme, numbered as QuantLib's (0 Hundsdorfer-Verwer, 1
// modified Craig-Sneyd).
struct korvex_grid : grid_size
{
    int scheme = 1;

    korvex_grid scaled(double factor) const { return {grid_size::scaled(factor), scheme}; }
    pde_scheme_type type() const { return scheme == 0 ? adi_hundsdorfer_verwer : adi_modified_craig_sneyd; }
};

const char* scheme_name(int scheme)
{
    return scheme == 0 ? "Hundsdorfer" : "modified Craig-Sneyd";
}

double korvex_price(const work& w, const korvex_grid& k)
{
    heston_settings s;
    s.time_steps = k.steps;
    s.spot_points = k.spot;
    s.variance_points = k.variance;
    s.scheme = k.type();
    return price_heston(option_of(w), market_of(*w.model), parameters_of(*w.model), s).price;
}

std::vector<korvex_grid> korvex_candidates(bool american)
{
    std::vector<korvex_grid> all;
    const std::size_t most_steps = american ? 60 : 14;
    for (const int scheme : {0, 1})
        for (std::size_t steps = american ? 4 : 3; steps <= most_steps; steps += steps < 16 ? 1 : 4)
            for (std::size_t spot = 10; spot <= 64; spot += spot < 24 ? 2 : 4)
                for (std::size_t variance = 5; variance <= 30; variance += variance < 6 ? 1 : 2)
                    all.push_back({{steps, spot, variance}, scheme});
    return all;
}

void report(benchmark::State& state, const work& w, double price, const grid_size& k)
{
    state.counters["error"] = price - reference(w);
    state.counters["steps"] = static_cast<double>(k.steps);
    state.counters["spot"] = static_cast<double>(k.spot);
    state.counters["variance"] = static_cast<double>(k.variance);
}

void report(benchmark::State& state, const work& w, double price, const korvex_grid& k)
{
    report(state, w, price, static_cast<const grid_size&>(k));
    state.counters["scheme"] = k.scheme;
}

template <class Price, class Grid>
void run(benchmark::State& state, const Price& price, const work& w, const Grid& k)
{
    double value = 0.0;
    for (auto _ : state) {
        value = price(w, k);
        benchmark::DoNotOptimize(value);
    }
    report(state, w, value, k);
}

heston_result rule_price(const work& w)
{
    return price_heston(option_of(w), market_of(*w.model), parameters_of(*w.model));
}

// korvex through its accuracy rule: the grid price_heston chooses for the target.
void run_rule(benchmark::State& state, const work& w)
{
    heston_result r;
    for (auto _ : state) {
        r = rule_price(w);
        benchmark::DoNotOptimize(r.price);
    }
    report(state, w, r.price, grid_size{r.time_steps, r.spots.size(), r.variances.size()});
}

void print_grid(const char* side, const std::optional<timed_grid<grid_size>>& found, double error)
{
    if (found)
        std::fprintf(stderr, "  %-8s (t, x, v) = (%3zu, %3zu, %3zu)  error %+.1e  %8.3f ms\n", side, found->grid.steps,
                     found->grid.spot, found->grid.variance, error, 1e3 * found->seconds);
    else
        std::fprintf(stderr, "  %-8s no steady grid among the candidates\n", side);
}

#ifdef KORVEX_HAVE_QUANTLIB
double quantlib_price(const work& w, const bench::quantlib_grid& k)
{
    const heston_case& c = *w.model;
    return bench::quantlib_heston_price({c.kappa, c.eta, c.sigma, c.rho, c.rate, c.carry, c.days}, w.american, k);
}

void report(benchmark::State& state, const work& w, double price, const bench::quantlib_grid& k)
{
    report(state, w, price, static_cast<const grid_size&>(k));
    state.counters["scheme"] = k.scheme;
    state.counters["damping"] = k.damping;
}
#endif

void register_work(const work& w)
{
    const std::string name = name_of(w);
    const double exact = reference(w);
    std::fprintf(stderr, "%s\n", name.c_str());
    const auto ours = bench::fastest_steady([&](const korvex_grid& k) { return korvex_price(w, k); }, exact, target,
                                            korvex_candidates(w.american));
    print_grid("korvex", ours ? std::optional(timed_grid<grid_size>{ours->grid, ours->seconds}) : std::nullopt,
               ours ? korvex_price(w, ours->grid) - exact : 0.0);
    if (ours) {
        std::fprintf(stderr, "  korvex   %s\n", scheme_name(ours->grid.scheme));
        benchmark::RegisterBenchmark(("korvex/" + name).c_str(), [w, k = ours->grid](benchmark::State& state) {
            run(state, korvex_price, w, k);
        })->Unit(benchmark::kMillisecond);
    }
    const heston_result by_rule = rule_price(w);
    const double rule_seconds = bench::time_per_price([&] { return rule_price(w).price; });
    print_grid("rule", timed_grid<grid_size>{{by_rule.time_steps, by_rule.spots.size(), by_rule.variances.size()},
                                             rule_seconds},
               by_rule.price - exact);
    benchmark::RegisterBenchmark(("korvex_rule/" + name).c_str(), [w](benchmark::State& state) {
        run_rule(state, w);
    })->Unit(benchmark::kMillisecond);
#ifdef KORVEX_HAVE_QUANTLIB
    const auto peer = bench::fastest_steady([&](const bench::quantlib_grid& k) { return quantlib_price(w, k); },
                                            exact, target, bench::quantlib_candidates(w.american));
    if (peer) {
        const bench::quantlib_grid& k = peer->grid;
        print_grid("QuantLib", timed_grid<grid_size>{k, peer->seconds}, quantlib_price(w, k) - exact);
        std::fprintf(stderr, "  QuantLib %s, damping %d; QuantLib / korvex %.1f, QuantLib / rule %.1f\n",
                     scheme_name(k.scheme), k.damping,
                     ours ? peer->seconds / ours->seconds : 0.0, peer->seconds / rule_seconds);
        benchmark::RegisterBenchmark(("quantlib/" + name).c_str(), [w, k](benchmark::State& state) {
            run(state, quantlib_price, w, k);
        })->Unit(benchmark::kMillisecond);
    } else {
        std::fprintf(stderr, "  QuantLib no steady grid among the candidates\n");
    }
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const bool american : {false, true})
        for (const heston_case& c : cases)
            register_work({&c, american});
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
