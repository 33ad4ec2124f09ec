// Time to price under Heston to an absolute error below 1e-3, with korvex's price_heston and
// with QuantLib's FdHestonVanillaEngine, side by side, on in 't Hout and Foulon's cases A-D
// (S = K = 100, v0 = eta, flat curves; D runs 91 days, QuantLib's dates being whole days):
//  - the European call (reference: the semi-closed form, heston_semi_closed_form);
//  - the American put (reference: QuantLib's FdHestonVanillaEngine on fine grids, below).
//
// Both sides are held to the same rule: the fastest "steady" grid, one that errs below 1e-3
// and whose grids 1.5 and 2 times as fine (steps, spot and variance points) do too, so that
// no side wins on errors of opposite signs cancelling on a coarse grid. Each side's grid is
// found by a scan before the timed runs:
//  - korvex: price_heston with explicit sizes (its accuracy rule aside), modified
//    Craig-Sneyd, 3-14 steps (European) or 4-60 (American), 16-64 spot and 6-30 variance
//    points;
//  - QuantLib: Hundsdorfer and modified Craig-Sneyd, 0 or 2 damping steps, 4-30 steps
//    (European) or 4-400 (American: its projection's time error is first order), 40-400 spot and 5-40 variance points, its own mesher.
// Candidates are tried from the cheapest (points times steps) up, until the cost passes three
// times that of the cheapest steady one; the steady ones are timed (CPU time, best of three)
// and the fastest is benchmarked. Also timed: korvex through its accuracy rule (default
// settings, the grid price_heston chooses for 1e-3). Counters: error, steps, spot and
// variance points; QuantLib's scheme (0 Hundsdorfer, 1 modified Craig-Sneyd) and damping.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Pricing/heston/price_heston.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/payoffs.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/models/equity/hestonmodel.hpp>
#include <ql/pricingengines/vanilla/fdhestonvanillaengine.hpp>
#include <ql/processes/hestonprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

using namespace korvex;
using namespace korvex::pricing;

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

double cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// A grid of one side: steps, spot and variance points, and QuantLib's scheme and damping.
struct configuration
{
    std::size_t steps, spot, variance;
    int scheme = 0;
    int damping = 0;

    double cost() const { return static_cast<double>(steps * spot * variance); }
    configuration scaled(double factor) const
    {
        const auto times = [factor](std::size_t n) {
            return static_cast<std::size_t>(std::lround(factor * static_cast<double>(n)));
        };
        return {times(steps), times(spot), times(variance), scheme, damping};
    }
};

using pricer = std::function<double(const work&, const configuration&)>;

// CPU seconds per price, best of three runs of at least 20 ms.
double time_per_price(const pricer& price, const work& w, const configuration& k)
{
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const double start = cpu_seconds();
        std::size_t count = 0;
        double elapsed = 0.0;
        do {
            benchmark::DoNotOptimize(price(w, k));
            ++count;
            elapsed = cpu_seconds() - start;
        } while (elapsed < 0.02);
        best = std::min(best, elapsed / static_cast<double>(count));
    }
    return best;
}

// The fastest steady configuration among `candidates` (see the file comment).
configuration fastest_steady(const pricer& price, const work& w, std::vector<configuration> candidates)
{
    const double exact = reference(w);
    std::sort(candidates.begin(), candidates.end(),
              [](const configuration& a, const configuration& b) { return a.cost() < b.cost(); });
    std::vector<configuration> steady;
    for (const configuration& k : candidates) {
        if (!steady.empty() && k.cost() > 3.0 * steady.front().cost())
            break;
        const auto reaches = [&](double factor) { return std::fabs(price(w, k.scaled(factor)) - exact) < target; };
        if (reaches(1.0) && reaches(2.0) && reaches(1.5))
            steady.push_back(k);
    }
    if (steady.empty())
        return {0, 0, 0};
    configuration best = steady.front();
    double best_time = 1e300;
    for (const configuration& k : steady) {
        const double t = time_per_price(price, w, k);
        if (t < best_time) {
            best_time = t;
            best = k;
        }
    }
    return best;
}

double korvex_price(const work& w, const configuration& k)
{
    heston_settings s;
    s.time_steps = k.steps;
    s.spot_points = k.spot;
    s.variance_points = k.variance;
    return price_heston(option_of(w), market_of(*w.model), parameters_of(*w.model), s).price;
}

std::vector<configuration> korvex_candidates(bool american)
{
    std::vector<configuration> all;
    const std::size_t most_steps = american ? 60 : 14;
    for (std::size_t steps = american ? 4 : 3; steps <= most_steps; steps += steps < 16 ? 1 : 4)
        for (std::size_t spot = 16; spot <= 64; spot += 4)
            for (std::size_t variance = 6; variance <= 30; variance += 2)
                all.push_back({steps, spot, variance});
    return all;
}

