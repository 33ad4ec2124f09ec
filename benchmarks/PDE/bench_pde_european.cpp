// Time to price a European call (S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1) to an
// absolute error of at most 1e-4 against the closed form, with korvex's one-dimensional
// scheme and with QuantLib's FdBlackScholesVanillaEngine (Crank-Nicolson, damping steps);
// and the cost of one scheme step against one tridiagonal factorisation and solve.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "PDE/black_scholes_pde.h"
#include "math/tridiagonal_operations.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/payoffs.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/vanilla/fdblackscholesvanillaengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

using namespace korvex;
using namespace korvex::black_scholes_pde;

const european_option call;

void report(benchmark::State& state, double price, double space_points, double time_steps)
{
    state.counters["error"] = std::fabs(price - closed_form(call));
    state.counters["space"] = space_points;
    state.counters["time"] = time_steps;
}

// Arguments: space points, time steps, stencil, layout (0 uniform, 1 concentrated).
void korvex_crank_nicolson(benchmark::State& state)
{
    settings s;
    s.space_points = static_cast<std::size_t>(state.range(0));
    s.time_steps = static_cast<std::size_t>(state.range(1));
    s.stencil = static_cast<std::size_t>(state.range(2));
    s.axis = state.range(3) == 0 ? layout::uniform : layout::concentrated;
    double price = 0.0;
    for (auto _ : state) {
        price = pde_price(call, s);
        benchmark::DoNotOptimize(price);
    }
    report(state, price, static_cast<double>(s.space_points), static_cast<double>(s.time_steps));
}
BENCHMARK(korvex_crank_nicolson)
    ->ArgNames({"space", "time", "bands", "concentrated"})
    ->Args({201, 100, 5, 1})
    ->Args({1201, 100, 3, 0})
    ->Unit(benchmark::kMillisecond);

#ifdef KORVEX_HAVE_QUANTLIB
void quantlib_crank_nicolson(benchmark::State& state)
{
    using namespace QuantLib;
    const Size time_steps = static_cast<Size>(state.range(0));
    const Size space_points = static_cast<Size>(state.range(1));
    // QuantLib's default evaluation date: this binary, built with hidden visibility, holds
    // its own copy of the Settings singleton, so setting the date here would not reach the
    // library.
    const Date today = Date::todaysDate();
    const DayCounter day_count = Actual365Fixed();
    const Handle<Quote> spot(ext::make_shared<SimpleQuote>(call.spot));
    const Handle<YieldTermStructure> rate(ext::make_shared<FlatForward>(today, call.rate, day_count));
    const Handle<YieldTermStructure> dividend(ext::make_shared<FlatForward>(today, call.dividend, day_count));
    const Handle<BlackVolTermStructure> volatility(
        ext::make_shared<BlackConstantVol>(today, NullCalendar(), call.volatility, day_count));
    const auto process = ext::make_shared<BlackScholesMertonProcess>(spot, dividend, rate, volatility);
    VanillaOption option(ext::make_shared<PlainVanillaPayoff>(Option::Call, call.strike),
                         ext::make_shared<EuropeanExercise>(today + 365));
    const auto engine = ext::make_shared<FdBlackScholesVanillaEngine>(process, time_steps, space_points, 2,
                                                                      FdmSchemeDesc::CrankNicolson());
    double price = 0.0;
    for (auto _ : state) {
        option.setPricingEngine(engine);
        price = option.NPV();
        benchmark::DoNotOptimize(price);
    }
    report(state, price, static_cast<double>(space_points), static_cast<double>(time_steps));
}
BENCHMARK(quantlib_crank_nicolson)
    ->ArgNames({"time", "space"})
    ->Args({800, 800})
    ->Args({400, 400})
    ->Unit(benchmark::kMillisecond);
#else
void quantlib_crank_nicolson(benchmark::State& state)
{
    state.SkipWithError("QuantLib not found: peer comparison skipped");
}
BENCHMARK(quantlib_crank_nicolson);
#endif

// One Crank-Nicolson step (assembly, factorisation, solve, combination) of n nodes.
void korvex_step(benchmark::State& state)
{
    settings s;
    s.space_points = static_cast<std::size_t>(state.range(0));
    s.time_steps = 10;
    const auto times = make_time_grid(call, s);
    const auto space = make_space_grid(call, s);
    const std::size_t n = space->size();
    const auto coefficients = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    coefficients->diffusion_ = 0.002;
    coefficients->convection_ = 0.001;
    coefficients->reaction_ = -0.005;
    pde_storage storage(1, 1, {n});
    storage.result() = 1.0;
    const auto scheme = pde_scheme::create_scheme(times, {space}, {coefficients}, {3}, {false}, crank_nicolson,
                                                  false, matrix<double>());
    const std::vector<pde_boundary_coefficients> boundary{{coefficients, coefficients}};
    scheme->initialize(5);
    for (auto _ : state) {
        // Fresh values every step: repeated steps would drift into subnormal numbers.
        storage.result() = 1.0;
        scheme->diffuse(storage, boundary, 1.0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(korvex_step)->Arg(201)->Arg(801)->Arg(3201);

// One tridiagonal factorisation and solve of n nodes: the floor of a scheme step.
void tridiagonal_factor_and_solve(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    matrix<double> operator_bands(3, n), bands(3, n);
    for (std::size_t k = 0; k < n; ++k) {
        operator_bands(0, k) = -0.3;
        operator_bands(1, k) = 1.7;
        operator_bands(2, k) = -0.4;
    }
    vector<double> values(n);
    values = 1.0;
    for (auto _ : state) {
        values = 1.0;
        bands = operator_bands;
        tridiagonal_operations::decomposition(bands, 1, n, 1, false);
        tridiagonal_operations::solve_decomposed(values, bands, values, 1, n, 1, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(tridiagonal_factor_and_solve)->Arg(201)->Arg(801)->Arg(3201);

}  // namespace
