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
// Candidates are tried from the cheapest (points times steps) up, until the cost passes three
// times that of the cheapest steady one; the steady ones found are timed (CPU time, best of
// three) and the fastest is benchmarked. Counters: error, time steps, spot and variance points,
// and for korvex the stencils, for QuantLib the scheme (0 Hundsdorfer, 1 modified
// Craig-Sneyd) and damping steps.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "heston_model.h"

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

double cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// A configuration of one side: steps, spot points, variance points and side-specific choices
// (korvex: spot and variance stencils and the largest spot in strikes; QuantLib: scheme and
// damping steps).
struct configuration
{
    std::size_t steps, spot, variance;
    int first_choice, second_choice;
    int third_choice = 0;

    double cost() const { return static_cast<double>(steps * spot * variance); }
    configuration scaled(double factor) const
    {
        const auto times = [factor](std::size_t n) { return static_cast<std::size_t>(std::lround(factor * static_cast<double>(n))); };
        return {times(steps), times(spot), times(variance), first_choice, second_choice, third_choice};
    }
};

using pricer = std::function<double(const heston_case&, const configuration&)>;

// CPU seconds per price, best of three runs of at least 20 ms.
double time_per_price(const pricer& price, const heston_case& c, const configuration& k)
{
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const double start = cpu_seconds();
        std::size_t count = 0;
        double elapsed = 0.0;
        do {
            benchmark::DoNotOptimize(price(c, k));
            ++count;
            elapsed = cpu_seconds() - start;
        } while (elapsed < 0.02);
        best = std::min(best, elapsed / static_cast<double>(count));
    }
    return best;
}

// The fastest steady configuration among `candidates` (see the file comment).
configuration fastest_steady(const pricer& price, const heston_case& c, std::vector<configuration> candidates)
{
    const double reference = heston::semi_closed_form(c.parameters, option_of(c));
    std::sort(candidates.begin(), candidates.end(),
              [](const configuration& a, const configuration& b) { return a.cost() < b.cost(); });
    std::vector<configuration> steady;
    for (const configuration& k : candidates) {
        if (!steady.empty() && k.cost() > 3.0 * steady.front().cost())
            break;
        const auto reaches = [&](double factor) { return std::fabs(price(c, k.scaled(factor)) - reference) < target; };
        if (reaches(1.0) && reaches(2.0) && reaches(1.5))
            steady.push_back(k);
    }
    configuration best = steady.front();
    double best_time = 1e300;
    for (const configuration& k : steady) {
        const double t = time_per_price(price, c, k);
        if (t < best_time) {
            best_time = t;
            best = k;
        }
    }
    return best;
}

double korvex_price(const heston_case& c, const configuration& k)
{
    heston::settings s;
    s.type = adi_modified_craig_sneyd;
    s.time_steps = k.steps;
    s.spot_points = k.spot;
    s.variance_points = k.variance;
    s.spot_stencil = static_cast<std::size_t>(k.first_choice);
    s.variance_stencil = static_cast<std::size_t>(k.second_choice);
    s.spot_max = k.third_choice;
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

void report(benchmark::State& state, const heston_case& c, double price, const configuration& k)
{
    state.counters["error"] = price - heston::semi_closed_form(c.parameters, option_of(c));
    state.counters["steps"] = static_cast<double>(k.steps);
    state.counters["spot"] = static_cast<double>(k.spot);
    state.counters["variance"] = static_cast<double>(k.variance);
}

void run(benchmark::State& state, const pricer& price, const heston_case& c, const configuration& k,
         const char* first_name, const char* second_name)
{
    double value = 0.0;
    for (auto _ : state) {
        value = price(c, k);
        benchmark::DoNotOptimize(value);
    }
    report(state, c, value, k);
    state.counters[first_name] = k.first_choice;
    state.counters[second_name] = k.second_choice;
    if (k.third_choice != 0)
        state.counters["spot_max"] = k.third_choice;
}

#ifdef KORVEX_HAVE_QUANTLIB
double quantlib_price(const heston_case& c, const configuration& k)
{
    using namespace QuantLib;
    const Date today(1, January, 2024);
    Settings::instance().evaluationDate() = today;
    const DayCounter day_count = Actual365Fixed();
    const heston::model& m = c.parameters;
    const Handle<Quote> spot(ext::make_shared<SimpleQuote>(100.0));
    const Handle<YieldTermStructure> rate(ext::make_shared<FlatForward>(today, m.rate, day_count));
    const Handle<YieldTermStructure> dividend(ext::make_shared<FlatForward>(today, m.dividend, day_count));
    const auto process = ext::make_shared<HestonProcess>(rate, dividend, spot, m.eta, m.kappa, m.eta, m.sigma, m.rho);
    VanillaOption option(ext::make_shared<PlainVanillaPayoff>(Option::Call, 100.0),
                         ext::make_shared<EuropeanExercise>(today + c.days));
    const FdmSchemeDesc scheme = k.first_choice == 0 ? FdmSchemeDesc::Hundsdorfer() : FdmSchemeDesc::ModifiedCraigSneyd();
    option.setPricingEngine(ext::make_shared<FdHestonVanillaEngine>(ext::make_shared<HestonModel>(process), k.steps,
                                                                    k.spot, k.variance,
                                                                    static_cast<Size>(k.second_choice), scheme));
    return option.NPV();
}

std::vector<configuration> quantlib_candidates()
{
    std::vector<configuration> all;
    for (const int scheme : {0, 1})
        for (const int damping : {0, 2})
            for (const std::size_t steps : {4u, 5u, 6u, 8u, 10u, 12u, 15u, 20u, 25u, 30u})
                for (const std::size_t spot : {40u, 50u, 60u, 80u, 100u, 120u, 150u, 200u, 250u, 300u, 400u})
                    for (const std::size_t variance : {5u, 6u, 8u, 10u, 12u, 15u, 20u, 25u, 30u, 40u})
                        all.push_back({steps, spot, variance, scheme, damping});
    return all;
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const heston_case& c : cases) {
        const configuration ours = fastest_steady(korvex_price, c, korvex_candidates());
        std::fprintf(stderr,
                     "case %s: korvex modified Craig-Sneyd, stencils %d/%d, S_max %d K, (t, x, v) = (%zu, %zu, %zu)\n",
                     c.name, ours.first_choice, ours.second_choice, ours.third_choice, ours.steps, ours.spot,
                     ours.variance);
        benchmark::RegisterBenchmark((std::string("korvex/") + c.name).c_str(), [&c, ours](benchmark::State& state) {
            run(state, korvex_price, c, ours, "spot_stencil", "variance_stencil");
        })->Unit(benchmark::kMillisecond);
#ifdef KORVEX_HAVE_QUANTLIB
        const configuration peer = fastest_steady(quantlib_price, c, quantlib_candidates());
        std::fprintf(stderr, "case %s: QuantLib %s, damping %d, (t, x, v) = (%zu, %zu, %zu)\n", c.name,
                     peer.first_choice == 0 ? "Hundsdorfer" : "modified Craig-Sneyd", peer.second_choice, peer.steps,
                     peer.spot, peer.variance);
        benchmark::RegisterBenchmark((std::string("quantlib/") + c.name).c_str(), [&c, peer](benchmark::State& state) {
            run(state, quantlib_price, c, peer, "scheme", "damping");
        })->Unit(benchmark::kMillisecond);
#endif
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