void report(benchmark::State& state, const work& w, double price, const configuration& k)
{
    state.counters["error"] = price - reference(w);
    state.counters["steps"] = static_cast<double>(k.steps);
    state.counters["spot"] = static_cast<double>(k.spot);
    state.counters["variance"] = static_cast<double>(k.variance);
}

void run(benchmark::State& state, const pricer& price, const work& w, const configuration& k)
{
    double value = 0.0;
    for (auto _ : state) {
        value = price(w, k);
        benchmark::DoNotOptimize(value);
    }
    report(state, w, value, k);
}

// korvex through its accuracy rule: the grid price_heston chooses for the target.
void run_rule(benchmark::State& state, const work& w)
{
    heston_result r;
    const market m = market_of(*w.model);
    const heston_parameters h = parameters_of(*w.model);
    for (auto _ : state) {
        r = price_heston(option_of(w), m, h);
        benchmark::DoNotOptimize(r.price);
    }
    report(state, w, r.price, {r.time_steps, r.spots.size(), r.variances.size()});
}

#ifdef KORVEX_HAVE_QUANTLIB
double quantlib_price(const work& w, const configuration& k)
{
    using namespace QuantLib;
    const Date start(2, January, 2024);
    Settings::instance().evaluationDate() = start;
    const DayCounter day_count = Actual365Fixed();
    const heston_case& c = *w.model;
    const Handle<Quote> spot(ext::make_shared<SimpleQuote>(100.0));
    const Handle<YieldTermStructure> rate(ext::make_shared<FlatForward>(start, c.rate, day_count));
    const Handle<YieldTermStructure> carry(ext::make_shared<FlatForward>(start, c.carry, day_count));
    const auto process = ext::make_shared<HestonProcess>(rate, carry, spot, c.eta, c.kappa, c.eta, c.sigma, c.rho);
    const Date expiry = start + c.days;
    const ext::shared_ptr<Exercise> exercise =
        w.american ? ext::shared_ptr<Exercise>(ext::make_shared<AmericanExercise>(start, expiry))
                   : ext::shared_ptr<Exercise>(ext::make_shared<EuropeanExercise>(expiry));
    VanillaOption option(ext::make_shared<PlainVanillaPayoff>(w.american ? Option::Put : Option::Call, 100.0),
                         exercise);
    const FdmSchemeDesc scheme = k.scheme == 0 ? FdmSchemeDesc::Hundsdorfer() : FdmSchemeDesc::ModifiedCraigSneyd();
    option.setPricingEngine(ext::make_shared<FdHestonVanillaEngine>(ext::make_shared<HestonModel>(process), k.steps,
                                                                    k.spot, k.variance,
                                                                    static_cast<Size>(k.damping), scheme));
    return option.NPV();
}

std::vector<configuration> quantlib_candidates(bool american)
{
    std::vector<std::size_t> step_counts{4, 5, 6, 8, 10, 12, 15, 20, 25, 30};
    if (american)
        step_counts.insert(step_counts.end(), {40, 50, 60, 80, 100, 150, 200, 300, 400});
    std::vector<configuration> all;
    for (const int scheme : {0, 1})
        for (const int damping : {0, 2})
            for (const std::size_t steps : step_counts)
                for (const std::size_t spot : {40u, 50u, 60u, 80u, 100u, 120u, 150u, 200u, 250u, 300u, 400u})
                    for (const std::size_t variance : {5u, 6u, 8u, 10u, 12u, 15u, 20u, 25u, 30u, 40u})
                        all.push_back({steps, spot, variance, scheme, damping});
    return all;
}
#endif

void register_work(const work& w)
{
    const std::string name = name_of(w);
    const configuration ours = fastest_steady(korvex_price, w, korvex_candidates(w.american));
    std::fprintf(stderr, "%s: korvex (t, x, v) = (%zu, %zu, %zu)\n", name.c_str(), ours.steps, ours.spot,
                 ours.variance);
    if (ours.steps != 0)
        benchmark::RegisterBenchmark(("korvex/" + name).c_str(), [w, ours](benchmark::State& state) {
            run(state, korvex_price, w, ours);
        })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("korvex_rule/" + name).c_str(), [w](benchmark::State& state) {
        run_rule(state, w);
    })->Unit(benchmark::kMillisecond);
#ifdef KORVEX_HAVE_QUANTLIB
    const configuration peer = fastest_steady(quantlib_price, w, quantlib_candidates(w.american));
    std::fprintf(stderr, "%s: QuantLib %s, damping %d, (t, x, v) = (%zu, %zu, %zu)\n", name.c_str(),
                 peer.scheme == 0 ? "Hundsdorfer" : "modified Craig-Sneyd", peer.damping, peer.steps, peer.spot,
                 peer.variance);
    if (peer.steps != 0)
        benchmark::RegisterBenchmark(("quantlib/" + name).c_str(), [w, peer](benchmark::State& state) {
            run(state, quantlib_price, w, peer);
            state.counters["scheme"] = peer.scheme;
            state.counters["damping"] = peer.damping;
        })->Unit(benchmark::kMillisecond);
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
