// Time to price the Heston European calls of in 't Hout and Foulon's test cases A-D (K = S =
// 100, v0 = eta) to an absolute error of at most 1e-3 against the semi-closed form, with
// korvex's Hundsdorfer-Verwer ADI scheme and with QuantLib's FdHestonVanillaEngine
// (Hundsdorfer scheme), side by side. QuantLib's dates are whole days, so case D runs to 91
// days (T = 91/365) on both sides.
//
// Each side runs on its own fastest grid for that accuracy, found by scanning grids on this
// machine (error first, then time):
//  - QuantLib: time steps {10, 15, 20, 25, 50} x spot {100 ... 350} x variance {20 ... 125};
//  - korvex: spot stencil 3 or 5, steps {6 ... 50}, spot {30 ... 100}, variance {15 ... 50},
//    on the sinh grids of heston_model.h (their default stretches).
// Both scans' fastest grids owe part of their accuracy to errors of opposite signs cancelling
// on coarse grids (korvex's for case C errs 1.2e-5 on 40 x 20 points with 6 steps;
// QuantLib's for cases A and C err 2.6e-3 and 3.4e-3 with twice the steps). So korvex also
// runs on its fastest "steady" grid, whose error stays within 1e-3 with twice the steps and
// with twice the steps and points on both axes; and QuantLib on 50 x 250 x 125 for case A,
// the fastest of a narrower scan that leaves out coarse variance grids.
// Counters: error, time steps, spot points, variance points.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

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

struct heston_case
{
    heston::model parameters;  // kappa, eta, sigma, rho, r_d, r_f
    int days;
};

const heston_case cases[] = {
    {{1.5, 0.04, 0.3, -0.9, 0.025, 0.0}, 365},
    {{3.0, 0.12, 0.04, 0.6, 0.01, 0.04}, 365},
    {{0.6067, 0.0707, 0.2928, -0.7571, 0.03, 0.0}, 1095},
    {{2.5, 0.06, 0.5, -0.1, 0.0507, 0.0469}, 91},
};

heston::call_option option_of(const heston_case& c)
{
    heston::call_option o;
    o.variance = c.parameters.eta;
    o.years = c.days / 365.0;
    return o;
}

void report(benchmark::State& state, const heston_case& c, double price, double steps, double spot,
            double variance)
{
    state.counters["error"] = price - heston::semi_closed_form(c.parameters, option_of(c));
    state.counters["steps"] = steps;
    state.counters["spot"] = spot;
    state.counters["variance"] = variance;
}

// Arguments: case (0-3 for A-D), spot stencil, variance stencil, time steps, spot points,
// variance points.
void korvex_hundsdorfer_verwer(benchmark::State& state)
{
    const heston_case& c = cases[state.range(0)];
    heston::settings s;
    s.spot_stencil = static_cast<std::size_t>(state.range(1));
    s.variance_stencil = static_cast<std::size_t>(state.range(2));
    s.time_steps = static_cast<std::size_t>(state.range(3));
    s.spot_points = static_cast<std::size_t>(state.range(4));
    s.variance_points = static_cast<std::size_t>(state.range(5));
    double price = 0.0;
    for (auto _ : state) {
        price = heston::adi_price(c.parameters, option_of(c), s);
        benchmark::DoNotOptimize(price);
    }
    report(state, c, price, static_cast<double>(s.time_steps), static_cast<double>(s.spot_points),
           static_cast<double>(s.variance_points));
}
BENCHMARK(korvex_hundsdorfer_verwer)
    ->ArgNames({"case", "spot_bands", "variance_bands", "steps", "spot", "variance"})
    // Fastest of the scan.
    ->Args({0, 5, 3, 6, 40, 20})
    ->Args({1, 3, 3, 6, 60, 15})
    ->Args({2, 3, 3, 6, 40, 20})
    ->Args({3, 3, 3, 6, 60, 15})
    // Steady.
    ->Args({0, 5, 3, 8, 60, 25})
    ->Args({1, 5, 3, 10, 40, 15})
    ->Args({2, 3, 3, 15, 40, 15})
    ->Args({3, 5, 3, 10, 30, 25})
    ->Unit(benchmark::kMillisecond);

#ifdef KORVEX_HAVE_QUANTLIB
// Arguments: case, time steps, spot points, variance points.
void quantlib_hundsdorfer(benchmark::State& state)
{
    using namespace QuantLib;
    const heston_case& c = cases[state.range(0)];
    const Size time_steps = static_cast<Size>(state.range(1));
    const Size spot_points = static_cast<Size>(state.range(2));
    const Size variance_points = static_cast<Size>(state.range(3));
    const Date today = Date::todaysDate();
    const DayCounter day_count = Actual365Fixed();
    const heston::model& m = c.parameters;
    const Handle<Quote> spot(ext::make_shared<SimpleQuote>(100.0));
    const Handle<YieldTermStructure> rate(ext::make_shared<FlatForward>(today, m.rate, day_count));
    const Handle<YieldTermStructure> dividend(ext::make_shared<FlatForward>(today, m.dividend, day_count));
    const auto process = ext::make_shared<HestonProcess>(rate, dividend, spot, m.eta, m.kappa, m.eta, m.sigma, m.rho);
    const auto model = ext::make_shared<HestonModel>(process);
    VanillaOption option(ext::make_shared<PlainVanillaPayoff>(Option::Call, 100.0),
                         ext::make_shared<EuropeanExercise>(today + c.days));
    const auto engine = ext::make_shared<FdHestonVanillaEngine>(model, time_steps, spot_points, variance_points, 0,
                                                                FdmSchemeDesc::Hundsdorfer());
    double price = 0.0;
    for (auto _ : state) {
        option.setPricingEngine(engine);
        price = option.NPV();
        benchmark::DoNotOptimize(price);
    }
    report(state, c, price, static_cast<double>(time_steps), static_cast<double>(spot_points),
           static_cast<double>(variance_points));
}
BENCHMARK(quantlib_hundsdorfer)
    ->ArgNames({"case", "steps", "spot", "variance"})
    ->Args({0, 10, 200, 20})
    ->Args({1, 15, 300, 20})
    ->Args({2, 15, 150, 20})
    ->Args({3, 15, 200, 20})
    ->Args({0, 50, 250, 125})
    ->Unit(benchmark::kMillisecond);
#else
void quantlib_hundsdorfer(benchmark::State& state)
{
    state.SkipWithError("QuantLib not found: peer comparison skipped");
}
BENCHMARK(quantlib_hundsdorfer);
#endif

}  // namespace
